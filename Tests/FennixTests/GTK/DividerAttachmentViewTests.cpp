// Dividers in a real text view and on the real clipboard (needs a display).
#include <gtest/gtest.h>

#include <gdkmm/display.h>
#include <gtkmm/box.h>
#include <gtkmm/init.h>
#include <gtkmm/textview.h>
#include <gtkmm/widgetpaintable.h>
#include <gtkmm/window.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <optional>
#include <string>

#include "Fennix/UI/AppKit/GTK/DividerTextAttachmentView.h"
#include "Tools/DisplayTestMain/WidgetPicture.h"
#include "Tools/XDriver/XDriver.h"

namespace {

bool gtkReady() {
  if (!gtk_init_check()) return false;
  Gtk::init_gtkmm_internals();
  return true;
}

bool runUntil(const std::function<bool()>& done, double seconds = 5) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    g_main_context_iteration(nullptr, FALSE);
    g_usleep(1000);
  }
  return true;
}

using DisplayTestSupport::renderWidget;

TEST(DividerAttachmentViewTests, ADividerSpansTheTextViewAsAGreyRule) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  Gtk::Window window;
  window.set_default_size(320, 120);
  Gtk::TextView view;
  view.set_left_margin(8);
  view.set_right_margin(8);
  auto buffer = view.get_buffer();
  buffer->set_text("above \U0001F600\n");
  auto anchor = Fennix::GTK::insertDivider(view, buffer->end(), QvDividerTextAttachment::make());
  buffer->insert(buffer->end(), "\nbelow");
  EXPECT_EQ(buffer->get_char_count(), 15);  // the anchor counts as one character
  window.set_child(view);
  window.present();
  ASSERT_TRUE(runUntil([&] { return view.get_mapped() && view.get_width() > 0; }));
  auto widgets = anchor->get_widgets();
  ASSERT_EQ(widgets.size(), 1u);
  auto* divider = dynamic_cast<Fennix::GTK::DividerAttachmentView*>(widgets[0]);
  ASSERT_NE(divider, nullptr);
  ASSERT_TRUE(runUntil([&] { return divider->get_width() == view.get_width() - 17; }))
      << divider->get_width() << " in " << view.get_width();
  EXPECT_EQ(divider->get_height(), 11);

  // Widening the window widens the rule.
  window.set_default_size(420, 120);
  ASSERT_TRUE(runUntil([&] { return view.get_width() > 400 && divider->get_width() == view.get_width() - 17; }));
  runUntil([] { return false; }, 0.3);

  GdkTexture* texture = renderWidget(view);
  ASSERT_NE(texture, nullptr);
  const std::filesystem::path png = std::filesystem::path(QUARVEL_TEST_OUTPUT_DIR) / "divider-in-text-view.png";
  EXPECT_TRUE(gdk_texture_save_to_png(texture, png.c_str()));
  // One row of grey pixels across most of the view: the rule.
  const int width = gdk_texture_get_width(texture), height = gdk_texture_get_height(texture);
  std::vector<guchar> data(std::size_t(width) * height * 4);
  gdk_texture_download(texture, data.data(), std::size_t(width) * 4);
  int longestGreyRow = 0;
  for (int y = 0; y < height; ++y) {
    int grey = 0;
    for (int x = 0; x < width; ++x) {
      const guchar* p = &data[(std::size_t(y) * width + x) * 4];
      if (std::abs(p[0] - 204) <= 8 && std::abs(p[1] - 204) <= 8 && std::abs(p[2] - 204) <= 8) ++grey;
    }
    longestGreyRow = std::max(longestGreyRow, grey);
  }
  EXPECT_GE(longestGreyRow, width - 40) << "no rule in " << png;
  g_object_unref(texture);
}

// A cell that is no divider.
struct BoxCell : NSTextAttachmentCell {
  NSTextAttachmentFrame cellFrame(const NSTextAttachmentFrame& proposed, double) const override {
    return {proposed.x, 0, 10, 10};
  }
  std::vector<NSTextAttachmentStroke> draw(const NSTextAttachmentFrame&) const override { return {}; }
};

