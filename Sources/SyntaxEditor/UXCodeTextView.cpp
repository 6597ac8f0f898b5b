#include "SyntaxEditor/UXCodeTextView.h"

#include <algorithm>
#include <cmath>

#include "Fennix/console/Console.h"

using namespace SyntaxEditorSupport;

UXCodeTextView::UXCodeTextView()
    : highlighter_(HighlightJS::shared()),
      storage_(std::make_shared<HighlightTextStorage>(std::nullopt)),
      theme_(HighlightJSTheme::default_()) {}

void UXCodeTextView::setTheme(HighlightJSThemePtr theme) {
  if (!theme) return;
  theme_ = std::move(theme);
  if (host_) host_->fontDidChange(theme_->font());
  storage_->setTheme(theme_);
}

bool UXCodeTextView::applyNewTheme(HighlightJSThemePtr theme, double fontSize) {
  if (!std::isfinite(fontSize)) return false;
  fontSize = std::max(minimumFontSize, fontSize);
  HighlightJSThemePtr candidate = theme ? theme : theme_;
  const NSFontPtr& currentFont = theme_->font();
  if (!theme && currentFont && currentFont->pointSize() == fontSize) return false;
  if (const NSFontPtr& base = candidate->font(); base && base->pointSize() != fontSize) {
    candidate = candidate->modifyFont(base->qvModifySize(fontSize - base->pointSize()));
  }
  if (*candidate == *theme_) return false;
  setTheme(std::move(candidate));
  return true;
}

bool UXCodeTextView::applyNewTheme(HighlightJSThemePtr theme) {
  if (!theme || *theme == *theme_) return false;
  setTheme(std::move(theme));
  return true;
}

bool UXCodeTextView::applyNewFontSize(double fontSize) { return applyNewTheme(nullptr, fontSize); }

std::optional<SyntaxEditor::Language> UXCodeTextView::language() const {
  if (const auto& name = storage_->language()) return SyntaxEditor::Language(*name);
  return std::nullopt;
}

void UXCodeTextView::setLanguage(std::optional<SyntaxEditor::Language> language) {
  storage_->setLanguage(language ? std::optional<std::string>(language->rawValue) : std::nullopt);
}

NSFontPtr UXCodeTextView::font() const { return theme_->font(); }

void UXCodeTextView::setFont(const NSFontPtr& font) {
  if (!font || font == theme_->font()) return;
  console::defaultConsole()->log("Attempt to set a font different to the theme?");
}

void UXCodeTextView::setEditable(bool editable) {
  if (editable_ == editable) return;
  editable_ = editable;
  if (host_) host_->editabilityDidChange(editable_, selectable_);
}

void UXCodeTextView::setSelectable(bool selectable) {
  if (selectable_ == selectable) return;
  selectable_ = selectable;
  if (host_) host_->editabilityDidChange(editable_, selectable_);
}

void UXCodeTextView::setTextContainerInset(NSSize inset) {
  if (inset_ == inset) return;
  inset_ = inset;
  if (host_) host_->insetDidChange(inset_);
}

void UXCodeTextView::setAcceptableDragTypes(std::vector<SyntaxEditor::PasteboardType> types) {
  if (acceptableDragTypes_ == types) return;
  acceptableDragTypes_ = std::move(types);
  if (host_) host_->acceptableDragTypesDidChange(acceptableDragTypes_);
}

void UXCodeTextView::setSelectedRange(NSRange range) {
  const std::size_t length = storage_->length();
  range.location = std::min(range.location, length);
  range.length = std::min(range.length, length - range.location);
  if (range == selection_) return;
  selection_ = range;
  if (host_) host_->selectionDidChange(selection_);
}

void UXCodeTextView::didChangeText(const UXCodeTextEdit& edit) {
  if (undoSink_) undoSink_(edit);
  if (delegate_) delegate_->textDidChange(*this);
}

