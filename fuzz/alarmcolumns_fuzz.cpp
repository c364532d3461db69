// Arbitrary text as an alarm line, with a date and time in front half the
// time: the columns are cut without reading outside the line, and nothing is
// lost but the spaces between them.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/status/alrmdisp.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillark;
  std::string line(reinterpret_cast<const char*>(data), size);
  if (size > 0 && (data[0] & 1) != 0) line = "01/02/2026  03:04:05  " + line.substr(1);
  const AlarmColumns c = AlarmColumns::Split(line);
  const std::size_t total =
      c.date.size() + c.time.size() + c.device.size() + c.location.size() + c.state.size();
  if (total > line.size()) __builtin_trap();
  return 0;
}
