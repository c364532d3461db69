#include "gui/events/eventlogwindow.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/access/translator.h"
#include "core/app/dockingapp.h"
#include "core/app/mainwindow.h"
#include "core/common/textutil.h"
#include "core/site/config.h"
#include "gui/common/uitext.h"
#include "gui/events/eventfilterdlg.h"
#include "gui/events/eventlogprintout.h"
#include "gui/status/scannerwindow.h"

namespace quillark {
namespace {

constexpr int TX_EVENTLOGS = 84400;
constexpr int TX_DEVICE = 84500;
constexpr int TX_READ = 84600;
constexpr int TX_HEADING = 84700;
constexpr int TX_FILTER = 84800;
constexpr int TX_RELOAD = 84900;
constexpr int TX_SEARCHREFUSED = 85000;
constexpr int TX_FOUND = 85100;
// The sentence agrees with the number of events searched: "of 1 event".
constexpr int TX_FOUNDONE = 90140;
constexpr int TX_FOUNDFEW = 90160;
constexpr int TX_TEXTFILE = 85300;
constexpr int TX_SPREADSHEET = 85400;
constexpr int TX_OPEN = 66200;  // the main menu's
constexpr int TX_SAVEAS = 62100;
constexpr int TX_PRINT = 62200;
constexpr int TX_HELP = 62300;
constexpr int TX_CLOSE = 62400;
constexpr int TX_EVENTLOG = 18500;
constexpr int TX_SEARCH = 65700;
constexpr int TX_SEARCHEXAMPLE = 65800;

// The file types of the open and save dialogs, named in the language.
QString OpenFilter(Translator& tr) {
  return UiText(tr, TX_EVENTLOGS, "Event logs") + QStringLiteral(" (*.ev2)");
}

QString SaveFilter(Translator& tr) {
  return OpenFilter(tr) + QStringLiteral(";;") + UiText(tr, TX_TEXTFILE, "Text file") +
         QStringLiteral(" (*.txt);;") + UiText(tr, TX_SPREADSHEET, "Spreadsheet, CSV") +
         QStringLiteral(" (*.csv)");
}

// The file dialog; the suffix follows the type chosen, so a name typed
// without one is saved as what the operator picked.
QString AskFile(QWidget* parent, bool save, const QString& filter, const QString& suffix) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setNameFilter(filter);
  dialog.setDefaultSuffix(suffix);
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& f) {
    const int star = f.indexOf(QStringLiteral("*."));
    if (star >= 0) dialog.setDefaultSuffix(f.mid(star + 2).section(QLatin1Char(')'), 0, 0));
  });
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front();
}

}  // namespace

// --- Model --------------------------------------------------------------------

EventLogModel::EventLogModel(const EventLog& l, QObject* parent)
    : QAbstractListModel(parent), log(l) {}

int EventLogModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows;
}

QVariant EventLogModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rows ||
      static_cast<std::size_t>(index.row()) >= log.EventCount())
    return {};
  return QString::fromStdString(log.GetEventLine(static_cast<std::size_t>(index.row())));
}

void EventLogModel::Cleared() {
  if (rows == 0) return;
  beginResetModel();
  rows = 0;
  endResetModel();
}

void EventLogModel::Added(std::size_t first, std::size_t count) {
  const int total = static_cast<int>(std::min<std::size_t>(first + count, log.EventCount()));
  if (total <= rows) return;
  if (rows == 0 || first != static_cast<std::size_t>(rows)) {
    // A whole new list (a load, a new filter): one reset tells the view
    // everything at once.
    beginResetModel();
    rows = total;
    endResetModel();
    return;
  }
  beginInsertRows(QModelIndex(), rows, total - 1);
  rows = total;
  endInsertRows();
}

// --- Window -------------------------------------------------------------------

