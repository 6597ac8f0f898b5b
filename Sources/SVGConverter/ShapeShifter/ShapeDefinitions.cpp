// Gradients and the definition list of an `svg` element.
#include <algorithm>
#include <cmath>
#include <type_traits>
#include <unordered_set>
#include <utility>

#include "SVGConverter/ShapeShifter/SVGSwiftUIQuarvel.h"

using SwiftUIModel::Definition;

namespace {

using Units = SVG::GradientUnits;

// The matrix of a gradient's transform; one that overflows is left out, for the points and the
// radii alike, so that the gradient stays as written rather than going to infinities.
CGAffineTransform gradientMatrix(const std::vector<SVG::Transform>& transforms) {
  const CGAffineTransform m = SVG::affineTransformation(transforms);
  for (CGFloat part : {m.a, m.b, m.c, m.d, m.tx, m.ty}) {
    if (!std::isfinite(part)) return CGAffineTransform::identity();
  }
  return m;
}

// A point of a gradient under its transform. In bounding-box units the transform acts on the
// unit square from its origin, as on any other coordinates. User-space geometry has no such
// square here (the gradient is shared by everything it paints, whatever its frame): its points
// go through the transform about the centre, read as fractions.
CGPoint transformedPoint(CGPoint point, const CGAffineTransform& m, Units units) {
  if (units == Units::objectBoundingBox) return point.applying(m);
  const CGPoint moved = CGPoint{point.x - 0.5, point.y - 0.5}.applying(m);
  return {moved.x + 0.5, moved.y + 0.5};
}

// The end point of a linear gradient from `start` to `end` under `m`, given where the start
// went. The colour bands are the lines across the gradient vector; under a skew or an uneven
// scale their images are no longer across the image of that vector. The new vector is across
// the images, n = L^-T (end - start) with L the linear part of `m`, and as long as makes the
// bands fall where their images are: (end - start)^2 / n^2 times n. With the adjugate a of L,
// n = a / det, so the vector is a * det * (end - start)^2 / a^2. This holds in the unit square;
// in bounding-box units the square is then stretched over the frame, bands and all, so on a
// frame that is not square the bands are those of the stretched image. A singular or
// overflowing transform moves the end point as a point.
CGPoint transformedEndPoint(CGPoint start, CGPoint end, CGPoint movedStart, const CGAffineTransform& m,
                            Units units) {
  const CGFloat dx = end.x - start.x, dy = end.y - start.y;
  const CGFloat det = m.a * m.d - m.b * m.c;
  const CGFloat nx = m.d * dx - m.b * dy, ny = -m.c * dx + m.a * dy;
  const CGFloat across = nx * nx + ny * ny;
  if (det == 0 || across == 0 || !std::isfinite(across)) return transformedPoint(end, m, units);
  const CGFloat factor = det * (dx * dx + dy * dy) / across;
  const CGPoint moved{movedStart.x + nx * factor, movedStart.y + ny * factor};
  if (!std::isfinite(moved.x) || !std::isfinite(moved.y)) return transformedPoint(end, m, units);
  return moved;
}

// How much a transform enlarges a circle: the square root of the area scale, exact for
// turns, mirror images and even scales. Where the area scale overflows, it is taken again in
// the wider type, in which the products of two finite parts cannot.
CGFloat radiusScale(const CGAffineTransform& m) {
  const CGFloat det = m.a * m.d - m.b * m.c;
  if (std::isfinite(det)) return std::sqrt(std::fabs(det));
  using Wide = long double;
  const Wide wide = static_cast<Wide>(m.a) * m.d - static_cast<Wide>(m.b) * m.c;
  return static_cast<CGFloat>(std::sqrt(std::fabs(wide)));
}

CGPoint fractionOrZero(const SVG::UnitPoint& point) {
  return point.fraction(std::nullopt).value_or(CGPoint{0, 0});
}

// A radius in bounding-box units: a percentage is one of the box, and any other length counts its
// user units, which are box units here (a plain number as a fraction, "2px" as two boxes).
CGFloat boxRadius(const CSS::UnitLength& length) {
  if (auto percentage = length.as<CSS::UnitLength::Percentage>()) return percentage->value / 100;
  return length.pointSize().value_or(0);
}

// A radius in user space, in points: a percentage is one of the normalised diagonal of the
// viewport, sqrt((w^2 + h^2) / 2).
CGFloat userRadius(const CSS::UnitLength& length, const std::optional<CGSize>& viewport) {
  if (auto percentage = length.as<CSS::UnitLength::Percentage>()) {
    if (!viewport) return 0;
    const CGFloat diagonal = std::hypot(viewport->width, viewport->height) / std::sqrt(CGFloat(2));
    return percentage->value / 100 * diagonal;
  }
  return length.pointSize().value_or(0);
}

// A length of a gradient's own, when it has one: written, or set to other than its default.
template <typename Gradient>
const CSS::UnitLength* ownLength(const Gradient& gradient, CSS::UnitLength Gradient::*field,
                                 typename Gradient::Attribute attribute) {
  static const Gradient defaults{};
  if (gradient.written(attribute) || gradient.*field != defaults.*field) return &(gradient.*field);
  return nullptr;
}

// Puts what `gradient` has itself over what it takes from its templates (the converter's
// GradientAttributes). Stops, units and transform come from gradients of either kind.
template <typename Attributes, typename Gradient>
void overlay(Attributes& attributes, const Gradient& gradient) {
  if (!gradient.stops.empty()) attributes.stops = &gradient.stops;
  if (gradient.gradientUnits) attributes.units = gradient.gradientUnits;
  if (!gradient.gradientTransform.empty()) attributes.transform = &gradient.gradientTransform;
  using G = Gradient;
  if constexpr (std::is_same_v<G, SVG::LinearGradient>) {
    if (auto x1 = ownLength(gradient, &G::x1, G::x1Attribute)) attributes.x1 = x1;
    if (auto x2 = ownLength(gradient, &G::x2, G::x2Attribute)) attributes.x2 = x2;
    if (auto y1 = ownLength(gradient, &G::y1, G::y1Attribute)) attributes.y1 = y1;
    if (auto y2 = ownLength(gradient, &G::y2, G::y2Attribute)) attributes.y2 = y2;
  } else {
    if (auto r = ownLength(gradient, &G::r, G::rAttribute)) attributes.r = r;
    if (auto cx = ownLength(gradient, &G::cx, G::cxAttribute)) attributes.cx = cx;
    if (auto cy = ownLength(gradient, &G::cy, G::cyAttribute)) attributes.cy = cy;
    if (auto fr = ownLength(gradient, &G::fr, G::frAttribute)) attributes.fr = fr;
  }
}

template <typename Attributes>
const std::vector<SVG::GradientStop>& stopsOf(const Attributes& attributes) {
  static const auto& none = *new const std::vector<SVG::GradientStop>();
  return attributes.stops ? *attributes.stops : none;
}

template <typename Attributes>
CGAffineTransform matrixOf(const Attributes& attributes) {
  return attributes.transform ? gradientMatrix(*attributes.transform) : CGAffineTransform::identity();
}

}  // namespace

