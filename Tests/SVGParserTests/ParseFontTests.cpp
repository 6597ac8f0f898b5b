#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "SVGParser/CSS/Font.h"
#include "SVGParser/CSS/Parser/CSSValue.h"
#include "SVGParser/Platform/Print.h"

using CSS::Font;
using CSS::UnitLength;
using Family = CSS::Font::Family;
using Style = CSS::Font::Style;
using Weight = CSS::Font::Weight;
using Lines = std::vector<std::string>;

namespace {

std::optional<Font> font(const char* text) { return Font::fromStringValue(std::string_view(text)); }

}  // namespace

TEST(FontParse, ShorthandWordsInAnyOrder) {
  const std::pair<const char*, Font> table[] = {
      {"italic 64px serif", Font(Family::serif(), Style::italic, Weight::normal(), UnitLength::pixel(64))},
      {"bold 12pt Helvetica",
       Font(Family::named("helvetica"), Style::normal, Weight::bold(), UnitLength::point(12))},
      {"600 10px monospace",
       Font(Family::monospace(), Style::normal, Weight::value(600), UnitLength::pixel(10))},
      {"10px 600 monospace",
       Font(Family::monospace(), Style::normal, Weight::normal(), UnitLength::pixel(10))},
      {"normal", Font(Family::sansSerif(), Style::normal, Weight::normal(), std::nullopt)},
      {"serif  sans-serif", Font(Family::sansSerif(), Style::normal, Weight::normal(), std::nullopt)},
      {"oblique lighter 2em 7pt", Font(Family::named("2em"), Style::oblique, Weight::lighter(),
                                       UnitLength::point(7))},
      {"Caption", Font::caption()},
      {"status-bar", Font::statusBar()},
  };
  PrintCapture capture;
  for (const auto& [text, expected] : table) EXPECT_EQ(font(text), expected) << text;
  EXPECT_FALSE(font(""));
  EXPECT_FALSE(Font::fromStringValue(std::nullopt));
  EXPECT_EQ(capture.lines(), (Lines{"ERROR: unsupported CSS unit: 2em"}));
}

TEST(FontParse, ShorthandReportsWhatFitsNowhere) {
  PrintCapture capture;
  EXPECT_EQ(font("12px arial helvetica"),
            Font(Family::named("arial"), Style::normal, Weight::normal(), UnitLength::pixel(12)));
  EXPECT_EQ(font("arial"), Font(Family::named("arial"), Style::normal, Weight::normal(), std::nullopt));
  EXPECT_EQ(capture.lines(), (Lines{"WARN: unexpected CSS font value: helvetica",
                                    "ERROR: unsupported CSS unit: arial"}));
}

TEST(FontParse, CSSValues) {
  using V = CSS::Value;
  EXPECT_EQ(Font::fromCSS(V::number(12)),
            Font(Family::sansSerif(), Style::normal, Weight::normal(), UnitLength::number(12)));
  EXPECT_EQ(Font::fromCSS(V::percentValue(80)),
            Font(Family::sansSerif(), Style::normal, Weight::normal(), UnitLength::percentage(80)));
  EXPECT_EQ(Font::fromCSS(V::id("menu")), Font::menu());
  EXPECT_FALSE(Font::fromCSS(V::url("x")));
  EXPECT_FALSE(Font::fromCSS(std::nullopt));

  EXPECT_EQ(Style::fromCSS(V::id("italic")), Style::italic);
  EXPECT_FALSE(Style::fromCSS(V::id("Italic")));
  EXPECT_FALSE(Style::fromCSS(V::number(1)));
  EXPECT_EQ(Family::fromCSS(V::id("monospace")), Family::monospace());
  EXPECT_FALSE(Family::fromCSS(V::number(1)));
}

// Names lose one pair of surrounding quotes; generic keywords are matched in any case.
TEST(FontParse, Families) {
  EXPECT_EQ(Family::fromStringValue(std::string_view("Sans-Serif")), Family::sansSerif());
  EXPECT_EQ(Family::fromStringValue(std::string_view("'Open Sans'")), Family::named("Open Sans"));
  EXPECT_EQ(Family::fromStringValue(std::string_view("\"Times New Roman\"")),
            Family::named("Times New Roman"));
  EXPECT_EQ(Family::fromStringValue(std::string_view("'serif'")), Family::named("serif"));
  EXPECT_EQ(Family::fromStringValue(std::string_view("'Open Sans', serif")),
            Family::named("'Open Sans', serif"));
  EXPECT_EQ(Family::fromStringValue(std::string_view("'A\"")), Family::named("'A\""));
  EXPECT_EQ(Family::fromStringValue(std::string_view("")), Family::named(""));
  EXPECT_FALSE(Family::fromStringValue(std::nullopt));
}

TEST(FontParse, Weights) {
  const auto weight = [](const char* text) { return Weight::fromStringValue(std::string_view(text)); };
  EXPECT_EQ(weight("400"), Weight::normal());
  EXPECT_EQ(weight("Bold"), Weight::bold());
  EXPECT_EQ(weight("100"), Weight::value(100));
  EXPECT_EQ(weight("BOLDER"), Weight::bolder());
  for (const char* bad : {"heavy", "", "4e2", "99999999999"}) EXPECT_FALSE(weight(bad)) << bad;

  // A numeric weight in a style sheet arrives as a plain number.
  using V = CSS::Value;
  EXPECT_EQ(Weight::fromCSS(V::number(700)), Weight::bold());
  EXPECT_EQ(Weight::fromCSS(V::number(400)), Weight::normal());
  EXPECT_EQ(Weight::fromCSS(V::number(600)), Weight::value(600));
  EXPECT_EQ(Weight::fromCSS(V::id("lighter")), Weight::lighter());
  for (double bad : {950.0, 50.0, 650.5, -400.0}) EXPECT_FALSE(Weight::fromCSS(V::number(bad))) << bad;
  EXPECT_FALSE(Weight::fromCSS(V::pixel(700)));
}
