#include "gui/diag/diagwindow.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/access/commands.h"
#include "core/access/security.h"
#include "core/access/translator.h"
#include "core/app/dockingapp.h"
#include "core/app/mainwindow.h"
#include "core/common/ini.h"
#include "core/diag/devicetests.h"
#include "core/diag/diag.h"
#include "core/diag/transfer.h"
#include "core/events/fileext.h"
#include "core/platform/prompter.h"
#include "gui/common/uitext.h"
#include "gui/status/scannerwindow.h"

namespace quillark {
namespace {

// Window texts with numbers of their own.
enum : int {
  TX_TITLE = 61600,
  TX_SCAN = 61700,
  TX_DIAGNOSTICS = 61800,
  TX_READ = 61900,
  TX_RELAYS = 62000,
  TX_SAVEAS = 62100,
  TX_PRINT = 62200,
  TX_HELP = 62300,
  TX_CLOSE = 62400,
  TX_SELFTEST = 62500,
  TX_CONTREAD = 62600,
  TX_LEVEL = 62700,
  TX_PIPE = 62800,
  TX_FAULT = 62900,
  TX_FIRE2 = 31100,
  TX_FIRE1 = 31200,
  TX_PREALARM = 31300,
  TX_AUX = 31400,
  TX_PAGE = 57850,
  TX_TEXTFILE = 57900,
  TX_SCANNER = 57950,
};

QString Tr(TDockingApp& app, int id) {
  return QString::fromStdString(app.GetServices().translator.Text(id));
}

std::string User(TDockingApp& app) {
  const TMainWindow* mw = app.GetMainWindow();
  const Security* security = mw != nullptr ? mw->GetSecurity() : nullptr;
  return security != nullptr ? security->GetUser() : std::string();
}

}  // namespace

// --- The list ----------------------------------------------------------------

DiagWindow::DiagWindow(TDockingApp& a, int single, QWidget* parent)
    : QDialog(parent), app(a), opener(User(a)) {
  setObjectName(QStringLiteral("Diagnostics"));
  const TMainWindow* mw = app.GetMainWindow();
  diag = std::make_unique<Diag>(&app.GetBus(), mw != nullptr ? mw->GetLoops() : 1, single);
  diag->SetScanRunner([this](MsgClass& owner, const ScanRequest& request, ScanProgress*& running) {
    Scanner scanner(&app.GetBus(), owner, request);
    ScannerWindow progress(scanner, request.startdevice, request.enddevice, this);
    progress.setWindowTitle(Text(TX_SCANNER));
    progress.show();
    running = &scanner;
    const int result = scanner.Run();
    running = nullptr;
    return result;
  });

  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  header = new QLabel(this);
  header->setFont(fixed);
  list = new QListWidget(this);
  list->setObjectName(QStringLiteral("list"));
  list->setFont(fixed);
  list->setUniformItemSizes(true);
  list->setMinimumSize(list->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 96,
                       list->fontMetrics().height() * 18);
  connect(list, &QListWidget::itemSelectionChanged, this, [this] { Selected(); });

  auto* column = new QVBoxLayout;
  auto add = [&](int text, const char* name, auto slot) {
    auto* b = new QPushButton(this);
    buttons.emplace_back(b, text);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, slot);
    column->addWidget(b);
    return b;
  };
  add(TX_SCAN, "scan", [this] { Scan(); });
  tests[0] = add(TX_DIAGNOSTICS, "diagnostics", [this] { Diagnostics(); });
  tests[1] = add(TX_READ, "read", [this] { Read(); });
  tests[2] = add(TX_RELAYS, "relays", [this] { Relays(); });
  add(TX_SAVEAS, "save", [this] { Save(); });
  add(TX_PRINT, "print", [this] { Print(); });
  add(TX_HELP, "help", [this] {
    if (help) help(0);
  });
  add(TX_CLOSE, "close", [this] { accept(); });
  column->addStretch();
  Selected();

  auto* left = new QVBoxLayout;
  left->addWidget(header);
  left->addWidget(list);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left, 1);
  layout->addLayout(column);
  Retranslate();
}

void DiagWindow::Retranslate() {
  setWindowTitle(Text(TX_TITLE));
  for (const auto& [button, text] : buttons) button->setText(Text(text));
  header->setText(QString::fromStdString(diag->Header()));
  // The rows show words of the header's language.
  if (!diag->Scanning() && !diag->Rows().empty()) {
    const int row = list->currentRow();
    Fill();
    list->setCurrentRow(row);
  }
}

