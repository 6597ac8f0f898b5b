// The code editor's text storage: after every edit of characters it sends the paragraphs around
// the edit to the shared highlighter and copies the coloured result onto the same range when it
// comes back on the main queue, provided the text there is still what was highlighted.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "Highlight/HighlightJSTheme.h"
#include "SyntaxEditor/TextStorage/WrappedTextStorage.h"

class HighlightTextStorage : public WrappedTextStorage {
 public:
  explicit HighlightTextStorage(std::optional<std::string> language);

  const std::optional<std::string>& language() const { return language_; }
  /// A different language re-highlights the whole text.
  void setLanguage(std::optional<std::string> language);

  const HighlightJSThemePtr& theme() const { return theme_; }
  /// A theme that is not equal to the current one re-highlights the whole text.
  void setTheme(HighlightJSThemePtr theme);

  /// The theme's base font; the font comes from the theme only.
  NSFontPtr font() const;
  void setFont(const NSFontPtr&) {}

  bool isApplyingHighlight() const { return isApplyingHighlight_; }
  /// Whether requests sent to the highlighter are still unanswered.
  bool isHighlighting() const { return pendingHighlights_ > 0; }
  /// Called each time the last open request has been answered (its result applied, if any).
  std::function<void()> cbHighlightsDone;

  void processEditing() override;
  /// Setting attributes from outside re-highlights the paragraphs around `range`.
  void setAttributes(const TextAttributes& attributes, NSRange range) override;

 private:
  void highlight(NSRange range);

  std::optional<std::string> language_;
  HighlightJSThemePtr theme_;
  bool isApplyingHighlight_ = false;
  std::size_t pendingHighlights_ = 0;
};
