#include "Fennix/Foundation/AttributedStringHelpers.h"

#include <algorithm>
#include <cstdint>

#include "Fennix/Foundation/StringHelpers.h"

namespace Fennix {

namespace {

bool isSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

std::size_t saturatingAdd(std::size_t a, std::size_t b) { return b > SIZE_MAX - a ? SIZE_MAX : a + b; }

NSRange clamped(std::size_t length, NSRange range) {
  const std::size_t location = std::min(range.location, length);
  return {location, std::min(range.length, length - location)};
}

// Visits the line starts of the line range `lines` from the last to the first, reading the text
// afresh through `current` after every visit, since the visitor may change it at or after the
// start it was given.
template <typename Current, typename Visit>
void visitLineStarts(const Current& current, NSRange lines, const Visit& visit) {
  if (lines.length == 0) return;
  std::size_t i = lines.upperBound() - 1;
  while (true) {
    std::u16string_view text = current();
    if (text.empty()) return;
    i = std::min(i, text.size() - 1);  // a visitor that shortened the text behind the walk
    if (i < lines.location) return;
    const bool atFirst = i == lines.location;
    if (text[i] == u'\n') {
      const std::size_t start = i + 1;
      if (!visit(start, start < text.size() ? text[start] : char16_t(0))) return;
      text = current();
    }
    if (atFirst) {
      // The first line starts the range even when it is empty: the line after it was visited
      // just above.
      visit(lines.location, lines.location < text.size() ? text[lines.location] : char16_t(0));
      return;
    }
    --i;
  }
}

// The attributed pieces of `text` for pieces of its text at known locations.
AttributedString pieceWithAttributes(const AttributedString& text, std::size_t location, std::u16string_view piece) {
  AttributedString result;
  std::size_t offset = 0;
  if (location < text.length()) {
    const std::size_t end = std::min(text.length(), location + piece.size());
    for (const AttributedString::Run& run : text.runs()) {
      if (run.range.upperBound() <= location) continue;
      if (run.range.location >= end) break;
      const std::size_t from = std::max(run.range.location, location) - location;
      const std::size_t to = std::min(run.range.upperBound(), end) - location;
      result.append(AttributedString(std::u16string(piece.substr(from, to - from)), run.attributes));
      offset = to;
    }
  }
  if (offset < piece.size()) result.append(AttributedString(std::u16string(piece.substr(offset))));
  return result;
}

struct Piece {
  std::size_t location;
  std::u16string text;
};

std::vector<AttributedString> withAttributes(const AttributedString& text, const std::vector<Piece>& pieces) {
  std::vector<AttributedString> result;
  result.reserve(pieces.size());
  for (const Piece& piece : pieces) result.push_back(pieceWithAttributes(text, piece.location, piece.text));
  return result;
}

}  // namespace

bool contains(const AttributedString& text, std::u16string_view string) {
  return !string.empty() && text.utf16().find(string) != std::u16string::npos;
}

bool contains(const AttributedString& text, std::string_view string) { return contains(text, Fennix::utf16FromUTF8(string)); }

bool contains(const AttributedString& text, char32_t character) {
  std::u16string units;
  if (character > 0x10FFFF || isSurrogate(char16_t(character))) return false;
  if (character < 0x10000) {
    units += char16_t(character);
  } else {
    units += char16_t(0xD800 + ((character - 0x10000) >> 10));
    units += char16_t(0xDC00 + ((character - 0x10000) & 0x3FF));
  }
  return contains(text, std::u16string_view(units));
}

bool containsCharacters(const AttributedString& text, const CharacterSet& of) {
  return !isEmpty(text) && containsCharacters(std::u16string_view(text.utf16()), of);
}

AttributedString trimmingCharacters(const AttributedString& text, const CharacterSet& in) {
  const std::u16string& units = text.utf16();
  const std::size_t n = units.size();
  if (n < 1) return AttributedString();
  const auto trimmable = [&](char16_t unit) { return !isSurrogate(unit) && in.contains(unit); };
  std::size_t leading = 0;
  while (leading < n && trimmable(units[leading])) ++leading;
  if (leading >= n) return AttributedString();
  std::size_t trailing = 0;
  while (trailing < n && trimmable(units[n - 1 - trailing])) ++trailing;
  if (leading == 0 && trailing == 0) return text;
  AttributedString result = text;
  if (trailing > 0) result.replaceCharacters({n - trailing, trailing}, u"");
  if (leading > 0) result.replaceCharacters({0, std::min(leading, n - trailing)}, u"");
  return result;
}

std::vector<AttributedString> components(const AttributedString& text, std::u16string_view separatedBy) {
  const std::u16string& units = text.utf16();
  std::vector<Piece> pieces;
  std::size_t start = 0;
  if (!separatedBy.empty()) {
    for (std::size_t found; (found = units.find(separatedBy, start)) != std::u16string::npos;) {
      pieces.push_back({start, units.substr(start, found - start)});
      start = found + separatedBy.size();
    }
  }
  pieces.push_back({start, units.substr(start)});
  return withAttributes(text, pieces);
}

std::vector<AttributedString> components(const AttributedString& text, const CharacterSet& separatedBy) {
  const std::u16string& units = text.utf16();
  std::vector<Piece> pieces;
  std::size_t start = 0;
  for (std::size_t i = 0; i < units.size();) {
    char32_t scalar = units[i];
    std::size_t width = 1;
    if (scalar >= 0xD800 && scalar <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      scalar = 0x10000 + ((scalar - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      width = 2;
    }
    if (separatedBy.contains(scalar)) {
      pieces.push_back({start, units.substr(start, i - start)});
      start = i + width;
    }
    i += width;
  }
  pieces.push_back({start, units.substr(start)});
  return withAttributes(text, pieces);
}

std::vector<AttributedString> addAttributesForComponents(const AttributedString& text,
                                                         const std::vector<std::u16string>& components,
                                                         std::size_t splitterLength) {
  std::vector<Piece> pieces;
  pieces.reserve(components.size());
  std::size_t location = 0;
  for (const std::u16string& component : components) {
    pieces.push_back({location, component});
    location = saturatingAdd(saturatingAdd(location, component.size()), splitterLength);
  }
  return withAttributes(text, pieces);
}

AttributedString with(const AttributedString& text, std::u16string_view newValue,
                      const std::optional<TextAttributes>& withDefaultAttributes,
                      const std::optional<TextAttributes>& withNewAttributes) {
  if (text.utf16() == newValue) return text;
  TextAttributes attributes = isEmpty(text) ? withDefaultAttributes.value_or(TextAttributes{}) : text.attributes(0);
  if (withNewAttributes) {
    const TextAttributes& changes = *withNewAttributes;
    if (changes.font) attributes.font = changes.font;
    if (changes.foregroundColor) attributes.foregroundColor = changes.foregroundColor;
    if (changes.underlineStyle != NSUnderlineStyle::none) attributes.underlineStyle = changes.underlineStyle;
    if (changes.underlineColor) attributes.underlineColor = changes.underlineColor;
    if (changes.attachment) attributes.attachment = changes.attachment;
  }
  return AttributedString(std::u16string(newValue), attributes);
}

void reverseWalkLines(std::u16string_view string, std::optional<NSRange> in, const LineWalker& execute) {
  const NSRange lines = lineRange(string, in.value_or(fullRange(string)));
  visitLineStarts([string] { return string; }, lines,
                  [&](std::size_t start, char16_t unit) { return execute(string, start, unit); });
}

void qvWalkLines(const AttributedString& text, std::optional<NSRange> in, const LineWalker& execute) {
  if (isEmpty(text)) {
    execute(std::u16string_view(), 0, 0);
    return;
  }
  reverseWalkLines(std::u16string_view(text.utf16()), in, execute);
}

NSRange modifyLines(AttributedString& text, std::optional<NSRange> in, bool beginEditing, const LineModifier& using_) {
  (void)beginEditing;  // this text type lays nothing out while it is edited
  if (isEmpty(text)) return {0, std::size_t(std::max(0L, using_(text, 0, 0)))};
  const NSRange lines = lineRange(text.utf16(), in.value_or(fullRange(text)));
  long change = 0;
  visitLineStarts([&text] { return std::u16string_view(text.utf16()); }, lines,
                  [&](std::size_t start, char16_t unit) {
                    change += using_(text, start, unit);
                    return true;
                  });
  const long length = std::max(0L, long(lines.length) + change);
  return {lines.location, std::size_t(length)};
}

AttributedString trimLines(const AttributedString& text, const CharacterSet& trimCharacters, bool beginEditing,
                           bool leading, bool trailing, std::optional<NSRange> in) {
  if (!containsCharacters(text, trimCharacters)) return text;
  AttributedString result = text;
  const auto trimmable = [&](char16_t unit) { return !isSurrogate(unit) && trimCharacters.contains(unit); };
  modifyLines(result, in, beginEditing, [&](AttributedString& lines, std::size_t start, char16_t unit) -> long {
    if (unit == 0) return 0;
    const std::u16string& units = lines.utf16();
    std::size_t end = units.find(u'\n', start);
    if (end == std::u16string::npos) end = units.size();
    std::size_t trailingCount = 0, leadingCount = 0;
    if (trailing && end > start) {
      while (end - trailingCount > start && trimmable(units[end - trailingCount - 1])) ++trailingCount;
      if (trailingCount > 0) lines.replaceCharacters({end - trailingCount, trailingCount}, u"");
      end -= trailingCount;
    }
    if (leading && end > start) {
      const std::u16string& now = lines.utf16();
      while (start + leadingCount < end && trimmable(now[start + leadingCount])) ++leadingCount;
      if (leadingCount > 0) lines.replaceCharacters({start, leadingCount}, u"");
    }
    return -long(trailingCount + leadingCount);
  });
  return result;
}

bool isFixedPitched(const AttributedString& text, bool default_, bool treatSingleNewlineAsFixed) {
  bool result = default_;
  for (const AttributedString::Run& run : text.runs()) {
    const NSFontPtr& font = run.attributes.font;
    if (!font || (font->traits() & NSFixedPitchFontMask) != 0) continue;
    if (treatSingleNewlineAsFixed && run.range.length == 1 && text.utf16()[run.range.location] == u'\n') continue;
    result = false;
    break;
  }
  return result;
}

AttributedString stringByRemovingColorsAndParagraphStyles(const AttributedString& text) {
  AttributedString result;
  const std::u16string_view units(text.utf16());
  for (const AttributedString::Run& run : text.runs()) {
    TextAttributes attributes = run.attributes;
    attributes.foregroundColor.reset();
    result.append(AttributedString(std::u16string(units.substr(run.range.location, run.range.length)), attributes));
  }
  return result;
}

void append(AttributedString& text, std::string_view string) {
  if (!string.empty()) text.append(AttributedString(string));
}

void append(AttributedString& text, std::initializer_list<std::string_view> strings) {
  for (std::string_view string : strings) append(text, string);
}

void forEachAttachment(const AttributedString& text, std::optional<NSRange> in,
                       const std::function<void(const std::shared_ptr<NSTextAttachment>&, bool& stop)>& block) {
  const NSRange range = clamped(text.length(), in.value_or(fullRange(text)));
  bool stop = false;
  for (const AttributedString::Run& run : text.runs()) {
    if (run.range.upperBound() <= range.location) continue;
    if (run.range.location >= range.upperBound()) break;
    if (!run.attributes.attachment) continue;
    block(run.attributes.attachment, stop);
    if (stop) break;
  }
}

void forEachAttachmentCell(const AttributedString& text, std::optional<NSRange> in,
                           const std::function<void(const std::shared_ptr<NSTextAttachmentCell>&)>& block) {
  forEachAttachment(text, in, [&block](const std::shared_ptr<NSTextAttachment>& attachment, bool&) {
    block(attachment->attachmentCell());
  });
}

}  // namespace Fennix
