// The desktop program's windows together over the demo core, driven the way an
// operator would: a fire from a panel's menu, the alarm viewer, silence,
// isolate after a log-on, a mass isolate.
#include "gui/app/desktop.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>

#include "core/access/commands.h"
#include "core/access/logonprompt.h"
#include "core/app/mainwindow.h"
#include "core/status/alrmdisp.h"
#include "gui/app/mainframe.h"
#include "gui/status/alarmdispwindow.h"
#include "gui/views/bargraphview.h"
#include "guihost.h"

namespace quillark::test {
namespace {

// Logs on as the account named, with no password.
class AnswerLogOn : public LogOnPrompt {
 public:
  explicit AnswerLogOn(std::string name) : name(std::move(name)) {}
  std::optional<LogOnAnswer> AskForLogOn(const std::vector<std::string>& names,
                                         std::size_t) override {
    ++asked;
    for (std::size_t i = 0; i < names.size(); ++i)
      if (names[i] == name) return LogOnAnswer{i, ""};
    return std::nullopt;
  }
  std::string name;
  int asked = 0;
};

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
  for (int i = 0; i < viewer.List()->count(); ++i)
    if (viewer.List()->item(i)->text().contains("1-005")) row = i;
  ASSERT_GE(row, 0);
  EXPECT_TRUE(viewer.List()->item(row)->text().contains("Fire 1"));

  viewer.List()->setCurrentRow(row);
  viewer.GetButton(AlarmDispWindow::IDC_SILENCE)->click();
  core.host.events.Advance(2000);
  EXPECT_TRUE(app.GetMainWindow()->GetAlarmDisplay()->IsSilenced());

  // Isolate asks for a log-on; the engineer's level is enough.
  AnswerLogOn engineer("Engineer");
  app.GetMainWindow()->GetSecurity()->SetLogOnPrompt(&engineer);
  viewer.List()->setCurrentRow(row);
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
  EXPECT_EQ(app.ExecuteCommand(CMD_ISOLATESELECTED), TDockingApp::CommandResult::DONE);
  ASSERT_NE(desktop.SopHost().GetWindow(), nullptr);
  EXPECT_TRUE(viewer.isVisible());
  app.GetMainWindow()->GetSecurity()->SetLogOnPrompt(nullptr);
}

}  // namespace
}  // namespace quillark::test
