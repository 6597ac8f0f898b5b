#include "Fennix/Foundation/Base64.h"

#include <cstring>

namespace Fennix {

namespace {

constexpr char base64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

std::string base64Encode(const std::vector<std::uint8_t>& data) {
  std::string out;
  out.reserve((data.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 2 < data.size(); i += 3) {
    unsigned n = (data[i] << 16) | (data[i + 1] << 8) | data[i + 2];
    out += base64Alphabet[(n >> 18) & 63];
    out += base64Alphabet[(n >> 12) & 63];
    out += base64Alphabet[(n >> 6) & 63];
    out += base64Alphabet[n & 63];
  }
  if (i < data.size()) {
    unsigned n = data[i] << 16;
    if (i + 1 < data.size()) n |= data[i + 1] << 8;
    out += base64Alphabet[(n >> 18) & 63];
    out += base64Alphabet[(n >> 12) & 63];
    out += i + 1 < data.size() ? base64Alphabet[(n >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::optional<std::vector<std::uint8_t>> base64Decode(const std::string& text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::vector<std::uint8_t> out;
  out.reserve(text.size() / 4 * 3);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    unsigned n = 0;
    int padding = 0;
    for (std::size_t j = 0; j < 4; ++j) {
      char c = text[i + j];
      int v;
      if (c == '=' && i + 4 == text.size() && j >= 2) {
        ++padding;
        v = 0;
      } else {
        if (padding != 0) return std::nullopt;  // data after padding
        const char* at = c == '\0' ? nullptr : std::strchr(base64Alphabet, c);
        if (at == nullptr) return std::nullopt;
        v = static_cast<int>(at - base64Alphabet);
      }
      n = (n << 6) | static_cast<unsigned>(v);
    }
    out.push_back(static_cast<std::uint8_t>(n >> 16));
    if (padding < 2) out.push_back(static_cast<std::uint8_t>(n >> 8));
    if (padding < 1) out.push_back(static_cast<std::uint8_t>(n));
  }
  return out;
}

}  // namespace Fennix
