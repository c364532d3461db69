#include "core/site/fnfile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/site/config.h"
#include "support/tempdir.h"

namespace quillark {
namespace {

std::string Slurp(const std::filesystem::path& p) {
  std::string text;
  ReadFnFile(p.string(), text);
  return text;
}

void Spit(const std::filesystem::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

TEST(FnFile, NewFilesAndTheLinesOfAnAnswer) {
  EXPECT_EQ(FnNewFileText(DETECTOR), "!6\"127\r\n");
  EXPECT_EQ(FnNewFileText(POWERSUPPLY), "!7\"127\r\n");
  EXPECT_EQ(FnNewFileText(BUSCONTROLLER), "!8\"127\r\n");
  EXPECT_EQ(FnFileName("/a/site.cfg", DETECTOR), "/a/site.dfs");
  EXPECT_EQ(FnFileName("/a/site.cfg", DEVICE), "");
  std::array<int, FunctionSet::READCOUNT> sevens;
  sevens.fill(7);
  const std::string lines = FnAnswerLines(5, sevens);
  std::vector<std::string> each;
  for (std::size_t pos = 0; pos < lines.size();) {
    const std::size_t eol = lines.find("\r\n", pos);
    each.push_back(lines.substr(pos, eol - pos));
    pos = eol + 2;
  }
  ASSERT_EQ(each.size(), 172u);
  EXPECT_EQ(each.front(), "000005:004:007");
  EXPECT_EQ(each.back(), "000005:181:007");
  for (const std::string& l : each) {
    const int f = std::stoi(l.substr(7, 3));
    EXPECT_FALSE((f >= 17 && f <= 21) || f == 94) << l;
  }
}

TEST(FnFile, RestoreLeavesOutEmptyTextClockAndSeparatorDate) {
  const std::string text =
      "!6\"127\r\n"
      "000005:070:000\r\n"
      "000005:071:003\r\n"
      "000005:056:012\r\n"
      "000005:015:001\r\n"
      "000005:030:255\r\n"
      "000005:181:009\r\n"
      "000005:900:001\r\n"
      "000006:010:004\r\n"
      "255:255:255\r\n";
  FunctionSet set;
  ASSERT_TRUE(FnRestoreValues(text, 5, set));
  const std::string frame = FnRestoreFrame(5, set);
  // Only function 71 (0x47) holding 3 goes out.
  EXPECT_EQ(frame, std::string(">\x85P0044703"));
  // A file cut before its end line is an error, like an unreadable one.
  EXPECT_FALSE(FnRestoreValues(text.substr(0, 40), 5, set));
  EXPECT_FALSE(FnRestoreValues("", 5, set));
  // Power supplies and command modules are restored under their own kind.
  FnRestoreValues("!7\"127\r\n000005:010:004\r\n255:255:255\r\n", 5, set);
  EXPECT_EQ(FnRestoreFrame(0x100 + 132, set), std::string("#\x85P0040a04"));
  EXPECT_EQ(FnRestoreFrame(0x100, set), std::string(":\x81P0040a04"));
  EXPECT_EQ(FnFileDevices(text), (std::vector<unsigned>{5, 6}));
}

TEST(FnFile, SetValueOverwritesOrInsertsBeforeTheEndLine) {
  std::string text = "!6\"127\r\n000005:010:004\r\n255:255:255\r\n";
  ASSERT_TRUE(FnTextSetValue(text, 5, 9, 8));
  EXPECT_EQ(text, "!6\"127\r\n000005:010:008\r\n255:255:255\r\n");
  ASSERT_TRUE(FnTextSetValue(text, 5, 10, 3));
  EXPECT_EQ(text, "!6\"127\r\n000005:010:008\r\n000005:011:003\r\n255:255:255\r\n");
  EXPECT_EQ(FnTextValue(text, 5, 10), 3);
  EXPECT_EQ(FnTextValue(text, 5, 11), -1);
  // A file without its end line gets one; LF files keep their lines.
  std::string cut = "!6\"127\n000005:010:004";
  ASSERT_TRUE(FnTextSetValue(cut, 5, 11, 1));
  EXPECT_EQ(cut, "!6\"127\n000005:010:004\r\n000005:012:001\r\n255:255:255\r\n");
  EXPECT_EQ(FnTextValue(cut, 5, 9), 4);
  std::string bad = "nothing";
  EXPECT_FALSE(FnTextSetValue(bad, 5, 9, 1));
  EXPECT_FALSE(FnTextSetValue(text, 5, 9, 256));
  EXPECT_EQ(bad, "nothing");
}

TEST(FnFile, SiteValuesGoThroughTheFileOfTheType) {
  test::TempDir dir;
  const std::filesystem::path cfg = dir / "site.cfg";
  TSiteConfig site(cfg.string(), true);
  EXPECT_EQ(site.GetFnValue(DETECTOR, 5, 9), -1);  // no file
  site.SetFnValue(DETECTOR, 5, 9, 4);              // not made when missing
  EXPECT_FALSE(std::filesystem::exists(dir / "site.dfs"));
  Spit(dir / "site.dfs", "!6\"127\r\n255:255:255\r\n");
  Spit(dir / "site.cfs", "!8\"127\r\n000001:142:016\r\n255:255:255\r\n");
  site.SetFnValue(DETECTOR, 5, 9, 4);
  EXPECT_EQ(Slurp(dir / "site.dfs"), "!6\"127\r\n000005:010:004\r\n255:255:255\r\n");
  EXPECT_EQ(site.GetFnValue(DETECTOR, 5, 9), 4);
  EXPECT_EQ(site.GetFnValue(BUSCONTROLLER, 1, 141), 16);
  EXPECT_EQ(site.GetFnValue(DEVICE, 5, 9), -1);
  EXPECT_FALSE(std::filesystem::exists(dir / "site.dfs.tmp"));
}

}  // namespace
}  // namespace quillark
