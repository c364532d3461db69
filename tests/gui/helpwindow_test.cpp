#include "gui/common/helpwindow.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>

namespace quillark::test {
namespace {

TEST(HelpWindow, ShowsTheShippedPagesAtTheirContext) {
  HelpWindow help;
  help.ShowContext(102);
  const QString text = help.toPlainText();
  EXPECT_TRUE(text.contains("The alarm/fault viewer")) << text.left(200).toStdString();
  EXPECT_TRUE(text.contains("Command module settings"));
  help.ShowContext(0);
  EXPECT_TRUE(help.isVisible());

  // Escape closes it, as it closes the dialogs.
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QCoreApplication::sendEvent(&help, &escape);
  EXPECT_FALSE(help.isVisible());
}

}  // namespace
}  // namespace quillark::test
