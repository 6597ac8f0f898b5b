#include "SVGParser/Parser/LengthParser.h"

#include <string>

#include "SVGParser/CSS/Parser/CSSValue.h"
#include "SVGParser/Parser/NumberValue.h"
#include "Platform/Print.h"

namespace CSS {

namespace {

// The number before exactly this unit suffix.
std::optional<CGFloat> numberBefore(std::string_view text, std::string_view suffix) {
  if (!text.ends_with(suffix)) return std::nullopt;
  return SVGParser::numberValue(text.substr(0, text.size() - suffix.size()));
}

}  // namespace

std::optional<UnitLength> UnitLength::fromStringValue(std::optional<std::string_view> text) {
  if (!text || text->empty()) return std::nullopt;
  const std::string_view t = *text;
  if (const auto v = SVGParser::numberValue(t)) return number(*v);
  if (const auto v = numberBefore(t, "pt")) return point(*v);
  if (const auto v = numberBefore(t, "%")) return percentage(*v);
  // em, ex and pc depend on a font or are not supported.
  if (!t.ends_with("em") && !t.ends_with("ex") && !t.ends_with("pc")) {
    if (const auto v = numberBefore(t, "px")) return pixel(*v);
    if (const auto v = numberBefore(t, "in")) return inch(*v);
    if (const auto v = numberBefore(t, "cm")) return centimeter(*v);
    if (const auto v = numberBefore(t, "mm")) return millimeter(*v);
  }
  SVGParser::print("ERROR: unsupported CSS unit: " + std::string(t));
  return std::nullopt;
}

std::optional<UnitLength> UnitLength::fromCSS(const std::optional<Value>& css) {
  if (!css) return std::nullopt;
  if (const auto* id = css->as<Value::Id>()) return fromStringValue(id->text);
  if (const auto* v = css->as<Value::Number>()) return number(v->value);
  if (const auto* v = css->as<Value::Pixel>()) return pixel(v->value);
  if (const auto* v = css->as<Value::PercentValue>()) return percentage(v->value);
  return std::nullopt;
}

std::optional<UnitLength> optionalUnitLength(std::optional<std::string_view> text) {
  if (!text || text->empty() || *text == "none") return std::nullopt;
  return UnitLength::fromStringValue(text);
}

}  // namespace CSS

namespace SVG {

Inheritable<CSS::UnitLength> inheritableUnitLength(std::optional<std::string_view> text) {
  if (!text || text->empty() || *text == "none") return Inheritable<CSS::UnitLength>::none();
  if (*text == "inherit") return Inheritable<CSS::UnitLength>::inherit();
  if (auto length = CSS::UnitLength::fromStringValue(text)) {
    return Inheritable<CSS::UnitLength>::some(std::move(*length));
  }
  return Inheritable<CSS::UnitLength>::none();
}

}  // namespace SVG
