#include "gui/app/guirun.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPainter>
#include <QSplashScreen>
#include <QTimer>

#include "core/access/translator.h"
#include "core/app/commands.h"
#include "core/app/dockingapp.h"
#include "core/app/mainwindow.h"
#include "core/common/inifile.h"
#include "core/status/sopdialog.h"
#include "core/views/bargraph.h"
#include "gui/access/languagedlg.h"
#include "gui/access/securitydlg.h"
#include "gui/app/mainframe.h"
#include "gui/common/helpwindow.h"
#include "gui/common/qtsoundplayer.h"
#include "gui/guiprompter.h"
#include "gui/status/alarmdispwindow.h"
#include "gui/status/bmasterwindow.h"
#include "gui/status/sopdialogwindow.h"
#include "gui/views/bargraphview.h"
#include "platform/qteventloop.h"

namespace quillark {
namespace {

// The start-up logo: logo.bmp of the program home, else a picture of our own,
// with the program's version.
QPixmap LogoPicture(const std::filesystem::path& home) {
  QPixmap logo;
  const QString file = QString::fromStdString((home / "logo.bmp").string());
  if (!QFile::exists(file) || !logo.load(file)) {
    logo = QPixmap(420, 220);
    logo.fill(QColor(24, 40, 72));
    QPainter p(&logo);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(220, 40, 40));
    p.drawEllipse(QPoint(70, 90), 34, 34);
    p.setBrush(QColor(255, 190, 40));
    p.drawEllipse(QPoint(70, 90), 16, 16);
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setPointSize(26);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(120, 55, 290, 50), Qt::AlignLeft | Qt::AlignVCenter, "Quillark");
    f.setPointSize(11);
    f.setBold(false);
    p.setFont(f);
    p.drawText(QRect(120, 105, 290, 30), Qt::AlignLeft | Qt::AlignVCenter,
               "Aspirating smoke detection supervisor");
  }
  QPainter p(&logo);
  p.setPen(Qt::white);
  p.drawText(logo.rect().adjusted(10, 10, -10, -10), Qt::AlignRight | Qt::AlignBottom,
             QString("Version %1").arg(QUILLARK_VERSION));
  return logo;
}

}  // namespace

int RunGui(const std::filesystem::path& home, int argc, char** argv) {
  QApplication qapp(argc, argv);
  QApplication::setApplicationName("Quillark");

  QtEventLoop events;
  MainFrame frame;
  GuiPrompter prompter(&frame);
  QtSoundPlayer sound;
  INIfile ini(home / "quillark.ini");
  TDockingApp app(events, prompter, frame, ini);
  app.SetSoundPlayer(&sound);
  app.SetQuitHook([] { QApplication::quit(); });
  app.SetCommandHandler(CMD_ABOUT, [&frame] {
    QMessageBox::about(&frame, "About Quillark",
                       QString("<b>%1</b><p>Version %2</p><p>Supervision of aspirating smoke "
                               "detector networks.</p>")
                           .arg(TDockingApp::APPNAME)
                           .arg(QUILLARK_VERSION));
  });
  HelpWindow help(&frame);
  app.SetCommandHandler(CMD_CONTENTS, [&help] { help.ShowContext(0); });
  // Closing is never refused: pause polling and end.
  frame.SetCloseHandler([&app] { app.ExecuteCommand(CMD_EXIT); });

  QSplashScreen splash(LogoPicture(home));
  splash.show();
  QTimer::singleShot(3000, &splash, &QWidget::close);
  frame.resize(1100, 760);
  frame.show();

  // The windows over the core's objects, made once the core has started.
  GuiLogOnPrompt logon(&frame);
  GuiPasswordEditor passwords(&frame);
  std::unique_ptr<AlarmDispWindow> alarmwindow;
  std::unique_ptr<CommandModuleWindow> busmasterwindow;
  SOPWindowHost sophost(&frame);

  QTimer::singleShot(0, &frame, [&] {
    app.InitMainWindow(home);
    TMainWindow* window = app.GetMainWindow();
    if (Security* security = window->GetSecurity()) {
      security->SetLogOnPrompt(&logon);
      security->SetPasswordEditor(&passwords);
    }
    if (AlarmDisp* alarms = window->GetAlarmDisplay()) {
      alarmwindow = std::make_unique<AlarmDispWindow>(*alarms, &frame);
      alarmwindow->SetHelpHandler([&help](int context) { help.ShowContext(context); });
      if (ini.ReadInt("AlarmViewer", "FullSize", "0") != 0)
        alarmwindow->PlaceFullSize(AlarmDispWindow::FullSizeRect(frame.geometry()));
      app.SetCommandHandler(CMD_ALARMDISPLAY, [&] { alarmwindow->Toggle(); });
    }
    if (SOPLauncher* launcher = window->GetSOPLauncher())
      launcher->SetOnChange([&sophost](SOPDialog* d) { sophost.Follow(d); });
    if (PCcommandModule* master = window->GetBusMaster()) {
      busmasterwindow = std::make_unique<CommandModuleWindow>(*master, &frame);
      busmasterwindow->SetHelpHandler([&help](int context) { help.ShowContext(context); });
      app.SetCommandHandler(CMD_COMMANDMODULE, [&app, &busmasterwindow] {
        app.GetMainWindow()->PausePolling();
        busmasterwindow->Setup();
        app.GetMainWindow()->ResumePolling(true);
      });
    }
    app.SetCommandHandler(CMD_LANGUAGE, [&app, &ini, &frame] {
      LanguageDlg dialog(app.GetTranslator(), ini, &frame);
      if (dialog.exec() == QDialog::Accepted)
        app.GetTranslator().SetLanguage(static_cast<int>(ini.ReadInt("Product", "Language", "0")));
    });
    // The device display; built again whenever it is missing.
    app.SetDisplayBuilder([&app, &frame] {
      TMainWindow* mw = app.GetMainWindow();
      auto bargraph = std::make_unique<Bargraph>(&app, mw->GetLoops(), mw->GetEventInfo());
      bargraph->SetCommandFilter([&app](int id) { return app.HasCommandHandler(id); });
      frame.setCentralWidget(new BargraphView(app, std::move(bargraph), &frame));
    });
    frame.Attach(&app);
  });
  int code = qapp.exec();
  events.BeginShutdown();
  // Windows go before the core objects they show.
  // No display may be rebuilt while shutting down, and it goes before the core.
  app.SetDisplayBuilder(nullptr);
  delete frame.takeCentralWidget();
  if (app.GetMainWindow() != nullptr && app.GetMainWindow()->GetSOPLauncher() != nullptr)
    app.GetMainWindow()->GetSOPLauncher()->SetOnChange(nullptr);
  busmasterwindow.reset();
  alarmwindow.reset();
  app.Shutdown();
  return code;
}

}  // namespace quillark
