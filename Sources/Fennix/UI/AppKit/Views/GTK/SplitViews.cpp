#include "Fennix/UI/AppKit/Views/GTK/SplitViews.h"

#include <gdkmm/toplevel.h>
#include <gtk/gtk.h>
#include <gtkmm/eventcontrollerlegacy.h>
#include <gtkmm/native.h>
#include <gtkmm/snapshot.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "Fennix/UI/Common/AutoLayout.h"
#include "Fennix/UI/Common/Views/FactoryLogic.h"

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
  // The split view decides about each press before the views under the pointer: a press within
  // the click margin of a divider drags that divider, one that a control in a pane takes stays
  // the control's, and any other may move the window. The paned widgets' own handles, wider on
  // one side than the other, see a press only when the window may not be moved this way.
  auto drag = Gtk::GestureDrag::create();
  drag->set_propagation_phase(Gtk::PropagationPhase::CAPTURE);
  drag->signal_drag_begin().connect([this, gesture = drag.get()](double x, double y) {
    draggedDivider_ = -1;
    const auto deny = [&] {
      tracker_.isMovingWindow = false;
      gesture->set_state(Gtk::EventSequenceState::DENIED);
    };
    if (!qvMouseDownCanMoveWindow_ || !Fennix::isMovableByWindowBackground(*this)) return deny();
    if (const long divider = dividerAt(CGPoint{x, y}); divider >= 0) {
      tracker_.isMovingWindow = false;
      draggedDivider_ = divider;
      dragStart_ = dividers_[static_cast<std::size_t>(divider)]->get_position();
      gesture->set_state(Gtk::EventSequenceState::CLAIMED);
      return;
    }
    // A press the split view leaves alone keeps its state, so that whoever takes it ends it; the
    // split view never hears of it.
    if (subviewTakesPress(x, y, gesture->get_current_button())) {
      gesture->set_state(Gtk::EventSequenceState::DENIED);
      return;
    }
    if (mouseDown(Fennix::pressOf(*gesture, x, y)) == Fennix::MouseHandling::moveWindow) {
      gesture->set_state(Gtk::EventSequenceState::CLAIMED);
      // The window system follows the pointer from here and keeps the release.
      gesture->reset();
    }
  });
  drag->signal_drag_update().connect([this](double dx, double dy) {
    if (draggedDivider_ < 0 || static_cast<std::size_t>(draggedDivider_) >= dividers_.size()) return;
    // A window move set going meanwhile takes the pointer: the divider stays where it is.
    if (mouseDragged() != Fennix::MouseHandling::platform) return;
    const double moved = isVertical_ ? dx : dy;
    dividers_[static_cast<std::size_t>(draggedDivider_)]->set_position(static_cast<int>(std::lround(dragStart_ + moved)));
  });
  drag->signal_drag_end().connect([this](double, double) { draggedDivider_ = -1; });
  add_controller(drag);
  // Where the window may not be moved, the paned widgets' own gestures drag the dividers: from the
  // divider and from a band on either side of it, which reaches over the panes beside it (and is
  // wider for touch). Once a window move is under way, the pointer's moves no longer reach a
  // divider that one of them drags, however the drag began.
  auto held = Gtk::EventControllerLegacy::create();
  held->set_propagation_phase(Gtk::PropagationPhase::CAPTURE);
  held->signal_event().connect(
      [this](const Glib::RefPtr<const Gdk::Event>& event) {
        const auto type = event->get_event_type();
        if (type != Gdk::Event::Type::MOTION_NOTIFY && type != Gdk::Event::Type::TOUCH_UPDATE) return false;
        return mouseDragged() != Fennix::MouseHandling::platform &&
               isDividerDragged(gdk_event_get_event_sequence(const_cast<GdkEvent*>(event->gobj())));
      },
      false);
  add_controller(held);
  // The paned widgets leave with the view; the panes are no longer arranged by it.
  signal_destroy().connect([this] {
    detachPanes();
    panes_.clear();
  });
}

QvDraggableSplitView::~QvDraggableSplitView() { detachPanes(); }

