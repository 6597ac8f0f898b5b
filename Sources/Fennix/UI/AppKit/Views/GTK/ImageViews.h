// Image views: the base view that reports the very image it was given, a view with a hover
// state, one that drags its window, and spinning views.
#pragma once

#include <gtkmm/eventcontrollermotion.h>
#include <gtkmm/widget.h>

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

  const Glib::RefPtr<Gtk::EventControllerMotion>& hoverTrackingArea() const { return hoverTrackingArea_; }
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
  bool mouseInside_ = false;
};

/// An image view whose press drags its window.
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

/// Spins a view endlessly and stops it where it stands. Views of the kit (image views and base
/// views) draw their spin; other views cannot spin and say so.
class QvViewAnimations {
 public:
  using Direction = Fennix::RotationState::Direction;

  explicit QvViewAnimations(Gtk::Widget& baseView) : baseView_(baseView) {}

  /// The view that spins: the base view's animated view when it names one, else the base view.
  Gtk::Widget& view() const;
  void startRotation(double speed, Direction direction);
  void stopRotation();

 private:
  Gtk::Widget& baseView_;
};

inline QvViewAnimations qvAnim(Gtk::Widget& view) { return QvViewAnimations(view); }

namespace Fennix {

/// The spin of a view, if it ever spun.
const RotationState* rotationState(const Gtk::Widget& view);
/// Applies the view's spin at the current time to the snapshot, around the view's centre.
void applyRotation(const Gtk::Widget& view, const Glib::RefPtr<Gtk::Snapshot>& snapshot);

}  // namespace Fennix
