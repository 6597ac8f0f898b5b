#include <gtest/gtest.h>

#include "Fennix/UI/AppKit/Font.h"
#include "Fennix/UI/Common/Styles.h"

namespace {

constexpr const char* monoFamily = "DejaVu Sans Mono";  // installed with the build's packages

TEST(FontTests, MonoFindsOnlyFixedPitchFamiliesTheManagerKnows) {
  NSFontPtr font = NSFont::mono(monoFamily, 12);
  ASSERT_TRUE(font);
  EXPECT_EQ(font->familyName(), monoFamily);
  EXPECT_EQ(font->pointSize(), 12);
  EXPECT_TRUE(font->traits() & NSFixedPitchFontMask);
  EXPECT_FALSE(font->traits() & (NSBoldFontMask | NSItalicFontMask));
  EXPECT_EQ(font->pangoDescription(), "DejaVu Sans Mono 12");

  EXPECT_TRUE(NSFont::mono("dejavu sans mono", 12)) << "family names ignore letter case";
  EXPECT_FALSE(NSFont::mono("DejaVu Sans", 12)) << "proportional family";
  EXPECT_FALSE(NSFont::mono("No Such Family", 12));
  EXPECT_FALSE(NSFont::mono(monoFamily, 0));
}

TEST(FontTests, WeightsPickTheNearestFace) {
  NSFontPtr bold = NSFont::font("DejaVu Sans", 11, 9);
  ASSERT_TRUE(bold);
  EXPECT_TRUE(bold->traits() & NSBoldFontMask);
  NSFontPtr light = NSFont::font("DejaVu Sans", 11, 0);
  ASSERT_TRUE(light);
  EXPECT_LT(light->face().weight, 400);
  NSFontPtr regular = NSFont::font("DejaVu Sans", 11, 5);
  ASSERT_TRUE(regular);
  EXPECT_EQ(regular->face().weight, 400);
  EXPECT_EQ(regular->face().stretch, 4) << "condensed faces only when nothing else fits";
}

TEST(FontTests, TraitConversionsKeepFamilyAndSize) {
  NSFontPtr font = NSFont::mono(monoFamily, 13);
  ASSERT_TRUE(font);
  NSFontPtr bold = font->qvBold();
  EXPECT_EQ(bold->familyName(), monoFamily);
  EXPECT_EQ(bold->pointSize(), 13);
  EXPECT_EQ(bold->traits() & (NSBoldFontMask | NSItalicFontMask), unsigned(NSBoldFontMask));
  NSFontPtr italic = font->qvItalic();
  EXPECT_EQ(italic->traits() & (NSBoldFontMask | NSItalicFontMask), unsigned(NSItalicFontMask));
  EXPECT_EQ(italic->qvBold()->traits() & (NSBoldFontMask | NSItalicFontMask),
            unsigned(NSBoldFontMask | NSItalicFontMask));
  EXPECT_EQ(font->qvBolder()->face().weight, bold->face().weight);

  // Without a heavier face the conversions hand back the font itself.
  EXPECT_EQ(bold->qvBolder(), bold);
  NSFontPtr math = NSFont::font("DejaVu Math TeX Gyre", 0, 5, 10);
  ASSERT_TRUE(math);
  EXPECT_EQ(math->qvBold(), math);
  EXPECT_EQ(math->qvItalic(), math);
}

TEST(FontTests, SizeChangesAndEquality) {
  NSFontPtr font = NSFont::mono(monoFamily, 13);
  ASSERT_TRUE(font);
  NSFontPtr same = font->qvModifySize(0);
  EXPECT_EQ(same->pointSize(), 13);
  EXPECT_EQ(*same, *font);
  EXPECT_EQ(*NSFont::mono(monoFamily, 13), *font) << "fonts made apart compare by face and size";
  EXPECT_EQ(font->qvModifySize(-2.5)->pointSize(), 10.5);
  EXPECT_FALSE(*font->qvModifySize(1) == *font);
  EXPECT_EQ(font->qvModifySize(-13), font) << "no font of size 0";
}

TEST(FontTests, StandardFontsAndLabelStyles) {
  EXPECT_LT(NSFont::labelFontSize(), NSFont::systemFontSize());
  NSFontPtr fixed = NSFont::userFixedPitchFont(11);
  ASSERT_TRUE(fixed);
  EXPECT_TRUE(fixed->isFixedPitch());

  using QvStyles::Label;
  auto byLabelSize = Label::fromSize(Label::SystemFontSize::label, 0, std::nullopt, std::nullopt);
  auto bySystemSize = Label::fromLabelFontAdjustingSize(0, NSTextAlignment::center);
  ASSERT_TRUE(byLabelSize->font && bySystemSize->font);
  EXPECT_EQ(byLabelSize->font->pointSize(), NSFont::labelFontSize());
  EXPECT_EQ(bySystemSize->font->pointSize(), NSFont::systemFontSize());
  EXPECT_EQ(bySystemSize->align, NSTextAlignment::center);
  EXPECT_FALSE(bySystemSize->color);

  auto small = Label::fromSize(Label::SystemFontSize::small, 1, NSTextAlignment::right, NSColor(1, 0, 0, 1));
  EXPECT_EQ(small->font->pointSize(), NSFont::smallSystemFontSize() + 1);
  EXPECT_EQ(small->color, NSColor(1, 0, 0, 1));
  EXPECT_EQ(Label::fromSystemFontAdjustingSize(2, std::nullopt)->font->pointSize(), NSFont::systemFontSize() + 2);
}

}  // namespace
