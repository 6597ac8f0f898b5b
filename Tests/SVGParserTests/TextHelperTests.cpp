// The text helpers the generator shares with the utility library.
#include <gtest/gtest.h>

#include <string>

#include "Platform/Text/Text.h"

namespace {

using namespace std::string_literals;

TEST(TextHelpers, ValidUTF8IsExactlyWellFormedScalarValues) {
  for (const std::string& good : {""s, "plain"s, "nul\0inside"s, "\u00e9\u20ac\U0001F600"s, "\xF4\x8F\xBF\xBF"s}) {
    EXPECT_TRUE(QuarvelText::isValidUTF8(good)) << good;
  }
  for (const std::string& bad : {"\x80"s, "a\xC3"s, "\xC0\xAF"s, "\xE0\x80\xAF"s, "\xED\xA0\x80"s,
                                "\xF4\x90\x80\x80"s, "\xF8\x88\x80\x80\x80"s, "\xC3(x"s, "\xFF"s}) {
    EXPECT_FALSE(QuarvelText::isValidUTF8(bad)) << testing::PrintToString(bad);
  }
}

TEST(TextHelpers, LowercasingTouchesOnlyASCIILettersAndCountingGoesByCharacter) {
  EXPECT_EQ(QuarvelText::asciiLowercased("SlateGRAY \u00C9 @[Z]"), "slategray \u00C9 @[z]");
  EXPECT_EQ(QuarvelText::asciiLowercased("\xFF\xC3\x89"), "\xFF\xC3\x89");
  EXPECT_EQ(QuarvelText::characterCount(""), 0u);
  EXPECT_EQ(QuarvelText::characterCount("e\u0301\r\n\U0001F1E9\U0001F1EA"), 3u);
  EXPECT_EQ(QuarvelText::characterCount("\xFF\xFE"), 2u);
}

}  // namespace