bool QvDraggableSplitView::isDividerDragged(GdkEventSequence* sequence) const {
  // A paned widget's gesture that claimed the pointer's (or the touch's) sequence drags its divider.
  for (Gtk::Paned* paned : dividers_) {
    auto controllers = paned->observe_controllers();
    bool dragged = false;
    for (guint index = 0, count = controllers->get_n_items(); index < count && !dragged; ++index) {
      auto* controller = static_cast<GtkEventController*>(g_list_model_get_item(controllers->gobj(), index));
      dragged = GTK_IS_GESTURE(controller) &&
                gtk_gesture_get_sequence_state(GTK_GESTURE(controller), sequence) == GTK_EVENT_SEQUENCE_CLAIMED;
      g_object_unref(controller);
    }
    if (dragged) return true;
  }
  return false;
}

Gtk::Paned* QvDraggableSplitView::makePaned() {
  auto* paned = Gtk::make_managed<Gtk::Paned>(isVertical_ ? Gtk::Orientation::HORIZONTAL : Gtk::Orientation::VERTICAL);
  paned->set_wide_handle(false);
  paned->set_shrink_start_child(false);
  paned->set_shrink_end_child(false);
  const long index = static_cast<long>(dividers_.size());
  paned->property_position().signal_changed().connect([this, paned, index] { dividerMoved(*paned, index); });
  dividers_.push_back(paned);
  return paned;
}

void QvDraggableSplitView::detachPanes() {
  if (dividers_.empty()) return;
  // A pane that nothing else holds goes with its paned widget: it is no longer arranged first.
  for (Gtk::Widget* pane : panes_) Fennix::setArrangingContainer(*pane, nullptr);
  // Innermost first, so that each paned widget is empty when its container lets it go.
  for (auto divider = dividers_.rbegin(); divider != dividers_.rend(); ++divider) {
    gtk_paned_set_end_child((*divider)->gobj(), nullptr);
    gtk_paned_set_start_child((*divider)->gobj(), nullptr);
  }
  Gtk::Paned* root = dividers_.front();
  dividers_.clear();
  root->unparent();
}

void QvDraggableSplitView::addArrangedSubview(Gtk::Widget& pane) {
  if (std::find(panes_.begin(), panes_.end(), &pane) != panes_.end()) return;
  panes_.push_back(&pane);
  Fennix::setArrangingContainer(pane, this);
  if (dividers_.empty()) {
    Gtk::Paned* root = makePaned();
    root->set_parent(*this);
    root->set_start_child(pane);
  } else if (Gtk::Paned* last = dividers_.back(); !last->get_end_child()) {
    last->set_end_child(pane);
  } else {
    // Another pane: the last pane moves into a new paned with it.
    Gtk::Widget* previous = last->get_end_child();
    previous->reference();
    gtk_paned_set_end_child(last->gobj(), nullptr);
    Gtk::Paned* nested = makePaned();
    nested->set_start_child(*previous);
    previous->unreference();
    nested->set_end_child(pane);
    last->set_end_child(*nested);
  }
  applyHoldingPriorities();
  queue_resize();
}

void QvDraggableSplitView::removeArrangedSubview(Gtk::Widget& pane) {
  if (std::find(panes_.begin(), panes_.end(), &pane) == panes_.end()) return;
  const std::vector<Gtk::Widget*> before = panes_;
  for (Gtk::Widget* kept : before) kept->reference();  // while the paned widgets are rebuilt
  detachPanes();
  panes_.clear();
  wanted_.erase(&pane);
  for (Gtk::Widget* kept : before)
    if (kept != &pane) addArrangedSubview(*kept);
  for (Gtk::Widget* kept : before) kept->unreference();
  queue_resize();
}

Gtk::Paned* QvDraggableSplitView::divider(long index) const {
  if (index < 0 || panes_.size() < 2 || index >= static_cast<long>(panes_.size()) - 1) return nullptr;
  return dividers_[static_cast<std::size_t>(index)];
}

void QvDraggableSplitView::setHoldingPriority(long index, NSLayoutPriority priority) {
  holdingPriorities_[index] = priority;
  applyHoldingPriorities();
}

