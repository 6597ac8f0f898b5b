// Small text helpers shared by the CSS and SVG readers: white space as the
// platform's white-space-and-newline set knows it (ASCII and Unicode blanks,
// line and paragraph separators), trimming and the collection-style split.
#pragma once

#include <cstddef>
#include <limits>
#include <string_view>
#include <vector>

namespace SVGParser {

/// Byte length of the white-space or newline character that starts at `pos`; 0 when none does.
std::size_t whitespaceLengthAt(std::string_view text, std::size_t pos);

/// Byte length of the white-space or newline character that ends just before `end`; 0 when none does.
std::size_t whitespaceLengthBefore(std::string_view text, std::size_t end);

/// The text without white space and newlines at either end.
std::string_view trimWhitespace(std::string_view text);

/// Splits at every `separator`, dropping empty pieces. Once `maxSplits` pieces have
/// been cut off, everything after the separator that ended the last of them is one
/// more piece, taken whole.
std::vector<std::string_view> splitOmittingEmpty(
    std::string_view text, char separator,
    std::size_t maxSplits = std::numeric_limits<std::size_t>::max());

/// The text without its last character (one UTF-8 code point); empty stays empty.
std::string_view dropLastCharacter(std::string_view text);

}  // namespace SVGParser
