#include "core/status/devicestatusmonitor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/apphost.h"
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

// The level poll of one address as it goes onto the bus.
std::string LevelPoll(int address) {
  return LevelFrame(address, "000") + "\r";
}

class StatusMonitor : public ::testing::Test {
 protected:
  explicit StatusMonitor(std::uint32_t starttick = 0, int loops = 2) : host(starttick) {
    host.Set("Comm", "Loops", std::to_string(loops));
    host.Start(loops);
    // The bus viewer sees every frame sent; frames despatched below are
    // marked as made up so that it sees only those.
    host.app->SetBusViewer(&sent);
    monitor = std::make_unique<DeviceStatusMonitor>(host.app.get(), list);
    list.Attach(&observer);
  }
  ~StatusMonitor() override {
    monitor.reset();
    host.app->SetBusViewer(nullptr);
  }

  void Despatch(const std::string& frame, int loop = 0) {
    host.app->DespatchRxMessage(loop, frame.c_str(), static_cast<int>(frame.size()), false);
  }
  // Level polls sent since the last call, as "loop:frame".
  std::vector<std::string> TakeSent() {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < sent.frames.size(); ++i)
      out.push_back(std::to_string(sent.loops[i]) + ":" + sent.frames[i]);
    sent.frames.clear();
    sent.loops.clear();
    return out;
  }

  AppHost host;
  RecordingReceiver sent{host.app.get()};
  DeviceStatusList list;
  RecordingObserver observer;
  std::unique_ptr<DeviceStatusMonitor> monitor;
};

TEST_F(StatusMonitor, FastPollAnswerKeepsThresholdsAndRepeatsAreSilent) {
  list.SetState(261, DeviceStatus(0, 0, 7, 40, 30, 20, 10, 5));
  Despatch(Answer(5, "150020"), 1);

  DeviceStatus s = list.GetState(261);
  EXPECT_EQ(s.GetAlarmFaultStatus(), 0x15u);
  EXPECT_EQ(s.GetFaultFlags(), 0x00u);
  EXPECT_EQ(s.GetBargraphLevel(), 0);  // 0x20 keeps only its low five bits
  EXPECT_EQ(s.GetFire2Level(), 40);
  EXPECT_EQ(s.GetFire1Level(), 30);
  EXPECT_EQ(s.GetPreAlarmLevel(), 20);
  EXPECT_EQ(s.GetAuxLevel(), 10);
  EXPECT_EQ(s.GetDetectorLevel(), 5);
  EXPECT_TRUE(s.HasValues());
  EXPECT_EQ(observer.updates, std::vector<int>{261});

  Despatch(Answer(5, "150020"), 1);
  EXPECT_EQ(observer.updates, std::vector<int>{261});

  // A quiet device's first answer is all zeros, and still a change from
  // "nothing heard yet".
  Despatch(Answer(7, "000000"));
  EXPECT_TRUE(list.GetState(7).HasValues());
  EXPECT_EQ(list.GetState(7).GetAlarmFaultStatus(), 0u);
  EXPECT_EQ(observer.updates, (std::vector<int>{261, 7}));
}

TEST_F(StatusMonitor, FastPollFieldsAreMaskedAndCommandModuleIsSlotZero) {
  Despatch(Answer(5, "ff803f"));
  EXPECT_EQ(list.GetState(5).GetAlarmFaultStatus(), 0xFFu);
  EXPECT_EQ(list.GetState(5).GetFaultFlags(), 0x80u);
  EXPECT_EQ(list.GetState(5).GetBargraphLevel(), 31);

  // The command module answers its poll under address byte 0x80.
  Despatch(Answer(0, "810305"), 1);
  ASSERT_EQ(list.size(), 257u);
  EXPECT_EQ(list.GetState(256).GetAlarmFaultStatus(), 0x81u);
  EXPECT_EQ(list.GetState(256).GetFaultFlags(), 0x03u);
  EXPECT_EQ(list.GetState(256).GetBargraphLevel(), 5);
}

