// The code editor's text view, without its widget: a highlighting text storage, the selection,
// the theme and the editing behaviours of a code editor (indentation on Return, auto-pairs,
// removal of empty pairs, soft tabs, a copy guard and font-size commands). The widget that shows
// it implements `UXCodeTextViewHost` and forwards its key presses here.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Highlight/HighlightJS.h"
#include "SyntaxEditor/EditingRules.h"
#include "SyntaxEditor/SyntaxEditor.h"
#include "SyntaxEditor/TextStorage/HighlightTextStorage.h"

class UXCodeTextView;

/// The text view's delegate: the editor's coordinator.
class UXCodeTextViewDelegate {
 public:
  virtual ~UXCodeTextViewDelegate() = default;
  virtual bool allowCopy() const = 0;
  virtual std::optional<double> fontSize() const = 0;
  virtual void setFontSize(std::optional<double> size) = 0;
  /// After every edit made through the text view (typing, pasting, the editing commands).
  virtual void textDidChange(UXCodeTextView&) {}
};

/// What the text view needs of the widget that shows it.
class UXCodeTextViewHost {
 public:
  virtual ~UXCodeTextViewHost() = default;
  virtual void beep() {}
  /// Puts the selected text on the clipboard.
  virtual void copyToClipboard(const std::u16string& text) = 0;
  /// The widget's own font (the theme's base font).
  virtual void fontDidChange(const NSFontPtr& font) = 0;
  virtual void selectionDidChange(NSRange) {}
  virtual void editabilityDidChange(bool editable, bool selectable) = 0;
  virtual void insetDidChange(NSSize) {}
  virtual void acceptableDragTypesDidChange(const std::vector<SyntaxEditor::PasteboardType>&) {}
  /// A font command the text view leaves to the widget.
  virtual void passOnFontCommand() {}
};

/// One edit made through the text view: `range` is where `oldText` was, `newText` replaced it.
struct UXCodeTextEdit {
  NSRange range;
  std::u16string oldText;
  std::u16string newText;
};

class UXCodeTextView {
 public:
  /// Takes a highlighting storage without a language, the shared highlighter and the default
  /// theme; the theme's font is applied the first time the theme is set.
  UXCodeTextView();
  UXCodeTextView(const UXCodeTextView&) = delete;
  UXCodeTextView& operator=(const UXCodeTextView&) = delete;

  const std::shared_ptr<HighlightJS>& highlighter() const { return highlighter_; }
  const std::shared_ptr<HighlightTextStorage>& codeTextStorage() const { return storage_; }
  std::u16string string() const { return storage_->string(); }

  void setHost(UXCodeTextViewHost* host) { host_ = host; }
  UXCodeTextViewDelegate* delegate() const { return delegate_; }
  void setDelegate(UXCodeTextViewDelegate* delegate) { delegate_ = delegate; }

  /// Every edit made through the text view goes here as well (a window's undo manager records
  /// them); programmatic replacements of the text do not.
  using UndoSink = std::function<void(const UXCodeTextEdit&)>;
  void setUndoSink(UndoSink sink) { undoSink_ = std::move(sink); }
  bool hasUndoSink() const { return bool(undoSink_); }

  bool isSmartIndentEnabled = true;
  SyntaxEditor::IndentStyle indentStyle = SyntaxEditor::system();
  SyntaxEditor::AutoPairs autoPairCompletion;

  const HighlightJSThemePtr& theme() const { return theme_; }
  /// Sets the theme, gives the widget its font and the storage the theme.
  void setTheme(HighlightJSThemePtr theme);
  /// Applies a theme (none: the current one) at a font size; false when nothing changed.
  bool applyNewTheme(HighlightJSThemePtr theme, double fontSize);
  bool applyNewTheme(HighlightJSThemePtr theme);
  bool applyNewFontSize(double fontSize);

  std::optional<SyntaxEditor::Language> language() const;
  void setLanguage(std::optional<SyntaxEditor::Language> language);

  /// The theme's base font.
  NSFontPtr font() const;
  /// Fonts come from the theme: any other font is refused with a log line.
  void setFont(const NSFontPtr& font);

  bool isEditable() const { return editable_; }
  bool isSelectable() const { return selectable_; }
  void setEditable(bool editable);
  void setSelectable(bool selectable);
  NSSize textContainerInset() const { return inset_; }
  void setTextContainerInset(NSSize inset);
  const std::vector<SyntaxEditor::PasteboardType>& acceptableDragTypes() const { return acceptableDragTypes_; }
  void setAcceptableDragTypes(std::vector<SyntaxEditor::PasteboardType> types);

  /// The selection in UTF-16 units; kept inside the text.
  NSRange selectedRange() const { return selection_; }
  void setSelectedRange(NSRange range);

  // Editing commands.
  void insertNewline();
  /// Inserts `text` at `replacementRange` (none: the selection) and, when it opens a pair,
  /// the closing string after it with the caret between.
  void insertText(std::u16string_view text, std::optional<NSRange> replacementRange = std::nullopt);
  void insertTab();
  void deleteBackward();
  void copy();
  void changeFont(SyntaxEditorSupport::FontAction action, std::optional<double> selectedFontSize = std::nullopt);

  // The plain text view's own operations, without the code editor's rules.
  void platformInsertText(std::u16string_view text, std::optional<NSRange> replacementRange = std::nullopt);
  void platformInsertNewline() { platformInsertText(u"\n"); }
  void platformInsertTab() { platformInsertText(u"\t"); }
  void platformDeleteBackward();
  void platformDeleteForward();
  void moveBackward();

  /// Tells the delegate and the undo sink of an edit the widget made itself (typed text).
  void didChangeText(const UXCodeTextEdit& edit);
  /// Replaces a stretch as an edit through the text view that is not recorded (an undo manager
  /// replaying an edit): the delegate hears of it, the undo sink does not.
  void applyEdit(NSRange range, std::u16string_view text);
  /// True while the text view itself changes its storage (an edit a user made).
  bool isEditingByUser() const { return editingByUser_; }

 private:
  void replaceByUser(NSRange range, std::u16string_view text, std::size_t caret, bool record = true);

  std::shared_ptr<HighlightJS> highlighter_;
  std::shared_ptr<HighlightTextStorage> storage_;
  HighlightJSThemePtr theme_;
  UXCodeTextViewHost* host_ = nullptr;
  UXCodeTextViewDelegate* delegate_ = nullptr;
  UndoSink undoSink_;
  NSRange selection_;
  bool editingByUser_ = false;
  bool editable_ = true;
  bool selectable_ = true;
  NSSize inset_;
  std::vector<SyntaxEditor::PasteboardType> acceptableDragTypes_;
};
