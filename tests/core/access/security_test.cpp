#include "core/access/security.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/access/translator.h"
#include "core/common/inifile.h"
#include "core/platform/eventwriter.h"
#include "support/apphost.h"
#include "support/recordingprompter.h"
#include "support/tempdir.h"
#include "support/virtualeventloop.h"

namespace quillark {
namespace {

using RecordingEvents = test::RecordingEventWriter;

// Answers log-on prompts from a queue (cancelled when it runs dry) and
// remembers what it was shown.
class ScriptedLogOn : public LogOnPrompt {
 public:
  std::optional<LogOnAnswer> AskForLogOn(const std::vector<std::string>& n,
                                         std::size_t pre) override {
    names = n;
    preselected = pre;
    ++asked;
    if (answers.empty()) return std::nullopt;
    auto a = answers.front();
    answers.pop_front();
    return a;
  }
  std::deque<std::optional<LogOnAnswer>> answers;
  std::vector<std::string> names;
  std::size_t preselected = 99;
  int asked = 0;
};

struct ScriptedEditor : PasswordEditor {
  void EditPasswords(PasswordEditSession& session) override { script(session); }
  std::function<void(PasswordEditSession&)> script;
};

class SecurityTest : public ::testing::Test {
 protected:
  SecurityTest() : ini(home / "quillark.ini"), translate(&ini, nullptr) {}

  Security& Make() {
    security =
        std::make_unique<Security>(writer, ini, translate, clock, prompter, home / "dovetree.ini");
    security->SetLogOnPrompt(&logon);
    security->SetPasswordEditor(&editor);
    return *security;
  }
  // Stores passwords through the dialog session, as an administrator would.
  void StorePasswords(const std::vector<std::pair<std::size_t, std::string>>& entries) {
    Security& s = *security;
    editor.script = [&](PasswordEditSession& session) {
      for (const auto& [entry, password] : entries) {
        ASSERT_TRUE(session.Select(entry, session.Password()));
        ASSERT_TRUE(session.Ok(password));
      }
    };
    logon.answers.push_back(LogOnAnswer{s.GetAccounts().size() - 1, ""});  // the administrator
    ASSERT_TRUE(s.EditPasswords());
    s.LogOff();
    writer.events.clear();
    logon.asked = 0;
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const auto& a : security->GetAccounts())
      names.push_back(a.GetName() + "/" + std::to_string(a.GetLevel()));
    return names;
  }
  std::filesystem::perms Mode() {
    return std::filesystem::status(home / "dovetree.ini").permissions();
  }

