#include "SVGConverter/ShapeShifter/SVGSwiftUIQuarvel.h"

#include "SVGConverter/ShapeShifter/SwiftIdentifier.h"

using SwiftUIModel::ContainerViewType;
using SwiftUIModel::Paint;

namespace {

std::optional<CGFloat> points(const std::optional<CSS::UnitLength>& length) {
  return length ? length->pointSize() : std::nullopt;
}

}  // namespace

std::optional<CGSize> SVGSwiftUIQuarvel::PointFrame::pointSize() const {
  if (w && h) return CGSize{*w, *h};
  return std::nullopt;
}

std::optional<CGPoint> SVGSwiftUIQuarvel::PointFrame::pointOrigin() const {
  if (!x && !y) return std::nullopt;
  return CGPoint{x.value_or(0), y.value_or(0)};
}

SVGSwiftUIQuarvel::SVGSwiftUIQuarvel() = default;

ContainerViewType SVGSwiftUIQuarvel::shape(const SVG::SVG& svg, const std::string& forceRootID) {
  SVGSwiftUIQuarvel converter;
  converter.pushAttributes(defaultAttributes());
  return converter.shapeSVGNode(svg, forceRootID);
}

const SVG::PresentationAttributes& SVGSwiftUIQuarvel::defaultAttributes() {
  static const auto& attributes =
      *new const SVG::PresentationAttributes(SVG::PresentationAttributes::fromFill(SVG::Paint::black()));
  return attributes;
}

void SVGSwiftUIQuarvel::pushAttributes(const SVG::PresentationAttributes& attributes) {
  if (attributeStack_.empty()) {
    attributeStack_.push_back(attributes);
    return;
  }
  const SVG::PresentationAttributes& top = attributeStack_.back();
  SVG::PresentationAttributes merged = attributes.merged(top);
  // The opacity of a container dims everything in it, its own included.
  if (attributes.opacity && top.opacity) merged.opacity = *attributes.opacity * *top.opacity / 100;
  // The fill rule of a container holds for what is inside it that states none.
  using FillRule = SVG::Inheritable<CGPathFillRule>;
  if (merged.fillRule.is<FillRule::None>()) merged.fillRule = top.fillRule;
  attributeStack_.push_back(std::move(merged));
}

void SVGSwiftUIQuarvel::popAttributes() {
  if (!attributeStack_.empty()) attributeStack_.pop_back();
}

// Names. Uniqueness is decided on the finished Swift name and across all
// pools: nested types and static properties of a view type share one
// namespace, and a nested type must not shadow an enclosing one that the
// generated code names (definitions are referred to through their container).

std::string SVGSwiftUIQuarvel::makeName(const std::optional<std::string>& id, IDPool& pool, bool type,
                                        const std::string& sharedWith) {
  auto finished = [type](const std::string& text) {
    return type ? SwiftIdentifier::typeName(text) : SwiftIdentifier::propertyName(text);
  };
  std::optional<std::string> preferred;
  if (id && !id->empty()) preferred = finished(*id);
  std::string name = finished(pool.nextID(preferred));
  // Ends at the latest with the pool's unrecorded random identifiers.
  while (name != sharedWith && !takenNames_.insert(name)) name = finished(pool.nextID(std::nullopt));
  return name;
}

std::string SVGSwiftUIQuarvel::makeTypeID(const std::optional<std::string>& id, IDPool& pool) {
  return makeName(id, pool, true, {});
}

std::string SVGSwiftUIQuarvel::makePropID(const std::optional<std::string>& id, IDPool& pool) {
  return makeName(id, pool, false, {});
}

