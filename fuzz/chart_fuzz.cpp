// Chart files and chart answers come from outside (files mailed around,
// devices on the bus): decoding must never harm, never hold more samples than
// a chart can, and a loaded chart saved again must load back the same.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/views/chart.h"
#include "core/views/histogram.h"
#include "fuzzfiles.h"

using fuzzfiles::TempName;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  quillark::Chart chart;
  if (quillark::DecodeChartAnswer(bytes, 0x105, chart) &&
      chart.samples.size() > quillark::Chart::CAPACITY)
    std::abort();
  quillark::HistogramAnswer histogram;
  if (quillark::DecodeHistogram(bytes, histogram) == quillark::HistogramDecode::OK &&
      histogram.classes > quillark::HistogramAnswer::MAXCLASSES)
    std::abort();

  for (const char* name : {"in.rcw", "in.rec"}) {
    const std::string file = TempName(name);
    if (!fuzzfiles::WriteFile(file, data, size)) std::abort();
    quillark::Chart loaded;
    if (quillark::LoadChart(file, loaded) != quillark::ChartFileResult::OK) continue;
    if (loaded.samples.size() > quillark::Chart::CAPACITY) std::abort();
    (void)quillark::ChartCsv(loaded);
    const std::string again = TempName(name[3] == 'c' ? "out.rec" : "out.rcw");
    if (quillark::SaveChart(again, loaded) != quillark::ChartFileResult::OK) std::abort();
    quillark::Chart back;
    if (quillark::LoadChart(again, back) != quillark::ChartFileResult::OK ||
        back.samples != loaded.samples)
      std::abort();
  }
  return 0;
}
