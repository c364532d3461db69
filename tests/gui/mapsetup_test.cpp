// The map setup of the site editor over the demo core: a drag on the plan
// draws the selected device's coverage area, a drag of its icon places it,
// Undo takes back the last drag, and only the editor's Ok saves any of it.
#include "gui/site/mapsetupdlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <map>

#include <QLineEdit>
#include "core/app/mainwindow.h"
#include "core/common/ini.h"
#include "core/events/eventinfo.h"
#include "core/site/config.h"
#include "gui/site/siteconfdlg.h"
#include "gui/site/zoneconfigdlg.h"
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

QPoint Screen(const MapCanvas& canvas, DeviceConfig::Point p) {
  const DeviceConfig::Point s = canvas.Scale().MapToScreen(p);
  return {s.x, s.y};
}

// Presses at `from`, moves in steps to `to` and lets go there.
void Drag(QWidget& w, QPoint from, QPoint to) {
  QTest::mousePress(&w, Qt::LeftButton, Qt::NoModifier, from);
  for (int k = 1; k <= 4; ++k) QTest::mouseMove(&w, from + (to - from) * k / 4);
  QTest::mouseRelease(&w, Qt::LeftButton, Qt::NoModifier, to);
}

QRgb Pixel(MapCanvas& canvas, QPoint at) {
  return canvas.grab().toImage().convertToFormat(QImage::Format_RGB32).pixel(at);
}

class MapSetup : public ::testing::Test {
 protected:
  MapSetup() {
    CopyPictures(core.host.home.Path());
    setup.ini = &core.App().GetServices().ini;
    setup.prompter = &core.host.prompter;
    setup.translator = &core.App().GetServices().translator;
    setup.sound = &core.App().GetServices().sound;
    setup.app = &core.App();
  }
  std::unique_ptr<SiteConfigDlg> Editor(const char* device) {
    auto dialog = std::make_unique<SiteConfigDlg>(
        std::make_unique<SiteEditor>(*core.App().GetSiteConfig(),
                                     &core.App().GetServices().translator, 2),
        setup);
    auto* tree = dialog->findChild<QTreeWidget*>(QStringLiteral("tree"));
    const auto found =
        tree->findItems(QString::fromLatin1(device), Qt::MatchExactly | Qt::MatchRecursive);
    EXPECT_FALSE(found.isEmpty()) << device;
    if (!found.isEmpty()) tree->setCurrentItem(found.front());
    return dialog;
  }
  std::string SiteFile() const { return core.host.home.Read("demo.cfg"); }
  FixedStatus fixed;  // outlives the core that asks it
  DemoCore core;
  SiteConfigDlg::Setup setup;
};

