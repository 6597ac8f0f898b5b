#include "Fennix/UI/Common/Views/ToolbarStatusModel.h"

#include <limits>

#include "Fennix/Foundation/BaseTypes/FatalError.h"

namespace Fennix {

bool SpinnerCounter::start() {
  if (count_ == std::numeric_limits<long>::max()) fatalError("spinner count overflow");
  const bool starts = count_ == 0;
  ++count_;
  return starts;
}

bool SpinnerCounter::stop(bool fullstop) {
  if (count_ < 1) return false;
  count_ = fullstop ? 0 : count_ - 1;
  return count_ < 1;
}

NSColor textColor(bool dark) { return dark ? NSColor(1, 1, 1, 0.85) : NSColor(0, 0, 0, 1); }

NSColor textBackgroundColor(bool dark) { return dark ? NSColor(30 / 255.0, 30 / 255.0, 30 / 255.0, 1) : NSColor(1, 1, 1, 1); }

const NSColor& qvSidebarBlue() {
  static const NSColor blue(0.877, 0.897, 0.923, 1.0);
  return blue;
}

StatusViewColors statusViewColors(bool dark) {
  if (dark) {
    const NSColor fill(95 / 255.0, 99 / 255.0, 102 / 255.0, 1);
    return {NSColor(120 / 255.0, 122 / 255.0, 123 / 255.0, 1), fill, fill, textColor(true)};
  }
  return {NSColor::lightGrayColor(), textBackgroundColor(false), NSColor(0.929, 0.929, 0.929, 1), textColor(false)};
}

void CancelableSpinnerState::mouseEntered() {
  if (mouseInside_) return;
  mouseInside_ = true;
  cancelButtonHidden_ = !isSpinning_;
  if (isSpinning_) spinnerHidden_ = true;
}

void CancelableSpinnerState::mouseExited() {
  if (!mouseInside_) return;
  mouseInside_ = false;
  cancelButtonHidden_ = true;
  if (isSpinning_) spinnerHidden_ = false;
}

}  // namespace Fennix
