#include "gui/app/desktop.h"

#include <QMessageBox>

#include "core/access/commands.h"
#include "core/access/translator.h"
#include "core/app/dockingapp.h"
#include "core/app/mainwindow.h"
#include "core/common/ini.h"
#include "core/events/mail.h"
#include "core/events/notifier.h"
#include "core/events/pager.h"
#include "core/site/config.h"
#include "core/status/soplauncher.h"
#include "core/views/bargraph.h"
#include "core/views/sitemap.h"
#include "gui/access/languagedlg.h"
#include "gui/app/filecommands.h"
#include "gui/app/mainframe.h"
#include "gui/common/windowplacekeeper.h"
#include "gui/comms/commsettingsdlg.h"
#include "gui/diag/diagwindow.h"
#include "gui/events/eventlogcommands.h"
#include "gui/events/notifysetupdlg.h"
#include "gui/guiprompter.h"
#include "gui/site/functioncommands.h"
#include "gui/site/sitecommands.h"
#include "gui/status/alarmdispwindow.h"
#include "gui/status/bmasterwindow.h"
#include "gui/status/busdispwindow.h"
#include "gui/views/bargraphview.h"
#include "gui/views/chartwindow.h"
#include "gui/views/frontpanelwindow.h"
#include "gui/views/histogramwindow.h"
#include "gui/views/mapview.h"

