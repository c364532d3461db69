#include "core/status/busstatusmonitor.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <string>

#include "support/apphost.h"
#include "support/frames.h"

namespace quillark::test {
namespace {

struct Counts {
  std::uint32_t received, fast, standard, unknownpolls, unknowncommands, bad, sent;
  bool operator==(const Counts&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Counts& c) {
  return os << "{" << c.received << " " << c.fast << " " << c.standard << " " << c.unknownpolls
            << " " << c.unknowncommands << " " << c.bad << " " << c.sent << "}";
}

std::string Report(const std::string& date, const Counts& c) {
  std::ostringstream s;
  s << date << "\r\n\r\n\r\nMessages received: " << c.received << "\r\nFast polls: " << c.fast
    << "\r\nStandard polls: " << c.standard << "\r\nUnknown polls: " << c.unknownpolls
    << "\r\nUnknown commands: " << c.unknowncommands << "\r\nBad messages: " << c.bad
    << "\r\n\r\nMessages sent: " << c.sent << "\r\n";
  return s.str();
}

class BusStatistics : public ::testing::Test {
 protected:
  explicit BusStatistics(std::uint32_t starttick = 0) : host(starttick) {
    setenv("TZ", "UTC", 1);
    tzset();
    host.Start();
    monitor = std::make_unique<BusStatusMonitor>(host.app.get(), ReportPath());
  }

  std::filesystem::path ReportPath() const { return host.home / "status.txt"; }
  std::string ReadReport() const { return host.home.Read("status.txt"); }

  void Despatch(const std::string& frame, int loop = 0) {
    host.app->DespatchRxMessage(loop, frame.c_str(), static_cast<int>(frame.size()), true);
  }
  // The first frame after start-up writes a report and clears the counts;
  // the hour being counted starts there.
  void StartHour() {
    Despatch(
        WithSum("@\x85"
                "000000"));
    ASSERT_EQ(Now(), (Counts{0, 0, 0, 0, 0, 0, 0}));
  }
  Counts Now() const {
    const BusStatus::Status& s = monitor->GetStatus();
    return {s.rxmessages,        s.rxfastpolls,   s.rxstdpolls, s.rxunknownpolls,
            s.rxunknowncommands, s.rxbadmessages, s.txmessages};
  }

