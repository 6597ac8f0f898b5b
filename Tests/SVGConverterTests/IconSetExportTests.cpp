// Every icon of a real icon set through parser, converter and emitter, under
// two rather different sets of options: each file must parse as Swift.

#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"
#include "Platform/Print.h"

#include "SwiftSyntaxSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

using Config = SVGSwiftUIExporter::Config;

// Every icon goes through the default options, every fourth through the
// unusual ones; the sanitizer build is many times slower and checks a sample.
#if defined(__SANITIZE_ADDRESS__)
constexpr std::size_t defaultStride = 8;
#else
constexpr std::size_t defaultStride = 1;
#endif
constexpr std::size_t unusualStride = 4 * defaultStride;

Config unusualConfig() {
  Config config;
  config.rootViewName = "Icon";
  config.indentString = "\t";
  config.shapeTypePrefix = "";
  config.pathMethodPrefix = "\n\n";
  config.infoComments = false;
  config.generatePreviewProvider = true;
  config.exportHexColorExtension = true;
  config.generateImport = false;
  config.newlineAfterClosePath = false;
  config.frameAsProperty = false;
  config.assumeDefaultStrokeStyle = true;
  config.indentEmptyLines = true;
  config.preferInitOverType = false;
  config.positionUsingPadding = false;
  config.preferMultilineConstants = true;
  config.modifiersForInlinableFilters = false;
  config.inlineFiltersIfPossible = false;
  config.useThousandsSeparator = false;
  config.maximumFractionDigits = 0;
  config.verbatimTexts = true;
  config.modifierSectionComment = std::nullopt;
  config.nestedViewsSectionComment = std::nullopt;
  return config;
}

std::string readFile(const std::filesystem::path& path) {
  std::ifstream stream(path, std::ios::binary);
  std::stringstream bytes;
  bytes << stream.rdbuf();
  return bytes.str();
}

// The Swift text of a drawing, or nothing with the parser's diagnostics.
std::optional<std::string> exported(const std::string& svgText, const Config& config, std::string& diagnostics) {
  SVGParser::PrintCapture capture;
  auto svg = SVG::SVG::fromSVGString(svgText);
  diagnostics = capture.text();
  if (!svg) return std::nullopt;
  return SVGSwiftUIExporter::export_(*svg, config);
}

// Success when the export of `svgText` parses as Swift; otherwise the place and
// line of the first problem (the whole text only on request, it can be long).
::testing::AssertionResult exportsValidSwift(const std::string& name, const std::string& svgText,
                                             const Config& config) {
  std::string diagnostics;
  const auto output = exported(svgText, config, diagnostics);
  if (!output) return ::testing::AssertionFailure() << name << ": does not parse: " << diagnostics;
  const std::string& swift = *output;
#if defined(QUARVEL_HAVE_SWIFT_SYNTAX_CHECK)
  if (auto problem = SwiftSyntaxCheck::firstSyntaxProblem(swift)) {
    return ::testing::AssertionFailure() << name << ":" << problem->description() << "\n  "
                                         << SwiftSyntaxCheck::sourceLine(swift, problem->line);
  }
#else
  (void)swift;
#endif
  return ::testing::AssertionSuccess();
}

}  // namespace

TEST(IconSetExport, EveryIconGivesSwiftUnderTwoConfigs) {
  SKIP_WITHOUT_SWIFT_SYNTAX_CHECK();
  const std::filesystem::path folder =
      std::filesystem::path(QUARVEL_TEST_DATA_DIR) / "bootstrap-icons-1.11.3" / "icons";
  if (!std::filesystem::is_directory(folder)) GTEST_SKIP() << "icon set missing: " << folder;
  std::vector<std::filesystem::path> icons;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() == ".svg") icons.push_back(entry.path());
  }
  ASSERT_GE(icons.size(), 2000u);
  std::sort(icons.begin(), icons.end());

  const Config unusual = unusualConfig();
  std::size_t failures = 0;
  for (std::size_t index = 0; index < icons.size() && failures < 10; index += defaultStride) {
    const std::string name = icons[index].filename().string();
    const std::string text = readFile(icons[index]);
    auto result = exportsValidSwift(name, text, Config{});
    EXPECT_TRUE(result);
    failures += !result;
    if (index % unusualStride == 0) {
      result = exportsValidSwift(name + " (unusual options)", text, unusual);
      EXPECT_TRUE(result);
      failures += !result;
    }
  }
}

