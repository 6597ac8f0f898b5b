#include "SVGParser/Parser/PresentationAttributesParser.h"

#include "SVGParser/CSS/Parser/CSSValue.h"
#include "SVGParser/Parser/FunctionParser.h"
#include "SVGParser/SVG/PresentationAttributes.h"

namespace SVG {

std::optional<CGLineCap> lineCapFromStringValue(std::optional<std::string_view> text) {
  if (!text) return std::nullopt;
  if (*text == "butt") return CGLineCap::butt;
  if (*text == "round") return CGLineCap::round;
  if (*text == "square") return CGLineCap::square;
  return std::nullopt;
}

std::optional<CGLineJoin> lineJoinFromStringValue(std::optional<std::string_view> text) {
  if (!text) return std::nullopt;
  if (*text == "miter" || *text == "miter-clip") return CGLineJoin::miter;
  if (*text == "round") return CGLineJoin::round;
  if (*text == "bevel") return CGLineJoin::bevel;
  return std::nullopt;
}

std::optional<CGPathFillRule> fillRuleFromStringValue(std::optional<std::string_view> text) {
  if (!text) return std::nullopt;
  if (*text == "evenodd") return CGPathFillRule::evenOdd;
  if (*text == "nonzero") return CGPathFillRule::winding;
  return std::nullopt;
}

Inheritable<CGPathFillRule> inheritableFillRuleFromStringValue(std::optional<std::string_view> text) {
  if (text && *text == "inherit") return Inheritable<CGPathFillRule>::inherit();
  if (const auto rule = fillRuleFromStringValue(text)) return Inheritable<CGPathFillRule>::some(*rule);
  return Inheritable<CGPathFillRule>::none();
}

std::optional<CGLineCap> lineCapFromCSS(const std::optional<::CSS::Value>& css) {
  if (!css) return std::nullopt;
  if (const auto* id = css->as<CSS::Value::Id>()) return lineCapFromStringValue(id->text);
  return std::nullopt;
}

std::optional<CGLineJoin> lineJoinFromCSS(const std::optional<::CSS::Value>& css) {
  if (!css) return std::nullopt;
  if (const auto* id = css->as<CSS::Value::Id>()) return lineJoinFromStringValue(id->text);
  return std::nullopt;
}

namespace {

// The filter reference: a stated attribute decides, else the cascaded CSS.
Inheritable<std::string> filterReference(std::optional<std::string_view> attribute,
                                         const std::optional<::CSS::Value>& css) {
  using Filter = Inheritable<std::string>;
  if (attribute) {
    if (attribute->empty()) return Filter::none();
    const auto call = SVGParser::parseFunctionHead(*attribute);
    if (!call) return Filter::some(std::string(*attribute));
    if (call->name == "url" && call->firstArgument) return Filter::some(std::string(*call->firstArgument));
    return Filter::none();
  }
  if (!css) return Filter::none();
  if (const auto* id = css->as<CSS::Value::Id>()) {
    return id->text == "inherit" ? Filter::inherit() : Filter::some(id->text);
  }
  if (const auto* url = css->as<CSS::Value::Url>()) return Filter::some(url->text);
  return Filter::none();
}

}  // namespace

PresentationAttributes PresentationAttributes::fromXMLAttributes(const XMLAttributes& xmlAttributes,
                                                                 const CSSPropertyResolver& css) {
  const auto xml = [&](std::string_view key) { return xmlAttributes.find(key); };
  // Most elements have no cascaded CSS at all; then no property needs looking up.
  const bool hasCSS = !css.isEmpty();
  const auto cssValue = [&](std::string_view key) -> std::optional<::CSS::Value> {
    if (!hasCSS) return std::nullopt;
    return css[key];
  };
  const auto opacity = [&](std::string_view key) {
    auto value = SVGParser::parseOpacity(xml(key));
    return value ? value : SVGParser::parseOpacity(cssValue(key));
  };
  const auto length = [&](std::string_view key) {
    auto value = CSS::UnitLength::fromStringValue(xml(key));
    return value ? value : CSS::UnitLength::fromCSS(cssValue(key));
  };
  const auto paint = [&](std::string_view key) {
    auto value = Paint::fromStringValue(xml(key));
    return value ? value : Paint::fromCSS(cssValue(key));
  };
  const auto rule = [&](std::string_view key) {
    auto value = inheritableFillRuleFromStringValue(xml(key));
    if (!value.template is<Inheritable<CGPathFillRule>::None>()) return value;
    const std::optional<::CSS::Value> stated = cssValue(key);
    const auto* id = stated ? stated->as<CSS::Value::Id>() : nullptr;
    return id ? inheritableFillRuleFromStringValue(std::string_view(id->text)) : value;
  };

  PresentationAttributes attributes;
  attributes.opacity = opacity("opacity");
  attributes.fillOpacity = opacity("fill-opacity");
  attributes.strokeOpacity = opacity("stroke-opacity");
  attributes.strokeWidth = length("stroke-width");
  attributes.fill = paint("fill");
  attributes.stroke = paint("stroke");
  attributes.fillRule = rule("fill-rule");
  // The clip rule stays unset: nothing is clipped.
  // Cap, join and miter limit stay unset unless stated, so that they inherit.
  attributes.strokeLineCap = lineCapFromStringValue(xml("stroke-linecap"));
  if (!attributes.strokeLineCap) attributes.strokeLineCap = lineCapFromCSS(cssValue("stroke-linecap"));
  attributes.strokeLineJoin = lineJoinFromStringValue(xml("stroke-linejoin"));
  if (!attributes.strokeLineJoin) attributes.strokeLineJoin = lineJoinFromCSS(cssValue("stroke-linejoin"));
  attributes.strokeMiterLimit = length("stroke-miterlimit");
  attributes.transform = Transform::parse(xml("transform"));
  const auto filter = xml("filter");
  attributes.filter = filterReference(filter, filter ? std::nullopt : cssValue("filter"));
  return attributes;
}

}  // namespace SVG

std::optional<CGFloat> SVGParser::parseOpacity(const std::optional<::CSS::Value>& css) {
  if (!css) return std::nullopt;
  if (const auto* number = css->as<CSS::Value::Number>()) return number->value * 100;
  if (const auto* percent = css->as<CSS::Value::PercentValue>()) return percent->value;
  return std::nullopt;
}
