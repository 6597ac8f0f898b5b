#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

#include <benchmark/benchmark.h>

// Path-like output: one block per shape, each with a few lines of coordinates.
static void BM_StreamWritesShapes(benchmark::State& state) {
  const auto shapes = state.range(0);
  for (auto _ : state) {
    SVGSwiftUIExporter stream{SVGSwiftUIExporter::Config{}};
    for (int64_t i = 0; i < shapes; ++i) {
      stream.block("struct Shape" + std::to_string(i) + ": Shape", "path", [&] {
        stream.block("func path(in rect: CGRect) -> Path", [&] {
          for (int k = 0; k < 8; ++k) {
            stream.writeln("path.addLine(to: " + stream.initCGPoint({i * 1.2345678 + k, k / 3.0}, true) + ")");
          }
        });
      });
    }
    benchmark::DoNotOptimize(stream.takeSwift());
  }
  state.SetComplexityN(shapes);
}
BENCHMARK(BM_StreamWritesShapes)->RangeMultiplier(4)->Range(16, 4096)->Complexity(benchmark::oN);

static void BM_NumberText(benchmark::State& state) {
  DecimalNumberFormatter formatter(4);
  double value = 0.000123;
  for (auto _ : state) {
    benchmark::DoNotOptimize(formatter.string(value));
    value = value * 1.7 + 0.1;
    if (value > 1e12) value = 0.000123;
  }
}
BENCHMARK(BM_NumberText);
