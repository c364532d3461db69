// One device's settings over the bus, and the settings of every device at
// once (save, restore, device clocks), against demonstration loops.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "core/site/config.h"
#include "core/site/detector.h"
#include "core/site/fnfile.h"
#include "core/site/fnpages.h"
#include "core/status/fnio.h"
#include "core/status/fnlink.h"
#include "support/busfixture.h"

namespace quillark::test {
namespace {

class FnBus : public ::testing::Test {
 protected:
  FnBus() : wire(&host.bus) {}
  void Start(int loops) {
    host.Set("Comm", "Loops", std::to_string(loops));
    host.StartComms(loops);
    host.bus.SetBusViewer(&wire);
  }
  std::string Path(const char* name) const { return (host.home / name).string(); }
  std::string Site() const { return Path("site.cfg"); }
  std::string Read(const char* name) const {
    std::string text;
    ReadFnFile(Path(name), text);
    return text;
  }
  void Write(const char* name, const std::string& text) {
    std::ofstream(host.home / name, std::ios::binary) << text;
  }
  // The frames the program sent: requests and writes, without check sums.
  std::vector<std::string> Sent() const {
    std::vector<std::string> out;
    for (const std::string& f : wire.frames)
      if ((f[0] == '>' || f[0] == ':' || f[0] == '#') && f.size() > 3)
        out.push_back(f.substr(0, f.size() - 3));
    return out;
  }
  std::vector<std::string> Writes() const {
    std::vector<std::string> out;
    for (const std::string& f : Sent())
      if (f[2] == 'P') out.push_back(f);
    return out;
  }

