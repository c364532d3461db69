// Arbitrary input to the loop simulator: bytes from the bus master on a line,
// console words and scenario files, with time passing in between.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "loopsim.h"
#include "support/virtualeventloop.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillark;
  test::VirtualEventLoop events;
  loopsim::LoopSimulator sim(events, 2);
  sim.AddDetectors(4);
  std::size_t out = 0;
  sim.SetWriter([&out](int, std::string_view bytes) { out += bytes.size(); });
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  if (input.empty()) return 0;
  // The first byte picks where the rest goes.
  const std::string_view rest = input.substr(1);
  switch (static_cast<unsigned char>(input[0]) % 3) {
    case 0:
      sim.Receive(0, rest);
      break;
    case 1: {
      std::size_t start = 0;
      while (start <= rest.size()) {
        const std::size_t nl = rest.find('\n', start);
        sim.Command(rest.substr(start, nl == std::string_view::npos ? rest.npos : nl - start));
        if (nl == std::string_view::npos) break;
        start = nl + 1;
        sim.Receive(1, "?\x81\r");
      }
      break;
    }
    default:
      if (sim.LoadScenario(rest).empty()) sim.StartScenario();
      break;
  }
  events.Advance(60000);
  return 0;
}
