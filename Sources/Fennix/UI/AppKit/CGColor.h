// Colours with a colour space: components in the space's model followed by alpha. They read as
// red, green, blue and alpha through sRGB, and get the colour helpers of every such type.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Fennix/Foundation/Text/RGBRepresentable.h"

/// A colour space: its model, and its name when it has one.
class CGColorSpace {
 public:
  enum class Model { monochrome, rgb, cmyk };
  using Ptr = std::shared_ptr<const CGColorSpace>;

  // The names of the spaces this system knows.
  static constexpr const char* sRGB = "kCGColorSpaceSRGB";
  static constexpr const char* linearSRGB = "kCGColorSpaceLinearSRGB";
  static constexpr const char* displayP3 = "kCGColorSpaceDisplayP3";
  static constexpr const char* genericRGB = "kCGColorSpaceGenericRGB";
  static constexpr const char* genericGray = "kCGColorSpaceGenericGray";
  static constexpr const char* genericCMYK = "kCGColorSpaceGenericCMYK";

  /// The space of a name; none for a name this system does not know.
  static Ptr named(std::string_view name);
  /// A space of the device's own, without a name.
  static Ptr device(Model model);

  const std::optional<std::string>& name() const { return name_; }
  Model model() const { return model_; }
  /// Components of a colour in this space, alpha not counted.
  std::size_t numberOfComponents() const;

  CGColorSpace(std::optional<std::string> name, Model model) : name_(std::move(name)), model_(model) {}

 private:
  std::optional<std::string> name_;
  Model model_;
};

class CGColor {
 public:
  /// A colour of `components` (the space's, then alpha) in `space`; none when the count does not
  /// fit the space. A colour without a space (a pattern) has only an alpha component.
  static std::optional<CGColor> make(CGColorSpace::Ptr space, std::vector<double> components);
  /// A colour in the generic grey space.
  static CGColor new_(double gray, double alpha);

  const CGColorSpace::Ptr& colorSpace() const { return space_; }
  const std::vector<double>& components() const { return components_; }
  std::size_t numberOfComponents() const { return components_.size(); }
  double alpha() const { return components_.back(); }

  /// A copy converted into `space` with the default rendering intent; none when this colour has no
  /// space or the conversion is not known. Conversions go into sRGB only: grey spaces and RGB
  /// spaces other than linear sRGB and Display P3 share sRGB's primaries and curve here; linear
  /// sRGB and Display P3 are converted exactly; CMYK is converted without a profile.
  std::optional<CGColor> converted(const CGColorSpace::Ptr& space) const;

  // The utility library's colour helpers (see QvRGB for the rules).
  /// A generic RGB colour.
  static CGColor fromComponents(double red, double green, double blue, double alpha);
  /// sRGB and Display P3 colours as they are; every other colour converted into sRGB first;
  /// (0, 0, 0, 0) when that fails.
  QvRGBComponents rgbComponents() const;
  static CGColor fromRGB(std::uint32_t rgb, std::optional<double> alpha = std::nullopt);
  static CGColor fromRGBA(std::uint32_t rgba, std::optional<double> alpha = std::nullopt);
  static std::optional<CGColor> fromHex(std::optional<std::string_view> hex, std::optional<char> dropPrefix = std::nullopt);
  static std::optional<std::uint32_t> rgbFromHex(std::optional<std::string_view> hex);
  std::uint32_t rgbValue() const;
  std::uint32_t rgbaValue() const;
  std::string hexString() const;
  std::string hexString(std::string_view prefix, bool rgba) const;
  CGColor applyShadow(double percent) const;
  CGColor applyHighlight(double percent) const;

  bool operator==(const CGColor& other) const;

 private:
  CGColor(CGColorSpace::Ptr space, std::vector<double> components)
      : space_(std::move(space)), components_(std::move(components)) {}

  CGColorSpace::Ptr space_;
  std::vector<double> components_;
};
