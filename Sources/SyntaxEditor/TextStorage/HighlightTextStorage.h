// The code editor's text storage: after every edit of characters it sends the paragraphs around
// the edit to the shared highlighter and copies the coloured result onto the same range when it
// comes back on the main queue, provided the text there is still what was highlighted. Text
// past `highlightLimit` units around the edit is not sent: a very large text is coloured from its
// start (or around where it was edited) and stays plain beyond.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "Highlight/HighlightJSTheme.h"
#include "SyntaxEditor/TextStorage/WrappedTextStorage.h"

class HighlightTextStorage : public WrappedTextStorage {
 public:
  /// Most UTF-16 units sent to the highlighter at once (256 Ki). highlight.js takes about a third
  /// of a second for this much Swift, its HTML and runs grow with the text, and the runs are
  /// applied on the main thread: a whole drawing of megabytes took gigabytes and minutes.
  static constexpr std::size_t highlightLimit = std::size_t{1} << 18;

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

  /// Replaces the characters of `range` as `replaceCharacters` does, for an edit that stands for a
  /// replacement of the whole text (the rest of which is equal): the whole text is highlighted
  /// again afterwards, not only the edited paragraphs, so that colours that depend on text before
  /// or after the edit (inside a tag, a block comment or a string of several lines) come out as a
  /// highlight of the whole new text gives them.
  void replaceCharactersAsWholeText(NSRange range, std::u16string_view replacement);
  /// `replaceCharactersAsWholeText` of all of the text, taking the buffer of `text`.
  void replaceAllCharactersAsWholeText(std::u16string text);

  void processEditing() override;
  /// Setting attributes from outside re-highlights the paragraphs around `range`.
  void setAttributes(const TextAttributes& attributes, NSRange range) override;

 private:
  /// Highlights the paragraphs of `range`, at most `highlightLimit` units of them around `focus`.
  void highlight(NSRange range, std::size_t focus);
  /// Highlights the whole text (at most `highlightLimit` units around `focus`). One such request
  /// is open at a time: asked again meanwhile, or answered for a text that has changed since, it
  /// is sent again for the text as it is then, so that a series of changes costs one pass at a
  /// time and the last pass sees the last text.
  void highlightWholeText(std::size_t focus);
  void sendWholeTextHighlight();
  /// Sends one request for `range` and applies its result; `done` hears whether the text was
  /// still the one highlighted.
  void request(NSRange range, std::function<void(bool unchanged)> done);

  std::optional<std::string> language_;
  HighlightJSThemePtr theme_;
  bool isApplyingHighlight_ = false;
  std::size_t pendingHighlights_ = 0;
  bool wholeTextEdit_ = false;        // the edit being processed stands for a whole new text
  bool wholeTextRequested_ = false;   // a whole-text request is open
  bool wholeTextWanted_ = false;      // and another is to follow it
  std::size_t wholeTextFocus_ = 0;
};

namespace SyntaxEditorSupport {

/// The part of `range` of `text` to highlight: all of it when it has at most `limit` units,
/// otherwise at most `limit` units from `focus` on (moved back by half the limit, so that text
/// before an edit keeps its context), cut back to the end of a paragraph where one lies in it
/// and never between the halves of a surrogate pair.
NSRange boundedHighlightRange(std::u16string_view text, NSRange range, std::size_t focus, std::size_t limit);

/// Where to start highlighting text from `location` on so that a block comment ("/*" or "<!--")
/// still open there is seen whole: the start of the opener's paragraph, or `location` when no
/// comment opened within `limit` units before it is open there.
std::size_t openCommentStart(std::u16string_view text, std::size_t location, std::size_t limit);

}  // namespace SyntaxEditorSupport
