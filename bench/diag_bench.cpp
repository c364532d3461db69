// The diagnostics list under a full site: one query answer decoded into its
// list row, a whole scan of 16 loops of 128 positions taken into the list,
// and that list turned into the lines the window shows under its header.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/comms/busrouter.h"
#include "core/diag/diag.h"
#include "support/frames.h"
#include "support/nullservices.h"
#include "support/virtualeventloop.h"

namespace {

using namespace quillark;

constexpr int LOOPS = 16;
constexpr int POSITIONS = 128;

// A query answer of `address`: type 6, version 2.2, status `status`, its
// text, then the check sum, as a port hands it over.
std::string QueryAnswer(int address, int status) {
  char head[13];
  std::snprintf(head, sizeof head, "<%cQ01a0616%02x", static_cast<char>(address | 0x80),
                static_cast<unsigned>(status));
  return test::WithSum(std::string(head, 12) + "Plant room 2 N-E" + "0001");
}

struct Host {
  Host() : null(events, ini), app(null.services) {}
  test::VirtualEventLoop events;
  test::MemoryINI ini;
  test::NullServices null;
  BusRouter app;
};

// Every position of every loop answered once, in scan order.
std::vector<DiagIdentity> FullScan() {
  std::vector<DiagIdentity> all;
  for (int address = 0; address < POSITIONS; ++address) {
    for (int loop = 0; loop < LOOPS; ++loop) {
      DiagIdentity identity;
      DiagReadIdentity(loop, QueryAnswer(address, address % 3 == 0 ? 255 : 0), "<", identity);
      all.push_back(identity);
    }
  }
  return all;
}

void BM_QueryAnswerToRow(benchmark::State& state) {
  Host host;
  Diag diag(&host.app, LOOPS);
  const std::string frame = QueryAnswer(5, 0x85);
  for (auto _ : state) {
    DiagIdentity identity;
    DiagReadIdentity(1, frame, "<", identity);
    std::string row = diag.MakeRow(identity);
    benchmark::DoNotOptimize(row);
  }
  state.SetItemsProcessed(state.iterations());
}

// Each answer finds its row by device (a repeat replaces it): the list of a
// whole scan is built answer by answer.
void BM_FullScanIntoTheList(benchmark::State& state) {
  Host host;
  const std::vector<DiagIdentity> scan = FullScan();
  for (auto _ : state) {
    Diag diag(&host.app, LOOPS);
    for (const DiagIdentity& identity : scan) diag.AddItem(identity);
    benchmark::DoNotOptimize(diag.Rows().size());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<long>(scan.size()));
}

void BM_FullScanRowsToShownLines(benchmark::State& state) {
  Host host;
  Diag diag(&host.app, LOOPS);
  for (const DiagIdentity& identity : FullScan()) diag.AddItem(identity);
  const std::string header = diag.Header();
  for (auto _ : state) {
    std::size_t length = 0;
    for (const std::string& row : diag.Rows()) length += Diag::ShownLine(row, header).size();
    benchmark::DoNotOptimize(length);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<long>(diag.Rows().size()));
}

}  // namespace

BENCHMARK(BM_QueryAnswerToRow);
BENCHMARK(BM_FullScanIntoTheList)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullScanRowsToShownLines)->Unit(benchmark::kMillisecond);
