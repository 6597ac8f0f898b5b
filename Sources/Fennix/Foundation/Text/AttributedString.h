// Attributed text: a text with runs of font, foreground colour and underline. Positions and
// lengths count UTF-16 code units, as ranges do everywhere in the text system; the adapters of
// the toolkit convert them to character offsets.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Fennix/Foundation/Text/Color.h"
#include "Fennix/Foundation/Text/Font.h"

struct NSRange {
  std::size_t location = 0;
  std::size_t length = 0;

  std::size_t upperBound() const { return location + length; }
  bool operator==(const NSRange& other) const = default;
};

enum class NSUnderlineStyle { none = 0, single = 1 };

class NSTextAttachment;

/// The attributes a run of text carries; absent ones are not set.
struct TextAttributes {
  NSFontPtr font;
  std::optional<NSColor> foregroundColor;
  NSUnderlineStyle underlineStyle = NSUnderlineStyle::none;
  std::optional<NSColor> underlineColor;
  /// An object standing in the text (the text holds U+FFFC there); compared by identity.
  std::shared_ptr<NSTextAttachment> attachment;

  /// Fonts are compared by value, so fonts made apart that match are equal.
  bool operator==(const TextAttributes& other) const;
  std::string description() const;
};

class AttributedString {
 public:
  /// A stretch of text with the same attributes. The runs of a string cover it without gaps,
  /// in order, and neighbouring runs differ in their attributes.
  struct Run {
    NSRange range;
    TextAttributes attributes;
    bool operator==(const Run& other) const = default;
  };

  AttributedString() = default;
  explicit AttributedString(std::u16string text, const TextAttributes& attributes = {});
  /// From UTF-8 text; malformed sequences become U+FFFD.
  explicit AttributedString(std::string_view text, const TextAttributes& attributes = {});

  /// The length in UTF-16 code units.
  std::size_t length() const { return text_.size(); }
  const std::u16string& utf16() const { return text_; }
  std::string string() const;
  const std::vector<Run>& runs() const { return runs_; }

  /// The attributes of the code unit at `index` and, when asked, the whole run holding it.
  /// An index at or past the end stops the process.
  const TextAttributes& attributes(std::size_t index, NSRange* effectiveRange = nullptr) const;
  /// A range reaching past the end stops the process.
  AttributedString attributedSubstring(NSRange range) const;

  void append(const AttributedString& other);
  /// Replaces a range by plain text, which takes the attributes of the first replaced code unit
  /// (for an empty range those of the code unit before it, else of the one after it). A range
  /// reaching past the end stops the process.
  void replaceCharacters(NSRange range, std::u16string_view replacement);

  bool operator==(const AttributedString& other) const = default;

 private:
  std::size_t runIndex(std::size_t index) const;
  void appendRun(std::u16string_view text, const TextAttributes& attributes);

  std::u16string text_;
  std::vector<Run> runs_;
};

namespace Fennix {

/// UTF-16 of UTF-8 text; malformed sequences become U+FFFD.
std::u16string utf16FromUTF8(std::string_view text);
/// UTF-8 of UTF-16 text; unpaired surrogates become U+FFFD.
std::string utf8FromUTF16(std::u16string_view text);
/// The number of characters (code points) in the first `utf16Offset` code units of `text`; a
/// surrogate pair counts once, an offset inside one counts the pair.
std::size_t characterOffset(std::u16string_view text, std::size_t utf16Offset);

}  // namespace Fennix
