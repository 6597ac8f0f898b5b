// The preview page and the rewrite of the root tag's size.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "QuarvelUtilities/SVGWebViewContent.h"

namespace {

using QuarvelUtilities::SVGWebViewContent::aspectRatio;
using QuarvelUtilities::SVGWebViewContent::html;
using QuarvelUtilities::SVGWebViewContent::rewriteSVGSize;

TEST(SVGWebViewContent, PageWrapsTheRewrittenSVG) {
  EXPECT_EQ(html("<svg width=\"24\" height=\"24\"><rect/></svg>"),
            "<html><head>\n<style>\n  div { width: 100%; height: 100%; }\n</style>\n</head><body><div>"
            "<svg height=\"100%\" viewBox=\"0 0 24 24\" width=\"100%\"><rect/></svg>"
            "</div></body></html>");
  EXPECT_EQ(html("no drawing"),
            "<html><head>\n<style>\n  div { width: 100%; height: 100%; }\n</style>\n</head><body><div>"
            "no drawing</div></body></html>");
}

TEST(SVGWebViewContent, SynthesisesViewBoxOnlyFromPlainNumbers) {
  struct Case {
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      // Width and height become the view box, x and y its origin.
      {"<svg width=\"120\" height=\"240\">", "<svg height=\"100%\" viewBox=\"0 0 120 240\" width=\"100%\">"},
      {"<svg x=\"5\" y=\"-2.5\" width=\"1e2\" height=\"8\">",
       "<svg height=\"100%\" viewBox=\"5 -2.5 1e2 8\" width=\"100%\">"},
      // A "px" suffix names user units: it is dropped.
      {"<svg width=\"24px\" height=\" 32px \">", "<svg height=\"100%\" viewBox=\"0 0 24 32\" width=\"100%\">"},
      // Missing, percentage, other units, negative or words: no view box at all.
      {"<svg height=\"50\">", "<svg height=\"100%\" width=\"100%\">"},
      {"<svg width=\"50%\" height=\"20\">", "<svg height=\"100%\" width=\"100%\">"},
      {"<svg width=\"10cm\" height=\"20mm\">", "<svg height=\"100%\" width=\"100%\">"},
      {"<svg width=\"-10\" height=\"20\">", "<svg height=\"100%\" width=\"100%\">"},
      {"<svg width=\"inf\" height=\"nan\">", "<svg height=\"100%\" width=\"100%\">"},
      {"<svg width=\"px\" height=\"+-3\">", "<svg height=\"100%\" width=\"100%\">"},
      {"<svg x=\"1em\" width=\"10\" height=\"20\">", "<svg height=\"100%\" width=\"100%\">"},
      // An existing view box stays; x and y go, width and height fill.
      {"<svg viewBox=\"0 0 10 10\" x=\"3\" y=\"4\" width=\"200\">",
       "<svg height=\"100%\" viewBox=\"0 0 10 10\" width=\"100%\">"},
      // Neither width nor height: only the fill size is added.
      {"<svg xmlns=\"http://www.w3.org/2000/svg\">",
       "<svg height=\"100%\" width=\"100%\" xmlns=\"http://www.w3.org/2000/svg\">"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(rewriteSVGSize(std::string(c.in) + "<g/></svg>"), std::string(c.out) + "<g/></svg>") << c.in;
  }
}

TEST(SVGWebViewContent, LeavesUnreadableTagsAlone) {
  for (const char* text : {
           "no svg here",                      // no tag
           "<svg width=\"1\"",                 // no closing ">"
           "<svg width=\"10\" height=\"5\"/>",  // self-closing: the probe does not parse
           "<svg width=\"10\" height>",        // malformed
           "<svg>",                            // no attributes
           "<svg width=\"a>b\" height=\"3\">",  // a ">" inside a value cuts the tag short
       }) {
    EXPECT_EQ(rewriteSVGSize(text), text);
  }
  // A tag already filling its container (sorted as rendered) is left as it is.
  const std::string filled = "<svg height=\"100%\" width=\"100%\"><circle r=\"1\"/></svg>";
  EXPECT_EQ(rewriteSVGSize(filled), filled);
}

TEST(SVGWebViewContent, KeepsTheRestOfTheTextAndEscapesValues) {
  EXPECT_EQ(rewriteSVGSize("<?xml version=\"1.0\"?>\n<svg id=\"a&amp;&lt;&gt;&apos;&quot;\" width=\"2\" height=\"3\">"
                           "<text>&lt;svg</text></svg>"),
            "<?xml version=\"1.0\"?>\n<svg height=\"100%\" id=\"a&amp;&lt;&gt;&apos;&quot;\" viewBox=\"0 0 2 3\" "
            "width=\"100%\"><text>&lt;svg</text></svg>");
  // Namespace prefixes are kept as written.
  EXPECT_EQ(rewriteSVGSize("<svg xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"4\" height=\"4\"></svg>"),
            "<svg height=\"100%\" viewBox=\"0 0 4 4\" width=\"100%\" "
            "xmlns:xlink=\"http://www.w3.org/1999/xlink\"></svg>");
}

TEST(SVGWebViewContent, AspectRatioIsThatOfTheShownViewBox) {
  struct Case {
    const char* tag;
    std::optional<double> ratio;
  };
  const Case cases[] = {
      {"<svg viewBox=\"0 0 100 100\">", 1.0},
      {"<svg viewBox=\"-5,2 300,100\" width=\"10\" height=\"90\">", 3.0},  // the view box wins
      {"<svg viewBox=\" 0 0\t24\n48 \">", 0.5},
      {"<svg width=\"120px\" height=\"240\">", 0.5},  // the view box the rewrite makes
      {"<svg x=\"3\" width=\"1e2\" height=\"25\">", 4.0},
      // Nothing the page could take a shape from.
      {"<svg height=\"50\">", std::nullopt},
      {"<svg width=\"50%\" height=\"20\">", std::nullopt},
      {"<svg x=\"1em\" width=\"10\" height=\"20\">", std::nullopt},
      {"<svg viewBox=\"0 0 0 10\">", std::nullopt},
      {"<svg viewBox=\"0 0 10 -10\">", std::nullopt},
      {"<svg viewBox=\"0 0 10\">", std::nullopt},
      {"<svg viewBox=\"0 0 10 10 10\">", std::nullopt},
      {"<svg viewBox=\"0 0 1e308 1e-308\">", std::nullopt},  // overflows
      {"<svg viewBox=\"0 0 1e999 1\">", std::nullopt},
      {"<svg viewBox=\"0 0 nan 1\">", std::nullopt},
      {"<svg xmlns=\"http://www.w3.org/2000/svg\">", std::nullopt},
  };
  for (const auto& c : cases) {
    const auto ratio = aspectRatio(std::string(c.tag) + "<g/></svg>");
    ASSERT_EQ(ratio.has_value(), c.ratio.has_value()) << c.tag;
    if (ratio) {
      EXPECT_DOUBLE_EQ(*ratio, *c.ratio) << c.tag;
    }
  }
  for (const char* text : {"no svg here", "<svg width=\"1\"", "<svg width=\"10\" height=\"5\"/>", "<svg>"}) {
    EXPECT_EQ(aspectRatio(text), std::nullopt) << text;
  }
}

}  // namespace
