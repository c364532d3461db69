// Acknowledging alarms from the console of the real program on the
// demonstration home, which has acknowledgement turned on.
#include <gtest/gtest.h>

#include <cstdio>

#include "console.h"
#include "process.h"
#include "support/tempdir.h"

namespace quillark::test {
namespace {

using namespace std::chrono_literals;

TEST(Acknowledge, ResetLeavesAClearedLineThatAckRemovesAndLogs) {
  TempDir home;
  CopyDemoHome(home.Path());
  auto p = StartHeadless(home.Path());
  ASSERT_TRUE(Answers(*p, "select 1-003", "selected 1-003"));
  ASSERT_TRUE(Answers(*p, "fire1", "ok"));
  ASSERT_TRUE(StatusBecomes(*p, "1-003", "1-003 status 0x0e"));
  // Guarded like the other operations.
  EXPECT_TRUE(Answers(*p, "ack 1-003", "refused: the access level is too low"));
  EXPECT_TRUE(Answers(*p, "logon Engineer", "logged on as Engineer"));
  ASSERT_TRUE(Answers(*p, "reset", "ok"));
  ASSERT_TRUE(StatusBecomes(*p, "1-003", "1-003 status 0x00"));

  // The alarm is over, but nobody has acknowledged it: it stays.
  p->Send("alarms");
  const std::string line = p->WaitFor("1-003", 5s);
  EXPECT_NE(line.find("Alarms: Aux,Pre-Alarm,Fire 1"), std::string::npos) << line;
  EXPECT_NE(line.find("[cleared, unacknowledged]"), std::string::npos) << line;

  EXPECT_TRUE(Answers(*p, "ack 1-003", "acknowledged 1-003"));
  EXPECT_TRUE(Answers(*p, "ack 1-003", "has no line in the alarm viewer"));
  // The command module's line of the same fire is still there to be seen.
  EXPECT_TRUE(Answers(*p, "ackall", "acknowledged "));
  EXPECT_TRUE(Answers(*p, "ackall", "nothing to acknowledge"));
  EXPECT_TRUE(Answers(*p, "ack 99-1", "error: usage: ack L-AAA"));
  p->Send("events 50");
  EXPECT_NE(p->WaitFor("1-003  Acknowledged", 5s), "");
  EXPECT_FALSE(Mentions(*p, "damaged log"));
  // The history finds it by its text, whatever the case.
  p->Send("search ACKNOWLEDGED");
  EXPECT_NE(p->WaitFor("1-003  Acknowledged", 5s), "");
  EXPECT_NE(p->WaitFor("events match", 5s).find("2 of "), std::string::npos);
  EXPECT_TRUE(Answers(*p, "search", "error: usage: search "));
  // And by device, category and period; what it cannot read it says.
  p->Send("search device:1-003 category:alarms from:2020-01-01");
  EXPECT_NE(p->WaitFor("1-003  Fire 1", 5s), "");
  const std::string count = p->WaitFor("events match", 5s);
  // Its alarms only: fewer than the whole log holds, and some.
  unsigned found = 0, total = 0;
  ASSERT_EQ(std::sscanf(count.c_str(), "%u of %u", &found, &total), 2) << count;
  EXPECT_GT(found, 0u) << count;
  EXPECT_LT(found, total) << count;
  EXPECT_TRUE(Answers(*p, "search device:1-3x", "error: device: takes a device as 2-005"));
  EXPECT_TRUE(Answers(*p, "search from:2026-13-01", "error: from: takes a date"));
  // And exports it as CSV.
  const std::string csv = (home.Path() / "events.csv").string();
  EXPECT_TRUE(Answers(*p, "events --csv " + csv, "wrote "));
  EXPECT_TRUE(Answers(*p, "events --csv", "error: usage: events --csv FILE"));
  const std::string acks = (home.Path() / "acks.csv").string();
  EXPECT_TRUE(Answers(*p, "events --csv " + acks + " acknowledged", "wrote 2 events"));
  EXPECT_TRUE(Answers(*p, "events --csv " + acks + " zone:x", "error: zone: takes"));
  EXPECT_TRUE(Quit(*p));

  const std::string log = home.Read("event.log");
  EXPECT_NE(log.find("Acknowledged by user 'Engineer': Detector 1-003"), std::string::npos) << log;
  const std::string table = home.Read("events.csv");
  EXPECT_EQ(table.rfind("time,device,code,event,detail\r\n", 0), 0u) << table;
  EXPECT_NE(table.find(",1-003,254,Acknowledged,Status: 0e (cleared)\r\n"), std::string::npos)
      << table;
}

}  // namespace
}  // namespace quillark::test
