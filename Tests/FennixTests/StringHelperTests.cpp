#include <gtest/gtest.h>

#include "Fennix/Foundation/Formatter.h"
#include "Fennix/Foundation/StringHelpers.h"

namespace Fennix {
void PrintTo(const Token& token, std::ostream* out) {
  *out << (token.kind == Token::Kind::match ? "match \"" : "text \"") << token.text << '"';
}
}  // namespace Fennix

namespace {

using Fennix::Token;

std::vector<NSRange> ranges(std::u16string_view text) { return Fennix::lineRanges(text, {0, text.size()}); }

Token plain(std::string text) { return {Token::Kind::text, std::move(text)}; }
Token match(std::string text) { return {Token::Kind::match, std::move(text)}; }

TEST(LineRangeTests, EveryKindOfLineBreakEndsOneLine) {
  // LF, VT, FF, CR, CRLF, NEL, U+2028, U+2029: four lines each, the CRLF pair counting once.
  for (std::u16string_view br : {u"\n", u"\v", u"\f", u"\r", u"\r\n", u"\u0085", u"\u2028", u"\u2029"}) {
    const std::u16string text = u"ab" + std::u16string(br) + u"c" + std::u16string(br) + std::u16string(br) + u"d";
    const std::size_t b = br.size();
    const std::vector<NSRange> expected{{0, 2}, {2 + b, 1}, {3 + 2 * b, 0}, {3 + 3 * b, 1}};
    EXPECT_EQ(ranges(text), expected) << "break length " << b;
    ASSERT_EQ(Fennix::rangeOfLine(text, 2), (NSRange{2 + b, 1 + b}));
    EXPECT_EQ(Fennix::rangeOfLine(text, 4), (NSRange{3 + 3 * b, 1}));
    EXPECT_EQ(Fennix::rangeOfLine(text, 5), std::nullopt);
    EXPECT_EQ(Fennix::lineRange(text, {2 + b, 0}), (NSRange{2 + b, 1 + b}));
  }
}

TEST(LineRangeTests, AllHelpersAgreeOnWhereLinesEnd) {
  const std::u16string text = u"a\fb\vc\r\nd\u2028e";
  const std::vector<NSRange> lines = ranges(text);
  ASSERT_EQ(lines, (std::vector<NSRange>{{0, 1}, {2, 1}, {4, 1}, {7, 1}, {9, 1}}));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const auto numbered = Fennix::rangeOfLine(text, long(i) + 1);
    ASSERT_TRUE(numbered) << "line " << i + 1;
    EXPECT_EQ(numbered->location, lines[i].location);
    EXPECT_EQ(Fennix::lineRange(text, {lines[i].location, 0}), *numbered);
    EXPECT_EQ(Fennix::lineRanges(text, {lines[i].location, 0}), (std::vector<NSRange>{lines[i]}));
  }
  EXPECT_EQ(Fennix::rangeOfLine(text, 6), std::nullopt);
}

TEST(LineRangeTests, TouchedLinesAndTheEmptyLastLine) {
  const std::u16string text = u"one\ntwo\nthree";
  EXPECT_EQ(Fennix::lineRanges(text, {5, 1}), (std::vector<NSRange>{{4, 3}}));
  EXPECT_EQ(Fennix::lineRanges(text, {2, 4}), (std::vector<NSRange>{{0, 3}, {4, 3}}));
  EXPECT_EQ(ranges(text).size(), 3u);
  // A text ending with a terminator has no further empty line, and the end of it touches none.
  EXPECT_EQ(ranges(u"a\n"), (std::vector<NSRange>{{0, 1}}));
  EXPECT_TRUE(Fennix::lineRanges(u"a\n", {2, 0}).empty());
  EXPECT_EQ(Fennix::rangeOfLine(u"a\n", 2), std::nullopt);
  EXPECT_TRUE(ranges(u"").empty());
  // A position between CR and LF belongs to the line the pair ends.
  EXPECT_EQ(Fennix::lineRange(u"ab\r\ncd", {3, 0}), (NSRange{0, 4}));
  // Ranges past the end are cut, not trusted.
  EXPECT_EQ(Fennix::lineRange(u"ab\ncd", {4, 99}), (NSRange{3, 2}));
  EXPECT_EQ(Fennix::rangeOfLine(u"ab\ncd", 0), std::nullopt);
  EXPECT_EQ(Fennix::rangeOfLine(u"ab\ncd", 1), (NSRange{0, 3}));
}

