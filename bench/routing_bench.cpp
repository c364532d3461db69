// Frames per second through classification and delivery to a registry of ten
// receivers, as every fast-poll answer goes.
#include <benchmark/benchmark.h>

#include <cstring>

#include "core/common/ini.h"
#include "core/comms/busrouter.h"
#include "core/comms/message.h"
#include "core/platform/prompter.h"
#include "core/platform/statusdisplay.h"
#include "support/nullservices.h"
#include "support/virtualeventloop.h"

namespace {

using namespace quillark;

using test::NullPrompter;
using test::NullStatus;
using NoINI = test::MemoryINI;
class Counting : public MsgClass {
 public:
  using MsgClass::MsgClass;
  ~Counting() override { DeRegister(); }
  void MsgRx(int, const char* msg) override { count += static_cast<unsigned char>(msg[2]); }
  unsigned count = 0;
};

void Despatch(benchmark::State& state, const char* body) {
  test::VirtualEventLoop events;
  NoINI ini;
  test::NullServices null(events, ini);
  BusRouter app(null.services);
  std::vector<std::unique_ptr<Counting>> receivers;
  const std::uint32_t bits[] = {MSG_SHORT | MSG_FIRST,
                                MSG_SHORT,
                                MSG_SHORT,
                                MSG_SHORT | MSG_LONG,
                                MSG_SHORT | MSG_LONG,
                                MSG_SHORT | MSG_LONG,
                                MSG_SHORT | MSG_LONG | MSG_INVALID | MSG_TXEMPTY,
                                MSG_LONG,
                                MSG_LONG,
                                MSG_TXEMPTY};
  for (std::uint32_t b : bits) {
    receivers.push_back(std::make_unique<Counting>(&app));
    receivers.back()->Register(receivers.back().get(), b);
  }
  char frame[FRAMEBUFFER];
  int n = static_cast<int>(std::strlen(body));
  std::memcpy(frame, body, static_cast<std::size_t>(n));
  Message::CalculateAndSetXORsum(frame, n);
  for (auto _ : state) app.DespatchRxMessage(0, frame, n + 2, true);
  state.SetItemsProcessed(state.iterations());
}

void BM_DespatchFastPollAnswer(benchmark::State& state) {
  Despatch(state,
           "@\x85"
           "0e0012");
}
void BM_DespatchLongAnswer(benchmark::State& state) {
  Despatch(state, "<\x85H0a620020025004e00070e0644b7d0d0100000000000005c03a00000000000000");
}
BENCHMARK(BM_DespatchFastPollAnswer);
BENCHMARK(BM_DespatchLongAnswer);

}  // namespace
