// A colour of red, green, blue and alpha components, each a fraction from 0 to 1.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Fennix/Foundation/Text/RGBRepresentable.h"

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

  // The utility library's colour helpers (see QvRGB for the rules).
  static NSColor fromComponents(double red, double green, double blue, double alpha) {
    return NSColor(red, green, blue, alpha);
  }
  QvRGBComponents rgbComponents() const { return {red_, green_, blue_, alpha_}; }
  static NSColor fromRGB(std::uint32_t rgb, std::optional<double> alpha = std::nullopt);
  static NSColor fromRGBA(std::uint32_t rgba, std::optional<double> alpha = std::nullopt);
  static std::optional<NSColor> fromHex(std::optional<std::string_view> hex, std::optional<char> dropPrefix = std::nullopt);
  static std::optional<std::uint32_t> rgbFromHex(std::optional<std::string_view> hex);
  std::uint32_t rgbValue() const;
  std::uint32_t rgbaValue() const;
  std::string hexString() const;
  std::string hexString(std::string_view prefix, bool rgba) const;
  NSColor applyShadow(double percent) const;
  NSColor applyHighlight(double percent) const;

  /// The background of boxes: a light grey in a light appearance, a dark grey in a dark one,
  /// by the current appearance.
  static NSColor boxLevel1ContentColor();

  // Colours of controls, by the current appearance (light when none is current).
  static NSColor linkColor();
  static NSColor controlTextColor();
  static NSColor controlColor();
  static NSColor controlHighlightColor();
  static NSColor selectedControlColor();
  static NSColor lightGrayColor();
  static NSColor clearColor();
  // Text colours by importance, by the current appearance.
  static NSColor labelColor();
  static NSColor secondaryLabelColor();
  static NSColor tertiaryLabelColor();
  static NSColor quaternaryLabelColor();

  // The short names of the touch platform for the link and label colours.
  static NSColor link() { return linkColor(); }
  static NSColor label() { return labelColor(); }
  static NSColor secondaryLabel() { return secondaryLabelColor(); }
  static NSColor tertiaryLabel() { return tertiaryLabelColor(); }
  static NSColor quaternaryLabel() { return quaternaryLabelColor(); }

 private:
  double red_;
  double green_;
  double blue_;
  double alpha_;
};
