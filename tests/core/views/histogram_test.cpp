#include "core/views/histogram.h"

#include <gtest/gtest.h>

#include <string>

#include "support/frames.h"

namespace quillark::test {
namespace {

// The demonstration loop's histogram answer, from address 5, as received.
const std::string DEMO = WithSum(
    "<\x85H0a620020025004e00070e0644b7d0d0100000000000005c03a000000000000000000000000000000000000"
    "0000000000000000012080c5802000000000000000000000000000000000000000000000000");

TEST(Histogram, TheDemonstrationAnswerGivesTheFiguresItShows) {
  HistogramAnswer a;
  ASSERT_EQ(DecodeHistogram(DEMO + "\r", a), HistogramDecode::OK);
  EXPECT_EQ(a.detector, 5);
  EXPECT_EQ(a.classes, 32);
  EXPECT_EQ(a.classwidth, 2);
  EXPECT_DOUBLE_EQ(HistogramText::Sensitivity(a.obscuration, 0), 0.37);
  EXPECT_EQ(a.mean, 1248u);
  EXPECT_EQ(HistogramText::Hundredths(a.mean), "4.89%");
  EXPECT_EQ(HistogramText::Threshold(a.fire2), "87.84%");
  EXPECT_EQ(HistogramText::Threshold(a.fire), "39.22%");
  EXPECT_EQ(HistogramText::Threshold(a.prealarm), "29.41%");
  EXPECT_EQ(HistogramText::Threshold(a.aux), "49.02%");
  EXPECT_EQ(HistogramText::Level(a.adlevel), "5.1%");
  EXPECT_EQ(HistogramText::FastLearn(a.fastlearn), "   OFF");
  EXPECT_EQ(HistogramText::FastLearn(3), " ON: 3");
  EXPECT_EQ(a.alarmfactor, 1u);
  EXPECT_NE(a.period, 1);  // day
  EXPECT_TRUE(a.IsValidFor(5));
  EXPECT_FALSE(a.IsValidFor(6));  // another device's answer is not drawn
  EXPECT_EQ(a.fast[6], 0x05u);
  EXPECT_EQ(a.fast[7], 0xc0u);
  EXPECT_EQ(a.fast[8], 0x3au);
  EXPECT_EQ(a.slow[6], 0xc5u);
  EXPECT_EQ(a.slow[31], 0u);
  // An answer cut short: the counts it lacks are empty, and the check sum
  // after it is never read as a count.
  const std::string body = DEMO.substr(0, DEMO.size() - 2);
  HistogramAnswer cut;
  ASSERT_EQ(DecodeHistogram(WithSum(body.substr(0, 6 + 29 + 64 + 11)), cut), HistogramDecode::OK);
  EXPECT_EQ(cut.slow[4], 0x20u);
  EXPECT_EQ(cut.slow[5], 0u);
  EXPECT_EQ(cut.slow[6], 0u);
  // English-US shows the sensitivity per foot.
  EXPECT_NEAR(HistogramText::Sensitivity(a.obscuration, 11), 0.37 * 0.3048780487804878, 1e-12);
}

TEST(Histogram, RefusedAnswersLeaveTheHeldOneAlone) {
  HistogramAnswer held;
  ASSERT_EQ(DecodeHistogram(DEMO, held), HistogramDecode::OK);
  HistogramAnswer a = held;
  std::string many = DEMO;
  many.replace(6, 2, "41");  // 65 classes
  EXPECT_EQ(DecodeHistogram(many, a), HistogramDecode::TOOMANYCLASSES);
  EXPECT_EQ(DecodeHistogram(WithSum("<\x85H0a62002"), a), HistogramDecode::SHORT);
  std::string upper = DEMO;
  upper[10] = 'F';  // the hex reader would take it for a wrong digit
  EXPECT_EQ(DecodeHistogram(upper, a), HistogramDecode::SHORT);
  EXPECT_EQ(DecodeHistogram(WithSum("<\x85"
                                    "E0460f"),
                            a),
            HistogramDecode::NOTHISTOGRAM);
  EXPECT_EQ(a.mean, held.mean);
  EXPECT_EQ(a.fast, held.fast);
  // Figures beyond what a detector reports are kept but not drawn.
  a.fastlearn = 16;
  EXPECT_FALSE(a.IsValidFor(5));
  a = held;
  a.mean = 25501;
  EXPECT_FALSE(a.IsValidFor(5));
}

TEST(Histogram, ZeroFireTwoShowsDashesAndBarsScaleTogether) {
  EXPECT_EQ(HistogramText::Threshold(0), "--");
  HistogramAnswer a;
  a.classes = 3;
  a.fast = {10, 0, 5};
  a.slow = {20, 1, 0};
  const auto bars = HistogramGeometry::ScaleBars(a);
  const int area = HistogramGeometry::YORG - HistogramGeometry::YTOP;
  EXPECT_EQ(bars.slow[0], area);  // the tallest of either fills the area
  EXPECT_EQ(bars.fast[0], 127 * area / 255);
  EXPECT_EQ(bars.fast[1], 2 * area / 255);  // an empty class still shows
  EXPECT_EQ(bars.fast[5], 0);               // beyond the classes: nothing
  // All empty: no division by zero.
  a.fast = {};
  a.slow = {};
  EXPECT_EQ(HistogramGeometry::ScaleBars(a).fast[0], 2 * area / 255);
}

TEST(Histogram, BarGraphPutsFireOneOnSegmentEightAndColoursTheThresholds) {
  HistogramAnswer a;
  ASSERT_EQ(DecodeHistogram(DEMO, a), HistogramDecode::OK);
  const auto segments = HistogramGeometry::BarGraph(a);
  using S = HistogramGeometry::Segment;
  EXPECT_EQ(segments[7], S::RED);  // the eighth segment, counted from 1
  int reds = 0, oranges = 0, yellows = 0;
  for (S s : segments) {
    reds += s == S::RED;
    oranges += s == S::ORANGE;
    yellows += s == S::YELLOW;
  }
  EXPECT_EQ(reds, 1);
  EXPECT_EQ(oranges, 1);
  EXPECT_EQ(yellows, 1);
  // A Fire 1 at the mean gives no scale: no segment claims a threshold.
  a.fire = a.mean / 100;
  a.mean = a.fire * 100;
  for (S s : HistogramGeometry::BarGraph(a)) EXPECT_EQ(s, S::GREY);
  // Nor does the sensitivity panel divide by a Fire 1 at the mean.
  a.mean = a.fire * 255;
  const auto panel = SensitivityPanel(a, 0);
  EXPECT_EQ(panel.prealarm, 0.0);
}

TEST(HistogramTimer, WatchesStopAtTheirThresholdsAndAllAtTheLimit) {
  HistogramAnswer a;
  a.fire2 = 200;
  a.fire = 100;
  a.prealarm = 60;
  a.aux = 150;
  HistogramTimer t;
  EXPECT_TRUE(t.AllStopped());
  t.Toggle(1000);
  EXPECT_FALSE(t.AllStopped());
  a.adlevel = 70;
  t.Answer(a, 13500);
  EXPECT_TRUE(t.IsStopped(HistogramTimer::PREALARM));
  EXPECT_FALSE(t.IsStopped(HistogramTimer::FIRE1));
  EXPECT_EQ(t.Text(HistogramTimer::PREALARM, 99000), "00:12");
  EXPECT_EQ(t.Text(HistogramTimer::FIRE1, 62000), "01:01");
  a.adlevel = 160;
  t.Answer(a, 75000);
  EXPECT_TRUE(t.IsStopped(HistogramTimer::FIRE1) && t.IsStopped(HistogramTimer::AUX));
  EXPECT_FALSE(t.IsStopped(HistogramTimer::FIRE2));
  // Fire 2 never comes: at 600 s every watch stops.
  t.Tick(601000);
  EXPECT_TRUE(t.AllStopped());
  EXPECT_EQ(t.Text(HistogramTimer::FIRE2, 900000), "10:00");
  EXPECT_EQ(t.Text(HistogramTimer::PREALARM, 900000), "00:12");
  // The button again: all start from 0.
  t.Toggle(900000);
  EXPECT_EQ(t.Text(HistogramTimer::PREALARM, 905000), "00:05");
  t.Toggle(906000);  // and stops them where they are
  EXPECT_TRUE(t.AllStopped());
  EXPECT_EQ(t.Text(HistogramTimer::AUX, 999000), "00:06");
}

}  // namespace
}  // namespace quillark::test
