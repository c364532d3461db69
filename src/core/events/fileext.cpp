#include "core/events/fileext.h"

#include <algorithm>
#include <cstring>

#include "core/common/textutil.h"

namespace quillark {
namespace {

std::string_view BaseName(std::string_view filename) {
  std::size_t slash = filename.find_last_of("/\\");
  return slash == std::string_view::npos ? filename : filename.substr(slash + 1);
}

}  // namespace

std::string GetExtension(std::string_view filename) {
  std::string_view name = BaseName(filename);
  std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  return ToLower(name.substr(dot));
}

void GetExtension(std::string_view filename, char* buffer, int length) {
  if (buffer == nullptr || length <= 0) return;
  std::string ext = GetExtension(filename);
  std::size_t n = std::min(ext.size(), static_cast<std::size_t>(length - 1));
  std::memcpy(buffer, ext.data(), n);
  buffer[n] = '\0';
}

filetype GetExtensionType(std::string_view filename) {
  if (BaseName(filename).size() <= 4) return FT_UNKNOWN;
  std::string ext = GetExtension(filename);
  if (ext.size() < 4) return FT_UNKNOWN;
  static constexpr struct {
    const char* ext;
    filetype type;
  } TYPES[] = {
      {".rcw", FT_CHART},    {".rec", FT_OLDCHART}, {".cfg", FT_SITE},  {".evt", FT_EVENT},
      {".ilt", FT_LANGUAGE}, {".lgo", FT_LOGO},     {".dfs", FT_DETFN}, {".pfs", FT_PSUFN},
      {".cfs", FT_CMDFN},    {".ev2", FT_SYSEVENT},
  };
  for (const auto& t : TYPES)
    if (ext.compare(0, 4, t.ext) == 0) return t.type;
  return FT_UNKNOWN;
}

}  // namespace quillark
