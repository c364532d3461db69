// The console's language word on the demonstration home, on the virtual clock.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/access/translator.h"
#include "core/app/console.h"
#include "support/apphost.h"

namespace quillark::test {
namespace {

class LanguageConsole : public ::testing::Test {
 protected:
  void SetUp() override {
    host.StartDemo();
    console = std::make_unique<Console>(*host.app);
  }
  std::string One(const std::string& line) {
    auto out = console->Execute(line);
    return out.empty() ? "<nothing>" : out[0];
  }
  // The alarm viewer line of `device`, or empty.
  std::string AlarmLine(const std::string& device) {
    for (const std::string& line : console->Execute("alarms"))
      if (line.find(device) != std::string::npos) return line;
    return {};
  }
  Translator& Translate() { return host.app->GetServices().translator; }

  AppHost host;
  std::unique_ptr<Console> console;
};

TEST_F(LanguageConsole, GermanSwitchTurnsLaterAlarmLinesGermanAndIsStored) {
  // Guarded like the menu command: administrators only.
  EXPECT_EQ(One("language 4"),
            "refused: the access level is too low; log on first (logon NAME PASSWORD)");
  EXPECT_EQ(Translate().GetCurrentLanguage(), 0);
  ASSERT_EQ(One("logon Administrator"), "logged on as Administrator, access level 3");
  EXPECT_EQ(One("language 4"), "language 4 (German), stored for the next start");
  EXPECT_EQ(host.ini.ReadString("Product", "Language", ""), "4");

  ASSERT_EQ(One("select 1-005"), "selected 1-005, UPS room");
  ASSERT_EQ(One("fire1"), "ok");
  host.events.Advance(3000);
  const std::string line = AlarmLine("1-005");
  EXPECT_NE(line.find("Alarme: "), std::string::npos) << line;
  EXPECT_NE(line.find("Feuer 1"), std::string::npos) << line;
  EXPECT_EQ(line.find("Fire 1"), std::string::npos) << line;

  // And back: the next alarm line reads English again.
  EXPECT_EQ(One("language 0"), "language 0 (English), stored for the next start");
  ASSERT_EQ(One("select 1-003").rfind("selected 1-003", 0), 0u);
  ASSERT_EQ(One("fire2"), "ok");
  host.events.Advance(3000);
  const std::string english = AlarmLine("1-003");
  EXPECT_NE(english.find("Alarms: "), std::string::npos) << english;
  EXPECT_NE(english.find("Fire 2"), std::string::npos) << english;
}

TEST_F(LanguageConsole, BadNumbersAndLanguagesNotOfferedAreRefused) {
  ASSERT_EQ(One("logon Administrator"), "logged on as Administrator, access level 3");
  const std::string usage = "error: usage: language [N] (N from 0 to 17; 'language' lists them)";
  for (const char* line : {"language x", "language 4x", "language +4", "language -1", "language 18",
                           "language 99999999999999999999", "language 4 4", "language 0x4"})
    EXPECT_EQ(One(line), usage) << line;
  EXPECT_EQ(One("language 1"), "error: language 1 is not offered");
  EXPECT_EQ(One("language 10"), "error: language 10 is not offered");
  EXPECT_EQ(Translate().GetCurrentLanguage(), 0);
  EXPECT_TRUE(host.ini.ReadString("Product", "Language", "none") != "1");

  const auto listing = console->Execute("language");
  ASSERT_EQ(listing.size(), 2u);
  EXPECT_EQ(listing[0], "language 0 (English)");
  EXPECT_EQ(listing[1],
            "offered: 0 (English) 2 (Dutch) 3 (French) 4 (German) 6 (Italian) 8 (Portuguese) "
            "9 (Spanish) 11 (English-US) 17 (Russian)");
}

}  // namespace
}  // namespace quillark::test
