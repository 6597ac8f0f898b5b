#include "Fennix/console/ConsoleSupport.h"

#include <glib.h>

#include <cstdio>
#include <memory>

namespace consolesupport {

void printLine(std::string_view line) {
  std::string text(line);
  text += '\n';
  std::fwrite(text.data(), 1, text.size(), stdout);
}

namespace {

using GString = std::unique_ptr<gchar, decltype(&g_free)>;

bool isValidUTF8(std::string_view text) {
  return g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr);
}

template <typename ASCIIMap>
std::string mapCase(std::string_view text, gchar* (*unicodeMap)(const gchar*, gssize), ASCIIMap asciiMap) {
  if (isValidUTF8(text)) {
    GString mapped(unicodeMap(text.data(), static_cast<gssize>(text.size())), g_free);
    return std::string(mapped.get());
  }
  std::string result(text);
  for (char& ch : result) ch = asciiMap(ch);
  return result;
}

bool isWhiteSpaceOrLineBreak(gunichar ch) {
  return g_unichar_isspace(ch) || ch == 0x85 || ch == 0x1C || ch == 0x1D || ch == 0x1E || ch == 0x1F;
}

}  // namespace

std::string lowercased(std::string_view text) {
  return mapCase(text, g_utf8_strdown, [](char ch) { return ch >= 'A' && ch <= 'Z' ? char(ch - 'A' + 'a') : ch; });
}

std::string uppercased(std::string_view text) {
  return mapCase(text, g_utf8_strup, [](char ch) { return ch >= 'a' && ch <= 'z' ? char(ch - 'a' + 'A') : ch; });
}

std::string trimmed(std::string_view text) {
  if (!isValidUTF8(text)) {
    const auto first = text.find_first_not_of(" \t\n\v\f\r");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\n\v\f\r");
    return std::string(text.substr(first, last - first + 1));
  }
  const char* begin = text.data();
  const char* end = text.data() + text.size();
  while (begin < end && isWhiteSpaceOrLineBreak(g_utf8_get_char(begin))) begin = g_utf8_next_char(begin);
  while (end > begin) {
    const char* previous = g_utf8_find_prev_char(begin, end);
    if (previous == nullptr || !isWhiteSpaceOrLineBreak(g_utf8_get_char(previous))) break;
    end = previous;
  }
  return std::string(begin, end);
}

}  // namespace consolesupport
