#pragma once

#include <cstddef>
#include <span>

namespace quillark {

// One text of the program's string table.
struct StringEntry {
  int id;
  const char* text;
};

// The table is generated at build time from resources/strings/strings.txt and
// is sorted by id, which the build checks.
namespace stringtable {
extern const StringEntry entries[];
extern const std::size_t count;
}  // namespace stringtable

std::span<const StringEntry> StringTable();

// The text of `id`, or null when the table has no such text.
const char* FindString(int id);

}  // namespace quillark
