// Edge insets and the rectangle helpers that use them, under portable names. The toolkit's y axis
// grows downwards, so the top inset moves a rectangle's origin.
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

/// The rectangle shrunk by the insets: x + left, y + top, width − (left + right),
/// height − (top + bottom).
CGRect insetBy(const CGRect& rect, const NSEdgeInsets& insets);

/// The middle of a frame.
CGPoint center(const CGRect& frame);

}  // namespace PortKit
