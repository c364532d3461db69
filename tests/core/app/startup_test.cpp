#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>

#include "core/access/commands.h"
#include "core/access/translator.h"
#include "core/app/console.h"
#include "core/common/textutil.h"
#include "core/events/notifier.h"
#include "core/site/config.h"
#include "core/status/devicestatuslist.h"
#include "core/status/pccommandmodule.h"
#include "support/apphost.h"

namespace quillark::test {
namespace {

// The application started the way the program starts it, on the virtual clock.
class Startup : public ::testing::Test {
 protected:
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

TEST_F(Startup, ShutdownSendsWhatTheFloodGateStillHolds) {
  host.Set("Log", "PrinterLogging", "1");
  host.Set("Printer", "Device", "log.prn");
  Start();
  EventNotifier& notifier = *host.app->GetMainWindow()->GetNotifier();
  for (int a = 1; a <= 3; ++a) {
    notifier.WriteEvent(WE_FAULT, Format("Detector 2-%03d  Faults: Comms failure", a));
    host.events.Advance(10);
  }
  ASSERT_EQ(notifier.HeldCount(), 2u);
  host.app->Shutdown();
  const std::string printed = host.home.Read("log.prn");
  EXPECT_NE(printed.find("2 faults, loop 2: Comms failure"), std::string::npos) << printed;
  EXPECT_NE(printed.find("Detector 2-003"), std::string::npos);
}

TEST_F(Startup, SitePathsResolveAgainstTheHome) {
  EXPECT_EQ(host.app->ResolveSitePath("/sites/a.cfg"), std::filesystem::path("/sites/a.cfg"));
  host.app->InitMainWindow(host.home.Path());
  EXPECT_EQ(host.app->ResolveSitePath("a.cfg"), host.home / "a.cfg");
  EXPECT_EQ(host.app->ResolveSitePath("c:\\sites\\a.cfg"),
            std::filesystem::path("c:\\sites\\a.cfg"));
}

TEST_F(Startup, DemoHomeIsPolledAndAFireShowsInTheStatus) {
  host.CopyDemoHome();
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
  host.CopyDemoHome();
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
  host.CopyDemoHome();
  Start();
  bool closed = false;
  host.app->SetQuitHook([&] { closed = true; });
  host.app->ExecuteCommand(CMD_EXIT);
  EXPECT_TRUE(host.app->GetBus().IsPollPaused());
  host.events.RunPending();
  EXPECT_TRUE(closed);
}

TEST_F(Startup, CommandsOnEveryDeviceAskTheConfirmerAndTheConsoleWaitsForYes) {
  host.CopyDemoHome();
  Start();
  host.events.Advance(2000);
  using R = TDockingApp::CommandResult;
  Console console(*host.app);
  Run(console, "select 1-005");
  Run(console, "logon Engineer");

  // The question counts what the command touches; No cancels it.
  std::vector<std::string> asked;
  bool answer = false;
  host.app->SetConfirmer([&](const std::string& q) {
    asked.push_back(q);
    return answer;
  });
  EXPECT_EQ(host.app->ExecuteCommand(CMD_RESET), R::CANCELLED);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], "Reset 26 devices on 2 loops?");
  host.app->GetSelection().InsertInternalAddress(256 + 3);
  EXPECT_EQ(host.app->ExecuteCommand(CMD_ISOLATESELECTED), R::CANCELLED);
  EXPECT_EQ(asked.back(), "Isolate 2 selected detectors on 2 loops?");
  // In the operator's language, each count with the form of its word:
  // Russian has one for 2-4 and one for 5-20.
  Translator& tr = host.app->GetServices().translator;
  tr.SetLanguage(4);
  EXPECT_EQ(host.app->ConfirmationQuestion(CMD_RESET), "26 Geräte in 2 Ringen zurücksetzen?");
  tr.SetLanguage(17);
  EXPECT_EQ(host.app->ConfirmationQuestion(CMD_RESET), "Сбросить 26 устройств в 2 шлейфах?");
  EXPECT_EQ(host.app->ConfirmationQuestion(CMD_ISOLATESELECTED),
            "Отключить 2 выбранных извещателя в 2 шлейфах?");
  tr.SetLanguage(0);
  for (const auto& e : events) EXPECT_EQ(e.text.find("Global reset"), std::string::npos);
  answer = true;
  EXPECT_EQ(host.app->ExecuteCommand(CMD_RESET), R::DONE);
  EXPECT_EQ(events.back().text, "Global reset by user 'Engineer'");
  EXPECT_EQ(host.app->ConfirmationQuestion(CMD_ISOLATE), "");

