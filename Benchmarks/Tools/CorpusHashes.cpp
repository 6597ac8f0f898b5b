// Writes one line per drawing of the pinned icon sets: its name and a hash of the generated
// Swift and the diagnostic lines, under two sets of options. Two runs of different builds
// compare with diff to show that generated code did not change.
#include <cstdint>
#include <cstdio>
#include <string>

#include "Benchmarks/Support/Corpus.h"
#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"
#include "Platform/Print.h"

namespace {

std::uint64_t fnv1a(std::string_view bytes, std::uint64_t hash = 14695981039346656037ull) {
  for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ull;
  return hash;
}

SVGSwiftUIExporter::Config unusualConfig() {
  SVGSwiftUIExporter::Config config;
  config.rootViewName = "Icon";
  config.indentString = "\t";
  config.generatePreviewProvider = true;
  config.exportHexColorExtension = true;
  config.preferInitOverType = false;
  config.positionUsingPadding = false;
  config.preferMultilineConstants = true;
  config.inlineFiltersIfPossible = false;
  config.maximumFractionDigits = 0;
  return config;
}

std::string outcome(const std::string& svgText, const SVGSwiftUIExporter::Config& config) {
  std::string result;
  {
    SVGParser::PrintCapture capture;
    auto svg = SVG::SVG::fromSVGString(svgText);
    if (svg) result = SVGSwiftUIExporter::export_(*svg, config);
    else result = "<no drawing>";
    result += "\n--- diagnostics\n" + capture.text();
  }
  return result;
}

}  // namespace

int main() {
  const SVGSwiftUIExporter::Config plain, unusual = unusualConfig();
  std::uint64_t total = fnv1a("");
  std::size_t count = 0;
  for (const auto& drawings : {corpus::fluentEmoji(), corpus::bootstrapIcons()}) {
    for (const auto& drawing : drawings) {
      const auto first = fnv1a(outcome(drawing.svg, plain));
      const auto second = fnv1a(outcome(drawing.svg, unusual));
      std::printf("%s %016llx %016llx\n", drawing.name.c_str(), static_cast<unsigned long long>(first),
                  static_cast<unsigned long long>(second));
      total = fnv1a(std::to_string(first) + std::to_string(second), total);
      ++count;
    }
  }
  std::fprintf(stderr, "%zu drawings, overall %016llx\n", count, static_cast<unsigned long long>(total));
  return count == 0 ? 1 : 0;
}