TEST_F(MapSetup, ADragOnThePlanDrawsTheCoverageThatTheEditorSavesAndTheMapShows) {
  const std::string before = SiteFile();
  // In fire 2, so that its area tints the plan (a normal one's is white).
  fixed.status[5] = 0x11;
  core.App().SetDeviceStatusSource(&fixed);
  auto editor = Editor("Detector 005");
  // Loop 1's plan as it is drawn before: nothing of detector 5 up there.
  MapCanvas old(core.App(), SiteMap::LoopRef(*core.App().GetSiteConfig(), 0));
  old.resize(460, 412);
  ASSERT_TRUE(old.HasBitmap()) << old.Problem();
  const QPoint middle = Screen(old, {310, 70});
  const QRgb plain = Pixel(old, middle);

  DeviceConfig::Rect drawn;
  bool ran = false;
  editor->SetRunner([&](QDialog& d) {
    auto* setupdlg = dynamic_cast<MapSetupDlg*>(&d);
    ASSERT_NE(setupdlg, nullptr);
    ran = true;
    d.show();
    MapSetupCanvas& canvas = setupdlg->Canvas();
    ASSERT_TRUE(canvas.HasBitmap()) << canvas.Problem();
    EXPECT_EQ(canvas.MapSize(), QSize(460, 400));
    const QPoint from = Screen(canvas, {200, 20}), to = Screen(canvas, {420, 120});
    Drag(canvas, from, to);
    const DeviceConfig::Point a = canvas.ToMap(from), b = canvas.ToMap(to);
    drawn = {a.x, a.y, b.x, b.y};
    EXPECT_NEAR(drawn.left, 200, 2);
    EXPECT_NEAR(drawn.bottom, 120, 2);
    EXPECT_EQ(setupdlg->Area(), drawn);
    EXPECT_TRUE(setupdlg->CanUndo());
    // The area is drawn as it is dragged.
    EXPECT_NE(Pixel(canvas, Screen(canvas, {310, 70})), Pixel(old, middle));
    QDir().mkpath(QUILLARK_GRAB_DIR);
    d.grab().save(QStringLiteral(QUILLARK_GRAB_DIR "/mapsetup.png"));
    d.findChild<QPushButton*>(QStringLiteral("ok"))->click();
  });
  editor->findChild<QPushButton*>(QStringLiteral("mapsetup"))->click();
  ASSERT_TRUE(ran);
  const DeviceConfig* d5 = editor->Editor().Site().GetDevice(5, DETECTOR);
  EXPECT_EQ(SiteMap::Coverage(LOOP, *d5), drawn);
  // Nothing is saved before the editor's Ok.
  EXPECT_EQ(SiteFile(), before);
  editor->accept();
  ASSERT_EQ(editor->result(), QDialog::Accepted);
  EXPECT_NE(SiteFile(), before);
  core.App().ShowBargraph();
  EXPECT_EQ(SiteMap::Coverage(LOOP, *core.App().GetSiteConfig()->GetDevice(5, DETECTOR)), drawn);

  // The map now shows the area in the detector's colour over the plan.
  MapCanvas now(core.App(), SiteMap::LoopRef(*core.App().GetSiteConfig(), 0));
  now.resize(460, 412);
  const EventInfo& colours = *core.App().GetMainWindow()->GetEventInfo();
  ASSERT_TRUE(colours.GetShowCoverage());
  const std::uint32_t c = SiteMap::StatusColour(colours, core.App().GetDeviceStatus(5),
                                                core.App().GetDeviceFaultStatus(5));
  const QRgb tint = qRgb(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                         static_cast<int>((c >> 16) & 0xFF));
  EXPECT_EQ(Pixel(now, middle) & 0xFFFFFF, ~(tint ^ plain) & 0xFFFFFF);
  const QPoint outside = Screen(now, {150, 70});
  EXPECT_EQ(Pixel(now, outside), Pixel(old, outside));
}

TEST_F(MapSetup, DraggingTheIconMovesTheDeviceOnThePlanOnlyAndUndoAndCancelTakeItBack) {
  auto editor = Editor("Detector 005");
  const DeviceConfig* d5 = editor->Editor().Site().GetDevice(5, DETECTOR);
  const DeviceConfig::Point start = SiteMap::Position(LOOP, *d5);
  const DeviceConfig::Rect area = SiteMap::Coverage(LOOP, *d5);
  int runs = 0;
  editor->SetRunner([&](QDialog& d) {
    auto* setupdlg = dynamic_cast<MapSetupDlg*>(&d);
    ASSERT_NE(setupdlg, nullptr);
    ++runs;
    d.show();
    MapSetupCanvas& canvas = setupdlg->Canvas();
    const QRect icon = canvas.IconRect(5);
    ASSERT_FALSE(icon.isEmpty());
    const QPoint grip = icon.center();
    const DeviceConfig::Point g = canvas.ToMap(grip);
    const DeviceConfig::Point t = canvas.ToMap(grip + QPoint(60, -40));
    Drag(canvas, grip, grip + QPoint(60, -40));
    const DeviceConfig::Point moved{start.x + t.x - g.x, start.y + t.y - g.y};
    EXPECT_EQ(setupdlg->Position(), moved);
    EXPECT_NE(moved, start);
    // Moving the icon leaves the area alone; the icon is drawn where it went.
    EXPECT_EQ(setupdlg->Area(), area);
    EXPECT_TRUE(canvas.IconRect(5).contains(grip + QPoint(60, -40)));

    // Dragged off the plan it stops at the plan's edge.
    const QPoint grip2 = canvas.IconRect(5).center();
    Drag(canvas, grip2, QPoint(canvas.width() + 200, canvas.height() + 200));
    EXPECT_EQ(setupdlg->Position(), (DeviceConfig::Point{459, 399}));

    d.findChild<QPushButton*>(QStringLiteral("undo"))->click();
    EXPECT_EQ(setupdlg->Position(), moved);
    d.findChild<QPushButton*>(QStringLiteral("undo"))->click();
    EXPECT_EQ(setupdlg->Position(), start);
    EXPECT_FALSE(setupdlg->CanUndo());
    EXPECT_FALSE(d.findChild<QPushButton*>(QStringLiteral("undo"))->isEnabled());
    Drag(canvas, canvas.IconRect(5).center(), canvas.IconRect(5).center() + QPoint(30, 30));
    EXPECT_NE(setupdlg->Position(), start);
    d.findChild<QPushButton*>(QStringLiteral("cancel"))->click();
  });
  editor->findChild<QPushButton*>(QStringLiteral("mapsetup"))->click();
  ASSERT_EQ(runs, 1);
  EXPECT_EQ(SiteMap::Position(LOOP, *d5), start);
}

