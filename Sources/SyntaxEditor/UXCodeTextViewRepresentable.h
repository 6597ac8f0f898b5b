// The bridge between the editor's description and its text view: the coordinator that writes the
// text view's edits back to the binding, and the update cycle that brings a text view in line
// with the description.
#pragma once

#include <optional>

#include "SyntaxEditor/SyntaxEditor.h"
#include "SyntaxEditor/UXCodeTextView.h"

class UXCodeTextViewRepresentable {
 public:
  explicit UXCodeTextViewRepresentable(const SyntaxEditor& editor);

  class Coordinator;

  std::unique_ptr<Coordinator> makeCoordinator() const;
  /// Prepares a new text view: its delegate, the inset, then an update.
  void makeTextView(UXCodeTextView& textView, Coordinator& coordinator) const;
  void updateTextView(UXCodeTextView& textView, Coordinator& coordinator) const;

  SyntaxEditor::Binding<std::string> source;
  std::optional<SyntaxEditor::Binding<double>> fontSize;
  std::optional<SyntaxEditor::Language> language;
  HighlightJSThemePtr baseTheme;
  SyntaxEditor::Flags flags;
  SyntaxEditor::IndentStyle indentStyle;
  NSSize inset;
  SyntaxEditor::AutoPairs autoPairs;
  std::vector<SyntaxEditor::PasteboardType> acceptableDragTypes;

 private:
  void updateTextView(UXCodeTextView& textView) const;
};

/// The text view's delegate. It keeps the description it was made with: later updates do not
/// replace it, so edits go to the first binding.
class UXCodeTextViewRepresentable::Coordinator : public UXCodeTextViewDelegate {
 public:
  explicit Coordinator(UXCodeTextViewRepresentable parent_) : parent(std::move(parent_)) {}

  UXCodeTextViewRepresentable parent;

  void textDidChange(UXCodeTextView& textView) override;
  bool allowCopy() const override;
  std::optional<double> fontSize() const override;
  void setFontSize(std::optional<double> size) override;
};
