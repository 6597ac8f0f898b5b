// The code editor widget: a scrolled window holding a code text view, kept in line with a
// `SyntaxEditor` description. Edits made in the view are written to the description's binding;
// a change of the bound text from outside, passed in by `update`, replaces the stretch that differs.
#pragma once

#include <gtkmm/scrolledwindow.h>

#include <memory>

#include "SyntaxEditor/GTK/CodeTextView.h"
#include "SyntaxEditor/SyntaxEditor.h"
#include "SyntaxEditor/UXCodeTextViewRepresentable.h"

class SyntaxEditorView : public Gtk::ScrolledWindow {
 public:
  explicit SyntaxEditorView(const SyntaxEditor& editor);
  ~SyntaxEditorView() override;

  /// Brings the view in line with a new description (theme and size, language, indentation,
  /// flags, text, drag types). The binding edits are written to stays the first one.
  void update(const SyntaxEditor& editor);
  const SyntaxEditor& editor() const { return editor_; }

  // Changes of one part of the description, each followed by an update.
  /// Writes the text to the binding and shows it; a whole-text replacement is not an undoable edit.
  void setText(const std::string& text);
  void setFontSize(double size);
  void setTheme(HighlightJSThemePtr theme);
  void setLanguage(std::optional<SyntaxEditor::Language> language);
  void setFlags(SyntaxEditor::Flags flags);
  void setIndentStyle(SyntaxEditor::IndentStyle style);
  void setAutoPairs(SyntaxEditor::AutoPairs pairs);

  /// Lets a window's undo manager record the edits made in the view (none: the view keeps its
  /// own undo history). Replay recorded edits with `applyEdit`.
  void setUndoSink(UXCodeTextView::UndoSink sink);
  void applyEdit(NSRange range, std::u16string_view text) { textView_.applyEdit(range, text); }

  CodeTextView& textView() { return textView_; }

 private:
  SyntaxEditor editor_;
  CodeTextView textView_;
  std::unique_ptr<UXCodeTextViewRepresentable::Coordinator> coordinator_;
};
