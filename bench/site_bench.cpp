// Loading and saving a full site (16 loops of 255 devices), and the lookups
// that the poll answer path makes for every answer.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>

#include "core/site/config.h"

namespace {

using quillark::BUSCONTROLLER;
using quillark::DETECTOR;
using quillark::DeviceConfig;
using quillark::POWERSUPPLY;
using quillark::TSiteConfig;

// A scratch file of its own beside the system's temporary files.
class ScratchFile {
 public:
  ScratchFile()
      : path(std::filesystem::temp_directory_path() /
             ("site_bench_" + std::to_string(reinterpret_cast<std::uintptr_t>(this)) + ".cfg")) {}
  ~ScratchFile() {
    std::error_code ec;
    std::filesystem::remove(path, ec);
  }
  std::string Name() const { return path.string(); }

 private:
  std::filesystem::path path;
};

TSiteConfig FullSite() {
  TSiteConfig site;
  for (std::uint32_t loop = 0; loop < 16; ++loop) {
    for (std::uint32_t n = 1; n <= 127; ++n) {
      DeviceConfig d(loop * 256 + n, DETECTOR, quillark::PELORINLUMO);
      d.SetParentAddress(loop * 256 + 1);
      d.SetParentType(BUSCONTROLLER);
      d.SetLocation("Loop " + std::to_string(loop + 1) + " detector " + std::to_string(n));
      d.SetEventSound(0x10, "fire2.wav");
      d.SetEventText(0x10, "Evacuate the building");
      site.InsertDevice(d);
    }
    for (std::uint32_t n = 1; n <= 127; ++n) {
      DeviceConfig p(loop * 256 + n, POWERSUPPLY, quillark::PELORIN2000POWERSUPPLY);
      p.SetParentAddress(loop * 256 + 1);
      p.SetParentType(BUSCONTROLLER);
      site.InsertDevice(p);
    }
  }
  return site;
}

void BM_SiteSave(benchmark::State& state) {
  const TSiteConfig site = FullSite();
  const ScratchFile file;
  const std::string path = file.Name();
  for (auto _ : state) {
    if (!site.Save(path)) state.SkipWithError("save failed");
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(site.Count()));
}
BENCHMARK(BM_SiteSave)->Unit(benchmark::kMillisecond);

void BM_SiteLoad(benchmark::State& state) {
  const ScratchFile file;
  const std::string path = file.Name();
  FullSite().Save(path);
  TSiteConfig site;
  for (auto _ : state) {
    if (!site.Load(path)) state.SkipWithError("load failed");
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(site.Count()));
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
}
BENCHMARK(BM_SiteLoad)->Unit(benchmark::kMillisecond);

// One lookup per poll answer: every bus address of every loop in turn.
void BM_GetDeviceByBusAddress(benchmark::State& state) {
  const TSiteConfig site = FullSite();
  std::uint32_t loop = 0, byte = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(site.GetDevice(loop << 8 | byte));
    if (++byte == 256) {
      byte = 0;
      loop = (loop + 1) & 15;
    }
  }
}
BENCHMARK(BM_GetDeviceByBusAddress);

void BM_GetDeviceMissing(benchmark::State& state) {
  const TSiteConfig site = FullSite();
  std::uint32_t n = 0;
  for (auto _ : state) benchmark::DoNotOptimize(site.GetDevice(0x10000 + (n++ & 0xFFF), DETECTOR));
}
BENCHMARK(BM_GetDeviceMissing);

}  // namespace