  // The console asks for itself: "yes" on the next line, or at once.
  host.app->SetConfirmer(nullptr);
  const std::size_t before = events.size();
  auto question = Run(console, "globalreset");
  ASSERT_EQ(question.size(), 2u);
  EXPECT_EQ(question[0], "Reset 26 devices on 2 loops?");
  EXPECT_EQ(events.size(), before);
  auto cancelled = Run(console, "select 1-006");
  ASSERT_EQ(cancelled.size(), 2u);
  EXPECT_EQ(cancelled[0], "global reset cancelled");
  EXPECT_EQ(cancelled[1].rfind("selected 1-006", 0), 0u);
  EXPECT_EQ(Run(console, "yes"), (std::vector<std::string>{"error: unknown command 'yes'; type "
                                                           "'help' for the list"}));
  EXPECT_EQ(events.size(), before);
  Run(console, "globalreset");
  EXPECT_EQ(Run(console, "yes"), (std::vector<std::string>{"ok"}));
  EXPECT_EQ(Run(console, "globalreset yes"), (std::vector<std::string>{"ok"}));
  EXPECT_EQ(Run(console, "globalreset now"),
            (std::vector<std::string>{"error: usage: globalreset [yes]"}));
}

TEST_F(Startup, GuardedCommandsAskForTheAccessLevel) {
  host.CopyDemoHome();
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

// Guessed passwords at the console are answered ever later, without the
// console or the loops stopping: the answer comes from a timer, and the host
// is told the console is busy meanwhile.
TEST_F(Startup, ConsoleLogOnGuessingIsSlowedNotBlocked) {
  host.CopyDemoHome();
  Start();
  Console console(*host.app);
  std::vector<std::string> late;
  console.SetLateAnswer([&](const std::vector<std::string>& lines) {
    late.insert(late.end(), lines.begin(), lines.end());
  });
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(Run(console, "logon Engineer wrong" + std::to_string(i))[0],
              "refused: unknown name or wrong password");
  int failures = 0;
  for (const auto& e : events) {
    failures += e.text == "Log-on failed for user 'Engineer'." ? 1 : 0;
    EXPECT_EQ(e.text.find("wrong"), std::string::npos) << e.text;
  }
  EXPECT_EQ(failures, 5);

  EXPECT_TRUE(Run(console, "logon Administrator").empty());
  EXPECT_TRUE(console.Busy());
  host.events.Advance(1999);
  EXPECT_TRUE(late.empty());
  host.events.Advance(1);
  EXPECT_FALSE(console.Busy());
  EXPECT_EQ(late, (std::vector<std::string>{"logged on as Administrator, access level 3"}));
  EXPECT_EQ(events[events.size() - 2].text,
            "Log-on slowed down after repeated failures: 5 failed log-ons.");
}

TEST_F(Startup, SimulatedEventOnADeviceOutsideTheSiteIsRefused) {
  host.CopyDemoHome();
  Start();
  Console console(*host.app);
  Run(console, "select 1-099");
  EXPECT_EQ(Run(console, "fire2"), (std::vector<std::string>{"error: 1-099 is not in the site"}));
  Run(console, "select 1-005");
  EXPECT_EQ(Run(console, "fire2"), (std::vector<std::string>{"ok"}));
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

// The console lists the newest records of the system log past any damage
// before them, with the place of the damage marked.
TEST_F(Startup, ConsoleListsTheNewestEventsPastDamage) {
  Start();
  auto rec = [](unsigned day, unsigned code) {
    return Format("%02x%01x%03x%02x%02x%04x%04x%02x%02x%02x", day, 3u, 2026u, 10u, 0u, 0x105u, code,
                  255u, 0u, 0u);
  };
  std::string log = Format("%02x%01x%03x%02x%02x", 1u, 3u, 2026u, 0u, 0u);
  for (unsigned day = 1; day <= 200; ++day) log += rec(1 + day % 28, 112);
  log += "\r\n" + rec(5, 65) + "\r" + rec(6, 52);  // carriage returns from a hand edit
  host.home.Write("system.ev2", log);
  Console console(*host.app);
  const std::vector<std::string> lines = Run(console, "events 4");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "---- damaged log: 2 characters skipped here ----");
  EXPECT_EQ(lines[1].substr(0, 31), "05/03/2026  10:00  2-005  Isola");
  EXPECT_EQ(lines[2], "---- damaged log: 1 characters skipped here ----");
  EXPECT_EQ(lines[3].substr(0, 29), "06/03/2026  10:00  2-005  Bus");
}

TEST_F(Startup, ConsoleAnswersUnknownWordsAndUsage) {
  Start();
  Console console(*host.app);
  EXPECT_EQ(Run(console, "frobnicate now")[0],
            "error: unknown command 'frobnicate'; type 'help' for the list");
  EXPECT_TRUE(Run(console, "   ").empty());
  EXPECT_EQ(Run(console, "fire1")[0], "error: select a device first");
  EXPECT_EQ(Run(console, "select 99-1")[0], "error: usage: select L-AAA | select cm L");
  // Without a site file the command modules are still there.
  EXPECT_EQ(Run(console, "select cm 2")[0], "selected 2-000");
  EXPECT_EQ(Run(console, "select 2-099")[0], "selected 2-099 (not in the site)");
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
  host.CopyDemoHome();
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

TEST_F(Startup, TheStartupEventSaysHowLongTheLastRunLeftTheLoopsUnsupervised) {
  host.app->SetStartupNote("supervision was interrupted for 42 s");
  Start();
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events[0].text, "**** Quillark startup **** supervision was interrupted for 42 s");
  EXPECT_NE(host.home.Read("event.log")
                .find("**** Quillark startup **** supervision was interrupted for 42 s"),
            std::string::npos);
}

}  // namespace
}  // namespace quillark::test
