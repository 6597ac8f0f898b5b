#include "SyntaxEditor/TextStorage/WrappedTextStorage.h"

#include <algorithm>
#include <vector>

WrappedTextStorage::WrappedTextStorage() : storage(std::make_shared<NSTextStorage>()) {}

const std::u16string& WrappedTextStorage::string() const { return storage->string(); }

const TextAttributes& WrappedTextStorage::attributes(std::size_t index, NSRange* effectiveRange) const {
  return storage->attributes(index, effectiveRange);
}

void WrappedTextStorage::replaceCharacters(NSRange range, std::u16string_view replacement) {
  storage->replaceCharacters(range, replacement);
  edited(NSTextStorageEditedCharacters, range, std::ptrdiff_t(replacement.size()) - std::ptrdiff_t(range.length));
}

void WrappedTextStorage::replaceAllCharacters(std::u16string text) {
  const std::size_t replaced = storage->length();
  const std::size_t length = text.size();
  storage->replaceAllCharacters(std::move(text));
  edited(NSTextStorageEditedCharacters, {0, replaced}, std::ptrdiff_t(length) - std::ptrdiff_t(replaced));
}

void WrappedTextStorage::setAttributes(const TextAttributes& attributes, NSRange range) {
  storage->setAttributes(attributes, range);
  edited(NSTextStorageEditedAttributes, range, 0);
}

AttributedString WrappedTextStorage::attributedSubstring(NSRange range) const {
  return storage->attributedSubstring(range);
}

bool WrappedTextStorage::mayHoldSurrogates() const { return storage->mayHoldSurrogates(); }

void WrappedTextStorage::enumerateAttributes(NSRange range,
                                             const std::function<void(const TextAttributes&, NSRange)>& body) const {
  storage->enumerateAttributes(range, body);
}

bool WrappedTextStorage::setStringAttributesIfUnchanged(const AttributedString& attributedString, NSRange range) {
  const std::size_t length = storage->length();
  if (range.location > length || range.length > length - range.location) return false;
  // Compare the text first: it is cheap and catches every stale result.
  if (std::u16string_view(storage->string()).substr(range.location, range.length) != attributedString.utf16()) {
    return false;
  }

  // Only the stretches whose attributes differ are written: a result for a whole text that
  // differs from what is shown in a few lines costs one walk along both runs, not a rewrite of all.
  struct Stretch {
    NSRange range;
    const TextAttributes* attributes;
  };
  std::vector<Stretch> held;
  storage->enumerateAttributes(range, [&held](const TextAttributes& attributes, NSRange stretch) {
    held.push_back({stretch, &attributes});
  });
  std::vector<Stretch> changes;
  std::size_t h = 0;
  for (const AttributedString::Run& run : attributedString.runs()) {
    const std::size_t end = std::min(range.location + run.range.upperBound(), range.upperBound());
    for (std::size_t at = range.location + run.range.location; at < end;) {
      while (h < held.size() && held[h].range.upperBound() <= at) ++h;
      if (h == held.size()) break;
      const std::size_t until = std::min(held[h].range.upperBound(), end);
      if (!(*held[h].attributes == run.attributes)) {
        if (!changes.empty() && changes.back().attributes == &run.attributes && changes.back().range.upperBound() == at) {
          changes.back().range.length += until - at;
        } else {
          changes.push_back({{at, until - at}, &run.attributes});
        }
      }
      at = until;
    }
  }
  if (changes.empty()) return true;

  beginEditing();
  for (const Stretch& change : changes) storage->setAttributes(*change.attributes, change.range);
  edited(NSTextStorageEditedAttributes, range, 0);
  endEditing();
  return true;
}
