#include <gtest/gtest.h>

#include <filesystem>

#include "core/comms/commsettings.h"
#include "core/status/pccommandmodule.h"
#include "support/apphost.h"

namespace quillark::test {
namespace {

// COMMUNICATIONSETTINGS on a started application: the dialog is a function
// that stores settings and says whether OK was chosen.
class CommSettingsCommand : public ::testing::Test {
 protected:
  CommSettingsCommand() {
    host.StartDemo();
    // A display that stays once built, so that only rebuilds are counted.
    host.app->GetBus().SetDisplayBuilder([this] {
      ++builds;
      host.app->GetBus().SetMainDisplay(&display);
    });
    host.events.Advance(2000);
    builds = 0;
  }
  CommHandler& Comms() { return *host.app->GetMainWindow()->GetCommHandler(); }
  AppHost host;
  RecordingReceiver display{&host.Bus()};
  int builds = 0;
};

TEST_F(CommSettingsCommand, OkOpensTheLoopsAgainAndRebuildsTheDisplayForANewLoopCount) {
  const int loops = Comms().GetLoops();
  bool pausedduringdialog = false;
  host.app->CommunicationSettings([&] {
    pausedduringdialog = host.app->GetBus().IsPollPaused();
    CommSettings s = CommSettings::Read(host.ini);
    s.commsfailtimeout = "1234";
    return s.Write(host.ini, CommSettings::Read(host.ini));
  });
  EXPECT_TRUE(pausedduringdialog);
  EXPECT_FALSE(host.app->GetBus().IsPollPaused());
  // New ports, from the new settings; same loop count, so the same display.
  EXPECT_EQ(Comms().GetPort(0)->GetCommFailTimeout(), 1234u);
  EXPECT_EQ(Comms().GetLoops(), loops);
  EXPECT_EQ(builds, 0);

  host.app->CommunicationSettings([&] {
    CommSettings s = CommSettings::Read(host.ini);
    s.loops = loops + 1;
    return s.Write(host.ini, CommSettings::Read(host.ini));
  });
  EXPECT_EQ(Comms().GetLoops(), loops + 1);
  EXPECT_EQ(host.app->GetMainWindow()->GetLoops(), loops + 1);
  EXPECT_EQ(builds, 1);
  EXPECT_FALSE(host.app->GetBus().IsPollPaused());
  // Polling runs over the new loops.
  const auto polls = host.app->GetMainWindow()->GetBusMaster()->Statistics().polls;
  host.events.Advance(2000);
  EXPECT_GT(host.app->GetMainWindow()->GetBusMaster()->Statistics().polls, polls);
}

TEST_F(CommSettingsCommand, CancelKeepsTheLoopsAsTheyAreAndResumesPolling) {
  host.app->CommunicationSettings([&] {
    host.ini.WriteString("Comm", "CommsFailTimeout", "999");
    return false;
  });
  EXPECT_EQ(Comms().GetPort(0)->GetCommFailTimeout(), 50000u);
  EXPECT_EQ(builds, 0);
  EXPECT_FALSE(host.app->GetBus().IsPollPaused());
}

}  // namespace
}  // namespace quillark::test
