#include "core/access/translator.h"

#include "core/common/ini.h"

namespace quillark {

Translator::Translator(INI* i, Prompter* p) : ini(i), prompter(p) {}

const char* Translator::GetTextInLanguage(int, int) {
  Buffer[0] = '\0';
  return Buffer;
}
const char* Translator::GetTextInLanguage(int id) { return GetTextInLanguage(id, CurrentLanguage); }

}  // namespace quillark
