// The keep-alive file of a program home may be cut short by a power cut or
// edited by hand: reading it must be harmless, a record read back must be
// written the same way, and the start-up note built from it must be sane.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/platform/keepalive.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto record = quillark::ParseSupervisionRecord(text);
  if (!record) return 0;
  const auto again = quillark::ParseSupervisionRecord(quillark::FormatSupervisionRecord(*record));
  if (!again || again->running != record->running || again->when != record->when) std::abort();
  for (const std::time_t now :
       {std::time_t{0}, record->when, record->when + 59, std::time_t{1} << 40}) {
    const std::string note = quillark::InterruptionNote(record, now);
    if (note.empty() != !record->running) std::abort();
  }
  return 0;
}
