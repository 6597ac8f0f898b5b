#include "Fennix/UI/Common/Views/DragLogic.h"

namespace Fennix {

namespace {

// Rectangles here always have a non-negative size.
CGFloat minX(const CGRect& r) { return r.origin.x; }
CGFloat minY(const CGRect& r) { return r.origin.y; }
CGFloat maxX(const CGRect& r) { return r.origin.x + r.size.width; }
CGFloat maxY(const CGRect& r) { return r.origin.y + r.size.height; }

}  // namespace

bool mouseInRect(const CGPoint& point, const CGRect& rect, bool flipped) {
  if (rect.size.width <= 0 || rect.size.height <= 0) return false;
  if (point.x < minX(rect) || point.x >= maxX(rect)) return false;
  if (flipped) return point.y >= minY(rect) && point.y < maxY(rect);
  return point.y > minY(rect) && point.y <= maxY(rect);
}

std::vector<CGRect> splitDividerAreas(const std::vector<CGRect>& paneFrames, const CGRect& bounds,
                                      CGFloat dividerThickness, CGFloat margin, bool vertical) {
  std::vector<CGRect> areas;
  if (paneFrames.size() < 2) return areas;
  for (std::size_t i = 0; i + 1 < paneFrames.size(); ++i) {
    const CGRect& pane = paneFrames[i];
    if (vertical)
      areas.emplace_back(maxX(pane) - margin, minY(bounds), dividerThickness + 2 * margin, bounds.size.height);
    else
      areas.emplace_back(minX(bounds), maxY(pane) - margin, bounds.size.width, dividerThickness + 2 * margin);
  }
  return areas;
}

bool shouldMouseDownMoveWindow(const CGPoint& point, const std::vector<CGRect>& dividerAreas, bool flipped) {
  for (const CGRect& area : dividerAreas)
    if (mouseInRect(point, area, flipped)) return false;
  return true;
}

DividerLine dividerLine(const CGRect& frame, bool vertical, bool fullWidth, CGFloat padding, bool flipped) {
  const CGFloat x = frame.origin.x, y = frame.origin.y, w = frame.size.width, h = frame.size.height;
  if (vertical) return {{x - 0.5, y}, {x - 0.5, y + h}};
  const CGFloat edge = (flipped ? y : y + h) - 0.5;
  if (fullWidth) return {{x, edge}, {x + w, edge}};
  return {{x + padding, edge}, {x + w - 1, edge}};
}

std::vector<DividerLine> dividerLines(const std::vector<DividedSubview>& subviews, bool vertical, bool fullWidth,
                                      CGFloat padding, bool flipped) {
  std::vector<DividerLine> lines;
  bool isFirst = true;
  for (const DividedSubview& subview : subviews) {
    if (subview.identifier == dividerSpacerID || subview.identifier == dividerTitleID) continue;
    if (!isFirst) lines.push_back(dividerLine(subview.frame, vertical, fullWidth, padding, flipped));
    isFirst = false;
  }
  return lines;
}

}  // namespace Fennix
