// The view kit's base views and layout in real windows.
#include <gtkmm/fixed.h>
#include <gtkmm/label.h>

#include <regex>

#include "Fennix/UI/Common/GTK/AutoLayoutGTK.h"
#include "Fennix/UI/Common/Views/GTK/ViewBase.h"
#include "FennixTests/GTK/ViewKitWindowSupport.h"

using namespace ViewKitWindowSupport;

namespace {

// Counts its hooks and colours its marker by the appearance it is drawn in.
class Swatch : public QvViewBase {
 public:
  int setups = 0, appearanceChanges = 0, layouts = 0;
  QvSimpleColorView* color = nullptr;
  QvMarkerView* marker = nullptr;

  void onSetup() override {
    ++setups;
    color = Gtk::make_managed<QvSimpleColorView>(NSColor(0.2, 0.5, 0.9, 1), NSColor(0, 0, 0, 1));
    marker = Gtk::make_managed<QvMarkerView>();
    qvAdd(*this, "color", *color, std::nullopt, "H:|-8-[self]-8-|", "V:|-8-[self]");
    qvAdd(*this, "marker", *marker, std::nullopt, "H:|-8-[self]-8-|", "V:[self]-8-|");
    auto views = QvViewsMap{{"color", Fennix::item(*color)}, {"marker", Fennix::item(*marker)}};
    NSLayoutConstraint::activate(QvLayout::qv("V:[color]-8-[marker]", views));
    NSLayoutConstraint::qvEqualHeight(Fennix::item(*color), Fennix::item(*marker))->activate();
    Fennix::withEffectiveAppearance(*this, [this] { recolour(); });
  }
  void onAppearanceChange() override {
    ++appearanceChanges;
    recolour();
  }
  void layoutSubviews() override {
    ++layouts;
    QvViewBase::layoutSubviews();
  }
  void appendToDescription(std::string& text) const override { text += " swatch"; }

 private:
  void recolour() {
    // Resolved in the view's own appearance (the scope the hook runs in).
    marker->setFillColor(NSColor::boxLevel1ContentColor());
    marker->setStrokeColor(NSColor::selectedControlColor());
  }
};

void setDark(bool dark) {
  g_object_set(gtk_settings_get_default(), "gtk-application-prefer-dark-theme", dark, nullptr);
}

TEST(ViewKitWindowTest, ChildPinnedEightPointsInOnEverySide) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  Gtk::Window window;
  window.set_default_size(300, 200);
  auto* root = QvViewBase::make<QvViewBase>();
  window.set_child(*root);
  auto* child = Gtk::make_managed<QvSimpleColorView>(NSColor(1, 0, 0, 1), std::nullopt);
  qvAdd(*root, "child", *child, std::nullopt, "H:|-8-[self]-8-|", "V:|-8-[self]-8-|");
  window.present();
  ASSERT_TRUE(pumpUntil([&] { return root->get_width() > 0 && child->get_width() > 0; }));
  pumpFrames();
  auto bounds = boundsIn(*child, *root);
  EXPECT_EQ(bounds.origin.x, 8);
  EXPECT_EQ(bounds.origin.y, 8);
  EXPECT_EQ(bounds.size.width, root->get_width() - 16);
  EXPECT_EQ(bounds.size.height, root->get_height() - 16);

  // Identifiers are names; lookups find the child by identifier and by class.
  auto found = qvView(Fennix::item(*root), "child");
  ASSERT_TRUE(found);
  EXPECT_EQ(Fennix::widget(*found), child);
  EXPECT_EQ(Fennix::qvFirstSubview<QvSimpleColorView>(*root), child);
  EXPECT_EQ(Fennix::qvFirstSubview(*root, GTK_TYPE_WIDGET), child);
  EXPECT_EQ(Fennix::qvFirstSubview<QvMarkerView>(*root), nullptr);

  // Replacing the content pins the new view by the content format.
  auto* content = Gtk::make_managed<QvSimpleColorView>(NSColor(0, 1, 0, 1), std::nullopt);
  setQvContentView(Fennix::item(*root), Fennix::item(*content));
  EXPECT_EQ(qvContentView(Fennix::item(*root)), Fennix::item(*content));
  pumpFrames();
  ASSERT_TRUE(pumpUntil([&] { return content->get_width() == root->get_width(); }));
  EXPECT_EQ(content->get_height(), root->get_height());
  window.close();
}

