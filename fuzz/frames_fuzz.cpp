// Arbitrary bytes from a loop: through the port's ring and framing, the
// classification of every frame, and delivery to receivers of every class.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>

#include "core/common/ini.h"
#include "core/comms/busrouter.h"
#include "core/comms/ioport.h"
#include "core/comms/message.h"
#include "core/platform/prompter.h"
#include "core/platform/statusdisplay.h"
#include "support/nullservices.h"
#include "support/virtualeventloop.h"

namespace {

using namespace quillark;

class BytesPort : public IOPort {
 public:
  using IOPort::IOPort;
  bool IsTxEmpty() override { return true; }
  int NotifyRead() override {
    std::size_t n = std::min<std::size_t>(size, INBUFF);
    std::memcpy(inbuff, data, n);
    data += n;
    size -= n;
    return static_cast<int>(n);
  }
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
};

// Reads every field a receiver might, so out-of-bounds reads would show.
class Reader : public MsgClass {
 public:
  using MsgClass::MsgClass;
  ~Reader() override { DeRegister(); }
  void MsgRx(int, const char* msg) override {
    std::size_t n = std::strlen(msg);
    sum += Message::GetMessageFlags(msg, static_cast<int>(n));
    if (n >= 8) {
      const char* p = msg + 2;
      sum += static_cast<unsigned>(Message::GetData(6, p));
    }
  }
  unsigned sum = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static quillark::test::VirtualEventLoop events;
  // The first input byte picks the ring size, odd ones included.
  test::MemoryINI ini;
  if (size > 0) {
    static const char* rings[] = {"5000", "16", "20", "4200", "0", "-1", "x"};
    ini.WriteString("Comm", "RxBuff", rings[data[0] % 7]);
    ++data;
    --size;
  }
  test::NullServices null(events, ini);
  BusRouter app(null.services);
  Reader all(&app), shorts(&app);
  all.Register(&all, MSG_SHORT | MSG_LONG | MSG_INVALID | MSG_TXEMPTY);
  shorts.Register(&shorts, MSG_SHORT | MSG_FIRST);
  BytesPort port(&app, 0, ini);
  port.data = data;
  port.size = size;
  while (port.size > 0) port.Notify(0, 0x2 | 0x4);
  Message::GetMessageFlags(reinterpret_cast<const char*>(data),
                           static_cast<int>(std::min<std::size_t>(size, 4104)));
  return 0;
}
