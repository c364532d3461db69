#include "core/platform/homelock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

namespace quillark {

namespace {

// The process number the holder wrote into the file, or empty.
std::string HolderPid(int fd) {
  char buf[32] = {};
  const ssize_t n = pread(fd, buf, sizeof buf - 1, 0);
  if (n <= 0) return {};
  std::string pid;
  for (ssize_t i = 0; i < n && buf[i] >= '0' && buf[i] <= '9'; ++i) pid += buf[i];
  return pid;
}

}  // namespace

HomeLock::~HomeLock() {
  close(fd);
}

std::unique_ptr<HomeLock> HomeLock::Take(const std::filesystem::path& home, std::string& error) {
  const std::filesystem::path file = home / FILENAME;
  // Close-on-exec: a program the launcher starts (the mail agent, the pager)
  // must not keep the home locked after this process has gone.
  const int fd = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) {
    error = "cannot create the lock file " + file.string() + ": " + std::strerror(errno);
    return nullptr;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int err = errno;
    if (err == EWOULDBLOCK) {
      const std::string pid = HolderPid(fd);
      error = "another Quillark" + (pid.empty() ? std::string() : " (process " + pid + ")") +
              " is already running on the program home " + home.string() +
              "; two bus masters on the same loops would corrupt each other's polls";
    } else {
      error = "cannot lock " + file.string() + ": " + std::strerror(err);
    }
    close(fd);
    return nullptr;
  }
  // Who holds the home, for the message the next one gives.
  const std::string pid = std::to_string(getpid()) + "\n";
  if (ftruncate(fd, 0) != 0 || pwrite(fd, pid.data(), pid.size(), 0) < 0) {
    // The lock holds without the number; only the message is poorer.
  }
  return std::unique_ptr<HomeLock>(new HomeLock(fd));
}

}  // namespace quillark
