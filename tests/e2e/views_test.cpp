// The display words of the headless program on the demo site: a detector's
// histogram and chart log read over the simulated loop, and the site maps.
#include <gtest/gtest.h>

#include <cstdio>

#include "console.h"
#include "process.h"
#include "support/tempdir.h"

namespace quillark::test {
namespace {

using namespace std::chrono_literals;

std::string Le(unsigned value, int bytes) {
  std::string s;
  for (int i = 0; i < bytes; ++i) s += static_cast<char>((value >> (8 * i)) & 0xFF);
  return s;
}

TEST(HeadlessViews, ChartAndHistogramOfTheSelectedDetector) {
  TempDir home;
  CopyDemoHome(home.Path());
  auto p = StartHeadless(home.Path());
  ASSERT_TRUE(Answers(*p, "logon Engineer", "logged on as Engineer"));
  ASSERT_TRUE(Answers(*p, "select 1-005", "selected 1-005"));

  p->Send("chart out.rcw");
  const std::string figures = p->WaitFor("1-005 chart:", 20s);
  ASSERT_NE(figures, "");
  int detectors = 0, period = 0;
  std::size_t each = 0;
  ASSERT_EQ(std::sscanf(figures.c_str(), "1-005 chart: %d detector", &detectors), 1) << figures;
  ASSERT_NE(figures.find(", "), std::string::npos) << figures;
  ASSERT_EQ(std::sscanf(figures.c_str() + figures.find(", ") + 2,
                        "%zu samples each, sampling every %d s", &each, &period),
            2)
      << figures;
  const std::string last = p->WaitFor("last sample", 5s);
  unsigned day, month, year, hour, minute, second;
  ASSERT_EQ(std::sscanf(last.c_str(), "last sample %u/%u/%u %u:%u:%u", &day, &month, &year, &hour,
                        &minute, &second),
            6)
      << last;
  ASSERT_NE(p->WaitFor("saved to", 5s), "");
  const std::string file = home.Read("out.rcw");
  const std::size_t samples = each * static_cast<std::size_t>(detectors);
  ASSERT_EQ(file.size(), 22 + 4 * samples);
  // Magic, version, length, detectors, the device less one, period, time.
  const std::string header =
      Le(0x12345678, 4) + Le(1, 2) + Le(static_cast<unsigned>(samples), 4) +
      Le(static_cast<unsigned>(detectors), 2) + Le(0x005 - 1, 2) +
      Le(static_cast<unsigned>(period), 2) +
      std::string{static_cast<char>(day),  static_cast<char>(month),  static_cast<char>(year),
                  static_cast<char>(hour), static_cast<char>(minute), static_cast<char>(second)};
  EXPECT_EQ(file.substr(0, 22), header);

  // The same chart as text, by the name's ending.
  ASSERT_TRUE(Answers(*p, "chart out.csv", "saved to"));
  EXPECT_NE(home.Read("out.csv").find("\r\n"), std::string::npos);

  p->Send("histogram");
  ASSERT_NE(p->WaitFor("1-005 histogram:", 20s), "");
  const std::string thresholds = p->WaitFor("thresholds fire2", 5s);
  EXPECT_NE(thresholds.find(" fire1 "), std::string::npos) << thresholds;
  EXPECT_NE(thresholds.find('%'), std::string::npos) << thresholds;

  // Without a detector selected there is nothing to read.
  ASSERT_TRUE(Answers(*p, "select cm 1", "selected"));
  ASSERT_TRUE(Answers(*p, "histogram", "refused"));
  EXPECT_TRUE(Quit(*p));
}

TEST(HeadlessViews, MapsListEveryPlacedDeviceWithItsRank) {
  TempDir home;
  CopyDemoHome(home.Path());
  auto p = StartHeadless(home.Path());
  ASSERT_TRUE(Answers(*p, "select 2-003", "selected 2-003"));
  ASSERT_TRUE(Answers(*p, "fire2", "ok"));
  p->Send("maps");
  EXPECT_NE(p->WaitFor("Site map (site, site.bmp):", 5s), "");
  EXPECT_NE(p->WaitFor("Loop 1 map (loop, loop1.bmp):", 5s), "");
  const std::string first = p->WaitFor("  1-001 at (120,150) ", 5s);
  EXPECT_NE(first.find(" area (102,132)-(170,200)"), std::string::npos) << first;
  EXPECT_NE(p->WaitFor("Zone map for zone 1 (zone, zone1.bmp):", 5s), "");
  // The fire shows on the maps once the alarm display has it.
  bool fire = false;
  for (int i = 0; i < 50 && !fire; ++i) {
    p->Send("maps");
    fire = p->WaitFor("2-003 at (660,150) fire 2", 1s) != "";
  }
  EXPECT_TRUE(fire);
  EXPECT_TRUE(Quit(*p));
}

}  // namespace
}  // namespace quillark::test