TEST_F(StatusMonitor, AnswerBeyondTheListGrowsItWithZeroThresholds) {
  ASSERT_EQ(list.size(), 128u);
  Despatch(Answer(44, "010400"), 1);  // device 300
  ASSERT_EQ(list.size(), 301u);
  DeviceStatus s = list.GetState(300);
  EXPECT_EQ(s.GetAlarmFaultStatus(), 0x01u);
  EXPECT_EQ(s.GetFaultFlags(), 0x04u);
  EXPECT_EQ(s.GetFire2Level() + s.GetFire1Level() + s.GetPreAlarmLevel() + s.GetAuxLevel() +
                s.GetDetectorLevel(),
            0);
  EXPECT_FALSE(list.GetState(299).HasValues());
  EXPECT_EQ(observer.updates, std::vector<int>{300});
}

TEST_F(StatusMonitor, FailureMarkFromTheMainWindowIsStored) {
  Despatch(Answer(9, "000002"));
  host.app->SetRxFail(9);
  EXPECT_EQ(list.GetState(9).GetAlarmFaultStatus(), 0x01u);
  EXPECT_EQ(list.GetState(9).GetFaultFlags(), 0x00u);
  EXPECT_EQ(observer.updates, (std::vector<int>{9, 9}));
}

TEST_F(StatusMonitor, DemonstrationLoopAnswersReachTheList) {
  char poll[FRAMEBUFFER] = {'?', static_cast<char>(0x85), '\r', '\0'};
  host.app->SendBusMessage(0, poll, 3);
  EXPECT_TRUE(list.GetState(5).HasValues());
  EXPECT_EQ(list.GetState(5).GetAlarmFaultStatus(), 0u);
  EXPECT_LE(list.GetState(5).GetBargraphLevel(), 3);
}

TEST_F(StatusMonitor, LevelAnswersRaiseThresholdsAndFollowTheDetectorLevel) {
  list.SetState(5, DeviceStatus(0x04, 0, 9, 12, 10, 8, 6, 9));
  // Field 10, then Fire 2, Fire 1, Pre-alarm, Aux and detector level.
  Despatch(LevelFrame(5,
                      "00a"
                      "0a0b0c0d07"));
  DeviceStatus s = list.GetState(5);
  EXPECT_EQ(s.GetFire2Level(), 12);  // 10 is lower: kept
  EXPECT_EQ(s.GetFire1Level(), 11);
  EXPECT_EQ(s.GetPreAlarmLevel(), 12);
  EXPECT_EQ(s.GetAuxLevel(), 13);
  EXPECT_EQ(s.GetDetectorLevel(), 7);  // follows downwards too
  EXPECT_EQ(s.GetAlarmFaultStatus(), 0x04u);
  EXPECT_EQ(s.GetBargraphLevel(), 9);
  EXPECT_EQ(observer.updates, std::vector<int>{5});

  // Nothing new: nobody is told.
  Despatch(LevelFrame(5,
                      "00a"
                      "0a0b0c0d07"));
  EXPECT_EQ(observer.updates, std::vector<int>{5});

  // A device the list does not hold yet gets a record with zero status.
  Despatch(LevelFrame(3,
                      "0ff"
                      "1412100e09"),
           1);
  s = list.GetState(259);
  EXPECT_TRUE(s.HasValues());
  EXPECT_EQ(s.GetAlarmFaultStatus(), 0u);
  EXPECT_EQ(s.GetFire2Level(), 0x14);
  EXPECT_EQ(s.GetDetectorLevel(), 9);
  EXPECT_EQ(observer.updates, (std::vector<int>{5, 259}));
}