namespace quillark {

Desktop::Desktop(TDockingApp& a, INI& ini, MainFrame& f)
    : app(a),
      frame(f),
      help(&f),
      logon(&f, &a.GetServices().translator),
      passwords(&f, &a.GetServices().translator),
      sophost(&f) {
  help.SetTranslator(&app.GetServices().translator);
  app.SetCommandHandler(CMD_CONTENTS, [this] { help.ShowContext(0); });
  app.SetConfirmer([this](const std::string& question) { return Confirm(question); });
  TMainWindow* window = app.GetMainWindow();
  if (Security* security = window->GetSecurity()) {
    security->SetLogOnPrompt(&logon);
    security->SetPasswordEditor(&passwords);
  }
  if (AlarmDisp* alarms = window->GetAlarmDisplay()) {
    alarmwindow = std::make_unique<AlarmDispWindow>(*alarms, &frame);
    alarmwindow->SetHelpHandler([this](int context) { help.ShowContext(context); });
    alarmwindow->SetCommandRunner([this](int id) { app.ExecuteCommand(id); });
    if (ini.ReadInt("AlarmViewer", "FullSize", "0") != 0)
      alarmwindow->PlaceFullSize(AlarmDispWindow::FullSizeRect(frame.geometry()));
    else
      new WindowPlaceKeeper(*alarmwindow, ini, "AlarmViewer");
    app.SetCommandHandler(CMD_ALARMDISPLAY, [this] { alarmwindow->Toggle(); });
  }
  if (SOPLauncher* launcher = window->GetSOPLauncher())
    launcher->SetOnChange([this](SOPDialog* d) { FollowOperation(d); });
  if (PCcommandModule* master = window->GetBusMaster()) {
    busmasterwindow = std::make_unique<CommandModuleWindow>(*master, &frame);
    busmasterwindow->SetHelpHandler([this](int context) { help.ShowContext(context); });
    app.SetCommandHandler(CMD_COMMANDMODULE, [this] {
      app.GetBus().PausePolling();
      busmasterwindow->Setup();
      app.GetBus().ResumePolling();
    });
  }
  app.SetCommandHandler(CMD_LANGUAGE, [this, &ini] {
    LanguageDlg dialog(app.GetServices().translator, ini, &frame);
    if (dialog.exec() != QDialog::Accepted) return;
    const int language = static_cast<int>(ini.ReadInt("Product", "Language", "0"));
    app.GetServices().translator.SetLanguage(language);
    // The main menu, toolbar tips, Qt's own texts and the number format
    // take the new language at once.
    frame.Retranslate();
  });
  files = std::make_unique<FileCommands>(app, ini, frame);
  eventlogs = std::make_unique<EventLogCommands>(app, &frame);
  histograms = std::make_unique<HistogramCommands>(app, &frame);
  charts = std::make_unique<ChartCommands>(app, &frame);
  app.SetCommandHandler(CMD_FRONTPANEL, [this] { FrontPanelWindow::Open(app, &frame); });
  eventlogs->SetPlaceKeeping(&ini);
  eventlogs->SetHelpHandler([this](int context) { help.ShowContext(context); });
  eventlogs->SetRecentHandler([this](const std::string& path) { files->AddRecent(path); });
  functions = std::make_unique<FunctionCommands>(app, &frame);
  sites = std::make_unique<SiteCommands>(app, &frame);
  sites->SetHelpHandler([this](int context) { help.ShowContext(context); });
  diags = std::make_unique<DiagCommands>(app, &frame);
  diags->SetHelpHandler([this](int context) { help.ShowContext(context); });
  // The device display; built again whenever it is missing.
  app.GetBus().SetDisplayBuilder([this] {
    TMainWindow* mw = app.GetMainWindow();
    auto bargraph =
        std::make_unique<Bargraph>(&app.GetBus(), &app, mw->GetLoops(), mw->GetEventInfo());
    bargraph->SetCommandFilter([this](int id) { return app.HasCommandHandler(id); });
    frame.setCentralWidget(new BargraphView(app, std::move(bargraph), &frame));
  });
  WireBusAndSettings(ini);
  WireMaps();
}

void Desktop::WireMaps() {
  // A map window's selection is the panels' too.
  auto share = [this] {
    if (BargraphView* view = View()) view->GetBargraph().SelectionChanged();
  };
  app.SetCommandHandler(CMD_VIEWMAP, [this, share] {
    const TSiteConfig* site = app.GetSiteConfig();
    if (site == nullptr) return;
    if (auto ref = SiteMap::DeviceRef(*site, app.GetSelDetector()))
      MapView::Open(app, *ref, &frame, share);
  });
  app.SetCommandHandler(CMD_VIEWZONE, [this, share] {
    const TSiteConfig* site = app.GetSiteConfig();
    if (site == nullptr) return;
    if (auto ref = SiteMap::ZoneRefOf(*site, app.GetSelDetector()))
      MapView::Open(app, *ref, &frame, share);
  });
  app.SetCommandHandler(CMD_TOGGLEMAPVIEW, [this] {
    if (BargraphView* view = View()) view->ToggleMapView();
  });
}

void Desktop::UnwireMaps() {
  for (int id : {CMD_VIEWMAP, CMD_VIEWZONE, CMD_TOGGLEMAPVIEW}) app.SetCommandHandler(id, nullptr);
  // Map windows read the site and the status tables: they go first.
  for (MapView* w : MapView::Windows(&frame)) delete w;
}

void Desktop::WireBusAndSettings(INI& ini) {
  app.SetCommandHandler(CMD_BUSDISPLAY, [this, &ini] {
    if (busviewer == nullptr) {
      busviewer = new BusDispWindow(app.GetBus(), &frame);
      new WindowPlaceKeeper(*busviewer, ini, "BusViewer");
      busviewer->SetHelpHandler([this](int context) { help.ShowContext(context); });
      busviewer->SetHelpCloser([this] { help.hide(); });
    }
    busviewer->showNormal();
    busviewer->raise();
    busviewer->activateWindow();
  });
  app.SetCommandHandler(CMD_COMMUNICATIONSETTINGS, [this, &ini] {
    app.CommunicationSettings([this, &ini] {
      CommSettingsDialog dialog(ini, app.GetServices().translator, app.GetServices().prompter,
                                &frame);
      return dialog.exec() == QDialog::Accepted;
    });
  });
  EventNotifier* notifier = app.GetMainWindow()->GetNotifier();
  if (notifier == nullptr) return;
  app.SetCommandHandler(CMD_EMAIL, [this, &ini, notifier] {
    EmailSetupDialog dialog(ini, notifier->GetMailer(), app.GetServices().prompter,
                            app.GetServices().translator, &frame);
    dialog.exec();
  });
  app.SetCommandHandler(CMD_PAGER, [this, &ini, notifier] {
    PagerSetupDialog dialog(ini, notifier->GetPager(), app.GetServices().launcher,
                            app.GetServices().prompter, app.GetServices().translator,
                            app.GetPaths().home, &frame);
    dialog.SetHelpHandler([this](int context) { help.ShowContext(context); });
    dialog.exec();
  });
}

Desktop::~Desktop() {
  // No display may be rebuilt while shutting down, and every window goes
  // before the core object it shows.
  app.GetBus().SetDisplayBuilder(nullptr);
  app.SetConfirmer(nullptr);
  UnwireMaps();
  delete frame.takeCentralWidget();
  TMainWindow* window = app.GetMainWindow();
  if (window != nullptr && window->GetSOPLauncher() != nullptr) {
    window->GetSOPLauncher()->SetOnChange(nullptr);
    window->GetSOPLauncher()->CloseSopDialog();
  }
  sophost.Follow(nullptr);
  if (window != nullptr && window->GetSecurity() != nullptr) {
    window->GetSecurity()->SetLogOnPrompt(nullptr);
    window->GetSecurity()->SetPasswordEditor(nullptr);
  }
  for (int id : {CMD_CONTENTS, CMD_ALARMDISPLAY, CMD_COMMANDMODULE, CMD_LANGUAGE})
    app.SetCommandHandler(id, nullptr);
  sites.reset();
  functions.reset();
  diags.reset();
  eventlogs.reset();
  histograms.reset();
  charts.reset();
  // Front panels listen to the bus: they go before it does.
  app.SetCommandHandler(CMD_FRONTPANEL, nullptr);
  for (FrontPanelWindow* w : frame.findChildren<FrontPanelWindow*>(Qt::FindDirectChildrenOnly))
    delete w;
  files.reset();
  for (int id : {CMD_BUSDISPLAY, CMD_COMMUNICATIONSETTINGS, CMD_EMAIL, CMD_PAGER})
    app.SetCommandHandler(id, nullptr);
  delete busviewer;
  busmasterwindow.reset();
  alarmwindow.reset();
}

bool Desktop::Confirm(const std::string& question) {
  // No is the default: a stray Return must not reset or isolate a site.
  QMessageBox box(QMessageBox::Question, QStringLiteral("Quillark"),
                  QString::fromStdString(question), QMessageBox::Yes | QMessageBox::No, &frame);
  box.setObjectName(QStringLiteral("Confirmation"));
  NameButtons(box, &app.GetServices().translator);
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

BusDispWindow* Desktop::BusViewer() const {
  return busviewer;
}

BargraphView* Desktop::View() const {
  return dynamic_cast<BargraphView*>(frame.centralWidget());
}

void Desktop::FollowOperation(SOPDialog* dialog) {
  sophost.Follow(dialog);
  SOPDialogWindow* window = sophost.GetWindow();
  if (dialog == nullptr || window == nullptr || alarmwindow == nullptr || alarmwindow->isVisible())
    return;
  const QRect r = window->frameGeometry();
  alarmwindow->move(r.left(), r.bottom());
  alarmwindow->show();
}

}  // namespace quillark
