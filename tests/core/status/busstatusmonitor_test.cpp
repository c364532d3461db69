#include "core/status/busstatusmonitor.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <string>

#include "support/busfixture.h"
#include "support/frames.h"

namespace quillark::test {
namespace {

// Messages received, fast polls, standard polls, unknown polls, unknown
// commands, bad messages, messages sent.
using Counts = std::vector<std::uint32_t>;

std::string Report(const std::string& date, const Counts& c) {
  std::ostringstream s;
  s << date << "\r\n\r\n\r\nMessages received: " << c[0] << "\r\nFast polls: " << c[1]
    << "\r\nStandard polls: " << c[2] << "\r\nUnknown polls: " << c[3]
    << "\r\nUnknown commands: " << c[4] << "\r\nBad messages: " << c[5]
    << "\r\n\r\nMessages sent: " << c[6] << "\r\n";
  return s.str();
}

const std::string QUIET = WithSum(
    "@\x85"
    "000000");

class BusStatistics : public ::testing::Test {
 protected:
  // The wall clock starts at Tue Dec  8 04:05:00 2026 UTC.
  explicit BusStatistics(std::uint32_t starttick = 0) : fixture(starttick, 1796702700) {
    setenv("TZ", "UTC", 1);
    tzset();
  }

  void Despatch(const std::string& frame) {
    bus.DespatchRxMessage(0, frame.c_str(), static_cast<int>(frame.size()), true);
  }
  // The first frame after start-up writes a report and clears the counts;
  // the hour being counted starts there.
  void StartHour() {
    Despatch(QUIET);
    ASSERT_EQ(Now(), Counts(7, 0));
  }
  Counts Now() const {
    const BusStatus::Status& s = monitor.GetStatus();
    return {s.rxmessages,        s.rxfastpolls,   s.rxstdpolls, s.rxunknownpolls,
            s.rxunknowncommands, s.rxbadmessages, s.txmessages};
  }

  BusFixture fixture;
  TempDir& home = fixture.home;
  VirtualEventLoop& events = fixture.events;
  BusRouter& bus = fixture.bus;
  BusStatusMonitor monitor{&bus, home / "status.txt"};
};

TEST_F(BusStatistics, FramesAreCountedByKind) {
  StartHour();
  Despatch(
      WithSum("#\x81"
              "R000"));  // power-supply kinds are not known
  EXPECT_EQ(Now(), (Counts{1, 0, 0, 1, 0, 1, 0}));
  Despatch(
      WithSum(">\x85"
              "B000"));
  EXPECT_EQ(Now(), (Counts{2, 0, 1, 1, 1, 2, 0}));
  Despatch(
      WithSum("<\x05"
              "G00"));  // address byte without bit 7
  EXPECT_EQ(Now(), (Counts{3, 0, 2, 1, 1, 3, 0}));
  Despatch(
      WithSum("*\x81"
              "0000"));
  Despatch(
      WithSum("@\x05"
              "010000"));
  Despatch(
      WithSum(":\x81"
              "I0011"));
  Despatch(
      WithSum("/\x81"
              "I00"));
  Despatch("?\x85");  // polls are never delivered
  monitor.TxEmpty();
  EXPECT_EQ(Now(), (Counts{7, 2, 4, 1, 1, 4, 1}));

  // A bad check sum by itself is no bad message.
  std::string badsum = QUIET;
  badsum[8] = badsum[8] == '0' ? '1' : '0';
  Despatch(badsum);
  std::string badhex = WithSum(
      "<\x85"
      "G00");
  badhex[3] = 'x';
  Despatch(badhex);
  EXPECT_EQ(Now(), (Counts{9, 3, 5, 1, 1, 4, 1}));
}

TEST_F(BusStatistics, CommandLettersOutsideTheKnownSetAreUnknown) {
  StartHour();
  for (char letter : std::string("ACDEGHILPQRSTU"))
    Despatch(WithSum(std::string("<\x85") + letter + "00"));
  EXPECT_EQ(Now(), (Counts{14, 0, 14, 0, 0, 0, 0}));
  for (char letter : std::string("BFJKMNOVa0"))
    Despatch(WithSum(std::string(">\x85") + letter + "00"));
  EXPECT_EQ(Now(), (Counts{24, 0, 24, 0, 10, 10, 0}));
}

TEST_F(BusStatistics, FirstFrameWritesTheReportThenEveryHour) {
  monitor.TxEmpty();
  Despatch(QUIET);
  EXPECT_EQ(home.Read("status.txt"), Report("Tue Dec 08 04:05:00 2026", {1, 1, 0, 0, 0, 0, 1}));
  EXPECT_EQ(Now(), Counts(7, 0));

  events.Advance(1000);
  Despatch(
      WithSum("<\x85"
              "B00"));
  events.Advance(BusStatusMonitor::SAVEINTERVAL - 1001);
  Despatch(
      WithSum("#\x81"
              "R000"));
  EXPECT_EQ(home.Read("status.txt"), Report("Tue Dec 08 04:05:00 2026", {1, 1, 0, 0, 0, 0, 1}));

  events.Advance(1);
  monitor.TxEmpty();
  Despatch(
      WithSum("@\x05"
              "000000"));
  EXPECT_EQ(home.Read("status.txt"), Report("Tue Dec 08 05:05:00 2026", {3, 1, 1, 1, 1, 3, 1}));
  EXPECT_EQ(Now(), Counts(7, 0));
  EXPECT_FALSE(std::filesystem::exists(home / "status.txt.tmp"));
}

TEST_F(BusStatistics, UnwritableReportIsSkippedAndCountingGoesOn) {
  monitor.SetReportFile(home / "missing" / "status.txt");
  Despatch(QUIET);
  EXPECT_EQ(Now(), Counts(7, 0));
  EXPECT_FALSE(std::filesystem::exists(home / "missing"));

  // A directory in the report's place.
  std::filesystem::create_directory(home / "status.txt");
  monitor.SetReportFile(home / "status.txt");
  events.Advance(BusStatusMonitor::SAVEINTERVAL);
  Despatch(QUIET);
  EXPECT_TRUE(std::filesystem::is_directory(home / "status.txt"));
  EXPECT_FALSE(std::filesystem::exists(home / "status.txt.tmp"));
  EXPECT_EQ(Now(), Counts(7, 0));
  EXPECT_TRUE(fixture.prompter.prompts.empty());
}

class BusStatisticsAtWrap : public BusStatistics {
 protected:
  BusStatisticsAtWrap() : BusStatistics(0xFFFFFFFFu - 60000) {}
};

TEST_F(BusStatisticsAtWrap, TheHourHoldsAcrossTheTickWrap) {
  StartHour();
  for (int minute = 1; minute < 60; ++minute) {  // the counter wraps after one minute
    events.Advance(60000);
    Despatch(QUIET);
  }
  EXPECT_EQ(Now()[0], 59u);
  events.Advance(60000);
  Despatch(QUIET);
  EXPECT_EQ(Now()[0], 0u);
  EXPECT_EQ(home.Read("status.txt"), Report("Tue Dec 08 05:05:00 2026", {60, 60, 0, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace quillark::test
