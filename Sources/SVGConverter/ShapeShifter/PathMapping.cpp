#include "SVGConverter/ShapeShifter/PathMapping.h"

#include <cmath>

#include "SVGConverter/SwiftUIModel/Overloaded.h"

using SwiftUIModel::PathCommand;
using SwiftUIModel::TransformStep;

namespace {

constexpr CGFloat kPi = 3.141592653589793;
constexpr CGFloat kTwoPi = 6.283185307179586;

CGPoint operator+(CGPoint a, CGPoint b) { return {a.x + b.x, a.y + b.y}; }

// The point opposite `control` across `center`.
CGPoint reflect(CGPoint control, CGPoint center) { return {2 * center.x - control.x, 2 * center.y - control.y}; }

bool allFinite(std::initializer_list<CGFloat> values) {
  for (CGFloat v : values) {
    if (!std::isfinite(v)) return false;
  }
  return true;
}

// An elliptical arc from `cursor` to (x, y), converted from its end points to
// its centre: a relative arc on the unit circle that its transform scales to
// the radii, rotates by the x-axis angle and moves to the centre.
PathCommand commandForArc(CGFloat rx, CGFloat ry, CGFloat degrees, bool largeArc, bool sweep, CGFloat x, CGFloat y,
                          CGPoint cursor) {
  const CGPoint end{x, y};
  // No radius, or nothing to span: a straight line (of no length for the latter).
  if (rx == 0 || ry == 0 || !allFinite({rx, ry, degrees, x, y, cursor.x, cursor.y}) || end == cursor) {
    return PathCommand::addLineTo(end);
  }
  rx = std::fabs(rx);
  ry = std::fabs(ry);

  const CGFloat x1 = cursor.x, y1 = cursor.y, x2 = x, y2 = y;
  const CGFloat phi = std::fmod(degrees * kPi / 180, kTwoPi);
  const CGFloat sinPhi = std::sin(phi), cosPhi = std::cos(phi);

  const CGFloat x1p = cosPhi * (x1 - x2) * 0.5 + sinPhi * (y1 - y2) * 0.5;
  const CGFloat y1p = cosPhi * (y1 - y2) * 0.5 - sinPhi * (x1 - x2) * 0.5;

  // Radii too small to reach from one end point to the other grow until they do.
  const CGFloat lambda = (x1p * x1p) / (rx * rx) + (y1p * y1p) / (ry * ry);
  if (lambda > 1) {
    rx *= std::sqrt(lambda);
    ry *= std::sqrt(lambda);
  }

  const CGFloat rx2 = rx * rx, ry2 = ry * ry;
  const CGFloat denominator = rx2 * y1p * y1p + ry2 * x1p * x1p;
  CGFloat k = 0;
  if (denominator != 0) {
    CGFloat numerator = rx2 * ry2 - rx2 * y1p * y1p - ry2 * x1p * x1p;
    if (numerator < 0) numerator = 0;
    k = std::sqrt(numerator / denominator);
  }
  if (largeArc == sweep) k = -k;

  const CGFloat cxp = k * rx * y1p / ry;
  const CGFloat cyp = k * (-ry) * x1p / rx;
  const CGFloat cx = cosPhi * cxp - sinPhi * cyp + (x1 + x2) * 0.5;
  const CGFloat cy = sinPhi * cxp + cosPhi * cyp + (y1 + y2) * 0.5;

  // Both end points on the unit circle: less the centre, rotated back, divided by the radii.
  const CGAffineTransform toUnit =
      CGAffineTransform::makeScale(1 / rx, 1 / ry).rotated(-phi).translatedBy(-cx, -cy);
  const CGPoint start = cursor.applying(toUnit);
  const CGPoint stop = end.applying(toUnit);
  const CGFloat theta1 = std::atan2(start.y, start.x);
  const CGFloat theta2 = std::atan2(stop.y, stop.x);
  CGFloat delta = theta2 - theta1;
  if (sweep && delta < 0) {
    delta += kTwoPi;
  } else if (!sweep && delta > 0) {
    delta -= kTwoPi;
  }
  if (!allFinite({rx, ry, cx, cy, theta1, delta})) return PathCommand::addLineTo(end);

  std::vector<TransformStep> steps;
  if (!(cx == 0 && cy == 0)) steps.push_back(TransformStep::translate(cx, cy));
  if (phi != 0) steps.push_back(TransformStep::rotate(phi));
  if (!(rx == 1 && ry == 1)) steps.push_back(TransformStep::scale(rx, ry));
  return PathCommand::addRelativeArc({0, 0}, 1, theta1, delta, std::move(steps));
}

}  // namespace

