#include <gtest/gtest.h>

#include <cstring>

#include "core/comms/message.h"
#include "support/busfixture.h"
#include "support/frames.h"

namespace quillark::test {
namespace {

class FakeMaster : public BusPoller {
 public:
  explicit FakeMaster(std::vector<std::string>& log) : log(log) {}
  void PausePolling() override { log.push_back("pause"); }
  void ResumePolling() override { log.push_back("resume"); }
  void MsgRx(int, const char* msg) override { log.push_back(std::string("master:") + msg); }
  std::vector<std::string>& log;
};

// Names itself in a shared log so delivery order can be checked.
class NamedReceiver : public MsgClass {
 public:
  NamedReceiver(BusHost* app, std::string name, std::vector<std::string>& log)
      : MsgClass(app), name(std::move(name)), log(log) {}
  ~NamedReceiver() override { DeRegister(); }
  void MsgRx(int, const char* msg) override {
    log.push_back(name + ":" + msg);
    if (onrx) onrx();
  }
  std::string name;
  std::vector<std::string>& log;
  std::function<void()> onrx;
};

class Routing : public ::testing::Test {
 protected:
  void Despatch(const std::string& frame, bool fromport = true) {
    host.bus.DespatchRxMessage(0, frame.c_str(), static_cast<int>(frame.size()), fromport);
  }
  BusFixture host;
  std::vector<std::string> log;
  FakeMaster master{log};
};

TEST_F(Routing, DeliveryFollowsClassBits) {
  RecordingReceiver shortonly(&host.bus), both(&host.bus), all(&host.bus);
  shortonly.Register(&shortonly, MSG_SHORT);
  both.Register(&both, MSG_SHORT | MSG_LONG);
  all.Register(&all, MSG_SHORT | MSG_LONG | MSG_INVALID | MSG_TXEMPTY);

  std::string answer = WithSum(
      "@\x85"
      "010000");
  std::string longanswer = WithSum("<\x85G0a");
  std::string bad = answer;
  bad[9] = bad[9] == '0' ? '1' : '0';
  Despatch(answer);
  Despatch(longanswer);
  Despatch(bad);
  Despatch("?\x85");

  EXPECT_EQ(shortonly.frames, (std::vector<std::string>{answer}));
  EXPECT_EQ(both.frames, (std::vector<std::string>{answer, longanswer}));
  EXPECT_EQ(all.frames, (std::vector<std::string>{answer, longanswer, bad}));
}

TEST_F(Routing, OrderIsViewerFirstListThenMasterLast) {
  host.StartComms();
  host.bus.SetPoller(&master);
  NamedReceiver viewer(&host.bus, "viewer", log), a(&host.bus, "a", log), b(&host.bus, "b", log),
      display(&host.bus, "display", log);
  host.bus.SetBusViewer(&viewer);
  a.Register(&a, MSG_SHORT);
  b.Register(&b, MSG_SHORT);
  display.Register(&display, MSG_SHORT | MSG_FIRST);

  std::string answer = WithSum(
      "@\x85"
      "000000");
  Despatch(answer);
  EXPECT_EQ(log, (std::vector<std::string>{"viewer:" + answer, "display:" + answer, "a:" + answer,
                                           "b:" + answer, "master:" + answer}));

  // A poll reaches only the viewer (from a port) and the master; made-up
  // frames never reach the viewer.
  log.clear();
  Despatch("?\x85");
  Despatch("?\x86", false);
  EXPECT_EQ(log, (std::vector<std::string>{"viewer:?\x85", "master:?\x85", "master:?\x86"}));
  host.bus.SetBusViewer(nullptr);
}

TEST_F(Routing, DeregisteringDuringDeliveryIsSafe) {
  NamedReceiver a(&host.bus, "a", log), b(&host.bus, "b", log), c(&host.bus, "c", log);
  a.Register(&a, MSG_SHORT);
  b.Register(&b, MSG_SHORT);
  c.Register(&c, MSG_SHORT);
  // b leaves (and takes a with it) while the frame is being handed round.
  b.onrx = [&] {
    b.DeRegister();
    a.DeRegister();
  };
  std::string answer = WithSum(
      "@\x85"
      "000000");
  Despatch(answer);
  EXPECT_EQ(log, (std::vector<std::string>{"a:" + answer, "b:" + answer, "c:" + answer}));
  EXPECT_EQ(host.bus.RegisteredReceivers(), 1u);
  log.clear();
  Despatch(answer);
  EXPECT_EQ(log, (std::vector<std::string>{"c:" + answer}));

  // Deregistering something never registered changes nothing.
  RecordingReceiver stranger(&host.bus);
  stranger.DeRegister();
  host.bus.DeRegister(&stranger);
  EXPECT_EQ(host.bus.RegisteredReceivers(), 1u);
}

TEST_F(Routing, DestroyedWhileRegisteredWarnsAndLeavesNoStaleEntry) {
  struct Careless : MsgClass {
    using MsgClass::MsgClass;
    void MsgRx(int, const char*) override {}
  };
  {
    Careless careless(&host.bus);
    careless.Register(&careless, MSG_SHORT);
  }
  ASSERT_EQ(host.prompter.prompts.size(), 1u);
  EXPECT_EQ(host.prompter.prompts[0].caption, "MsgClass::~MsgClass()");
  EXPECT_EQ(host.prompter.prompts[0].text, "Derived class still registered");
  EXPECT_EQ(host.prompter.prompts[0].icon, PromptIcon::STOP);
  EXPECT_EQ(host.bus.RegisteredReceivers(), 0u);
  Despatch(
      WithSum("@\x85"
              "000000"));  // would call the destroyed object
}

TEST_F(Routing, MissingDisplayIsRebuiltBeforeMasterSeesFrame) {
  host.StartComms();
  host.bus.SetPoller(&master);
  int builds = 0;
  host.bus.SetDisplayBuilder([&] {
    log.push_back("build");
    ++builds;
  });
  Despatch(
      WithSum("@\x85"
              "000000"));
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0], "build");
  EXPECT_EQ(log[1].rfind("master:", 0), 0u);

