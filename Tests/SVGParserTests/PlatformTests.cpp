#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <regex>

#include "Platform/Geometry.h"
#include "Platform/NumberText.h"
#include "Platform/Print.h"
#include "Platform/UUID.h"

TEST(DoubleDescription, ShortestRoundTripWithFraction) {
  const std::pair<double, const char*> table[] = {
      {0.0, "0.0"},
      {-0.0, "-0.0"},
      {12, "12.0"},
      {-12, "-12.0"},
      {1.5, "1.5"},
      {0.1, "0.1"},
      {0.1 + 0.2, "0.30000000000000004"},
      {100, "100.0"},
      {123456.789, "123456.789"},
      {0.0001, "0.0001"},
      {0.00012, "0.00012"},
      {0.00001, "1e-05"},
      {0.000015, "1.5e-05"},
      {-0.00001, "-1e-05"},
      {1e15, "1000000000000000.0"},
      {9007199254740992.0, "9007199254740992.0"},
      {1e16, "1e+16"},
      {1.5e300, "1.5e+300"},
      {5e-324, "5e-324"},
      {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
      {std::nan(""), "nan"},
      {std::numeric_limits<double>::infinity(), "inf"},
      {-std::numeric_limits<double>::infinity(), "-inf"},
  };
  for (auto [value, text] : table) EXPECT_EQ(SVGParser::doubleDescription(value), text) << text;
}

TEST(ParseDouble, AcceptsWholeNumbersOnly) {
  EXPECT_EQ(SVGParser::parseDouble("12"), 12.0);
  EXPECT_EQ(SVGParser::parseDouble("+12.5"), 12.5);
  EXPECT_EQ(SVGParser::parseDouble("-.5"), -0.5);
  EXPECT_EQ(SVGParser::parseDouble("5."), 5.0);
  EXPECT_EQ(SVGParser::parseDouble("1e3"), 1000.0);
  EXPECT_EQ(SVGParser::parseDouble("1E-2"), 0.01);
  EXPECT_EQ(SVGParser::parseDouble("1e-400"), 0.0);
  EXPECT_EQ(SVGParser::parseDouble("0." + std::string(400, '0') + "1"), 0.0);
  for (const char* bad : {"", " 1", "1 ", "1px", "--1", "+-1", ".", "e5", "1e", "1e+", "0x10", "nan", "inf",
                          "infinity", "1e999", "-1e999", "1,5"}) {
    EXPECT_FALSE(SVGParser::parseDouble(bad).has_value()) << bad;
  }
  EXPECT_FALSE(SVGParser::parseDouble(std::string(400, '9')).has_value());
}

TEST(ParseInteger, RangeAndSign) {
  EXPECT_EQ(SVGParser::parseInteger("42"), 42);
  EXPECT_EQ(SVGParser::parseInteger("+42"), 42);
  EXPECT_EQ(SVGParser::parseInteger("-7"), -7);
  EXPECT_FALSE(SVGParser::parseInteger("4.2").has_value());
  EXPECT_FALSE(SVGParser::parseInteger("99999999999999999999").has_value());
  EXPECT_FALSE(SVGParser::parseInteger("++1").has_value());
}

TEST(Geometry, TransformsComposeFirstThenSecond) {
  const auto move = CGAffineTransform::makeTranslation(10, 0);
  const auto scale = CGAffineTransform::makeScale(2, 3);
  const CGPoint p{1, 1};
  EXPECT_EQ(p.applying(move.concatenating(scale)), (CGPoint{22, 3}));
  EXPECT_EQ(p.applying(scale.concatenating(move)), (CGPoint{12, 3}));
  const auto quarter = CGAffineTransform::makeRotation(M_PI / 2);
  const auto r = CGPoint{1, 0}.applying(quarter);
  EXPECT_NEAR(r.x, 0, 1e-12);
  EXPECT_NEAR(r.y, 1, 1e-12);
  EXPECT_TRUE(CGAffineTransform::identity().isIdentity());
  EXPECT_FALSE(move.isIdentity());
  const CGRect rect(10, 20, -4, 6);
  EXPECT_EQ(rect.minX(), 6);
  EXPECT_EQ(rect.maxX(), 10);
  EXPECT_EQ(rect.width(), 4);
}

TEST(Platform, UUIDIsUpperCaseCanonicalAndFresh) {
  const auto a = SVGParser::newUUIDString(), b = SVGParser::newUUIDString();
  EXPECT_TRUE(std::regex_match(a, std::regex("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}"))) << a;
  EXPECT_NE(a, b);
}

TEST(Platform, PrintCaptureCollectsJoinedLines) {
  SVGParser::PrintCapture capture;
  SVGParser::print("WARN:", "bad", "thing");
  SVGParser::printLine("second");
  EXPECT_EQ(capture.text(), "WARN: bad thing\nsecond\n");
}
