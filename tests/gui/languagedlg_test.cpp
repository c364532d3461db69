#include "gui/access/languagedlg.h"

#include <gtest/gtest.h>

#include <QComboBox>

#include "core/access/translator.h"
#include "core/app/dockingapp.h"
#include "core/common/ini.h"
#include "guihost.h"

namespace quillark {
namespace {

class LanguageDlgTest : public ::testing::Test {
 protected:
  Translator& Tr() { return core.App().GetServices().translator; }
  INI& Ini() { return *(&core.App().GetServices().ini); }
  long Stored() { return Ini().ReadInt("Product", "Language", "0"); }
  QStringList Entries(const LanguageDlg& dlg) {
    QStringList l;
    for (int i = 0; i < dlg.Languages()->count(); ++i) l << dlg.Languages()->itemText(i);
    return l;
  }
  test::DemoCore core;
};

TEST_F(LanguageDlgTest, OffersTheNamedLanguagesInOrderAndStoresTheChoice) {
  Ini().WriteInt("Product", "Language", 0);
  LanguageDlg dlg(Tr(), Ini());
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Set language"));
  EXPECT_EQ(Entries(dlg), (QStringList{"Dutch", "English", "English-US", "French", "German",
                                       "Italian", "Portuguese", "Russian", "Spanish"}));
  EXPECT_EQ(dlg.Languages()->currentText(), QStringLiteral("English"));
  test::SaveGrab(dlg, "language");

  dlg.Languages()->setCurrentIndex(dlg.Languages()->findText("German"));
  dlg.accept();
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(Stored(), 4);
  EXPECT_EQ(Tr().GetCurrentLanguage(), 4);

  // Cancel leaves the setting alone.
  LanguageDlg again(Tr(), Ini());
  EXPECT_EQ(again.Languages()->currentText(), QStringLiteral("German"));
  again.Languages()->setCurrentIndex(again.Languages()->findText("Dutch"));
  again.reject();
  EXPECT_EQ(Stored(), 4);
}

TEST_F(LanguageDlgTest, AnUnofferedCurrentLanguageIsShownAndKeptAsItself) {
  // Languages 1 and 5 are both "NA": OK on language 5 must not turn it into 1.
  Ini().WriteInt("Product", "Language", 5);
  LanguageDlg dlg(Tr(), Ini());
  EXPECT_EQ(dlg.Languages()->currentText(), QStringLiteral("NA"));
  EXPECT_EQ(Entries(dlg).count("NA"), 1);
  EXPECT_EQ(dlg.SelectedLanguage(), 5);
  dlg.accept();
  EXPECT_EQ(Stored(), 5);

  // A stored language outside the table has no entry; OK stores nothing.
  Ini().WriteInt("Product", "Language", 25);
  const auto prompts = core.host.prompter.prompts.size();
  LanguageDlg bad(Tr(), Ini());
  EXPECT_GT(core.host.prompter.prompts.size(), prompts);  // "Language = 25"
  EXPECT_EQ(bad.SelectedLanguage(), -1);
  bad.accept();
  EXPECT_NE(bad.result(), QDialog::Accepted);
  EXPECT_EQ(Stored(), 25);
  Tr().SetLanguage(0);
}

}  // namespace
}  // namespace quillark
