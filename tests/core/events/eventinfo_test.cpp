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
  const struct {
    const char* name;
    filetype type;
  } all[] = {{"x.rcw", FT_CHART},    {"x.rec", FT_OLDCHART}, {"x.cfg", FT_SITE},
             {"x.evt", FT_EVENT},    {"x.ilt", FT_LANGUAGE}, {"x.lgo", FT_LOGO},
             {"x.dfs", FT_DETFN},    {"x.pfs", FT_PSUFN},    {"x.cfs", FT_CMDFN},
             {"x.ev2", FT_SYSEVENT}, {"x.txt", FT_UNKNOWN}};
  for (const auto& t : all) EXPECT_EQ(GetExtensionType(t.name), t.type) << t.name;
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
  EXPECT_TRUE(info.GetShowCoverage());
  EXPECT_TRUE(info.GetShowFaultCoverage());
  EXPECT_FALSE(info.GetMapsMaximised());
  EXPECT_TRUE(info.GetShowFF());
  EXPECT_EQ(info.GetAlarmsInIsolate(), 0);
  const EventInfo::colour expected[] = {
      EventInfo::RGB(255, 221, 227), EventInfo::RGB(255, 196, 206), EventInfo::RGB(255, 132, 153),
      EventInfo::RGB(255, 70, 102),  EventInfo::RGB(255, 255, 0),   EventInfo::RGB(255, 255, 255),
      EventInfo::RGB(255, 221, 226), EventInfo::RGB(64, 64, 255)};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(info.GetEventColour(i), expected[i]) << i;
  EXPECT_EQ(EventInfo::RGB(64, 64, 255), 0xFF4040u);

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

}  // namespace
}  // namespace quillark
