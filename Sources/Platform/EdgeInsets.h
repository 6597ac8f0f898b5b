// Edge insets and the rectangle helpers that use them, under portable names. Portable frames are
// y-up (the bottom inset moves a rectangle's origin); the toolkit's own y-down rectangles have a
// helper of their own.
#pragma once

#include "Platform/Geometry.h"

struct NSEdgeInsets {
  CGFloat top = 0;
  CGFloat left = 0;
  CGFloat bottom = 0;
  CGFloat right = 0;

  bool operator==(const NSEdgeInsets&) const = default;
};

namespace PortKit {

/// Insets in the order top, left, bottom, right.
constexpr NSEdgeInsets UXEdgeInsetsMake(CGFloat top, CGFloat left, CGFloat bottom, CGFloat right) {
  return NSEdgeInsets{top, left, bottom, right};
}

/// The y-up rectangle shrunk by the insets: x + left, y + bottom, width − (left + right),
/// height − (top + bottom).
CGRect inset(const CGRect& rect, const NSEdgeInsets& by);
/// The same for a y-down rectangle (the toolkit's widget space): the top inset moves the origin.
CGRect insetFlipped(const CGRect& rect, const NSEdgeInsets& by);

/// The middle of a frame.
CGPoint center(const CGRect& frame);

}  // namespace PortKit
