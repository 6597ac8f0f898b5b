#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "SVGParser/Parser/SVGParser.h"
#include "Platform/Print.h"

namespace {

std::size_t countShapes(const std::vector<SVG::GroupItem>& items) {
  std::size_t count = 0;
  for (const auto& item : items) {
    if (const auto* group = item.as<SVG::Group>()) {
      count += countShapes(group->children);
    } else if (const auto* svg = item.as<SVG::SVG>()) {
      count += countShapes(svg->children);
    } else {
      ++count;
    }
  }
  return count;
}

}  // namespace

// Every icon of a real icon set gives a drawing with shapes and no diagnostics.
TEST(IconSet, EveryIconParses) {
  const std::filesystem::path folder = std::filesystem::path(QUARVEL_TEST_DATA_DIR) / "bootstrap-icons-1.11.3" / "icons";
  if (!std::filesystem::is_directory(folder)) GTEST_SKIP() << "icon set missing: " << folder;
  std::size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() != ".svg") continue;
    ++files;
    std::ifstream stream(entry.path(), std::ios::binary);
    std::stringstream bytes;
    bytes << stream.rdbuf();
    SVGParser::PrintCapture capture;
    const auto svg = SVG::SVG::fromSVGString(bytes.str());
    ASSERT_TRUE(svg) << entry.path();
    EXPECT_GT(countShapes(svg->children), 0u) << entry.path();
    EXPECT_TRUE(svg->viewBox) << entry.path();
    EXPECT_EQ(capture.text(), "") << entry.path();
  }
  EXPECT_GE(files, 2000u);
}
