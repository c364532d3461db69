#include "core/app/logexport.h"

#include <gtest/gtest.h>

#include <sstream>

#include "core/common/textutil.h"
#include "support/tempdir.h"

namespace quillark::test {
namespace {

class LogExportTest : public ::testing::Test {
 protected:
  // Alarms (code 112) on 1-005 and 2-007 over three days of December 2026.
  void SetUp() override {
    std::string text = Format("%02x%01x%03x%02x%02x", 10u, 12u, 2026u, 12u, 0u);
    for (unsigned day = 8; day <= 10; ++day)
      for (const auto& [hour, address] : {std::pair{10u, 0x005u}, std::pair{11u, 0x107u}})
        text += Format("%02x%01x%03x%02x%02x%04x%04x%02x%02x%02x", day, 12u, 2026u, hour, 30u,
                       address, 112u, 0xffu, 0u, 0u);
    dir.Write("system.ev2", text);
  }
  std::string Path(const char* name) { return (dir / name).string(); }
  int Run(std::vector<std::string> args) {
    out.str({});
    err.str({});
    return RunLogExport(args, out, err);
  }
  std::size_t Rows(const char* name) {
    const std::string csv = dir.Read(name);
    std::size_t n = 0;
    for (char c : csv) n += c == '\n';
    return n - 1;  // the heading
  }

  TempDir dir;
  std::ostringstream out, err;
};

TEST_F(LogExportTest, ExportsAllOrAPeriodOrOneDevice) {
  ASSERT_EQ(Run({Path("system.ev2"), "--csv", Path("all.csv")}), 0) << err.str();
  EXPECT_EQ(Rows("all.csv"), 6u);
  EXPECT_EQ(out.str(), "wrote 6 events to " + Path("all.csv") + "\n");
  EXPECT_EQ(
      dir.Read("all.csv").rfind("time,device,code,event,detail\r\n2026-12-08T10:30,1-005,112,", 0),
      0u);
  ASSERT_EQ(Run({Path("system.ev2"), "--from", "2026-12-09", "--to", "9/12/2026", "--csv",
                 Path("day.csv")}),
            0);
  EXPECT_EQ(Rows("day.csv"), 2u);
  ASSERT_EQ(Run({Path("system.ev2"), "--from", "2026-12-09", "--device", "2-007", "--csv",
                 Path("dev.csv")}),
            0);
  EXPECT_EQ(Rows("dev.csv"), 2u);
  EXPECT_EQ(dir.Read("dev.csv").find("1-005"), std::string::npos);
}

TEST_F(LogExportTest, BadArgumentsAndDamagedLogsAreSaidAndExitNonZero) {
  EXPECT_EQ(Run({}), 2);
  EXPECT_EQ(Run({Path("system.ev2")}), 2);
  EXPECT_NE(err.str().find("needs --csv"), std::string::npos);
  EXPECT_EQ(Run({Path("system.ev2"), "--from", "yesterday", "--csv", Path("x.csv")}), 2);
  EXPECT_EQ(Run({Path("system.ev2"), "--device", "17-001", "--csv", Path("x.csv")}), 2);
  EXPECT_EQ(Run({Path("system.ev2"), "--csv"}), 2);
  EXPECT_EQ(Run({Path("none.ev2"), "--csv", Path("x.csv")}), 1);
  EXPECT_FALSE(std::filesystem::exists(dir / "x.csv"));
  // A stretch of rubbish in the middle: the rest is exported, and it is said.
  std::string text = dir.Read("system.ev2");
  text.insert(10 + 2 * 24, "zzzzzzzzzzzzzzzzzzzzzzzz");
  dir.Write("damaged.ev2", text);
  EXPECT_EQ(Run({Path("damaged.ev2"), "--csv", Path("d.csv")}), 1);
  EXPECT_NE(err.str().find("is damaged"), std::string::npos);
  EXPECT_GE(Rows("d.csv"), 6u);
  // An output that cannot be written leaves nothing behind.
  EXPECT_EQ(Run({Path("system.ev2"), "--csv", Path("no/such/dir.csv")}), 1);
}

}  // namespace
}  // namespace quillark::test
