#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace quillark {

// Keeps a second copy of the program off a program home while this one runs:
// two bus masters on the same loops answer over each other's polls and
// corrupt them, and two writers interleave the same logs. The lock is the
// operating system's lock on the file quillark.lock in the home, so it goes
// with the process however the process ends; a crash leaves no stale lock.
class HomeLock {
 public:
  ~HomeLock();
  HomeLock(const HomeLock&) = delete;
  HomeLock& operator=(const HomeLock&) = delete;

  // Locks `home`. Null when it cannot be done, with the reason in `error`
  // (naming the process that holds the home, when it is known).
  static std::unique_ptr<HomeLock> Take(const std::filesystem::path& home, std::string& error);

  static constexpr const char* FILENAME = "quillark.lock";

 private:
  explicit HomeLock(int f) : fd(f) {}
  int fd;
};

}  // namespace quillark
