#include "core/access/translator.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "core/access/layouts.h"
#include "core/common/inifile.h"
#include "support/recordingprompter.h"
#include "support/tempdir.h"

namespace quillark {
namespace {

// Every test runs on its own settings file and puts the process locale back,
// since SetLanguage changes it for the whole program.
class TranslatorTest : public ::testing::Test {
 protected:
  TranslatorTest() : ini(dir / "quillark.ini") {}
  void SetUp() override { savedlocale = std::setlocale(LC_ALL, nullptr); }
  void TearDown() override { std::setlocale(LC_ALL, savedlocale.c_str()); }

  void StoreLanguage(const std::string& value) { ini.WriteString("Product", "Language", value); }
  std::string Locale() { return std::setlocale(LC_ALL, nullptr); }

  test::TempDir dir;
  INIfile ini;
  test::RecordingPrompter prompter;
  std::string savedlocale;
};

TEST_F(TranslatorTest, ReadsTheStoredLanguageWithoutTouchingTheLocale) {
  std::setlocale(LC_ALL, "C");
  StoreLanguage("11");
  Translator t(&ini, &prompter);
  EXPECT_EQ(t.GetCurrentLanguage(), 11);
  EXPECT_EQ(t.GetLanguage(), 11);
  EXPECT_EQ(Locale(), "C");
  EXPECT_TRUE(prompter.prompts.empty());

  StoreLanguage("");  // present but empty reads as 0, like a missing key
  EXPECT_EQ(Translator(&ini, &prompter).GetCurrentLanguage(), 0);
  INIfile missing(dir / "none.ini");
  EXPECT_EQ(Translator(&missing, &prompter).GetCurrentLanguage(), 0);
  EXPECT_EQ(Translator(nullptr, nullptr).GetCurrentLanguage(), 0);
}

TEST_F(TranslatorTest, LanguageOutsideTheTableReadsEnglishAndSaysSoInWords) {
  std::setlocale(LC_ALL, "C");
  for (int language : {18, 25, -1}) {
    SCOPED_TRACE(language);
    prompter.prompts.clear();
    Translator t(&ini, &prompter);
    t.SetLanguage(language);
    EXPECT_EQ(t.GetCurrentLanguage(), language);
    EXPECT_EQ(t.GetLanguage(), language);  // stored as given
    EXPECT_EQ(Locale(), "C");
    EXPECT_STREQ(Translator::LocaleName(language), "en_US");
    EXPECT_STREQ(Translator::LanguageCode(language), "en");
    ASSERT_EQ(prompter.prompts.size(), 1u);
    EXPECT_EQ(prompter.prompts[0].caption, "");
    EXPECT_EQ(prompter.prompts[0].text, "There are no texts for language " +
                                            std::to_string(language) +
                                            "; the English texts are shown.");
    EXPECT_EQ(prompter.prompts[0].icon, PromptIcon::INFORMATION);
  }
}

TEST_F(TranslatorTest, LanguageInTheTableSwitchesWithoutABoxAndLeavesTheCLocale) {
  // The process locale stays "C" whatever the machine has installed: numbers
  // written to files must not take a decimal comma.
  std::setlocale(LC_ALL, "C");
  Translator t(&ini, &prompter);
  for (int language : {3, 2, 17, 0}) {
    t.SetLanguage(language);
    EXPECT_EQ(t.GetCurrentLanguage(), language);
    EXPECT_EQ(ini.ReadString("Product", "Language", ""), std::to_string(language));
  }
  EXPECT_TRUE(prompter.prompts.empty());
  EXPECT_EQ(Locale(), "C");
  EXPECT_STREQ(Translator::LocaleName(3), "fr_FR");
  // The language of the texts is not the number format's: Dutch texts
  // format numbers as German does.
  EXPECT_STREQ(Translator::LocaleName(2), "de_DE");
  EXPECT_STREQ(Translator::LanguageCode(2), "nl");
  EXPECT_STREQ(Translator::LanguageCode(17), "ru");
  EXPECT_STREQ(Translator::LanguageCode(11), "en");

  // No settings file and nobody to tell: still switches.
  Translator bare(nullptr, nullptr);
  bare.SetLanguage(40);
  EXPECT_EQ(bare.GetCurrentLanguage(), 40);
  EXPECT_EQ(Locale(), "C");
}

TEST_F(TranslatorTest, TextInLanguageFallsBackToEnglishThenToEmpty) {
  Translator t(nullptr, nullptr);
  // A language with no texts of its own (10 is not offered) shows English.
  EXPECT_STREQ(t.GetTextInLanguage(19600, 10), "Access disabled.");
  EXPECT_STREQ(t.GetTextInLanguage(19600, 17), "Доступ запрещён.");
  // The language's own number is tried first: 19900 + 2 is a text of its own.
  EXPECT_STREQ(t.GetTextInLanguage(19900, 2), "Dutch");
  // Missing in English as well: empty (diagnostic status code 6 has no text).
  EXPECT_STREQ(t.GetTextInLanguage(9600, 0), "");
  EXPECT_STREQ(t.GetTextInLanguage(9600, 4), "");
  EXPECT_STREQ(t.GetTextInLanguage(-5), "");
  EXPECT_STREQ(t.GetTextInLanguage(2147483647, 17), "");
}

TEST_F(TranslatorTest, OfferedLanguagesReadTheirOwnTextsAndSwitchAtOnce) {
  StoreLanguage("4");
  Translator t(&ini, &prompter);
  EXPECT_STREQ(t.GetTextInLanguage(31200), "Feuer 1");
  EXPECT_STREQ(t.GetTextInLanguage(19600), "Zugang gesperrt.");
  EXPECT_EQ(t.LanguageName(4), "German");
  t.SetLanguage(3);
  EXPECT_STREQ(t.GetTextInLanguage(31200), "Feu 1");
  EXPECT_STREQ(t.GetTextInLanguage(19100), "Pas de communication boucle %d");
  t.SetLanguage(11);
  EXPECT_STREQ(t.GetTextInLanguage(31800), "AC power fault");
  t.SetLanguage(0);
  EXPECT_STREQ(t.GetTextInLanguage(31800), "Mains fault");
  EXPECT_STREQ(t.GetTextInLanguage(31200, 2), "Brand 1");
  EXPECT_STREQ(t.GetTextInLanguage(31200, 6), "Incendio 1");
  EXPECT_STREQ(t.GetTextInLanguage(31200, 8), "Fogo 1");
  EXPECT_STREQ(t.GetTextInLanguage(31200, 9), "Fuego 1");
}

TEST_F(TranslatorTest, LanguageOutsideTheTableReadsEnglishNotTheNextText) {
  // 14600 + 50 is the next text: a language index of 50 must not land on it.
  Translator t(nullptr, nullptr);
  EXPECT_STREQ(t.GetTextInLanguage(14600, 50), "No rec");
  EXPECT_STREQ(t.GetTextInLanguage(14650, -50), "1 second");

  StoreLanguage("50");
  Translator stored(&ini, &prompter);
  EXPECT_STREQ(stored.GetTextInLanguage(14600), "No rec");
  EXPECT_STREQ(stored.AppendLanguage("SECURITY"), "SECURITY_UK");
}

TEST_F(TranslatorTest, TextFollowsTheCurrentLanguageAndTheBufferIsReused) {
  StoreLanguage("2");
  Translator t(&ini, &prompter);
  const char* first = t.GetTextInLanguage(19900);
  EXPECT_STREQ(first, "Dutch");
  EXPECT_EQ(t.Text(19600), "Toegang uitgeschakeld.");
  const char* second = t.GetTextInLanguage(18900);
  EXPECT_EQ(first, second);  // one buffer: callers copy at once
  EXPECT_STREQ(first, "Communicatie OK");
  EXPECT_EQ(t.LanguageName(2), "Dutch");
  EXPECT_EQ(t.LanguageName(18), "");
}

TEST_F(TranslatorTest, AppendLanguageUsesTheSuffixAndCutsLongNames) {
  Translator t(nullptr, nullptr);
  EXPECT_STREQ(t.AppendLanguage("HISTVIEWER", 2), "HISTVIEWER_NL");
  EXPECT_STREQ(t.AppendLanguage("SECURITY", 4), "SECURITY_GR");
  EXPECT_STREQ(t.AppendLanguage("X", 18), "X_UK");
  EXPECT_STREQ(t.AppendLanguage("X", -3), "X_UK");
  EXPECT_STREQ(t.AppendLanguage("QUILLARK"), "QUILLARK_UK");
  EXPECT_STREQ(t.AppendLanguage(nullptr, 0), "_UK");

  std::string longname(70, 'A');
  std::string cut = t.AppendLanguage(longname.c_str(), 3);
  EXPECT_EQ(cut, std::string(62, 'A'));
  std::string exact(59, 'B');  // 59 + "_FR" is exactly 62
  EXPECT_EQ(std::string(t.AppendLanguage(exact.c_str(), 3)), exact + "_FR");

  // One static buffer for every translator.
  Translator other(nullptr, nullptr);
  const char* a = t.AppendLanguage("A", 0);
  const char* b = other.AppendLanguage("B", 0);
  EXPECT_EQ(a, b);
  EXPECT_STREQ(a, "B_UK");
}

TEST_F(TranslatorTest, EveryLayoutFallsBackToEnglishInEveryLanguage) {
  for (int language = 0; language < Translator::LANGUAGES; ++language) {
    SCOPED_TRACE(language);
    StoreLanguage(std::to_string(language));
    Translator t(&ini, &prompter);
    EXPECT_STREQ(t.GetMenu("QUILLARK"), "QUILLARK_UK");
    EXPECT_STREQ(t.GetMenu("HISTVIEWER"), "HISTVIEWER_UK");
    EXPECT_STREQ(t.GetMenu("CHARTVIEWER"), "CHARTVIEWER_UK");
    EXPECT_STREQ(t.GetDialog("SECURITY"), "SECURITY_UK");
    EXPECT_STREQ(t.GetDialog("LANGUAGE"), "LANGUAGE_UK");
    EXPECT_EQ(t.GetPropertyPage("DIALOG_LEVELS2K"), "DIALOG_LEVELS2K_UK");
    // A name that exists in no language still gets the English form.
    EXPECT_STREQ(t.GetDialog("NOSUCHDIALOG"), "NOSUCHDIALOG_UK");
  }
}

TEST_F(TranslatorTest, SwedishAsksForSvLayoutsAndGetsTheEnglishOnes) {
  StoreLanguage("10");
  Translator t(&ini, &prompter);
  EXPECT_STREQ(t.AppendLanguage("SITECONF"), "SITECONF_SV");
  EXPECT_STREQ(t.GetDialog("SITECONF"), "SITECONF_UK");
  // A menu and a dialog of the same base are separate kinds of layout.
  EXPECT_STREQ(t.GetMenu("SITECONF"), "SITECONF_UK");
  EXPECT_FALSE(HasMenuLayout("SITECONF_UK"));

  // The page is a copy: later lookups do not change it.
  std::string page = t.GetPropertyPage("ACTIONS");
  t.GetDialog("FNIO");
  EXPECT_EQ(page, "ACTIONS_UK");
}

TEST(Layouts, RegistryHoldsOnlyEnglishLayouts) {
  EXPECT_TRUE(HasDialogLayout("DIALOG_BUSSETUP_UK"));
  EXPECT_TRUE(HasDialogLayout("scanner_uk"));  // resource names ignore case
  EXPECT_FALSE(HasDialogLayout("SCANNER"));
  EXPECT_FALSE(HasDialogLayout("SOPDIALOG_UK"));  // used by its plain name only
  for (auto list : {MenuLayouts(), DialogLayouts()}) {
    for (const char* name : list) EXPECT_TRUE(std::string(name).ends_with("_UK")) << name;
  }
}

}  // namespace
}  // namespace quillark
