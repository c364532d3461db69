// Site files come from anywhere: they must load without harm in either
// format, and whatever loads must save and load again unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "core/site/config.h"

namespace {

void CheckRoundTrip(const quillark::TSiteConfig& site) {
  std::ostringstream out;
  if (!site.Save(out)) std::abort();
  std::istringstream in(out.str());
  quillark::TSiteConfig back;
  if (!back.Load(in)) std::abort();
  if (back.Count() != site.Count() || back.GetDeviceIconSize() != site.GetDeviceIconSize())
    std::abort();
  auto a = site.begin();
  for (const quillark::DeviceConfig& d : back) {
    if (!(d == *a++)) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  {
    std::istringstream in(bytes);
    quillark::TSiteConfig site;
    site.Load(in);
    CheckRoundTrip(site);
  }
  {
    std::istringstream in(bytes);
    quillark::TSiteConfig site;
    site.OldLoad(in);
    CheckRoundTrip(site);
  }
  return 0;
}
