#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

#include <gtest/gtest.h>

#include <limits>

using CSS::Color;

namespace {

struct ColorWriter {
  SVGSwiftUIExporter exporter{SVGSwiftUIExporter::Config{}};

  std::string operator()(const Color& color, std::optional<CGFloat> opacity = std::nullopt, bool init = false,
                         bool hex = false) {
    return exporter.generateColor(color, opacity, init, hex).value_or("<none>");
  }
};

}  // namespace

TEST(ColorEmit, NamedAndComponentForms) {
  ColorWriter write;
  // SwiftUI's own colours never carry an opacity; other names use their components.
  EXPECT_EQ(write(Color::named("red"), 0.5), "Color.red");
  EXPECT_EQ(write(Color::named("orangered"), 0.5, true), ".init(red: 1, green: 0.2706, blue: 0, opacity: 0.5)");
  EXPECT_EQ(write(Color::rgba(0.2, 0.2, 0.2, 0.25), 0.8), "Color(white: 0.2, opacity: 0.8)");
  EXPECT_FALSE(write.exporter.didUseHexColorInit());
  EXPECT_EQ(write(Color::rgba(1, 0, 0, 0.25), std::nullopt, true, true), ".init(0xFF0000, opacity: 0.25)");
  EXPECT_TRUE(write.exporter.didUseHexColorInit());
}

TEST(ColorEmit, UnknownNamesAreMarkedAndCannotBreakTheCode) {
  ColorWriter write;
  EXPECT_EQ(write(Color::named("My_Tint2"), 0.5, true, true), "Color.My_Tint2 /*unknown*/");
  // Comment ends, blanks, line breaks and punctuation become "_", one per character.
  EXPECT_EQ(write(Color::named("a */ }\nb(")), "Color.a______b_ /*unknown*/");
  EXPECT_EQ(write(Color::named("caf\xC3\xA9-\xE2\x82\xAC")), "Color.caf___ /*unknown*/");
  EXPECT_FALSE(write.exporter.didUseHexColorInit());
}

TEST(ColorEmit, ComponentsOutsideTheUnitRangeKeepTheirValues) {
  ColorWriter write;
  EXPECT_EQ(write(Color::rgb(1.5, 0, 0), std::nullopt, false, true), "Color(red: 1.5, green: 0, blue: 0)");
  EXPECT_EQ(write(Color::rgba(0, -0.25, 1, 0.5), std::nullopt, true, true),
            ".init(red: 0, green: -0.25, blue: 1, opacity: 0.5)");
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(write(Color::rgb(nan, 0, 1), std::nullopt, false, true), "Color(red: .nan, green: 0, blue: 1)");
  EXPECT_FALSE(write.exporter.didUseHexColorInit());
}
