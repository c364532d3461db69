#pragma once

#include <string>
#include <vector>

namespace quillark {

class INI;

// The files opened or saved last, newest first, offered again by the File
// menu. They are kept in the settings ("RecentFiles", "File1" to "File4"), so
// the list survives a restart; every change is written at once.
class RecentFiles {
 public:
  static constexpr int MAXFILES = 4;
  static constexpr const char* SECTION = "RecentFiles";

  // Reads the list; empty and repeated entries are dropped.
  explicit RecentFiles(INI& ini);

  // Puts `path` first. A path naming a file already listed moves it up
  // instead of listing it twice; the oldest entry falls off the end.
  void Add(const std::string& path);
  // Takes a file off the list (one that can no longer be opened).
  void Remove(const std::string& path);
  const std::vector<std::string>& Files() const { return files; }

 private:
  void Save();

  INI& ini;
  std::vector<std::string> files;
};

}  // namespace quillark
