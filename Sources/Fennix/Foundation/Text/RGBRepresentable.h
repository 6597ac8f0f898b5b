// Colour types that can be made from and read as red, green, blue and alpha components (each a
// fraction from 0 to 1), and what every such type gets: packing into 32-bit values, hexadecimal
// texts, and darkening or lightening by a percentage.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

struct QvRGBComponents {
  double red = 0;
  double green = 0;
  double blue = 0;
  double alpha = 0;
  bool operator==(const QvRGBComponents&) const = default;
};

template <typename T>
concept QvRGBRepresentable = requires(const T& color, double component) {
  { T::fromComponents(component, component, component, component) } -> std::same_as<T>;
  { color.rgbComponents() } -> std::same_as<QvRGBComponents>;
};

namespace QvRGB {

/// A component as a byte: times 255, truncated toward zero. Components outside 0...1 are
/// clamped first, so that they never spill into a neighbouring byte.
inline std::uint32_t byte(double component) {
  if (std::isnan(component)) return 0;
  return static_cast<std::uint32_t>(std::clamp(component, 0.0, 1.0) * 255.0);
}

inline double fraction(std::uint32_t value, int shift) { return static_cast<double>((value >> shift) & 0xff) / 255.0; }

/// The RGB value of a hexadecimal text of 3, 6 or 8 digits (8: the last two are dropped), with
/// non-alphanumeric characters removed from both ends; none when the text does not fit.
std::optional<std::uint32_t> rgbFromHex(std::optional<std::string_view> text);
/// Components of a hexadecimal text: fewer than 7 digits through `rgbFromHex` (opaque), 7 or 8
/// digits as RRGGBBAA; a given prefix character is dropped first.
std::optional<QvRGBComponents> componentsFromHex(std::optional<std::string_view> text, std::optional<char> dropPrefix);

/// An RGB value (top byte 0) or else an RGBA value.
template <QvRGBRepresentable T>
T fromRGB(std::uint32_t value, std::optional<double> alpha = std::nullopt) {
  if ((value >> 24) == 0)
    return T::fromComponents(fraction(value, 16), fraction(value, 8), fraction(value, 0), alpha.value_or(1));
  return T::fromComponents(fraction(value, 24), fraction(value, 16), fraction(value, 8),
                           alpha ? *alpha : fraction(value, 0));
}

template <QvRGBRepresentable T>
T fromRGBA(std::uint32_t value, std::optional<double> alpha = std::nullopt) {
  return T::fromComponents(fraction(value, 24), fraction(value, 16), fraction(value, 8),
                           alpha ? *alpha : fraction(value, 0));
}

template <QvRGBRepresentable T>
std::optional<T> fromHex(std::optional<std::string_view> text, std::optional<char> dropPrefix = std::nullopt) {
  auto components = componentsFromHex(text, dropPrefix);
  if (!components) return std::nullopt;
  return T::fromComponents(components->red, components->green, components->blue, components->alpha);
}

template <QvRGBRepresentable T>
std::uint32_t rgbValue(const T& color) {
  const auto c = color.rgbComponents();
  return (byte(c.red) << 16) | (byte(c.green) << 8) | byte(c.blue);
}

template <QvRGBRepresentable T>
std::uint32_t rgbaValue(const T& color) {
  const auto c = color.rgbComponents();
  return (byte(c.red) << 24) | (byte(c.green) << 16) | (byte(c.blue) << 8) | byte(c.alpha);
}

/// Six lower-case digits RRGGBB for an opaque colour, else (or when `rgba`) eight RRGGBBAA.
template <QvRGBRepresentable T>
std::string hexString(const T& color, std::string_view prefix = {}, bool rgba = false) {
  const std::uint32_t value = rgbaValue(color);
  char digits[16];
  if (rgba || (value & 0xff) < 255)
    std::snprintf(digits, sizeof digits, "%08x", value);
  else
    std::snprintf(digits, sizeof digits, "%06x", value >> 8);
  return std::string(prefix) + digits;
}

/// Red, green and blue darkened by `percent` (100: black); alpha unchanged.
template <QvRGBRepresentable T>
T applyShadow(const T& color, double percent) {
  const auto c = color.rgbComponents();
  const double f = (100 - percent) / 100;
  return T::fromComponents(c.red * f, c.green * f, c.blue * f, c.alpha);
}

/// Red, green and blue lightened by `percent` (100: white); alpha unchanged.
template <QvRGBRepresentable T>
T applyHighlight(const T& color, double percent) {
  const auto c = color.rgbComponents();
  const double f = (100 - percent) / 100;
  const double p = percent / 100;
  return T::fromComponents(p + f * c.red, p + f * c.green, p + f * c.blue, c.alpha);
}

}  // namespace QvRGB
