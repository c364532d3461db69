// Map pictures are named in site files that travel between sites: the header
// check must never read past what it is given, and what it lets through
// must be of a size the maps can hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/views/sitemap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  quillark::SiteMap::BitmapSize bitmap;
  if (quillark::SiteMap::CheckBitmapHeader(bytes, "plan.bmp", &bitmap).empty()) {
    using quillark::SiteMap::MAXBITMAPSIDE;
    if (bitmap.width <= 0 || bitmap.height <= 0 || bitmap.width > MAXBITMAPSIDE ||
        bitmap.height > MAXBITMAPSIDE)
      std::abort();
  }
  return 0;
}
