// Discovering a new site by scanning the loops: the entries made of the
// answers, the function files, and what happens when a file or a loop fails.
#include "core/status/sitescan.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/site/fnfile.h"
#include "support/busfixture.h"

namespace quillark::test {
namespace {

// A whole "G" answer with every value 0 but function 45 (the model).
std::string Answer(char kind, int address, int model) {
  std::string f(1, kind);
  f += static_cast<char>(address | 0x80);
  f += "G16a";
  for (int i = 0; i < FunctionSet::READCOUNT; ++i) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", i == FunctionSet::MODELINDEX ? model : i == 3 ? 7 : 0);
    f += hex;
  }
  return f;
}

TEST(SiteScanAnswer, KindsParentsAndModels) {
  DeviceConfig d;
  std::array<int, FunctionSet::READCOUNT> values{};
  ASSERT_TRUE(SiteScan::TakeAnswer(3, Answer('+', 2, PELORIN2000POWERSUPPLY), d, values));
  EXPECT_EQ(d.GetAddress(), 3u * 256 + 2);
  EXPECT_EQ(d.GetType(), POWERSUPPLY);
  EXPECT_EQ(d.GetModel(), PELORIN2000POWERSUPPLY);
  EXPECT_EQ(d.GetParentAddress(), 769u);
  EXPECT_EQ(d.GetParentType(), BUSCONTROLLER);

  ASSERT_TRUE(SiteScan::TakeAnswer(0, Answer('<', 9, 21), d, values));
  EXPECT_EQ(d.GetType(), DETECTOR);
  EXPECT_EQ(d.GetModel(), UNKNOWN);
  EXPECT_EQ(d.GetParentAddress(), 1u);

  ASSERT_TRUE(SiteScan::TakeAnswer(1, Answer('/', 1, PELORIN2000BUSMASTER), d, values));
  EXPECT_EQ(d.GetAddress(), 257u);
  EXPECT_EQ(d.GetType(), BUSCONTROLLER);
  EXPECT_EQ(d.GetParentAddress(), DeviceConfig::NOADDRESS);
  EXPECT_EQ(d.GetParentType(), static_cast<devicetype>(-1));

  // Not an answer to keep: another letter, a cut frame, a bad loop.
  std::string other = Answer('<', 9, 6);
  other[2] = 'E';
  EXPECT_FALSE(SiteScan::TakeAnswer(0, other, d, values));
  EXPECT_FALSE(SiteScan::TakeAnswer(0, Answer('<', 9, 6).substr(0, 100), d, values));
  EXPECT_FALSE(SiteScan::TakeAnswer(16, Answer('<', 9, 6), d, values));
  EXPECT_FALSE(SiteScan::TakeAnswer(0, Answer('>', 9, 6), d, values));

  const std::string lines = SiteScan::FnLines(265, values);
  EXPECT_EQ(lines.substr(0, 15), "000265:004:007\n");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 178);
}

class SiteScanTest : public ::testing::Test {
 protected:
  void Start(int loops) {
    host.Set("Comm", "Loops", std::to_string(loops));
    host.StartComms(loops);
  }
  std::string Site() const { return (host.home / "new.cfg").string(); }
  std::string Read(const char* name) const { return host.home.Read(name); }
  // Runs a scan to its end; the summary, `ok` its outcome.
  std::string Run(SiteScan& scan, bool& ok, std::vector<std::string>* lines = nullptr) {
    std::string summary;
    scan.Start(
        [&](const std::string& l) {
          if (lines != nullptr) lines->push_back(l);
        },
        [&](bool good, const std::string& s) {
          ok = good;
          summary = s;
        });
    host.events.RunUntil([&] { return !scan.Running(); });
    return summary;
  }

  BusFixture host;
};

