// The alarm display's share of a fast-poll answer that repeats what it has
// recorded: the usual case, at polling speed on every loop. A full site has
// 16 loops of 127 configured detectors with sounds; the second argument is
// how many of them are in alarm. The cost must follow the devices in alarm
// or fault, never the size of the site.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/common/ini.h"
#include "core/comms/busrouter.h"
#include "core/comms/message.h"
#include "core/events/eventinfo.h"
#include "core/platform/prompter.h"
#include "core/platform/soundplayer.h"
#include "core/platform/statusdisplay.h"
#include "core/site/config.h"
#include "core/status/alrmdisp.h"
#include "support/frames.h"
#include "support/nullservices.h"
#include "support/virtualeventloop.h"

namespace {

using namespace quillark;

using test::NullPrompter;
using test::NullStatus;
using NoINI = test::MemoryINI;
class CountingSound : public SoundPlayer {
 public:
  void Play(const std::filesystem::path&, bool) override { ++plays; }
  void Stop() override {}
  int plays = 0;
};

struct Answer {
  int loop;
  int length;
  char frame[16];
};

Answer MakeAnswer(int loop, int address, unsigned status) {
  Answer a{loop, 10, {}};
  std::memcpy(a.frame, test::FastPollAnswer(address, status, 0, 0).data(), 10);
  return a;
}

// Every detector of `loops` loops configured with sounds, heard once; every
// `spacing`-th one is in fire 2 (or in fault, alternately) until `inalarm`
// of them are.
struct Site {
  Site(int loops, int inalarm)
      : null(events, ini), app(null.services), disp(app, sound, info, nullptr, &site, loops, 3) {
    const int detectors = loops * 127;
    const int spacing = inalarm > 0 ? std::max(1, detectors / inalarm) : detectors + 1;
    int n = 0;
    for (int loop = 0; loop < loops; ++loop) {
      for (int address = 1; address <= 127; ++address, ++n) {
        DeviceConfig d(static_cast<std::uint32_t>(loop * 256 + address), DETECTOR, PELORINVANTOR);
        d.SetEventSound(0x10, "fire2.wav");
        d.SetEventSound(0x08, "fire1.wav");
        d.SetEventSound(0x01, "fault.wav");
        site.InsertDevice(d);
        const bool active = n % spacing == 0 && n / spacing < inalarm;
        answers.push_back(MakeAnswer(loop, address, active ? (n / spacing % 2 ? 0x01 : 0x10) : 0));
      }
    }
    for (const Answer& a : answers) app.DespatchRxMessage(a.loop, a.frame, a.length, true);
  }

