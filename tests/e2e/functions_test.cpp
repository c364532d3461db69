// Device settings from the headless console: read, write and save them on
// the demonstration site.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "console.h"
#include "process.h"
#include "support/tempdir.h"

namespace quillark::test {
namespace {

using namespace std::chrono_literals;

std::size_t Lines(const std::string& text) {
  std::size_t n = 0;
  for (char c : text) n += c == '\n' ? 1 : 0;
  return n;
}

TEST(ConsoleFunctions, ReadWriteAndSaveTheDemoSitesSettings) {
  TempDir home;
  CopyDemoHome(home.Path());
  auto p = StartHeadless(home.Path());
  EXPECT_TRUE(Answers(*p, "select 1-005", "selected 1-005"));
  // Guarded like the menu command.
  EXPECT_TRUE(Answers(*p, "functions", "refused: the access level is too low"));
  EXPECT_TRUE(Answers(*p, "logon Engineer", "logged on as Engineer"));
  // One line per setting, page by page, the information page first.
  EXPECT_TRUE(Answers(*p, "functions", "Device text (64): Pelorin-Vantor 2"));
  EXPECT_NE(p->WaitFor("Fire 1 level (92): 8", 5s), "");
  EXPECT_NE(p->WaitFor("Varn enable (53): on", 5s), "");

  EXPECT_TRUE(Answers(*p, "setfn 92 30", "error: 'Fire 1 level' takes 8 to 10"));
  EXPECT_TRUE(Answers(*p, "setfn 92 9", "written to 1-005"));
  // The demonstration detector took the write frame and answers with it.
  EXPECT_TRUE(Answers(*p, "functions", "Fire 1 level (92): 9"));
  EXPECT_TRUE(Answers(*p, "setfn 2 1", "error: function 2 is not a setting of this device"));

  EXPECT_TRUE(Answers(*p, "savefns", "refused: the access level is too low"));
  EXPECT_TRUE(Answers(*p, "logon Administrator", "logged on as Administrator"));
  EXPECT_TRUE(Answers(*p, "savefns", "Detector 2-127: saved"));
  EXPECT_NE(p->WaitFor("All function settings have been transferred (256 devices).", 30s), "");
  EXPECT_TRUE(Answers(*p, "stats", "polls "));  // the console reads lines again
  EXPECT_TRUE(Quit(*p));

  const std::string dfs = home.Read("demo.dfs");
  EXPECT_EQ(dfs.rfind("!6\"127\r\n", 0), 0u);
  EXPECT_EQ(Lines(dfs), 2u + 2u * 127u * 172u);
  EXPECT_NE(dfs.find("000005:092:009\r\n"), std::string::npos);
  EXPECT_NE(dfs.find("000383:181:255\r\n"), std::string::npos);  // loop 2, detector 127
  EXPECT_EQ(dfs.substr(dfs.size() - 13), "255:255:255\r\n");
  const std::string cfs = home.Read("demo.cfs");
  EXPECT_EQ(cfs.rfind("!8\"127\r\n", 0), 0u);
  EXPECT_NE(cfs.find("000257:045:008\r\n"), std::string::npos);  // loop 2's command module
  EXPECT_EQ(cfs.substr(cfs.size() - 13), "255:255:255\r\n");
  EXPECT_EQ(home.Read("demo.pfs"), "!7\"127\r\n255:255:255\r\n");
}

}  // namespace
}  // namespace quillark::test
