// Text helpers shared by the generator and the utility library: ASCII case mapping, UTF-8
// validation and counting of user-perceived characters.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace QuarvelText {

/// The text with the letters A to Z in lower case; every other byte unchanged.
std::string asciiLowercased(std::string_view text);

/// Whether the bytes are well-formed UTF-8: no stray or missing continuation bytes, no overlong
/// forms, no surrogates, nothing above U+10FFFF. A NUL byte is well-formed.
bool isValidUTF8(std::string_view text);

/// The number of user-perceived characters (grapheme clusters) of UTF-8 text; a carriage
/// return and line feed count as one. Bytes that are not UTF-8 count one each.
std::size_t characterCount(std::string_view text);

}  // namespace QuarvelText
