#include "SVGParser/SVG/TextClusters.h"

namespace SVG {

std::size_t prefixOfCharacters(std::string_view text, std::size_t count) {
  // Placeholder: one character per byte that starts a code point.
  std::size_t seen = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if ((byte & 0xC0) != 0x80) {
      if (seen == count) return i;
      ++seen;
    }
  }
  return text.size();
}

}  // namespace SVG
