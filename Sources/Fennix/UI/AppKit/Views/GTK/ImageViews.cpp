#include "Fennix/UI/AppKit/Views/GTK/ImageViews.h"

#include <gdkmm/toplevel.h>
#include <gtk/gtk.h>
#include <gtkmm/gestureclick.h>
#include <gtkmm/native.h>
#include <gtkmm/snapshot.h>

#include <cmath>
#include <cstdio>
#include <numbers>

#include "Fennix/UI/Common/Views/GTK/ViewBase.h"
#include "Fennix/console/Console.h"

// MARK: - Base image view

QvImageViewBase::QvImageViewBase() : Glib::ObjectBase("QvImageViewBase") {}

QvImageViewBase::~QvImageViewBase() = default;

void QvImageViewBase::setImage(Fennix::ImagePtr image) {
  if (image == originalImage_) return;  // the very same object, or none over none
  originalImage_ = std::move(image);
  drawn_.reset();
  if (originalImage_) {
    // What the view draws is made from the image; the image itself is what callers read back.
    if (auto pixels = originalImage_->renderedPixels()) drawn_ = Gdk::Texture::create_for_pixbuf(pixels);
  }
  ++replacements_;
  queue_resize();
  queue_draw();
}

void QvImageViewBase::setImageScaling(NSImageScaling scaling) {
  scaling_ = scaling;
  queue_draw();
}

void QvImageViewBase::measure_vfunc(Gtk::Orientation orientation, int, int& minimum, int& natural,
                                    int& minimum_baseline, int& natural_baseline) const {
  minimum = 0;
  natural = 0;
  minimum_baseline = natural_baseline = -1;
  if (originalImage_) {
    const double length =
        orientation == Gtk::Orientation::HORIZONTAL ? originalImage_->size().width : originalImage_->size().height;
    natural = static_cast<int>(std::ceil(std::clamp(length, 0.0, 16384.0)));
  }
}

graphene_rect_t QvImageViewBase::imageRect() const {
  const float width = float(get_width()), height = float(get_height());
  if (!originalImage_) return GRAPHENE_RECT_INIT(0, 0, 0, 0);
  float imageWidth = float(originalImage_->size().width), imageHeight = float(originalImage_->size().height);
  if (!(imageWidth > 0) || !(imageHeight > 0)) return GRAPHENE_RECT_INIT(0, 0, width, height);
  switch (scaling_) {
    case NSImageScaling::scaleAxesIndependently: return GRAPHENE_RECT_INIT(0, 0, width, height);
    case NSImageScaling::scaleNone: break;
    case NSImageScaling::scaleProportionallyDown:
    case NSImageScaling::scaleProportionallyUpOrDown: {
      float scale = std::min(width / imageWidth, height / imageHeight);
      if (scaling_ == NSImageScaling::scaleProportionallyDown) scale = std::min(scale, 1.0f);
      imageWidth *= scale;
      imageHeight *= scale;
      break;
    }
  }
  return GRAPHENE_RECT_INIT((width - imageWidth) / 2, (height - imageHeight) / 2, imageWidth, imageHeight);
}

void QvImageViewBase::snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) {
  if (!drawn_) return;
  snapshot->save();
  Fennix::applyRotation(*this, snapshot);
  const graphene_rect_t rect = imageRect();
  snapshot->append_texture(drawn_, &rect);
  snapshot->restore();
}

// MARK: - Hover and window dragging

QvHoverImageView::QvHoverImageView() : Glib::ObjectBase("QvHoverImageView") {}

void QvHoverImageView::setMouseInside(bool inside) {
  mouseInside_ = inside;
  hoverChanged(inside);
}

void QvHoverImageView::hoverChanged(bool) { queue_draw(); }

void QvHoverImageView::updateTrackingAreas() {
  if (!hoverTrackingArea_) {
    hoverTrackingArea_ = Gtk::EventControllerMotion::create();
    hoverTrackingArea_->signal_enter().connect([this](double, double) { setMouseInside(true); });
    hoverTrackingArea_->signal_leave().connect([this] { setMouseInside(false); });
  }
  if (hoverTrackingArea_->get_widget() != this) add_controller(hoverTrackingArea_);
}

void QvHoverImageView::on_map() {
  QvImageViewBase::on_map();
  updateTrackingAreas();
}

