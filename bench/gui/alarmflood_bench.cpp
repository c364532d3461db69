// The alarm viewer open during a flood: 500 changes in 10 s (a whole loop to
// comms failure, fires and pre-alarms on two other loops) on the demo site,
// offscreen. What matters is the longest time the one thread is held by one
// change (decoding, records, the window's rows and its repaint) and the time
// from the last change until the window shows it.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <filesystem>

#include "core/app/dockingapp.h"
#include "core/app/mainwindow.h"
#include "core/status/alrmdisp.h"
#include "gui/status/alarmdispwindow.h"
#include "support/apphost.h"

namespace {

using namespace quillark;
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

void BM_AlarmViewerFloodOf500Changes(benchmark::State& state) {
  double longest = 0, last = 0, total = 0;
  std::size_t shownlines = 0;
  for (auto _ : state) {
    state.PauseTiming();
    test::AppHost host;
    for (const char* f : {"quillark.ini", "demo.cfg"})
      std::filesystem::copy_file(std::filesystem::path(QUILLARK_SOURCE_DIR) / "resources/demo" / f,
                                 host.home / f);
    host.Set("Comm", "Loops", "3");
    host.app->InitMainWindow(host.home.Path());
    host.events.Advance(2000);
    AlarmDisp& disp = *host.app->GetMainWindow()->GetAlarmDisplay();
    AlarmDispWindow window(disp);
    window.resize(900, 600);
    window.show();
    QCoreApplication::processEvents();
    // The third loop was heard from before it failed.
    for (unsigned a = 1; a <= 127; ++a) disp.DecodeStatus(2, a, 0, 0, 0);
    state.ResumeTiming();

    longest = 0;
    total = 0;
    int changes = 0;
    auto change = [&](int loop, unsigned address, unsigned status) {
      const Clock::time_point start = Clock::now();
      disp.DecodeStatus(loop, address, status, 0, 0);
      host.events.Advance(20);            // the polls of the next 20 ms
      QCoreApplication::processEvents();  // and the window redrawn
      last = Ms(Clock::now() - start);
      longest = std::max(longest, last);
      total += last;
      ++changes;
    };
    for (unsigned a = 1; a <= 127; ++a) {
      change(2, a, 0x01);
      change(0, a, 0x08);
      change(1, a, 0x04);
    }
    for (unsigned a = 1; a <= 119; ++a) change(0, a, 0x18);
    shownlines = static_cast<std::size_t>(window.Count());
    if (changes != 500 || shownlines != disp.GetLines().size())
      state.SkipWithError("the window does not show every line");
    total /= changes;
  }
  state.counters["longest_block_ms"] = longest;
  state.counters["last_change_to_shown_ms"] = last;
  state.counters["mean_per_change_ms"] = total;
  state.counters["lines"] = static_cast<double>(shownlines);
}
BENCHMARK(BM_AlarmViewerFloodOf500Changes)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
