#include "Fennix/Foundation/StringHelpers.h"

#include <algorithm>
#include <climits>

#include <unicode/utf16.h>
#include <unicode/utf8.h>

namespace Fennix {

namespace {

// The decoders work on int32_t offsets; longer texts are walked in the same way through an
// offset that stays within size_t.
struct UTF8Cursor {
  const uint8_t* bytes;
  std::size_t size;

  // The scalar at `i` and the offset after it; malformed bytes read as U+FFFD and set `malformed`.
  char32_t next(std::size_t& i, bool* malformed = nullptr) const {
    const uint8_t lead = bytes[i];
    if (lead < 0x80) {
      ++i;
      return lead;
    }
    const std::size_t window = std::min<std::size_t>(size - i, 4);
    int32_t j = 0;
    UChar32 c;
    U8_NEXT(bytes + i, j, static_cast<int32_t>(window), c);
    i += std::size_t(j);
    if (malformed) *malformed = c < 0;
    return c < 0 ? 0xFFFD : char32_t(c);
  }

  // The scalar ending before `i` and the offset where it starts; as `next`.
  char32_t previous(std::size_t& i, bool* malformed = nullptr) const {
    const std::size_t start = i > 4 ? i - 4 : 0;
    int32_t j = static_cast<int32_t>(i - start);
    UChar32 c;
    U8_PREV(bytes + start, 0, j, c);
    i = start + std::size_t(j);
    if (malformed) *malformed = c < 0;
    return c < 0 ? 0xFFFD : char32_t(c);
  }
};

UTF8Cursor cursor(std::string_view text) { return {reinterpret_cast<const uint8_t*>(text.data()), text.size()}; }

bool isHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// True when `index` lies between the two units of a surrogate pair.
bool splitsPair(std::u16string_view text, std::size_t index) {
  return index > 0 && index < text.size() && isHighSurrogate(text[index - 1]) && isLowSurrogate(text[index]);
}

// The newline characters: LF, VT, FF, CR, NEL, U+2028 and U+2029 (CR LF ends one line).
bool isLineTerminator(char16_t unit) {
  return (unit >= u'\n' && unit <= u'\r') || unit == 0x0085 || unit == 0x2028 || unit == 0x2029;
}

NSRange clamped(std::u16string_view text, NSRange range) {
  const std::size_t location = std::min(range.location, text.size());
  return {location, std::min(range.length, text.size() - location)};
}

}  // namespace

bool containsCharacters(std::string_view text, const CharacterSet& of) {
  const UTF8Cursor c = cursor(text);
  for (std::size_t i = 0; i < text.size();) {
    if (of.contains(c.next(i))) return true;
  }
  return false;
}

bool containsCharacters(std::u16string_view text, const CharacterSet& of) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t scalar = text[i];
    if (isHighSurrogate(text[i]) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
      scalar = 0x10000 + ((scalar - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    if (of.contains(scalar)) return true;
  }
  return false;
}

std::string trimmingPrefixCharacters(std::string_view text, const CharacterSet& in) {
  const UTF8Cursor c = cursor(text);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t next = start;
    bool malformed = false;
    const char32_t scalar = c.next(next, &malformed);
    if (malformed || !in.contains(scalar)) break;
    start = next;
  }
  return std::string(text.substr(start));
}

std::string trimmingSuffixCharacters(std::string_view text, const CharacterSet& in) {
  const UTF8Cursor c = cursor(text);
  std::size_t end = text.size();
  while (end > 0) {
    std::size_t previous = end;
    bool malformed = false;
    const char32_t scalar = c.previous(previous, &malformed);
    if (malformed || !in.contains(scalar)) break;
    end = previous;
  }
  return std::string(text.substr(0, end));
}

bool isISOLatin1(std::string_view text) {
  const UTF8Cursor c = cursor(text);
  for (std::size_t i = 0; i < text.size();) {
    bool malformed = false;
    if (c.next(i, &malformed) > 0xFF || malformed) return false;
  }
  return true;
}

std::optional<std::string> substring(std::string_view text, NSRange range) {
  if (range.length > SIZE_MAX - range.location) return std::nullopt;
  const std::size_t from = range.location, to = range.upperBound();
  const UTF8Cursor c = cursor(text);
  std::size_t units = 0, byte = 0;
  std::optional<std::size_t> fromByte, toByte;
  while (true) {
    if (units == from && !fromByte) fromByte = byte;
    if (units == to) {
      toByte = byte;
      break;
    }
    if (byte >= text.size() || units > to) break;
    units += c.next(byte) > 0xFFFF ? 2 : 1;
  }
  if (!fromByte || !toByte) return std::nullopt;
  return std::string(text.substr(*fromByte, *toByte - *fromByte));
}

NSRange lineRange(std::u16string_view text, NSRange range) {
  range = clamped(text, range);
  const std::size_t n = text.size();
  std::size_t start = range.location;
  // A position between the CR and the LF of a pair belongs to the line the pair ends.
  if (start > 0 && start < n && text[start - 1] == u'\r' && text[start] == u'\n') --start;
  while (start > 0 && !isLineTerminator(text[start - 1])) --start;

  const std::size_t last = range.length > 0 ? range.upperBound() - 1 : range.location;
  std::size_t end = n;
  for (std::size_t i = last; i < n; ++i) {
    if (isLineTerminator(text[i])) {
      end = i + 1;
      if (text[i] == u'\r' && end < n && text[end] == u'\n') ++end;
      break;
    }
  }
  return {start, end - start};
}

std::vector<NSRange> lineRanges(std::u16string_view text, NSRange range) {
  std::vector<NSRange> result;
  if (text.empty()) return result;
  const NSRange lines = lineRange(text, range);
  if (lines.length == 0) return result;
  const std::size_t end = lines.upperBound();
  std::size_t cursor = lines.location;
  while (cursor < end) {
    std::size_t found = cursor;
    while (found < end && !isLineTerminator(text[found])) ++found;
    if (found == end) {
      result.push_back({cursor, end - cursor});
      break;
    }
    result.push_back({cursor, found - cursor});
    cursor = found + 1;
    if (text[found] == u'\r' && cursor < end && text[cursor] == u'\n') ++cursor;
  }
  return result;
}

std::optional<NSRange> rangeOfLine(std::u16string_view text, long line) {
  if (line < 1 || text.empty()) return std::nullopt;
  std::size_t offset = 0;
  for (long number = 1; offset < text.size(); ++number) {
    const NSRange found = lineRange(text, {offset, 0});
    if (number == line) return found;
    offset = found.upperBound();
  }
  return std::nullopt;
}

std::vector<Token> tokenize(std::string_view text, const NSRegularExpression& using_, bool omitEmpty) {
  const std::u16string units = Fennix::utf16FromUTF8(text);
  const std::u16string_view view(units);
  std::vector<Token> pieces;
  const auto addPlain = [&](std::size_t from, std::size_t to) {
    if (splitsPair(view, from) || splitsPair(view, to)) return;
    if (omitEmpty && from == to) return;
    pieces.push_back({Token::Kind::text, Fennix::utf8FromUTF16(view.substr(from, to - from))});
  };
  std::size_t lastEnd = 0;
  using_.enumerateMatches(view, {0, view.size()}, [&](NSRange match, bool&) {
    if (splitsPair(view, match.location) || splitsPair(view, match.upperBound())) return;
    if (lastEnd < match.location) addPlain(lastEnd, match.location);
    pieces.push_back({Token::Kind::match, Fennix::utf8FromUTF16(view.substr(match.location, match.length))});
    lastEnd = match.upperBound();
  });
  if (lastEnd < view.size()) addPlain(lastEnd, view.size());
  return pieces;
}

}  // namespace Fennix
