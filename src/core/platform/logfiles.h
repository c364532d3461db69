#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>

namespace quillark {

// The few file operations the append-only logs need. They sit behind an
// interface so that a test can make the disk fill up, a write come up short
// or a file shrink under the writer, which are exactly the cases the logs
// must survive without losing their shape.
class LogFiles {
 public:
  virtual ~LogFiles() = default;
  // The size of the file, or -1 when it does not exist or cannot be asked.
  virtual std::int64_t Size(const std::filesystem::path& file) = 0;
  virtual bool Exists(const std::filesystem::path& file) = 0;
  // Appends with a single write (the file is created when missing), so that
  // another reader never sees a record split by a second write. Returns the
  // bytes written, which may be fewer than asked, or -1.
  virtual std::int64_t Append(const std::filesystem::path& file, std::string_view bytes) = 0;
  // Cuts the file back to `size` bytes.
  virtual bool Truncate(const std::filesystem::path& file, std::uint64_t size) = 0;
  // Renames without replacing: false when `to` exists already.
  virtual bool MoveAside(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
};

// The real files.
LogFiles& DiskLogFiles();

}  // namespace quillark
