// The portable names of colours and the protocols that view controllers conform to.
#include <gtest/gtest.h>

#include "Fennix/Foundation/Text/Appearance.h"
#include "Fennix/Foundation/Text/Color.h"
#include "PortKit/Common/ViewControllerType.h"

namespace {

TEST(PortableNamesTest, LabelColoursFollowTheAppearance) {
  for (const char* name : {"NSAppearanceNameAqua", "NSAppearanceNameDarkAqua"}) {
    Fennix::withAppearance(*NSAppearance::named(name), [] {
      EXPECT_EQ(NSColor::link(), NSColor::linkColor());
      EXPECT_EQ(NSColor::label(), NSColor::labelColor());
      EXPECT_EQ(NSColor::secondaryLabel(), NSColor::secondaryLabelColor());
      EXPECT_EQ(NSColor::tertiaryLabel(), NSColor::tertiaryLabelColor());
      EXPECT_EQ(NSColor::quaternaryLabel(), NSColor::quaternaryLabelColor());
      // Each level is fainter than the one before.
      EXPECT_GT(NSColor::label().alphaComponent(), NSColor::secondaryLabel().alphaComponent());
      EXPECT_GT(NSColor::secondaryLabel().alphaComponent(), NSColor::tertiaryLabel().alphaComponent());
      EXPECT_GT(NSColor::tertiaryLabel().alphaComponent(), NSColor::quaternaryLabel().alphaComponent());
    });
  }
  const NSColor light = Fennix::withAppearance(*NSAppearance::named("NSAppearanceNameAqua"), [] { return NSColor::label(); });
  const NSColor dark =
      Fennix::withAppearance(*NSAppearance::named("NSAppearanceNameDarkAqua"), [] { return NSColor::label(); });
  EXPECT_EQ(light.redComponent(), 0);
  EXPECT_EQ(dark.redComponent(), 1);
}

struct Presenter {
  std::optional<Fennix::AnyValue> representedObject() const { return std::nullopt; }
  void setRepresentedObject(std::optional<Fennix::AnyValue>) {}
};
static_assert(UXObjectPresentingType<Presenter>);
static_assert(!UXViewControllerType<Presenter>);
static_assert(UXViewControllerType<QvViewControllerBase>);
static_assert(UXObjectPresentingType<NSViewController>);

}  // namespace
