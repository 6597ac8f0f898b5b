// Builders of gradients, their stops, filters and filter primitives.
#include "SVGParser/CSS/Color.h"
#include "SVGParser/CSS/Parser/CSSValue.h"
#include "SVGParser/CSS/UnitLength.h"
#include "SVGParser/Parser/FunctionParser.h"
#include "SVGParser/Parser/NumberValue.h"
#include "SVGParser/SVG/Filter.h"
#include "SVGParser/SVG/Gradient.h"

namespace SVG {

namespace {

std::optional<CSS::UnitLength> length(const XMLAttributes& xmlAttributes, std::string_view key) {
  return CSS::UnitLength::fromStringValue(attributeValue(xmlAttributes, key));
}

// A plain number (no unit, no percentage, no surrounding blanks); nothing when absent or empty.
std::optional<CGFloat> number(const XMLAttributes& xmlAttributes, std::string_view key) {
  const auto text = attributeValue(xmlAttributes, key);
  if (!text || text->empty()) return std::nullopt;
  return SVGParser::numberValue(*text);
}

// The template reference as written: "href", or the older "xlink:href".
std::optional<std::string> templateReference(const XMLAttributes& xmlAttributes) {
  auto reference = attributeValue(xmlAttributes, "href");
  if (!reference) reference = attributeValue(xmlAttributes, "xlink:href");
  if (!reference) return std::nullopt;
  return std::string(*reference);
}

// An opacity from a cascaded value: a number is a fraction, a percentage stays.
std::optional<CGFloat> opacityFromCSS(const std::optional<CSS::Value>& css) {
  if (!css) return std::nullopt;
  if (const auto* number = css->as<CSS::Value::Number>()) return number->value * 100;
  if (const auto* percent = css->as<CSS::Value::PercentValue>()) return percent->value;
  return std::nullopt;
}

// The parts both gradient kinds read first: id, template reference, transform and units.
// Units other than the two keywords (which are case-sensitive) count as not written.
template <typename Gradient>
void readGradientHeader(Gradient& gradient, const XMLAttributes& xmlAttributes) {
  gradient.core = CoreAttributes::fromXMLAttributes(xmlAttributes);
  gradient.templateGradientID = templateReference(xmlAttributes);
  gradient.gradientTransform = Transform::parse(attributeValue(xmlAttributes, "gradientTransform"));
  const auto units = attributeValue(xmlAttributes, "gradientUnits");
  if (units == "userSpaceOnUse") {
    gradient.gradientUnits = GradientUnits::userSpaceOnUse;
  } else if (units == "objectBoundingBox") {
    gradient.gradientUnits = GradientUnits::objectBoundingBox;
  }
}

// Sets `field` to a length that was read, and marks it written. One that does not read counts
// as not written, as does a negative radius.
template <typename Gradient>
void readLength(Gradient& gradient, CSS::UnitLength& field, std::optional<CSS::UnitLength> value,
                typename Gradient::Attribute attribute) {
  if (!value) return;
  field = *value;
  gradient.writtenAttributes |= attribute;
}

// A radius; a negative one is an error and leaves the default.
std::optional<CSS::UnitLength> radius(const XMLAttributes& xmlAttributes, std::string_view key) {
  auto value = length(xmlAttributes, key);
  if (value && value->value() < 0) return std::nullopt;
  return value;
}

FilterInput primitiveInput(const XMLAttributes& xmlAttributes, const FilterInput& defaultInput) {
  return FilterInput::fromStringValue(attributeValue(xmlAttributes, "in")).value_or(defaultInput);
}

}  // namespace

LinearGradient LinearGradient::fromXMLAttributes(const XMLAttributes& xmlAttributes) {
  LinearGradient gradient;
  readGradientHeader(gradient, xmlAttributes);
  readLength(gradient, gradient.x1, length(xmlAttributes, "x1"), LinearGradient::x1Attribute);
  readLength(gradient, gradient.x2, length(xmlAttributes, "x2"), LinearGradient::x2Attribute);
  readLength(gradient, gradient.y1, length(xmlAttributes, "y1"), LinearGradient::y1Attribute);
  readLength(gradient, gradient.y2, length(xmlAttributes, "y2"), LinearGradient::y2Attribute);
  return gradient;
}

RadialGradient RadialGradient::fromXMLAttributes(const XMLAttributes& xmlAttributes) {
  RadialGradient gradient;
  readGradientHeader(gradient, xmlAttributes);
  readLength(gradient, gradient.r, radius(xmlAttributes, "r"), RadialGradient::rAttribute);
  readLength(gradient, gradient.cx, length(xmlAttributes, "cx"), RadialGradient::cxAttribute);
  readLength(gradient, gradient.cy, length(xmlAttributes, "cy"), RadialGradient::cyAttribute);
  readLength(gradient, gradient.fr, radius(xmlAttributes, "fr"), RadialGradient::frAttribute);
  gradient.fx = length(xmlAttributes, "fx");
  gradient.fy = length(xmlAttributes, "fy");
  return gradient;
}

GradientStop GradientStop::fromXMLAttributes(const XMLAttributes& xmlAttributes, const CSSPropertyResolver& css) {
  GradientStop stop;
  stop.core = CoreAttributes::fromXMLAttributes(xmlAttributes);
  stop.style = StylingAttributes::fromXMLAttributes(xmlAttributes);
  stop.color = CSS::Color::fromStringValue(attributeValue(xmlAttributes, "color"));
  if (!stop.color) stop.color = CSS::Color::fromStringValue(attributeValue(xmlAttributes, "stop-color"));
  if (!stop.color) stop.color = CSS::Color::fromCSS(css["stop-color"]);
  stop.opacity = SVGParser::parseOpacity(attributeValue(xmlAttributes, "opacity"));
  if (!stop.opacity) stop.opacity = SVGParser::parseOpacity(attributeValue(xmlAttributes, "stop-opacity"));
  if (!stop.opacity) stop.opacity = opacityFromCSS(css["stop-opacity"]);
  stop.offset = length(xmlAttributes, "offset");
  return stop;
}

Filter Filter::fromXMLAttributes(const XMLAttributes& xmlAttributes) {
  Filter filter;
  filter.core = CoreAttributes::fromXMLAttributes(xmlAttributes);
  filter.style = StylingAttributes::fromXMLAttributes(xmlAttributes);
  filter.x = length(xmlAttributes, "x");
  filter.y = length(xmlAttributes, "y");
  filter.width = length(xmlAttributes, "width");
  filter.height = length(xmlAttributes, "height");
  return filter;
}

std::optional<FilterInput> FilterInput::fromStringValue(std::optional<std::string_view> text) {
  if (!text || text->empty()) return std::nullopt;
  if (*text == "SourceGraphic") return sourceGraphic();
  if (*text == "SourceAlpha") return sourceAlpha();
  if (*text == "BackgroundImage") return backgroundImage();
  if (*text == "BackgroundAlpha") return backgroundAlpha();
  if (*text == "FillPaint") return fillPaint();
  if (*text == "StrokePaint") return strokePaint();
  return result(std::string(*text));
}

FilterPrimitiveAttributes FilterPrimitiveAttributes::fromXMLAttributes(const XMLAttributes& xmlAttributes) {
  FilterPrimitiveAttributes attributes;
  if (const auto result = attributeValue(xmlAttributes, "result"); result && !result->empty()) {
    attributes.result = std::string(*result);
  }
  attributes.x = number(xmlAttributes, "x");
  attributes.y = number(xmlAttributes, "y");
  attributes.width = number(xmlAttributes, "width");
  attributes.height = number(xmlAttributes, "height");
  return attributes;
}

FilterMerge FilterMerge::fromXMLAttributes(const XMLAttributes& xmlAttributes, const FilterInput&) {
  return FilterMerge{FilterPrimitiveAttributes::fromXMLAttributes(xmlAttributes), {}};
}

FilterBlur FilterBlur::fromXMLAttributes(const XMLAttributes& xmlAttributes, const FilterInput& defaultInput) {
  return FilterBlur{FilterPrimitiveAttributes::fromXMLAttributes(xmlAttributes), primitiveInput(xmlAttributes, defaultInput),
                    number(xmlAttributes, "stdDeviation").value_or(0)};
}

FilterOffset FilterOffset::fromXMLAttributes(const XMLAttributes& xmlAttributes, const FilterInput& defaultInput) {
  return FilterOffset{FilterPrimitiveAttributes::fromXMLAttributes(xmlAttributes),
                      primitiveInput(xmlAttributes, defaultInput), number(xmlAttributes, "dx").value_or(0),
                      number(xmlAttributes, "dy").value_or(0)};
}

FilterBlend FilterBlend::fromXMLAttributes(const XMLAttributes& xmlAttributes, const FilterInput& defaultInput) {
  auto first = primitiveInput(xmlAttributes, defaultInput);
  auto second = FilterInput::fromStringValue(attributeValue(xmlAttributes, "in2")).value_or(first);
  const auto mode = Mode::fromRawValue(attributeValue(xmlAttributes, "mode").value_or(""));
  return FilterBlend{FilterPrimitiveAttributes::fromXMLAttributes(xmlAttributes), std::move(first),
                     std::move(second), mode.value_or(Mode::normal)};
}

FilterDropShadow FilterDropShadow::fromXMLAttributes(const XMLAttributes& xmlAttributes,
                                                     const FilterInput& defaultInput) {
  FilterDropShadow shadow{FilterPrimitiveAttributes::fromXMLAttributes(xmlAttributes),
                          primitiveInput(xmlAttributes, defaultInput),
                          number(xmlAttributes, "dx").value_or(0),
                          number(xmlAttributes, "dy").value_or(0),
                          number(xmlAttributes, "stdDeviation").value_or(2),
                          CSS::Color::fromStringValue(attributeValue(xmlAttributes, "flood-color"))
                              .value_or(CSS::Color::black()),
                          number(xmlAttributes, "flood-opacity")};
  return shadow;
}

}  // namespace SVG
