#include <gtest/gtest.h>

#include <cstring>
#include <iostream>
#include <regex>
#include <string>
#include <vector>

#include "core/access/stringtable.h"
#include "core/access/translator.h"

namespace quillark {
namespace {

std::string Find(int id) {
  const char* text = FindString(id);
  return text != nullptr ? text : "<missing>";
}

TEST(Strings, TableIsSortedAndEveryTextFitsTheTranslatorBuffer) {
  auto table = StringTable();
  ASSERT_GT(table.size(), 150u);
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (i > 0) {
      EXPECT_LT(table[i - 1].id, table[i].id);
    }
    EXPECT_GT(std::strlen(table[i].text), 0u) << table[i].id;
    EXPECT_LE(std::strlen(table[i].text), 511u) << table[i].id;
    EXPECT_EQ(FindString(table[i].id), table[i].text);  // the search finds every entry
  }
  EXPECT_EQ(FindString(0), nullptr);
  EXPECT_EQ(FindString(19601), nullptr);
  EXPECT_EQ(FindString(99999), nullptr);
}

TEST(Strings, QuotedTextsHaveTheirExactWording) {
  EXPECT_EQ(Find(19100), "No Communications loop %d");
  EXPECT_EQ(Find(18900), "Communications OK");
  EXPECT_EQ(Find(52500),
            "The number of active loops required exceeds the maximum limit. Some loops will be "
            "disabled.");
  EXPECT_EQ(Find(16000),
            "All devices on the bus must be powered up and their addresses set correctly.\n"
            "Do you wish to continue?");
  EXPECT_EQ(Find(16300),
            "The COM port is in use by another program.\n\nClose all other running programs that "
            "use this serial\nport then re-start the software.\n\n");
  EXPECT_EQ(Find(17600), "Error writing to file\n%s.");
  EXPECT_EQ(Find(31100), "Fire 2");
  EXPECT_EQ(Find(31200), "Fire 1");
  EXPECT_EQ(Find(31300), "Pre-Alarm");
  EXPECT_EQ(Find(31400), "Aux");
  EXPECT_EQ(Find(31900), "Detector fault");
  EXPECT_EQ(Find(26500), "Isolate");
  EXPECT_EQ(Find(26600), "De-Isolate");
  EXPECT_EQ(Find(33500), "Reset");
  EXPECT_EQ(Find(19600), "Access disabled.");
  EXPECT_EQ(Find(10100), " fail");  // appended to a part name: keeps its blank
  EXPECT_EQ(Find(18000), "Addr  Device    XOR     Message");
  EXPECT_EQ(Find(52600), "GetCommState error %lu on COM port %d.");
  EXPECT_EQ(Find(14103), "Administrator");
  EXPECT_EQ(Find(50600), "Orvale HLI");
}

TEST(Strings, EventTextsFollowTheirCodes) {
  // The text of device event code n is 20000 + 100 n.
  EXPECT_EQ(Find(20000 + 100 * 0), "Watchdog reset");
  EXPECT_EQ(Find(20000 + 100 * 59), "Flow sensor fail");
  EXPECT_EQ(Find(20000 + 100 * 111), "Fire 2");
  EXPECT_EQ(Find(20000 + 100 * 131), "Fire 2");
  EXPECT_EQ(Find(20000 + 100 * 148), "Comms failure");
  EXPECT_EQ(Find(20000 + 100 * 184), "Flow calibration");
  EXPECT_EQ(Find(20000 + 100 * 117), "<missing>");  // shown as a loop break instead
  // Above the last event the block stays empty, so that a code nobody knows
  // (and the program's own acknowledgement record, 254) never reads as some
  // window's text.
  for (int code = 185; code <= 255; ++code)
    EXPECT_EQ(Find(20000 + 100 * code), "<missing>") << code;
}

TEST(Strings, LanguageNamesMatchTheLanguageTable) {
  const char* names[Translator::LANGUAGES] = {
      "English", "NA", "Dutch",      "French", "German", "NA", "Italian", "NA", "Portuguese",
      "Spanish", "NA", "English-US", "NA",     "NA",     "NA", "NA",      "NA", "Russian"};
  for (int i = 0; i < Translator::LANGUAGES; ++i)
    EXPECT_EQ(Find(Translator::LANGUAGENAMES + i), names[i]) << i;
  EXPECT_EQ(FindString(Translator::LANGUAGENAMES + Translator::LANGUAGES), nullptr);
}

TEST(Strings, ModelNamesArePaddedToOneWidthOfAtMost32) {
  std::size_t width = std::strlen(FindString(14200));
  EXPECT_LE(width, 32u);
  for (int code = 0; code < 20; ++code) {
    const char* name = FindString(14200 + code);
    ASSERT_NE(name, nullptr) << code;
    // An editor that strips trailing blanks from the data file shows up here.
    EXPECT_EQ(std::strlen(name), width) << code;
    EXPECT_NE(name[0], ' ') << code;
  }
  EXPECT_EQ(FindString(14220), nullptr);
}

// The languages the language dialog offers, besides English.
constexpr int OFFERED[] = {2, 3, 4, 6, 8, 9, 11, 17};

std::vector<std::string> Placeholders(const std::string& text) {
  static const std::regex conversion(
      "%[-+ #0]*[0-9*]*(\\.[0-9*]+)?(hh|h|ll|l|z|j|t|L)?[diouxXeEfFgGcspn%]");
  std::vector<std::string> found;
  for (std::sregex_iterator it(text.begin(), text.end(), conversion), end; it != end; ++it)
    if (it->str() != "%%") found.push_back(it->str());
  return found;
}

TEST(Strings, TranslationsKeepThePlaceholdersOfTheirEnglishText) {
  // A translation that drops or swaps a %s/%d hands printf the wrong
  // arguments: the build refuses it, and this checks what was built.
  ASSERT_FALSE(TranslatableTexts().empty());
  for (int language : OFFERED) {
    for (int id : TranslatableTexts()) {
      const char* text = FindString(id + language);
      if (text == nullptr) continue;
      EXPECT_EQ(Placeholders(text), Placeholders(FindString(id)))
          << "text " << id << " in language " << language;
    }
  }
  EXPECT_EQ(Placeholders("%s at %d%%, %lu %-5.2f"),
            (std::vector<std::string>{"%s", "%d", "%lu", "%-5.2f"}));
}

TEST(Strings, EveryOfferedLanguageHasItsTextsAndNamesStayEnglish) {
  for (int language : OFFERED) {
    std::size_t missing = MissingTranslations(language);
    // Reported rather than required: a text added in English shows in
    // English until it is translated.
    std::cout << Find(Translator::LANGUAGENAMES + language) << " (" << language << ") lacks "
              << missing << " of " << TranslatableTexts().size() << " English texts\n";
    EXPECT_LT(missing, TranslatableTexts().size()) << language;
  }
  for (int id : TranslatableTexts()) {
    EXPECT_FALSE(id >= 14100 && id <= 14103) << id;
    EXPECT_FALSE(id >= 14200 && id <= 14219) << id;
    EXPECT_FALSE(id >= Translator::LANGUAGENAMES &&
                 id < Translator::LANGUAGENAMES + Translator::LANGUAGES)
        << id;
  }
  EXPECT_EQ(Find(31204), "Feuer 1");
  EXPECT_EQ(Find(31203), "Feu 1");
  EXPECT_EQ(Find(82217), "Отмена");
  EXPECT_EQ(Find(10104), " Fehler");  // appended to a part name: keeps its blank
  EXPECT_EQ(Find(66004), "&Datei");
  EXPECT_EQ(Find(31217), "Пожар 1");
  EXPECT_EQ(Find(10117), " отказ");
}

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsUtf8(const std::string& text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t extra = c < 0x80             ? 0
                        : (c & 0xE0) == 0xC0 ? 1
                        : (c & 0xF0) == 0xE0 ? 2
                        : (c & 0xF8) == 0xF0 ? 3
                                             : 9;
    if (extra == 9 || i + extra >= text.size()) return false;
    unsigned code = extra == 0 ? c : c & (0x3F >> extra);
    for (std::size_t k = 1; k <= extra; ++k) {
      const auto b = static_cast<unsigned char>(text[i + k]);
      if ((b & 0xC0) != 0x80) return false;
      code = code << 6 | (b & 0x3F);
    }
    const unsigned least[] = {0, 0x80, 0x800, 0x10000};
    if (code < least[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

TEST(Strings, EveryTextIsUtf8) {
  // A translation saved in a Windows code page would show as garbage in
  // every window.
  for (const StringEntry& e : StringTable()) EXPECT_TRUE(IsUtf8(e.text)) << e.id;
  EXPECT_TRUE(IsUtf8("Gerät, Détecteur, ¿Desea"));
  EXPECT_FALSE(IsUtf8("Ger\xE4t"));      // Latin-1
  EXPECT_FALSE(IsUtf8("\xC3"));          // cut short
  EXPECT_FALSE(IsUtf8("\xC0\xAF"));      // overlong '/'
  EXPECT_FALSE(IsUtf8("\xED\xA0\x80"));  // a surrogate
}

// Where each column of a fixed-width heading starts, in characters (not
// bytes: "Gerät" is five wide): a word after a run of blanks.
std::vector<std::size_t> ColumnStarts(const std::string& heading) {
  std::vector<std::size_t> starts;
  std::size_t column = 0;
  int blanks = 0;
  for (char c : heading) {
    if ((static_cast<unsigned char>(c) & 0xC0) == 0x80) continue;  // inside a character
    if (c != ' ' && blanks >= 2) starts.push_back(column);
    blanks = c == ' ' ? blanks + 1 : 0;
    ++column;
  }
  return starts;
}

TEST(Strings, TranslatedColumnHeadingsStayOverTheirColumns) {
  // The rows under these headings are printed at fixed widths whatever the
  // language; a heading word that grew would sit over the wrong column.
  for (int id : {18000, 37900}) {
    const std::vector<std::size_t> english = ColumnStarts(Find(id));
    ASSERT_GE(english.size(), 2u) << id;
    for (int language : OFFERED) {
      const char* text = FindString(id + language);
      if (text == nullptr) continue;
      EXPECT_EQ(ColumnStarts(text), english) << id << " in language " << language << ": " << text;
    }
  }
}

}  // namespace
}  // namespace quillark
