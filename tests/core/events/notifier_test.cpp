#include "core/events/notifier.h"
#include "core/events/email.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "core/common/inifile.h"
#include "core/events/mail.h"
#include "core/platform/posixlauncher.h"
#include "fakelauncher.h"
#include "support/fakelogfiles.h"
#include "support/recordingprompter.h"
#include "support/tempdir.h"
#include "support/virtualeventloop.h"

namespace quillark::test {
namespace {

const std::string EPOCH = "Thu Jan  1 00:00:00 1970";

std::string Block(const std::string& category, const std::string& text) {
  return EPOCH + "\r\n" + category + ": " + text + "\r\n\r\n";
}

// A prompter that also leaves its mark in the trail of pauses and launches.
class TrailPrompter : public RecordingPrompter {
 public:
  explicit TrailPrompter(std::vector<std::string>& t) : trail(t) {}
  PromptAnswer Show(const std::string& caption, const std::string& text, PromptIcon icon,
                    PromptButtons buttons) override {
    trail.push_back("prompt");
    return RecordingPrompter::Show(caption, text, icon, buttons);
  }
  std::vector<std::string>& trail;
};

class NotifierTest : public ::testing::Test {
 protected:
  std::unique_ptr<EventNotifier> Make() {
    launcher.onlaunch = [this](const FakeLauncher::Call& c) { trail.push_back(c.program); };
    auto n = std::make_unique<EventNotifier>(ini, prompter, launcher, home.Path(),
                                             [this] { return now; });
    n->SetPollingControl({[this] { return othersholdpolling; },
                          [this] { trail.push_back("pause"); },
                          [this] { trail.push_back("resume"); }});
    return n;
  }
  void EnableMail() {
    ini.WriteString("Email", "Enable", "1");
    ini.WriteString("Email", "Sendmail", "/opt/mail/sendmail");
    ini.WriteString("Email", "Recipient", "ops@example.com");
    launcher.runnable.insert("/opt/mail/sendmail");
  }
  void EnablePager() {
    ini.WriteString("Pager", "Enable", "1");
    ini.WriteString("Pager", "CallCentre", "0800");
    ini.WriteString("Pager", "Password", "pw");
    ini.WriteString("Pager", "Pager", "555");
    launcher.runnable.insert(PagerPath());
  }
  std::string PagerPath() const { return (home / "pager").string(); }

