#include "SyntaxEditor/TextStorage/TextStorage.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "Fennix/Foundation/BaseTypes/FatalError.h"

namespace SyntaxEditorSupport {

namespace {

bool isSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

}  // namespace

std::size_t AttributedText::runIndex(std::size_t index) const {
  auto after = std::upper_bound(runs_.begin(), runs_.end(), index,
                                [](std::size_t i, const Run& run) { return i < run.location; });
  return std::size_t(after - runs_.begin()) - 1;
}

std::uint32_t AttributedText::intern(const TextAttributes& attributes) {
  for (std::size_t i = 0; i < table_.size(); ++i) {
    if (table_[i] == attributes) return std::uint32_t(i);
  }
  table_.push_back(attributes);
  return std::uint32_t(table_.size() - 1);
}

const TextAttributes& AttributedText::attributes(std::size_t index, NSRange* effectiveRange) const {
  const Run& run = runs_[runIndex(index)];
  if (effectiveRange) *effectiveRange = {run.location, run.length};
  return table_[run.attributes];
}

void AttributedText::enumerateAttributes(NSRange range,
                                        const std::function<void(const TextAttributes&, NSRange)>& body) const {
  if (range.length == 0) return;
  for (std::size_t i = runIndex(range.location); i < runs_.size() && runs_[i].location < range.upperBound(); ++i) {
    const Run& run = runs_[i];
    const std::size_t start = std::max(run.location, range.location);
    const std::size_t end = std::min(run.location + run.length, range.upperBound());
    body(table_[run.attributes], {start, end - start});
  }
}

AttributedString AttributedText::attributedSubstring(NSRange range) const {
  AttributedString result;
  if (range.length == 0) return result;
  const std::u16string_view text(text_);
  for (std::size_t i = runIndex(range.location); i < runs_.size(); ++i) {
    const Run& run = runs_[i];
    if (run.location >= range.upperBound()) break;
    const std::size_t start = std::max(run.location, range.location);
    const std::size_t end = std::min(run.location + run.length, range.upperBound());
    result.append(AttributedString(std::u16string(text.substr(start, end - start)), table_[run.attributes]));
  }
  return result;
}

std::size_t AttributedText::splitAt(std::size_t index) {
  if (index >= text_.size()) return runs_.size();
  const std::size_t i = runIndex(index);
  Run& run = runs_[i];
  if (run.location == index) return i;
  const Run tail{index, run.location + run.length - index, run.attributes};
  run.length = index - run.location;
  runs_.insert(runs_.begin() + std::ptrdiff_t(i) + 1, tail);
  return i + 1;
}

void AttributedText::mergeAround(std::size_t first, std::size_t last) {
  // Joins equal neighbours among runs [first - 1, last + 1].
  std::size_t from = first > 0 ? first - 1 : 0;
  std::size_t to = std::min(last + 1, runs_.empty() ? 0 : runs_.size() - 1);
  std::size_t i = from;
  while (i < to && i + 1 < runs_.size()) {
    if (runs_[i].attributes == runs_[i + 1].attributes) {
      runs_[i].length += runs_[i + 1].length;
      runs_.erase(runs_.begin() + std::ptrdiff_t(i) + 1);
      --to;
    } else {
      ++i;
    }
  }
}

void AttributedText::replaceCharacters(NSRange range, std::u16string_view replacement) {
  if (std::any_of(replacement.begin(), replacement.end(), isSurrogate)) mayHoldSurrogates_ = true;
  std::uint32_t attributes = 0;
  if (runs_.empty()) {
    attributes = intern(TextAttributes());
  } else if (range.length > 0) {
    attributes = runs_[runIndex(range.location)].attributes;
  } else if (range.location > 0) {
    attributes = runs_[runIndex(range.location - 1)].attributes;
  } else {
    attributes = runs_[0].attributes;
  }

  // Cut the replaced runs out, shift the rest, and put one run for the new text in their place.
  const std::size_t first = splitAt(range.location);
  const std::size_t end = splitAt(range.upperBound());
  runs_.erase(runs_.begin() + std::ptrdiff_t(first), runs_.begin() + std::ptrdiff_t(end));
  const std::ptrdiff_t delta = std::ptrdiff_t(replacement.size()) - std::ptrdiff_t(range.length);
  for (std::size_t i = first; i < runs_.size(); ++i) {
    runs_[i].location = std::size_t(std::ptrdiff_t(runs_[i].location) + delta);
  }
  // Grown by a sixteenth rather than doubled: a text of many megabytes should not hold twice its
  // size after one keystroke, nor three times while it is moved.
  const std::size_t newLength = text_.size() - range.length + replacement.size();
  if (newLength > text_.capacity()) text_.reserve(newLength + newLength / 16);
  text_.replace(range.location, range.length, replacement);
  if (!replacement.empty()) {
    runs_.insert(runs_.begin() + std::ptrdiff_t(first), Run{range.location, replacement.size(), attributes});
  }
  if (!runs_.empty()) mergeAround(first, first);
}

void AttributedText::replaceAllCharacters(std::u16string&& text) {
  if (std::any_of(text.begin(), text.end(), isSurrogate)) mayHoldSurrogates_ = true;
  const std::uint32_t attributes = runs_.empty() ? intern(TextAttributes()) : runs_[0].attributes;
  runs_.clear();
  text_ = std::move(text);
  if (!text_.empty()) runs_.push_back(Run{0, text_.size(), attributes});
}

void AttributedText::setAttributes(const TextAttributes& attributes, NSRange range) {
  if (range.length == 0) return;
  const std::uint32_t index = intern(attributes);
  const std::size_t first = splitAt(range.location);
  const std::size_t end = splitAt(range.upperBound());
  runs_.erase(runs_.begin() + std::ptrdiff_t(first), runs_.begin() + std::ptrdiff_t(end));
  runs_.insert(runs_.begin() + std::ptrdiff_t(first), Run{range.location, range.length, index});
  mergeAround(first, first);
}

}  // namespace SyntaxEditorSupport

