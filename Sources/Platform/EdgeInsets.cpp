#include "Platform/EdgeInsets.h"

namespace PortKit {

CGRect inset(const CGRect& rect, const NSEdgeInsets& by) {
  return CGRect(rect.origin.x + by.left, rect.origin.y + by.bottom, rect.size.width - (by.left + by.right),
                rect.size.height - (by.top + by.bottom));
}

CGRect insetFlipped(const CGRect& rect, const NSEdgeInsets& by) {
  return CGRect(rect.origin.x + by.left, rect.origin.y + by.top, rect.size.width - (by.left + by.right),
                rect.size.height - (by.top + by.bottom));
}

CGPoint center(const CGRect& frame) {
  return CGPoint{frame.minX() + frame.width() * 0.5, frame.minY() + frame.height() * 0.5};
}

}  // namespace PortKit
