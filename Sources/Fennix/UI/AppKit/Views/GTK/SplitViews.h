// Views that move their window, split views, the side-line drag strip, the view that draws
// dividers between its subviews, and the stack views of the view factory.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/cssprovider.h>
#include <gtkmm/gestureclick.h>
#include <gtkmm/gesturedrag.h>
#include <gtkmm/paned.h>
#include <gtkmm/window.h>

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "Fennix/UI/Common/GTK/LayoutHostGTK.h"
#include "Fennix/UI/Common/StackViewTypes.h"
#include "Fennix/UI/Common/Views/DragLogic.h"
#include "Fennix/UI/Common/Views/GTK/ViewBase.h"
#include "Fennix/UI/Common/Views/SplitViewDelegate.h"

namespace Fennix {

/// Whether a press on the window's background may move it (off unless set).
void setMovableByWindowBackground(Gtk::Window& window, bool movable);
/// For the window of `view`; false without a window.
bool isMovableByWindowBackground(const Gtk::Widget& view);

/// A press that may start a window move.
struct MousePress {
  int button = 1;
  double x = 0, y = 0;  ///< in the view's coordinates
  guint32 time = 0;
  GdkDevice* device = nullptr;
};

/// Asks the window of `view` to follow the pointer from `press`; whether it could.
bool performWindowDrag(Gtk::Widget& view, const MousePress& press);

}  // namespace Fennix

/// A view whose press and drag move its window (when the window is movable by its background).
class QvWindowDraggingView : public Gtk::Widget {
 public:
  QvWindowDraggingView();
  bool acceptsFirstMouse() const { return true; }
  bool mouseDownCanMoveWindow() const { return true; }
  const Fennix::WindowDragTracker<Fennix::MousePress>& tracker() const { return tracker_; }

  // The three events; what the view did with each. Public so that events can be replayed.
  Fennix::MouseHandling mouseDown(const Fennix::MousePress& press);
  Fennix::MouseHandling mouseDragged();
  Fennix::MouseHandling mouseUp();

 private:
  Fennix::WindowDragTracker<Fennix::MousePress> tracker_;
};

/// A split view whose presses away from the dividers move the window. Panes are nested paned
/// widgets, one per divider: divider i is the paned whose start is pane i. The panes are its
/// subviews for the layout host; a pane's frame set through the host moves the dividers beside it.
class QvDraggableSplitView : public Gtk::Widget, public Fennix::ArrangingContainer {
 public:
  explicit QvDraggableSplitView(bool vertical = true);
  ~QvDraggableSplitView() override;

  /// Side by side (true) or stacked.
  bool isVertical() const { return isVertical_; }
  void addArrangedSubview(Gtk::Widget& pane) override;
  void removeArrangedSubview(Gtk::Widget& pane) override;
  std::vector<Gtk::Widget*> arrangedSubviews() const override { return panes_; }
  Fennix::LayoutHost::Frame arrangedFrame(const Gtk::Widget& pane) const override;
  /// Moves the dividers beside the pane so that it gets the frame's length along the dividers'
  /// axis (at the next layout, when the split view has none yet).
  void setArrangedFrame(Gtk::Widget& pane, const Fennix::LayoutHost::Frame& frame) override;

  /// Asked where a dragged divider may go, and to resize the panes when this view's size changes.
  void setDelegate(std::weak_ptr<Fennix::SplitViewDelegate> delegate) { delegate_ = std::move(delegate); }
  /// The panes of the lowest holding priority take the changes of this view's size.
  void setHoldingPriority(long index, NSLayoutPriority priority);
  NSLayoutPriority holdingPriority(long index) const;
  /// The paned widget of divider `index`; null past the last divider.
  Gtk::Paned* divider(long index) const;

  bool qvMouseDownCanMoveWindow() const { return qvMouseDownCanMoveWindow_; }
  void setQvMouseDownCanMoveWindow(bool can) { qvMouseDownCanMoveWindow_ = can; }
  double dividerClickMargin() const { return dividerClickMargin_; }
  void setDividerClickMargin(double margin) { dividerClickMargin_ = margin; }
  bool isMovingWindow() const { return tracker_.isMovingWindow; }
  /// While set, drags of the pointer are left to the window system's move: a divider being
  /// dragged stays where it is.
  void setIsMovingWindow(bool moving) { tracker_.isMovingWindow = moving; }
  double dividerThickness() const { return 1; }

  /// Whether a press at `point` (this view's coordinates) moves the window.
  virtual bool shouldMouseDownMoveWindow(const CGPoint& point) const;
  /// The divider whose click margin holds `point`; −1 for none.
  long dividerAt(const CGPoint& point) const;
  /// Whether a view under the point (this view's coordinates) takes a press of the pointer
  /// button itself (a control); such a press never reaches the split view.
  bool subviewTakesPress(double x, double y, unsigned button);
  /// A press; moveWindow when it moved the window, platform when it goes to the dividers.
  Fennix::MouseHandling mouseDown(const Fennix::MousePress& press);
  Fennix::MouseHandling mouseDragged() const { return tracker_.mouseDragged(); }

  /// The frames of the panes in this view's coordinates.
  std::vector<CGRect> paneFrames() const;

 protected:
  void measure_vfunc(Gtk::Orientation orientation, int for_size, int& minimum, int& natural, int& minimum_baseline,
                     int& natural_baseline) const override;
  void size_allocate_vfunc(int width, int height, int baseline) override;
  Gtk::Paned* root() const { return dividers_.empty() ? nullptr : dividers_.front(); }

