// The site maps over the demo core: pictures and colours by status, a
// repaint of only what changed, bad pictures refused, and the selection
// shared between the panels, the main display's maps and map windows.
#include "gui/views/mapview.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabBar>
#include <fstream>
#include <map>

#include "core/access/commands.h"
#include "core/app/mainwindow.h"
#include "core/events/eventinfo.h"
#include "core/site/config.h"
#include "core/status/selset.h"
#include "gui/app/desktop.h"
#include "gui/app/mainframe.h"
#include "gui/status/alarmdispwindow.h"
#include "gui/views/bargraphview.h"
#include "guihost.h"
#include "support/fixedstatus.h"

namespace quillark::test {
namespace {

namespace fs = std::filesystem;

void CopyPictures(const fs::path& home) {
  for (const auto& e : fs::directory_iterator(fs::path(QUILLARK_SOURCE_DIR) / "resources/demo"))
    if (e.path().extension() == ".bmp")
      fs::copy_file(e.path(), home / e.path().filename(), fs::copy_options::overwrite_existing);
}

QImage Grab(QWidget& w) {
  return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QColor Colour(std::uint32_t c) {
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                static_cast<int>((c >> 16) & 0xFF));
}

QImage Picture(const fs::path& home, const char* name) {
  return QImage(QString::fromStdString((home / name).string()))
      .convertToFormat(QImage::Format_RGB32);
}

TEST(MapView, ADetectorInFire2ShowsItsFire2PictureAndColourThenNormalAfterReset) {
  FixedStatus fixed;
  DemoCore core;
  TDockingApp& app = core.App();
  CopyPictures(core.host.home.Path());
  app.SetDeviceStatusSource(&fixed);
  const fs::path home = core.host.home.Path();
  const EventInfo& colours = *app.GetMainWindow()->GetEventInfo();

  // Zone 1's plan (360 x 320) at its own size, so pictures are not scaled.
  MapCanvas canvas(app, *SiteMap::ZoneRef(*app.GetSiteConfig(), 1));
  canvas.resize(360, 332);
  ASSERT_TRUE(canvas.HasBitmap()) << canvas.Problem();
  EXPECT_EQ(canvas.DeviceCount(), 4u);
  const QRect icon = canvas.IconRect(0x001);
  EXPECT_EQ(icon, QRect(80, 80, 32, 32));
  EXPECT_TRUE(canvas.RenderChangedDevices().isEmpty());  // drawn as first known

  fixed.status[0x001] = 0x11;  // fire 2
  const QRect repainted = canvas.RenderChangedDevices();
  // Only the detector, its label and its coverage area.
  EXPECT_TRUE(repainted.contains(icon));
  EXPECT_LE(repainted.width() * repainted.height(), 80 * 80);
  EXPECT_FALSE(repainted.contains(canvas.IconRect(0x002)));
  EXPECT_TRUE(canvas.RenderChangedDevices().isEmpty());

  QImage shot = Grab(canvas);
  shot.save(QString::fromStdString(std::string(QUILLARK_GRAB_DIR) + "/map-fire2.png"));
  EXPECT_EQ(shot.copy(icon), Picture(home, "dfire2.bmp"));
  // The area takes the fire 2 colour where the plan is white floor.
  const QColor fire2 = Colour(SiteMap::StatusColour(colours, 0x11, 0));
  EXPECT_EQ(shot.pixelColor(66, 66), fire2);
  EXPECT_NE(shot.pixelColor(66, 66), shot.pixelColor(166, 66));  // detector 2 is normal

  fixed.status[0x001] = 0;  // reset
  EXPECT_TRUE(canvas.RenderChangedDevices().contains(icon));
  shot = Grab(canvas);
  EXPECT_EQ(shot.copy(icon), Picture(home, "dok.bmp"));
  EXPECT_EQ(shot.pixelColor(66, 66), Colour(SiteMap::StatusColour(colours, 0, 0)));
  app.SetDeviceStatusSource(app.GetMainWindow()->GetAlarmDisplay());
}

TEST(MapView, MissingPicturesFallBackToTheBuiltInOnesWithoutAMessage) {
  TempDir empty;
  DeviceIcons icons(empty.Path());
  const QImage& fire2 = icons.Picture(DETECTOR, SiteMap::FIRE2);
  EXPECT_TRUE(icons.IsMissing("dfire2.bmp"));
  EXPECT_EQ(fire2, DeviceIcons::BuiltIn(DETECTOR, SiteMap::FIRE2));
  EXPECT_NE(fire2, DeviceIcons::BuiltIn(DETECTOR, SiteMap::NORMAL));
  // A power supply in alarm looks faulty, not on fire.
  EXPECT_EQ(DeviceIcons::BuiltIn(POWERSUPPLY, SiteMap::FIRE1),
            DeviceIcons::BuiltIn(POWERSUPPLY, SiteMap::FAULT));
  // A file that is no bitmap counts as missing too.
  std::ofstream(empty / "dok.bmp") << "not a picture";
  EXPECT_EQ(icons.Picture(DETECTOR, SiteMap::NORMAL),
            DeviceIcons::BuiltIn(DETECTOR, SiteMap::NORMAL));
  EXPECT_TRUE(icons.IsMissing("dok.bmp"));
}

TEST(MapView, BadMapPicturesAreRefusedWithAMessageAndTheDevicesStillShown) {
  DemoCore core;
  TDockingApp& app = core.App();
  const fs::path home = core.host.home.Path();
  // 30000 x 30000 pixels claimed in a 54-byte file, a text file, no file.
  std::string huge(54, '\0');
  huge[0] = 'B', huge[1] = 'M', huge[14] = 40, huge[28] = 24;
  const std::uint32_t side = 30000;
  for (int i = 0; i < 4; ++i) huge[18 + i] = huge[22 + i] = static_cast<char>(side >> (8 * i));
  std::ofstream(home / "zone1.bmp", std::ios::binary) << huge;
  std::ofstream(home / "zone2.bmp") << "floor plan of zone 2";
  QWidget parent;
  const TSiteConfig& site = *app.GetSiteConfig();
  struct Case {
    int zone;
    const char* message;
  } cases[] = {
      {1,
       "zone1.bmp is 30000 x 30000 pixels: map pictures larger than 10000 x 10000 pixels are not "
       "shown."},
      {2, "zone2.bmp is not a bitmap."},
      {3, "The map picture zone3.bmp is missing or cannot be read."},
  };
  for (const Case& c : cases) {
    core.host.prompter.prompts.clear();
    MapView* view = MapView::Open(app, *SiteMap::ZoneRef(site, c.zone), &parent, {});
    ASSERT_NE(view, nullptr);
    ASSERT_EQ(core.host.prompter.prompts.size(), 1u) << c.zone;
    EXPECT_EQ(core.host.prompter.prompts[0].text, c.message);
    EXPECT_EQ(core.host.prompter.prompts[0].icon, PromptIcon::STOP);
    EXPECT_FALSE(view->Canvas().HasBitmap());
    EXPECT_GT(view->Canvas().DeviceCount(), 0u);
    view->grab();  // paints without the picture
  }
  // Opening the same map again brings its window up, without a new message.
  core.host.prompter.prompts.clear();
  MapView::Open(app, *SiteMap::ZoneRef(site, 3), &parent, {});
  EXPECT_TRUE(core.host.prompter.prompts.empty());
  EXPECT_EQ(MapView::Windows(&parent).size(), 3u);

  // A device placed far outside its plan is clipped, never a crash.
  DeviceConfig* d = app.GetSiteConfig()->GetDevice(0x004);
  d->SetZoneXY({2147483647, -2147483647});
  d->SetZoneCoverageArea({-2147483647, 0, 2147483647, 10});
  MapCanvas canvas(app, *SiteMap::ZoneRef(site, 1));
  canvas.resize(400, 300);
  EXPECT_FALSE(canvas.IconRect(0x004).intersects(canvas.rect()));
  canvas.grab();
}

class MapDesktop : public ::testing::Test {
 protected:
  MapDesktop() {
    CopyPictures(core.host.home.Path());
    frame.resize(1000, 700);
    desktop = std::make_unique<Desktop>(core.App(), core.host.ini, frame);
    frame.Attach(&core.App());
    core.host.events.Advance(100);
  }
  ~MapDesktop() override { desktop.reset(); }
  DemoCore core;
  MainFrame frame;
  std::unique_ptr<Desktop> desktop;
};

TEST_F(MapDesktop, MapViewKeepsTheSelectionBothWays) {
  TDockingApp& app = core.App();
  BargraphView* view = desktop->View();
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(app.IsCommandEnabled(CMD_TOGGLEMAPVIEW));
  // Pick detector 1-003 on loop 1's panels, then switch to the maps.
  Bargraph& bargraph = view->GetBargraph();
  view->Tabs()->setCurrentIndex(0);
  const PanelDisp* panel = bargraph.GetPanel(0x003);
  ASSERT_NE(panel, nullptr);
  bargraph.SelectAt(panel->GetPanelRect().left + 5, panel->GetPanelRect().top + 5,
                    Bargraph::SEL_REPLACE);
  EXPECT_EQ(app.ExecuteCommand(CMD_TOGGLEMAPVIEW), TDockingApp::CommandResult::DONE);
  ASSERT_TRUE(view->MapDisplayed());
  frame.show();
  QApplication::processEvents();
  ASSERT_EQ(view->Maps()->Canvases().size(), 1u);  // loop 1's tab
  MapCanvas& map = *view->Maps()->Canvases()[0];
  EXPECT_EQ(map.Ref().kind, LOOP);
  ASSERT_TRUE(map.HasBitmap()) << map.Problem();
  // The selection frame: black along the icon's edge.
  QImage shot = Grab(map);
  const QRect icon = map.IconRect(0x003);
  ASSERT_FALSE(icon.isEmpty());
  EXPECT_EQ(shot.pixelColor(icon.topLeft()), QColor(Qt::black));
  EXPECT_NE(Grab(map).pixelColor(map.IconRect(0x002).topLeft() + QPoint(1, 1)), QColor(Qt::black));
  SaveGrab(frame, "map-mainview");

  // A click on detector 1-002 on the map selects it on the panels too.
  map.SelectAt(map.IconRect(0x002).center(), false);
  EXPECT_EQ(app.GetSelDetector(), 0x002);
  EXPECT_TRUE(app.GetSelection().ContainsInternalAddress(0x002));
  EXPECT_FALSE(app.GetSelection().ContainsInternalAddress(0x003));
  app.ExecuteCommand(CMD_TOGGLEMAPVIEW);
  EXPECT_FALSE(view->MapDisplayed());
  EXPECT_TRUE(bargraph.IsSelected(*bargraph.GetPanel(0x002)));
  EXPECT_FALSE(bargraph.IsSelected(*bargraph.GetPanel(0x003)));

  // The "All loops" tab shows both loops' maps side by side; the site tab
  // the site's.
  app.ExecuteCommand(CMD_TOGGLEMAPVIEW);
  view->Tabs()->setCurrentIndex(bargraph.AllLoopsTab());
  EXPECT_EQ(view->Maps()->Canvases().size(), 2u);
  view->Tabs()->setCurrentIndex(bargraph.SiteTab());
  ASSERT_EQ(view->Maps()->Canvases().size(), 1u);
  EXPECT_EQ(view->Maps()->Canvases()[0]->Ref().kind, SITE);
  EXPECT_TRUE(view->Maps()->Canvases()[0]->HasBitmap());
  EXPECT_EQ(view->Maps()->Canvases()[0]->DeviceCount(), 26u);
  EXPECT_TRUE(view->Maps()->Canvases()[0]->isVisible());
  QApplication::processEvents();
  SaveGrab(frame, "map-site");
}

TEST_F(MapDesktop, ViewMapAndViewZoneOpenTheirWindowsWhereTheyApply) {
  TDockingApp& app = core.App();
  app.SetSelDetector(0x000);  // the command module: its own map, no zone
  EXPECT_TRUE(app.IsCommandEnabled(CMD_VIEWMAP));
  EXPECT_FALSE(app.IsCommandEnabled(CMD_VIEWZONE));
  app.SetSelDetector(-1);
  EXPECT_FALSE(app.IsCommandEnabled(CMD_VIEWMAP));
  app.SetSelDetector(0x105);
  ASSERT_TRUE(app.IsCommandEnabled(CMD_VIEWZONE));
  EXPECT_EQ(app.ExecuteCommand(CMD_VIEWZONE), TDockingApp::CommandResult::DONE);
  auto windows = MapView::Windows(&frame);
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_EQ(windows[0]->windowTitle(), QStringLiteral("Zone map for zone 5"));
  EXPECT_TRUE(windows[0]->Canvas().HasBitmap());
  SaveGrab(*windows[0], "map-zone5");

  // The alarm viewer's Map... button: fire 1 on 1-005, then its line.
  app.SetSelDetector(5);
  auto menu = desktop->View()->MakeContextMenu(&frame);
  for (QAction* a : menu->actions())
    if (a->text().remove('&') == "Fire 1") a->trigger();
  core.host.events.Advance(1500);
  AlarmDispWindow& viewer = *desktop->AlarmWindow();
  int row = -1;
  for (int i = 0; i < viewer.Count(); ++i)
    if (viewer.LineText(i).contains("1-005")) row = i;
  ASSERT_GE(row, 0);
  viewer.SelectRow(row);
  app.SetSelDetector(-1);
  QPushButton* map = viewer.GetButton(AlarmDispWindow::IDC_MAP);
  ASSERT_NE(map, nullptr);
  ASSERT_TRUE(map->isEnabled());
  map->click();
  windows = MapView::Windows(&frame);
  ASSERT_EQ(windows.size(), 2u);
  MapView* zone2 = windows[0]->windowTitle().contains("zone 2") ? windows[0] : windows[1];
  EXPECT_EQ(zone2->windowTitle(), QStringLiteral("Zone map for zone 2"));
  // The detector is drawn in its fire 1 picture once the timer has run.
  core.host.events.Advance(500);
  zone2->Canvas().RenderChangedDevices();
  const QImage shot = Grab(zone2->Canvas());
  const QColor fire1 = shot.pixelColor(zone2->Canvas().IconRect(5).center());
  EXPECT_EQ(fire1, QColor(255, 90, 0));
  SaveGrab(*zone2, "map-zone2-fire1");
}

}  // namespace
}  // namespace quillark::test
