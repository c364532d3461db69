#include "core/comms/commhndl.h"

#include <gtest/gtest.h>

#include "core/comms/demoport.h"
#include "support/busfixture.h"
#include "support/frames.h"

namespace quillark::test {
namespace {

class CountingMirror : public NetMirror {
 public:
  explicit CountingMirror(std::vector<std::pair<int, std::string>>& log) : log(log) {}
  void SendToClients(int loop, const char* data, int datalen) override {
    log.emplace_back(loop, std::string(data, static_cast<std::size_t>(datalen)));
  }
  std::vector<std::pair<int, std::string>>& log;
};

TEST(CommHandler, TooManyLoopsWarnsAndUsesSixteen) {
  BusFixture host;
  host.Set("Comm", "Loops", "20");
  host.StartComms(20);
  ASSERT_EQ(host.prompter.prompts.size(), 1u);
  EXPECT_EQ(host.prompter.prompts[0].caption, "");
  EXPECT_EQ(host.prompter.prompts[0].icon, PromptIcon::STOP);
  EXPECT_EQ(host.prompter.prompts[0].text,
            "The number of active loops required exceeds the maximum limit. Some loops will be "
            "disabled.");
  EXPECT_EQ(host.Comms().GetLoops(), 16);
  EXPECT_TRUE(host.Comms().GetCommEnableState(15));
  EXPECT_FALSE(host.Comms().GetCommEnableState(16));
  EXPECT_FALSE(host.Comms().GetCommEnableState(-1));
}

TEST(CommHandler, DefaultsToOneLoopAndGuardsDeviceNumbers) {
  BusFixture host;
  host.StartComms();
  CommHandler& comms = host.Comms();
  EXPECT_EQ(comms.GetLoops(), 1);
  EXPECT_TRUE(comms.IsDeviceWritable(5));
  EXPECT_FALSE(comms.IsDeviceWritable(256 + 5));
  EXPECT_FALSE(comms.IsDeviceWritable(-1));
  EXPECT_FALSE(comms.IsDeviceWritable(16 * 256 + 1));
  comms.SetEvent(-5, DEMO_FIRE1);
  comms.SetEvent(20 * 256, DEMO_FIRE1);
  EXPECT_TRUE(comms.AllTxEmpty());
  EXPECT_EQ(comms.GetMaxDeviceTimeout(), 3000);
  char frame[FRAMEBUFFER] = "?\x85\r";
  EXPECT_FALSE(comms.WriteComm(1, frame, 3));
  EXPECT_TRUE(comms.WriteComm(0, frame, 3));
}

TEST(CommHandler, WritesAreMirroredOnlyForEnabledLoops) {
  BusFixture host;
  std::vector<std::pair<int, std::string>> mirrored;
  host.bus.SetNetMirrorFactory(
      [&](int, INI&) { return std::make_unique<CountingMirror>(mirrored); });
  host.Set("Comm", "Loops", "2");
  host.StartComms(2);
  char frame[FRAMEBUFFER] = "?\x85\r";
  host.Comms().WriteComm(1, frame, 3);
  host.Comms().WriteComm(5, frame, 3);
  ASSERT_EQ(mirrored.size(), 1u);
  EXPECT_EQ(mirrored[0].first, 1);
  EXPECT_EQ(mirrored[0].second, "?\x85\r");
}

TEST(CommStatusDisplay, OneEventPerChangeAtMostOneUpdateASecond) {
  BusFixture host;
  host.StartComms();
  CommHandler& comms = host.Comms();
  host.events.Advance(1001);

  comms.SetCommStatus(true, 2);
  ASSERT_EQ(host.status.shown.size(), 1u);
  EXPECT_EQ(host.status.shown[0].text, "No Communications loop 3");
  EXPECT_EQ(host.status.shown[0].bg, RGB_LIGHTYELLOW);
  EXPECT_EQ(host.status.beeps, 1);
  EXPECT_EQ(host.status.flashes, (std::vector<bool>{true}));

  // Within the second: nothing changes, even when the failure clears.
  host.events.Advance(500);
  comms.SetCommStatus(true, 2);
  comms.SetCommStatus(false, 0);
  EXPECT_EQ(host.status.shown.size(), 1u);

  // Still failing after the second: shown again, but no second event.
  host.events.Advance(501);
  comms.SetCommStatus(true, 2);
  EXPECT_EQ(host.status.shown.size(), 2u);

  host.events.Advance(1001);
  comms.SetCommStatus(false, 0);
  ASSERT_EQ(host.status.shown.size(), 3u);
  EXPECT_EQ(host.status.shown[2].text, "Communications OK");
  EXPECT_EQ(host.status.shown[2].bg, RGB_LIGHTGREEN);
  host.events.Advance(1001);
  comms.SetCommStatus(false, 0);

  ASSERT_EQ(host.writer.events.size(), 2u);
  EXPECT_EQ(host.writer.events[0].category, WE_FAULT);
  EXPECT_EQ(host.writer.events[0].text, "No Communications loop 3");
  EXPECT_EQ(host.writer.events[1].text, "Communications OK");
}

TEST(CommStatusDisplay, PausedPollingIsShownAndAFailureThenIsSilentButRemembered) {
  BusFixture host;
  host.StartComms();
  host.status.shown.clear();
  host.bus.PausePolling();
  ASSERT_EQ(host.status.shown.size(), 1u);
  EXPECT_EQ(host.status.shown[0].text, "Polling paused");
  EXPECT_EQ(host.status.shown[0].bg, RGB_LIGHTYELLOW);

  // Neither a failure nor a quiet loop puts "Communications OK" back while
  // nothing is polled.
  host.events.Advance(1001);
  host.Comms().SetCommStatus(true, 0);
  host.events.Advance(1001);
  host.Comms().SetCommStatus(false, 0);
  for (const auto& shown : host.status.shown) EXPECT_EQ(shown.text, "Polling paused");
  EXPECT_TRUE(host.writer.events.empty());
  EXPECT_TRUE(host.bus.lastrxfail);

  // Resumed, the next notification repaints at once, without waiting out
  // the second.
  host.bus.ResumePolling();
  host.status.shown.clear();
  host.Comms().SetCommStatus(true, 0);
  ASSERT_EQ(host.status.shown.size(), 1u);
  EXPECT_EQ(host.status.shown[0].text, "No Communications loop 1");
  EXPECT_TRUE(host.writer.events.empty());  // no new failure event
}

TEST(CommStatusDisplay, PortEventsCheckEveryLoop) {
  BusFixture host;
  host.Set("Comm", "Loops", "2");
  host.StartComms(2);
  host.events.Advance(1001);
  host.Comms().EvCommNotify(1, 0x2);
  ASSERT_EQ(host.status.shown.size(), 1u);
  EXPECT_EQ(host.status.shown[0].text, "Communications OK");  // demonstration loops never fail
  EXPECT_TRUE(host.writer.events.empty());
}

// Every answer notifies; a busy site must not queue a call per frame, nor
// make a timer per frame.
TEST(CommStatusDisplay, NotificationsWaitingOnOneLoopAreHandledOnceAndStartNoTimer) {
  BusFixture host;
  host.Set("Comm", "Loops", "2");
  host.StartComms(2);
  host.events.Advance(1001);
  const std::size_t timers = host.events.ActiveTimers();
  for (int i = 0; i < 5; ++i) host.Bus().PostCommNotify(1, 0x2);
  host.Bus().PostCommNotify(1, 0x4);
  host.Bus().PostCommNotify(0, 0x2);
  EXPECT_EQ(host.events.PendingPosts(), 2u);
  host.events.RunPending();
  EXPECT_EQ(host.events.ActiveTimers(), timers);
  EXPECT_EQ(host.status.shown.size(), 1u);
  // Once handled, the next notification queues afresh.
  host.Bus().PostCommNotify(1, 0x2);
  EXPECT_EQ(host.events.PendingPosts(), 1u);
  host.events.RunPending();
}

TEST(CommStatusDisplay, MissingAnswerIsInjectedAsCommsFailure) {
  BusFixture host;
  host.StartComms();
  RecordingReceiver rx(&host.bus), viewer(&host.bus);
  rx.Register(&rx, MSG_SHORT);
  host.bus.SetBusViewer(&viewer);
  host.bus.SetRxFail(256 * 0 + 9);
  ASSERT_EQ(rx.frames.size(), 1u);
  EXPECT_EQ(rx.frames[0], WithSum("@\x89"
                                  "010000"));
  EXPECT_TRUE(viewer.frames.empty());
  host.bus.SetBusViewer(nullptr);

  host.events.SetShuttingDown(true);
  host.bus.SetRxFail(9);
  EXPECT_EQ(rx.frames.size(), 1u);
}

TEST(CommStatusDisplay, BusResetReachesMasterAndLoopWithFlushes) {
  BusFixture host;
  host.StartComms();
  RecordingReceiver rx(&host.bus);
  rx.Register(&rx, MSG_SHORT);
  host.bus.BusReset(0);
  // The reset is the command module's poll: the demonstration loop answers it.
  ASSERT_EQ(rx.frames.size(), 1u);
  EXPECT_EQ(rx.frames[0].substr(0, 2), "@\x80");
}

}  // namespace
}  // namespace quillark::test
