// Exporting a system log of a million records as CSV from the command line:
// load, filter and write, as `quillark --export-log` does.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>

#include "core/app/logexport.h"
#include "core/common/textutil.h"

namespace {

const std::filesystem::path& MillionRecordLog() {
  static const std::filesystem::path file = [] {
    const auto path = std::filesystem::temp_directory_path() / "quillark-bench-million.ev2";
    std::string text = quillark::Format("%02x%01x%03x%02x%02x", 1u, 1u, 2026u, 0u, 0u);
    text.reserve(10 + 1000000 * 24);
    const unsigned codes[] = {112, 94, 65, 101};
    for (unsigned i = 0; i < 1000000; ++i)
      text += quillark::Format("%02x%01x%03x%02x%02x%04x%04x%02x%02x%02x", 1 + i % 28,
                               1 + (i / 28) % 12, 2024 + i / 336 % 3, 12u, 0u, 0x100 + i % 128,
                               codes[i % 4], 0xffu, 0u, 0u);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f != nullptr) {
      std::fwrite(text.data(), 1, text.size(), f);
      std::fclose(f);
    }
    return path;
  }();
  return file;
}

void Export(benchmark::State& state, std::vector<std::string> filters) {
  const std::string out = (std::filesystem::temp_directory_path() / "quillark-bench.csv").string();
  std::vector<std::string> args = {MillionRecordLog().string()};
  args.insert(args.end(), filters.begin(), filters.end());
  args.push_back("--csv");
  args.push_back(out);
  for (auto _ : state) {
    std::ostringstream sink, err;
    if (quillark::RunLogExport(args, sink, err) != 0) state.SkipWithError(err.str().c_str());
  }
}

void BM_ExportMillionRecords(benchmark::State& state) {
  Export(state, {});
}
BENCHMARK(BM_ExportMillionRecords)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ExportOneDeviceOfAYear(benchmark::State& state) {
  Export(state, {"--from", "2025-01-01", "--to", "2025-12-31", "--device", "2-005"});
}
BENCHMARK(BM_ExportOneDeviceOfAYear)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
