#include "gui/status/alarmdispwindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include "core/access/commands.h"
#include "core/access/security.h"
#include "core/app/dockingapp.h"
#include "core/app/mainwindow.h"
#include "core/comms/demoport.h"
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
  ASSERT_EQ(w.Count(), static_cast<int>(lines.size()));
  const AlarmLine& line = lines[static_cast<std::size_t>(row)];
  EXPECT_EQ(w.LineText(row).toStdString(), line.text);
  const QColor c = w.Item(row)->background(AlarmDispWindow::COL_STATE).color();
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
  w.SelectRow(row);
  EXPECT_EQ(Disp().GetSelectedIndex(), row);
  for (int id : {302, 303, 304}) EXPECT_TRUE(w.GetButton(id)->isEnabled()) << id;
  // No zone or map view to show them in: offered only where one is.
  for (int id : {301, 305}) EXPECT_FALSE(w.GetButton(id)->isEnabled()) << id;
  test::SaveGrab(w, "alarmdisp");
  w.GetButton(303)->click();
  EXPECT_EQ(isolated, SERVERROOM);
  EXPECT_TRUE(isolate);

  // A second device's line joins below; the selection stays on the first.
  Fire(WAREHOUSE);
  ASSERT_EQ(w.Count(), static_cast<int>(lines.size()));
  for (int i = 0; i < w.Count(); ++i)
    EXPECT_EQ(w.LineText(i).toStdString(), lines[static_cast<std::size_t>(i)].text);
  EXPECT_EQ(w.CurrentRow(), Disp().GetSelectedIndex());
  EXPECT_EQ(Disp().GetSelectedIndex(), Disp().FindDevice(SERVERROOM));

  // Esc and Close hide it; the command brings it back.
  w.reject();
  EXPECT_FALSE(w.isVisible());
  w.Toggle();
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
    ASSERT_EQ(w.Count(), static_cast<int>(Disp().GetLines().size()));
    EXPECT_EQ(w.CurrentRow(), row);
    EXPECT_TRUE(w.GetButton(304)->isEnabled());

    Disp().Clear();
    EXPECT_EQ(w.Count(), 0);
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
  w.reject();
  EXPECT_TRUE(w.isVisible());
}

