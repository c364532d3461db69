// Function settings files are edited by hand: whatever they hold must read
// without harm, and a value put into one must read back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/site/fnfile.h"
#include "core/site/functionset.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  quillark::FunctionSet set;
  set.SetType(size % 2 == 0 ? quillark::PELORINVANTOR : quillark::PELORIN2000DETECTOR);
  const bool loaded = set.LoadFns(text, 5);
  for (int i = 0; i < quillark::FunctionSet::COUNT; ++i) {
    const int v = set.GetFunction(i);
    if (v < 0 || v > 255) std::abort();
    set.SetModFlag(i);
  }
  std::string saved = text;
  set.SaveFns(saved);
  if (saved.size() != text.size()) std::abort();
  for (unsigned device : quillark::FnFileDevices(text)) {
    quillark::FunctionSet restore;
    quillark::FnRestoreValues(text, device, restore);
    const std::string frame = quillark::FnRestoreFrame(static_cast<int>(device & 0xFF7F), restore);
    if (frame.size() > 6 + 4 * 178) std::abort();
  }
  if (quillark::FnTextSetValue(text, 5, 9, 77)) {
    if (!loaded || quillark::FnTextValue(text, 5, 9) != 77) std::abort();
  }
  return 0;
}
