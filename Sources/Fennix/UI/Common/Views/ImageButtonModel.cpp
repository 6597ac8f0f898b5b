#include "Fennix/UI/Common/Views/ImageButtonModel.h"

namespace Fennix {

namespace {

using A = NSLayoutAttribute;
using R = NSLayoutRelation;

NSLayoutConstraintPtr edge(LayoutItem view, A attribute, LayoutItem base, double constant) {
  return NSLayoutConstraint::make(view, attribute, R::equal, base, attribute, 1, constant);
}

}  // namespace

ImageButtonLayout imageButtonLayout(NSControlImagePosition position, LayoutItem button, LayoutItem image,
                                    LayoutItem label, const ImageButtonMetrics& m) {
  ImageButtonLayout layout;
  switch (position) {
    case NSControlImagePosition::noImage:
      layout.labelVisible = true;
      layout.imageVisible = false;
      layout.constraints = constrain(label, button, NSEdgeInsets{});
      break;
    case NSControlImagePosition::imageOnly:
      layout.labelVisible = false;
      layout.imageVisible = true;
      layout.constraints = {edge(image, A::top, button, m.imageInsets.top),
                            edge(image, A::bottom, button, -m.imageInsets.bottom),
                            edge(image, A::leading, button, m.imageInsets.left),
                            edge(image, A::trailing, button, -m.imageInsets.right)};
      break;
    case NSControlImagePosition::imageLeft:
    case NSControlImagePosition::imageLeading:
      layout.labelVisible = true;
      layout.imageVisible = true;
      layout.constraints = {
          edge(image, A::top, button, m.imageInsets.top),
          edge(image, A::bottom, button, -m.imageInsets.bottom),
          NSLayoutConstraint::make(image, A::height, R::equal, 1, m.imageSize),
          edge(label, A::centerY, button, m.textBaselineAdjustment),
          edge(image, A::leading, button, m.imageInsets.left),
          NSLayoutConstraint::make(image, A::width, R::equal, 1, m.imageSize),
          NSLayoutConstraint::make(label, A::leading, R::equal, image, A::trailing, 1, m.textImageSpacing),
          edge(label, A::trailing, button, -m.textTrailingPadding),
      };
      break;
    default:
      break;  // the button lays out nothing for the other positions
  }
  return layout;
}

ImageButtonLook imageButtonLook(bool isBordered, bool hasImage, bool isHighlighted, NSControlStateValue state,
                                bool buttonIsOpaque) {
  ImageButtonLook look;
  look.borderWidth = isBordered && hasImage ? 1.0 : 0.0;
  if (isHighlighted) {
    look.backgroundColor = NSColor::controlHighlightColor();
    look.opaque = true;
  } else {
    look.opaque = state != NSControlStateValue::on && buttonIsOpaque;
    if (look.opaque) look.backgroundColor = NSColor::controlColor();
  }
  look.cornerRadius = 4.0;
  look.borderColor = state == NSControlStateValue::on ? NSColor::selectedControlColor() : NSColor::lightGrayColor();
  return look;
}

bool ImageButtonTracking::mouseDown() {
  pressed_ = true;
  highlighted_ = true;
  return highlighted_;
}

bool ImageButtonTracking::mouseDragged(bool inside) {
  if (pressed_) highlighted_ = inside;
  return highlighted_;
}

bool ImageButtonTracking::mouseUp(bool inside) {
  const bool wasPressed = pressed_;
  pressed_ = false;
  highlighted_ = false;
  return wasPressed && inside;
}

}  // namespace Fennix
