#include "core/views/chartsource.h"

#include <cstring>
#include <string_view>

#include "core/comms/bushost.h"
#include "core/platform/eventloop.h"

namespace quillark {

ChartSource::ChartSource(BusHost* bus, int d, bool l) : MsgClass(bus), device(d), live(l) {
  chart.device = d;
  if (main == nullptr) return;
  Register(this, live ? MSG_SHORT | MSG_LONG : MSG_LONG);
  // Live samples fall due on whole seconds of the program's clock.
  if (live) ticker = main->Events().Repeating(1000, [this] { Tick(); });
}

ChartSource::~ChartSource() {
  DeRegister();
}

void ChartSource::Request() {
  if (main == nullptr) return;
  const int target = chart.device == 0 ? device : chart.device;
  const int address = target & 0xFF;
  if (address < 1 || address > 127) return;
  char buf[FRAMEBUFFER];
  buf[0] = '>';
  buf[1] = static_cast<char>(address | 0x80);
  std::memcpy(buf + 2, "C000", 5);
  reading = true;
  SendBusMessage(target >> 8, buf, 6);
}

void ChartSource::MsgRx(int loop, const char* msg) {
  if (msg == nullptr || msg[0] == '\0' || msg[1] == '\0') return;
  const int from = (loop << 8) | (static_cast<unsigned char>(msg[1]) & 0x7F);
  if (msg[0] == '@') {
    // A fast-poll answer: its second data byte is the recorded level.
    if (!live || std::strlen(msg) < 6) return;
    const char* p = msg + 4;
    recorder.Level(from, static_cast<std::uint8_t>(Message::GetData(2, p)));
    return;
  }
  if (msg[0] != '<' || msg[2] != 'C' || !reading) return;
  const int first = chart.device == 0 ? device : chart.device;
  if (from < first || from >= first + chart.DetectorCount()) return;
  if (!DecodeChartAnswer(std::string_view(msg), from, chart)) return;
  reading = false;
  if (live) recorder.ChartRead(main->Events().Now());
  if (observer) observer();
}

void ChartSource::Tick() {
  if (recorder.Tick(main->Events().Now(), LocalChartTime) && observer) observer();
}

}  // namespace quillark
