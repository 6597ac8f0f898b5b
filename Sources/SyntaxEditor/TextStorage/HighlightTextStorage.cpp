#include "SyntaxEditor/TextStorage/HighlightTextStorage.h"

#include "Highlight/HighlightJS.h"

#include <algorithm>
#include <utility>

HighlightTextStorage::HighlightTextStorage(std::optional<std::string> language)
    : language_(std::move(language)), theme_(HighlightJSTheme::default_()) {}

void HighlightTextStorage::setLanguage(std::optional<std::string> language) {
  const bool changed = language != language_;
  language_ = std::move(language);
  if (changed) highlightWholeText(0);
}

void HighlightTextStorage::setTheme(HighlightJSThemePtr theme) {
  if (!theme) return;
  const bool changed = !theme_ || !(*theme == *theme_);
  theme_ = std::move(theme);
  if (changed) highlightWholeText(0);
}

NSFontPtr HighlightTextStorage::font() const { return theme_ ? theme_->font() : nullptr; }

void HighlightTextStorage::replaceCharactersAsWholeText(NSRange range, std::u16string_view replacement) {
  // Read when the edit is processed, which is at the end of the outermost batch.
  wholeTextEdit_ = true;
  replaceCharacters(range, replacement);
}

void HighlightTextStorage::replaceAllCharactersAsWholeText(std::u16string text) {
  wholeTextEdit_ = true;
  replaceAllCharacters(std::move(text));
}

void HighlightTextStorage::processEditing() {
  WrappedTextStorage::processEditing();
  if (editedMask() & NSTextStorageEditedCharacters) {
    if (std::exchange(wholeTextEdit_, false)) {
      highlightWholeText(editedRange().location);
      return;
    }
    const NSRange paragraphs = SyntaxEditorSupport::paragraphRange(string(), editedRange());
    const std::size_t start = SyntaxEditorSupport::openCommentStart(string(), paragraphs.location, highlightLimit);
    highlight({start, paragraphs.upperBound() - start}, editedRange().location);
  }
}

void HighlightTextStorage::setAttributes(const TextAttributes& attributes, NSRange range) {
  WrappedTextStorage::setAttributes(attributes, range);
  if (!isApplyingHighlight_) highlight(SyntaxEditorSupport::paragraphRange(string(), range), range.location);
}

void HighlightTextStorage::highlight(NSRange range, std::size_t focus) {
  range = SyntaxEditorSupport::boundedHighlightRange(string(), range, focus, highlightLimit);
  if (range.length == 0) return;
  request(range, nullptr);
}

void HighlightTextStorage::highlightWholeText(std::size_t focus) {
  wholeTextFocus_ = focus;
  if (wholeTextRequested_) {
    wholeTextWanted_ = true;
    return;
  }
  sendWholeTextHighlight();
}

void HighlightTextStorage::sendWholeTextHighlight() {
  wholeTextWanted_ = false;
  const NSRange range =
      SyntaxEditorSupport::boundedHighlightRange(string(), {0, length()}, wholeTextFocus_, highlightLimit);
  if (range.length == 0) return;
  wholeTextRequested_ = true;
  request(range, [this](bool unchanged) {
    wholeTextRequested_ = false;
    // A result for a text that has changed since (typing meanwhile) is asked for again: the
    // paragraphs typed into are coloured by their own requests, the rest needs this pass.
    if (wholeTextWanted_ || !unchanged) sendWholeTextHighlight();
  });
}

void HighlightTextStorage::request(NSRange range, std::function<void(bool unchanged)> done) {
  const std::shared_ptr<HighlightJS>& highlighter = HighlightJS::shared();
  if (!highlighter) return;
  // The pending request keeps the storage alive until it is answered.
  auto self = std::static_pointer_cast<HighlightTextStorage>(weak_from_this().lock());
  if (!self) return;
  ++pendingHighlights_;
  highlighter->highlight(Fennix::utf8FromUTF16(std::u16string_view(string()).substr(range.location, range.length)),
                         language_, theme_, DispatchQueue::main(),
                         [self, range, done = std::move(done)](std::optional<AttributedString> result) {
                           bool unchanged = true;
                           if (result) {
                             self->isApplyingHighlight_ = true;
                             unchanged = self->setStringAttributesIfUnchanged(*result, range);
                             self->isApplyingHighlight_ = false;
                           }
                           // Sent again before the count falls, so that no one hears of the end
                           // of highlighting in between.
                           if (done) done(unchanged);
                           --self->pendingHighlights_;
                           if (self->pendingHighlights_ == 0 && self->cbHighlightsDone) self->cbHighlightsDone();
                         });
}

namespace SyntaxEditorSupport {

NSRange boundedHighlightRange(std::u16string_view text, NSRange range, std::size_t focus, std::size_t limit) {
  if (range.length <= limit) return range;
  const std::size_t back = limit / 2;
  std::size_t start = focus > range.location + back ? focus - back : range.location;
  start = std::min(start, range.upperBound() - limit);
  std::size_t end = start + limit;
  // Whole paragraphs where the window holds a paragraph end past its first half.
  for (std::size_t i = end; i > start + limit / 2; --i) {
    const char16_t c = text[i - 1];
    if (c == u'\n' || c == u'\r' || c == 0x0085 || c == 0x2029) {
      end = i;
      break;
    }
  }
  if (end < text.size() && end > start && text[end - 1] >= 0xD800 && text[end - 1] <= 0xDBFF) --end;
  if (start > 0 && start < end && text[start] >= 0xDC00 && text[start] <= 0xDFFF) ++start;
  return {start, end - start};
}

std::size_t openCommentStart(std::u16string_view text, std::size_t location, std::size_t limit) {
  location = std::min(location, text.size());
  const std::size_t from = location > limit ? location - limit : 0;
  const std::u16string_view before = text.substr(from, location - from);
  std::size_t opener = std::u16string_view::npos, closer = std::u16string_view::npos;
  for (std::u16string_view open : {std::u16string_view(u"/*"), std::u16string_view(u"<!--")}) {
    const std::size_t found = before.rfind(open);
    if (found != std::u16string_view::npos && (opener == std::u16string_view::npos || found > opener)) opener = found;
  }
  for (std::u16string_view close : {std::u16string_view(u"*/"), std::u16string_view(u"-->")}) {
    const std::size_t found = before.rfind(close);
    if (found != std::u16string_view::npos && (closer == std::u16string_view::npos || found > closer)) closer = found;
  }
  if (opener == std::u16string_view::npos || (closer != std::u16string_view::npos && closer > opener)) return location;
  return paragraphRange(text, {from + opener, 0}).location;
}

}  // namespace SyntaxEditorSupport
