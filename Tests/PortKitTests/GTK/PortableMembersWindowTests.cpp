// The portable members of views, controllers, spinners and the clipboard on real widgets in a
// window: the toolkit lays out, draws and animates, and the clipboard is the display's own.
#include <gtest/gtest.h>

#include <gtkmm/box.h>
#include <gtkmm/fixed.h>
#include <gtkmm/revealer.h>

#include "Fennix/UI/Common/ViewControllers/GTK/ControllerKitsGTK.h"
#include "Fennix/UI/Common/Views/GTK/ViewBase.h"
#include "FennixTests/GTK/ViewKitWindowSupport.h"
#include "PortKit/Common/ViewControllerType.h"
#include "PortKit/GTK/Accessors.h"

namespace {

using namespace ViewKitWindowSupport;

struct PlainController : QvViewControllerBase {};

class PortableMembersTest : public WindowTest {
 protected:
  PortableMembersTest() : WindowTest(240, 160, 20) {}
};

/// Counts the layout passes the toolkit runs.
class CountingView : public QvViewBase {
 public:
  int layouts = 0;
  void layoutSubviews() override {
    ++layouts;
    QvViewBase::layoutSubviews();
  }
};

TEST_F(PortableMembersTest, RelayoutRequestsReachTheNextLayoutPass) {
  auto* view = QvViewBase::make<CountingView>();
  show(*view);
  const int before = view->layouts;
  PortKit::setNeedsUpdateConstraints(*view);
  EXPECT_TRUE(pumpUntil([&] { return view->layouts > before; }));
  const int after = view->layouts;
  PortKit::setNeedsLayout(*view);
  EXPECT_TRUE(pumpUntil([&] { return view->layouts > after; }));
}

TEST_F(PortableMembersTest, ViewsOfTheProtocolMoveBetweenContainers) {
  auto* fixed = Gtk::make_managed<Gtk::Fixed>();
  fixed->set_size_request(200, 100);
  auto* label = Gtk::make_managed<Gtk::Label>("moved");
  show(*fixed);
  EXPECT_EQ(PortKit::superview(*label), nullptr);
  PortKit::addSubview(*fixed, *label);
  EXPECT_EQ(PortKit::superview(*label), fixed);
  EXPECT_EQ(PortKit::subviews(*fixed), std::vector<NSView*>{label});

  // Frames are y-up in the container: 10 from the bottom of a 100 high container.
  PortKit::setFrame(*label, CGRect(20, 10, 80, 30));
  pumpUntil([&] { return label->get_width() == 80; });
  pumpFrames(10);
  EXPECT_EQ(PortKit::frame(*label), CGRect(20, 10, 80, 30));
  double x = 0, y = 0;
  label->translate_coordinates(*fixed, 0, 0, x, y);
  EXPECT_EQ(y, fixed->get_height() - 10 - 30);  // from the top, as the toolkit places it
  EXPECT_EQ(PortKit::bounds(*label), CGRect(0, 0, 80, 30));
  PortKit::setBounds(*label, CGRect(0, 0, 60, 20));
  pumpUntil([&] { return label->get_width() == 60; });
  EXPECT_EQ(PortKit::frame(*label).size, (CGSize{60, 20}));

  label->reference();  // keep it alive while it has no container
  PortKit::removeFromSuperview(*label);
  EXPECT_EQ(PortKit::superview(*label), nullptr);
  EXPECT_TRUE(PortKit::subviews(*fixed).empty());
  label->unreference();
}

TEST_F(PortableMembersTest, ControllersUnderTheirPortableNames) {
  Fennix::installControllerKitsGTK();
  auto parent = NSViewController::make<PlainController>();
  auto child = NSViewController::make<PlainController>();
  EXPECT_EQ(&PortKit::uxViewController(*parent), parent.get());
  EXPECT_EQ(PortKit::uxParent(*child), nullptr);
  parent->uxAddChild(child);
  EXPECT_EQ(PortKit::uxParent(*child), parent.get());
  child->uxRemoveFromParent();
  EXPECT_EQ(PortKit::uxParent(*child), nullptr);

  // The root view is the controller's view, loaded on first use, and shows in a window.
  EXPECT_FALSE(parent->isViewLoaded());
  auto root = PortKit::rootView(*parent);
  ASSERT_TRUE(root);
  EXPECT_EQ(parent->viewIfLoaded(), root);
  Gtk::Widget* widget = Fennix::widget(*root);
  ASSERT_NE(widget, nullptr);
  show(*widget);
  EXPECT_TRUE(widget->get_mapped());
  window->unset_child();
}

/// Draws a red square moved 50 to the right inside its own context, then a blue one.
class ContextView : public Gtk::Widget {
 protected:
  void snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) override {
    const graphene_rect_t square = GRAPHENE_RECT_INIT(0, 0, 20, 20);
    const GdkRGBA red{1, 0, 0, 1}, blue{0, 0, 1, 1};
    PortKit::inOwnContext(*snapshot, [&] {
      graphene_point_t by = GRAPHENE_POINT_INIT(50, 0);
      gtk_snapshot_translate(snapshot->gobj(), &by);
      gtk_snapshot_append_color(snapshot->gobj(), &red, &square);
    });
    gtk_snapshot_append_color(snapshot->gobj(), &blue, &square);
  }
};

TEST_F(PortableMembersTest, DrawingInOwnContextLeavesTheStateAsItWas) {
  auto* view = Gtk::make_managed<ContextView>();
  view->set_size_request(100, 40);
  show(*view);
  GdkTexture* texture = nullptr;
  pumpUntil([&] { return (texture = DisplayTestSupport::renderWidget(*view)) != nullptr; });
  ASSERT_NE(texture, nullptr);
  EXPECT_TRUE(near(pixel(texture, 60, 10), 0xff0000));  // moved inside the context
  EXPECT_TRUE(near(pixel(texture, 10, 10), 0x0000ff));  // not moved after it
  g_object_unref(texture);
  saveScreenshot(*window, "own-context");
}

