// The program as a system service, its command-line options, one program per
// home, and the home of an installed program.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>

#include "console.h"
#include "process.h"
#include "support/tempdir.h"

namespace quillark::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// Sets an environment variable for the programs a test starts, and puts
// back what was there.
class ScopedEnv {
 public:
  ScopedEnv(const char* n, const std::optional<std::string>& value) : name(n) {
    if (const char* old = std::getenv(n)) before = old;
    if (value)
      setenv(n, value->c_str(), 1);
    else
      unsetenv(n);
  }
  ~ScopedEnv() {
    if (before)
      setenv(name, before->c_str(), 1);
    else
      unsetenv(name);
  }

 private:
  const char* name;
  std::optional<std::string> before;
};

// Plays the service manager's notification socket.
class FakeManager {
 public:
  explicit FakeManager(const fs::path& path) {
    fd = socket(AF_UNIX, SOCK_DGRAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  }
  ~FakeManager() { close(fd); }
  // The next message that contains `text`, or empty when none comes in time.
  std::string WaitFor(const std::string& text, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      pollfd p{fd, POLLIN, 0};
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      if (poll(&p, 1, static_cast<int>(std::max<long long>(1, left.count()))) <= 0) continue;
      char buf[512];
      const ssize_t n = recv(fd, buf, sizeof buf, 0);
      if (n <= 0) continue;
      std::string message(buf, static_cast<std::size_t>(n));
      if (message.find(text) != std::string::npos) return message;
    }
    return {};
  }

 private:
  int fd = -1;
};

// The poll count of a "STATUS=Supervising: polls N ..." keep-alive.
long PollsIn(const std::string& message) {
  const auto at = message.find("polls ");
  return at == std::string::npos ? -1 : std::atol(message.c_str() + at + 6);
}

std::unique_ptr<Process> StartService(const fs::path& home) {
  auto p = std::make_unique<Process>(
      std::vector<std::string>{QUILLARK_EXE, "--service", "--home", home.string()},
      (home / "stderr.txt").string());
  // No console: nothing will ever be typed, and the end of input is no stop.
  p->CloseInput();
  return p;
}

class Service : public ::testing::Test {
 protected:
  Service() { CopyDemoHome(home.Path()); }
  TempDir home;
};

TEST_F(Service, SupervisesWithoutAConsoleUntilSigtermAndTellsTheManager) {
  TempDir sockets;
  FakeManager manager(sockets / "notify");
  ScopedEnv socket("NOTIFY_SOCKET", (sockets / "notify").string());
  // A keep-alive every second.
  ScopedEnv watchdog("WATCHDOG_USEC", "2000000");
  ScopedEnv pid("WATCHDOG_PID", std::nullopt);

  auto p = StartService(home.Path());
  EXPECT_NE(p->WaitFor("event INFORMATION: **** Quillark startup ****", 10s), "");
  EXPECT_NE(manager.WaitFor("READY=1", 10s), "");

  // Ten seconds of keep-alives, standard input long closed, and the poll
  // count rising all the while.
  long first = -1, last = -1;
  for (int beats = 0; beats < 10; ++beats) {
    const std::string beat = manager.WaitFor("WATCHDOG=1", 5s);
    ASSERT_NE(beat, "") << "keep-alive " << beats << " missing";
    const long polls = PollsIn(beat);
    ASSERT_GE(polls, 0) << beat;
    if (first < 0) first = polls;
    EXPECT_GE(polls, last);
    last = polls;
  }
  EXPECT_GT(last, first);

  p->Signal(SIGTERM);
  EXPECT_EQ(p->Wait(15s), 0);
  EXPECT_NE(manager.WaitFor("STOPPING=1", 1s), "");
  EXPECT_NE(p->WaitFor("event INFORMATION: **** Quillark shutdown ****", 1s), "");
  EXPECT_NE(home.Read("event.log").find("INFORMATION: **** Quillark shutdown ****"),
            std::string::npos);
  // Message boxes went to standard error, not into the journal's event lines.
  EXPECT_NE(home.Read("stderr.txt").find("[!!Demo version!!]"), std::string::npos);
  EXPECT_FALSE(Mentions(*p, "!!Demo version!!"));
  EXPECT_EQ(home.Read("keepalive").rfind("stopped ", 0), 0u);
}

