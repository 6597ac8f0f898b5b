// An overlay above a wrapped horizontal scroller that splits wheel motion: horizontal motion
// scrolls the wrapped view, vertical motion goes on to the surroundings.
#pragma once

#include <gtkmm/widget.h>

class QvVerticalScrollOverlayView : public Gtk::Widget {
 public:
  /// A container holding `view` (which is, or contains, a scrolled window) and an overlay above
  /// it, both pinned to all four sides.
  static Gtk::Widget& wrap(Gtk::Widget& view);

  QvVerticalScrollOverlayView();
  /// Handles wheel motion by (dx, dy); whether it was taken (false: it goes on to the ancestors).
  bool scrollWheel(double dx, double dy);
};