ContainerViewType SVGSwiftUIQuarvel::shapeSVGNode(const SVG::SVG& svg, const std::string& forceID) {
  pushAttributes(svg.presentation);

  std::string typeName;
  if (!forceID.empty()) {
    // A name from the settings stands as it is; only one that Swift would not accept there
    // follows the rules of names from ids.
    typeName = SwiftIdentifier::rootTypeName(forceID);
    groupIDs.reserve(typeName);
    takenNames_.insert(typeName);
  } else {
    typeName = makeTypeID(svg.core.id, groupIDs);
  }
  // The root's own type is written whatever the drawing holds; a nested drawing is a child.
  if (typeDepth_ > 0) chargeContainer(typeName, "SVG", false);

  // Size: a missing side comes from the enclosing drawing when there is one.
  std::optional<CGFloat> width = points(svg.width);
  std::optional<CGFloat> height = points(svg.height);
  if ((width.has_value() != height.has_value()) && !svgPointSizeStack.empty()) {
    if (!width) width = svgPointSizeStack.back().width;
    if (!height) height = svgPointSizeStack.back().height;
  }
  std::optional<CGSize> size;
  if (width && height) size = CGSize{*width, *height};

  // Coordinate size for the definitions and the children; a view box that only repeats the size
  // is dropped.
  std::optional<CGRect> viewBox = svg.viewBox;
  bool pushedSize = true;
  if (!viewBox) {
    if (size) {
      svgPointSizeStack.push_back(*size);
    } else {
      pushedSize = false;
    }
  } else if (size && viewBox->origin.x == 0 && viewBox->origin.y == 0 && viewBox->size.width == size->width &&
             viewBox->size.height == size->height) {
    viewBox.reset();
    svgPointSizeStack.push_back(*size);
  } else {
    svgPointSizeStack.push_back(viewBox->size);
  }

  // Definitions: this element's own, in scope for everything inside it.
  pushSourceDefinitions(svg.definitions);
  std::vector<ConvertedDefinition> converted = shapeDefinitions(svg.definitions);
  std::vector<SwiftUIModel::Definition> definitions;
  definitions.reserve(converted.size());
  for (ConvertedDefinition& entry : converted) definitions.push_back(std::move(entry.definition));
  // The scope points into the list, which stays where it is until the scope is gone.
  DefinitionScope scope;
  for (std::size_t index = 0; index < converted.size(); ++index) {
    std::string qualified = typeName + "." + definitions[index].id();
    scope.insert_or_assign(std::move(converted[index].svgID), ScopedDefinition{std::move(qualified), &definitions[index]});
  }
  svgDefsStack.push_back(std::move(scope));

  std::vector<SwiftUIModel::Subview> children = shapeChildren(svg.children);
  if (typeDepth_ > 0 && children.empty()) chargeEmptyContainer();

  // The element's filter may refer to its own definitions, so look it up
  // while they are in scope.
  std::optional<SwiftUIModel::FilterModifierType> filter = lookupFilterModifier(attributeStack_.back().filter);

  if (pushedSize) svgPointSizeStack.pop_back();
  svgDefsStack.pop_back();
  popSourceDefinitions();

  std::optional<CGFloat> x = points(svg.x);
  std::optional<CGFloat> y = points(svg.y);
  std::optional<CGPoint> origin;
  if (x || y) origin = CGPoint{x.value_or(0), y.value_or(0)};

  std::vector<SwiftUIModel::TransformStep> transform = mapTransforms(attributeStack_.back().transform);
  popAttributes();

  return ContainerViewType(std::move(typeName), origin, size, viewBox, {width, height}, std::move(children),
                           std::move(definitions), std::move(filter), std::move(transform));
}

