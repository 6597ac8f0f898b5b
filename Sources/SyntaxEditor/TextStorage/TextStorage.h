// The text system's storage: attributed text whose edits are reported, batched between
// beginEditing and endEditing, processed once and then handed to its observers (the views that
// lay the text out). Positions and lengths count UTF-16 code units.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Fennix/Foundation/Text/AttributedString.h"

/// What an edit changed.
enum NSTextStorageEditActions : unsigned { NSTextStorageEditedAttributes = 1, NSTextStorageEditedCharacters = 2 };

/// One processed batch of edits: `editedRange` is where the changed text now lies, and
/// `changeInLength` how much longer the text became, so the replaced stretch had the length
/// `editedRange.length - changeInLength`.
struct NSTextStorageEdit {
  unsigned editedMask = 0;
  NSRange editedRange;
  std::ptrdiff_t changeInLength = 0;
};

namespace SyntaxEditorSupport {

/// Attributed text kept as one UTF-16 string and runs into a table of distinct attribute sets, so
/// that an edit costs a move of the text and of the run offsets, not a copy of every attribute.
class AttributedText {
 public:
  std::size_t length() const { return text_.size(); }
  const std::u16string& string() const { return text_; }
  /// Whether the text ever held a character outside the Basic Multilingual Plane (then UTF-16
  /// offsets and character offsets differ).
  bool mayHoldSurrogates() const { return mayHoldSurrogates_; }

  const TextAttributes& attributes(std::size_t index, NSRange* effectiveRange) const;
  /// Calls `body` with each run of attributes over `range`, in order, clipped to it.
  void enumerateAttributes(NSRange range, const std::function<void(const TextAttributes&, NSRange)>& body) const;
  AttributedString attributedSubstring(NSRange range) const;
  /// The new text takes the attributes of the first replaced unit (or the one before an
  /// insertion, or the one after it at the start).
  void replaceCharacters(NSRange range, std::u16string_view replacement);
  /// Replaces the whole text with `text`, keeping its buffer (no copy of a text of many
  /// megabytes); it takes the attributes of the first unit replaced, as `replaceCharacters` gives.
  void replaceAllCharacters(std::u16string&& text);
  void setAttributes(const TextAttributes& attributes, NSRange range);

 private:
  struct Run {
    std::size_t location;
    std::size_t length;
    std::uint32_t attributes;  // index into table_
  };
  std::size_t runIndex(std::size_t index) const;
  std::uint32_t intern(const TextAttributes& attributes);
  /// Splits the run holding `index` so that a run starts there; returns that run's index.
  std::size_t splitAt(std::size_t index);
  void mergeAround(std::size_t first, std::size_t last);

  std::u16string text_;
  std::vector<Run> runs_;
  std::vector<TextAttributes> table_;
  bool mayHoldSurrogates_ = false;
};

}  // namespace SyntaxEditorSupport

/// A text storage. The four primitives (string, attributes, replacing characters, setting
/// attributes) are virtual so that a storage may keep its text elsewhere.
class NSTextStorage : public std::enable_shared_from_this<NSTextStorage> {
 public:
  using Observer = std::function<void(NSTextStorage&, const NSTextStorageEdit&)>;

  NSTextStorage() = default;
  NSTextStorage(const NSTextStorage&) = delete;
  NSTextStorage& operator=(const NSTextStorage&) = delete;
  virtual ~NSTextStorage() = default;

  // Primitives.
  virtual const std::u16string& string() const { return content_.string(); }
  virtual const TextAttributes& attributes(std::size_t index, NSRange* effectiveRange = nullptr) const;
  virtual void replaceCharacters(NSRange range, std::u16string_view replacement);
  /// Replaces the whole text with `text`, taking its buffer, reported as `replaceCharacters` of
  /// the whole text reports.
  virtual void replaceAllCharacters(std::u16string text);
  virtual void setAttributes(const TextAttributes& attributes, NSRange range);
  virtual AttributedString attributedSubstring(NSRange range) const;
  virtual bool mayHoldSurrogates() const { return content_.mayHoldSurrogates(); }
  /// Calls `body` with each stretch of equal attributes over `range`, in order, clipped to it: one
  /// walk along the runs instead of a look-up per stretch.
  virtual void enumerateAttributes(NSRange range, const std::function<void(const TextAttributes&, NSRange)>& body) const;

  std::size_t length() const { return string().size(); }
  /// A range reaching past the end stops the process.
  std::u16string substring(NSRange range) const;

  /// Batches edits: the outermost endEditing processes them.
  void beginEditing();
  void endEditing();
  /// Reports an edit of `range` (in the text before it) that made the text `delta` units longer.
  void edited(unsigned mask, NSRange range, std::ptrdiff_t delta);
  /// Runs once per batch of edits, before the observers hear of it.
  virtual void processEditing() {}

  unsigned editedMask() const { return pending_.editedMask; }
  NSRange editedRange() const { return pending_.editedRange; }
  std::ptrdiff_t changeInLength() const { return pending_.changeInLength; }

  /// Observers are told of every processed batch, in the order they were added.
  std::size_t addObserver(Observer observer);
  void removeObserver(std::size_t token);

 protected:
  /// Checks that `range` lies inside a text of `length` units; stops the process otherwise.
  static void checkRange(const char* operation, NSRange range, std::size_t length);

 private:
  void finishEditing();

  SyntaxEditorSupport::AttributedText content_;
  NSTextStorageEdit pending_;
  int editingDepth_ = 0;
  std::vector<std::pair<std::size_t, Observer>> observers_;
  std::size_t nextObserver_ = 1;
};

namespace SyntaxEditorSupport {

/// The range of the paragraphs that `range` touches: from the start of the first to the end of
/// the last, its terminator included. Paragraphs end at a line feed, a carriage return (a
/// carriage return and line feed count as one terminator), U+0085 or U+2029.
NSRange paragraphRange(std::u16string_view text, NSRange range);
/// The same with line separators (U+2028) ending lines too.
NSRange lineRange(std::u16string_view text, NSRange range);

/// The character offset of a UTF-16 offset and back, over text that may hold surrogate pairs.
std::size_t characterOffsetOf(const NSTextStorage& storage, std::size_t utf16Offset);
std::size_t utf16OffsetOf(const NSTextStorage& storage, std::size_t characterOffset);

}  // namespace SyntaxEditorSupport
