// The demonstration array site: cells listed as devices, and a cell in
// alarm only when both of its detectors are.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <thread>

#include "console.h"
#include "process.h"
#include "support/tempdir.h"

namespace quillark::test {
namespace {

using namespace std::chrono_literals;

// Asks for the alarm lines until one mentions `text`.
bool AlarmsMention(Process& p, const std::string& text) {
  for (int i = 0; i < 60; ++i) {
    p.Send("alarms");
    p.Send("stats");
    p.WaitFor("polls ", 5s);
    if (Mentions(p, text)) return true;
    std::this_thread::sleep_for(250ms);
  }
  return false;
}

TEST(ArrayCells, DemoArraySiteShowsCellsThatAlarmOnBothParents) {
  TempDir home;
  CopyDemoHome(home.Path());
  for (const char* f : {"arrays.cfg", "arrays.cfs"})
    std::filesystem::copy_file(std::filesystem::path(QUILLARK_SOURCE_DIR) / "resources/demo" / f,
                               home.Path() / f);
  std::string ini = home.Read("quillark.ini");
  const std::size_t at = ini.find("Site=demo.cfg");
  ASSERT_NE(at, std::string::npos);
  ini.replace(at, 13, "Site=arrays.cfg");
  home.Write("quillark.ini", ini);

  auto p = StartHeadless(home.Path());
  EXPECT_TRUE(Answers(*p, "site", "1-016 detector, Array scan cell"));
  EXPECT_TRUE(Mentions(*p, "location 2 and 1"));
  EXPECT_NE(p->WaitFor("1-025 detector, Array scan cell", 5s), "");
  EXPECT_FALSE(Mentions(*p, "1-026 detector"));

  EXPECT_TRUE(Answers(*p, "select 1-002", "selected 1-002"));
  EXPECT_TRUE(Answers(*p, "fire1", "ok"));
  ASSERT_TRUE(AlarmsMention(*p, "1-002  ("));
  EXPECT_TRUE(Answers(*p, "select 1-001", "selected 1-001"));
  EXPECT_TRUE(Answers(*p, "fire1", "ok"));
  // Cell 16 crosses detectors 2 and 1; cell 17 (3 and 1) has one parent in
  // alarm only.
  EXPECT_TRUE(AlarmsMention(*p, "1-016  (2 and 1)"));
  EXPECT_TRUE(AlarmsMention(*p, "1-001  ("));
  EXPECT_FALSE(Mentions(*p, "1-017  ("));
  EXPECT_TRUE(Quit(*p));
}

}  // namespace
}  // namespace quillark::test
