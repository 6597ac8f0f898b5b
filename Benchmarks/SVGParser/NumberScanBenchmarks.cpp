// The number scanner on long digit runs (time per byte stays flat as the run grows) and
// the path data reader on a typical long path.
#include <benchmark/benchmark.h>

#include <string>

#include "Platform/NumberText.h"
#include "SVGParser/SVG/Command.h"

namespace {

void BM_ParseLongNumber(benchmark::State& state) {
  const auto digits = static_cast<std::size_t>(state.range(0));
  const std::string text = "0." + std::string(digits, '3') + "e-" + std::string(digits, '7');
  for (auto _ : state) benchmark::DoNotOptimize(SVGParser::parseDouble(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseLongNumber)->RangeMultiplier(10)->Range(1000, 1000000);

void BM_ParsePathData(benchmark::State& state) {
  std::string path = "M12.5,-3.25";
  for (int i = 0; i < 20000; ++i) path += i % 2 ? " c-1.5.5-2.25,1e-2,3.75-4" : " L1.e1,2.5a5 5 0 01-.5.5";
  for (auto _ : state) benchmark::DoNotOptimize(SVG::Command::parseCommandsString(path));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * path.size()));
}
BENCHMARK(BM_ParsePathData)->Unit(benchmark::kMillisecond);

}  // namespace
