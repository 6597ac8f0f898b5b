#include "SyntaxEditor/GTK/SyntaxEditorView.h"

SyntaxEditorView::SyntaxEditorView(const SyntaxEditor& editor) : editor_(editor) {
  // Lines wrap at the view's width: a horizontal scroller shows only for a line too long to wrap.
  set_policy(Gtk::PolicyType::AUTOMATIC, Gtk::PolicyType::AUTOMATIC);
  set_hexpand(true);
  set_vexpand(true);
  textView_.set_hexpand(true);
  textView_.set_vexpand(true);
  set_child(textView_);

  const UXCodeTextViewRepresentable representable(editor_);
  coordinator_ = representable.makeCoordinator();
  representable.makeTextView(textView_.codeView(), *coordinator_);
}

SyntaxEditorView::~SyntaxEditorView() { textView_.codeView().setDelegate(nullptr); }

void SyntaxEditorView::update(const SyntaxEditor& editor) {
  editor_ = editor;
  UXCodeTextViewRepresentable(editor_).updateTextView(textView_.codeView(), *coordinator_);
}

void SyntaxEditorView::setText(const std::string& text) {
  editor_.source.set(text);
  update(editor_);
}

void SyntaxEditorView::setFontSize(double size) {
  if (editor_.fontSize) {
    editor_.fontSize->set(size);
  } else {
    editor_.fontSize = SyntaxEditor::Binding<double>::constant(size);
  }
  update(editor_);
}

void SyntaxEditorView::setTheme(HighlightJSThemePtr theme) {
  if (!theme) return;
  editor_.theme = std::move(theme);
  update(editor_);
}

void SyntaxEditorView::setLanguage(std::optional<SyntaxEditor::Language> language) {
  editor_.language = std::move(language);
  update(editor_);
}

void SyntaxEditorView::setFlags(SyntaxEditor::Flags flags) {
  editor_.flags = flags;
  update(editor_);
}

void SyntaxEditorView::setIndentStyle(SyntaxEditor::IndentStyle style) {
  editor_.indentStyle = style;
  update(editor_);
}

void SyntaxEditorView::setAutoPairs(SyntaxEditor::AutoPairs pairs) {
  editor_.autoPairs = std::move(pairs);
  update(editor_);
}

void SyntaxEditorView::setUndoSink(UXCodeTextView::UndoSink sink) {
  textView_.setBuiltInUndo(!sink);
  textView_.codeView().setUndoSink(std::move(sink));
}
