#include <gtest/gtest.h>

#include "Highlight/HighlightJSTheme.h"

namespace {

using C = HighlightJSClass;
using Properties = HighlightJSTheme::FontProperties;

NSColor rgb(std::uint32_t value) {
  return NSColor(((value >> 16) & 0xFF) / 255.0, ((value >> 8) & 0xFF) / 255.0, (value & 0xFF) / 255.0, 1);
}

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
  EXPECT_EQ(rawValue(C::builtIn), "hljs-built_in");
  EXPECT_EQ(rawValue(C::class_), "hljs-class");
  EXPECT_EQ(rawValue(C::xml), "xml");
  EXPECT_FALSE(highlightJSClassFromRawValue("hljs-Keyword"));
  EXPECT_FALSE(highlightJSClassFromRawValue("hljs-keyword hljs-title"));
  EXPECT_FALSE(highlightJSClassFromRawValue(""));
}

TEST(ThemeTests, FontPropertiesReadColoursByTheirTopByte) {
  EXPECT_EQ(Properties(0x880000).color, rgb(0x880000));
  EXPECT_EQ(Properties(0x11223380).color, NSColor(0x11 / 255.0, 0x22 / 255.0, 0x33 / 255.0, 0x80 / 255.0));
  EXPECT_EQ(Properties(0x00223380).color, rgb(0x223380)) << "an RGBA value without red reads as RGB";
  EXPECT_TRUE(Properties().isEmpty());
  EXPECT_FALSE(Properties(std::nullopt, false).isEmpty());
  EXPECT_NE(Properties(std::nullopt, false), Properties());
}

TEST(ThemeTests, StacksMergeFromTheInnermostClassOutwards) {
  const auto& theme = HighlightJSTheme::default_();
  const NSFontPtr bold = theme->font()->qvBold();

  TextAttributes keyword = style(theme, {C::DEFAULT, C::keyword});  // bold from keyword, colour from DEFAULT
  EXPECT_EQ(*keyword.font, *bold);
  EXPECT_EQ(keyword.foregroundColor, rgb(0x444444));

  TextAttributes title = style(theme, {C::DEFAULT, C::title});
  EXPECT_EQ(*title.font, *bold);
  EXPECT_EQ(title.foregroundColor, rgb(0x880000));

  // Unknown entries and classes without a style fall through to the enclosing ones.
  TextAttributes unknown = style(theme, {C::DEFAULT, C::comment, std::nullopt, C::xml});
  EXPECT_EQ(unknown.foregroundColor, rgb(0x888888));
  EXPECT_EQ(*unknown.font, *theme->font());
  EXPECT_EQ(unknown.underlineStyle, NSUnderlineStyle::none);

  TextAttributes nothing = style(theme, {});
  EXPECT_FALSE(nothing.foregroundColor);
  EXPECT_EQ(nothing.font, theme->font());
}

TEST(ThemeTests, BuiltInThemesStyleItalicUnderlinedAndUnstyledRuns) {
  const auto& vs2015 = HighlightJSTheme::vs2015();
  TextAttributes comment = style(vs2015, {C::DEFAULT, C::comment});
  EXPECT_EQ(*comment.font, *vs2015->font()->qvItalic());
  EXPECT_EQ(comment.foregroundColor, rgb(0x57A64A));
  TextAttributes link = style(vs2015, {C::DEFAULT, C::link});
  EXPECT_EQ(link.underlineStyle, NSUnderlineStyle::single);
  EXPECT_EQ(link.underlineColor, rgb(0x569CD6));
  EXPECT_EQ(link.foregroundColor, rgb(0x569CD6));

  // xcode has no DEFAULT entry: text outside any span carries only the base font.
  const auto& xcode = HighlightJSTheme::xcode();
  TextAttributes fontOnly;
  fontOnly.font = xcode->font();
  EXPECT_EQ(style(xcode, {C::DEFAULT}), fontOnly);
  EXPECT_EQ(style(xcode, {C::DEFAULT, C::formula}).foregroundColor, rgb(0xEEEEEE));

  EXPECT_TRUE(HighlightJSTheme::default_()->font()->isFixedPitch());
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
  EXPECT_EQ(theme->description(), "<HSTheme: " + font->fontName() + " " + std::to_string(int(font->pointSize())) +
                                      ".0 #classes=2>");
}

TEST(ThemeTests, ModifyingTheFontMakesANewThemeOnlyForAnotherFontObject) {
  const auto& theme = HighlightJSTheme::xcode();
  EXPECT_EQ(theme->modifyFont(theme->font()), theme);

  const NSFontPtr equalFont = theme->font()->qvModifySize(0);
  HighlightJSThemePtr copy = theme->modifyFont(equalFont);
  EXPECT_NE(copy, theme);
  EXPECT_EQ(*copy, *theme);
  EXPECT_EQ(copy->font(), equalFont);

  HighlightJSThemePtr larger = theme->modifyFont(theme->font()->qvModifySize(2));
  EXPECT_FALSE(*larger == *theme);
  EXPECT_EQ(style(larger, {C::keyword}).foregroundColor, rgb(0xAA0D91)) << "same styles";
  EXPECT_FALSE(*HighlightJSTheme::default_() == *theme);
}

}  // namespace
