#include "SVGParser/CSS/Parser/CSSStyleSheet.h"

#include <algorithm>
#include <cstddef>

#include "SVGParser/CSS/Parser/TextScanning.h"
#include "SVGParser/Parser/FunctionParser.h"
#include "SVGParser/Parser/NumberValue.h"
#include "Platform/Print.h"
#include "Platform/Text/Text.h"

namespace CSS {

namespace {

// Removes /* ... */ comments; an unterminated one runs to the end of the text.
// Comments do not nest. A "/" left before a comment and a "*" after it form a
// new opener, as they would when the comment is cut out and the text searched again.
std::string stripComments(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t searchFrom = std::string_view::npos;
    if (text[i] == '*' && !out.empty() && out.back() == '/') {
      out.pop_back();
      searchFrom = i + 1;
    } else if (text[i] == '/' && i + 1 < text.size() && text[i + 1] == '*') {
      searchFrom = i + 2;
    }
    if (searchFrom == std::string_view::npos) {
      out.push_back(text[i++]);
      continue;
    }
    const auto close = text.find("*/", searchFrom);
    if (close == std::string_view::npos) break;
    i = close + 2;
  }
  return out;
}

// Reads a number followed by exactly this unit suffix.
std::optional<double> numberWithSuffix(std::string_view text, std::string_view suffix) {
  if (!text.ends_with(suffix)) return std::nullopt;
  return SVGParser::numberValue(text.substr(0, text.size() - suffix.size()));
}

// One property value; the text is already trimmed.
Value parseValue(std::string_view text) {
  constexpr std::string_view important = "!important";
  if (text.ends_with(important)) {
    text = SVGParser::trimWhitespace(text.substr(0, text.size() - important.size()));
  }
  if (text.empty() || text == "auto") return Value::Auto{};
  if (text == "none") return Value::ExplicitNone{};
  if (text == "clear") return Value::Clear{};
  if (text.starts_with("url(")) {
    return Value::Url{std::string(SVGParser::trimWhitespace(SVGParser::dropLastCharacter(text.substr(4))))};
  }
  if (const auto number = SVGParser::numberValue(text)) return Value::Number{*number};
  if (const auto percent = numberWithSuffix(text, "%")) return Value::PercentValue{*percent};
  if (const auto pixel = numberWithSuffix(text, "px")) return Value::Pixel{*pixel};
  if (text.find('(') != std::string_view::npos) {
    if (auto call = SVGParser::parseFunction(text)) return Value::Function{std::move(call->name), std::move(call->arguments)};
  }
  return Value::Id{std::string(text)};
}

// The first `separator` from `from` on that stands outside brackets, parentheses and
// quotes; npos when none does.
std::size_t findOutsideBrackets(std::string_view text, char separator, std::size_t from) {
  int depth = 0;
  char quote = 0;
  for (std::size_t i = from; i < text.size(); ++i) {
    const char ch = text[i];
    if (quote) {
      if (ch == quote) quote = 0;
    } else if (ch == '"' || ch == '\'') {
      quote = ch;
    } else if (ch == '(' || ch == '[') {
      ++depth;
    } else if ((ch == ')' || ch == ']') && depth > 0) {
      --depth;
    } else if (ch == separator && depth == 0) {
      return i;
    }
  }
  return std::string_view::npos;
}

// The comma-separated selectors of a selector group; commas inside brackets,
// parentheses or quotes do not separate.
std::vector<std::string_view> selectorGroup(std::string_view text) {
  std::vector<std::string_view> selectors;
  for (std::size_t start = 0;;) {
    const auto end = findOutsideBrackets(text, ',', start);
    const auto selector = SVGParser::trimWhitespace(
        end == std::string_view::npos ? text.substr(start) : text.substr(start, end - start));
    if (!selector.empty()) selectors.push_back(selector);
    if (end == std::string_view::npos) return selectors;
    start = end + 1;
  }
}

// The selector text before a block without the at-rules that end at a ";" before it
// (@import, @charset): they have no block, and the rule starts after them. A ";" in
// quotes or brackets belongs to the at-rule.
std::string_view withoutStatementAtRules(std::string_view text) {
  for (;;) {
    text = SVGParser::trimWhitespace(text);
    if (!text.starts_with('@')) return text;
    const auto end = findOutsideBrackets(text, ';', 0);
    if (end == std::string_view::npos) return text;
    text = text.substr(end + 1);
  }
}

struct BlockEnd {
  std::size_t close = std::string_view::npos;  // npos: the block runs to the end of the text
  bool nests = false;                          // it holds blocks
};

// Where the block that opens at `open` ends. A block ends at its first "}", even one in a
// string, unless a "{" outside strings comes before that: then it holds blocks (an at-rule
// such as @media, or a nested rule) and ends at its matching "}", braces in strings or
// after a "\" not counted. The depth is counted, so any nesting costs one pass over the text.
BlockEnd blockEnd(std::string_view text, std::size_t open) {
  BlockEnd end;
  std::size_t depth = 1;
  char quote = 0;
  bool escaped = false;
  for (std::size_t i = open + 1; i < text.size(); ++i) {
    const char ch = text[i];
    if (ch == '}' && !end.nests) {
      end.close = i;
      return end;
    }
    if (escaped) {
      escaped = false;
    } else if (ch == '\\') {
      escaped = true;
    } else if (quote) {
      if (ch == quote || ch == '\n') quote = 0;
    } else if (ch == '"' || ch == '\'') {
      quote = ch;
    } else if (ch == '{') {
      ++depth;
      end.nests = true;
    } else if (ch == '}' && --depth == 0) {
      end.close = i;
      return end;
    }
  }
  return end;
}

Selector selectorOf(std::string_view text) {
  if (text.starts_with('#')) return Selector::Id{std::string(text.substr(1))};
  if (text.starts_with('.')) return Selector::CssClass{std::string(text.substr(1))};
  return Selector::Unsupported{std::string(text)};
}

}  // namespace