TEST_F(AlarmDispWindowTest, ColumnsFitReadOnTheirColourAndTheButtonsSayWhatTheyDo) {
  AlarmDispWindow w(Disp());
  Fire(SERVERROOM);
  const int row = Disp().FindDevice(SERVERROOM);
  ASSERT_GE(row, 0);
  QTreeWidgetItem* item = w.Item(row);
  EXPECT_EQ(item->text(AlarmDispWindow::COL_DEVICE), QStringLiteral("1-001"));
  EXPECT_FALSE(item->text(AlarmDispWindow::COL_DATE).isEmpty());
  EXPECT_FALSE(item->text(AlarmDispWindow::COL_STATE).isEmpty());
  EXPECT_EQ(item->toolTip(AlarmDispWindow::COL_LOCATION).toStdString(),
            Disp().GetLines()[static_cast<std::size_t>(row)].text);
  EXPECT_EQ(w.List()->header()->sectionResizeMode(AlarmDispWindow::COL_LOCATION),
            QHeaderView::Interactive);

  // At its default size nothing needs sideways scrolling: the columns fit.
  w.resize(w.sizeHint());
  w.show();
  int total = 0;
  for (int i = 0; i < AlarmDispWindow::COLUMNS - 1; ++i) total += w.List()->columnWidth(i);
  EXPECT_LT(total, w.List()->viewport()->width());
  EXPECT_EQ(w.List()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

  // Every button has its Alt letter.
  for (int id = 301; id <= 307; ++id) EXPECT_TRUE(w.GetButton(id)->text().contains('&')) << id;

  // Isolated, the line takes the configured isolated colour unchanged and
  // light text on it; the button offers to de-isolate.
  const EventInfo& colours = *core.App().GetMainWindow()->GetEventInfo();
  bool isolate = false;
  Disp().SetActions({[&](int, bool on) { isolate = on; }, {}, {}, {}});
  core.App().GetBus().SetEvent(SERVERROOM, DEMO_RESET);
  core.host.events.Advance(1000);
  ASSERT_TRUE(core.App().GetMainWindow()->GetSecurity()->LogOn("Engineer", ""));
  ASSERT_TRUE(core.App().Isolate(SERVERROOM, true));
  core.host.events.Advance(1000);
  const int irow = Disp().FindDevice(SERVERROOM);
  ASSERT_GE(irow, 0);
  ASSERT_NE(Disp().GetDeviceFaultStatus(SERVERROOM) & 0x20, 0u);
  w.SelectRow(irow);
  QTreeWidgetItem* isolated = w.Item(irow);
  const QColor bg = isolated->background(AlarmDispWindow::COL_STATE).color();
  const QColor fg = isolated->foreground(AlarmDispWindow::COL_STATE).color();
  const EventInfo::colour bgc = EventInfo::RGB(bg.red(), bg.green(), bg.blue());
  EXPECT_EQ(bgc, colours.GetIsolatedColour());
  EXPECT_GE(EventInfo::ContrastRatio(EventInfo::RGB(fg.red(), fg.green(), fg.blue()), bgc), 4.5);
  EXPECT_EQ(w.GetButton(AlarmDispWindow::IDC_ISOLATE)->text(), QStringLiteral("&De-isolate"));
  test::SaveGrab(w, "alarmdisp-columns");
  w.GetButton(AlarmDispWindow::IDC_ISOLATE)->click();
  EXPECT_FALSE(isolate);

  // Silence says so.
  EXPECT_FALSE(w.GetButton(AlarmDispWindow::IDC_SILENCE)->isChecked());
  w.GetButton(AlarmDispWindow::IDC_SILENCE)->click();
  EXPECT_TRUE(w.GetButton(AlarmDispWindow::IDC_SILENCE)->isChecked());
  EXPECT_EQ(w.GetButton(AlarmDispWindow::IDC_SILENCE)->text(), QStringLiteral("&Silenced"));
}

// Unacknowledged lines are bold, a cleared one says so, and Ctrl+K or the
// button acknowledges through the guarded command.
TEST_F(AlarmDispWindowTest, AcknowledgeButtonShortcutAndWhatStandsOut) {
  ASSERT_TRUE(Disp().AcknowledgeModel());  // the demonstration home turns it on
  AlarmDispWindow w(Disp());
  std::vector<int> ran;
  w.SetCommandRunner([&](int id) {
    ran.push_back(id);
    core.App().ExecuteCommand(id);
  });
  QPushButton* ack = w.GetButton(AlarmDispWindow::IDC_ACKNOWLEDGE);
  QPushButton* ackall = w.GetButton(AlarmDispWindow::IDC_ACKNOWLEDGEALL);
  ASSERT_TRUE(ack->isVisibleTo(&w));
  Fire(SERVERROOM);
  const int row = Disp().FindDevice(SERVERROOM);
  ASSERT_GE(row, 0);
  auto item = [&](int r) { return w.Item(r); };
  EXPECT_TRUE(item(row)->font(AlarmDispWindow::COL_STATE).bold());
  EXPECT_FALSE(ack->isEnabled());  // nothing selected
  EXPECT_TRUE(ackall->isEnabled());

  auto ctrlk = [&](Qt::KeyboardModifiers mods) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_K, mods);
    QApplication::sendEvent(w.List(), &press);
  };
  w.SelectRow(row);
  EXPECT_TRUE(ack->isEnabled());
  // Nobody logged on: the command is refused and the line still waits.
  ctrlk(Qt::ControlModifier);
  EXPECT_EQ(ran, std::vector<int>{CMD_ACKNOWLEDGE});
  EXPECT_FALSE(Disp().GetLines()[static_cast<std::size_t>(row)].acknowledged);
  ASSERT_TRUE(core.App().GetMainWindow()->GetSecurity()->LogOn("Engineer", ""));
  ctrlk(Qt::ControlModifier);
  EXPECT_TRUE(Disp().GetLines()[static_cast<std::size_t>(row)].acknowledged);
  EXPECT_FALSE(item(row)->font(AlarmDispWindow::COL_STATE).bold());
  EXPECT_FALSE(ack->isEnabled());

  // A second fire that clears before anybody looks stays, marked.
  Fire(WAREHOUSE);
  core.App().GetBus().SetEvent(WAREHOUSE, DEMO_RESET);
  core.host.events.Advance(1000);
  const int cleared = Disp().FindDevice(WAREHOUSE);
  ASSERT_GE(cleared, 0);
  EXPECT_TRUE(item(cleared)->text(AlarmDispWindow::COL_STATE).startsWith("Cleared: "));
  EXPECT_TRUE(item(cleared)->font(AlarmDispWindow::COL_STATE).bold());
  EXPECT_TRUE(item(cleared)->font(AlarmDispWindow::COL_STATE).italic());
  test::SaveGrab(w, "alarmdisp-acknowledge");
  ctrlk(Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(Disp().FindDevice(WAREHOUSE), -1);
  EXPECT_EQ(w.Count(), static_cast<int>(Disp().GetLines().size()));
  EXPECT_FALSE(ackall->isEnabled());
}