  BusFixture host;
  RecordingReceiver wire;
};

TEST_F(FnBus, TheSheetReadsTheDeviceAndWritesWhatAPageChanged) {
  Start(1);
  Write("site.dfs", "!6\"127\r\n000005:092:008\r\n000005:010:004\r\n255:255:255\r\n");
  {
    FunctionLink link(&host.bus, 5, PELORIN2000DETECTOR, Path("site.dfs"), true);
    ASSERT_TRUE(link.FileLoaded());
    EXPECT_EQ(link.Set().GetFunction(9), 4);
    bool answered = false;
    link.Read([&](const FunctionSet::Answer& a) { answered = a.taken; });
    EXPECT_TRUE(answered);
    EXPECT_EQ(Sent().front(), std::string(">\x85G00401b5"));
    EXPECT_TRUE(host.bus.IsPollPaused());
    // The demonstration detector's own values replace the file's.
    EXPECT_EQ(link.Set().GetFunction(9), 6);
    FnPage levels = FnMakePage(FP_LEVELS2K, link.Set().GetType(), link.Set().GetVersion());
    std::vector<FnEntry> entries = FnLoadPage(levels, link.Set());
    EXPECT_EQ(FnShowEntry(levels.controls[1], entries[1], link.Set()), "8");
    std::string why;
    ASSERT_TRUE(FnEnterText(levels.controls[1], "9", entries[1], why)) << why;
    FnApplyPage(levels, entries, link.Set());
  }
  // Closing wrote the level group to the device and into the file, and
  // polling goes on.
  ASSERT_EQ(Writes().size(), 1u);
  EXPECT_EQ(Writes()[0].substr(0, 6), std::string(">\x85P010"));
  EXPECT_NE(Writes()[0].find("5c09"), std::string::npos);
  EXPECT_FALSE(host.bus.IsPollPaused());
  EXPECT_EQ(Read("site.dfs"), "!6\"127\r\n000005:092:009\r\n000005:010:006\r\n255:255:255\r\n");
  // The demonstration detector keeps what it was sent.
  FunctionLink again(&host.bus, 5, PELORIN2000DETECTOR, "", true);
  again.Read([](const FunctionSet::Answer&) {});
  EXPECT_EQ(again.Set().GetFunction(91), 9);
}

TEST_F(FnBus, ASilentDeviceEndsTheReadAndAClosedSheetHearsNothing) {
  Start(1);
  int calls = 0;
  bool taken = true;
  // The demonstration power supplies do not answer.
  FunctionLink psu(&host.bus, 128, PELORIN2000POWERSUPPLY, "", true);
  psu.Read([&](const FunctionSet::Answer& a) {
    ++calls;
    taken = a.taken;
  });
  EXPECT_EQ(Sent().back(), std::string("#\x81G00401b5"));
  host.events.Advance(3000 + FunctionLink::EXTRATIMEOUT);
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(taken);
  auto link = std::make_unique<FunctionLink>(&host.bus, 128, PELORIN2000POWERSUPPLY, "", true);
  link->Read([&](const FunctionSet::Answer&) { ++calls; });
  link.reset();  // closed with the read pending
  host.events.Advance(10000);
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(Writes().empty());  // nothing was changed, nothing written
}

TEST_F(FnBus, SaveWritesEveryAnsweringDeviceAndKeepsOldFilesWhenCancelled) {
  Start(1);
  std::vector<std::string> lines;
  bool ok = false;
  FnIo save(&host.bus, nullptr, Site(), FnIo::SAVE);
  save.Start([&](const std::string& l) { lines.push_back(l); },
             [&](bool good, const std::string&) { ok = good; });
  host.events.RunUntil([&] { return !save.Running(); });
  EXPECT_TRUE(ok);
  ASSERT_EQ(lines.size(), 128u);  // the command module, then detectors 1 to 127
  EXPECT_EQ(lines[5], "Detector 1-005: saved");
  const std::string dfs = Read("site.dfs");
  EXPECT_EQ(dfs.size(), 8 + 127u * 172u * 16u + 13u);
  EXPECT_EQ(dfs.substr(dfs.size() - 13), "255:255:255\r\n");
  EXPECT_EQ(FnTextValue(dfs, 5, 91), 8);
  const std::string cfs = Read("site.cfs");
  EXPECT_EQ(cfs.size(), 8 + 172u * 16u + 13u);
  EXPECT_EQ(FnTextValue(cfs, 1, FunctionSet::MODELINDEX), PELORIN2000BUSMASTER);
  EXPECT_EQ(Read("site.pfs"), "!7\"127\r\n255:255:255\r\n");
  EXPECT_FALSE(host.bus.IsPollPaused());

  FnIo again(&host.bus, nullptr, Site(), FnIo::SAVE);
  std::string summary;
  // Every demo device answers at once: cancelled as the first one is saved.
  again.Start([&](const std::string&) { again.Cancel(); },
              [&](bool, const std::string& s) { summary = s; });
  host.events.RunUntil([&] { return !again.Running(); });
  EXPECT_EQ(summary, "cancelled: the function settings files were not changed");
  EXPECT_EQ(Read("site.dfs"), dfs);
}

TEST_F(FnBus, SaveOfASilentSiteLeavesHeadersAndEndLines) {
  // No ports: nobody answers, every position costs its time-out.
  FnIo save(&host.bus, nullptr, Site(), FnIo::SAVE);
  save.Start(nullptr, nullptr);
  host.events.RunUntil([&] { return !save.Running(); });
  EXPECT_EQ(Read("site.dfs"), "!6\"127\r\n255:255:255\r\n");
  EXPECT_EQ(Read("site.cfs"), "!8\"127\r\n255:255:255\r\n");
}

TEST_F(FnBus, RestoreWritesEveryKindOnEveryLoopAfterItsPauses) {
  Start(2);
  Write("site.cfs", "!8\"127\r\n000257:142:016\r\n255:255:255\r\n");
  Write("site.pfs", "!7\"127\r\n000002:022:110\r\n255:255:255\r\n");
  Write("site.dfs",
        "!6\"127\r\n000005:070:000\r\n000005:071:003\r\n000005:056:012\r\n000006:015:001\r\n"
        "255:255:255\r\n");
  std::vector<std::string> lines;
  FnIo restore(&host.bus, nullptr, Site(), FnIo::RESTORE);
  restore.Start([&](const std::string& l) { lines.push_back(l); }, nullptr);
  host.events.Advance(FnIo::RESTORESTART + FnIo::WRITEPAUSE - 1);
  EXPECT_TRUE(Writes().empty());
  host.events.Advance(1);
  ASSERT_EQ(Writes().size(), 1u);
  EXPECT_EQ(Writes()[0], std::string(":\x81P0048e10"));
  host.events.RunUntil([&] { return !restore.Running(); });
  EXPECT_EQ(Writes(),
            (std::vector<std::string>{std::string(":\x81P0048e10"), std::string("#\x82P004166e"),
                                      std::string(">\x85P0044703")}));
  // Detector 6 had nothing to send: no line, no pause.
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "Loading functions from disk", "Command module 2: restoring",
                       "Power supply 1-002: restoring", "Detector 1-005: restoring"}));
}

