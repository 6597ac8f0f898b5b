// The portable widget accessors over GTK widgets.
#include <gtest/gtest.h>
#include <gtkmm/init.h>

#include "Fennix/UI/AppKit/GTK/ViewFactory.h"
#include "PortKit/Common/ObjectProtocols.h"
#include "PortKit/GTK/Accessors.h"

namespace {

// The factory's label shows an object value through a formatter; a plain label does not.
static_assert(UXObjectControl<QvLabel>);
static_assert(!UXObjectControl<Gtk::Label>);

bool gtkReady() {
  if (!gtk_init_check()) return false;
  Gtk::init_gtkmm_internals();
  return true;
}

TEST(PortKitAccessors, SpinnerButtonsAndAlignment) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  Gtk::Spinner spinner;
  PortKit::setSpinning(spinner, true);
  EXPECT_TRUE(spinner.get_spinning());
  EXPECT_TRUE(PortKit::isSpinning(spinner));
  spinner.set_visible(false);
  EXPECT_FALSE(PortKit::isSpinning(spinner));  // hidden, though it still spins
  PortKit::setSpinning(spinner, false);
  EXPECT_FALSE(spinner.get_spinning());
  EXPECT_FALSE(spinner.get_visible());  // visibility is left alone

  Gtk::CheckButton check;
  check.set_active(true);
  check.set_inconsistent(true);
  EXPECT_FALSE(PortKit::isOn(check));  // the mixed state is not on
  PortKit::setOn(check, true);
  EXPECT_TRUE(PortKit::isOn(check));
  Gtk::ToggleButton toggle;
  PortKit::setOn(toggle, true);
  EXPECT_TRUE(PortKit::isOn(toggle));

  Gtk::Label label("x");
  PortKit::setTextAlignment(label, Gtk::Justification::RIGHT);
  EXPECT_EQ(PortKit::textAlignment(label), Gtk::Justification::RIGHT);
  EXPECT_FLOAT_EQ(label.get_xalign(), 1.0f);
  Gtk::Entry entry;
  PortKit::setTextAlignment(entry, 0.5f);
  EXPECT_FLOAT_EQ(PortKit::textAlignment(entry), 0.5f);

  Gtk::Image image;
  PortKit::setImage(image, NSImage::named("org.quarvel.SVGQuarvel"));
  EXPECT_EQ(image.get_icon_name(), "org.quarvel.SVGQuarvel");
}

}  // namespace