  TempDir home;
  INIfile ini{home / "quillark.ini"};
  std::vector<std::string> trail;
  TrailPrompter prompter{trail};
  VirtualEventLoop loop;
  FakeLauncher launcher{loop};
  std::time_t now = 0;
  bool othersholdpolling = false;
};

TEST_F(NotifierTest, QuietEventGoesOnlyToTheDiskLogAndLeavesPollingAlone) {
  home.Write("event.log", "earlier\r\n");
  auto n = Make();
  n->WriteEvent(WE_INFORMATION, "Diagnostics started");
  // Read while the log is still open: every block is flushed at once.
  EXPECT_EQ(home.Read("event.log"), "earlier\r\n" + Block("INFORMATION", "Diagnostics started"));
  EXPECT_TRUE(trail.empty());
  EXPECT_TRUE(launcher.calls.empty());
}

TEST_F(NotifierTest, BlockCarriesTimeAndCategoryWord) {
  now = 1234567890;
  auto n = Make();
  const std::pair<int, const char*> categories[] = {
      {1, "INFORMATION"}, {2, "FAULT"},       {4, "ALARM"},       {8, "SECURITY"},
      {16, "SYSLOG"},     {0, "INFORMATION"}, {6, "INFORMATION"}, {32, "INFORMATION"}};
  std::string expected;
  for (auto [category, word] : categories) {
    n->WriteEvent(category, "x");
    expected += std::string("Fri Feb 13 23:31:30 2009\r\n") + word + ": x\r\n\r\n";
  }
  EXPECT_EQ(home.Read("event.log"), expected);
}

// A full disk may cut a block short, but the next block that fits starts on
// a line of its own behind a note that entries are missing, and the failure
// is said once.
TEST_F(NotifierTest, FullDiskNeverGluesEntriesAndMarksWhereSomeWereLost) {
  FillingDisk disk;
  auto n = std::make_unique<EventNotifier>(
      ini, prompter, launcher, home.Path(), [this] { return now; }, &disk);
  n->WriteEvent(WE_ALARM, "first");
  testing::internal::CaptureStderr();
  disk.space = 10;
  n->WriteEvent(WE_ALARM, "torn");
  n->WriteEvent(WE_FAULT, "lost");
  const std::string said = testing::internal::GetCapturedStderr();
  disk.space = 1000;
  n->WriteEvent(WE_ALARM, "next");
  n->WriteEvent(WE_ALARM, "after");
  EXPECT_EQ(
      home.Read("event.log"),
      Block("ALARM", "first") + EPOCH.substr(0, 10) + "\r\n" +
          Block("SYSLOG", "Event log entries are missing here: the log could not be written.") +
          Block("ALARM", "next") + Block("ALARM", "after"));
  EXPECT_EQ(said, "The event log " + (home / "event.log").string() +
                      " cannot be written: events are being lost.\n");
  EXPECT_EQ(disk.appends, 1 + 5);  // the opening check, then one write per block
}

TEST_F(NotifierTest, DiskLogFollowsTheSettings) {
  ini.WriteString("Log", "DiskLogging", "0");
  Make()->WriteEvent(WE_ALARM, "lost");
  EXPECT_FALSE(std::filesystem::exists(home / "event.log"));

  ini.WriteString("Log", "DiskLogging", "1");
  ini.WriteString("Log", "File", "site-a.log");
  Make()->WriteEvent(WE_ALARM, "kept");
  EXPECT_EQ(home.Read("site-a.log"), Block("ALARM", "kept"));
}

TEST_F(NotifierTest, MailAndPagerCarryOnlyAlarmsAndFaultsInsideOnePause) {
  EnableMail();
  EnablePager();
  auto n = Make();
  n->WriteEvent(WE_ALARM, "Loop 1 detector 5 FIRE 1   (zone 3)");
  EXPECT_EQ(trail,
            (std::vector<std::string>{"pause", "/opt/mail/sendmail", PagerPath(), "resume"}));
  ASSERT_EQ(launcher.calls.size(), 2u);
  EXPECT_EQ(launcher.calls[0].arguments, MailProgramArguments());
  EXPECT_EQ(launcher.calls[0].input,
            "To: ops@example.com\nSubject: Quillark\nMIME-Version: 1.0\n"
            "Content-Type: text/plain; charset=UTF-8\nContent-Transfer-Encoding: 8bit\n\n" +
                EPOCH + "\nALARM: Loop 1 detector 5 FIRE 1   (zone 3)\n\n");
  EXPECT_TRUE(launcher.calls[1].detached);
  EXPECT_EQ(launcher.calls[1].arguments,
            (std::vector<std::string>{"0800", "pw", "555", EPOCH + " Loop 1 detector 5 FIRE 1"}));

  // Other categories go to neither, and with nothing to send polling is
  // left alone.
  trail.clear();
  n->WriteEvent(WE_SECURITY, "Log off");
  EXPECT_TRUE(trail.empty());
  EXPECT_EQ(launcher.calls.size(), 2u);

  n->WriteEvent(WE_FAULT, "Loop 2 no communications");
  loop.RunPending();
  EXPECT_EQ(launcher.calls.size(), 4u);
}

TEST_F(NotifierTest, PollingHeldElsewhereIsLeftAsItIs) {
  EnableMail();
  othersholdpolling = true;  // a scan is running
  Make()->WriteEvent(WE_ALARM, "fire");
  EXPECT_EQ(trail, (std::vector<std::string>{"/opt/mail/sendmail"}));
}

TEST_F(NotifierTest, EventWrittenWhilePausingDoesNotResumeEarly) {
  EnableMail();
  auto n = Make();
  bool nested = false;
  // Pausing waits with timers running: another event may arrive meanwhile.
  n->SetPollingControl({nullptr,
                        [&] {
                          trail.push_back("pause");
                          if (!nested) {
                            nested = true;
                            n->WriteEvent(WE_FAULT, "meanwhile");
                          }
                        },
                        [&] { trail.push_back("resume"); }});
  n->WriteEvent(WE_ALARM, "first");
  // The second message waits for the mail program to finish the first.
  EXPECT_EQ(trail, (std::vector<std::string>{"pause", "/opt/mail/sendmail", "resume"}));
  loop.RunPending();
  EXPECT_EQ(trail.back(), "/opt/mail/sendmail");
  EXPECT_EQ(home.Read("event.log"), Block("ALARM", "first") + Block("FAULT", "meanwhile"));
}

TEST_F(NotifierTest, FailuresAreReportedOnlyAfterPollingRunsAgain) {
  EnableMail();
  EnablePager();
  auto n = Make();
  launcher.result = {false, false, -1, 13};  // neither program can be started
  prompter.answers = {PromptAnswer::OK, PromptAnswer::NO};
  n->WriteEvent(WE_ALARM, "fire");
  // Nobody's answer may keep the site unpolled; the mail program's end comes
  // from the event loop.
  EXPECT_EQ(trail, (std::vector<std::string>{"pause", "/opt/mail/sendmail", PagerPath(), "resume",
                                             "prompt"}));
  loop.RunPending();
  EXPECT_EQ(trail.size(), 6u);
  ASSERT_EQ(prompter.prompts.size(), 2u);
  EXPECT_EQ(prompter.prompts[0].text,
            "Error 13 sending message to pager. Paging will be disabled for this session.");
  EXPECT_EQ(prompter.prompts[1].text,
            "/opt/mail/sendmail has returned error code 13 sending to 'ops@example.com'.\n\n"
            "Do you want to send Email notifications for this session?.");
  EXPECT_EQ(prompter.prompts[1].buttons, PromptButtons::YES_NO);

  // "No" and a failed page: both are off for the run and no longer hold polling.
  trail.clear();
  n->WriteEvent(WE_ALARM, "fire again");
  loop.RunPending();
  EXPECT_TRUE(trail.empty());

  // The setup dialog's OK starts afresh; "Yes" keeps e-mail on after a failure.
  n->GetMailer()->Init();
  prompter.answers = {PromptAnswer::YES};
  n->WriteEvent(WE_ALARM, "third");
  loop.RunPending();
  launcher.result = {true, true, 0, 0};
  n->WriteEvent(WE_ALARM, "fourth");
  loop.RunPending();
  EXPECT_EQ(launcher.calls.size(), 4u);  // two failures, then "third" and "fourth" by mail
  EXPECT_EQ(prompter.prompts.size(), 3u);
}

TEST_F(NotifierTest, EventsWhileTheMailProgramRunsAreQueuedWithoutHoldingPolling) {
  EnableMail();
  launcher.hold = true;
  auto n = Make();
  n->WriteEvent(WE_ALARM, "one");
  n->WriteEvent(WE_FAULT, "two");
  n->WriteEvent(WE_ALARM, "three");
  EXPECT_EQ(trail, (std::vector<std::string>{"pause", "/opt/mail/sendmail", "resume", "pause",
                                             "resume", "pause", "resume"}));
  ASSERT_EQ(launcher.calls.size(), 1u);

  launcher.Complete({true, true, 0, 0});
  launcher.Complete({true, true, 0, 0});
  ASSERT_EQ(launcher.calls.size(), 3u);
  const std::string blocks[] = {"ALARM: one", "FAULT: two", "ALARM: three"};
  for (std::size_t i = 0; i < 3; ++i)
    EXPECT_NE(launcher.calls[i].input->find(blocks[i]), std::string::npos) << i;
  EXPECT_EQ(launcher.Running(), 1u);
}

TEST_F(NotifierTest, PrinterThatCannotBeOpenedIsReportedOnceAndSwitchedOff) {
  const std::string device = (home / "no-such-dir" / "printer.txt").string();
  ini.WriteString("Log", "PrinterLogging", "1");
  ini.WriteString("Printer", "Device", device);
  auto n = Make();
  std::vector<bool> told;
  n->SetPrinterLoggingObserver([&](bool on) { told.push_back(on); });

  n->WriteEvent(WE_INFORMATION, "Isolate 1.5");
  const std::string message = "Printer '" + device +
                              "' cannot be opened.\n\nLog printing will not be available for "
                              "this session.";
  ASSERT_EQ(prompter.prompts.size(), 1u);
  EXPECT_TRUE(prompter.prompts[0].caption.empty() && prompter.prompts[0].icon == PromptIcon::STOP);
  EXPECT_EQ(prompter.prompts[0].text, message);
  EXPECT_FALSE(n->IsPrinterLogging());
  EXPECT_EQ(ini.ReadString("Log", "PrinterLogging", ""), "0");
  EXPECT_EQ(told, std::vector<bool>{false});
  EXPECT_EQ(home.Read("event.log"), Block("INFORMATION", "Isolate 1.5") + Block("SYSLOG", message));
  EXPECT_EQ(trail, std::vector<std::string>{"prompt"});  // polling never held

  // Switched on again by the operator: later failures stay silent.
  n->LogToPrinter(true);
  EXPECT_EQ(ini.ReadString("Log", "PrinterLogging", ""), "1");
  n->WriteEvent(WE_INFORMATION, "Reset 1.5");
  EXPECT_EQ(prompter.prompts.size(), 1u);
}

// Ticking the menu item tries the printer at once: the operator learns of a
// missing device now, with the reason, and logging stays off.
TEST_F(NotifierTest, SwitchingPrinterLoggingOnTriesThePrinterThenAndThere) {
  auto n = Make();
  std::vector<bool> told;
  n->SetPrinterLoggingObserver([&](bool on) { told.push_back(on); });
  const std::string missing = (home / "no-such-dir" / "printer.txt").string();
  ini.WriteString("Printer", "Device", missing);
  EXPECT_FALSE(n->StartPrinterLogging());
  ASSERT_EQ(prompter.prompts.size(), 1u);
  const std::string message = "Printer '" + missing + "' cannot be opened: " + missing +
                              ": No such file or directory.\n\nLog printing stays off.";
  EXPECT_EQ(prompter.prompts[0].text, message);
  EXPECT_EQ(home.Read("event.log"), Block("SYSLOG", message));
  EXPECT_FALSE(n->IsPrinterLogging());
  EXPECT_EQ(ini.ReadString("Log", "PrinterLogging", ""), "0");

  // A print command whose program is nowhere on the path, and one that is.
  ini.WriteString("Printer", "Device", "|no-such-lp -d office");
  EXPECT_FALSE(n->StartPrinterLogging());
  EXPECT_NE(prompter.prompts.back().text.find("the print command 'no-such-lp' was not found"),
            std::string::npos);
  launcher.runnable.insert("/usr/bin/lp");
  ini.WriteString("Printer", "Device", "|lp -d office");
  EXPECT_TRUE(n->StartPrinterLogging());
  EXPECT_EQ(prompter.prompts.size(), 2u);
  EXPECT_EQ(told, (std::vector<bool>{false, false, true}));
  EXPECT_EQ(ini.ReadString("Log", "PrinterLogging", ""), "1");
  EXPECT_TRUE(launcher.calls.empty());  // nothing was printed to find out

  // Switched on by hand after a reported failure: the next failure is said again.
  ini.WriteString("Printer", "Device", "LPT9");
  n->WriteEvent(WE_INFORMATION, "one");
  EXPECT_EQ(prompter.prompts.size(), 3u);
  ini.WriteString("Printer", "Device", "log.prn");
  EXPECT_TRUE(n->StartPrinterLogging());
  ini.WriteString("Printer", "Device", "LPT9");
  n->WriteEvent(WE_INFORMATION, "two");
  EXPECT_EQ(prompter.prompts.size(), 4u);
}

TEST_F(NotifierTest, PrinterFileGetsEveryEventAsItsOwnJob) {
  ini.WriteString("Log", "PrinterLogging", "1");
  ini.WriteString("Printer", "Device", "log.prn");  // in the program home
  home.Write("log.prn", "earlier\r\n");
  auto n = Make();
  n->WriteEvent(WE_ALARM, "one");
  n->WriteEvent(WE_INFORMATION, "two");
  EXPECT_EQ(home.Read("log.prn"),
            "earlier\r\n" + Block("ALARM", "one") + Block("INFORMATION", "two"));
  EXPECT_EQ(trail, (std::vector<std::string>{"pause", "resume", "pause", "resume"}));

  FILE* report = std::tmpfile();
  ASSERT_NE(report, nullptr);
  const std::string text = std::string(600, 'r') + "\r\nend\r\n";  // longer than one read
  std::fwrite(text.data(), 1, text.size(), report);
  std::rewind(report);
  EXPECT_TRUE(n->SendFileToPrinter(report));
  std::fclose(report);
  EXPECT_EQ(home.Read("log.prn"),
            "earlier\r\n" + Block("ALARM", "one") + Block("INFORMATION", "two") + text);
}

TEST_F(NotifierTest, PrintCommandTakesEachBlockAndItsFailureIsReportedOnce) {
  ini.WriteString("Log", "PrinterLogging", "1");
  ini.WriteString("Printer", "Device", "|lp -d office");
  auto n = Make();
  n->WriteEvent(WE_ALARM, "one");
  ASSERT_EQ(launcher.calls.size(), 1u);
  const FakeLauncher::Call& job = launcher.calls[0];
  EXPECT_TRUE(job.program == "/bin/sh" && job.input == Block("ALARM", "one"));
  EXPECT_EQ(job.arguments, (std::vector<std::string>{"-c", "lp -d office"}));
  loop.RunPending();

  trail.clear();
  launcher.result = {true, true, 1, 0};
  n->WriteEvent(WE_ALARM, "two");
  EXPECT_EQ(trail, (std::vector<std::string>{"pause", "/bin/sh", "resume"}));
  loop.RunPending();
  EXPECT_EQ(trail.back(), "prompt");
  EXPECT_EQ(prompter.prompts[0].text,
            "Printer '|lp -d office' cannot be opened.\n\nLog printing will not be available for "
            "this session.");
  EXPECT_FALSE(n->IsPrinterLogging());
}

TEST_F(NotifierTest, PrintCommandJobsRunOneAtATimeInOrder) {
  ini.WriteString("Log", "PrinterLogging", "1");
  ini.WriteString("Printer", "Device", "|lp");
  launcher.hold = true;
  auto n = Make();
  n->WriteEvent(WE_ALARM, "one");
  n->WriteEvent(WE_INFORMATION, "two");
  FILE* report = std::tmpfile();
  ASSERT_NE(report, nullptr);
  std::fputs("report\r\n", report);
  std::rewind(report);
  EXPECT_TRUE(n->SendFileToPrinter(report));
  std::fclose(report);
  ASSERT_EQ(launcher.calls.size(), 1u);

  // The first fails: reported once, and what was queued still goes, in order.
  launcher.Complete({true, true, 1, 0});
  EXPECT_EQ(prompter.prompts.size(), 1u);
  launcher.Complete({true, true, 0, 0});
  ASSERT_EQ(launcher.calls.size(), 3u);
  EXPECT_EQ(launcher.calls[0].input, Block("ALARM", "one"));
  EXPECT_EQ(launcher.calls[1].input, Block("INFORMATION", "two"));
  EXPECT_EQ(launcher.calls[2].input, "report\r\n");
  launcher.Complete({true, true, 0, 0});
  EXPECT_EQ(launcher.Running(), 0u);
}

TEST(PrinterDevice, ParallelPortsCommandsAndPaths) {
  const std::filesystem::path home = "/srv/quillark";
  auto lpt1 = ResolvePrinterDevice("LPT1", home);
  EXPECT_TRUE(lpt1.valid && lpt1.mustexist && lpt1.path == "/dev/lp0");
  EXPECT_EQ(ResolvePrinterDevice("lpt3:", home).path, "/dev/lp2");
  auto pipe = ResolvePrinterDevice("| lp", home);
  EXPECT_TRUE(pipe.valid && pipe.command && pipe.shellcommand == "lp");
  EXPECT_FALSE(ResolvePrinterDevice("|", home).valid);
  EXPECT_FALSE(ResolvePrinterDevice("", home).valid);
  auto file = ResolvePrinterDevice("events.prn", home);
  EXPECT_TRUE(file.path == "/srv/quillark/events.prn" && !file.mustexist);
  EXPECT_TRUE(ResolvePrinterDevice("/dev/usb/lp0", home).mustexist);
}

// --- The real thing: fake programs on disk, run through the POSIX launcher.

void WriteScript(const TempDir& dir, const std::string& name, const std::string& body) {
  dir.Write(name, "#!/bin/sh\n" + body);
  std::filesystem::permissions(dir / name, std::filesystem::perms::owner_all);
}

bool WaitForFile(const std::filesystem::path& path) {
  for (int i = 0; i < 1000 && !std::filesystem::exists(path); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return std::filesystem::exists(path);
}

// Runs the virtual loop until every program has ended, letting real time pass
// for them between steps; gives up after about five seconds.
bool RunUntilEnded(VirtualEventLoop& loop, const PosixLauncher& launcher) {
  for (int i = 0; i < 2500 && launcher.Running() != 0; ++i) {
    loop.Advance(PosixLauncher::WATCH_INTERVAL_MS);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  loop.RunPending();
  return launcher.Running() == 0;
}

TEST(NotifierPrograms, FakeSendmailAndPagerGetExactlyTheirInputAndArguments) {
  TempDir home;
  WriteScript(home, "sendmail",
              "d=$(dirname \"$0\")\nprintf '%s\\n' \"$@\" > \"$d/mail.args\"\n"
              "cat > \"$d/mail.input\"\n");
  WriteScript(home, "pager",
              "d=$(dirname \"$0\")\nprintf '[%s]\\n' \"$@\" > \"$d/page.tmp\"\n"
              "mv \"$d/page.tmp\" \"$d/page.args\"\n");
  INIfile ini(home / "quillark.ini");
  ini.WriteString("Email", "Enable", "1");
  ini.WriteString("Email", "Sendmail", (home / "sendmail").string());
  ini.WriteString("Email", "Recipient", "duty officer <duty@example.com>");
  ini.WriteString("Pager", "Enable", "1");
  ini.WriteString("Pager", "CallCentre", "0800 123");
  ini.WriteString("Pager", "Pager", "07700 900");
  RecordingPrompter prompter;
  VirtualEventLoop loop;
  PosixLauncher launcher(loop);
  EventNotifier notifier(ini, prompter, launcher, home.Path(), [] { return std::time_t{0}; });

  notifier.WriteEvent(WE_ALARM, "Loop 1 detector 5 \"FIRE 2\" $(reboot)   padding");
  ASSERT_TRUE(RunUntilEnded(loop, launcher));
  EXPECT_EQ(home.Read("mail.args"), "-t\n-i\n");
  EXPECT_EQ(home.Read("mail.input"),
            "To: duty officer <duty@example.com>\nSubject: Quillark\nMIME-Version: 1.0\n"
            "Content-Type: text/plain; charset=UTF-8\nContent-Transfer-Encoding: 8bit\n\n" +
                EPOCH + "\nALARM: Loop 1 detector 5 \"FIRE 2\" $(reboot)   padding\n\n");
  ASSERT_TRUE(WaitForFile(home / "page.args"));
  EXPECT_EQ(home.Read("page.args"), "[0800 123]\n[]\n[07700 900]\n[" + EPOCH +
                                        " Loop 1 detector 5 \"FIRE 2\" $(reboot)]\n");
  EXPECT_TRUE(prompter.prompts.empty());
}

}  // namespace
}  // namespace quillark::test
