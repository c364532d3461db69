#include "gui/views/frontpanelwindow.h"

#include <gtest/gtest.h>

#include <QPushButton>

#include "core/access/security.h"
#include "core/app/dockingapp.h"
#include "core/app/mainwindow.h"
#include "core/views/frontpanel.h"
#include "guihost.h"
#include "support/frames.h"

namespace quillark::test {
namespace {

TEST(FrontPanelWindowTest, FollowsItsDetectorAndIsolatesThenDeIsolates) {
  DemoCore core;
  ASSERT_TRUE(core.App().GetMainWindow()->GetSecurity()->LogOn("Operator", ""));
  QWidget parent;
  // Only a detector has a front panel.
  core.App().SetSelDetector(0x000);
  EXPECT_EQ(FrontPanelWindow::Open(core.App(), &parent), nullptr);
  core.App().SetSelDetector(0x005);
  FrontPanelWindow* w = FrontPanelWindow::Open(core.App(), &parent);
  ASSERT_NE(w, nullptr);
  core.host.events.Advance(500);
  EXPECT_NE(w->Source().LastStatus(), STATUS_UNKNOWN);  // the detector's answers arrive
  EXPECT_EQ(w->IsolateButton()->text(), QStringLiteral("&Isolate"));

  // Frames of other detectors, and long frames, change nothing.
  const unsigned before = w->Source().LastStatus();
  w->Source().MsgRx(0, FastPollAnswer(6, 0x11, 0x20, 0).c_str());
  w->Source().MsgRx(1, FastPollAnswer(5, 0x11, 0x20, 0).c_str());
  EXPECT_EQ(w->Source().LastStatus(), before);

  // Isolate, the detector's answers in between, then the button de-isolates.
  w->IsolateButton()->click();
  core.host.events.Advance(1500);
  EXPECT_TRUE(w->Source().LastFault() & FT_ISOLATED);
  EXPECT_EQ(w->IsolateButton()->text(), QStringLiteral("&De-isolate"));
  SaveGrab(*w, "frontpanel");
  w->IsolateButton()->click();
  core.host.events.Advance(1500);
  EXPECT_FALSE(w->Source().LastFault() & FT_ISOLATED);
}

}  // namespace
}  // namespace quillark::test
