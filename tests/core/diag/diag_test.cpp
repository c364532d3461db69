// The diagnostics list and the three device tests over demonstration loops
// on the virtual clock: what they ask, what they take and what they say.
#include "core/diag/diag.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/diag/devicetests.h"
#include "support/busfixture.h"
#include "support/frames.h"

namespace quillark::test {
namespace {

class DiagTest : public ::testing::Test {
 protected:
  DiagTest() : wire(&host.bus) {}
  void Start(int loops) {
    host.Set("Comm", "Loops", std::to_string(loops));
    host.StartComms(loops);
    host.bus.SetBusViewer(&wire);
  }
  // Requests sent: kind, address and what follows, without the check sum.
  std::vector<std::string> Sent(char letter) const {
    std::vector<std::string> out;
    for (const std::string& f : wire.frames)
      if ((f[0] == '>' || f[0] == ':') && f.size() > 2 && f[2] == letter) out.push_back(f);
    return out;
  }
  // A frame heard on `loop`, as a port would deliver it.
  void Hear(int loop, const std::string& body) {
    const std::string f = WithSum(body);
    host.bus.DespatchRxMessage(loop, f.c_str(), static_cast<int>(f.size()), true);
  }
  static std::string QueryAnswer(int address, int status,
                                 const std::string& text = "Unit text 16 chr") {
    char head[13];
    std::snprintf(head, sizeof head, "<%cQ01a0616%02x", static_cast<char>(address | 0x80), status);
    return std::string(head, 12) + text + "0001";
  }
  BusFixture host;
  RecordingReceiver wire;
};

TEST_F(DiagTest, StatusTextsCoverTheCodeTableAndAreCutTo16) {
  Translator& t = host.translator;
  EXPECT_EQ(DiagStatusText(t, 0), "Ok              ");
  EXPECT_EQ(DiagStatusText(t, 3), "I/O Port fail   ");
  EXPECT_EQ(DiagStatusText(t, 131), "I/O Port        ");
  EXPECT_EQ(DiagStatusText(t, 255), "Untested        ");
  EXPECT_EQ(DiagStatusText(t, 77), "Internal error  ");
  EXPECT_EQ(DiagStatusText(t, 139), "Internal error  ");
  // " fail" does not fit behind the longest name.
  EXPECT_EQ(DiagStatusText(t, 5), "Aspirator & flow");
  EXPECT_EQ(DiagStatusText(t, 0x85), "Aspirator & flow");
  // Codes without a text of their own still fill the field.
  EXPECT_EQ(DiagStatusText(t, 6).size(), 16u);
}

TEST_F(DiagTest, DeviceNamesAndRowsReadBothWays) {
  EXPECT_EQ(DiagDeviceName(0x0105), "2-005");
  EXPECT_EQ(DiagParseDevice("2-005\tPelorin"), 0x0105);
  EXPECT_EQ(DiagParseDevice("16-127"), 15 * 256 + 127);
  EXPECT_EQ(DiagParseDevice("-005"), -1);
  EXPECT_EQ(DiagParseDevice("17-001"), -1);
  EXPECT_EQ(DiagParseDevice("x-001"), -1);
  EXPECT_EQ(DiagParseDevice("2-"), -1);
}

TEST_F(DiagTest, ScanOfTwoDemoLoopsListsEveryDetectorWithPausedPolling) {
  Start(2);
  Diag diag(&host.bus, 2);
  int result = -1;
  bool pausedduring = false;
  diag.ScanLoops([&](int r) { result = r; });
  pausedduring = host.bus.IsPollPaused();
  host.events.RunUntil([&] { return result >= 0; });
  EXPECT_TRUE(pausedduring);
  EXPECT_FALSE(host.bus.IsPollPaused());
  EXPECT_EQ(result, Scanner::SCAN_COMPLETE);
  ASSERT_EQ(diag.Rows().size(), 254u);
  // Every position asked with the query, on both loops.
  EXPECT_EQ(Sent('Q').size(), 254u);
  // Rows come in the order asked: each position on both loops.
  EXPECT_EQ(diag.Devices()[1], 0x0101);
  const std::string& row = diag.Rows()[2 * 4 + 1];
  EXPECT_EQ(diag.Devices()[2 * 4 + 1], 0x0105);
  EXPECT_EQ(row.substr(0, 6), "2-005\t");
  EXPECT_EQ(row.substr(6, 21), "Pelorin 2000 detector");
  EXPECT_EQ(row.substr(45), "2.2\tUntested        \tPelorin-Vantor 2");
}

TEST_F(DiagTest, SecondAnswerReplacesTheRowAndAnswersOutsideAScanAreIgnored) {
  Start(1);
  Diag diag(&host.bus, 1, 5);
  bool done = false;
  diag.ScanLoops([&](int) { done = true; });
  host.events.RunUntil([&] { return done; });
  // A single device is asked alone.
  ASSERT_EQ(Sent('Q').size(), 1u);
  ASSERT_EQ(diag.Rows().size(), 1u);
  DiagIdentity id{5, 6, 23, 0, "Second answer   "};
  diag.AddItem(id);
  ASSERT_EQ(diag.Rows().size(), 1u);
  EXPECT_NE(diag.Rows()[0].find("2.3\tOk              \tSecond answer"), std::string::npos);
  Hear(0, QueryAnswer(6, 0));
  EXPECT_EQ(diag.Rows().size(), 1u);
  EXPECT_EQ(diag.ClosingEvent("ann"), "Run diagnostics on device 5 by user 'ann'");
  EXPECT_EQ(Diag(&host.bus, 1).ClosingEvent(""), "Enter diagnostics by user ''");
}

TEST_F(DiagTest, QueryAnswersOfWrongLengthOrKindAreRefused) {
  DiagIdentity id;
  EXPECT_TRUE(DiagReadIdentity(1, QueryAnswer(5, 0x85), "<", id));
  EXPECT_EQ(id.device, 0x0105);
  EXPECT_EQ(id.status, 0x85);
  EXPECT_EQ(id.version, 0x16);
  // Cut within the text: what is left ends in what would be the check sum.
  EXPECT_FALSE(DiagReadIdentity(0, QueryAnswer(5, 0).substr(0, 29), "<", id));
  EXPECT_FALSE(DiagReadIdentity(0, "+" + QueryAnswer(5, 0).substr(1), "<", id));
  EXPECT_TRUE(DiagReadIdentity(0, "+" + QueryAnswer(5, 0).substr(1), "<+", id));
  EXPECT_FALSE(DiagReadIdentity(0, "<\x85Q01a06zz00Unit text 16 chr", "<", id));
  EXPECT_FALSE(DiagReadIdentity(0, "", "<", id));
}

TEST_F(DiagTest, SaveWritesEveryRowWithCrLf) {
  Start(1);
  Diag diag(&host.bus, 1);
  diag.AddItem({1, 6, 22, 255, "Text one        "});
  diag.AddItem({2, 99, 22, 0, "Text two        "});
  const std::string path = (host.home / "diag.txt").string();
  ASSERT_TRUE(diag.Save(path));
  std::ifstream in(path, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  EXPECT_EQ(all.str(), diag.Rows()[0] + "\r\n" + diag.Rows()[1] + "\r\n");
  // An unknown type code reads as type 0.
  EXPECT_EQ(diag.Rows()[1].substr(6, 7), "Unknown");
  EXPECT_FALSE(diag.Save((host.home / "no" / "such" / "dir.txt").string()));
  EXPECT_EQ(Diag::PrintLine("1-001\tType\t2.2\tOk\tText"), "1-001    Type 2.2     Ok Text");
  // The window puts each field under its heading, whatever the lengths.
  const std::string header = "Address     Device                 Version   Status            Text";
  std::string row = "2-005\tPelorin 2000 detector";
  row.resize(Diag::TYPECOLUMNS, ' ');
  row += "12.5\tUntested\tPelorin-Vantor 2";
  EXPECT_EQ(Diag::ShownLine(row, header),
            "2-005       Pelorin 2000 detector  12.5      Untested          Pelorin-Vantor 2");
  EXPECT_EQ(
      Diag::ShownLine("1-001\tAn overlong type name that fills every column", header).substr(0, 20),
      "1-001       An overl");
}

TEST_F(DiagTest, SelfTestFollowsProgressAndIgnoresOtherLoopsAndDevices) {
  Start(2);
  Diagnose test(&host.bus, 0x0105);
  test.Start();
  EXPECT_TRUE(host.bus.IsPollPaused());
  ASSERT_EQ(Sent('D').size(), 1u);
  EXPECT_EQ(Sent('D')[0].substr(0, 6),
            ">\x85"
            "D000");
  // Address 5 on the first loop, and address 6 on the second, are others.
  Hear(0, QueryAnswer(5, 0x83));
  Hear(1, QueryAnswer(6, 0x83));
  EXPECT_EQ(test.GetGauge(), 0);
  EXPECT_TRUE(test.GetStatusText().empty());
  Hear(1, QueryAnswer(5, 0x85));
  EXPECT_EQ(test.GetGauge(), 5);
  EXPECT_EQ(test.GetStatusText(), "Aspirator & flow");
  Hear(1, "+" + QueryAnswer(5, 0x00).substr(1));
  EXPECT_TRUE(test.Finished());
  EXPECT_EQ(test.GetGauge(), 10);
  // Finished: no more polls.
  const std::size_t polls = Sent('Q').size();
  host.events.Advance(10000);
  EXPECT_EQ(Sent('Q').size(), polls);
}

TEST_F(DiagTest, DemoSelfTestAndRelaysTimeOutAndSaySo) {
  Start(1);
  Diagnose test(&host.bus, 5);
  std::vector<std::string> problems;
  test.SetOnChange([&] {
    if (!test.GetProblem().empty()) problems.push_back(test.GetProblem());
  });
  test.Start();
  host.events.Advance(Diagnose::POLLMS * (Diagnose::SILENTPOLLS - 1));
  EXPECT_TRUE(problems.empty());
  EXPECT_EQ(test.GetStatusText(), "Untested        ");
  host.events.Advance(Diagnose::POLLMS);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0],
            "The device did not start its self-test: it does not take the self-test request.");
  EXPECT_FALSE(test.Finished());
  // Polling of the progress goes on every 2500 ms.
  const std::size_t polls = Sent('Q').size();
  host.events.Advance(Diagnose::POLLMS);
  EXPECT_EQ(Sent('Q').size(), polls + 1);