std::vector<SVGSwiftUIQuarvel::ConvertedDefinition> SVGSwiftUIQuarvel::shapeDefinitions(
    const std::vector<SVG::DefinitionEntry>& definitions) {
  // Templates resolve against this list too when it is converted on its own.
  const bool ownScope = sourceDefsStack_.empty() || sourceDefsStack_.back().list != &definitions;
  if (ownScope) pushSourceDefinitions(definitions);

  std::vector<ConvertedDefinition> result;
  result.reserve(definitions.size());
  for (const SVG::DefinitionEntry& entry : definitions) {
    if (auto linear = entry.definition.as<SVG::LinearGradient>()) {
      result.push_back({entry.id, Definition::linearGradient(shapeLinearGradient(*linear))});
    } else if (auto radial = entry.definition.as<SVG::RadialGradient>()) {
      result.push_back({entry.id, Definition::radialGradient(shapeRadialGradient(*radial))});
    } else if (auto filter = entry.definition.as<SVG::Filter>()) {
      result.push_back({entry.id, Definition::filterModifier(shapeFilter(*filter))});
    }
  }

  if (ownScope) popSourceDefinitions();
  return result;
}

SwiftUIModel::LinearGradientProperty SVGSwiftUIQuarvel::shapeLinearGradient(const SVG::LinearGradient& gradient) {
  SwiftUIModel::LinearGradientProperty property;
  property.propertyID = makePropID(gradient.core.id, linearGradientIDs);
  GradientAttributes attributes = templateAttributes(gradient.templateGradientID);
  overlay(attributes, gradient);
  property.stops = shapeGradientStops(stopsOf(attributes));
  chargeGradient(property.propertyID, property.stops);
  const Units units = attributes.units.value_or(Units::objectBoundingBox);
  const CGAffineTransform m = matrixOf(attributes);
  const SVG::UnitPoint startPoint{attributes.x1 ? *attributes.x1 : gradient.x1,
                                  attributes.y1 ? *attributes.y1 : gradient.y1};
  const SVG::UnitPoint endPoint{attributes.x2 ? *attributes.x2 : gradient.x2,
                                attributes.y2 ? *attributes.y2 : gradient.y2};
  const CGPoint start = fractionOrZero(startPoint);
  property.startPoint = transformedPoint(start, m, units);
  property.endPoint = transformedEndPoint(start, fractionOrZero(endPoint), property.startPoint, m, units);
  return property;
}