  test::TempDir home;
  INIfile ini;
  Translator translate;
  test::VirtualEventLoop clock;
  test::RecordingPrompter prompter;
  RecordingEvents writer;
  ScriptedLogOn logon;
  ScriptedEditor editor;
  std::unique_ptr<Security> security;
};

TEST(PasswordScrambling, BothWaysWithTerminatorAndLimits) {
  EXPECT_EQ(ScramblePassword("abc"), "\xE1\xE3\xE1\x83");
  EXPECT_EQ(UnscramblePassword("\xE1\xE3\xE1\x83zzz"), "abc");       // tail ignored
  EXPECT_EQ(UnscramblePassword("\xE1\xE3\xE1"), "abc");              // no terminator
  EXPECT_EQ(UnscramblePassword(ScramblePassword("ab\x82z")), "ab");  // 0x80 + 2 at 2
  EXPECT_EQ(UnscramblePassword(ScramblePassword(std::string(40, 'x'))), std::string(32, 'x'));

  EXPECT_TRUE(IsStorablePassword(" Any ~printable! " + std::string(14, 'a')));
  EXPECT_FALSE(IsStorablePassword(std::string(32, 'a')));
  EXPECT_FALSE(IsStorablePassword("p\xC3\xA4ss"));  // would not read back as typed
}

TEST_F(SecurityTest, DefaultAccountsNeedNoPasswordAndEveryPromptSucceeds) {
  Security& s = Make();
  EXPECT_EQ(Names(), (std::vector<std::string>{"Read only/0", "Operator/1", "Engineer/2",
                                               "Administrator/3"}));
  EXPECT_EQ(s.GetUser(), "Read only");
  EXPECT_TRUE(s.HasPermission(SA_ALARMDISP, false));
  EXPECT_FALSE(s.HasPermission(SA_RESET, false));
  EXPECT_EQ(logon.asked, 0);

  for (std::size_t level = 1; level <= 3; ++level) {
    s.LogOff();
    logon.answers.push_back(LogOnAnswer{level, "anything"});
    EXPECT_TRUE(s.HasPermission(SA_RESET, true));
    EXPECT_EQ(s.GetAccessLevel(), level);
  }
  EXPECT_TRUE(prompter.prompts.empty());

  // Operations outside the table are refused even to the administrator.
  for (int op : {SA_LAST + 1, -1}) EXPECT_FALSE(s.HasPermission(static_cast<operation>(op), false));
  // Acknowledging alarms is the operator's job.
  EXPECT_EQ(Security::NeededLevel(SA_ACKNOWLEDGE), 1u);
  EXPECT_EQ(logon.asked, 3);
}

TEST_F(SecurityTest, NameListsAndThePreselectedEntry) {
  ini.WriteString("UserNames", "1", "Ann,Bob");
  Security& s = Make();
  EXPECT_EQ(Names(), (std::vector<std::string>{"Read only/0", "Ann/1", "Bob/1", "Engineer/2",
                                               "Administrator/3"}));
  ASSERT_TRUE(s.LogOn("Engineer", ""));
  logon.answers.push_back(std::nullopt);
  EXPECT_FALSE(s.HasPermission(SA_SITECONF, true));
  EXPECT_EQ(logon.preselected, 2u);
  EXPECT_EQ(logon.names[2], "Bob");
  EXPECT_EQ(s.GetAccessLevel(), 2u);  // cancelled: nothing changes
  EXPECT_EQ(writer.events.size(), 1u);

  ini.WriteString("UserNames", "0", "Guest,");                       // trailing comma
  ini.WriteString("UserNames", "1", "Sam," + std::string(40, 'n'));  // cut at 32
  ini.WriteString("UserNames", "3", "Sam");                          // same name twice
  Security& t = Make();
  EXPECT_EQ(Names(),
            (std::vector<std::string>{"Guest/0", "/0", "Sam/1", std::string(32, 'n') + "/1",
                                      "Engineer/2", "Sam/3"}));
  logon.answers.push_back(LogOnAnswer{5, ""});  // the level-3 "Sam"
  EXPECT_FALSE(t.HasPermission(SA_SITECONF, true));
  EXPECT_EQ(t.GetAccessLevel(), 1u);  // a name counts at its first (lowest) level
  ASSERT_EQ(prompter.prompts.size(), 1u);
  EXPECT_EQ(prompter.prompts[0].text,
            "This account may not do that: 'Sam' has the Operator level, and this needs the "
            "Administrator level or above.");
  EXPECT_EQ(logon.RequiredLevel(), "Administrator");
}

TEST_F(SecurityTest, PromptChecksPasswordsWithoutCaseAndLogsEvenAWrongOne) {
  Make();
  StorePasswords({{2, "Eng"}});
  Security& s = Make();  // reads the store afresh

  logon.answers.push_back(LogOnAnswer{2, "wrong"});
  EXPECT_FALSE(s.HasPermission(SA_DIAGS, true));
  EXPECT_EQ(s.GetAccessLevel(), 0u);
  ASSERT_EQ(writer.events.size(), 2u);
  EXPECT_EQ(writer.events[0].category, WE_SECURITY);
  EXPECT_EQ(writer.events[0].text, "Log-on failed for user 'Engineer'.");
  EXPECT_EQ(writer.events[1].category, WE_SECURITY);
  EXPECT_EQ(writer.events[1].text, "Access level change. New access level 'Read only'.");
  ASSERT_EQ(prompter.prompts.size(), 1u);
  EXPECT_EQ(prompter.prompts[0].caption, "");
  EXPECT_EQ(prompter.prompts[0].icon, PromptIcon::STOP);
  EXPECT_EQ(prompter.prompts[0].text, "Wrong password for 'Engineer'.");
  EXPECT_EQ(logon.RequiredLevel(), "Engineer");

  logon.answers.push_back(LogOnAnswer{2, "eNG"});
  EXPECT_TRUE(s.HasPermission(SA_DIAGS, true));
  EXPECT_EQ(writer.events.back().text, "Access level change. New access level 'Engineer'.");

  s.SetLogOnPrompt(nullptr);  // headless: a prompt counts as cancelled
  EXPECT_FALSE(s.HasPermission(SA_SITECONF, true));
  EXPECT_EQ(s.GetAccessLevel(), 2u);
}

TEST_F(SecurityTest, LogOnByNameAndPasswordAndLock) {
  Make();
  StorePasswords({{3, "Key"}});
  Security& s = Make();
  EXPECT_FALSE(s.LogOn("Administrator", "key"));  // letter case counts here
  EXPECT_FALSE(s.LogOn("Nobody", ""));            // no such account
  ASSERT_EQ(writer.events.size(), 2u);
  for (const auto& e : writer.events) {
    EXPECT_EQ(e.category, WE_SECURITY);
    EXPECT_EQ(e.text.find("key"), std::string::npos) << e.text;  // never the password
  }
  EXPECT_EQ(writer.events[0].text, "Log-on failed for user 'Administrator'.");
  EXPECT_EQ(writer.events[1].text, "Log-on failed for user 'Nobody'.");
  writer.events.clear();

  ASSERT_TRUE(s.LogOn("Administrator", "Key"));
  EXPECT_EQ(s.GetAccessLevel(), 3u);
  EXPECT_EQ(writer.events.back().text, "Access level change. New access level 'Administrator'.");
  s.LogOff();
  EXPECT_EQ(s.GetUser(), "Read only");
  EXPECT_EQ(s.GetAccessLevel(), 0u);
  EXPECT_EQ(writer.events.back().category, WE_SECURITY);
  EXPECT_EQ(writer.events.back().text, "Access disabled.");
  EXPECT_EQ(logon.asked, 0);
}

TEST_F(SecurityTest, RaisedLevelTimesOutFromTheLogOn) {
  Security& s = Make();
  ASSERT_TRUE(s.LogOn("Operator", ""));
  clock.Advance(299'000);
  EXPECT_TRUE(s.HasPermission(SA_RESET, false));  // asking does not restart the clock
  clock.Advance(1'000);
  EXPECT_TRUE(s.HasPermission(SA_RESET, false));
  clock.Advance(1'000);
  EXPECT_FALSE(s.HasPermission(SA_RESET, false));
  EXPECT_EQ(s.GetUser(), "Read only");
  ASSERT_EQ(writer.events.size(), 2u);  // the drop is written like a log-on
  EXPECT_EQ(writer.events[1].category, WE_SECURITY);
  EXPECT_EQ(writer.events[1].text, "Access level change. New access level 'Read only'.");

  ini.WriteString("Security", "Timeout", "0");
  Security& z = Make();
  ASSERT_TRUE(z.LogOn("Engineer", ""));
  EXPECT_TRUE(z.HasPermission(SA_DIAGS, false));
  clock.Advance(1'000);
  EXPECT_FALSE(z.HasPermission(SA_DIAGS, false));

  ini.WriteString("Security", "Timeout", "99999999999999999999");  // must not overflow
  Security& big = Make();
  ASSERT_TRUE(big.LogOn("Engineer", ""));
  clock.Advance(10'000'000);
  EXPECT_TRUE(big.HasPermission(SA_DIAGS, false));
}

TEST_F(SecurityTest, PasswordEditingStoresScrambledAndKeepsUntouchedEntries) {
  ini.WriteString("UserNames", "0", "Guard");
  ini.WriteString("UserNames", "1", "Ann, Bob");
  Make();
  StorePasswords({{0, "g1"}, {2, "b0b"}});
  EXPECT_EQ(home.Read("dovetree.ini"), "[Quillark Passwords]\r\nGuard=" + ScramblePassword("g1") +
                                           "\r\nBob=" + ScramblePassword("b0b") + "\r\n");

  Security& s = Make();
  ASSERT_TRUE(s.LogOn(" Bob", "b0b"));  // listed with a blank, stored under "Bob"
  ASSERT_TRUE(s.LogOn("Administrator", ""));
  std::vector<std::string> seen;
  editor.script = [&](PasswordEditSession& session) {
    seen.push_back(session.Password());  // the first entry's own password
    EXPECT_TRUE(session.Select(3, session.Password()));
    seen.push_back(session.Password());
    EXPECT_TRUE(session.Select(4, "new"));  // kept for entry 3
    EXPECT_TRUE(session.Select(3, "four"));
    seen.push_back(session.Password());  // as typed, not as stored
    // Cancel: nothing typed in this session reaches the store.
  };
  const std::string before = home.Read("dovetree.ini");
  ASSERT_TRUE(s.EditPasswords());
  EXPECT_EQ(seen, (std::vector<std::string>{"g1", "", "new"}));
  EXPECT_EQ(home.Read("dovetree.ini"), before);
  EXPECT_EQ(s.GetAccounts()[3].GetPassword(), "");

  // OK writes every entry typed in the session.
  editor.script = [&](PasswordEditSession& session) {
    EXPECT_TRUE(session.Select(3, session.Password()));
    EXPECT_TRUE(session.Select(4, "new"));
    EXPECT_TRUE(session.Ok("four"));
  };
  ASSERT_TRUE(s.EditPasswords());
  EXPECT_EQ(s.GetUser(), "Administrator");  // reloaded, still logged on
  EXPECT_EQ(s.GetAccounts()[0].GetPassword(), "g1");
  EXPECT_EQ(s.GetAccounts()[3].GetPassword(), "new");
  EXPECT_EQ(s.GetAccounts()[4].GetPassword(), "four");
}

TEST_F(SecurityTest, PasswordEditingNeedsTheAdministratorAndRefusesWhatCannotBeStored) {
  ini.WriteString("UserNames", "1", "a=b");
  Security& s = Make();
  logon.answers.push_back(LogOnAnswer{2, ""});
  editor.script = [](PasswordEditSession&) { ADD_FAILURE() << "opened without the right"; };
  EXPECT_FALSE(s.EditPasswords());

  ASSERT_TRUE(s.LogOn("Administrator", ""));
  prompter.prompts.clear();
  editor.script = [&](PasswordEditSession& session) {
    EXPECT_FALSE(session.Select(1, "p\xC3\xA4ss"));
    EXPECT_EQ(session.Selection(), 0u);
    EXPECT_TRUE(session.Select(1, ""));
    EXPECT_FALSE(session.Ok("x"));  // the name cannot be a key
  };
  ASSERT_TRUE(s.EditPasswords());
  EXPECT_EQ(prompter.prompts.size(), 2u);
  EXPECT_FALSE(std::filesystem::exists(home / "dovetree.ini"));

  // A store that cannot be written is reported, not taken as done.
  std::filesystem::create_directory(home / "dovetree.ini");
  editor.script = [&](PasswordEditSession& session) { EXPECT_FALSE(session.Ok("x")); };
  ASSERT_TRUE(s.EditPasswords());
  ASSERT_EQ(prompter.prompts.size(), 3u);
  EXPECT_EQ(prompter.prompts[2].text.rfind("Error writing to file\n", 0), 0u);
}

TEST_F(SecurityTest, StatusTextSaysWhoAtWhichLevelAndForHowLongAndTheDropIsWrittenOnce) {
  Security& s = Make();
  EXPECT_EQ(s.StatusText(), "Read only (level 0 Read only)");
  EXPECT_EQ(s.SecondsLeft(), 0);
  ASSERT_TRUE(s.LogOn("Engineer", ""));
  EXPECT_EQ(s.StatusText(), "Engineer (level 2 Engineer), 5:00 left");
  clock.Advance(61'000);
  EXPECT_EQ(s.StatusText(), "Engineer (level 2 Engineer), 3:59 left");
  // The words follow the language; the account and level names do not.
  translate.SetLanguage(4);
  EXPECT_EQ(s.StatusText(), "Engineer (Stufe 2 Engineer), noch 3:59");
  translate.SetLanguage(0);
  EXPECT_FALSE(s.DropExpiredAccess());

  clock.Advance(240'000);
  EXPECT_EQ(s.SecondsLeft(), 0);
  writer.events.clear();
  EXPECT_TRUE(s.DropExpiredAccess());
  EXPECT_FALSE(s.DropExpiredAccess());
  ASSERT_EQ(writer.events.size(), 1u);
  EXPECT_EQ(writer.events[0].text, "Access level change. New access level 'Read only'.");
  EXPECT_EQ(s.StatusText(), "Read only (level 0 Read only)");

  ini.WriteString("Security", "Timeout", "7200");
  Security& l = Make();
  ASSERT_TRUE(l.LogOn("Administrator", ""));
  EXPECT_EQ(l.StatusText(), "Administrator (level 3 Administrator), 2:00:00 left");
}

TEST_F(SecurityTest, StoreIsPrivateWhateverTheUmaskAndEarlierMode) {
  constexpr auto PRIVATE = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;
  mode_t old = ::umask(0);
  Make();
  StorePasswords({{1, "pw"}});
  EXPECT_EQ(Mode(), PRIVATE);  // created private

  std::filesystem::permissions(home / "dovetree.ini", std::filesystem::perms::all);
  StorePasswords({{2, "pw"}});
  EXPECT_EQ(::umask(old), 0u);  // put back as it was
  EXPECT_EQ(Mode(), PRIVATE);
}

// Guessing is slowed, never locked out, and the run is counted in the log.
TEST_F(SecurityTest, RepeatedFailuresAreSlowedAndSummarisedButNeverLockOut) {
  Make();
  StorePasswords({{3, "Key"}});
  Security& s = Make();
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(s.LogOnDelay(), 0u);
    EXPECT_FALSE(s.LogOn("Administrator", "guess"));
    clock.Advance(1000);
  }
  EXPECT_FALSE(s.LogOn("Administrator\r\nforged", "guess"));  // the fifth in a minute
  EXPECT_EQ(writer.events.back().text, "Log-on failed for user 'Administrator??forged'.");
  EXPECT_EQ(s.LogOnDelay(), Security::SLOWLOGONMS);
  EXPECT_FALSE(s.LogOn("Administrator", "guess"));
  EXPECT_EQ(s.LogOnDelay(), Security::SLOWLOGONMS);
  // The right password still works while slowed; the run ends with one count.
  ASSERT_TRUE(s.LogOn("Administrator", "Key"));
  ASSERT_GE(writer.events.size(), 2u);
  EXPECT_EQ(writer.events[writer.events.size() - 2].text,
            "Log-on slowed down after repeated failures: 6 failed log-ons.");
  EXPECT_EQ(s.LogOnDelay(), 0u);

  // Failures spread over more than a minute are never slowed; a run that was
  // never slowed is not summarised.
  writer.events.clear();
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(s.LogOnDelay(), 0u) << i;
    EXPECT_FALSE(s.LogOn("Engineer", "guess"));
    clock.Advance(Security::FAILUREWINDOWMS / 4 + 1);
  }
  EXPECT_EQ(writer.events.size(), 8u);
  clock.Advance(Security::FAILUREWINDOWMS + 1);
  EXPECT_EQ(writer.events.size(), 8u);

  // A slowed run that just stops is summarised a minute after its last try.
  writer.events.clear();
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(s.LogOn("Engineer", "guess"));
  clock.Advance(Security::FAILUREWINDOWMS + 1);
  ASSERT_EQ(writer.events.size(), 6u);
  EXPECT_EQ(writer.events.back().text,
            "Log-on slowed down after repeated failures: 5 failed log-ons.");
  EXPECT_EQ(s.LogOnDelay(), 0u);
}

TEST_F(SecurityTest, OpenPasswordStoreIsMadePrivateAtStartWithAnEvent) {
  Make();
  StorePasswords({{1, "pw"}});
  std::filesystem::permissions(home / "dovetree.ini", std::filesystem::perms::owner_read |
                                                          std::filesystem::perms::owner_write |
                                                          std::filesystem::perms::group_read |
                                                          std::filesystem::perms::others_read);
  Make();
  EXPECT_EQ(Mode(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  ASSERT_EQ(writer.events.size(), 1u);
  EXPECT_EQ(writer.events[0].category, WE_SECURITY);
  EXPECT_NE(writer.events[0].text.find("(mode 0644)"), std::string::npos) << writer.events[0].text;
  writer.events.clear();
  Make();  // already private: nothing to say
  EXPECT_TRUE(writer.events.empty());
}

}  // namespace
}  // namespace quillark