TEST_F(Service, SigintEndsItInOrderToo) {
  auto p = StartService(home.Path());
  ASSERT_NE(p->WaitFor("**** Quillark startup ****", 10s), "");
  p->Signal(SIGINT);
  EXPECT_EQ(p->Wait(15s), 0);
  EXPECT_NE(p->WaitFor("**** Quillark shutdown ****", 1s), "");
}

TEST_F(Service, ASecondProgramOnTheSameHomeIsRefused) {
  auto first = StartService(home.Path());
  ASSERT_NE(first->WaitFor("**** Quillark startup ****", 10s), "");

  for (const char* mode : {"--service", "--headless"}) {
    Process second({QUILLARK_EXE, mode, "--home", home.Path().string()},
                   (home / "second.txt").string());
    EXPECT_EQ(second.Wait(10s), 3) << mode;
    const std::string said = home.Read("second.txt");
    EXPECT_NE(said.find("another Quillark (process " + std::to_string(first->Pid()) + ")"),
              std::string::npos)
        << said;
    EXPECT_NE(said.find("corrupt each other's polls"), std::string::npos) << said;
  }
  // The first one never noticed.
  first->Signal(SIGTERM);
  EXPECT_EQ(first->Wait(15s), 0);
  const std::string log = home.Read("event.log");
  EXPECT_EQ(log.find("startup ****"), log.rfind("startup ****")) << log;

  // Once it has gone the home is free again, lock file and all.
  auto again = StartService(home.Path());
  EXPECT_NE(again->WaitFor("**** Quillark startup ****", 10s), "");
  again->Signal(SIGTERM);
  EXPECT_EQ(again->Wait(15s), 0);
}

TEST_F(Service, TheStartAfterAKillSaysHowLongSupervisionWasInterrupted) {
  auto p = StartService(home.Path());
  ASSERT_NE(p->WaitFor("**** Quillark startup ****", 10s), "");
  // As the service manager ends a program whose thread hangs.
  p->Signal(SIGKILL);
  p->Wait(10s);
  ASSERT_EQ(home.Read("keepalive").rfind("running ", 0), 0u) << home.Read("keepalive");
  // Its last keep-alive, dated an hour back.
  const long long last = static_cast<long long>(std::time(nullptr)) - 3600;
  home.Write("keepalive", "running " + std::to_string(last) + "\n");

  auto next = StartService(home.Path());
  const std::string banner = next->WaitFor("**** Quillark startup ****", 10s);
  EXPECT_NE(banner.find("supervision was interrupted for 1 h 00 min"), std::string::npos) << banner;
  next->Signal(SIGTERM);
  ASSERT_EQ(next->Wait(15s), 0);
  EXPECT_NE(home.Read("event.log").find("supervision was interrupted for 1 h"), std::string::npos);

  // After an orderly stop there is nothing to report.
  auto third = StartService(home.Path());
  const std::string plain = third->WaitFor("**** Quillark startup ****", 10s);
  EXPECT_EQ(plain.find("interrupted"), std::string::npos) << plain;
  third->Signal(SIGTERM);
  EXPECT_EQ(third->Wait(15s), 0);
}

