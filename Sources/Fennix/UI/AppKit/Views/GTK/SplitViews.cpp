#include "Fennix/UI/AppKit/Views/GTK/SplitViews.h"

#include <gdkmm/toplevel.h>
#include <gtk/gtk.h>
#include <gtkmm/native.h>
#include <gtkmm/snapshot.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace Fennix {

namespace {
constexpr const char* movableKey = "qv-movable-by-window-background";
}

void setMovableByWindowBackground(Gtk::Window& window, bool movable) {
  g_object_set_data(G_OBJECT(window.gobj()), movableKey, GINT_TO_POINTER(movable ? 1 : 0));
}

bool isMovableByWindowBackground(const Gtk::Widget& view) {
  GtkRoot* root = gtk_widget_get_root(const_cast<GtkWidget*>(view.gobj()));
  return root && GTK_IS_WINDOW(root) && g_object_get_data(G_OBJECT(root), movableKey) != nullptr;
}

bool performWindowDrag(Gtk::Widget& view, const MousePress& press) {
  GtkNative* native = gtk_widget_get_native(view.gobj());
  if (!native || !press.device) return false;
  GdkSurface* surface = gtk_native_get_surface(native);
  if (!GDK_IS_TOPLEVEL(surface)) return false;
  double x = 0, y = 0, surfaceX = 0, surfaceY = 0;
  gtk_widget_translate_coordinates(view.gobj(), GTK_WIDGET(native), press.x, press.y, &x, &y);
  gtk_native_get_surface_transform(native, &surfaceX, &surfaceY);
  gdk_toplevel_begin_move(GDK_TOPLEVEL(surface), press.device, press.button, x + surfaceX, y + surfaceY, press.time);
  return true;
}

namespace {

MousePress pressOf(Gtk::GestureSingle& gesture, double x, double y) {
  MousePress press;
  press.button = int(gesture.get_current_button());
  press.x = x;
  press.y = y;
  press.time = gesture.get_current_event_time();
  press.device = gtk_gesture_get_device(GTK_GESTURE(gesture.gobj()));
  return press;
}

CGRect frameIn(const Gtk::Widget& child, const Gtk::Widget& container) {
  graphene_rect_t bounds;
  if (!gtk_widget_compute_bounds(const_cast<GtkWidget*>(child.gobj()), const_cast<GtkWidget*>(container.gobj()), &bounds))
    return CGRect();
  return CGRect(bounds.origin.x, bounds.origin.y, bounds.size.width, bounds.size.height);
}

}  // namespace

}  // namespace Fennix

// Window-dragging view.

QvWindowDraggingView::QvWindowDraggingView() : Glib::ObjectBase("QvWindowDraggingView") {
  auto drag = Gtk::GestureDrag::create();
  drag->signal_drag_begin().connect([this, gesture = drag.get()](double x, double y) {
    if (mouseDown(Fennix::pressOf(*gesture, x, y)) == Fennix::MouseHandling::platform)
      gesture->set_state(Gtk::EventSequenceState::DENIED);
  });
  drag->signal_drag_update().connect([this, gesture = drag.get()](double, double) {
    if (tracker_.draggingWindow) return;
    if (mouseDragged() == Fennix::MouseHandling::moveWindow) gesture->set_state(Gtk::EventSequenceState::CLAIMED);
  });
  drag->signal_drag_end().connect([this](double, double) { mouseUp(); });
  add_controller(drag);
}

Fennix::MouseHandling QvWindowDraggingView::mouseDown(const Fennix::MousePress& press) {
  return tracker_.mouseDown(Fennix::isMovableByWindowBackground(*this), press);
}

Fennix::MouseHandling QvWindowDraggingView::mouseDragged() {
  const auto handling = tracker_.mouseDragged(Fennix::isMovableByWindowBackground(*this));
  if (handling == Fennix::MouseHandling::moveWindow) Fennix::performWindowDrag(*this, *tracker_.mouseDownEvent);
  return handling;
}

