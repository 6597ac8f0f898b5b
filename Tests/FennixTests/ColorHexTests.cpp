// Colour packing, hexadecimal texts, shading and appearance-dependent colours.
#include <gtest/gtest.h>

#include "Fennix/Foundation/Text/Appearance.h"
#include "Fennix/Foundation/Text/Color.h"

namespace {

// A colour type that keeps its components as given, as a colour of extended range does.
struct WideColor {
  double r, g, b, a;
  static WideColor fromComponents(double r, double g, double b, double a) { return {r, g, b, a}; }
  QvRGBComponents rgbComponents() const { return {r, g, b, a}; }
};

QvRGBComponents bytes(int r, int g, int b, int a) { return {r / 255.0, g / 255.0, b / 255.0, a / 255.0}; }

TEST(ColorHexTest, ParsingHexTexts) {
  EXPECT_EQ(NSColor::rgbFromHex("#fff"), 0xffffffu);
  EXPECT_EQ(NSColor::rgbFromHex("12aBcD"), 0x12abcdu);
  EXPECT_EQ(NSColor::rgbFromHex("12abcd80"), 0x12abcdu);
  EXPECT_EQ(NSColor::rgbFromHex("  #12abcd;"), 0x12abcdu);
  EXPECT_EQ(NSColor::rgbFromHex("#ffff"), std::nullopt);
  EXPECT_EQ(NSColor::rgbFromHex("12abcg"), std::nullopt);
  EXPECT_EQ(NSColor::rgbFromHex(std::nullopt), std::nullopt);
  EXPECT_EQ(NSColor::rgbFromHex("#;"), std::nullopt);
  // Spaces and punctuation of any script are trimmed, letters and digits of any script are not;
  // bytes that form no character stay.
  EXPECT_EQ(NSColor::rgbFromHex("#fff\u00a0"), 0xffffffu);
  EXPECT_EQ(NSColor::rgbFromHex("\u3000\uff03fff\u201d"), 0xffffffu);  // ideographic space, full-width #
  EXPECT_EQ(NSColor::rgbFromHex("fff\uff11"), std::nullopt);           // a full-width digit
  EXPECT_EQ(NSColor::rgbFromHex("\u00e9fff"), std::nullopt);
  EXPECT_EQ(NSColor::rgbFromHex("fff\xa0"), std::nullopt);
  EXPECT_EQ(NSColor::rgbFromHex("\xc2" "fff"), std::nullopt);
  EXPECT_EQ(NSColor::fromHex("\u00a0#12abcd80\u00a0")->rgbComponents(), bytes(0x12, 0xab, 0xcd, 0x80));

  EXPECT_EQ(NSColor::fromHex("#12abcd80")->rgbComponents(), bytes(0x12, 0xab, 0xcd, 0x80));
  EXPECT_EQ(NSColor::fromHex("f0a")->rgbComponents(), bytes(0xff, 0x00, 0xaa, 0xff));
  // From seven characters on the text is RRGGBBAA; seven digits read as if a 0 stood in front.
  EXPECT_EQ(NSColor::fromHex("1abcdef")->rgbComponents(), bytes(0x01, 0xab, 0xcd, 0xef));
  EXPECT_EQ(NSColor::fromHex("123456789"), std::nullopt);
  EXPECT_EQ(NSColor::fromHex("12345z7"), std::nullopt);
  // The prefix is dropped only when asked for; 0x… keeps six digits after it.
  EXPECT_EQ(NSColor::fromHex("x123456", 'x')->rgbComponents(), bytes(0x12, 0x34, 0x56, 0xff));
  EXPECT_EQ(NSColor::fromHex("x123456"), std::nullopt);
}

TEST(ColorHexTest, PackingAndFormatting) {
  EXPECT_EQ(NSColor::fromRGB(0x00336699).rgbComponents(), bytes(0x33, 0x66, 0x99, 255));
  EXPECT_EQ(NSColor::fromRGB(0xff000080).rgbComponents(), bytes(255, 0, 0, 0x80));
  EXPECT_EQ(NSColor::fromRGB(0xff000080, 1).rgbComponents(), bytes(255, 0, 0, 255));
  EXPECT_EQ(NSColor::fromRGBA(0x00ff0080).rgbComponents(), bytes(0, 255, 0, 0x80));

  const NSColor half(0.5, 0.5, 0.5, 1);
  EXPECT_EQ(half.rgbValue(), 0x7f7f7fu);  // truncation, not rounding
  EXPECT_EQ(NSColor(1, 0, 0.2, 0.5).rgbaValue(), 0xff00337fu);
  EXPECT_EQ(half.hexString(), "7f7f7f");
  EXPECT_EQ(NSColor(1, 1, 1, 0.5).hexString(), "ffffff7f");
  EXPECT_EQ(NSColor(1, 1, 1, 1).hexString("#", true), "#ffffffff");

  // Components out of range are clamped before packing and never spill into a neighbour byte.
  const WideColor wide{1.5, -0.25, 0.5, 2};
  EXPECT_EQ(QvRGB::rgbaValue(wide), 0xff007fffu);
  EXPECT_EQ(QvRGB::rgbValue(WideColor{-1, 1.01, 1e9, 1}), 0x00ffffu);
  EXPECT_EQ(QvRGB::hexString(WideColor{std::nan(""), 0, 0, 1}), "000000");
}

TEST(ColorHexTest, ShadingAndBoxColour) {
  const NSColor color(0.2, 0.4, 0.6, 0.5);
  EXPECT_EQ(color.applyShadow(100).rgbComponents(), (QvRGBComponents{0, 0, 0, 0.5}));
  EXPECT_EQ(color.applyHighlight(100).rgbComponents(), (QvRGBComponents{1, 1, 1, 0.5}));
  EXPECT_EQ(color.applyShadow(0), color);
  EXPECT_EQ(color.applyHighlight(0), color);
  EXPECT_NEAR(color.applyHighlight(50).redComponent(), 0.6, 1e-12);

  EXPECT_EQ(NSColor::boxLevel1ContentColor().rgbValue(), 0xe2e2e2u);  // no current appearance
  Fennix::withAppearance(NSAppearance{NSAppearance::Name::aqua},
                         [] { EXPECT_EQ(NSColor::boxLevel1ContentColor().rgbValue(), 0xe7e7e7u); });
  Fennix::withAppearance(NSAppearance{NSAppearance::Name::vibrantDark},
                         [] { EXPECT_EQ(NSColor::boxLevel1ContentColor().rgbValue(), 0x38393du); });
}

TEST(AppearanceTest, DarkTestsAndNonVibrantVersions) {
  using Name = NSAppearance::Name;
  EXPECT_FALSE(NSAppearance{Name::aqua}.qvIsDarkMode());
  EXPECT_TRUE(NSAppearance{Name::vibrantDark}.qvIsDarkMode());
  EXPECT_TRUE(NSAppearance{Name::accessibilityHighContrastDarkAqua}.qvIsDarkMode());
  EXPECT_FALSE(NSAppearance{Name::accessibilityHighContrastVibrantLight}.qvIsDarkMode());

  EXPECT_EQ(NSAppearance{Name::vibrantDark}.qvNonVibrantVersion().name, Name::darkAqua);
  EXPECT_EQ(NSAppearance{Name::vibrantLight}.qvNonVibrantVersion().name, Name::aqua);
  EXPECT_EQ(NSAppearance{Name::accessibilityHighContrastVibrantDark}.qvNonVibrantVersion().name,
            Name::accessibilityHighContrastDarkAqua);
  EXPECT_EQ(NSAppearance{Name::accessibilityHighContrastDarkAqua}.qvNonVibrantVersion().name,
            Name::accessibilityHighContrastDarkAqua);
  EXPECT_EQ(NSAppearance::named("NSAppearanceNameVibrantDark")->name, Name::vibrantDark);
  EXPECT_EQ(NSAppearance::named("Graphite"), std::nullopt);

  EXPECT_TRUE(Fennix::appearanceFromSettings(true, "Adwaita").qvIsDarkMode());
  EXPECT_TRUE(Fennix::appearanceFromSettings(false, "Adwaita-dark").qvIsDarkMode());
  EXPECT_FALSE(Fennix::appearanceFromSettings(false, "Adwaita").qvIsDarkMode());
}

TEST(AppearanceTest, ScopedCurrentAppearanceIsRestored) {
  EXPECT_EQ(NSAppearance::current(), std::nullopt);
  const NSAppearance dark{NSAppearance::Name::darkAqua};
  int result = Fennix::withAppearance(dark, [&] {
    EXPECT_EQ(NSAppearance::current(), dark);
    Fennix::withAppearance(NSAppearance{}, [] { EXPECT_FALSE(NSAppearance::current()->qvIsDarkMode()); });
    EXPECT_EQ(NSAppearance::current(), dark);
    return 7;
  });
  EXPECT_EQ(result, 7);
  EXPECT_EQ(NSAppearance::current(), std::nullopt);
  EXPECT_THROW(Fennix::withAppearance(dark, []() -> int { throw std::runtime_error("x"); }), std::runtime_error);
  EXPECT_EQ(NSAppearance::current(), std::nullopt);
}

}  // namespace