  AppHost host;
  std::unique_ptr<BusStatusMonitor> monitor;
};

TEST_F(BusStatistics, FramesAreCountedByKind) {
  StartHour();
  Despatch(
      WithSum("#\x81"
              "R000"));  // power-supply command
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
      WithSum("@\x85"
              "010000"));
  Despatch(
      WithSum("*\x81"
              "0000"));
  EXPECT_EQ(Now(), (Counts{5, 2, 2, 1, 1, 3, 0}));
  Despatch(
      WithSum("@\x05"
              "010000"));
  EXPECT_EQ(Now(), (Counts{6, 3, 2, 1, 1, 4, 0}));
  Despatch(
      WithSum(":\x81"
              "I0011"));
  Despatch(
      WithSum("/\x81"
              "I00"));
  Despatch(
      WithSum("+\x81"
              "R00"));
  EXPECT_EQ(Now(), (Counts{9, 3, 4, 2, 1, 5, 0}));
  // Polls are class 0 and never delivered to receivers.
  Despatch("?\x85");
  EXPECT_EQ(Now().received, 9u);
}

TEST_F(BusStatistics, CommandLettersOutsideTheKnownSetAreUnknown) {
  StartHour();
  const std::string known = "ACDEGHILPQRSTU";
  for (char letter : known) Despatch(WithSum(std::string("<\x85") + letter + "00"));
  EXPECT_EQ(Now(), (Counts{14, 0, 14, 0, 0, 0, 0}));
  const std::string unknown = "BFJKMNOVZa0";
  for (char letter : unknown) Despatch(WithSum(std::string(">\x85") + letter + "00"));
  EXPECT_EQ(Now(), (Counts{25, 0, 25, 0, 11, 11, 0}));
}

TEST_F(BusStatistics, BadCheckSumsAreCountedByKindOnly) {
  StartHour();
  std::string bad = WithSum(
      "@\x85"
      "010000");
  bad[8] = bad[8] == '0' ? '1' : '0';
  Despatch(bad);
  std::string badlong = WithSum(
      "<\x85"
      "G00");
  badlong[3] = 'x';
  Despatch(badlong);
  EXPECT_EQ(Now(), (Counts{2, 1, 1, 0, 0, 0, 0}));
}

TEST_F(BusStatistics, TransmitEmptyNotificationsAreMessagesSent) {
  StartHour();
  host.app->TxEmpty();
  host.app->TxEmpty();
  EXPECT_EQ(Now(), (Counts{0, 0, 0, 0, 0, 0, 2}));
  // Sending is not counted by itself, only the drained transmitter.
  char request[FRAMEBUFFER] = {'>', static_cast<char>(0x85), 'A', '0', '0', '0', '\0'};
  host.app->SendBusMessage(0, request, 6);
  EXPECT_EQ(Now().sent, 2u);
}

TEST_F(BusStatistics, FirstFrameWritesReportThenEveryHour) {
  // 1700000000 is Tue Nov 14 22:13:20 2023 UTC, where the virtual clock starts.
  Despatch(
      WithSum("@\x85"
              "000000"));
  EXPECT_EQ(ReadReport(), Report("Tue Nov 14 22:13:20 2023", {1, 1, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Now(), (Counts{0, 0, 0, 0, 0, 0, 0}));

  host.events.Advance(1000);
  Despatch(
      WithSum("<\x85"
              "B00"));
  host.app->TxEmpty();
  host.events.Advance(BusStatusMonitor::SAVEINTERVAL - 1001);
  Despatch(
      WithSum("#\x81"
              "R000"));
  // Still inside the hour: the first report stands.
  EXPECT_EQ(ReadReport(), Report("Tue Nov 14 22:13:20 2023", {1, 1, 0, 0, 0, 0, 0}));

  host.events.Advance(1);
  Despatch(
      WithSum("@\x05"
              "000000"));
  EXPECT_EQ(ReadReport(), Report("Tue Nov 14 23:13:20 2023", {3, 1, 1, 1, 1, 3, 1}));
  EXPECT_EQ(Now(), (Counts{0, 0, 0, 0, 0, 0, 0}));
  EXPECT_FALSE(std::filesystem::exists(host.home / "status.txt.tmp"));
}

TEST_F(BusStatistics, UnwritableReportIsSkippedAndCountingGoesOn) {
  monitor->SetReportFile(host.home / "missing" / "status.txt");
  Despatch(
      WithSum("@\x85"
              "000000"));
  EXPECT_EQ(Now(), (Counts{0, 0, 0, 0, 0, 0, 0}));
  EXPECT_FALSE(std::filesystem::exists(host.home / "missing"));

  // A directory in the report's place.
  std::filesystem::create_directory(host.home / "status.txt");
  monitor->SetReportFile(ReportPath());
  Despatch(
      WithSum("@\x85"
              "000000"));
  host.events.Advance(BusStatusMonitor::SAVEINTERVAL);
  Despatch(
      WithSum("@\x85"
              "000000"));
  EXPECT_TRUE(std::filesystem::is_directory(ReportPath()));
  EXPECT_FALSE(std::filesystem::exists(host.home / "status.txt.tmp"));
  EXPECT_EQ(Now(), (Counts{0, 0, 0, 0, 0, 0, 0}));
  EXPECT_TRUE(host.prompter.prompts.empty());
}

TEST(BusStatisticsReport, DayOfMonthIsTwoDigits) {
  setenv("TZ", "UTC", 1);
  tzset();
  TempDir home;
  VirtualEventLoop events(0, 1796702700);  // Tue Dec  8 04:05:00 2026 UTC
  RecordingPrompter prompter;
  RecordingStatus status;
  INIfile ini(home / "quillark.ini");
  TDockingApp app(events, prompter, status, ini);
  BusStatusMonitor monitor(&app, home / "status.txt");
  monitor.TxEmpty();
  const std::string frame = WithSum(
      "@\x85"
      "000000");
  app.DespatchRxMessage(0, frame.c_str(), static_cast<int>(frame.size()), true);
  EXPECT_EQ(home.Read("status.txt"), Report("Tue Dec 08 04:05:00 2026", {1, 1, 0, 0, 0, 0, 1}));
}

class BusStatisticsAtWrap : public BusStatistics {
 protected:
  BusStatisticsAtWrap() : BusStatistics(0xFFFFFFFFu - 60000) {}
};

TEST_F(BusStatisticsAtWrap, HourHoldsAcrossTheTickWrap) {
  StartHour();
  const std::string first = ReadReport();
  for (int minute = 1; minute < 60; ++minute) {  // the counter wraps after one minute
    host.events.Advance(60000);
    Despatch(
        WithSum("@\x85"
                "000000"));
  }
  EXPECT_EQ(Now().received, 59u);
  EXPECT_EQ(ReadReport(), first);
  host.events.Advance(60000);
  Despatch(
      WithSum("@\x85"
              "000000"));
  EXPECT_EQ(Now().received, 0u);
  EXPECT_NE(ReadReport(), first);
}

TEST(BusStatisticsLifetime, RegistersForEverythingAndLeaves) {
  AppHost host;
  {
    BusStatusMonitor monitor(host.app.get());
    EXPECT_EQ(host.app->RegisteredReceivers(), 1u);
    // Without a report file the hour still starts and counts clear.
    const std::string frame = WithSum(
        "@\x85"
        "000000");
    host.app->DespatchRxMessage(0, frame.c_str(), static_cast<int>(frame.size()), true);
    EXPECT_EQ(monitor.GetStatus().rxmessages, 0u);
  }
  EXPECT_EQ(host.app->RegisteredReceivers(), 0u);
  EXPECT_TRUE(host.prompter.prompts.empty());
}

TEST(BusStatusBlock, PutWritesTheCountsBlock) {
  struct Filled : BusStatus {
    Filled() {
      status.rxmessages = 7;
      status.txmessages = 0xFFFFFFFFu;
    }
  } filled;
  std::ostringstream s;
  s << filled.GetStatus();
  EXPECT_EQ(s.str(),
            "\nMessages received: 7\nFast polls: 0\nStandard polls: 0\nUnknown polls: 0\n"
            "Unknown commands: 0\nBad messages: 0\n\nMessages sent: 4294967295\n");
  filled.Reset();
  EXPECT_EQ(filled.GetStatus().txmessages, 0u);
}

}  // namespace
}  // namespace quillark::test