std::optional<Paint> SVGSwiftUIQuarvel::mapPaint(const std::optional<SVG::Paint>& paint,
                                                 std::optional<CGFloat> opacity) const {
  // Opacities come in percent and go out as fractions.
  if (!paint) {
    if (opacity) return Paint::opacity(*opacity / 100);
    return std::nullopt;
  }
  // The paint's own opacity and that of the element with its groups.
  std::optional<CGFloat> elementOpacity = attributeStack_.empty() ? std::nullopt : attributeStack_.back().opacity;
  std::optional<CGFloat> fraction;
  if (opacity) fraction = *opacity / 100;
  if (elementOpacity && *elementOpacity != 100) fraction = fraction.value_or(1.0) * (*elementOpacity / 100);
  if (auto color = paint->as<SVG::Paint::Color>()) return Paint::color(color->color, fraction);
  // Only a gradient can paint; a filter's id counts as a missing one. A gradient cannot take the
  // opacity itself, so the view it paints does.
  if (auto reference = paint->as<SVG::Paint::Definition>()) {
    const ScopedDefinition* entry = scopedDefinition(reference->id);
    if (entry && !entry->definition->is<SwiftUIModel::Definition::FilterModifier>()) {
      if (fraction && *fraction >= 1) fraction.reset();
      return Paint::property(entry->id, fraction);
    }
  }
  return std::nullopt;
}

const SVGSwiftUIQuarvel::ScopedDefinition* SVGSwiftUIQuarvel::scopedDefinition(const std::string& id) const {
  for (auto scope = svgDefsStack.rbegin(); scope != svgDefsStack.rend(); ++scope) {
    auto found = scope->find(id);
    if (found != scope->end()) return &found->second;
  }
  return nullptr;
}

std::optional<std::string> SVGSwiftUIQuarvel::definitionIdentifier(const std::string& id) const {
  const ScopedDefinition* entry = scopedDefinition(id);
  if (!entry) return std::nullopt;
  return entry->id;
}

const SwiftUIModel::Definition* SVGSwiftUIQuarvel::definition(const std::string& id) const {
  const ScopedDefinition* entry = scopedDefinition(id);
  return entry ? entry->definition : nullptr;
}

std::optional<SwiftUIModel::FilterModifierType> SVGSwiftUIQuarvel::lookupFilterModifier(
    const SVG::Inheritable<std::string>& filter) const {
  const std::string* name = filter.value();
  if (!name) return std::nullopt;
  const SwiftUIModel::Definition* found = definition(!name->empty() && name->front() == '#' ? name->substr(1) : *name);
  if (!found) return std::nullopt;
  if (auto modifier = found->as<SwiftUIModel::Definition::FilterModifier>()) return modifier->value;
  return std::nullopt;
}

SVGSwiftUIQuarvel::PointFrame SVGSwiftUIQuarvel::pointFrame(const SVG::Circle& circle) {
  std::optional<CGFloat> r = circle.r.pointSize();
  if (!r) return PointFrame::none();
  PointFrame frame;
  if (auto cx = circle.cx.pointSize()) frame.x = *cx - *r;
  if (auto cy = circle.cy.pointSize()) frame.y = *cy - *r;
  frame.w = frame.h = 2 * *r;
  return frame;
}

SVGSwiftUIQuarvel::PointFrame SVGSwiftUIQuarvel::pointFrame(const SVG::Ellipse& ellipse) {
  std::optional<CGFloat> rx = ellipse.rx.pointSize();
  if (!rx) return PointFrame::none();
  const CGFloat ry = ellipse.ry.pointSize().value_or(*rx);
  PointFrame frame;
  if (auto cx = ellipse.cx.pointSize()) frame.x = *cx - *rx;
  if (auto cy = ellipse.cy.pointSize()) frame.y = *cy - ry;
  frame.w = 2 * *rx;
  frame.h = 2 * ry;
  return frame;
}

SVGSwiftUIQuarvel::PointFrame SVGSwiftUIQuarvel::pointFrame(const SVG::Rect& rect) {
  PointFrame frame;
  std::optional<CGFloat> x = points(rect.x);
  std::optional<CGFloat> y = points(rect.y);
  if (x || y) {
    frame.x = x.value_or(0);
    frame.y = y.value_or(0);
  }
  frame.w = points(rect.width);
  frame.h = points(rect.height);
  return frame;
}
