#include "core/common/ini.h"

#include <cstring>

#include "core/common/textutil.h"

namespace quillark {

int INI::ReadString(const std::string& section, const std::string& key, const std::string& def,
                    char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  std::string value = ReadString(section, key, def);
  std::size_t n = std::min(value.size(), static_cast<std::size_t>(size - 1));
  std::memcpy(buffer, value.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

long INI::ReadInt(const std::string& section, const std::string& key, const std::string& def) {
  char text[64];
  ReadString(section, key, def, text, sizeof text);
  return AtoL(text);
}

bool INI::WriteInt(const std::string& section, const std::string& key, int value) {
  return WriteString(section, key, Format("%d", value));
}

}  // namespace quillark
