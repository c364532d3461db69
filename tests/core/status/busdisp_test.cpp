#include "core/status/busdisp.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/busfixture.h"
#include "support/frames.h"

namespace quillark::test {
namespace {

std::vector<std::string> Lines(const BusDisp& disp) {
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < disp.DiagCount(); ++i) lines.emplace_back(disp.Line(i));
  return lines;
}

std::string Frame(char start, int address, const std::string& rest) {
  return std::string(1, start) + static_cast<char>(address | 0x80) + rest;
}

TEST(BusDisp, FastPollsAreListedOnlyWhileShown) {
  BusDisp disp(nullptr);
  const std::string poll = Frame('?', 5, "\r");
  disp.AddItem(0, poll.c_str());
  disp.AddItem(0, FastPollAnswer(5, 0, 0, 3).c_str());
  EXPECT_EQ(disp.DiagCount(), 0u);
  // Hidden frames are not tested either: the rate describes what is listed.
  EXPECT_EQ(disp.GetBusOk() + disp.GetBusErr(), 0u);

  disp.FastPollChange(true);
  disp.AddItem(0, poll.c_str());
  const std::string answer = FastPollAnswer(5, 0, 0, 3);
  disp.AddItem(0, answer.c_str());
  ASSERT_EQ(disp.DiagCount(), 2u);
  EXPECT_EQ(disp.Line(0), "1-005  CM sh->DET\t00 ?05");
  // The computed check sum is the one the answer carries.
  EXPECT_EQ(disp.Line(1), "1-005  DET sh->CM\t" + answer.substr(8, 2) + " @05" + answer.substr(2));
  EXPECT_EQ(disp.GetBusOk(), 1u);

  disp.FastPollChange(false);
  disp.AddItem(0, poll.c_str());
  EXPECT_EQ(disp.DiagCount(), 2u);
}

TEST(BusDisp, EveryKindHasItsLabelAndLongFramesAlwaysShow) {
  BusDisp disp(nullptr);
  disp.FastPollChange(true);
  struct Case {
    std::string frame;
    int loop;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {Frame('?', 0, "\r"), 15, "16-000  Bus reset \t00 ?00"},
      {Frame('&', 3, "\r"), 0, "1-003  CM sh->PSU\t00 &03"},
      {WithSum(Frame('*', 2, "00")), 0, "1-002  PSU sh->CM\t"},
      {WithSum(Frame('#', 2, "R000")), 1, "2-002  CM->PSU   \t"},
      {WithSum(Frame('+', 2, "G01")), 1, "2-002  PSU->CM   \t"},
      {WithSum(Frame('/', 0, "A00")), 2, "3-000  CM->PC    \t"},
      {WithSum(Frame(':', 1, "I0011")), 2, "3-001  PC->CM    \t"},
      {WithSum(Frame('>', 127, "A000")), 3, "4-127  CM->DET   \t"},
      {WithSum(Frame('<', 9, "A0102")), 3, "4-009  DET->CM   \t"},
      {WithSum(Frame('!', 9, "zz")), 3, "4-009  Unknown   \t"},
  };
  for (const auto& c : cases) disp.AddItem(c.loop, c.frame.c_str());
  ASSERT_EQ(disp.DiagCount(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i)
    EXPECT_EQ(disp.Line(i).substr(0, cases[i].expected.size()), cases[i].expected) << i;
  // Only the frames with a check sum were tested, and all were right.
  EXPECT_EQ(disp.GetBusOk(), 8u);
  EXPECT_EQ(disp.GetBusErr(), 0u);
  // The start character and the address in hex, then the frame from its
  // command letter: "4-127  CM->DET   \t<sum> >7fA000<sum>".
  const std::string d = cases[7].frame;
  EXPECT_EQ(disp.Line(7), "4-127  CM->DET   \t" + d.substr(6, 2) + " >7f" + d.substr(2));
}

TEST(BusDisp, LongFramesGoOnOverContinuationLines) {
  BusDisp disp(nullptr);
  std::string payload;
  for (int i = 0; i < 99; ++i) payload += "0123456789abcdef"[i % 16];
  // 100 characters from the command letter on: 40 + 42 + 18.
  const std::string frame = Frame('<', 7, "G" + payload) + "\r";
  disp.AddItem(1, frame.c_str());
  const auto lines = Lines(disp);
  ASSERT_EQ(lines.size(), 3u);
  const std::string tail = frame.substr(2, 100);
  EXPECT_EQ(lines[0].substr(lines[0].find(" <07") + 4), tail.substr(0, 40));
  EXPECT_EQ(lines[1], std::string(28, ' ') + tail.substr(40, 42));
  EXPECT_EQ(lines[2], std::string(28, ' ') + tail.substr(82, 18));
  // Exactly 40 characters need no continuation.
  disp.Clear();
  disp.AddItem(0, Frame('<', 7, payload.substr(0, 40)).c_str());
  EXPECT_EQ(disp.DiagCount(), 1u);
}

TEST(BusDisp, CheckSumCountsAreHalvedAndGiveTheErrorRate) {
  BusDisp disp(nullptr);
  const std::string good = WithSum(Frame('<', 1, "A0102"));
  std::string bad = good;
  bad.back() = bad.back() == '0' ? '1' : '0';

  disp.AddItem(0, bad.c_str());
  EXPECT_EQ(disp.GetBusErrorRate(), 100u);
  for (int i = 0; i < 3; ++i) disp.AddItem(0, good.c_str());
  EXPECT_EQ(disp.GetBusErrorRate(), 25u);

  BusDisp fresh(nullptr);
  for (int i = 0; i < 200; ++i) {
    fresh.AddItem(0, good.c_str());
    ASSERT_LE(fresh.GetBusOk(), 127u);
  }
  // Halved at the 128th and the 192nd frame, then eight more.
  EXPECT_EQ(fresh.GetBusOk(), 72u);
  EXPECT_EQ(fresh.GetBusErrorRate(), 0u);
  fresh.AddItem(0, bad.c_str());
  EXPECT_EQ(fresh.GetBusErr(), 1u);
  EXPECT_EQ(fresh.GetBusErrorRate(), 1u);  // 100 / 73
}

TEST(BusDisp, CheckSumIsReadBeforeTheCarriageReturnAndBadFramesDoNotCrash) {
  BusDisp disp(nullptr);
  // A frame as sent: check sum, CR and NUL; the CR is not listed.
  std::string sent = WithSum(Frame('>', 4, "A000"));
  disp.AddItem(0, (sent + "\r").c_str());
  EXPECT_EQ(disp.GetBusOk(), 1u);
  EXPECT_EQ(disp.Line(0).find('\r'), std::string_view::npos);
  // Text after the first CR is not part of the frame.
  disp.AddItem(0, (sent + "\rjunk").c_str());
  EXPECT_EQ(disp.GetBusOk(), 2u);
  EXPECT_EQ(disp.Line(1), disp.Line(0));

  // Truncated, empty and odd frames are listed as they are and count as bad.
  for (const char* odd : {"", "<", "<\x85", "<\x85Z", "<\x85GG\r"}) disp.AddItem(0, odd);
  disp.AddItem(0, nullptr);
  EXPECT_EQ(disp.DiagCount(), 7u);
  EXPECT_EQ(disp.GetBusErr(), 5u);
  static constexpr char empty[] =
      "1-000  Unknown   \t00 \0"
      "00";
  EXPECT_EQ(disp.Line(2), std::string_view(empty, sizeof empty - 1));
}

TEST(LineStore, KeepsEveryLineAcrossBlocksAndClears) {
  LineStore store;
  const std::size_t n = 3 * LineStore::BLOCK / 20;
  for (std::size_t i = 0; i < n; ++i) store.Append("line " + std::to_string(i) + " of text");
  ASSERT_EQ(store.Size(), n);
  for (std::size_t i = 0; i < n; i += 997)
    EXPECT_EQ(store.At(i), "line " + std::to_string(i) + " of text");
  EXPECT_EQ(store.At(n - 1), "line " + std::to_string(n - 1) + " of text");
  EXPECT_TRUE(store.At(n).empty());
  // A line costs its characters and a small reference.
  EXPECT_LT(store.MemoryUse(), n * (16 + 8) + 2 * LineStore::BLOCK);
  store.Append(std::string(5000, 'x'));
  EXPECT_EQ(store.At(n).size(), LineStore::MAXLINE);
  store.Clear();
  EXPECT_EQ(store.Size(), 0u);
  store.Append("again");
  EXPECT_EQ(store.At(0), "again");
}

class BusDispApp : public ::testing::Test {
 protected:
  BusDispApp() { host.StartComms(2); }
  BusFixture host;
};

TEST_F(BusDispApp, SeesPortFramesAndSentFramesWhileOpenOnly) {
  auto disp = std::make_unique<BusDisp>(&host.bus);
  EXPECT_EQ(host.bus.GetBusViewer(), disp.get());
  disp->FastPollChange(true);

  const std::string answer = FastPollAnswer(3, 0, 0, 1);
  host.bus.DespatchRxMessage(1, answer.c_str(), 10, true);
  // Made up by the program (a device that did not answer): not shown.
  host.bus.SetRxFail(0x103);
  char cmd[FRAMEBUFFER] =
      ">\x83"
      "A000";
  host.bus.SendBusMessage(0, cmd, 6);
  char poll[FRAMEBUFFER] = "?\x83\r";
  host.bus.SendBusMessage(0, poll, 3);
  const auto lines = Lines(*disp);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].substr(0, 18), "2-003  DET sh->CM\t");
  EXPECT_EQ(lines[1].substr(0, 18), "1-003  CM->DET   \t");
  EXPECT_EQ(lines[2], "1-003  CM sh->DET\t00 ?03");
  // The demonstration loop answers the poll at once.
  EXPECT_EQ(lines[3].substr(0, 18), "1-003  DET sh->CM\t");
  EXPECT_EQ(disp->GetBusErr(), 0u);

