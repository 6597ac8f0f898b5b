#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "SVGParser/CSS/Color.h"
#include "SVGParser/CSS/HexColor.h"
#include "SVGParser/CSS/Parser/CSSValue.h"
#include "SVGParser/CSS/UnitLength.h"
#include "SVGParser/Parser/LengthParser.h"
#include "Platform/Print.h"
#include "SVGParser/SVG/Paint.h"

using CSS::Color;
using CSS::UnitLength;
using SVG::Paint;
using Lines = std::vector<std::string>;
using V = CSS::Value;

namespace {

std::optional<Color> color(const char* text) { return Color::fromStringValue(std::string_view(text)); }
std::optional<Paint> paint(const char* text) { return Paint::fromStringValue(std::string_view(text)); }

}  // namespace

TEST(ColorParse, KeywordsHexAndFunctions) {
  const std::pair<const char*, Color> table[] = {
      {"#F00", Color::rgb(1, 0, 0)},
      {" Red\n", Color::named("red")},
      {"currentColor", Color::named("currentcolor")},
      {"#ff000080", Color::rgba(1, 0, 0, 128.0 / 255)},
      {"#ff0000ff", Color::rgb(1, 0, 0)},
      {"RGB(255, 128, 0, 9)", Color::rgb(1, 128.0 / 255, 0)},
      {"rgb(300, -5, +0)", Color::rgb(300.0 / 255, -5.0 / 255, 0)},
      {"transparent", Color::rgba(0, 0, 0, 0)},
  };
  for (const auto& [text, expected] : table) EXPECT_EQ(color(text), expected) << text;
  for (const char* text : {"none", "", "#ff00", "#", "#12345g", "rgb(1,2)", "rgba(1,2,3)",
                           "hsl(0,100%,50%)", "rgb(0.5,0,0)"}) {
    EXPECT_FALSE(color(text)) << text;
  }
  EXPECT_EQ(CSS::rgbFromHex(std::string_view("#0a0B0c")), (CSS::RGBBytes{10, 11, 12}));
  EXPECT_FALSE(CSS::rgbFromHex(std::string_view("#abc")));
}

// rgb() takes percentages; the alpha of rgba() is a number 0...1 or a percentage, clamped.
TEST(ColorParse, PercentagesAndAlpha) {
  EXPECT_EQ(color("rgb(100%, 255, 50%)"), Color::rgb(1, 1, 0.5));
  EXPECT_EQ(color("rgba(255,0,0,0.5)"), Color::rgba(1, 0, 0, 0.5));
  EXPECT_EQ(color("rgba(255,0,0,25%)"), Color::rgba(1, 0, 0, 0.25));
  EXPECT_EQ(color("rgba(255,0,0,128)"), Color::rgba(1, 0, 0, 1));
  EXPECT_EQ(color("rgba(255,0,0,-1)"), Color::rgba(1, 0, 0, 0));
  EXPECT_EQ(color("rgba(255,0,0, )"), Color::rgb(1, 0, 0));
  EXPECT_FALSE(color("rgba(255,0,0,half)"));
  EXPECT_EQ(Color::fromStringRed("ff", "80", "0", std::nullopt, 16), Color::rgb(1, 128.0 / 255, 0));
  EXPECT_FALSE(Color::fromStringRed("99999999999999999999", "0", "0", std::nullopt));
}

// A word that names no colour gives no colour and one report, never a keyword outside
// the table; style sheet colours go through the same reader.
TEST(ColorParse, UnknownWordsAndStyleSheetValues) {
  SVGParser::PrintCapture capture;
  EXPECT_FALSE(color("foo"));
  EXPECT_FALSE(color("inherit"));
  EXPECT_FALSE(Color::fromCSS(V::id("dark red")));
  EXPECT_EQ(capture.lines(),
            (Lines{"ERROR: unknown color name: 'foo'", "ERROR: unknown color name: 'dark red'"}));
  EXPECT_EQ(Color::fromCSS(V::id("#fff")), Color::rgb(1, 1, 1));
  EXPECT_EQ(Color::fromCSS(V::function("RGBA", {"0", "0", "255", "50%"})), Color::rgba(0, 0, 1, 0.5));
  EXPECT_FALSE(Color::fromCSS(V::number(0)));
}

