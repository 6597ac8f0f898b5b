#include "SVGConverter/Exporter/DecimalNumberFormatter.h"
#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

namespace {

std::string number(double value, int digits = 4) { return DecimalNumberFormatter(digits).string(value); }

}  // namespace

TEST(NumberText, RoundsToConfiguredFractionDigits) {
  EXPECT_EQ(number(1.23456), "1.2346");
  EXPECT_EQ(number(0.123456), "0.1235");
  EXPECT_EQ(number(2.5), "2.5");
  EXPECT_EQ(number(100.0), "100");
  EXPECT_EQ(number(0.5), "0.5");
  EXPECT_EQ(number(-1.25, 1), "-1.2");
  EXPECT_EQ(number(9.99995), "10");
  EXPECT_EQ(number(0.96, 1), "1");
  EXPECT_EQ(number(1234567.891), "1234567.891");
  EXPECT_EQ(number(2.7, 0), "3");
  EXPECT_EQ(number(2.7, -3), "3");
}

TEST(NumberText, TiesGoToEvenOnShortestDigits) {
  EXPECT_EQ(number(2.675, 2), "2.68");  // the double is just below 2.675
  EXPECT_EQ(number(2.5, 0), "2");
  EXPECT_EQ(number(3.5, 0), "4");
  EXPECT_EQ(number(-2.5, 0), "-2");
  EXPECT_EQ(number(0.5, 0), "0");
  EXPECT_EQ(number(0.15, 1), "0.2");
  EXPECT_EQ(number(0.25, 1), "0.2");
  EXPECT_EQ(number(0.00015), "0.0002");
  EXPECT_EQ(number(0.00005), "0");
}

TEST(NumberText, ExtremesStayPlainSwiftLiterals) {
  // Whole numbers from 2^53 on carry a fraction: as integer literals they would overflow Int.
  EXPECT_EQ(number(1e300), "1" + std::string(300, '0') + ".0");
  EXPECT_EQ(number(-1.5e20), "-150000000000000000000.0");
  EXPECT_EQ(number(1e19), "10000000000000000000.0");
  EXPECT_EQ(number(9007199254740992.0), "9007199254740992.0");
  EXPECT_EQ(number(9007199254740991.0), "9007199254740991");
  EXPECT_EQ(number(1e-7, 10), "0.0000001");
  EXPECT_EQ(number(5e-324, INT_MAX), "0." + std::string(323, '0') + "5");
  EXPECT_EQ(number(1e-5), "0");
  EXPECT_EQ(number(-1e-5), "0");
  EXPECT_EQ(number(-0.4, 0), "0");
  EXPECT_EQ(number(-0.0), "0");
  EXPECT_EQ(number(std::numeric_limits<double>::quiet_NaN()), ".nan");
  EXPECT_EQ(number(INFINITY), ".infinity");
  EXPECT_EQ(number(-INFINITY), "-.infinity");

  EXPECT_EQ(SVGConverter::shortestNumberLiteral(100), "100.0");
  EXPECT_EQ(SVGConverter::shortestNumberLiteral(1e-5), "1e-05");
  EXPECT_EQ(SVGConverter::shortestNumberLiteral(-INFINITY), "-.infinity");
}

TEST(GeometryLiterals, RectOriginInShortestFormSizeAsConfigured) {
  SVGSwiftUIExporter::Config config;
  config.maximumFractionDigits = 2;
  SVGSwiftUIExporter stream(config);
  EXPECT_EQ(stream.initCGSize({100, 50.125}), "CGSize(width: 100, height: 50.12)");
  EXPECT_EQ(stream.initCGRect({1.125, 0, 3.333, 4}, true), ".init(x: 1.125, y: 0.0, width: 3.33, height: 4)");
  EXPECT_EQ(stream.initCGRect({NAN, 0, 1, 1}), "CGRect(x: .nan, y: 0.0, width: 1, height: 1)");
}
