#include "gui/status/bmasterwindow.h"

#include <gtest/gtest.h>

#include <QCheckBox>
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
  // Counted afresh (resuming may already have sent one poll).
  EXPECT_LE(Bm().Statistics().polls, 1u);
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

}  // namespace
}  // namespace quillark
