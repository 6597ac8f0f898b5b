#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SVGParser/Parser/FunctionParser.h"
#include "Platform/Print.h"
#include "SVGParser/SVG/Transform.h"

using SVG::Transform;
using Transforms = std::vector<Transform>;
using Lines = std::vector<std::string>;

TEST(ParseFunction, NameAndCommaSeparatedArguments) {
  EXPECT_EQ(SVGParser::parseFunction("rgb( 1 , 2 ,3 ) x"), (SVGParser::FunctionCall{"rgb", {"1", "2", "3"}}));
  EXPECT_EQ(SVGParser::parseFunction(" f ()"), (SVGParser::FunctionCall{"f", {}}));
  EXPECT_EQ(SVGParser::parseFunction("f(1,,2, ,g(3))"), (SVGParser::FunctionCall{"f", {"1", "2", "", "g(3)"}}));
  for (const char* text : {"(1)", "f)(", "f(1", "plain"}) EXPECT_FALSE(SVGParser::parseFunction(text)) << text;

  // The head of a call is split the same way, without copies.
  for (const char* text : {"url( #a , b)", " url(,, '#b')", "url()", "url(,)", "u rl(x)", "(1)", "f)(", "f(1", "x"}) {
    const auto call = SVGParser::parseFunction(text);
    const auto head = SVGParser::parseFunctionHead(text);
    ASSERT_EQ(head.has_value(), call.has_value()) << text;
    if (!call) continue;
    EXPECT_EQ(head->name, call->name) << text;
    EXPECT_EQ(head->firstArgument, call->arguments.empty() ? std::nullopt
                                                           : std::optional<std::string_view>(call->arguments[0]))
        << text;
  }
}

TEST(ParseOpacityAndRect, NumbersPercentagesAndViewBoxes) {
  EXPECT_EQ(SVGParser::parseOpacity(std::string_view("100%")), 100);
  EXPECT_EQ(SVGParser::parseOpacity(std::string_view("1.5")), 150);
  for (const char* bad : {"", "%", "abc", " 0.5"}) EXPECT_FALSE(SVGParser::parseOpacity(std::string_view(bad))) << bad;

  SVGParser::PrintCapture capture;
  for (const char* text : {"0 0 100 50", "0, 0,100,50", "100 50"}) {
    EXPECT_EQ(SVGParser::parseCGRect(std::string_view(text)), CGRect(0, 0, 100, 50)) << text;
  }
  EXPECT_FALSE(SVGParser::parseCGRect(std::string_view("")));
  EXPECT_FALSE(SVGParser::parseCGRect(std::string_view("0 0 100")));
  EXPECT_EQ(capture.lines(), Lines{"Unexpected CGRect value: '0 0 100'"});
}

TEST(TransformParse, ArgumentRulesOfEachFunction) {
  const std::pair<const char*, Transforms> table[] = {
      {"translate(10)", {Transform::Translate{10, 0}}},
      {"translate(10, x)", {Transform::Translate{10, 10}}},
      {"scale(2)", {Transform::Scale{2, 2}}},
      {"scale(2, 3, 4)", {Transform::Scale{2, 4}}},
      {"scale()", {Transform::Scale{0, 0}}},
      {"rotate(45, 10)", {Transform::Rotate{45, 10, 10}}},
      {"rotate(x)", {}},
      {"skewX(30) skewY(x) skewX()", {Transform::SkewX{30}, Transform::SkewY{0}}},
      {"matrix(1, a, 2)", {Transform::Matrix{{1, 2}}}},
      {"identity()", {}},
      {"rotate(30", {}},
      {"translate(5)junk", {Transform::Translate{5, 0}}},
  };
  SVGParser::PrintCapture capture;
  for (const auto& [text, expected] : table) EXPECT_EQ(Transform::parse(std::string_view(text)), expected) << text;
  EXPECT_TRUE(capture.lines().empty()) << capture.text();
}

// Drawing programs separate arguments by blanks and transforms by commas.
TEST(TransformParse, BlankSeparatedArgumentsAndCommasBetweenTransforms) {
  const std::pair<const char*, Transforms> table[] = {
      {"translate(10 20)", {Transform::Translate{10, 20}}},
      {"rotate(45 10 10)", {Transform::Rotate{45, 10, 10}}},
      {"matrix(1 0 0 1 5 5)", {Transform::Matrix{{1, 0, 0, 1, 5, 5}}}},
      {"matrix(1, 0 0,1\n5\t5)", {Transform::Matrix{{1, 0, 0, 1, 5, 5}}}},
      {"translate(1),scale(2)", {Transform::Translate{1, 0}, Transform::Scale{2, 2}}},
      {" translate(1) , scale(2) identity()", {Transform::Translate{1, 0}, Transform::Scale{2, 2}}},
  };
  for (const auto& [text, expected] : table) EXPECT_EQ(Transform::parse(std::string_view(text)), expected) << text;
}

TEST(TransformParse, UnsupportedEntriesAreReportedAndSkipped) {
  SVGParser::PrintCapture capture;
  const Transforms translation = {Transform::Translate{1, 0}};
  EXPECT_EQ(Transform::parse(std::string_view("skewx(30) translate(1) SkewX(\"a\")")), translation);
  EXPECT_EQ(Transform::parse(std::string_view("translate(1),,scale(2) junk)")), translation);
  EXPECT_EQ(capture.lines(), (Lines{"Unsupported transform function: skewx [\"30\"]",
                                    "Unsupported transform function: SkewX [\"\\\"a\\\"\"]",
                                    "Unsupported transform function: ,scale [\"2\"]",
                                    "Unsupported transform value: junk)"}));
}
