#include "SVGConverter/SwiftUIModel/Gradients.h"

namespace SwiftUIModel {

CGFloat linearDistributionStep(long count) {
  switch (count) {
    case 0:
    case 1:
      return 0;
    case 2:
      return 1.0;
    case 3:
      return 0.5;
    case 5:
      return 0.25;
    default:
      return count < 0 ? 0 : 1.0 / static_cast<CGFloat>(count - 1);
  }
}

bool hasLinearDistribution(const std::vector<GradientStop>& stops) {
  if (stops.size() < 2) return true;
  const CGFloat step = linearDistributionStep(static_cast<long>(stops.size()));
  CGFloat expected = 0.0;
  for (const GradientStop& stop : stops) {
    if (stop.offset != expected) return false;
    expected += step;
  }
  return true;
}

std::vector<CGFloat> linearDistributionOffsets(const std::vector<GradientStop>& stops) {
  switch (stops.size()) {
    case 0:
      return {};
    case 1:
      return {0.0};
    case 2:
      return {0.0, 1.0};
    case 3:
      return {0.0, 0.5, 1.0};
    default:
      break;
  }
  const CGFloat step = linearDistributionStep(static_cast<long>(stops.size()));
  std::vector<CGFloat> offsets;
  offsets.reserve(stops.size());
  CGFloat offset = 0.0;
  for (size_t i = 0; i < stops.size(); ++i) {
    offsets.push_back(offset);
    offset += step;
  }
  return offsets;
}

}  // namespace SwiftUIModel