Fennix::MouseHandling QvWindowDraggingView::mouseUp() {
  return tracker_.mouseUp(Fennix::isMovableByWindowBackground(*this));
}

// Split views.

QvDraggableSplitView::QvDraggableSplitView(bool vertical)
    : Glib::ObjectBase("QvDraggableSplitView"), isVertical_(vertical) {
  auto click = Gtk::GestureClick::create();
  click->set_propagation_phase(Gtk::PropagationPhase::CAPTURE);
  click->signal_pressed().connect([this, gesture = click.get()](int, double x, double y) {
    if (mouseDown(Fennix::pressOf(*gesture, x, y)) == Fennix::MouseHandling::moveWindow)
      gesture->set_state(Gtk::EventSequenceState::CLAIMED);
    else
      gesture->set_state(Gtk::EventSequenceState::DENIED);
  });
  add_controller(click);
  // The paned widgets leave with the view.
  signal_destroy().connect([this] {
    if (root_) root_->unparent();
    root_ = last_ = nullptr;
  });
}

QvDraggableSplitView::~QvDraggableSplitView() {
  if (root_) root_->unparent();
}

void QvDraggableSplitView::addArrangedSubview(Gtk::Widget& pane) {
  panes_.push_back(&pane);
  const auto orientation = isVertical_ ? Gtk::Orientation::HORIZONTAL : Gtk::Orientation::VERTICAL;
  if (!root_) {
    root_ = Gtk::make_managed<Gtk::Paned>(orientation);
    root_->set_shrink_start_child(false);
    root_->set_shrink_end_child(false);
    root_->set_parent(*this);
    root_->set_start_child(pane);
    last_ = root_;
    return;
  }
  if (!last_->get_end_child()) {
    last_->set_end_child(pane);
    return;
  }
  // Another pane: the last pane moves into a new paned with it.
  Gtk::Widget* previous = last_->get_end_child();
  previous->reference();
  gtk_paned_set_end_child(last_->gobj(), nullptr);
  auto* nested = Gtk::make_managed<Gtk::Paned>(orientation);
  nested->set_shrink_start_child(false);
  nested->set_shrink_end_child(false);
  nested->set_start_child(*previous);
  previous->unreference();
  nested->set_end_child(pane);
  last_->set_end_child(*nested);
  last_ = nested;
}

std::vector<CGRect> QvDraggableSplitView::paneFrames() const {
  std::vector<CGRect> frames;
  for (const Gtk::Widget* pane : panes_) frames.push_back(Fennix::frameIn(*pane, *this));
  return frames;
}

bool QvDraggableSplitView::shouldMouseDownMoveWindow(const CGPoint& point) const {
  const CGRect bounds(0, 0, get_width(), get_height());
  return Fennix::shouldMouseDownMoveWindow(
      point, Fennix::splitDividerAreas(paneFrames(), bounds, dividerThickness(), dividerClickMargin_, isVertical_), true);
}

Fennix::MouseHandling QvDraggableSplitView::mouseDown(const Fennix::MousePress& press) {
  const bool movable = Fennix::isMovableByWindowBackground(*this);
  const bool moves = qvMouseDownCanMoveWindow_ && movable && shouldMouseDownMoveWindow(CGPoint{press.x, press.y});
  const auto handling = tracker_.mouseDown(qvMouseDownCanMoveWindow_, movable, moves);
  if (handling == Fennix::MouseHandling::moveWindow) Fennix::performWindowDrag(*this, press);
  return handling;
}

void QvDraggableSplitView::measure_vfunc(Gtk::Orientation orientation, int for_size, int& minimum, int& natural,
                                         int& minimum_baseline, int& natural_baseline) const {
  minimum = natural = 0;
  minimum_baseline = natural_baseline = -1;
  if (root_) root_->measure(orientation, for_size, minimum, natural, minimum_baseline, natural_baseline);
}

void QvDraggableSplitView::size_allocate_vfunc(int width, int height, int baseline) {
  if (root_) root_->size_allocate(Gtk::Allocation(0, 0, width, height), baseline);
}

