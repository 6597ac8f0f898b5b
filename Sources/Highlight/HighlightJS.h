// The highlighter: highlight.js run in a JavaScript context, turning source text into text
// coloured by a theme. One shared instance lives for the whole process; every call into
// JavaScript runs on its private serial queue, which has a thread of its own, and results go to
// the queue the caller names.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "Fennix/Foundation/Text/AttributedString.h"
#include "Platform/Dispatch.h"
#include "Highlight/HighlightJSTheme.h"

typedef struct _JSCValue JSCValue;
typedef struct _JSCContext JSCContext;
typedef struct _JSCVirtualMachine JSCVirtualMachine;

class HighlightJS : public std::enable_shared_from_this<HighlightJS> {
 public:
  using Yield = std::function<void(std::optional<AttributedString>)>;

  /// The process-wide highlighter, loaded on first access (in practice on the main thread at
  /// start-up); none when the script cannot be loaded, and then nothing is coloured.
  static const std::shared_ptr<HighlightJS>& shared();

  /// The lower-cased names of the languages the script knows; empty until the main queue has
  /// taken the list the script gave at start.
  std::set<std::string> languages() const;
  /// Whether `languages` holds the name exactly (the names are lower-case).
  bool supportsLanguage(std::string_view language) const;

  /// Highlights `code` in `language` (absent or empty: the script guesses) on the highlighter's
  /// queue and calls `yield` once on `queue` with the coloured text, or with none when that
  /// failed; never when the returned item is cancelled before it starts.
  std::shared_ptr<DispatchWorkItem> highlight(std::string code, std::optional<std::string> language,
                                              HighlightJSThemePtr theme, DispatchQueue queue, Yield yield);

  ~HighlightJS();
  HighlightJS(const HighlightJS&) = delete;
  HighlightJS& operator=(const HighlightJS&) = delete;

 private:
  HighlightJS(DispatchQueue queue, JSCValue* highlightJS, JSCVirtualMachine* vm);
  /// Loads the script into a new context; runs on `queue`, which the highlighter then uses.
  static std::shared_ptr<HighlightJS> loadHighlightJS(const DispatchQueue& queue);
  /// Asks the script for its languages (on the queue) and hands them to the main queue.
  void loadLanguages();
  /// The script's HTML for the code; none when it failed. Runs on the queue.
  std::optional<std::string> highlight(const std::string& code, const std::optional<std::string>& language);
  std::optional<AttributedString> convertHTMLToAttributedString(std::string_view html,
                                                                const HighlightJSTheme& theme) const;

  DispatchQueue Q;
  JSCValue* highlightJS_;
  JSCVirtualMachine* vm_;
  mutable std::mutex languagesMutex_;
  std::set<std::string> languages_;
};
