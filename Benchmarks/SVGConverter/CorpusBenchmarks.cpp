// Speed over the whole emoji set, single thread: a bare XML pass, the parse, and the whole
// generation, each in MB/s of SVG text, so that their ratios are read from one run. Skipped
// with a message when the data is absent (scripts/fetch-test-data.sh fetches it).
#include <benchmark/benchmark.h>

#include <expat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Benchmarks/Support/Corpus.h"
#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"
#include "Platform/Print.h"

namespace {

const std::vector<corpus::Drawing>& emoji() {
  static const auto drawings = corpus::fluentEmoji();
  return drawings;
}

std::size_t totalBytes(const std::vector<corpus::Drawing>& drawings) {
  std::size_t bytes = 0;
  for (const auto& drawing : drawings) bytes += drawing.svg.size();
  return bytes;
}

bool skipWithoutData(benchmark::State& state) {
  if (!emoji().empty()) return false;
  state.SkipWithError("build-data/fluent-emoji-1.2.7 is missing: run scripts/fetch-test-data.sh");
  return true;
}

// Handlers that do nothing: the cost of reading the XML alone.
void XMLCALL startElement(void*, const XML_Char*, const XML_Char**) {}
void XMLCALL endElement(void*, const XML_Char*) {}
void XMLCALL characters(void*, const XML_Char*, int) {}

void BM_EmojiSetBareExpat(benchmark::State& state) {
  if (skipWithoutData(state)) return;
  for (auto _ : state) {
    for (const auto& drawing : emoji()) {
      XML_Parser parser = XML_ParserCreate(nullptr);
      XML_SetElementHandler(parser, startElement, endElement);
      XML_SetCharacterDataHandler(parser, characters);
      benchmark::DoNotOptimize(XML_Parse(parser, drawing.svg.data(), static_cast<int>(drawing.svg.size()), 1));
      XML_ParserFree(parser);
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * totalBytes(emoji())));
}

void BM_EmojiSetParse(benchmark::State& state) {
  if (skipWithoutData(state)) return;
  SVGParser::PrintCapture quiet;
  for (auto _ : state) {
    for (const auto& drawing : emoji()) benchmark::DoNotOptimize(SVG::SVG::fromSVGString(drawing.svg));
    quiet.clear();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * totalBytes(emoji())));
}

void BM_EmojiSetGeneration(benchmark::State& state) {
  if (skipWithoutData(state)) return;
  SVGParser::PrintCapture quiet;
  const SVGSwiftUIExporter::Config config;
  std::size_t swiftBytes = 0;
  for (auto _ : state) {
    swiftBytes = 0;
    for (const auto& drawing : emoji()) {
      if (auto svg = SVG::SVG::fromSVGString(drawing.svg)) swiftBytes += SVGSwiftUIExporter::export_(*svg, config).size();
    }
    quiet.clear();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * totalBytes(emoji())));
  state.counters["swift_MB"] = static_cast<double>(swiftBytes) / 1e6;
}

// The largest drawing of the set: the time of one keystroke in it.
void BM_EmojiSetLargestDrawing(benchmark::State& state) {
  if (skipWithoutData(state)) return;
  const auto& largest = *std::max_element(emoji().begin(), emoji().end(), [](const auto& a, const auto& b) {
    return a.svg.size() < b.svg.size();
  });
  SVGParser::PrintCapture quiet;
  const SVGSwiftUIExporter::Config config;
  for (auto _ : state) {
    if (auto svg = SVG::SVG::fromSVGString(largest.svg)) benchmark::DoNotOptimize(SVGSwiftUIExporter::export_(*svg, config));
    quiet.clear();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * largest.svg.size()));
  state.SetLabel(largest.name);
}

}  // namespace

// Best of three, reported together.
BENCHMARK(BM_EmojiSetBareExpat)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(false);
BENCHMARK(BM_EmojiSetParse)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_EmojiSetGeneration)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_EmojiSetLargestDrawing)->Unit(benchmark::kMillisecond)->Repetitions(3);
