// Reading `transform` and `gradientTransform` texts.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "SVGParser/CSS/Parser/TextScanning.h"
#include "SVGParser/Parser/FunctionParser.h"
#include "SVGParser/Parser/NumberValue.h"
#include "Platform/Print.h"
#include "SVGParser/SVG/Transform.h"

namespace SVG {

namespace {

// The numbers between the parentheses of one transform function: the pieces between
// commas and blanks. `numbers` is the caller's, reused from one function to the next.
void splitArguments(std::string_view arguments, std::vector<std::string_view>& numbers) {
  numbers.clear();
  std::size_t i = 0, start = 0;
  while (i < arguments.size()) {
    const auto c = static_cast<unsigned char>(arguments[i]);
    // Other ASCII bytes are never blank; only longer blanks need the full test.
    const auto blank = c == ',' || c == ' ' || (c >= 0x09 && c <= 0x0D) ? 1
                       : c < 0x80                                      ? 0
                                                                       : SVGParser::whitespaceLengthAt(arguments, i);
    if (blank == 0) {
      ++i;
      continue;
    }
    if (i > start) numbers.push_back(arguments.substr(start, i - start));
    i += blank;
    start = i;
  }
  if (start < arguments.size()) numbers.push_back(arguments.substr(start));
}

// Leading white space and at most one comma: the separator between two transforms.
std::string_view dropSeparator(std::string_view chunk) {
  chunk = SVGParser::trimWhitespace(chunk);
  if (chunk.starts_with(',')) chunk = SVGParser::trimWhitespace(chunk.substr(1));
  return chunk;
}

std::optional<Transform> transformFromChunk(std::string_view chunk, std::vector<std::string_view>& args) {
  if (chunk.empty()) return std::nullopt;
  // name(arguments), split at the first "(" and the last ")".
  const auto open = chunk.find('(');
  const auto close = chunk.rfind(')');
  const auto name = SVGParser::trimWhitespace(chunk.substr(0, open));
  if (open == std::string_view::npos || close == std::string_view::npos || close < open || name.empty()) {
    SVGParser::print("Unsupported transform value:", chunk);
    return std::nullopt;
  }
  splitArguments(chunk.substr(open + 1, close - open - 1), args);
  const std::size_t n = args.size();
  const auto number = [&](std::size_t i) { return i < n ? SVGParser::numberValue(args[i]) : std::nullopt; };

  if (name == "matrix") {
    Transform::Matrix matrix;
    matrix.values.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
      if (const auto value = number(i)) matrix.values.push_back(*value);
    }
    return matrix;
  }
  if (name == "rotate") {
    const auto degrees = number(0);
    if (!degrees) return std::nullopt;
    if (n == 1) return Transform::Rotate{*degrees, 0, 0};
    return Transform::Rotate{*degrees, number(1).value_or(0), number(n - 1).value_or(0)};
  }
  if (name == "translate") {
    const CGFloat dx = number(0).value_or(0);
    if (n < 2) return Transform::Translate{dx, 0};
    return Transform::Translate{dx, number(1).value_or(dx)};
  }
  if (name == "scale") {
    if (n == 0) return Transform::Scale{0, 0};
    const CGFloat x = number(0).value_or(0);
    return Transform::Scale{x, number(n - 1).value_or(x)};
  }
  if (name == "skewX" || name == "skewY") {
    if (n == 0) return std::nullopt;
    const CGFloat degrees = number(0).value_or(0);
    if (name == "skewX") return Transform::SkewX{degrees};
    return Transform::SkewY{degrees};
  }
  const auto call = SVGParser::parseFunction(chunk);
  SVGParser::print("Unsupported transform function:", name, SVGParser::quotedList(call->arguments));
  return std::nullopt;
}

}  // namespace

std::vector<Transform> Transform::parse(std::optional<std::string_view> string) {
  std::vector<Transform> transforms;
  if (!string) return transforms;
  const std::string_view text = *string;
  // Each transform ends at a ")".
  transforms.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), ')')));
  std::vector<std::string_view> args;
  args.reserve(6);  // the most any supported function takes
  std::size_t pos = 0;
  while (pos < text.size()) {
    const auto close = text.find(')', pos);
    if (close == std::string_view::npos) break;  // an unfinished entry is dropped
    const auto chunk = dropSeparator(text.substr(pos, close + 1 - pos));
    pos = close + 1;
    if (chunk == "identity()") continue;
    if (auto transform = transformFromChunk(chunk, args)) transforms.push_back(std::move(*transform));
  }
  return transforms;
}

}  // namespace SVG
