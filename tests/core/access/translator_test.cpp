#include "core/access/translator.h"

#include <gtest/gtest.h>

#include <clocale>
#include <iterator>
#include <string>
#include <utility>

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

// The form each count asks for, at the numbers where the rules turn.
TEST(PluralFormTest, EachLanguageFamilyTurnsAtItsOwnNumbers) {
  const unsigned long counts[] = {0, 1, 2, 4, 5, 11, 12, 14, 21, 22, 25, 101, 111};
  constexpr PluralForm O = PluralForm::ONE, F = PluralForm::FEW, X = PluralForm::OTHER;
  const PluralForm oneisone[] = {X, O, X, X, X, X, X, X, X, X, X, X, X};
  const PluralForm french[] = {O, O, X, X, X, X, X, X, X, X, X, X, X};
  const PluralForm russian[] = {X, O, F, F, X, X, X, X, O, F, X, O, X};
  for (std::size_t i = 0; i < std::size(counts); ++i) {
    const unsigned long n = counts[i];
    // English, Dutch, German, Italian, Portuguese, Spanish, English-US, and
    // languages not offered, which read English.
    for (int language : {0, 1, 2, 4, 6, 8, 9, 11, 16, 18, -1})
      EXPECT_EQ(Translator::PluralFormOf(language, n), oneisone[i]) << language << " " << n;
    EXPECT_EQ(Translator::PluralFormOf(3, n), french[i]) << n;
    EXPECT_EQ(Translator::PluralFormOf(17, n), russian[i]) << n;
  }
  // Far past the hundreds the last two digits still decide.
  EXPECT_EQ(Translator::PluralFormOf(17, 1000011), PluralForm::OTHER);
  EXPECT_EQ(Translator::PluralFormOf(17, 1000023), PluralForm::FEW);
}

TEST(PluralFormTest, CountWordReadsTheFormOfTheCurrentLanguage) {
  Translator t(nullptr, nullptr);
  // "line": 56900/65100, its few form 90000.
  const CountedWord line{56900, "line", 65100, "lines", 90000};
  EXPECT_EQ(t.Counted(1, line), "1 line");
  EXPECT_EQ(t.Counted(0, line), "0 lines");
  EXPECT_EQ(t.Counted(3, line), "3 lines");
  t.SetLanguage(3);
  EXPECT_EQ(t.Counted(0, line), "0 ligne");
  EXPECT_EQ(t.Counted(2, line), "2 lignes");
  t.SetLanguage(17);
  EXPECT_EQ(t.Counted(21, line), "21 строка");
  EXPECT_EQ(t.Counted(3, line), "3 строки");
  EXPECT_EQ(t.Counted(12, line), "12 строк");
  // A word without a few form reads its plural there.
  EXPECT_EQ(t.CountWord(3, {56900, "line", 65100, "lines"}), "строк");
  // Numbers missing from the table read the English given.
  const CountedWord missing{1, "thing", 3, "things", 5};
  EXPECT_EQ(t.Counted(1, missing), "1 thing");
  EXPECT_EQ(t.Counted(2, missing), "2 things");
  EXPECT_EQ(t.Counted(5, missing), "5 things");
}

// Every few form is in the table in every language: in a language without
// such a form it is the same word as the plural.
TEST(PluralFormTest, FewFormsAreThePluralWhereALanguageHasNoFewForm) {
  Translator t(nullptr, nullptr);
  const std::pair<int, int> fewandplural[] = {{90000, 65100}, {90020, 65200}, {90040, 65300},
                                              {90060, 65500}, {90080, 65400}, {90120, 65600},
                                              {90160, 85100}};
  for (int language : {0, 2, 3, 4, 6, 8, 9, 11})
    for (const auto& [few, plural] : fewandplural)
      EXPECT_EQ(std::string(t.GetTextInLanguage(few, language)),
                std::string(t.GetTextInLanguage(plural, language)))
          << language << " " << few;
  // Russian words after 2-4 differ from those after 5; the search result
  // does not, since "из" asks for the genitive plural after both.
  for (const auto& [few, plural] : fewandplural)
    if (few != 90160) {
      EXPECT_NE(std::string(t.GetTextInLanguage(few, 17)),
                std::string(t.GetTextInLanguage(plural, 17)))
          << few;
    }
  t.SetLanguage(17);
  const CountedWord found{90140, "%1 of %2 event found", 85100, "%1 of %2 events found", 90160};
  EXPECT_EQ(t.CountWord(21, found), "Найдено %1 из %2 события");
  EXPECT_EQ(t.CountWord(3, found), "Найдено %1 из %2 событий");
  EXPECT_EQ(t.CountWord(11, found), "Найдено %1 из %2 событий");
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
