// Gradient stops and gradient properties of the SwiftUI view model.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "SVGParser/CSS/Color.h"
#include "Platform/Geometry.h"

namespace SwiftUIModel {

struct GradientStop {
  CSS::Color color;
  /// Opacity as a fraction 0...1; nothing when the stop has none.
  std::optional<CGFloat> opacity;
  /// Location along the gradient, 0 to 1.
  CGFloat offset = 0;

  bool operator==(const GradientStop&) const = default;
};

/// A linear gradient; becomes a static property of the generated view.
struct LinearGradientProperty {
  /// Name of the property in the generated code.
  std::string propertyID;
  /// Start and end in unit coordinates (0 to 1 across the shape).
  CGPoint startPoint;
  CGPoint endPoint;
  std::vector<GradientStop> stops = {};
};

/// A radial gradient; becomes a static property of the generated view.
struct RadialGradientProperty {
  std::string propertyID;
  /// Centre in unit coordinates.
  CGPoint center;
  /// Radii in points, or fractions of the painted shape's bounding box when
  /// `radiiRelativeToShape`.
  CGFloat startRadius = 0;
  CGFloat endRadius = 0;
  std::vector<GradientStop> stops = {};
  /// The radii are fractions of the painted shape (bounding-box units, or a user-space percentage
  /// with no viewport to measure it): the gradient is sized by the shape it paints and stretched
  /// over it, as an elliptical gradient.
  bool radiiRelativeToShape = false;
};

/// The even spacing of `count` stops: 0 for none and one, else 1 / (count - 1).
CGFloat linearDistributionStep(long count);

/// Whether the stops sit exactly where repeated addition of the even step
/// puts them (always true for fewer than two stops).
bool hasLinearDistribution(const std::vector<GradientStop>& stops);

/// The offsets of `count` evenly spread stops, built by repeated addition.
std::vector<CGFloat> linearDistributionOffsets(const std::vector<GradientStop>& stops);

}  // namespace SwiftUIModel
