// The checks the language tests lean on: the clipped-text finder sees a text
// squeezed out of its room and passes laid-out windows, and a language change
// reaches every open window.
#include <gtest/gtest.h>

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "core/access/translator.h"
#include "gui/common/langpropertypage.h"
#include "gui/common/uitext.h"
#include "textfit.h"

namespace quillark::test {
namespace {

TEST(TextFit, SqueezedTextsAreFoundAndLaidOutOnesPass) {
  QDialog dialog;
  auto* layout = new QVBoxLayout(&dialog);
  auto* label = new QLabel(QStringLiteral("Detector settings of the whole loop"), &dialog);
  auto* button = new QPushButton(QStringLiteral("&Diagnostics..."), &dialog);
  layout->addWidget(label);
  layout->addWidget(button);
  EXPECT_TRUE(ClippedTexts(dialog).isEmpty()) << ClippedTexts(dialog).join(", ").toStdString();

  label->setFixedWidth(40);
  button->setFixedWidth(30);
  dialog.adjustSize();
  const QStringList clipped = ClippedTexts(dialog);
  ASSERT_EQ(clipped.size(), 2) << clipped.join(", ").toStdString();
  EXPECT_TRUE(clipped[0].contains("whole loop"));
  EXPECT_TRUE(clipped[1].contains("Diagnostics"));
}

class Counting : public QWidget {
 public:
  using QWidget::QWidget;
  int changes = 0;

 protected:
  void changeEvent(QEvent* e) override {
    if (IsLanguageChange(e)) ++changes;
    QWidget::changeEvent(e);
  }
};

TEST(TextFit, ALanguageChangeReachesEveryOpenWindowOnce) {
  Counting first;
  Counting second;
  auto* child = new Counting(&first);
  first.show();
  second.show();
  AnnounceLanguageChange();
  QApplication::processEvents();
  EXPECT_EQ(first.changes, 1);
  EXPECT_EQ(second.changes, 1);
  EXPECT_EQ(child->changes, 1);
}

TEST(TextFit, APropertyPageRetitlesItsTabInTheNewLanguage) {
  Translator translator(nullptr, nullptr);
  QTabWidget sheet;
  // 7300 is the first alarm action page: "Input 1".
  new LangPropertyPage(sheet, translator, 7300, "Input 1");
  sheet.show();
  ASSERT_EQ(sheet.count(), 1);
  EXPECT_EQ(sheet.tabText(0), QStringLiteral("Input 1"));
  translator.SetLanguage(4);
  AnnounceLanguageChange();
  QApplication::processEvents();
  EXPECT_EQ(sheet.tabText(0), QString::fromUtf8(translator.GetTextInLanguage(7300)));
  EXPECT_NE(sheet.tabText(0), QStringLiteral("Input 1"));
}

}  // namespace
}  // namespace quillark::test
