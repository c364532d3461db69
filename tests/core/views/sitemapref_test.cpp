// Which map a command opens, which devices it holds where, and the checks
// that keep a bad map picture or position from harming the program.
#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <sstream>

#include "core/access/translator.h"
#include "core/site/config.h"
#include "core/views/sitemap.h"
#include "support/tempdir.h"

namespace quillark::test {
namespace {

using namespace SiteMap;

TSiteConfig DemoSite() {
  TSiteConfig site;
  EXPECT_TRUE(site.Load(std::string(QUILLARK_SOURCE_DIR) + "/resources/demo/demo.cfg"));
  return site;
}

std::vector<int> Devices(const std::vector<Item>& items) {
  std::vector<int> ids;
  for (const Item& i : items) ids.push_back(i.device);
  return ids;
}

// A bitmap file header and 40-byte information header.
std::string Header(std::int32_t width, std::int32_t height, int bits = 8, int infosize = 40) {
  std::string h(54, '\0');
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) h[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  h[0] = 'B';
  h[1] = 'M';
  put32(14, static_cast<std::uint32_t>(infosize));
  put32(18, static_cast<std::uint32_t>(width));
  put32(22, static_cast<std::uint32_t>(height));
  h[28] = static_cast<char>(bits);
  return h;
}

TEST(SiteMapRef, CommandsOpenTheDevicesOwnMapElseItsZones) {
  TSiteConfig site = DemoSite();
  // A command module's own picture shows its loop, without itself.
  auto module = DeviceRef(site, 0x100);
  ASSERT_TRUE(module);
  EXPECT_EQ(module->kind, BUSCONTROLLER);
  EXPECT_EQ(module->key, LoopKey(1));
  EXPECT_EQ(module->file, "loop2.bmp");
  const std::vector<int> loop2 = Devices(Items(site, *module));
  EXPECT_EQ(loop2, (std::vector<int>{0x101, 0x102, 0x103, 0x104, 0x105, 0x106, 0x107, 0x108, 0x109,
                                     0x10A, 0x180}));
  // A detector without a picture of its own is shown on its zone's.
  auto detector = DeviceRef(site, 0x005);
  ASSERT_TRUE(detector);
  EXPECT_EQ(*detector, (MapRef{ZONE, 2, 2, "zone2.bmp"}));
  EXPECT_EQ(ZoneRefOf(site, 0x005), detector);
  // Nothing for no device, a device the site lacks, or a zone it lacks.
  EXPECT_FALSE(DeviceRef(site, -1));
  EXPECT_FALSE(DeviceRef(site, 0x040));
  EXPECT_FALSE(ZoneRefOf(site, 0x000));  // the command module has no zone
  EXPECT_FALSE(ZoneRef(site, 99));
  EXPECT_TRUE(HasMaps(site, ""));
  EXPECT_FALSE(HasMaps(TSiteConfig(), ""));
  EXPECT_TRUE(HasMaps(TSiteConfig(), "site.bmp"));
}

TEST(SiteMapRef, EveryDemoDeviceIsPlacedWithItsPositionAndAreaPerMap) {
  TSiteConfig site = DemoSite();
  const std::vector<Item> all = Items(site, SiteRef("site.bmp"));
  // Every bus device, the PC command module excepted (the demo has none).
  EXPECT_EQ(all.size(), 26u);
  for (const Item& i : all) {
    // On the site map only command modules get an area.
    EXPECT_EQ(i.coverage, i.config->GetType() == BUSCONTROLLER) << i.device;
  }
  const std::vector<Item> loop1 = Items(site, LoopRef(site, 0));
  EXPECT_EQ(loop1.size(), 14u);
  EXPECT_EQ(LoopRef(site, 0).file, "loop1.bmp");
  const Item& first = loop1[1];  // detector 1-001
  EXPECT_EQ(first.device, 0x001);
  EXPECT_EQ(first.at, (DeviceConfig::Point{120, 150}));
  EXPECT_TRUE(first.coverage);
  EXPECT_EQ(first.area, (DeviceConfig::Rect{102, 132, 170, 200}));
  int areas = 0;
  for (const Item& i : loop1) areas += i.coverage;
  EXPECT_EQ(areas, 4);
  // A zone map: only that zone's devices, at their zone positions.
  const std::vector<Item> zone1 = Items(site, *ZoneRef(site, 1));
  EXPECT_EQ(Devices(zone1), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(zone1[0].at, (DeviceConfig::Point{80, 80}));
  EXPECT_EQ(zone1[0].area, (DeviceConfig::Rect{62, 62, 130, 130}));
  EXPECT_FALSE(zone1[3].coverage);  // no area given
}

TEST(SiteMapRef, ADetectorsOwnMapShowsItsArrayCells) {
  TSiteConfig site = DemoSite();
  DeviceConfig* detector = site.GetDevice(0x003);
  ASSERT_NE(detector, nullptr);
  detector->SetMap("array.bmp");
  DeviceConfig cell(0x050, DETECTOR, ARRAYSCANCELL);
  cell.SetParentAddress(0x003);
  cell.SetParentType(DETECTOR);
  cell.SetMapXY({10, 20});
  site.InsertDevice(cell);
  auto ref = DeviceRef(site, 0x003);
  ASSERT_TRUE(ref);
  EXPECT_EQ(ref->kind, DETECTOR);
  const std::vector<Item> items = Items(site, *ref);
  ASSERT_EQ(Devices(items), (std::vector<int>{0x050}));
  EXPECT_EQ(items[0].at, (DeviceConfig::Point{10, 20}));
  Translator tr(nullptr, nullptr);
  EXPECT_EQ(RefTitle(site, *ref, tr), "Device map for detector 3 - Server room A - rack row 1");
  EXPECT_EQ(RefTitle(site, *ZoneRef(site, 1), tr), "Zone map for zone 1");
}

TEST(SiteMapRef, BitmapHeadersOfBadOrHugePicturesAreRefused) {
  BitmapSize size;
  EXPECT_EQ(CheckBitmapHeader(Header(800, 400), "plan.bmp", &size), "");
  EXPECT_EQ(size.width, 800);
  EXPECT_EQ(size.height, 400);
  EXPECT_EQ(CheckBitmapHeader(Header(20, -30, 24), "plan.bmp", &size), "");  // stored top down
  EXPECT_EQ(size.height, 30);
  EXPECT_EQ(CheckBitmapHeader(Header(MAXBITMAPSIDE, MAXBITMAPSIDE), "plan.bmp"), "");

  const std::string huge = CheckBitmapHeader(Header(30000, 30000), "plan.bmp");
  EXPECT_EQ(huge,
            "plan.bmp is 30000 x 30000 pixels: map pictures larger than 10000 x 10000 pixels are "
            "not shown.");
  EXPECT_NE(CheckBitmapHeader(Header(5, INT_MIN), "plan.bmp"), "");  // |height| overflows int
  const std::string notbitmap = "plan.bmp is not a bitmap.";
  EXPECT_EQ(CheckBitmapHeader("GIF89a", "plan.bmp"), notbitmap);
  EXPECT_EQ(CheckBitmapHeader(Header(800, 400).substr(0, 20), "plan.bmp"), notbitmap);
  EXPECT_EQ(CheckBitmapHeader(Header(0, 400), "plan.bmp"), notbitmap);
  EXPECT_EQ(CheckBitmapHeader(Header(800, 400, 7), "plan.bmp"), notbitmap);
  EXPECT_EQ(CheckBitmapHeader(Header(800, 400, 8, 20), "plan.bmp"), notbitmap);
  // The old 12-byte header with 16-bit sides.
  std::string core = Header(0, 0, 0, 12);
  core[18] = 64, core[20] = 48, core[24] = 24;
  EXPECT_EQ(CheckBitmapHeader(core, "plan.bmp", &size), "");
  EXPECT_EQ(size.width, 64);

  TempDir dir;
  EXPECT_EQ(CheckBitmapFile(dir / "gone.bmp"),
            "The map picture gone.bmp is missing or cannot be read.");
  std::ofstream(dir / "text.bmp") << "floor plan";
  EXPECT_EQ(CheckBitmapFile(dir / "text.bmp"), "text.bmp is not a bitmap.");
  EXPECT_EQ(CheckBitmapFile(std::string(QUILLARK_SOURCE_DIR) + "/resources/demo/site.bmp", &size),
            "");
  EXPECT_EQ(size.width, 820);
}

TEST(SiteMapRef, ScalingKeepsProportionsAndClipsFarPositions) {
  // 800 x 400 into 400 x 400: half size, centred vertically.
  const MapScale scale(800, 400, {0, 0, 400, 400});
  EXPECT_EQ(scale.Picture(), (DeviceConfig::Rect{0, 100, 400, 300}));
  EXPECT_EQ(scale.MapToScreen(DeviceConfig::Point{100, 40}), (DeviceConfig::Point{50, 120}));
  EXPECT_EQ(scale.ScreenToMap(DeviceConfig::Point{50, 120}), (DeviceConfig::Point{100, 40}));
  EXPECT_EQ(IconRect(scale, {100, 40}, 32), (DeviceConfig::Rect{50, 120, 66, 136}));
  // Positions far outside the picture land far outside the window, without
  // overflowing.
  const DeviceConfig::Rect far = IconRect(scale, {INT_MAX, INT_MIN}, 32);
  EXPECT_GT(far.left, 400);
  EXPECT_LT(far.top, 0);
  EXPECT_GT(far.right, far.left);
  const DeviceConfig::Rect area = scale.MapToScreen(DeviceConfig::Rect{INT_MAX, 0, INT_MIN, 10});
  EXPECT_LE(area.left, area.right);
  // A zero-sized window or picture does not divide by zero.
  const MapScale empty(0, 0, {0, 0, 0, 0});
  EXPECT_GT(empty.Scale(), 0.0);
}

}  // namespace
}  // namespace quillark::test
