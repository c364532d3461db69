// The desktop program's windows together over the demo core, driven the way an
// operator would: a fire from a panel's menu, the alarm viewer, silence,
// isolate after a log-on, a mass isolate.
#include "gui/app/desktop.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

#include "core/access/commands.h"
#include "core/access/logonprompt.h"
#include "core/access/security.h"
#include "core/app/mainwindow.h"
#include "core/status/alrmdisp.h"
#include "gui/access/securitydlg.h"
#include "gui/app/mainframe.h"
#include "gui/status/alarmdispwindow.h"
#include "gui/views/bargraphview.h"
#include "guihost.h"

namespace quillark::test {
namespace {

// Runs `drive` on the modal window of type D once its exec() has started.
template <class D, class F>
void WhenModal(F drive) {
  QTimer::singleShot(0, [drive] {
    auto* w = qobject_cast<D*>(QApplication::activeModalWidget());
    ASSERT_NE(w, nullptr);
    drive(*w);
  });
}

QAction* FindAction(QMenu& menu, const QString& text) {
  for (QAction* a : menu.actions())
    if (a->text().remove('&') == text) return a;
  return nullptr;
}

TEST(Desktop, FireFromAPanelIsListedSilencedAndIsolatedAfterALogOn) {
  DemoCore core;
  TDockingApp& app = core.App();
  MainFrame frame;
  frame.resize(1000, 700);
  Desktop desktop(app, core.host.ini, frame);
  frame.Attach(&app);
  core.host.events.Advance(100);  // the first frame builds the device display
  ASSERT_NE(desktop.View(), nullptr);
  ASSERT_NE(desktop.AlarmWindow(), nullptr);
  EXPECT_FALSE(desktop.AlarmWindow()->isVisible());

  app.SetSelDetector(5);
  auto menu = desktop.View()->MakeContextMenu(&frame);
  QAction* fire1 = FindAction(*menu, "Fire 1");
  ASSERT_NE(fire1, nullptr);
  fire1->trigger();
  core.host.events.Advance(1500);

  // The viewer came up by itself with the detector's line.
  AlarmDispWindow& viewer = *desktop.AlarmWindow();
  EXPECT_TRUE(viewer.isVisible());
  int row = -1;
  for (int i = 0; i < viewer.Count(); ++i)
    if (viewer.LineText(i).contains("1-005")) row = i;
  ASSERT_GE(row, 0);
  EXPECT_TRUE(viewer.LineText(row).contains("Fire 1"));

  viewer.SelectRow(row);
  viewer.GetButton(AlarmDispWindow::IDC_SILENCE)->click();
  core.host.events.Advance(2000);
  EXPECT_TRUE(app.GetMainWindow()->GetAlarmDisplay()->IsSilenced());

  // Isolate asks for a log-on; the engineer's level is enough.
  AnswerLogOn engineer("Engineer");
  app.GetMainWindow()->GetSecurity()->SetLogOnPrompt(&engineer);
  viewer.SelectRow(row);
  viewer.GetButton(AlarmDispWindow::IDC_ISOLATE)->click();
  core.host.events.Advance(3000);
  EXPECT_EQ(engineer.asked, 1);
  EXPECT_NE(app.GetDeviceFaultStatus(5) & 0x20, 0u);
  SaveGrab(frame, "desktop-main");
  SaveGrab(viewer, "desktop-alarmviewer");

  // A mass isolate brings its window, and the hidden viewer below it.
  viewer.hide();
  app.GetSelection().Empty();
  app.GetSelection().InsertInternalAddress(6);
  app.GetSelection().InsertInternalAddress(7);
  WhenModal<QMessageBox>([](QMessageBox& box) {
    EXPECT_EQ(box.text(), QStringLiteral("Isolate 2 selected detectors on 1 loop?"));
    box.button(QMessageBox::Yes)->click();
  });
  EXPECT_EQ(app.ExecuteCommand(CMD_ISOLATESELECTED), TDockingApp::CommandResult::DONE);
  ASSERT_NE(desktop.SopHost().GetWindow(), nullptr);
  EXPECT_TRUE(viewer.isVisible());
  app.GetMainWindow()->GetSecurity()->SetLogOnPrompt(nullptr);
}

// The desktop over the demo core with the engineer logged on, as the Exit
// and confirmation cases need it.
class DesktopTest : public ::testing::Test {
 protected:
  DesktopTest() : desktop(core.App(), core.host.ini, frame) {
    frame.resize(1000, 700);
    frame.Attach(&core.App());
    frame.InstallExit(core.App());
    frame.show();
    core.host.events.Advance(100);
    EXPECT_TRUE(Sec().LogOn("Engineer", ""));
  }
  Security& Sec() { return *core.App().GetMainWindow()->GetSecurity(); }
  // Brings the alarm viewer up the way an alarm does.
  AlarmDispWindow& RaiseViewerByAnAlarm() {
    core.App().SetSelDetector(5);
    core.App().ExecuteCommand(CMD_DEMOFIRE1);
    core.host.events.Advance(1500);
    EXPECT_TRUE(desktop.AlarmWindow()->isVisible());
    return *desktop.AlarmWindow();
  }
  // Runs the event loop with `drive` in it until something ends it; a loop
  // nobody ends is cut off by a guard that answers 99.
  int RunUntilExit(std::function<void()> drive) {
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    guard.start(20000);
    QTimer::singleShot(0, std::move(drive));
    return QApplication::exec();
  }
  // EXIT posts its close request on the application's clock.
  void Exit() {
    frame.Action(CMD_EXIT)->trigger();
    core.host.events.Advance(10);
  }

