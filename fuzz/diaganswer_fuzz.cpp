// The "Q" and "G" answers of the diagnostics come off the wire: any frame is
// taken or left alone, and what is taken reads back as the device it came
// from, with fields of the fixed widths the list and the read window show.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/access/translator.h"
#include "core/diag/devicetests.h"
#include "core/diag/diag.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static quillark::Translator translator(nullptr, nullptr);
  const std::string frame(reinterpret_cast<const char*>(data), size);
  quillark::DiagIdentity id;
  if (quillark::DiagReadIdentity(1, frame, "<+", id)) {
    if (id.device < 256 || id.device > 511 || id.text.size() != 16) std::abort();
    if (quillark::DiagParseDevice(quillark::DiagDeviceName(id.device)) != id.device) std::abort();
    if (quillark::DiagStatusText(translator, id.status).size() != 16) std::abort();
    for (char c : id.text)
      if (static_cast<unsigned char>(c) < 0x20) std::abort();
  }
  quillark::ContRead::Reading reading;
  if (quillark::ContRead::ParseReading(frame, reading)) {
    for (int i = 0; i < 5; ++i)
      if (reading.Field(i).size() > 3) std::abort();
  }
  return 0;
}
