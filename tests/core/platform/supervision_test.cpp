// What keeps one bus master on a program home, dates the gaps in
// supervision, and finds the program home of an installed program.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "core/platform/homelock.h"
#include "core/platform/keepalive.h"
#include "core/platform/programhome.h"
#include "support/tempdir.h"
#include "support/virtualeventloop.h"

namespace quillark {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

TEST(HomeLock, OneHolderAtATimeAndFreeOnceReleased) {
  TempDir home;
  std::string error;
  auto first = HomeLock::Take(home.Path(), error);
  ASSERT_NE(first, nullptr) << error;
  EXPECT_EQ(home.Read(HomeLock::FILENAME), std::to_string(getpid()) + "\n");

  // A second taker is refused with a message naming the holder.
  std::string second;
  EXPECT_EQ(HomeLock::Take(home.Path(), second), nullptr);
  EXPECT_NE(second.find("another Quillark (process " + std::to_string(getpid()) + ")"),
            std::string::npos)
      << second;
  EXPECT_NE(second.find(home.Path().string()), std::string::npos) << second;

  // Another home is not held.
  TempDir other;
  EXPECT_NE(HomeLock::Take(other.Path(), error), nullptr);

  // The file left behind does not hold the home: only a live holder does.
  first.reset();
  EXPECT_TRUE(fs::exists(home / HomeLock::FILENAME));
  EXPECT_NE(HomeLock::Take(home.Path(), error), nullptr) << error;
}

TEST(HomeLock, AHomeThatCannotHoldTheFileIsRefusedWithTheReason) {
  TempDir dir;
  std::string error;
  EXPECT_EQ(HomeLock::Take(dir / "missing", error), nullptr);
  EXPECT_NE(error.find("cannot create the lock file"), std::string::npos) << error;
}

TEST(SupervisionRecord, ReadsWhatItWritesAndNothingElse) {
  for (const SupervisionRecord r : {SupervisionRecord{true, 1781000000}, {false, 0}}) {
    auto back = ParseSupervisionRecord(FormatSupervisionRecord(r));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->running, r.running);
    EXPECT_EQ(back->when, r.when);
  }
  EXPECT_TRUE(ParseSupervisionRecord("stopped 12\r\n"));
  for (const char* bad : {"", "running", "running ", "running -5", "running 12x", "Running 12",
                          "running 1234567890123", "stopped 1 2", "running\n12"})
    EXPECT_FALSE(ParseSupervisionRecord(bad)) << bad;
}

TEST(SupervisionRecord, OnlyAnUnfinishedRunIsReportedWithItsLength) {
  EXPECT_EQ(InterruptionNote(std::nullopt, 1000), "");
  EXPECT_EQ(InterruptionNote(SupervisionRecord{false, 100}, 1000), "");
  EXPECT_EQ(InterruptionNote(SupervisionRecord{true, 1000}, 1042),
            "supervision was interrupted for 42 s (the previous run did not shut down)");
  EXPECT_EQ(InterruptionNote(SupervisionRecord{true, 1000}, 1000 + 3 * 60 + 7),
            "supervision was interrupted for 3 min 07 s (the previous run did not shut down)");
  EXPECT_EQ(InterruptionNote(SupervisionRecord{true, 0}, 26 * 3600 + 60 + 5),
            "supervision was interrupted for 26 h 01 min 05 s (the previous run did not shut "
            "down)");
  // A clock set back: still an interruption, of no known length.
  EXPECT_EQ(InterruptionNote(SupervisionRecord{true, 5000}, 1000),
            "supervision was interrupted (the previous run did not shut down)");
}

class KeepAliveTest : public ::testing::Test {
 protected:
  std::optional<SupervisionRecord> OnDisk() const {
    return ParseSupervisionRecord(home.Read(KeepAlive::FILENAME));
  }
  TempDir home;
  test::VirtualEventLoop events;
  int pings = 0;
};

TEST_F(KeepAliveTest, BeatsFromTheEventLoopAndRecordsAnOrderlyStop) {
  KeepAlive keepalive(events, home / KeepAlive::FILENAME, 5000, [this] { ++pings; });
  EXPECT_FALSE(keepalive.ReadPrevious());
  const std::time_t start = events.Now();
  keepalive.Start();
  EXPECT_EQ(pings, 1);
  ASSERT_TRUE(OnDisk());
  EXPECT_TRUE(OnDisk()->running);
  EXPECT_EQ(OnDisk()->when, start);

  events.Advance(12000);
  EXPECT_EQ(pings, 3);
  EXPECT_EQ(OnDisk()->when, start + 10);

  keepalive.Stop();
  EXPECT_FALSE(OnDisk()->running);
  EXPECT_EQ(OnDisk()->when, start + 12);
  events.Advance(20000);
  EXPECT_EQ(pings, 3);
  EXPECT_FALSE(fs::exists(home / "keepalive.new"));
}

TEST_F(KeepAliveTest, TheNextRunSeesTheLastBeatOfARunThatNeverStopped) {
  {
    KeepAlive crashed(events, home / KeepAlive::FILENAME, 5000, nullptr);
    crashed.Start();
    events.Advance(7000);
    // Gone without Stop, as a killed or hung program goes.
  }
  const std::time_t lastbeat = events.Now() - 2;
  events.Advance(600000);
  KeepAlive next(events, home / KeepAlive::FILENAME, 5000, nullptr);
  auto previous = next.ReadPrevious();
  ASSERT_TRUE(previous);
  EXPECT_TRUE(previous->running);
  EXPECT_EQ(previous->when, lastbeat);
  EXPECT_EQ(InterruptionNote(previous, events.Now()),
            "supervision was interrupted for 10 min 02 s (the previous run did not shut down)");
}