TEST_F(FnBus, ProgressAndSummariesFollowTheOperatorsLanguage) {
  Start(1);
  Write("site.pfs", "!7\"127\r\n000002:022:110\r\n255:255:255\r\n");
  Write("site.dfs", "!6\"127\r\n000005:071:003\r\n255:255:255\r\n");
  host.translator.SetLanguage(4);
  std::vector<std::string> lines;
  std::string summary;
  FnIo restore(&host.bus, nullptr, Site(), FnIo::RESTORE);
  EXPECT_EQ(restore.GetCaption(), "Funktionseinstellungen wiederherstellen");
  restore.Start([&](const std::string& l) { lines.push_back(l); },
                [&](bool, const std::string& s) { summary = s; });
  host.events.RunUntil([&] { return !restore.Running(); });
  EXPECT_EQ(lines, (std::vector<std::string>{"Funktionen werden von der Festplatte geladen",
                                             "Netzteil 1-002: wird wiederhergestellt",
                                             "Melder 1-005: wird wiederhergestellt"}));
  EXPECT_EQ(summary, "Funktionseinstellungen in 2 Geräten wiederhergestellt.");

  // A device that never answers is named in the clock summary, in German.
  TSiteConfig site(Site(), true);
  site.InsertDevice(DeviceConfig(5, DETECTOR, PELORIN2000DETECTOR));
  site.InsertDevice(DeviceConfig(2, POWERSUPPLY, PELORIN2000POWERSUPPLY));  // demo: silent
  lines.clear();
  FnIo clocks(&host.bus, &site, Site(), FnIo::SETCLOCKS);
  clocks.Start([&](const std::string& l) { lines.push_back(l); },
               [&](bool, const std::string& s) { summary = s; });
  host.events.RunUntil([&] { return !clocks.Running(); });
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Melder 1-005: Uhr gestellt"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Netzteil 1-002: keine Antwort"), lines.end());
  EXPECT_EQ(summary, "Uhr in 2 von 3 Geräten gestellt. Uhrzeit nicht übernommen: Netzteil 1-002");

  Write("site.dfs", "!6\"127\r\n000005:071:003\r\n");  // cut before its end line
  FnIo damaged(&host.bus, nullptr, Site(), FnIo::RESTORE);
  damaged.Start(nullptr, [&](bool, const std::string& s) { summary = s; });
  EXPECT_EQ(summary, "Schwerer Fehler beim Lesen der Dateien der programmierbaren Funktionen.");
  host.translator.SetLanguage(0);
}

TEST_F(FnBus, RestoreOfADamagedFileSendsNothing) {
  Start(1);
  Write("site.dfs", "!6\"127\r\n000005:071:003\r\n");  // cut before its end line
  std::string summary;
  FnIo restore(&host.bus, nullptr, Site(), FnIo::RESTORE);
  restore.Start(nullptr, [&](bool, const std::string& s) { summary = s; });
  EXPECT_EQ(summary, "Fatal error reading programmable function setting files.");
  host.events.Advance(10000);
  EXPECT_TRUE(Writes().empty());
  EXPECT_FALSE(host.bus.IsPollPaused());
}

TEST_F(FnBus, ClocksAreWrittenToEveryDeviceAndReadBack) {
  Start(1);
  TSiteConfig site(Site(), true);  // loop 1's command module
  site.InsertDevice(DeviceConfig(5, DETECTOR, PELORIN2000DETECTOR));
  site.InsertDevice(DeviceConfig(300, DETECTOR, PELORIN2000DETECTOR));  // loop 2: not polled
  std::string summary;
  FnIo clocks(&host.bus, &site, Site(), FnIo::SETCLOCKS);
  clocks.Start(nullptr, [&](bool, const std::string& s) { summary = s; });
  host.events.RunUntil([&] { return !clocks.Running(); });
  // 1700000000 is 14 Nov 2023 22:13 UTC.
  EXPECT_NE(
      std::find(Writes().begin(), Writes().end(), std::string(">\x85P0141116120d130e140b1517")),
      Writes().end());
  // The command module takes the time too and reads it back.
  EXPECT_NE(std::find_if(Writes().begin(), Writes().end(),
                         [](const std::string& w) { return w.rfind(":\x81P", 0) == 0; }),
            Writes().end());
  EXPECT_EQ(summary, "Clocks set on 2 of 2 devices.");
  EXPECT_TRUE(clocks.GetFailures().empty());
}

}  // namespace
}  // namespace quillark::test
