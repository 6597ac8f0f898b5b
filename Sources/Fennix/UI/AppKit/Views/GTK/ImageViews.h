// Image views: the base view that reports the very image it was given, a view with a hover
// state, one that drags its window, and spinning views.
#pragma once

#include <gtkmm/eventcontrollermotion.h>
#include <gtkmm/widget.h>

#include <vector>

#include "Fennix/UI/AppKit/GTK/Image.h"
#include "Fennix/UI/Common/Views/Rotation.h"

enum class NSImageScaling : int {
  scaleProportionallyDown = 0,
  scaleAxesIndependently = 1,
  scaleNone = 2,
  scaleProportionallyUpOrDown = 3,
};

class QvImageViewBase : public Gtk::Widget {
 public:
  QvImageViewBase();
  ~QvImageViewBase() override;

  /// The image last set, the very object.
  const Fennix::ImagePtr& image() const { return originalImage_; }
  /// Setting the image that is set already (or none over none) changes nothing; another image,
  /// also an equal one, replaces what the view draws.
  virtual void setImage(Fennix::ImagePtr image);
  NSImageScaling imageScaling() const { return scaling_; }
  void setImageScaling(NSImageScaling scaling);
  /// How often what the view draws was replaced.
  int drawnImageReplacements() const { return replacements_; }

 protected:
  void measure_vfunc(Gtk::Orientation orientation, int for_size, int& minimum, int& natural, int& minimum_baseline,
                     int& natural_baseline) const override;
  void snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) override;
  /// Where the image goes in the view's bounds.
  graphene_rect_t imageRect() const;

 private:
  Fennix::ImagePtr originalImage_;
  Glib::RefPtr<Gdk::Texture> drawn_;
  NSImageScaling scaling_ = NSImageScaling::scaleProportionallyDown;
  int replacements_ = 0;
};

/// An image view that knows whether the pointer is over it.
class QvHoverImageView : public QvImageViewBase {
 public:
  QvHoverImageView();
  ~QvHoverImageView() override;

  const Glib::RefPtr<Gtk::EventControllerMotion>& hoverTrackingArea() const { return hoverTrackingArea_; }
  /// Replaces the motion controller that follows the pointer: the one before leaves the view, the
  /// new one tells the view of the pointer and is added at the next tracking update; none makes a
  /// new one then.
  void setHoverTrackingArea(Glib::RefPtr<Gtk::EventControllerMotion> area);
  bool mouseInside() const { return mouseInside_; }
  /// Stores the value and calls `hoverChanged`, also when it did not change.
  void setMouseInside(bool inside);
  /// Redraws the view; subclasses change their looks.
  virtual void hoverChanged(bool inside);
  /// Makes the motion controller on first use and adds it unless the view has it already.
  void updateTrackingAreas();

 protected:
  void on_map() override;

 private:
  Glib::RefPtr<Gtk::EventControllerMotion> hoverTrackingArea_;
  std::vector<sigc::connection> hoverConnections_;
  bool mouseInside_ = false;
};

/// An image view whose press drags its window, when the window is movable by its background.
class QvWinDragImageView : public QvImageViewBase {
 public:
  QvWinDragImageView();
  bool mouseDownCanMoveWindow() const { return true; }
};

/// A view that names the view to spin in its place.
class UXAnimatableView {
 public:
  virtual ~UXAnimatableView() = default;
  virtual Gtk::Widget* uxAnimatedView() = 0;
};

/// An image view that spins itself.
class UXLayerBackedImageView : public QvImageViewBase, public UXAnimatableView {
 public:
  Gtk::Widget* uxAnimatedView() override;
};

/// Spins a view endlessly and stops it where it stands. The kit's views (image views and base
/// views) turn their own drawing; any other view is turned by a holder that the first spin puts in
/// its place in its container, which then lays the view out turned.
class QvViewAnimations {
 public:
  using Direction = Fennix::RotationState::Direction;

  explicit QvViewAnimations(Gtk::Widget& baseView) : baseView_(baseView) {}

  /// The view that spins: the base view's animated view when it names one, else the base view.
  Gtk::Widget& view() const;
  /// The widget whose drawing carries the spin: the view itself for the kit's views, the holder
  /// around any other view; none before the first spin. A view that cannot turn (it has no
  /// container, or one the holder cannot take the place in) says so and gives none.
  Gtk::Widget* animationLayer() const;
  void startRotation(double speed, Direction direction);
  void stopRotation();

 private:
  Gtk::Widget& baseView_;
};

inline QvViewAnimations qvAnim(Gtk::Widget& view) { return QvViewAnimations(view); }

/// Holds one view and lays it out turned by the view's spin, around its centre.
class QvSpinHolder : public Gtk::Widget {
 public:
  explicit QvSpinHolder(Gtk::Widget& view);
  ~QvSpinHolder() override;
  const Gtk::Widget* view() const { return get_first_child(); }

 protected:
  Gtk::SizeRequestMode get_request_mode_vfunc() const override;
  void measure_vfunc(Gtk::Orientation orientation, int for_size, int& minimum, int& natural, int& minimum_baseline,
                     int& natural_baseline) const override;
  void size_allocate_vfunc(int width, int height, int baseline) override;

 private:
  /// Lets the view go (when the holder goes away).
  void release();
};

namespace Fennix {

/// The spin of a view, if it ever spun (kept on the view under the rotation animation key).
const RotationState* rotationState(const Gtk::Widget& view);
/// Applies the view's spin at the current time to the snapshot, around the view's centre.
void applyRotation(const Gtk::Widget& view, const Glib::RefPtr<Gtk::Snapshot>& snapshot);

}  // namespace Fennix
