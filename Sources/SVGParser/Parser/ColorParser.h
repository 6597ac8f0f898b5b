// Reading colours from attribute text and from cascaded CSS values.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "SVGParser/CSS/Color.h"

namespace CSS {

/// The outcome of reading a colour text without reporting anything.
struct ColorReading {
  std::optional<Color> color;
  /// The text is a plain word that is no colour keyword.
  bool unknownName = false;
};

/// Reads a colour text (trimmed and lower-cased first): a keyword of the table,
/// "transparent", a hexadecimal form with 3, 6 or 8 digits, or rgb()/rgba().
ColorReading readColor(std::string_view text);

/// rgb(r, g, b) with at least three arguments or rgba(r, g, b, a) with at least
/// four; `name` is compared in lower case.
std::optional<Color> colorFromFunction(std::string_view name, const std::vector<std::string>& arguments);

}  // namespace CSS
