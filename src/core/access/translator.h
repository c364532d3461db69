#pragma once

#include <string>

namespace quillark {

class INI;
class Prompter;

// The grammatical number a count asks of the word it counts. Languages with
// two forms use ONE and OTHER; Russian also FEW (2-4, 22-24...) and calls its
// third form, OTHER here, "many" (5-20, 25...).
enum class PluralForm { ONE, FEW, OTHER };

// A counted word in all its forms, stated once by the caller: the table text
// and English of the form after one and after other counts; `few` is the table
// text for Russian's 2-4 (in languages without that form it holds the plural),
// 0 for a word that reads the same there as its OTHER form.
struct CountedWord {
  int one;
  const char* oneenglish;
  int other;
  const char* otherenglish;
  int few = 0;
};

// Hands out every visible text by number in the current language, and the
// names of menu and dialog layouts, falling back to English.
class Translator {
 public:
  static constexpr int LANGUAGES = 18;
  // The English name of language L is text LANGUAGENAMES + L ("NA" for a
  // language that is not offered).
  static constexpr int LANGUAGENAMES = 19900;

  // Reads "Product"/"Language" from `ini` (may be null: English). The locale
  // is not set here. `prompter` shows the message of a bad language (may be null).
  Translator(INI* ini, Prompter* prompter);

  int GetLanguage();  // the stored setting
  int GetCurrentLanguage() const { return CurrentLanguage; }
  // Stores and switches the language. The process's C locale is left as it
  // is: numbers in files must not change with the operator's language, and a
  // machine without the language's C locale must still switch. A language
  // outside the table reads English and is reported once.
  void SetLanguage(int language);
  // The locale name ("fr_FR") the windows format numbers and dates by; the
  // English one outside the table.
  static const char* LocaleName(int language);
  // The ISO 639 code of the language the texts are shown in ("nl"): not the
  // locale above, which follows number formats (Dutch formats as "de_DE").
  // "en" for every language that reads the English texts.
  static const char* LanguageCode(int language);

  // The text `id` + language, else `id`, else empty. The returned buffer is
  // overwritten by the next lookup: copy it at once (or use Text()).
  const char* GetTextInLanguage(int id, int language);
  const char* GetTextInLanguage(int id);
  // A copy of GetTextInLanguage(id), for callers that keep it.
  std::string Text(int id) { return GetTextInLanguage(id); }
  // Text(id), else `english`: a window stays readable with a text table
  // that lacks the text.
  std::string TextOr(int id, const char* english) {
    std::string text = Text(id);
    return text.empty() ? std::string(english) : text;
  }

  // The form a count of n asks for in `language`; a language without texts
  // of its own counts as English does.
  static PluralForm PluralFormOf(int language, unsigned long n);
  // The form of `word` that n asks for in the current language ("line",
  // "lines"; "строка", "строки", "строк"): the word alone, or a whole
  // sentence when the texts are sentences about the count.
  std::string CountWord(unsigned long n, const CountedWord& word);
  // n and its word: "3 lines".
  std::string Counted(unsigned long n, const CountedWord& word) {
    return std::to_string(n) + " " + CountWord(n, word);
  }

  const char* AppendLanguage(const char* name, int language);
  const char* AppendLanguage(const char* name);
  // Layout names: name_<suffix> when such a layout exists, else name_UK.
  const char* GetMenu(const char* name);
  const char* GetDialog(const char* name);
  std::string GetPropertyPage(const char* name);

  // The English name of a language, empty outside 0..LANGUAGES-1.
  std::string LanguageName(int language);
  // The layout-name suffix and C locale name of a language; a language outside
  // the table has the English suffix and no locale (null).
  static const char* LanguageSuffix(int language);
  static const char* LanguageLocale(int language);

 private:
  int CurrentLanguage = 0;
  char Buffer[512] = {};
  INI* ini;
  Prompter* prompter;
};

// The table's text `id` in the operator's language, else `english`; English
// also for code that may run without a translator (a tool, a test's bare object).
inline std::string TextOr(Translator* translator, int id, const char* english) {
  return translator != nullptr ? translator->TextOr(id, english) : std::string(english);
}

}  // namespace quillark
