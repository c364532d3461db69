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
// the translation files beside it (text N of language L under N + L); it is
// sorted by id, which the build checks.
namespace stringtable {
extern const StringEntry entries[];
extern const std::size_t count;
// The English numbers a translation should cover: all but the texts that are
// always read in English.
extern const int translatable[];
extern const std::size_t translatableCount;
}  // namespace stringtable

std::span<const StringEntry> StringTable();
std::span<const int> TranslatableTexts();

// How many translatable English texts language `language` lacks (they show
// in English).
std::size_t MissingTranslations(int language);

// The text of `id`, or null when the table has no such text.
const char* FindString(int id);

}  // namespace quillark
