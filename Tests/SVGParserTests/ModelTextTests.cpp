// Fonts, text elements and the character counting of their descriptions.
#include <gtest/gtest.h>

#include <unordered_set>

#include "SVGParser/CSS/Font.h"
#include "SVGParser/SVG/Text.h"
#include "Platform/Text/TextClusters.h"

using CSS::Font;
using CSS::UnitLength;

namespace {

const Font plainSans(Font::Family::sansSerif(), Font::Style::normal, Font::Weight::normal(),
                     std::nullopt);

SVG::Text text(std::string content, UnitLength x = UnitLength::point(0),
               UnitLength y = UnitLength::point(0)) {
  return {.x = x, .y = y, .text = std::move(content)};
}

std::string repeat(std::string_view piece, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += piece;
  return out;
}

}  // namespace

TEST(ModelFont, SystemKeywordsIgnoreReplacedParts) {
  EXPECT_EQ(Font::caption().weight(Font::Weight::bold()), Font::caption());
  EXPECT_EQ(Font::menu().size(UnitLength::point(3)), Font::menu());
  EXPECT_EQ(Font::caption().fontSize(), std::nullopt);
  EXPECT_NE(Font::caption(), Font::icon());
}

TEST(ModelFont, ReplacingOnePartKeepsTheOthers) {
  const Font sized = plainSans.size(UnitLength::point(12)).weight(Font::Weight::value(700));
  EXPECT_EQ(sized.fontSize(), UnitLength::point(12));
  const Font unsized = sized.size(std::nullopt);
  EXPECT_EQ(unsized.fontSize(), std::nullopt);
  EXPECT_EQ(unsized.as<Font::Shorthand>()->weight, Font::Weight::value(700));
  const Font serif = sized.family(Font::Family::serif()).style(Font::Style::italic);
  EXPECT_EQ(serif.fontSize(), UnitLength::point(12));
  EXPECT_EQ(serif.as<Font::Shorthand>()->style, Font::Style::italic);
  EXPECT_NE(Font::Weight::value(400), Font::Weight::normal());
}

TEST(ModelFont, StyleRawValues) {
  EXPECT_EQ(Font::Style::fromRawValue("italic"), Font::Style(Font::Style::italic));
  EXPECT_EQ(Font::Style::fromRawValue("Italic"), std::nullopt);
  EXPECT_EQ(Font::Style::fromRawValue(""), std::nullopt);
  EXPECT_EQ(Font::Style(Font::Style::oblique).rawValue(), "oblique");
  const std::unordered_set<Font::Style> styles{Font::Style::italic,
                                               *Font::Style::fromRawValue("italic")};
  EXPECT_EQ(styles.size(), 1u);
}

TEST(ModelFont, Descriptions) {
  EXPECT_EQ(plainSans.description(), "sans-serif");
  EXPECT_EQ(plainSans.size(UnitLength::pixel(12)).description(), "sans-serif[12.0px]");
  EXPECT_EQ(plainSans.family(Font::Family::serif()).description(), "<Font: serif>");
  EXPECT_EQ(plainSans.family(Font::Family::serif())
                .style(Font::Style::italic)
                .weight(Font::Weight::bold())
                .size(UnitLength::point(9))
                .description(),
            "<Font: serif italic bold>");
  EXPECT_EQ(plainSans.weight(Font::Weight::value(700)).description(),
            "<Font: sansSerif value(700)>");
  EXPECT_EQ(plainSans.family(Font::Family::named("Helvetica Neue")).description(),
            "<Font: named(\"Helvetica Neue\")>");
  EXPECT_EQ(Font::messageBox().description(), "messageBox");
  EXPECT_EQ(Font::statusBar().description(), "statusBar");
}

TEST(ModelText, PositionParts) {
  EXPECT_EQ(text("a").description(), "<Text: 0,0 'a' <Presentation:>>");
  EXPECT_EQ(text("a", UnitLength::number(0), UnitLength::number(0)).description(),
            "<Text: 0.0,0.0 'a' <Presentation:>>");
  SVG::Text shifted = text("a");
  shifted.dx = UnitLength::number(1);
  EXPECT_EQ(shifted.description(), "<Text: 0,0 'a' <Presentation:>>");
  shifted.dy = UnitLength::pixel(2);
  EXPECT_EQ(shifted.description(), "<Text: m1.0,2.0px 'a' <Presentation:>>");
  shifted.x = UnitLength::number(5);
  EXPECT_EQ(shifted.description(), "<Text: 5.0,0.0pt m1.0,2.0px 'a' <Presentation:>>");
}

