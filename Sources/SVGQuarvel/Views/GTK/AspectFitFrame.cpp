#include "SVGQuarvel/Views/GTK/AspectFitFrame.h"

#include <algorithm>
#include <cmath>

namespace SVGQuarvelViews {

AspectFitFrame::AspectFitFrame(Gtk::Widget& child, double contentMargin)
    : child_(child), contentMargin_(std::max(contentMargin, 0.0)) {
  child_.set_parent(*this);
}

AspectFitFrame::~AspectFitFrame() { child_.unparent(); }

void AspectFitFrame::setRatio(std::optional<double> ratio) {
  const double next = ratio && std::isfinite(*ratio) && *ratio > 0 ? *ratio : 1.0;
  if (next == ratio_) return;
  ratio_ = next;
  queue_resize();
}

int AspectFitFrame::heightForWidth(int width) const {
  const double inner = std::max(double(width) - 2 * contentMargin_, 0.0);
  const double height = std::min(inner / ratio_, inner * maxHeightPerWidth);
  return int(std::lround(height + 2 * contentMargin_));
}

Gtk::SizeRequestMode AspectFitFrame::get_request_mode_vfunc() const { return Gtk::SizeRequestMode::HEIGHT_FOR_WIDTH; }

void AspectFitFrame::measure_vfunc(Gtk::Orientation orientation, int forSize, int& minimum, int& natural,
                                   int& minimumBaseline, int& naturalBaseline) const {
  minimumBaseline = naturalBaseline = -1;
  int childMinimum = 0, childNatural = 0, ignored = 0;
  if (orientation == Gtk::Orientation::HORIZONTAL) {
    child_.measure(orientation, -1, childMinimum, childNatural, ignored, ignored);
    minimum = childMinimum;
    natural = childNatural;
    return;
  }
  // Without a width the natural width stands in for it.
  int width = forSize;
  if (width < 0) child_.measure(Gtk::Orientation::HORIZONTAL, -1, ignored, width, ignored, ignored);
  // The content is never cut: text in the view's place takes the height it needs at that width.
  child_.measure(orientation, width, childMinimum, childNatural, ignored, ignored);
  minimum = natural = std::max(heightForWidth(width), childMinimum);
}

void AspectFitFrame::size_allocate_vfunc(int width, int height, int baseline) {
  child_.size_allocate(Gtk::Allocation(0, 0, width, height), baseline);
}

}  // namespace SVGQuarvelViews
