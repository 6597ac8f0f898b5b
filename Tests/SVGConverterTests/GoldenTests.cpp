// Small drawings converted end to end and compared with hand-checked dumps of
// the model tree. QUARVEL_UPDATE_GOLDEN=1 rewrites the expected files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "GoldenDump.h"
#include "SVGConverter/ShapeShifter/SVGSwiftUIQuarvel.h"
#include "SVGParser/Platform/Print.h"
#include "SVGParser/SVG/SVG.h"

namespace {

struct GoldenCase {
  const char* name;
  const char* rootName;
};

const GoldenCase kCases[] = {
    {"basic-shapes", "Drawing"},   {"style-classes", "Drawing"}, {"nested-svg", ""},
    {"transforms", "Drawing"},     {"arcs", "Drawing"},          {"gradient-templates", "Drawing"},
    {"filter-chain", "Drawing"},   {"text", "Drawing"},          {"opacity", "Drawing"},
    {"identifiers", "Drawing"},    {"smooth-paths", "Drawing"},  {"unsupported", ""},
};

std::string goldenPath(const std::string& file) {
  return std::string(QUARVEL_SOURCE_DIR) + "/Tests/SVGConverterTests/golden/" + file;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

class Golden : public testing::TestWithParam<GoldenCase> {};

TEST_P(Golden, ModelTreeMatchesTheCheckedDump) {
  const GoldenCase& c = GetParam();
  const std::string svgText = readFile(goldenPath(std::string(c.name) + ".svg"));
  ASSERT_FALSE(svgText.empty()) << c.name;

  SVGParser::PrintCapture capture;
  const std::optional<SVG::SVG> svg = SVG::SVG::fromSVGString(svgText);
  ASSERT_TRUE(svg) << c.name;
  capture.clear();  // only the converter's lines count here
  const SwiftUIModel::ContainerViewType root = SVGSwiftUIQuarvel::shape(*svg, c.rootName);
  std::string actual = GoldenDump::dump(root);
  for (const std::string& line : capture.lines()) actual += "printed: " + line + "\n";

  const std::string expectedPath = goldenPath(std::string(c.name) + ".model");
  if (std::getenv("QUARVEL_UPDATE_GOLDEN")) {
    std::ofstream(expectedPath, std::ios::binary) << actual;
  }
  EXPECT_EQ(actual, readFile(expectedPath)) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Drawings, Golden, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<GoldenCase>& testInfo) {
                           std::string name = testInfo.param.name;
                           for (char& ch : name) {
                             if (ch == '-') ch = '_';
                           }
                           return name;
                         });

}  // namespace
