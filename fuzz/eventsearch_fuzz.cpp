// Arbitrary text typed into the event log's search box or given to the
// console's `search`: it is read or refused with a reason, never read
// outside the text, and what is read matches records without fault.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/events/filter.h"
#include "core/site/config.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillark;
  static const TSiteConfig site = [] {
    TSiteConfig s;
    s.InsertDevice(DeviceConfig(3, ZONE));
    DeviceConfig d(0x105, DETECTOR);
    d.SetZone(3);
    s.InsertDevice(d);
    return s;
  }();
  const std::string text(reinterpret_cast<const char*>(data), size);
  EventSearch search;
  std::string error;
  const bool read = ParseEventSearch(text, (size & 1) ? &site : nullptr, search, error);
  if (!read && error.empty()) __builtin_trap();
  if (!read) return 0;
  if (search.device > 0xFFFF || search.text.size() > text.size()) __builtin_trap();
  search.Matches(0x105, 112, 1, 12, 2026);
  search.MatchesText(text);
  return 0;
}
