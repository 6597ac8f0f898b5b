#include <gtest/gtest.h>

#include "SVGConverter/SwiftUIModel/SwiftUIModel.h"

using namespace SwiftUIModel;

TEST(SwiftUIModel, EvenlySpreadStopsCompareAgainstRepeatedSums) {
  auto stops = [](std::vector<double> offsets) {
    std::vector<GradientStop> result;
    for (double offset : offsets) result.push_back({CSS::Color::named("red"), std::nullopt, offset});
    return result;
  };
  EXPECT_TRUE(hasLinearDistribution(stops({0.7})));
  EXPECT_FALSE(hasLinearDistribution(stops({0.0, 0.9})));

  // Seven stops: six additions of 1/6 stop short of 1.0.
  std::vector<double> sums;
  double sum = 0;
  for (int i = 0; i < 7; ++i, sum += 1.0 / 6) sums.push_back(sum);
  EXPECT_TRUE(hasLinearDistribution(stops(sums)));
  std::vector<double> exactEnd = sums;
  exactEnd.back() = 1.0;
  EXPECT_FALSE(hasLinearDistribution(stops(exactEnd)));
  EXPECT_EQ(linearDistributionOffsets(stops(exactEnd)), sums);
}
