#include "core/status/pccommandmodule.h"

#include <gtest/gtest.h>

#include "core/comms/comport.h"
#include "support/apphost.h"
#include "support/fakeserialline.h"
#include "support/frames.h"

namespace quillark::test {
namespace {

// Counts sent polls by watching what the application sends (as the bus viewer does).
class SentLog : public MsgClass {
 public:
  explicit SentLog(BusHost* host) : MsgClass(host) {}
  void MsgRx(int loop, const char* msg) override {
    if (msg[0] == '?') sent.push_back({loop, std::string(msg, 3)});
  }
  std::vector<std::pair<int, std::string>> sent;
};

class Polling : public ::testing::Test {
 protected:
  // `commloops` below `loops` leaves the last loops without a port: their
  // devices never answer.
  void Build(int loops, std::initializer_list<DeviceConfig> devices, int commloops = 0) {
    host.Set("Comm", "Loops", std::to_string(commloops > 0 ? commloops : loops));
    // These cases pin the site-wide walk one poll at a time, frame for frame.
    host.Set("BusMaster", "PollOneAtATime", "1");
    site.DeleteAllDevices();
    for (const auto& d : devices) site.InsertDevice(d);
    host.Start(loops);
    auto master = std::make_unique<PCcommandModule>(&host.Bus(), &site, host.ini, loops);
    bm = master.get();
    host.app->GetMainWindow()->SetCommandModule(std::move(master));
    host.app->GetBus().SetBusViewer(&sent);
    rx.Register(&rx, MSG_SHORT);
  }
  ~Polling() override { host.app->GetBus().SetBusViewer(nullptr); }
  std::vector<std::string> PolledFrames() const {
    std::vector<std::string> out;
    for (const auto& [loop, frame] : sent.sent) out.push_back(std::to_string(loop) + ":" + frame);
    return out;
  }

