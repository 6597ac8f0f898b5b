// Peak resident memory of one whole generation (parse, convert, emit) per case, measured in a
// child process so that cases do not see each other's memory. Reported beside the sizes of the
// SVG text and the Swift, and the goal of at most twice the output plus ten times the input;
// also the growth above the resident set the child starts with.
#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <utility>

#include "Benchmarks/Support/Corpus.h"
#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"
#include "Platform/Print.h"

namespace {

// A size line of /proc/self/status ("VmHWM:", "VmRSS:"), in bytes.
long long statusBytes(const std::string& field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(field, 0) == 0) return std::stoll(line.substr(field.size())) * 1024;
  }
  return -1;
}

// The process's peak resident set since the last reset.
long long peakResidentBytes() { return statusBytes("VmHWM:"); }

void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

struct Measurement {
  /// Resident set right after the reset: what the child inherited from the parent.
  long long start = -1;
  long long peak = -1;
  long long output = -1;
};

// Generates in a child process; its peak counts only from the start of the case.
Measurement measure(const std::string& svgText) {
  int ends[2];
  if (::pipe(ends) != 0) return {};
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(ends[0]);
    resetPeak();
    Measurement result;
    result.start = statusBytes("VmRSS:");
    {
      SVGParser::PrintCapture quiet;
      SVGSwiftUIExporter::Config config;
      config.outputLimit = 0;
      if (auto svg = SVG::SVG::fromSVGString(svgText)) {
        result.output = static_cast<long long>(SVGSwiftUIExporter::export_(std::move(*svg), config).size());
      }
    }
    result.peak = peakResidentBytes();
    (void)!::write(ends[1], &result, sizeof result);
    ::_exit(0);
  }
  ::close(ends[1]);
  Measurement result;
  if (child > 0) {
    (void)!::read(ends[0], &result, sizeof result);
    ::waitpid(child, nullptr, 0);
  }
  ::close(ends[0]);
  return result;
}

void report(benchmark::State& state, const std::string& svgText) {
  Measurement result;
  for (auto _ : state) result = measure(svgText);
  const double in = static_cast<double>(svgText.size()) / 1e6, out = static_cast<double>(result.output) / 1e6;
  state.counters["in_MB"] = in;
  state.counters["out_MB"] = out;
  state.counters["peak_MB"] = static_cast<double>(result.peak) / 1e6;
  state.counters["goal_MB"] = 2 * out + 10 * in;
  // The peak counts the pages inherited from the parent; the growth above them is what the
  // generation itself needed, and the figure to hold against the goal.
  state.counters["growth_MB"] = static_cast<double>(result.peak - result.start) / 1e6;
}

// Sibling rectangles in one drawing.
void BM_PeakMemorySiblingRects(benchmark::State& state) {
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"1000\" height=\"1000\">";
  for (int64_t i = 0; i < state.range(0); ++i) {
    svg += "<rect x=\"" + std::to_string(i % 1000) + "\" y=\"" + std::to_string(i / 1000) +
           "\" width=\"1\" height=\"1\" fill=\"#1e90ff\"/>";
  }
  report(state, svg + "</svg>");
}

// Every bootstrap icon as a group of one drawing, repeated.
void BM_PeakMemoryIconsInOneDrawing(benchmark::State& state) {
  const auto icons = corpus::bootstrapIcons();
  if (icons.empty()) {
    state.SkipWithError("build-data/bootstrap-icons-1.11.3 is missing: run scripts/fetch-test-data.sh");
    return;
  }
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"16\">";
  for (int64_t copy = 0; copy < state.range(0); ++copy) {
    for (const auto& icon : icons) {
      const auto open = icon.svg.find('>', icon.svg.find("<svg"));
      const auto close = icon.svg.rfind("</svg>");
      if (open == std::string::npos || close == std::string::npos || close < open) continue;
      svg += "<g>" + icon.svg.substr(open + 1, close - open - 1) + "</g>";
    }
  }
  report(state, svg + "</svg>");
}

}  // namespace

BENCHMARK(BM_PeakMemorySiblingRects)->Arg(10000)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeakMemoryIconsInOneDrawing)->Arg(1)->Arg(4)->Iterations(1)->Unit(benchmark::kMillisecond);