// Drags detector 5's icon by (60, -40) screen pixels on the map setup that
// `button` opens, and presses Ok.
void DragIconAndOk(SiteConfigDlg& editor, const char* button, std::string* title = nullptr) {
  bool ran = false;
  editor.SetRunner([&](QDialog& d) {
    auto* setupdlg = dynamic_cast<MapSetupDlg*>(&d);
    ASSERT_NE(setupdlg, nullptr);
    ran = true;
    if (title != nullptr) *title = d.windowTitle().toStdString();
    d.show();
    MapSetupCanvas& canvas = setupdlg->Canvas();
    ASSERT_TRUE(canvas.HasBitmap()) << canvas.Problem();
    const QRect icon = canvas.IconRect(5);
    ASSERT_FALSE(icon.isEmpty());
    Drag(canvas, icon.center(), icon.center() + QPoint(60, -40));
    d.findChild<QPushButton*>(QStringLiteral("ok"))->click();
  });
  editor.findChild<QPushButton*>(QString::fromLatin1(button))->click();
  EXPECT_TRUE(ran) << button;
}

TEST_F(MapSetup, SiteMapAndZoneSetupStoreTheDragForTheirOwnMapOnly) {
  auto editor = Editor("Detector 005");
  const DeviceConfig* d5 = editor->Editor().Site().GetDevice(5, DETECTOR);
  const DeviceConfig::Point loop = SiteMap::Position(LOOP, *d5);
  const DeviceConfig::Point site = SiteMap::Position(SITE, *d5);
  const DeviceConfig::Point zone = SiteMap::Position(ZONE, *d5);

  DragIconAndOk(*editor, "sitemap");
  EXPECT_NE(SiteMap::Position(SITE, *d5), site);
  EXPECT_EQ(SiteMap::Position(LOOP, *d5), loop);
  EXPECT_EQ(SiteMap::Position(ZONE, *d5), zone);
  const DeviceConfig::Point site2 = SiteMap::Position(SITE, *d5);

  // A zone the site does not define has no plan to set up.
  auto* zonebox = editor->findChild<QComboBox*>(QStringLiteral("zone"));
  zonebox->setCurrentIndex(9);
  editor->SetRunner([](QDialog& d) { FAIL() << d.objectName().toStdString(); });
  editor->findChild<QPushButton*>(QStringLiteral("zonesetup"))->click();
  ASSERT_FALSE(core.host.prompter.prompts.empty());
  EXPECT_EQ(core.host.prompter.prompts.back().text,
            "The device's zone is not defined in this site.");
  zonebox->setCurrentIndex(2);

  // Zones... gives zone 2 another plan and a location, and drops zone 5
  // (neither plan nor location left); the zone setup then shows that plan.
  editor->SetFileChooser([] { return QStringLiteral("zone3.bmp"); });
  editor->SetRunner([](QDialog& d) {
    auto* zones = dynamic_cast<ZoneConfigDlg*>(&d);
    ASSERT_NE(zones, nullptr);
    auto* number = d.findChild<QComboBox*>(QStringLiteral("zone"));
    auto* map = d.findChild<QLineEdit*>(QStringLiteral("map"));
    EXPECT_EQ(number->currentText(), "002");
    EXPECT_EQ(map->text(), "zone2.bmp");
    d.findChild<QLineEdit*>(QStringLiteral("location"))->setText(QStringLiteral("East wing"));
    d.findChild<QPushButton*>(QStringLiteral("browse"))->click();
    EXPECT_EQ(map->text(), "zone3.bmp");
    zones->SelectZone(5);
    EXPECT_EQ(map->text(), "zone5.bmp");
    map->clear();
    // Back on zone 2, its edits are still there.
    zones->SelectZone(2);
    EXPECT_EQ(map->text(), "zone3.bmp");
    d.findChild<QPushButton*>(QStringLiteral("ok"))->click();
  });
  editor->findChild<QPushButton*>(QStringLiteral("zones"))->click();
  const DeviceConfig* z2 = editor->Editor().Site().GetDevice(2, ZONE);
  ASSERT_NE(z2, nullptr);
  EXPECT_EQ(z2->GetMap(), "zone3.bmp");
  EXPECT_EQ(z2->GetLocation(), "East wing");
  EXPECT_EQ(editor->Editor().Site().GetDevice(5, ZONE), nullptr);
  EXPECT_NE(editor->Editor().Site().GetDevice(4, ZONE), nullptr);

  editor->SetRunner([](QDialog& d) {
    auto* setupdlg = dynamic_cast<MapSetupDlg*>(&d);
    ASSERT_NE(setupdlg, nullptr);
    EXPECT_EQ(setupdlg->Canvas().Ref().file, "zone3.bmp");
    d.reject();
  });
  editor->findChild<QPushButton*>(QStringLiteral("zonesetup"))->click();
  std::string title;
  DragIconAndOk(*editor, "zonesetup", &title);
  EXPECT_NE(title.find("Zone map for zone 2"), std::string::npos) << title;
  EXPECT_NE(SiteMap::Position(ZONE, *d5), zone);
  EXPECT_EQ(SiteMap::Position(SITE, *d5), site2);
  EXPECT_EQ(SiteMap::Position(LOOP, *d5), loop);

  // All of it reaches the site file with the editor's Ok, the zone included.
  const DeviceConfig::Point zone2 = SiteMap::Position(ZONE, *d5);
  editor->accept();
  ASSERT_EQ(editor->result(), QDialog::Accepted);
  TSiteConfig saved((core.host.home / "demo.cfg").string());
  ASSERT_NE(saved.GetDevice(2, ZONE), nullptr);
  EXPECT_EQ(saved.GetDevice(2, ZONE)->GetMap(), "zone3.bmp");
  EXPECT_EQ(saved.GetDevice(5, ZONE), nullptr);
  EXPECT_EQ(SiteMap::Position(ZONE, *saved.GetDevice(5, DETECTOR)), zone2);
  EXPECT_EQ(SiteMap::Position(SITE, *saved.GetDevice(5, DETECTOR)), site2);
}

