// The simulated loops: what goes on the line and when, what each device keeps
// and answers, and the console and scenario words, all on the virtual clock.
#include "loopsim.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "core/comms/message.h"
#include "core/site/config.h"
#include "support/frames.h"
#include "support/virtualeventloop.h"

namespace quillark::test {
namespace {

using loopsim::LoopSimulator;
using loopsim::SimDevice;

std::string Addr(int a) {
  return std::string(1, static_cast<char>(a | 0x80));
}

// A command frame as the bus master sends it: check sum and CR.
std::string Command(char kind, int address, const std::string& body) {
  return WithSum(std::string(1, kind) + Addr(address) + body) + "\r";
}

std::string Poll(int address) {
  return "?" + Addr(address) + "\r";
}

bool SumIsRight(const std::string& frame) {
  return frame.size() >= 4 && WithSum(frame.substr(0, frame.size() - 2)) == frame;
}

class LoopSim : public ::testing::Test {
 protected:
  explicit LoopSim(int baud = 9600) : sim(events, 2, baud) {
    sim.AddDetectors(12);
    sim.SetWriter([this](int loop, std::string_view bytes) {
      out[static_cast<std::size_t>(loop)] += bytes;
      // Every byte must have had its ten bit times on the line.
      sent += bytes.size();
      arrivals.emplace_back(events.Elapsed(), sent);
    });
  }
  // Everything heard on `loop` since the last call, cut into frames at CR.
  std::vector<std::string> Heard(int loop = 0) {
    std::vector<std::string> frames;
    std::string& o = out[static_cast<std::size_t>(loop)];
    for (auto cr = o.find('\r'); cr != std::string::npos; cr = o.find('\r')) {
      frames.push_back(o.substr(0, cr));
      o.erase(0, cr + 1);
    }
    return frames;
  }
  // The answer to one request on loop 1 once the line has carried it.
  std::string Ask(const std::string& request, int loop = 0, std::uint64_t ms = 2000) {
    Heard(loop);
    sim.Receive(loop, request);
    events.Advance(ms);
    auto frames = Heard(loop);
    return frames.size() >= 2 ? frames[1] : std::string{};
  }
  std::string Say(const std::string& line) { return sim.Command(line); }

  VirtualEventLoop events;
  LoopSimulator sim;
  std::string out[16];
  std::size_t sent = 0;
  std::vector<std::pair<std::uint64_t, std::size_t>> arrivals;
};

// The line.

TEST_F(LoopSim, APollIsHeardBackThenAnsweredByteByByteAtNineThousandSixHundredBaud) {
  sim.Receive(0, Poll(5));
  // Echo (3 bytes) and answer (11) are 140 bits: 14.6 ms on the line.
  events.Advance(14);
  EXPECT_LT(out[0].size(), 14u);
  EXPECT_GT(out[0].size(), 10u);
  events.Advance(2);
  const auto frames = Heard();
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0], "?" + Addr(5));
  EXPECT_EQ(frames[1].substr(0, 6), "@" + Addr(5) + "0000");
  EXPECT_TRUE(SumIsRight(frames[1])) << frames[1];
  for (const auto& [ms, bytes] : arrivals) EXPECT_LE(bytes, ms * 9600 / 10000) << ms;
}

class SlowLine : public LoopSim {
 protected:
  SlowLine() : LoopSim(1200) {}
};

TEST_F(SlowLine, TheSameExchangeTakesEightTimesLongerAtTwelveHundredBaud) {
  sim.Receive(0, Poll(5));
  events.Advance(110);
  EXPECT_LT(out[0].size(), 14u);
  events.Advance(10);
  EXPECT_EQ(Heard().size(), 2u);
}

TEST_F(LoopSim, RequestsOnOneLoopAreQueuedBehindEachOtherAndOtherLoopsRunAlongside) {
  sim.Receive(0, Poll(1) + Poll(2));
  sim.Receive(1, Poll(3));
  events.Advance(16);
  // Loop 1 has carried its first exchange only; loop 2 its whole one.
  EXPECT_EQ(Heard(0).size(), 2u);
  EXPECT_EQ(Heard(1).size(), 2u);
  events.Advance(16);
  EXPECT_EQ(Heard(0).size(), 2u);
}

