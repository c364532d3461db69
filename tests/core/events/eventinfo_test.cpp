#include "core/events/eventinfo.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core/common/inifile.h"
#include "core/events/fileext.h"
#include "support/tempdir.h"

namespace quillark {
namespace {

TEST(FileType, ByLowerCasedExtensionOnFourCharacters) {
  EXPECT_EQ(GetExtensionType("site.CFG"), FT_SITE);
  EXPECT_EQ(GetExtensionType("system.ev2"), FT_SYSEVENT);
  EXPECT_EQ(GetExtensionType("system.ev"), FT_UNKNOWN);
  EXPECT_EQ(GetExtensionType("a.cf"), FT_UNKNOWN);
  EXPECT_EQ(GetExtensionType(".cfg"), FT_UNKNOWN);  // four characters: no name
  EXPECT_EQ(GetExtensionType("/home/op/.cfg"), FT_UNKNOWN);
  EXPECT_EQ(GetExtensionType("chart.rcwx"), FT_CHART);
  EXPECT_EQ(GetExtensionType("noextension"), FT_UNKNOWN);
  EXPECT_EQ(GetExtensionType("/sites/a.cfg/log"), FT_UNKNOWN);  // a dot in a folder
  EXPECT_EQ(GetExtensionType("C:\\logs\\dev.EVT"), FT_EVENT);
  EXPECT_EQ(GetExtensionType("x.pfs"), FT_PSUFN);
  EXPECT_EQ(GetExtensionType("x.txt"), FT_UNKNOWN);
}

TEST(FileType, ExtensionIntoBufferIsCutAndTerminated) {
  char buf[4];
  std::memset(buf, 'z', sizeof buf);
  GetExtension("Log.EV2", buf, sizeof buf);
  EXPECT_STREQ(buf, ".ev");
  GetExtension("plain", buf, sizeof buf);
  EXPECT_STREQ(buf, "");
  EXPECT_EQ(GetExtension("a.b.TXT"), ".txt");
}

TEST(EventInfo, DefaultsAndIndexedColours) {
  EventInfo info;
  // Indexes run aux, pre-alarm, fire 1, fire 2, fault, normal, first fire, isolated.
  EXPECT_EQ(info.GetEventColour(0), 0xE3DDFFu);
  EXPECT_EQ(info.GetEventColour(3), 0x6646FFu);
  EXPECT_EQ(info.GetEventColour(5), 0xFFFFFFu);
  EXPECT_EQ(info.GetEventColour(7), 0xFF4040u);

  // Out of range reads as the fault colour and is never written.
  info.SetEventColour(8, 1);
  info.SetEventColour(-1, 1);
  EXPECT_EQ(info.GetEventColour(8), info.GetFaultColour());
  EXPECT_EQ(info.GetEventColour(-1), EventInfo::RGB(255, 255, 0));
  info.SetEventColour(EventInfo::EC_ISOLATED, 7);
  EXPECT_EQ(info.GetIsolatedColour(), 7u);
}

TEST(EventInfo, OptionsFromSettings) {
  test::TempDir home;
  INIfile ini(home / "quillark.ini");
  ini.WriteString("Options", "colour3", "255,0,0");
  ini.WriteString("Options", "colour0", "256,257,-1");  // each part one byte
  ini.WriteString("Options", "colour1", "12,x,4");      // unreadable: built-in kept
  ini.WriteString("Options", "ShowCoverage", "0");
  ini.WriteString("Options", "ShowFirstFireIndication", "0");
  ini.WriteString("Options", "MapsMaximised", "1");
  ini.WriteString("Options", "AlarmsInIsolate", "1");
  EventInfo info;
  info.LoadOptions(ini);
  EXPECT_EQ(info.GetFire2Colour(), 255u);
  EXPECT_EQ(info.GetAuxColour(), EventInfo::RGB(0, 1, 255));
  EXPECT_EQ(info.GetPreAlarmColour(), EventInfo::RGB(255, 196, 206));
  EXPECT_FALSE(info.GetShowCoverage());
  EXPECT_TRUE(info.GetShowFaultCoverage());
  EXPECT_FALSE(info.GetShowFF());
  EXPECT_TRUE(info.GetMapsMaximised());
  EXPECT_EQ(info.GetAlarmsInIsolate(), 1);
}

TEST(EventColourContrast, TextOnEveryColourReadsAtFourAndAHalfToOne) {
  using C = EventInfo;
  EXPECT_NEAR(C::ContrastRatio(C::RGB(0, 0, 0), C::RGB(255, 255, 255)), 21.0, 1e-9);
  EXPECT_NEAR(C::ContrastRatio(C::RGB(10, 20, 30), C::RGB(10, 20, 30)), 1.0, 1e-9);

  // The default isolated blue takes white text; the light ones keep black.
  const EventInfo defaults;
  EXPECT_EQ(C::ReadableTextOn(defaults.GetIsolatedColour()), C::RGB(255, 255, 255));
  EXPECT_EQ(C::ReadableTextOn(defaults.GetFaultColour()), C::RGB(0, 0, 0));
  EXPECT_EQ(C::ReadableTextOn(defaults.GetNormalColour()), C::RGB(0, 0, 0));

  // Whatever colour is configured, including the mid greys where neither
  // black nor white does well.
  for (int i = 0; i < EventInfo::EC_COUNT; ++i) {
    const C::colour bg = defaults.GetEventColour(i);
    EXPECT_GE(C::ContrastRatio(C::ReadableTextOn(bg), bg), 4.5) << i;
  }
  for (int r = 0; r < 256; r += 17)
    for (int g = 0; g < 256; g += 17)
      for (int b = 0; b < 256; b += 17) {
        const C::colour bg = C::RGB(r, g, b);
        ASSERT_GE(C::ContrastRatio(C::ReadableTextOn(bg), bg), 4.5) << r << "," << g << "," << b;
      }
}

}  // namespace
}  // namespace quillark