TEST_F(MapSetup, BrowseRefusesWhatIsNotABitmapAndTakesAPlanThatIs) {
  core.host.home.Write("notes.bmp", "these are notes, not a picture");
  auto editor = Editor("Detector 005");
  const std::string before = SiteMap::LoopRef(editor->Editor().Site(), 0).file;
  ASSERT_FALSE(before.empty());
  bool ran = false;
  editor->SetRunner([&](QDialog& d) {
    auto* setupdlg = dynamic_cast<MapSetupDlg*>(&d);
    ASSERT_NE(setupdlg, nullptr);
    ran = true;
    setupdlg->SetFileChooser([] { return QStringLiteral("notes.bmp"); });
    setupdlg->Browse();
    ASSERT_FALSE(core.host.prompter.prompts.empty());
    EXPECT_EQ(core.host.prompter.prompts.back().text,
              "notes.bmp is not a bitmap that can be read.");
    EXPECT_EQ(setupdlg->MapFile(), before);
    EXPECT_TRUE(setupdlg->Canvas().HasBitmap());

    setupdlg->SetFileChooser([] { return QStringLiteral("site.bmp"); });
    setupdlg->Browse();
    EXPECT_EQ(setupdlg->MapFile(), "site.bmp");
    EXPECT_TRUE(setupdlg->Canvas().HasBitmap()) << setupdlg->Canvas().Problem();
    EXPECT_EQ(setupdlg->Canvas().Ref().file, "site.bmp");
    d.findChild<QPushButton*>(QStringLiteral("ok"))->click();
  });
  editor->findChild<QPushButton*>(QStringLiteral("mapsetup"))->click();
  ASSERT_TRUE(ran);
  // The chosen plan is loop 1's from now on: its command module carries it.
  EXPECT_EQ(SiteMap::LoopRef(editor->Editor().Site(), 0).file, "site.bmp");
  EXPECT_EQ(SiteMap::LoopRef(editor->Editor().Site(), 1).file,
            SiteMap::LoopRef(*core.App().GetSiteConfig(), 1).file);
}

