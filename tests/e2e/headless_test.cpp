// The real program, headless on a temporary program home with the demo site.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include "console.h"
#include "process.h"
#include "support/tempdir.h"

namespace quillark::test {
namespace {

using namespace std::chrono_literals;

class Headless : public ::testing::Test {
 protected:
  Headless() { CopyDemoHome(home.Path()); }
  std::unique_ptr<Process> Start() { return StartHeadless(home.Path()); }
  TempDir home;
};

TEST_F(Headless, SupervisesTheDemoSiteAndShutsDownInOrder) {
  auto p = Start();
  p->Send("select 1-005");
  EXPECT_EQ(p->WaitFor("selected", 5s), "selected 1-005, UPS room");
  p->Send("fire1");
  EXPECT_EQ(p->WaitFor("ok", 5s), "ok");
  // Polling starts a second after start-up; the fire shows at the next poll.
  EXPECT_TRUE(StatusBecomes(*p, "1-005", "1-005 status 0x0e faults 0x00 level 1"));
  p->Send("stats");
  EXPECT_NE(p->WaitFor("polls ", 5s), "");
  p->Send("nonsense");
  EXPECT_NE(p->WaitFor("type 'help'", 5s), "");
  p->Send("quit");
  EXPECT_EQ(p->Wait(15s), 0);
  EXPECT_NE(p->WaitFor("**** Quillark shutdown ****", 1s), "");

  const std::string log = home.Read("event.log");
  EXPECT_NE(log.find("INFORMATION: **** Quillark startup ****"), std::string::npos) << log;
  EXPECT_NE(log.find("INFORMATION: **** Quillark shutdown ****"), std::string::npos) << log;
  const std::string report = home.Read("status.txt");
  EXPECT_NE(report.find("Fast polls:"), std::string::npos) << report;
  EXPECT_NE(home.Read("stderr.txt").find("[!!Demo version!!]"), std::string::npos);
}

TEST_F(Headless, AlarmsIsolationAndResetAreLoggedAndGuarded) {
  auto p = Start();
  p->Send("select 1-003");
  EXPECT_NE(p->WaitFor("selected 1-003", 5s), "");
  p->Send("fire1");
  EXPECT_TRUE(StatusBecomes(*p, "1-003", "1-003 status 0x0e"));
  p->Send("alarms");
  std::string line = p->WaitFor("1-003", 5s);
  EXPECT_NE(line.find("[firstfire]"), std::string::npos) << line;
  EXPECT_NE(line.find("Alarms: Aux,Pre-Alarm,Fire 1"), std::string::npos) << line;

  // Guarded: refused until somebody logs on.
  p->Send("isolate");
  EXPECT_NE(p->WaitFor("refused: the access level is too low", 5s), "");
  p->Send("logon Engineer");
  EXPECT_NE(p->WaitFor("logged on as Engineer", 5s), "");
  p->Send("isolate");
  EXPECT_TRUE(StatusBecomes(*p, "1-003", "1-003 status 0x0f faults 0x20"));
  p->Send("reset");
  EXPECT_TRUE(StatusBecomes(*p, "1-003", "1-003 status 0x00 faults 0x00"));

  p->Send("events 50");
  EXPECT_NE(p->WaitFor("1-003  Fire 1", 5s), "");
  EXPECT_NE(p->WaitFor("1-003  Isolate", 1s), "");
  p->Send("quit");
  EXPECT_EQ(p->Wait(15s), 0);

  const std::string log = home.Read("event.log");
  EXPECT_NE(log.find("ALARM: Detector 1-003"), std::string::npos) << log;
  EXPECT_NE(log.find("Isolate on detector 1-003 by user 'Engineer'"), std::string::npos) << log;
  EXPECT_NE(log.find("SECURITY: Access level change"), std::string::npos) << log;
}

TEST_F(Headless, GlobalResetAsksForYesOnTheNextLineUnlessGivenIt) {
  auto p = Start();
  EXPECT_TRUE(Answers(*p, "select 1-003", "selected 1-003"));
  EXPECT_TRUE(Answers(*p, "logon Engineer", "logged on as Engineer"));
  EXPECT_TRUE(Answers(*p, "isolate", "ok"));
  EXPECT_TRUE(StatusBecomes(*p, "1-003", "1-003 status 0x0"));

  // Anything but "yes" cancels, and the line is still carried out.
  EXPECT_TRUE(Answers(*p, "globalreset", "type 'yes' to reset"));
  EXPECT_TRUE(Mentions(*p, "Reset "));
  EXPECT_TRUE(Answers(*p, "stats", "global reset cancelled"));
  EXPECT_TRUE(Answers(*p, "events 50", "1-003"));
  EXPECT_FALSE(Mentions(*p, "Global reset by user"));

  EXPECT_TRUE(Answers(*p, "globalreset", "anything else cancels"));
  EXPECT_TRUE(Answers(*p, "YES", "ok"));
  EXPECT_TRUE(Answers(*p, "globalreset yes", "ok"));
  EXPECT_TRUE(Quit(*p));
  const std::string log = home.Read("event.log");
  const auto first = log.find("Global reset by user 'Engineer'");
  ASSERT_NE(first, std::string::npos) << log;
  EXPECT_NE(log.find("Global reset by user 'Engineer'", first + 1), std::string::npos) << log;
}

TEST_F(Headless, EndOfInputAndSignalsShutDownCleanly) {
  {
    auto p = Start();
    p->CloseInput();
    EXPECT_EQ(p->Wait(15s), 0);
  }
  {
    auto p = Start();
    p->Signal(SIGTERM);
    EXPECT_EQ(p->Wait(15s), 0);
    EXPECT_NE(p->WaitFor("**** Quillark shutdown ****", 1s), "");
  }
}

TEST_F(Headless, MissingProgramHomeIsRefused) {
  Process p({QUILLARK_EXE, "--headless", "--home", (home / "nowhere").string()},
            (home / "err.txt").string());
  EXPECT_EQ(p.Wait(10s), 2);
  EXPECT_NE(home.Read("err.txt").find("is not a directory"), std::string::npos);
}

}  // namespace
}  // namespace quillark::test