TEST(DividerAttachmentViewTests, TheClipboardHoldsADividerAndItsPlainText) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  auto clipboard = Gdk::Display::get_default()->get_clipboard();
  Fennix::GTK::copyAttachment(clipboard, *QvDividerTextAttachment::make());
  EXPECT_TRUE(clipboard->get_formats()->contain_mime_type("application/x-org.quarvel.text.divider"));

  std::optional<Glib::ustring> text;
  clipboard->read_text_async([&](Glib::RefPtr<Gio::AsyncResult>& result) { text = clipboard->read_text_finish(result); });
  ASSERT_TRUE(runUntil([&] { return text.has_value(); }));
  EXPECT_EQ(*text, "──────────");

  bool read = false;
  std::shared_ptr<QvTextDividerPBItem> item;
  Fennix::GTK::readDivider(clipboard, [&](std::shared_ptr<QvTextDividerPBItem> found) {
    item = std::move(found);
    read = true;
  });
  ASSERT_TRUE(runUntil([&] { return read; }));
  EXPECT_NE(item, nullptr);

  // An attachment of data, with no divider cell set, copies as a divider too, before and after
  // being asked for its cell, and so it does with a cell of another kind.
  QvDividerTextAttachment data(std::string("bytes"), std::string("public.data"));
  for (int round = 0; round < 3; ++round) {
    if (round == 1) {
      EXPECT_NE(data.attachmentCell(), nullptr);
    }
    if (round == 2) data.setAttachmentCell(std::make_shared<BoxCell>());
    clipboard->set_text("before");
    Fennix::GTK::copyAttachment(clipboard, data);
    EXPECT_TRUE(clipboard->get_formats()->contain_mime_type("application/x-org.quarvel.text.divider")) << round;
    text.reset();
    clipboard->read_text_async(
        [&](Glib::RefPtr<Gio::AsyncResult>& result) { text = clipboard->read_text_finish(result); });
    ASSERT_TRUE(runUntil([&] { return text.has_value(); }));
    EXPECT_EQ(*text, "──────────") << round;
  }
  // A plain attachment copies as nothing: the clipboard keeps what it held.
  const NSTextAttachment image(std::string("png"), std::string("public.png"));
  clipboard->set_text("before");
  Fennix::GTK::copyAttachment(clipboard, image);
  text.reset();
  clipboard->read_text_async([&](Glib::RefPtr<Gio::AsyncResult>& result) { text = clipboard->read_text_finish(result); });
  ASSERT_TRUE(runUntil([&] { return text.has_value(); }));
  EXPECT_EQ(*text, "before");

  // Plain text alone is no divider.
  clipboard->set_text("──────────");
  read = false;
  Fennix::GTK::readDivider(clipboard, [&](std::shared_ptr<QvTextDividerPBItem> found) {
    item = std::move(found);
    read = true;
  });
  ASSERT_TRUE(runUntil([&] { return read; }));
  EXPECT_EQ(item, nullptr);
}

}  // namespace

namespace {

// Where `widget` is on the screen: its window's frame on the X server, the window's own inset
// (a title bar, shadows) and the widget's place in the window.
std::optional<XDriver::Rect> screenRect(XDriver::Session& x, XDriver::WindowID id, Gtk::Window& window,
                                        Gtk::Widget& widget) {
  graphene_rect_t bounds;
  if (!gtk_widget_compute_bounds(widget.gobj(), GTK_WIDGET(window.gobj()), &bounds)) return std::nullopt;
  double surfaceX = 0, surfaceY = 0;
  gtk_native_get_surface_transform(GTK_NATIVE(window.gobj()), &surfaceX, &surfaceY);
  const XDriver::Rect frame = x.geometry(id);
  return XDriver::Rect{frame.x + int(surfaceX + bounds.origin.x), frame.y + int(surfaceY + bounds.origin.y),
                       int(bounds.size.width), int(bounds.size.height)};
}

/// The length of the longest row of rule-grey pixels in a picture of `view`.
int longestGreyRow(Gtk::Widget& view) {
  GdkTexture* texture = renderWidget(view);
  if (!texture) return -1;
  const int width = gdk_texture_get_width(texture), height = gdk_texture_get_height(texture);
  std::vector<guchar> data(std::size_t(width) * height * 4);
  gdk_texture_download(texture, data.data(), std::size_t(width) * 4);
  g_object_unref(texture);
  int longest = 0;
  for (int y = 0; y < height; ++y) {
    int grey = 0;
    for (int x = 0; x < width; ++x) {
      const guchar* p = &data[(std::size_t(y) * width + x) * 4];
      if (std::abs(p[0] - 204) <= 8 && std::abs(p[1] - 204) <= 8 && std::abs(p[2] - 204) <= 8) ++grey;
    }
    longest = std::max(longest, grey);
  }
  return longest;
}

TEST(DividerAttachmentViewTests, TheTextViewFollowsTheCellAnAttachmentIsGivenLater) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  XDriver::Session x;
  ASSERT_TRUE(x.ok()) << "needs an X server with XTest";
  const std::string title = "Attachment given another cell";
  Gtk::Window window;
  window.set_title(title);
  window.set_default_size(300, 160);
  Gtk::Box box(Gtk::Orientation::VERTICAL);
  box.set_homogeneous(true);
  Gtk::TextView shown, bare;
  for (Gtk::TextView* view : {&shown, &bare}) {
    view->set_cursor_visible(false);
    view->set_can_focus(false);
    view->set_left_margin(8);
    view->get_buffer()->set_text("left  right \U0001F600\nnext line");
    box.append(*view);
  }
  // An attachment of data, shown as the text view's placeholder, becomes a divider.
  auto attachment = std::make_shared<QvDividerTextAttachment>(std::string("bytes"), std::string("public.data"));
  auto anchor = Fennix::GTK::insertDivider(shown, shown.get_buffer()->get_iter_at_offset(14), attachment);
  bare.get_buffer()->create_child_anchor(bare.get_buffer()->get_iter_at_offset(14));
  window.set_child(box);
  window.present();
  ASSERT_TRUE(runUntil([&] { return shown.get_mapped() && shown.get_width() > 0 && bare.get_width() > 0; }));
  EXPECT_TRUE(anchor->get_widgets().empty());
  attachment->setAttachmentCell(std::make_shared<QvDividerTextAttachment::Cell>());
  ASSERT_EQ(anchor->get_widgets().size(), 1u);
  auto* divider = dynamic_cast<Fennix::GTK::DividerAttachmentView*>(anchor->get_widgets()[0]);
  ASSERT_NE(divider, nullptr);
  ASSERT_TRUE(runUntil([&] { return divider->get_width() == shown.get_width() - 9; }))
      << divider->get_width() << " in " << shown.get_width();
  runUntil([] { return false; }, 0.3);
  EXPECT_GE(longestGreyRow(shown), shown.get_width() - 40) << "no rule drawn";