TEST_F(StatusMonitor, OwnRequestsOtherKindsAndTruncatedFramesChangeNothing) {
  const std::vector<std::string> ignored = {
      LevelFrame(5, "000"),  // our own request, heard on the bus
      LevelFrame(5,
                 "009"
                 "0a0b0c0d07"),  // field below 10
      WithSum("<\x85"
              "A00a0a0b0c0d07"),  // answers come as '<': not looked at
      WithSum(">\x85"
              "B00a0a0b0c0d07"),  // another command
      LevelFrame(5,
                 "00a"
                 "0a0b"),  // levels cut short
      WithSum(">\x85"
              "A0"),  // field cut short
      WithSum("@\x85"
              "0"),  // fast-poll answer cut short
      WithSum("@\x86"
              "1502"),
  };
  for (const std::string& frame : ignored) Despatch(frame);
  // Frames with a bad check sum never arrive.
  std::string bad = Answer(5, "150000");
  bad[3] = '4';
  Despatch(bad);

  EXPECT_TRUE(observer.updates.empty());
  EXPECT_EQ(list.size(), 128u);
  EXPECT_FALSE(list.GetState(5).HasValues());
  EXPECT_FALSE(list.GetState(6).HasValues());
}

TEST(StatusMonitorLists, EnabledLoopsAndAddresses) {
  DeviceStatusList list;
  EXPECT_EQ(DeviceStatusMonitor::GetEnabledLoops(list), 1);
  list.SetState(2 * 256 + 5, DeviceStatus(0, 0, 0, 0, 0, 0, 0, 0));
  ASSERT_EQ(list.size(), 518u);
  EXPECT_EQ(DeviceStatusMonitor::GetEnabledLoops(list), 3);
  list.SetState(15 * 256 + 127, DeviceStatus(0, 0, 0, 0, 0, 0, 0, 0));
  EXPECT_EQ(DeviceStatusMonitor::GetEnabledLoops(list), 16);
  list.Resize(0);
  EXPECT_EQ(DeviceStatusMonitor::GetEnabledLoops(list), 0);
  EXPECT_FALSE(DeviceStatusMonitor::IsEnabledAddress(list, 5));
  EXPECT_EQ(DeviceStatusMonitor::GetNextEnabledDetector(list, 5), 5u);

  // An address counts when it has answered on any loop; entries that exist
  // but were never heard from do not.
  DeviceStatusList site;
  site.SetState(2 * 256 + 5, DeviceStatus(0, 0, 0, 0, 0, 0, 0, 0));
  site.SetState(120, DeviceStatus(0, 0, 0, 0, 0, 0, 0, 0));
  EXPECT_TRUE(DeviceStatusMonitor::IsEnabledAddress(site, 5));
  EXPECT_TRUE(DeviceStatusMonitor::IsEnabledAddress(site, 120));
  EXPECT_FALSE(DeviceStatusMonitor::IsEnabledAddress(site, 6));  // exists on loop 2, unheard
  EXPECT_EQ(DeviceStatusMonitor::GetNextEnabledDetector(site, 5), 120u);
  EXPECT_EQ(DeviceStatusMonitor::GetNextEnabledDetector(site, 120), 5u);  // wraps 127 -> 1
  EXPECT_EQ(DeviceStatusMonitor::GetNextEnabledDetector(site, 127), 5u);
  site.SetState(1, DeviceStatus(0, 0, 0, 0, 0, 0, 0, 0));
  EXPECT_EQ(DeviceStatusMonitor::GetNextEnabledDetector(site, 127), 1u);

  // With nothing heard the walk comes back to where it started.
  DeviceStatusList quiet;
  EXPECT_EQ(DeviceStatusMonitor::GetNextEnabledDetector(quiet, 1), 1u);
  EXPECT_EQ(DeviceStatusMonitor::GetNextEnabledDetector(quiet, 127), 127u);
}