using namespace SyntaxEditorSupport;

void NSTextStorage::checkRange(const char* operation, NSRange range, std::size_t length) {
  if (range.location > length || range.length > length - range.location) {
    Fennix::fatalError(std::string("NSTextStorage.") + operation + ": range {" + std::to_string(range.location) +
                      ", " + std::to_string(range.length) + "} out of bounds; string length " +
                      std::to_string(length));
  }
}

const TextAttributes& NSTextStorage::attributes(std::size_t index, NSRange* effectiveRange) const {
  if (index >= content_.length()) checkRange("attributes", {index, 1}, content_.length());
  return content_.attributes(index, effectiveRange);
}

void NSTextStorage::replaceCharacters(NSRange range, std::u16string_view replacement) {
  checkRange("replaceCharacters", range, content_.length());
  content_.replaceCharacters(range, replacement);
  edited(NSTextStorageEditedCharacters, range, std::ptrdiff_t(replacement.size()) - std::ptrdiff_t(range.length));
}

void NSTextStorage::replaceAllCharacters(std::u16string text) {
  const std::size_t replaced = content_.length();
  const std::size_t length = text.size();
  content_.replaceAllCharacters(std::move(text));
  edited(NSTextStorageEditedCharacters, {0, replaced}, std::ptrdiff_t(length) - std::ptrdiff_t(replaced));
}

void NSTextStorage::setAttributes(const TextAttributes& attributes, NSRange range) {
  checkRange("setAttributes", range, content_.length());
  content_.setAttributes(attributes, range);
  edited(NSTextStorageEditedAttributes, range, 0);
}

void NSTextStorage::enumerateAttributes(NSRange range,
                                       const std::function<void(const TextAttributes&, NSRange)>& body) const {
  checkRange("enumerateAttributes", range, content_.length());
  content_.enumerateAttributes(range, body);
}

AttributedString NSTextStorage::attributedSubstring(NSRange range) const {
  checkRange("attributedSubstring", range, content_.length());
  return content_.attributedSubstring(range);
}

std::u16string NSTextStorage::substring(NSRange range) const {
  const std::u16string& text = string();
  checkRange("substring", range, text.size());
  return text.substr(range.location, range.length);
}

void NSTextStorage::beginEditing() { ++editingDepth_; }

void NSTextStorage::endEditing() {
  if (editingDepth_ == 0) Fennix::fatalError("NSTextStorage.endEditing without beginEditing");
  if (--editingDepth_ == 0 && pending_.editedMask != 0) finishEditing();
}

