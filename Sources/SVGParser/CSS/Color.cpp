#include "SVGParser/CSS/Color.h"

#include <cmath>

#include "Platform/NumberText.h"

namespace CSS {

namespace {

CGFloat byteFraction(std::uint32_t value, int shift) {
  return static_cast<CGFloat>((value >> shift) & 0xFF) / 255.0;
}

// A component scaled to 0...255 and truncated toward zero. Out-of-range
// components are clamped first and NaN counts as 0, so the packed channels
// never spill into each other.
std::uint32_t channel(CGFloat component) {
  if (std::isnan(component) || component <= 0) return 0;
  if (component >= 1) return 255;
  return static_cast<std::uint32_t>(component * 255);
}

std::uint32_t packRGB(CGFloat red, CGFloat green, CGFloat blue) {
  return (channel(red) << 16) + (channel(green) << 8) + channel(blue);
}

void combineHash(std::size_t& seed, std::size_t value) {
  seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
}

}  // namespace

Color Color::fromRGB(std::uint32_t rgb) {
  if ((rgb >> 24) == 0) {
    return RGB{byteFraction(rgb, 16), byteFraction(rgb, 8), byteFraction(rgb, 0)};
  }
  return fromRGBA(rgb);
}

Color Color::fromRGBA(std::uint32_t rgba) {
  const CGFloat red = byteFraction(rgba, 24);
  const CGFloat green = byteFraction(rgba, 16);
  const CGFloat blue = byteFraction(rgba, 8);
  if ((rgba & 0xFF) == 0xFF) return RGB{red, green, blue};
  return RGBA{red, green, blue, byteFraction(rgba, 0)};
}

Color Color::fromRGB(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return RGB{r / 255.0, g / 255.0, b / 255.0};
}

Color Color::fromComponents(CGFloat red, CGFloat green, CGFloat blue,
                            std::optional<CGFloat> alpha) {
  if (alpha) return RGBA{red, green, blue, *alpha};
  return RGB{red, green, blue};
}

std::optional<std::uint32_t> Color::rgbHexValue() const {
  if (const auto* named = as<Named>()) {
    const auto& table = nameToRGB();
    const auto found = table.find(named->name);
    if (found == table.end()) return std::nullopt;
    return found->second;
  }
  if (const auto* rgb = as<RGB>()) return packRGB(rgb->red, rgb->green, rgb->blue);
  const auto& rgba = std::get<RGBA>(value_);
  return packRGB(rgba.red, rgba.green, rgba.blue);
}

std::optional<std::uint32_t> Color::hexValue() const {
  if (const auto* rgba = as<RGBA>(); rgba && rgba->alpha < 1) {
    return (channel(rgba->red) << 24) + (channel(rgba->green) << 16) +
           (channel(rgba->blue) << 8) + channel(rgba->alpha);
  }
  return rgbHexValue();
}

std::string Color::description() const {
  if (const auto* named = as<Named>()) return "named(\"" + named->name + "\")";
  if (const auto* rgb = as<RGB>()) {
    return "rgb(" + SVGParser::doubleDescription(rgb->red) + ", " + SVGParser::doubleDescription(rgb->green) + ", " +
           SVGParser::doubleDescription(rgb->blue) + ")";
  }
  const auto& rgba = std::get<RGBA>(value_);
  return "rgba(" + SVGParser::doubleDescription(rgba.red) + ", " + SVGParser::doubleDescription(rgba.green) + ", " +
         SVGParser::doubleDescription(rgba.blue) + ", " + SVGParser::doubleDescription(rgba.alpha) + ")";
}

const std::map<std::string, std::uint32_t, std::less<>>& Color::nameToRGB() {
  static const auto& table = *new const std::map<std::string, std::uint32_t, std::less<>>{
#define QUARVEL_COLOR_ENTRY(keyword, value) {#keyword, value},
      QUARVEL_CSS_NAMED_COLORS(QUARVEL_COLOR_ENTRY)
#undef QUARVEL_COLOR_ENTRY
  };
  return table;
}

#define QUARVEL_DEFINE_COLOR(keyword, value)    \
  const Color& Color::keyword() {               \
    static const Color& color = *new const Color(named(#keyword)); \
    return color;                               \
  }
QUARVEL_CSS_NAMED_COLORS(QUARVEL_DEFINE_COLOR)
#undef QUARVEL_DEFINE_COLOR

}  // namespace CSS

std::size_t std::hash<CSS::Color>::operator()(const CSS::Color& color) const noexcept {
  std::size_t seed = color.variant().index();
  std::visit(
      [&seed](const auto& c) {
        using Case = std::decay_t<decltype(c)>;
        if constexpr (std::is_same_v<Case, CSS::Color::Named>) {
          CSS::combineHash(seed, std::hash<std::string>{}(c.name));
        } else {
          CSS::combineHash(seed, std::hash<CGFloat>{}(c.red));
          CSS::combineHash(seed, std::hash<CGFloat>{}(c.green));
          CSS::combineHash(seed, std::hash<CGFloat>{}(c.blue));
          if constexpr (std::is_same_v<Case, CSS::Color::RGBA>) {
            CSS::combineHash(seed, std::hash<CGFloat>{}(c.alpha));
          }
        }
      },
      color.variant());
  return seed;
}
