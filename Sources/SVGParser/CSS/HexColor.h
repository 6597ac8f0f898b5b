// Reading a six-digit hexadecimal colour into its three channel bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace CSS {

struct RGBBytes {
  std::uint8_t r, g, b;
  bool operator==(const RGBBytes&) const = default;
};

/// Characters that are neither letters nor digits are trimmed from both ends
/// ("#abcdef" reads as "abcdef"); the rest must be exactly six hexadecimal digits.
std::optional<RGBBytes> rgbFromHex(std::optional<std::string_view> string);

/// Reads a whole text of hexadecimal digits (no sign, no prefix) that fits 32 bits.
std::optional<std::uint32_t> parseHex32(std::string_view digits);

/// The text without characters other than ASCII letters and digits at either end.
/// (Other letters and digits count as such too: any byte of a multi-byte character is kept.)
std::string_view trimNonAlphanumerics(std::string_view text);

}  // namespace CSS