SwiftUIModel::RadialGradientProperty SVGSwiftUIQuarvel::shapeRadialGradient(const SVG::RadialGradient& gradient) {
  SwiftUIModel::RadialGradientProperty property;
  property.propertyID = makePropID(gradient.core.id, radialGradientIDs);
  GradientAttributes attributes = templateAttributes(gradient.templateGradientID);
  overlay(attributes, gradient);
  property.stops = shapeGradientStops(stopsOf(attributes));
  chargeGradient(property.propertyID, property.stops);
  const Units units = attributes.units.value_or(Units::objectBoundingBox);
  const CGAffineTransform m = matrixOf(attributes);
  const CSS::UnitLength& r = attributes.r ? *attributes.r : gradient.r;
  const CSS::UnitLength& fr = attributes.fr ? *attributes.fr : gradient.fr;
  const SVG::UnitPoint centerPoint{attributes.cx ? *attributes.cx : gradient.cx,
                                   attributes.cy ? *attributes.cy : gradient.cy};
  property.center = transformedPoint(fractionOrZero(centerPoint), m, units);
  // In bounding-box units the radii are fractions of the shape being painted, as the centre is.
  // In user space they are points; a percentage there is one of the viewport of the drawing that
  // declares the gradient, and where that has no size, stays a fraction of the shape. A start
  // radius in points cannot join an end radius in fractions: it is left out then.
  const std::optional<CGSize> viewport =
      svgPointSizeStack.empty() ? std::nullopt : std::optional<CGSize>(svgPointSizeStack.back());
  if (units == Units::objectBoundingBox) {
    property.radiiRelativeToShape = true;
    property.startRadius = boxRadius(fr);
    property.endRadius = boxRadius(r);
  } else if (r.is<CSS::UnitLength::Percentage>() && !viewport) {
    property.radiiRelativeToShape = true;
    property.startRadius = fr.is<CSS::UnitLength::Percentage>() ? fr.fraction(std::nullopt).value_or(0) : 0;
    property.endRadius = r.fraction(std::nullopt).value_or(0);
  } else {
    property.startRadius = userRadius(fr, viewport);
    property.endRadius = userRadius(r, viewport);
  }
  // The transform scales the radii too, in either units.
  const CGFloat scale = radiusScale(m);
  property.startRadius *= scale;
  property.endRadius *= scale;
  return property;
}

// Every gradient writes its own stops, those of a shared template included. At the least: "\n",
// "static let p = LinearGradient(\n", "gradient: .init(colors: [\n", "]),\n",
// "startPoint: .top, endPoint: .top\n" and ")\n" (a radial gradient writes more), the property
// declared one level into the type of the drawing; and each stop its colour, with ", " or ",\n"
// between stops and a line end after them, on one line two levels deeper or, when they cannot
// all stand on one, each on its own.
void SVGSwiftUIQuarvel::chargeGradient(const std::string& propertyID,
                                       const std::vector<SwiftUIModel::GradientStop>& stops) const {
  constexpr std::size_t maximumSingleLineStops = 79;  // as the emitter joins them
  const std::size_t d = typeDepth_;
  const bool colorsOnly = SwiftUIModel::hasLinearDistribution(stops);
  std::size_t texts = 0;
  for (const SwiftUIModel::GradientStop& stop : stops) {
    // A colour SwiftUI names itself is ".red" at the shortest; every other colour is written as
    // ".init(white: 0)" or longer.
    const auto* named = stop.color.as<CSS::Color::Named>();
    texts += named ? 1 + std::min<std::size_t>(named->name.size(), 14) : 15;
    if (stop.opacity) texts += 11;  // ".opacity(0)"
    if (!colorsOnly) texts += 27;   // ".init(color: " and ", location: 0)"
  }
  std::size_t lines = stops.empty() ? 0 : 1;
  if (!stops.empty() && texts + 2 * (stops.size() - 1) > maximumSingleLineStops) lines = stops.size();
  chargeOutput(96 + propertyID.size() + texts + stops.size(), 5 * d + 8 + lines * (d + 3));
}

