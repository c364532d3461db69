// The real program against a hostile environment: unreadable standard input,
// a reader that goes away, hang-ups, floods at the console, bad options.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "console.h"
#include "process.h"
#include "support/tempdir.h"

namespace quillark::test {
namespace {

using namespace std::chrono_literals;

class Hardening : public ::testing::Test {
 protected:
  Hardening() { CopyDemoHome(home.Path()); }
  // Waits until the file `name` in the home holds `text`.
  bool FileSays(const std::string& name, const std::string& text,
                std::chrono::milliseconds limit = 15s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
      std::error_code ec;
      if (std::filesystem::exists(home / name, ec) &&
          home.Read(name).find(text) != std::string::npos)
        return true;
      if (std::chrono::steady_clock::now() >= end) return false;
      std::this_thread::sleep_for(50ms);
    }
  }
  TempDir home;
};

// CPU time (user + system) of a process in clock ticks.
long CpuTicks(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), {});
  std::istringstream fields(stat.substr(stat.rfind(')') + 2));
  std::string field;
  long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::stol(field);
    if (i == 15) stime = std::stol(field);
  }
  return utime + stime;
}

// Under nohup standard input is a write-only /dev/null: the program says so
// once, leaves the console alone and goes on supervising without spinning.
TEST_F(Hardening, WriteOnlyStandardInputNeitherSpinsNorStopsSupervision) {
  const std::string exe = QUILLARK_EXE;
  const std::string dir = home.Path().string();
  const std::string err = (home / "stderr.txt").string();
  const std::string out = (home / "stdout.txt").string();
  const int pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    dup2(open("/dev/null", O_WRONLY), 0);
    dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
    dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
    execl(exe.c_str(), exe.c_str(), "--headless", "--home", dir.c_str(), nullptr);
    _exit(127);
  }
  EXPECT_TRUE(FileSays("stderr.txt", "standard input cannot be read"));
  EXPECT_TRUE(FileSays("stdout.txt", "**** Quillark startup ****"));
  // Over a second of wall time, far less than a second of processor time.
  const long before = CpuTicks(pid);
  const auto start = std::chrono::steady_clock::now();
  while (std::chrono::steady_clock::now() - start < 1s) std::this_thread::sleep_for(100ms);
  const long used = CpuTicks(pid) - before;
  EXPECT_LT(used, sysconf(_SC_CLK_TCK) / 2) << used << " ticks";
  const std::string said = home.Read("stderr.txt");
  EXPECT_EQ(said.find("standard input cannot be read"),
            said.rfind("standard input cannot be read"));  // said once
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_TRUE(FileSays("event.log", "**** Quillark shutdown ****", 1s));
}

// `quillark --headless | head -1`: once the reader is gone the program keeps
// running, its events still reach event.log, and it shuts down in order.
TEST_F(Hardening, OutputPipeWithoutReaderNeitherKillsNorLosesEvents) {
  auto p = StartHeadless(home.Path());
  p->CloseOutput();
  p->Send("help");
  p->Send("select 1-005");
  p->Send("stats");
  p->Send("quit");
  EXPECT_EQ(p->Wait(15s), 0);
  EXPECT_TRUE(FileSays("event.log", "**** Quillark shutdown ****", 1s));
}

// The desktop program, stopped by a logout or the service manager, closes
// its logs in order as File > Exit does, whatever window is open.
TEST_F(Hardening, DesktopProgramShutsDownInOrderOnTerminate) {
  const std::string exe = QUILLARK_EXE;
  const std::string dir = home.Path().string();
  const std::string err = (home / "stderr.txt").string();
  const int pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    dup2(open("/dev/null", O_RDONLY), 0);
    dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
    dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644), 2);
    execl(exe.c_str(), exe.c_str(), "--home", dir.c_str(), nullptr);
    _exit(127);
  }
  EXPECT_TRUE(FileSays("event.log", "**** Quillark startup ****"));
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << home.Read("stderr.txt");
  EXPECT_TRUE(FileSays("event.log", "**** Quillark shutdown ****", 1s));
}

TEST_F(Hardening, HangUpShutsDownInOrder) {
  auto p = StartHeadless(home.Path());
  p->Signal(SIGHUP);
  EXPECT_EQ(p->Wait(15s), 0);
  EXPECT_TRUE(FileSays("event.log", "**** Quillark shutdown ****", 1s));
}

// Padding past the line limit followed by a command: nothing of it runs.
TEST_F(Hardening, OverlongConsoleLineIsDiscardedWhole) {
  auto p = StartHeadless(home.Path());
  p->Send(std::string(70000, ' ') + " logon Administrator");
  EXPECT_NE(p->WaitFor("error: line longer than 65536 characters discarded", 10s), "");
  EXPECT_TRUE(Answers(*p, "select 1-005", "selected 1-005"));
  EXPECT_TRUE(Answers(*p, "isolate", "refused: the access level is too low"));
  EXPECT_FALSE(Mentions(*p, "logged on as"));
  EXPECT_TRUE(Quit(*p));
}

TEST_F(Hardening, HomeOptionWithoutFolderIsRefused) {
  Process p({QUILLARK_EXE, "--headless", "--home"}, (home / "err.txt").string());
  EXPECT_EQ(p.Wait(10s), 2);
  EXPECT_NE(home.Read("err.txt").find("--home needs a folder"), std::string::npos);
}

// A password file others may read gives the access levels away: it is made
// private at start-up and the change is a security event.
TEST_F(Hardening, OpenPasswordFileIsMadePrivateAtStart) {
  namespace fs = std::filesystem;
  home.Write("dovetree.ini", "[Passwords]\r\n");
  fs::permissions(home / "dovetree.ini", fs::perms::owner_read | fs::perms::owner_write |
                                             fs::perms::group_read | fs::perms::others_read);
  auto p = StartHeadless(home.Path());
  EXPECT_TRUE(Quit(*p));
  EXPECT_EQ(fs::status(home / "dovetree.ini").permissions(),
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_TRUE(Mentions(*p, "event SECURITY: The password file"));
}

}  // namespace
}  // namespace quillark::test