TEST_F(LoopSim, RemovedDevicesAndBrokenLinesFallSilentAndComeBack) {
  EXPECT_EQ(Say("remove 1-005"), "ok remove 1-005");
  EXPECT_EQ(Ask(Poll(5)), "");
  EXPECT_EQ(sim.Counts(0).answers, 0u);
  EXPECT_EQ(Say("restore"), "ok restore all");
  EXPECT_NE(Ask(Poll(5)), "");

  EXPECT_EQ(Say("break 1"), "ok break 1");
  sim.Receive(0, Poll(5));
  events.Advance(100);
  EXPECT_TRUE(out[0].empty());  // not even the echo
  Say("mend 1");
  EXPECT_NE(Ask(Poll(5)), "");
  // An address nobody has is never answered.
  EXPECT_EQ(Ask(Poll(40)), "");
}

TEST_F(LoopSim, ASlowLoopStartsEachAnswerLate) {
  Say("slow 1 200");
  sim.Receive(0, Poll(5));
  events.Advance(150);
  EXPECT_EQ(Heard().size(), 1u);  // the echo only
  events.Advance(70);
  EXPECT_EQ(Heard().size(), 1u);
}

TEST_F(LoopSim, NoiseGarblesItsShareOfFramesAndNoMore) {
  Say("noise 2 100");
  for (int i = 0; i < 20; ++i) sim.Receive(1, Poll(5));
  for (int i = 0; i < 20; ++i) sim.Receive(0, Poll(5));
  events.Advance(2000);
  EXPECT_EQ(sim.Counts(1).garbled, 40u);  // echo and answer of every poll
  EXPECT_EQ(sim.Counts(0).garbled, 0u);
  int good = 0;
  for (const auto& f : Heard(0)) good += f[0] == '@' && SumIsRight(f);
  EXPECT_EQ(good, 20);
  Say("noise 2 0");
  sim.Receive(1, Poll(5));
  events.Advance(100);
  EXPECT_EQ(sim.Counts(1).garbled, 40u);
}

TEST_F(LoopSim, DamagedAndOverlongFramesAreNeverActedOn) {
  std::string isolate = Command('>', 3, "I0011");
  isolate[isolate.size() - 2] ^= 1;  // the check sum no longer fits
  EXPECT_EQ(Ask(isolate), "");
  EXPECT_EQ(Ask(Command('>', 3, "I00A1")), "");  // uppercase is not hex
  EXPECT_EQ(Ask("?" + Addr(3) + "x\r"), "");
  EXPECT_EQ(Ask(std::string(1, '?') + "\x03\r"), "");  // no address bit
  sim.Receive(0, std::string(5000, '?'));
  sim.Receive(0, "\r");
  EXPECT_EQ(sim.Device(0, 3)->faults, 0u);
  EXPECT_NE(Ask(Poll(3)), "");
}

// The devices.