  AppHost host;
  TSiteConfig site;
  SentLog sent{&host.Bus()};
  RecordingReceiver rx{&host.Bus()};
  PCcommandModule* bm = nullptr;
};

TEST_F(Polling, WalksSiteOrderAcrossLoopsSkippingWhatIsNotPollable) {
  Build(3, {DeviceConfig(2 * 256 + 5, DETECTOR), DeviceConfig(2 * 256 + 1, BUSCONTROLLER),
            DeviceConfig(0 * 256 + 130, POWERSUPPLY), DeviceConfig(5 * 256 + 7, DETECTOR),
            DeviceConfig(1 * 256 + 9, DETECTOR)});
  bm->SetupWindow();
  host.events.Advance(999);
  EXPECT_TRUE(sent.sent.empty());  // polling starts after one second
  host.events.Advance(1 + 10 * 5);
  // The walk advances before it looks: it starts with the second entry.
  EXPECT_EQ(PolledFrames(), (std::vector<std::string>{"2:?\x80\r", "1:?\x89\r", "2:?\x85\r",
                                                      "2:?\x80\r", "1:?\x89\r", "2:?\x85\r"}));
  EXPECT_EQ(bm->Statistics().polls, 6u);
  EXPECT_EQ(bm->Statistics().responses, 6u);
}

TEST_F(Polling, SinglePollableDetectorIsPolledEveryTenMilliseconds) {
  Build(1, {DeviceConfig(300, ZONE), DeviceConfig(5, DETECTOR)});
  bm->SetupWindow();
  host.events.Advance(1000);
  ASSERT_EQ(sent.sent.size(), 1u);
  host.events.Advance(100);
  EXPECT_EQ(sent.sent.size(), 11u);
  for (const auto& [loop, frame] : sent.sent) EXPECT_EQ(frame, "?\x85\r");
}

// An address outside its kind's range is cut into the loop's range on the
// wire: a typed 200 polls detector 72, whose answers then look missing.
TEST_F(Polling, AddressesOutsideTheirKindsRangeNeverReachTheBus) {
  Build(1, {DeviceConfig(72, DETECTOR), DeviceConfig(200, DETECTOR)});
  bm->SetupWindow();
  host.events.Advance(1000 + 40);
  ASSERT_GE(sent.sent.size(), 3u);
  for (const auto& [loop, frame] : sent.sent) EXPECT_EQ(frame, "?\xc8\r");
}

// With nothing pollable the walk lands on whatever entry it started from:
// not even then does a power supply or a stray address go out as a poll.
TEST_F(Polling, NothingPollableSendsNoPollAtAll) {
  Build(1, {DeviceConfig(130, POWERSUPPLY), DeviceConfig(300, ZONE), DeviceConfig(250, DETECTOR)});
  bm->SetupWindow();
  host.events.Advance(1000 + 30);
  EXPECT_TRUE(sent.sent.empty());
}

TEST_F(Polling, ThreeMissedPollsReportFailureAndEveryFurtherMissAgain) {
  Build(2, {DeviceConfig(1 * 256 + 5, DETECTOR)}, 1);
  bm->SetupWindow();
  host.events.Advance(1000 + 20);
  EXPECT_TRUE(rx.frames.empty());
  EXPECT_EQ(bm->GetRetries(261), 2);
  host.events.Advance(10);
  ASSERT_EQ(rx.frames.size(), 1u);
  EXPECT_EQ(rx.loops[0], 1);
  EXPECT_EQ(rx.frames[0], WithSum("@\x85"
                                  "010000"));
  host.events.Advance(10);
  EXPECT_EQ(rx.frames.size(), 2u);
  EXPECT_EQ(bm->GetRetries(261), 3);
  EXPECT_EQ(bm->Statistics().responses, 0u);

  // An answer from the device (any frame with its address) clears the count at
  // the next timer event; one from another address does not count.
  host.app->DespatchRxMessage(1,
                              WithSum("@\x86"
                                      "000000")
                                  .c_str(),
                              10, true);
  host.events.Advance(10);
  EXPECT_EQ(bm->GetRetries(261), 3);
  std::string longanswer = WithSum(
      "<\x85"
      "A0a");
  host.app->DespatchRxMessage(1, longanswer.c_str(), static_cast<int>(longanswer.size()), true);
  host.events.Advance(10);
  EXPECT_EQ(bm->GetRetries(261), 0);
  // Two failures, the other device's answer, one more failure (the long answer
  // is not a short one).
  EXPECT_EQ(rx.frames.size(), 4u);
}

TEST_F(Polling, OwnPollHeardBackOnTheBusIsNotAnAnswer) {
  Build(2, {DeviceConfig(1 * 256 + 5, DETECTOR)}, 1);
  bm->SetupWindow();
  host.events.Advance(1000);
  // Every poll comes straight back, as on a bus that echoes the sender.
  for (int i = 0; i < 3; ++i) {
    host.app->DespatchRxMessage(1, "?\x85\r", 2, true);
    host.events.Advance(10);
  }
  EXPECT_EQ(bm->GetRetries(261), 3);
  EXPECT_EQ(bm->Statistics().responses, 0u);
  ASSERT_EQ(rx.frames.size(), 1u);
  EXPECT_EQ(rx.frames[0], WithSum("@\x85"
                                  "010000"));
}

// At 9600 baud a poll and its answer take 17 ms on the line alone: the answer
// wait on a serial loop grows by that, while other loops keep 10 ms.
TEST_F(Polling, SlowSerialLineGetsTheTimeToCarryTheAnswer) {
  auto line = std::make_shared<FakeSerialLine::State>();
  host.app->GetServices().seriallines = [line] { return std::make_unique<FakeSerialLine>(line); };
  Build(2, {DeviceConfig(5, DETECTOR), DeviceConfig(256 + 7, DETECTOR)});
  host.Set("Comm", "Loop1Port", "/dev/ttyUSB0");
  host.Comms().SetPort(0, std::make_unique<COMPort>(
                              &host.Bus(), &host.app->GetServices().translator, 0, host.ini, 9600));
  ASSERT_EQ(host.app->GetBus().GetAnswerLineTime(0), 17);
  EXPECT_EQ(host.app->GetBus().GetAnswerLineTime(1), 0);
  bm->SetupWindow();
  host.events.Advance(1000);  // loop 1's device is polled first
  ASSERT_EQ(PolledFrames().back(), "1:?\x87\r");
  host.events.Advance(10);  // on to the serial loop
  ASSERT_EQ(PolledFrames().back(), "0:?\x85\r");
  const auto polls = sent.sent.size();
  for (int round = 0; round < 4; ++round) {
    host.events.Advance(25);  // the answer, 25 ms after the poll went out
    std::string answer = WithSum(
                             "@\x85"
                             "000010") +
                         "\r";
    host.app->DespatchRxMessage(0, answer.c_str(), 10, true);
    host.events.Advance(2);
    host.events.Advance(10);  // loop 1 again, then back to loop 0
  }
  EXPECT_GT(sent.sent.size(), polls + 4);
  EXPECT_EQ(bm->GetRetries(5), 0);
  // A device that does not answer is still caught.
  host.events.Advance(40);
  EXPECT_EQ(bm->GetRetries(5), 1);
}

TEST_F(Polling, EchoSendsTheAnswerBackWithAFreshCheckSum) {
  host.Set("BusMaster", "MSSecho", "1");
  Build(1, {DeviceConfig(5, DETECTOR)});
  ASSERT_TRUE(bm->GetEcho());
  std::vector<std::string> seen;
  struct Viewer : MsgClass {
    using MsgClass::MsgClass;
    void MsgRx(int, const char* m) override { log->push_back(m); }
    std::vector<std::string>* log;
  } viewer(&host.Bus());
  viewer.log = &seen;
  host.app->GetBus().SetBusViewer(&viewer);
  bm->SetupWindow();
  host.events.Advance(1000);
  std::string answer = WithSum(
      "@\x85"
      "010203");
  host.app->DespatchRxMessage(0, answer.c_str(), 10, false);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back(), WithSum("@\x85"
                                 "010203") +
                             "\r");
}

TEST_F(Polling, PauseStopsPollingAndResumeRepollsAfterASecond) {
  Build(1, {DeviceConfig(5, DETECTOR), DeviceConfig(6, DETECTOR)});
  bm->SetupWindow();
  host.events.Advance(1000 + 15);
  const std::size_t before = sent.sent.size();
  const std::uint64_t t0 = host.events.Elapsed();
  host.app->GetBus().PausePolling();
  EXPECT_EQ(host.events.Elapsed() - t0, 500u);
  EXPECT_EQ(bm->GetState(), CM_PAUSED);
  EXPECT_TRUE(host.app->GetBus().IsPollPaused());
  host.events.Advance(5000);
  EXPECT_EQ(sent.sent.size(), before);

  const int last = bm->GetPollDevice();
  bm->ResumePolling();
  bm->ResumePolling();  // not paused: nothing
  EXPECT_EQ(host.events.Elapsed() - t0, 500u + 5000u + 1000u);
  ASSERT_EQ(sent.sent.size(), before + 1);
  EXPECT_EQ(sent.sent.back().second, std::string("?") + char(last | 0x80) + "\r");

  bm->SetBusMaster(false);
  const std::uint64_t t1 = host.events.Elapsed();
  bm->PausePolling();
  EXPECT_EQ(host.events.Elapsed(), t1);
}

TEST(PollStatistics, WrapIsDroppedAndAverageCountsEveryPoll) {
  PCcommandModule::Impl s;
  s.UpdateStatistics(100, 90, true);
  EXPECT_EQ(s.dropped, 1u);
  EXPECT_EQ(s.polls, 0u);
  s.UpdateStatistics(0, 4, true);
  s.UpdateStatistics(10, 12, true);
  s.UpdateStatistics(0, 0, false);
  EXPECT_EQ(s.polls, 3u);
  EXPECT_EQ(s.responses, 2u);
  EXPECT_EQ(s.max, 4u);
  EXPECT_EQ(s.min, 2u);
  EXPECT_EQ(s.GetAvg(), 2u);
  s.ResetStatistics();
  EXPECT_EQ(s.GetAvg(), 0u);
}

}  // namespace
}  // namespace quillark::test