  std::vector<std::string> heard;  // outlives the core that writes to it
  DemoCore core;
  MainFrame frame;
  Desktop desktop;
};

TEST_F(DesktopTest, ExitEndsTheProgramWhateverTheAlarmViewerOrAModalDialogSays) {
  AlarmDispWindow& viewer = RaiseViewerByAnAlarm();
  // Shown by the alarm, not focused.
  EXPECT_EQ(RunUntilExit([this] { Exit(); }), 0);
  EXPECT_TRUE(core.App().GetBus().IsPollPaused());

  // Focused, and ended through the main window's close box.
  viewer.Toggle();
  viewer.Toggle();
  ASSERT_TRUE(viewer.isVisible());
  EXPECT_EQ(RunUntilExit([this] {
              frame.close();
              core.host.events.Advance(10);
            }),
            0);

  // Under a modal dialog: its own loop ends as well.
  int dialogresult = -1;
  EXPECT_EQ(RunUntilExit([this, &dialogresult] {
              QTimer::singleShot(0, [this] { Exit(); });
              QDialog dialog(&frame);
              dialogresult = dialog.exec();
            }),
            0);
  EXPECT_EQ(dialogresult, QDialog::Rejected);
}

TEST_F(DesktopTest, GlobalResetAndMassOperationsAskWithTheirCountsAndNoIsTheDefault) {
  TDockingApp& app = core.App();
  app.SetSelDetector(5);
  ASSERT_EQ(app.ExecuteCommand(CMD_ISOLATE), TDockingApp::CommandResult::DONE);
  core.host.events.Advance(1500);
  ASSERT_NE(app.GetDeviceFaultStatus(5) & 0x20, 0u);
  std::vector<std::string>& events = heard;
  app.AddEventListener([&events](int, const std::string& text) { events.push_back(text); });

  WhenModal<QMessageBox>([this](QMessageBox& box) {
    EXPECT_EQ(box.text(), QStringLiteral("Reset 26 devices on 2 loops? 1 isolated detector is "
                                         "de-isolated as well."));
    EXPECT_EQ(box.defaultButton(), box.button(QMessageBox::No));
    SaveGrab(box, "confirm-globalreset");
    box.defaultButton()->click();  // Return
  });
  EXPECT_EQ(app.ExecuteCommand(CMD_RESET), TDockingApp::CommandResult::CANCELLED);
  for (const std::string& text : events) EXPECT_EQ(text.find("Global reset"), std::string::npos);

  WhenModal<QMessageBox>([](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); });
  EXPECT_EQ(app.ExecuteCommand(CMD_RESET), TDockingApp::CommandResult::DONE);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back().rfind("Global reset by user 'Engineer'", 0), 0u);

  // The mass operations count what they will act on: never a command module.
  app.GetSelection().Empty();
  for (int device : {0, 3, 4, 257, 258, 259}) app.GetSelection().InsertInternalAddress(device);
  WhenModal<QMessageBox>([](QMessageBox& box) {
    EXPECT_EQ(box.text(), QStringLiteral("De-isolate 5 selected detectors on 2 loops?"));
    EXPECT_EQ(box.defaultButton(), box.button(QMessageBox::No));
    SaveGrab(box, "confirm-massdeisolate");
    box.button(QMessageBox::No)->click();
  });
  EXPECT_EQ(app.ExecuteCommand(CMD_DEISOLATESELECTED), TDockingApp::CommandResult::CANCELLED);
  EXPECT_EQ(desktop.SopHost().GetWindow(), nullptr);
}

