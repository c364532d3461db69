#include "gui/status/bmasterwindow.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/app/dockingapp.h"
#include "core/app/mainwindow.h"
#include "core/status/pccommandmodule.h"
#include "guihost.h"

namespace quillark {
namespace {

class CommandModuleWindowTest : public ::testing::Test {
 protected:
  PCcommandModule& Bm() { return *core.App().GetMainWindow()->GetBusMaster(); }
  test::DemoCore core;
};

TEST_F(CommandModuleWindowTest, ShowsTheSettingsOkRestartsTheStatisticsCancelKeepsThem) {
  CommandModuleWindow w(Bm());
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(w.windowTitle(), QStringLiteral("Command module settings"));

  core.App().GetBus().PausePolling();
  w.Setup();
  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(w.BusMasterBox()->isChecked());
  EXPECT_FALSE(w.FastPollBox()->isChecked());
  EXPECT_EQ(w.EchoBox()->isChecked(), Bm().GetEcho());
  EXPECT_EQ(w.Timeout()->text().toStdString(), Bm().GetTimeoutString());
  test::SaveGrab(w, "bmaster");

  int topic = 0;
  w.SetHelpHandler([&](int t) { topic = t; });
  w.HelpButton()->click();
  EXPECT_EQ(topic, 108);

  const auto polls = Bm().Statistics().polls;
  ASSERT_GT(polls, 1u);
  w.accept();
  EXPECT_FALSE(w.isVisible());
  // Counted afresh (resuming may already have sent one poll on each loop).
  EXPECT_LE(Bm().Statistics().polls, static_cast<unsigned>(Bm().GetLoops()));
  // Polling goes on after OK.
  core.host.events.Advance(2000);
  EXPECT_GT(Bm().Statistics().polls, 0u);

  // Cancel resumes polling too, but keeps counting from where it was.
  core.App().GetBus().PausePolling();
  w.Setup();
  const auto before = Bm().Statistics().polls;
  w.reject();
  EXPECT_FALSE(w.isVisible());
  core.host.events.Advance(2000);
  EXPECT_GT(Bm().Statistics().polls, before + 1);
}

TEST_F(CommandModuleWindowTest, OneAtATimeChoiceIsTakenOnOkAndKeptTheCycleShown) {
  CommandModuleWindow w(Bm());
  core.App().GetBus().PausePolling();
  w.Setup();
  // Every loop side by side unless the site asks otherwise; the demo loops'
  // cycle has been measured by now.
  EXPECT_FALSE(w.OneAtATimeBox()->isChecked());
  EXPECT_TRUE(w.CycleLabel()->text().startsWith(QStringLiteral("Poll cycle: ")));
  EXPECT_TRUE(w.CycleLabel()->text().endsWith(QStringLiteral(" ms")));

  // Cancel leaves the choice alone.
  w.OneAtATimeBox()->setChecked(true);
  w.reject();
  EXPECT_FALSE(Bm().GetOneAtATime());

  core.App().GetBus().PausePolling();
  w.Setup();
  EXPECT_FALSE(w.OneAtATimeBox()->isChecked());
  w.OneAtATimeBox()->setChecked(true);
  w.accept();
  EXPECT_TRUE(Bm().GetOneAtATime());
  EXPECT_EQ(core.host.ini.ReadInt("BusMaster", "PollOneAtATime", "0"), 1);
  core.host.events.Advance(2000);
  EXPECT_GT(Bm().Statistics().polls, 0u);
}

}  // namespace
}  // namespace quillark
