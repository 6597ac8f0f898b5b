#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "SVGConverter/ShapeShifter/PathMapping.h"

using SwiftUIModel::PathCommand;
using SwiftUIModel::TransformStep;
using C = SVG::Command;

namespace {

std::vector<PathCommand> map(std::vector<SVG::Command> commands) { return SVGConverter::mapPath(commands); }

const PathCommand::AddRelativeArc& arcOf(const PathCommand& command) {
  const auto* arc = command.as<PathCommand::AddRelativeArc>();
  if (!arc) throw std::runtime_error("not an arc: " + command.description());
  return *arc;
}

// The point of the arc's unit circle at `angle`, on the page.
CGPoint arcPoint(const PathCommand::AddRelativeArc& arc, double angle) {
  return CGPoint{std::cos(angle), std::sin(angle)}.applying(SwiftUIModel::affineTransformation(arc.transform));
}

void expectNear(CGPoint actual, CGPoint expected) {
  EXPECT_NEAR(actual.x, expected.x, 1e-9);
  EXPECT_NEAR(actual.y, expected.y, 1e-9);
}

}  // namespace

TEST(PathMapping, CloseReturnsToTheSubpathStart) {
  const std::vector<PathCommand> result =
      map({C::M{10, 10}, C::L{20, 10}, C::L{20, 20}, C::Z{}, C::l{5, 0}, C::m{1, 1}, C::h{1}, C::Z{}, C::t{1, 0}});
  EXPECT_EQ(result[4], PathCommand::addLineTo({15, 10}));
  EXPECT_EQ(result[5], PathCommand::moveTo({16, 11}));
  // The second close goes back to (16, 11); a smooth curve there has no control to reflect.
  EXPECT_EQ(result[8], PathCommand::addQuadCurveTo({17, 11}, {16, 11}));
}

TEST(PathMapping, ArcsBecomeTransformedUnitCircleArcs) {
  // Radii too small for the chord grow until the centre is its midpoint.
  const auto grown = arcOf(map({C::M{0, 0}, C::A{1, 1, 0, false, true, 20, 0}})[1]);
  EXPECT_EQ(grown.transform[1], TransformStep::scale(10, 10));

  // Every flag combination and a rotated ellipse: the arc runs from the
  // current point to the end point, the long way exactly when asked.
  for (bool large : {false, true}) {
    for (bool sweep : {false, true}) {
      for (double angle : {0.0, 30.0, -135.0, 400.0}) {
        const auto arc = arcOf(map({C::M{3, 4}, C::a{8, 5, angle, large, sweep, 6, 2}})[1]);
        SCOPED_TRACE(arc.transform.size());
        expectNear(arcPoint(arc, arc.startAngle), {3, 4});
        expectNear(arcPoint(arc, arc.startAngle + arc.delta), {9, 6});
        EXPECT_EQ(std::fabs(arc.delta) > M_PI, large);
        EXPECT_EQ(arc.delta > 0, sweep);
      }
    }
  }
}

TEST(PathMapping, DegenerateArcsBecomeLines) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (SVG::Command arc : {SVG::Command(C::A{0, 5, 0, false, true, 20, 0}), SVG::Command(C::A{0, 0, 0, true, true, 20, 0}),
                           SVG::Command(C::A{nan, 5, 0, false, true, 20, 0}),
                           SVG::Command(C::A{5, inf, 0, false, true, 20, 0}),
                           SVG::Command(C::A{5, 5, nan, false, true, 20, 0}),
                           SVG::Command(C::A{1e300, 1e300, 0, false, true, 1e300, -1e300})}) {
    const PathCommand result = map({C::M{0, 0}, arc})[1];
    EXPECT_TRUE(result.is<PathCommand::AddLineTo>()) << arc.description() << " " << result.description();
  }
  // An arc that ends where it starts draws nothing.
  EXPECT_EQ(map({C::M{2, 2}, C::a{5, 5, 0, true, true, 0, 0}})[1], PathCommand::addLineTo({2, 2}));
}

TEST(PathMapping, CompactingFoldsRunsOfLines) {
  using P = PathCommand;
  // A single line is not folded; runs that meet merge without repeating the shared point.
  EXPECT_EQ(SVGConverter::compactPathCommands({P::moveTo({0, 0}), P::addLineTo({10, 0}), P::closeSubpath()}),
            (std::vector{P::moveTo({0, 0}), P::addLineTo({10, 0}), P::closeSubpath()}));
  EXPECT_EQ(SVGConverter::compactPathCommands({P::moveTo({0, 0}), P::addLineTo({1, 0}), P::addLines({{1, 0}, {1, 1}}),
                                 P::addLines({{5, 5}, {6, 6}})}),
            (std::vector{P::addLines({{0, 0}, {1, 0}, {1, 1}}), P::addLines({{5, 5}, {6, 6}})}));
}
