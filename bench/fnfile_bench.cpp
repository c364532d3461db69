// The function settings file of a full site: 16 loops of 127 detectors, 172
// lines each (about 350,000 lines). Opening one device's settings, reading
// one value and changing one value each go through the whole file.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "core/site/config.h"
#include "core/site/fnfile.h"
#include "core/site/functionset.h"

namespace {

using quillark::DETECTOR;
using quillark::FunctionSet;

class FullSiteFiles {
 public:
  FullSiteFiles()
      : dir(std::filesystem::temp_directory_path() /
            ("fnfile_bench_" + std::to_string(reinterpret_cast<std::uintptr_t>(this)))) {
    std::filesystem::create_directories(dir);
    site = (dir / "site.cfg").string();
    std::string text = quillark::FnNewFileText(DETECTOR);
    std::array<int, FunctionSet::READCOUNT> values;
    for (int loop = 0; loop < 16; ++loop)
      for (int n = 1; n <= 127; ++n) {
        values.fill(n % 100);
        text += quillark::FnAnswerLines(static_cast<unsigned>(loop << 8 | n), values);
      }
    text += quillark::FN_ENDLINE;
    quillark::WriteFileAtomic(quillark::FnFileName(site, DETECTOR), text);
  }
  ~FullSiteFiles() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  std::string site;

 private:
  std::filesystem::path dir;
};

// The last device of the last loop: its lines are at the end of the file.
constexpr unsigned LASTDEVICE = 15u << 8 | 127u;

void BM_LoadFnsOfOneDevice(benchmark::State& state) {
  FullSiteFiles files;
  const std::string path = quillark::FnFileName(files.site, DETECTOR);
  for (auto _ : state) {
    std::string text;
    quillark::ReadFnFile(path, text);
    FunctionSet set;
    set.SetType(quillark::PELORIN2000DETECTOR);
    set.LoadFns(text, static_cast<int>(LASTDEVICE));
    benchmark::DoNotOptimize(set.GetFunction(10));
  }
}
BENCHMARK(BM_LoadFnsOfOneDevice)->Unit(benchmark::kMillisecond);

void BM_GetFnValue(benchmark::State& state) {
  FullSiteFiles files;
  quillark::TSiteConfig site(files.site, true);
  for (auto _ : state) benchmark::DoNotOptimize(site.GetFnValue(DETECTOR, LASTDEVICE, 180));
}
BENCHMARK(BM_GetFnValue)->Unit(benchmark::kMillisecond);

void BM_SetFnValue(benchmark::State& state) {
  FullSiteFiles files;
  quillark::TSiteConfig site(files.site, true);
  int value = 0;
  for (auto _ : state) {
    // A new value each time, so every round rewrites the file.
    site.SetFnValue(DETECTOR, LASTDEVICE, 180, value);
    value = (value + 1) % 200;
  }
}
BENCHMARK(BM_SetFnValue)->Unit(benchmark::kMillisecond);

}  // namespace
