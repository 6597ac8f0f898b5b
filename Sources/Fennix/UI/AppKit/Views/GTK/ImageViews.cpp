#include "Fennix/UI/AppKit/Views/GTK/ImageViews.h"

#include <gdkmm/toplevel.h>
#include <gtk/gtk.h>
#include <gtkmm/gestureclick.h>
#include <gtkmm/native.h>
#include <gtkmm/snapshot.h>

#include <cmath>
#include <cstdio>
#include <numbers>

#include "Fennix/UI/AppKit/Views/GTK/SplitViews.h"
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

QvHoverImageView::~QvHoverImageView() {
  // A controller someone else still holds no longer reaches this view.
  for (auto& connection : hoverConnections_) connection.disconnect();
}

void QvHoverImageView::setMouseInside(bool inside) {
  mouseInside_ = inside;
  hoverChanged(inside);
}

void QvHoverImageView::hoverChanged(bool) { queue_draw(); }

void QvHoverImageView::setHoverTrackingArea(Glib::RefPtr<Gtk::EventControllerMotion> area) {
  if (area == hoverTrackingArea_) return;
  for (auto& connection : hoverConnections_) connection.disconnect();
  hoverConnections_.clear();
  if (hoverTrackingArea_ && hoverTrackingArea_->get_widget() == this) remove_controller(hoverTrackingArea_);
  hoverTrackingArea_ = std::move(area);
  if (!hoverTrackingArea_) return;
  hoverConnections_.push_back(
      hoverTrackingArea_->signal_enter().connect([this](double, double) { setMouseInside(true); }));
  hoverConnections_.push_back(hoverTrackingArea_->signal_leave().connect([this] { setMouseInside(false); }));
  // A view on screen tracks the new area at once, as the areas of a view are brought up to date
  // whenever they changed.
  if (get_mapped()) updateTrackingAreas();
}

void QvHoverImageView::updateTrackingAreas() {
  if (!hoverTrackingArea_) setHoverTrackingArea(Gtk::EventControllerMotion::create());
  if (!hoverTrackingArea_->get_widget()) add_controller(hoverTrackingArea_);
}

void QvHoverImageView::on_map() {
  QvImageViewBase::on_map();
  updateTrackingAreas();
}

