// Arbitrary bytes typed at the console, in arbitrary pieces: every line handed
// on is within the limit and holds no line feed, nothing unfinished grows
// past the limit, and a discarded line never yields text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/app/consolelinereader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using quillark::ConsoleLineReader;
  ConsoleLineReader reader;
  std::size_t at = 0;
  while (at < size) {
    // The first byte of each piece says how long it is; long pieces reach the limit.
    std::size_t len = static_cast<std::size_t>(data[at]) * 613 + 1;
    ++at;
    if (len > size - at) len = size - at;
    reader.Append(std::string_view(reinterpret_cast<const char*>(data + at), len));
    at += len;
    if (reader.Held() > ConsoleLineReader::MAXLINE) std::abort();
    while (auto line = reader.Next()) {
      if (line->text.size() > ConsoleLineReader::MAXLINE) std::abort();
      if (line->text.find('\n') != std::string::npos) std::abort();
      if (line->overlong && !line->text.empty()) std::abort();
    }
  }
  return 0;
}
