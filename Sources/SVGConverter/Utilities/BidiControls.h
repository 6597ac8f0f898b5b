// Bidirectional embedding, override and isolate controls. Text around them displays in another
// order than the one it is stored and compiled in, so generated code writes them as escapes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace SVGConverter {

/// The control (U+202A to U+202E, U+2066 to U+2069) whose UTF-8 form starts at `text[i]`; 0 when
/// there is none. Each takes three bytes.
inline char32_t bidiControlAt(std::string_view text, std::size_t i) {
  if (i + 2 >= text.size() || static_cast<unsigned char>(text[i]) != 0xE2) return 0;
  const auto second = static_cast<unsigned char>(text[i + 1]);
  const auto third = static_cast<unsigned char>(text[i + 2]);
  if (second == 0x80 && third >= 0xAA && third <= 0xAE) return 0x2000 + (third - 0x80);
  if (second == 0x81 && third >= 0xA6 && third <= 0xA9) return 0x2040 + (third - 0x80);
  return 0;
}

/// The control as a Swift escape, "\u{202E}".
inline std::string bidiControlEscape(char32_t control) {
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string text = "\\u{2000}";
  text[4] = digits[(control >> 8) & 0xF];
  text[5] = digits[(control >> 4) & 0xF];
  text[6] = digits[control & 0xF];
  return text;
}

}  // namespace SVGConverter
