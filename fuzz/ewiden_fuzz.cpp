// "E" answers arrive from the bus: widening must keep every character of the
// header and of each complete record in place, add exactly four characters
// per record, and the receiver must store and show no more than that.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/access/translator.h"
#include "core/views/eventlog.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static quillark::Translator tr(nullptr, nullptr);
  if (size < 1) return 0;
  const int loop = data[0] & 0x0F;
  std::string frame(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::size_t cut = frame.find_first_of(std::string_view("\r\0", 2));
  const std::string_view body(frame.data(), cut == std::string::npos ? frame.size() : cut);

  const std::string text = quillark::EventLog::WidenAnswer(frame, loop);
  if (body.size() < 16) {
    if (!text.empty()) std::abort();
  } else {
    const std::size_t records = body.size() >= 18 ? (body.size() - 18) / 20 : 0;
    if (text.size() != 10 + 24 * records) std::abort();
    if (text.compare(0, 10, body.substr(6, 10)) != 0) std::abort();
    static const char hex[] = "0123456789abcdef";
    for (std::size_t i = 0; i < records; ++i) {
      std::string_view in = body.substr(16 + 20 * i, 20);
      std::string_view out = std::string_view(text).substr(10 + 24 * i, 24);
      if (out.substr(0, 10) != in.substr(0, 10) || out.substr(12, 2) != in.substr(10, 2) ||
          out.substr(14, 2) != "00" || out.substr(16) != in.substr(12))
        std::abort();
      if (out[10] != hex[loop >> 4] || out[11] != hex[loop & 0xF]) std::abort();
    }
  }

  // Through the receiver, then as two answers of an all-detectors read.
  quillark::EventLog log(nullptr, 1, 0, tr);
  log.MsgRx(loop, frame.c_str());
  const bool accepted = body.size() >= 3 && (body[0] == '<' || body[0] == '/') && body[2] == 'E';
  if (accepted && log.GetLogText() != text) std::abort();
  if (!accepted && !log.GetLogText().empty()) std::abort();
  if (log.EventCount() > (text.size() < 10 ? 0 : (text.size() - 10) / 24)) std::abort();
  quillark::EventLog all(nullptr, 1, quillark::EventLog::ALLDETECTORS, tr);
  all.AppendData(text);
  all.AppendData(text);
  if (!text.empty() && all.GetLogText().size() != 2 * text.size() - 10) std::abort();
  all.DisplayEventLog(all.GetLogText());
  return 0;
}