EventLogWindow::EventLogWindow(TDockingApp& a, int device, std::string filename, QWidget* parent)
    : QDialog(parent), app(a), choosefile(AskFile) {
  setObjectName(QStringLiteral("EventLog"));
  const TMainWindow* mw = app.GetMainWindow();
  log = std::make_unique<EventLog>(&app.GetBus(), mw != nullptr ? mw->GetLoops() : 1, device,
                                   app.GetServices().translator, std::move(filename));
  log->SetObserver(this);
  // Every detector is read by a bus scan, shown while it runs.
  log->SetScanRunner([this](MsgClass& owner, const ScanRequest& request, ScanProgress*& running) {
    Scanner scanner(&app.GetBus(), owner, request);
    ScannerWindow progress(scanner, request.startdevice, request.enddevice, this);
    progress.show();
    running = &scanner;
    const int result = scanner.Run();
    running = nullptr;
    return result;
  });

  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  model = new EventLogModel(*log, this);
  list = new QListView(this);
  list->setObjectName(QStringLiteral("list"));
  list->setModel(model);
  list->setFont(fixed);
  list->setUniformItemSizes(true);
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setMinimumSize(list->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 84,
                       list->fontMetrics().height() * 20);

  devicebox = new QComboBox(this);
  devicebox->setObjectName(QStringLiteral("device"));
  readdate = new QLineEdit(this);
  readtime = new QLineEdit(this);
  for (QLineEdit* e : {readdate, readtime}) {
    e->setReadOnly(true);
    e->setFont(fixed);
  }
  readdate->setFixedWidth(readdate->fontMetrics().horizontalAdvance(QStringLiteral("00/00/0000")) +
                          14);
  readtime->setFixedWidth(readtime->fontMetrics().horizontalAdvance(QStringLiteral("00:00")) + 14);

  auto* top = new QHBoxLayout;
  devicelabel = new QLabel(this);
  top->addWidget(devicelabel);
  top->addWidget(devicebox, 1);
  top->addSpacing(12);
  readlabel = new QLabel(this);
  top->addWidget(readlabel);
  top->addWidget(readdate);
  top->addWidget(readtime);

  heading = new QLabel(this);
  heading->setFont(fixed);
  heading->setIndent(list->frameWidth() + 3);

  auto* column = new QVBoxLayout;
  for (int b = 0; b < BN_COUNT; ++b) {
    auto* button = new QPushButton(this);
    button->setAutoDefault(false);
    buttons[static_cast<std::size_t>(b)] = button;
  }
  for (Button b : {BN_OPEN, BN_SAVE, BN_PRINT, BN_FILTER, BN_RELOAD})
    column->addWidget(ButtonAt(b));
  column->addStretch();
  column->addWidget(ButtonAt(BN_CLOSE));
  column->addWidget(ButtonAt(BN_HELP));
  ButtonAt(BN_CLOSE)->setDefault(true);

  connect(ButtonAt(BN_OPEN), &QPushButton::clicked, this, &EventLogWindow::Open);
  connect(ButtonAt(BN_SAVE), &QPushButton::clicked, this, &EventLogWindow::Save);
  connect(ButtonAt(BN_PRINT), &QPushButton::clicked, this, &EventLogWindow::Print);
  connect(ButtonAt(BN_FILTER), &QPushButton::clicked, this, &EventLogWindow::Filter);
  connect(ButtonAt(BN_RELOAD), &QPushButton::clicked, this, &EventLogWindow::Reload);
  connect(ButtonAt(BN_CLOSE), &QPushButton::clicked, this, &QDialog::reject);
  connect(ButtonAt(BN_HELP), &QPushButton::clicked, this, [this] {
    if (help) help(HELPCONTEXT);
  });
  // Only the operator's choice reads a device, not filling the box.
  connect(devicebox, &QComboBox::activated, this, [this] {
    log->DetectorChanged(SelectedDevice());
    ShowSource();
  });

  // The search box: what an investigator asks of a long log, applied with
  // Enter (a million events are searched at once, not at every key).
  searchbox = new QLineEdit(this);
  searchbox->setObjectName(QStringLiteral("search"));
  searchbox->setClearButtonEnabled(true);
  searchbox->installEventFilter(this);
  // Clearing the box with its button shows everything again.
  connect(searchbox, &QLineEdit::textChanged, this, [this](const QString& t) {
    if (t.isEmpty() && !log->GetSearch().Empty()) Search();
  });
  searchmessage = new QLabel(this);
  searchmessage->setObjectName(QStringLiteral("searchmessage"));
  searchmessage->setVisible(false);
  auto* searchrow = new QHBoxLayout;
  searchlabel = new QLabel(this);
  searchlabel->setBuddy(searchbox);
  searchrow->addWidget(searchlabel);
  searchrow->addWidget(searchbox, 1);

  filterlabel = new QLabel(this);
  filterlabel->setObjectName(QStringLiteral("filter"));
  QFont bold = filterlabel->font();
  bold.setBold(true);
  filterlabel->setFont(bold);
  filterlabel->setVisible(false);

  auto* left = new QVBoxLayout;
  left->addLayout(top);
  left->addLayout(searchrow);
  left->addWidget(searchmessage);
  left->addWidget(filterlabel);
  left->addWidget(heading);
  left->addWidget(list, 1);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left, 1);
  layout->addLayout(column);

  FillDevices(device);
  Retranslate();
}

