#include <benchmark/benchmark.h>
#include <expat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "SVGParser/Parser/SVGParser.h"

namespace {

// All icons of the icon set nested in one drawing, or nothing when the set is missing.
const std::string& iconSetDrawing() {
  static const std::string drawing = [] {
    const std::filesystem::path folder =
        std::filesystem::path(QUARVEL_TEST_DATA_DIR) / "bootstrap-icons-1.11.3" / "icons";
    if (!std::filesystem::is_directory(folder)) return std::string();
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    std::ostringstream text;
    text << "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 1024 1024\">\n"
            "<style>.bi { fill: currentColor } #a { stroke: none }</style>\n";
    for (const auto& file : files) text << std::ifstream(file, std::ios::binary).rdbuf() << '\n';
    text << "</svg>\n";
    return text.str();
  }();
  return drawing;
}

void BM_ParseIconSet(benchmark::State& state) {
  const auto& drawing = iconSetDrawing();
  if (drawing.empty()) {
    state.SkipWithError("icon set missing (run scripts/fetch-test-data.sh)");
    return;
  }
  for (auto _ : state) {
    auto svg = SVGParser::SVGParser::parse(drawing);
    benchmark::DoNotOptimize(svg);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(drawing.size()));
}
BENCHMARK(BM_ParseIconSet)->Unit(benchmark::kMillisecond);

// The XML reader alone over the same bytes, with handlers that do nothing.
void BM_ExpatIconSet(benchmark::State& state) {
  const auto& drawing = iconSetDrawing();
  if (drawing.empty()) {
    state.SkipWithError("icon set missing (run scripts/fetch-test-data.sh)");
    return;
  }
  for (auto _ : state) {
    XML_Parser parser = XML_ParserCreate(nullptr);
    XML_SetElementHandler(parser, [](void*, const XML_Char*, const XML_Char**) {}, [](void*, const XML_Char*) {});
    XML_SetCharacterDataHandler(parser, [](void*, const XML_Char*, int) {});
    const auto status = XML_Parse(parser, drawing.data(), static_cast<int>(drawing.size()), XML_TRUE);
    benchmark::DoNotOptimize(status);
    XML_ParserFree(parser);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(drawing.size()));
}
BENCHMARK(BM_ExpatIconSet)->Unit(benchmark::kMillisecond);

}  // namespace
