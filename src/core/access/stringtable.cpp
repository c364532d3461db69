#include "core/access/stringtable.h"

#include <algorithm>

namespace quillark {

std::span<const StringEntry> StringTable() {
  return {stringtable::entries, stringtable::count};
}

std::span<const int> TranslatableTexts() {
  return {stringtable::translatable, stringtable::translatableCount};
}

std::size_t MissingTranslations(int language) {
  std::size_t missing = 0;
  for (int id : TranslatableTexts())
    if (FindString(id + language) == nullptr) ++missing;
  return missing;
}

const char* FindString(int id) {
  auto table = StringTable();
  auto it = std::lower_bound(table.begin(), table.end(), id,
                             [](const StringEntry& e, int key) { return e.id < key; });
  if (it == table.end() || it->id != id) return nullptr;
  return it->text;
}

}  // namespace quillark