TEST(Options, HelpListsEveryOptionAndVersionIsOneLine) {
  TempDir dir;
  Process help({QUILLARK_EXE, "--help"}, (dir / "err.txt").string());
  EXPECT_EQ(help.Wait(5s), 0);
  EXPECT_NE(help.WaitFor("prints this help", 5s), "");
  std::string text;
  for (const auto& line : help.lines) text += line + "\n";
  for (const char* option :
       {"  --home DIR ", "  --headless ", "  --service ", "  --version ", "  -h, --help ",
        "  --export-log FILE.ev2 [--from DATE] [--to DATE] [--device L-AAA] "
        "--csv OUT.csv\n"})
    EXPECT_NE(text.find(option), std::string::npos) << option << " not in\n" << text;

  Process version({QUILLARK_EXE, "--version"}, (dir / "err.txt").string());
  EXPECT_EQ(version.WaitFor("quillark", 5s), std::string("quillark ") + QUILLARK_VERSION);
  EXPECT_EQ(version.Wait(5s), 0);
  EXPECT_EQ(version.WaitFor("anything more", 1s), "");
  EXPECT_EQ(version.lines.size(), 1u);
}

// The log exporter runs without a program home or a supervisor.
TEST(Options, ExportLogWritesTheCsvAndRefusesAMissingLog) {
  TempDir dir;
  dir.Write("system.ev2", "0ac7ea0c00" "0ac7ea0c1e00050070ff0000");
  Process good({QUILLARK_EXE, "--export-log", (dir / "system.ev2").string(), "--csv",
                (dir / "out.csv").string()},
               (dir / "err.txt").string());
  EXPECT_EQ(good.WaitFor("wrote", 5s), "wrote 1 events to " + (dir / "out.csv").string());
  EXPECT_EQ(good.Wait(5s), 0);
  EXPECT_NE(dir.Read("out.csv").find("2026-12-10T12:30,1-005,112,"), std::string::npos);
  Process missing({QUILLARK_EXE, "--export-log", (dir / "none.ev2").string(), "--csv",
                   (dir / "none.csv").string()},
                  (dir / "err.txt").string());
  EXPECT_EQ(missing.Wait(5s), 1);
  EXPECT_NE(dir.Read("err.txt").find("is not a file"), std::string::npos);
}

// An installed program: the executable in a bin folder beside
// share/quillark/demo, started with neither --home nor QUILLARK_HOME.
TEST(InstalledHome, UsesTheXdgFolderAndSeedsItOnce) {
  TempDir root;
  fs::create_directories(root / "usr/bin");
  fs::create_directories(root / "usr/share/quillark/demo");
  CopyDemoHome(root / "usr/share/quillark/demo");
  const fs::path exe = root / "usr/bin/quillark";
  fs::copy_file(QUILLARK_EXE, exe);
  fs::permissions(root / "usr/bin", fs::perms::owner_read | fs::perms::owner_exec |
                                        fs::perms::group_read | fs::perms::group_exec);
  ScopedEnv home("QUILLARK_HOME", std::nullopt);
  ScopedEnv data("XDG_DATA_HOME", (root / "data").string());

  for (int run = 0; run < 2; ++run) {
    auto p = std::make_unique<Process>(std::vector<std::string>{exe.string(), "--headless"},
                                       (root / "err.txt").string());
    ASSERT_NE(p->WaitFor("**** Quillark startup ****", 10s), "") << root.Read("err.txt");
    EXPECT_TRUE(Quit(*p));
    const std::string said = root.Read("err.txt");
    const std::string created = "created the program home " + (root / "data/quillark").string() +
                                " from the demonstration home " +
                                (root / "usr/share/quillark/demo").string();
    if (run == 0)
      EXPECT_NE(said.find(created), std::string::npos) << said;
    else
      EXPECT_EQ(said.find("created"), std::string::npos) << said;
  }
  EXPECT_TRUE(fs::exists(root / "data/quillark/quillark.ini"));
  EXPECT_TRUE(fs::exists(root / "data/quillark/demo.cfg"));
  EXPECT_NE(root.Read("data/quillark/event.log").find("**** Quillark startup ****"),
            std::string::npos);
  // Nothing was written next to the program.
  EXPECT_FALSE(fs::exists(root / "usr/bin/event.log"));
  EXPECT_FALSE(fs::exists(root / "usr/bin/quillark.lock"));
  fs::permissions(root / "usr/bin", fs::perms::owner_all);
}

}  // namespace
}  // namespace quillark::test
