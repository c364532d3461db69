#include "core/platform/posixlauncher.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <thread>

#include "support/tempdir.h"
#include "support/virtualeventloop.h"

namespace quillark::test {
namespace {

// Long enough never to be reached in a test that expects the program to end
// by itself: time on the virtual loop runs faster than real time.
constexpr std::uint32_t NO_LIMIT_MS = 3600000;

class PosixLauncherTest : public ::testing::Test {
 protected:
  // Runs /bin/sh with `arguments` and keeps its result in `results`.
  void Launch(const std::vector<std::string>& arguments, std::optional<std::string> input,
              std::uint32_t timeoutms) {
    launcher->Launch(
        "/bin/sh", arguments, std::move(input),
        [this](const LaunchResult& r) { results.push_back(r); }, timeoutms);
  }
  // Runs the loop until `done`, letting real time pass for the programs
  // between steps; gives up after about five seconds.
  bool RunUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 2500 && !done(); ++i) {
      loop.Advance(PosixLauncher::WATCH_INTERVAL_MS);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return done();
  }
  bool RunUntilResults(std::size_t n) {
    return RunUntil([&] { return results.size() >= n; });
  }

  TempDir dir;
  VirtualEventLoop loop;
  std::unique_ptr<PosixLauncher> launcher = std::make_unique<PosixLauncher>(loop);
  std::vector<LaunchResult> results;
};

TEST_F(PosixLauncherTest, MissingProgramIsNotStartedAndSaysWhy) {
  launcher->Launch("/nonexistent/sendmail", {}, "x",
                   [this](const LaunchResult& r) { results.push_back(r); });
  EXPECT_TRUE(results.empty());  // never from inside the call
  ASSERT_TRUE(RunUntilResults(1));
  EXPECT_FALSE(results[0].started);
  EXPECT_EQ(results[0].Code(), ENOENT);

  const LaunchResult r = launcher->Start("/nonexistent/pager", {"a"});
  EXPECT_FALSE(r.started);
  EXPECT_EQ(r.error, ENOENT);
}

TEST_F(PosixLauncherTest, ExitStatusAndEveryByteOfInput) {
  // More than a socket holds at once, so it takes several looks to feed.
  std::string message;
  for (int i = 0; message.size() < (1 << 20); ++i) message += "line " + std::to_string(i) + "\n";
  Launch({"-c", "cat > \"$1\"", "sh", (dir / "got").string()}, message, NO_LIMIT_MS);
  // Far more than a pipe holds, to a program that never reads it: no SIGPIPE.
  Launch({"-c", "exit 3"}, std::string(4 << 20, 'x'), NO_LIMIT_MS);
  Launch({"-c", "kill -USR1 $$"}, std::nullopt, NO_LIMIT_MS);
  ASSERT_TRUE(RunUntilResults(3));
  EXPECT_EQ(launcher->Running(), 0u);
  EXPECT_EQ(dir.Read("got"), message);
  for (const LaunchResult& r : results) EXPECT_TRUE(r.started && r.finished);
  // The results come as the programs end, not in the order they started.
  int codes[3] = {};
  for (int i = 0; i < 3; ++i) codes[i] = results[static_cast<std::size_t>(i)].exitcode;
  std::sort(codes, codes + 3);
  EXPECT_EQ(codes[0], 0);
  EXPECT_EQ(codes[1], 3);
  EXPECT_EQ(codes[2], 128 + SIGUSR1);
}

TEST_F(PosixLauncherTest, ProgramPastItsTimeIsStoppedAndReportedUnfinished) {
  // Killed at the limit, with whatever it started (ctest would wait for a
  // stray child holding our output).
  Launch({"-c", "sleep 30; true"}, std::string(1 << 20, 'x'), 200);
  ASSERT_TRUE(RunUntilResults(1));
  EXPECT_TRUE(results[0].started);
  EXPECT_FALSE(results[0].finished);
  EXPECT_EQ(results[0].exitcode, 128 + SIGTERM);

  // Deaf to the polite request: SIGKILL after the grace. The clock stands
  // still until the shell has set its trap: a TERM before that would end it
  // politely on a slow machine.
  const std::string ready = (dir / "ready").string();
  Launch({"-c", "trap '' TERM; : > \"$1\"; sleep 30; true", "sh", ready}, std::nullopt, 200);
  for (int i = 0; i < 2500 && !std::filesystem::exists(ready); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  ASSERT_TRUE(RunUntilResults(2));
  EXPECT_TRUE(results[1].started);
  EXPECT_FALSE(results[1].finished);
  EXPECT_EQ(results[1].exitcode, 128 + SIGKILL);
}

TEST_F(PosixLauncherTest, LauncherGoneKillsAndReapsItsProgramsAndCallsNobody) {
  Launch({"-c", "echo $$ > \"$1.tmp\"; mv \"$1.tmp\" \"$1\"; exec sleep 30", "sh",
          (dir / "pid").string()},
         std::nullopt, NO_LIMIT_MS);
  ASSERT_TRUE(RunUntil([&] { return std::filesystem::exists(dir / "pid"); }));
  const pid_t pid = std::stoi(dir.Read("pid"));
  launcher.reset();
  int status = 0;
  EXPECT_EQ(::waitpid(pid, &status, WNOHANG), -1);  // reaped, not a zombie of ours
  EXPECT_EQ(errno, ECHILD);
  loop.Advance(1000);
  EXPECT_TRUE(results.empty());
  EXPECT_EQ(loop.ActiveTimers(), 0u);
}

TEST_F(PosixLauncherTest, CanRunOnlyExecutableFiles) {
  dir.Write("script", "#!/bin/sh\n");
  EXPECT_FALSE(launcher->CanRun(dir / "script"));
  std::filesystem::permissions(dir / "script", std::filesystem::perms::owner_all);
  EXPECT_TRUE(launcher->CanRun(dir / "script"));
  EXPECT_FALSE(launcher->CanRun(dir.Path()));
  EXPECT_FALSE(launcher->CanRun(dir / "absent"));
}

}  // namespace
}  // namespace quillark::test
