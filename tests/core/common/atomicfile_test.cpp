#include "core/common/atomicfile.h"

#include <gtest/gtest.h>

#include "support/tempdir.h"

namespace quillark {
namespace {

TEST(AtomicFileWriter, TargetChangesOnlyWhenCommitted) {
  test::TempDir dir;
  dir.Write("log.csv", "old");
  {
    AtomicFileWriter w(dir / "log.csv");
    ASSERT_TRUE(w.IsOpen());
    EXPECT_TRUE(w.Write("new "));
    std::fputs("content", w.File());
    // A reader in the meantime still sees the old file whole.
    EXPECT_EQ(dir.Read("log.csv"), "old");
    EXPECT_TRUE(w.Commit());
    EXPECT_FALSE(w.Write("more"));  // nothing after the commit
  }
  EXPECT_EQ(dir.Read("log.csv"), "new content");
  EXPECT_FALSE(std::filesystem::exists(dir / "log.csv.part"));

  // Given up, or simply dropped: the old file stays, no part file is left.
  {
    AtomicFileWriter w(dir / "log.csv");
    w.Write("half");
    w.Discard();
    EXPECT_FALSE(w.Commit());
  }
  {
    AtomicFileWriter w(dir / "log.csv");
    w.Write("half");
  }
  EXPECT_EQ(dir.Read("log.csv"), "new content");
  EXPECT_FALSE(std::filesystem::exists(dir / "log.csv.part"));
  EXPECT_TRUE(WriteFileAtomically(dir / "log.csv", "whole"));
  EXPECT_EQ(dir.Read("log.csv"), "whole");
}

TEST(AtomicFileWriter, FailuresLeaveNothingBehind) {
  test::TempDir dir;
  // No folder to write in.
  AtomicFileWriter missing(dir / "no" / "such.csv");
  EXPECT_FALSE(missing.IsOpen());
  EXPECT_FALSE(missing.Write("x"));
  EXPECT_FALSE(missing.Commit());

  // The rename fails: a folder with something in it has the name.
  std::filesystem::create_directory(dir / "busy");
  dir.Write("busy/inside", "kept");
  {
    AtomicFileWriter w(dir / "busy");
    ASSERT_TRUE(w.IsOpen());
    EXPECT_TRUE(w.Write("x"));
    EXPECT_FALSE(w.Commit());
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "busy.part"));
  EXPECT_EQ(dir.Read("busy/inside"), "kept");
  EXPECT_FALSE(WriteFileAtomically(dir / "busy", "x"));
}

}  // namespace
}  // namespace quillark
