// A language text file comes from anywhere: it is taken whole or refused
// with a reason, and whatever is taken must go out as frames the devices
// can read (a length field that matches, and every block ending a text).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/diag/transfer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string content(reinterpret_cast<const char*>(data), size);
  quillark::IltFile file;
  std::string why;
  const bool ok = quillark::IltFile::Parse(content, file, why);
  if (ok != why.empty()) std::abort();
  if (!ok) return 0;
  if (file.first > file.last || file.first < 0 || file.last > 255) std::abort();
  for (const auto& t : file.texts) {
    if (t.number < -1 || t.number > 255) std::abort();
    if (t.text.size() + 2 > quillark::IltFile::LINECHARS) std::abort();
    const std::string hex(2 * (t.text.size() + 2), '0');
    const std::string frame = quillark::LanguageTransfer::BlockFrame('>', hex);
    if (std::stoul(frame.substr(3, 3), nullptr, 16) != hex.size()) std::abort();
  }
  return 0;
}