std::vector<PathCommand> SVGConverter::mapPath(const std::vector<SVG::Command>& commands) {
  using C = SVG::Command;
  std::vector<PathCommand> result;
  result.reserve(commands.size());
  CGPoint cursor{0, 0};
  CGPoint lastControl{0, 0};
  // Where the current subpath began: a close returns there.
  CGPoint subpathStart{0, 0};

  // Appends a command that ends at `point` with `control` as its last control point.
  auto add = [&](PathCommand command, CGPoint point, CGPoint control) {
    result.push_back(std::move(command));
    cursor = point;
    lastControl = control;
  };
  auto line = [&](CGPoint p) { add(PathCommand::addLineTo(p), p, p); };
  auto move = [&](CGPoint p) {
    add(PathCommand::moveTo(p), p, p);
    subpathStart = p;
  };
  auto curve = [&](CGPoint p, CGPoint c1, CGPoint c2) { add(PathCommand::addCurveTo(p, c1, c2), p, c2); };
  auto quad = [&](CGPoint p, CGPoint c) { add(PathCommand::addQuadCurveTo(p, c), p, c); };
  auto arc = [&](const auto& a, CGPoint p) {
    add(commandForArc(a.rx, a.ry, a.angle, a.large, a.sweep, p.x, p.y, cursor), p, p);
  };

  for (const SVG::Command& command : commands) {
    const CGPoint c = cursor;
    std::visit(SwiftUIModel::Overloaded{
                   [&](const C::M& v) { move({v.x, v.y}); },
                   [&](const C::m& v) { move(c + CGPoint{v.dx, v.dy}); },
                   [&](const C::L& v) { line({v.x, v.y}); },
                   [&](const C::l& v) { line(c + CGPoint{v.dx, v.dy}); },
                   [&](const C::H& v) { line({v.x, c.y}); },
                   [&](const C::h& v) { line({c.x + v.dx, c.y}); },
                   [&](const C::V& v) { line({c.x, v.y}); },
                   [&](const C::v& v) { line({c.x, c.y + v.dy}); },
                   [&](const C::C& v) { curve({v.x, v.y}, {v.x1, v.y1}, {v.x2, v.y2}); },
                   [&](const C::c& v) {
                     curve(c + CGPoint{v.dx, v.dy}, c + CGPoint{v.dx1, v.dy1}, c + CGPoint{v.dx2, v.dy2});
                   },
                   [&](const C::S& v) { curve({v.x, v.y}, reflect(lastControl, c), {v.x2, v.y2}); },
                   [&](const C::s& v) {
                     curve(c + CGPoint{v.dx, v.dy}, reflect(lastControl, c), c + CGPoint{v.dx2, v.dy2});
                   },
                   [&](const C::Q& v) { quad({v.x, v.y}, {v.x1, v.y1}); },
                   [&](const C::q& v) { quad(c + CGPoint{v.dx, v.dy}, c + CGPoint{v.dx1, v.dy1}); },
                   [&](const C::T& v) { quad({v.x, v.y}, reflect(lastControl, c)); },
                   [&](const C::t& v) { quad(c + CGPoint{v.dx, v.dy}, reflect(lastControl, c)); },
                   [&](const C::A& v) { arc(v, {v.x, v.y}); },
                   [&](const C::a& v) { arc(v, c + CGPoint{v.dx, v.dy}); },
                   [&](const C::Z&) { add(PathCommand::closeSubpath(), subpathStart, subpathStart); },
               },
               command.variant());
  }
  return result;
}

std::vector<PathCommand> SVGConverter::compactPathCommands(std::vector<PathCommand> commands) {
  // Folded in place: the commands kept so far are `commands[0, kept)`, never ahead of the one read.
  std::size_t kept = 0;
  for (size_t i = 0; i < commands.size(); ++i) {
    const PathCommand& command = commands[i];
    PathCommand* previous = kept == 0 ? nullptr : &commands[kept - 1];

    if (auto line = command.as<PathCommand::AddLineTo>()) {
      if (auto move = previous ? previous->as<PathCommand::MoveTo>() : nullptr) {
        const bool lineFollows = i + 1 < commands.size() && (commands[i + 1].is<PathCommand::AddLineTo>() ||
                                                             commands[i + 1].is<PathCommand::AddLines>());
        if (lineFollows) {
          *previous = PathCommand::addLines({move->point, line->point});
          continue;
        }
      } else if (auto run = previous ? previous->as<PathCommand::AddLines>() : nullptr) {
        run->points.push_back(line->point);
        continue;
      }
    } else if (auto lines = command.as<PathCommand::AddLines>()) {
      auto run = previous ? previous->as<PathCommand::AddLines>() : nullptr;
      if (run && !run->points.empty() && !lines->points.empty() && run->points.back() == lines->points.front()) {
        run->points.insert(run->points.end(), lines->points.begin() + 1, lines->points.end());
        continue;
      }
    }
    if (kept != i) commands[kept] = std::move(commands[i]);
    ++kept;
  }
  commands.erase(commands.begin() + static_cast<std::ptrdiff_t>(kept), commands.end());
  return commands;
}
