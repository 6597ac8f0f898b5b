// Character references of HTML text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace HTMLUtils {

/// The named references ("&amp;" and the like, ampersand and semicolon included) and their
/// characters: those of HTML 4.01 and "&apos;".
const std::unordered_map<std::string, char32_t>& namedReferences();

/// The character of one whole reference: named ("&lt;"), decimal ("&#39;") or hexadecimal
/// ("&#x27;"); none when it names no character.
std::optional<char32_t> decode(std::string_view reference);

/// The character of a numeric reference's digits in `base`, read as strtoul reads them, up to
/// the closing ";" or the end; none without digits, with other text after them, and for a value
/// that is no Unicode scalar value.
std::optional<char32_t> decodeNumeric(std::string_view digits, std::int32_t base);

}  // namespace HTMLUtils
