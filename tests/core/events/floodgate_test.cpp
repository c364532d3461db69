#include "core/events/floodgate.h"

#include <gtest/gtest.h>

#include "core/common/inifile.h"
#include "core/common/textutil.h"
#include "core/events/notifier.h"
#include "core/platform/eventwriter.h"
#include "fakelauncher.h"
#include "support/recordingprompter.h"
#include "support/tempdir.h"
#include "support/virtualeventloop.h"

namespace quillark::test {
namespace {

TEST(FloodGate, ReadsTheLoopAndTheStateOfAnAnnouncement) {
  EXPECT_EQ(FloodGate::LoopOf("Detector 3-012  Faults: Comms failure"), 2);
  EXPECT_EQ(FloodGate::LoopOf("Detector 16-255  Alarms: Fire 1"), 15);
  for (const char* other : {"", "Detector", "Detector -012", "Detector 0-012", "Detector 123-1",
                            "Global reset by user 'x'", "Detector x-1"})
    EXPECT_EQ(FloodGate::LoopOf(other), -1) << other;
  EXPECT_EQ(FloodGate::WhatOf("Detector 3-012  Faults: Comms failure"), "Comms failure");
  EXPECT_EQ(FloodGate::WhatOf("Detector 1-005  (UPS (room) 2)    Alarms: Fire 1"), "Fire 1");
  EXPECT_EQ(FloodGate::WhatOf("Detector 1-005  Alarms: Fire 1  Faults: Mains"),
            "Alarms: Fire 1  Faults: Mains");
  EXPECT_EQ(FloodGate::WhatOf("Detector 1-005"), "");
}

TEST(FloodGate, FirstGoesAtOnceTheRestOncePerIntervalPerLoopNothingDropped) {
  FloodGate gate(30000);
  EXPECT_TRUE(gate.Offer(WE_FAULT, "Detector 3-001  Faults: Comms failure", "a", 0));
  EXPECT_TRUE(gate.Offer(WE_ALARM, "Detector 1-001  Alarms: Fire 1", "b", 10));  // own loop
  EXPECT_TRUE(gate.Offer(WE_INFORMATION, "Start", "c", 20));                     // no loop
  EXPECT_FALSE(gate.Offer(WE_FAULT, "Detector 3-002  Faults: Comms failure", "d", 100));
  EXPECT_FALSE(gate.Offer(WE_FAULT, "Detector 3-003  Faults: Comms failure", "e", 200));
  EXPECT_FALSE(gate.Offer(WE_ALARM, "Detector 3-004  Alarms: Fire 2", "f", 300));
  EXPECT_EQ(gate.HeldCount(), 3u);
  EXPECT_TRUE(gate.TakeDue(29999).empty());
  EXPECT_EQ(gate.NextDue(29999), 2u);
  const auto due = gate.TakeDue(30001);
  ASSERT_EQ(due.size(), 1u);
  EXPECT_EQ(due[0].loop, 2);
  EXPECT_EQ(due[0].summary, "1 alarm, 2 faults, loop 3: Comms failure");
  ASSERT_EQ(due[0].events.size(), 3u);
  EXPECT_EQ(due[0].events[0].block + due[0].events[1].block + due[0].events[2].block, "def");
  EXPECT_EQ(gate.HeldCount(), 0u);
  EXPECT_EQ(gate.NextDue(30001), 0u);
  // Still within the interval of the batch: held again.
  EXPECT_FALSE(gate.Offer(WE_FAULT, "Detector 3-005  Faults: Comms failure", "g", 40000));
  // A quiet loop sends its next event at once.
  EXPECT_TRUE(gate.Offer(WE_ALARM, "Detector 1-002  Alarms: Fire 1", "h", 40000));
}

// A loop fails (300 devices' comms failures) while alarms come in on two
// other loops: 500 changes in 10 s.
TEST(FloodNotifier, FiveHundredChangesReachTheLogInOrderAndEachOutputOnceALoopPerInterval) {
  TempDir home;
  INIfile ini{home / "quillark.ini"};
  ini.WriteString("Email", "Enable", "1");
  ini.WriteString("Email", "Sendmail", "/opt/mail/sendmail");
  ini.WriteString("Email", "Recipient", "ops@example.com");
  ini.WriteString("Pager", "Enable", "1");
  ini.WriteString("Pager", "CallCentre", "0800");
  ini.WriteString("Pager", "Password", "pw");
  ini.WriteString("Pager", "Pager", "555");
  ini.WriteString("Log", "PrinterLogging", "1");
  ini.WriteString("Printer", "Device", "log.prn");
  RecordingPrompter prompter;
  VirtualEventLoop loop;
  FakeLauncher launcher{loop};
  launcher.runnable = {"/opt/mail/sendmail", (home / "pager").string()};
  EventNotifier n(ini, prompter, launcher, home.Path(), [] { return std::time_t{0}; });
  n.SetEventLoop(&loop);

  std::vector<std::string> texts;
  for (int i = 0; i < 500; ++i) {
    if (i % 5 == 3)
      texts.push_back(Format("Detector 1-%03d  Alarms: Fire 1", i / 5 % 127 + 1));
    else if (i % 5 == 4)
      texts.push_back(Format("Detector 2-%03d  Alarms: Pre-Alarm", i / 5 % 127 + 1));
    else
      texts.push_back(Format("Detector 3-%03d  Faults: Comms failure", i % 255 + 1));
  }
  for (const std::string& t : texts) {
    n.WriteEvent(t.find("Faults") != std::string::npos ? WE_FAULT : WE_ALARM, t);
    loop.Advance(20);
  }
  loop.Advance(30000);
  EXPECT_EQ(n.HeldCount(), 0u);

  // The disk log has every change once, in order.
  const std::string log = home.Read("event.log");
  std::size_t at = 0;
  for (const std::string& t : texts) {
    const std::size_t next = log.find(": " + t + "\r\n", at);
    ASSERT_NE(next, std::string::npos) << t;
    at = next + 1;
  }
  // So does the printer, around one summary per loop.
  const std::string printed = home.Read("log.prn");
  for (const std::string& t : texts)
    EXPECT_NE(printed.find(": " + t + "\r\n"), std::string::npos) << t;

  // Mail and pager: the first event of each loop, then one batch per loop.
  std::vector<std::string> mails, pages;
  for (const auto& c : launcher.calls) {
    if (c.program == "/opt/mail/sendmail") mails.push_back(c.input.value_or(""));
    if (c.program == (home / "pager").string()) pages.push_back(c.arguments.back());
  }
  ASSERT_EQ(mails.size(), 6u);
  ASSERT_EQ(pages.size(), 6u);
  EXPECT_NE(pages[3].find("299 faults, loop 3: Comms failure"), std::string::npos) << pages[3];
  EXPECT_NE(pages[4].find("99 alarms, loop 1: Fire 1"), std::string::npos) << pages[4];
  EXPECT_NE(pages[5].find("99 alarms, loop 2: Pre-Alarm"), std::string::npos) << pages[5];
  // The batch mail lists every event it held.
  const std::string& loop3 = mails[3];
  EXPECT_NE(loop3.find("299 faults, loop 3: Comms failure"), std::string::npos);
  std::size_t listed = 0;
  for (std::size_t p = loop3.find("FAULT: Detector 3-"); p != std::string::npos;
       p = loop3.find("FAULT: Detector 3-", p + 1))
    ++listed;
  EXPECT_EQ(listed, 299u);
}

// The program stops in the middle of a flood: what was held for the
// outputs goes out as it stops, not at the next interval that never comes.
TEST(FloodNotifier, HeldEventsGoOutOnAnOrderlyShutdown) {
  TempDir home;
  INIfile ini{home / "quillark.ini"};
  ini.WriteString("Email", "Enable", "1");
  ini.WriteString("Email", "Sendmail", "/opt/mail/sendmail");
  ini.WriteString("Email", "Recipient", "ops@example.com");
  ini.WriteString("Pager", "Enable", "1");
  ini.WriteString("Pager", "CallCentre", "0800");
  ini.WriteString("Pager", "Password", "pw");
  ini.WriteString("Pager", "Pager", "555");
  ini.WriteString("Log", "PrinterLogging", "1");
  ini.WriteString("Printer", "Device", "log.prn");
  RecordingPrompter prompter;
  VirtualEventLoop loop;
  FakeLauncher launcher{loop};
  launcher.runnable = {"/opt/mail/sendmail", (home / "pager").string()};
  auto n = std::make_unique<EventNotifier>(ini, prompter, launcher, home.Path(),
                                           [] { return std::time_t{0}; });
  n->SetEventLoop(&loop);
  for (int a = 1; a <= 5; ++a) {
    n->WriteEvent(WE_FAULT, Format("Detector 3-%03d  Faults: Comms failure", a));
    loop.Advance(20);
  }
  EXPECT_EQ(n->HeldCount(), 12u);  // four each for the printer, the mail and the pager
  n->FlushAll();
  EXPECT_EQ(n->HeldCount(), 0u);
  n.reset();
  const std::string printed = home.Read("log.prn");
  for (int a = 1; a <= 5; ++a)
    EXPECT_NE(printed.find(Format("Detector 3-%03d", a)), std::string::npos) << a;
  std::vector<std::string> mails, pages;
  for (const auto& c : launcher.calls) {
    if (c.program == "/opt/mail/sendmail") mails.push_back(c.input.value_or(""));
    if (c.program == (home / "pager").string()) pages.push_back(c.arguments.back());
  }
  ASSERT_EQ(mails.size(), 2u);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_NE(mails[1].find("Detector 3-005"), std::string::npos);
  EXPECT_NE(pages[1].find("4 faults, loop 3: Comms failure"), std::string::npos) << pages[1];
  // Nothing is left to go later either.
  loop.Advance(60000);
  EXPECT_EQ(launcher.calls.size(), 4u);
}

}  // namespace
}  // namespace quillark::test
