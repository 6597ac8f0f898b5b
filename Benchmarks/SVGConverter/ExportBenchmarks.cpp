// Whole exports, drawing to Swift text, by number of children.
#include <benchmark/benchmark.h>

#include <string>

#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

namespace {

// Circles, texts and filtered groups side by side: many children to chunk,
// a struct per shape, text escaping and filter modifiers.
std::string wideDrawingText(int64_t count) {
  std::string svg =
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"200\" height=\"100\" viewBox=\"-5 0 200 100\">"
      "<filter id=\"soft\"><feGaussianBlur stdDeviation=\"1\"/></filter>"
      "<filter id=\"glow\"><feOffset dx=\"1\" result=\"o\"/>"
      "<feMerge><feMergeNode in=\"o\"/><feMergeNode in=\"SourceGraphic\"/></feMerge></filter>";
  for (int64_t i = 0; i < count; ++i) {
    const std::string n = std::to_string(i);
    switch (i % 3) {
      case 0: svg += "<circle cx=\"" + n + "\" cy=\"5\" r=\"2\" fill=\"#1e90ff\" filter=\"url(#soft)\"/>"; break;
      case 1: svg += "<text x=\"" + n + "\" y=\"20\" style=\"font: bold 9px serif\">\"" + n + "\" \\ tab</text>"; break;
      default: svg += "<g filter=\"url(#glow)\" transform=\"rotate(" + n + ")\"><rect width=\"3\" height=\"3\"/></g>";
    }
  }
  return svg + "</svg>";
}

// Many small elements side by side and nested, none of them named: every type name comes from
// the numbered identifiers.
std::string manySmallElementsText(int64_t count) {
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\">";
  for (int64_t i = 0; i < count; ++i) {
    svg += "<g><rect width=\"1\" height=\"1\"/><text>t</text><g/></g><path d=\"M0 0l1 2z\"/>";
  }
  return svg + "</svg>";
}

void BM_ExportWideDrawing(benchmark::State& state) {
  const auto svg = SVG::SVG::fromSVGString(wideDrawingText(state.range(0)));
  if (!svg) {
    state.SkipWithError("drawing does not parse");
    return;
  }
  SVGSwiftUIExporter::Config config;
  config.exportHexColorExtension = true;
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::string swift = SVGSwiftUIExporter::export_(*svg, config);
    bytes = swift.size();
    benchmark::DoNotOptimize(swift.data());
  }
  state.counters["swift_bytes"] = static_cast<double>(bytes);
  state.SetComplexityN(state.range(0));
}

void BM_ExportManySmallElements(benchmark::State& state) {
  const auto svg = SVG::SVG::fromSVGString(manySmallElementsText(state.range(0)));
  if (!svg) {
    state.SkipWithError("drawing does not parse");
    return;
  }
  const SVGSwiftUIExporter::Config config;
  for (auto _ : state) benchmark::DoNotOptimize(SVGSwiftUIExporter::export_(*svg, config));
  state.SetComplexityN(state.range(0));
}

}  // namespace

// N, 2N, 4N and 8N elements.
BENCHMARK(BM_ExportManySmallElements)
    ->RangeMultiplier(2)
    ->Range(4096, 32768)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(BM_ExportWideDrawing)->RangeMultiplier(4)->Range(16, 4096)->Complexity(benchmark::oN);
