#include "core/views/chart.h"

#include <gtest/gtest.h>

#include <string>

#include "core/access/translator.h"
#include "support/frames.h"
#include "support/tempdir.h"

namespace quillark::test {
namespace {

// The demonstration loop's chart answer (95 samples announced, 100 sent), as
// a device on address 5 sends it.
std::string DemoChart() {
  std::string body =
      "<\x85"
      "C190010004b01206630c252c";
  for (int i = 0; i < 100; ++i) body += "430d";
  return WithSum(body);
}

Chart ThreeDetectors(int device) {
  Chart c;
  c.detectors = 3;
  c.samplingperiod = 6;
  c.timedate = {18, 6, 99, 12, 37, 44};
  c.device = device;
  for (int i = 0; i < 30; ++i)
    c.samples.push_back(
        {static_cast<std::uint8_t>(i == 4 ? 255 : i), static_cast<std::uint8_t>(2 * i)});
  return c;
}

TEST(Chart, TheDemonstrationAnswerDecodesWithItsTimesAndRate) {
  Chart c;
  ASSERT_TRUE(DecodeChartAnswer(DemoChart() + "\r", 0x105, c));
  EXPECT_EQ(c.samples.size(), 95u);
  EXPECT_EQ(c.DetectorCount(), 1);
  EXPECT_EQ(c.samplingperiod, 1200u);
  EXPECT_EQ(c.timedate, (ChartTimeDate{18, 6, 99, 12, 37, 44}));
  EXPECT_EQ(c.device, 0x105);
  EXPECT_EQ(c.samples[0], (ChartSample{0x43 * 200 / 255, 0x0d * 200 / 255}));
  // Sample k was taken (n - k) periods before the last.
  EXPECT_EQ(c.SampleTime(95), c.timedate);
  EXPECT_EQ(c.SampleTime(92), (ChartTimeDate{18, 6, 99, 11, 37, 44}));
  EXPECT_EQ(ChartRateText(6), "1 MIN");
  EXPECT_EQ(ChartRateText(3), "30 SEC");
  EXPECT_EQ(ChartRateText(0), "NO REC");
  // The window's readout follows the language; the files keep English.
  Translator german(nullptr, nullptr);
  german.SetLanguage(4);
  EXPECT_EQ(ChartRateText(3, &german), "30 SEK");
  EXPECT_EQ(ChartRateText(0, &german), "KEINE AUFZ.");
  EXPECT_NE(ChartCsv(c).find("Recording rate/div: 200 MIN\r\n"), std::string::npos);
  german.SetLanguage(0);
  // Years: 69 is 2069, 70 is 1970.
  c.timedate.year = 69;
  EXPECT_EQ(c.SampleTime(95).year, 69);
  const std::time_t t69 = c.EndTime();
  c.timedate.year = 70;
  EXPECT_GT(t69, c.EndTime());
  EXPECT_EQ(c.SampleTime(95).year, 70);
}

TEST(Chart, ShortOrForeignAnswersAreRefusedAndFlowsDoubled) {
  Chart held = ThreeDetectors(0x105);
  Chart c = held;
  const std::string demo = DemoChart();
  EXPECT_FALSE(DecodeChartAnswer(demo.substr(0, 300), 0x105, c));  // fewer than 95 samples
  EXPECT_FALSE(DecodeChartAnswer(WithSum("<\x85H0a6200"), 0x105, c));
  EXPECT_FALSE(DecodeChartAnswer(WithSum("<\x85"
                                         "C19"),
                                 0x105, c));
  EXPECT_EQ(c.samples, held.samples);
  // Two detectors, the second shown, flow rates: the group starts one lower.
  std::string flow =
      "<\x86"
      "C01c820100010102030405066e10ff20";
  ASSERT_TRUE(DecodeChartAnswer(WithSum(flow), 0x106, c));
  EXPECT_TRUE(c.IsFlowRate());
  EXPECT_EQ(c.DetectorCount(), 2);
  EXPECT_EQ(c.device, 0x105);
  ASSERT_EQ(c.samples.size(), 2u);
  EXPECT_EQ(c.samples[0].alarm, 0xdc);
  EXPECT_EQ(c.samples[1].alarm, 254);  // 0xff doubled would wrap: the most there is
}

TEST(Chart, FilesKeepEverySampleAndTheGroupOnLoopOne) {
  TempDir dir;
  const Chart c = ThreeDetectors(5);
  ASSERT_EQ(SaveChart(dir / "a.rcw", c), ChartFileResult::OK);
  const std::string bytes = dir.Read("a.rcw");
  ASSERT_EQ(bytes.size(), 22u + 30 * 4);
  // Little-endian, byte for byte: magic, version, length, detectors, device - 1.
  EXPECT_EQ(bytes.substr(0, 16),
            std::string("\x78\x56\x34\x12\x01\x00\x1e\x00\x00\x00\x03\x00\x04\x00\x06\x00", 16));
  EXPECT_EQ(bytes.substr(16, 6), std::string("\x12\x06\x63\x0c\x25\x2c", 6));
  EXPECT_EQ(bytes.substr(22 + 4 * 4, 4), std::string("\xff\x00\x08\x00", 4));
  Chart back;
  ASSERT_EQ(LoadChart(dir / "a.rcw", back), ChartFileResult::OK);
  EXPECT_EQ(back.samples, c.samples);
  EXPECT_EQ(back.DetectorCount(), 3);
  EXPECT_EQ(back.device, 5);
  // Beyond the first loop only the address comes back.
  ASSERT_EQ(SaveChart(dir / "b.rcw", ThreeDetectors(0x205)), ChartFileResult::OK);
  ASSERT_EQ(LoadChart(dir / "b.rcw", back), ChartFileResult::OK);
  EXPECT_EQ(back.device, 5);
  // The older format keeps the shown index and leaves the device alone.
  Chart old = ThreeDetectors(0x205);
  old.shown = 2;
  ASSERT_EQ(SaveChart(dir / "c.REC", old), ChartFileResult::OK);
  EXPECT_EQ(dir.Read("c.REC").size(), 12u + 30 * 4);
  back.device = 77;
  ASSERT_EQ(LoadChart(dir / "c.REC", back), ChartFileResult::OK);
  EXPECT_EQ(back.shown, 2);
  EXPECT_EQ(back.device, 77);
  EXPECT_EQ(back.samples, old.samples);
  // A name without a known ending still gives a file that opens again.
  ASSERT_EQ(SaveChart(dir / "d.chart", c), ChartFileResult::OK);
  ASSERT_EQ(LoadChart(dir / "d.chart", back), ChartFileResult::OK);
  EXPECT_EQ(back.samples, c.samples);
}

TEST(Chart, DamagedFilesSayWhatIsWrongAndLeaveAnEmptyChart) {
  TempDir dir;
  Chart c = ThreeDetectors(5);
  const std::string good = ChartFileBytes(c, false);
  auto load = [&](const std::string& name, const std::string& bytes) {
    dir.Write(name, bytes);
    c = ThreeDetectors(5);
    const ChartFileResult r = LoadChart(dir / name, c);
    if (r != ChartFileResult::OK) {
      EXPECT_TRUE(c.samples.empty()) << name;
    }
    return r;
  };
  EXPECT_EQ(LoadChart(dir / "missing.rcw", c), ChartFileResult::CANNOTLOAD);
  EXPECT_EQ(load("short.rec", std::string(11, '\0')), ChartFileResult::READERROR);
  EXPECT_EQ(load("short.rcw", good.substr(0, 21)), ChartFileResult::READERROR);
  std::string magic = good;
  magic[0] = 0;
  EXPECT_EQ(load("magic.rcw", magic), ChartFileResult::BADFORMAT);
  std::string both = magic;
  both[4] = 2;
  EXPECT_EQ(load("both.rcw", both), ChartFileResult::BADVERSION);  // the version wins
  std::string big = good;
  big[6] = static_cast<char>(0xb1);  // 14001 samples
  big[7] = 0x36;
  EXPECT_EQ(load("big.rcw", big), ChartFileResult::TOOBIG);
  EXPECT_EQ(load("cut.rcw", good.substr(0, good.size() - 1)), ChartFileResult::READERROR);
  EXPECT_EQ(ChartFileEnglish(ChartFileResult::TOOBIG), std::string("Chart too big to load."));
  EXPECT_EQ(ChartFileTextId(ChartFileResult::WRITEERROR), 52100);
  // A folder that does not exist: nothing is written.
  EXPECT_EQ(SaveChart(dir / "no" / "x.rcw", c), ChartFileResult::CANNOTSAVE);
}

TEST(Chart, CsvListsTheShownDetectorsSamplesWithTheirTimes) {
  Chart c = ThreeDetectors(5);
  c.shown = 1;
  const std::string csv = ChartCsv(c);
  EXPECT_EQ(csv.substr(0, csv.find("\r\n\r\n") + 4),
            "Chart recording\r\n"
            "Trace start: 18/06/99, 12:36:44\r\n"
            "Trace end: 18/06/99, 12:37:44\r\n"
            "Recording rate/div: 1 MIN\r\n\r\n");
  // Samples 1, 4, 7, ...: detector level, then alarm level, each halved.
  EXPECT_NE(csv.find("\r\n18/06/99, 12:36:44, 1, 0\r\n18/06/99, 12:36:50, 4, 127\r\n"),
            std::string::npos);
  std::size_t lines = 0;
  for (char ch : csv) lines += ch == '\n';
  EXPECT_EQ(lines, 5u + 10u);
}

ChartTimeDate FixedLocal(std::time_t t) {
  return {1, 1, 26, 0, 0, static_cast<std::uint8_t>(t % 60)};
}

TEST(Chart, RealTimeAppendsOneSamplePerDetectorPerPeriodAndKeepsTheNewest) {
  Chart c;
  c.detectors = 2;
  c.samplingperiod = 1;
  c.device = 0x105;
  c.samples.assign(Chart::CAPACITY - 2, ChartSample{10, 10});
  RealTimeChart live(c);
  live.ChartRead(1000);
  EXPECT_FALSE(live.Tick(1000, FixedLocal));
  live.Level(0x105, 255);
  live.Level(0x106, 51);
  live.Level(0x107, 99);  // not of this group
  EXPECT_TRUE(live.Tick(1001, FixedLocal));
  ASSERT_EQ(c.samples.size(), Chart::CAPACITY);
  EXPECT_EQ(c.samples[Chart::CAPACITY - 2], (ChartSample{255, 200}));
  EXPECT_EQ(c.samples[Chart::CAPACITY - 1], (ChartSample{255, 40}));
  EXPECT_EQ(c.timedate.second, 1001 % 60);
  // Full: each new pair pushes the oldest pair out.
  c.samples[0] = {1, 1};
  c.samples[2] = {3, 3};
  EXPECT_TRUE(live.Tick(1002, FixedLocal));
  EXPECT_EQ(c.samples.size(), Chart::CAPACITY);
  EXPECT_EQ(c.samples[0], (ChartSample{3, 3}));
  // Over a long period the highest level of the period is kept.
  c.samplingperiod = 10;
  c.samples.resize(2);
  live.ChartRead(2000);
  live.Level(0x105, 100);
  live.Level(0x105, 20);
  EXPECT_TRUE(live.Tick(2010, FixedLocal));
  EXPECT_EQ(c.samples[2].level, 100 * 200 / 255);
}

}  // namespace
}  // namespace quillark::test
