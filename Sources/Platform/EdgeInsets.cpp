#include "Platform/EdgeInsets.h"

namespace PortKit {

CGRect insetBy(const CGRect& rect, const NSEdgeInsets& insets) {
  return CGRect(rect.origin.x + insets.left, rect.origin.y + insets.top, rect.size.width - (insets.left + insets.right),
                rect.size.height - (insets.top + insets.bottom));
}

CGPoint center(const CGRect& frame) {
  return CGPoint{frame.minX() + frame.width() * 0.5, frame.minY() + frame.height() * 0.5};
}

}  // namespace PortKit