TEST_F(AlarmDispWindowTest, WithoutAcknowledgementTheButtonsAreNotThere) {
  Disp().SetAcknowledgeModel(false);
  AlarmDispWindow w(Disp());
  EXPECT_FALSE(w.GetButton(AlarmDispWindow::IDC_ACKNOWLEDGE)->isVisibleTo(&w));
  EXPECT_FALSE(w.GetButton(AlarmDispWindow::IDC_ACKNOWLEDGEALL)->isVisibleTo(&w));
  Fire(SERVERROOM);
  const int row = Disp().FindDevice(SERVERROOM);
  ASSERT_GE(row, 0);
  EXPECT_FALSE(w.Item(row)->font(AlarmDispWindow::COL_STATE).bold());
}

TEST_F(AlarmDispWindowTest, FloodBannerShowsWhileItLastsAndThenWhenItEnded) {
  AlarmDispWindow w(Disp());
  w.resize(900, 500);
  EXPECT_FALSE(w.Banner()->isVisibleTo(&w));
  // Addresses the demonstration site does not poll, so nothing answers
  // back to normal in between.
  for (unsigned a = 11; a <= 50; ++a) {
    Disp().DecodeStatus(1, a, 0x01, 0, 0);  // the second loop fails device by device
    core.host.events.Advance(20);
  }
  // In the middle of it a fire and a pre-alarm on the first loop.
  Disp().DecodeStatus(0, 21, 0x04, 0, 0);
  Disp().DecodeStatus(0, 20, 0x08, 0, 0);
  for (unsigned a = 51; a <= 70; ++a) Disp().DecodeStatus(1, a, 0x01, 0, 0);
  EXPECT_EQ(w.Count(), static_cast<int>(Disp().GetLines().size()));
  // The fire on top, then the first loop's group, then the failed loop's.
  const QStringList shown = w.ShownOrder();
  ASSERT_EQ(shown.size(), 1 + 2 + 1 + 60);
  EXPECT_EQ(shown[0], "*1-020");
  EXPECT_EQ(shown[1], "[Loop 1: 1 line: 1 pre-alarm]");
  EXPECT_EQ(shown[2], "1-021");
  EXPECT_EQ(shown[3], "[Loop 2: 60 lines: 60 faults]");
  EXPECT_EQ(shown[4], "2-011");
  EXPECT_EQ(shown.back(), "2-070");
  EXPECT_TRUE(
      w.Item(Disp().FindDevice(20))->text(AlarmDispWindow::COL_STATE).startsWith("First fire: "));
  // A group folded by the operator stays folded as lines come and go.
  QTreeWidgetItem* failed = w.List()->topLevelItem(2);
  ASSERT_EQ(failed->childCount(), 60);
  failed->setExpanded(false);
  Disp().DecodeStatus(1, 71, 0x01, 0, 0);
  EXPECT_FALSE(w.List()->topLevelItem(2)->isExpanded());
  EXPECT_EQ(w.List()->topLevelItem(2)->childCount(), 61);
  // Choosing a line in a group selects that line's device.
  w.SelectRow(Disp().FindDevice(256 + 17));
  int device = -1;
  ASSERT_TRUE(Disp().GetSelectedDevice(device));
  EXPECT_EQ(device, 256 + 17);
  w.List()->topLevelItem(2)->setExpanded(true);
  EXPECT_TRUE(w.Banner()->isVisibleTo(&w));
  EXPECT_TRUE(w.Banner()->text().startsWith("Alarm flood: ")) << w.Banner()->text().toStdString();
  test::SaveGrab(w, "alarmdisp-flood");
  // The window notices the end by itself.
  core.host.events.Advance(11 * 60 * 1000);
  QCoreApplication::processEvents();
  w.RefreshBanner();
  EXPECT_TRUE(w.Banner()->text().startsWith("Alarm flood ended at "))
      << w.Banner()->text().toStdString();
}

}  // namespace
}  // namespace quillark
