#include "core/access/stringtable.h"

#include <algorithm>

namespace quillark {

std::span<const StringEntry> StringTable() {
  return {stringtable::entries, stringtable::count};
}

const char* FindString(int id) {
  auto table = StringTable();
  auto it = std::lower_bound(table.begin(), table.end(), id,
                             [](const StringEntry& e, int key) { return e.id < key; });
  if (it == table.end() || it->id != id) return nullptr;
  return it->text;
}

}  // namespace quillark
