#include "gui/views/bargraphview.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTabBar>
#include <cstdio>

#include "core/access/commands.h"
#include "core/app/mainwindow.h"
#include "core/site/config.h"
#include "guihost.h"
#include "support/frames.h"

namespace quillark::test {
namespace {

void Answer(TDockingApp& app, int loop, int slot, int st, int fault, int level) {
  char body[16];
  std::snprintf(body, sizeof body, "@%c%02x%02x%02x", static_cast<char>(0x80 | slot), st, fault,
                level);
  const std::string f = WithSum(body);
  app.DespatchRxMessage(loop, f.c_str(), static_cast<int>(f.size()), true);
}

void Mouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButtons held) {
  const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent e(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), button, held, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &e);
}
void Click(QWidget* w, QPoint pos) {
  Mouse(w, QEvent::MouseButtonPress, pos, Qt::LeftButton);
  Mouse(w, QEvent::MouseButtonRelease, pos, Qt::NoButton);
}

QPoint Centre(const PanelDisp& p) {
  const auto& r = p.GetPanelRect();
  return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

std::unique_ptr<BargraphView> MakeView(TDockingApp& app, int loops) {
  auto view = std::make_unique<BargraphView>(
      app,
      std::make_unique<Bargraph>(&app.GetBus(), &app, loops, app.GetMainWindow()->GetEventInfo()));
  view->resize(840, 520);
  view->show();
  return view;
}

TEST(BargraphViewTest, PanelsFollowTheDemoLoopsAndRepaintAlone) {
  DemoCore core;
  auto view = MakeView(core.App(), 2);
  Bargraph& bg = view->GetBargraph();
  ASSERT_EQ(view->Tabs()->count(), 4);
  EXPECT_EQ(view->Tabs()->tabText(3), "All loops");
  EXPECT_EQ(view->Tabs()->currentIndex(), 3);
  ASSERT_NE(bg.GetPanel(3), nullptr);

  // A fire on detector 1-003 lights its lamp and shows in its picture.
  Answer(core.App(), 0, 3, 0x19, 0x00, 0x1E);
  EXPECT_EQ(bg.GetPanel(3)->Alarm(0).GetState(), SL_ON);
  QImage img = view->Canvas()->grab().toImage();
  const auto& r3 = bg.GetPanel(3)->GetPanelRect();
  const auto lamp = PanelGeometry::ALARM(0);
  const QColor lit = img.pixelColor(r3.left + lamp.x + lamp.w / 2, r3.top + lamp.y + lamp.h / 2);
  EXPECT_GT(lit.red(), 200);
  EXPECT_LT(lit.green(), 100);
  // Isolate another to see the blue lamp in the picture.
  Answer(core.App(), 1, 2, 0x01, 0x20, 0x03);
  SaveGrab(*view, "bargraph");

  // Choosing a loop tab shows that loop's panels only.
  view->Tabs()->setCurrentIndex(1);
  EXPECT_EQ(bg.GetCurrentTab(), 1);
  EXPECT_EQ(bg.GetPanel(3), nullptr);
  EXPECT_NE(bg.GetPanel(258), nullptr);
  EXPECT_EQ(bg.GetPanel(258)->Status().GetState(), SL_ON2);
}

TEST(BargraphViewTest, MouseSelectsAndTheMenuRunsCommands) {
  DemoCore core;
  auto view = MakeView(core.App(), 2);
  Bargraph& bg = view->GetBargraph();
  SelectionSet& sel = core.App().GetSelection();
  QWidget* canvas = view->Canvas();

  Click(canvas, Centre(*bg.GetPanel(3)));
  EXPECT_EQ(sel.Count(), 1);
  EXPECT_EQ(core.App().GetSelDetector(), 3);

  // Drag from inside the first panel to inside the third.
  const QPoint a = Centre(bg.GetPanels()[0]), c = Centre(bg.GetPanels()[2]);
  Mouse(canvas, QEvent::MouseButtonPress, a, Qt::LeftButton);
  Mouse(canvas, QEvent::MouseMove, (a + c) / 2, Qt::LeftButton);
  Mouse(canvas, QEvent::MouseMove, c, Qt::LeftButton);
  Mouse(canvas, QEvent::MouseButtonRelease, c, Qt::NoButton);
  EXPECT_EQ(sel.Count(), 3);
  EXPECT_FALSE(sel.ContainsInternalAddress(3));
  SaveGrab(*view, "bargraph_selected");

  Click(canvas, Centre(*bg.GetPanel(3)));
  auto menu = view->MakeContextMenu(view.get());
  QAction* fire2 = nullptr;
  int massentries = 0;
  for (QAction* act : menu->actions()) {
    if (act->data().toInt() == CMD_DEMOFIRE2) fire2 = act;
    if (act->data().toInt() == CMD_ISOLATESELECTED || act->data().toInt() == CMD_DEISOLATESELECTED)
      ++massentries;
    if (!act->isSeparator()) {
      EXPECT_FALSE(act->text().isEmpty());
    }
  }
  EXPECT_EQ(massentries, 2);
  ASSERT_NE(fire2, nullptr);
  ASSERT_TRUE(fire2->isEnabled());
  // The simulated fire reaches the detector's next answer and its panel.
  fire2->trigger();
  core.host.events.Advance(3000);
  EXPECT_EQ(bg.GetPanel(3)->Alarm(0).GetState(), SL_ON);
}

// Paint time of a full 16-loop site of 127 detectors a loop; printed for a
// person to follow, never judged here.
TEST(BargraphViewTest, FullSitePaintTime) {
  DemoCore core;
  TSiteConfig& site = *core.App().GetSiteConfig();
  for (int loop = 0; loop < 16; ++loop) {
    site.InsertDevice(DeviceConfig(static_cast<std::uint32_t>(loop * 256 + 1), BUSCONTROLLER,
                                   PELORIN2000BUSMASTER));
    for (int a = 1; a <= 127; ++a)
      site.InsertDevice(
          DeviceConfig(static_cast<std::uint32_t>(loop * 256 + a), DETECTOR, PELORIN2000DETECTOR));
  }
  auto view = MakeView(core.App(), 16);
  Bargraph& bg = view->GetBargraph();
  ASSERT_GE(bg.GetPanels().size(), 16u * 128u);

  QWidget* canvas = view->Canvas();
  QImage image(canvas->size(), QImage::Format_RGB32);
  QElapsedTimer timer;
  timer.start();
  canvas->render(&image);
  const qint64 full = timer.nsecsElapsed();

  // One panel's rectangle, as the widget repaints a changed panel.
  const auto& r = bg.GetPanel(15 * 256 + 100)->GetPanelRect();
  const QRegion one(r.left, r.top, r.right - r.left, r.bottom - r.top);
  const int rounds = 200;
  timer.restart();
  for (int i = 0; i < rounds; ++i) canvas->render(&image, QPoint(r.left, r.top), one);
  const qint64 single = timer.nsecsElapsed() / rounds;
  std::printf("bargraph %zu panels (%dx%d): full paint %.1f ms, one panel %.1f us\n",
              bg.GetPanels().size(), canvas->width(), canvas->height(), full / 1e6, single / 1e3);
}

}  // namespace
}  // namespace quillark::test
