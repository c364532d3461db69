// A logo file comes from anywhere: a bitmap is taken only when its pixels
// are all there at a depth the devices take, and every block frame of what
// is taken carries a length that matches and at most 256 bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/diag/transfer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string content(reinterpret_cast<const char*>(data), size);
  quillark::LgoFile file;
  std::string why;
  const bool ok = quillark::LgoFile::Parse(content, file, why);
  if (ok != why.empty()) std::abort();
  if (!ok) return 0;
  if (file.pixels.size() != quillark::LgoFile::DataSize(file.width, file.height, file.bits))
    std::abort();
  const int blocks = static_cast<int>(file.pixels.size() / quillark::LogoTransfer::BLOCKBYTES);
  for (int b = 0; b <= blocks; ++b) {
    const std::string frame = quillark::LogoTransfer::BlockFrame(b, blocks, file);
    const std::size_t hex = std::stoul(frame.substr(3, 3), nullptr, 16);
    if (hex != frame.size() - 6 || hex > 18 + 2 * quillark::LogoTransfer::BLOCKBYTES) std::abort();
  }
  return 0;
}
