#include "SVGConverter/Exporter/DecimalNumberFormatter.h"
#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

#include <gtest/gtest.h>

#include <charconv>
#include <climits>
#include <cmath>
#include <limits>
#include <random>

namespace {

std::string number(double value, int digits = 4) { return DecimalNumberFormatter(digits).string(value); }

// The rule itself, worked on decimal text: the shortest round-trip text of the value, rounded
// half to even at `digits` places, without trailing zeros.
std::string roundedShortestText(double value, int digits) {
  char buffer[512];
  char* end = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::fixed).ptr;
  const std::string text(buffer, static_cast<std::size_t>(end - buffer));
  const std::size_t point = text.find('.');
  std::string whole = text.substr(0, point);
  std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
  if (fraction.size() > static_cast<std::size_t>(digits)) {
    const std::string dropped = fraction.substr(static_cast<std::size_t>(digits));
    std::string kept = whole + fraction.substr(0, static_cast<std::size_t>(digits));
    const bool tie = dropped[0] == '5' && dropped.find_first_not_of('0', 1) == std::string::npos;
    if (dropped[0] > '5' || (dropped[0] == '5' && (!tie || (kept.back() - '0') % 2 == 1))) {
      std::size_t at = kept.size();
      while (at > 0 && kept[at - 1] == '9') kept[--at] = '0';
      if (at == 0) {
        kept.insert(kept.begin(), '1');
      } else {
        ++kept[at - 1];
      }
    }
    whole = kept.substr(0, kept.size() - static_cast<std::size_t>(digits));
    fraction = kept.substr(kept.size() - static_cast<std::size_t>(digits));
  }
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
  if (whole.empty() && fraction.empty()) return "0";
  std::string result = std::signbit(value) ? "-" : "";
  result += whole.empty() ? "0" : whole;
  if (!fraction.empty()) return result + "." + fraction;
  return std::fabs(value) >= 9007199254740992.0 ? result + ".0" : result;
}

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

// Coordinates as drawings have them (sums of short decimals), exact ties at the rounded place,
// and magnitudes on both sides of where rounding in binary stops being safe.
TEST(NumberText, AgreesWithRoundingTheShortestDecimalText) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> coordinate(-500, 500);
  for (int round = 0; round < 20000; ++round) {
    const double a = std::round(coordinate(random) * 10000) / 10000;
    const double b = std::round(coordinate(random) * 10000) / 10000;
    const int places = round % 7;
    const double values[] = {a + b,
                             a * b / 3,
                             (std::round(coordinate(random) * 1000) + 0.5) / std::pow(10, places),
                             std::ldexp(coordinate(random), static_cast<int>(random() % 60) - 20)};
    for (const double value : values) {
      for (const int digits : {0, 1, 2, 4, 6, 10, 17}) {
        ASSERT_EQ(number(value, digits), roundedShortestText(value, digits)) << value << " to " << digits;
      }
    }
  }
}

TEST(GeometryLiterals, RectOriginInShortestFormSizeAsConfigured) {
  SVGSwiftUIExporter::Config config;
  config.maximumFractionDigits = 2;
  SVGSwiftUIExporter stream(config);
  EXPECT_EQ(stream.initCGSize({100, 50.125}), "CGSize(width: 100, height: 50.12)");
  EXPECT_EQ(stream.initCGRect({1.125, 0, 3.333, 4}, true), ".init(x: 1.125, y: 0.0, width: 3.33, height: 4)");
  EXPECT_EQ(stream.initCGRect({NAN, 0, 1, 1}), "CGRect(x: .nan, y: 0.0, width: 1, height: 1)");
}

// The formatter is given "_" as its grouping separator only with the option on; having no number
// style, it groups no digits either way.
TEST(NumberText, TheThousandsSeparatorIsGivenToTheFormatterAndNeverShows) {
  auto svg = SVG::SVG::fromSVGString(
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"1234567.5\" height=\"10\">"
      "<rect x=\"9876543.25\" width=\"1000\" height=\"10\"/></svg>");
  ASSERT_TRUE(svg.has_value());
  for (const bool on : {true, false}) {
    SVGSwiftUIExporter::Config config;
    config.useThousandsSeparator = on;
    EXPECT_EQ(SVGSwiftUIExporter(config).numberFormatter().thousandsSeparator(), on ? "_" : "");
    const std::string swift = SVGSwiftUIExporter::export_(*svg, config);
    EXPECT_NE(swift.find("1234567.5"), std::string::npos) << swift;
    EXPECT_NE(swift.find("9876543.25"), std::string::npos) << swift;
    EXPECT_EQ(swift.find("_000"), std::string::npos) << swift;
  }
  EXPECT_EQ(DecimalNumberFormatter(4, "_").string(1234567.891), "1234567.891");
}
