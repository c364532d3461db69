// Arbitrary bytes as frames shown by the bus viewer, fast polls included:
// every frame is cut at its CR or NUL, labelled, check-summed and split into
// lines, and every line into its columns, without reading outside the frame.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/status/busdisp.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillark;
  BusDisp disp(nullptr);
  disp.FastPollChange(true);
  // The first byte picks the loop; the rest is cut into frames at CR as a port
  // would, each handed over NUL-terminated in a buffer of its own size.
  const int loop = size > 0 ? data[0] % 20 - 2 : 0;
  std::size_t start = size > 0 ? 1 : 0;
  for (std::size_t i = start; i <= size; ++i) {
    if (i == size || data[i] == '\r') {
      std::string frame(reinterpret_cast<const char*>(data + start), i - start);
      if (i < size) frame += '\r';
      disp.AddItem(loop, frame.c_str());
      start = i + 1;
    }
  }
  std::size_t total = 0;
  for (std::size_t n = 0; n < disp.DiagCount(); ++n)
    for (auto column : BusDisp::SplitLine(disp.Line(n))) total += column.size();
  if (disp.GetBusErrorRate() > 100) __builtin_trap();
  return total == static_cast<std::size_t>(-1);
}
