#include "gui/status/busdispwindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <utility>

#include "core/access/translator.h"
#include "core/app/dockingapp.h"
#include "core/common/textutil.h"
#include "gui/common/printmargins.h"
#include "gui/common/uitext.h"

namespace quillark {
namespace {

QString FromLatin1(std::string_view s) {
  return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

// Texts of the window.
enum : int {
  TX_TITLE = 57500,
  TX_ERRORRATE = 57550,
  TX_DESTINATION = 57600,
  TX_SOURCE = 57650,
  TX_MESSAGE = 57700,
  TX_FASTPOLL = 57750,
  TX_CLEAR = 57800,
  TX_PAGE = 57850,
  TX_TEXTFILE = 57900,
  TX_SAVE = 62100,
  TX_PRINT = 62200,
  TX_CLOSE = 56500,
  TX_HELP = 56550,
};

QString ErrorRateText(Translator& translate, unsigned rate) {
  return QString::fromStdString(
      Format(translate.TextOr(TX_ERRORRATE, "Bus error rate %d%%").c_str(), rate));
}

// Where each column starts on paper, in characters of the fixed font: the
// kind labels are ten wide and frames are cut at forty characters.
constexpr int PRINTCOLUMNS[4] = {0, 8, 20, 24};
// "Page n", the column heading and the rule above the lines of each page.
constexpr int HEADINGLINES = 3;

QFont PrintFont() {
  QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  f.setPointSize(9);
  return f;
}

}  // namespace

// --- BusDispModel --------------------------------------------------------------

BusDispModel::BusDispModel(BusDisp& d, QObject* parent) : QAbstractTableModel(parent), disp(d) {
  shown = static_cast<int>(disp.DiagCount());
}

int BusDispModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : shown;
}

int BusDispModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 4;
}

QVariant BusDispModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= shown) return {};
  const auto columns = BusDisp::SplitLine(disp.Line(static_cast<std::size_t>(index.row())));
  return FromLatin1(columns[static_cast<std::size_t>(index.column())]);
}

QVariant BusDispModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  return section >= 0 && section < 4 ? headings[section] : QVariant();
}

void BusDispModel::Retranslate(Translator& translate) {
  // Kept here: the view may ask for them while the application is going.
  headings[0] = UiText(translate, TX_DESTINATION, "Dest addr.");
  headings[1] = UiText(translate, TX_SOURCE, "Source device");
  // The check sum is called by its name in every language.
  headings[2] = QStringLiteral("Xor");
  headings[3] = UiText(translate, TX_MESSAGE, "Message");
  emit headerDataChanged(Qt::Horizontal, 0, 3);
}

bool BusDispModel::Sync() {
  // The view's row numbers are ints; a list beyond that stops growing on
  // screen but is still saved and printed whole.
  const std::size_t count = std::min<std::size_t>(disp.DiagCount(), INT_MAX);
  const int now = static_cast<int>(count);
  if (now < shown) {
    Reset();
    return true;
  }
  if (now == shown) return false;
  beginInsertRows(QModelIndex(), shown, now - 1);
  shown = now;
  endInsertRows();
  return true;
}

void BusDispModel::Reset() {
  beginResetModel();
  shown = static_cast<int>(std::min<std::size_t>(disp.DiagCount(), INT_MAX));
  endResetModel();
}

// --- BusDispWindow -------------------------------------------------------------

BusDispWindow::BusDispWindow(BusHost& bus, QWidget* parent)
    : QDialog(parent), disp(std::make_unique<BusDisp>(&bus)), translate(bus.GetTranslator()) {
  setObjectName(QStringLiteral("BusViewer"));
  setModal(false);
  setAttribute(Qt::WA_DeleteOnClose);
  setSizeGripEnabled(true);

  model = new BusDispModel(*disp, this);
  view = new QTreeView(this);
  view->setObjectName(QStringLiteral("messages"));
  view->setModel(model);
  view->setRootIsDecorated(false);
  view->setItemsExpandable(false);
  view->setUniformRowHeights(true);
  view->setAllColumnsShowFocus(true);
  view->setSelectionMode(QAbstractItemView::ExtendedSelection);
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  view->setFont(fixed);
  const int ch = view->fontMetrics().horizontalAdvance(QLatin1Char('0'));
  view->header()->setStretchLastSection(true);
  view->setMinimumSize(ch * 90, 300);

  fastpoll = new QCheckBox(this);
  errorrate = new QLabel(this);

  auto* row = new QHBoxLayout;
  row->addWidget(fastpoll);
  row->addSpacing(12);
  row->addWidget(errorrate);
  row->addStretch();
  for (int i = 0; i < 5; ++i) {
    buttons[i] = new QPushButton(this);
    buttons[i]->setAutoDefault(false);
    row->addWidget(buttons[i]);
  }

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(view, 1);
  layout->addLayout(row);

  connect(fastpoll, &QCheckBox::toggled, this, [this](bool on) { disp->FastPollChange(on); });
  connect(buttons[0], &QPushButton::clicked, this, &BusDispWindow::Save);
  connect(buttons[1], &QPushButton::clicked, this, [this] {
    disp->Clear();
    model->Reset();
  });
  connect(buttons[2], &QPushButton::clicked, this, &BusDispWindow::Print);
  connect(buttons[3], &QPushButton::clicked, this, [this] {
    if (helpcloser) helpcloser();
    close();
  });
  connect(buttons[4], &QPushButton::clicked, this, [this] {
    if (help) help(HELPCONTEXT);
  });

  // Frames arrive far faster than anybody reads: the list takes them in
  // batches a few times a second.
  flusher.setInterval(FLUSHMS);
  connect(&flusher, &QTimer::timeout, this, &BusDispWindow::Flush);
  flusher.start();
  Retranslate();
}

