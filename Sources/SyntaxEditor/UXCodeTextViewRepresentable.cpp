#include "SyntaxEditor/UXCodeTextViewRepresentable.h"

UXCodeTextViewRepresentable::UXCodeTextViewRepresentable(const SyntaxEditor& editor)
    : source(editor.source),
      fontSize(editor.fontSize),
      language(editor.language),
      baseTheme(editor.theme),
      flags(editor.flags),
      indentStyle(editor.indentStyle),
      inset(editor.inset),
      autoPairs(editor.autoPairs),
      acceptableDragTypes(editor.acceptableDragTypes) {}

void UXCodeTextViewRepresentable::Coordinator::textDidChange(UXCodeTextView& textView) {
  parent.source.set(Fennix::utf8FromUTF16(textView.string()));
}

bool UXCodeTextViewRepresentable::Coordinator::allowCopy() const {
  return SyntaxEditorSupport::allowsCopy(parent.flags);
}

std::optional<double> UXCodeTextViewRepresentable::Coordinator::fontSize() const {
  if (!parent.fontSize) return std::nullopt;
  return parent.fontSize->get();
}

void UXCodeTextViewRepresentable::Coordinator::setFontSize(std::optional<double> size) {
  if (size && parent.fontSize) parent.fontSize->set(*size);
}

std::unique_ptr<UXCodeTextViewRepresentable::Coordinator> UXCodeTextViewRepresentable::makeCoordinator() const {
  return std::make_unique<Coordinator>(*this);
}

void UXCodeTextViewRepresentable::makeTextView(UXCodeTextView& textView, Coordinator& coordinator) const {
  textView.setDelegate(&coordinator);
  textView.setTextContainerInset(inset);
  updateTextView(textView);
}

void UXCodeTextViewRepresentable::updateTextView(UXCodeTextView& textView, Coordinator& coordinator) const {
  if (textView.delegate() != &coordinator) textView.setDelegate(&coordinator);
  textView.setTextContainerInset(inset);
  updateTextView(textView);
}

void UXCodeTextViewRepresentable::updateTextView(UXCodeTextView& textView) const {
  if (fontSize) {
    textView.applyNewTheme(baseTheme, fontSize->get());
  } else if (!(*textView.theme() == *baseTheme)) {
    textView.setTheme(baseTheme);
  }
  textView.setLanguage(language);

  textView.indentStyle = indentStyle;
  textView.isSmartIndentEnabled = flags.contains(SyntaxEditor::Flags::smartIndent);
  textView.autoPairCompletion = autoPairs;

  // An outside change of the text replaces the stretch between the common start and end of the
  // old and new texts (the views keep the rest as it is), and stands for a new whole text: the
  // storage highlights all of it again, since the colours of a line in a tag, block comment or
  // string that spans lines depend on the lines around it.
  // Only the middle is converted: a text of many megabytes given again on every keystroke (the
  // code generated from a large drawing) is compared as it comes, not copied whole.
  const auto& storage = textView.codeTextStorage();
  if (auto change = SyntaxEditorSupport::changedText(storage->string(), source.get())) {
    if (change->range.length == storage->length()) {
      // A new text with nothing in common with the old (the first text of a window): the storage
      // keeps it as it is, and the views take it from there.
      storage->replaceAllCharactersAsWholeText(std::move(change->replacement));
    } else {
      storage->replaceCharactersAsWholeText(change->range, change->replacement);
    }
    textView.setSelectedRange(textView.selectedRange());
  }

  textView.setEditable(flags.contains(SyntaxEditor::Flags::editable));
  textView.setSelectable(flags.contains(SyntaxEditor::Flags::selectable));
  textView.setAcceptableDragTypes(acceptableDragTypes);
}
