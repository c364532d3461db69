// The bus viewer's cost per frame while it is open: every poll and answer of
// sixteen busy loops goes through it. Measured with fast polls shown (the
// heaviest case: every frame makes a line), hidden (the usual case: polls and
// answers are looked at and dropped), and for long frames that continue over
// several lines. The memory a line takes is reported alongside.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "core/status/busdisp.h"
#include "support/frames.h"

namespace {

using namespace quillark;

// Lines are cleared now and then so that a long run does not fill the machine;
// the clearing is part of what is measured, as it is rare.
constexpr std::size_t KEEP = 1u << 20;

// A poll and its answer for each detector of sixteen loops.
std::vector<std::pair<int, std::string>> PollTraffic() {
  std::vector<std::pair<int, std::string>> frames;
  for (int loop = 0; loop < 16; ++loop)
    for (int address = 1; address <= 127; ++address) {
      frames.emplace_back(loop, std::string("?") + static_cast<char>(address | 0x80) + "\r");
      frames.emplace_back(loop, test::FastPollAnswer(address, 0, 0, address & 0x1F) + "\r");
    }
  return frames;
}

void Run(benchmark::State& state, bool fastpoll) {
  const auto frames = PollTraffic();
  BusDisp disp(nullptr);
  disp.FastPollChange(fastpoll);
  std::size_t i = 0;
  std::size_t memory = 0, lines = 0;
  for (auto _ : state) {
    const auto& f = frames[i];
    disp.AddItem(f.first, f.second.c_str());
    if (++i == frames.size()) i = 0;
    if (disp.DiagCount() >= KEEP) {
      memory = disp.MemoryUse();
      lines = disp.DiagCount();
      disp.Clear();
    }
  }
  if (lines == 0) {
    memory = disp.MemoryUse();
    lines = disp.DiagCount();
  }
  state.SetItemsProcessed(state.iterations());
  if (lines != 0)
    state.counters["bytes/line"] = static_cast<double>(memory) / static_cast<double>(lines);
}

void BM_BusDispFastPollsShown(benchmark::State& state) {
  Run(state, true);
}
BENCHMARK(BM_BusDispFastPollsShown);

void BM_BusDispFastPollsHidden(benchmark::State& state) {
  Run(state, false);
}
BENCHMARK(BM_BusDispFastPollsHidden);

// A function read answer of 100 characters after the address: three lines.
void BM_BusDispLongFrame(benchmark::State& state) {
  std::string body = std::string("<") + static_cast<char>(0x85) + "G";
  for (int n = 0; n < 97; ++n) body += "0123456789abcdef"[n % 16];
  const std::string frame = test::WithSum(body) + "\r";
  BusDisp disp(nullptr);
  for (auto _ : state) {
    disp.AddItem(3, frame.c_str());
    if (disp.DiagCount() >= KEEP) disp.Clear();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BusDispLongFrame);

}  // namespace
