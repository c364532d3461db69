// Opening files by type, and the list of files opened last.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "core/access/commands.h"
#include "core/access/security.h"
#include "core/access/translator.h"
#include "core/app/recentfiles.h"
#include "core/events/fileext.h"
#include "core/site/config.h"
#include "support/apphost.h"

namespace quillark::test {
namespace {

TEST(RecentFiles, NewestFirstNoRepeatsAtMostFourAndKeptInTheSettings) {
  TempDir home;
  INIfile ini(home / "quillark.ini");
  {
    RecentFiles recent(ini);
    EXPECT_TRUE(recent.Files().empty());
    for (const char* f : {"/a/1.ev2", "/a/2.ev2", "/a/3.ev2"}) recent.Add(f);
    recent.Add("/a/./1.ev2");  // the same file spelt another way moves up
    EXPECT_EQ(recent.Files(), (std::vector<std::string>{"/a/./1.ev2", "/a/3.ev2", "/a/2.ev2"}));
    recent.Add("/a/4.ev2");
    recent.Add("/a/5.ev2");  // the oldest falls off
    EXPECT_EQ(recent.Files(),
              (std::vector<std::string>{"/a/5.ev2", "/a/4.ev2", "/a/./1.ev2", "/a/3.ev2"}));
    recent.Remove("/a/4.ev2");
    recent.Add("");  // nothing to list
  }
  // A restart reads the same list back.
  INIfile again(home / "quillark.ini");
  RecentFiles restarted(again);
  EXPECT_EQ(restarted.Files(), (std::vector<std::string>{"/a/5.ev2", "/a/./1.ev2", "/a/3.ev2"}));
  EXPECT_EQ(again.ReadString("RecentFiles", "File1", ""), "/a/5.ev2");
  EXPECT_EQ(again.ReadString("RecentFiles", "File4", "x"), "");

  // Hand-edited settings: gaps and repeats are dropped, not shown.
  again.WriteString("RecentFiles", "File1", "");
  again.WriteString("RecentFiles", "File2", "/b.cfg");
  again.WriteString("RecentFiles", "File3", "/b.cfg");
  again.WriteString("RecentFiles", "File4", "/c.evt");
  EXPECT_EQ(RecentFiles(again).Files(), (std::vector<std::string>{"/b.cfg", "/c.evt"}));
}

// A site file damaged after its first detector: that detector and the
// command modules are supervised, and the fault is shown and logged where a
// service finds it.
TEST(SiteAtStartUp, DamagedSiteKeepsWhatWasReadAndLogsWhy) {
  AppHost host;
  std::ostringstream file;
  file << "5\r\n0\r\n"
       << DeviceConfig(0x105, DETECTOR) << "\r\n"
       << DeviceConfig(0x1c8, DETECTOR) << "\r\n"
       << "; edited by hand\r\n";
  host.home.Write("site.cfg", file.str());
  host.Set("Site", "Site", (host.home / "site.cfg").string());
  host.app->InitMainWindow(host.home.Path());

  const TSiteConfig* site = host.app->GetSiteConfig();
  ASSERT_NE(site, nullptr);
  EXPECT_NE(site->GetDevice(0x105, DETECTOR), nullptr);
  EXPECT_NE(site->GetDevice(0x101, BUSCONTROLLER), nullptr);
  EXPECT_EQ(site->GetDevice(0x1c8, DETECTOR), nullptr);
  EXPECT_TRUE(
      std::any_of(host.prompter.prompts.begin(), host.prompter.prompts.end(), [](const auto& p) {
        return p.text == "Error loading site configuration file. Code: -3" &&
               p.icon == PromptIcon::STOP;
      }));

  const std::string log = host.home.Read("event.log");
  EXPECT_NE(log.find("SYSLOG: Error loading site configuration file. Code: -3 (" +
                     (host.home / "site.cfg").string() + ", line 5)"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("line 4: detector address 456: loop 2 address 200 is outside 1 to 127"),
            std::string::npos)
      << log;
}

// The application started over a site with two detectors, with a log-on
// that takes whichever account the test names.
class OpenFile : public ::testing::Test {
 protected:
  OpenFile() {
    host.home.Write("one.cfg", "");
    host.app->InitMainWindow(host.home.Path());
    host.prompter.prompts.clear();
    host.app->SetFileOpener(FT_SYSEVENT, [this](const std::string& p) { opened.push_back(p); });
    host.app->SetFileOpener(FT_EVENT, [this](const std::string& p) { opened.push_back(p); });
  }
  void LogOn(const char* name) {
    ASSERT_TRUE(host.app->GetMainWindow()->GetSecurity()->LogOn(name, ""));
  }
  std::string Path(const std::string& name) const { return (host.home / name).string(); }
  AppHost host;
  std::vector<std::string> opened;
};

TEST_F(OpenFile, UnknownTypesAndTypesWithoutAWindowAreReported) {
  EXPECT_FALSE(host.app->OpenFile(Path("notes.txt")));
  EXPECT_FALSE(host.app->OpenFile(Path("a.cf")));
  EXPECT_FALSE(host.app->OpenFile(Path("README")));
  ASSERT_EQ(host.prompter.prompts.size(), 3u);
  EXPECT_EQ(host.prompter.prompts[0].text, "Unknown file type: .txt.");
  EXPECT_EQ(host.prompter.prompts[0].icon, PromptIcon::STOP);
  EXPECT_EQ(host.prompter.prompts[1].text, "Unknown file type: .cf.");
  EXPECT_NE(host.prompter.prompts[2].text.find("README"), std::string::npos);

  // A chart needs no right; nothing shows charts yet, and it says so.
  EXPECT_FALSE(host.app->OpenFile(Path("a.rcw")));
  ASSERT_EQ(host.prompter.prompts.size(), 4u);
  EXPECT_EQ(host.prompter.prompts[3].text, "Files of type .rcw cannot be opened in this version.");
  EXPECT_TRUE(opened.empty());

  // The operator reads it in their language.
  host.app->GetServices().translator.SetLanguage(4);
  EXPECT_FALSE(host.app->OpenFile(Path("notes.txt")));
  host.app->GetServices().translator.SetLanguage(0);
  ASSERT_EQ(host.prompter.prompts.size(), 5u);
  EXPECT_EQ(host.prompter.prompts[4].text, "Unbekannter Dateityp: .txt.");
}

TEST_F(OpenFile, EachTypeAsksForItsRightFirst) {
  // Level 0 may not read logs: the log-on is refused (no prompt is set) and
  // nothing opens.
  EXPECT_FALSE(host.app->OpenFile(Path("system.ev2")));
  EXPECT_TRUE(opened.empty());

  LogOn("Operator");
  EXPECT_TRUE(host.app->OpenFile(Path("system.ev2")));
  EXPECT_TRUE(host.app->OpenFile(Path("OLD.EVT")));  // extensions compare lower-cased
  EXPECT_EQ(opened, (std::vector<std::string>{Path("system.ev2"), Path("OLD.EVT")}));
  // Function files need level 2; a site level 3.
  EXPECT_FALSE(host.app->OpenFile(Path("a.dfs")));
  EXPECT_FALSE(host.app->OpenFile(Path("one.cfg")));
  EXPECT_TRUE(host.prompter.prompts.empty());
  EXPECT_EQ((&host.app->GetServices().ini)->ReadString("Site", "Site", "default"), "default");
}

TEST_F(OpenFile, SiteFileBecomesTheSiteInUseAndTheDisplayIsBuiltOnIt) {
  TSiteConfig site;
  site.InsertDevice(DeviceConfig(0x105, DETECTOR));
  ASSERT_TRUE(site.Save(Path("two.cfg")));
  int builds = 0;
  RecordingReceiver display(&host.Bus());
  host.app->GetBus().SetDisplayBuilder([&] {
    ++builds;
    host.app->GetBus().SetMainDisplay(&display);
  });
  host.app->GetBus().SetMainDisplay(&display);  // the display built at start-up
  LogOn("Administrator");

  ASSERT_TRUE(host.app->OpenFile(Path("two.cfg")));
  EXPECT_EQ((&host.app->GetServices().ini)->ReadString("Site", "Site", ""), Path("two.cfg"));
  EXPECT_EQ(host.app->GetPaths().site, host.home / "two.cfg");
  EXPECT_NE(host.app->GetSiteConfig()->GetDevice(0x105), nullptr);
  EXPECT_EQ(builds, 1);
  EXPECT_FALSE(host.app->GetBus().IsPollPaused());

  // With a site editor, it opens on the file with polling paused, and the
  // display is built again afterwards.
  bool pausedinside = false;
  host.app->SetFileOpener(
      FT_SITE, [&](const std::string&) { pausedinside = host.app->GetBus().IsPollPaused(); });
  ASSERT_TRUE(host.app->OpenFile(Path("two.cfg")));
  EXPECT_TRUE(pausedinside);
  EXPECT_EQ(builds, 3);
  EXPECT_FALSE(host.app->GetBus().IsPollPaused());
  host.app->GetBus().SetDisplayBuilder(nullptr);
  host.app->GetBus().SetMainDisplay(nullptr);
}

}  // namespace
}  // namespace quillark::test
