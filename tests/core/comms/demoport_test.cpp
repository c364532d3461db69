#include "core/comms/demoport.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/busfixture.h"
#include "support/frames.h"

namespace quillark::test {
namespace {

class Demo : public ::testing::Test {
 protected:
  Demo() : rx(&host.bus) {
    host.StartComms();
    rx.Register(&rx, MSG_SHORT | MSG_LONG | MSG_INVALID);
  }
  DemoPort& Port(int loop = 0) { return dynamic_cast<DemoPort&>(*host.Comms().GetPort(loop)); }
  // Sends a request (check sum added unless it is a poll) and returns the answers.
  std::vector<std::string> Ask(std::string body, int loop = 0) {
    rx.frames.clear();
    char buf[FRAMEBUFFER];
    std::memcpy(buf, body.data(), body.size());
    buf[body.size()] = '\0';
    host.bus.SendBusMessage(loop, buf, static_cast<int>(body.size()));
    return rx.frames;
  }
  std::string Poll(int addr) { return Ask(std::string("?") + char(addr | 0x80) + "\r").at(0); }
  static std::string Status(const std::string& answer) { return answer.substr(2, 2); }
  static int Level(const std::string& answer) {
    return std::stoi(answer.substr(6, 2), nullptr, 16);
  }

  BusFixture host;
  RecordingReceiver rx;
};

TEST_F(Demo, QuietPollAnswerIsAnsweredBeforeWriteReturns) {
  std::string answer = Poll(5);
  ASSERT_EQ(answer.size(), 10u);  // no CR after the check sum
  EXPECT_EQ(answer.substr(0, 6),
            "@\x85"
            "0000");
  EXPECT_LE(Level(answer), 3);
  EXPECT_EQ(answer, WithSum(answer.substr(0, 8)));
  EXPECT_EQ(Message::GetMessageFlags(answer.data(), 10), MSG_SHORT);
  // A port event follows, posted for the failure watch.
  EXPECT_GE(host.events.PendingPosts(), 1u);
  host.events.RunPending();
}

TEST_F(Demo, SeededLevelsRepeat) {
  Port().SeedLevels(42);
  std::vector<int> first;
  for (int i = 0; i < 20; ++i) first.push_back(Level(Poll(5)));
  Port().SeedLevels(42);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(Level(Poll(5)), first[static_cast<std::size_t>(i)]);
  EXPECT_NE(std::count(first.begin(), first.end(), first[0]), 20);  // it does vary
}

TEST_F(Demo, AlarmEventsSetStatusLevelAndLoopSummary) {
  host.bus.SetEvent(5, DEMO_FIRE1);
  std::string answer = Poll(5);
  EXPECT_EQ(Status(answer), "0e");
  EXPECT_GE(Level(answer), 0x10);
  EXPECT_LE(Level(answer), 0x13);
  EXPECT_EQ(Status(Poll(0)), "0e");  // the command module's summary

  host.bus.SetEvent(6, DEMO_AUX);
  EXPECT_GE(Level(Poll(6)), 0x08);
  host.bus.SetEvent(7, DEMO_PREALARM);
  EXPECT_EQ(Status(Poll(7)), "06");
  host.bus.SetEvent(8, DEMO_FIRE2);
  EXPECT_EQ(Status(Poll(8)), "1e");
  EXPECT_EQ(Status(Poll(0)), "1e");

  // Address 127 is left out of the summary; events for another loop are ignored.
  host.bus.SetEvent(5, DEMO_RESET);
  host.bus.SetEvent(6, DEMO_RESET);
  host.bus.SetEvent(7, DEMO_RESET);
  host.bus.SetEvent(8, DEMO_RESET);
  host.bus.SetEvent(127, DEMO_FIRE1);
  host.bus.SetEvent(256 + 9, DEMO_FIRE1);
  EXPECT_EQ(Status(Poll(0)), "00");
  EXPECT_EQ(Status(Poll(9)), "00");
  EXPECT_EQ(Status(Poll(127)), "0e");
}

TEST_F(Demo, IsolateReleasesOnlyWhenNoOtherFaultRemains) {
  host.bus.SetEvent(5, DEMO_DETFAULT);
  Ask(">\x85I0011");
  std::string isolated = Poll(5);
  EXPECT_EQ(isolated.substr(2, 4), "0124");
  Ask(">\x85I0010");
  EXPECT_EQ(Poll(5).substr(2, 4), "0104");  // the detector fault keeps bit 0x01

  Ask(">\x86I0011");
  EXPECT_EQ(Poll(6).substr(2, 4), "0120");
  Ask(">\x86I0010");
  EXPECT_EQ(Poll(6).substr(2, 4), "0000");
}

TEST_F(Demo, GlobalResetClearsIsolationEverywhereAndAlarmsWhereNoFaultRemains) {
  Ask(">\x83I0011");
  Ask(">\x8aI0011");
  host.bus.SetEvent(10, DEMO_FIRE1);
  host.bus.SetEvent(12, DEMO_FIRE2);
  host.bus.SetEvent(11, DEMO_DETFAULT);
  host.bus.SetEvent(11, DEMO_FIRE1);
  std::vector<std::string> acks = Ask(">\x80R000");
  EXPECT_EQ(Poll(3).substr(2, 4), "0000");
  EXPECT_EQ(Poll(10).substr(2, 4), "0000");
  EXPECT_EQ(Poll(12).substr(2, 4), "0000");
  // The faulty detector keeps its fault (and what it reports with it).
  EXPECT_EQ(Poll(11).substr(2, 4), "0f04");
  EXPECT_EQ(Status(Poll(0)), "0f");
  // The reset is acknowledged with a valid long answer carrying its letter.
  ASSERT_EQ(acks.size(), 1u);
  EXPECT_EQ(acks[0].substr(0, 3), "<\x80R");
  EXPECT_EQ(Message::GetMessageFlags(acks[0].data(), static_cast<int>(acks[0].size())), MSG_LONG);
}

TEST_F(Demo, CannedAnswersByteForByte) {
  std::string e = Ask(">\x92"
                      "E000")
                      .at(0);
  ASSERT_EQ(e.size(), 78u);
  EXPECT_EQ(e.substr(26, 2), "12");
  EXPECT_EQ(e.substr(46, 2), "12");
  EXPECT_EQ(e.substr(66, 2), "12");
  EXPECT_EQ(e.substr(0, 26),
            "<\x92"
            "E0460f37d00e120f37d00e11");
  EXPECT_EQ(e.substr(28, 18), "660000000b37d00103");
  EXPECT_EQ(e, WithSum(e.substr(0, 76)));

  std::string c = Ask(">\x85"
                      "C000")
                      .at(0);
  ASSERT_EQ(c.size(), 428u);
  EXPECT_EQ(c.substr(0, 26),
            "<\x85"
            "C190010004b01206630c252c");
  EXPECT_EQ(c.substr(422, 4), "430d");

  std::string g = Ask(">\x85"
                      "G004")
                      .at(0);
  ASSERT_EQ(g.size(), 370u);
  EXPECT_EQ(g.substr(132, 32), "50656c6f72696e2d56616e746f722032");  // "Pelorin-Vantor 2"
  EXPECT_EQ(g.substr(164, 32), "483a584b3e5e4b3d5d4b3a5808140005");
  EXPECT_EQ(g.substr(196, 172), std::string(172, 'f'));
  EXPECT_EQ(Message::GetMessageFlags(g.data(), 370), MSG_LONG);

  std::string h = Ask(">\x85"
                      "H000")
                      .at(0);
  EXPECT_EQ(h.size(), 166u);
  EXPECT_EQ(Message::GetMessageFlags(h.data(), 166), MSG_LONG);

  std::string q = Ask(">\x85"
                      "Q000")
                      .at(0);
  EXPECT_EQ(q.substr(0, 32),
            "<\x85"
            "Q01a0616ffPelorin-Vantor 20001");
  EXPECT_EQ(Message::GetMessageFlags(q.data(), 34), MSG_LONG);
}

TEST_F(Demo, SilentRequestsAndKinds) {
  EXPECT_TRUE(Ask(">\x85"
                  "A000")
                  .empty());
  EXPECT_TRUE(Ask(">\x85"
                  "B000")
                  .empty());
  EXPECT_TRUE(Ask(">\x85"
                  "L002")
                  .empty());
  EXPECT_TRUE(Ask("#\x85"
                  "R000")
                  .empty());
  EXPECT_TRUE(Ask(":\x81"
                  "R000")
                  .empty());
}

TEST_F(Demo, TheCommandModuleAnswersFunctionReadsAsItselfAndKeepsWhatIsWrittenToIt) {
  const std::string g = Ask(":\x81"
                            "G00401b5")
                            .at(0);
  ASSERT_EQ(g.size(), 370u);
  EXPECT_EQ(g.substr(0, 3),
            "/\x81"
            "G");
  EXPECT_EQ(g.substr(6 + 2 * 44, 2), "08");  // a Pelorin 2000 command module
  EXPECT_EQ(Message::GetMessageFlags(g.data(), 370), MSG_LONG);
  // A detector's read still reports the detector it always did.
  const std::string d = Ask(">\x81"
                            "G00401b5")
                            .at(0);
  EXPECT_EQ(d[0], '<');
  EXPECT_EQ(d.substr(6 + 2 * 44, 2), "06");

  // Function 10 set to 0x2a on the command module, not on detector 1.
  EXPECT_TRUE(Ask(":\x81"
                  "P0040a2a")
                  .empty());
  EXPECT_EQ(Ask(":\x81"
                "G00401b5")
                .at(0)
                .substr(6 + 2 * 9, 2),
            "2a");
  EXPECT_EQ(Ask(">\x81"
                "G00401b5")
                .at(0)
                .substr(6 + 2 * 9, 2),
            d.substr(6 + 2 * 9, 2));
  // Only address 1 is the command module; other ":" requests stay silent.
  EXPECT_TRUE(Ask(":\x82"
                  "G00401b5")
                  .empty());
}

TEST_F(Demo, AnswersComeOnTheLoopAskedAndLoopNeverFails) {
  host.Set("Comm", "Loops", "3");
  host.StartComms(3);
  rx.frames.clear();
  Ask("?\x85\r", 2);
  ASSERT_EQ(rx.loops.size(), 1u);
  EXPECT_EQ(rx.loops[0], 2);
  host.events.Advance(200000);
  EXPECT_FALSE(Port(1).Notify(1, 0));
  EXPECT_EQ(host.Comms().GetMaxDeviceTimeout(), 3000);
}

}  // namespace
}  // namespace quillark::test
