// Views that move their window, split views, the side-line drag strip, the view that draws
// dividers between its subviews, and the stack views of the view factory.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/cssprovider.h>
#include <gtkmm/gestureclick.h>
#include <gtkmm/gesturedrag.h>
#include <gtkmm/paned.h>
#include <gtkmm/window.h>

#include <optional>
#include <vector>

#include "Fennix/UI/Common/Views/DragLogic.h"
#include "Fennix/UI/Common/Views/GTK/ViewBase.h"

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
/// widgets, one per divider.
class QvDraggableSplitView : public Gtk::Widget {
 public:
  explicit QvDraggableSplitView(bool vertical = true);
  ~QvDraggableSplitView() override;

  /// Side by side (true) or stacked.
  bool isVertical() const { return isVertical_; }
  void addArrangedSubview(Gtk::Widget& pane);
  const std::vector<Gtk::Widget*>& arrangedSubviews() const { return panes_; }

  bool qvMouseDownCanMoveWindow() const { return qvMouseDownCanMoveWindow_; }
  void setQvMouseDownCanMoveWindow(bool can) { qvMouseDownCanMoveWindow_ = can; }
  double dividerClickMargin() const { return dividerClickMargin_; }
  void setDividerClickMargin(double margin) { dividerClickMargin_ = margin; }
  bool isMovingWindow() const { return tracker_.isMovingWindow; }
  double dividerThickness() const { return 1; }

  /// Whether a press at `point` (this view's coordinates) moves the window.
  virtual bool shouldMouseDownMoveWindow(const CGPoint& point) const;
  /// A press; moveWindow when it moved the window, platform when it goes to the dividers.
  Fennix::MouseHandling mouseDown(const Fennix::MousePress& press);
  Fennix::MouseHandling mouseDragged() const { return tracker_.mouseDragged(); }

  /// The frames of the panes in this view's coordinates.
  std::vector<CGRect> paneFrames() const;

 protected:
  void measure_vfunc(Gtk::Orientation orientation, int for_size, int& minimum, int& natural, int& minimum_baseline,
                     int& natural_baseline) const override;
  void size_allocate_vfunc(int width, int height, int baseline) override;
  Gtk::Paned* root() const { return root_; }

 private:
  bool isVertical_;
  bool qvMouseDownCanMoveWindow_ = true;
  double dividerClickMargin_ = 4;
  Fennix::SplitViewDragTracker tracker_;
  Gtk::Paned* root_ = nullptr;
  Gtk::Paned* last_ = nullptr;
  std::vector<Gtk::Widget*> panes_;
};

/// A split view whose divider is light grey in a light appearance.
class QvSplitViewWithColoredDivider : public QvDraggableSplitView {
 public:
  explicit QvSplitViewWithColoredDivider(bool vertical = true);
  /// The divider's colour in the current appearance; none for the toolkit's own.
  std::optional<NSColor> dividerColor() const;
  /// Applies the colour again (after an appearance change).
  void updateDividerColor();

 private:
  Glib::RefPtr<Gtk::CssProvider> css_;
};

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

/// The stacks of the view factory; the factory sets their orientation.
class UXVerticalStackView : public Gtk::Box {
 public:
  UXVerticalStackView() : Gtk::Box(Gtk::Orientation::VERTICAL) {}
};
class UXHorizontalStackView : public Gtk::Box {
 public:
  UXHorizontalStackView() : Gtk::Box(Gtk::Orientation::HORIZONTAL) {}
};