NSLayoutPriority QvDraggableSplitView::holdingPriority(long index) const {
  auto found = holdingPriorities_.find(index);
  return found == holdingPriorities_.end() ? NSLayoutPriorityDefaultLow : found->second;
}

void QvDraggableSplitView::applyHoldingPriorities() {
  // Each divider splits the panes into those before it and those after it: the side holding the
  // pane of the lowest priority resizes (both sides when they tie).
  const long count = static_cast<long>(panes_.size());
  for (long index = 0; index + 1 < count; ++index) {
    const NSLayoutPriority start = holdingPriority(index);
    NSLayoutPriority end = holdingPriority(index + 1);
    for (long later = index + 2; later < count; ++later) end = std::min(end, holdingPriority(later));
    Gtk::Paned* paned = dividers_[static_cast<std::size_t>(index)];
    paned->set_resize_start_child(start <= end);
    paned->set_resize_end_child(end <= start);
  }
}

std::vector<CGRect> QvDraggableSplitView::paneFrames() const {
  std::vector<CGRect> frames;
  for (const Gtk::Widget* pane : panes_) frames.push_back(Fennix::frameIn(*pane, *this));
  return frames;
}

Fennix::LayoutHost::Frame QvDraggableSplitView::arrangedFrame(const Gtk::Widget& pane) const {
  const CGRect bounds = Fennix::frameIn(pane, *this);
  Fennix::LayoutHost::Frame frame{bounds.origin.x, bounds.origin.y, bounds.size.width, bounds.size.height};
  // A length asked for and not laid out yet is the pane's length already.
  if (auto found = wanted_.find(const_cast<Gtk::Widget*>(&pane)); found != wanted_.end())
    (isVertical_ ? frame.width : frame.height) = found->second;
  return frame;
}

void QvDraggableSplitView::setArrangedFrame(Gtk::Widget& pane, const Fennix::LayoutHost::Frame& frame) {
  if (std::find(panes_.begin(), panes_.end(), &pane) == panes_.end()) return;
  const double length = isVertical_ ? frame.width : frame.height;
  if (!(length >= 0) || length > 1e6) return;
  wanted_[&pane] = length;
  if (!allocating_) queue_allocate();
}

void QvDraggableSplitView::applyWantedLengths(int length) {
  const auto& wanted = wanted_;
  const std::size_t count = panes_.size();
  if (count < 2) return;
  const double thickness = dividerThickness();
  std::vector<double> positions;
  for (std::size_t index = 0; index + 1 < count; ++index) positions.push_back(dividers_[index]->get_position());
  // A pane before the last is the start of its divider's paned: its length is the position.
  for (std::size_t index = 0; index + 1 < count; ++index)
    if (auto found = wanted.find(panes_[index]); found != wanted.end()) positions[index] = found->second;
  // The last pane ends the last paned, which starts after the dividers before it.
  if (auto found = wanted.find(panes_.back()); found != wanted.end()) {
    double start = 0;
    for (std::size_t index = 0; index + 2 < count; ++index) start += positions[index] + thickness;
    positions.back() = length - start - thickness - found->second;
  }
  for (std::size_t index = 0; index + 1 < count; ++index)
    dividers_[index]->set_position(static_cast<int>(std::lround(std::max(0.0, positions[index]))));
}

void QvDraggableSplitView::dividerMoved(Gtk::Paned& paned, long index) {
  auto delegate = delegate_.lock();
  if (allocating_ || !delegate || !paned.property_position_set().get_value() || get_width() <= 0) return;
  if (divider(index) != &paned) return;
  // The divider's position in this view: the start of its paned widget plus its own.
  double originX = 0, originY = 0;
  if (!paned.translate_coordinates(*this, 0, 0, originX, originY)) return;
  const double origin = isVertical_ ? originX : originY;
  const double proposed = origin + paned.get_position();
  double limited = delegate->constrainMinCoordinate(Fennix::item(*this), proposed, index);
  limited = delegate->constrainMaxCoordinate(Fennix::item(*this), limited, index);
  const int position = static_cast<int>(std::lround(limited - origin));
  if (position != paned.get_position()) paned.set_position(position);
}

