#include "core/platform/logfiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <sys/stat.h>
#include <cerrno>

namespace quillark {
namespace {

class DiskFiles : public LogFiles {
 public:
  std::int64_t Size(const std::filesystem::path& file) override {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return static_cast<std::int64_t>(st.st_size);
  }

  bool Exists(const std::filesystem::path& file) override {
    struct stat st {};
    return ::lstat(file.c_str(), &st) == 0;
  }

  std::int64_t Append(const std::filesystem::path& file, std::string_view bytes) override {
    const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return -1;
    ssize_t n;
    do {
      n = ::write(fd, bytes.data(), bytes.size());
    } while (n < 0 && errno == EINTR);
    const int saved = errno;
    // A failed close after a whole write may hide a write error (NFS): the
    // record is not known to be on disk then.
    if (::close(fd) != 0 && n == static_cast<ssize_t>(bytes.size())) return -1;
    errno = saved;
    return n < 0 ? -1 : static_cast<std::int64_t>(n);
  }

  bool Truncate(const std::filesystem::path& file, std::uint64_t size) override {
    return ::truncate(file.c_str(), static_cast<off_t>(size)) == 0;
  }

  bool MoveAside(const std::filesystem::path& from, const std::filesystem::path& to) override {
    // A hard link never replaces an existing file; the old name then goes.
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    return ::unlink(from.c_str()) == 0;
  }
};

}  // namespace

LogFiles& DiskLogFiles() {
  static DiskFiles files;
  return files;
}

}  // namespace quillark
