// Conversion and emission alone (drawing model to Swift text) over the emoji set, parsed once
// beforehand, so that the share of the generation after parsing is measured on its own. In MB/s
// of SVG text, comparable with the figures of the corpus benchmarks.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Benchmarks/Support/Corpus.h"
#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"
#include "SVGConverter/ShapeShifter/SVGSwiftUIQuarvel.h"
#include "Platform/Print.h"

namespace {

struct ParsedSet {
  std::vector<SVG::SVG> drawings;
  /// The SVG text of the largest drawing.
  std::string largestText;
  std::size_t svgBytes = 0;
  /// Index of the drawing with the most SVG text.
  std::size_t largest = 0;
};

const ParsedSet& parsedEmoji() {
  static const ParsedSet set = [] {
    ParsedSet parsed;
    SVGParser::PrintCapture quiet;
    std::size_t largestBytes = 0;
    for (const auto& drawing : corpus::fluentEmoji()) {
      auto svg = SVG::SVG::fromSVGString(drawing.svg);
      if (!svg) continue;
      if (drawing.svg.size() > largestBytes) {
        largestBytes = drawing.svg.size();
        parsed.largest = parsed.drawings.size();
        parsed.largestText = drawing.svg;
      }
      parsed.svgBytes += drawing.svg.size();
      parsed.drawings.push_back(std::move(*svg));
    }
    return parsed;
  }();
  return set;
}

// The parsed set, or nothing after marking the benchmark skipped when the data is absent.
const ParsedSet* parsedEmojiOrSkip(benchmark::State& state) {
  if (!parsedEmoji().drawings.empty()) return &parsedEmoji();
  state.SkipWithError("build-data/fluent-emoji-1.2.7 is missing: run scripts/fetch-test-data.sh");
  return nullptr;
}

void BM_EmojiSetConvertAndEmit(benchmark::State& state) {
  const ParsedSet* parsed = parsedEmojiOrSkip(state);
  if (!parsed) return;
  const ParsedSet& set = *parsed;
  SVGParser::PrintCapture quiet;
  const SVGSwiftUIExporter::Config config;
  for (auto _ : state) {
    for (const SVG::SVG& svg : set.drawings) benchmark::DoNotOptimize(SVGSwiftUIExporter::export_(svg, config));
    quiet.clear();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * set.svgBytes));
}

// The conversion to the view model alone, without writing any Swift.
void BM_EmojiSetConvert(benchmark::State& state) {
  const ParsedSet* parsed = parsedEmojiOrSkip(state);
  if (!parsed) return;
  const ParsedSet& set = *parsed;
  SVGParser::PrintCapture quiet;
  for (auto _ : state) {
    for (const SVG::SVG& svg : set.drawings) benchmark::DoNotOptimize(SVGSwiftUIQuarvel::shape(svg, ""));
    quiet.clear();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * set.svgBytes));
}

void BM_EmojiSetLargestConvertAndEmit(benchmark::State& state) {
  const ParsedSet* parsed = parsedEmojiOrSkip(state);
  if (!parsed) return;
  const ParsedSet& set = *parsed;
  SVGParser::PrintCapture quiet;
  const SVGSwiftUIExporter::Config config;
  for (auto _ : state) {
    benchmark::DoNotOptimize(SVGSwiftUIExporter::export_(set.drawings[set.largest], config));
    quiet.clear();
  }
}

// The parse of the largest drawing alone, to set against its whole generation.
void BM_EmojiSetLargestParse(benchmark::State& state) {
  const ParsedSet* parsed = parsedEmojiOrSkip(state);
  if (!parsed) return;
  const ParsedSet& set = *parsed;
  SVGParser::PrintCapture quiet;
  for (auto _ : state) {
    benchmark::DoNotOptimize(SVG::SVG::fromSVGString(set.largestText));
    quiet.clear();
  }
}

}  // namespace

BENCHMARK(BM_EmojiSetConvertAndEmit)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_EmojiSetConvert)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_EmojiSetLargestConvertAndEmit)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_EmojiSetLargestParse)->Unit(benchmark::kMillisecond)->Repetitions(3);
