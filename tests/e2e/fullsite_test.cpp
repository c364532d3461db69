// The real program, headless, supervising a full site: 16 loops of 127
// detectors, every loop walked on its own.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "console.h"
#include "core/common/inifile.h"
#include "core/site/config.h"
#include "process.h"
#include "support/tempdir.h"

namespace quillark::test {
namespace {

using namespace std::chrono_literals;

class FullSite : public ::testing::Test {
 protected:
  FullSite() {
    CopyDemoHome(home.Path());
    TSiteConfig site;
    site.New();
    for (std::uint32_t loop = 0; loop < 16; ++loop)
      for (std::uint32_t a = 1; a <= 127; ++a)
        site.InsertDevice(DeviceConfig(loop * 256 + a, DETECTOR, PELORIN2000DETECTOR));
    EXPECT_TRUE(site.Save((home / "full.cfg").string()));
    INIfile ini(home / "quillark.ini");
    ini.WriteString("Comm", "Loops", "16");
    ini.WriteString("Site", "Site", "full.cfg");
  }
  TempDir home;
};

// The cycle of loop `loop` (1-based) from "stats"; 0 until one walk is complete.
unsigned LoopCycle(Process& p, int loop) {
  p.Send("stats");
  const std::string line = p.WaitFor("loop " + std::to_string(loop) + " polls ", 10s);
  unsigned polls = 0, answers = 0, cycle = 0;
  int n = 0;
  if (std::sscanf(line.c_str(), "loop %d polls %u answers %u cycle %u ms", &n, &polls, &answers,
                  &cycle) != 4)
    return 0;
  return cycle;
}

TEST_F(FullSite, FireOnTheFirstMiddleAndLastLoopIsAnnouncedWellWithinTenSeconds) {
  auto p = StartHeadless(home.Path());
  // Supervising: the last loop has been walked once.
  bool walked = false;
  for (int i = 0; i < 300 && !walked; ++i) {
    walked = LoopCycle(*p, 16) > 0;
    if (!walked) std::this_thread::sleep_for(100ms);
  }
  ASSERT_TRUE(walked);

  // One poll at a time across the site takes about 21 s to come round to a
  // device; a loop of its own, about 1.3 s. Ten seconds is what a fire code
  // allows for showing an alarm.
  for (const char* device : {"1-017", "8-064", "16-127"}) {
    ASSERT_TRUE(Answers(*p, std::string("select ") + device, "selected"));
    ASSERT_TRUE(Answers(*p, "fire1", "ok"));
    EXPECT_NE(p->WaitFor(std::string("ALARM: Detector ") + device, 10s), "") << device;
  }
  // Every loop keeps its own statistics.
  for (int loop = 1; loop <= 16; ++loop) EXPECT_GT(LoopCycle(*p, loop), 0u) << loop;
  EXPECT_TRUE(Quit(*p));
}

}  // namespace
}  // namespace quillark::test