TEST_F(MapSetup, ASitePlanChosenIsStoredWithTheEditorsOkAndForgottenOnCancel) {
  INI& ini = core.App().GetServices().ini;
  ASSERT_EQ(ini.ReadString("Maps", "Site", ""), "site.bmp");
  // Browse... in the site map setup, then Ok there.
  auto choose = [](SiteConfigDlg& editor) {
    bool ran = false;
    editor.SetRunner([&](QDialog& d) {
      auto* setupdlg = dynamic_cast<MapSetupDlg*>(&d);
      ASSERT_NE(setupdlg, nullptr);
      ran = true;
      setupdlg->SetFileChooser([] { return QStringLiteral("zone3.bmp"); });
      setupdlg->Browse();
      EXPECT_TRUE(setupdlg->PlanChosen());
      d.findChild<QPushButton*>(QStringLiteral("ok"))->click();
    });
    editor.findChild<QPushButton*>(QStringLiteral("sitemap"))->click();
    EXPECT_TRUE(ran);
  };
  {
    auto editor = Editor("Detector 005");
    choose(*editor);
    EXPECT_EQ(ini.ReadString("Maps", "Site", ""), "site.bmp");
    // The editor's next site map setup shows the plan chosen.
    editor->SetRunner([](QDialog& d) {
      auto* setupdlg = dynamic_cast<MapSetupDlg*>(&d);
      ASSERT_NE(setupdlg, nullptr);
      EXPECT_EQ(setupdlg->Canvas().Ref().file, "zone3.bmp");
      d.reject();
    });
    editor->findChild<QPushButton*>(QStringLiteral("sitemap"))->click();
    editor->findChild<QPushButton*>(QStringLiteral("cancel"))->click();
    EXPECT_EQ(editor->result(), QDialog::Rejected);
    EXPECT_EQ(ini.ReadString("Maps", "Site", ""), "site.bmp");
  }
  {
    // A plan chosen and then cancelled in the map setup is no choice.
    auto editor = Editor("Detector 005");
    editor->SetRunner([](QDialog& d) {
      auto* setupdlg = dynamic_cast<MapSetupDlg*>(&d);
      ASSERT_NE(setupdlg, nullptr);
      setupdlg->SetFileChooser([] { return QStringLiteral("zone2.bmp"); });
      setupdlg->Browse();
      d.reject();
    });
    editor->findChild<QPushButton*>(QStringLiteral("sitemap"))->click();
    editor->accept();
    ASSERT_EQ(editor->result(), QDialog::Accepted);
    EXPECT_EQ(ini.ReadString("Maps", "Site", ""), "site.bmp");
  }
  auto editor = Editor("Detector 005");
  choose(*editor);
  editor->findChild<QPushButton*>(QStringLiteral("ok"))->click();
  ASSERT_EQ(editor->result(), QDialog::Accepted);
  EXPECT_EQ(ini.ReadString("Maps", "Site", ""), "zone3.bmp");
}

}  // namespace
}  // namespace quillark::test
