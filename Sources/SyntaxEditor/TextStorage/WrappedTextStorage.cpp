#include "SyntaxEditor/TextStorage/WrappedTextStorage.h"

#include <algorithm>

WrappedTextStorage::WrappedTextStorage() : storage(std::make_shared<NSTextStorage>()) {}

const std::u16string& WrappedTextStorage::string() const { return storage->string(); }

const TextAttributes& WrappedTextStorage::attributes(std::size_t index, NSRange* effectiveRange) const {
  return storage->attributes(index, effectiveRange);
}

void WrappedTextStorage::replaceCharacters(NSRange range, std::u16string_view replacement) {
  storage->replaceCharacters(range, replacement);
  edited(NSTextStorageEditedCharacters, range, std::ptrdiff_t(replacement.size()) - std::ptrdiff_t(range.length));
}

void WrappedTextStorage::setAttributes(const TextAttributes& attributes, NSRange range) {
  storage->setAttributes(attributes, range);
  edited(NSTextStorageEditedAttributes, range, 0);
}

AttributedString WrappedTextStorage::attributedSubstring(NSRange range) const {
  return storage->attributedSubstring(range);
}

bool WrappedTextStorage::mayHoldSurrogates() const { return storage->mayHoldSurrogates(); }

void WrappedTextStorage::setStringAttributesIfUnchanged(const AttributedString& attributedString, NSRange range) {
  const std::size_t length = storage->length();
  if (range.location > length || range.length > length - range.location) return;
  // Compare the text first: it is cheap and catches every stale result.
  if (std::u16string_view(storage->string()).substr(range.location, range.length) != attributedString.utf16()) return;
  if (storage->attributedSubstring(range) == attributedString) return;

  beginEditing();
  for (const AttributedString::Run& run : attributedString.runs()) {
    const std::size_t location = range.location + run.range.location;
    if (location >= length) break;
    storage->setAttributes(run.attributes, {location, std::min(run.range.length, length - location)});
  }
  edited(NSTextStorageEditedAttributes, range, 0);
  endEditing();
}