 private:
  Gtk::Paned* makePaned();
  void detachPanes();
  /// Whether the toolkit drags a divider with the pointer's or a touch's `sequence`.
  bool isDividerDragged(GdkEventSequence* sequence) const;
  void applyHoldingPriorities();
  /// Puts the dividers where the wanted lengths of panes need them, for a view of `length`.
  void applyWantedLengths(int length);
  /// A divider the user (or the application) moved: the delegate may move it back into bounds.
  void dividerMoved(Gtk::Paned& paned, long index);

  bool isVertical_;
  bool qvMouseDownCanMoveWindow_ = true;
  double dividerClickMargin_ = 4;
  Fennix::SplitViewDragTracker tracker_;
  /// The divider a press within its margin drags, and where it was at the press; −1 for none.
  long draggedDivider_ = -1;
  double dragStart_ = 0;
  /// The paned widgets, outermost first: divider i is the one that starts with pane i.
  std::vector<Gtk::Paned*> dividers_;
  std::vector<Gtk::Widget*> panes_;
  std::weak_ptr<Fennix::SplitViewDelegate> delegate_;
  std::map<long, NSLayoutPriority> holdingPriorities_;
  /// Lengths asked for panes by frame, by pane, until the next layout puts them in place.
  std::map<Gtk::Widget*, double> wanted_;
  int allocatedWidth_ = 0, allocatedHeight_ = 0;
  /// Set while this view lays out its panes (dividers moved then are not the user's).
  bool allocating_ = false;
};

/// A split view whose divider is light grey in a light appearance.
class QvSplitViewWithColoredDivider : public QvDraggableSplitView {
 public:
  explicit QvSplitViewWithColoredDivider(bool vertical = true);
  /// The divider's colour in the current appearance; none for the toolkit's own.
  std::optional<NSColor> dividerColor() const;
  /// Applies the colour again (after an appearance change).
  void updateDividerColor();
  /// The one style of all such split views, added to the display with the first of them.
  static Glib::RefPtr<Gtk::CssProvider> dividerStyle();
};

namespace Fennix {

/// Installs the toolkit's split views for controllers (once).
void installSplitViewKitGTK();

}  // namespace Fennix

/// A thin strip over a pane's edge that behaves like the view beneath it: it handles no press or
/// drag itself, so they reach its superview.
class QvSidelineDragView : public Gtk::Widget {
 public:
  QvSidelineDragView();
};

/// A container that draws a line between its content subviews; subviews named "spacer" or
/// "title" get no line and do not count.
class QvSubviewDividerView : public QvViewBase {
 public:
  static constexpr const char* SpacerID = Fennix::dividerSpacerID;
  static constexpr const char* TitleID = Fennix::dividerTitleID;

  bool isFlipped() const override { return true; }
  bool isVertical() const { return isVertical_; }
  void setVertical(bool vertical) { isVertical_ = vertical, queue_draw(); }
  bool fullWidth() const { return fullWidth_; }
  void setFullWidth(bool full) { fullWidth_ = full, queue_draw(); }
  double dividerPadding() const { return dividerPadding_; }
  void setDividerPadding(double padding) { dividerPadding_ = padding, queue_draw(); }
  void setDividerColor(std::optional<NSColor> color) { dividerColor_ = std::move(color), queue_draw(); }

  /// The subviews as the lines see them.
  std::vector<Fennix::DividedSubview> dividedSubviews();
  /// The line colour: the set one, else by appearance.
  NSColor dividerColor() const;

 protected:
  void snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) override;
  /// Draws the line of one subview.
  virtual void drawSpacer(const Glib::RefPtr<Gtk::Snapshot>& snapshot, const Fennix::DividedSubview& subview);

 private:
  bool isVertical_ = false;
  bool fullWidth_ = true;
  double dividerPadding_ = 2;
  std::optional<NSColor> dividerColor_;
};

/// A box that places its views along its axis by a distribution (see `Fennix::stackSlots`); across
/// the axis each view takes the box's breadth, placed by its own alignment. The box lays its views
/// out as the toolkit's box does (packed from the start, spare room to the views that expand, or
/// all alike); the distributions it has no such layout for are placed again once the toolkit has
/// laid out the window: fill when no view expands, fill proportionally, equal spacing and equal
/// centering.
class QvStackView : public Gtk::Box {
 public:
  explicit QvStackView(Gtk::Orientation orientation);
  ~QvStackView() override;
  NSStackViewDistribution distribution() const { return distribution_; }
  void setDistribution(NSStackViewDistribution distribution);
  /// How the views sit across the axis (leading, centre, trailing, baseline); none leaves each
  /// view's own. It holds for the views there and every view added later.
  std::optional<NSLayoutAttribute> alignment() const { return alignment_; }
  void setAlignment(std::optional<NSLayoutAttribute> alignment);
  /// Places the views by the distribution, where the toolkit's box layout does not.
  void placeViews();

 private:
  void watchLayout(bool watch);
  void align(Gtk::Widget& view) const;

  NSStackViewDistribution distribution_ = NSStackViewDistribution::gravityAreas;
  std::optional<NSLayoutAttribute> alignment_;
  /// The box's children, heard of as they come.
  GListModel* children_ = nullptr;
  GdkFrameClock* clock_ = nullptr;
  gulong layoutHandler_ = 0;
};

/// The stacks of the view factory; the factory sets their orientation.
class UXVerticalStackView : public QvStackView {
 public:
  UXVerticalStackView() : QvStackView(Gtk::Orientation::VERTICAL) {}
};
class UXHorizontalStackView : public QvStackView {
 public:
  UXHorizontalStackView() : QvStackView(Gtk::Orientation::HORIZONTAL) {}
};