  disp->Close();
  EXPECT_EQ(host.bus.GetBusViewer(), nullptr);
  host.bus.DespatchRxMessage(1, answer.c_str(), 10, true);
  EXPECT_EQ(disp->DiagCount(), 4u);

  // A viewer going does not unhook another that took over.
  auto second = std::make_unique<BusDisp>(&host.bus);
  disp.reset();
  EXPECT_EQ(host.bus.GetBusViewer(), second.get());
  second.reset();
  EXPECT_EQ(host.bus.GetBusViewer(), nullptr);
}

TEST_F(BusDispApp, SavesEveryLineWithCrLfAndReportsFilesItCannotWrite) {
  BusDisp disp(&host.bus);
  std::string payload(60, 'a');
  disp.AddItem(0, WithSum(Frame('<', 1, "G" + payload)).c_str());
  disp.AddItem(0, WithSum(Frame('>', 2, "A000")).c_str());
  ASSERT_EQ(disp.DiagCount(), 3u);

  const auto path = host.home / "bus.txt";
  ASSERT_TRUE(disp.Save(path));
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  std::string expected;
  for (std::size_t i = 0; i < disp.DiagCount(); ++i) expected += std::string(disp.Line(i)) + "\r\n";
  EXPECT_EQ(content.str(), expected);
  EXPECT_TRUE(host.prompter.prompts.empty());

  EXPECT_FALSE(disp.Save(host.home / "no-such-dir" / "bus.txt"));
  ASSERT_EQ(host.prompter.prompts.size(), 1u);
  EXPECT_EQ(host.prompter.prompts[0].caption, "error");
  EXPECT_EQ(host.prompter.prompts[0].text, "Cannot open file.");
  EXPECT_EQ(host.prompter.prompts[0].icon, PromptIcon::STOP);

  // A device that takes nothing: the failure shows instead of a quiet success.
  if (std::filesystem::exists("/dev/full")) {
    EXPECT_FALSE(disp.Save("/dev/full"));
    ASSERT_EQ(host.prompter.prompts.size(), 2u);
    EXPECT_EQ(host.prompter.prompts[1].text, "write error");
  }
}

}  // namespace
}  // namespace quillark::test