TEST(StringHelperTests, TrimmingAndSetTestsWorkOnScalars) {
  const CharacterSet& blanks = CharacterSet::whitespacesAndNewlines();
  EXPECT_EQ(Fennix::trimmingSuffixCharacters("a b \t\n", blanks), "a b");
  EXPECT_EQ(Fennix::trimmingPrefixCharacters("\u2003 a b ", blanks), "a b ");
  EXPECT_EQ(Fennix::trimmingSuffixCharacters(" \n\t", blanks), "");
  // Characters of two UTF-16 units at both ends: in the set they go whole, else they stay.
  const CharacterSet emoji = CharacterSet::fromCharactersIn("😀");
  EXPECT_EQ(Fennix::trimmingPrefixCharacters("😀😀x😀", emoji), "x😀");
  EXPECT_EQ(Fennix::trimmingSuffixCharacters("😀x😀😀", emoji), "😀x");
  EXPECT_EQ(Fennix::trimmingSuffixCharacters(" 😀 ", blanks), " 😀");
  EXPECT_EQ(Fennix::trimmingPrefixCharacters(" 😀 ", blanks), "😀 ");
  // Malformed bytes are kept and end the scan.
  EXPECT_EQ(Fennix::trimmingSuffixCharacters("a\xF0\x9F ", blanks), "a\xF0\x9F");

  EXPECT_FALSE(Fennix::containsCharacters("", CharacterSet::nonWhitespacesAndNewlines()));
  EXPECT_FALSE(Fennix::containsCharacters(" \n", CharacterSet::nonWhitespacesAndNewlines()));
  EXPECT_TRUE(Fennix::containsCharacters(" x", CharacterSet::nonWhitespacesAndNewlines()));
  EXPECT_TRUE(Fennix::containsCharacters(u"a😀", emoji));

  EXPECT_TRUE(Fennix::isISOLatin1("plain Ämter ÿ"));
  EXPECT_FALSE(Fennix::isISOLatin1("€"));
  EXPECT_FALSE(Fennix::isISOLatin1("a\xC3"));
}

TEST(StringHelperTests, RangesOfUTF16ConvertOnlyAtCharacterBoundaries) {
  const std::string text = "a😀b";  // UTF-16: a, two units, b
  EXPECT_EQ(Fennix::substring(text, {1, 2}), "😀");
  EXPECT_EQ(Fennix::substring(text, {3, 1}), "b");
  EXPECT_EQ(Fennix::substring(text, {4, 0}), "");
  EXPECT_EQ(Fennix::substring(text, {2, 1}), std::nullopt);
  EXPECT_EQ(Fennix::substring(text, {0, 2}), std::nullopt);
  EXPECT_EQ(Fennix::substring(text, {3, 2}), std::nullopt);
  EXPECT_EQ(Fennix::substring(text, {SIZE_MAX, 2}), std::nullopt);
}

TEST(TokenizerTests, MatchesAndThePlainPiecesBetweenThem) {
  const NSRegularExpression digits("[0-9]+");
  EXPECT_EQ(Fennix::tokenize("ab12cd", digits, false), (std::vector<Token>{plain("ab"), match("12"), plain("cd")}));
  EXPECT_EQ(Fennix::tokenize("12cd3", digits, true), (std::vector<Token>{match("12"), plain("cd"), match("3")}));
  EXPECT_EQ(Fennix::tokenize("1😀2", digits, false), (std::vector<Token>{match("1"), plain("😀"), match("2")}));
  EXPECT_EQ(Fennix::tokenize("letters", digits, false), (std::vector<Token>{plain("letters")}));
  EXPECT_TRUE(Fennix::tokenize("", digits, false).empty());

  // Empty matches are pieces too, with or without the flag; a surrogate pair is never split.
  const NSRegularExpression maybe("x*");
  const std::vector<Token> expected{match(""), plain("a"), match("xx"), match(""), plain("😀"), match("")};
  EXPECT_EQ(Fennix::tokenize("axx😀", maybe, true), expected);
  EXPECT_EQ(Fennix::tokenize("axx😀", maybe, false), expected);

  // An expression that matches single code units would cut a pair in two: those matches are
  // skipped and the pair stays whole in the plain piece.
  const NSRegularExpression lone("[\\x{D83D}\\x{DE00}]");
  for (const Token& token : Fennix::tokenize("a😀b", lone, false)) {
    EXPECT_EQ(token.text, Fennix::substring(token.text, {0, Fennix::utf16FromUTF8(token.text).size()}));
  }
  EXPECT_THROW(NSRegularExpression("(unclosed"), std::invalid_argument);
}

TEST(FormatterTests, UppercaseFormatterAndAttributedForms) {
  const QvUppercaseFormatter upper;
  EXPECT_EQ(upper.string("Straße mIxEd"), "STRASSE MIXED");
  EXPECT_EQ(upper.string(42), "42");
  EXPECT_EQ(upper.string(std::nullopt), std::nullopt);
  EXPECT_EQ(upper.string(FormatterValue::describing(1.5)), "1.5");
  EXPECT_EQ(upper.string(std::string("istanbul")), "ISTANBUL");  // no Turkish dotted capital

  TextAttributes bold;
  bold.foregroundColor = NSColor(1, 0, 0, 1);
  const auto capitals = std::make_shared<const AttributedString>(std::string_view("ÄB"), bold);
  EXPECT_EQ(upper.attributedString(capitals, std::nullopt), capitals);  // the same object
  const auto lower = std::make_shared<const AttributedString>(std::string_view("äb"), bold);
  const auto shown = upper.attributedString(lower, std::nullopt);
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(*shown, AttributedString(std::string_view("ÄB"), bold));

  // An empty attributed value has no first character whose attributes could be taken.
  const QvFormatter plain;
  const auto empty = std::make_shared<const AttributedString>();
  EXPECT_EQ(plain.attributedString(empty, bold), empty);
  EXPECT_EQ(upper.attributedString(empty, bold), empty);
  EXPECT_EQ(plain.attributedString(std::nullopt, bold), nullptr);

  FormatterValue value;
  std::optional<std::string> error = "old";
  EXPECT_TRUE(plain.getObjectValue(&value, "typed", &error));
  EXPECT_EQ(value, FormatterValue("typed"));
  EXPECT_EQ(error, std::nullopt);
  EXPECT_TRUE(plain.getObjectValue(nullptr, "typed", nullptr));
}

}  // namespace
