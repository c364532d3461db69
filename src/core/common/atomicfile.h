#pragma once

#include <cstdio>
#include <filesystem>
#include <string_view>

namespace quillark {

// Replaces `path` with `bytes`: written to a file beside it and renamed over
// it, so a reader never sees half a file and a failed write (a full disk, a
// crash) leaves the old file as it was. False, with nothing left behind, when
// the file could not be written.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// The same for content too large to hold in memory at once (an export of a
// million events): written piece by piece into "<path>.part", which Commit
// renames over `path`. Anything that goes wrong on the way, or going out of
// scope without Commit, removes the part file and leaves `path` untouched.
class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(std::filesystem::path path);
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // False when the part file could not be created.
  bool IsOpen() const { return file != nullptr; }
  // For writers that take a C stream; its errors are seen by Commit.
  std::FILE* File() const { return file; }
  bool Write(std::string_view bytes);
  // Closes the part file and renames it over the target. False, with
  // nothing left behind, when any write, the close or the rename failed.
  bool Commit();
  // Drops what was written; the target stays as it was.
  void Discard();

 private:
  std::filesystem::path path;
  std::filesystem::path temp;
  std::FILE* file = nullptr;
  bool failed = false;
};

}  // namespace quillark
