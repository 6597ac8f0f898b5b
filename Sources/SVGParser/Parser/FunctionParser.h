// Small text readers shared by the attribute and style readers: function-call
// notation, opacities and view boxes.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Geometry.h"

namespace SVGParser {

/// A text of the form name(arguments), split up.
struct FunctionCall {
  std::string name;
  std::vector<std::string> arguments;
  bool operator==(const FunctionCall&) const = default;
};

/// Splits name(a, b, ...) at the first "(" and the last ")": the trimmed name and
/// the comma-separated, trimmed arguments (pieces empty before trimming are
/// dropped). Nothing without that shape or with an empty name.
std::optional<FunctionCall> parseFunction(std::string_view string);

/// The name and the first argument of name(a, b, ...), split as `parseFunction` splits
/// them but without copying: both are views into the text.
struct FunctionHead {
  std::string_view name;
  std::optional<std::string_view> firstArgument;  ///< absent when there is no argument
};
std::optional<FunctionHead> parseFunctionHead(std::string_view string);

/// An opacity text as a percentage: "0.5" gives 50, "50%" gives 50. No trimming,
/// no clamping; nothing for an absent, empty or unreadable text.
std::optional<CGFloat> parseOpacity(std::optional<std::string_view> string);

/// A view box: four numbers (x, y, width, height) or two (width, height at the
/// origin), separated by blanks or commas. Reports any other count.
std::optional<CGRect> parseCGRect(std::optional<std::string_view> string);

/// The text in double quotes, with quotes, backslashes and control characters
/// escaped so that it stays on one line: "a\"b\nc".
std::string debugQuoted(std::string_view text);

/// The argument list as a list of quoted texts: ["1", "a b"].
std::string quotedList(const std::vector<std::string>& items);

/// The text without one pair of matching surrounding quotes (single or double).
std::string_view unquoted(std::string_view text);

}  // namespace SVGParser
