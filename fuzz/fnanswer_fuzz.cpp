// A device's "G" answer comes off the wire: any frame must be taken whole or
// left alone, and what is taken must save as valid file lines.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/site/fnfile.h"
#include "core/site/functionset.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string frame(reinterpret_cast<const char*>(data), size);
  quillark::FunctionSet set;
  set.SetDevice(size > 1 ? static_cast<std::uint8_t>(frame[1]) & 0x7F : 0);
  set.SetType(quillark::PELORIN2000DETECTOR);
  const auto answer = set.TakeAnswer(0, frame);
  std::array<int, quillark::FunctionSet::READCOUNT> values{};
  const bool parsed = quillark::FunctionSet::ParseAnswer(frame, values);
  if (answer.taken && !parsed) std::abort();
  if (parsed) {
    const std::string lines = quillark::FnAnswerLines(5, values);
    if (lines.size() != 172u * 16u) std::abort();
    std::string text = quillark::FnNewFileText(quillark::DETECTOR) + lines + quillark::FN_ENDLINE;
    if (quillark::FnTextValue(text, 5, 3) != values[3]) std::abort();
  }
  return 0;
}
