#pragma once

#include <string>
#include <string_view>

namespace quillark {

// What a file is, told by its extension. The values are stored nowhere but
// are kept stable.
enum filetype : int {
  FT_CHART = 0,     // .rcw
  FT_OLDCHART = 1,  // .rec
  FT_SITE = 2,      // .cfg
  FT_EVENT = 3,     // .evt
  FT_LANGUAGE = 4,  // .ilt
  FT_LOGO = 5,      // .lgo
  FT_DETFN = 6,     // .dfs
  FT_PSUFN = 7,     // .pfs
  FT_CMDFN = 8,     // .cfs
  FT_SYSEVENT = 9,  // .ev2
  FT_UNKNOWN = 10,
};

// The lower-cased extension of a file name, from its last "." on (".cfg");
// empty when the name has none. Only the last component of a path counts, so
// a dot in a folder name is not taken for an extension.
std::string GetExtension(std::string_view filename);
// The same into a caller's buffer of `length` bytes, always NUL-terminated
// (nothing is written when length is not positive).
void GetExtension(std::string_view filename, char* buffer, int length);

// The type of a file by the first four characters of its extension, so
// ".CFG" is a site file and ".ev" is unknown. A name of four characters or
// fewer has no room for a name and an extension and is unknown.
filetype GetExtensionType(std::string_view filename);

}  // namespace quillark
