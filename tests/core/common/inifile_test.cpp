#include "core/common/inifile.h"

#include <gtest/gtest.h>

#include "core/common/textutil.h"
#include "support/tempdir.h"

namespace quillark::test {
namespace {

TEST(INIfile, MissingFileReadsDefaultsAndFirstWriteCreatesIt) {
  TempDir dir;
  INIfile ini(dir / "q.ini");
  EXPECT_EQ(ini.ReadString("Comm", "Loops", " 1 "), "1");
  EXPECT_EQ(ini.ReadInt("Comm", "Loops", "7"), 7);
  EXPECT_TRUE(ini.WriteInt("Comm", "Loops", -3));
  EXPECT_EQ(dir.Read("q.ini"), "[Comm]\r\nLoops=-3\r\n");
  EXPECT_EQ(ini.ReadInt("comm", "LOOPS", "1"), -3);
}

TEST(INIfile, MatchesWithoutCaseTrimsAndKeepsOtherLines) {
  TempDir dir;
  dir.Write("q.ini",
            "; settings\n[comm]\n  Loops =  4  \nRxBuff=5000\n\n[Site]\nSite=\"a b.cfg\"\n"
            "garbage line without equals\n[Comm]\nLoops=9\n");
  INIfile ini(dir / "q.ini");
  EXPECT_EQ(ini.ReadString("COMM", "loops", ""), "4");  // the first section wins
  EXPECT_EQ(ini.ReadString("site", "site", ""), "a b.cfg");
  EXPECT_EQ(ini.ReadString("Site", "garbage line without equals", "d"), "d");

  ini.WriteString("Comm", "LOOPS", "2");
  ini.WriteString("Comm", "CommsFailTimeout", "100");
  ini.WriteString("Log", "File", "x.log");
  EXPECT_EQ(dir.Read("q.ini"),
            "; settings\r\n[comm]\r\nLOOPS=2\r\nRxBuff=5000\r\nCommsFailTimeout=100\r\n\r\n"
            "[Site]\r\nSite=\"a b.cfg\"\r\ngarbage line without equals\r\n[Comm]\r\nLoops=9\r\n"
            "[Log]\r\nFile=x.log\r\n");
}

TEST(INIfile, SeesChangesMadeByOthersAndRefusesLineBreaksInValues) {
  TempDir dir;
  INIfile a(dir / "q.ini"), b(dir / "q.ini");
  a.WriteString("S", "K", "one");
  EXPECT_EQ(b.ReadString("S", "K", ""), "one");
  b.WriteString("S", "K", "two-longer");
  EXPECT_EQ(a.ReadString("S", "K", ""), "two-longer");

  a.WriteString("S", "K", "x\r\n[Evil]\r\nK=y");
  EXPECT_EQ(a.ReadString("Evil", "K", "none"), "none");
  EXPECT_EQ(a.ReadString("S", "K", ""), "x  [Evil]  K=y");
}

TEST(INIfile, BinaryGarbageAndHugeLinesNeverCrash) {
  TempDir dir;
  std::string junk;
  for (int i = 0; i < 5000; ++i) junk += static_cast<char>((i * 7919) & 0xFF);
  junk += "\n[Comm]\nLoops=" + std::string(100000, '9') + "\n";
  dir.Write("q.ini", junk);
  INIfile ini(dir / "q.ini");
  char small[8];
  EXPECT_EQ(ini.ReadString("Comm", "Loops", "1", small, sizeof small), 7);
  EXPECT_EQ(std::string(small), "9999999");
  EXPECT_EQ(ini.ReadString("Comm", "Loops", "1", small, 0), 0);
  // At most 63 characters are converted, and the value is clamped, not overflowed.
  EXPECT_GT(ini.ReadInt("Comm", "Loops", "1"), 0);
  EXPECT_TRUE(ini.WriteString("Comm", "Loops", "2"));
  EXPECT_EQ(ini.ReadInt("Comm", "Loops", "1"), 2);
}

TEST(INIfile, UnwritablePlaceReportsFailureAndKeepsFile) {
  TempDir dir;
  INIfile ini(dir / "missing-dir" / "q.ini");
  EXPECT_FALSE(ini.WriteString("S", "K", "v"));
  EXPECT_EQ(ini.ReadString("S", "K", "d"), "d");
}

// A private settings file (it may hold the pager password) stays private
// through the atomic rewrite, whatever the umask would give a new file.
TEST(INIfile, RewriteKeepsTheFileMode) {
  TempDir dir;
  namespace fs = std::filesystem;
  for (const fs::perms mode : {fs::perms::owner_read | fs::perms::owner_write,
                               fs::perms::owner_read | fs::perms::owner_write |
                                   fs::perms::group_read | fs::perms::group_write}) {
    dir.Write("q.ini", "[Pager]\r\nPassword=x\r\n");
    fs::permissions(dir / "q.ini", mode);
    INIfile ini(dir / "q.ini");
    ASSERT_TRUE(ini.WriteString("Pager", "Password", "y"));
    EXPECT_EQ(fs::status(dir / "q.ini").permissions(), mode);
    EXPECT_EQ(dir.Read("q.ini"), "[Pager]\r\nPassword=y\r\n");
    EXPECT_FALSE(fs::exists(dir / "q.ini.tmp"));
  }
}

TEST(TextUtil, AtoLLikeTheCLibraryButSafe) {
  EXPECT_EQ(AtoL("  42abc"), 42);
  EXPECT_EQ(AtoL("-17"), -17);
  EXPECT_EQ(AtoL("+5"), 5);
  EXPECT_EQ(AtoL("x5"), 0);
  EXPECT_EQ(AtoL(""), 0);
  EXPECT_EQ(AtoL("99999999999999999999999"), LONG_MAX);
  EXPECT_EQ(AtoL("-99999999999999999999999"), LONG_MIN);
}

}  // namespace
}  // namespace quillark::test
