// Small drawings converted end to end and compared with hand-checked dumps of
// the model tree. QUARVEL_UPDATE_GOLDEN=1 rewrites the expected files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "GoldenCases.h"
#include "GoldenDump.h"
#include "SVGConverter/ShapeShifter/SVGSwiftUIQuarvel.h"
#include "Platform/Print.h"
#include "SVGParser/SVG/SVG.h"

namespace {

// Drawings in golden/named convert with the root view name "Drawing", those in
// golden/unnamed without one.
std::string rootNameFor(const std::string& folder) { return folder == "named" ? "Drawing" : ""; }

class Golden : public testing::TestWithParam<GoldenCases::Case> {};

TEST_P(Golden, ModelTreeMatchesTheCheckedDump) {
  const GoldenCases::Case& c = GetParam();
  const std::string svgText = GoldenCases::read(c.svg);
  ASSERT_FALSE(svgText.empty()) << c.label();

  SVGParser::PrintCapture capture;
  const std::optional<SVG::SVG> svg = SVG::SVG::fromSVGString(svgText);
  ASSERT_TRUE(svg) << c.label();
  capture.clear();  // only the converter's lines count here
  const SwiftUIModel::ContainerViewType root = SVGSwiftUIQuarvel::shape(*svg, rootNameFor(c.folder));
  std::string actual = GoldenDump::dump(root);
  for (const std::string& line : capture.lines()) actual += "printed: " + line + "\n";

  if (std::getenv("QUARVEL_UPDATE_GOLDEN")) {
    std::ofstream(c.expected, std::ios::binary) << actual;
  }
  ASSERT_TRUE(std::filesystem::exists(c.expected)) << "missing " << c.expected;
  EXPECT_EQ(actual, GoldenCases::read(c.expected)) << c.label();
}

INSTANTIATE_TEST_SUITE_P(Drawings, Golden, testing::ValuesIn(GoldenCases::find(GoldenCases::root("golden"), ".model")),
                         [](const testing::TestParamInfo<GoldenCases::Case>& testInfo) {
                           return GoldenCases::testName(testInfo.param);
                         });

TEST(GoldenCases, AreFoundOnDisk) {
  EXPECT_GE(GoldenCases::find(GoldenCases::root("golden"), ".model").size(), 12u);
  EXPECT_GE(GoldenCases::find(GoldenCases::root("golden-swift"), ".swift").size(), 7u);
}

}  // namespace
