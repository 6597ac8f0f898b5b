// Lengths with units, points and sizes made of them, and transforms.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "SVGParser/CSS/UnitLength.h"
#include "SVGParser/SVG/Transform.h"
#include "SVGParser/SVG/UnitGeometry.h"

using CSS::UnitLength;
using SVG::Transform;

namespace {

void expectMaps(const CGAffineTransform& t, CGPoint from, CGPoint to) {
  const CGPoint mapped = from.applying(t);
  EXPECT_NEAR(mapped.x, to.x, 1e-12) << "x of (" << from.x << ", " << from.y << ")";
  EXPECT_NEAR(mapped.y, to.y, 1e-12) << "y of (" << from.x << ", " << from.y << ")";
}

}  // namespace

TEST(ModelUnitLength, DescriptionIsNumberTextAndSuffix) {
  EXPECT_EQ(UnitLength::centimeter(12).description(), "12.0cm");
  EXPECT_EQ(UnitLength::number(3).description(), "3.0");
  EXPECT_EQ(UnitLength::inch(1).description(), "1.0\"");
  EXPECT_EQ(UnitLength::percentage(50).description(), "50.0%");
  EXPECT_EQ(UnitLength::pixel(0.5).description(), "0.5px");
  EXPECT_EQ(UnitLength::millimeter(1e-5).description(), "1e-05mm");
  EXPECT_EQ(UnitLength(7.0), UnitLength::point(7));
  EXPECT_NE(UnitLength::point(7), UnitLength::pixel(7));
}

TEST(ModelUnitLength, PointSizes) {
  EXPECT_EQ(UnitLength::inch(1).pointSize(), 72.0);
  EXPECT_NEAR(*UnitLength::millimeter(25.4).pointSize(), 72.00000000022, 1e-9);
  EXPECT_NEAR(*UnitLength::centimeter(2.54).pointSize(), 72.00000000022, 1e-9);
  EXPECT_EQ(UnitLength::number(5).pointSize(), 5.0);
  EXPECT_EQ(UnitLength::pixel(5).pointSize(), 5.0);
  EXPECT_EQ(UnitLength::percentage(50).pointSize(), std::nullopt);
  // A pica length has no size in points, like a percentage.
  EXPECT_EQ(UnitLength::pc(2).pointSize(), std::nullopt);
}

TEST(ModelUnitLength, FractionAgainstReference) {
  const auto fraction = [](UnitLength self, std::optional<UnitLength> ref) {
    return self.fraction(ref);
  };
  EXPECT_EQ(fraction(UnitLength::percentage(50), std::nullopt), 0.5);
  EXPECT_EQ(fraction(UnitLength::percentage(50), UnitLength::inch(1)), 0.5);
  EXPECT_EQ(fraction(UnitLength::percentage(50), UnitLength::number(2)), 0.25);
  EXPECT_EQ(fraction(UnitLength::percentage(50), UnitLength::percentage(25)), 2.0);
  EXPECT_EQ(fraction(UnitLength::number(10), UnitLength::number(4)), 2.5);
  EXPECT_EQ(fraction(UnitLength::number(10), UnitLength::percentage(50)), 20.0);
  EXPECT_EQ(fraction(UnitLength::number(5), UnitLength::centimeter(10)), 5.0);
  EXPECT_EQ(fraction(UnitLength::number(5), std::nullopt), 5.0);
  EXPECT_EQ(fraction(UnitLength::point(10), UnitLength::pixel(20)), 0.5);
  EXPECT_EQ(fraction(UnitLength::inch(1), UnitLength::number(2)), 36.0);
  EXPECT_EQ(fraction(UnitLength::point(10), UnitLength::percentage(50)), std::nullopt);
  EXPECT_EQ(fraction(UnitLength::point(10), std::nullopt), std::nullopt);
  // A pica length is no fraction of anything, and nothing absolute is a fraction of one.
  for (const std::optional<UnitLength>& reference :
       {std::optional<UnitLength>(), std::optional(UnitLength::number(2)), std::optional(UnitLength::percentage(50)),
        std::optional(UnitLength::point(6)), std::optional(UnitLength::pc(1))}) {
    EXPECT_EQ(fraction(UnitLength::pc(1), reference), std::nullopt);
  }
  EXPECT_EQ(fraction(UnitLength::point(6), UnitLength::pc(1)), std::nullopt);
  EXPECT_EQ(fraction(UnitLength::inch(1), UnitLength::pc(1)), std::nullopt);
  // A number against a pica reference stays the number, as against any other unit.
  EXPECT_EQ(fraction(UnitLength::number(5), UnitLength::pc(1)), 5.0);
  // A zero reference divides plainly.
  EXPECT_EQ(fraction(UnitLength::number(1), UnitLength::number(0)),
            std::numeric_limits<double>::infinity());
}