TEST_F(StatusMonitor, LevelPollsArePacedByTrafficEveryEightSeconds) {
  // Long frames from a device drive the pacing without marking any address
  // as heard, so the same address is asked every time.
  const std::string traffic = WithSum("<\x85G00");
  Despatch(traffic);
  EXPECT_EQ(TakeSent(), std::vector<std::string>{"0:" + LevelPoll(1)});  // at once
  EXPECT_EQ(monitor->GetNextAddress(), 1u);

  host.events.Advance(7999);
  Despatch(traffic);
  EXPECT_TRUE(TakeSent().empty());
  host.events.Advance(1);
  EXPECT_TRUE(TakeSent().empty());  // nothing goes out without traffic
  host.events.Advance(5000);
  Despatch(traffic);
  EXPECT_EQ(TakeSent(), std::vector<std::string>{"0:" + LevelPoll(1)});
  // The next one is due 8 s after that frame, not after the missed slot.
  host.events.Advance(7999);
  Despatch(traffic);
  EXPECT_TRUE(TakeSent().empty());
  host.events.Advance(1);
  Despatch(traffic);
  EXPECT_EQ(TakeSent(), std::vector<std::string>{"0:" + LevelPoll(1)});
}

TEST_F(StatusMonitor, LevelPollsStepThroughHeardAddressesOnEveryLoop) {
  Despatch(Answer(9, "000000"));
  EXPECT_EQ(TakeSent(), std::vector<std::string>{"0:" + LevelPoll(1)});
  EXPECT_EQ(monitor->GetNextAddress(), 9u);
  Despatch(Answer(3, "000000"), 1);  // the list now reaches loop 1
  Despatch(Answer(120, "000000"));

  std::vector<unsigned> asked;
  for (int i = 0; i < 4; ++i) {
    host.events.Advance(DeviceStatusMonitor::LEVELPOLLINTERVAL);
    Despatch(Answer(9, "000000"));
    std::vector<std::string> frames = TakeSent();
    ASSERT_EQ(frames.size(), 2u);
    const unsigned address = static_cast<unsigned char>(frames[0][3]) & 0x7F;
    EXPECT_EQ(frames[0], "0:" + LevelPoll(static_cast<int>(address)));
    EXPECT_EQ(frames[1], "1:" + LevelPoll(static_cast<int>(address)));
    asked.push_back(address);
  }
  EXPECT_EQ(asked, (std::vector<unsigned>{9, 120, 3, 9}));
}

TEST_F(StatusMonitor, NoLevelPollWhilePollingIsPaused) {
  host.app->PausePolling();
  Despatch(Answer(9, "000000"));
  host.events.Advance(20000);
  Despatch(Answer(9, "000000"));
  EXPECT_TRUE(TakeSent().empty());

  host.app->ResumePolling();
  host.events.RunPending();
  TakeSent();  // whatever the resume itself sent
  Despatch(Answer(9, "000000"));
  EXPECT_EQ(TakeSent(), std::vector<std::string>{"0:" + LevelPoll(1)});
}

class StatusMonitorAtWrap : public StatusMonitor {
 protected:
  StatusMonitorAtWrap() : StatusMonitor(0xFFFFFFFFu - 3000, 1) {}
};

TEST_F(StatusMonitorAtWrap, PacingHoldsAcrossTheTickWrap) {
  const std::string traffic = WithSum("<\x85G00");
  Despatch(traffic);
  EXPECT_EQ(TakeSent().size(), 1u);
  for (int i = 0; i < 7; ++i) {  // the counter wraps after 3 s
    host.events.Advance(1000);
    Despatch(traffic);
    EXPECT_TRUE(TakeSent().empty()) << "after " << i + 1 << " s";
  }
  host.events.Advance(1000);
  Despatch(traffic);
  EXPECT_EQ(TakeSent().size(), 1u);
}

TEST(StatusMonitorLifetime, RegistersForShortAndLongFramesAndLeaves) {
  AppHost host;
  DeviceStatusList list;
  {
    DeviceStatusMonitor monitor(host.app.get(), list);
    EXPECT_EQ(host.app->RegisteredReceivers(), 1u);
  }
  EXPECT_EQ(host.app->RegisteredReceivers(), 0u);
  EXPECT_TRUE(host.prompter.prompts.empty());
}

}  // namespace
}  // namespace quillark::test