void DiagWindow::changeEvent(QEvent* e) {
  if (IsLanguageChange(e)) Retranslate();
  QDialog::changeEvent(e);
}

DiagWindow::~DiagWindow() {
  // Closing the window is what is recorded, whatever was done in it.
  app.WriteEvent(1, diag->ClosingEvent(opener));
}

QString DiagWindow::Text(int id) const {
  return Tr(app, id);
}

void DiagWindow::Scan() {
  if (diag->Scanning()) return;
  list->clear();
  Selected();
  diag->ScanLoops([this](int) { Fill(); });
}

void DiagWindow::Fill() {
  list->clear();
  const std::string header = diag->Header();
  for (const std::string& row : diag->Rows())
    list->addItem(QString::fromStdString(Diag::ShownLine(row, header)));
  Selected();
}

void DiagWindow::Selected() {
  const bool any = SelectedDevice() >= 0;
  for (QPushButton* b : tests) b->setEnabled(any);
}

int DiagWindow::SelectedDevice() const {
  const int row = list->currentRow();
  const auto& rows = diag->Rows();
  if (row < 0 || row >= static_cast<int>(rows.size()) || list->selectedItems().isEmpty()) return -1;
  return DiagParseDevice(rows[static_cast<std::size_t>(row)]);
}

void DiagWindow::RunDialog(QDialog& dialog) {
  if (runner)
    runner(dialog);
  else
    dialog.exec();
}

void DiagWindow::Diagnostics() {
  const int device = SelectedDevice();
  if (device < 0) return;
  SelfTestDialog dialog(app, device, this);
  RunDialog(dialog);
}

void DiagWindow::Read() {
  const int device = SelectedDevice();
  if (device < 0) return;
  ReadDialog dialog(app, device, this);
  RunDialog(dialog);
}

void DiagWindow::Relays() {
  const int device = SelectedDevice();
  if (device < 0) return;
  RelayDialog dialog(app, device, this);
  RunDialog(dialog);
}

void DiagWindow::Save() {
  std::string path;
  if (choosefile) {
    path = choosefile();
  } else {
    path = QFileDialog::getSaveFileName(this, Text(TX_SAVEAS).remove(QStringLiteral("...")),
                                        QString(), Text(TX_TEXTFILE))
               .toStdString();
  }
  if (path.empty()) return;
  if (!diag->Save(path))
    app.GetServices().prompter.Show("", app.GetServices().translator.Text(TX_DIAGCANNOTOPEN),
                                    PromptIcon::STOP);
}

void DiagWindow::Print() {
  QPrinter printer;
  QPrintDialog dialog(&printer, this);
  if (dialog.exec() != QDialog::Accepted) return;
  QPainter painter;
  if (!painter.begin(&printer)) return;
  painter.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  const QRect page = painter.viewport();
  const int line = painter.fontMetrics().height();
  const QString title = Text(TX_TITLE);
  int number = 0;
  int y = page.bottom();
  for (std::size_t i = 0; i <= diag->Rows().size(); ++i) {
    if (y + line > page.bottom()) {
      if (number > 0) printer.newPage();
      ++number;
      y = page.top() + line;
      painter.drawText(page.left(), y, title);
      const QString pagetext = Text(TX_PAGE).replace(QStringLiteral("%d"), QString::number(number));
      painter.drawText(page.right() - painter.fontMetrics().horizontalAdvance(pagetext), y,
                       pagetext);
      y += 2 * line;
      painter.drawText(page.left(), y, QString::fromStdString(diag->Header()));
      y += line / 2;
      painter.drawLine(page.left(), y, page.right(), y);
      y += line;
    }
    if (i == diag->Rows().size()) break;
    painter.drawText(page.left(), y, QString::fromStdString(Diag::PrintLine(diag->Rows()[i])));
    y += line;
  }
  painter.end();
}

// --- Self-test ---------------------------------------------------------------