TEST_F(LoopSim, FunctionsKeepWhatWasWrittenAndReadBackInTheProgramsFormat) {
  const std::string before = Ask(Command('>', 5, "G00401b5"));
  ASSERT_TRUE(SumIsRight(before));
  EXPECT_EQ(before.substr(0, 6), "<" + Addr(5) + "G16a");
  EXPECT_EQ(before.size(), 6u + 362 + 2);
  EXPECT_EQ(before.substr(6 + 44 * 2, 4), "0616");  // model 6, firmware 0x16

  // Function 11 to 3, function 45 (the model) to 1, function 200 (no such).
  EXPECT_EQ(Ask(Command('>', 5, "P00c0b032d01c805")), WithSum("<" + Addr(5) + "P000"));
  const std::string after = Ask(Command('>', 5, "G00401b5"));
  EXPECT_EQ(after.substr(6 + 10 * 2, 2), "03");
  EXPECT_EQ(after.substr(6 + 44 * 2, 2), "06");
  EXPECT_EQ(Ask(Command('>', 5, "G0040b01")), WithSum("<" + Addr(5) + "G00203"));
  // Another device keeps its own.
  EXPECT_NE(Ask(Command('>', 6, "G0040b01")), WithSum("<" + Addr(6) + "G00203"));

  // A write whose length does not match, and reads past the table, change
  // and answer nothing.
  EXPECT_EQ(Ask(Command('>', 5, "P0080b04")), "");
  EXPECT_EQ(Ask(Command('>', 5, "G004b502")), "");
  EXPECT_EQ(Ask(Command('>', 5, "G00400b5")), "");
  EXPECT_EQ(sim.Device(0, 5)->Function(11), 3);

  // Save All: every detector takes it, and none answers.
  EXPECT_EQ(Ask(Command('>', 0, "P0040c07")), "");
  for (int a = 1; a <= 12; ++a) EXPECT_EQ(sim.Device(0, a)->Function(12), 7) << a;
}

TEST_F(LoopSim, TheEventLogRecordsEachChangeAndAnswersInTheDevicesShortForm) {
  Say("fire1 1-007");
  Ask(Command('>', 7, "I0011"));
  Ask(Command('>', 7, "P0040b09"));
  const std::string log = Ask(Command('>', 7, "E000"));
  ASSERT_TRUE(SumIsRight(log));
  // Header, then three records of 20: date, device 07, code, three data bytes.
  EXPECT_EQ(log.substr(0, 6), "<" + Addr(7) + "E046");
  ASSERT_EQ(log.size(), 6u + 10 + 60 + 2);
  EXPECT_EQ(log.substr(6 + 10 + 10, 4), "0770");         // fire 1 (112)
  EXPECT_EQ(log.substr(6 + 30 + 10, 4), "0741");         // isolate (65)
  EXPECT_EQ(log.substr(6 + 50 + 10, 10), "07810b090a");  // fn 11 to 9 from 10
  // The date is the device's clock: 14 November 2023, 22:13 (UTC).
  EXPECT_EQ(log.substr(6, 10), "0eb7e7160d");

  // The log holds what one answer can carry, the newest kept.
  for (int i = 0; i < 150; ++i) {
    Say("fire2 1-007");
    sim.Receive(0, Command('>', 7, "R000"));
  }
  events.Advance(5000);
  EXPECT_EQ(sim.Device(0, 7)->log.size(), SimDevice::LOGRECORDS);
  // Four thousand characters take four seconds at 9600 baud.
  const std::string full = Ask(Command('>', 7, "E000"), 0, 5000);
  EXPECT_EQ(full.substr(3, 3), "faa");  // 10 + 200 x 20
  EXPECT_TRUE(SumIsRight(full));
}

TEST_F(LoopSim, ASelfTestRunsThroughItsStagesAndEndsOk) {
  auto code = [&] { return Ask(Command('>', 4, "Q000")).substr(10, 2); };
  EXPECT_EQ(code(), "ff");  // untested
  // Started and asked at once: the first stage.
  sim.Receive(0, Command('>', 4, "D000") + Command('>', 4, "Q000"));
  events.Advance(2000);
  const auto frames = Heard();
  ASSERT_EQ(frames.size(), 4u);
  EXPECT_EQ(frames[1], WithSum("<" + Addr(4) + "D000"));
  std::vector<std::string> stages{frames[3].substr(10, 2)};
  // Each further question lets one stage's time (2 s) go by.
  static_assert(SimDevice::TESTSTAGEMS == 2000);
  for (int i = 0; i < 9; ++i) stages.push_back(code());
  EXPECT_EQ(stages,
            (std::vector<std::string>{"81", "82", "83", "84", "85", "88", "89", "8a", "00", "00"}));
  const std::string q = Ask(Command('>', 4, "Q000"));
  EXPECT_EQ(q.substr(0, 10), "<" + Addr(4) + "Q01a0616");
  EXPECT_EQ(q.substr(12, 16), "SIM 01-004      ");
  EXPECT_TRUE(SumIsRight(q));
}

