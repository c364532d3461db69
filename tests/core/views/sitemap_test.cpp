#include "core/views/sitemap.h"

#include <gtest/gtest.h>

#include "core/access/translator.h"
#include "core/events/eventinfo.h"

namespace quillark::test {
namespace {

DeviceConfig Device(std::uint32_t address, devicetype type, std::int32_t zone = 0,
                    devicemodel model = PELORIN2000DETECTOR) {
  DeviceConfig d(address, type, model);
  d.SetZone(zone);
  return d;
}

TEST(SiteMap, StatusRanksByTheHighestAlarmThenFaultThenIsolation) {
  using namespace SiteMap;
  EXPECT_EQ(StatusRank(0x1F, 0x20), FIRE2);
  EXPECT_EQ(StatusRank(0x0D, 0), FIRE1);
  EXPECT_EQ(StatusRank(0x05, 0), PREALARM);
  EXPECT_EQ(StatusRank(0x03, 0), AUX);
  EXPECT_EQ(StatusRank(0x00, 0x20), NORMAL);  // fault bits mean nothing without bit 0
  EXPECT_EQ(StatusRank(0x01, 0x20), ISOLATED);
  EXPECT_EQ(StatusRank(0x01, 0x04), FAULT);
  EXPECT_EQ(ColourIndex(0x01, 0x20), EventInfo::EC_ISOLATED);
  EXPECT_EQ(ColourIndex(0x05, 0x20), EventInfo::EC_PREALARM);
  EXPECT_EQ(ColourIndex(0, 0), EventInfo::EC_NORMAL);
  // A power supply in alarm still shows its fault picture.
  EXPECT_STREQ(PictureFile(POWERSUPPLY, FIRE2), "pfault.bmp");
  EXPECT_STREQ(PictureFile(POWERSUPPLY, ISOLATED), "pisol.bmp");
  EXPECT_STREQ(PictureFile(DETECTOR, PREALARM), "dprealrm.bmp");
  EXPECT_STREQ(PictureFile(BUSCONTROLLER, NORMAL), "cok.bmp");
}

TEST(SiteMap, KeysPickTheDevicesAndTheirCoverageAreas) {
  using namespace SiteMap;
  const DeviceConfig detector = Device(0x105, DETECTOR, 3);
  const DeviceConfig module = Device(0x100, BUSCONTROLLER, 3, PELORIN2000BUSMASTER);
  const DeviceConfig pc = Device(0x000, BUSCONTROLLER, 0, PCBUSMASTER);
  const DeviceConfig zone = Device(3, ZONE);
  EXPECT_TRUE(Shows(3, detector));
  EXPECT_FALSE(Shows(4, detector));
  EXPECT_TRUE(Shows(LoopKey(1), detector));
  EXPECT_FALSE(Shows(LoopKey(0), detector));
  EXPECT_TRUE(Shows(SITEKEY, detector));
  EXPECT_FALSE(Shows(SITEKEY, pc));  // the PC is never drawn
  EXPECT_FALSE(Shows(SITEKEY, zone));
  const DeviceConfig::Rect area{10, 10, 50, 40};
  // Detectors get areas on zone and loop maps, command modules only on the site's.
  EXPECT_TRUE(HasCoverage(3, detector, area));
  EXPECT_TRUE(HasCoverage(LoopKey(1), detector, area));
  EXPECT_FALSE(HasCoverage(SITEKEY, detector, area));
  EXPECT_TRUE(HasCoverage(SITEKEY, module, area));
  EXPECT_FALSE(HasCoverage(LoopKey(1), module, area));
  EXPECT_FALSE(HasCoverage(4, detector, area));  // another zone's map
  EXPECT_FALSE(HasCoverage(3, detector, {10, 10, 10, 40}));
  EXPECT_FALSE(HasCoverage(3, detector, {10, 10, 50, 10}));
}

TEST(SiteMap, TextsAndFramesAsTheMapsShowThem) {
  using namespace SiteMap;
  Translator tr(nullptr, nullptr);
  EXPECT_EQ(Label(0x105), "2-005");
  EXPECT_EQ(FrameThickness(32, 32), 4);
  EXPECT_EQ(FrameThickness(32, 12), 2);
  EXPECT_EQ(FrameThickness(3, 40), 1);
  DeviceConfig d = Device(0x105, DETECTOR, 3);
  EXPECT_EQ(TipText(d, tr), "Detector 2-005");
  EXPECT_EQ(TipText(Device(0x100, BUSCONTROLLER), tr), "Command module 002");
  EXPECT_EQ(Title(DETECTOR, 0x105, "Plant room", tr), "Device map for detector 5 - Plant room");
  EXPECT_EQ(Title(BUSCONTROLLER, 0x100, "", tr), "Device map for command module 2");
  EXPECT_EQ(Title(ZONE, 3, "", tr), "Zone map for zone 3");
}

TEST(SiteMap, OnlyChangedDevicesAreRedrawn) {
  MapStatusMemory memory;
  EXPECT_TRUE(memory.DeviceSfsHasChanged(5, 0, 0));
  EXPECT_FALSE(memory.DeviceSfsHasChanged(5, 0, 0));
  EXPECT_TRUE(memory.DeviceSfsHasChanged(5, 0x01, 0x20));
  EXPECT_FALSE(memory.DeviceSfsHasChanged(5, 0x01, 0x20));
  EXPECT_TRUE(memory.DeviceSfsHasChanged(6, 0x01, 0x20));
  memory.Forget();
  EXPECT_TRUE(memory.DeviceSfsHasChanged(5, 0x01, 0x20));
}

}  // namespace
}  // namespace quillark::test
