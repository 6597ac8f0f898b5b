#include "SyntaxEditor/EditingRules.h"

#include <algorithm>
#include <cmath>

#include "SyntaxEditor/TextStorage/TextStorage.h"

namespace SyntaxEditorSupport {

namespace {

bool isBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == 0x00A0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F ||
         c == 0x205F || c == 0x3000;
}

bool isHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

std::u16string leadingIndentation(std::u16string_view text, NSRange selection) {
  const NSRange line = lineRange(text, selection);
  std::size_t end = line.location;
  while (end < line.upperBound() && isBlank(text[end])) ++end;
  return std::u16string(text.substr(line.location, end - line.location));
}

std::optional<std::u16string> softTabInsertion(const SyntaxEditor::IndentStyle& style) {
  const auto* soft = std::get_if<SyntaxEditor::SoftTab>(&style);
  if (!soft) return std::nullopt;
  if (soft->width <= 0) return std::u16string();
  return std::u16string(std::size_t(std::min(soft->width, maximumSoftTabWidth)), u' ');
}

std::optional<std::u16string> closingPair(const SyntaxEditor::AutoPairs& pairs, std::u16string_view inserted) {
  if (pairs.empty() || inserted.empty()) return std::nullopt;
  auto found = pairs.find(Fennix::utf8FromUTF16(inserted));
  if (found == pairs.end()) return std::nullopt;
  return Fennix::utf16FromUTF8(found->second);
}

LinePosition startOrEndOfLine(std::u16string_view text, std::size_t caret) {
  caret = std::min(caret, text.size());
  const NSRange line = lineRange(text, {caret, 0});
  return {caret == line.location, caret == line.upperBound()};
}

NSRange characterBefore(std::u16string_view text, std::size_t index) {
  index = std::min(index, text.size());
  if (index == 0) return {0, 0};
  if (index >= 2 && ((isLow(text[index - 1]) && isHigh(text[index - 2])) ||
                     (text[index - 1] == u'\n' && text[index - 2] == u'\r'))) {
    return {index - 2, 2};
  }
  return {index - 1, 1};
}

NSRange characterAfter(std::u16string_view text, std::size_t index) {
  if (index >= text.size()) return {text.size(), 0};
  if (index + 1 < text.size() && ((isHigh(text[index]) && isLow(text[index + 1])) ||
                                  (text[index] == u'\r' && text[index + 1] == u'\n'))) {
    return {index, 2};
  }
  return {index, 1};
}

bool deletesPair(std::u16string_view text, NSRange selection, const SyntaxEditor::AutoPairs& pairs) {
  // With a selection Backspace deletes the selection, never a pair around it.
  if (pairs.empty() || selection.length != 0) return false;
  const std::size_t caret = selection.location;
  if (caret == 0 || caret >= text.size()) return false;
  const LinePosition position = startOrEndOfLine(text, caret);
  if (position.atStart || position.atEnd) return false;
  const NSRange before = characterBefore(text, caret);
  const auto closing = closingPair(pairs, text.substr(before.location, before.length));
  if (!closing || closing->empty()) return false;
  const NSRange after = characterAfter(text, caret);
  return text.substr(after.location, after.length) == *closing;
}

FontSizeChange fontSizeChange(FontAction action, double currentSize, std::optional<double> selectedFontSize) {
  switch (action) {
    case FontAction::addTrait:
    case FontAction::removeTrait:
      return {FontSizeChange::refuse, 0};
    case FontAction::sizeUp:
      return {FontSizeChange::resize, std::max(minimumFontSize, currentSize + 1)};
    case FontAction::sizeDown:
      return {FontSizeChange::resize, std::max(minimumFontSize, currentSize - 1)};
    default:
      if (selectedFontSize && std::isfinite(*selectedFontSize)) {
        return {FontSizeChange::resize, std::max(minimumFontSize, *selectedFontSize)};
      }
      return {FontSizeChange::passOn, 0};
  }
}

bool allowsCopy(SyntaxEditor::Flags flags) {
  return flags.contains(SyntaxEditor::Flags::editable) || flags.contains(SyntaxEditor::Flags::selectable);
}

NSRange changedRange(std::u16string_view old, std::u16string_view replacement) {
  const std::size_t shorter = std::min(old.size(), replacement.size());
  std::size_t prefix = 0;
  while (prefix < shorter && old[prefix] == replacement[prefix]) ++prefix;
  if (prefix > 0 && old[prefix - 1] >= 0xD800 && old[prefix - 1] <= 0xDBFF) --prefix;
  std::size_t suffix = 0;
  while (suffix < shorter - prefix && old[old.size() - 1 - suffix] == replacement[replacement.size() - 1 - suffix]) {
    ++suffix;
  }
  if (suffix > 0 && old[old.size() - suffix] >= 0xDC00 && old[old.size() - suffix] <= 0xDFFF) --suffix;
  return {prefix, old.size() - prefix - suffix};
}

}  // namespace SyntaxEditorSupport
