#include "gui/views/histogramwindow.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>

#include "core/access/commands.h"
#include "core/access/translator.h"
#include "core/app/dockingapp.h"
#include "core/views/histogramsource.h"
#include "guihost.h"

namespace quillark::test {
namespace {

// How many pixels of the picture are not the plain background.
int Drawn(const QImage& image) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) != qRgb(100, 100, 200) ? 1 : 0;
  return n;
}

TEST(HistogramWindowTest, AsksTheDeviceAndDrawsItsAnswer) {
  DemoCore core;
  QPointer<HistogramWindow> w = new HistogramWindow(core.App(), 0x005);
  // The same picture with no answer: axes and labels only.
  HistogramSource none(nullptr, 0x005);
  QImage blank(640, 480, QImage::Format_RGB32);
  QPainter painter(&blank);
  PaintHistogram(painter, none, core.App().GetServices().translator, {});
  painter.end();
  const int empty = Drawn(blank);
  core.host.events.Advance(500);  // the demonstration loop answers
  ASSERT_TRUE(w->Source().IsValid());
  EXPECT_EQ(w->Source().Answer().classes, 32);
  EXPECT_EQ(w->DeviceBox()->currentData().toInt(), 0x005);
  // Bars, flags and figures appear once the answer is in.
  const int full = Drawn(w->Picture());
  EXPECT_GT(full, empty + 5000);
  // Without the bar graph less is drawn; the sensitivity panel adds.
  w->BarGraphAction()->trigger();
  EXPECT_LT(Drawn(w->Picture()), full);
  w->BarGraphAction()->trigger();
  w->SensitivityAction()->trigger();
  EXPECT_GT(Drawn(w->Picture()), full);
  w->show();
  SaveGrab(*w, "histogram");
  QDir().mkpath(QUILLARK_GRAB_DIR);
  w->Picture().save(QStringLiteral(QUILLARK_GRAB_DIR "/histogram-picture.png"));
  // The longest panel words (Russian) to look at beside the English ones.
  core.App().GetServices().translator.SetLanguage(17);
  w->Picture().save(QStringLiteral(QUILLARK_GRAB_DIR "/histogram-picture-russian.png"));
  core.App().GetServices().translator.SetLanguage(0);

  // Another detector is asked at once, and its answer replaces the first.
  const int six = w->DeviceBox()->findData(0x006);
  ASSERT_GE(six, 0);
  w->DeviceBox()->setCurrentIndex(six);
  emit w->DeviceBox()->activated(six);
  core.host.events.Advance(500);
  EXPECT_TRUE(w->Source().IsValid());
  EXPECT_EQ(w->Source().Answer().detector, 6);

  // The space bar closes the viewer, which goes with its bus registration.
  QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier);
  QApplication::sendEvent(w, &space);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(w.isNull());
  core.host.events.Advance(500);  // answers keep coming, to nobody
}

TEST(HistogramWindowTest, TimerStartsStopsAndFollowsTheAnswers) {
  DemoCore core;
  HistogramWindow w(core.App(), 0x005);
  w.TimerAction()->trigger();
  HistogramTimerWindow& timer = *w.TimerWindow();
  EXPECT_TRUE(timer.isVisible());
  EXPECT_EQ(timer.Button()->text(), QStringLiteral("Start"));
  timer.Button()->click();
  EXPECT_EQ(timer.Button()->text(), QStringLiteral("Stop"));
  core.host.events.Advance(3000);
  // The demonstration level (13) is below every threshold: all run on.
  timer.Refresh();
  EXPECT_EQ(timer.TimeText(HistogramTimer::FIRE1), QStringLiteral("00:03"));
  SaveGrab(timer, "histogram-timer");
  timer.Button()->click();
  EXPECT_EQ(timer.Button()->text(), QStringLiteral("Start"));
  core.host.events.Advance(5000);
  EXPECT_EQ(timer.TimeText(HistogramTimer::AUX), QStringLiteral("00:03"));
}

TEST(HistogramWindowTest, TheCommandKeepsOneViewerAndSwitchesItsDevice) {
  DemoCore core;
  QWidget parent;
  HistogramCommands commands(core.App(), &parent);
  EXPECT_TRUE(core.App().HasCommandHandler(CMD_HISTOGRAM));
  commands.Show(0x005);
  HistogramWindow* first = commands.Window();
  ASSERT_NE(first, nullptr);
  commands.Show(0x007);
  EXPECT_EQ(commands.Window(), first);
  EXPECT_EQ(first->Source().Device(), 0x007);
  EXPECT_EQ(first->DeviceBox()->currentData().toInt(), 0x007);
}

}  // namespace
}  // namespace quillark::test
