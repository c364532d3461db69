#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>

#include "core/access/commands.h"
#include "core/app/console.h"
#include "core/site/config.h"
#include "core/status/devicestatuslist.h"
#include "core/status/pccommandmodule.h"
#include "support/apphost.h"

namespace quillark::test {
namespace {

// The application started the way the program starts it, on the virtual clock.
class Startup : public ::testing::Test {
 protected:
  void CopyDemo() {
    for (const char* f : {"quillark.ini", "demo.cfg"})
      std::filesystem::copy_file(std::filesystem::path(QUILLARK_SOURCE_DIR) / "resources/demo" / f,
                                 host.home / f);
  }
  void Start() {
    host.app->AddEventListener([this](int category, const std::string& text) {
      events.push_back({category, text});
    });
    host.app->InitMainWindow(host.home.Path());
  }
  std::vector<std::string> Run(Console& console, const std::string& line) {
    return console.Execute(line);
  }
  // Before the host: the shutdown banner is written while the host goes.
  std::vector<RecordingEventWriter::Event> events;
  AppHost host;
};

TEST_F(Startup, WithoutSettingsOneLoopAndTheDefaultSiteInTheHome) {
  Start();
  EXPECT_EQ(host.app->GetPaths().site, host.home / "default");
  EXPECT_EQ(host.app->GetPaths().syslog, host.home / "system.ev2");
  EXPECT_EQ(host.app->GetMainWindow()->GetLoops(), 1);
  EXPECT_EQ(host.app->GetMainWindow()->GetCommHandler()->GetLoops(), 1);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events[0].text, "**** Quillark startup ****");
  // The demonstration notice comes first; the missing site is reported.
  ASSERT_GE(host.prompter.prompts.size(), 1u);
  EXPECT_EQ(host.prompter.prompts[0].caption, "!!Demo version!!");
  EXPECT_EQ(host.prompter.prompts[0].icon, PromptIcon::INFORMATION);

