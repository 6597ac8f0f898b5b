// Reading fills and strokes from attribute text and from cascaded CSS values.
#include <optional>
#include <string>

#include "SVGParser/CSS/Parser/CSSValue.h"
#include "SVGParser/Parser/ColorParser.h"
#include "SVGParser/Parser/FunctionParser.h"
#include "Platform/Print.h"
#include "SVGParser/SVG/Paint.h"

namespace SVG {

namespace {

// The id of a reference #id, written with or without one pair of quotes.
// References into other documents are not supported.
std::optional<std::string> definitionID(std::string_view reference) {
  reference = SVGParser::unquoted(reference);
  if (reference.size() < 2 || reference.front() != '#') return std::nullopt;
  return std::string(reference.substr(1));
}

std::optional<Paint> colorPaint(std::optional<CSS::Color> color, std::string_view text) {
  if (color) return Paint::color(std::move(*color));
  SVGParser::print("ERROR: Failed to parse paint: '" + std::string(text) + "'");
  return std::nullopt;
}

}  // namespace

std::optional<Paint> Paint::fromStringValue(std::optional<std::string_view> text) {
  if (!text || text->empty()) return std::nullopt;
  if (*text == "none") return none();
  if (const auto call = SVGParser::parseFunctionHead(*text)) {
    if (call->name == "url" && call->firstArgument && call->firstArgument->size() >= 2) {
      if (auto id = definitionID(*call->firstArgument)) return definition(std::move(*id));
      return std::nullopt;
    }
  }
  if (*text == "inherit") return std::nullopt;
  return colorPaint(CSS::readColor(*text).color, *text);
}

std::optional<Paint> Paint::fromCSS(const std::optional<::CSS::Value>& css) {
  if (!css) return std::nullopt;
  if (const auto* url = css->as<CSS::Value::Url>()) {
    if (auto id = definitionID(url->text)) return definition(std::move(*id));
    return std::nullopt;
  }
  if (css->is<CSS::Value::ExplicitNone>()) return none();
  if (const auto* id = css->as<CSS::Value::Id>()) {
    if (id->text.empty() || id->text == "inherit") return std::nullopt;
    return colorPaint(CSS::readColor(id->text).color, id->text);
  }
  if (const auto* function = css->as<CSS::Value::Function>()) {
    std::string text = function->name + "(";
    for (std::size_t i = 0; i < function->arguments.size(); ++i) {
      text += (i ? ", " : "") + function->arguments[i];
    }
    return colorPaint(CSS::colorFromFunction(function->name, function->arguments), text + ")");
  }
  return std::nullopt;
}

}  // namespace SVG