  // Given the plain cell again, it shows as a bare anchor does, on screen.
  attachment->setAttachmentCell(nullptr);
  EXPECT_TRUE(anchor->get_widgets().empty());
  std::optional<XDriver::WindowID> id;
  runUntil([&] { return bool(id = x.findWindow(title)); }, 5);
  ASSERT_TRUE(id) << "the window is not on the X server";
  runUntil([] { return false; }, 0.3);
  const auto shownRect = screenRect(x, *id, window, shown), bareRect = screenRect(x, *id, window, bare);
  ASSERT_TRUE(shownRect && bareRect);
  ASSERT_EQ(shownRect->height, bareRect->height);
  const XDriver::Image picture = x.grab(*shownRect), expected = x.grab(*bareRect);
  const std::filesystem::path output(QUARVEL_TEST_OUTPUT_DIR);
  picture.savePNG((output / "attachment-given-the-plain-cell-again.png").string());
  ASSERT_EQ(picture.pixels.size(), expected.pixels.size());
  std::size_t differing = 0;
  for (std::size_t i = 0; i < picture.pixels.size(); ++i) differing += picture.pixels[i] != expected.pixels[i];
  EXPECT_EQ(differing, 0u) << "see " << (output / "attachment-given-the-plain-cell-again.png");
}

// The anchor follows the cell only while its text view lives and shows the anchor's buffer: a view
// given another buffer shows nothing at the anchor until given its buffer back, and a view that is
// gone is not touched.
TEST(DividerAttachmentViewTests, AnAnchorFollowsOnlyWhileItsTextViewShowsIt) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  Gtk::Window window;
  window.set_default_size(300, 160);
  Gtk::Box box(Gtk::Orientation::VERTICAL);
  auto* swapped = Gtk::make_managed<Gtk::TextView>();
  auto* doomed = Gtk::make_managed<Gtk::TextView>();
  box.append(*swapped);
  box.append(*doomed);
  window.set_child(box);
  window.present();
  ASSERT_TRUE(runUntil([&] { return swapped->get_mapped() && doomed->get_mapped(); }));
  const auto dividersIn = [](Gtk::TextView& view) {
    int count = 0;
    for (Gtk::Widget* child = view.get_first_child(); child; child = child->get_next_sibling())
      count += dynamic_cast<Fennix::GTK::DividerAttachmentView*>(child) != nullptr;
    return count;
  };

  auto attachment = std::make_shared<QvDividerTextAttachment>(std::string("bytes"), std::string("public.data"));
  auto original = swapped->get_buffer();
  original->set_text("first \U0001F600 line\n");
  auto anchor = Fennix::GTK::insertDivider(*swapped, original->end(), attachment);
  auto other = Gtk::TextBuffer::create();
  other->set_text("another text");
  swapped->set_buffer(other);
  attachment->setAttachmentCell(std::make_shared<QvDividerTextAttachment::Cell>());
  EXPECT_TRUE(anchor->get_widgets().empty());
  EXPECT_EQ(dividersIn(*swapped), 0);
  attachment->setAttachmentCell(nullptr);
  // Given its buffer back, the view follows again.
  swapped->set_buffer(original);
  attachment->setAttachmentCell(std::make_shared<QvDividerTextAttachment::Cell>());
  EXPECT_EQ(anchor->get_widgets().size(), 1u);
  EXPECT_EQ(dividersIn(*swapped), 1);

  // A view destroyed while its buffer and the anchor live on.
  auto kept = doomed->get_buffer();
  kept->set_text("gone soon\n");
  auto orphan = Fennix::GTK::insertDivider(*doomed, kept->end(), attachment);
  EXPECT_EQ(orphan->get_widgets().size(), 1u);
  GObject* watched = G_OBJECT(doomed->gobj());
  g_object_add_weak_pointer(watched, reinterpret_cast<gpointer*>(&watched));
  box.remove(*doomed);
  runUntil([&] { return watched == nullptr; });
  ASSERT_EQ(watched, nullptr) << "the text view still lives";
  EXPECT_TRUE(orphan->get_widgets().empty());
  attachment->setAttachmentCell(nullptr);
  attachment->setAttachmentCell(std::make_shared<QvDividerTextAttachment::Cell>());
  EXPECT_TRUE(orphan->get_widgets().empty());
  EXPECT_FALSE(orphan->get_deleted());
  EXPECT_EQ(anchor->get_widgets().size(), 1u);
}

}  // namespace

