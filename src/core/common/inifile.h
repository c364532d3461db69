#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/common/ini.h"

namespace quillark {

// A profile file on disk. Reads see the file as it is now (it is re-read when
// it changed since the last look); writes keep every other line as it was and
// replace the file atomically, with CR LF line ends.
class INIfile : public INI {
 public:
  explicit INIfile(std::filesystem::path path);

  using INI::ReadString;
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& def) override;
  bool WriteString(const std::string& section, const std::string& key,
                   const std::string& text) override;

  const std::filesystem::path& Path() const { return path; }

 private:
  void Refresh();
  bool Save();

  std::filesystem::path path;
  std::vector<std::string> lines;  // the file's lines without their line ends
  std::filesystem::file_time_type loadedtime{};
  std::uintmax_t loadedsize = static_cast<std::uintmax_t>(-1);
  bool loaded = false;
};

}  // namespace quillark