TEST(KeepAliveInterval, HalfTheWatchdogAndNeverLongerThanFiveSeconds) {
  EXPECT_EQ(KeepAlive::IntervalFor(0), 5000u);
  EXPECT_EQ(KeepAlive::IntervalFor(10000), 5000u);
  EXPECT_EQ(KeepAlive::IntervalFor(3000), 1500u);
  EXPECT_EQ(KeepAlive::IntervalFor(60000), 5000u);
  EXPECT_EQ(KeepAlive::IntervalFor(1), 1u);
}

class ProgramHomeTest : public ::testing::Test {
 protected:
  HomeSources Installed() const {
    HomeSources s;
    s.exedir = dir / "usr/bin";
    s.installed = true;
    s.userhome = (dir / "user").string();
    return s;
  }
  TempDir dir;
};

TEST_F(ProgramHomeTest, OptionThenEnvironmentThenBuildFolderThenXdg) {
  HomeSources s = Installed();
  s.option = "/srv/a";
  s.environment = "/srv/b";
  EXPECT_EQ(ChooseProgramHome(s).home, "/srv/a");
  EXPECT_TRUE(ChooseProgramHome(s).seedfrom.empty());
  s.option.clear();
  EXPECT_EQ(ChooseProgramHome(s).home, "/srv/b");
  s.environment.clear();
  s.installed = false;
  EXPECT_EQ(ChooseProgramHome(s).home, dir / "usr/bin");

  s.installed = true;
  HomeChoice xdg = ChooseProgramHome(s);
  EXPECT_EQ(xdg.home, dir / "user/.local/share/quillark");
  EXPECT_EQ(xdg.seedfrom, dir / "usr/share/quillark/demo");
  s.xdgdatahome = (dir / "data").string();
  EXPECT_EQ(ChooseProgramHome(s).home, dir / "data/quillark");
  // A relative XDG_DATA_HOME is not valid and is passed over.
  s.xdgdatahome = "data";
  EXPECT_EQ(ChooseProgramHome(s).home, dir / "user/.local/share/quillark");
  s.userhome.clear();
  EXPECT_FALSE(ChooseProgramHome(s).error.empty());
}

TEST_F(ProgramHomeTest, InstalledIsAReadOnlyFolderOrTheInstalledLayout) {
  fs::create_directories(dir / "build/src");
  EXPECT_FALSE(IsInstalledProgram(dir / "build/src"));
  fs::create_directories(dir / "usr/bin");
  fs::create_directories(dir / "usr/share/quillark/demo");
  // Root may write to /usr/bin and still must not keep logs there.
  EXPECT_TRUE(IsInstalledProgram(dir / "usr/bin"));
  if (geteuid() != 0) {
    fs::create_directories(dir / "ro");
    fs::permissions(dir / "ro", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_TRUE(IsInstalledProgram(dir / "ro"));
    fs::permissions(dir / "ro", fs::perms::owner_all);
  }
}

TEST_F(ProgramHomeTest, SeedingCopiesOnlyWhatIsMissingAndSpeaksOnce) {
  const fs::path demo = dir / "usr/share/quillark/demo";
  fs::create_directories(demo);
  dir.Write("usr/share/quillark/demo/quillark.ini", "[Comm]\nLoops=2\n");
  dir.Write("usr/share/quillark/demo/demo.cfg", "site");
  const fs::path home = dir / "user/.local/share/quillark";

  std::string error;
  const std::string said = SeedProgramHome(home, demo, error);
  EXPECT_EQ(error, "");
  EXPECT_EQ(said, "created the program home " + home.string() + " from the demonstration home " +
                      demo.string());
  EXPECT_EQ(dir.Read("user/.local/share/quillark/demo.cfg"), "site");

  dir.Write("user/.local/share/quillark/quillark.ini", "[Comm]\nLoops=5\n");
  EXPECT_EQ(SeedProgramHome(home, demo, error), "");
  EXPECT_EQ(dir.Read("user/.local/share/quillark/quillark.ini"), "[Comm]\nLoops=5\n");

  // Settings lost, the user's site edited: the settings come back, the site stays.
  fs::remove(home / "quillark.ini");
  dir.Write("user/.local/share/quillark/demo.cfg", "mine");
  EXPECT_NE(SeedProgramHome(home, demo, error), "");
  EXPECT_EQ(dir.Read("user/.local/share/quillark/demo.cfg"), "mine");
  EXPECT_EQ(dir.Read("user/.local/share/quillark/quillark.ini"), "[Comm]\nLoops=2\n");
}

TEST_F(ProgramHomeTest, AHomeThatCannotBeMadeIsAnError) {
  dir.Write("file", "x");
  std::string error;
  EXPECT_EQ(SeedProgramHome(dir / "file/quillark", dir / "none", error), "");
  EXPECT_NE(error.find("cannot create the program home"), std::string::npos) << error;
  error.clear();
  // No demonstration home: an empty home, and the user is told why.
  EXPECT_NE(SeedProgramHome(dir / "empty", dir / "none", error).find("empty"), std::string::npos);
  EXPECT_EQ(error, "");
}

}  // namespace
}  // namespace quillark
