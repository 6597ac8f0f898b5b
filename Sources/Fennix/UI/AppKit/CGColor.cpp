#include "Fennix/UI/AppKit/CGColor.h"

#include <array>
#include <cmath>

CGColorSpace::Ptr CGColorSpace::named(std::string_view name) {
  static const auto spaces = [] {
    std::vector<Ptr> all;
    for (const char* rgbName : {sRGB, linearSRGB, displayP3, genericRGB})
      all.push_back(std::make_shared<CGColorSpace>(rgbName, Model::rgb));
    all.push_back(std::make_shared<CGColorSpace>(genericGray, Model::monochrome));
    all.push_back(std::make_shared<CGColorSpace>(genericCMYK, Model::cmyk));
    return all;
  }();
  for (const Ptr& space : spaces)
    if (*space->name() == name) return space;
  return nullptr;
}

CGColorSpace::Ptr CGColorSpace::device(Model model) { return std::make_shared<CGColorSpace>(std::nullopt, model); }

std::size_t CGColorSpace::numberOfComponents() const {
  switch (model_) {
    case Model::monochrome:
      return 1;
    case Model::rgb:
      return 3;
    case Model::cmyk:
      return 4;
  }
  return 0;
}

std::optional<CGColor> CGColor::make(CGColorSpace::Ptr space, std::vector<double> components) {
  const std::size_t expected = (space ? space->numberOfComponents() : 0) + 1;
  if (components.size() != expected) return std::nullopt;
  return CGColor(std::move(space), std::move(components));
}

CGColor CGColor::new_(double gray, double alpha) {
  return CGColor(CGColorSpace::named(CGColorSpace::genericGray), {gray, alpha});
}

CGColor CGColor::fromComponents(double red, double green, double blue, double alpha) {
  return CGColor(CGColorSpace::named(CGColorSpace::genericRGB), {red, green, blue, alpha});
}

namespace {

bool isNamed(const CGColorSpace::Ptr& space, const char* name) { return space && space->name() == name; }

// The sRGB curve, from linear light to encoded values and back; mirrored for negative values.
double encode(double linear) {
  const double magnitude = std::fabs(linear);
  const double encoded = magnitude <= 0.0031308 ? 12.92 * magnitude : 1.055 * std::pow(magnitude, 1 / 2.4) - 0.055;
  return std::copysign(encoded, linear);
}

double decode(double encoded) {
  const double magnitude = std::fabs(encoded);
  const double linear = magnitude <= 0.04045 ? magnitude / 12.92 : std::pow((magnitude + 0.055) / 1.055, 2.4);
  return std::copysign(linear, encoded);
}

}  // namespace

std::optional<CGColor> CGColor::converted(const CGColorSpace::Ptr& space) const {
  if (!space_ || !isNamed(space, CGColorSpace::sRGB)) return std::nullopt;
  const std::vector<double>& c = components_;
  std::array<double, 3> rgb{};
  switch (space_->model()) {
    case CGColorSpace::Model::monochrome:
      rgb = {c[0], c[0], c[0]};
      break;
    case CGColorSpace::Model::cmyk:
      rgb = {(1 - c[0]) * (1 - c[3]), (1 - c[1]) * (1 - c[3]), (1 - c[2]) * (1 - c[3])};
      break;
    case CGColorSpace::Model::rgb:
      if (isNamed(space_, CGColorSpace::linearSRGB)) {
        rgb = {encode(c[0]), encode(c[1]), encode(c[2])};
      } else if (isNamed(space_, CGColorSpace::displayP3)) {
        // Display P3 shares sRGB's curve and white point; its primaries differ.
        const double r = decode(c[0]), g = decode(c[1]), b = decode(c[2]);
        rgb = {encode(1.2249401763 * r - 0.2249401763 * g),
               encode(-0.0420569547 * r + 1.0420569547 * g),
               encode(-0.0196375546 * r - 0.0786360456 * g + 1.0982736002 * b)};
      } else {
        rgb = {c[0], c[1], c[2]};
      }
      break;
  }
  return CGColor(space, {rgb[0], rgb[1], rgb[2], alpha()});
}

QvRGBComponents CGColor::rgbComponents() const {
  auto read = [](const CGColor& color, double ownAlpha) {
    const std::vector<double>& c = color.components_;
    return QvRGBComponents{c[0], c[1], c[2], c.size() > 3 ? c[3] : ownAlpha};
  };
  if ((isNamed(space_, CGColorSpace::sRGB) || isNamed(space_, CGColorSpace::displayP3)) && components_.size() >= 3)
    return read(*this, alpha());
  if (auto inSRGB = converted(CGColorSpace::named(CGColorSpace::sRGB)); inSRGB && inSRGB->components_.size() >= 3)
    return read(*inSRGB, alpha());
  return {0, 0, 0, 0};
}

bool CGColor::operator==(const CGColor& other) const {
  return space_ == other.space_ && components_ == other.components_;
}

CGColor CGColor::fromRGB(std::uint32_t rgb, std::optional<double> alpha) { return QvRGB::fromRGB<CGColor>(rgb, alpha); }
CGColor CGColor::fromRGBA(std::uint32_t rgba, std::optional<double> alpha) {
  return QvRGB::fromRGBA<CGColor>(rgba, alpha);
}
std::optional<CGColor> CGColor::fromHex(std::optional<std::string_view> hex, std::optional<char> dropPrefix) {
  return QvRGB::fromHex<CGColor>(hex, dropPrefix);
}
std::optional<std::uint32_t> CGColor::rgbFromHex(std::optional<std::string_view> hex) { return QvRGB::rgbFromHex(hex); }
std::uint32_t CGColor::rgbValue() const { return QvRGB::rgbValue(*this); }
std::uint32_t CGColor::rgbaValue() const { return QvRGB::rgbaValue(*this); }
std::string CGColor::hexString() const { return QvRGB::hexString(*this); }
std::string CGColor::hexString(std::string_view prefix, bool rgba) const { return QvRGB::hexString(*this, prefix, rgba); }
CGColor CGColor::applyShadow(double percent) const { return QvRGB::applyShadow(*this, percent); }
CGColor CGColor::applyHighlight(double percent) const { return QvRGB::applyHighlight(*this, percent); }