TEST(ViewKitWindowTest, HooksDescriptionAndColourViews) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  setDark(false);
  Gtk::Window window;
  window.set_default_size(160, 120);
  auto* swatch = QvViewBase::make<Swatch>();
  swatch->runSetup();  // once only
  window.set_child(*swatch);
  window.present();
  ASSERT_TRUE(pumpUntil([&] { return swatch->marker->get_height() > 0; }));
  EXPECT_EQ(swatch->setups, 1);
  EXPECT_EQ(swatch->appearanceChanges, 0);  // never at creation
  EXPECT_GE(swatch->layouts, 1);
  EXPECT_EQ(swatch->color->get_height(), swatch->marker->get_height());
  EXPECT_TRUE(swatch->isOpaque());

  EXPECT_TRUE(std::regex_match(swatch->description(), std::regex("<Swatch:(0x[0-9a-f]{9}|ObjectIdentifier\\(0x[0-9a-f]{16}) swatch>")))
      << swatch->description();

  EXPECT_EQ(swatch->marker->fillColor(), NSColor::fromRGB(0xe7e7e7));
  saveScreenshot(*swatch, "colour-views-light");
  setDark(true);
  pumpFrames();
  EXPECT_EQ(swatch->appearanceChanges, 1);
  EXPECT_EQ(swatch->marker->fillColor(), NSColor::fromRGB(0x38393d));
  GdkTexture* dark = nullptr;
  pumpUntil([&] { return (dark = renderWidget(*swatch)) != nullptr; });
  saveScreenshot(*swatch, "colour-views-dark");
  ASSERT_NE(dark, nullptr);
  const int x = swatch->get_width() / 2, y = swatch->get_height() * 3 / 4;
  EXPECT_TRUE(near(pixel(dark, x, y), 0x38393d)) << std::hex << pixel(dark, x, y);
  EXPECT_TRUE(near(pixel(dark, x, swatch->get_height() / 4), 0x3380e5)) << std::hex << pixel(dark, x, 30);
  g_object_unref(dark);
  setDark(false);
  pumpFrames();
  EXPECT_EQ(swatch->appearanceChanges, 2);

  QvSimpleColorView outline(std::nullopt, NSColor(0, 0, 0, 1));
  EXPECT_FALSE(outline.isOpaque());
  outline.setFillColor(NSColor(1, 0, 0, 0.5));
  EXPECT_FALSE(outline.isOpaque());
  outline.setFillColor(NSColor(1, 0, 0, 1));
  EXPECT_TRUE(outline.isOpaque());
  window.close();
}

TEST(ViewKitWindowTest, FlexResizingInAFixedContainerStacksUpFromTheBottom) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  Fennix::installToolkitLayoutHost();
  Gtk::Fixed fixed;
  fixed.set_size_request(40, 300);
  Gtk::Label first("a"), second("b");
  fixed.put(first, 0, 0);
  fixed.put(second, 0, 0);
  first.set_size_request(40, 100);
  second.set_size_request(40, 1);
  qvResizeSubviewsWithJustWidthAtIndexExpanding(Fennix::item(fixed), 1, NSLayoutConstraintOrientation::vertical, 10,
                                                20);
  // The first frame starts at the bottom: y 0 in frames is the bottom edge.
  EXPECT_EQ(Fennix::layoutHost()->frame(Fennix::item(first)), (Fennix::LayoutHost::Frame{0, 0, 40, 100}));
  EXPECT_EQ(Fennix::layoutHost()->frame(Fennix::item(second)), (Fennix::LayoutHost::Frame{0, 110, 40, 190}));
  GskTransform* transform = gtk_fixed_get_child_transform(fixed.gobj(), GTK_WIDGET(first.gobj()));
  float scaleX, scaleY, dx = -1, dy = -1;
  gsk_transform_to_affine(transform, &scaleX, &scaleY, &dx, &dy);
  EXPECT_EQ(dy, 200);
  int width = 0, height = 0;
  second.get_size_request(width, height);
  EXPECT_EQ(height, 190);
  fixed.remove(first);
  fixed.remove(second);
}

TEST(ViewKitWindowTest, EmptyClipboardReadsNoObject) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  auto clipboard = Gdk::Display::get_default()->get_primary_clipboard();
  clipboard->unset_content();
  EXPECT_FALSE(Fennix::canReadObject(clipboard, G_TYPE_INT));
  bool called = false;
  Fennix::readObject(clipboard, G_TYPE_INT, [&](std::optional<Glib::ValueBase> value) {
    called = true;
    EXPECT_FALSE(value);
  });
  EXPECT_TRUE(called);

  clipboard->set_text("svg");
  EXPECT_TRUE(Fennix::canReadObject(clipboard, G_TYPE_STRING));
  std::optional<std::string> read;
  Fennix::readObject(clipboard, G_TYPE_STRING, [&](std::optional<Glib::ValueBase> value) {
    read = value ? std::string(g_value_get_string(value->gobj())) : "<none>";
  });
  ASSERT_TRUE(pumpUntil([&] { return read.has_value(); }));
  EXPECT_EQ(read, "svg");
}

}  // namespace
