// Short operations that lay out code-built views: add a subview with an identifier, priorities
// and visual formats in one call, pin a view to its superview, stack views, and give all spare
// length of a container to one subview laid out by frames. In every visual format here the view
// being placed is "self" and its superview "super". They work on the layout host's views.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Fennix/UI/Common/LayoutConstraint.h"

/// a + b when both are given, else whichever is given.
std::optional<NSLayoutPriority> addedPriorities(std::optional<NSLayoutPriority> a, std::optional<NSLayoutPriority> b);

/// The options of the full form of `qvAdd`.
struct QvAddOptions {
  std::optional<std::string> id;
  std::optional<NSLayoutPriority> hug, hugh, hugv;
  std::optional<NSLayoutPriority> cr, crh, crv;
  bool aspect = false;
  std::optional<double> pad, hpad, vpad;
  std::optional<NSEdgeInsets> inset;
};

/// Adds `view` to `container`, sets its identifier and hugging (both orientations), and activates
/// the constraints of the two formats (each with its own "H:" or "V:" prefix, or none for
/// horizontal). Returns the view.
Fennix::LayoutItem qvAdd(Fennix::LayoutItem container, const std::optional<std::string>& id, Fennix::LayoutItem view,
                         std::optional<NSLayoutPriority> hug, const std::string& h, const std::string& v);
/// The full form: priorities added up per orientation, constraints of the arguments, an aspect
/// constraint, padding (which wins over insets) or insets; all activated at once.
Fennix::LayoutItem qvAdd(Fennix::LayoutItem container, Fennix::LayoutItem view, const QvAddOptions& options,
                         const std::vector<QvConstraintArg>& constraints = {});
/// Adds `view` to `container` with an identifier; no constraints.
Fennix::LayoutItem qvAddTo(Fennix::LayoutItem view, Fennix::LayoutItem container, const std::optional<std::string>& id);
/// `qvAdd` with the roles exchanged: `view` goes into `container`; returns the view.
inline Fennix::LayoutItem qvAddTo(Fennix::LayoutItem view, Fennix::LayoutItem container,
                                  const std::optional<std::string>& id, std::optional<NSLayoutPriority> hug,
                                  const std::string& h, const std::string& v) {
  return qvAdd(container, id, view, hug, h, v);
}
/// The full `qvAdd` with the roles exchanged; returns the view.
inline Fennix::LayoutItem qvAddTo(Fennix::LayoutItem view, Fennix::LayoutItem container, const QvAddOptions& options,
                                  const std::vector<QvConstraintArg>& constraints = {}) {
  return qvAdd(container, view, options, constraints);
}

/// The constraints of "H:" + h and "V:" + v (an empty string is skipped), added to the superview
/// when there is one.
NSLayoutConstraintList qvConstrain(Fennix::LayoutItem view, const std::string& h, const std::string& v);
/// leading/trailing with the horizontal padding (h, else pad), then top/bottom with the vertical
/// one (v, else pad); not activated.
NSLayoutConstraintList qvPadConstraints(Fennix::LayoutItem view, std::optional<double> pad, std::optional<double> h,
                                        std::optional<double> v);
/// leading, trailing, top and bottom against the superview with the insets; not activated.
NSLayoutConstraintList qvInsetConstraints(Fennix::LayoutItem view, const NSEdgeInsets& insets);
/// The constraints of one format, added (activated) and returned.
NSLayoutConstraintList qvAddConstraint(Fennix::LayoutItem view, const std::string& format,
                                       const std::optional<QvViewsMap>& views);
/// width == `width`; not activated.
NSLayoutConstraintPtr qvFixWidthConstraint(Fennix::LayoutItem view, double width);
/// Full-width views, each directly below the previous one, the first at the top and the last at
/// the bottom of their superview; fewer than two views are left alone.
void qvConstrainVerticalStack(const std::vector<Fennix::LayoutItem>& views);

// Content hugging and compression resistance per orientation.
NSLayoutPriority hHug(Fennix::LayoutItem view);
void setHHug(Fennix::LayoutItem view, NSLayoutPriority priority);
NSLayoutPriority vHug(Fennix::LayoutItem view);
void setVHug(Fennix::LayoutItem view, NSLayoutPriority priority);
NSLayoutPriority hCompressionResistance(Fennix::LayoutItem view);
void setHCompressionResistance(Fennix::LayoutItem view, NSLayoutPriority priority);
NSLayoutPriority vCompressionResistance(Fennix::LayoutItem view);
void setVCompressionResistance(Fennix::LayoutItem view, NSLayoutPriority priority);

namespace Fennix {

/// Frames of the flexible resizer, in the container's y-up space.
struct FlexLayout {
  std::vector<LayoutHost::Frame> frames;
  double flexSpace = 0;
  double missingSpace = 0;
  /// The flexible subview got less than the minimum before it was raised to it.
  bool collapsed = false;
  double computedFlexSpace = 0;
};

/// Subviews one after another with `padding` between them; the one at `flexIndex` takes what the
/// others leave of the container's length along the orientation (at least `minimumSpace`).
FlexLayout flexLayout(double containerWidth, double containerHeight, const std::vector<LayoutHost::Frame>& subviews,
                      long flexIndex, NSLayoutConstraintOrientation orientation, double padding, double minimumSpace);

/// Writes a line to the system log (standard error).
void nsLog(const std::string& line);

/// Lets the flexible resizer's warnings be written once more (tests only).
void resetFlexWarningsForTesting();

}  // namespace Fennix

/// Sets the frames of `container`'s subviews by `Fennix::flexLayout`; the first time space
/// collapses or runs short in the process a warning is logged.
void qvResizeSubviewsWithJustWidthAtIndexExpanding(Fennix::LayoutItem container, long index,
                                                   NSLayoutConstraintOrientation orientation, double padding,
                                                   double minimumSpace);