QString EventLogWindow::Text(int id, const char* english) const {
  return UiText(app.GetServices().translator, id, english);
}

void EventLogWindow::Retranslate() {
  static const struct {
    Button button;
    int id;
    const char* english;
  } names[] = {{BN_OPEN, TX_OPEN, "&Open..."},   {BN_SAVE, TX_SAVEAS, "Save As..."},
               {BN_PRINT, TX_PRINT, "Print..."}, {BN_FILTER, TX_FILTER, "&Filter..."},
               {BN_CLOSE, TX_CLOSE, "Close"},    {BN_HELP, TX_HELP, "Help"},
               {BN_RELOAD, TX_RELOAD, "&Reload"}};
  for (const auto& n : names) ButtonAt(n.button)->setText(Text(n.id, n.english));
  devicelabel->setText(Text(TX_DEVICE, "Device"));
  readlabel->setText(Text(TX_READ, "Read"));
  heading->setText(Text(TX_HEADING, "   Date     Time   Device     Event"));
  searchlabel->setText(Text(TX_SEARCH, "Search:"));
  searchbox->setPlaceholderText(Text(
      TX_SEARCHEXAMPLE, "device:2-005 zone:3 category:alarms from:2026-12-01 to:2026-12-09 words"));
  for (int i = 0; i < devicebox->count(); ++i)
    devicebox->setItemText(i, QString::fromStdString(EventLog::DeviceChoiceLabel(
                                  devicebox->itemData(i).toInt(), app.GetServices().translator)));
  ShowSearchResult();
  ShowSource();
}

void EventLogWindow::changeEvent(QEvent* e) {
  if (IsLanguageChange(e)) Retranslate();
  QDialog::changeEvent(e);
}

EventLogWindow::~EventLogWindow() {
  // The log may still tell of an answer while it goes; nobody listens then.
  log->SetObserver(nullptr);
  log.reset();
}

void EventLogWindow::FillDevices(int device) {
  // The loop of the device asked for, or of the selected device when every
  // detector or a file is shown.
  int loop = 0;
  if (device >= 0)
    loop = device >> 8;
  else if (app.GetSelDetector() >= 0)
    loop = app.GetSelDetector() >> 8;
  const auto choices =
      EventLog::DeviceChoices(app.GetSiteConfig(), loop, app.GetServices().translator);
  int current = -1;
  for (const auto& c : choices) {
    devicebox->addItem(QString::fromStdString(c.label), c.device);
    if (c.device == device) current = devicebox->count() - 1;
  }
  if (current < 0 && device >= 0) {
    // A device the selector does not list (a power supply) still shows as
    // the one being read.
    const std::string label = EventLog::DeviceChoiceLabel(device, app.GetServices().translator);
    devicebox->insertItem(devicebox->count() - 1, QString::fromStdString(label), device);
    current = devicebox->count() - 2;
  }
  devicebox->setCurrentIndex(current >= 0 ? current : 0);
}

int EventLogWindow::SelectedDevice() const {
  return devicebox->currentData().toInt();
}

void EventLogWindow::Start() {
  log->SetupWindow();
  ShowSource();
}