QvWinDragImageView::QvWinDragImageView() : Glib::ObjectBase("QvWinDragImageView") {
  auto press = Gtk::GestureClick::create();
  press->set_button(GDK_BUTTON_PRIMARY);
  press->signal_pressed().connect([this, press](int, double x, double y) {
    auto* native = get_native();
    auto toplevel = native ? std::dynamic_pointer_cast<Gdk::Toplevel>(native->get_surface()) : nullptr;
    if (!toplevel) return;
    double windowX = x, windowY = y;
    translate_coordinates(*dynamic_cast<Gtk::Widget*>(native), x, y, windowX, windowY);
    toplevel->begin_move(press->get_current_event_device(), static_cast<int>(press->get_current_button()), windowX,
                         windowY, press->get_current_event_time());
  });
  add_controller(press);
}

Gtk::Widget* UXLayerBackedImageView::uxAnimatedView() {
  // The toolkit draws the image in the view itself; there is no inner container to spin.
  console::warn("No NSImageViewContainerView class?");
  return this;
}

// MARK: - Spinning

namespace Fennix {

namespace {

constexpr const char* rotationKey = "qv-rotation";

struct Spin {
  RotationState state;
  guint tick = 0;
};

Spin* spinOf(const Gtk::Widget& view) {
  return static_cast<Spin*>(g_object_get_data(G_OBJECT(const_cast<GtkWidget*>(view.gobj())), rotationKey));
}

Spin& makeSpin(Gtk::Widget& view) {
  if (Spin* spin = spinOf(view)) return *spin;
  auto* spin = new Spin();
  g_object_set_data_full(G_OBJECT(view.gobj()), rotationKey, spin, [](gpointer data) { delete static_cast<Spin*>(data); });
  return *spin;
}

bool canSpin(Gtk::Widget& view) {
  return dynamic_cast<QvImageViewBase*>(&view) != nullptr || dynamic_cast<QvViewBase*>(&view) != nullptr;
}

}  // namespace

const RotationState* rotationState(const Gtk::Widget& view) {
  Spin* spin = spinOf(view);
  return spin ? &spin->state : nullptr;
}

void applyRotation(const Gtk::Widget& view, const Glib::RefPtr<Gtk::Snapshot>& snapshot) {
  const RotationState* state = rotationState(view);
  if (!state) return;
  const double angle = state->angle(rotationClock()());
  if (angle == 0) return;
  const graphene_point_t centre = GRAPHENE_POINT_INIT(float(view.get_width()) / 2, float(view.get_height()) / 2);
  const graphene_point_t back = GRAPHENE_POINT_INIT(-centre.x, -centre.y);
  gtk_snapshot_translate(snapshot->gobj(), &centre);
  // A negative angle is clockwise in the y-up model; on the toolkit's y-down screen a positive
  // rotation is clockwise, so the sign flips.
  gtk_snapshot_rotate(snapshot->gobj(), float(-angle * 180 / std::numbers::pi));
  gtk_snapshot_translate(snapshot->gobj(), &back);
}

}  // namespace Fennix

Gtk::Widget& QvViewAnimations::view() const {
  if (auto* animatable = dynamic_cast<UXAnimatableView*>(&baseView_))
    if (Gtk::Widget* animated = animatable->uxAnimatedView()) return *animated;
  return baseView_;
}

void QvViewAnimations::startRotation(double speed, Direction direction) {
  Gtk::Widget& spinning = view();
  if (!Fennix::canSpin(spinning)) {
    std::printf("startRotation(speed:direction:): view got no layer ...\n");
    std::fflush(stdout);
    return;
  }
  Fennix::Spin& spin = Fennix::makeSpin(spinning);
  if (!spin.state.start(speed, direction, Fennix::rotationClock()())) return;
  if (spin.tick == 0) {
    spin.tick = spinning.add_tick_callback([&spinning](const Glib::RefPtr<Gdk::FrameClock>&) {
      spinning.queue_draw();
      Fennix::Spin* current = Fennix::spinOf(spinning);
      if (current && current->state.isRunning(Fennix::rotationClock()())) return true;
      if (current) current->tick = 0;
      return false;
    });
  }
  spinning.queue_draw();
}

void QvViewAnimations::stopRotation() {
  Gtk::Widget& spinning = view();
  Fennix::Spin* spin = Fennix::spinOf(spinning);
  if (!spin) {
    std::printf("stopRotation(): view got no layer ...\n");
    std::fflush(stdout);
    return;
  }
  spin->state.stop(Fennix::rotationClock()());
  if (spin->tick != 0) {
    spinning.remove_tick_callback(spin->tick);
    spin->tick = 0;
  }
  spinning.queue_draw();
}
