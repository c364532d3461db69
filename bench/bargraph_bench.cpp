// The bargraph's share of a fast-poll answer on a full site: 16 loops of 127
// detectors, every panel on the "All loops" tab. An unchanged answer is the
// usual case at polling speed; a changed level updates one panel; a changed
// status also works out the loop tab's status. Making every panel again is
// what a site reload or a change of tab costs.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/app/dockingapp.h"
#include "core/comms/message.h"
#include "core/site/config.h"
#include "core/status/devicestatussource.h"
#include "core/views/bargraph.h"
#include "support/frames.h"
#include "support/nullservices.h"
#include "support/virtualeventloop.h"

namespace {

using namespace quillark;

struct QuietStatus : DeviceStatusSource {
  unsigned GetDeviceStatus(int) const override { return 0; }
  unsigned GetDeviceFaultStatus(int) const override { return 0; }
};

struct CountingView : BargraphObserver {
  void PanelChanged(int) override { ++panels; }
  void AllChanged() override {}
  void TabsChanged() override { ++tabs; }
  long panels = 0, tabs = 0;
};

std::string Answer(int address, unsigned status, unsigned level) {
  return test::FastPollAnswer(address, status, 0, level);
}

// The application on a program home with no site file, given a full site.
struct FullSite {
  FullSite() : app(events, prompter, status, ini, launcher) {
    home = std::filesystem::temp_directory_path() / "quillark-bargraph-bench";
    std::filesystem::create_directories(home);
    ini.WriteString("Comm", "Loops", "16");
    app.InitMainWindow(home);
    app.SetDeviceStatusSource(&quiet);
    TSiteConfig& site = *app.GetSiteConfig();
    for (int loop = 0; loop < 16; ++loop)
      for (int a = 1; a <= 127; ++a)
        site.InsertDevice(
            DeviceConfig(static_cast<std::uint32_t>(loop * 256 + a), DETECTOR, PELORINVANTOR));
    bargraph = std::make_unique<Bargraph>(&app.GetBus(), &app, 16);
    bargraph->SetObserver(&view);
  }
  ~FullSite() {
    bargraph.reset();
    app.SetDeviceStatusSource(nullptr);
    app.Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(home, ec);
  }

  std::filesystem::path home;
  test::VirtualEventLoop events;
  test::NullPrompter prompter;
  test::NullStatus status;
  test::NullLauncher launcher;
  test::MemoryINI ini;
  TDockingApp app;
  QuietStatus quiet;
  CountingView view;
  std::unique_ptr<Bargraph> bargraph;
};

void BM_BargraphUnchangedAnswer(benchmark::State& state) {
  FullSite site;
  const std::string same = Answer(100, 0, 3);
  site.bargraph->MsgRx(15, same.c_str());
  for (auto _ : state) site.bargraph->MsgRx(15, same.c_str());
  state.SetItemsProcessed(state.iterations());
}

// The level moves on every answer: one panel updated and reported.
void BM_BargraphPanelUpdate(benchmark::State& state) {
  FullSite site;
  const std::string a = Answer(100, 0, 3), b = Answer(100, 0, 0x1F);
  bool flip = false;
  for (auto _ : state) {
    site.bargraph->MsgRx(15, (flip ? a : b).c_str());
    flip = !flip;
  }
  benchmark::DoNotOptimize(site.view.panels);
  state.SetItemsProcessed(state.iterations());
}

// The status differs from the application's: the panel and the loop tab.
void BM_BargraphStatusChange(benchmark::State& state) {
  FullSite site;
  const std::string fire = Answer(100, 0x10, 12);
  for (auto _ : state) site.bargraph->MsgRx(15, fire.c_str());
  benchmark::DoNotOptimize(site.view.tabs);
  state.SetItemsProcessed(state.iterations());
}

void BM_BargraphCreatePanels(benchmark::State& state) {
  FullSite site;
  for (auto _ : state) {
    site.bargraph->CreatePanels();
    site.bargraph->Layout(1600);
  }
  state.counters["panels"] = static_cast<double>(site.bargraph->GetPanels().size());
}

BENCHMARK(BM_BargraphUnchangedAnswer);
BENCHMARK(BM_BargraphPanelUpdate);
BENCHMARK(BM_BargraphStatusChange);
BENCHMARK(BM_BargraphCreatePanels)->Unit(benchmark::kMicrosecond);

}  // namespace
