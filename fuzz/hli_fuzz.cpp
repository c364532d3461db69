// Arbitrary bytes from an HLI unit: the receive state machine, the check
// value, the acknowledgements and the bus answers made up from good frames;
// the same bytes also go through the translation of bus frames.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/comms/busrouter.h"
#include "core/comms/hliport.h"
#include "support/fakeserialline.h"
#include "support/nullservices.h"
#include "support/virtualeventloop.h"

namespace {

using namespace quillark;

// Reads every character of what it is given, so reads past the end would show.
class Reader : public MsgClass {
 public:
  using MsgClass::MsgClass;
  ~Reader() override { DeRegister(); }
  void MsgRx(int, const char* msg) override {
    const std::size_t n = std::strlen(msg);
    sum += Message::GetMessageFlags(msg, static_cast<int>(n));
  }
  unsigned sum = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static test::VirtualEventLoop events;
  if (size == 0) return 0;
  // The first byte picks how the bytes are split into reads.
  const std::size_t chunk = 1 + data[0] % 64;
  ++data;
  --size;

  test::MemoryINI ini;
  ini.WriteString("Comm", "Loop1Port", "1,5");
  test::NullServices null(events, ini);
  BusRouter app(null.services);
  auto line = std::make_shared<test::FakeSerialLine::State>();
  null.services.seriallines = [line] { return std::make_unique<test::FakeSerialLine>(line); };
  Reader reader(&app);
  reader.Register(&reader, MSG_SHORT | MSG_LONG | MSG_INVALID);
  {
    HLIPort port(&app, nullptr, 0, ini);
    for (std::size_t i = 0; i < size; i += chunk) {
      const std::size_t n = std::min(chunk, size - i);
      line->Arrive(std::string(reinterpret_cast<const char*>(data + i), n));
      port.Notify(0, 0x2);
      events.RunPending();
    }
    port.Write(reinterpret_cast<const char*>(data),
               static_cast<int>(std::min<std::size_t>(size, 4108)));
    events.RunPending();
  }
  events.RunPending();
  return 0;
}
