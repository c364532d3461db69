// Searching a system log of a million records, as the event log window and
// the console's `search` do: the log decoded once, then each search one pass.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "core/access/translator.h"
#include "core/common/textutil.h"
#include "core/events/filter.h"
#include "core/site/config.h"
#include "core/views/eventlog.h"

namespace {

using namespace quillark;

const std::filesystem::path& MillionRecordLog() {
  static const std::filesystem::path file = [] {
    const auto path = std::filesystem::temp_directory_path() / "quillark-bench-search.ev2";
    std::string text = Format("%02x%01x%03x%02x%02x", 1u, 1u, 2026u, 0u, 0u);
    text.reserve(10 + 1000000 * 24);
    const unsigned codes[] = {112, 94, 65, 148, 113};
    for (unsigned i = 0; i < 1000000; ++i)
      text += Format("%02x%01x%03x%02x%02x%04x%04x%02x%02x%02x", 1 + i % 28, 1 + (i / 28) % 12,
                     2024 + i / 336 % 3, 12u, 0u, (i % 4) << 8 | (1 + i % 127), codes[i % 5],
                     i % 3 == 0 ? 40u : 0xffu, 0u, 3u);
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
      std::fwrite(text.data(), 1, text.size(), f);
      std::fclose(f);
    }
    return path;
  }();
  return file;
}

void Search(benchmark::State& state, const char* query) {
  Translator translator(nullptr, nullptr);
  EventLog log(nullptr, 16, 0, translator);
  if (!log.Load(MillionRecordLog().string())) state.SkipWithError("log not loaded");
  TSiteConfig site;
  site.InsertDevice(DeviceConfig(3, ZONE));
  for (std::uint32_t a = 1; a <= 20; ++a) {
    DeviceConfig d(0x100 | a, DETECTOR);
    d.SetZone(3);
    site.InsertDevice(d);
  }
  EventSearch search;
  std::string error;
  if (!ParseEventSearch(query, &site, search, error)) state.SkipWithError(error.c_str());
  for (auto _ : state) {
    log.SetSearch(search);
    benchmark::DoNotOptimize(log.EventCount());
  }
  state.counters["records"] = static_cast<double>(log.RecordCount());
  state.counters["found"] = static_cast<double>(log.EventCount());
}

// Text found nowhere: every record's line is made and looked through.
void BM_SearchMillionTextNowhere(benchmark::State& state) {
  Search(state, "no such words");
}
BENCHMARK(BM_SearchMillionTextNowhere)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SearchMillionText(benchmark::State& state) {
  Search(state, "comms failure");
}
BENCHMARK(BM_SearchMillionText)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SearchMillionDeviceCategoryPeriod(benchmark::State& state) {
  Search(state, "device:2-005 category:alarms from:2025-01-01 to:2025-12-31");
}
BENCHMARK(BM_SearchMillionDeviceCategoryPeriod)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SearchMillionZoneAndText(benchmark::State& state) {
  Search(state, "zone:3 level: 40%");
}
BENCHMARK(BM_SearchMillionZoneAndText)->Unit(benchmark::kMillisecond)->Iterations(3);

// What the console's `search` costs from the file: load and search.
void BM_LoadAndSearchMillion(benchmark::State& state) {
  Translator translator(nullptr, nullptr);
  EventSearch search;
  std::string error;
  ParseEventSearch("device:2-005 comms failure", nullptr, search, error);
  MillionRecordLog();
  for (auto _ : state) {
    EventLog log(nullptr, 16, 0, translator);
    log.Load(MillionRecordLog().string());
    log.SetSearch(search);
    benchmark::DoNotOptimize(log.EventCount());
  }
}
BENCHMARK(BM_LoadAndSearchMillion)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
