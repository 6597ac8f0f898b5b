#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "SVGParser/CSS/Font.h"
#include "SVGParser/CSS/Parser/CSSValue.h"
#include "Platform/Print.h"

using CSS::Font;
using CSS::UnitLength;
using Family = CSS::Font::Family;
using Style = CSS::Font::Style;
using Weight = CSS::Font::Weight;
using V = CSS::Value;

TEST(FontParse, ShorthandWordsInAnyOrder) {
  const std::pair<const char*, Font> table[] = {
      {"italic 64px serif", Font(Family::serif(), Style::italic, Weight::normal(), UnitLength::pixel(64))},
      {"bold 12pt Helvetica",
       Font(Family::named("helvetica"), Style::normal, Weight::bold(), UnitLength::point(12))},
      {"600 10px monospace",
       Font(Family::monospace(), Style::normal, Weight::value(600), UnitLength::pixel(10))},
      {"10px 600 monospace",
       Font(Family::monospace(), Style::normal, Weight::normal(), UnitLength::pixel(10))},
      {"serif  sans-serif", Font(Family::sansSerif(), Style::normal, Weight::normal(), std::nullopt)},
      {"12px arial helvetica",
       Font(Family::named("arial"), Style::normal, Weight::normal(), UnitLength::pixel(12))},
      {"oblique lighter arial", Font(Family::named("arial"), Style::oblique, Weight::lighter(), std::nullopt)},
      {"Caption", Font::caption()},
  };
  SVGParser::PrintCapture capture;
  for (const auto& [text, expected] : table) EXPECT_EQ(Font::fromStringValue(std::string_view(text)), expected) << text;
  EXPECT_FALSE(Font::fromStringValue(std::string_view("")));
  EXPECT_EQ(capture.lines(), (std::vector<std::string>{"WARN: unexpected CSS font value: helvetica",
                                                       "ERROR: unsupported CSS unit: arial"}));

  EXPECT_EQ(Font::fromCSS(V::number(12)),
            Font(Family::sansSerif(), Style::normal, Weight::normal(), UnitLength::number(12)));
  EXPECT_EQ(Font::fromCSS(V::id("menu")), Font::menu());
  EXPECT_FALSE(Font::fromCSS(V::url("x")));
  EXPECT_EQ(Style::fromCSS(V::id("italic")), Style::italic);
  EXPECT_FALSE(Style::fromCSS(V::id("Italic")));
}

// Names lose one pair of surrounding quotes; generic keywords are matched in any case.
TEST(FontParse, Families) {
  const auto family = [](const char* text) { return Family::fromStringValue(std::string_view(text)); };
  EXPECT_EQ(family("Sans-Serif"), Family::sansSerif());
  EXPECT_EQ(family("'Open Sans'"), Family::named("Open Sans"));
  EXPECT_EQ(family("\"Times New Roman\""), Family::named("Times New Roman"));
  EXPECT_EQ(family("'serif'"), Family::named("serif"));
  EXPECT_EQ(family("'Open Sans', serif"), Family::named("'Open Sans', serif"));
  EXPECT_EQ(family("'A\""), Family::named("'A\""));
  EXPECT_EQ(Family::fromCSS(V::id("'B'")), Family::named("B"));
}

// A numeric weight in a style sheet arrives as a plain number.
TEST(FontParse, Weights) {
  const auto weight = [](const char* text) { return Weight::fromStringValue(std::string_view(text)); };
  EXPECT_EQ(weight("400"), Weight::normal());
  EXPECT_EQ(weight("Bold"), Weight::bold());
  EXPECT_EQ(weight("100"), Weight::value(100));
  for (const char* bad : {"heavy", "", "4e2", "99999999999"}) EXPECT_FALSE(weight(bad)) << bad;

  EXPECT_EQ(Weight::fromCSS(V::number(700)), Weight::bold());
  EXPECT_EQ(Weight::fromCSS(V::number(600)), Weight::value(600));
  EXPECT_EQ(Weight::fromCSS(V::id("lighter")), Weight::lighter());
  for (double bad : {950.0, 50.0, 650.5}) EXPECT_FALSE(Weight::fromCSS(V::number(bad))) << bad;
}
