// Generation from SVG text, reading included, of drawings that grow in the ways that could make
// the work grow faster than the drawing: many rules and classes, many properties of one class,
// many filters, many nested drawings that see the same definitions, ids that clash, deep nesting.
// Each doubles from N to 8N; the time per element stays the same.
#include <benchmark/benchmark.h>

#include <string>

#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"
#include "Platform/Print.h"

namespace {

std::string drawing(const std::string& body) { return "<svg xmlns=\"http://www.w3.org/2000/svg\">" + body + "</svg>"; }

// A style sheet of N class rules and N id rules; N shapes each of three classes and an id.
std::string manyRulesAndClasses(int64_t count) {
  std::string style = "<style>";
  std::string shapes;
  for (int64_t i = 0; i < count; ++i) {
    const std::string n = std::to_string(i);
    style += ".c" + n + "{fill:#" + std::to_string(100000 + i % 800000) + "} #r" + n + "{stroke-width:" + n + "}\n";
    shapes += "<rect id=\"r" + n + "\" class=\"c" + n + " c" + std::to_string((i * 7) % count) + " c" +
              std::to_string((i * 13) % count) + "\" width=\"1\" height=\"1\"/>";
  }
  return drawing(style + "</style>" + shapes);
}

// N rules for one class and one id, and N shapes of that class, one of them with that id.
std::string manyRulesForOneClass(int64_t count) {
  std::string style = "<style>";
  std::string shapes;
  for (int64_t i = 0; i < count; ++i) {
    const std::string n = std::to_string(i);
    style += ".a{fill:#" + std::to_string(100000 + i % 800000) + ";stroke-width:" + n + "} #r{opacity:0." + n + "}\n";
    shapes += std::string("<rect") + (i == 0 ? " id=\"r\"" : "") + " class=\"a a\" width=\"1\" height=\"1\"/>";
  }
  return drawing(style + "</style>" + shapes);
}

// N rules for one class, each setting a property of its own, and N shapes of that class: the
// class gathers N properties, of which each shape reads only the few it knows.
std::string manyPropertiesOfOneClass(int64_t count) {
  std::string style = "<style>";
  std::string shapes;
  for (int64_t i = 0; i < count; ++i) {
    style += ".a{x-" + std::to_string(i) + ":1}\n";
    shapes += "<rect class=\"a\" width=\"1\" height=\"1\"/>";
  }
  return drawing(style + "</style>" + shapes);
}

// N filters of a few primitives, each used by one shape and by one group.
std::string manyFilters(int64_t count) {
  std::string body;
  for (int64_t i = 0; i < count; ++i) {
    const std::string n = std::to_string(i);
    body += "<filter id=\"f" + n + "\" x=\"0\" width=\"2\" height=\"2\"><feGaussianBlur stdDeviation=\"1\" result=\"b\"/>"
            "<feOffset dx=\"1\" in=\"b\"/><feMerge><feMergeNode in=\"b\"/><feMergeNode/></feMerge></filter>"
            "<rect width=\"1\" height=\"1\" filter=\"url(#f" + n + ")\"/><g filter=\"url(#f" + n + ")\"><circle r=\"1\"/></g>";
  }
  return drawing(body);
}

// N gradients and N nested drawings, each painting with one of the root's gradients and declaring
// a gradient of its own.
std::string nestedDrawingsSharingDefinitions(int64_t count) {
  std::string definitions, drawings;
  for (int64_t i = 0; i < count; ++i) {
    const std::string n = std::to_string(i);
    definitions += "<linearGradient id=\"g" + n + "\"><stop stop-color=\"red\"/><stop offset=\"1\"/></linearGradient>";
    drawings += "<svg width=\"5\" height=\"5\"><radialGradient id=\"l" + n + "\" href=\"#g" + n +
                "\"/><rect width=\"1\" height=\"1\" fill=\"url(#g" + std::to_string((i * 7) % count) +
                ")\" stroke=\"url(#l" + n + ")\"/></svg>";
  }
  return drawing(definitions + drawings);
}

// N elements that all have one id, and N more whose ids are the names generated for others.
std::string clashingIDs(int64_t count) {
  std::string body;
  for (int64_t i = 0; i < count; ++i) {
    body += "<rect id=\"a\" width=\"1\" height=\"1\"/><g id=\"Group" + std::to_string(i + 1) +
            "\"><circle id=\"Circle\" r=\"1\"/></g><path id=\"path" + std::to_string(i) + "\" d=\"M0 0h1\"/>";
  }
  return drawing(body);
}

// N copies of groups nested 100 deep, a shape at the bottom of each.
std::string deepNests(int64_t count) {
  std::string nest;
  for (int depth = 0; depth < 100; ++depth) nest += "<g opacity=\"0.99\" transform=\"translate(1)\">";
  nest += "<rect width=\"1\" height=\"1\"/>";
  for (int depth = 0; depth < 100; ++depth) nest += "</g>";
  std::string body;
  for (int64_t i = 0; i < count; ++i) body += nest;
  return drawing(body);
}

template <std::string (*Make)(int64_t)>
void generate(benchmark::State& state) {
  const std::string text = Make(state.range(0));
  const SVGParser::PrintSink previous = SVGParser::setPrintSink([](std::string_view) {});
  SVGSwiftUIExporter::Config config;
  config.outputLimit = 0;
  std::size_t bytes = 0;
  for (auto _ : state) {
    auto svg = SVG::SVG::fromSVGString(text);
    if (!svg) {
      state.SkipWithError("drawing does not parse");
      break;
    }
    const std::string swift = SVGSwiftUIExporter::export_(std::move(*svg), config);
    bytes = swift.size();
    benchmark::DoNotOptimize(swift.data());
  }
  SVGParser::setPrintSink(previous);
  state.counters["svg_bytes"] = static_cast<double>(text.size());
  state.counters["swift_bytes"] = static_cast<double>(bytes);
  state.SetComplexityN(state.range(0));
}

}  // namespace

#define QUARVEL_DOUBLING(name, make, from)                                                                \
  BENCHMARK(generate<make>)->Name(name)->RangeMultiplier(2)->Range(from, 8 * (from))->Unit(benchmark::kMillisecond) \
      ->Complexity(benchmark::oN)

QUARVEL_DOUBLING("GenerateManyRulesAndClassesDoubling", manyRulesAndClasses, 2048);
QUARVEL_DOUBLING("GenerateManyRulesForOneClassDoubling", manyRulesForOneClass, 2048);
QUARVEL_DOUBLING("GenerateManyPropertiesOfOneClassDoubling", manyPropertiesOfOneClass, 1024);
QUARVEL_DOUBLING("GenerateManyFiltersDoubling", manyFilters, 1024);
QUARVEL_DOUBLING("GenerateNestedDrawingsSharingDefinitionsDoubling", nestedDrawingsSharingDefinitions, 1024);
QUARVEL_DOUBLING("GenerateClashingIDsDoubling", clashingIDs, 2048);
QUARVEL_DOUBLING("GenerateDeepNestsDoubling", deepNests, 8);
