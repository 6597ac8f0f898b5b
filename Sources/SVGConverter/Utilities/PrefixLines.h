// Indenting every line of a block of text.
#pragma once

#include <string>
#include <string_view>

namespace SVGConverter {

/// Puts `prefix` in front of every line of `text`. Lines are separated by
/// newlines; a newline at the very end closes the last line and opens no
/// further one. Empty lines get the prefix only when `prefixEmptyLines` is
/// true. The result ends with a newline exactly when `text` does; an empty
/// text stays empty.
std::string prefixLines(std::string_view text, std::string_view prefix, bool prefixEmptyLines = false);

}  // namespace SVGConverter
