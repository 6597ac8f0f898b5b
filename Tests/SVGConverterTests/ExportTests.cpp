// Whole files: SVG text in, Swift source out.

#include <utility>

#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"
#include "SVGConverter/ShapeShifter/SVGSwiftUIQuarvel.h"

#include "GoldenCases.h"
#include "SwiftSyntaxSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <sstream>

namespace {

using Config = SVGSwiftUIExporter::Config;

std::string exported(const std::string& svgText, const Config& config = {}) {
  auto svg = SVG::SVG::fromSVGString(svgText);
  if (!svg) {
    ADD_FAILURE() << "does not parse: " << svgText;
    return {};
  }
  return SVGSwiftUIExporter::export_(*svg, config);
}

Config named(std::string name) {
  Config config;
  config.rootViewName = std::move(name);
  return config;
}

std::size_t countLines(const std::string& text, const std::string& line) {
  std::size_t count = 0;
  std::istringstream lines(text);
  for (std::string each; std::getline(lines, each);) count += each == line;
  return count;
}

const std::string redSquare =
    "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\">"
    "<rect width=\"10\" height=\"10\" fill=\"#ff0000\"/></svg>";
const std::string graySquare =
    "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\">"
    "<rect width=\"10\" height=\"10\" fill=\"gray\"/>"
    "<svg x=\"1\" width=\"5\" height=\"5\"><circle r=\"1\"/></svg></svg>";

}  // namespace

TEST(Export, TopLevelSequenceFollowsTheOptions) {
  const std::string full = exported(graySquare, named("Art"));
  EXPECT_TRUE(full.starts_with("import SwiftUI\n\n// SVG\nstruct Art: View {\n"));
  EXPECT_NE(full.find("\nstruct Art_Previews: PreviewProvider {\n"), std::string::npos);
  // The root's info comment stands once; the nested svg has its own, indented.
  EXPECT_EQ(countLines(full, "// SVG"), 1u);
  EXPECT_EQ(countLines(full, "  // SVG"), 1u);
  EXPECT_TRUE(isValidSwift(full));

  Config bare = named("Art");
  bare.generateImport = false;
  EXPECT_TRUE(exported(graySquare, bare).starts_with("// SVG\nstruct Art: View {\n"));
  bare.infoComments = false;
  EXPECT_TRUE(exported(graySquare, bare).starts_with("struct Art: View {\n"));
  EXPECT_EQ(exported(graySquare, bare).find("// SVG"), std::string::npos);

  bare.exportHexColorExtension = true;
  // A colour written in hexadecimal brings the initialiser, before the preview.
  const std::string hex = exported(redSquare, bare);
  const auto extension = hex.find("\nfileprivate extension Color {\n");
  ASSERT_NE(extension, std::string::npos);
  EXPECT_NE(hex.find("Color(0xFF0000)"), std::string::npos);
  EXPECT_LT(extension, hex.find("struct Art_Previews"));
  bare.exportHexColorExtension = false;
  EXPECT_EQ(exported(redSquare, bare).find("extension"), std::string::npos);
}

// A dark-mode block before the drawing's rules leaves them in force.
TEST(Export, StyleSheetRulesAfterAnAtRuleBlockApply) {
  const std::string swift = exported(
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\"><style>@media (prefers-color-scheme: dark)"
      "{.a{fill:green}} .b{fill:red}</style><rect class=\"b\" width=\"1\" height=\"1\"/></svg>");
  EXPECT_NE(swift.find(".fill(Color.red)"), std::string::npos) << swift;
  EXPECT_EQ(swift.find("Color.black"), std::string::npos) << swift;
}

// Small drawings with their hand-written Swift. The folder of a case names its options; the
// root view is named after the drawing.
TEST(Export, GoldenFiles) {
  const std::map<std::string, std::function<void(Config&)>> options = {
      {"default", [](Config&) {}},
      {"plain",
       [](Config& c) {
         c.indentString = "    ";
         c.generateImport = false;
         c.infoComments = false;
         c.generatePreviewProvider = false;
         c.exportHexColorExtension = true;
         c.preferInitOverType = false;
         c.positionUsingPadding = false;
       }},
      {"nostructs",
       [](Config& c) {
         c.infoComments = false;
         c.generatePreviewProvider = false;
         c.modifiersForInlinableFilters = false;
       }},
      {"verbatim",
       [](Config& c) {
         c.verbatimTexts = true;
         c.positionUsingPadding = false;
         c.preferInitOverType = false;
         c.exportHexColorExtension = true;
         c.indentEmptyLines = true;
       }},
  };
  const auto cases = GoldenCases::find(GoldenCases::root("golden-swift"), ".swift");
  EXPECT_FALSE(cases.empty());
  for (const auto& golden : cases) {
    SCOPED_TRACE(golden.label());
    const auto configure = options.find(golden.folder);
    ASSERT_NE(configure, options.end()) << "no options for the folder " << golden.folder;
    const std::string drawing = golden.svg.stem().string();
    Config config;
    config.rootViewName = std::string(1, char(std::toupper(drawing[0]))) + drawing.substr(1);
    configure->second(config);
    const std::string swift = exported(GoldenCases::read(golden.svg), config);
    ASSERT_TRUE(std::filesystem::exists(golden.expected)) << "missing " << golden.expected;
    EXPECT_EQ(swift, GoldenCases::read(golden.expected));
    EXPECT_TRUE(isValidSwift(swift));
    // A drawing given up to the generator is freed before the text is written: same text.
    if (auto svg = SVG::SVG::fromSVGString(GoldenCases::read(golden.svg))) {
      EXPECT_EQ(SVGSwiftUIExporter::export_(std::move(*svg), config), swift);
    }
  }
}

// A model written once is freed as it is written: the instances in the bodies still need the
// names, sizes and texts of the children whose own types are already written.
TEST(Export, ModelFreedWhileWrittenGivesTheSameText) {
  auto svg = SVG::SVG::fromSVGString(
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"20\" height=\"20\">"
      "<g transform=\"translate(1 2)\"><path d=\"M0 0L5 5L0 5Z\"/><g><circle cx=\"3\" cy=\"3\" r=\"2\"/></g></g>"
      "<svg x=\"2\" width=\"8\" height=\"8\" viewBox=\"0 0 4 4\"><path d=\"M1 1h2v2\"/></svg>"
      "<text x=\"1\" y=\"9\">hi</text><path d=\"M0 0C1 1 2 2 3 3\" fill=\"red\"/></svg>");
  ASSERT_TRUE(svg);
  SwiftUIModel::ContainerViewType root = SVGSwiftUIQuarvel::shape(*svg, "Drawing");
  SVGSwiftUIExporter kept(Config{});
  kept.exportSVGType(root);
  SVGSwiftUIExporter released(Config{});
  released.exportSVGTypeReleasing(root);
  EXPECT_EQ(released.swift(), kept.swift());

  ASSERT_EQ(root.childTypes.size(), 4u);
  EXPECT_TRUE(root.childTypes[0].as<SwiftUIModel::Subview::Group>()->value.childTypes.empty());
  EXPECT_TRUE(root.childTypes[1].as<SwiftUIModel::Subview::SVG>()->value.childTypes.empty());
  EXPECT_EQ(root.childTypes[2].as<SwiftUIModel::Subview::Text>()->value.text, "hi");
  EXPECT_TRUE(root.childTypes[3].as<SwiftUIModel::Subview::Path>()->value.shapeType.path.empty());
}
