#include "gui/status/sopdialogwindow.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <map>

#include "core/status/selset.h"
#include "guihost.h"

namespace quillark {
namespace {

// Devices that do what they are told at once.
class ObedientDevices : public SOPExecutive {
 public:
  void Isolate(int device, bool on) override { isolated[device] = on; }
  unsigned GetDeviceStatus(int device) override { return isolated[device] ? 0x01 : 0x00; }
  unsigned GetDeviceFaultStatus(int device) override { return isolated[device] ? 0x20 : 0x00; }
  std::map<int, bool> isolated;
};

class SOPDialogWindowTest : public ::testing::Test {
 protected:
  SOPDialogWindowTest() {
    selection.InsertInternalAddress(1);
    selection.InsertInternalAddress(2);
  }
  test::VirtualEventLoop events;
  ObedientDevices devices;
  SOPWindowHost host;
  SOPLauncher launcher{devices, events, [this](SOPDialog* d) { host.Follow(d); }};
  SelectionSet selection;
};

TEST_F(SOPDialogWindowTest, ShowsTheOperationAndFollowsItToTheEnd) {
  launcher.LaunchSopDialog(SOPC_MASS_ISOLATE, selection);
  SOPDialogWindow* w = host.GetWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Isolate Selected Detectors ..."));
  EXPECT_EQ(w->Label(501)->text(), QStringLiteral("Detectors to Isolate"));
  EXPECT_EQ(w->Label(504)->text(), QStringLiteral("Communications Fault"));
  EXPECT_EQ(w->Field(521)->text(), QStringLiteral("2"));
  EXPECT_TRUE(w->Field(521)->isReadOnly());

  events.Advance(10000);
  SOPDialog& d = *launcher.GetSopDialog();
  ASSERT_TRUE(d.IsFinished());
  EXPECT_EQ(w->Field(522)->text(), QStringLiteral("2"));
  EXPECT_EQ(w->Field(523)->text(), QStringLiteral("0"));
  EXPECT_EQ(w->Progress()->value(), w->Progress()->maximum());
  test::SaveGrab(*w, "sopdialog");

  // Closing goes through the dialog; its owner then removes the window.
  w->CloseButton()->click();
  events.RunPending();
  EXPECT_EQ(launcher.GetSopDialog(), nullptr);
  EXPECT_EQ(host.GetWindow(), nullptr);
}

TEST_F(SOPDialogWindowTest, AutoCloseBoxAndANewOperationReplaceTheWindow) {
  launcher.LaunchSopDialog(SOPC_MASS_DEISOLATE, selection);
  SOPDialogWindow* first = host.GetWindow();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->windowTitle(), QStringLiteral("De-Isolate Selected Detectors ..."));
  // Nothing counted yet for an unknown state: the bar is empty, not busy.
  EXPECT_GT(first->Progress()->maximum(), first->Progress()->minimum());

  launcher.LaunchSopDialog(SOPC_MASS_ISOLATE, selection);
  ASSERT_NE(host.GetWindow(), nullptr);
  EXPECT_EQ(host.GetWindow()->windowTitle(), QStringLiteral("Isolate Selected Detectors ..."));

  host.GetWindow()->AutoClose()->click();
  EXPECT_TRUE(launcher.GetSopDialog()->GetAutoClose());
  EXPECT_TRUE(host.GetWindow()->AutoClose()->isChecked());
  events.Advance(30000);
  EXPECT_EQ(launcher.GetSopDialog(), nullptr);
  EXPECT_EQ(host.GetWindow(), nullptr);
}

}  // namespace
}  // namespace quillark
