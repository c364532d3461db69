#include "core/status/devicestatusmonitor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/busfixture.h"
#include "support/frames.h"

namespace quillark::test {
namespace {

class RecordingObserver : public DeviceStatusListObserver {
 public:
  void Update(int address) override { updates.push_back(address); }
  std::vector<int> updates;
};

std::string Answer(int address, const std::string& digits) {
  return WithSum(std::string("@") + static_cast<char>(address | 0x80) + digits);
}
std::string LevelFrame(int address, const std::string& payload) {
  return WithSum(std::string(">") + static_cast<char>(address | 0x80) + "A" + payload);
}
// A level poll as it goes onto the bus, with the loop it went to.
std::string LevelPoll(int loop, int address) {
  return std::to_string(loop) + ":" + LevelFrame(address, "000") + "\r";
}

class StatusMonitor : public ::testing::Test {
 protected:
  explicit StatusMonitor(std::uint32_t starttick = 0) : host(starttick) {
    host.Set("Comm", "Loops", "2");
    host.StartComms(2);
    // The bus viewer sees every frame sent; the frames despatched here are
    // marked as made up, so it sees nothing else.
    host.bus.SetBusViewer(&viewer);
    monitor = std::make_unique<DeviceStatusMonitor>(&host.bus, list);
    list.Attach(&observer);
  }
  ~StatusMonitor() override { host.bus.SetBusViewer(nullptr); }

  void Despatch(const std::string& frame, int loop = 0) {
    host.bus.DespatchRxMessage(loop, frame.c_str(), static_cast<int>(frame.size()), false);
  }
  std::vector<std::string> TakeSent() {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < viewer.frames.size(); ++i)
      out.push_back(std::to_string(viewer.loops[i]) + ":" + viewer.frames[i]);
    viewer.frames.clear();
    viewer.loops.clear();
    return out;
  }

