#include "Fennix/Foundation/System/Bundle.h"
#include "Platform/EdgeInsets.h"
#include "Fennix/Foundation/System/Image.h"

std::optional<NSImage> NSImage::applicationIconImage() {
  auto identifier = NSBundle::main().bundleIdentifier();
  if (identifier.empty()) return std::nullopt;
  return NSImage::named(std::move(identifier));
}

namespace PortKit {

CGRect insetBy(const CGRect& rect, const NSEdgeInsets& insets) {
  return CGRect(rect.origin.x + insets.left, rect.origin.y + insets.top, rect.size.width - (insets.left + insets.right),
                rect.size.height - (insets.top + insets.bottom));
}

CGPoint center(const CGRect& frame) {
  return CGPoint{frame.minX() + frame.width() * 0.5, frame.minY() + frame.height() * 0.5};
}

}  // namespace PortKit