TEST(ModelText, OptionalParts) {
  SVG::Text full = text("");
  EXPECT_EQ(full.description(), "<Text: 0,0 EMPTY <Presentation:>>");
  full.core.id = "t";
  full.font = plainSans;
  full.textLength = UnitLength::number(40);
  full.style.style = "font-size:3px";
  full.presentation.fill = SVG::Paint::red();
  EXPECT_EQ(full.description(),
            "<Text: id=t 0,0 EMPTY sans-serif length=40.0 style=<Styling: 'font-size:3px'> "
            "<Presentation: fill=color(named(\"red\"))>>");
}

TEST(ModelText, LongTextsAreCutTo38Characters) {
  const std::string x39 = repeat("x", 39);
  EXPECT_EQ(text(x39).description(), "<Text: 0,0 '" + x39 + "' <Presentation:>>");
  EXPECT_EQ(text(x39 + "y").description(),
            "<Text: 0,0 '" + repeat("x", 38) + "'\u2026 <Presentation:>>");
  // Characters, not bytes: an accented letter made of two code points is one character.
  const std::string accented = "e\u0301";
  EXPECT_EQ(text(repeat(accented, 39)).description(),
            "<Text: 0,0 '" + repeat(accented, 39) + "' <Presentation:>>");
  EXPECT_EQ(text(repeat("\u00e9", 40)).description(),
            "<Text: 0,0 '" + repeat("\u00e9", 38) + "'\u2026 <Presentation:>>");
}

TEST(ModelText, CharacterBoundaries) {
  using QuarvelText::prefixOfCharacters;
  EXPECT_EQ(prefixOfCharacters("abc", 2), 2u);
  EXPECT_EQ(prefixOfCharacters("abc", 5), 3u);
  EXPECT_EQ(prefixOfCharacters("", 0), 0u);
  EXPECT_EQ(prefixOfCharacters("\r\nx", 1), 2u);
  EXPECT_EQ(prefixOfCharacters("\n\u0301x", 1), 1u);  // a mark does not attach to a line feed
  // Flags are pairs of regional indicators.
  const std::string flags = "\U0001F1E9\U0001F1EA\U0001F1EB\U0001F1F7\U0001F1EE";
  EXPECT_EQ(prefixOfCharacters(flags, 1), 8u);
  EXPECT_EQ(prefixOfCharacters(flags, 2), 16u);
  EXPECT_EQ(prefixOfCharacters(flags, 3), 20u);
  // An emoji family joined by zero-width joiners, with a skin-tone modifier.
  const std::string family = "\U0001F468\U0001F3FD\u200D\U0001F469\u200D\U0001F467";
  EXPECT_EQ(prefixOfCharacters(family + "a", 1), family.size());
  // A prepended sign belongs to the letter after it, but never to a line break;
  // Thai and Lao "am" vowels attach to the letter before them.
  EXPECT_EQ(prefixOfCharacters("\u0600\u0661x", 1), 4u);
  EXPECT_EQ(prefixOfCharacters("\u0600\nx", 1), 2u);
  EXPECT_EQ(prefixOfCharacters("\u0E01\u0E33x", 1), 6u);
  EXPECT_EQ(prefixOfCharacters("\u0E9A\u0EB3x", 1), 6u);
  // Hangul jamo sequences form one syllable.
  const std::string jamo = "\u1100\u1161\u11A8";
  EXPECT_EQ(prefixOfCharacters(jamo + "\uAC00", 1), jamo.size());
  // Malformed bytes count one by one and are never split from or into a sequence.
  EXPECT_EQ(prefixOfCharacters("\xFF\xE2\x82", 1), 1u);
  EXPECT_EQ(prefixOfCharacters("\xE2\x82", 2), 2u);
  EXPECT_EQ(prefixOfCharacters("a\xF0\x9F\x98\x80", 2), 5u);
}
