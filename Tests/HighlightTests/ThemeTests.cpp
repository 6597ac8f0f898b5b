#include <gtest/gtest.h>

#include "Highlight/HighlightJSTheme.h"
#include "HighlightTests/HighlightTestSupport.h"

namespace {

using C = HighlightJSClass;
using Properties = HighlightJSTheme::FontProperties;
using HighlightTestSupport::rgb;

// The attributes of a one-letter run under `classes`.
TextAttributes style(const HighlightJSThemePtr& theme, const HighlightJSClassStack& classes) {
  const AttributedString run = theme->attributedString(u"x", classes);
  EXPECT_EQ(run.runs().size(), 1u);
  return run.attributes(0);
}

TEST(HighlightJSClassTests, RawValuesMatchExactly) {
  for (int i = 0; i < highlightJSClassCount; ++i) {
    EXPECT_EQ(highlightJSClassFromRawValue(rawValue(C(i))), C(i)) << rawValue(C(i));
  }
  for (const char* name : {"hljs-Keyword", "hljs-keyword hljs-title", ""}) {
    EXPECT_FALSE(highlightJSClassFromRawValue(name)) << name;
  }
}

TEST(ThemeTests, FontPropertiesReadColoursByTheirTopByte) {
  EXPECT_EQ(Properties(0x11223380).color, NSColor(0x11 / 255.0, 0x22 / 255.0, 0x33 / 255.0, 0x80 / 255.0));
  EXPECT_EQ(Properties(0x00223380).color, rgb(0x223380)) << "an RGBA value without red reads as RGB";
  EXPECT_NE(Properties(std::nullopt, false), Properties()) << "an explicit non-bold is a property";
}

TEST(ThemeTests, StacksMergeFromTheInnermostClassOutwards) {
  const auto& theme = HighlightJSTheme::default_();
  TextAttributes keyword = style(theme, {C::DEFAULT, C::keyword});  // bold from keyword, colour from DEFAULT
  EXPECT_EQ(*keyword.font, *theme->font()->qvBold());
  EXPECT_EQ(keyword.foregroundColor, rgb(0x444444));

  // Unknown entries and classes without a style fall through to the enclosing ones.
  TextAttributes unknown = style(theme, {C::DEFAULT, C::comment, std::nullopt, C::xml});
  EXPECT_EQ(unknown.foregroundColor, rgb(0x888888));
  EXPECT_EQ(*unknown.font, *theme->font());
  EXPECT_FALSE(style(theme, {}).foregroundColor);

  // Italic and underlined entries.
  const auto& vs2015 = HighlightJSTheme::vs2015();
  EXPECT_EQ(*style(vs2015, {C::DEFAULT, C::comment}).font, *vs2015->font()->qvItalic());
  TextAttributes link = style(vs2015, {C::DEFAULT, C::link});
  EXPECT_EQ(link.underlineStyle, NSUnderlineStyle::single);
  EXPECT_EQ(link.underlineColor, link.foregroundColor);
}

TEST(ThemeTests, LaterPairsReplaceEarlierOnes) {
  const NSFontPtr font = HighlightJSTheme::default_()->font();
  auto theme = std::make_shared<const HighlightJSTheme>(
      font, HighlightJSTheme::Styles{{{C::keyword, C::string}, Properties(0x111111, true)},
                                     {{C::keyword}, Properties(0x222222)}});
  TextAttributes keyword = style(theme, {C::keyword});
  EXPECT_EQ(keyword.foregroundColor, rgb(0x222222));
  EXPECT_EQ(keyword.font, font);
  EXPECT_EQ(*style(theme, {C::string}).font, *font->qvBold());
}

TEST(ThemeTests, ModifyingTheFontMakesANewThemeOnlyForAnotherFontObject) {
  const auto& theme = HighlightJSTheme::xcode();
  EXPECT_EQ(theme->modifyFont(theme->font()), theme);
  const NSFontPtr equalFont = theme->font()->qvModifySize(0);
  HighlightJSThemePtr copy = theme->modifyFont(equalFont);
  EXPECT_TRUE(copy != theme && *copy == *theme && copy->font() == equalFont);
  HighlightJSThemePtr larger = theme->modifyFont(theme->font()->qvModifySize(2));
  EXPECT_FALSE(*larger == *theme);
  EXPECT_EQ(style(larger, {C::keyword}).foregroundColor, rgb(0xAA0D91)) << "same styles";
}

}  // namespace