void EventLogWindow::ShowTitle() {
  const std::string source = log->SourceName(app.GetPaths().syslog.string());
  const QString title = Text(TX_EVENTLOGS, "Event logs");
  setWindowTitle(source.empty() ? title
                                : title + QStringLiteral(" - ") + QString::fromStdString(source));
}

void EventLogWindow::ShowSource() {
  ShowTitle();
  const QString filter =
      QString::fromStdString(log->GetFilter().Summary(&app.GetServices().translator));
  filterlabel->setText(filter);
  filterlabel->setVisible(!filter.isEmpty());
}

void EventLogWindow::EventsCleared() {
  model->Cleared();
}

void EventLogWindow::EventsAdded(std::size_t first, std::size_t count) {
  model->Added(first, count);
}

void EventLogWindow::ReadTimeChanged() {
  readdate->setText(QString::fromStdString(log->GetReadDate()));
  readtime->setText(QString::fromStdString(log->GetReadTime()));
}

void EventLogWindow::RecentDocument(const std::string& path) {
  if (recent) recent(path);
}

void EventLogWindow::Open() {
  const QString name =
      choosefile(this, false, OpenFilter(app.GetServices().translator), QStringLiteral("ev2"));
  if (!name.isEmpty()) log->Load(name.toStdString());
  ShowSource();
}

void EventLogWindow::Save() {
  const QString name =
      choosefile(this, true, SaveFilter(app.GetServices().translator), QStringLiteral("ev2"));
  if (!name.isEmpty()) log->Save(name.toStdString());
}

void EventLogWindow::Filter() {
  EventFilterDialog dialog(log->GetFilter(), app.GetServices().translator, this);
  if (dialog.exec() == QDialog::Accepted) log->SetFilter(dialog.Filter());
  ShowSource();
}

void EventLogWindow::Search() {
  EventSearch search;
  std::string error;
  const std::string text = searchbox->text().toStdString();
  if (!ParseEventSearch(text, app.GetSiteConfig(), search, error)) {
    refusedsearch = text;
    searchshown = SearchShown::REFUSED;
    ShowSearchResult();
    return;
  }
  searchshown = search.Empty() ? SearchShown::NOTHING : SearchShown::FOUND;
  log->SetSearch(std::move(search));
  ShowSearchResult();
}

void EventLogWindow::ShowSearchResult() {
  switch (searchshown) {
    case SearchShown::NOTHING:
      searchmessage->setVisible(false);
      return;
    case SearchShown::REFUSED: {
      EventSearch ignored;
      std::string reason;
      ParseEventSearch(refusedsearch, app.GetSiteConfig(), ignored, reason,
                       &app.GetServices().translator);
      // Said in words, not only in colour.
      searchmessage->setText(
          Text(TX_SEARCHREFUSED, "Search not done: %1").arg(QString::fromStdString(reason)));
      searchmessage->setStyleSheet(QStringLiteral("color: #a00000; font-weight: bold"));
      break;
    }
    case SearchShown::FOUND:
      searchmessage->setText(
          QString::fromStdString(
              app.GetServices().translator.CountWord(log->RecordCount(),
                                                     {TX_FOUNDONE, "%1 of %2 event found", TX_FOUND,
                                                      "%1 of %2 events found", TX_FOUNDFEW}))
              .arg(log->EventCount())
              .arg(log->RecordCount()));
      searchmessage->setStyleSheet(QString());
      break;
  }
  searchmessage->setVisible(true);
}

bool EventLogWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == searchbox && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      Search();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void EventLogWindow::Reload() {
  // An opened file is read again from the disk (the system log grows while
  // it is looked at); otherwise the device is read again.
  const std::string file = log->GetFilename();
  if (!file.empty())
    log->Load(file);
  else
    log->DetectorChanged(SelectedDevice());
  ShowSource();
}

void EventLogWindow::Print() {
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(PlainUiText(app.GetServices().translator, TX_EVENTLOG, "Event log..."));
  QPrintDialog dialog(&printer, this);
  if (dialog.exec() == QDialog::Accepted) PrintTo(printer);
}

int EventLogWindow::PrintTo(QPrinter& printer) {
  EventLogPrintout printout(*log);
  return printout.Print(printer);
}

}  // namespace quillark
