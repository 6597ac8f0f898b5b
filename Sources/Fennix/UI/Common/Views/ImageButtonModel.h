// The decisions of the image button: which constraints each image position makes, how the
// button looks in each state, and how a press follows the pointer.
#pragma once

#include <optional>

#include "Fennix/Foundation/Text/Color.h"
#include "Fennix/UI/Common/LayoutConstraint.h"

enum class NSControlImagePosition : int {
  noImage = 0,
  imageOnly = 1,
  imageLeft = 2,
  imageRight = 3,
  imageBelow = 4,
  imageAbove = 5,
  imageOverlaps = 6,
  imageLeading = 7,
  imageTrailing = 8,
};

enum class NSControlStateValue : int { off = 0, on = 1 };

namespace Fennix {

struct ImageButtonMetrics {
  NSEdgeInsets imageInsets{3, 4, 3, 3};
  double imageSize = 16;
  double textBaselineAdjustment = 1;
  double textTrailingPadding = 3;
  double textImageSpacing = 0;
};

/// The constraints of an image position and which subviews it shows (none: unchanged).
struct ImageButtonLayout {
  NSLayoutConstraintList constraints;
  std::optional<bool> labelVisible;
  std::optional<bool> imageVisible;
};

ImageButtonLayout imageButtonLayout(NSControlImagePosition position, LayoutItem button, LayoutItem image,
                                    LayoutItem label, const ImageButtonMetrics& metrics);

/// How the button draws: border, background and corners.
struct ImageButtonLook {
  double borderWidth = 0;
  /// None: a clear background.
  std::optional<NSColor> backgroundColor;
  bool opaque = false;
  double cornerRadius = 4;
  NSColor borderColor = NSColor::lightGrayColor();
  bool operator==(const ImageButtonLook&) const = default;
};

/// The look for the button's state; colours by the current appearance.
ImageButtonLook imageButtonLook(bool isBordered, bool hasImage, bool isHighlighted, NSControlStateValue state,
                                bool buttonIsOpaque);

/// A press: highlighted from the press to the release while the pointer is inside; the action
/// runs on a release inside.
class ImageButtonTracking {
 public:
  /// Each returns the new highlight.
  bool mouseDown();
  bool mouseDragged(bool inside);
  /// The highlight is off afterwards; whether the action is to be sent.
  bool mouseUp(bool inside);
  bool isHighlighted() const { return highlighted_; }

 private:
  bool highlighted_ = false;
  bool pressed_ = false;
};

}  // namespace Fennix
