// One keep-alive beat: the record written beside the keep-alive file and
// renamed over it, on the one thread, every few seconds. It must stay a
// negligible share of the thread's time.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/platform/keepalive.h"
#include "support/virtualeventloop.h"

namespace {

void BM_KeepAliveBeat(benchmark::State& state) {
  char pattern[] = "/tmp/keepalive-bench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) std::abort();
  const std::filesystem::path dir(pattern);
  quillark::test::VirtualEventLoop events;
  int pings = 0;
  quillark::KeepAlive keepalive(events, dir / "keepalive", 1000, [&pings] { ++pings; });
  keepalive.Start();
  for (auto _ : state) events.Advance(1000);
  benchmark::DoNotOptimize(pings);
  keepalive.Stop();
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_KeepAliveBeat);

void BM_ReadPreviousRecord(benchmark::State& state) {
  char pattern[] = "/tmp/keepalive-bench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) std::abort();
  const std::filesystem::path dir(pattern);
  quillark::test::VirtualEventLoop events;
  quillark::KeepAlive keepalive(events, dir / "keepalive", 1000, nullptr);
  keepalive.Start();
  for (auto _ : state) benchmark::DoNotOptimize(keepalive.ReadPrevious());
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_ReadPreviousRecord);

}  // namespace
