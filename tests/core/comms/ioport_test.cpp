#include "core/comms/ioport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>

#include "support/busfixture.h"
#include "support/frames.h"

namespace quillark::test {
namespace {

// A transport whose reads hand out queued chunks of bytes.
class ScriptedPort : public IOPort {
 public:
  using IOPort::IOPort;
  ~ScriptedPort() override = default;
  bool IsTxEmpty() override { return true; }
  int NotifyRead() override {
    if (chunks.empty()) return 0;
    std::string c = chunks.front();
    chunks.pop_front();
    std::memcpy(inbuff, c.data(), c.size());
    return static_cast<int>(c.size());
  }
  void Receive(const std::string& bytes) {
    chunks.push_back(bytes);
    Notify(Loop, 0x2);
  }
  // Feeds any amount, in reads of at most one transport buffer.
  void ReceiveAll(const std::string& bytes) {
    for (std::size_t i = 0; i < bytes.size(); i += INBUFF) Receive(bytes.substr(i, INBUFF));
  }
  int Start() const { return istart; }
  int End() const { return iend; }
  std::deque<std::string> chunks;
};

class PortFraming : public ::testing::Test {
 protected:
  PortFraming() : rx(&host.bus) { rx.Register(&rx, MSG_SHORT | MSG_LONG | MSG_INVALID); }
  // Delivered frames with the length the port gave them.
  struct LengthRecorder : MsgClass {
    using MsgClass::MsgClass;
    ~LengthRecorder() override { DeRegister(); }
    void MsgRx(int, const char* msg) override { frames.emplace_back(msg); }
    std::vector<std::string> frames;
  };
  BusFixture host;
  RecordingReceiver rx;
};

TEST_F(PortFraming, FrameSplitAcrossReadsIsDeliveredOnceWithoutCr) {
  ScriptedPort port(&host.bus, 0, host.ini);
  std::string frame = WithSum(
      "@\x85"
      "010000");
  port.Receive(frame.substr(0, 4));
  EXPECT_TRUE(rx.frames.empty());
  port.Receive(frame.substr(4) + "\r");
  ASSERT_EQ(rx.frames.size(), 1u);
  // The CR stays in the buffer after the counted characters.
  EXPECT_EQ(rx.frames[0], frame + "\r");
}

TEST_F(PortFraming, TwoFramesInOneReadInOrderAndBareCrIgnored) {
  ScriptedPort port(&host.bus, 0, host.ini);
  std::string a = WithSum(
                  "@\x85"
                  "000001"),
              b = WithSum("<\x86G0a");
  port.Receive("\r" + a + "\r" + b + "\r\r");
  ASSERT_EQ(rx.frames.size(), 2u);
  EXPECT_EQ(rx.frames[0], a + "\r");
  EXPECT_EQ(rx.frames[1], b + "\r");
}

TEST_F(PortFraming, RingUsesOneFewerPositionThanItsSizeAndWraps) {
  host.Set("Comm", "RxBuff", "20");
  ScriptedPort port(&host.bus, 0, host.ini);
  EXPECT_EQ(port.GetRxBuff(), 20);
  std::string frame = WithSum(
      "@\x85"
      "000001");  // 10 characters + CR
  for (int i = 0; i < 7; ++i) port.Receive(frame + "\r");
  EXPECT_EQ(rx.frames.size(), 7u);
  for (const auto& f : rx.frames) EXPECT_EQ(f, frame + "\r");
  // 77 bytes through a ring of 19 positions: the indices went round and stay inside.
  EXPECT_LT(port.End(), 19);
  EXPECT_EQ(port.Start(), port.End());
}

TEST_F(PortFraming, FullRingKeepsWhatItHasAndCutsOnCr) {
  host.Set("Comm", "RxBuff", "20");
  ScriptedPort port(&host.bus, 0, host.ini);
  // 30 bytes without CR into 19 positions: the ring holds 18 and then keeps
  // overwriting its last byte.
  port.Receive(std::string(30, 'x'));
  EXPECT_EQ((port.End() - port.Start() + 19) % 19, 18);
  port.Receive("\r");
  // The cut finds no CR before the ring runs empty: nothing is delivered and the
  // ring is empty again.
  EXPECT_TRUE(rx.frames.empty());
  EXPECT_EQ(port.Start(), port.End());
  std::string frame = WithSum(
      "@\x85"
      "000001");
  port.Receive(frame + "\r");
  ASSERT_EQ(rx.frames.size(), 1u);
  EXPECT_EQ(rx.frames[0], frame + "\r");
}

TEST_F(PortFraming, OverlongRunIsCutInto4104CharacterPieces) {
  ScriptedPort port(&host.bus, 0, host.ini);
  LengthRecorder lengths(&host.bus);
  lengths.Register(&lengths, MSG_LONG | MSG_INVALID);
  port.ReceiveAll(std::string(4500, 'a') + "\r");
  // The full ring (4998 bytes at most) is never reached; the CR cuts a first
  // piece of 4104 characters plus one uncounted byte, and leaves the rest.
  ASSERT_EQ(lengths.frames.size(), 1u);
  EXPECT_EQ(lengths.frames[0].size(), 4105u);
  EXPECT_EQ(lengths.frames[0], std::string(4105, 'a'));
}

TEST_F(PortFraming, BadRingSizeSettingFallsBackToDefault) {
  for (const char* bad : {"0", "1", "-5", "junk", "999999999999"}) {
    host.Set("Comm", "RxBuff", bad);
    ScriptedPort port(&host.bus, 0, host.ini);
    EXPECT_EQ(port.GetRxBuff(), 5000) << bad;
    port.Receive(WithSum("@\x85"
                         "000001") +
                 "\r");
  }
  EXPECT_EQ(rx.frames.size(), 5u);
}

TEST(PortFailureWatch, SilentJustOverTimeoutAndAnyLoopsEventReportsIt) {
  BusFixture host(0xFFFFFFFFu - 20000);  // the watch runs across the tick wrap
  ScriptedPort port0(&host.bus, 0, host.ini);
  ScriptedPort port2(&host.bus, 2, host.ini);
  EXPECT_EQ(port0.GetCommFailTimeout(), 50000u);
  host.events.Advance(50000);
  EXPECT_FALSE(port0.Notify(0, 0));
  host.events.Advance(1);
  EXPECT_TRUE(port0.Notify(0, 0));
  // An event for another loop still reports this port's state.
  EXPECT_TRUE(port0.Notify(2, 0x2));

  // Reception ends the failure, but only from the next event on.
  port0.chunks.push_back("x");
  EXPECT_TRUE(port0.Notify(0, 0x2));
  EXPECT_FALSE(port0.Notify(0, 0));

  host.events.Advance(60000);
  port2.Reset();
  EXPECT_FALSE(port2.Notify(0, 0));
  EXPECT_TRUE(port0.Notify(2, 0));
}

}  // namespace
}  // namespace quillark::test