  NamedReceiver display(&host.bus, "display", log);
  host.bus.SetMainDisplay(&display);
  Despatch(
      WithSum("@\x85"
              "000000"));
  EXPECT_EQ(builds, 1);
}

TEST_F(Routing, SendAppendsSumExceptForPollsAndShowsViewer) {
  host.StartComms();
  NamedReceiver viewer(&host.bus, "viewer", log);
  host.bus.SetBusViewer(&viewer);
  char frame[FRAMEBUFFER] =
      ">\x85"
      "A000";
  host.bus.SendBusMessage(0, frame, 6);
  EXPECT_EQ(std::string(frame), WithSum(">\x85"
                                        "A000") +
                                    "\r");
  char poll[FRAMEBUFFER] = "?\x85\r";
  host.bus.SendBusMessage(0, poll, 3);
  EXPECT_EQ(std::string(poll), "?\x85\r");
  // The viewer saw both sent frames, then the demonstration loop's answer.
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[0], "viewer:" +
                        WithSum(">\x85"
                                "A000") +
                        "\r");
  EXPECT_EQ(log[1], "viewer:?\x85\r");
  host.bus.SetBusViewer(nullptr);
}

TEST_F(Routing, TxEmptyReachesOnlyTxEmptyReceivers) {
  host.StartComms();
  RecordingReceiver wants(&host.bus), ignores(&host.bus);
  wants.Register(&wants, MSG_TXEMPTY);
  ignores.Register(&ignores, MSG_LONG);
  host.bus.TxEmpty();
  EXPECT_EQ(wants.txempty, 1);
  EXPECT_EQ(ignores.txempty, 0);
}

TEST_F(Routing, RemoteFrameGoesToItsLoopUnchanged) {
  host.Set("Comm", "Loops", "2");
  host.StartComms(2);
  RecordingReceiver rx(&host.bus);
  rx.Register(&rx, MSG_SHORT);
  std::string frame = std::string(1, '\x01') + "?\x85\r";
  host.bus.ControlRx(3, frame.data());
  ASSERT_EQ(rx.frames.size(), 1u);
  EXPECT_EQ(rx.loops[0], 1);
  EXPECT_EQ(rx.frames[0].substr(0, 2), "@\x85");
}

}  // namespace
}  // namespace quillark::test