QvWinDragImageView::QvWinDragImageView() : Glib::ObjectBase("QvWinDragImageView") {
  auto press = Gtk::GestureClick::create();
  press->set_button(GDK_BUTTON_PRIMARY);
  press->signal_pressed().connect([this, press](int, double x, double y) {
    // Like the kit's other views that move their window: only a window movable by its background.
    if (!Fennix::isMovableByWindowBackground(*this)) return;
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

struct Spin {
  RotationState state;
  guint tick = 0;
  /// The holder that turns a view that does not turn its own drawing; null for the kit's views.
  QvSpinHolder* holder = nullptr;
};

Spin* spinOf(const Gtk::Widget& view) {
  return static_cast<Spin*>(
      g_object_get_data(G_OBJECT(const_cast<GtkWidget*>(view.gobj())), rotationAnimationKey().c_str()));
}

Spin& makeSpin(Gtk::Widget& view) {
  if (Spin* spin = spinOf(view)) return *spin;
  auto* spin = new Spin();
  g_object_set_data_full(G_OBJECT(view.gobj()), rotationAnimationKey().c_str(), spin,
                         [](gpointer data) { delete static_cast<Spin*>(data); });
  return *spin;
}

/// Whether the view turns its own drawing.
bool turnsItself(const Gtk::Widget& view) {
  return dynamic_cast<const QvImageViewBase*>(&view) != nullptr || dynamic_cast<const QvViewBase*>(&view) != nullptr;
}

/// The property of `parent` that holds `view` as its one child of that name ("child",
/// "start-child", ...); none when the parent holds it otherwise.
const char* childProperty(Gtk::Widget& parent, Gtk::Widget& view) {
  for (const char* name : {"child", "start-child", "end-child", "start-widget", "center-widget", "end-widget"}) {
    GParamSpec* spec = g_object_class_find_property(G_OBJECT_GET_CLASS(parent.gobj()), name);
    if (!spec || !g_type_is_a(spec->value_type, GTK_TYPE_WIDGET) || !(spec->flags & G_PARAM_WRITABLE)) continue;
    GtkWidget* held = nullptr;
    g_object_get(parent.gobj(), name, &held, nullptr);
    if (held) g_object_unref(held);
    if (held == view.gobj()) return name;
  }
  return nullptr;
}

/// Whether a holder can take the place of `view` in its container.
bool canHold(Gtk::Widget& view) {
  Gtk::Widget* parent = view.get_parent();
  if (!parent) return false;
  return GTK_IS_BOX(parent->gobj()) || GTK_IS_GRID(parent->gobj()) || GTK_IS_FIXED(parent->gobj()) ||
         childProperty(*parent, view) != nullptr;
}

/// Puts a holder in the place of `view` in its container, with the view inside; null when it cannot.
QvSpinHolder* holdInPlace(Gtk::Widget& view) {
  Gtk::Widget* parent = view.get_parent();
  if (!parent || !canHold(view)) return nullptr;
  GtkWidget* container = parent->gobj();
  GtkWidget* child = view.gobj();
  g_object_ref(child);  // while it moves into the holder
  QvSpinHolder* holder = nullptr;
  if (GTK_IS_BOX(container)) {
    GtkWidget* before = gtk_widget_get_prev_sibling(child);
    gtk_box_remove(GTK_BOX(container), child);
    holder = Gtk::make_managed<QvSpinHolder>(view);
    gtk_box_insert_child_after(GTK_BOX(container), GTK_WIDGET(holder->gobj()), before);
  } else if (GTK_IS_GRID(container)) {
    int column = 0, row = 0, width = 1, height = 1;
    gtk_grid_query_child(GTK_GRID(container), child, &column, &row, &width, &height);
    gtk_grid_remove(GTK_GRID(container), child);
    holder = Gtk::make_managed<QvSpinHolder>(view);
    gtk_grid_attach(GTK_GRID(container), GTK_WIDGET(holder->gobj()), column, row, width, height);
  } else if (GTK_IS_FIXED(container)) {
    double x = 0, y = 0;
    gtk_fixed_get_child_position(GTK_FIXED(container), child, &x, &y);
    gtk_fixed_remove(GTK_FIXED(container), child);
    holder = Gtk::make_managed<QvSpinHolder>(view);
    gtk_fixed_put(GTK_FIXED(container), GTK_WIDGET(holder->gobj()), x, y);
  } else {
    const char* property = childProperty(*parent, view);
    g_object_set(container, property, nullptr, nullptr);
    holder = Gtk::make_managed<QvSpinHolder>(view);
    g_object_set(container, property, holder->gobj(), nullptr);
  }
  g_object_unref(child);
  return holder;
}

/// The holder that turns `view`, while it still holds it.
QvSpinHolder* holderOf(Spin& spin, const Gtk::Widget& view) {
  if (spin.holder && spin.holder->view() != &view) spin.holder = nullptr;  // the view moved away
  return spin.holder;
}

/// The turn of the view at the current time, in degrees clockwise on screen.
float screenDegrees(const Gtk::Widget& view) {
  const RotationState* state = rotationState(view);
  if (!state) return 0;
  // A negative angle is clockwise in the y-up model; on the toolkit's y-down screen a positive
  // rotation is clockwise, so the sign flips.
  return float(-state->angle(rotationClock()()) * 180 / std::numbers::pi);
}

}  // namespace

const RotationState* rotationState(const Gtk::Widget& view) {
  Spin* spin = spinOf(view);
  return spin ? &spin->state : nullptr;
}

void applyRotation(const Gtk::Widget& view, const Glib::RefPtr<Gtk::Snapshot>& snapshot) {
  const float degrees = screenDegrees(view);
  if (degrees == 0) return;
  const graphene_point_t centre = GRAPHENE_POINT_INIT(float(view.get_width()) / 2, float(view.get_height()) / 2);
  const graphene_point_t back = GRAPHENE_POINT_INIT(-centre.x, -centre.y);
  gtk_snapshot_translate(snapshot->gobj(), &centre);
  gtk_snapshot_rotate(snapshot->gobj(), degrees);
  gtk_snapshot_translate(snapshot->gobj(), &back);
}

}  // namespace Fennix

QvSpinHolder::QvSpinHolder(Gtk::Widget& view) : Glib::ObjectBase("QvSpinHolder") {
  view.set_parent(*this);
  signal_destroy().connect([this] { release(); });
}

QvSpinHolder::~QvSpinHolder() { release(); }

void QvSpinHolder::release() {
  if (!gobj()) return;
  while (Gtk::Widget* child = get_first_child()) {
    if (Fennix::Spin* spin = Fennix::spinOf(*child); spin && spin->holder == this) spin->holder = nullptr;
    child->unparent();
  }
}

Gtk::SizeRequestMode QvSpinHolder::get_request_mode_vfunc() const {
  const Gtk::Widget* child = get_first_child();
  return child ? child->get_request_mode() : Gtk::SizeRequestMode::CONSTANT_SIZE;
}

void QvSpinHolder::measure_vfunc(Gtk::Orientation orientation, int for_size, int& minimum, int& natural,
                                 int& minimum_baseline, int& natural_baseline) const {
  minimum = natural = 0;
  minimum_baseline = natural_baseline = -1;
  if (const Gtk::Widget* child = get_first_child())
    child->measure(orientation, for_size, minimum, natural, minimum_baseline, natural_baseline);
}

void QvSpinHolder::size_allocate_vfunc(int width, int height, int baseline) {
  Gtk::Widget* child = get_first_child();
  if (!child) return;
  const float degrees = Fennix::screenDegrees(*child);
  GskTransform* transform = nullptr;
  if (degrees != 0) {
    const graphene_point_t centre = GRAPHENE_POINT_INIT(float(width) / 2, float(height) / 2);
    const graphene_point_t back = GRAPHENE_POINT_INIT(-centre.x, -centre.y);
    transform = gsk_transform_translate(transform, &centre);
    transform = gsk_transform_rotate(transform, degrees);
    transform = gsk_transform_translate(transform, &back);
  }
  gtk_widget_allocate(child->gobj(), width, height, baseline, transform);  // takes the transform
}

Gtk::Widget& QvViewAnimations::view() const {
  if (auto* animatable = dynamic_cast<UXAnimatableView*>(&baseView_))
    if (Gtk::Widget* animated = animatable->uxAnimatedView()) return *animated;
  return baseView_;
}

Gtk::Widget* QvViewAnimations::animationLayer() const {
  Gtk::Widget& spinning = view();
  if (Fennix::Spin* spin = Fennix::spinOf(spinning)) {
    if (QvSpinHolder* holder = Fennix::holderOf(*spin, spinning)) return holder;
    if (Fennix::turnsItself(spinning)) return &spinning;
  }
  if (!Fennix::turnsItself(spinning) && !Fennix::canHold(spinning)) {
    std::printf("view got no (root) layer ...\n");
    std::fflush(stdout);
  }
  return nullptr;
}

void QvViewAnimations::startRotation(double speed, Direction direction) {
  Gtk::Widget& spinning = view();
  Fennix::Spin* existing = Fennix::spinOf(spinning);
  const bool ownDrawing = Fennix::turnsItself(spinning);
  if (!existing && !ownDrawing && !Fennix::canHold(spinning)) {
    std::printf("startRotation(speed:direction:): view got no layer ...\n");
    std::fflush(stdout);
    return;
  }
  Fennix::Spin& spin = Fennix::makeSpin(spinning);
  // The holder is made once, by the first start, and stays for the view's life.
  if (!ownDrawing && !Fennix::holderOf(spin, spinning)) spin.holder = Fennix::holdInPlace(spinning);
  if (!spin.state.start(speed, direction, Fennix::rotationClock()())) return;
  if (spin.tick == 0) {
    spin.tick = spinning.add_tick_callback([&spinning](const Glib::RefPtr<Gdk::FrameClock>&) {
      Fennix::Spin* current = Fennix::spinOf(spinning);
      if (QvSpinHolder* holder = current ? Fennix::holderOf(*current, spinning) : nullptr)
        holder->queue_allocate();
      else
        spinning.queue_draw();
      if (current && current->state.isRunning(Fennix::rotationClock()())) return true;
      if (current) current->tick = 0;
      return false;
    });
  }
  if (QvSpinHolder* holder = Fennix::holderOf(spin, spinning))
    holder->queue_allocate();
  else
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
  if (QvSpinHolder* holder = Fennix::holderOf(*spin, spinning))
    holder->queue_allocate();
  else
    spinning.queue_draw();
}
