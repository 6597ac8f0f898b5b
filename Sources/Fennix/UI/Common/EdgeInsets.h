// Insets of the four edges of a rectangle, in points.
#pragma once

struct NSEdgeInsets {
  double top = 0;
  double left = 0;
  double bottom = 0;
  double right = 0;
  bool operator==(const NSEdgeInsets&) const = default;
};
