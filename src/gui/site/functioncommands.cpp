#include "gui/site/functioncommands.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/access/commands.h"
#include "core/access/translator.h"
#include "core/app/dockingapp.h"
#include "core/app/mainwindow.h"
#include "core/events/fileext.h"
#include "core/platform/prompter.h"
#include "core/site/config.h"
#include "core/site/fnfile.h"
#include "gui/site/functionprogdlg.h"

namespace quillark {

FnIoWindow::FnIoWindow(FnIo& i, Translator& t, QWidget* parent) : ProgressDialog(t, parent), io(i) {
  setObjectName(QStringLiteral("fnio"));
  setWindowTitle(QString::fromStdString(io.GetCaption()));
  Follow();
}

void FnIoWindow::Follow() {
  status->setText(QString::fromStdString(io.GetStatusText()));
  gauge->setValue(io.GetPercent());
  if (!io.Running()) hide();
}

void FnIoWindow::reject() {
  io.Cancel();
  QDialog::reject();
}

FunctionCommands::FunctionCommands(TDockingApp& a, QWidget* p) : app(a), parent(p) {
  app.SetCommandHandler(CMD_EDITDEVFN, [this] { Edit(app.GetSelDetector()); });
  app.SetCommandHandler(CMD_EDITDETFN, [this] {
    const int d = app.GetSelDetector();
    Edit(d >= 0 && FnDeviceKind(d) == DETECTOR ? d : 1);
  });
  app.SetCommandHandler(CMD_EDITPSUFN, [this] {
    const int d = app.GetSelDetector();
    Edit(d >= 0 && FnDeviceKind(d) == POWERSUPPLY ? d : 128);
  });
  app.SetCommandHandler(CMD_EDITCONTROLFN, [this] {
    const int d = app.GetSelDetector();
    Edit(d >= 0 ? d & ~0xFF : 0);
  });
  app.SetCommandHandler(CMD_SAVEFNS, [this] { Transfer(FnIo::SAVE); });
  app.SetCommandHandler(CMD_RESTOREFNS, [this] { Transfer(FnIo::RESTORE); });
  app.SetCommandHandler(CMD_SETCLOCKS, [this] { Transfer(FnIo::SETCLOCKS); });
  for (int type : {FT_DETFN, FT_PSUFN, FT_CMDFN})
    app.SetFileOpener(type, [this, type](const std::string& path) { EditOffline(path, type); });
}

FunctionCommands::~FunctionCommands() {
  for (int id : {CMD_EDITDEVFN, CMD_EDITDETFN, CMD_EDITPSUFN, CMD_EDITCONTROLFN, CMD_SAVEFNS,
                 CMD_RESTOREFNS, CMD_SETCLOCKS})
    app.SetCommandHandler(id, nullptr);
  for (int type : {FT_DETFN, FT_PSUFN, FT_CMDFN}) app.SetFileOpener(type, nullptr);
}

void FunctionCommands::Run(QDialog& dialog) {
  if (runner)
    runner(dialog);
  else
    dialog.exec();
}

void FunctionCommands::Edit(int device) {
  if (device < 0) return;
  const TSiteConfig* site = app.GetSiteConfig();
  const DeviceConfig* d =
      site != nullptr ? site->GetDevice(static_cast<std::uint32_t>(device)) : nullptr;
  FunctionProgDlg::Setup setup;
  setup.bus = &app.GetBus();
  setup.site = site;
  setup.translator = &app.GetServices().translator;
  setup.prompter = &app.GetServices().prompter;
  setup.device = device;
  setup.model = d != nullptr ? d->GetModel() : DEFAULT_DETECTOR;
  if (site != nullptr) {
    const std::string file = FnFileName(site->GetConfig(), FnDeviceKind(device));
    std::error_code ec;
    if (!file.empty() && std::filesystem::exists(file, ec)) setup.file = file;
  }
  FunctionProgDlg dialog(setup, parent);
  Run(dialog);
  // The command module's settings decide what the display shows.
  if (dialog.result() == QDialog::Accepted && FnDeviceKind(device) == BUSCONTROLLER)
    app.ShowBargraph();
}

void FunctionCommands::EditOffline(const std::string& path, int filetype) {
  std::string text;
  if (!ReadFnFile(path, text)) {
    app.GetServices().prompter.Show("error",
                                    app.GetServices().translator.TextOr(
                                        70500, "ERROR: cannot load function settings from file."),
                                    PromptIcon::STOP);
    return;
  }
  const int kindmodel = filetype == FT_CMDFN   ? PELORIN2000BUSMASTER
                        : filetype == FT_PSUFN ? PELORIN2000POWERSUPPLY
                                               : PELORIN2000DETECTOR;
  FunctionProgDlg::Setup setup;
  setup.translator = &app.GetServices().translator;
  setup.prompter = &app.GetServices().prompter;
  setup.device = FunctionProgDlg::PickDevice(text, kindmodel);
  setup.model = kindmodel == PELORIN2000POWERSUPPLY ? PELORIN2000POWERSUPPLY : DEFAULT_DETECTOR;
  setup.file = path;
  FunctionProgDlg dialog(setup, parent);
  Run(dialog);
}

void FunctionCommands::Transfer(FnIo::Mode mode) {
  TMainWindow* window = app.GetMainWindow();
  if (window == nullptr) return;
  FnIo* io = window->StartFnIo(
      mode,
      [this](const std::string&) {
        if (progress) progress->Follow();
      },
      [this](bool ok, const std::string& summary) {
        if (progress) progress->Follow();
        app.GetServices().prompter.Show("", summary,
                                        ok ? PromptIcon::INFORMATION : PromptIcon::STOP);
      });
  if (io == nullptr || !io->Running()) return;
  progress = std::make_unique<FnIoWindow>(*io, app.GetServices().translator, parent);
  progress->show();
}

}  // namespace quillark
