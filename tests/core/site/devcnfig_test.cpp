#include "core/site/devcnfig.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace quillark {
namespace {

constexpr std::int32_t ALLBITS[8] = {0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x800, 0x01};

std::string Line(const DeviceConfig& d) {
  std::ostringstream out;
  out << d;
  return out.str();
}

// An entry with every field different from its default and from each other.
DeviceConfig Everything() {
  DeviceConfig d(0x305, DETECTOR, PELORINLUMO);
  d.SetParentAddress(0x301);
  d.SetParentType(BUSCONTROLLER);
  d.SetLocation("Hall 2");
  d.SetMap("hall.bmp");
  d.SetMapXY({1, 2});
  d.SetSiteXY({3, -4});
  d.SetLoopXY({5, 6});
  d.SetZone(7);
  d.SetZoneXY({8, 9});
  d.SetFaultMask(0xA5);
  for (std::int32_t bit : ALLBITS) {
    d.SetEventSound(bit, "s" + std::to_string(bit) + ".wav");
    d.SetEventText(bit, "t" + std::to_string(bit));
  }
  d.SetInput1Mask(1);
  d.SetInput2Mask(30000);
  d.SetSiteorLoopCoverageArea({10, 11, -12, 13});
  d.SetZoneCoverageArea({14, 15, 16, 17});
  d.SetDeviceCoverageArea({-18, 19, 20, 21});
  return d;
}

TEST(DeviceConfig, FreshDetectorLine) {
  const DeviceConfig d(261, DETECTOR, UNKNOWN);
  EXPECT_EQ(Line(d),
            "261,2,0,4294967295,-1,,,(0,0),(0,0),(0,0),0,(0,0),0,,,,,,,,,,,,,,,,,0,0,"
            "(50,0-0,0),(50,0-0,0),(0,0-0,0)");
  EXPECT_EQ(d.GetSamplingRadius(), 50);
  EXPECT_EQ(d.GetLoop(), 1u);
  EXPECT_EQ(d.GetDeviceNumber(), 261);
  EXPECT_EQ(DeviceConfig(513, BUSCONTROLLER, PCBUSMASTER).GetDeviceNumber(), 512);
}

TEST(DeviceConfig, FieldsAreWrittenInFileOrder) {
  EXPECT_EQ(Line(Everything()),
            "773,2,11,769,0,Hall 2,hall.bmp,(1,2),(3,-4),(5,6),7,(8,9),165,"
            "s64.wav,s32.wav,s16.wav,s8.wav,s4.wav,s2.wav,s2048.wav,s1.wav,"
            "t64,t32,t16,t8,t4,t2,t2048,t1,1,30000,(10,11--12,13),(14,15-16,17),(-18,19-20,21)");
}

TEST(DeviceConfig, LineRoundTrip) {
  // A zone (negative type) with no texts at all reads back with none, over an
  // entry that had some.
  const DeviceConfig original = Everything();
  const DeviceConfig zone(5, ZONE, UNKNOWN);
  std::istringstream in(Line(original) + "\r\n" + Line(zone) + "\r\n");
  DeviceConfig a, b = Everything();
  ASSERT_TRUE(a.Read(in));
  ASSERT_TRUE(b.Read(in));
  EXPECT_TRUE(a.Equ(original));
  EXPECT_EQ(b, zone);
  EXPECT_TRUE(b.GetLocation().empty());
  EXPECT_TRUE(b.GetEventText(0x800).empty());
  DeviceConfig c;
  EXPECT_FALSE(c.Read(in));  // nothing left
  EXPECT_TRUE(in.fail());
}

TEST(DeviceConfig, RejectedLinesLeaveTheEntryUnchanged) {
  const std::string good = Line(Everything());
  const std::string bad[] = {
      // type above DEVICE
      "261,4,0,4294967295,-1,,,(0,0),(0,0),(0,0),0,(0,0),0,,,,,,,,,,,,,,,,,0,0,(50,0-0,0)",
      // a separator that is not a comma
      "261;2,0,4294967295,-1,,,(0,0),(0,0),(0,0),0,(0,0),0,,,,,,,,,,,,,,,,,0,0,(50,0-0,0)",
      // one text too few
      "261,2,0,4294967295,-1,,,(0,0),(0,0),(0,0),0,(0,0),0,,,,,,,,,,,,,,,,0,0,(50,0-0,0)",
      // a number out of range
      "261,2,0,4294967296,-1,,,(0,0),(0,0),(0,0),0,(0,0),0,,,,,,,,,,,,,,,,,0,0,(50,0-0,0)",
      // a broken point
      "261,2,0,4294967295,-1,,,(0;0),(0,0),(0,0),0,(0,0),0,,,,,,,,,,,,,,,,,0,0,(50,0-0,0)",
      // cut short
      good.substr(0, good.size() / 2),
      "",
      "x",
  };
  for (const std::string& text : bad) {
    std::istringstream in(text);
    DeviceConfig d = Everything();
    EXPECT_FALSE(d.Read(in)) << text;
    EXPECT_TRUE(in.fail());
    EXPECT_EQ(d, Everything()) << text;
  }
}

TEST(DeviceConfig, UnreadableTailKeepsTheEntryButFailsTheStream) {
  std::istringstream in(
      "261,2,0,4294967295,-1,,,(0,0),(0,0),(0,0),0,(0,0),0,,,,,,,,,,,,,,,,,0,0,(9,0-0,0),(1,2\r\n");
  DeviceConfig d;
  EXPECT_TRUE(d.Read(in));
  EXPECT_TRUE(in.fail());
  EXPECT_EQ(d.GetAddress(), 261u);
  EXPECT_EQ(d.GetZoneCoverageArea(), (DeviceConfig::Rect{9, 0, 0, 0}));
}

TEST(DeviceConfig, TextsNeverHoldCommasOrLineEnds) {
  DeviceConfig d(1, DETECTOR, UNKNOWN);
  d.SetLocation("Room 3, first floor\r\nnorth");
  EXPECT_EQ(d.GetLocation(), "Room 3; first floor  north");
  d.SetEventText(0x10, std::string("a\0b", 3));
  EXPECT_EQ(d.GetEventText(0x10), "a b");
  d.SetMap(nullptr);
  EXPECT_TRUE(d.GetMap().empty());

  // A text longer than a reader takes back is cut, never inside a character.
  d.SetLocation(std::string(600, 'x'));
  EXPECT_EQ(d.GetLocation().size(), DeviceConfig::MAXTEXT);
  d.SetLocation(std::string(510, 'x') + "\xC3\xA9" + "tail");
  EXPECT_EQ(d.GetLocation(), std::string(510, 'x'));

  // Whatever was stored reads back as it was.
  d.SetLocation(std::string(511, 'y'));
  d.SetEventSound(0x01, "c:\\sounds\\fire, loud.wav");
  std::istringstream in(Line(d));
  DeviceConfig back;
  ASSERT_TRUE(back.Read(in));
  EXPECT_EQ(back, d);
}

TEST(DeviceConfig, EventKeysOutsideTheEightAreIgnored) {
  DeviceConfig d(1, DETECTOR, UNKNOWN);
  d.SetEventSound(0x80, "x.wav");
  d.SetEventText(0x100, "x");
  EXPECT_EQ(d, DeviceConfig(1, DETECTOR, UNKNOWN));
  EXPECT_TRUE(d.GetEventSound(0x80).empty());
  EXPECT_TRUE(d.GetEventText(0).empty());
}

TEST(DeviceConfig, EqualityCoversTextsAndAreas) {
  const DeviceConfig a = Everything();
  DeviceConfig b = a;
  EXPECT_EQ(a, b);
  b.SetEventText(0x800, "other");
  EXPECT_NE(a, b);
  b = a;
  b.SetLocation("");  // a cleared text is a change
  EXPECT_NE(a, b);
  b = a;
  b.SetDeviceCoverageArea({});
  EXPECT_NE(a, b);
}

}  // namespace
}  // namespace quillark