bool QvDraggableSplitView::subviewTakesPress(double x, double y, unsigned button) {
  // The views between the one under the pointer and this view, less the dividers' own paned
  // widgets (whose handles are left to the divider areas): one with a gesture that hears this
  // button of the pointer takes the press.
  for (Gtk::Widget* view = pick(x, y, Gtk::PickFlags::DEFAULT); view && view != this; view = view->get_parent()) {
    if (std::find(dividers_.begin(), dividers_.end(), view) != dividers_.end() || !view->is_sensitive()) continue;
    auto controllers = view->observe_controllers();
    for (guint index = 0, count = controllers->get_n_items(); index < count; ++index) {
      auto* controller = static_cast<GtkEventController*>(g_list_model_get_item(controllers->gobj(), index));
      bool takes = false;
      if (GTK_IS_GESTURE_SINGLE(controller) &&
          gtk_event_controller_get_propagation_phase(controller) != GTK_PHASE_NONE) {
        auto* single = GTK_GESTURE_SINGLE(controller);
        const guint heard = gtk_gesture_single_get_button(single);
        takes = !gtk_gesture_single_get_touch_only(single) && (heard == 0 || heard == button);
      }
      g_object_unref(controller);
      if (takes) return true;
    }
  }
  return false;
}

long QvDraggableSplitView::dividerAt(const CGPoint& point) const {
  const CGRect bounds(0, 0, get_width(), get_height());
  const auto areas =
      Fennix::splitDividerAreas(paneFrames(), bounds, dividerThickness(), dividerClickMargin_, isVertical_);
  for (std::size_t index = 0; index < areas.size() && index < dividers_.size(); ++index)
    if (!Fennix::shouldMouseDownMoveWindow(point, {areas[index]}, true)) return static_cast<long>(index);
  return -1;
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
  if (Gtk::Paned* paned = root())
    paned->measure(orientation, for_size, minimum, natural, minimum_baseline, natural_baseline);
}

void QvDraggableSplitView::size_allocate_vfunc(int width, int height, int baseline) {
  const int oldWidth = allocatedWidth_, oldHeight = allocatedHeight_;
  const bool resized = oldWidth > 0 && (width != oldWidth || height != oldHeight);
  allocatedWidth_ = width;
  allocatedHeight_ = height;
  // Moves of the dividers from here on are this view's own, not the user's.
  allocating_ = true;
  if (resized)
    if (auto delegate = delegate_.lock()) delegate->resizeSubviewsWithOldSize(Fennix::item(*this), oldWidth, oldHeight);
  if (Gtk::Paned* paned = root()) {
    const Gtk::Allocation allocation(0, 0, width, height);
    paned->size_allocate(allocation, baseline);
    // A paned widget moves its divider by the change of its own size as it is laid out: the
    // lengths asked for go in after that, and the panes are laid out again, once per nesting
    // level, until every paned widget keeps its size and so its divider.
    if (!wanted_.empty())
      for (std::size_t pass = 0; pass < dividers_.size(); ++pass) {
        applyWantedLengths(isVertical_ ? width : height);
        paned->size_allocate(allocation, baseline);
      }
  }
  wanted_.clear();
  allocating_ = false;
}

QvSplitViewWithColoredDivider::QvSplitViewWithColoredDivider(bool vertical) : QvDraggableSplitView(vertical) {
  dividerStyle();
  add_css_class("qv-colored-divider");
  updateDividerColor();
  if (GtkSettings* settings = gtk_settings_get_default()) {
    // The handler is given the split view's toolkit object, whose wrapper is the split view.
    auto changed = +[](GObject*, GParamSpec*, gpointer view) {
      auto* wrapper = Glib::ObjectBase::_get_current_wrapper(G_OBJECT(view));
      if (auto* split = dynamic_cast<QvSplitViewWithColoredDivider*>(wrapper)) split->updateDividerColor();
    };
    g_signal_connect_object(settings, "notify::gtk-application-prefer-dark-theme", G_CALLBACK(changed), gobj(),
                            GConnectFlags(0));
  }
}