SelfTestDialog::SelfTestDialog(TDockingApp& a, int d, QWidget* parent)
    : QDialog(parent), app(a), device(d), test(std::make_unique<Diagnose>(&app.GetBus(), device)) {
  setObjectName(QStringLiteral("SelfTest"));
  status = new QLabel(this);
  status->setWordWrap(true);
  status->setMinimumWidth(360);
  // Room for the state and the words for a test that got no answer.
  status->setMinimumHeight(status->fontMetrics().lineSpacing() * 4);
  gauge = new QProgressBar(this);
  gauge->setRange(1, 10);
  gauge->setValue(1);
  closebutton = new QPushButton(this);
  connect(closebutton, &QPushButton::clicked, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(gauge);
  layout->addWidget(status);
  layout->addWidget(closebutton, 0, Qt::AlignRight);
  Retranslate();
  test->SetOnChange([this] { Follow(); });
  test->Start();
  Follow();
}

void SelfTestDialog::Retranslate() {
  setWindowTitle(Tr(app, TX_SELFTEST) + QStringLiteral(" ") +
                 QString::fromStdString(DiagDeviceName(device)));
  closebutton->setText(Tr(app, TX_CLOSE));
}

void SelfTestDialog::changeEvent(QEvent* e) {
  if (IsLanguageChange(e)) Retranslate();
  QDialog::changeEvent(e);
}

SelfTestDialog::~SelfTestDialog() {
  test->SetOnChange(nullptr);
}

void SelfTestDialog::Follow() {
  QString text = QString::fromStdString(test->GetStatusText()).trimmed();
  if (!test->GetProblem().empty())
    text += (text.isEmpty() ? QString() : QStringLiteral("\n")) +
            QString::fromStdString(test->GetProblem());
  status->setText(text);
  gauge->setValue(std::max(gauge->minimum(), test->GetGauge()));
  // The result stays in view: the operator closes the window.
}

// --- Continuous read -----------------------------------------------------------

ReadDialog::ReadDialog(TDockingApp& a, int d, QWidget* parent)
    : QDialog(parent), app(a), device(d), read(std::make_unique<ContRead>(&app.GetBus(), device)) {
  setObjectName(QStringLiteral("ContRead"));
  auto* grid = new QGridLayout(this);
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  for (int i = 0; i < 5; ++i) {
    names[i] = new QLabel(this);
    grid->addWidget(names[i], i, 0);
    fields[i] = new QLabel(this);
    fields[i]->setFont(fixed);
    fields[i]->setMinimumWidth(fields[i]->fontMetrics().horizontalAdvance(QStringLiteral("0000")));
    grid->addWidget(fields[i], i, 1);
  }
  closebutton = new QPushButton(this);
  connect(closebutton, &QPushButton::clicked, this, &QDialog::accept);
  grid->addWidget(closebutton, 5, 1);
  Retranslate();
  read->SetOnReading([this](const ContRead::Reading& r) {
    for (int i = 0; i < 5; ++i) fields[i]->setText(QString::fromStdString(r.Field(i)));
  });
  read->Start();
}

void ReadDialog::Retranslate() {
  setWindowTitle(Tr(app, TX_CONTREAD) + QStringLiteral(" ") +
                 QString::fromStdString(DiagDeviceName(device)));
  for (int i = 0; i < 5; ++i)
    names[i]->setText(i == 0 ? Tr(app, TX_LEVEL)
                             : Tr(app, TX_PIPE).replace(QStringLiteral("%d"), QString::number(i)));
  closebutton->setText(Tr(app, TX_CLOSE));
}

void ReadDialog::changeEvent(QEvent* e) {
  if (IsLanguageChange(e)) Retranslate();
  QDialog::changeEvent(e);
}

ReadDialog::~ReadDialog() {
  read->SetOnReading(nullptr);
}

// --- Relays --------------------------------------------------------------------

RelayDialog::RelayDialog(TDockingApp& a, int d, QWidget* parent)
    : QDialog(parent),
      app(a),
      device(d),
      relays(std::make_unique<RelayTest>(&app.GetBus(), device)) {
  setObjectName(QStringLiteral("RelayTest"));
  auto* layout = new QVBoxLayout(this);
  static constexpr int BITS[5] = {RelayTest::FIRE2, RelayTest::FIRE1, RelayTest::PREALARM,
                                  RelayTest::AUX, RelayTest::FAULT};
  for (int i = 0; i < 5; ++i) {
    boxes[i] = new QCheckBox(this);
    const int bit = BITS[i];
    connect(boxes[i], &QCheckBox::toggled, this, [this, bit] { relays->Toggle(bit); });
    layout->addWidget(boxes[i]);
  }
  problem = new QLabel(this);
  problem->setWordWrap(true);
  problem->setMinimumWidth(360);
  problem->setMinimumHeight(problem->fontMetrics().lineSpacing() * 3);
  layout->addWidget(problem);
  closebutton = new QPushButton(this);
  connect(closebutton, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(closebutton, 0, Qt::AlignRight);
  Retranslate();
  relays->SetOnChange([this] { problem->setText(QString::fromStdString(relays->GetProblem())); });
}

void RelayDialog::Retranslate() {
  setWindowTitle(Tr(app, TX_RELAYS).remove(QStringLiteral("...")) + QStringLiteral(" ") +
                 QString::fromStdString(DiagDeviceName(device)));
  static constexpr int TEXTS[5] = {TX_FIRE2, TX_FIRE1, TX_PREALARM, TX_AUX, TX_FAULT};
  for (int i = 0; i < 5; ++i) boxes[i]->setText(Tr(app, TEXTS[i]));
  closebutton->setText(Tr(app, TX_CLOSE));
}

void RelayDialog::changeEvent(QEvent* e) {
  if (IsLanguageChange(e)) Retranslate();
  QDialog::changeEvent(e);
}

RelayDialog::~RelayDialog() {
  relays->SetOnChange(nullptr);
}

// --- Transfers -------------------------------------------------------------------

TransferDialog::TransferDialog(DeviceTransfer& t, const std::string& text, Translator& tr,
                               QWidget* parent)
    : ProgressDialog(tr, parent), transfer(t) {
  setObjectName(QStringLiteral("Transfer"));
  gauge->setRange(transfer.GaugeMin(), std::max(transfer.GaugeMin(), transfer.GaugeMax()));
  status->setText(QString::fromStdString(text));
  transfer.SetOnChange([this] { Follow(); });
  Follow();
}

TransferDialog::~TransferDialog() {
  transfer.SetOnChange(nullptr);
}

void TransferDialog::Follow() {
  setWindowTitle(QString::fromStdString(transfer.GetCaption()));
  gauge->setValue(std::clamp(transfer.GaugeValue(), gauge->minimum(), gauge->maximum()));
  if (transfer.GetResult() == DeviceTransfer::DONE) accept();
  if (transfer.GetResult() == DeviceTransfer::CANCELLED) QDialog::reject();
}

void TransferDialog::reject() {
  // Esc and the close box cancel as the button does.
  transfer.Cancel();
  QDialog::reject();
}

// --- Commands ----------------------------------------------------------------------

DiagCommands::DiagCommands(TDockingApp& a, QWidget* p) : app(a), parent(p) {
  app.SetCommandHandler(CMD_DIAGNOSTICS, [this] { Show(-1); });
  app.SetCommandHandler(CMD_SINGLEDIAGNOSTICS, [this] {
    const int device = app.GetSelDetector();
    if (device >= 0 && (device & 0xFF) >= 1 && (device & 0xFF) <= 127) Show(device);
  });
  for (int type : {FT_LANGUAGE, FT_LOGO})
    app.SetFileOpener(type, [this, type](const std::string& path) { SendFile(type, path); });
}

DiagCommands::~DiagCommands() {
  for (int id : {CMD_DIAGNOSTICS, CMD_SINGLEDIAGNOSTICS}) app.SetCommandHandler(id, nullptr);
  for (int type : {FT_LANGUAGE, FT_LOGO}) app.SetFileOpener(type, nullptr);
}

void DiagCommands::Show(int single) {
  DiagWindow window(app, single, parent);
  window.SetHelpHandler(help);
  window.show();
  window.Scan();
  if (runner)
    runner(window);
  else
    window.exec();
}

void DiagCommands::SendFile(int type, const std::string& path) {
  Translator& translator = app.GetServices().translator;
  Prompter& prompter = app.GetServices().prompter;
  const int loops = app.GetBus().GetLoops();
  std::unique_ptr<DeviceTransfer> transfer;
  std::string text, why;
  if (type == FT_LANGUAGE) {
    IltFile file;
    if (!IltFile::Load(path, file, why)) {
      prompter.Show("", why, PromptIcon::STOP);
      return;
    }
    const bool hascm = (app.GetServices().ini.ReadInt("Comm", "CTSflow", "1") & 1) != 0;
    transfer = std::make_unique<LanguageTransfer>(&app.GetBus(), loops, std::move(file), hascm);
    text = translator.Text(TX_SETTINGLANGUAGE);
  } else {
    LgoFile file;
    if (!LgoFile::Load(path, file, why)) {
      prompter.Show("", translator.Text(TX_BITMAPERROR) + "\n" + why, PromptIcon::STOP);
      return;
    }
    transfer = std::make_unique<LogoTransfer>(&app.GetBus(), loops, std::move(file));
    text = translator.Text(TX_SETTINGLOGO);
  }
  TransferDialog dialog(*transfer, text, translator, parent);
  transfer->Start();
  if (transfer->GetResult() != DeviceTransfer::RUNNING) return;
  if (runner)
    runner(dialog);
  else
    dialog.exec();
  transfer->Cancel();
}

}  // namespace quillark
