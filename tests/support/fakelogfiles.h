#pragma once

#include <cstdint>
#include <limits>

#include "core/platform/logfiles.h"

namespace quillark::test {

// The real files, with a disk that holds only `space` more bytes: a write
// past it comes up short (as write(2) does on a full disk) or fails outright
// when nothing at all fits.
class FillingDisk : public LogFiles {
 public:
  std::int64_t space = std::numeric_limits<std::int64_t>::max();
  int appends = 0;

  std::int64_t Size(const std::filesystem::path& file) override { return disk.Size(file); }
  bool Exists(const std::filesystem::path& file) override { return disk.Exists(file); }
  std::int64_t Append(const std::filesystem::path& file, std::string_view bytes) override {
    ++appends;
    if (space <= 0) return -1;
    if (static_cast<std::int64_t>(bytes.size()) > space) bytes = bytes.substr(0, space);
    const std::int64_t n = disk.Append(file, bytes);
    if (n > 0) space -= n;
    return n;
  }
  bool Truncate(const std::filesystem::path& file, std::uint64_t size) override {
    const std::int64_t before = disk.Size(file);
    const bool ok = disk.Truncate(file, size);
    if (ok && before > static_cast<std::int64_t>(size))
      space += before - static_cast<std::int64_t>(size);
    return ok;
  }
  bool MoveAside(const std::filesystem::path& from, const std::filesystem::path& to) override {
    return disk.MoveAside(from, to);
  }

 private:
  LogFiles& disk = DiskLogFiles();
};

}  // namespace quillark::test
