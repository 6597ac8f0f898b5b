// The editing rules of the code text view as functions of the text and the selection: the
// indentation a new line copies, what Tab inserts, which typed strings open a pair, when
// Backspace removes both halves of a pair, and how the font-size commands move the size.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Fennix/Foundation/Text/AttributedString.h"
#include "SyntaxEditor/SyntaxEditor.h"

namespace SyntaxEditorSupport {

/// The most spaces one Tab inserts; wider soft tabs are cut to this.
inline constexpr int maximumSoftTabWidth = 256;

/// The leading run of blanks and tabs of the line around `selection`; the line's terminator ends
/// the run.
std::u16string leadingIndentation(std::u16string_view text, NSRange selection);

/// What Tab inserts: none for the system tab (the text view inserts a tab character), spaces for
/// a soft tab; a width of zero or less inserts nothing.
std::optional<std::u16string> softTabInsertion(const SyntaxEditor::IndentStyle& style);

/// The closing string of a pair whose opening string is the whole of `inserted`, if any.
std::optional<std::u16string> closingPair(const SyntaxEditor::AutoPairs& pairs, std::u16string_view inserted);

/// Whether the caret is at the start of its line, and whether it is at the end of its line after
/// the line terminator.
struct LinePosition {
  bool atStart = false;
  bool atEnd = false;
};
LinePosition startOrEndOfLine(std::u16string_view text, std::size_t caret);

/// Whether Backspace removes both halves of a pair: nothing is selected, the caret is neither at
/// the start nor at the end of its line, and it sits between an opening character and its
/// closing string.
bool deletesPair(std::u16string_view text, NSRange selection, const SyntaxEditor::AutoPairs& pairs);

/// The code units of the character before and after `index` (a surrogate pair or a carriage
/// return and line feed count as one); empty at the start or the end.
NSRange characterBefore(std::u16string_view text, std::size_t index);
/// The stretch of `old` that differs from `replacement`: what lies between their longest common
/// start and longest common end (which do not overlap), never splitting a surrogate pair.
/// Replacing it with the same stretch of `replacement` turns `old` into `replacement`.
NSRange changedRange(std::u16string_view old, std::u16string_view replacement);
NSRange characterAfter(std::u16string_view text, std::size_t index);

/// The font commands of the font panel and the font-size menu.
enum class FontAction { none, addTrait, removeTrait, sizeUp, sizeDown, viaPanel, heavier, lighter };

/// The smallest font size the size commands reach.
inline constexpr double minimumFontSize = 1;

/// What a font command does to a size: refuse (the traits come from the theme), leave it to the
/// text view, or set a new size.
struct FontSizeChange {
  enum Kind { refuse, passOn, resize } kind = passOn;
  double size = 0;
};
FontSizeChange fontSizeChange(FontAction action, double currentSize, std::optional<double> selectedFontSize);

/// Whether copying is allowed by the flags: the text must be editable or selectable.
bool allowsCopy(SyntaxEditor::Flags flags);

}  // namespace SyntaxEditorSupport