QvSplitViewWithColoredDivider::QvSplitViewWithColoredDivider(bool vertical) : QvDraggableSplitView(vertical) {
  css_ = Gtk::CssProvider::create();
  add_css_class("qv-colored-divider");
  gtk_style_context_add_provider_for_display(gdk_display_get_default(), GTK_STYLE_PROVIDER(css_->gobj()),
                                             GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  updateDividerColor();
  if (GtkSettings* settings = gtk_settings_get_default()) {
    auto changed = +[](GObject*, GParamSpec*, gpointer view) {
      static_cast<QvSplitViewWithColoredDivider*>(view)->updateDividerColor();
    };
    g_signal_connect_object(settings, "notify::gtk-application-prefer-dark-theme", G_CALLBACK(changed), gobj(),
                            GConnectFlags(0));
  }
}

std::optional<NSColor> QvSplitViewWithColoredDivider::dividerColor() const {
  if (Fennix::isDarkMode(*this)) return std::nullopt;
  return NSColor::lightGrayColor();
}

void QvSplitViewWithColoredDivider::updateDividerColor() {
  std::string css;
  if (auto color = dividerColor()) {
    char rgb[64];
    std::snprintf(rgb, sizeof rgb, "rgba(%d,%d,%d,%.3f)", int(color->redComponent() * 255 + 0.5),
                  int(color->greenComponent() * 255 + 0.5), int(color->blueComponent() * 255 + 0.5),
                  color->alphaComponent());
    css = std::string(".qv-colored-divider paned > separator { background: none; background-color: ") + rgb + "; }";
  }
  css_->load_from_data(css);
}

QvSidelineDragView::QvSidelineDragView() : Glib::ObjectBase("QvSidelineDragView") {}

// Divider view.

std::vector<Fennix::DividedSubview> QvSubviewDividerView::dividedSubviews() {
  std::vector<Fennix::DividedSubview> subviews;
  for (Gtk::Widget* child = holder().get_first_child(); child; child = child->get_next_sibling()) {
    Fennix::DividedSubview subview{Fennix::frameIn(*child, *this), std::nullopt};
    if (!child->get_name().empty()) subview.identifier = child->get_name();
    subviews.push_back(subview);
  }
  return subviews;
}

NSColor QvSubviewDividerView::dividerColor() const {
  if (dividerColor_) return *dividerColor_;
  if (Fennix::isDarkMode(*this)) return NSColor::fromRGBA(0xffffff1a);  // separator colour of dark looks
  return NSColor::lightGrayColor();
}

void QvSubviewDividerView::snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) {
  QvViewBase::snapshot_vfunc(snapshot);
  bool isFirst = true;
  for (const auto& subview : dividedSubviews()) {
    if (subview.identifier == SpacerID || subview.identifier == TitleID) continue;
    if (!isFirst) drawSpacer(snapshot, subview);
    isFirst = false;
  }
}

void QvSubviewDividerView::drawSpacer(const Glib::RefPtr<Gtk::Snapshot>& snapshot,
                                      const Fennix::DividedSubview& subview) {
  const auto line = Fennix::dividerLine(subview.frame, isVertical_, fullWidth_, dividerPadding_, isFlipped());
  // A line one point wide centred on the line's coordinates.
  const float x = float(std::min(line.from.x, line.to.x)), y = float(std::min(line.from.y, line.to.y));
  const float width = isVertical_ ? 1.f : float(std::abs(line.to.x - line.from.x));
  const float height = isVertical_ ? float(std::abs(line.to.y - line.from.y)) : 1.f;
  const graphene_rect_t rect = GRAPHENE_RECT_INIT(isVertical_ ? x - 0.5f : x, isVertical_ ? y : y - 0.5f, width, height);
  const Gdk::RGBA color = Fennix::rgba(dividerColor());
  gtk_snapshot_save(snapshot->gobj());
  gtk_snapshot_append_color(snapshot->gobj(), color.gobj(), &rect);
  gtk_snapshot_restore(snapshot->gobj());
}