// An attachment of data shows in a text view exactly as the bare place of an attachment the view
// draws nothing for: the same text around it, at the same places on the screen.
TEST(DividerAttachmentViewTests, AnAttachmentOfDataShowsAsTheTextViewsOwnPlaceholder) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  XDriver::Session x;
  ASSERT_TRUE(x.ok()) << "needs an X server with XTest";
  const std::string title = "Attachment of data in text";
  Gtk::Window window;
  window.set_title(title);
  window.set_default_size(300, 160);
  Gtk::Box box(Gtk::Orientation::VERTICAL);
  box.set_homogeneous(true);
  Gtk::TextView withData, bare;
  for (Gtk::TextView* view : {&withData, &bare}) {
    view->set_cursor_visible(false);
    view->set_can_focus(false);
    view->set_left_margin(8);
    view->get_buffer()->set_text("left  right \U0001F600\nnext line");
    box.append(*view);
  }
  auto data = std::make_shared<QvDividerTextAttachment>(std::string("bytes"), std::string("public.data"));
  auto anchor = Fennix::GTK::insertDivider(withData, withData.get_buffer()->get_iter_at_offset(5), data);
  bare.get_buffer()->create_child_anchor(bare.get_buffer()->get_iter_at_offset(5));
  EXPECT_TRUE(anchor->get_widgets().empty()) << "the view draws the attachment itself";
  window.set_child(box);
  window.present();
  ASSERT_TRUE(runUntil([&] { return withData.get_mapped() && withData.get_width() > 0 && bare.get_width() > 0; }));
  std::optional<XDriver::WindowID> id;
  runUntil([&] { return bool(id = x.findWindow(title)); }, 5);
  ASSERT_TRUE(id) << "the window is not on the X server";
  runUntil([] { return false; }, 0.3);

  const auto dataRect = screenRect(x, *id, window, withData), bareRect = screenRect(x, *id, window, bare);
  ASSERT_TRUE(dataRect && bareRect);
  ASSERT_EQ(dataRect->width, bareRect->width);
  ASSERT_EQ(dataRect->height, bareRect->height);
  const XDriver::Image shown = x.grab(*dataRect), expected = x.grab(*bareRect);
  const std::filesystem::path output(QUARVEL_TEST_OUTPUT_DIR);
  shown.savePNG((output / "attachment-of-data-in-text-view.png").string());
  expected.savePNG((output / "bare-anchor-in-text-view.png").string());
  ASSERT_EQ(shown.pixels.size(), expected.pixels.size());
  EXPECT_GT(shown.countWhere([](std::uint32_t rgb) { return (rgb & 0xFF) < 0x80; }), 20u) << "no text on screen";
  std::size_t differing = 0;
  for (std::size_t i = 0; i < shown.pixels.size(); ++i) differing += shown.pixels[i] != expected.pixels[i];
  EXPECT_EQ(differing, 0u) << "see " << (output / "attachment-of-data-in-text-view.png");

  // Asked for its cell, it has the plain one, and copies as a divider: another client of the X
  // server reads the divider text from the clipboard.
  EXPECT_EQ(std::dynamic_pointer_cast<QvDividerTextAttachment::Cell>(data->attachmentCell()), nullptr);
  withData.get_clipboard()->set_text("before");
  Fennix::GTK::copyAttachment(withData.get_clipboard(), *data);
  // The window answers the request from its main loop, so the asking runs beside it.
  auto asked = std::async(std::launch::async, [&x] {
    std::optional<std::string> copied;
    XDriver::waitUntil([&] { return (copied = x.clipboardText(1)) && copied != "before"; }, 10);
    return copied;
  });
  ASSERT_TRUE(runUntil([&] { return asked.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 20));
  EXPECT_EQ(asked.get(), "──────────");
}
