// Settings files are edited by hand and copied between machines: reading any
// key of any file must be harmless, a value written must read back as
// written, and writing one key must leave every other key's value alone.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/common/inifile.h"
#include "core/common/textutil.h"
#include "fuzzfiles.h"

namespace {

const std::string& FileName() {
  static const std::string name = fuzzfiles::TempName("quillark.ini");
  return name;
}

// The (section, key) of every "key=value" line, as a reader would see them.
std::vector<std::pair<std::string, std::string>> Keys(const std::string& text) {
  std::vector<std::pair<std::string, std::string>> out;
  std::string section;
  std::size_t start = 0;
  while (start <= text.size() && out.size() < 64) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    std::string_view trimmed = quillark::Trim(line);
    if (!trimmed.empty() && trimmed.front() == '[') {
      const std::size_t close = trimmed.find(']');
      section = std::string(quillark::Trim(
          trimmed.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
    } else if (const std::size_t eq = line.find('='); eq != std::string_view::npos) {
      out.emplace_back(section, std::string(quillark::Trim(line.substr(0, eq))));
    }
    start = end + 1;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::FILE* f = std::fopen(FileName().c_str(), "wb");
  if (f == nullptr) return 0;
  const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  if (std::fclose(f) != 0 || !written) return 0;

  quillark::INIfile ini(FileName());
  const auto keys = Keys(text);
  std::vector<std::string> before;
  for (const auto& [section, key] : keys) before.push_back(ini.ReadString(section, key, "none"));
  ini.ReadInt("Comm", "Loops", "1");

  // A value with a line end and a NUL in it must stay on its line.
  const std::string value("set\r\nby fuzz\0!", 14);
  if (!ini.WriteString("Fuzz", "Key", value)) return 0;
  if (ini.ReadString("Fuzz", "Key", "") != std::string("set  by fuzz !")) std::abort();
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const auto& [section, key] = keys[i];
    if (quillark::EqualsNoCase(section, "Fuzz") && quillark::EqualsNoCase(key, "Key")) continue;
    if (ini.ReadString(section, key, "none") != before[i]) std::abort();
  }
  return 0;
}
