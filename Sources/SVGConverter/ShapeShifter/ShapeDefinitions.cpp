// Gradients and the definition list of an `svg` element.
#include <cmath>
#include <unordered_set>

#include "SVGConverter/ShapeShifter/SVGSwiftUIQuarvel.h"

using SwiftUIModel::Definition;

namespace {

using Units = SVG::GradientUnits;

// A point of a gradient under its transform. In bounding-box units the transform acts on the
// unit square from its origin, as on any other coordinates. User-space geometry has no such
// square here (the gradient is shared by everything it paints, whatever its frame): its points
// go through the transform about the centre, read as fractions.
CGPoint transformedPoint(CGPoint point, const std::vector<SVG::Transform>& transforms, Units units) {
  const CGAffineTransform m = SVG::affineTransformation(transforms);
  if (units == Units::objectBoundingBox) return point.applying(m);
  const CGPoint moved = CGPoint{point.x - 0.5, point.y - 0.5}.applying(m);
  return {moved.x + 0.5, moved.y + 0.5};
}

// How much a transform enlarges a circle: the square root of the area scale, exact for
// turns, mirror images and even scales.
CGFloat radiusScale(const std::vector<SVG::Transform>& transforms) {
  const CGAffineTransform m = SVG::affineTransformation(transforms);
  const CGFloat scale = std::sqrt(std::fabs(m.a * m.d - m.b * m.c));
  return std::isfinite(scale) ? scale : 1;
}

CGPoint fractionOrZero(const SVG::UnitPoint& point) {
  return point.fraction(std::nullopt).value_or(CGPoint{0, 0});
}

bool isFraction(const CSS::UnitLength& length) {
  return length.is<CSS::UnitLength::Number>() || length.is<CSS::UnitLength::Percentage>();
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
  property.stops = shapeGradientStops(effectiveStops(gradient.stops, gradient.templateGradientID));
  const auto& transform = gradient.gradientTransform;
  property.startPoint = transformedPoint(fractionOrZero(gradient.startPoint()), transform, gradient.gradientUnits);
  property.endPoint = transformedPoint(fractionOrZero(gradient.endPoint()), transform, gradient.gradientUnits);
  return property;
}

SwiftUIModel::RadialGradientProperty SVGSwiftUIQuarvel::shapeRadialGradient(const SVG::RadialGradient& gradient) {
  SwiftUIModel::RadialGradientProperty property;
  property.propertyID = makePropID(gradient.core.id, radialGradientIDs);
  property.stops = shapeGradientStops(effectiveStops(gradient.stops, gradient.templateGradientID));
  const auto& transform = gradient.gradientTransform;
  const bool boundingBox = gradient.gradientUnits == Units::objectBoundingBox;
  property.center = transformedPoint(fractionOrZero(gradient.centerPoint()), transform, gradient.gradientUnits);
  // A percentage is one of the bounding box of the shape being painted, as the centre is; so is
  // a plain number in bounding-box units. In user space a plain number is points.
  if (gradient.r.is<CSS::UnitLength::Percentage>() || (boundingBox && isFraction(gradient.r))) {
    property.radiiRelativeToShape = true;
    property.startRadius = gradient.fr.fraction(std::nullopt).value_or(0);
    property.endRadius = gradient.r.fraction(std::nullopt).value_or(0);
  } else {
    property.startRadius = gradient.fr.pointSize().value_or(0);
    property.endRadius = gradient.r.pointSize().value_or(0);
  }
  // The transform scales the radii too, in either units.
  const CGFloat scale = radiusScale(transform);
  property.startRadius *= scale;
  property.endRadius *= scale;
  return property;
}

std::vector<SwiftUIModel::GradientStop> SVGSwiftUIQuarvel::shapeGradientStops(
    const std::vector<SVG::GradientStop>& stops) const {
  // Every gradient writes its own stops, those of a shared template included.
  budget_.charge(stops.size() * 32);
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

// Template references. Drawing programs keep the stops in one gradient and
// the geometry in another that refers to it; a gradient without stops uses
// those of the first gradient with stops along its chain of templates.

void SVGSwiftUIQuarvel::pushSourceDefinitions(const std::vector<SVG::DefinitionEntry>& definitions) {
  sourceDefsStack_.push_back(SourceDefinitions{&definitions});
  templateStops_.clear();
}

void SVGSwiftUIQuarvel::popSourceDefinitions() {
  if (!sourceDefsStack_.empty()) sourceDefsStack_.pop_back();
  templateStops_.clear();
}

const SVG::Definition* SVGSwiftUIQuarvel::sourceDefinition(const std::string& id) {
  for (auto scope = sourceDefsStack_.rbegin(); scope != sourceDefsStack_.rend(); ++scope) {
    if (!scope->indexed) {
      // The first definition of an id wins.
      for (const SVG::DefinitionEntry& entry : *scope->list) scope->firstByID.try_emplace(entry.id, &entry.definition);
      scope->indexed = true;
    }
    auto found = scope->firstByID.find(id);
    if (found != scope->firstByID.end()) return found->second;
  }
  return nullptr;
}

const std::vector<SVG::GradientStop>& SVGSwiftUIQuarvel::effectiveStops(
    const std::vector<SVG::GradientStop>& stops, const std::optional<std::string>& templateID) {
  static const auto& none = *new const std::vector<SVG::GradientStop>();
  if (!stops.empty() || !templateID) return stops;

  std::vector<const SVG::Definition*> chain;
  std::unordered_set<const SVG::Definition*> seen;
  const std::vector<SVG::GradientStop>* found = nullptr;
  std::optional<std::string> reference = templateID;
  while (reference) {
    const std::string id = !reference->empty() && reference->front() == '#' ? reference->substr(1) : *reference;
    const SVG::Definition* target = sourceDefinition(id);
    if (!target || !seen.insert(target).second) break;
    if (auto known = templateStops_.find(target); known != templateStops_.end()) {
      found = known->second;
      break;
    }
    chain.push_back(target);
    const std::vector<SVG::GradientStop>* targetStops = nullptr;
    if (auto linear = target->as<SVG::LinearGradient>()) {
      targetStops = &linear->stops;
      reference = linear->templateGradientID;
    } else if (auto radial = target->as<SVG::RadialGradient>()) {
      targetStops = &radial->stops;
      reference = radial->templateGradientID;
    } else {
      break;
    }
    if (!targetStops->empty()) {
      found = targetStops;
      break;
    }
  }
  for (const SVG::Definition* link : chain) templateStops_[link] = found;
  return found ? *found : none;
}