namespace {

std::string drawing(const std::string& body, const std::string& rootAttributes = "width=\"20\" height=\"20\"") {
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" " + rootAttributes + ">" + body + "</svg>";
}

std::string repeated(const std::string& text, int count) {
  std::string all;
  for (int i = 0; i < count; ++i) all += text;
  return all;
}

struct Hostile {
  const char* name;
  std::string svg;
};

std::vector<Hostile> hostileDrawings() {
  std::vector<Hostile> drawings = {
      {"odd ids",
       drawing("<g id=\"1 2\"><circle id=\"é-ß\" r=\"1\"/><rect id=\"class\" width=\"1\" height=\"1\"/>"
               "<path id=\"a`b\" d=\"M0 0L1 1\"/><ellipse id=\"&quot;&apos;\\\" rx=\"1\" ry=\"2\"/>"
               "<g id=\"__\"><g id=\"Self\"><g id=\"Type\"><circle id=\"protocol\" r=\"2\"/></g></g></g>"
               "<circle id=\"😀\" r=\"1\"/><circle id=\"_\" r=\"1\"/><circle id=\"0\" r=\"1\"/></g>")},
      {"empty elements",
       drawing("<g/><path/><path d=\"\"/><rect/><circle/><ellipse/><text/><text></text><defs/>"
               "<linearGradient/><filter/><g><g/></g><svg/>")},
      {"extreme numbers",
       drawing("<rect x=\"1e308\" y=\"-1e308\" width=\"1e-320\" height=\"3.4e38\"/>"
               "<circle cx=\"NaN\" cy=\"inf\" r=\"-Infinity\"/><circle r=\"1e400\"/>"
               "<ellipse rx=\"0.00000000001\" ry=\"123456789012345678901234567890\"/>"
               "<path d=\"M1e308 1e308 L-1e308 -1e308 C1e-300 2 3 4 5 6 A1e308 1e308 45 1 1 0 0z\"/>"
               "<rect width=\"10\" height=\"10\" transform=\"scale(1e308) rotate(1e300) translate(NaN 2)\"/>"
               "<rect width=\"10\" height=\"10\" opacity=\"1e300\" fill-opacity=\"-5\" stroke=\"red\" "
               "stroke-width=\"1e308\" stroke-miterlimit=\"-1\" stroke-dasharray=\"1e308 0 -1\"/>",
               "width=\"1e308\" height=\"-4\" viewBox=\"0 0 1e-310 NaN\"")},
      {"text with quotes, backslashes, newlines and emoji",
       drawing("<text x=\"1\" y=\"2\">say \"hi\" \\o/ \\(x) \\u{41}</text>"
               "<text>line one\nline two\r\n\ttabbed</text><text>😀👨‍👩‍👧 ok</text>"
               "<text>&#x7F;&#x2028;&#x85;</text><text>\"\"\"</text><text>#\"raw\"#</text>"
               "<text style=\"font-family: 'We\\&quot;ird', &quot;x\\y&quot;; font-size: 1e308px\">f</text>"
               "<text style=\"font: bold 12px a\\&quot;b\">g</text><text font-family=\"&quot;\\&quot;\">h</text>")},
      {"missing references",
       drawing("<rect width=\"2\" height=\"2\" fill=\"url(#nope)\" stroke=\"url(#gone) red\" filter=\"url(#none)\"/>"
               "<g filter=\"url(#)\" clip-path=\"url(#x)\" mask=\"url(#y)\"><circle r=\"1\" fill=\"url()\"/></g>"
               "<linearGradient id=\"a\" href=\"#missing\"/><radialGradient id=\"b\" xlink:href=\"#b\"/>"
               "<circle r=\"2\" fill=\"url(#a)\"/><circle r=\"2\" fill=\"url(#b)\"/>"
               "<filter id=\"f\"><feMerge><feMergeNode in=\"nothing\"/></feMerge>"
               "<feBlend in=\"x\" in2=\"y\" mode=\"bogus\"/><feOffset in=\"z\"/></filter>"
               "<rect width=\"1\" height=\"1\" filter=\"url(#f)\"/>"
               "<use href=\"#a\"/>")},
      {"gradient odd stops",
       drawing("<defs><linearGradient id=\"g\" x1=\"NaN\" x2=\"1e308\" gradientTransform=\"matrix(0 0 0 0 0 0)\">"
               "<stop offset=\"2\" stop-color=\"#abc\"/><stop offset=\"-1\" stop-color=\"bogus\" stop-opacity=\"9\"/>"
               "<stop/></linearGradient><radialGradient id=\"r\" r=\"-1\" fx=\"1e308\"/>"
               "<linearGradient id=\"1-bad id\"><stop stop-color=\"red\"/></linearGradient></defs>"
               "<rect width=\"5\" height=\"5\" fill=\"url(#g)\" stroke=\"url(#r)\"/>"
               "<rect width=\"5\" height=\"5\" fill=\"url(#1-bad id)\"/>")},
      {"filters odd values",
       drawing("<filter id=\"f\" x=\"NaN\" width=\"1e308\"><feGaussianBlur stdDeviation=\"1e308 -3\"/>"
               "<feOffset dx=\"NaN\" dy=\"1e-320\"/><feDropShadow dx=\"1\" dy=\"2\" stdDeviation=\"-1\" "
               "flood-color=\"url(#x)\" flood-opacity=\"2\"/><feBlend mode=\"luminosity\" in2=\"BackgroundImage\"/>"
               "<feColorMatrix/><feTurbulence/></filter><g filter=\"url(#f)\"><rect width=\"1\" height=\"1\"/></g>"
               "<filter id=\"\"/><circle r=\"1\" filter=\"url(#)\"/>")},
  };
  // Just under the nesting limit.
  drawings.push_back({"deep nesting", drawing(repeated("<g>", 250) + "<circle r=\"1\"/>" + repeated("</g>", 250))});
  drawings.push_back({"deep nesting with transforms",
                      drawing(repeated("<g transform=\"translate(1 1)\" opacity=\"0.9\">", 200) + "<rect width=\"1\" height=\"1\"/>" +
                              repeated("</g>", 200))});
  drawings.push_back({"deep nested svgs", drawing(repeated("<svg x=\"1\" width=\"5\" height=\"5\">", 120) + "<circle r=\"1\"/>" +
                                                  repeated("</svg>", 120))});
  // Many children: groups of nine, groups of groups.
  drawings.push_back({"many children", drawing(repeated("<circle r=\"1\"/>", 100) + repeated("<g><rect width=\"1\" height=\"1\"/></g>", 90))});
  drawings.push_back({"many texts and paths", drawing(repeated("<text>t</text><path d=\"M0 0h1\"/>", 50))});
  drawings.push_back({"many gradients", drawing(repeated("<linearGradient id=\"g\"><stop stop-color=\"red\"/></linearGradient>"
                                                         "<rect width=\"1\" height=\"1\" fill=\"url(#g)\"/>", 30))});
  drawings.push_back({"a thousand children", drawing(repeated("<rect width=\"1\" height=\"1\"/><text>a</text>", 500))});
  // Each blend of the previous result with itself doubles the written graph.
  drawings.push_back({"blends of blends",
                      drawing("<filter id=\"f\">" + repeated("<feBlend mode=\"screen\"/><feOffset dx=\"1\"/>", 16) +
                              "</filter><circle r=\"2\" filter=\"url(#f)\"/>")});
  drawings.push_back(
      {"most constructs at once",
       drawing("<style>.a { fill: rgba(10%, 20%, 30%, 0.5); stroke: hsl(120, 50%, 50%) } #b { fill: currentColor }"
               " circle { stroke-dasharray: 1, 2 ,3; stroke-linecap: round }</style>"
               "<filter id=\"f1\" x=\"-10%\" width=\"120%\"><feDropShadow dx=\"2\" stdDeviation=\"3\" "
               "flood-color=\"#123456\" flood-opacity=\"0.3\"/></filter>"
               "<filter id=\"f2\"><feGaussianBlur in=\"SourceAlpha\" stdDeviation=\"2\" result=\"b\"/>"
               "<feOffset in=\"b\" dx=\"1\" result=\"o\"/><feBlend in=\"SourceGraphic\" in2=\"o\" mode=\"multiply\" "
               "result=\"m\"/><feMerge><feMergeNode in=\"m\"/><feMergeNode in=\"o\"/><feMergeNode/></feMerge></filter>"
               "<linearGradient id=\"lg\" gradientUnits=\"userSpaceOnUse\" x2=\"60\" y2=\"40\"><stop offset=\"0%\" "
               "stop-color=\"#f00\" stop-opacity=\"0.2\"/><stop offset=\"30%\" style=\"stop-color: #0f08\"/>"
               "<stop offset=\"100%\" stop-color=\"gold\"/></linearGradient>"
               "<radialGradient id=\"rg\" href=\"#lg\" fx=\"0.2\" gradientTransform=\"rotate(30)\"/>"
               "<g class=\"a\" filter=\"url(#f1)\"><circle cx=\"5\" r=\"4\"/><rect id=\"b\" width=\"5\" height=\"5\" "
               "rx=\"1\"/></g><g filter=\"url(#f2)\" opacity=\"0.5\" transform=\"matrix(1 0.2 0.3 1 4 5) skewX(10)\">"
               "<ellipse rx=\"5\" ry=\"3\" fill=\"url(#lg)\" stroke=\"url(#rg)\"/></g>"
               "<path d=\"M0 0Q5 5 10 0T20 0S30 10 40 0H50V10h-5v-5a5 5 0 0 1 5 5Zm1 1c1 1 2 2 3 3s1 1 2 2q1 1 2 2t3 3z\" "
               "fill-rule=\"evenodd\"/><polygon points=\"1,2 3,4 5,6\"/><line x2=\"10\" y2=\"10\" stroke=\"navy\"/>"
               "<svg x=\"30\" width=\"20\" height=\"20\" viewBox=\"0 0 10 10\"><circle r=\"5\" fill=\"#abcdef80\"/></svg>"
               "<text x=\"5\" y=\"35\" font-family=\"Helvetica Neue, serif\" font-weight=\"900\" font-style=\"oblique\" "
               "font-size=\"2em\" fill=\"url(#lg)\">Hi<tspan fill=\"blue\">there</tspan></text>",
               "width=\"60\" height=\"40\" viewBox=\"-5 -5 70 50\"")});
  return drawings;
}

}  // namespace

TEST(IconSetExport, HostileDrawingsGiveSwift) {
  SKIP_WITHOUT_SWIFT_SYNTAX_CHECK();
  Config extreme = unusualConfig();
  extreme.indentString = "";
  extreme.maximumFractionDigits = 400;
  const Config configs[] = {Config{}, unusualConfig(), extreme};
  for (const Hostile& hostile : hostileDrawings()) {
    for (const Config& config : configs) EXPECT_TRUE(exportsValidSwift(hostile.name, hostile.svg, config));
  }
}