Glib::RefPtr<Gtk::CssProvider> QvSplitViewWithColoredDivider::dividerStyle() {
  // One provider for the display, made with the first split view and kept for the process.
  static auto* style = [] {
    auto* provider = new Glib::RefPtr<Gtk::CssProvider>(Gtk::CssProvider::create());
    const NSColor color = NSColor::lightGrayColor();
    char rgb[64];
    std::snprintf(rgb, sizeof rgb, "rgba(%d,%d,%d,%.3f)", int(color.redComponent() * 255 + 0.5),
                  int(color.greenComponent() * 255 + 0.5), int(color.blueComponent() * 255 + 0.5),
                  color.alphaComponent());
    // The theme draws the line as a one-point image inside the separator's wider grab area.
    (*provider)->load_from_data(std::string(".qv-colored-divider.qv-light-divider paned > separator "
                                            "{ background-image: image(") +
                                rgb + "); }");
    if (GdkDisplay* display = gdk_display_get_default())
      gtk_style_context_add_provider_for_display(display, GTK_STYLE_PROVIDER((*provider)->gobj()),
                                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    return provider;
  }();
  return *style;
}

std::optional<NSColor> QvSplitViewWithColoredDivider::dividerColor() const {
  if (Fennix::isDarkMode(*this)) return std::nullopt;
  return NSColor::lightGrayColor();
}

void QvSplitViewWithColoredDivider::updateDividerColor() {
  if (dividerColor())
    add_css_class("qv-light-divider");
  else
    remove_css_class("qv-light-divider");
}

namespace Fennix {
namespace {

QvDraggableSplitView* splitOf(LayoutItem view) { return dynamic_cast<QvDraggableSplitView*>(widget(view)); }

class SplitViewKitGTK : public SplitViewKit {
 public:
  LayoutItem makeSplitView() override {
    auto* split = Gtk::make_managed<QvSplitViewWithColoredDivider>(true);
    split->set_hexpand(true);
    split->set_vexpand(true);
    return item(*split);
  }
  void setDelegate(LayoutItem splitView, std::weak_ptr<SplitViewDelegate> delegate) override {
    if (auto* split = splitOf(splitView)) split->setDelegate(std::move(delegate));
  }
  void setHoldingPriority(LayoutItem splitView, long index, NSLayoutPriority priority) override {
    if (auto* split = splitOf(splitView)) split->setHoldingPriority(index, priority);
  }
  NSLayoutPriority holdingPriority(LayoutItem splitView, long index) const override {
    auto* split = splitOf(splitView);
    return split ? split->holdingPriority(index) : NSLayoutPriorityDefaultLow;
  }
  double dividerThickness(LayoutItem splitView) const override {
    auto* split = splitOf(splitView);
    return split ? split->dividerThickness() : 1;
  }
};

}  // namespace

void installSplitViewKitGTK() {
  installToolkitLayoutHost();
  if (!splitViewKit()) setSplitViewKit(std::make_shared<SplitViewKitGTK>());
}

}  // namespace Fennix

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

// Stack views.

QvStackView::QvStackView(Gtk::Orientation orientation) : Gtk::Box(orientation) {
  signal_map().connect([this] { watchLayout(true); });
  signal_unmap().connect([this] { watchLayout(false); });
}

QvStackView::~QvStackView() {
  watchLayout(false);
  if (children_) {
    g_signal_handlers_disconnect_by_data(children_, this);
    g_object_unref(children_);
  }
}

namespace {

Gtk::Align alignOf(NSLayoutAttribute attribute) {
  switch (attribute) {
    case NSLayoutAttribute::leading:
    case NSLayoutAttribute::left:
    case NSLayoutAttribute::top:
      return Gtk::Align::START;
    case NSLayoutAttribute::trailing:
    case NSLayoutAttribute::right:
    case NSLayoutAttribute::bottom:
      return Gtk::Align::END;
    case NSLayoutAttribute::centerX:
    case NSLayoutAttribute::centerY:
      return Gtk::Align::CENTER;
    case NSLayoutAttribute::firstBaseline:
    case NSLayoutAttribute::lastBaseline:
      return Gtk::Align::BASELINE;
    default:
      return Gtk::Align::FILL;
  }
}

}  // namespace

void QvStackView::setAlignment(std::optional<NSLayoutAttribute> alignment) {
  alignment_ = alignment;
  if (!alignment_) return;
  for (Gtk::Widget* child = get_first_child(); child; child = child->get_next_sibling()) align(*child);
  if (children_) return;
  // Views come by any road (the box's own append, the layout host): each is aligned as it comes.
  children_ = gtk_widget_observe_children(GTK_WIDGET(gobj()));
  g_signal_connect_swapped(children_, "items-changed",
                           G_CALLBACK(+[](QvStackView* stack, guint position, guint, guint added) {
                             for (guint i = position; i < position + added; ++i) {
                               auto* child = static_cast<GtkWidget*>(g_list_model_get_item(stack->children_, i));
                               if (!child) continue;
                               stack->align(*Glib::wrap(child));
                               g_object_unref(child);
                             }
                           }),
                           this);
}

void QvStackView::align(Gtk::Widget& view) const {
  if (!alignment_) return;
  if (get_orientation() == Gtk::Orientation::VERTICAL)
    view.set_halign(alignOf(*alignment_));
  else
    view.set_valign(alignOf(*alignment_));
}

void QvStackView::watchLayout(bool watch) {
  if (clock_) {
    g_signal_handler_disconnect(clock_, layoutHandler_);
    g_object_unref(clock_);
    clock_ = nullptr;
    layoutHandler_ = 0;
  }
  if (!watch || !gobj()) return;
  // The window lays itself out in the layout phase of its frame clock; the views are placed
  // again after it, before the frame is drawn.
  if (GdkFrameClock* clock = gtk_widget_get_frame_clock(GTK_WIDGET(gobj()))) {
    clock_ = GDK_FRAME_CLOCK(g_object_ref(clock));
    layoutHandler_ = g_signal_connect_data(
        clock_, "layout", G_CALLBACK(+[](QvStackView* stack) { stack->placeViews(); }), this, nullptr,
        GConnectFlags(G_CONNECT_SWAPPED | G_CONNECT_AFTER));
    gdk_frame_clock_request_phase(clock_, GDK_FRAME_CLOCK_PHASE_LAYOUT);
  }
}

void QvStackView::setDistribution(NSStackViewDistribution distribution) {
  distribution_ = distribution;
  set_homogeneous(distribution == NSStackViewDistribution::fillEqually);
  queue_allocate();
}

void QvStackView::placeViews() {
  const int width = get_width(), height = get_height();
  if (width <= 0 || height <= 0) return;
  const bool across = get_orientation() == Gtk::Orientation::HORIZONTAL;
  std::vector<Gtk::Widget*> views;
  std::vector<Fennix::StackMember> members;
  bool expands = false;
  for (Gtk::Widget* child = get_first_child(); child; child = child->get_next_sibling()) {
    if (!child->get_visible()) continue;
    int minimum = 0, natural = 0, minimumBaseline = -1, naturalBaseline = -1;
    child->measure(get_orientation(), across ? height : width, minimum, natural, minimumBaseline, naturalBaseline);
    const Fennix::LayoutItem item = Fennix::item(*child);
    members.push_back({double(minimum), double(natural), across ? hHug(item) : vHug(item)});
    views.push_back(child);
    expands = expands || child->compute_expand(get_orientation());
  }
  switch (distribution_) {
    case NSStackViewDistribution::gravityAreas:
    case NSStackViewDistribution::fillEqually:
      return;  // the box's own layout
    case NSStackViewDistribution::fill:
      if (expands) return;  // the box gives the spare room to the views that expand
      break;
    default:
      break;
  }
  const auto slots = Fennix::stackSlots(distribution_, members, across ? width : height, get_spacing());
  const bool rightToLeft = across && get_direction() == Gtk::TextDirection::RTL;
  for (std::size_t i = 0; i < views.size(); ++i) {
    const int offset = int(std::lround(slots[i].offset));
    const int length = int(std::lround(slots[i].offset + slots[i].length)) - offset;
    const int start = rightToLeft ? width - offset - length : offset;
    const Gtk::Allocation allocation =
        across ? Gtk::Allocation(start, 0, length, height) : Gtk::Allocation(0, start, width, length);
    views[i]->size_allocate(allocation, -1);
  }
}
