// The site editor on a full site (16 loops, 2,032 detectors, 8 power
// supplies a loop feeding half the detectors): opening it, the tree, the
// free lists, adding and removing, and "Save all" of the alarm actions.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "core/site/actions.h"
#include "core/site/config.h"
#include "core/site/siteeditor.h"

namespace {

using namespace quillark;

TSiteConfig FullSite() {
  TSiteConfig site({}, true);
  for (std::uint32_t loop = 0; loop < 16; ++loop) {
    for (std::uint32_t p = 1; p <= 8; ++p) {
      DeviceConfig psu(loop * 256 + p, POWERSUPPLY, PELORIN2000POWERSUPPLY);
      psu.SetParentAddress(loop * 256 + 1);
      psu.SetParentType(BUSCONTROLLER);
      site.InsertDevice(psu);
    }
    for (std::uint32_t n = 1; n <= 127; ++n) {
      DeviceConfig d(loop * 256 + n, DETECTOR, PELORIN2000DETECTOR);
      // Every other detector is fed by one of the loop's power supplies.
      if (n % 2 == 0) {
        d.SetParentAddress(loop * 256 + 1 + n % 8);
        d.SetParentType(POWERSUPPLY);
      } else {
        d.SetParentAddress(loop * 256 + 1);
        d.SetParentType(BUSCONTROLLER);
      }
      d.SetLocation("Loop " + std::to_string(loop + 1) + " detector " + std::to_string(n));
      site.InsertDevice(d);
    }
  }
  return site;
}

void BM_EditorOpenAndTree(benchmark::State& state) {
  const TSiteConfig site = FullSite();
  for (auto _ : state) {
    SiteEditor editor(site, nullptr);
    benchmark::DoNotOptimize(editor.Tree());
  }
}
BENCHMARK(BM_EditorOpenAndTree)->Unit(benchmark::kMillisecond);

void BM_EditorTree(benchmark::State& state) {
  SiteEditor editor(FullSite(), nullptr);
  for (auto _ : state) benchmark::DoNotOptimize(editor.Tree());
}
BENCHMARK(BM_EditorTree)->Unit(benchmark::kMicrosecond);

void BM_EditorSelectAndFreeLists(benchmark::State& state) {
  SiteEditor editor(FullSite(), nullptr);
  std::uint32_t loop = 0;
  for (auto _ : state) {
    editor.Select(loop * 256 + 1, BUSCONTROLLER);
    benchmark::DoNotOptimize(editor.FreeDetectors());
    benchmark::DoNotOptimize(editor.FreePowerSupplies());
    loop = (loop + 1) % 16;
  }
}
BENCHMARK(BM_EditorSelectAndFreeLists)->Unit(benchmark::kMicrosecond);

void BM_EditorAddAndRemovePowerSupply(benchmark::State& state) {
  SiteEditor editor(FullSite(), nullptr);
  for (auto _ : state) {
    editor.Select(15 * 256 + 1, BUSCONTROLLER);
    editor.AddPSU(100);
    editor.Select(15 * 256 + 100, POWERSUPPLY);
    editor.Remove();
  }
}
BENCHMARK(BM_EditorAddAndRemovePowerSupply)->Unit(benchmark::kMicrosecond);

void BM_EditorRemovePowerSupplyWithItsDetectors(benchmark::State& state) {
  const TSiteConfig site = FullSite();
  for (auto _ : state) {
    state.PauseTiming();
    SiteEditor editor(site, nullptr);
    state.ResumeTiming();
    editor.Select(15 * 256 + 3, POWERSUPPLY);
    editor.Remove();
  }
}
BENCHMARK(BM_EditorRemovePowerSupplyWithItsDetectors)->Unit(benchmark::kMicrosecond);

void BM_ActionsSaveAll(benchmark::State& state) {
  TSiteConfig site = FullSite();
  for (auto _ : state) {
    AlarmActions sheet(site, 5, DETECTOR);
    if (AlarmActions::Page* p = sheet.FindPage(0x10)) p->sound = "fire2.wav";
    sheet.Apply();
  }
}
BENCHMARK(BM_ActionsSaveAll)->Unit(benchmark::kMillisecond);

}  // namespace