TEST_F(LoopSim, TheChartLogSamplesTheLevelAtItsRecordingRate) {
  events.Advance(100000);  // ten samples at 10 s, quiet
  Say("fire2 1-002");
  events.Advance(30000);  // three in fire 2
  const std::string c = Ask(Command('>', 2, "C000"));
  ASSERT_TRUE(SumIsRight(c));
  EXPECT_EQ(c.substr(3, 3), "048");  // 20 + 4 x 13
  EXPECT_EQ(c.substr(6, 8), "0100000a");
  EXPECT_EQ(c.substr(26, 4), "0808");           // first: quiet
  EXPECT_EQ(c.substr(26 + 12 * 4, 4), "a8a8");  // last: fire 2
  // Recording off: nothing more is sampled.
  Ask(Command('>', 2, "P0042f00"));
  events.Advance(100000);
  EXPECT_EQ(Ask(Command('>', 2, "C000")).substr(3, 3), "048");
}

TEST_F(LoopSim, IsolateResetAndRelaysChangeTheStateThePollsReport) {
  EXPECT_EQ(Ask(Command('>', 3, "I0011")), WithSum("<" + Addr(3) + "I0011"));
  EXPECT_EQ(Ask(Poll(3)).substr(2, 4), "0120");
  Say("fire1 1-003");
  Say("fault 1-003 04");
  EXPECT_EQ(Ask(Poll(3)).substr(2, 4), "0f24");
  // The command module reports the whole loop.
  EXPECT_EQ(Ask(Poll(0)).substr(2, 4), "0f24");
  // A reset clears the alarm and the isolation; the fault still there stays.
  Ask(Command('>', 3, "R000"));
  EXPECT_EQ(Ask(Poll(3)).substr(2, 4), "0104");
  Say("fault 1-003 0");
  EXPECT_EQ(Ask(Poll(3)).substr(2, 4), "0000");
  // A global reset reaches every detector and is answered by none.
  Say("fire2 1-001");
  Say("fire2 1-012");
  EXPECT_EQ(Ask(Command('>', 0, "R000")), "");
  EXPECT_EQ(sim.Device(0, 1)->status | sim.Device(0, 12)->status, 0u);

  EXPECT_EQ(Ask(Command('>', 9, "L00205")), WithSum("<" + Addr(9) + "L00205"));
  EXPECT_EQ(sim.Device(0, 9)->relays, 5u);
  // A removed device makes the loop's summary a fault.
  Say("remove 1-009");
  EXPECT_EQ(Ask(Poll(0)).substr(2, 2), "01");
}

// Console, scenario and site.

TEST_F(LoopSim, ConsoleWordsRefuseWhatTheyCannotDo) {
  for (const char* bad : {"fire1", "fire1 1-", "fire1 9-001", "fire1 1-300", "fire1 x",
                          "fault 1-001", "fault 1-001 1ff", "noise 1 101", "noise 0 5", "slow 1 -4",
                          "break", "storm now", "frobnicate", "remove", "show 1-099"})
    EXPECT_EQ(Say(bad).rfind("error: ", 0), 0u) << bad;
  EXPECT_EQ(Say(""), "");
  EXPECT_EQ(Say("noise 1 5%"), "ok noise 1 5");
  EXPECT_EQ(Say("storm"), "ok storm 24 detectors");
  EXPECT_EQ(Say("show 2-012").substr(0, 33), "2-012 status 0x1e faults 0x00 mod");
}

