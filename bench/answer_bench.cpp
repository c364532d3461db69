// The cost of one fast-poll answer from arrival to stored status: classification,
// delivery through the registry, the status decoder and the bus statistics,
// with every detector of a full site (16 loops of 127) heard from. The
// argument is the number of loops, so that a small and a full site can be
// compared: the cost per answer must not grow with the site.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/common/ini.h"
#include "core/comms/busrouter.h"
#include "core/comms/message.h"
#include "core/platform/prompter.h"
#include "core/platform/statusdisplay.h"
#include "core/status/busstatusmonitor.h"
#include "core/status/devicestatusmonitor.h"
#include "support/frames.h"
#include "support/nullservices.h"
#include "support/virtualeventloop.h"

namespace {

using namespace quillark;

using test::NullPrompter;
using test::NullStatus;
using NoINI = test::MemoryINI;
class CountingObserver : public DeviceStatusListObserver {
 public:
  void Update(int address) override { total += static_cast<unsigned>(address); }
  unsigned total = 0;
};

struct Answer {
  int loop;
  int length;
  char frame[16];
};

// One answer from every detector of `loops` loops; `level` is the level byte.
std::vector<Answer> Answers(int loops, int level) {
  std::vector<Answer> answers;
  for (int loop = 0; loop < loops; ++loop) {
    for (int address = 1; address <= 127; ++address) {
      Answer a{loop, 10, {}};
      std::memcpy(a.frame, test::FastPollAnswer(address, 0, 0, static_cast<unsigned>(level)).data(),
                  10);
      answers.push_back(a);
    }
  }
  return answers;
}

// The application with both monitors registered, every detector heard once.
struct Site {
  explicit Site(int loops)
      : null(events, ini), app(null.services), decoder(&app, list), statistics(&app) {
    list.Attach(&observer);
    for (const Answer& a : Answers(loops, 0))
      app.DespatchRxMessage(a.loop, a.frame, a.length, true);
  }

  test::VirtualEventLoop events;
  NoINI ini;
  test::NullServices null;
  BusRouter app;
  DeviceStatusList list;
  CountingObserver observer;
  DeviceStatusMonitor decoder;
  BusStatusMonitor statistics;
};

// The usual case: the answer repeats what is stored, nothing is notified.
void BM_FastPollAnswerUnchanged(benchmark::State& state) {
  const int loops = static_cast<int>(state.range(0));
  Site site(loops);
  const std::vector<Answer> answers = Answers(loops, 0);
  std::size_t i = 0;
  for (auto _ : state) {
    const Answer& a = answers[i];
    site.app.DespatchRxMessage(a.loop, a.frame, a.length, true);
    if (++i == answers.size()) i = 0;
  }
  benchmark::DoNotOptimize(site.observer.total);
  state.SetItemsProcessed(state.iterations());
}

// Every answer changes the bargraph level: stored and notified each time.
void BM_FastPollAnswerChanged(benchmark::State& state) {
  const int loops = static_cast<int>(state.range(0));
  Site site(loops);
  const std::vector<Answer> answers[2] = {Answers(loops, 1), Answers(loops, 2)};
  std::size_t i = 0;
  int pass = 0;
  for (auto _ : state) {
    const Answer& a = answers[pass][i];
    site.app.DespatchRxMessage(a.loop, a.frame, a.length, true);
    if (++i == answers[pass].size()) {
      i = 0;
      pass ^= 1;
    }
  }
  benchmark::DoNotOptimize(site.observer.total);
  state.SetItemsProcessed(state.iterations());
}

// One level poll (at most every 8 s): a frame for every loop and the walk to
// the next heard address. The sparse case has only address 127 of the last
// loop heard, so the walk goes all the way round every time.
void BM_LevelPoll(benchmark::State& state) {
  Site site(16);
  for (auto _ : state) site.decoder.SendNextAlarmLevelPoll();
  benchmark::DoNotOptimize(site.decoder.GetNextAddress());
  state.SetItemsProcessed(state.iterations());
}
void BM_LevelPollSparse(benchmark::State& state) {
  Site site(0);
  site.list.SetState(15 * 256 + 127, DeviceStatus(0, 0, 0, 0, 0, 0, 0, 0));
  for (auto _ : state) site.decoder.SendNextAlarmLevelPoll();
  benchmark::DoNotOptimize(site.decoder.GetNextAddress());
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_FastPollAnswerUnchanged)->Arg(1)->Arg(16);
BENCHMARK(BM_FastPollAnswerChanged)->Arg(1)->Arg(16);
BENCHMARK(BM_LevelPoll);
BENCHMARK(BM_LevelPollSparse);

}  // namespace