  BusFixture host;
  RecordingReceiver viewer{&host.bus};
  DeviceStatusList list;
  RecordingObserver observer;
  std::unique_ptr<DeviceStatusMonitor> monitor;
};

TEST_F(StatusMonitor, FastPollAnswersAreStoredOnlyWhenTheyChange) {
  list.SetState(261, DeviceStatus(0, 0, 7, 40, 30, 20, 10, 5));
  Despatch(Answer(5, "150020"), 1);
  EXPECT_EQ(list.GetState(261), DeviceStatus(0x15, 0, 0, 40, 30, 20, 10, 5));
  Despatch(Answer(5, "150020"), 1);
  EXPECT_EQ(observer.updates, std::vector<int>{261});

  // Only the low five bits of the level count.
  Despatch(Answer(5, "ff803f"));
  EXPECT_EQ(list.GetState(5), DeviceStatus(0xFF, 0x80, 31, 0, 0, 0, 0, 0));

  // Device 300 lies beyond the 128 entries: the list grows to hold it.
  Despatch(Answer(44, "010400"), 1);
  ASSERT_EQ(list.size(), 301u);
  EXPECT_EQ(list.GetState(300), DeviceStatus(0x01, 0x04, 0, 0, 0, 0, 0, 0));
  EXPECT_FALSE(list.GetState(299).HasValues());

  // The failure mark the main window makes up for a silent device.
  host.bus.SetRxFail(5);
  EXPECT_EQ(list.GetState(5), DeviceStatus(0x01, 0, 0, 0, 0, 0, 0, 0));
  EXPECT_EQ(observer.updates, (std::vector<int>{261, 5, 300, 5}));
}

TEST_F(StatusMonitor, LevelAnswersRaiseThresholdsAndFollowTheDetectorLevel) {
  list.SetState(5, DeviceStatus(0x04, 0, 9, 12, 10, 8, 6, 9));
  // Field 10, then Fire 2, Fire 1, Pre-alarm, Aux and detector level.
  Despatch(LevelFrame(5, "00a0a0b0c0d07"));
  EXPECT_EQ(list.GetState(5), DeviceStatus(0x04, 0, 9, 12, 11, 12, 13, 7));
  Despatch(LevelFrame(5, "00a0a0b0c0d07"));
  EXPECT_EQ(observer.updates, std::vector<int>{5});

  Despatch(LevelFrame(3, "0ff1412100e09"), 1);
  EXPECT_EQ(list.GetState(259), DeviceStatus(0, 0, 0, 0x14, 0x12, 0x10, 0x0e, 9));
  EXPECT_EQ(observer.updates, (std::vector<int>{5, 259}));
}

TEST_F(StatusMonitor, OwnRequestsOtherFramesAndTruncatedFramesChangeNothing) {
  std::string badsum = Answer(6, "150000");
  badsum[3] = '4';
  for (const std::string& frame : {
           LevelFrame(6, "000"),            // our own request, heard on the bus
           LevelFrame(6, "0090a0b0c0d07"),  // field below 10
           WithSum("<\x86"
                   "A00a0a0b0c0d07"),  // detectors answer with '<'
           LevelFrame(6, "00a0a0b"),   // levels cut short
           WithSum(">\x86"
                   "A0"),  // field cut short
           WithSum("@\x86"
                   "0"),  // answers cut short
           WithSum("@\x86"
                   "1502"),
           badsum,  // never delivered
       })
    Despatch(frame);
  EXPECT_TRUE(observer.updates.empty());
  EXPECT_EQ(list.size(), 128u);
}

TEST(StatusMonitorLists, EnabledLoopsAndAddresses) {
  const DeviceStatus heard(0, 0, 0, 0, 0, 0, 0, 0);
  DeviceStatusList list;
  EXPECT_EQ(DeviceStatusMonitor::GetEnabledLoops(list), 1);
  EXPECT_EQ(DeviceStatusMonitor::GetNextEnabledDetector(list, 127), 127u);  // none heard
  list.SetState(2 * 256 + 5, heard);
  list.SetState(120, heard);
  EXPECT_EQ(DeviceStatusMonitor::GetEnabledLoops(list), 3);
  EXPECT_TRUE(DeviceStatusMonitor::IsEnabledAddress(list, 5));
  EXPECT_FALSE(DeviceStatusMonitor::IsEnabledAddress(list, 6));  // on loop 2, never heard
  EXPECT_EQ(DeviceStatusMonitor::GetNextEnabledDetector(list, 5), 120u);
  EXPECT_EQ(DeviceStatusMonitor::GetNextEnabledDetector(list, 120), 5u);  // 127 wraps to 1
  list.Resize(0);
  EXPECT_EQ(DeviceStatusMonitor::GetEnabledLoops(list), 0);
  EXPECT_FALSE(DeviceStatusMonitor::IsEnabledAddress(list, 5));
}

TEST_F(StatusMonitor, LevelPollsArePacedByTrafficEveryEightSeconds) {
  // Long frames drive the pacing without marking an address as heard, so
  // the same address is asked every time.
  const std::string traffic = WithSum("<\x85G00");
  Despatch(traffic);
  EXPECT_EQ(TakeSent(), std::vector<std::string>{LevelPoll(0, 1)});  // at once
  host.events.Advance(7999);
  Despatch(traffic);
  EXPECT_TRUE(TakeSent().empty());
  host.events.Advance(6000);
  EXPECT_TRUE(TakeSent().empty());  // nothing goes out without traffic
  Despatch(traffic);
  EXPECT_EQ(TakeSent(), std::vector<std::string>{LevelPoll(0, 1)});
  // The next is due 8 s after that frame.
  host.events.Advance(7999);
  Despatch(traffic);
  EXPECT_TRUE(TakeSent().empty());
  host.events.Advance(1);
  Despatch(traffic);
  EXPECT_EQ(TakeSent(), std::vector<std::string>{LevelPoll(0, 1)});

  // None while polling is paused; the first frame after it resumes asks.
  host.bus.PausePolling();
  host.events.Advance(20000);
  Despatch(traffic);
  EXPECT_TRUE(TakeSent().empty());
  host.bus.ResumePolling();
  Despatch(traffic);
  EXPECT_EQ(TakeSent(), std::vector<std::string>{LevelPoll(0, 1)});
}

TEST_F(StatusMonitor, LevelPollsStepThroughHeardAddressesOnEveryLoop) {
  Despatch(Answer(9, "000000"));
  EXPECT_EQ(TakeSent(), std::vector<std::string>{LevelPoll(0, 1)});
  Despatch(Answer(3, "000000"), 1);  // the list now reaches loop 1
  Despatch(Answer(120, "000000"));
  for (int address : {9, 120, 3, 9}) {
    host.events.Advance(DeviceStatusMonitor::LEVELPOLLINTERVAL);
    Despatch(Answer(9, "000000"));
    EXPECT_EQ(TakeSent(), (std::vector<std::string>{LevelPoll(0, address), LevelPoll(1, address)}));
  }
}

class StatusMonitorAtWrap : public StatusMonitor {
 protected:
  StatusMonitorAtWrap() : StatusMonitor(0xFFFFFFFFu - 3000) {}
};

TEST_F(StatusMonitorAtWrap, PacingHoldsAcrossTheTickWrap) {
  const std::string traffic = WithSum("<\x85G00");
  Despatch(traffic);
  EXPECT_EQ(TakeSent().size(), 1u);
  for (int second = 1; second < 8; ++second) {  // the counter wraps after 3 s
    host.events.Advance(1000);
    Despatch(traffic);
    EXPECT_TRUE(TakeSent().empty()) << second << " s";
  }
  host.events.Advance(1000);
  Despatch(traffic);
  EXPECT_EQ(TakeSent().size(), 1u);
}

}  // namespace
}  // namespace quillark::test
