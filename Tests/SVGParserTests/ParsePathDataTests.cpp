#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SVGParser/Parser/PathDataParser.h"
#include "SVGParser/SVG/Command.h"

using SVG::Command;
using SVG::CommandParserError;
using Commands = std::vector<Command>;

namespace {

CommandParserError errorOf(const std::string& text) {
  try {
    (void)Command::parseCommandsString(text);
    ADD_FAILURE() << "no error for '" << text << "'";
  } catch (const CommandParserError& error) {
    return error;
  }
  return CommandParserError::UnexpectedArgumentCount{-1};
}

}  // namespace

TEST(PathData, CommandsAndImplicitRepetitions) {
  const std::pair<const char*, Commands> table[] = {
      {" \t\r\n", {}},
      {"M10 20 30 40", {Command::M{10, 20}, Command::L{30, 40}}},
      {"m1 2 3 4", {Command::m{1, 2}, Command::l{3, 4}}},
      {"M10-20", {Command::M{10, -20}}},
      {"M.5.5", {Command::M{0.5, 0.5}}},
      {"M10 20Z z", {Command::M{10, 20}, Command::Z{}, Command::Z{}}},
      {"M L10 20", {Command::M{10, 20}}},
      {"H1V2h3v4c1 2 3 4 5 6 7 8 9 10 11 12",
       {Command::H{1}, Command::V{2}, Command::h{3}, Command::v{4}, Command::c{1, 2, 3, 4, 5, 6},
        Command::c{7, 8, 9, 10, 11, 12}}},
      {"S1 2 3 4q5 6 7 8t1 2", {Command::S{1, 2, 3, 4}, Command::q{5, 6, 7, 8}, Command::t{1, 2}}},
  };
  for (const auto& [text, expected] : table) {
    EXPECT_EQ(Command::parseCommandsString(text), expected) << text;
  }
}

// Exponents, "+" signs, a comma between any two numbers, and arc flags of one
// character written without separators.
TEST(PathData, FullNumberGrammar) {
  const std::pair<const char*, Commands> table[] = {
      {"M1e3 0", {Command::M{1000, 0}}},
      {"M1.5E-1+2e+1", {Command::M{0.15, 20}}},
      {"M10 ,20", {Command::M{10, 20}}},
      {"M10,20,30,40", {Command::M{10, 20}, Command::L{30, 40}}},
      {"M10 20 , 30 40", {Command::M{10, 20}, Command::L{30, 40}}},
      {"M05 1", {Command::M{5, 1}}},
      {"a5 5 0 0110 10", {Command::a{5, 5, 0, false, true, 10, 10}}},
      {"A5,5,0,1,0,10,10", {Command::A{5, 5, 0, true, false, 10, 10}}},
      {"a1 1 0 11.5.5", {Command::a{1, 1, 0, true, true, 0.5, 0.5}}},
      {"A1 1 0 2 1 3 4", {Command::A{1, 1, 0, true, true, 3, 4}}},
  };
  for (const auto& [text, expected] : table) {
    EXPECT_EQ(Command::parseCommandsString(text), expected) << text;
  }
}

TEST(PathData, InvalidDataThrowsWithoutPartialResult) {
  using E = CommandParserError;
  const std::pair<const char*, E> table[] = {
      {"M10,,20", E::CouldNotParseNumber{""}},
      {"M10 20,,30 40", E::CouldNotParseNumber{""}},
      {"M1e 2", E::CouldNotParseNumber{"1e"}},
      {"M - 5", E::CouldNotParseNumber{"-"}},
      {"Z 5 5", E::InvalidCommandChar{'5'}},
      {"10 20", E::InvalidCommandChar{'1'}},
      {"M10 20,", E::InvalidCommandChar{','}},
      {"M10 20,L5 5", E::InvalidCommandChar{','}},
      {"M1 2#", E::InvalidCommandChar{'#'}},
      {"\xC3\xA9", E::InvalidCommandChar{0xC3}},
      {"M10,", E::MissingArgument{'M'}},
      {"M10 20 L", E::MissingArgument{'L'}},
      {"M10L20", E::MissingArgument{'M'}},
      {"a5 5 0 0 1 10", E::MissingArgument{'a'}},
  };
  for (const auto& [text, expected] : table) {
    EXPECT_EQ(errorOf(text), expected) << text << " gave " << errorOf(text).description();
  }
  EXPECT_EQ(errorOf("M10 20 L").description(), "missingArgument(76)");
  EXPECT_STREQ(errorOf("M10,,20").what(), "couldNotParseNumber(\"\")");
}

TEST(PathData, LongInput) {
  std::string path = "M0 0";
  for (int i = 0; i < 20000; ++i) path += " L1,2";
  EXPECT_EQ(Command::parseCommandsString(path).size(), 20001u);
  const std::string huge(200000, '9');  // too large for a double
  EXPECT_EQ(errorOf("M" + huge + " 0"), CommandParserError(CommandParserError::CouldNotParseNumber{huge}));
}
