#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"
#include "SVGParser/SVG/SVG.h"
#include "SVGQuarvel/Model/Generation.h"
#include "SVGQuarvel/Model/SVGQuarvelDocument.h"
#include "SVGQuarvelTests/QuarvelTestSupport.h"

using Config = SVGQuarvelConfiguration;
using Document = SVGQuarvelDocument;
using namespace QuarvelTestSupport;

namespace {

const std::string square =
    "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\"><rect width=\"4\" height=\"4\"/></svg>";

std::string exporterText(const std::string& svg, const Config& config) {
  auto drawing = SVG::SVG::fromSVGString(svg);
  return drawing ? SVGSwiftUIExporter::export_(*drawing, config.asExporterConfig()) : "<no drawing>";
}

/// The comment in front of the code: from the start to the end of the first line holding "*/".
std::string leadingComment(const std::string& code) {
  const auto end = code.find("*/");
  return end == std::string::npos ? code : code.substr(0, code.find('\n', end) + 1);
}

}  // namespace

TEST(PipelineTests, EmptyAndUnparsableTextGiveACommentAndAreLogged) {
  struct Case {
    std::string svg, code;
    bool failed;
    int characters;  // a carriage return and line feed count as one
  };
  for (const Case& c : {Case{"", "// Empty SVG\n", false, 0},
                        Case{" \n\t\r\n\u00A0\u2028 ", "// Empty SVG\n", false, 7},
                        Case{"<svg><rect", "// Could not parse SVG\n", true, 10}}) {
    CapturedConsole console;
    auto result = Document::export_(c.svg, Config());
    EXPECT_EQ(result.code, c.code);
    EXPECT_EQ(result.failed, c.failed);
    EXPECT_EQ(console.out(), "rebuilding SVG ... " + std::to_string(c.characters) + "\nWARN:  Parsing of SVG failed.\n");
  }
}

TEST(PipelineTests, SuccessPutsTheSVGInACommentInFrontOfTheCode) {
  Config noPrefix;
  noPrefix.prefixSVG = false;
  CapturedConsole console;
  auto plain = Document::export_(square, noPrefix);
  EXPECT_FALSE(plain.failed);
  EXPECT_EQ(plain.code, exporterText(square, noPrefix));
  EXPECT_EQ(console.out(), "rebuilding SVG ... " + std::to_string(square.size()) + "\n");

  // Empty lines are left out, lines of blanks stay; CR LF and CR end lines too.
  const std::string lines =
      "<svg xmlns=\"http://www.w3.org/2000/svg\">\r\n\r\n   \n<rect width=\"4\" height=\"4\"/>\n\n</svg>\r";
  auto withComment = Document::export_(lines, Config());
  EXPECT_FALSE(withComment.failed);
  EXPECT_EQ(withComment.code,
            "/**\n"
            " * Generated from SVG:\n"
            " * \n"
            " *     <svg xmlns=\"http://www.w3.org/2000/svg\">\n"
            " *        \n"
            " *     <rect width=\"4\" height=\"4\"/>\n"
            " *     </svg>\n"
            " * \n"
            " */\n" +
                exporterText(lines, Config()));
}

TEST(PipelineTests, SVGTextCannotEndTheCommentOrOpenANestedOne) {
  const std::string hostile =
      "<svg xmlns=\"http://www.w3.org/2000/svg\"><!-- */ struct Injected {} /* -->"
      "<desc>a/*/b **/ c</desc><rect width=\"4\" height=\"4\"/></svg>";
  auto result = Document::export_(hostile, Config());
  ASSERT_FALSE(result.failed);
  const std::string comment = leadingComment(result.code);
  EXPECT_EQ(comment.substr(comment.size() - 5), "\n */\n");  // the first "*/" is the closing line
  EXPECT_EQ(comment.find("/*", 1), std::string::npos);         // nothing opens a nested comment
  EXPECT_NE(comment.find("<!-- *\\/ struct Injected {} /\\* -->"), std::string::npos);
  EXPECT_NE(comment.find("a/\\*\\/b **\\/ c"), std::string::npos);
  EXPECT_EQ(result.code.substr(comment.size()), exporterText(hostile, Config()));
}

TEST(PipelineTests, NewDocumentDrawingWithDefaultSettingsGivesTheCheckedFile) {
  const std::string expected = readFile(QUARVEL_SOURCE_DIR "/Tests/SVGQuarvelTests/golden/new-document.swift");
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(newDocumentSVG.size(), 190u);
  auto result = Document::export_(newDocumentSVG, Config());
  EXPECT_FALSE(result.failed);
  EXPECT_EQ(result.code, expected);
}

TEST(PipelineTests, OutputLimitIsAHundredTimesTheTextAndAtLeast64MiB) {
  EXPECT_EQ(generation::outputLimit(0), std::size_t{64} << 20);
  EXPECT_EQ(generation::outputLimit(600'000), std::size_t{64} << 20);
  EXPECT_EQ(generation::outputLimit(1'000'000), 100'000'000u);
  EXPECT_EQ(generation::outputLimit(SIZE_MAX / 10), SIZE_MAX);
}
