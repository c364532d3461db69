// Device text and logo transfer: the files they take or refuse, the frames
// they send, and their pacing on the virtual clock.
#include "core/diag/transfer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "support/busfixture.h"

namespace quillark::test {
namespace {

// A bitmap file: headers, then `databytes` of pixels 0, 1, 2, ...
std::string Bitmap(int width, int height, int bits, std::size_t databytes) {
  std::string f(14 + 40, '\0');
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) f[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  f[0] = 'B';
  f[1] = 'M';
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(width));
  put32(22, static_cast<std::uint32_t>(height));
  f[26] = 1;
  f[28] = static_cast<char>(bits);
  for (std::size_t i = 0; i < databytes; ++i) f += static_cast<char>(i & 0xFF);
  return f;
}

class TransferTest : public ::testing::Test {
 protected:
  TransferTest() : wire(&host.bus) {}
  void Start(int loops) {
    host.Set("Comm", "Loops", std::to_string(loops));
    host.StartComms(loops);
    host.bus.SetBusViewer(&wire);
  }
  // Frames sent with letter `letter`, without their check sum.
  std::vector<std::string> Sent(char letter) const {
    std::vector<std::string> out;
    for (std::string f : wire.frames) {
      while (!f.empty() && f.back() == '\r') f.pop_back();
      if (f.size() > 8 && f[2] == letter) out.push_back(f.substr(0, f.size() - 2));
    }
    return out;
  }
  BusFixture host;
  RecordingReceiver wire;
};

TEST_F(TransferTest, LanguageFilesThatCannotBeSentWholeAreRefusedWithAReason) {
  IltFile f;
  std::string why;
  EXPECT_TRUE(IltFile::Parse("1\r\n3\r\n1 A\r\n2 B\r\n3 C\r\n", f, why)) << why;
  EXPECT_EQ(f.texts.size(), 3u);
  EXPECT_EQ(f.texts[1].text, "B");
  EXPECT_FALSE(IltFile::Parse("", f, why));
  EXPECT_EQ(why, "The language file is empty.");
  EXPECT_FALSE(IltFile::Parse("1\n", f, why));
  EXPECT_EQ(why, "The language file has no last text number on line 2.");
  EXPECT_FALSE(IltFile::Parse("1\nx3\n1 A\n", f, why));
  EXPECT_NE(why.find("Line 2"), std::string::npos);
  EXPECT_FALSE(IltFile::Parse("1\n3\n1 A\n2 B\n", f, why));
  EXPECT_EQ(why, "The language file ends before text 3.");
  EXPECT_FALSE(IltFile::Parse("1\n3\n1 A\n0a1 B\n3 C\n", f, why));
  EXPECT_NE(why.find("Line 4"), std::string::npos);
  EXPECT_FALSE(IltFile::Parse("1\n3\n1 A\n300 B\n3 C\n", f, why));
  EXPECT_FALSE(IltFile::Parse("5\n3\n5 A\n", f, why));
  EXPECT_FALSE(IltFile::Parse(std::string(10 * 1024 * 1024, 'x'), f, why));
  EXPECT_NE(why.find("too large"), std::string::npos);
  // A text longer than a device line is cut, not split into a second text.
  EXPECT_TRUE(IltFile::Parse("1\n1\n1 " + std::string(40, 'w') + "\n", f, why));
  ASSERT_EQ(f.texts.size(), 1u);
  EXPECT_EQ(f.texts[0].text.size(), 29u);
  EXPECT_FALSE(IltFile::Load((host.home / "missing.ilt").string(), f, why));
}

TEST_F(TransferTest, LanguageBlockGoesTwiceToDetectorsAndToCommandModulesPacedByTxEmpty) {
  Start(2);
  IltFile f;
  std::string why;
  ASSERT_TRUE(IltFile::Parse("1\n3\n1 A\n2 B\n3 C\n", f, why));
  LanguageTransfer t(&host.bus, 2, f, true);
  std::vector<std::string> captions;
  t.SetOnChange([&] { captions.push_back(t.GetCaption()); });
  t.Start();
  const std::string data = "014100024200034300";
  EXPECT_EQ(Sent('T'), (std::vector<std::string>{">\x80T012" + data, ">\x80T012" + data}));
  // Nothing more until the transmitters are empty and 3 s have passed.
  host.events.Advance(2000);
  t.TxEmpty();
  host.events.Advance(DeviceTransfer::PAUSEMS - 1);
  EXPECT_EQ(Sent('T').size(), 2u);
  host.events.Advance(1);
  ASSERT_EQ(Sent('T').size(), 4u);
  EXPECT_EQ(Sent('T')[2], ":\x80T012" + data);
  host.events.Advance(DeviceTransfer::PAUSEMS * 3);
  ASSERT_EQ(Sent('T').size(), 8u);
  EXPECT_EQ(Sent('T')[4][0], '>');
  EXPECT_EQ(Sent('T')[6][0], ':');
  EXPECT_EQ(t.GetResult(), DeviceTransfer::DONE);
  EXPECT_EQ(captions.back(), "Sending 100%");
}

TEST_F(TransferTest, WithoutCommandModulesOnlyDetectorsGetBlocksAndBigFilesSplit) {
  Start(1);
  host.Set("Comm", "CTSflow", "0");
  std::string text = "0\n255\n";
  for (int i = 0; i <= 255; ++i)
    text += std::to_string(i) + " Text number " + std::to_string(i) + "\n";
  IltFile f;
  std::string why;
  ASSERT_TRUE(IltFile::Parse(text, f, why)) << why;
  LanguageTransfer t(&host.bus, 1, f, false);
  t.Start();
  host.events.RunUntil([&] { return t.GetResult() != DeviceTransfer::RUNNING; });
  EXPECT_EQ(t.GetResult(), DeviceTransfer::DONE);
  std::size_t hex = 0;
  for (const std::string& frame : Sent('T')) {
    EXPECT_EQ(frame[0], '>');
    const std::size_t len = std::stoul(frame.substr(3, 3), nullptr, 16);
    EXPECT_EQ(len, frame.size() - 6);
    EXPECT_LT(len, 900u + 62u);
    hex += len;
  }
  // Every block twice, and every text in one of them.
  EXPECT_EQ(Sent('T').size() % 2, 0u);
  EXPECT_GT(Sent('T').size(), 4u);
  EXPECT_EQ(Sent('T').back().substr(Sent('T').back().size() - 4), "3500");
  EXPECT_GT(hex / 2, 256u * 2 * 2);
}

TEST_F(TransferTest, CancelStopsAfterTheFrameInProgress) {
  Start(1);
  IltFile f;
  std::string why;
  ASSERT_TRUE(IltFile::Parse("1\n3\n1 A\n2 B\n3 C\n", f, why));
  LanguageTransfer t(&host.bus, 1, f, true);
  t.Start();
  t.Cancel();
  host.events.Advance(DeviceTransfer::PAUSEMS * 4);
  EXPECT_EQ(Sent('T').size(), 1u);
  EXPECT_EQ(t.GetResult(), DeviceTransfer::CANCELLED);
}

TEST_F(TransferTest, LogoFilesThatAreNotSendableBitmapsAreRefused) {
  LgoFile f;
  std::string why;
  EXPECT_TRUE(LgoFile::Parse(Bitmap(128, 64, 1, 1024), f, why)) << why;
  EXPECT_EQ(f.pixels.size(), 1024u);
  EXPECT_FALSE(LgoFile::Parse("GIF89a" + std::string(100, '\0'), f, why));
  EXPECT_EQ(why, "The logo file is not a bitmap.");
  EXPECT_FALSE(LgoFile::Parse(Bitmap(128, 64, 1, 1024).substr(0, 40), f, why));
  EXPECT_FALSE(LgoFile::Parse(Bitmap(128, 64, 1, 1000), f, why));
  EXPECT_NE(why.find("truncated"), std::string::npos);
  // Depths a byte does not split into whole pixels, and none.
  for (int bits : {0, 3, 16, 24, 32}) {
    EXPECT_FALSE(LgoFile::Parse(Bitmap(8, 8, bits, 256), f, why)) << bits;
    EXPECT_NE(why.find("depth"), std::string::npos);
  }
  EXPECT_FALSE(LgoFile::Parse(Bitmap(0, 64, 1, 0), f, why));
  EXPECT_FALSE(LgoFile::Parse(Bitmap(128, -64, 1, 1024), f, why));
  EXPECT_FALSE(LgoFile::Parse(Bitmap(0x10000, 1, 8, 4), f, why));
  EXPECT_NE(why.find("size"), std::string::npos);
  // A pixel offset beyond the file.
  std::string far = Bitmap(8, 8, 8, 64);
  far[10] = '\x7f';
  far[11] = '\x7f';
  EXPECT_FALSE(LgoFile::Parse(far, f, why));
}

TEST_F(TransferTest, LogoOf128By64GoesAsFourFullBlocksAndAHeaderOnlyOne) {
  Start(2);
  LgoFile f;
  std::string why;
  ASSERT_TRUE(LgoFile::Parse(Bitmap(128, 64, 1, 1024), f, why));
  LogoTransfer t(&host.bus, 2, f);
  EXPECT_EQ(t.GetBlocks(), 4);
  t.Start();
  ASSERT_EQ(Sent('U').size(), 2u);
  std::string first = Sent('U')[0];
  EXPECT_EQ(first.substr(0, 24),
            ":\x80U212"
            "0000"
            "0004"
            "0080"
            "0040"
            "01");
  EXPECT_EQ(first.substr(24, 6), "000102");
  EXPECT_EQ(first.size(), 6u + 18u + 512u);
  host.events.RunUntil([&] { return t.GetResult() != DeviceTransfer::RUNNING; });
  ASSERT_EQ(Sent('U').size(), 10u);
  EXPECT_EQ(Sent('U')[8],
            ":\x80U012"
            "0004"
            "0004"
            "0080"
            "0040"
            "01");
  EXPECT_EQ(t.GetCaption(), "Sending 100%");
}

TEST_F(TransferTest, LogoWhoseSizeIsNotWholeBlocksSendsItsLastBytes) {
  Start(1);
  LgoFile f;
  std::string why;
  // 40 x 50 at 4 bits: 1000 bytes, three full blocks and 232 bytes.
  ASSERT_TRUE(LgoFile::Parse(Bitmap(40, 50, 4, 1000), f, why));
  LogoTransfer t(&host.bus, 1, f);
  t.Start();
  host.events.RunUntil([&] { return t.GetResult() != DeviceTransfer::RUNNING; });
  ASSERT_EQ(Sent('U').size(), 4u);
  EXPECT_EQ(Sent('U')[3].size(), 6u + 18u + 2u * 232u);
}

}  // namespace
}  // namespace quillark::test
