#include "core/access/translator.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

#include "core/access/layouts.h"
#include "core/access/stringtable.h"
#include "core/common/ini.h"
#include "core/common/textutil.h"
#include "core/platform/prompter.h"

namespace quillark {

namespace {

// How a language picks the form of a counted word.
enum class PluralRule {
  ONEISONE,    // "1 line", "0 lines", "2 lines"
  ZEROANDONE,  // French: "0 ligne", "1 ligne", "2 lignes"
  SLAVIC,      // Russian: 1, 21, 101 one; 2-4, 22-24 few; 0, 5-20, 111 many
};

struct Language {
  const char* suffix;  // of menu and dialog layout names
  const char* locale;  // what the windows format numbers and dates by
  const char* code;    // ISO 639 code of the language the texts are written in
  PluralRule plural = PluralRule::ONEISONE;
};

// Languages that are not offered ("NA" names) still have a suffix and a
// locale, so that a stored index of one of them behaves like any other; they
// read the English texts, so their code is English.
constexpr Language languages[Translator::LANGUAGES] = {
    {"UK", "en_US", "en"},                          // 0 English
    {"UK", "fr_FR", "en"},                          // 1 not offered
    {"NL", "de_DE", "nl"},                          // 2 Dutch
    {"FR", "fr_FR", "fr", PluralRule::ZEROANDONE},  // 3 French
    {"GR", "de_DE", "de"},                          // 4 German
    {"UK", "fr_FR", "en"},                          // 5 not offered
    {"IT", "de_DE", "it"},                          // 6 Italian
    {"NO", "de_DE", "en"},                          // 7 not offered
    {"PT", "de_DE", "pt"},                          // 8 Portuguese
    {"SP", "fr_FR", "es"},                          // 9 Spanish
    {"SV", "de_DE", "en"},                          // 10 not offered
    {"US", "en_US", "en"},                          // 11 English-US
    {"UK", "fr_FR", "en"},                          // 12 not offered
    {"KR", "en_US", "en"},                          // 13 not offered
    {"SC", "en_US", "en"},                          // 14 not offered
    {"TC", "en_US", "en"},                          // 15 not offered
    {"PL", "fr_FR", "en"},                          // 16 not offered
    {"RU", "fr_FR", "ru", PluralRule::SLAVIC},      // 17 Russian
};

bool InTable(int language) {
  return language >= 0 && language < Translator::LANGUAGES;
}

}  // namespace

Translator::Translator(INI* i, Prompter* p) : ini(i), prompter(p) {
  CurrentLanguage = GetLanguage();
}

int Translator::GetLanguage() {
  if (ini == nullptr) return 0;
  long language = ini->ReadInt("Product", "Language", "0");
  if (language < INT_MIN) return INT_MIN;
  if (language > INT_MAX) return INT_MAX;
  return static_cast<int>(language);
}

void Translator::SetLanguage(int language) {
  CurrentLanguage = language;
  if (ini != nullptr) ini->WriteInt("Product", "Language", language);
  if (InTable(language) || prompter == nullptr) return;
  prompter->Show(
      "", Format("There are no texts for language %d; the English texts are shown.", language),
      PromptIcon::INFORMATION);
}

const char* Translator::LocaleName(int language) {
  return InTable(language) ? languages[language].locale : languages[0].locale;
}

const char* Translator::LanguageCode(int language) {
  return InTable(language) ? languages[language].code : languages[0].code;
}

// A language outside the table has no texts of its own: adding it to the id
// would land on some other text (language 50 is the next text's English),
// so such a language reads the English text.
const char* Translator::GetTextInLanguage(int id, int language) {
  Buffer[0] = '\0';
  const char* text = nullptr;
  if (InTable(language) && id <= INT_MAX - language) text = FindString(id + language);
  if (text == nullptr) text = FindString(id);
  if (text != nullptr) {
    std::size_t n = std::min(std::strlen(text), sizeof Buffer - 1);
    std::memcpy(Buffer, text, n);
    Buffer[n] = '\0';
  }
  return Buffer;
}

const char* Translator::GetTextInLanguage(int id) {
  return GetTextInLanguage(id, CurrentLanguage);
}

PluralForm Translator::PluralFormOf(int language, unsigned long n) {
  const PluralRule rule = InTable(language) ? languages[language].plural : PluralRule::ONEISONE;
  switch (rule) {
    case PluralRule::ZEROANDONE:
      return n <= 1 ? PluralForm::ONE : PluralForm::OTHER;
    case PluralRule::SLAVIC: {
      const unsigned long units = n % 10, hundreds = n % 100;
      if (units == 1 && hundreds != 11) return PluralForm::ONE;
      if (units >= 2 && units <= 4 && (hundreds < 12 || hundreds > 14)) return PluralForm::FEW;
      return PluralForm::OTHER;
    }
    case PluralRule::ONEISONE:
      break;
  }
  return n == 1 ? PluralForm::ONE : PluralForm::OTHER;
}

std::string Translator::CountWord(unsigned long n, const CountedWord& word) {
  switch (PluralFormOf(CurrentLanguage, n)) {
    case PluralForm::ONE:
      return TextOr(word.one, word.oneenglish);
    case PluralForm::FEW:
      // A table without the few text still reads the plural.
      if (word.few != 0) {
        std::string few = Text(word.few);
        if (!few.empty()) return few;
      }
      break;
    case PluralForm::OTHER:
      break;
  }
  return TextOr(word.other, word.otherenglish);
}

const char* Translator::AppendLanguage(const char* name, int language) {
  static char buffer[63];
  std::string full = std::string(name != nullptr ? name : "") + "_" + LanguageSuffix(language);
  std::size_t n = std::min(full.size(), sizeof buffer - 1);
  std::memcpy(buffer, full.data(), n);
  buffer[n] = '\0';
  return buffer;
}

const char* Translator::AppendLanguage(const char* name) {
  return AppendLanguage(name, CurrentLanguage);
}

const char* Translator::GetMenu(const char* name) {
  const char* layout = AppendLanguage(name);
  if (!HasMenuLayout(layout)) layout = AppendLanguage(name, 0);
  return layout;
}

const char* Translator::GetDialog(const char* name) {
  const char* layout = AppendLanguage(name);
  if (!HasDialogLayout(layout)) layout = AppendLanguage(name, 0);
  return layout;
}

std::string Translator::GetPropertyPage(const char* name) {
  return GetDialog(name);
}

std::string Translator::LanguageName(int language) {
  if (!InTable(language)) return {};
  return GetTextInLanguage(LANGUAGENAMES + language, 0);
}

// Out of the table the suffix is English: the index may come straight from
// the settings file and must not reach past the table.
const char* Translator::LanguageSuffix(int language) {
  return InTable(language) ? languages[language].suffix : languages[0].suffix;
}

const char* Translator::LanguageLocale(int language) {
  return InTable(language) ? languages[language].locale : nullptr;
}

}  // namespace quillark
