#include "gui/app/mainframe.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMenuBar>
#include <QToolBar>

#include "core/access/commands.h"
#include "guihost.h"

namespace quillark::test {
namespace {

TEST(MainFrame, CommandsAreEnabledByTheirHandlersSelectionAndLevel) {
  DemoCore core;
  MainFrame frame;
  frame.Attach(&core.App());

  // Features still to come have no handler: present but disabled.
  ASSERT_NE(frame.Action(CMD_HISTOGRAM), nullptr);
  EXPECT_FALSE(frame.Action(CMD_HISTOGRAM)->isEnabled());
  EXPECT_FALSE(frame.Action(CMD_SITECONF)->isEnabled());
  EXPECT_TRUE(frame.Action(CMD_LOCK)->isEnabled());

  // Isolate follows the selected device's model and port.
  core.App().SetSelDetector(77);
  frame.UpdateCommands();
  EXPECT_FALSE(frame.Action(CMD_ISOLATE)->isEnabled());
  core.App().SetSelDetector(5);
  frame.UpdateCommands();
  EXPECT_TRUE(frame.Action(CMD_ISOLATE)->isEnabled());

  EXPECT_TRUE(frame.Action(CMD_LOGTOPRINTER)->isCheckable());
  EXPECT_FALSE(frame.Action(CMD_LOGTOPRINTER)->isChecked());
  EXPECT_EQ(frame.windowTitle().toStdString(), core.App().GetTitle());

  // Every command of the table that a person can choose is in the menus.
  for (std::size_t i = 0; i < CommandCount(); ++i) {
    const int id = CommandAt(i).id;
    if (id >= CMD_DEMOFIRE2 && id <= CMD_DEMODETFAULT) continue;  // the device context menu
    EXPECT_NE(frame.Action(id), nullptr) << CommandAt(i).name;
  }
  auto* bar = frame.findChild<QToolBar*>("commands");
  ASSERT_NE(bar, nullptr);
  int buttons = 0;
  for (QAction* a : bar->actions()) buttons += a->isSeparator() ? 0 : 1;
  EXPECT_EQ(buttons, 14);
  frame.resize(900, 300);
  SaveGrab(frame, "mainframe");
}

TEST(MainFrame, StatusFieldShowsTextInItsColours) {
  MainFrame frame;
  EXPECT_EQ(frame.StatusText().toStdString(), "Initialising...");
  frame.SetStatusText("No Communications loop 2", RGB_BLACK, RGB_LIGHTYELLOW);
  EXPECT_EQ(frame.StatusText().toStdString(), "No Communications loop 2");
  frame.setWindowTitle("Quillark");
  frame.FlashCaption(true);
  EXPECT_TRUE(frame.windowTitle().startsWith("***"));
  frame.FlashCaption(true);  // blinks back
  EXPECT_FALSE(frame.windowTitle().startsWith("***"));
  frame.FlashCaption(false);
  EXPECT_EQ(frame.windowTitle().toStdString(), "Quillark");
}

}  // namespace
}  // namespace quillark::test