std::size_t CSS::maximumCopiedBytes(std::size_t textBytes) {
  constexpr std::size_t floor = std::size_t{16} << 20;
  constexpr std::size_t factor = 16;
  return textBytes > floor / factor ? textBytes * factor : floor;
}

std::vector<Rule> CSS::parseCSS(std::optional<std::string_view> text) {
  std::vector<Rule> rules;
  if (!text) return rules;
  // A group of many selectors before a block of many properties would otherwise copy the block
  // once per selector: memory of the square of the text.
  constexpr std::size_t bytesPerProperty = 64;
  const std::size_t maximumBytes = maximumCopiedBytes(text->size());
  std::size_t copiedBytes = 0;
  bool reported = false;
  const std::string stripped = stripComments(*text);
  std::string_view rest = stripped;
  while (!rest.empty()) {
    const auto open = rest.find('{');
    if (open == std::string_view::npos) break;
    const auto selectorText = withoutStatementAtRules(rest.substr(0, open));
    const auto [close, nests] = blockEnd(rest, open);
    const bool closed = close != std::string_view::npos;
    const auto block = closed ? rest.substr(open, close - open + 1) : rest.substr(open);
    rest = closed ? rest.substr(close + 1) : std::string_view();
    if (QuarvelText::characterCount(block) < 3) continue;
    // The rules inside a block that holds blocks are not applied: it is reported as one
    // rule without properties, under its selector or at-rule as written.
    if (nests) {
      if (selectorText.empty()) rules.push_back({std::nullopt, Style()});
      else rules.push_back({Selector::Unsupported{std::string(selectorText)}, Style()});
      continue;
    }

    const Style style = parseStyle(SVGParser::trimWhitespace(block.substr(1, block.size() - (closed ? 2 : 1))));
    if (selectorText.empty()) {
      rules.push_back({std::nullopt, style});
      continue;
    }
    // A group of selectors gives the same block to each of them.
    const auto selectors = selectorGroup(selectorText);
    const std::size_t blockBytes = block.size() + bytesPerProperty * style.properties.size();
    const std::size_t copies = std::max<std::size_t>(selectors.size(), 1);
    if (blockBytes > (maximumBytes - copiedBytes) / copies) {
      if (!reported) SVGParser::print("Style sheet too large, rule left out:", std::string(selectorText.substr(0, 80)));
      reported = true;
      continue;
    }
    copiedBytes += blockBytes * copies;
    if (selectors.empty()) rules.push_back({Selector::Unsupported{std::string(selectorText)}, style});
    for (const auto selector : selectors) rules.push_back({selectorOf(selector), style});
  }
  return rules;
}

