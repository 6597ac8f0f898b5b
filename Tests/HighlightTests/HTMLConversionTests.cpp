#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <random>
#include <thread>

#include "Highlight/HTMLConversion.h"
#include "Highlight/HTMLUtils.h"

namespace {

using C = HighlightJSClass;
using Part = std::pair<std::u16string_view, HighlightJSClassStack>;

const HighlightJSTheme& theme() { return *HighlightJSTheme::default_(); }

// The parts' texts, each styled by its class stack, one after the other.
AttributedString styled(std::initializer_list<Part> parts) {
  AttributedString result;
  for (const auto& [text, classes] : parts) result.append(theme().attributedString(text, classes));
  return result;
}

AttributedString plain(std::u16string_view text) { return styled({{text, {C::DEFAULT}}}); }

AttributedString convert(std::string_view html) {
  std::optional<AttributedString> result = convertHTMLToAttributedString(html, theme());
  EXPECT_TRUE(result) << html;
  return result.value_or(AttributedString());
}

TEST(HTMLUtilsTests, DecodesReferencesToScalarValuesOnly) {
  EXPECT_EQ(HTMLUtils::decode("&lt;"), U'<');
  EXPECT_EQ(HTMLUtils::decode("&apos;"), U'\'');
  EXPECT_EQ(HTMLUtils::decode("&#X27;"), U'\'');
  EXPECT_EQ(HTMLUtils::decode("&#39;"), U'\'');
  EXPECT_EQ(HTMLUtils::decode("&#x1F600;"), U'\U0001F600');
  EXPECT_EQ(HTMLUtils::decodeNumeric(" +65;", 10), U'A');
  for (const char* reference : {"&LT;", "&bogus;", "&#xD800;", "&#x110000;", "&#-1;", "&#99999999999999999999999;"}) {
    EXPECT_FALSE(HTMLUtils::decode(reference)) << reference;
  }
  EXPECT_FALSE(HTMLUtils::decodeNumeric("10;", 40));
  for (const char* digits : {"", ";", "z;", "+;", "12;x", "12 ;", "0x41;"}) {
    EXPECT_FALSE(HTMLUtils::decodeNumeric(digits, 16)) << digits;
  }
}

TEST(HTMLConversionTests, SpansStyleTheirTextByTheClassStack) {
  EXPECT_FALSE(convertHTMLToAttributedString("", theme()));
  EXPECT_EQ(convert("<span class=\"hljs-keyword\">let</span> x = <span class=\"hljs-string\">&quot;a "
                    "<span class=\"hljs-subst\">\\(b)</span>&quot;</span>"),
            styled({{u"let", {C::DEFAULT, C::keyword}},
                    {u" x = ", {C::DEFAULT}},
                    {u"\"a ", {C::DEFAULT, C::string}},
                    {u"\\(b)", {C::DEFAULT, C::string, C::subst}},
                    {u"\"", {C::DEFAULT, C::string}}}));
  // Several names or unknown names take the style of the enclosing classes.
  EXPECT_EQ(convert("<span class=\"hljs-comment\"><span class=\"hljs-keyword hljs-title\">a</span></span>"),
            styled({{u"a", {C::DEFAULT, C::comment}}}));
  EXPECT_EQ(convert("<span class=\"language-swift\">a</span>b"), plain(u"ab"));
}

TEST(HTMLConversionTests, CharacterReferencesAreDecodedOnce) {
  EXPECT_EQ(convert("a &lt; b &amp;&amp; c &amp;lt; &#x27;&#39;"), plain(u"a < b && c &lt; ''"));
  EXPECT_EQ(convert("&#xD800; &#55296; &bogus; &LT; &; &#;"), plain(u"&#xD800; &#55296; &bogus; &LT; &; &#;"));

  // Numeric references without digits, or with other letters, are text as they stand; so are
  // code points beyond Unicode, surrogates and numbers too large for any integer.
  for (const char* text : {"&#zz;", "&#x;", "&#abc;", "&#xG1;", "&#X;", "&#39abc;", "&#x27g;", "&#x0x27;",
                           "&#x110000;", "&#1114112;", "&#xDFFF;", "&#57343;", "&#4294967335;",
                           "&#x10000000000000027;", "&#99999999999999999999999999999;"}) {
    EXPECT_EQ(convert(std::string("a") + text + "b"), plain(u"a" + Fennix::utf16FromUTF8(text) + u"b")) << text;
  }
  EXPECT_EQ(convert("&#x10FFFF;&#0065;&#x0041;"), plain(u"\U0010FFFFAA"));

  // A character above U+FFFF takes two units; the references and runs after it stay in place.
  AttributedString astral = convert("&#x1F600;&lt;<span class=\"hljs-number\">1&gt;</span>");
  EXPECT_EQ(astral, styled({{u"\U0001F600<", {C::DEFAULT}}, {u"1>", {C::DEFAULT, C::number}}}));
  EXPECT_EQ(astral.runs()[1].range, (NSRange{3, 2}));
}

TEST(HTMLConversionTests, MalformedMarkupIsTextAndNeverUnderflowsTheStack) {
  for (const char* html : {"a < b", "a<", "<", "<s", "</", "<span class=\"hljs-keyword", "<span class=\"a\"b\">x"}) {
    const std::string text(html);
    EXPECT_EQ(convert(html), plain(std::u16string(text.begin(), text.end()))) << html;
  }
  EXPECT_EQ(convert("<span class=\"a<span class=\"hljs-string\">x</span>"),
            styled({{u"<span class=\"a", {C::DEFAULT}}, {u"x", {C::DEFAULT, C::string}}}));
  // Closing tags with no span open are dropped; the text after them keeps the DEFAULT style.
  EXPECT_EQ(convert("x</span></span>y<span class=\"hljs-title\">z</span></span>w"),
            styled({{u"xy", {C::DEFAULT}}, {u"z", {C::DEFAULT, C::title}}, {u"w", {C::DEFAULT}}}));
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

namespace {

// Highlighting runs on pool threads, which the process does not wait for when it ends: the tables
// such work reads must still be there while static objects are being destroyed.
TEST(HTMLConversionTests, WorkStillRunningWhenTheProcessEndsFindsItsTables) {
  EXPECT_EXIT(
      {
        std::atomic<int> started{0};
        for (int i = 0; i < 4; ++i) {
          std::thread([&started] {
            const std::string html = "<span class=\"hljs-string\">&quot;&amp;&lt;&eacute;&hellip;</span>";
            for (;;) {
              (void)convertHTMLToAttributedString(html, *HighlightJSTheme::default_());
              started.fetch_add(1);
            }
          }).detach();
        }
        while (started.load() < 100) std::this_thread::yield();
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