void NSTextStorage::edited(unsigned mask, NSRange range, std::ptrdiff_t delta) {
  // The edited range is kept in the coordinates of the text after the edits so far.
  const std::size_t newEnd = std::size_t(std::max<std::ptrdiff_t>(0, std::ptrdiff_t(range.upperBound()) + delta));
  if (pending_.editedMask == 0) {
    pending_.editedRange = {range.location, newEnd - std::min(newEnd, range.location)};
    pending_.changeInLength = delta;
  } else {
    const NSRange old = pending_.editedRange;
    std::size_t oldEnd = old.upperBound();
    if (oldEnd >= range.upperBound()) {
      oldEnd = std::size_t(std::ptrdiff_t(oldEnd) + delta);
    } else {
      oldEnd = std::min(oldEnd, newEnd);
    }
    const std::size_t start = std::min(old.location, range.location);
    const std::size_t end = std::max(oldEnd, newEnd);
    pending_.editedRange = {start, end - start};
    pending_.changeInLength += delta;
  }
  pending_.editedMask |= mask;
  if (editingDepth_ == 0) finishEditing();
}

void NSTextStorage::finishEditing() {
  // Observers may edit again; each batch is processed on its own.
  processEditing();
  const NSTextStorageEdit edit = pending_;
  pending_ = NSTextStorageEdit();
  auto observers = observers_;
  for (const auto& entry : observers) {
    const std::size_t token = entry.first;
    // An observer removed by an earlier one is not called.
    auto isThere = [token](const auto& other) { return other.first == token; };
    if (std::any_of(observers_.begin(), observers_.end(), isThere)) entry.second(*this, edit);
  }
}

std::size_t NSTextStorage::addObserver(Observer observer) {
  observers_.emplace_back(nextObserver_, std::move(observer));
  return nextObserver_++;
}

void NSTextStorage::removeObserver(std::size_t token) {
  std::erase_if(observers_, [token](const auto& entry) { return entry.first == token; });
}

namespace SyntaxEditorSupport {

namespace {

bool endsParagraph(char16_t c) { return c == u'\n' || c == u'\r' || c == 0x0085 || c == 0x2029; }
bool endsLine(char16_t c) { return endsParagraph(c) || c == 0x2028; }

template <typename Ends>
NSRange enclosingRange(std::u16string_view text, NSRange range, Ends ends) {
  const std::size_t length = text.size();
  std::size_t start = std::min(range.location, length);
  // A line feed right after a carriage return belongs to the paragraph the return ends.
  while (start > 0 && !ends(text[start - 1])) --start;
  if (start > 0 && start < length && text[start - 1] == u'\r' && text[start] == u'\n' && start == range.location) {
    // the range starts between the two halves of a CRLF: that paragraph is the one before
    --start;
    while (start > 0 && !ends(text[start - 1])) --start;
  }
  std::size_t end = std::min(range.upperBound(), length);
  // The last paragraph touched is the one holding the last unit of the range (or the caret).
  if (range.length > 0 && end > start && ends(text[end - 1])) {
    if (text[end - 1] == u'\r' && end < length && text[end] == u'\n') ++end;
    return {start, end - start};
  }
  while (end < length && !ends(text[end])) ++end;
  if (end < length) {
    if (text[end] == u'\r' && end + 1 < length && text[end + 1] == u'\n') ++end;
    ++end;
  }
  return {start, end - start};
}

}  // namespace

NSRange paragraphRange(std::u16string_view text, NSRange range) { return enclosingRange(text, range, endsParagraph); }
NSRange lineRange(std::u16string_view text, NSRange range) { return enclosingRange(text, range, endsLine); }

std::size_t characterOffsetOf(const NSTextStorage& storage, std::size_t utf16Offset) {
  const std::u16string& text = storage.string();
  utf16Offset = std::min(utf16Offset, text.size());
  if (!storage.mayHoldSurrogates()) return utf16Offset;
  return Fennix::characterOffset(text, utf16Offset);
}

std::size_t utf16OffsetOf(const NSTextStorage& storage, std::size_t characterOffset) {
  const std::u16string& text = storage.string();
  if (!storage.mayHoldSurrogates()) return std::min(characterOffset, text.size());
  std::size_t units = 0;
  for (std::size_t characters = 0; characters < characterOffset && units < text.size(); ++characters) {
    units += (text[units] >= 0xD800 && text[units] <= 0xDBFF && units + 1 < text.size() &&
              text[units + 1] >= 0xDC00 && text[units + 1] <= 0xDFFF)
                 ? 2
                 : 1;
  }
  return units;
}

}  // namespace SyntaxEditorSupport
