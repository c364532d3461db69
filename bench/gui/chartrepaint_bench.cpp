// A full chart of 14,000 samples drawn with the chart window's own drawing,
// offscreen: the whole strip (one pixel per sample, as the window scrolls
// over it), and the strip of one to four interleaved detectors.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <filesystem>
#include <memory>

#include "core/views/chart.h"
#include "gui/views/chartwindow.h"
#include "support/apphost.h"

namespace quillark {
namespace {

struct ChartSetup {
  ChartSetup() {
    for (const char* f : {"quillark.ini", "demo.cfg"})
      std::filesystem::copy_file(std::filesystem::path(QUILLARK_SOURCE_DIR) / "resources/demo" / f,
                                 host.home / f);
    host.app->InitMainWindow(host.home.Path());
  }
  // A chart file of `detectors` interleaved detectors filling all 14,000
  // samples with a wandering level and a few alarms.
  std::string File(int detectors) {
    Chart c;
    c.detectors = static_cast<std::uint8_t>(detectors);
    c.samplingperiod = 60;
    c.timedate = {9, 12, 26, 10, 0, 0};
    c.device = 0x005;
    for (std::size_t i = 0; i < Chart::CAPACITY; ++i)
      c.samples.push_back({static_cast<std::uint8_t>(i % 997 == 0 ? 150 : 255),
                           static_cast<std::uint8_t>((i * 37 + i / 50) % 200)});
    const std::string name = (host.home / ("chart" + std::to_string(detectors) + ".rcw")).string();
    SaveChart(name, c);
    return name;
  }
  test::AppHost host;
};

ChartSetup& Setup() {
  static ChartSetup setup;
  return setup;
}

void BM_ChartWholeStrip(benchmark::State& state) {
  ChartSetup& s = Setup();
  const int detectors = static_cast<int>(state.range(0));
  ChartWindow window(*s.host.app, 0x005, s.File(detectors));
  int width = 0;
  for (auto _ : state) {
    const QImage strip = window.Picture();
    width = strip.width();
    benchmark::DoNotOptimize(strip.constBits());
  }
  state.counters["strip_pixels_wide"] = width;
}
BENCHMARK(BM_ChartWholeStrip)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillark

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
