#include <gtest/gtest.h>

#include <cmath>

#include "SVGConverter/SwiftUIModel/SwiftUIModel.h"

using namespace SwiftUIModel;

namespace {

ContainerViewType container(std::string name, ContainerViewType::Resizable resizable = {},
                            std::vector<Subview> children = {}) {
  return ContainerViewType(std::move(name), std::nullopt, std::nullopt, std::nullopt, resizable, std::move(children),
                           {}, std::nullopt, {});
}

ShapeDrawing noDrawing() { return ShapeDrawing{}; }

FilterModifierType::Primitive blur(double radius) {
  return {std::nullopt, std::nullopt, FilterModifierType::Primitive::Operation::blur(radius)};
}

}  // namespace

TEST(SwiftUIModel, ContainerResizingAndSubviewAccessors) {
  EXPECT_FALSE(container("A").isResizable());
  EXPECT_TRUE(container("A", {std::nullopt, 120.0}).isResizable());
  EXPECT_TRUE(container("A", {80.0, std::nullopt}).isResizable());

  ContainerViewType inner = container("Inner");
  inner.viewBox = CGRect(0, 0, 10, 20);
  Subview group = Subview::group(inner);
  Subview circle = Subview::circle(CircleViewType("C", CGSize{4, 4}, CGPoint{1, 2}, noDrawing()));
  Subview text = Subview::text(Text{{1, 2}, std::nullopt, std::nullopt, "hi"});

  EXPECT_EQ(group.typeName(), "Inner");
  EXPECT_EQ(circle.typeName(), "C");
  EXPECT_EQ(text.typeName(), "");
  ASSERT_NE(group.boxable(), nullptr);
  EXPECT_EQ(group.boxable()->viewBox, CGRect(0, 0, 10, 20));
  EXPECT_EQ(circle.boxable(), nullptr);
  EXPECT_FALSE(text.framable());
  ASSERT_TRUE(circle.framable());
  EXPECT_EQ(circle.framable()->origin, (CGPoint{1, 2}));
  EXPECT_EQ(circle.framable()->intrinsicSize, (CGSize{4, 4}));
  EXPECT_DEATH(text.view(), "Call of `view` on Text");
}

TEST(SwiftUIModel, EvenlySpreadStopsCompareAgainstRepeatedSums) {
  EXPECT_EQ(linearDistributionStep(0), 0);
  EXPECT_EQ(linearDistributionStep(1), 0);
  EXPECT_EQ(linearDistributionStep(4), 1.0 / 3);
  EXPECT_EQ(linearDistributionStep(6), 0.2);

  auto stops = [](std::vector<double> offsets) {
    std::vector<GradientStop> result;
    for (double offset : offsets) result.push_back({CSS::Color::named("red"), std::nullopt, offset});
    return result;
  };
  EXPECT_TRUE(hasLinearDistribution(stops({})));
  EXPECT_TRUE(hasLinearDistribution(stops({0.7})));
  EXPECT_TRUE(hasLinearDistribution(stops({0.0, 1.0})));
  EXPECT_FALSE(hasLinearDistribution(stops({0.0, 0.9})));
  EXPECT_TRUE(hasLinearDistribution(stops({0.0, 0.5, 1.0})));

  // Seven stops: six additions of 1/6 stop short of 1.0.
  std::vector<double> sums;
  double sum = 0;
  for (int i = 0; i < 7; ++i, sum += 1.0 / 6) sums.push_back(sum);
  EXPECT_TRUE(hasLinearDistribution(stops(sums)));
  std::vector<double> exactEnd = sums;
  exactEnd.back() = 1.0;
  EXPECT_FALSE(hasLinearDistribution(stops(exactEnd)));
  EXPECT_EQ(linearDistributionOffsets(stops(exactEnd)), sums);
  EXPECT_EQ(linearDistributionOffsets(stops({0, 0, 0})), (std::vector<double>{0.0, 0.5, 1.0}));
}

TEST(SwiftUIModel, FilterGroupsEmptinessAndEquality) {
  using FilterGroup = FilterModifierType::FilterGroup;
  const FilterGroup emptyMerge = FilterGroup::merge({});
  EXPECT_TRUE(emptyMerge.isEmpty());
  EXPECT_FALSE(FilterGroup::merge({FilterGroup::source()}).isEmpty());
  EXPECT_FALSE(FilterGroup::primitive(FilterGroup::source(), {}).isEmpty());
  EXPECT_TRUE(FilterGroup::primitive(emptyMerge, {}).isEmpty());
  EXPECT_FALSE(FilterGroup::primitive(emptyMerge, {blur(1)}).isEmpty());
  EXPECT_FALSE(FilterGroup::blend(emptyMerge, emptyMerge, SVG::Filter::Primitive::Blend::Mode::normal).isEmpty());

  // Separately built graphs compare by structure; a copy shares its nodes.
  const FilterGroup a = FilterGroup::primitive(FilterGroup::sourceAlpha(), {blur(3)});
  const FilterGroup b = FilterGroup::primitive(FilterGroup::sourceAlpha(), {blur(3)});
  const FilterGroup copy = a;
  EXPECT_EQ(a, b);
  EXPECT_EQ(a, copy);
  EXPECT_NE(a, FilterGroup::primitive(FilterGroup::sourceAlpha(), {blur(2)}));
  EXPECT_NE(FilterGroup::blend(a, a, SVG::Filter::Primitive::Blend::Mode::screen),
            FilterGroup::blend(a, a, SVG::Filter::Primitive::Blend::Mode::multiply));
}

TEST(SwiftUIModel, TransformStepChainsActLastStepFirst) {
  // Scale first, then rotate, then move: (1, 0) -> (2, 0) -> (0, 2) -> (10, 2).
  const CGAffineTransform chain = affineTransformation(
      {TransformStep::translate(10, 0), TransformStep::rotate(M_PI / 2), TransformStep::scale(2, 3)});
  const CGPoint p = CGPoint{1, 0}.applying(chain);
  EXPECT_NEAR(p.x, 10, 1e-12);
  EXPECT_NEAR(p.y, 2, 1e-12);
  EXPECT_TRUE(affineTransformation({}).isIdentity());
}

TEST(SwiftUIModel, StrokeStylesAndPaints) {
  const StrokeStyle unset = StrokeStyle::fromPresentation({});
  EXPECT_EQ(unset.lineWidth, std::nullopt);
  EXPECT_EQ(unset.lineCap, CGLineCap::butt);
  EXPECT_EQ(unset.lineJoin, CGLineJoin::miter);
  EXPECT_NE(unset, StrokeStyle::defaultStyle());

  SVG::PresentationAttributes stated;
  stated.strokeWidth = CSS::UnitLength::percentage(5);
  stated.strokeLineCap = CGLineCap::round;
  EXPECT_EQ(StrokeStyle::fromPresentation(stated), (StrokeStyle{std::nullopt, CGLineCap::round, CGLineJoin::miter}));
  stated.strokeWidth = CSS::UnitLength::inch(1);
  EXPECT_EQ(StrokeStyle::fromPresentation(stated).lineWidth, 72);

  const CSS::Color red = CSS::Color::named("red");
  EXPECT_NE(Paint::color(red, std::nullopt), Paint::color(red, 1.0));
  EXPECT_EQ(std::hash<Paint>{}(Paint::color(red, 0.5)), std::hash<Paint>{}(Paint::color(red, 0.5)));
  EXPECT_EQ(Paint::property("Drawing.g").description(), "<PaintProp: Drawing.g>");
}
