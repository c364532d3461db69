#include "gui/status/alarmdispwindow.h"

#include <gtest/gtest.h>

#include <QListWidget>
#include <QPushButton>

#include "core/app/dockingapp.h"
#include "core/app/mainwindow.h"
#include "guihost.h"

namespace quillark {
namespace {

constexpr int SERVERROOM = 1;   // loop 1, address 1
constexpr int WAREHOUSE = 257;  // loop 2, address 1

class AlarmDispWindowTest : public ::testing::Test {
 protected:
  AlarmDisp& Disp() { return *core.App().GetMainWindow()->GetAlarmDisplay(); }
  void Fire(int device) {
    core.App().GetBus().SetEvent(device, 151);
    core.host.events.Advance(1000);
  }
  test::DemoCore core;
};

TEST_F(AlarmDispWindowTest, AlarmLineShowsInItsColourAndSelectionDrivesTheButtons) {
  AlarmDispWindow w(Disp());
  ASSERT_FALSE(w.isVisible());
  Fire(SERVERROOM);

  const auto& lines = Disp().GetLines();
  const int row = Disp().FindDevice(SERVERROOM);
  ASSERT_GE(row, 0);
  ASSERT_EQ(w.List()->count(), static_cast<int>(lines.size()));
  const AlarmLine& line = lines[static_cast<std::size_t>(row)];
  EXPECT_EQ(w.List()->item(row)->text().toStdString(), line.text);
  const QColor c = w.List()->item(row)->background().color();
  EXPECT_EQ(c.red(), static_cast<int>(line.colour & 0xFF));
  EXPECT_EQ(c.green(), static_cast<int>((line.colour >> 8) & 0xFF));
  EXPECT_EQ(c.blue(), static_cast<int>((line.colour >> 16) & 0xFF));
  // A new line brings the window up on its own.
  EXPECT_TRUE(w.isVisible());

  for (int id : {301, 302, 303, 304, 305}) EXPECT_FALSE(w.GetButton(id)->isEnabled()) << id;
  EXPECT_TRUE(w.GetButton(306)->isEnabled());

  int isolated = -1;
  bool isolate = false;
  Disp().SetActions({[&](int d, bool on) { isolated = d, isolate = on; }, {}, {}, {}});
  w.List()->setCurrentRow(row);
  EXPECT_EQ(Disp().GetSelectedIndex(), row);
  for (int id : {301, 302, 303, 304, 305}) EXPECT_TRUE(w.GetButton(id)->isEnabled()) << id;
  test::SaveGrab(w, "alarmdisp");
  w.GetButton(303)->click();
  EXPECT_EQ(isolated, SERVERROOM);
  EXPECT_TRUE(isolate);

  // A second device's line joins below; the selection stays on the first.
  Fire(WAREHOUSE);
  ASSERT_EQ(w.List()->count(), static_cast<int>(lines.size()));
  for (int i = 0; i < w.List()->count(); ++i)
    EXPECT_EQ(w.List()->item(i)->text().toStdString(), lines[static_cast<std::size_t>(i)].text);
  EXPECT_EQ(w.List()->currentRow(), Disp().GetSelectedIndex());
  EXPECT_EQ(Disp().GetSelectedIndex(), Disp().FindDevice(SERVERROOM));

  // Esc leaves the list up; Close hides it; the command brings it back.
  w.reject();
  EXPECT_TRUE(w.isVisible());
  w.GetButton(306)->click();
  EXPECT_FALSE(w.isVisible());
  w.Toggle();
  EXPECT_TRUE(w.isVisible());
  w.Toggle();
  EXPECT_FALSE(w.isVisible());
}

TEST_F(AlarmDispWindowTest, FollowsADisplayThatAlreadyHasLinesAndIsCleared) {
  Fire(SERVERROOM);
  Fire(WAREHOUSE);
  const int row = Disp().FindDevice(WAREHOUSE);
  Disp().Select(row);
  {
    AlarmDispWindow w(Disp());
    ASSERT_EQ(w.List()->count(), static_cast<int>(Disp().GetLines().size()));
    EXPECT_EQ(w.List()->currentRow(), row);
    EXPECT_TRUE(w.GetButton(304)->isEnabled());

    Disp().Clear();
    EXPECT_EQ(w.List()->count(), 0);
    EXPECT_FALSE(w.GetButton(304)->isEnabled());
  }
  // The window let go of the display when it went.
  Fire(SERVERROOM);
  EXPECT_GE(Disp().FindDevice(SERVERROOM), 0);
}

TEST_F(AlarmDispWindowTest, FullSizeSitsRightOfTheMainWindowAndCannotBeClosed) {
  AlarmDispWindow w(Disp());
  const QRect r = AlarmDispWindow::FullSizeRect(QRect(0, 0, 800, 600));
  EXPECT_EQ(r, QRect(800, 0, 800, 600));
  w.PlaceFullSize(r);
  EXPECT_TRUE(w.isVisible());
  EXPECT_FALSE(w.GetButton(306)->isEnabled());
  w.close();
  EXPECT_TRUE(w.isVisible());
}

}  // namespace
}  // namespace quillark
