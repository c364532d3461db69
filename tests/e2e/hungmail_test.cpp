// A mail program that never ends must not stop the program: alarms keep
// coming and the loops keep being polled while it hangs.
#include <gtest/gtest.h>
#include <sys/types.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "console.h"
#include "process.h"
#include "support/tempdir.h"

namespace quillark::test {
namespace {

using namespace std::chrono_literals;

// The poll count of the bus master, from the console's "stats"; -1 when none came.
long Polls(Process& p) {
  p.Send("stats");
  const std::string line = p.WaitFor(" responses ", 10s);
  unsigned polls = 0;
  if (std::sscanf(line.c_str(), "polls %u", &polls) != 1) return -1;
  return static_cast<long>(polls);
}

bool WaitForFile(const std::filesystem::path& path) {
  for (int i = 0; i < 200 && !std::filesystem::exists(path); ++i) std::this_thread::sleep_for(50ms);
  return std::filesystem::exists(path);
}

bool Alive(pid_t pid) {
  return ::kill(pid, 0) == 0 || errno != ESRCH;
}

// A program home whose mail program tells where it runs, then neither reads
// its message nor ends: ten minutes is for ever to a program that must give up
// after one, and keeps a failed run from leaving it behind for long.
class HungMail : public ::testing::Test {
 protected:
  HungMail() {
    CopyDemoHome(home.Path());
    home.Write("sendmail",
               "#!/bin/sh\n"
               "d=$(dirname \"$0\")\n"
               "echo $$ > \"$d/mail.tmp\"\n"
               "mv \"$d/mail.tmp\" \"$d/mail.pid\"\n"
               "exec sleep 600\n");
    std::filesystem::permissions(home / "sendmail", std::filesystem::perms::owner_all);
    std::ofstream ini(home / "quillark.ini", std::ios::app);
    ini << "[Email]\nEnable=1\nSendmail=" << (home / "sendmail").string()
        << "\nRecipient=duty@example.com\n";
  }
  // A failed run may leave the mail program behind.
  ~HungMail() override {
    if (!mailgone && std::filesystem::exists(home / "mail.pid"))
      ::kill(std::stoi(home.Read("mail.pid")), SIGKILL);
  }

  TempDir home;
  bool mailgone = false;
};

TEST_F(HungMail, AlarmsAndPollingGoOnWhileTheMailProgramHangs) {
  auto p = StartHeadless(home.Path());
  ASSERT_TRUE(Answers(*p, "select 1-003", "selected 1-003"));
  ASSERT_TRUE(Answers(*p, "fire1", "ok"));
  ASSERT_NE(p->WaitFor("event ALARM: Detector 1-003", 10s), "");
  ASSERT_TRUE(WaitForFile(home / "mail.pid"));
  const pid_t mailpid = std::stoi(home.Read("mail.pid"));
  const long before = Polls(*p);
  ASSERT_GE(before, 0);

  // The first alarm's message is still with the mail program.
  ASSERT_TRUE(Answers(*p, "select 1-005", "selected 1-005"));
  ASSERT_TRUE(Answers(*p, "fire1", "ok"));
  EXPECT_NE(p->WaitFor("event ALARM: Detector 1-005", 10s), "");

  long after = before;
  for (int i = 0; i < 100 && after <= before; ++i) {
    after = Polls(*p);
    if (after <= before) std::this_thread::sleep_for(100ms);
  }
  EXPECT_GT(after, before);
  EXPECT_TRUE(Alive(mailpid));  // all of it happened while the mail program hung

  EXPECT_TRUE(Quit(*p));
  // Stopped with the program, not left behind.
  mailgone = !Alive(mailpid);
  EXPECT_TRUE(mailgone);
  const std::string log = home.Read("event.log");
  EXPECT_NE(log.find("ALARM: Detector 1-003"), std::string::npos) << log;
  EXPECT_NE(log.find("ALARM: Detector 1-005"), std::string::npos) << log;
}

}  // namespace
}  // namespace quillark::test
