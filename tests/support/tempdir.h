#pragma once

#include <filesystem>
#include <string>

namespace quillark::test {

// A fresh directory removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path; }
  std::filesystem::path operator/(const std::string& name) const { return path / name; }

  // Whole-file helpers for tests that check bytes.
  void Write(const std::string& name, const std::string& bytes) const;
  std::string Read(const std::string& name) const;

 private:
  std::filesystem::path path;
};

}  // namespace quillark::test
