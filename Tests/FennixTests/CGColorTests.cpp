// Colours with a colour space read as red, green, blue and alpha, and the colour helpers on them.
#include <gtest/gtest.h>

#include "Fennix/UI/AppKit/CGColor.h"

namespace {

CGColorSpace::Ptr space(const char* name) { return CGColorSpace::named(name); }

void expectNear(const QvRGBComponents& actual, const QvRGBComponents& expected) {
  EXPECT_NEAR(actual.red, expected.red, 1e-6);
  EXPECT_NEAR(actual.green, expected.green, 1e-6);
  EXPECT_NEAR(actual.blue, expected.blue, 1e-6);
  EXPECT_NEAR(actual.alpha, expected.alpha, 1e-6);
}

TEST(CGColorTest, SRGBAndDisplayP3ReadAsTheyAre) {
  auto srgb = CGColor::make(space(CGColorSpace::sRGB), {0.1, 0.2, 0.3, 0.4});
  ASSERT_TRUE(srgb);
  EXPECT_EQ(srgb->rgbComponents(), (QvRGBComponents{0.1, 0.2, 0.3, 0.4}));
  // Display P3 components are not converted, though they mean another colour in sRGB.
  auto p3 = CGColor::make(space(CGColorSpace::displayP3), {1, 0, 0, 1});
  ASSERT_TRUE(p3);
  EXPECT_EQ(p3->rgbComponents(), (QvRGBComponents{1, 0, 0, 1}));
  auto p3InSRGB = p3->converted(space(CGColorSpace::sRGB));
  ASSERT_TRUE(p3InSRGB);
  EXPECT_GT(p3InSRGB->components()[0], 1);  // P3 red lies outside sRGB
  EXPECT_LT(p3InSRGB->components()[1], 0);
}

TEST(CGColorTest, OtherSpacesAreConvertedIntoSRGB) {
  // A grey of the generic grey space.
  const CGColor gray = CGColor::new_(0.5, 0.25);
  EXPECT_EQ(gray.colorSpace()->name(), CGColorSpace::genericGray);
  EXPECT_EQ(gray.components(), (std::vector<double>{0.5, 0.25}));
  EXPECT_EQ(gray.rgbComponents(), (QvRGBComponents{0.5, 0.5, 0.5, 0.25}));
  EXPECT_EQ(gray.hexString(), "7f7f7f3f");

  // Linear light goes through the sRGB curve.
  auto linear = CGColor::make(space(CGColorSpace::linearSRGB), {0.5, 0, 1, 1});
  ASSERT_TRUE(linear);
  expectNear(linear->rgbComponents(), {0.735356983, 0, 1, 1});

  auto cmyk = CGColor::make(space(CGColorSpace::genericCMYK), {0, 1, 1, 0.5, 0.8});
  ASSERT_TRUE(cmyk);
  expectNear(cmyk->rgbComponents(), {0.5, 0, 0, 0.8});

  auto device = CGColor::make(CGColorSpace::device(CGColorSpace::Model::rgb), {0.2, 0.4, 0.6, 1});
  ASSERT_TRUE(device);
  EXPECT_FALSE(device->colorSpace()->name());
  EXPECT_EQ(device->rgbComponents(), (QvRGBComponents{0.2, 0.4, 0.6, 1}));

  // A colour without a space (a pattern) cannot be read.
  auto pattern = CGColor::make(nullptr, {1});
  ASSERT_TRUE(pattern);
  EXPECT_EQ(pattern->rgbComponents(), (QvRGBComponents{0, 0, 0, 0}));
  EXPECT_FALSE(pattern->converted(space(CGColorSpace::sRGB)));
  // Conversions go into sRGB only.
  EXPECT_FALSE(gray.converted(space(CGColorSpace::displayP3)));
}

TEST(CGColorTest, ComponentsMustFitTheSpace) {
  EXPECT_FALSE(CGColor::make(space(CGColorSpace::sRGB), {0.1, 0.2, 0.3}));
  EXPECT_FALSE(CGColor::make(space(CGColorSpace::genericGray), {0.1, 0.2, 0.3}));
  EXPECT_FALSE(CGColor::make(nullptr, {}));
  EXPECT_EQ(CGColorSpace::named("kCGColorSpaceNoSuchSpace"), nullptr);
  EXPECT_EQ(CGColorSpace::named(CGColorSpace::sRGB), CGColorSpace::named(CGColorSpace::sRGB));
}

TEST(CGColorTest, TheColourHelpersWorkOnColoursWithASpace) {
  const CGColor orange = CGColor::fromRGB(0xff8000);
  EXPECT_EQ(orange.colorSpace()->name(), CGColorSpace::genericRGB);
  EXPECT_EQ(orange.hexString(), "ff8000");
  EXPECT_EQ(orange.hexString("#", true), "#ff8000ff");
  EXPECT_EQ(CGColor::fromRGBA(0x11223344).rgbaValue(), 0x11223344u);
  EXPECT_EQ(CGColor::fromHex("#00ff00", '#')->rgbValue(), 0x00ff00u);
  EXPECT_FALSE(CGColor::fromHex("#ggg"));
  EXPECT_EQ(CGColor::rgbFromHex("abc"), 0xaabbccu);
  EXPECT_EQ(orange.applyShadow(50).rgbValue(), 0x7f4000u);
  EXPECT_EQ(CGColor::new_(0, 1).applyHighlight(100).rgbValue(), 0xffffffu);
}

}  // namespace
