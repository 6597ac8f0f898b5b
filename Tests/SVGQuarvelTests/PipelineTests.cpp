#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"
#include "SVGParser/SVG/SVG.h"
#include "SVGQuarvel/Model/Generation.h"
#include "SVGQuarvel/Model/SVGQuarvelDocument.h"
#include "SVGQuarvelTests/QuarvelTestSupport.h"
#include "SVGConverterTests/SwiftSyntaxSupport.h"

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

  // Empty lines are left out, lines of blanks stay; only a line feed ends a line. A carriage
  // return and a line feed are one character that is not a line feed.
  const std::string lines =
      "<svg xmlns=\"http://www.w3.org/2000/svg\">\r\n\r\n   \n<rect width=\"4\" height=\"4\"/>\n\n</svg>\r";
  auto withComment = Document::export_(lines, Config());
  EXPECT_FALSE(withComment.failed);
  EXPECT_EQ(withComment.code,
            "/**\n"
            " * Generated from SVG:\n"
            " * \n"
            " *     <svg xmlns=\"http://www.w3.org/2000/svg\">\r\n\r\n   \n"
            " *     <rect width=\"4\" height=\"4\"/>\n"
            " *     </svg>\r\n"
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

TEST(PipelineTests, TextWrittenWithCarriageReturnsStaysOneCommentLineAndValidSwift) {
  const std::string crlf = "<svg xmlns=\"http://www.w3.org/2000/svg\">\r\n<rect width=\"4\" height=\"4\"/>\r\n</svg>\r\n";
  auto result = Document::export_(crlf, Config());
  ASSERT_FALSE(result.failed);
  EXPECT_EQ(leadingComment(result.code),
            "/**\n * Generated from SVG:\n * \n *     " + crlf + "\n * \n */\n");
  EXPECT_TRUE(isValidSwift(result.code));

  // Lone carriage returns, and line feeds among them, around text that might end the comment.
  const std::string mixed = "<svg xmlns=\"http://www.w3.org/2000/svg\">\r<!-- *\r/ -->\n\r\n\n\r<rect width=\"4\" "
                            "height=\"4\"/>\r\r\n</svg>";
  result = Document::export_(mixed, Config());
  ASSERT_FALSE(result.failed);
  EXPECT_EQ(leadingComment(result.code),
            "/**\n * Generated from SVG:\n * \n"
            " *     <svg xmlns=\"http://www.w3.org/2000/svg\">\r<!-- *\r/ -->\n"
            " *     \r\n\n"
            " *     \r<rect width=\"4\" height=\"4\"/>\r\r\n</svg>\n"
            " * \n */\n");
  EXPECT_TRUE(isValidSwift(result.code));
}

TEST(PipelineTests, BidirectionalControlsAreWrittenAsEscapes) {
  // Every embedding, override and isolate control, in the text, its font name and the comment.
  const std::string controls = "\u202A\u202B\u202C\u202D\u202E\u2066\u2067\u2068\u2069";
  const std::string escapes = "\\u{202A}\\u{202B}\\u{202C}\\u{202D}\\u{202E}\\u{2066}\\u{2067}\\u{2068}\\u{2069}";
  const std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\"><style>.t { font-family: 'F" + controls +
                          "' }</style><text class=\"t\">a" + controls + "b \u200F\u05D0</text></svg>";
  auto result = Document::export_(svg, Config());
  ASSERT_FALSE(result.failed);
  for (char32_t control = 0x202A; control <= 0x2069; ++control) {
    if (control == 0x202F) control = 0x2066;
    std::string utf8 = {char(0xE2), char(0x80 | (control >> 6 & 0x3F)), char(0x80 | (control & 0x3F))};
    EXPECT_EQ(result.code.find(utf8), std::string::npos) << std::hex << unsigned(control);
  }
  const std::string comment = leadingComment(result.code);
  EXPECT_NE(comment.find("font-family: 'F" + escapes + "' }"), std::string::npos) << comment;
  EXPECT_NE(comment.find(">a" + escapes + "b \u200F\u05D0<"), std::string::npos) << comment;
  const std::string code = result.code.substr(comment.size());
  EXPECT_NE(code.find("Text(\"a" + escapes + "b \u200F\u05D0\")"), std::string::npos) << code;
  EXPECT_NE(code.find(".custom(\"F" + escapes + "\", size: "), std::string::npos) << code;
  EXPECT_TRUE(isValidSwift(result.code));
}

TEST(PipelineTests, NewDocumentDrawingWithDefaultSettingsGivesTheCheckedFile) {
  const std::string expected = readFile(QUARVEL_SOURCE_DIR "/Tests/SVGQuarvelTests/golden/new-document.swift");
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(newDocumentSVG.size(), 190u);
  auto result = Document::export_(newDocumentSVG, Config());
  EXPECT_FALSE(result.failed);
  EXPECT_EQ(result.code, expected);
}

/// A small drawing with much code: groups 250 levels deep, each of whose lines the settings
/// indent by 32 blanks a level, so that every group there gives over 40 KB of indentation.
std::string deeplyIndented(int groups) {
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\">";
  for (int i = 0; i < 250; ++i) svg += "<g>";
  for (int i = 0; i < groups; ++i) svg += "<g/>";
  for (int i = 0; i < 250; ++i) svg += "</g>";
  return svg + "</svg>";
}

Config widelyIndented() {
  Config config;
  config.indent = Config::maximumIndent;
  return config;
}

TEST(PipelineTests, ADocumentsSwiftIsBoundedAsTheDocumentReaderBoundsIt) {
  EXPECT_EQ(Document::maximumGeneratedSwiftBytes(0), std::size_t{64} << 20);
  EXPECT_EQ(Document::maximumGeneratedSwiftBytes(1'000'000), 100'000'000u);
  EXPECT_EQ(Document::maximumGeneratedSwiftBytes(Document::maximumOpenedSVGBytes), Document::maximumOpenedSwiftBytes);

  // Within the bound the code is made as ever; past it a comment says why there is none.
  const std::string small = deeplyIndented(10), large = deeplyIndented(3000);
  ASSERT_LT(large.size(), 20'000u);
  auto fits = Document::export_(small, widelyIndented());
  EXPECT_FALSE(fits.failed);
  EXPECT_GT(fits.code.size(), 400'000u);
  EXPECT_TRUE(isValidSwift(fits.code));

  CapturedConsole console;
  auto refused = Document::export_(large, widelyIndented());
  const std::string message =
      "The drawing is too large to open: its Swift code would have more than 64 MB (67108864 bytes); documents "
      "of at most 160 MB (167772160 bytes) of Swift text open.";
  EXPECT_EQ(refused.code, "// " + message + "\n");
  EXPECT_TRUE(refused.failed);
  EXPECT_NE(console.err().find(message), std::string::npos) << console.err();

  // Text past the largest drawing that opens (typed or pasted into the editor) is not converted:
  // the comment says how large it is; a drawing at the bound is converted.
  const std::string pasted = "<svg xmlns=\"http://www.w3.org/2000/svg\"/>" +
                             std::string(Document::maximumOpenedSVGBytes - 41, ' ');
  ASSERT_EQ(pasted.size(), Document::maximumOpenedSVGBytes);
  EXPECT_FALSE(Document::export_(pasted, Config()).failed);
  auto tooLarge = Document::export_(pasted + " ", Config());
  EXPECT_EQ(tooLarge.code, "// " + Document::tooLargeToOpenMessage(std::nullopt, pasted.size() + 1) + "\n");
  EXPECT_TRUE(tooLarge.failed);
  EXPECT_NE(tooLarge.code.find("it has 16.0 MB (16777217 bytes)"), std::string::npos) << tooLarge.code;

  // A drawing that would open as a document with such code is refused with that message, named as
  // names show in messages (a directional override as U+FFFD).
  try {
    Document::Snapshot::fromSVGString(large, "deep\u202E.svg", widelyIndented());
    ADD_FAILURE() << "no refusal";
  } catch (const CocoaError& error) {
    EXPECT_EQ(error.code(), CocoaError::fileReadTooLarge);
    EXPECT_EQ(error.localizedDescription(),
              "The drawing \u201Cdeep\uFFFD.svg\u201D" + message.substr(std::string("The drawing").size()));
  }
  EXPECT_EQ(Document::Snapshot::fromSVGString(small, "deep.svg", widelyIndented()).swift, fits.code.substr(fits.code.find(" */\n") + 4));
  // A name that does not parse stays on its comment line, its order as stored.
  EXPECT_EQ(Document::Snapshot::fromSVGString("<svg", "a\u202Eb\nc.svg", Config()).swift,
            "// Could not parse SVG a\\u{202E}b c.svg\n");
}

TEST(PipelineTests, OutputLimitIsAHundredTimesTheTextAndAtLeast64MiB) {
  EXPECT_EQ(generation::outputLimit(0), std::size_t{64} << 20);
  EXPECT_EQ(generation::outputLimit(600'000), std::size_t{64} << 20);
  EXPECT_EQ(generation::outputLimit(1'000'000), 100'000'000u);
  EXPECT_EQ(generation::outputLimit(SIZE_MAX / 10), SIZE_MAX);
}
