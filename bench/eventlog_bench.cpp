// A device event log of a million records: opening the file (reading and
// decoding every record), filtering it again, formatting the lines a view
// shows, and what it costs in memory per record; and the console's
// "events 20", which needs only the end of the log.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "core/access/translator.h"
#include "core/views/eventlog.h"

namespace {

using quillark::EventFilterStruct;
using quillark::EventLog;

constexpr std::size_t RECORDS = 1000000;

// The log file, written once for every benchmark of this program.
const std::string& LogFile() {
  static const std::string name = [] {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / "eventlog_bench_1m.ev2";
    // Alarms with data, faults, isolates, power-ups and function changes,
    // spread over three years and 128 devices of two loops.
    const unsigned codes[] = {112, 94, 65, 101, 129};
    std::string text =
        "01"
        "1"
        "7d1"
        "00"
        "00";
    text.reserve(10 + RECORDS * 24);
    char rec[32];
    for (std::size_t i = 0; i < RECORDS; ++i) {
      const unsigned code = codes[i % 5];
      std::snprintf(rec, sizeof rec, "%02x%01x%03x%02x%02x%04x%04x%02x%02x%02x",
                    static_cast<unsigned>(1 + i % 28), static_cast<unsigned>(1 + (i / 28) % 12),
                    2001u + static_cast<unsigned>(i / 336 % 3), static_cast<unsigned>(i % 24),
                    static_cast<unsigned>(i % 60),
                    static_cast<unsigned>((i % 2) << 8 | (1 + i % 127)), code,
                    code == 94 ? 0xffu : static_cast<unsigned>(i % 100), 1u, 2u);
      text.append(rec, 24);
    }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f != nullptr) {
      std::fwrite(text.data(), 1, text.size(), f);
      std::fclose(f);
    }
    return path.string();
  }();
  return name;
}

quillark::Translator& Texts() {
  static quillark::Translator tr(nullptr, nullptr);
  return tr;
}

EventFilterStruct AlarmsOnly() {
  EventFilterStruct f;
  quillark::SetFilterBox(f, quillark::FB_NONE, true);
  quillark::SetFilterBox(f, quillark::FB_ALARM, true);
  f.none = 0;
  return f;
}

// Opening the file: reading, checking and decoding every record, building
// the list. Also tells the memory the log holds per record.
void BM_EventLogOpen(benchmark::State& state) {
  const std::string& file = LogFile();
  std::size_t memory = 0, records = 0;
  for (auto _ : state) {
    EventLog log(nullptr, 2, 0, Texts());
    log.Load(file);
    records = log.RecordCount();
    memory = log.MemoryUsed();
    benchmark::DoNotOptimize(log.EventCount());
  }
  state.counters["records"] = static_cast<double>(records);
  state.counters["bytes_per_record"] = static_cast<double>(memory) / static_cast<double>(records);
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(RECORDS));
}
BENCHMARK(BM_EventLogOpen)->Unit(benchmark::kMillisecond);

// A new filter over the decoded log: one pass building the list again.
void BM_EventLogFilter(benchmark::State& state) {
  EventLog log(nullptr, 2, 0, Texts());
  log.Load(LogFile());
  EventFilterStruct dates;
  dates.date = 1;
  dates.SetStart("1/6/2001");
  dates.SetEnd("31/5/2002");
  const EventFilterStruct filters[] = {AlarmsOnly(), dates, EventFilterStruct()};
  std::size_t n = 0;
  for (auto _ : state) {
    log.SetFilter(filters[n++ % 3]);
    benchmark::DoNotOptimize(log.EventCount());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(RECORDS));
}
BENCHMARK(BM_EventLogFilter)->Unit(benchmark::kMillisecond);

// One screenful of lines, as a view asks for them when scrolled.
void BM_EventLogScreenful(benchmark::State& state) {
  EventLog log(nullptr, 2, 0, Texts());
  log.Load(LogFile());
  std::size_t first = 0;
  for (auto _ : state) {
    for (std::size_t i = 0; i < 40; ++i) benchmark::DoNotOptimize(log.GetEventLine(first + i));
    first = (first + 99991) % (log.EventCount() - 40);
  }
  state.SetItemsProcessed(state.iterations() * 40);
}
BENCHMARK(BM_EventLogScreenful)->Unit(benchmark::kMicrosecond);

// The last 20 lines as the console lists them: only the end of the file is
// read, so the cost does not grow with the log.
void BM_EventLogLast20(benchmark::State& state) {
  const std::string& file = LogFile();
  for (auto _ : state) {
    EventLog log(nullptr, 2, 0, Texts());
    log.LoadLast(file, 20);
    for (std::size_t i = log.EventCount() >= 20 ? log.EventCount() - 20 : 0; i < log.EventCount();
         ++i)
      benchmark::DoNotOptimize(log.GetEventLine(i));
  }
}
BENCHMARK(BM_EventLogLast20)->Unit(benchmark::kMicrosecond);

// The same lines from the whole log loaded and decoded, for comparison.
void BM_EventLogLast20FromWholeLog(benchmark::State& state) {
  const std::string& file = LogFile();
  for (auto _ : state) {
    EventLog log(nullptr, 2, 0, Texts());
    log.Load(file);
    for (std::size_t i = log.EventCount() >= 20 ? log.EventCount() - 20 : 0; i < log.EventCount();
         ++i)
      benchmark::DoNotOptimize(log.GetEventLine(i));
  }
}
BENCHMARK(BM_EventLogLast20FromWholeLog)->Unit(benchmark::kMillisecond);

}  // namespace