std::vector<SwiftUIModel::GradientStop> SVGSwiftUIQuarvel::shapeGradientStops(
    const std::vector<SVG::GradientStop>& stops) const {
  std::vector<SwiftUIModel::GradientStop> result;
  result.reserve(stops.size());
  const CGFloat step = SwiftUIModel::linearDistributionStep(static_cast<long>(stops.size()));
  CGFloat running = 0.0;
  for (const SVG::GradientStop& stop : stops) {
    CGFloat offset = running;
    if (stop.offset) {
      if (auto number = stop.offset->as<CSS::UnitLength::Number>()) {
        offset = number->value;
      } else if (auto percentage = stop.offset->as<CSS::UnitLength::Percentage>()) {
        offset = percentage->value / 100;
      }
    }
    std::optional<CGFloat> opacity;
    if (stop.opacity) opacity = *stop.opacity / 100;
    result.push_back({stop.color ? *stop.color : CSS::Color::named("black"), opacity, offset});
    running += step;
  }
  return result;
}

// Template references. Drawing programs keep the stops in one gradient and the geometry in
// another that refers to it; a gradient takes every attribute it does not have itself (stops,
// units, transform, and the geometry of its kind) from the nearest gradient along its chain of
// templates that has it.

// A template is looked up from the drawing that declares the gradient naming it, outwards, so
// that what a gradient takes from its chain does not depend on the drawing that uses it: each
// chain is then resolved once per conversion, and kept until the drawing that declares it is done.

void SVGSwiftUIQuarvel::pushSourceDefinitions(const std::vector<SVG::DefinitionEntry>& definitions) {
  sourceDefsStack_.push_back(SourceDefinitions{&definitions});
}

void SVGSwiftUIQuarvel::popSourceDefinitions() {
  if (sourceDefsStack_.empty()) return;
  // Nothing outside this drawing can name its gradients any more.
  if (!templateAttributes_.empty()) {
    for (const SVG::DefinitionEntry& entry : *sourceDefsStack_.back().list) templateAttributes_.erase(&entry.definition);
  }
  sourceDefsStack_.pop_back();
}

std::optional<std::pair<const SVG::Definition*, std::size_t>> SVGSwiftUIQuarvel::sourceDefinition(
    const std::string& id, std::size_t level) {
  for (std::size_t scope = std::min(level + 1, sourceDefsStack_.size()); scope-- > 0;) {
    SourceDefinitions& definitions = sourceDefsStack_[scope];
    if (!definitions.indexed) {
      // The last definition of an id wins, as it does for paints.
      for (const SVG::DefinitionEntry& entry : *definitions.list) {
        definitions.byID.insert_or_assign(entry.id, &entry.definition);
      }
      definitions.indexed = true;
    }
    auto found = definitions.byID.find(id);
    if (found != definitions.byID.end()) return std::pair{found->second, scope};
  }
  return std::nullopt;
}

const SVGSwiftUIQuarvel::GradientAttributes& SVGSwiftUIQuarvel::templateAttributes(
    const std::optional<std::string>& templateID) {
  static const GradientAttributes none{};
  // The chain up to its end, a gradient already resolved, or a loop; then every link of it is
  // resolved from the far end back, each over the one it names. The gradient being converted
  // belongs to the innermost drawing.
  std::vector<const SVG::Definition*> chain;
  std::unordered_set<const SVG::Definition*> seen;
  const GradientAttributes* resolved = &none;
  std::optional<std::string> reference = templateID;
  std::size_t level = sourceDefsStack_.empty() ? 0 : sourceDefsStack_.size() - 1;
  while (reference) {
    const std::string id = !reference->empty() && reference->front() == '#' ? reference->substr(1) : *reference;
    const auto found = sourceDefinition(id, level);
    if (!found) break;
    const SVG::Definition* target = found->first;
    level = found->second;
    if (!seen.insert(target).second) break;
    if (auto known = templateAttributes_.find(target); known != templateAttributes_.end()) {
      resolved = &known->second;
      break;
    }
    if (auto linear = target->as<SVG::LinearGradient>()) {
      reference = linear->templateGradientID;
    } else if (auto radial = target->as<SVG::RadialGradient>()) {
      reference = radial->templateGradientID;
    } else {
      break;
    }
    chain.push_back(target);
  }
  for (auto link = chain.rbegin(); link != chain.rend(); ++link) {
    GradientAttributes attributes = *resolved;
    if (auto linear = (*link)->as<SVG::LinearGradient>()) {
      overlay(attributes, *linear);
    } else if (auto radial = (*link)->as<SVG::RadialGradient>()) {
      overlay(attributes, *radial);
    }
    // The map keeps its elements in place as it grows.
    resolved = &(templateAttributes_[*link] = attributes);
  }
  return *resolved;
}
