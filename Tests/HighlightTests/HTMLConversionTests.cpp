#include <gtest/gtest.h>

#include <random>

#include "Highlight/HTMLConversion.h"
#include "Highlight/HTMLUtils.h"

namespace {

using C = HighlightJSClass;

const HighlightJSTheme& theme() { return *HighlightJSTheme::default_(); }

AttributedString styled(std::u16string_view text, const HighlightJSClassStack& classes) {
  return theme().attributedString(text, classes);
}

AttributedString convert(std::string_view html) {
  std::optional<AttributedString> result = convertHTMLToAttributedString(html, theme());
  EXPECT_TRUE(result) << html;
  return result.value_or(AttributedString());
}

TEST(HTMLUtilsTests, DecodesNamedAndNumericReferences) {
  EXPECT_EQ(HTMLUtils::namedReferences().size(), 253u);
  EXPECT_EQ(HTMLUtils::decode("&lt;"), U'<');
  EXPECT_EQ(HTMLUtils::decode("&apos;"), U'\'');
  EXPECT_EQ(HTMLUtils::decode("&nbsp;"), U'\u00A0');
  EXPECT_EQ(HTMLUtils::decode("&yuml;"), U'\u00FF');
  EXPECT_EQ(HTMLUtils::decode("&euro;"), U'\u20AC');
  EXPECT_EQ(HTMLUtils::decode("&diams;"), U'\u2666');
  EXPECT_FALSE(HTMLUtils::decode("&LT;")) << "names are case-sensitive";
  EXPECT_FALSE(HTMLUtils::decode("&bogus;"));

  EXPECT_EQ(HTMLUtils::decode("&#x27;"), U'\'');
  EXPECT_EQ(HTMLUtils::decode("&#X27;"), U'\'');
  EXPECT_EQ(HTMLUtils::decode("&#39;"), U'\'');
  EXPECT_EQ(HTMLUtils::decode("&#x1F600;"), U'\U0001F600');
  EXPECT_EQ(HTMLUtils::decodeNumeric(" +65;", 10), U'A');
  EXPECT_EQ(HTMLUtils::decodeNumeric(";", 10), U'\0') << "no digits read as 0";
  EXPECT_FALSE(HTMLUtils::decodeNumeric("D800;", 16)) << "surrogate";
  EXPECT_FALSE(HTMLUtils::decodeNumeric("110000;", 16));
  EXPECT_FALSE(HTMLUtils::decodeNumeric("-1;", 10));
  EXPECT_FALSE(HTMLUtils::decodeNumeric("99999999999999999999999;", 10));
  EXPECT_FALSE(HTMLUtils::decodeNumeric("10;", 40));
}

TEST(HTMLConversionTests, SpansStyleTheirTextByTheClassStack) {
  EXPECT_FALSE(convertHTMLToAttributedString("", theme()));

  AttributedString expected = styled(u"let", {C::DEFAULT, C::keyword});
  expected.append(styled(u" x = ", {C::DEFAULT}));
  expected.append(styled(u"\"a ", {C::DEFAULT, C::string}));
  expected.append(styled(u"\\(b)", {C::DEFAULT, C::string, C::subst}));
  expected.append(styled(u"\"", {C::DEFAULT, C::string}));
  EXPECT_EQ(convert("<span class=\"hljs-keyword\">let</span> x = <span class=\"hljs-string\">&quot;a "
                    "<span class=\"hljs-subst\">\\(b)</span>&quot;</span>"),
            expected);
  // subst sets the colour inside the string.
  EXPECT_EQ(expected.attributes(12).foregroundColor, NSColor(0x44 / 255.0, 0x44 / 255.0, 0x44 / 255.0, 1));

  // Several names or unknown names take the style of the enclosing classes.
  AttributedString multiple = styled(u"a", {C::DEFAULT, C::comment});
  EXPECT_EQ(convert("<span class=\"hljs-comment\"><span class=\"hljs-keyword hljs-title\">a</span></span>"),
            multiple);
  EXPECT_EQ(convert("<span class=\"language-swift\">a</span>b"), styled(u"ab", {C::DEFAULT}));
}

TEST(HTMLConversionTests, CharacterReferencesAreDecodedOnce) {
  EXPECT_EQ(convert("a &lt; b &amp;&amp; c"), styled(u"a < b && c", {C::DEFAULT}));
  EXPECT_EQ(convert("&amp;lt; &amp;#39;"), styled(u"&lt; &#39;", {C::DEFAULT}));
  EXPECT_EQ(convert("&#x27;&#39;"), styled(u"''", {C::DEFAULT}));
  EXPECT_EQ(convert("&#xD800; &#55296; &bogus; &LT; &; &#;"),
            styled(u"&#xD800; &#55296; &bogus; &LT; &; &#;", {C::DEFAULT}));

  // A character above U+FFFF takes two units; the references and runs after it stay in place.
  AttributedString astral = convert("&#x1F600;&lt;<span class=\"hljs-number\">1&gt;</span>");
  AttributedString expected = styled(u"\U0001F600<", {C::DEFAULT});
  expected.append(styled(u"1>", {C::DEFAULT, C::number}));
  EXPECT_EQ(astral, expected);
  EXPECT_EQ(astral.runs()[1].range, (NSRange{3, 2}));

  // A reference split by markup is still one reference, styled as its first character.
  EXPECT_EQ(convert("&a<span class=\"hljs-number\">mp;x</span>"),
            [] {
              AttributedString s = styled(u"&", {C::DEFAULT});
              s.append(styled(u"x", {C::DEFAULT, C::number}));
              return s;
            }());
}

TEST(HTMLConversionTests, MalformedMarkupIsTextAndNeverUnderflowsTheStack) {
  EXPECT_EQ(convert("a < b"), styled(u"a < b", {C::DEFAULT}));
  EXPECT_EQ(convert("a<"), styled(u"a<", {C::DEFAULT}));
  EXPECT_EQ(convert("<"), styled(u"<", {C::DEFAULT}));
  EXPECT_EQ(convert("<s"), styled(u"<s", {C::DEFAULT}));
  EXPECT_EQ(convert("</"), styled(u"</", {C::DEFAULT}));
  EXPECT_EQ(convert("<span class=\"hljs-keyword"), styled(u"<span class=\"hljs-keyword", {C::DEFAULT}));
  EXPECT_EQ(convert("<span class=\"a\"b\">x"), styled(u"<span class=\"a\"b\">x", {C::DEFAULT}));
  EXPECT_EQ(convert("<span class=\"a<span class=\"hljs-string\">x</span>"),
            [] {
              AttributedString s = styled(u"<span class=\"a", {C::DEFAULT});
              s.append(styled(u"x", {C::DEFAULT, C::string}));
              return s;
            }());
  // Closing tags with no span open are dropped; the text after them keeps the DEFAULT style.
  EXPECT_EQ(convert("x</span></span>y<span class=\"hljs-title\">z</span></span>w"),
            [] {
              AttributedString s = styled(u"xy", {C::DEFAULT});
              s.append(styled(u"z", {C::DEFAULT, C::title}));
              s.append(styled(u"w", {C::DEFAULT}));
              return s;
            }());
}

TEST(HTMLConversionTests, ArbitraryMarkupConvertsWithoutFailing) {
  const char* pieces[] = {"<span class=\"hljs-keyword\">", "<span class=\"", "\">", "</span>", "</span",
                          "<", "&", "&#", "&#x1F600;", "&amp;", "x", "\xF0\x9F", "\"", ";", "lt"};
  std::mt19937 random(7);
  for (int i = 0; i < 3000; ++i) {
    std::string html;
    const int count = int(random() % 12);
    for (int j = 0; j < count; ++j) html += pieces[random() % std::size(pieces)];
    std::optional<AttributedString> result = convertHTMLToAttributedString(html, theme());
    ASSERT_EQ(result.has_value(), !html.empty()) << html;
    if (!result) continue;
    std::size_t covered = 0;
    for (const auto& run : result->runs()) {
      ASSERT_EQ(run.range.location, covered) << html;
      covered += run.range.length;
    }
    ASSERT_EQ(covered, result->length()) << html;
  }
}

}  // namespace
