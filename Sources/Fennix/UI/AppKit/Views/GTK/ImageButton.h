// A control of an image and a text label laid out by constraints for an image position, with a
// drawn border and background that follow its highlight and on/off state. It tracks the pointer
// itself: highlighted while pressed inside, the action runs on a release inside.
#pragma once

#include <gtkmm/gesturedrag.h>
#include <gtkmm/label.h>

#include <functional>

#include "Fennix/Foundation/Text/Font.h"
#include "Fennix/UI/AppKit/Views/GTK/ImageViews.h"
#include "Fennix/UI/Common/Views/ImageButtonModel.h"

class QvImageButton : public Gtk::Widget {
 public:
  /// The image view of the button.
  class VibrantImage : public QvImageViewBase {
   public:
    bool allowsVibrancy() const { return allowsVibrancy_; }
    void setAllowsVibrancy(bool allows) {
      allowsVibrancy_ = allows;
      queue_draw();
    }

   private:
    bool allowsVibrancy_ = true;
  };

  struct Views {
    VibrantImage* image = nullptr;
    Gtk::Label* label = nullptr;
  };

  using Action = std::function<void(QvImageButton&)>;

  /// A managed button with `onSetup()` called once.
  template <typename T = QvImageButton, typename... Args>
  static T* make(Args&&... args) {
    T* button = Gtk::make_managed<T>(std::forward<Args>(args)...);
    button->finishSetup();
    return button;
  }

  QvImageButton();
  ~QvImageButton() override;

  const Views& views() const { return views_; }
  const Fennix::ImagePtr& image() const { return views_.image->image(); }
  void setImage(Fennix::ImagePtr image) { views_.image->setImage(std::move(image)); }
  std::string title() const { return views_.label->get_text(); }
  void setTitle(const std::string& title) { views_.label->set_text(title); }
  /// The label's font: the label font at its standard size until another is set (none sets it back).
  NSFontPtr font() const;
  void setFont(NSFontPtr font);

  bool isBordered() const { return isBordered_; }
  void setBordered(bool bordered);
  NSImageScaling imageScaling() const { return views_.image->imageScaling(); }
  void setImageScaling(NSImageScaling scaling);
  NSControlImagePosition imagePosition() const { return imagePosition_; }
  void setImagePosition(NSControlImagePosition position);
  NSControlStateValue state() const { return state_; }
  void setState(NSControlStateValue state);
  const NSEdgeInsets& imageInsets() const { return metrics_.imageInsets; }
  void setImageInsets(const NSEdgeInsets& insets);
  bool allowsVibrancy() const { return allowsVibrancy_; }
  void setAllowsVibrancy(bool allows);
  bool isHighlighted() const { return isHighlighted_; }
  void setHighlighted(bool highlighted);
  /// Whether the button draws its own background when off and not highlighted; like other
  /// controls it does not until it is marked so.
  bool isOpaque() const { return isOpaque_; }
  void setOpaque(bool opaque);

  virtual NSColor titleColor() const { return NSColor::linkColor(); }
  virtual NSColor highlightedTitleColor() const { return NSColor::controlTextColor(); }

  // Lengths of the image-leading layout; a subclass may answer others.
  virtual double imageSize() const { return 16; }
  virtual double textBaselineAdjustment() const { return 1; }
  virtual double textTrailingPadding() const { return 3; }
  virtual double textImageSpacing() const { return 0; }

  /// Sets the action; returns the button.
  QvImageButton& onClick(Action action);
  void prepareForReuse();

  /// The look now shown, and how often it was updated.
  const Fennix::ImageButtonLook& look() const { return look_; }
  int lookUpdates() const { return lookUpdates_; }
  const NSLayoutConstraintList& activeConstraints() const { return activeConstraints_; }

  // The pointer, in the button's coordinates (also for tests).
  void mouseDown();
  void mouseDragged(double x, double y);
  void mouseUp(double x, double y);

  virtual void onSetup() {}
  void finishSetup();

 protected:
  void snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) override;

 private:
  void resetupConstraints();
  void myUpdateLayer();
  /// The label's colour for the highlight, and its font.
  void updateLabelColour();
  bool contains(double x, double y) const;
  void tearDown();

  bool isBordered_ = true;
  bool allowsVibrancy_ = true;
  NSControlImagePosition imagePosition_ = NSControlImagePosition::imageLeading;
  Views views_;
  NSControlStateValue state_ = NSControlStateValue::off;
  Fennix::ImageButtonMetrics metrics_;
  NSLayoutConstraintList activeConstraints_;
  bool isHighlighted_ = false;
  bool isOpaque_ = false;
  bool didSetup_ = false;
  Fennix::ImageButtonTracking tracking_;
  Fennix::ImageButtonLook look_;
  int lookUpdates_ = 0;
  Action action_;
  NSFontPtr font_;
  double pressX_ = 0, pressY_ = 0;
};