TEST_F(DesktopTest, StatusBarNamesTheUserAndShowsTheDropBack) {
  frame.UpdateCommands();
  EXPECT_EQ(frame.UserText(), QStringLiteral("Engineer (level 2 Engineer), 5:00 left"));
  SaveGrab(frame, "statusbar-user");
  core.host.events.Advance(301'000);
  frame.UpdateCommands();
  EXPECT_EQ(frame.UserText(), QStringLiteral("Read only (level 0 Read only)"));
  EXPECT_EQ(frame.statusBar()->currentMessage(),
            QStringLiteral("Access dropped back to Read only"));
}

void Key(QWidget* w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QKeyEvent press(QEvent::KeyPress, key, mods);
  QCoreApplication::sendEvent(w, &press);
}

TEST_F(DesktopTest, PanelsAreWorkedFromTheKeyboard) {
  TDockingApp& app = core.App();
  BargraphView& view = *desktop.View();
  Bargraph& bargraph = view.GetBargraph();
  QWidget* canvas = view.Canvas();
  EXPECT_EQ(canvas->focusPolicy(), Qt::StrongFocus);
  EXPECT_EQ(view.focusProxy(), canvas);
  frame.activateWindow();
  view.setFocus(Qt::TabFocusReason);
  QCoreApplication::processEvents();

  Key(canvas, Qt::Key_Home);
  Key(canvas, Qt::Key_Right);
  Key(canvas, Qt::Key_Right);
  EXPECT_EQ(bargraph.GetFocusPanel(), 2);
  Key(canvas, Qt::Key_Left);
  EXPECT_EQ(bargraph.GetFocusPanel(), 1);
  const int first = bargraph.GetPanels()[1].GetDeviceId();
  ASSERT_EQ(app.GetSelection().Count(), 0);
  Key(canvas, Qt::Key_Space);
  EXPECT_EQ(app.GetSelDetector(), first);
  frame.UpdateCommands();
  EXPECT_TRUE(frame.Action(CMD_ISOLATE)->isEnabled());
  EXPECT_TRUE(frame.Action(CMD_SINGLERESET)->isEnabled());

  Key(canvas, Qt::Key_Right);
  Key(canvas, Qt::Key_Space, Qt::ControlModifier);
  EXPECT_EQ(app.GetSelection().Count(), 2);
  SaveGrab(frame, "desktop-keyboard");

  // The context menu key opens the panel's menu where the panel is.
  QString seen;
  QTimer::singleShot(0, [&seen] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    for (QAction* a : menu->actions()) seen += a->text() + "|";
    menu->close();
  });
  QContextMenuEvent menukey(QContextMenuEvent::Keyboard, QPoint(0, 0),
                            canvas->mapToGlobal(QPoint(0, 0)));
  QCoreApplication::sendEvent(canvas, &menukey);
  EXPECT_TRUE(seen.contains("Isolate")) << seen.toStdString();
}

TEST(DesktopPlaces, TheAlarmViewerComesBackWhereItWasAfterARestart) {
  DemoCore core;
  MainFrame frame;
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  const QRect where(screen.x() + 20, screen.y() + 30, 760, 400);
  {
    Desktop desktop(core.App(), core.host.ini, frame);
    AlarmDispWindow& viewer = *desktop.AlarmWindow();
    viewer.Toggle();
    viewer.setGeometry(where);
    viewer.GetButton(AlarmDispWindow::IDC_CLOSE)->click();  // hidden: kept
  }
  EXPECT_FALSE(core.host.ini.ReadString("Windows", "AlarmViewer", "").empty());
  {
    Desktop desktop(core.App(), core.host.ini, frame);
    EXPECT_EQ(desktop.AlarmWindow()->geometry(), where);
  }
  // A place on a screen that is no longer there comes back onto this one.
  core.host.ini.WriteString("Windows", "AlarmViewer", "30000,20000,760,400");
  Desktop desktop(core.App(), core.host.ini, frame);
  EXPECT_TRUE(screen.contains(desktop.AlarmWindow()->geometry()));
}

}  // namespace
}  // namespace quillark::test