void BusDispWindow::Retranslate() {
  setWindowTitle(UiText(translate, TX_TITLE, "Bus viewer"));
  model->Retranslate(translate);
  // Wide enough for the longest content and for the heading above it.
  const int ch = view->fontMetrics().horizontalAdvance(QLatin1Char('0'));
  const QFontMetrics headfm(view->header()->font());
  const int contentchars[] = {7, 11, 3};
  for (int c = 0; c < 3; ++c) {
    const QString head = model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    view->setColumnWidth(c,
                         std::max(ch * contentchars[c], headfm.horizontalAdvance(head)) + ch * 2);
  }
  fastpoll->setText(UiText(translate, TX_FASTPOLL, "Show fast poll"));
  errorrate->setText(ErrorRateText(translate, shownrate));
  const std::pair<int, const char*> names[] = {{TX_SAVE, "Save As..."},
                                               {TX_CLEAR, "Clear"},
                                               {TX_PRINT, "Print..."},
                                               {TX_CLOSE, "&Close"},
                                               {TX_HELP, "&Help..."}};
  for (int i = 0; i < 5; ++i)
    buttons[i]->setText(UiText(translate, names[i].first, names[i].second));
}

void BusDispWindow::changeEvent(QEvent* e) {
  if (IsLanguageChange(e)) Retranslate();
  QDialog::changeEvent(e);
}

BusDispWindow::~BusDispWindow() {
  flusher.stop();
  disp->Close();
}

QPushButton* BusDispWindow::GetButton(int id) const {
  const int i = id - IDC_SAVE;
  return i >= 0 && i < 5 ? buttons[i] : nullptr;
}

void BusDispWindow::Flush() {
  QScrollBar* bar = view->verticalScrollBar();
  // Follow the newest line only while the operator is looking at the end.
  const bool atend = bar->value() >= bar->maximum();
  if (model->Sync() && atend) view->scrollToBottom();
  UpdateErrorRate();
}

void BusDispWindow::UpdateErrorRate() {
  const unsigned rate = disp->GetBusErrorRate();
  if (rate == shownrate) return;
  shownrate = rate;
  errorrate->setText(ErrorRateText(translate, rate));
}

bool BusDispWindow::SaveTo(const QString& path) {
  return disp->Save(std::filesystem::path(path.toStdString()));
}

void BusDispWindow::Save() {
  QString path =
      QFileDialog::getSaveFileName(this, PlainUiText(translate, TX_SAVE, "Save As..."), QString(),
                                   UiText(translate, TX_TEXTFILE, "Text file (*.txt)"));
  if (path.isEmpty()) return;
  if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".txt");
  SaveTo(path);
}

int BusDispWindow::LinesPerPage(QPrinter& printer) {
  const QFontMetrics fm(PrintFont(), &printer);
  const int lines = printer.height() / fm.lineSpacing() - HEADINGLINES;
  return lines < 1 ? 1 : lines;
}

int BusDispWindow::PrintTo(QPrinter& printer) {
  Flush();
  printer.setDocName(UiText(translate, TX_TITLE, "Bus viewer"));
  KeepPrintMargins(printer);
  QPainter painter;
  if (!painter.begin(&printer)) return 0;
  painter.setFont(PrintFont());
  const QFontMetrics fm = painter.fontMetrics();
  const int line = fm.lineSpacing();
  const int ch = fm.horizontalAdvance(QLatin1Char('0'));
  const int perpage = LinesPerPage(printer);

  // The heading's words go over the columns when it has one per column.
  const QString heading = QString::fromStdString(translate.Text(18000));
  const QStringList words = heading.split(QLatin1Char(' '), Qt::SkipEmptyParts);

  auto drawcolumns = [&](int y, const std::array<QString, 4>& columns) {
    for (int c = 0; c < 4; ++c)
      if (!columns[static_cast<std::size_t>(c)].isEmpty())
        painter.drawText(PRINTCOLUMNS[c] * ch, y + fm.ascent(),
                         columns[static_cast<std::size_t>(c)]);
  };

  const std::size_t total = disp->DiagCount();
  int page = 0;
  std::size_t next = 0;
  do {
    if (page > 0) printer.newPage();
    ++page;
    int y = 0;
    painter.drawText(
        0, y + fm.ascent(),
        QString::fromStdString(Format(translate.TextOr(TX_PAGE, "Page %d").c_str(), page)));
    y += line;
    if (words.size() == 4)
      drawcolumns(y, {words[0], words[1], words[2], words[3]});
    else
      painter.drawText(0, y + fm.ascent(), heading);
    y += line;
    painter.drawLine(0, y + line / 2, printer.width(), y + line / 2);
    y += line;
    for (int n = 0; n < perpage && next < total; ++n, ++next, y += line) {
      const auto cols = BusDisp::SplitLine(disp->Line(next));
      drawcolumns(
          y, {FromLatin1(cols[0]), FromLatin1(cols[1]), FromLatin1(cols[2]), FromLatin1(cols[3])});
    }
  } while (next < total);
  painter.end();
  return page;
}

void BusDispWindow::Print() {
  QPrinter printer;
  QPrintDialog dialog(&printer, this);
  dialog.setWindowTitle(PlainUiText(translate, TX_PRINT, "Print..."));
  if (dialog.exec() != QDialog::Accepted) return;
  PrintTo(printer);
}

void BusDispWindow::reject() {
  close();
}

void BusDispWindow::closeEvent(QCloseEvent* e) {
  // From now on the application hands over no more frames.
  flusher.stop();
  disp->Close();
  e->accept();
}

}  // namespace quillark
