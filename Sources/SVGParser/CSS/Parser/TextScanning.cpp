#include "SVGParser/CSS/Parser/TextScanning.h"

namespace {

// Length of the UTF-8 sequence of one white-space or newline code point at the
// front of `s`, or 0. Covers U+0009-U+000D, U+0020, U+0085, U+00A0, U+1680,
// U+2000-U+200A, U+2028, U+2029, U+202F, U+205F and U+3000.
std::size_t whitespacePrefix(std::string_view s) {
  if (s.empty()) return 0;
  const auto b0 = static_cast<unsigned char>(s[0]);
  if (b0 == ' ' || (b0 >= 0x09 && b0 <= 0x0D)) return 1;
  if (b0 < 0xC2 || s.size() < 2) return 0;
  const auto b1 = static_cast<unsigned char>(s[1]);
  if (b0 == 0xC2) return (b1 == 0x85 || b1 == 0xA0) ? 2 : 0;
  if (s.size() < 3) return 0;
  const auto b2 = static_cast<unsigned char>(s[2]);
  if (b0 == 0xE1) return (b1 == 0x9A && b2 == 0x80) ? 3 : 0;
  if (b0 == 0xE2 && b1 == 0x80) {
    return (b2 <= 0x8A && b2 >= 0x80) || b2 == 0xA8 || b2 == 0xA9 || b2 == 0xAF ? 3 : 0;
  }
  if (b0 == 0xE2 && b1 == 0x81) return b2 == 0x9F ? 3 : 0;
  if (b0 == 0xE3) return (b1 == 0x80 && b2 == 0x80) ? 3 : 0;
  return 0;
}

}  // namespace

std::size_t SVGParser::whitespaceLengthAt(std::string_view text, std::size_t pos) {
  return pos < text.size() ? whitespacePrefix(text.substr(pos)) : 0;
}

std::size_t SVGParser::whitespaceLengthBefore(std::string_view text, std::size_t end) {
  if (end > text.size()) return 0;
  for (std::size_t length = 1; length <= 3 && length <= end; ++length) {
    if (whitespacePrefix(text.substr(end - length, length)) == length) return length;
  }
  return 0;
}

std::string_view SVGParser::trimWhitespace(std::string_view text) {
  // Most texts start and end with an ASCII byte that is no blank; no white-space
  // character starts or ends with one.
  const auto plain = [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x80 && byte != ' ' && (byte < 0x09 || byte > 0x0D);
  };
  if (text.empty() || (plain(text.front()) && plain(text.back()))) return text;
  while (const auto n = SVGParser::whitespaceLengthAt(text, 0)) text.remove_prefix(n);
  while (const auto n = SVGParser::whitespaceLengthBefore(text, text.size())) text.remove_suffix(n);
  return text;
}

std::vector<std::string_view> SVGParser::splitOmittingEmpty(std::string_view text, char separator,
                                                 std::size_t maxSplits) {
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size() && pieces.size() < maxSplits; ++i) {
    if (text[i] != separator) continue;
    if (i > start) pieces.push_back(text.substr(start, i - start));
    start = i + 1;
  }
  if (start < text.size()) pieces.push_back(text.substr(start));
  return pieces;
}

std::string_view SVGParser::dropLastCharacter(std::string_view text) {
  if (text.empty()) return text;
  std::size_t cut = text.size() - 1;
  // Step back over UTF-8 continuation bytes to the start of the last code point.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return text.substr(0, cut);
}
