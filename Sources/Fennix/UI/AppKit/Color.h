// A colour of red, green, blue and alpha components, each a fraction from 0 to 1.
#pragma once

#include <string>

class NSColor {
 public:
  NSColor(double red, double green, double blue, double alpha);

  double redComponent() const { return red_; }
  double greenComponent() const { return green_; }
  double blueComponent() const { return blue_; }
  double alphaComponent() const { return alpha_; }

  /// "rgba(r, g, b, a)" with the components as fractions.
  std::string description() const;

  bool operator==(const NSColor& other) const = default;

 private:
  double red_;
  double green_;
  double blue_;
  double alpha_;
};
