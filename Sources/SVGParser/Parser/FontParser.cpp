// Reading fonts: the `font` shorthand, system-font keywords and the longhand values.
#include <array>
#include <limits>
#include <optional>
#include <string>
#include <utility>

#include "SVGParser/CSS/Font.h"
#include "SVGParser/CSS/Parser/CSSValue.h"
#include "SVGParser/CSS/Parser/TextScanning.h"
#include "SVGParser/Parser/FunctionParser.h"
#include "Platform/NumberText.h"
#include "Platform/Print.h"
#include "Platform/Text/Text.h"

namespace CSS {

namespace {

// The value of a keyword in a table of (keyword, value) pairs.
template <typename T, std::size_t N>
std::optional<T> lookUp(const std::array<std::pair<std::string_view, T>, N>& table,
                            std::string_view keyword) {
  for (const auto& [key, value] : table) {
    if (key == keyword) return value;
  }
  return std::nullopt;
}

std::optional<Font> systemFont(std::string_view lower) {
  static const std::array<std::pair<std::string_view, Font>, 6> table = {{
      {"caption", Font::caption()},
      {"icon", Font::icon()},
      {"menu", Font::menu()},
      {"message-box", Font::messageBox()},
      {"small-caption", Font::smallCaption()},
      {"status-bar", Font::statusBar()},
  }};
  return lookUp(table, lower);
}

std::optional<Font::Family> genericFamily(std::string_view lower) {
  static const std::array<std::pair<std::string_view, Font::Family>, 13> table = {{
      {"serif", Font::Family::serif()},
      {"sans-serif", Font::Family::sansSerif()},
      {"monospace", Font::Family::monospace()},
      {"cursive", Font::Family::cursive()},
      {"fantasy", Font::Family::fantasy()},
      {"emoji", Font::Family::emoji()},
      {"math", Font::Family::math()},
      {"fangsong", Font::Family::fangsong()},
      {"system-ui", Font::Family::systemUI()},
      {"ui-serif", Font::Family::uiSerif()},
      {"ui-sans-serif", Font::Family::uiSansSerif()},
      {"ui-monospace", Font::Family::uiMonospace()},
      {"ui-rounded", Font::Family::uiRounded()},
  }};
  return lookUp(table, lower);
}

std::optional<Font::Weight> weightKeyword(std::string_view lower) {
  if (lower == "normal" || lower == "400") return Font::Weight::normal();
  if (lower == "bold" || lower == "700") return Font::Weight::bold();
  if (lower == "lighter") return Font::Weight::lighter();
  if (lower == "bolder") return Font::Weight::bolder();
  return std::nullopt;
}

// A base-10 integer (optional sign, digits only) that fits a weight.
std::optional<int> integerWeight(std::string_view text) {
  const auto value = SVGParser::parseInteger(text);
  if (!value || *value < std::numeric_limits<int>::min() || *value > std::numeric_limits<int>::max()) {
    return std::nullopt;
  }
  return static_cast<int>(*value);
}

// The shorthand, word by word and in any order: the last family keyword wins, an
// integer before any size or family is a weight, the first other word a size (or
// else a family name); what fits nowhere is reported.
Font parseFreeForm(std::string_view lowercase) {
  std::optional<Font::Family> family;
  std::optional<Font::Style> style;
  std::optional<Font::Weight> weight;
  std::optional<UnitLength> size;
  bool weightOpen = true;

  const auto readToken = [&](std::string_view token) {
    if (token.empty() || token == "normal") return;
    if (auto generic = genericFamily(token)) {
      family = std::move(generic);
    } else if (auto keyword = weightKeyword(token)) {
      weight = std::move(keyword);
      weightOpen = false;
    } else if (token == "italic" || token == "oblique") {
      style = Font::Style::fromRawValue(token);
    } else if (size) {
      if (!family) {
        family = Font::Family::fromStringValue(token);
      } else {
        SVGParser::print("WARN: unexpected CSS font value:", token);
      }
    } else if (const auto numeric = weightOpen ? integerWeight(token) : std::nullopt) {
      weight = Font::Weight::value(*numeric);
      weightOpen = false;
    } else {
      size = UnitLength::fromStringValue(token);
      if (!size && !family) family = Font::Family::fromStringValue(token);
    }
    if (size || family) {
      if (!weight) weight = Font::Weight::normal();
      weightOpen = false;
      if (!style) style = Font::Style::normal;
    }
  };

  std::size_t start = 0, i = 0;
  while (i < lowercase.size()) {
    if (const auto blank = SVGParser::whitespaceLengthAt(lowercase, i)) {
      readToken(lowercase.substr(start, i - start));
      i += blank;
      start = i;
    } else {
      ++i;
    }
  }
  readToken(lowercase.substr(start));

  return Font(family.value_or(Font::Family::sansSerif()), style.value_or(Font::Style::normal),
              weight.value_or(Font::Weight::normal()), std::move(size));
}

}  // namespace

std::optional<Font> Font::fromStringValue(std::optional<std::string_view> text) {
  if (!text || text->empty()) return std::nullopt;
  const auto lower = QuarvelText::asciiLowercased(*text);
  if (auto font = systemFont(lower)) return font;
  return parseFreeForm(lower);
}

std::optional<Font> Font::fromCSS(const std::optional<Value>& css) {
  if (!css) return std::nullopt;
  const auto sized = [](UnitLength size) {
    return Font(Family::sansSerif(), Style::normal, Weight::normal(), std::move(size));
  };
  if (const auto* id = css->as<Value::Id>()) return fromStringValue(id->text);
  if (const auto* v = css->as<Value::Number>()) return sized(UnitLength::number(v->value));
  if (const auto* v = css->as<Value::Pixel>()) return sized(UnitLength::pixel(v->value));
  if (const auto* v = css->as<Value::PercentValue>()) return sized(UnitLength::percentage(v->value));
  return std::nullopt;
}

std::optional<Font::Family> Font::Family::fromStringValue(std::optional<std::string_view> text) {
  if (!text) return std::nullopt;
  if (auto generic = genericFamily(QuarvelText::asciiLowercased(*text))) return generic;
  return named(std::string(SVGParser::unquoted(*text)));
}

std::optional<Font::Family> Font::Family::fromCSS(const std::optional<::CSS::Value>& css) {
  if (!css) return std::nullopt;
  if (const auto* id = css->as<::CSS::Value::Id>()) return fromStringValue(id->text);
  return std::nullopt;
}

std::optional<Font::Style> Font::Style::fromCSS(const std::optional<::CSS::Value>& css) {
  if (!css) return std::nullopt;
  if (const auto* id = css->as<::CSS::Value::Id>()) return fromRawValue(id->text);
  return std::nullopt;
}

std::optional<Font::Weight> Font::Weight::fromStringValue(std::optional<std::string_view> text) {
  if (!text || text->empty()) return std::nullopt;
  if (auto keyword = weightKeyword(QuarvelText::asciiLowercased(*text))) return keyword;
  if (const auto numeric = integerWeight(*text)) return value(*numeric);
  return std::nullopt;
}

std::optional<Font::Weight> Font::Weight::fromCSS(const std::optional<::CSS::Value>& css) {
  if (!css) return std::nullopt;
  if (const auto* id = css->as<::CSS::Value::Id>()) return fromStringValue(id->text);
  if (const auto* number = css->as<::CSS::Value::Number>()) {
    // The style sheet reader types a numeric weight as a plain number.
    const double weight = number->value;
    if (weight < 100 || weight > 900 || weight != static_cast<int>(weight)) return std::nullopt;
    return fromStringValue(std::to_string(static_cast<int>(weight)));
  }
  return std::nullopt;
}

}  // namespace CSS
