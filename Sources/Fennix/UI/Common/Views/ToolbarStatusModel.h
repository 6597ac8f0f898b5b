// Decisions of the toolbar pieces that need no toolkit: how many callers keep the status view's
// progress bar running, the status view's colours per appearance, which of spinner and cancel
// button a hovered spinner shows, and the validation of a toolbar item along a chain of
// responders.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "Fennix/Foundation/Text/Color.h"

namespace Fennix {

/// Counts the callers that want a progress bar running. The bar runs from the first start until
/// as many stops came (or one full stop); stops beyond the starts are ignored.
class SpinnerCounter {
 public:
  long count() const { return count_; }
  /// Sets the count without starting or stopping anything.
  void setCount(long count) { count_ = count; }
  /// Counts a caller in; true when the bar has to start now.
  bool start();
  /// Counts a caller out, or all of them with `fullstop`; true when the bar has to stop now.
  bool stop(bool fullstop);

 private:
  long count_ = 0;
};

/// The colours of the status pill: border, the two gradient stops, the text.
struct StatusViewColors {
  NSColor border;
  NSColor gradientStart;
  NSColor gradientEnd;
  NSColor text;
};
StatusViewColors statusViewColors(bool dark);

/// The system's text colours per appearance.
NSColor textColor(bool dark);
NSColor textBackgroundColor(bool dark);
/// The light blue of sidebars (made once).
const NSColor& qvSidebarBlue();

/// A spinner that turns into a cancel button while the pointer is over it. The hover swaps them
/// only on entry and exit: starting or stopping while inside changes nothing until the next one.
class CancelableSpinnerState {
 public:
  bool isSpinning() const { return isSpinning_; }
  void setSpinning(bool spinning) { isSpinning_ = spinning; }
  bool mouseInside() const { return mouseInside_; }
  bool cancelButtonHidden() const { return cancelButtonHidden_; }
  /// Hidden while the cancel button stands in for it.
  bool spinnerHidden() const { return spinnerHidden_; }

  void mouseEntered();
  void mouseExited();

 private:
  bool isSpinning_ = false;
  bool mouseInside_ = false;
  bool cancelButtonHidden_ = true;
  bool spinnerHidden_ = false;
};

/// What a responder says about an action: whether it handles it, and, when it validates items,
/// its answer.
struct ResponderAnswer {
  bool respondsToAction = false;
  std::optional<bool> validation;
};

/// Walks from `first` along `next` to the first responder that handles the action. None found (or
/// no first responder): disabled. Found: its validation answer, enabled when it gives none. The
/// walk ends after `limit` steps, so that a chain that loops back cannot hang it.
template <typename Responder>
bool validateAlongChain(Responder first, const std::function<Responder(Responder)>& next,
                        const std::function<ResponderAnswer(Responder)>& ask, int limit = 10000) {
  Responder responder = first;
  for (int step = 0; responder && step < limit; ++step) {
    const ResponderAnswer answer = ask(responder);
    if (answer.respondsToAction) return answer.validation.value_or(true);
    responder = next(responder);
  }
  return false;
}

}  // namespace Fennix
