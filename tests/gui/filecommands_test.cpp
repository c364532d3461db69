// The OPEN command, the File menu's recent files and the event log commands
// of the desktop program, over the demo core.
#include "gui/app/filecommands.h"

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QAction>
#include <QListView>
#include <QMenu>
#include <QMenuBar>

#include "core/access/commands.h"
#include "core/access/logonprompt.h"
#include "core/access/security.h"
#include "core/app/mainwindow.h"
#include "gui/app/desktop.h"
#include "gui/app/mainframe.h"
#include "gui/events/eventlogcommands.h"
#include "gui/events/eventlogwindow.h"
#include "guihost.h"

namespace quillark::test {
namespace {

// Turns every log-on down.
class RefuseLogOn : public LogOnPrompt {
 public:
  std::optional<LogOnAnswer> AskForLogOn(const std::vector<std::string>&, std::size_t) override {
    ++asked;
    return std::nullopt;
  }
  int asked = 0;
};

class FileCommandsTest : public ::testing::Test {
 protected:
  FileCommandsTest() {
    // Two events of the system log's own making.
    core.host.home.Write("system.ev2",
                         "1fc7d0172d"
                         "1fc7d0172d0105006fff0000"
                         "1fc7d0172d0106005dff0000");
    core.host.home.Write("old.evt",
                         "0f37d00e12"
                         "0f37d00e11010500410000ff");
  }
  std::string Path(const std::string& name) const { return (core.host.home / name).string(); }
  // Each window the commands open is looked at instead of run.
  void Watch(Desktop& desktop) {
    desktop.EventLogs().SetRunner([this](EventLogWindow& w) {
      core.host.events.Advance(100);  // a device's answer
      shown.push_back(w.List()->model()->rowCount());
      titles.push_back(w.windowTitle().toStdString());
    });
  }
  void LogOn(const char* name) {
    ASSERT_TRUE(core.App().GetMainWindow()->GetSecurity()->LogOn(name, ""));
  }
  DemoCore core;
  std::vector<int> shown;
  std::vector<std::string> titles;
};

TEST_F(FileCommandsTest, OpenedFilesJoinTheFileMenuNewestFirstAndStayThereAfterARestart) {
  {
    MainFrame frame;
    Desktop desktop(core.App(), core.host.ini, frame);
    frame.Attach(&core.App());
    Watch(desktop);
    LogOn("Operator");
    QString answer = QString::fromStdString(Path("system.ev2"));
    QString filter;
    desktop.Files().SetFileChooser([&](QWidget*, const QString& f) {
      filter = f;
      return answer;
    });
    EXPECT_EQ(core.App().ExecuteCommand(CMD_OPEN), TDockingApp::CommandResult::DONE);
    EXPECT_EQ(filter, desktop.Files().OpenFilter());
    EXPECT_TRUE(filter.startsWith("All supported files (*.rcw *.rec *.cfg"));
    EXPECT_EQ(shown, (std::vector<int>{2}));
    answer = QString::fromStdString(Path("old.evt"));
    core.App().ExecuteCommand(CMD_OPEN);
    EXPECT_EQ(shown, (std::vector<int>{2, 1}));

    // An unknown type opens nothing and is not listed; a cancel does nothing.
    core.host.home.Write("notes.txt", "x");
    answer = QString::fromStdString(Path("notes.txt"));
    core.App().ExecuteCommand(CMD_OPEN);
    answer.clear();
    core.App().ExecuteCommand(CMD_OPEN);
    EXPECT_EQ(shown.size(), 2u);
    EXPECT_EQ(desktop.Files().Recent().Files(),
              (std::vector<std::string>{Path("old.evt"), Path("system.ev2")}));

    // The menu offers them above Exit; choosing one opens it again and moves
    // it to the top.
    const auto entries = frame.RecentActions();
    ASSERT_EQ(entries.size(), 3u);  // two files and a separator
    EXPECT_EQ(entries[0]->text(), QStringLiteral("&1 old.evt"));
    EXPECT_EQ(entries[1]->text(), QStringLiteral("&2 system.ev2"));
    entries[1]->trigger();
    EXPECT_EQ(shown.size(), 3u);
    EXPECT_EQ(desktop.Files().Recent().Files().front(), Path("system.ev2"));

    // More files than the list holds: the oldest falls off.
    for (const char* name : {"a.ev2", "b.ev2", "c.ev2"}) {
      core.host.home.Write(name, "0f37d00e12");
      desktop.Files().Open(Path(name));
    }
    EXPECT_EQ(desktop.Files().Recent().Files(),
              (std::vector<std::string>{Path("c.ev2"), Path("b.ev2"), Path("a.ev2"),
                                        Path("system.ev2")}));
    QMenu* file = frame.menuBar()->actions().front()->menu();
    ASSERT_NE(file, nullptr);
    file->adjustSize();
    SaveGrab(*file, "filemenu");
  }
  // A restart offers the same list; a listed file that has gone is taken off
  // with a message instead of opening an empty window.
  MainFrame frame;
  Desktop desktop(core.App(), core.host.ini, frame);
  frame.Attach(&core.App());
  Watch(desktop);
  ASSERT_EQ(frame.RecentActions().size(), 5u);
  EXPECT_EQ(frame.RecentActions()[0]->text(), QStringLiteral("&1 c.ev2"));
  std::filesystem::remove(Path("b.ev2"));
  core.host.prompter.prompts.clear();
  frame.RecentActions()[1]->trigger();
  ASSERT_EQ(core.host.prompter.prompts.size(), 1u);
  EXPECT_EQ(core.host.prompter.prompts[0].text, "Cannot open file.");
  EXPECT_EQ(desktop.Files().Recent().Files().size(), 3u);
  EXPECT_EQ(frame.RecentActions().size(), 4u);
}

TEST_F(FileCommandsTest, EventLogAndSystemLogCommandsNeedTheEventLogRight) {
  MainFrame frame;
  Desktop desktop(core.App(), core.host.ini, frame);
  frame.Attach(&core.App());
  Watch(desktop);

  // Level 0: refused, nothing opens.
  RefuseLogOn refuse;
  core.App().GetMainWindow()->GetSecurity()->SetLogOnPrompt(&refuse);
  EXPECT_EQ(core.App().ExecuteCommand(CMD_SYSTEMLOG), TDockingApp::CommandResult::REFUSED);
  EXPECT_TRUE(shown.empty());
  EXPECT_EQ(refuse.asked, 1);

  LogOn("Operator");
  EXPECT_EQ(core.App().ExecuteCommand(CMD_SYSTEMLOG), TDockingApp::CommandResult::DONE);
  EXPECT_EQ(shown, (std::vector<int>{2}));
  EXPECT_EQ(titles.back(), "Event logs - System log");

  // EVENTLOG follows the selected device's model; the demo detectors keep
  // logs, and the window reads the device's three events.
  core.App().SetSelDetector(5);
  ASSERT_TRUE(core.App().IsCommandEnabled(CMD_EVENTLOG));
  EXPECT_EQ(core.App().ExecuteCommand(CMD_EVENTLOG), TDockingApp::CommandResult::DONE);
  EXPECT_EQ(shown, (std::vector<int>{2, 3}));
  EXPECT_FALSE(core.App().GetBus().IsPollPaused());
  core.App().GetMainWindow()->GetSecurity()->SetLogOnPrompt(nullptr);
}

}  // namespace
}  // namespace quillark::test