  host.app->Shutdown();
  EXPECT_EQ(events.back().text, "**** Quillark shutdown ****");
}

TEST_F(Startup, SitePathsResolveAgainstTheHome) {
  EXPECT_EQ(host.app->ResolveSitePath("/sites/a.cfg"), std::filesystem::path("/sites/a.cfg"));
  host.app->InitMainWindow(host.home.Path());
  EXPECT_EQ(host.app->ResolveSitePath("a.cfg"), host.home / "a.cfg");
  EXPECT_EQ(host.app->ResolveSitePath("c:\\sites\\a.cfg"),
            std::filesystem::path("c:\\sites\\a.cfg"));
}

TEST_F(Startup, DemoHomeIsPolledAndAFireShowsInTheStatus) {
  CopyDemo();
  Start();
  EXPECT_EQ(host.app->GetMainWindow()->GetLoops(), 2);
  EXPECT_EQ(host.app->GetTitle(), "Quillark - [" + (host.home / "demo.cfg").string() + "]");
  Console console(*host.app);
  EXPECT_EQ(Run(console, "select 1-005"), (std::vector<std::string>{"selected 1-005, UPS room"}));
  EXPECT_TRUE(host.app->IsCommandEnabled(CMD_ISOLATE));  // Pelorin-Vantor
  EXPECT_EQ(Run(console, "fire1"), (std::vector<std::string>{"ok"}));
  host.events.Advance(3000);
  auto status = Run(console, "status");
  ASSERT_EQ(status.size(), 1u);
  EXPECT_EQ(status[0].rfind("1-005 status 0x0e faults 0x00 level 1", 0), 0u) << status[0];
  // Loop 2's detectors are polled as well.
  EXPECT_EQ(Run(console, "status 2-010")[0].rfind("2-010 status 0x00", 0), 0u);

  const PCcommandModule* bm = host.app->GetMainWindow()->GetBusMaster();
  ASSERT_NE(bm, nullptr);
  EXPECT_GT(bm->Statistics().polls, 100u);
  EXPECT_EQ(bm->Statistics().polls, bm->Statistics().responses);
  auto stats = Run(console, "stats");
  ASSERT_EQ(stats.size(), 2u + 2u);  // and one line per loop
  EXPECT_EQ(stats[0].rfind("polls ", 0), 0u);
  EXPECT_NE(host.home.Read("status.txt").find("Fast polls: 1"), std::string::npos);
}

TEST_F(Startup, SelectionDecidesWhichDeviceCommandsAreEnabled) {
  CopyDemo();
  Start();
  host.app->SetSelDetector(2);  // Pelorin 2000 detector: everything
  for (int id : {CMD_CHARTLOG, CMD_EVENTLOG, CMD_HISTOGRAM, CMD_ISOLATE, CMD_DEISOLATE, CMD_RESET})
    EXPECT_TRUE(host.app->IsCommandEnabled(id)) << id;
  host.app->SetSelDetector(0);  // the command module: event log, no histogram or chart
  EXPECT_TRUE(host.app->IsCommandEnabled(CMD_EVENTLOG));
  EXPECT_FALSE(host.app->IsCommandEnabled(CMD_HISTOGRAM));
  EXPECT_FALSE(host.app->IsCommandEnabled(CMD_CHARTLOG));
  host.app->SetSelDetector(77);  // not in the site
  for (int id : {CMD_CHARTLOG, CMD_EVENTLOG, CMD_HISTOGRAM, CMD_ISOLATE, CMD_RESET})
    EXPECT_FALSE(host.app->IsCommandEnabled(id)) << id;
  host.app->SetSelDetector(256 * 5 + 2);  // a loop without a port
  EXPECT_FALSE(host.app->IsCommandEnabled(CMD_RESET));
  EXPECT_TRUE(host.app->IsCommandEnabled(CMD_ABOUT));
}

TEST_F(Startup, CommandFailuresAreShownAndLoggedAndTheProgramGoesOn) {
  Start();
  host.prompter.prompts.clear();
  host.app->SetCommandHandler(CMD_ABOUT, [] { throw std::runtime_error("about box broke"); });
  host.app->SetCommandHandler(CMD_CONTENTS, [] { throw 42; });
  using R = TDockingApp::CommandResult;
  EXPECT_EQ(host.app->ExecuteCommand(CMD_ABOUT), R::DONE);
  EXPECT_EQ(host.app->ExecuteCommand(CMD_CONTENTS), R::DONE);
  EXPECT_EQ(host.app->ExecuteCommand(9999), R::UNHANDLED);
  ASSERT_EQ(host.prompter.prompts.size(), 2u);
  EXPECT_EQ(host.prompter.prompts[0].caption, "");
  EXPECT_EQ(host.prompter.prompts[0].text, "about box broke");
  EXPECT_EQ(host.prompter.prompts[1].text,
            "An unknown error has occurred. Some program functionality may not be available.");
  EXPECT_EQ(host.prompter.prompts[1].icon, PromptIcon::STOP);
  EXPECT_EQ(events.back().text, host.prompter.prompts[1].text);
}

TEST_F(Startup, ExitPausesPollingThenAsksTheHostToClose) {
  CopyDemo();
  Start();
  bool closed = false;
  host.app->SetQuitHook([&] { closed = true; });
  host.app->ExecuteCommand(CMD_EXIT);
  EXPECT_TRUE(host.app->GetBus().IsPollPaused());
  host.events.RunPending();
  EXPECT_TRUE(closed);
}

TEST_F(Startup, GuardedCommandsAskForTheAccessLevel) {
  CopyDemo();
  Start();
  using R = TDockingApp::CommandResult;
  int runs = 0;
  host.app->SetCommandHandler(CMD_SITECONF, [&] { ++runs; });
  // Nobody to ask for a log-on: refused, and nothing runs.
  EXPECT_EQ(host.app->ExecuteCommand(CMD_SITECONF), R::REFUSED);
  EXPECT_EQ(runs, 0);
  Console console(*host.app);
  EXPECT_EQ(Run(console, "logon Engineer wrong")[0], "refused: unknown name or wrong password");
  EXPECT_EQ(Run(console, "logon Administrator")[0], "logged on as Administrator, access level 3");
  EXPECT_EQ(host.app->ExecuteCommand(CMD_SITECONF), R::DONE);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(Run(console, "lock")[0], "ok");
  EXPECT_EQ(host.app->ExecuteCommand(CMD_SITECONF), R::REFUSED);
  bool security = false;
  for (const auto& e : events) security |= e.category == WE_SECURITY;
  EXPECT_TRUE(security);
}

TEST(ConsoleWords, DeviceNamesParseStrictly) {
  EXPECT_EQ(Console::ParseDevice("1-005"), 5);
  EXPECT_EQ(Console::ParseDevice("16-127"), 15 * 256 + 127);
  EXPECT_EQ(Console::ParseDevice("2-0"), 256);
  for (const char* bad : {"", "-5", "1-", "0-005", "17-001", "1-256", "a-001", "1-0x5", "1--5",
                          "123-1", "1-0005", "99999999999-1"})
    EXPECT_EQ(Console::ParseDevice(bad), -1) << bad;
  EXPECT_EQ(Console::DeviceName(256 + 7), "2-007");
}

TEST_F(Startup, ConsoleAnswersUnknownWordsAndUsage) {
  Start();
  Console console(*host.app);
  EXPECT_EQ(Run(console, "frobnicate now")[0],
            "error: unknown command 'frobnicate'; type 'help' for the list");
  EXPECT_TRUE(Run(console, "   ").empty());
  EXPECT_EQ(Run(console, "fire1")[0], "error: select a device first");
  EXPECT_EQ(Run(console, "select 99-1")[0], "error: usage: select L-AAA | select cm L");
  EXPECT_EQ(Run(console, "select cm 2")[0], "selected 2-000 (not in the site)");
  const auto help = Run(console, "HELP");
  EXPECT_GE(help.size(), 10u);
  EXPECT_TRUE(std::any_of(help.begin(), help.end(), [](const std::string& line) {
    return line.find("select") != std::string::npos && line.find("add L-AAA") != std::string::npos;
  }));
  EXPECT_FALSE(console.QuitRequested());
  Run(console, "quit");
  EXPECT_TRUE(console.QuitRequested());
}

// The live edition opens what "Loop%uPortType" names, never a simulated loop,
// and says nothing about being a demonstration.
TEST_F(Startup, LiveEditionHasNoSimulationAndLeavesUnservableLoopsDisabled) {
  CopyDemo();
  host.Set("Product", "Edition", " Live ");
  host.Set("Comm", "Loop1PortType", "7");  // no such transport
  host.app.reset();
  host.app = std::make_unique<TDockingApp>(host.events, host.prompter, host.status, host.ini,
                                           host.launcher);
  ASSERT_TRUE(host.app->IsLiveEdition());
  EXPECT_STREQ(host.app->GetAppName(), "Quillark");
  Start();
  for (const auto& p : host.prompter.prompts) EXPECT_NE(p.caption, "!!Demo version!!");
  const CommHandler* comms = host.app->GetMainWindow()->GetCommHandler();
  ASSERT_NE(comms, nullptr);
  EXPECT_FALSE(comms->GetCommEnableState(0));
  EXPECT_EQ(comms->GetPort(0)->GetLoop(), -1);

  Console console(*host.app);
  Run(console, "select 1-005");
  EXPECT_EQ(Run(console, "fire1"),
            (std::vector<std::string>{
                "error: simulated events exist only in the demonstration edition"}));
  EXPECT_FALSE(host.app->HasCommandHandler(CMD_DEMOFIRE1));
  host.events.Advance(3000);
  // Nothing answers on a disabled loop: no made-up status appears.
  EXPECT_EQ(Run(console, "status 1-005")[0].find("status 0x0e"), std::string::npos);
}

TEST_F(Startup, DemonstrationEditionIsTheDefaultWhateverThePortTypes) {
  host.Set("Comm", "Loop1PortType", "1");
  Start();
  EXPECT_FALSE(host.app->IsLiveEdition());
  EXPECT_STREQ(host.app->GetAppName(), "Quillark demonstration version");
  EXPECT_TRUE(host.app->GetMainWindow()->GetCommHandler()->GetCommEnableState(0));
  EXPECT_TRUE(host.app->GetMainWindow()->GetCommHandler()->GetPort(0)->IsWritable());
}

}  // namespace
}  // namespace quillark::test
