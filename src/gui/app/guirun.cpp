#include "gui/app/guirun.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPainter>
#include <QTimer>

#include "core/access/commands.h"
#include "core/access/translator.h"
#include "core/app/dockingapp.h"
#include "core/common/inifile.h"
#include "core/platform/keepalive.h"
#include "core/platform/posixlauncher.h"
#include "gui/app/desktop.h"
#include "gui/app/mainframe.h"
#include "gui/app/startuplogo.h"
#include "gui/common/qtsoundplayer.h"
#include "gui/common/uitext.h"
#include "gui/common/windowplacekeeper.h"
#include "gui/guiprompter.h"
#include "platform/qteventloop.h"
#include "platform/qtserialline.h"
#include "platform/qttcp.h"
#include "platform/sdnotify.h"
#include "platform/stopsignals.h"

namespace quillark {
namespace {

constexpr int TX_VERSION = 81900;
constexpr int TX_SUPERVISOR = 82000;
constexpr int TX_ABOUT = 69500;  // the menu command

// The start-up logo: logo.bmp of the program home, else a picture of our own,
// with the program's version.
QPixmap LogoPicture(const std::filesystem::path& home, Translator& translator) {
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
               UiText(translator, TX_SUPERVISOR, "Aspirating smoke detection supervisor"));
  }
  QPainter p(&logo);
  p.setPen(Qt::white);
  p.drawText(logo.rect().adjusted(10, 10, -10, -10), Qt::AlignRight | Qt::AlignBottom,
             UiText(translator, TX_VERSION, "Version %1").arg(QUILLARK_VERSION));
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
  QtTcpFactory tcp;
  PosixLauncher launcher{events};
  TDockingApp app(events, prompter, frame, ini, launcher, &sound);
  frame.setWindowTitle(app.GetAppName());
  prompter.SetTranslator(&app.GetServices().translator);
  // Before the first dialog, so that Qt's own texts are in the language too.
  UseQtTextsIn(app.GetServices().translator.GetCurrentLanguage());
  app.GetServices().tcp = &tcp;
  app.GetServices().seriallines = QtSerialLine::Factory();
  app.SetCommandHandler(CMD_ABOUT, [&frame, &app] {
    Translator& translator = app.GetServices().translator;
    QMessageBox about(
        QMessageBox::Information, PlainUiText(translator, TX_ABOUT, "&About Quillark..."),
        QStringLiteral("<b>%1</b><p>%2</p><p>%3</p>")
            .arg(QString::fromUtf8(app.GetAppName()).toHtmlEscaped(),
                 UiText(translator, TX_VERSION, "Version %1").arg(QUILLARK_VERSION).toHtmlEscaped(),
                 UiText(translator, TX_SUPERVISOR, "Aspirating smoke detection supervisor")
                     .toHtmlEscaped()),
        QMessageBox::Ok, &frame);
    about.setIconPixmap(QApplication::windowIcon().pixmap(64));
    NameButtons(about, &translator);
    about.exec();
  });
  frame.InstallExit(app);

  if (!WindowPlaceKeeper::Restore(frame, ini, "Main")) frame.resize(1100, 760);
  frame.show();
  // After the main window, so the window manager puts the logo above it.
  StartupLogo logo(LogoPicture(home, app.GetServices().translator));
  logo.Show();

  // The desktop program dates its interruptions as the service does.
  KeepAlive keepalive(events, home / KeepAlive::FILENAME,
                      KeepAlive::IntervalFor(ServiceWatchdogMs()),
                      [] { NotifyServiceManager("WATCHDOG=1"); });
  app.SetStartupNote(InterruptionNote(keepalive.ReadPrevious(), events.Now()));

  // A logout or `systemctl stop` ends the desktop program as File > Exit
  // would after its questions: the logs are closed in order below.
  StopOnSignals(&frame, [] { QApplication::quit(); });

  std::unique_ptr<Desktop> desktop;
  QTimer::singleShot(0, &frame, [&] {
    keepalive.Start();
    app.InitMainWindow(home);
    desktop = std::make_unique<Desktop>(app, ini, frame);
    frame.Attach(&app);
  });
  int code = qapp.exec();
  WindowPlaceKeeper::Save(frame, ini, "Main");
  events.BeginShutdown();
  desktop.reset();
  app.Shutdown();
  keepalive.Stop();
  return code;
}

}  // namespace quillark
