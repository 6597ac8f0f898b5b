#include "Fennix/UI/AppKit/Views/GTK/CollectionItemFrame.h"

#include <gsk/gsk.h>
#include <gtkmm/snapshot.h>

#include <cmath>

#include "Fennix/UI/Common/Views/GTK/ViewBase.h"

QvCVIFrame::QvCVIFrame() : Glib::ObjectBase("QvCVIFrame") {
  set_overflow(Gtk::Overflow::HIDDEN);
  signal_destroy().connect([this] {
    while (Gtk::Widget* child = get_first_child()) child->unparent();
  });
}

QvCVIFrame::~QvCVIFrame() {
  if (!gobj()) return;
  while (Gtk::Widget* child = get_first_child()) child->unparent();
}

void QvCVIFrame::setInset(double inset) {
  model_.setInset(inset);
  queue_resize();
}

void QvCVIFrame::setSelected(bool selected) {
  // The view's own hook applies the selection, so that a subclass hears of every change.
  model_.storeSelected(selected);
  onSelectionChange();
}

void QvCVIFrame::onSelectionChange() {
  model_.onSelectionChange();
  queue_draw();
}

void QvCVIFrame::setHighlightState(NSCollectionViewItemHighlightState state) {
  model_.setHighlightState(state);
  queue_draw();
}

void QvCVIFrame::setContentView(Gtk::Widget* view) {
  while (Gtk::Widget* child = get_first_child()) child->unparent();
  if (view) view->insert_at_end(*this);
  queue_resize();
}

CGSize QvCVIFrame::intrinsicContentSize() const {
  const Gtk::Widget* child = get_first_child();
  if (!child) return model_.intrinsicContentSize(std::nullopt);
  int minimum = 0, width = 0, height = 0, baseline = -1, naturalBaseline = -1;
  child->measure(Gtk::Orientation::HORIZONTAL, -1, minimum, width, baseline, naturalBaseline);
  child->measure(Gtk::Orientation::VERTICAL, -1, minimum, height, baseline, naturalBaseline);
  return model_.intrinsicContentSize(CGSize{double(width), double(height)});
}

Gtk::SizeRequestMode QvCVIFrame::get_request_mode_vfunc() const { return Gtk::SizeRequestMode::CONSTANT_SIZE; }

void QvCVIFrame::measure_vfunc(Gtk::Orientation orientation, int, int& minimum, int& natural, int& minimum_baseline,
                               int& natural_baseline) const {
  const CGSize size = intrinsicContentSize();
  const double length = orientation == Gtk::Orientation::HORIZONTAL ? size.width : size.height;
  natural = minimum = std::isfinite(length) && length > 0 ? int(std::ceil(length)) : 0;
  minimum_baseline = natural_baseline = -1;
}

void QvCVIFrame::size_allocate_vfunc(int width, int height, int baseline) {
  Gtk::Widget* child = get_first_child();
  if (!child) return;
  const int inset = std::isfinite(model_.inset()) ? int(std::lround(std::max(0.0, model_.inset()))) : 0;
  const Gtk::Allocation area(inset, inset, std::max(0, width - 2 * inset), std::max(0, height - 2 * inset));
  child->size_allocate(area, baseline);
}

void QvCVIFrame::snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) {
  if (const auto& layer = model_.layer()) {
    const float w = float(get_width()), h = float(get_height());
    GskRoundedRect outline;
    const graphene_rect_t bounds = GRAPHENE_RECT_INIT(0, 0, w, h);
    gsk_rounded_rect_init_from_rect(&outline, &bounds, float(layer->cornerRadius));
    const GdkRGBA background = *Fennix::rgba(layer->backgroundColor).gobj();
    gtk_snapshot_push_rounded_clip(snapshot->gobj(), &outline);
    gtk_snapshot_append_color(snapshot->gobj(), &background, &bounds);
    gtk_snapshot_pop(snapshot->gobj());
    const float borderWidth = float(std::max(0.0, layer->borderWidth));
    const float widths[4] = {borderWidth, borderWidth, borderWidth, borderWidth};
    const GdkRGBA border = *Fennix::rgba(layer->borderColor).gobj();
    const GdkRGBA borders[4] = {border, border, border, border};
    gtk_snapshot_append_border(snapshot->gobj(), &outline, widths, borders);
  }
  Gtk::Widget::snapshot_vfunc(snapshot);
}
