#include "gui/app/mainframe.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPrinter>
#include <QToolBar>

#include "core/access/commands.h"
#include "gui/app/startuplogo.h"
#include "gui/common/printmargins.h"
#include "gui/common/toolicons.h"
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

namespace quillark::test {
namespace {

// How much of a picture is drawn (not transparent).
int DrawnPixels(const QIcon& icon, int size) {
  const QImage image = icon.pixmap(size, size).toImage();
  int drawn = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) drawn += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
  return drawn;
}

// Lock and Help carry pictures of the program's own on every theme, drawn at
// each toolbar size rather than the style's fallback.
TEST(MainFrame, LockAndHelpHaveTheirOwnPicturesAtEverySize) {
  DemoCore core;
  MainFrame frame;
  frame.Attach(&core.App());
  for (int id : {CMD_LOCK, CMD_CONTENTS}) {
    ASSERT_NE(frame.Action(id), nullptr) << id;
    const QIcon icon = frame.Action(id)->icon();
    ASSERT_FALSE(icon.isNull()) << id;
    for (int size : {16, 24, 32}) {
      EXPECT_EQ(icon.pixmap(size, size).width(), size);
      // A real picture fills a good part of its square, a missing one nothing.
      EXPECT_GT(DrawnPixels(icon, size), size * size / 4) << id << " at " << size;
    }
  }
  EXPECT_NE(DrawnPixels(LockIcon(), 32), DrawnPixels(HelpIcon(), 32));
  QImage sheet(80, 40, QImage::Format_ARGB32);
  sheet.fill(Qt::white);
  QPainter p(&sheet);
  p.drawPixmap(4, 4, LockIcon().pixmap(32, 32));
  p.drawPixmap(44, 4, HelpIcon().pixmap(32, 32));
  p.end();
  QDir().mkpath(QUILLARK_GRAB_DIR);
  sheet.save(QStringLiteral(QUILLARK_GRAB_DIR "/toolicons.png"));
}

// The logo stays above the main window, but the first message box ends it so
// a start-up error is never hidden behind it.
TEST(MainFrame, StartupLogoStaysAboveUntilItsTimeOrTheFirstDialog) {
  MainFrame frame;
  frame.show();
  QPixmap picture(200, 100);
  picture.fill(Qt::darkBlue);
  {
    StartupLogo logo(picture);
    logo.Show(60000);
    EXPECT_TRUE(logo.IsShowing());
    EXPECT_TRUE(logo.Splash().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QMessageBox box(QMessageBox::Critical, "", "The COM port is in use", QMessageBox::Ok, &frame);
    box.show();
    EXPECT_FALSE(logo.IsShowing());
  }
  StartupLogo timed(picture);
  timed.Show(10);
  EXPECT_TRUE(timed.IsShowing());
  // Waits for the logo's own timer to end it (at most 5 s before failing).
  QElapsedTimer waited;
  waited.start();
  while (timed.IsShowing() && waited.elapsed() < 5000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_FALSE(timed.IsShowing());
}

// Printouts keep at least 10 mm from the edge, and wider printer margins stay.
TEST(Printing, MarginsAreAtLeastTenMillimetresAndWiderOnesAreKept) {
  QPrinter pdf(QPrinter::HighResolution);
  pdf.setOutputFormat(QPrinter::PdfFormat);
  pdf.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
  KeepPrintMargins(pdf);
  const QRectF paper = pdf.paperRect(QPrinter::Millimeter);
  const QRectF page = pdf.pageRect(QPrinter::Millimeter);
  EXPECT_GE(page.left() - paper.left(), 9.99);
  EXPECT_GE(page.top() - paper.top(), 9.99);
  EXPECT_GE(paper.right() - page.right(), 9.99);
  EXPECT_GE(paper.bottom() - page.bottom(), 9.99);

  QPrinter wide(QPrinter::HighResolution);
  wide.setOutputFormat(QPrinter::PdfFormat);
  wide.setPageMargins(QMarginsF(25, 5, 12, 30), QPageLayout::Millimeter);
  KeepPrintMargins(wide);
  const QMarginsF kept = wide.pageLayout().margins(QPageLayout::Millimeter);
  EXPECT_NEAR(kept.left(), 25, 0.01);
  EXPECT_NEAR(kept.top(), 10, 0.01);
  EXPECT_NEAR(kept.right(), 12, 0.01);
  EXPECT_NEAR(kept.bottom(), 30, 0.01);
}

}  // namespace
}  // namespace quillark::test
