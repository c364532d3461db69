// Text lookups by number: every alarm line and event text asks the
// translator, now over a table that holds every offered language.
#include <benchmark/benchmark.h>

#include "core/access/stringtable.h"
#include "core/access/translator.h"

namespace {

// One lookup in the language, falling back to English where it lacks a text.
void BM_TextInLanguage(benchmark::State& state) {
  quillark::Translator translator(nullptr, nullptr);
  translator.SetLanguage(static_cast<int>(state.range(0)));
  const auto ids = quillark::TranslatableTexts();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(translator.GetTextInLanguage(ids[i]));
    if (++i == ids.size()) i = 0;
  }
}
BENCHMARK(BM_TextInLanguage)->Arg(0)->Arg(4)->Arg(17);

}  // namespace
