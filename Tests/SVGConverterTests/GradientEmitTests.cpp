#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

#include <gtest/gtest.h>

using CSS::Color;
using SwiftUIModel::GradientStop;

namespace {

const GradientStop red0{Color::named("red"), std::nullopt, 0};
const GradientStop blue1{Color::named("blue"), std::nullopt, 1};

std::string linear(CGPoint start, CGPoint end, const std::vector<GradientStop>& stops,
                   SVGSwiftUIExporter::Config config = {}) {
  SVGSwiftUIExporter stream(config);
  stream.exportLinearGradientProperty({"g", start, end, stops});
  return stream.swift();
}

/// The line holding the end points of a linear gradient.
std::string endPoints(CGPoint start, CGPoint end) {
  const std::string text = linear(start, end, {});
  const auto from = text.find("startPoint: ");
  return text.substr(from, text.find('\n', from) - from);
}

/// The stop lines, between the "gradient:" line and "]),".
std::string stopLines(const std::vector<GradientStop>& stops, SVGSwiftUIExporter::Config config = {}) {
  const std::string text = linear({0, 0}, {1, 0}, stops, config);
  const auto from = text.find('\n', text.find("gradient: ")) + 1;
  return text.substr(from, text.find("  ]),") - from);
}

/// A stop whose colour text is "Color." + n times "x" + " /*unknown*/", n + 18 characters.
GradientStop unknown(std::size_t n, CGFloat offset) { return {Color::named(std::string(n, 'x')), std::nullopt, offset}; }

}  // namespace

TEST(GradientEmit, EndPointsAndStopForms) {
  EXPECT_EQ(endPoints({1, 0}, {0, 1}), "startPoint: .topTrailing, endPoint: .bottomLeading");
  EXPECT_EQ(endPoints({0.5, 0}, {1, 1}), "startPoint: .init(x: 0.5, y: 0), endPoint: .bottomTrailing");
  EXPECT_EQ(stopLines({red0, {Color::named("green"), std::nullopt, 0.5}, blue1}), "    .red, .green, .blue\n");
  EXPECT_EQ(stopLines({{Color::named("red"), std::nullopt, 0.1}, blue1}),
            "    .init(color: .red, location: 0.1), .init(color: .blue, location: 1)\n");
  EXPECT_EQ(stopLines({{Color::named("red"), 0.25, 0.7}}), "    // A gradient w/ just a single stop?\n    .red.opacity(0.25)\n");
}

TEST(GradientEmit, LongOrMultilineStopListsTakeOneLinePerStop) {
  const std::string at79 = stopLines({unknown(20, 0), unknown(21, 1)});
  EXPECT_EQ(at79.size(), 4 + 79 + 1u);
  EXPECT_EQ(at79.find('\n'), at79.size() - 1);
  const std::string eighty = "    Color." + std::string(21, 'x') + " /*unknown*/";
  EXPECT_EQ(stopLines({unknown(21, 0), unknown(21, 1)}), eighty + ",\n" + eighty + "\n");
}

TEST(GradientEmit, GradientWithoutStopsStaysComplete) {
  EXPECT_EQ(stopLines({}), "    // No gradient stops defined/detected.\n");
  SVGSwiftUIExporter::Config quiet;
  quiet.infoComments = false;
  EXPECT_EQ(linear({0, 0}, {0, 1}, {}, quiet),
            "static let g = LinearGradient(\n"
            "  gradient: .init(colors: [\n"
            "  ]),\n"
            "  startPoint: .top, endPoint: .bottom\n"
            ")\n");
  EXPECT_EQ(stopLines({red0}, quiet), "    .red\n");
}
