// Switching the language from the console of the real program: later alarm
// lines read in it, and the choice is there at the next start.
#include <gtest/gtest.h>

#include "console.h"
#include "process.h"
#include "support/tempdir.h"

namespace quillark::test {
namespace {

using namespace std::chrono_literals;

TEST(Language, AlarmLinesReadInTheChosenLanguageAndTheLastChoiceIsKeptForTheNextStart) {
  TempDir home;
  CopyDemoHome(home.Path());
  {
    auto p = StartHeadless(home.Path());
    EXPECT_TRUE(Answers(*p, "language 4", "refused: the access level is too low"));
    ASSERT_TRUE(Answers(*p, "logon Administrator", "logged on as Administrator"));
    ASSERT_TRUE(Answers(*p, "language 4", "language 4 (German), stored for the next start"));
    ASSERT_TRUE(Answers(*p, "select 1-003", "selected 1-003"));
    ASSERT_TRUE(Answers(*p, "fire1", "ok"));
    ASSERT_TRUE(StatusBecomes(*p, "1-003", "1-003 status 0x0e"));
    p->Send("alarms");
    // The command module's line comes first; the detector's is the one here.
    const std::string line = p->WaitFor("1-003", 5s);
    EXPECT_NE(line.find("Feuer 1"), std::string::npos) << line;
    EXPECT_NE(line.find("Alarme: "), std::string::npos) << line;

    // Cyrillic goes through the console as it is, and a later alarm reads in
    // the new language.
    ASSERT_TRUE(Answers(*p, "language 17", "language 17 (Russian), stored for the next start"));
    ASSERT_TRUE(Answers(*p, "select 1-005", "selected 1-005"));
    ASSERT_TRUE(Answers(*p, "fire1", "ok"));
    ASSERT_TRUE(StatusBecomes(*p, "1-005", "1-005 status 0x0e"));
    p->Send("alarms");
    const std::string russian = p->WaitFor("Пожар 1", 5s);
    EXPECT_NE(russian.find("1-005"), std::string::npos) << russian;
    EXPECT_NE(russian.find("Тревоги: "), std::string::npos) << russian;
    EXPECT_TRUE(Quit(*p));
  }
  auto again = StartHeadless(home.Path());
  EXPECT_TRUE(Answers(*again, "language", "language 17 (Russian)"));
  EXPECT_TRUE(Quit(*again));
}

}  // namespace
}  // namespace quillark::test
