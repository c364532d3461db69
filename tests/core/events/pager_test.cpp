#include "core/events/pager.h"

#include <gtest/gtest.h>

#include "core/common/inifile.h"
#include "fakelauncher.h"
#include "support/recordingprompter.h"
#include "support/tempdir.h"
#include "support/virtualeventloop.h"

namespace quillark::test {
namespace {

TEST(PagerCall, QuotesTheFieldsCutsAtThreeBlanksAndStopsAt255Characters) {
  auto call = Page::BuildCall("0800", "secret", "555 1234", "Fire  in zone 3   then padding");
  ASSERT_TRUE(call);
  EXPECT_EQ(call->parameters, "\"0800\" \"secret\" \"555 1234\" \"Fire  in zone 3\"");
  EXPECT_EQ(call->arguments,
            (std::vector<std::string>{"0800", "secret", "555 1234", "Fire  in zone 3"}));
  // 11 characters of quotes and blanks around three empty fields and the message.
  EXPECT_EQ(Page::BuildCall("", "", "", std::string(244, 'x'))->parameters.size(), 255u);
  EXPECT_FALSE(Page::BuildCall("", "", "", std::string(245, 'x')));
  EXPECT_TRUE(Page::BuildCall("", "", "", "short   " + std::string(1000, 'x')));
}

class PageTest : public ::testing::Test {
 protected:
  void InstallPager(const std::filesystem::path& dir) {
    launcher.runnable.insert((dir / "pager").string());
  }

  TempDir home;
  INIfile ini{home / "quillark.ini"};
  RecordingPrompter prompter;
  VirtualEventLoop loop;
  FakeLauncher launcher{loop};
};

TEST_F(PageTest, AvailableOnlyWhenTheProgramIsThereAndEnabledOnlyWhenAsked) {
  ini.WriteString("Pager", "Enable", "1");
  Page missing(ini, launcher, prompter, home.Path());
  EXPECT_FALSE(missing.IsPagingAvailable());
  EXPECT_FALSE(missing.IsPagingEnabled());
  EXPECT_FALSE(missing.SendPagerNotification("fire"));
  EXPECT_TRUE(launcher.calls.empty());

  InstallPager(home.Path());
  ini.WriteString("Pager", "Enable", "0");
  Page off(ini, launcher, prompter, home.Path());
  EXPECT_TRUE(off.IsPagingAvailable());
  EXPECT_FALSE(off.IsPagingEnabled());

  // InstallDir: relative ones lie in the program home, absolute ones anywhere.
  ini.WriteString("Directories", "InstallDir", "bin");
  EXPECT_EQ(off.ProgramPath(), home / "bin" / "pager");
  ini.WriteString("Directories", "InstallDir", "/opt/quillark");
  EXPECT_EQ(off.ProgramPath(), std::filesystem::path("/opt/quillark/pager"));
  InstallPager("/opt/quillark");
  ini.WriteString("Pager", "Enable", "1");
  off.Init();
  EXPECT_TRUE(off.IsPagingEnabled());
}

TEST_F(PageTest, SendsTheSettingsCutToTheirLengths) {
  InstallPager(home.Path());
  ini.WriteString("Pager", "Enable", "1");
  ini.WriteString("Pager", "CallCentre", std::string(40, '1'));
  ini.WriteString("Pager", "Password", std::string(40, 'p'));
  ini.WriteString("Pager", "Pager", "999");
  Page page(ini, launcher, prompter, home.Path());
  EXPECT_TRUE(page.SendPagerNotification("fire"));
  ASSERT_EQ(launcher.calls.size(), 1u);
  EXPECT_TRUE(launcher.calls[0].detached);
  EXPECT_EQ(launcher.calls[0].program, (home / "pager").string());
  EXPECT_EQ(launcher.calls[0].arguments,
            (std::vector<std::string>{std::string(30, '1'), std::string(30, 'p'), "999", "fire"}));
  EXPECT_TRUE(prompter.prompts.empty());
}

TEST_F(PageTest, TooLongPageIsDroppedQuietlyAndAFailureSwitchesPagingOffUntilInit) {
  InstallPager(home.Path());
  ini.WriteString("Pager", "Enable", "1");
  Page page(ini, launcher, prompter, home.Path());
  EXPECT_FALSE(page.SendPage(std::string(245, 'x')));
  EXPECT_TRUE(launcher.calls.empty());
  EXPECT_TRUE(prompter.prompts.empty());
  EXPECT_TRUE(page.IsPagingEnabled());

  launcher.result = {false, false, -1, 2};
  EXPECT_FALSE(page.SendPagerNotification("fire"));
  ASSERT_EQ(prompter.prompts.size(), 1u);
  EXPECT_EQ(prompter.prompts[0].text,
            "Error 2 sending message to pager. Paging will be disabled for this session.");
  EXPECT_FALSE(page.SendPagerNotification("fire"));
  EXPECT_EQ(launcher.calls.size(), 1u);
  page.Init();
  EXPECT_TRUE(page.IsPagingEnabled());
}

TEST_F(PageTest, TestPageSaysWhatRanWithThePasswordMaskedAndHowItEnded) {
  ini.WriteString("Pager", "CallCentre", "0800");
  ini.WriteString("Pager", "Password", "secret");
  ini.WriteString("Pager", "Pager", "555");
  Page page(ini, launcher, prompter, home.Path());
  std::vector<bool> outcomes;
  auto note = [&](bool sent) { outcomes.push_back(sent); };

  // No program: said at once, in words, and nothing is run.
  page.SendTestPage(note);
  ASSERT_EQ(prompter.prompts.size(), 1u);
  EXPECT_NE(
      prompter.prompts[0].text.find("there is no pager program at " + (home / "pager").string()),
      std::string::npos);
  EXPECT_TRUE(launcher.calls.empty());

  InstallPager(home.Path());
  const std::string ran =
      "Ran: " + (home / "pager").string() + " \"0800\" \"******\" \"555\" \"Test message\"\n\n";
  const std::vector<std::pair<LaunchResult, std::string>> endings = {
      {{true, true, 0, 0}, "finished without error"},
      {{true, true, 3, 0}, "reported failure (exit status 3)"},
      {{false, false, -1, 13}, "could not be started: Permission denied"},
      {{true, false, 137, 0}, "did not finish within 2 minutes"},
      {{true, true, 143, 0}, "ended by signal 15"}};
  for (const auto& [result, words] : endings) {
    launcher.result = result;
    page.SendTestPage(note);
    EXPECT_EQ(prompter.prompts.size(), outcomes.size());  // nothing until it ends
    loop.RunPending();
    const std::string& text = prompter.prompts.back().text;
    EXPECT_EQ(text.rfind(ran, 0), 0u) << text;
    EXPECT_NE(text.find(words), std::string::npos) << text;
    EXPECT_EQ(launcher.calls.back().arguments[1], "secret");
  }
  EXPECT_EQ(outcomes, (std::vector<bool>{false, true, false, false, false, false}));
  EXPECT_EQ(prompter.prompts[1].icon, PromptIcon::INFORMATION);
  EXPECT_EQ(prompter.prompts[2].icon, PromptIcon::STOP);

  // A pager dropped while its test runs reports nothing later.
  launcher.hold = true;
  {
    Page gone(ini, launcher, prompter, home.Path());
    gone.SendTestPage(note);
  }
  launcher.Complete({true, true, 0, 0});
  EXPECT_EQ(outcomes.size(), 6u);
}

}  // namespace
}  // namespace quillark::test