TEST_F(SiteScanTest, DemoLoopsBecomeASiteWithItsThreeFunctionFiles) {
  Start(2);
  SiteScan scan(&host.bus, Site());
  bool ok = false;
  std::vector<std::string> lines;
  const std::string summary = Run(scan, ok, &lines);
  ASSERT_TRUE(ok) << summary;
  EXPECT_FALSE(host.bus.IsPollPaused());
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front().substr(0, 14), "Command module");

  TSiteConfig site(Site());
  EXPECT_EQ(site.GetLoadError(), 0);
  int detectors = 0;
  for (const DeviceConfig& d : site)
    if (d.GetType() == DETECTOR) {
      ++detectors;
      EXPECT_EQ(d.GetParentAddress(), d.GetLoop() * 256 + 1);
    }
  EXPECT_GT(detectors, 0);
  EXPECT_NE(site.GetDevice(257, BUSCONTROLLER), nullptr);
  EXPECT_EQ(summary, std::to_string(static_cast<int>(lines.size())) + " devices found");

  // The demonstration command modules answer "G" as themselves.
  EXPECT_EQ(site.GetDevice(1, BUSCONTROLLER)->GetModel(), PELORIN2000BUSMASTER);
  const std::string cfs = Read("new.cfs");
  EXPECT_EQ(cfs.substr(0, 7), "!8\"127\n");
  EXPECT_NE(cfs.find("\n000001:045:008\n"), std::string::npos);
  EXPECT_NE(cfs.find("\n000257:181:"), std::string::npos);
  EXPECT_EQ(cfs.substr(cfs.size() - 12), "255:255:255\n");
  const std::string dfs = Read("new.dfs");
  EXPECT_EQ(dfs.substr(0, 7), "!6\"127\n");
  EXPECT_EQ(dfs.substr(dfs.size() - 12), "255:255:255\n");
  EXPECT_NE(dfs.find("000257:004:"), std::string::npos);
  // The function files are what the rest of the program reads.
  EXPECT_EQ(site.GetFnValue(DETECTOR, 257, FunctionSet::MODELINDEX),
            site.GetDevice(257, DETECTOR)->GetModel());
  EXPECT_EQ(Read("new.pfs"), "!7\"127\n255:255:255\n");
}

TEST_F(SiteScanTest, AFailingLoopIsReportedWhileTheOthersAreFound) {
  // Two loops on the bus, a port on the first only: loop 2 stays silent.
  Start(1);
  host.bus.SetLoops(2);
  SiteScan scan(&host.bus, Site());
  bool ok = false;
  const std::string summary = Run(scan, ok);
  ASSERT_TRUE(ok) << summary;
  EXPECT_NE(summary.find("loop 2: nothing answered"), std::string::npos) << summary;
  EXPECT_EQ(summary.find("loop 1:"), std::string::npos) << summary;
  TSiteConfig site(Site());
  bool loop1 = false, loop2 = false;
  for (const DeviceConfig& d : site) {
    if (d.GetType() != DETECTOR) continue;
    (d.GetLoop() == 0 ? loop1 : loop2) = true;
  }
  EXPECT_TRUE(loop1);
  EXPECT_FALSE(loop2);

  // The operator reads the progress and the summary in their language.
  host.translator.SetLanguage(4);
  SiteScan german(&host.bus, Site());
  std::vector<std::string> lines;
  const std::string again = Run(german, ok, &lines);
  host.translator.SetLanguage(0);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front().rfind("Zentrale 1: ", 0), 0u) << lines.front();
  EXPECT_NE(again.find(" Geräte gefunden; Ring 2: keine Antwort"), std::string::npos) << again;
}

TEST_F(SiteScanTest, AFunctionFileThatCannotBeWrittenAbortsAndLeavesALoadableSite) {
  Start(1);
  SiteScan scan(&host.bus, Site());
  bool ok = true;
  std::string summary;
  scan.Start(nullptr, [&](bool good, const std::string& s) {
    ok = good;
    summary = s;
  });
  // The detectors' file turns into a directory under the scan.
  std::filesystem::remove(host.home / "new.dfs");
  std::filesystem::create_directory(host.home / "new.dfs");
  host.events.RunUntil([&] { return !scan.Running(); });
  EXPECT_FALSE(ok);
  EXPECT_EQ(summary, "Fatal error writing programmable function setting files.");
  EXPECT_FALSE(host.bus.IsPollPaused());
  TSiteConfig site(Site());
  EXPECT_EQ(site.GetLoadError(), 0);
  for (const DeviceConfig& d : site) EXPECT_NE(d.GetType(), DETECTOR);
}

TEST_F(SiteScanTest, FilesThatCannotBeCreatedStopBeforeAnythingIsSent) {
  Start(1);
  SiteScan scan(&host.bus, (host.home / "missing" / "new.cfg").string());
  bool ok = true;
  const std::string summary = Run(scan, ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(summary,
            "Error writing to file\n" + (host.home / "missing" / "new.cfg").string() + ".");
  EXPECT_FALSE(host.bus.IsPollPaused());
}

TEST(SiteScanFiles, NewSiteFilesHoldThePlaceholderAndTheHeaders) {
  TempDir dir;
  std::string failed;
  ASSERT_TRUE(SiteScan::CreateFiles((dir / "a.cfg").string(), failed));
  EXPECT_EQ(dir.Read("a.cfg"), "255\n");
  EXPECT_EQ(dir.Read("a.dfs"), "!6\"127\n");
  EXPECT_EQ(dir.Read("a.pfs"), "!7\"127\n");
  EXPECT_EQ(dir.Read("a.cfs"), "!8\"127\n");
  FnFileHeader header;
  EXPECT_TRUE(ParseFnHeader(dir.Read("a.dfs"), header));
}

}  // namespace
}  // namespace quillark::test
