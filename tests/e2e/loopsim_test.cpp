// The real program, headless and live, supervising loops that quillark-loopsim
// simulates on pseudo-terminals at 9600 baud: alarms, lost devices, line
// noise and an alarm storm, end to end.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "console.h"
#include "core/common/inifile.h"
#include "core/site/config.h"
#include "process.h"
#include "support/tempdir.h"

namespace quillark::test {
namespace {

using namespace std::chrono_literals;

class LiveOnSimulator : public ::testing::Test {
 protected:
  LiveOnSimulator() { CopyDemoHome(home.Path()); }

  // Starts the simulator; its loops become the program's serial loops.
  bool StartSimulator(std::vector<std::string> args) {
    args.insert(args.begin(), QUILLARK_LOOPSIM);
    sim = std::make_unique<Process>(args, (home / "loopsim-stderr.txt").string());
    std::vector<std::string> paths;
    for (;;) {
      const std::string line = sim->WaitFor("", 10s);
      if (line.empty()) return false;
      if (line == "ready") break;
      const auto colon = line.find(": ");
      if (line.rfind("loop ", 0) == 0 && colon != std::string::npos)
        paths.push_back(line.substr(colon + 2));
    }
    INIfile ini(home / "quillark.ini");
    ini.WriteString("Product", "Edition", "live");
    ini.WriteString("Comm", "Loops", std::to_string(paths.size()));
    for (std::size_t i = 0; i < paths.size(); ++i) {
      const std::string n = std::to_string(i + 1);
      ini.WriteString("Comm", "Loop" + n + "PortType", "0");
      ini.WriteString("Comm", "Loop" + n + "Port", paths[i]);
    }
    return !paths.empty();
  }
  bool Simulate(const std::string& line) {
    sim->Send(line);
    return !sim->WaitFor("ok " + line.substr(0, line.find(' ')), 10s).empty();
  }
  // The program's console answer to `command`: every line up to the answer
  // to a word it does not know, sent after it as an end mark.
  std::vector<std::string> Lines(const std::string& command) {
    p->Send(command);
    p->Send("endmark");
    const std::size_t from = p->lines.size();
    if (p->WaitFor("endmark", 20s).empty()) return {};
    std::vector<std::string> out(p->lines.begin() + static_cast<long>(from), p->lines.end());
    while (!out.empty() && out.back().find("endmark") != std::string::npos) out.pop_back();
    return out;
  }
  // Waits until the program has walked every loop once.
  bool Supervising(int loops) {
    for (int i = 0; i < 300; ++i) {
      bool all = true;
      for (const auto& l : Lines("stats")) {
        unsigned loop = 0, polls = 0, answers = 0, cycle = 0;
        if (std::sscanf(l.c_str(), "loop %u polls %u answers %u cycle %u", &loop, &polls, &answers,
                        &cycle) == 4 &&
            static_cast<int>(loop) <= loops)
          all = all && cycle > 0;
      }
      if (all) return true;
      std::this_thread::sleep_for(100ms);
    }
    return false;
  }
  static int Count(const std::vector<std::string>& lines, const std::string& text) {
    int n = 0;
    for (const auto& l : lines) n += l.find(text) != std::string::npos;
    return n;
  }