TEST_F(LoopSim, AScenarioReplaysItsStepsAtTheirTimes) {
  std::vector<std::string> ran;
  sim.onstep = [&](const std::string& s) { ran.push_back(s); };
  EXPECT_EQ(sim.LoadScenario("# training: one fire\n"
                             "at 2.5 remove 1-004\n"
                             "\n"
                             "at 1 fire1 1-003   # the first\n"
                             "at 4 time\n"),
            "");
  sim.StartScenario();
  events.Advance(999);
  EXPECT_EQ(sim.Device(0, 3)->status, 0u);
  events.Advance(1);
  EXPECT_EQ(sim.Device(0, 3)->status, 0x0eu);
  events.Advance(1500);
  EXPECT_TRUE(sim.Device(0, 4)->removed);
  events.Advance(2000);
  ASSERT_EQ(ran.size(), 3u);
  EXPECT_EQ(ran[0], "at 1.000: fire1 1-003: ok fire1 1-003");
  EXPECT_EQ(ran[2], "at 4.000: time: time 4.000");

  // A bad line is reported with its number and nothing of it is kept.
  EXPECT_EQ(sim.LoadScenario("at 1 fire1 1-001\nfire2 1-002\n"),
            "error: scenario line 2: expected: at SECONDS WORD ...");
  EXPECT_EQ(sim.LoadScenario("at -1 storm\n"), "error: scenario line 1: bad time -1");
  EXPECT_EQ(sim.LoadScenario("at nan storm\n"), "error: scenario line 1: bad time nan");
}

TEST(LoopSimSite, EveryBusDeviceOfTheSiteAnswersInItsSlot) {
  VirtualEventLoop events;
  std::istringstream text(
      "5\n0\n"
      "1,0,8,4294967295,-1,CM,,(0,0),(0,0),(0,0),0,(0,0),0,,,,,,,,,,,,,,,,,0,0,(50,0-0,0),"
      "(50,0-0,0),(0,0-0,0)\n"
      "258,1,7,257,0,PSU,,(0,0),(0,0),(0,0),0,(0,0),0,,,,,,,,,,,,,,,,,0,0,(50,0-0,0),"
      "(50,0-0,0),(0,0-0,0)\n"
      "261,2,11,257,0,Det,,(0,0),(0,0),(0,0),0,(0,0),0,,,,,,,,,,,,,,,,,0,0,(50,0-0,0),"
      "(50,0-0,0),(0,0-0,0)\n"
      "3,-1,0,1,0,,zone.bmp,(0,0),(0,0),(0,0),0,(0,0),0,,,,,,,,,,,,,,,,,0,0,(50,0-0,0),"
      "(50,0-0,0),(0,0-0,0)\n"
      "1029,2,6,1,0,Beyond,,(0,0),(0,0),(0,0),0,(0,0),0,,,,,,,,,,,,,,,,,0,0,(50,0-0,0),"
      "(50,0-0,0),(0,0-0,0)\n");
  TSiteConfig site;
  ASSERT_TRUE(site.Load(text)) << site.GetLoadError();
  LoopSimulator sim(events, 2);
  // The command module of loop 2 is the site's default one.
  EXPECT_EQ(sim.AddSite(site), 4);
  EXPECT_NE(sim.Device(1, 0), nullptr);
  ASSERT_NE(sim.Device(0, 0), nullptr);
  EXPECT_EQ(sim.Device(0, 0)->model, PELORIN2000BUSMASTER);
  ASSERT_NE(sim.Device(1, 129), nullptr);  // power supply 2
  EXPECT_EQ(sim.Device(1, 129)->model, PELORIN2000POWERSUPPLY);
  ASSERT_NE(sim.Device(1, 5), nullptr);
  EXPECT_EQ(sim.Device(1, 5)->model, PELORINLUMO);
  EXPECT_EQ(sim.Device(0, 3), nullptr);  // a zone is not on the bus

  // The power supply answers its own kinds of frame.
  std::string heard;
  sim.SetWriter([&](int, std::string_view b) { heard += b; });
  sim.Receive(1, "&" + Addr(2) + "\r");
  sim.Receive(1, Command('#', 2, "E000"));
  events.Advance(1000);
  EXPECT_NE(heard.find("*" + Addr(2)), std::string::npos);
  EXPECT_NE(heard.find("+" + Addr(2) + "E00a"), std::string::npos);
}

}  // namespace
}  // namespace quillark::test
