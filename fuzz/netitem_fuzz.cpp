// Arbitrary bytes from a remote monitoring client, in arbitrary segments:
// item assembly must hand on only whole items that end in CR, never longer
// than the ring, and must keep its positions inside the ring.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/comms/netport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using quillark::NetItemRing;
  static NetItemRing ring;  // kept across inputs, as a connection keeps it
  auto check = [](const char* item, int length) {
    if (length < 1 || length > NetItemRing::POSITIONS - 1 || item[length - 1] != '\r') std::abort();
    for (int i = 0; i + 1 < length; ++i)
      if (item[i] == '\r') std::abort();
  };
  std::size_t at = 0;
  while (at < size) {
    // The first byte of each segment says how long it is.
    std::size_t len = static_cast<std::size_t>(data[at]) * 37 + 1;
    ++at;
    if (len > size - at) len = size - at;
    ring.AddToBuffer(reinterpret_cast<const char*>(data + at), static_cast<int>(len), check);
    at += len;
    if (ring.Start() < 0 || ring.Start() >= NetItemRing::POSITIONS || ring.End() < 0 ||
        ring.End() >= NetItemRing::POSITIONS)
      std::abort();
  }
  return 0;
}
