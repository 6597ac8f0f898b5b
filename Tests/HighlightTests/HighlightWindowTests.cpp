// Shows highlighted Swift in a real window (needs a display: the test script provides a virtual
// one) and checks the picture the toolkit renders of it.
#include <gtest/gtest.h>

#include <gtkmm/init.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/textview.h>
#include <gtkmm/widgetpaintable.h>
#include <gtkmm/window.h>

#include <filesystem>
#include <map>
#include <vector>

#include "Fennix/UI/GTK/TextBufferAttributes.h"
#include "Highlight/HighlightJS.h"
#include "HighlightTests/HighlightTestSupport.h"

namespace {

using namespace HighlightTestSupport;

const char* const snippet =
    "import SwiftUI\n"
    "\n"
    "struct Square: View {\n"
    "    var body: some View {\n"
    "        Rectangle() // gold with a blue stroke\n"
    "            .fill(Color(red: 1, green: 0.84, blue: 0))\n"
    "            .frame(width: 100, height: 100)\n"
    "    }\n"
    "}\n";

// Renders what a widget shows into a texture with its window's renderer.
GdkTexture* renderWidget(Gtk::Widget& widget, Gtk::Window& window) {
  auto paintable = Gtk::WidgetPaintable::create(widget);
  GtkSnapshot* snapshot = gtk_snapshot_new();
  gdk_paintable_snapshot(GDK_PAINTABLE(paintable->gobj()), GDK_SNAPSHOT(snapshot), widget.get_width(),
                         widget.get_height());
  GskRenderNode* node = gtk_snapshot_free_to_node(snapshot);
  if (!node) return nullptr;
  GskRenderer* renderer = gtk_native_get_renderer(GTK_NATIVE(window.gobj()));
  const graphene_rect_t viewport = GRAPHENE_RECT_INIT(0, 0, float(widget.get_width()), float(widget.get_height()));
  GdkTexture* texture = gsk_renderer_render_texture(renderer, node, &viewport);
  gsk_render_node_unref(node);
  return texture;
}

struct Pixel {
  int red, green, blue;
};

std::vector<Pixel> opaquePixels(GdkTexture* texture) {
  const int width = gdk_texture_get_width(texture), height = gdk_texture_get_height(texture);
  std::vector<guchar> data(std::size_t(width) * height * 4);
  gdk_texture_download(texture, data.data(), std::size_t(width) * 4);  // B, G, R, A; premultiplied
  std::vector<Pixel> pixels;
  for (std::size_t i = 0; i < data.size(); i += 4) {
    if (data[i + 3] == 255) pixels.push_back({data[i + 2], data[i + 1], data[i]});
  }
  return pixels;
}

TEST(HighlightWindowTests, TextBuffersTakeRunsAtCharacterOffsets) {
  ASSERT_TRUE(gtk_init_check()) << "needs a display: run under xvfb-run";
  Gtk::init_gtkmm_internals();
  TextAttributes red, underlined;
  red.foregroundColor = NSColor(1, 0, 0, 1);
  underlined.font = NSFont::mono("DejaVu Sans Mono", 11);
  underlined.underlineStyle = NSUnderlineStyle::single;
  underlined.underlineColor = NSColor(0, 0, 1, 1);
  AttributedString text(u"a\U0001F600", red);  // the emoji is two units but one character
  text.append(AttributedString(u"bc", underlined));

  auto buffer = Gtk::TextBuffer::create();
  GTKText::setAttributedText(*buffer, text);
  EXPECT_EQ(buffer->get_char_count(), 4);
  auto tagsAt = [&](int offset) { return buffer->get_iter_at_offset(offset).get_tags(); };
  ASSERT_EQ(tagsAt(1).size(), 1u);
  EXPECT_EQ(tagsAt(1)[0]->property_foreground_rgba().get_value(), Gdk::RGBA(1, 0, 0, 1));
  ASSERT_EQ(tagsAt(2).size(), 1u);
  EXPECT_EQ(tagsAt(2)[0]->property_underline().get_value(), Pango::Underline::SINGLE);
  EXPECT_EQ(tagsAt(2)[0]->property_font_desc().get_value().to_string(), "DejaVu Sans Mono 11");
  EXPECT_EQ(tagsAt(3)[0], tagsAt(2)[0]) << "one tag per set of attributes";

  // Restyling a stretch replaces the styles there and leaves the rest.
  GTKText::applyAttributes(*buffer, AttributedString(u"b", red), 2);
  EXPECT_EQ(tagsAt(2).size(), 1u);
  EXPECT_EQ(tagsAt(2)[0], tagsAt(0)[0]);
  EXPECT_EQ(tagsAt(3)[0]->property_underline().get_value(), Pango::Underline::SINGLE);
}

TEST(HighlightWindowTests, AWindowShowsHighlightedSwiftInSeveralColours) {
  ASSERT_TRUE(gtk_init_check()) << "needs a display: run under xvfb-run";
  Gtk::init_gtkmm_internals();
  useBuildResources();
  ASSERT_TRUE(HighlightJS::shared());

  std::optional<AttributedString> text;
  bool done = false;
  HighlightJS::shared()->highlight(snippet, "swift", HighlightJSTheme::xcode(), DispatchQueue::main(),
                                   [&](std::optional<AttributedString> result) {
                                     text = std::move(result);
                                     done = true;
                                   });
  ASSERT_TRUE(runMainLoopUntil([&] { return done; }));
  ASSERT_TRUE(text);

  Gtk::Window window;
  window.set_default_size(560, 220);
  window.set_title("Highlighted Swift");
  Gtk::TextView view;
  view.set_editable(false);
  view.set_monospace(true);
  GTKText::setAttributedText(*view.get_buffer(), *text);
  window.set_child(view);
  window.present();
  ASSERT_TRUE(runMainLoopUntil([&] { return view.get_mapped() && view.get_width() > 0; }));
  FennixTestSupport::runMainLoopFor(0.5);  // lines are laid out in idle time

  GdkTexture* texture = renderWidget(view, window);
  ASSERT_TRUE(texture);
  const std::filesystem::path png = std::filesystem::path(QUARVEL_TEST_OUTPUT_DIR) / "highlighted-swift.png";
  ASSERT_TRUE(gdk_texture_save_to_png(texture, png.c_str()));
  g_object_unref(texture);

  GError* error = nullptr;
  GdkTexture* saved = gdk_texture_new_from_filename(png.c_str(), &error);
  ASSERT_TRUE(saved) << (error ? error->message : "");
  const std::vector<Pixel> pixels = opaquePixels(saved);
  g_object_unref(saved);

  // Glyph stems are drawn in the theme's colours: count the pixels near each of them.
  const std::map<std::string, std::uint32_t> colours = {
      {"keyword", 0xAA0D91}, {"comment", 0x007400}, {"number", 0x1C00CF}, {"type", 0x5C2699}, {"string", 0xC41A16}};
  int seen = 0;
  std::string counts;
  for (const auto& [name, value] : colours) {
    const Pixel want{int(value >> 16), int((value >> 8) & 0xFF), int(value & 0xFF)};
    int count = 0;
    for (const Pixel& p : pixels) {
      if (std::abs(p.red - want.red) <= 24 && std::abs(p.green - want.green) <= 24 &&
          std::abs(p.blue - want.blue) <= 24) {
        ++count;
      }
    }
    counts += name + "=" + std::to_string(count) + " ";
    if (count >= 10) ++seen;
  }
  EXPECT_GE(seen, 2) << counts << "in " << png;
}

}  // namespace
