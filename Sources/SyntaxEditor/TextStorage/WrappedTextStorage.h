// A text storage that keeps its contents in a second, inner storage, so that its subclasses can
// write to the inner one without passing through their own editing hooks.
#pragma once

#include <memory>

#include "SyntaxEditor/TextStorage/TextStorage.h"

class WrappedTextStorage : public NSTextStorage {
 public:
  WrappedTextStorage();

  const std::u16string& string() const override;
  const TextAttributes& attributes(std::size_t index, NSRange* effectiveRange = nullptr) const override;
  /// Replaces in the inner storage and reports a character edit of `range`.
  void replaceCharacters(NSRange range, std::u16string_view replacement) override;
  /// Replaces the inner storage's text and reports a character edit of the whole text.
  void replaceAllCharacters(std::u16string text) override;
  /// Sets on the inner storage and reports an attribute edit of `range`.
  void setAttributes(const TextAttributes& attributes, NSRange range) override;
  AttributedString attributedSubstring(NSRange range) const override;
  bool mayHoldSurrogates() const override;
  void enumerateAttributes(NSRange range,
                           const std::function<void(const TextAttributes&, NSRange)>& body) const override;

  /// Copies the attributes of `attributedString` onto `range` when the text there is still the
  /// text of `attributedString` and its attributes differ; then reports one attribute edit of the
  /// range. Anything else (a range past the end, changed text, equal attributes) does nothing.
  /// Answers whether the text was still the same (whatever had to be written).
  bool setStringAttributesIfUnchanged(const AttributedString& attributedString, NSRange range);

 protected:
  const std::shared_ptr<NSTextStorage> storage;
};
