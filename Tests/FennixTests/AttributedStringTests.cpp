#include <gtest/gtest.h>

#include "Fennix/Foundation/Text/AttributedString.h"

namespace {

TextAttributes colored(double red) {
  TextAttributes attributes;
  attributes.foregroundColor = NSColor(red, 0, 0, 1);
  return attributes;
}

TEST(AttributedStringTests, CountsUTF16UnitsAndCharacters) {
  const AttributedString text(std::string_view("a\xF0\x9F\x98\x80" "b"));  // a, U+1F600, b
  EXPECT_EQ(text.length(), 4u);
  EXPECT_EQ(text.string(), "a\xF0\x9F\x98\x80" "b");
  EXPECT_EQ(Fennix::characterOffset(text.utf16(), 1), 1u);
  EXPECT_EQ(Fennix::characterOffset(text.utf16(), 3), 2u);
  EXPECT_EQ(Fennix::characterOffset(text.utf16(), 2), 2u) << "an offset inside a pair counts the pair";
  EXPECT_EQ(Fennix::characterOffset(text.utf16(), 4), 3u);
}

TEST(AttributedStringTests, MalformedTextBecomesReplacementCharacters) {
  EXPECT_EQ(Fennix::utf16FromUTF8("a\xC0\xAF" "b"), u"a\uFFFD\uFFFDb");
  EXPECT_EQ(Fennix::utf16FromUTF8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD") << "encoded surrogate";
  EXPECT_EQ(Fennix::utf16FromUTF8("\xF0\x9F\x98"), u"\uFFFD") << "truncated sequence";
  EXPECT_EQ(Fennix::utf16FromUTF8("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD") << "above U+10FFFF";
  EXPECT_EQ(Fennix::utf8FromUTF16(std::u16string(u"x") + char16_t(0xD800)), "x\xEF\xBF\xBD");
  EXPECT_EQ(Fennix::utf8FromUTF16(std::u16string(1, char16_t(0xDC00)) + u"y"), "\xEF\xBF\xBDy");
}

TEST(AttributedStringTests, AppendingMergesRunsWithEqualAttributes) {
  AttributedString text(u"ab", colored(1));
  text.append(AttributedString(u"cd", colored(1)));
  text.append(AttributedString(u"\U0001F600", colored(0.5)));
  text.append(AttributedString());
  text.append(AttributedString(u"e", colored(0.5)));
  TextAttributes font = colored(0.5);  // fonts made apart compare by value
  font.font = NSFont::mono("DejaVu Sans Mono", 12);
  text.append(AttributedString(u"f", font));
  font.font = NSFont::mono("DejaVu Sans Mono", 12);
  text.append(AttributedString(u"g", font));
  ASSERT_EQ(text.runs().size(), 3u);
  NSRange effective;
  EXPECT_EQ(text.attributes(5, &effective), colored(0.5));
  EXPECT_EQ(effective, (NSRange{4, 3}));
  EXPECT_EQ(text.runs()[2].range, (NSRange{7, 2}));
}

TEST(AttributedStringTests, EditsAndSubstringsTakeTheAttributesAroundThem) {
  AttributedString text(u"ab", colored(1));
  text.append(AttributedString(u"cd", colored(0)));

  AttributedString replaced = text;
  replaced.replaceCharacters({1, 2}, u"XYZ");  // first replaced unit has colour 1
  EXPECT_EQ(replaced.utf16(), u"aXYZd");
  EXPECT_EQ(replaced.runs()[0], (AttributedString::Run{{0, 4}, colored(1)}));

  AttributedString inserted = text;
  inserted.replaceCharacters({2, 0}, u"-");  // an insertion takes the unit before it
  EXPECT_EQ(inserted.utf16(), u"ab-cd");
  EXPECT_EQ(inserted.attributes(2), colored(1));

  const AttributedString middle = text.attributedSubstring({1, 2});
  EXPECT_EQ(middle.runs(), (std::vector<AttributedString::Run>{{{0, 1}, colored(1)}, {{1, 1}, colored(0)}}));
}

TEST(AttributedStringDeathTest, RangesPastTheEndStopTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const AttributedString text(u"abc");
  EXPECT_DEATH(text.attributes(3), "out of bounds");
  EXPECT_DEATH(text.attributedSubstring({2, 2}), "out of bounds");
  AttributedString copy = text;
  EXPECT_DEATH(copy.replaceCharacters({4, 0}, u"x"), "out of bounds");
}

}  // namespace
