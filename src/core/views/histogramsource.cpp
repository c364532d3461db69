#include "core/views/histogramsource.h"

#include <cstring>
#include <string_view>

#include "core/access/translator.h"
#include "core/comms/bushost.h"
#include "core/platform/eventloop.h"
#include "core/platform/prompter.h"
#include "core/platform/services.h"

namespace quillark {

HistogramSource::HistogramSource(BusHost* bus, int d) : MsgClass(bus), device(d) {
  if (main != nullptr) Register(this, MSG_LONG);
}

HistogramSource::~HistogramSource() {
  DeRegister();
}

void HistogramSource::Request() {
  const int address = device & 0xFF;
  // Only detectors have histograms; power supplies and the command module
  // have no address a request could reach.
  if (main == nullptr || address < 1 || address > 127) return;
  char buf[FRAMEBUFFER];
  buf[0] = '>';
  buf[1] = static_cast<char>(address | 0x80);
  std::memcpy(buf + 2, "H000", 5);
  SendBusMessage(device >> 8, buf, 6);
}

void HistogramSource::SetDevice(int d) {
  device = d;
  answer.detector = HistogramAnswer::NOANSWER;
  if (observer) observer();
  Request();
}

std::int64_t HistogramSource::Now() {
  if (main == nullptr) return 0;
  const std::uint32_t tick = main->Events().TickCount();
  if (ticking) ticks += static_cast<std::uint32_t>(tick - lasttick);
  lasttick = tick;
  ticking = true;
  return ticks;
}

void HistogramSource::MsgRx(int loop, const char* msg) {
  if (msg == nullptr || msg[0] != '<' || msg[1] == '\0' || msg[2] != 'H') return;
  if (loop != (device >> 8) || (static_cast<unsigned char>(msg[1]) & 0x7F) != (device & 0xFF))
    return;
  HistogramAnswer decoded;
  switch (DecodeHistogram(std::string_view(msg), decoded)) {
    case HistogramDecode::OK:
      answer = decoded;
      timer.Answer(answer, Now());
      if (observer) observer();
      return;
    case HistogramDecode::TOOMANYCLASSES: {
      Services& services = main->GetServices();
      std::string text = services.translator.Text(55200);
      services.prompter.Show("error", text.empty() ? "Too many classes" : text, PromptIcon::STOP);
      return;
    }
    case HistogramDecode::NOTHISTOGRAM:
    case HistogramDecode::SHORT:
      return;
  }
}

}  // namespace quillark