Style CSS::parseStyle(std::optional<std::string_view> text) {
  Style style;
  if (!text) return style;
  const std::string stripped = stripComments(*text);
  for (const auto declaration : SVGParser::splitOmittingEmpty(stripped, ';', 1000)) {
    const auto parts = SVGParser::splitOmittingEmpty(declaration, ':', 1);
    if (parts.empty()) continue;
    Value value = parts.size() == 2 ? parseValue(SVGParser::trimWhitespace(parts[1])) : Value::Auto{};
    style.properties.insert_or_assign(std::string(SVGParser::trimWhitespace(parts[0])), std::move(value));
  }
  return style;
}

CSS CSS::fromStringValue(std::optional<std::string_view> text) {
  CSS sheet;
  for (const auto& rule : parseCSS(text)) {
    if (!rule.selector) {
      SVGParser::print("Unsupported global CSS:", rule.style.description());
    } else if (const auto* id = rule.selector->as<Selector::Id>()) {
      sheet.idToStyles[id->name].merge(rule.style);
    } else if (const auto* cssClass = rule.selector->as<Selector::CssClass>()) {
      sheet.classToStyles[cssClass->name].merge(rule.style);
    } else {
      SVGParser::print("Unsupported CSS selector:", rule.selector->as<Selector::Unsupported>()->text, "style:",
            rule.style.description());
    }
  }
  return sheet;
}

Style CSS::cssResolver(const std::optional<Style>& style, const std::optional<std::string>& id,
                       const std::vector<std::string>& classes) const {
  Style result;
  for (const auto& name : classes) {
    if (const auto found = classToStyles.find(name); found != classToStyles.end()) {
      result.merge(found->second);
    }
  }
  if (id) {
    if (const auto found = idToStyles.find(*id); found != idToStyles.end()) result.merge(found->second);
  }
  if (style) result.merge(*style);
  return result;
}

Cascade CSS::cssResolver(const SVG::XMLAttributes& xmlAttributes) const {
  const auto styleText = xmlAttributes.find("style");
  // Most documents have no style sheet: then only an inline style can give properties.
  if (!styleText && classToStyles.empty() && idToStyles.empty()) return Cascade();
  std::optional<Style> style;
  if (styleText) style = parseStyle(styleText);
  const Style* id = nullptr;
  if (const auto idText = xmlAttributes.find("id")) {
    if (const auto found = idToStyles.find(*idText); found != idToStyles.end()) id = &found->second;
  }
  std::vector<const Style*> classes;
  if (const auto classText = xmlAttributes.find("class"); classText && !classToStyles.empty()) {
    for (const auto& name : classList(*classText)) {
      if (const auto found = classToStyles.find(name); found != classToStyles.end()) classes.push_back(&found->second);
    }
  }
  return Cascade(std::move(style), id, std::move(classes));
}

Cascade::Cascade(std::optional<Style> style, const Style* id, std::vector<const Style*> classes)
    : style_(std::move(style)), id_(id), classes_(std::move(classes)) {}

bool Cascade::isEmpty() const {
  if (style_ && !style_->isEmpty()) return false;
  if (id_ && !id_->isEmpty()) return false;
  for (const Style* cssClass : classes_) {
    if (!cssClass->isEmpty()) return false;
  }
  return true;
}

std::optional<Value> Cascade::operator[](std::string_view name) const {
  if (style_) {
    if (auto value = (*style_)[name]) return value;
  }
  if (id_) {
    if (auto value = (*id_)[name]) return value;
  }
  for (auto cssClass = classes_.rbegin(); cssClass != classes_.rend(); ++cssClass) {
    if (auto value = (**cssClass)[name]) return value;
  }
  return std::nullopt;
}

std::vector<std::string> classList(std::string_view classAttribute) {
  std::vector<std::string> names;
  for (const auto name : SVGParser::splitOmittingEmpty(classAttribute, ' ', 100)) names.emplace_back(name);
  return names;
}

}  // namespace CSS
