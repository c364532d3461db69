// Making a site from nothing on the demonstration loops and editing it from
// the headless console; the program runs on it again after a restart.
#include <gtest/gtest.h>

#include <string>

#include "console.h"
#include "core/site/config.h"
#include "process.h"
#include "support/tempdir.h"

namespace quillark::test {
namespace {

using namespace std::chrono_literals;

TEST(ConsoleSite, NewSiteScansTheDemoLoopsEditsItAndLoadsAfterARestart) {
  TempDir home;
  CopyDemoHome(home.Path());
  {
    auto p = StartHeadless(home.Path());
    // Guarded like the NEW and SITECONF menu commands.
    EXPECT_TRUE(Answers(*p, "newsite fresh", "refused: the access level is too low"));
    EXPECT_TRUE(Answers(*p, "adddet 1-100", "refused: the access level is too low"));
    EXPECT_TRUE(Answers(*p, "logon Administrator", "logged on as Administrator"));
    EXPECT_TRUE(Answers(*p, "newsite fresh", "scanning the loops for"));
    EXPECT_NE(p->WaitFor("found Detector 1-005", 60s), "");
    EXPECT_NE(p->WaitFor("found Detector 2-127", 60s), "");
    EXPECT_NE(p->WaitFor("fresh.cfg loaded", 60s), "");

    EXPECT_TRUE(Answers(*p, "site", "2-127 detector"));
    EXPECT_TRUE(Answers(*p, "site", "1-005 detector, Pelorin"));
    EXPECT_TRUE(Answers(*p, "adddet 1-005", "refused: No more detectors to add"));
    EXPECT_TRUE(Answers(*p, "addpsu 1-003", "added 1-130 power supply"));
    EXPECT_TRUE(Answers(*p, "location 1-005 Plant room, north wall", "location Plant room; north"));
    EXPECT_TRUE(Answers(*p, "zone 1-005 7", "zone 007"));
    EXPECT_TRUE(Answers(*p, "remove 2-010", "removed 2-010 detector"));
    EXPECT_TRUE(Answers(*p, "site", "(not saved)"));
    EXPECT_TRUE(Answers(*p, "actions 1-005", "Fire 2: sound none"));
    EXPECT_TRUE(Answers(*p, "savesite", "saved "));
    EXPECT_TRUE(Quit(*p));
  }
  const std::string cfs = home.Read("fresh.cfs");
  EXPECT_EQ(cfs.rfind("!8\"127\n", 0), 0u);
  // Both loops' command modules answered their function reads: their
  // settings follow the header, model (function 45) included.
  EXPECT_NE(cfs.find("000001:004:"), std::string::npos);
  EXPECT_NE(cfs.find("000001:045:008\n"), std::string::npos);
  EXPECT_NE(cfs.find("000257:181:"), std::string::npos);
  EXPECT_EQ(cfs.substr(cfs.size() - 12), "255:255:255\n");
  EXPECT_EQ(home.Read("fresh.pfs"), "!7\"127\n255:255:255\n");
  const std::string dfs = home.Read("fresh.dfs");
  EXPECT_EQ(dfs.rfind("!6\"127\n", 0), 0u);
  EXPECT_NE(dfs.find("000383:181:"), std::string::npos);  // loop 2, detector 127
  EXPECT_EQ(dfs.substr(dfs.size() - 12), "255:255:255\n");
  TSiteConfig site((home.Path() / "fresh.cfg").string());
  EXPECT_EQ(site.GetLoadError(), 0);
  EXPECT_EQ(site.GetDevice(256 + 10, DETECTOR), nullptr);
  ASSERT_NE(site.GetDevice(5, DETECTOR), nullptr);
  EXPECT_EQ(site.GetDevice(5, DETECTOR)->GetZone(), 7);
  ASSERT_NE(site.GetDevice(1, BUSCONTROLLER), nullptr);
  EXPECT_EQ(site.GetDevice(1, BUSCONTROLLER)->GetModel(), PELORIN2000BUSMASTER);

  auto p = StartHeadless(home.Path());
  EXPECT_TRUE(Answers(*p, "site", "fresh.cfg"));
  EXPECT_TRUE(Answers(*p, "site", "1-005 detector"));
  EXPECT_FALSE(Mentions(*p, "2-010 detector"));
  EXPECT_TRUE(Quit(*p));
}

}  // namespace
}  // namespace quillark::test