  // The relays run with polling going on.
  RelayTest relays(&host.bus, 5);
  relays.Toggle(RelayTest::FIRE2);
  relays.Toggle(RelayTest::FAULT);
  ASSERT_EQ(Sent('L').size(), 2u);
  EXPECT_EQ(Sent('L')[1].substr(0, 8), ">\x85L00211");
  host.events.Advance(RelayTest::CONFIRMMS);
  EXPECT_EQ(relays.GetProblem(), "The device did not confirm the relay setting.");
  relays.Toggle(RelayTest::FIRE2);
  Hear(0, "<\x85L00201");
  EXPECT_TRUE(relays.Confirmed());
  EXPECT_TRUE(relays.GetProblem().empty());
  EXPECT_EQ(relays.GetMask(), RelayTest::FAULT);
}

TEST_F(DiagTest, RelaysAreConfirmedOnlyByTheDeviceAskedEchoingTheMaskSent) {
  Start(2);
  RelayTest relays(&host.bus, 5);
  relays.SetMask(RelayTest::FIRE1 | RelayTest::AUX);  // 0a
  // Another device, the same address on another loop, an answer of another
  // kind or command, a short answer, and the previous setting's echo.
  for (const char* other : {"<\x86L0020a", "+\x85L0020a", "<\x85Q0020a", "<\x85L000", "<\x85L0020",
                            "<\x85L00200", "<\x85L00208"})
    Hear(0, other);
  Hear(1, "<\x85L0020a");
  EXPECT_FALSE(relays.Confirmed());
  Hear(0, "<\x85L0020a");
  EXPECT_TRUE(relays.Confirmed());
  host.events.Advance(RelayTest::CONFIRMMS);
  EXPECT_TRUE(relays.GetProblem().empty());

  EXPECT_TRUE(RelayTest::IsConfirmation(WithSum("<\x85L0021f"), 0x1F));
  EXPECT_FALSE(RelayTest::IsConfirmation(WithSum("<\x85L0021f"), 0x0F));
  EXPECT_FALSE(RelayTest::IsConfirmation(WithSum("<\x85L002zz"), 0));
  EXPECT_FALSE(RelayTest::IsConfirmation("<\x85L00200", 0));  // no check sum
}

TEST_F(DiagTest, SelfTestOfASilentDeviceSaysNoAnswer) {
  // One loop only: a device on the second has nobody to answer for it.
  Start(1);
  Diagnose test(&host.bus, 0x0105);
  test.Start();
  host.events.Advance(Diagnose::POLLMS * Diagnose::SILENTPOLLS);
  EXPECT_EQ(test.GetProblem(), "No answer from the device.");
  EXPECT_FALSE(test.Finished());
}

TEST_F(DiagTest, ContinuousReadEvery1500MsBlanksUnfittedPipes) {
  Start(2);
  ContRead read(&host.bus, 0x0105);
  std::vector<std::string> shown;
  read.SetOnReading([&](const ContRead::Reading& r) {
    shown.push_back(r.Field(0) + "|" + r.Field(1) + "|" + r.Field(2) + "|" + r.Field(3) + "|" +
                    r.Field(4));
  });
  read.Start();
  EXPECT_TRUE(host.bus.IsPollPaused());
  ASSERT_GE(Sent('G').size(), 1u);
  EXPECT_EQ(Sent('G')[0].substr(0, 10), ">\x85G0043f5b");
  const std::size_t first = Sent('G').size();
  host.events.Advance(ContRead::READMS - 1);
  EXPECT_EQ(Sent('G').size(), first);
  host.events.Advance(1);
  EXPECT_EQ(Sent('G').size(), first + 1);

  // Level 0x2a, pipes 12, 100, 101 (not fitted), 7.
  std::string body = "<\x85G16a2a";
  body.resize(40, '0');
  body +=
      "0c0000"
      "640000"
      "650000"
      "07";
  shown.clear();
  Hear(1, body);
  Hear(0, body);                // another loop
  Hear(1, body.substr(0, 58));  // cut short
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], "042|012|100||007");
}

}  // namespace
}  // namespace quillark::test
