#include "gui/site/sitecommands.h"

#include <QEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/access/commands.h"
#include "core/access/security.h"
#include "core/access/translator.h"
#include "core/app/dockingapp.h"
#include "core/app/mainwindow.h"
#include "core/common/textutil.h"
#include "core/events/fileext.h"
#include "core/platform/prompter.h"
#include "core/site/config.h"
#include "core/site/siteeditor.h"
#include "core/status/sitescan.h"
#include "gui/common/uitext.h"
#include "gui/site/siteconfdlg.h"

namespace quillark {

SiteScanWindow::SiteScanWindow(SiteScan& s, Translator& t, QWidget* parent)
    : ProgressDialog(t, parent), scan(s), translator(t) {
  setObjectName(QStringLiteral("SCANNER"));
  Retranslate();
}

void SiteScanWindow::Retranslate() {
  if (!started) {
    setWindowTitle(UiText(translator, 63840, "New site"));
    status->setText(UiText(translator, 58050, "Scanning devices..."));
  } else {
    setWindowTitle(QString::fromStdString(
        Format(translator.TextOr(58200, "Scanning %d%%").c_str(), scan.GetPercent())));
  }
}

void SiteScanWindow::changeEvent(QEvent* e) {
  if (IsLanguageChange(e)) Retranslate();
  ProgressDialog::changeEvent(e);
}

void SiteScanWindow::Follow() {
  started = true;
  if (!scan.GetStatusText().empty()) status->setText(QString::fromStdString(scan.GetStatusText()));
  gauge->setValue(scan.GetPercent());
  Retranslate();
  if (!scan.Running()) hide();
}

void SiteScanWindow::reject() {
  scan.Cancel();
  QDialog::reject();
}

SiteCommands::SiteCommands(TDockingApp& a, QWidget* p) : app(a), parent(p) {
  app.SetCommandHandler(CMD_SITECONF, [this] { Configure(); });
  app.SetCommandHandler(CMD_NEW, [this] { New(); });
  // OpenFile has asked for the right and made the file the site in use.
  app.SetFileOpener(FT_SITE, [this](const std::string&) { Configure(); });
}

SiteCommands::~SiteCommands() {
  for (int id : {CMD_SITECONF, CMD_NEW}) app.SetCommandHandler(id, nullptr);
  app.SetFileOpener(FT_SITE, nullptr);
  progress.reset();
  scan.reset();
}

void SiteCommands::Run(QDialog& dialog) {
  if (runner)
    runner(dialog);
  else
    dialog.exec();
}

void SiteCommands::Configure() {
  const TSiteConfig* site = app.GetSiteConfig();
  TMainWindow* window = app.GetMainWindow();
  if (site == nullptr || window == nullptr) return;
  SiteConfigDlg::Setup setup;
  setup.ini = &app.GetServices().ini;
  setup.prompter = &app.GetServices().prompter;
  setup.translator = &app.GetServices().translator;
  setup.sound = &app.GetServices().sound;
  setup.app = &app;
  setup.help = help;
  SiteConfigDlg dialog(
      std::make_unique<SiteEditor>(*site, &app.GetServices().translator, app.GetBus().GetLoops()),
      setup, parent);
  app.GetBus().PausePolling();
  Run(dialog);
  app.GetBus().ResumePolling();
  if (dialog.result() != QDialog::Accepted) return;
  const Security* security = window->GetSecurity();
  app.WriteEvent(1, Format("Edit site configuration by user '%s'",
                           security != nullptr ? security->GetUser().c_str() : ""));
  // The displays, the poll list and the array cells follow the new file.
  app.ShowBargraph();
}

void SiteCommands::New() {
  if (app.GetMainWindow() == nullptr || (scan != nullptr && scan->Running())) return;
  std::string file;
  if (asker) {
    file = asker();
  } else {
    Translator& t = app.GetServices().translator;
    file = QFileDialog::getSaveFileName(parent, UiText(t, 63840, "New site"),
                                        QString::fromStdString(app.GetPaths().home.string()),
                                        UiText(t, 63900, "Site files (*.cfg)"))
               .toStdString();
  }
  if (file.empty()) return;
  if (GetExtension(file).empty()) file += ".cfg";
  scan = std::make_unique<SiteScan>(&app.GetBus(), file);
  progress = std::make_unique<SiteScanWindow>(*scan, app.GetServices().translator, parent);
  scan->Start([this](const std::string&) { progress->Follow(); },
              [this](bool ok, const std::string& summary) {
                // The scan is still inside its own call: finish after it.
                app.GetServices().events.Post([this, ok, summary] { ScanDone(ok, summary); });
              });
  if (scan->Running()) progress->show();
}

void SiteCommands::ScanDone(bool ok, const std::string& summary) {
  if (progress) progress->hide();
  const std::string file = scan != nullptr ? scan->GetFileName() : std::string();
  Prompter& prompter = app.GetServices().prompter;
  if (!ok) {
    prompter.Show(summary.rfind("Error writing", 0) == 0 ? file : std::string(), summary,
                  PromptIcon::STOP);
    return;
  }
  prompter.Show("", summary, PromptIcon::INFORMATION);
  app.GetServices().ini.WriteString("Site", "Site", file);
  app.ShowBargraph();
  Configure();
}

}  // namespace quillark