void UXCodeTextView::replaceByUser(NSRange range, std::u16string_view text, std::size_t caret, bool record) {
  UXCodeTextEdit edit{range, storage_->substring(range), std::u16string(text)};
  editingByUser_ = true;
  storage_->replaceCharacters(range, text);
  editingByUser_ = false;
  selection_ = {std::min(caret, storage_->length()), 0};
  if (host_) host_->selectionDidChange(selection_);
  if (record && undoSink_) undoSink_(edit);
  if (delegate_) delegate_->textDidChange(*this);
}

void UXCodeTextView::applyEdit(NSRange range, std::u16string_view text) {
  const std::size_t length = storage_->length();
  range.location = std::min(range.location, length);
  range.length = std::min(range.length, length - range.location);
  replaceByUser(range, text, range.location + text.size(), false);
}

void UXCodeTextView::platformInsertText(std::u16string_view text, std::optional<NSRange> replacementRange) {
  if (!editable_) return;
  NSRange range = replacementRange.value_or(selection_);
  const std::size_t length = storage_->length();
  range.location = std::min(range.location, length);
  range.length = std::min(range.length, length - range.location);
  replaceByUser(range, text, range.location + text.size());
}

void UXCodeTextView::platformDeleteBackward() {
  if (!editable_) return;
  NSRange range = selection_;
  if (range.length == 0) range = characterBefore(storage_->string(), range.location);
  if (range.length == 0) return;
  replaceByUser(range, u"", range.location);
}

void UXCodeTextView::platformDeleteForward() {
  if (!editable_) return;
  NSRange range = selection_;
  if (range.length == 0) range = characterAfter(storage_->string(), range.location);
  if (range.length == 0) return;
  replaceByUser(range, u"", range.location);
}

void UXCodeTextView::moveBackward() {
  const NSRange before = characterBefore(storage_->string(), selection_.location);
  setSelectedRange({selection_.length > 0 ? selection_.location : before.location, 0});
}

void UXCodeTextView::insertNewline() {
  if (!isSmartIndentEnabled) {
    platformInsertNewline();
    return;
  }
  const std::u16string indentation = leadingIndentation(storage_->string(), selection_);
  platformInsertNewline();
  if (!indentation.empty()) insertText(indentation, selection_);
}

void UXCodeTextView::insertText(std::u16string_view text, std::optional<NSRange> replacementRange) {
  if (!editable_) return;
  platformInsertText(text, replacementRange);
  if (auto closing = closingPair(autoPairCompletion, text)) {
    platformInsertText(*closing, selection_);
    moveBackward();
  }
}

void UXCodeTextView::insertTab() {
  const auto spaces = softTabInsertion(indentStyle);
  if (!spaces) {
    platformInsertTab();
  } else if (!spaces->empty()) {
    platformInsertText(*spaces, selection_);
  }
}

void UXCodeTextView::deleteBackward() {
  if (deletesPair(storage_->string(), selection_, autoPairCompletion)) {
    platformDeleteForward();
    platformDeleteBackward();
  } else {
    platformDeleteBackward();
  }
}

void UXCodeTextView::copy() {
  if (delegate_ && !delegate_->allowCopy()) return;
  if (!selectable_ || selection_.length == 0 || !host_) return;
  host_->copyToClipboard(storage_->substring(selection_));
}

void UXCodeTextView::changeFont(FontAction action, std::optional<double> selectedFontSize) {
  std::optional<double> current = delegate_ ? delegate_->fontSize() : std::nullopt;
  const double size = current.value_or(NSFont::systemFontSize());
  const FontSizeChange change = fontSizeChange(action, size, selectedFontSize);
  switch (change.kind) {
    case FontSizeChange::refuse:
      if (host_) host_->beep();
      return;
    case FontSizeChange::passOn:
      if (host_) host_->passOnFontCommand();
      return;
    case FontSizeChange::resize:
      if (delegate_) delegate_->setFontSize(change.size);
      applyNewTheme(nullptr, change.size);
      return;
  }
}