TEST_F(PortableMembersTest, ChangesWithoutAnimationEndAtOnce) {
  auto* box = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 0);
  auto* animated = Gtk::make_managed<Gtk::Revealer>();
  auto* immediate = Gtk::make_managed<Gtk::Revealer>();
  for (Gtk::Revealer* revealer : {animated, immediate}) {
    revealer->set_transition_duration(60000);
    revealer->set_child(*Gtk::make_managed<Gtk::Label>("shown"));
    box->append(*revealer);
  }
  show(*box);
  GtkSettings* settings = gtk_settings_get_for_display(window->get_display()->gobj());
  g_object_set(settings, "gtk-enable-animations", TRUE, nullptr);

  animated->set_reveal_child(true);
  PortKit::withDisabledAnimations(*immediate, [&] { immediate->set_reveal_child(true); });
  pumpFrames(10);
  EXPECT_FALSE(animated->get_child_revealed());  // a minute-long transition is under way
  EXPECT_TRUE(immediate->get_child_revealed());
  gboolean enabled = FALSE;
  g_object_get(settings, "gtk-enable-animations", &enabled, nullptr);
  EXPECT_TRUE(enabled);  // put back afterwards
}

/// The pixels of the texture inside `area` that differ clearly from the one at its top left corner.
int markedPixels(GdkTexture* texture, const graphene_rect_t& area) {
  const int width = gdk_texture_get_width(texture), height = gdk_texture_get_height(texture);
  std::vector<guchar> data(std::size_t(width) * height * 4);
  gdk_texture_download(texture, data.data(), std::size_t(width) * 4);
  auto at = [&](int x, int y) {
    const std::size_t i = (std::size_t(y) * width + x) * 4;
    return (std::uint32_t(data[i + 2]) << 16) | (std::uint32_t(data[i + 1]) << 8) | data[i];
  };
  const std::uint32_t background = at(int(area.origin.x), int(area.origin.y));
  int marked = 0;
  for (int y = int(area.origin.y); y < std::min(height, int(area.origin.y + area.size.height)); ++y)
    for (int x = int(area.origin.x); x < std::min(width, int(area.origin.x + area.size.width)); ++x)
      if (!near(at(x, y), background, 40)) ++marked;
  return marked;
}

TEST_F(PortableMembersTest, AStoppedSpinnerShowsOnlyWhenItDoesNotHide) {
  auto* box = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 0);
  auto* spinner = Gtk::make_managed<Gtk::Spinner>();
  spinner->set_size_request(32, 32);
  box->append(*spinner);
  show(*box);
  EXPECT_TRUE(PortKit::hidesWhenStopped(*spinner));  // the toolkit's own way
  auto marked = [&] {
    pumpFrames(10);
    graphene_rect_t area;
    if (!gtk_widget_compute_bounds(GTK_WIDGET(spinner->gobj()), GTK_WIDGET(window->gobj()), &area)) return -1;
    GdkTexture* texture = DisplayTestSupport::renderWidget(*window);
    const int count = texture ? markedPixels(texture, area) : -1;
    if (texture) g_object_unref(texture);
    return count;
  };
  // The theme fades the spinner in and out, so each look is waited for.
  EXPECT_EQ(marked(), 0);
  PortKit::setHidesWhenStopped(*spinner, false);
  EXPECT_FALSE(PortKit::hidesWhenStopped(*spinner));
  EXPECT_TRUE(pumpUntil([&] { return marked() > 10; }));
  saveScreenshot(*window, "spinner-displayed-when-stopped");
  PortKit::setHidesWhenStopped(*spinner, true);
  EXPECT_TRUE(pumpUntil([&] { return marked() == 0; }));
}

TEST_F(PortableMembersTest, TheDisplaysClipboardSaysWhatItCanGive) {
  window->present();
  pumpFrames(10);
  auto clipboard = window->get_display()->get_clipboard();
  // Another client of the same display owns the clipboard.
  GdkDisplay* other = gdk_display_open(gdk_display_get_name(window->get_display()->gobj()));
  ASSERT_NE(other, nullptr);
  GdkClipboard* theirs = gdk_display_get_clipboard(other);
  const NSPasteboard::PasteboardType& text = NSPasteboard::PasteboardType::string();
  const NSPasteboard::PasteboardType& divider = NSPasteboard::PasteboardType::qvDivider();

  gdk_clipboard_set_text(theirs, "plain words");
  ASSERT_TRUE(pumpUntil([&] { return !clipboard->is_local() && PortKit::canReadItem(*clipboard, text); }));
  EXPECT_FALSE(PortKit::canReadItem(*clipboard, divider));
  EXPECT_TRUE(PortKit::canReadItem(*clipboard, {divider, text}));
  EXPECT_FALSE(PortKit::canReadItem(*clipboard, std::vector<NSPasteboard::PasteboardType>{}));

  GBytes* bytes = g_bytes_new_static("-", 1);
  GdkContentProvider* provider = gdk_content_provider_new_for_bytes(("application/x-" + divider.rawValue).c_str(), bytes);
  gdk_clipboard_set_content(theirs, provider);
  g_object_unref(provider);
  g_bytes_unref(bytes);
  ASSERT_TRUE(pumpUntil([&] { return PortKit::canReadItem(*clipboard, divider); }));
  EXPECT_FALSE(PortKit::canReadItem(*clipboard, text));
  EXPECT_TRUE(PortKit::canReadItem(*clipboard, {text, divider}));
  gdk_display_close(other);
}

}  // namespace
