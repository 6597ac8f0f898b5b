// The one number scanner behind path data, coordinates, lengths, transforms and CSS numbers.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>

#include "SVGParser/Parser/NumberValue.h"
#include "SVGParser/Parser/PathDataParser.h"
#include "Platform/NumberText.h"
#include "SVGParser/SVG/Command.h"

namespace {

struct Extent {
  const char* text;
  std::size_t number;
  std::size_t reach;
};

// Extents of the forms the readers meet; a whole text is a number exactly when it is all number.
constexpr Extent extents[] = {
    {"", 0, 0},          {"-", 0, 1},           {"+.", 0, 2},         {".", 0, 1},        {"e5", 0, 0},
    {"+-1", 0, 1},       {"--1", 0, 1},         {" 1", 0, 0},         {"-.e5", 0, 2},     {"1", 1, 1},
    {"1.", 2, 2},        {"-12.5", 5, 5},       {".5", 2, 2},         {".5.5", 2, 2},     {"1.5.5", 3, 3},
    {"10-5", 2, 2},      {"1.e5", 4, 4},        {"-.5e-3", 6, 6},     {"1E+05", 5, 5},    {"1e", 1, 2},
    {"1e+", 1, 3},       {"1e-x", 1, 3},        {"1em", 1, 2},        {"1e5.5", 3, 3},    {"1e5e5", 3, 3},
    {"1e+-5", 1, 3},     {"0x10", 1, 1},        {"7px", 1, 1},        {"1,5", 1, 1},      {"\xD9\xA1", 0, 0},
};

TEST(NumberScan, ExtentsFollowTheNumberForm) {
  for (const auto& [text, number, reach] : extents) {
    const auto extent = SVGParser::scanNumber(text);
    EXPECT_EQ(extent.number, number) << '"' << text << '"';
    EXPECT_EQ(extent.reach, reach) << '"' << text << '"';
    const std::string_view whole(text);
    EXPECT_EQ(SVGParser::parseDouble(whole).has_value(), !whole.empty() && number == whole.size())
        << '"' << text << '"';
  }
  EXPECT_EQ(SVGParser::parseDouble("1.e5"), 1e5);
  EXPECT_EQ(SVGParser::parseDouble("-.5e-3"), -0.0005);
  EXPECT_EQ(SVGParser::parseDouble("+.5"), 0.5);
}

TEST(NumberScan, HugeExponentsAndLongDigitRuns) {
  EXPECT_EQ(SVGParser::parseDouble("1e308"), 1e308);
  EXPECT_FALSE(SVGParser::parseDouble("1e309").has_value());
  const auto tiny = SVGParser::parseDouble("-1e-400");
  ASSERT_TRUE(tiny.has_value());
  EXPECT_EQ(*tiny, 0.0);
  EXPECT_TRUE(std::signbit(*tiny));

  const std::string nines(100000, '9');
  EXPECT_FALSE(SVGParser::parseDouble(nines).has_value());
  EXPECT_FALSE(SVGParser::parseDouble("1e" + nines).has_value());
  EXPECT_EQ(SVGParser::parseDouble("1e-" + nines), 0.0);
  EXPECT_EQ(SVGParser::parseDouble("0." + nines), 1.0);
  EXPECT_EQ(SVGParser::scanNumber(nines + "." + nines + "e-" + nines + "x").number, 300003u);

  // Zeros before the first significant digit outweigh a large exponent, and the other way round.
  const std::string zeros(2000000, '0');
  EXPECT_EQ(SVGParser::parseDouble("0." + zeros + "1e1000000"), 0.0);
  EXPECT_FALSE(SVGParser::parseDouble("0." + zeros + "1e10000000").has_value());
}

TEST(NumberScan, PathDataTakesAllThatMayBelongToANumber) {
  using SVG::Command;
  using E = SVG::CommandParserError;
  EXPECT_EQ(Command::parseCommandsString("M1.e5-.5e-3.5.5"),
            (std::vector<Command>{Command::M{1e5, -0.0005}, Command::L{0.5, 0.5}}));
  EXPECT_EQ(Command::parseCommandsString("a1 1 0 11.5 2"),
            (std::vector<Command>{Command::a{1, 1, 0, true, true, 0.5, 2}}));
  for (const auto& [text, taken] : {std::pair{"M1e+ 2", "1e+"}, {"M+. 2", "+."}, {"M1 2L3E-x", "3E-"}}) {
    try {
      (void)Command::parseCommandsString(text);
      ADD_FAILURE() << text << " read";
    } catch (const E& error) {
      EXPECT_EQ(error, E(E::CouldNotParseNumber{taken})) << text << " gave " << error.description();
    }
  }
}

// Plain decimals are converted without parseDouble: the two must agree to the last bit,
// negative zero included, and the readers must refuse the same texts.
TEST(NumberScan, NumberValuesAreTheValuesParseDoubleReads) {
  std::mt19937 random(20261206);
  const std::string characters = "0123456789.-+e";
  for (int round = 0; round < 200000; ++round) {
    std::string text;
    const auto length = 1 + random() % 19;
    for (std::size_t i = 0; i < length; ++i) {
      // Mostly digits, so that most texts are numbers of every digit count.
      text += characters[random() % 4 == 0 ? random() % characters.size() : random() % 10];
    }
    const auto expected = SVGParser::parseDouble(text);
    const auto value = SVGParser::numberValue(text);
    ASSERT_EQ(value.has_value(), expected.has_value()) << text;
    if (value) {
      EXPECT_EQ(std::bit_cast<std::uint64_t>(*value), std::bit_cast<std::uint64_t>(*expected)) << text;
    }
    // Path data reads the plain decimal at the start of a text in one pass: it must take
    // the bytes a scan reaches and give the value of those bytes.
    double leading = 0;
    if (const auto taken = SVGParser::readLeadingPlainDecimal(text, leading)) {
      ASSERT_EQ(taken, SVGParser::scanNumber(text).reach) << text;
      const auto number = SVGParser::parseDouble(text.substr(0, taken));
      ASSERT_TRUE(number) << text;
      EXPECT_EQ(std::bit_cast<std::uint64_t>(leading), std::bit_cast<std::uint64_t>(*number)) << text;
    }
  }
  for (const char* text : {"-0", "-0.000", "0.1", "123456789012345", "1234567890123456", "9007199254740993",
                           ".000000000000001", "-999999999999999.9", "5.", "-.5"}) {
    ASSERT_TRUE(SVGParser::numberValue(text)) << text;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(*SVGParser::numberValue(text)),
              std::bit_cast<std::uint64_t>(*SVGParser::parseDouble(text)))
        << text;
  }
}

}  // namespace
