#include "SVGConverter/Utilities/PrefixLines.h"

std::string SVGConverter::prefixLines(std::string_view text, std::string_view prefix, bool prefixEmptyLines) {
  if (text.empty()) return std::string();

  std::string result;
  result.reserve(text.size() + 10 * prefix.size());
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    const std::string_view line =
        text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (!line.empty() || prefixEmptyLines) result += prefix;
    result += line;
    if (end == std::string_view::npos) break;  // last line has no newline of its own
    result += '\n';
    start = end + 1;
  }
  return result;
}
