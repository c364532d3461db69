#include <gtest/gtest.h>

#include <cstring>
#include <string>

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

}  // namespace
}  // namespace quillark