TEST(PaintParse, NoneReferencesAndColors) {
  SVGParser::PrintCapture capture;
  EXPECT_EQ(paint("none"), Paint::none());
  for (const char* text : {"url(#g1)", "url('#g1')", "url(\"#g1\")", "url(#g1) red"}) {
    EXPECT_EQ(paint(text), Paint::definition("g1")) << text;
  }
  EXPECT_EQ(paint("url(#a)"), Paint::definition("a"));
  EXPECT_EQ(paint("#00ff00"), Paint::color(Color::rgb(0, 1, 0)));
  for (const char* silent : {"", "url(g1)", "inherit"}) EXPECT_FALSE(paint(silent)) << silent;
  EXPECT_TRUE(capture.lines().empty()) << capture.text();

  EXPECT_FALSE(paint("URL(#g1)"));
  EXPECT_FALSE(paint("bogus"));
  EXPECT_EQ(capture.lines(), (Lines{"ERROR: Failed to parse paint: 'URL(#g1)'",
                                    "ERROR: Failed to parse paint: 'bogus'"}));
}

// Style sheet paints are read as attribute paints: quoted and one-character references too.
TEST(PaintParse, StyleSheetValues) {
  SVGParser::PrintCapture capture;
  EXPECT_EQ(Paint::fromCSS(V::url("#g")), Paint::definition("g"));
  EXPECT_EQ(Paint::fromCSS(V::url("'#g1'")), Paint::definition("g1"));
  EXPECT_FALSE(Paint::fromCSS(V::url("g1")));
  EXPECT_EQ(Paint::fromCSS(V::explicitNone()), Paint::none());
  EXPECT_FALSE(Paint::fromCSS(V::auto_()));
  EXPECT_TRUE(capture.lines().empty()) << capture.text();
  EXPECT_FALSE(Paint::fromCSS(V::function("rgba", {"1", "2", "3"})));
  EXPECT_EQ(capture.lines(), Lines{"ERROR: Failed to parse paint: 'rgba(1, 2, 3)'"});
}

TEST(LengthParse, UnitsAndRejectedTexts) {
  const std::pair<const char*, UnitLength> table[] = {
      {"10", UnitLength::number(10)},         {"10px", UnitLength::pixel(10)},
      {"2.5mm", UnitLength::millimeter(2.5)}, {"50%", UnitLength::percentage(50)},
      {"1e2pt", UnitLength::point(100)},      {"-1in", UnitLength::inch(-1)},
      {"3cm", UnitLength::centimeter(3)},
  };
  SVGParser::PrintCapture capture;
  for (const auto& [text, expected] : table) {
    EXPECT_EQ(UnitLength::fromStringValue(std::string_view(text)), expected) << text;
  }
  EXPECT_FALSE(UnitLength::fromStringValue(std::string_view("")));
  EXPECT_FALSE(CSS::optionalUnitLength(std::string_view("none")));
  EXPECT_EQ(SVG::inheritableUnitLength(std::string_view("inherit")), SVG::Inheritable<UnitLength>::inherit());
  EXPECT_TRUE(capture.lines().empty());

  Lines expected;
  for (const char* text : {"2em", "1pc", "3ex", "10 px", " 10", "10PX", "px", "inherit"}) {
    EXPECT_FALSE(UnitLength::fromStringValue(std::string_view(text))) << text;
    expected.push_back(std::string("ERROR: unsupported CSS unit: ") + text);
  }
  EXPECT_EQ(capture.lines(), expected);
  EXPECT_EQ(UnitLength::fromCSS(V::id("10pt")), UnitLength::point(10));
  EXPECT_FALSE(UnitLength::fromCSS(V::url("#a")));
}
