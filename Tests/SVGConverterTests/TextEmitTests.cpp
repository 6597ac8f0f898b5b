#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

#include "SwiftSyntaxSupport.h"

#include <gtest/gtest.h>

using CSS::Font;
using CSS::UnitLength;
using SwiftUIModel::Paint;

namespace {

std::string text(const SwiftUIModel::Text& model, SVGSwiftUIExporter::Config config = {}) {
  SVGSwiftUIExporter exporter(config);
  exporter.exportTextBuilder(model);
  return exporter.swift();
}

std::string font(const Font& model, SVGSwiftUIExporter::Config config = {}) {
  SVGSwiftUIExporter exporter(config);
  exporter.exportModifierForFont(model);
  return exporter.swift();
}

Font sized(Font::Family family, Font::Weight weight, CGFloat points, Font::Style style = Font::Style::normal) {
  return Font(std::move(family), style, std::move(weight), UnitLength::point(points));
}

Font sizeless(Font::Family family, Font::Weight weight, Font::Style style = Font::Style::normal) {
  return Font(std::move(family), style, std::move(weight), std::nullopt);
}

const std::string placement =
    "  .alignmentGuide(.bottom) { $0[.firstTextBaseline] }\n"
    "  .frame(width: .infinity, height: 20, alignment: .bottom)\n";

}  // namespace

TEST(TextEmit, StringLiteralsAlwaysCompile) {
  EXPECT_EQ(SVGSwiftUIExporter::escapedStringLiteralContent("a\\b\n\"c\"\r\td"), "a\\\\b\\n\\\"c\\\"\\r\\td");
  // Other control characters, DEL and malformed UTF-8 are spelled out;
  // well-formed UTF-8 and interpolation-like text stay as they are.
  EXPECT_EQ(SVGSwiftUIExporter::escapedStringLiteralContent(std::string("\x01\x1b\x7f\0z", 5)),
            "\\u{1}\\u{1B}\\u{7F}\\u{0}z");
  EXPECT_EQ(SVGSwiftUIExporter::escapedStringLiteralContent("\xff\xc3(\xe2\x82"), "\\u{FFFD}\\u{FFFD}(\\u{FFFD}\\u{FFFD}");
  EXPECT_EQ(SVGSwiftUIExporter::escapedStringLiteralContent("caf\xc3\xa9 \xf0\x9f\x98\x80 \\(x)"),
            "caf\xc3\xa9 \xf0\x9f\x98\x80 \\\\(x)");

  const std::string hostile = "\\\n\"\r\t\x07\x7f\\(1) \xed\xa0\x80";
  SwiftUIModel::Text model{{0, 20}, Font(Font::Family::named(hostile), Font::Style::normal, Font::Weight::normal(),
                                         std::nullopt),
                           Paint::property("Root.gradient1"), hostile};
  SVGSwiftUIExporter::Config verbatim;
  verbatim.verbatimTexts = true;
  for (const auto& config : {SVGSwiftUIExporter::Config{}, verbatim}) {
    const std::string swift = text(model, config);
    EXPECT_EQ(swift.find('\t'), std::string::npos);
    EXPECT_TRUE(isValidSwift("let view = " + swift));
  }
}

TEST(TextEmit, PaintsAndPlacement) {
  EXPECT_EQ(text({{10, 20}, std::nullopt, Paint::opacity(0.5), "Hi"}),
            "Text(\"Hi\")\n  .opacity(0.5)\n  .padding(.leading, 10)\n" + placement);
  // A gradient shows through the glyphs: the mask repeats the expression.
  SVGSwiftUIExporter::Config options;
  options.verbatimTexts = true;
  options.positionUsingPadding = false;
  EXPECT_EQ(text({{-3, 20}, std::nullopt, Paint::property("Root.linearGradient1"), "a\"b"}, options),
            "Text(verbatim: \"a\\\"b\")\n"
            "  .foregroundColor(.clear)\n"
            "  .background(Root.linearGradient1.mask(Text(verbatim: \"a\\\"b\")))\n"
            "  .offset(x: -3, y: 0)\n" +
                placement);
}

TEST(TextEmit, Fonts) {
  EXPECT_EQ(font(sized(Font::Family::sansSerif(), Font::Weight::bold(), 14)),
            ".font(.system(size: 14, weight: .bold))\n");
  EXPECT_EQ(font(sized(Font::Family::cursive(), Font::Weight::value(800), 12, Font::Style::italic)),
            ".font(.custom(\"Snell Roundhand\", size: 12).italic().weight(.heavy))\n");
  // A size without points (a percentage) falls back to the sizeless form.
  EXPECT_EQ(font(Font(Font::Family::fantasy(), Font::Style::normal, Font::Weight::normal(), UnitLength::percentage(50))),
            ".font(.system(.body))\n");
  EXPECT_EQ(font(Font::smallCaption()), ".font(.caption) // small-caps\n");
  const std::pair<int, const char*> thresholds[] = {
      {199, ".ultraLight"}, {200, ".thin"}, {399, ".light"}, {450, ".regular"}, {799, ".bold"}, {800, ".heavy"}};
  for (const auto& [weight, name] : thresholds) {
    EXPECT_EQ(font(sizeless(Font::Family::monospace(), Font::Weight::value(weight))),
              ".font(.system(.body, design: .monospaced).weight(" + std::string(name) + "))\n")
        << weight;
  }
}
