// Every value reader on random text: no crash, no other exception, and long
// inputs are read without quadratic work.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "SVGParser/CSS/Font.h"
#include "SVGParser/CSS/HexColor.h"
#include "SVGParser/CSS/Parser/CSSStyle.h"
#include "SVGParser/Parser/FunctionParser.h"
#include "SVGParser/Parser/PathDataParser.h"
#include "Platform/Print.h"
#include "SVGParser/SVG/Command.h"
#include "SVGParser/SVG/PresentationAttributes.h"

namespace {

void readEverything(const std::string& text) {
  const std::string_view view = text;
  try {
    (void)SVG::Command::parseCommandsString(view);
  } catch (const SVG::CommandParserError&) {
  }
  (void)SVG::Transform::parse(view);
  (void)SVGParser::parseCGRect(view);
  (void)CSS::rgbFromHex(view);
  (void)CSS::Font::fromStringValue(view);
  SVG::XMLAttributes attributes;
  for (const char* key : {"opacity", "fill", "stroke", "stroke-width", "transform", "filter"}) {
    attributes.add(key, text);
  }
  const CSS::Style style(std::string_view("fill:" + text + ";stroke:" + text + ";filter:" + text));
  (void)SVG::PresentationAttributes::fromXMLAttributes(attributes, style);
  (void)SVG::PresentationAttributes::fromXMLAttributes({}, style);
}

}  // namespace

TEST(ParseGarbage, RandomTextNeverBreaksAReader) {
  const std::string alphabet = "Mm LlAaZz0123456789.,+-eE#%()'\"\t\n\xC3\xA9\xFF\x00urlgbapxtin";
  std::mt19937 random(20240611);
  SVGParser::PrintCapture capture;
  for (int round = 0; round < 3000; ++round) {
    std::string text(random() % 40, ' ');
    for (char& ch : text) ch = alphabet[random() % alphabet.size()];
    readEverything(text);
  }
}

TEST(ParseGarbage, LongInputs) {
  SVGParser::PrintCapture capture;
  readEverything(std::string(100000, '('));
  readEverything(std::string(100000, ')'));
  readEverything(std::string(100000, '1'));
  std::string blanksThenLetter(100000, ' ');
  blanksThenLetter += 'x';
  readEverything(blanksThenLetter);
  std::string transforms;
  for (int i = 0; i < 20000; ++i) transforms += "scale(2 2),";
  EXPECT_EQ(SVG::Transform::parse(transforms).size(), 20000u);
}
