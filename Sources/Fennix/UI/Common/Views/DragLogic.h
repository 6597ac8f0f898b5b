// Decisions of the kit's dragging views without a display: the divider hit areas of a split view
// that moves its window, the three-event state machine of a view that drags its window, and the
// divider lines of a view that separates its subviews. Coordinates are the toolkit's: y grows
// downwards.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Platform/Geometry.h"

namespace Fennix {

/// The mouse-in-rectangle test of a view: the left and top edges (bottom in an unflipped view)
/// belong to the rectangle, the opposite ones do not.
bool mouseInRect(const CGPoint& point, const CGRect& rect, bool flipped);

/// The areas around the dividers of a split view where a click resizes the panes. For each pane
/// but the last: side by side (`vertical`), the strip right of the pane over the full height,
/// widened by `margin` left and right; stacked, the strip below the pane over the full width,
/// widened by `margin` above and below.
std::vector<CGRect> splitDividerAreas(const std::vector<CGRect>& paneFrames, const CGRect& bounds,
                                      CGFloat dividerThickness, CGFloat margin, bool vertical);

/// Whether a click at `point` moves the window: it lies in no divider area.
bool shouldMouseDownMoveWindow(const CGPoint& point, const std::vector<CGRect>& dividerAreas, bool flipped);

/// What a view does with a mouse event.
enum class MouseHandling {
  platform,    ///< the toolkit's own handling
  consumed,    ///< nothing more
  moveWindow,  ///< the window follows the pointer from the kept press
};

/// The mouse-down of a split view that may move its window: whether it moves the window or goes to
/// the split view (for the divider drag). `isMovingWindow` tells later drags to stay away from it.
class SplitViewDragTracker {
 public:
  MouseHandling mouseDown(bool canMoveWindow, bool windowMovableByBackground, bool pointMovesWindow) {
    isMovingWindow = false;
    if (!canMoveWindow || !windowMovableByBackground || !pointMovesWindow) return MouseHandling::platform;
    isMovingWindow = true;
    return MouseHandling::moveWindow;
  }
  MouseHandling mouseDragged() const { return isMovingWindow ? MouseHandling::consumed : MouseHandling::platform; }

  bool isMovingWindow = false;
};

/// The press, drag and release of a view that drags its window. `Event` is the kept press.
template <typename Event>
class WindowDragTracker {
 public:
  MouseHandling mouseDown(bool windowMovableByBackground, const Event& event) {
    if (!windowMovableByBackground) return MouseHandling::platform;
    draggingWindow = false;
    mouseDownEvent = event;
    return MouseHandling::consumed;
  }
  /// moveWindow: the window follows from `mouseDownEvent`.
  MouseHandling mouseDragged(bool windowMovableByBackground) {
    if (!windowMovableByBackground || !mouseDownEvent) return MouseHandling::platform;
    draggingWindow = true;
    return MouseHandling::moveWindow;
  }
  MouseHandling mouseUp(bool windowMovableByBackground) {
    if (!windowMovableByBackground || !draggingWindow) return MouseHandling::platform;
    draggingWindow = false;
    return MouseHandling::consumed;
  }

  bool draggingWindow = false;
  /// Replaced at the next press, never cleared in between.
  std::optional<Event> mouseDownEvent;
};

/// A subview of a divider view: its frame in the view's coordinates and its identifier.
struct DividedSubview {
  CGRect frame;
  std::optional<std::string> identifier;
};

struct DividerLine {
  CGPoint from, to;
  bool operator==(const DividerLine&) const = default;
};

/// Identifiers of subviews that get no line and do not count.
inline constexpr const char* dividerSpacerID = "spacer";
inline constexpr const char* dividerTitleID = "title";

/// The line drawn for one subview: along its left edge (`vertical`) or its top edge.
DividerLine dividerLine(const CGRect& frame, bool vertical, bool fullWidth, CGFloat padding, bool flipped);
/// The lines of all subviews: one before every content subview except the first.
std::vector<DividerLine> dividerLines(const std::vector<DividedSubview>& subviews, bool vertical, bool fullWidth,
                                      CGFloat padding, bool flipped);

}  // namespace Fennix
