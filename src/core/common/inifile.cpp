#include "core/common/inifile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <system_error>

#include "core/common/textutil.h"

namespace quillark {
namespace {

// The name of a "[name]" line, or nothing for any other line.
bool SectionName(std::string_view line, std::string_view& name) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return false;
  auto close = line.find(']');
  name = Trim(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
  return true;
}

// Splits "key = value"; false for lines without "=".
bool KeyValue(std::string_view line, std::string_view& key, std::string_view& value) {
  auto eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  key = Trim(line.substr(0, eq));
  value = Trim(line.substr(eq + 1));
  // A value in matching quotes is read without them, as profile files always have been.
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return true;
}

// Line ends and NULs inside a value would break the file's structure.
std::string OneLine(const std::string& text) {
  std::string out = text;
  for (char& c : out)
    if (c == '\r' || c == '\n' || c == '\0') c = ' ';
  return out;
}

}  // namespace

INIfile::INIfile(std::filesystem::path p) : path(std::move(p)) {}

void INIfile::Refresh() {
  std::error_code ec;
  auto size = std::filesystem::file_size(path, ec);
  if (ec) {
    lines.clear();
    loaded = false;
    return;
  }
  auto time = std::filesystem::last_write_time(path, ec);
  if (loaded && size == loadedsize && time == loadedtime) return;

  lines.clear();
  std::ifstream in(path, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
  }
  loadedsize = size;
  loadedtime = time;
  loaded = true;
}

std::string INIfile::ReadString(const std::string& section, const std::string& key,
                                const std::string& def) {
  Refresh();
  bool insection = false;
  for (const auto& line : lines) {
    std::string_view name, k, v;
    if (SectionName(line, name)) {
      insection = EqualsNoCase(name, section);
      continue;
    }
    if (insection && KeyValue(line, k, v) && EqualsNoCase(k, key)) return std::string(v);
  }
  return std::string(Trim(def));
}

bool INIfile::WriteString(const std::string& section, const std::string& key,
                          const std::string& text) {
  Refresh();
  const std::string entry = OneLine(key) + "=" + OneLine(text);

  // Find the section, then the key in it, or where a new key belongs.
  std::size_t insertat = lines.size();
  bool found = false;
  bool insection = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string_view name, k, v;
    if (SectionName(lines[i], name)) {
      if (insection) break;  // end of our section
      insection = !found && EqualsNoCase(name, section);
      if (insection) {
        found = true;
        insertat = i + 1;
      }
      continue;
    }
    if (!insection) continue;
    if (KeyValue(lines[i], k, v) && EqualsNoCase(k, key)) {
      lines[i] = entry;
      return Save();
    }
    if (!Trim(lines[i]).empty()) insertat = i + 1;
  }
  if (found) {
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertat), entry);
  } else {
    lines.push_back("[" + OneLine(section) + "]");
    lines.push_back(entry);
  }
  return Save();
}

bool INIfile::Save() {
  std::filesystem::path temp = path;
  temp += ".tmp";
  // The new file takes the place of the old one, so it takes its mode and
  // owner too: a settings file kept private (it may hold a password) must
  // not come back readable by everybody after the first change.
  struct stat old {};
  const bool existed = ::stat(path.c_str(), &old) == 0;
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    // Before a byte is written, so the content is never readable under a
    // wider mode than the old file had.
    if (existed) {
      [[maybe_unused]] int ignored = ::chown(temp.c_str(), old.st_uid, old.st_gid);
      if (::chmod(temp.c_str(), old.st_mode & 07777) != 0) {
        out.close();
        std::error_code ec;
        std::filesystem::remove(temp, ec);
        return false;
      }
    }
    for (const auto& line : lines) out << line << "\r\n";
    out.flush();
    if (!out) {
      std::error_code ec;
      std::filesystem::remove(temp, ec);
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  if (ec) {
    std::filesystem::remove(temp, ec);
    return false;
  }
  loaded = false;  // re-read on next access so the time stamp is current
  Refresh();
  return true;
}

}  // namespace quillark
