#include "core/platform/posixlauncher.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>

#include "support/tempdir.h"

namespace quillark::test {
namespace {

// Feeding input and starting with arguments are exercised through the fake
// sendmail and pager programs of the notifier tests.

TEST(PosixLauncher, MissingProgramIsNotStarted) {
  PosixLauncher launcher;
  LaunchResult r = launcher.Run("/nonexistent/sendmail", {}, "x");
  EXPECT_FALSE(r.started);
  EXPECT_EQ(r.Code(), ENOENT);
  r = launcher.Start("/nonexistent/pager", {"a"});
  EXPECT_FALSE(r.started);
  EXPECT_EQ(r.error, ENOENT);
}

TEST(PosixLauncher, ProgramThatIgnoresItsInputOrHangsCannotHoldUs) {
  PosixLauncher launcher;
  // Far more than a pipe holds, to a program that never reads it: no SIGPIPE.
  LaunchResult r = launcher.Run("/bin/sh", {"-c", "exit 3"}, std::string(4 << 20, 'x'));
  EXPECT_TRUE(r.started && r.finished);
  EXPECT_EQ(r.exitcode, 3);

  // Killed at the limit, with whatever it started (ctest would wait for a
  // stray child holding our output).
  const auto start = std::chrono::steady_clock::now();
  r = launcher.Run("/bin/sh", {"-c", "sleep 30; true"}, std::nullopt, 200);
  EXPECT_TRUE(r.started);
  EXPECT_FALSE(r.finished);
  EXPECT_EQ(r.Code(), 128 + 9);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST(PosixLauncher, CanRunOnlyExecutableFiles) {
  TempDir dir;
  PosixLauncher launcher;
  dir.Write("script", "#!/bin/sh\n");
  EXPECT_FALSE(launcher.CanRun(dir / "script"));
  std::filesystem::permissions(dir / "script", std::filesystem::perms::owner_all);
  EXPECT_TRUE(launcher.CanRun(dir / "script"));
  EXPECT_FALSE(launcher.CanRun(dir.Path()));
  EXPECT_FALSE(launcher.CanRun(dir / "absent"));
}

}  // namespace
}  // namespace quillark::test
