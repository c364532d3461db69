#include "core/app/recentfiles.h"

#include <algorithm>
#include <filesystem>

#include "core/common/ini.h"

namespace quillark {
namespace {

std::string Key(int n) {
  return "File" + std::to_string(n);
}

// Two spellings of one file ("a/./b.ev2" and "a/b.ev2") are one entry.
bool SameFile(const std::string& a, const std::string& b) {
  return std::filesystem::path(a).lexically_normal() == std::filesystem::path(b).lexically_normal();
}

}  // namespace

RecentFiles::RecentFiles(INI& i) : ini(i) {
  for (int n = 1; n <= MAXFILES; ++n) {
    std::string path = ini.ReadString(SECTION, Key(n), "");
    if (path.empty()) continue;
    if (std::none_of(files.begin(), files.end(),
                     [&](const std::string& f) { return SameFile(f, path); }))
      files.push_back(std::move(path));
  }
}

void RecentFiles::Add(const std::string& path) {
  if (path.empty()) return;
  std::erase_if(files, [&](const std::string& f) { return SameFile(f, path); });
  files.insert(files.begin(), path);
  if (files.size() > MAXFILES) files.resize(MAXFILES);
  Save();
}

void RecentFiles::Remove(const std::string& path) {
  const std::size_t before = files.size();
  std::erase_if(files, [&](const std::string& f) { return SameFile(f, path); });
  if (files.size() != before) Save();
}

void RecentFiles::Save() {
  for (int n = 1; n <= MAXFILES; ++n) {
    const std::size_t i = static_cast<std::size_t>(n - 1);
    ini.WriteString(SECTION, Key(n), i < files.size() ? files[i] : std::string());
  }
}

}  // namespace quillark