  test::VirtualEventLoop events;
  NoINI ini;
  test::NullServices null;
  BusRouter app;
  CountingSound sound;
  EventInfo info;
  TSiteConfig site;
  AlarmDisp disp;
  std::vector<Answer> answers;
};

// The display alone: frame decode, the unchanged test and the sound repetition.
void BM_AlarmDispUnchanged(benchmark::State& state) {
  Site site(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  std::size_t i = 0;
  for (auto _ : state) {
    const Answer& a = site.answers[i];
    site.disp.MsgRx(a.loop, a.frame);
    if (++i == site.answers.size()) i = 0;
  }
  benchmark::DoNotOptimize(site.sound.plays);
  state.counters["lines"] = static_cast<double>(site.disp.GetLines().size());
  state.SetItemsProcessed(state.iterations());
}

// Every answer finds a repetition due (the clock moves on by the repeat
// interval each time): the choice of the most important sound is made.
void BM_AlarmDispRepetitionDue(benchmark::State& state) {
  Site site(16, static_cast<int>(state.range(0)));
  std::size_t i = 0;
  for (auto _ : state) {
    site.events.Advance(3000);
    const Answer& a = site.answers[i];
    site.disp.MsgRx(a.loop, a.frame);
    if (++i == site.answers.size()) i = 0;
  }
  benchmark::DoNotOptimize(site.sound.plays);
  state.SetItemsProcessed(state.iterations());
}

// The same answer through the application's delivery, as a port hands it on.
void BM_AlarmDispUnchangedDelivered(benchmark::State& state) {
  Site site(16, static_cast<int>(state.range(0)));
  std::size_t i = 0;
  for (auto _ : state) {
    const Answer& a = site.answers[i];
    site.app.DespatchRxMessage(a.loop, a.frame, a.length, true);
    if (++i == site.answers.size()) i = 0;
  }
  benchmark::DoNotOptimize(site.sound.plays);
  state.SetItemsProcessed(state.iterations());
}

// For comparison: the walk over every device number of the site that a
// repetition chosen by scanning the whole record would cost on each answer.
void BM_WholeSiteScanForComparison(benchmark::State& state) {
  Site site(16, static_cast<int>(state.range(0)));
  for (auto _ : state) {
    const std::string* sound = nullptr;
    for (int device = 0; device < 16 * AlarmDisp::SLOTS; ++device) {
      const unsigned s = site.disp.GetDeviceStatus(device) & 0x7F;
      if (s == 0 || site.disp.GetDeviceStatus(device) > 0xFF) continue;
      const DeviceConfig* d = site.site.GetDevice(static_cast<std::uint32_t>(device), DETECTOR);
      if (d != nullptr && (s & 0x10)) sound = &d->GetEventSound(0x10);
    }
    benchmark::DoNotOptimize(sound);
  }
  state.SetItemsProcessed(state.iterations());
}

// A flood: loop 3 fails device by device while loops 1 and 2 report fire 1
// and pre-alarm on every detector, then fire 2 on loop 1: 500 changes, each
// a new or replaced line with its record and event, with acknowledgement on
// or off. Reported: the whole flood, and the longest single change (what
// holds up the one thread longest).
void BM_AlarmFlood500Changes(benchmark::State& state) {
  Site site(16, 0);
  site.disp.SetAcknowledgeModel(state.range(0) != 0);
  std::vector<Answer> flood, normal;
  for (int a = 1; a <= 127; ++a) {
    flood.push_back(MakeAnswer(2, a, 0x01));
    flood.push_back(MakeAnswer(0, a, 0x08));
    flood.push_back(MakeAnswer(1, a, 0x04));
  }
  for (int a = 1; a <= 119; ++a) flood.push_back(MakeAnswer(0, a, 0x18));
  for (int loop = 0; loop < 3; ++loop)
    for (int a = 1; a <= 127; ++a) normal.push_back(MakeAnswer(loop, a, 0));
  double longest = 0;
  for (auto _ : state) {
    state.PauseTiming();
    site.disp.Clear();
    for (const Answer& a : normal) site.disp.MsgRx(a.loop, a.frame);
    state.ResumeTiming();
    for (const Answer& a : flood) {
      const auto start = std::chrono::steady_clock::now();
      site.disp.MsgRx(a.loop, a.frame);
      const std::chrono::duration<double, std::micro> took =
          std::chrono::steady_clock::now() - start;
      longest = std::max(longest, took.count());
    }
  }
  state.counters["lines"] = static_cast<double>(site.disp.GetLines().size());
  state.counters["longest_change_us"] = longest;
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(flood.size()));
}

// Acknowledging every line after the flood (381 lines), one record each.
void BM_AcknowledgeAllAfterFlood(benchmark::State& state) {
  Site site(16, 0);
  site.disp.SetAcknowledgeModel(true);
  std::vector<Answer> flood;
  for (int loop = 0; loop < 3; ++loop)
    for (int a = 1; a <= 127; ++a) flood.push_back(MakeAnswer(loop, a, loop == 2 ? 0x01 : 0x08));
  for (auto _ : state) {
    state.PauseTiming();
    site.disp.Clear();
    for (const Answer& a : flood) site.disp.MsgRx(a.loop, a.frame);
    state.ResumeTiming();
    benchmark::DoNotOptimize(site.disp.AcknowledgeAll("Operator"));
  }
}

BENCHMARK(BM_AlarmFlood500Changes)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AcknowledgeAllAfterFlood)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AlarmDispUnchanged)
    ->Args({1, 0})
    ->Args({16, 0})
    ->Args({1, 16})
    ->Args({16, 16})
    ->Args({16, 128})
    ->Args({16, 2032});
BENCHMARK(BM_AlarmDispRepetitionDue)->Arg(0)->Arg(16)->Arg(128)->Arg(2032);
BENCHMARK(BM_AlarmDispUnchangedDelivered)->Arg(0)->Arg(16)->Arg(128);
BENCHMARK(BM_WholeSiteScanForComparison)->Arg(16);

}  // namespace
