#include <gtest/gtest.h>

#include "Fennix/Foundation/Text/Font.h"

namespace {

constexpr const char* monoFamily = "DejaVu Sans Mono";  // installed with the build's packages

TEST(FontTests, LookupsFindOnlyFittingFaces) {
  NSFontPtr font = NSFont::mono(monoFamily, 12);
  ASSERT_TRUE(font);
  EXPECT_TRUE(font->traits() & NSFixedPitchFontMask);
  EXPECT_EQ(font->pangoDescription(), "DejaVu Sans Mono 12");
  EXPECT_TRUE(NSFont::mono("dejavu sans mono", 12)) << "family names ignore letter case";
  EXPECT_FALSE(NSFont::mono("DejaVu Sans", 12)) << "proportional family";
  EXPECT_FALSE(NSFont::mono("No Such Family", 12));
  EXPECT_FALSE(NSFont::mono(monoFamily, 0));

  NSFontPtr regular = NSFont::font("DejaVu Sans", 11, 5);
  ASSERT_TRUE(regular);
  EXPECT_EQ(regular->face().weight, 400);
  EXPECT_EQ(regular->face().stretch, 4) << "condensed faces only when nothing else fits";
}

TEST(FontTests, ConversionsKeepFamilyAndSizeOrHandBackTheFont) {
  NSFontPtr font = NSFont::mono(monoFamily, 13);
  ASSERT_TRUE(font);
  NSFontPtr bold = font->qvBold();
  EXPECT_EQ(bold->familyName(), monoFamily);
  EXPECT_EQ(bold->pointSize(), 13);
  EXPECT_EQ(bold->traits() & (NSBoldFontMask | NSItalicFontMask), unsigned(NSBoldFontMask));
  EXPECT_EQ(bold->qvBolder(), bold) << "no heavier face";
  NSFontPtr math = NSFont::font("DejaVu Math TeX Gyre", 0, 5, 10);
  ASSERT_TRUE(math);
  EXPECT_EQ(math->qvItalic(), math);

  EXPECT_EQ(*NSFont::mono(monoFamily, 13), *font) << "fonts made apart compare by face and size";
  EXPECT_EQ(font->qvModifySize(-2.5)->pointSize(), 10.5);
  EXPECT_EQ(font->qvModifySize(-13), font) << "no font of size 0";
}

}  // namespace
