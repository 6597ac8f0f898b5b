// Helpers of attributed text for editing code: tests, trimming, splitting into attributed
// pieces, replacing the text, walks over the starts of lines with an in-place line modifier and
// a per-line trimmer, a fixed-pitch test, removal of colours, appending plain text and walks
// over the attachments. Indexes and ranges count UTF-16 code units; ranges reaching past the
// text are cut at its end.
//
// The line walks know only the line feed (U+000A) as the end of a line.
#pragma once

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Fennix/Foundation/BaseTypes/Emptiable.h"
#include "Fennix/Foundation/CharacterSet.h"
#include "Fennix/Foundation/Text/AttributedString.h"
#include "Fennix/Foundation/Text/TextAttachment.h"

/// Attributed text is empty without characters.
template <>
struct QvObjectThatCanBeEmptyTraits<AttributedString> {
  static bool isEmpty(const AttributedString& value) { return value.length() < 1; }
};

namespace Fennix {

inline bool isEmpty(const AttributedString& text) { return text.length() < 1; }
/// Whether the text contains `string` (an empty string is contained in none).
bool contains(const AttributedString& text, std::u16string_view string);
bool contains(const AttributedString& text, std::string_view string);
bool contains(const AttributedString& text, char32_t character);
bool containsCharacters(const AttributedString& text, const CharacterSet& of);

inline NSRange fullRange(std::u16string_view string) { return {0, string.size()}; }
inline NSRange endRange(std::u16string_view string) { return {string.size(), 0}; }
inline NSRange fullRange(const AttributedString& text) { return {0, text.length()}; }
inline NSRange endRange(const AttributedString& text) { return {text.length(), 0}; }

/// The text without its leading and trailing code units in `set`. Characters of two UTF-16
/// units are never trimmed and end the scan.
AttributedString trimmingCharacters(const AttributedString& text, const CharacterSet& in);

/// The pieces between the separators, each with the attributes its characters had.
std::vector<AttributedString> components(const AttributedString& text, std::u16string_view separatedBy);
std::vector<AttributedString> components(const AttributedString& text, const CharacterSet& separatedBy);
/// Pieces of `components`' text with the attributes of the receiver's runs, taking the pieces to
/// follow each other in the receiver separated by `splitterLength` units. Where a piece reaches
/// past the receiver it has no attributes.
std::vector<AttributedString> addAttributesForComponents(const AttributedString& text,
                                                         const std::vector<std::u16string>& components,
                                                         std::size_t splitterLength);

/// `newValue` with the attributes of the receiver's first character (those of
/// `withDefaultAttributes` for an empty receiver), overridden by every attribute set in
/// `withNewAttributes`. An unchanged text gives the receiver.
AttributedString with(const AttributedString& text, std::u16string_view newValue,
                      const std::optional<TextAttributes>& withDefaultAttributes,
                      const std::optional<TextAttributes>& withNewAttributes);

/// Called with the string, a line start and the code unit there (0 at the end of the string);
/// answers whether to go on.
using LineWalker = std::function<bool(std::u16string_view string, std::size_t lineStart, char16_t unit)>;

/// Visits the starts of the lines that `range` touches, from the last to the first. When those
/// lines end with a line feed, the position after it is visited too.
void reverseWalkLines(std::u16string_view string, std::optional<NSRange> in, const LineWalker& execute);
inline void walkLines(std::u16string_view string, NSRange in, const LineWalker& execute) {
  reverseWalkLines(string, in, execute);
}
/// As the walks of the text, but an empty text is visited once, at 0 with unit 0.
void qvWalkLines(const AttributedString& text, std::optional<NSRange> in, const LineWalker& execute);
inline void walkLines(const AttributedString& text, NSRange in, const LineWalker& execute) {
  qvWalkLines(text, in, execute);
}
inline void reverseWalkLines(const AttributedString& text, std::optional<NSRange> in, const LineWalker& execute) {
  qvWalkLines(text, in, execute);
}

/// Called with the text being changed, a line start and the unit there; may change the text at
/// or after the line start and answers the change of length.
using LineModifier = std::function<long(AttributedString& text, std::size_t lineStart, char16_t unit)>;

/// Runs `using_` at every line start of the lines `in` touches, from the last to the first, so
/// that changes at one line start leave the starts still to come in place. Answers the range of
/// those lines after the changes.
NSRange modifyLines(AttributedString& text, std::optional<NSRange> in, bool beginEditing, const LineModifier& using_);

/// The text with the characters of `trimCharacters` removed at the start (`leading`) and end
/// (`trailing`) of each line `in` touches.
AttributedString trimLines(const AttributedString& text, const CharacterSet& trimCharacters, bool beginEditing,
                           bool leading, bool trailing, std::optional<NSRange> in);

/// `default_` unless some run uses a proportional font; with `treatSingleNewlineAsFixed`, a
/// proportional run that is a single line feed does not count.
bool isFixedPitched(const AttributedString& text, bool default_, bool treatSingleNewlineAsFixed);

/// The text without foreground colours (this text type keeps no background colours or
/// paragraph styles).
AttributedString stringByRemovingColorsAndParagraphStyles(const AttributedString& text);

/// Appends text without attributes; empty texts are skipped.
void append(AttributedString& text, std::string_view string);
void append(AttributedString& text, std::initializer_list<std::string_view> strings);

/// Calls `block` for the attachment of each run in `in` (the whole text when absent) that has
/// one, until it sets the stop flag.
void forEachAttachment(const AttributedString& text, std::optional<NSRange> in,
                       const std::function<void(const std::shared_ptr<NSTextAttachment>&, bool& stop)>& block);

/// As `forEachAttachment`, for the attachments of type `T` only.
template <typename T>
void forEachAttachment(const AttributedString& text, std::optional<NSRange> in,
                       const std::function<void(const std::shared_ptr<T>&, bool& stop)>& block) {
  forEachAttachment(text, in, [&block](const std::shared_ptr<NSTextAttachment>& attachment, bool& stop) {
    if (auto typed = std::dynamic_pointer_cast<T>(attachment)) block(typed, stop);
  });
}

/// Calls `block` with the cell of every attachment in `in` (an attachment without a cell of its
/// own gets the plain one).
void forEachAttachmentCell(const AttributedString& text, std::optional<NSRange> in,
                           const std::function<void(const std::shared_ptr<NSTextAttachmentCell>&)>& block);

}  // namespace Fennix