TEST(ModelUnitGeometry, PointSizesNeedEveryLength) {
  const SVG::UnitPoint point{UnitLength::inch(1), UnitLength::number(3)};
  EXPECT_EQ(point.pointSize(), (CGPoint{72, 3}));
  EXPECT_EQ((SVG::UnitPoint{UnitLength::number(1), UnitLength::percentage(3)}).pointSize(),
            std::nullopt);
  EXPECT_EQ(SVG::UnitSize::fromWH(4, 5).pointSize(), (CGSize{4, 5}));
  EXPECT_EQ((SVG::UnitSize{UnitLength::percentage(1), UnitLength::number(1)}).pointSize(),
            std::nullopt);
  EXPECT_EQ(SVG::UnitRect::fromCGRect(CGRect(1, 2, 3, 4)).pointSize(), CGRect(1, 2, 3, 4));
  SVG::UnitRect rect = SVG::UnitRect::fromCGRect(CGRect(1, 2, 3, 4));
  rect.size.height = UnitLength::percentage(10);
  EXPECT_EQ(rect.pointSize(), std::nullopt);
  EXPECT_EQ(SVG::UnitPoint::fromCGPoint({1, 2}).description(), "UnitPoint(x: 1.0pt, y: 2.0pt)");
}

TEST(ModelUnitGeometry, PointFractionAgainstSize) {
  const SVG::UnitPoint point{UnitLength::percentage(50), UnitLength::number(10)};
  EXPECT_EQ(point.fraction(std::nullopt), (CGPoint{0.5, 10}));
  const SVG::UnitSize size{UnitLength::number(100), UnitLength::number(20)};
  EXPECT_EQ(point.fraction(size), (CGPoint{0.005, 0.5}));
  const SVG::UnitPoint absolute{UnitLength::point(1), UnitLength::point(1)};
  EXPECT_EQ(absolute.fraction(std::nullopt), std::nullopt);
}

TEST(ModelTransform, MatrixTakesFirstSixNumbers) {
  EXPECT_EQ(Transform(Transform::Matrix{{1, 0, 0, 1}}).affineTransformation(),
            CGAffineTransform::identity());
  EXPECT_EQ(Transform(Transform::Matrix{{1, 2, 3, 4, 5, 6, 7, 8}}).affineTransformation(),
            (CGAffineTransform{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(Transform(Transform::Matrix{}).affineTransformation(),
            (CGAffineTransform{0, 0, 0, 0, 0, 0}));
  EXPECT_NE(Transform(Transform::Matrix{{1, 0}}), Transform(Transform::Matrix{{1, 0, 0}}));
}

TEST(ModelTransform, RotationKeepsItsCentre) {
  const auto about = Transform(Transform::Rotate{90, 10, 0}).affineTransformation();
  expectMaps(about, {10, 0}, {10, 0});
  expectMaps(about, {20, 0}, {10, 10});
  const auto plain = Transform(Transform::Rotate{30, 0, 0}).affineTransformation();
  const double angle = 30 * M_PI / 180;
  EXPECT_EQ(plain, (CGAffineTransform{std::cos(angle), std::sin(angle), -std::sin(angle),
                                      std::cos(angle), 0, 0}));
}

TEST(ModelTransform, SkewsTranslationsAndScales) {
  expectMaps(Transform(Transform::SkewX{45}).affineTransformation(), {0, 1}, {1, 1});
  expectMaps(Transform(Transform::SkewY{45}).affineTransformation(), {1, 0}, {1, 1});
  expectMaps(Transform(Transform::Translate{3, 4}).affineTransformation(), {1, 1}, {4, 5});
  expectMaps(Transform(Transform::Scale{2, 3}).affineTransformation(), {1, 1}, {2, 3});
}

TEST(ModelTransform, ListAppliesLastEntryFirst) {
  const std::vector<Transform> list{Transform::Translate{10, 0}, Transform::Scale{2, 2}};
  expectMaps(SVG::affineTransformation(list), {1, 1}, {12, 2});
  const std::vector<Transform> reversed{Transform::Scale{2, 2}, Transform::Translate{10, 0}};
  expectMaps(SVG::affineTransformation(reversed), {1, 1}, {22, 2});
  EXPECT_EQ(SVG::affineTransformation({}), CGAffineTransform::identity());
}

TEST(ModelTransform, Descriptions) {
  EXPECT_EQ(Transform(Transform::Rotate{90, 1, 2}).description(),
            "rotate(degrees: 90.0, x: 1.0, y: 2.0)");
  EXPECT_EQ(Transform(Transform::Matrix{{1, 0.5}}).description(), "matrix([1.0, 0.5])");
}
