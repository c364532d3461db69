// Arbitrary text as a kept window place from the settings file: it parses
// to a window of some size or to nothing, and the placement keeps it on the
// screen it is given.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/common/windowplace.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillark;
  const auto r = ParseWindowRect(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!r) return 0;
  if (r->w <= 0 || r->h <= 0) __builtin_trap();
  const WindowRect screen{0, 0, 800, 600};
  const WindowRect placed = PlaceOnScreens(*r, {screen});
  if (placed.w <= 0 || placed.h <= 0) __builtin_trap();
  if (ParseWindowRect(FormatWindowRect(*r)) != r) __builtin_trap();
  return 0;
}
