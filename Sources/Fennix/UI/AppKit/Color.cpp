#include "Fennix/UI/AppKit/Color.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// Components outside 0...1 (or not numbers) are brought into range so that every colour can be
// drawn and packed.
double clampComponent(double value) {
  if (std::isnan(value)) return 0;
  return std::clamp(value, 0.0, 1.0);
}

}  // namespace

NSColor::NSColor(double red, double green, double blue, double alpha)
    : red_(clampComponent(red)),
      green_(clampComponent(green)),
      blue_(clampComponent(blue)),
      alpha_(clampComponent(alpha)) {}

std::string NSColor::description() const {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "rgba(%.5g, %.5g, %.5g, %.5g)", red_, green_, blue_, alpha_);
  return buffer;
}
