#include "SyntaxEditor/TextStorage/HighlightTextStorage.h"

#include "Highlight/HighlightJS.h"

HighlightTextStorage::HighlightTextStorage(std::optional<std::string> language)
    : language_(std::move(language)), theme_(HighlightJSTheme::default_()) {}

void HighlightTextStorage::setLanguage(std::optional<std::string> language) {
  const bool changed = language != language_;
  language_ = std::move(language);
  if (changed) highlight({0, storage->length()});
}

void HighlightTextStorage::setTheme(HighlightJSThemePtr theme) {
  if (!theme) return;
  const bool changed = !theme_ || !(*theme == *theme_);
  theme_ = std::move(theme);
  if (changed) highlight({0, storage->length()});
}

NSFontPtr HighlightTextStorage::font() const { return theme_ ? theme_->font() : nullptr; }

void HighlightTextStorage::processEditing() {
  WrappedTextStorage::processEditing();
  if (editedMask() & NSTextStorageEditedCharacters) {
    highlight(SyntaxEditorSupport::paragraphRange(string(), editedRange()));
  }
}

void HighlightTextStorage::setAttributes(const TextAttributes& attributes, NSRange range) {
  WrappedTextStorage::setAttributes(attributes, range);
  if (!isApplyingHighlight_) highlight(SyntaxEditorSupport::paragraphRange(string(), range));
}

void HighlightTextStorage::highlight(NSRange range) {
  const std::u16string text = substring(range);
  const std::shared_ptr<HighlightJS>& highlighter = HighlightJS::shared();
  if (!highlighter) return;
  // The pending request keeps the storage alive until it is answered.
  auto self = std::static_pointer_cast<HighlightTextStorage>(weak_from_this().lock());
  if (!self) return;
  ++pendingHighlights_;
  highlighter->highlight(Fennix::utf8FromUTF16(text), language_, theme_, DispatchQueue::main(),
                         [self, range](std::optional<AttributedString> result) {
                           --self->pendingHighlights_;
                           if (result) {
                             self->isApplyingHighlight_ = true;
                             self->setStringAttributesIfUnchanged(*result, range);
                             self->isApplyingHighlight_ = false;
                           }
                           if (self->pendingHighlights_ == 0 && self->cbHighlightsDone) self->cbHighlightsDone();
                         });
}