  TempDir home;
  std::unique_ptr<Process> sim;
  std::unique_ptr<Process> p;
};

TEST_F(LiveOnSimulator, AFireOnADetectorIsShownAsAnAlarmOnEitherLoop) {
  ASSERT_TRUE(StartSimulator({"--site", (home / "demo.cfg").string()}));
  p = StartHeadless(home.Path());
  ASSERT_TRUE(StatusBecomes(*p, "1-005", "1-005 status 0x00 faults 0x00"));

  ASSERT_TRUE(Simulate("fire1 1-005"));
  EXPECT_NE(p->WaitFor("ALARM: Detector 1-005", 10s), "");
  ASSERT_TRUE(Simulate("fire2 2-003"));
  EXPECT_NE(p->WaitFor("ALARM: Detector 2-003", 10s), "");
  const auto alarms = Lines("alarms");
  EXPECT_EQ(Count(alarms, "1-005"), 1);
  EXPECT_EQ(Count(alarms, "2-003"), 1);
  EXPECT_TRUE(StatusBecomes(*p, "2-003", "2-003 status 0x1e faults 0x00"));
  EXPECT_TRUE(Quit(*p));
  // Nothing was simulated inside the program.
  EXPECT_EQ(home.Read("stderr.txt").find("Demo version"), std::string::npos);
}

TEST_F(LiveOnSimulator, ARemovedDeviceIsReportedFailedAndRecoversWhenRestored) {
  ASSERT_TRUE(StartSimulator({"--site", (home / "demo.cfg").string()}));
  p = StartHeadless(home.Path());
  ASSERT_TRUE(StatusBecomes(*p, "1-007", "1-007 status 0x00 faults 0x00"));

  ASSERT_TRUE(Simulate("remove 1-007"));
  // No fault bit with the fault flag: a communications failure.
  EXPECT_TRUE(StatusBecomes(*p, "1-007", "1-007 status 0x01 faults 0x00"));
  EXPECT_TRUE(StatusBecomes(*p, "1-006", "1-006 status 0x00 faults 0x00"));
  ASSERT_TRUE(Simulate("restore 1-007"));
  EXPECT_TRUE(StatusBecomes(*p, "1-007", "1-007 status 0x00 faults 0x00"));
  EXPECT_TRUE(Quit(*p));
}

TEST_F(LiveOnSimulator, FivePerCentLineNoiseLosesNoAlarmAndShowsInTheStatistics) {
  // The alarms come one by one on the noisy loop, each held until the end.
  const std::vector<std::string> fires{"1-002", "1-004", "1-006", "1-008", "1-010", "1-012"};
  {
    std::ofstream scenario(home / "noise.txt");
    scenario << "at 0 noise 1 5\n";
    for (std::size_t i = 0; i < fires.size(); ++i)
      scenario << "at " << 4 + 2 * i << " fire1 " << fires[i] << "\n";
    scenario << "at " << 4 + 2 * fires.size() << " time  # all fired by now\n";
  }
  ASSERT_TRUE(StartSimulator(
      {"--site", (home / "demo.cfg").string(), "--scenario", (home / "noise.txt").string()}));
  p = StartHeadless(home.Path());
  ASSERT_NE(sim->WaitFor(": time: time ", 60s), "");
  for (const auto& device : fires)
    EXPECT_TRUE(StatusBecomes(*p, device, device + " status 0x0e")) << device;

  // Every transition is in the system log. (A device that lost three
  // answers in a row to the noise is failed and comes back in fire 1, which
  // is recorded again.)
  const auto events = Lines("events 2000");
  for (const auto& device : fires) {
    int alarms = 0;
    for (const auto& l : events)
      alarms += l.find(device) != std::string::npos && l.find("Fire 1") != std::string::npos;
    EXPECT_GE(alarms, 1) << device;
  }
  // The lost answers show: fewer answers than polls on loop 1.
  unsigned polls = 0, answers = 0;
  for (const auto& l : Lines("stats"))
    if (std::sscanf(l.c_str(), "loop 1 polls %u answers %u", &polls, &answers) == 2) break;
  EXPECT_GT(polls, 0u);
  EXPECT_LT(answers, polls);
  sim->Send("stats");
  const std::string line = sim->WaitFor("loop 1 frames", 10s);
  unsigned long long frames = 0, simanswers = 0, garbled = 0;
  ASSERT_EQ(std::sscanf(line.c_str(), "loop 1 frames %llu answers %llu garbled %llu", &frames,
                        &simanswers, &garbled),
            3)
      << line;
  EXPECT_GT(garbled, 0u);
  EXPECT_TRUE(Quit(*p));
}

TEST_F(LiveOnSimulator, AStormOnTwoFullLoopsPutsEveryAlarmAndRecordInPlaceOnce) {
  TSiteConfig site;
  site.New();
  for (std::uint32_t loop = 0; loop < 2; ++loop)
    for (std::uint32_t a = 1; a <= 127; ++a)
      site.InsertDevice(DeviceConfig(loop * 256 + a, DETECTOR, PELORIN2000DETECTOR));
  ASSERT_TRUE(site.Save((home / "storm.cfg").string()));
  INIfile(home / "quillark.ini").WriteString("Site", "Site", "storm.cfg");
  ASSERT_TRUE(StartSimulator({"--loops", "2", "--detectors", "127"}));
  p = StartHeadless(home.Path());
  ASSERT_TRUE(Supervising(2));

  ASSERT_TRUE(Simulate("storm"));
  // Every detector's alarm reaches the program, and each command module's,
  // whose answer sums up its loop.
  std::map<std::string, int> shown;
  while (shown.size() < 2 * 127 + 2) {
    const std::string line = p->WaitFor("ALARM: Detector ", 60s);
    ASSERT_NE(line, "") << "after " << shown.size() << " alarms";
    ++shown[line.substr(line.find("ALARM: Detector ") + 16, 5)];
  }
  EXPECT_EQ(shown.size(), 256u);

  const auto alarms = Lines("alarms");
  const auto events = Lines("events 4000");
  // A loaded machine can make a device miss three polls; it is then failed,
  // and its alarm comes again when it answers. Only those may repeat.
  std::map<std::string, int> failed;
  for (const auto& l : p->lines)
    if (const auto at = l.find("FAULT: Detector ");
        at != std::string::npos && l.find("Comms failure") != std::string::npos)
      ++failed[l.substr(at + 16, 5)];
  for (int loop = 1; loop <= 2; ++loop)
    for (int a = 0; a <= 127; ++a) {
      char device[8];
      std::snprintf(device, sizeof device, "%d-%03d", loop, a);
      EXPECT_GE(shown[device], 1) << device;
      EXPECT_LE(shown[device], 1 + failed[device]) << device;
      EXPECT_EQ(Count(alarms, std::string(device) + " "), 1) << device;
      int records = 0;
      for (const auto& l : events)
        records += l.find(device) != std::string::npos && l.find("Fire 2") != std::string::npos;
      EXPECT_GE(records, 1) << device;
      EXPECT_LE(records, 1 + failed[device]) << device;
    }
  EXPECT_TRUE(Quit(*p));
}

TEST_F(LiveOnSimulator, TheSimulatorRefusesBadArgumentsSitesAndScenariosWithAReason) {
  {
    std::ofstream(home / "bad.txt") << "at 1 fire1 1-001\nat soon storm\n";
    std::ofstream(home / "junk.cfg") << std::string(64, '\0');
  }
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
      {{"--loops", "17"}, "bad option --loops 17"},
      {{"--baud"}, "--baud needs a value"},
      {{"--site", (home / "none.cfg").string()}, "cannot read the site"},
      {{"--site", (home / "junk.cfg").string()}, "cannot read the site"},
      {{"--scenario", (home / "bad.txt").string()}, "scenario line 2: bad time soon"},
  };
  for (const auto& [args, why] : cases) {
    std::vector<std::string> argv{QUILLARK_LOOPSIM};
    argv.insert(argv.end(), args.begin(), args.end());
    Process sim(argv, (home / "why.txt").string());
    EXPECT_EQ(sim.Wait(10s), 2) << why;
    EXPECT_NE(home.Read("why.txt").find(why), std::string::npos) << home.Read("why.txt");
  }
}

}  // namespace
}  // namespace quillark::test
