// Shows highlighted Swift in a real window (needs a display: the test script provides a virtual
// one) and checks the picture the toolkit renders of it.
#include <gtest/gtest.h>

#include <gtkmm/init.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/textview.h>
#include <gtkmm/widgetpaintable.h>
#include <gtkmm/window.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "Fennix/UI/GTK/TextBufferAttributes.h"
#include "Highlight/HighlightJS.h"
#include "HighlightTests/HighlightTestSupport.h"
#include "Tools/DisplayTestMain/WidgetPicture.h"

namespace {

using namespace HighlightTestSupport;

const char* const snippet =
    "import SwiftUI\n"
    "struct Square: View { // a gold square\n"
    "    var body: some View { Rectangle().fill(Color(red: 1, green: 0.84, blue: 0)).frame(width: 100) }\n"
    "}\n";

using DisplayTestSupport::renderWidget;

// How many opaque pixels lie near each of `colours` (0xRRGGBB).
std::vector<int> pixelsNear(GdkTexture* texture, const std::vector<std::uint32_t>& colours) {
  const int width = gdk_texture_get_width(texture), height = gdk_texture_get_height(texture);
  std::vector<guchar> data(std::size_t(width) * height * 4);
  gdk_texture_download(texture, data.data(), std::size_t(width) * 4);  // B, G, R, A; premultiplied
  std::vector<int> counts(colours.size());
  for (std::size_t i = 0; i < data.size(); i += 4) {
    for (std::size_t c = 0; c < colours.size() && data[i + 3] == 255; ++c) {
      const std::uint32_t v = colours[c];
      if (std::abs(data[i + 2] - int(v >> 16)) <= 24 && std::abs(data[i + 1] - int((v >> 8) & 0xFF)) <= 24 &&
          std::abs(data[i] - int(v & 0xFF)) <= 24) {
        ++counts[c];
      }
    }
  }
  return counts;
}

bool gtkReady() {
  if (!gtk_init_check()) return false;
  Gtk::init_gtkmm_internals();
  return true;
}

TEST(HighlightWindowTests, TextBuffersTakeRunsAtCharacterOffsets) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  TextAttributes red, underlined;
  red.foregroundColor = NSColor(1, 0, 0, 1);
  underlined.font = NSFont::mono("DejaVu Sans Mono", 11);
  underlined.underlineStyle = NSUnderlineStyle::single;
  AttributedString text(u"a\U0001F600", red);  // the emoji is two units but one character
  text.append(AttributedString(u"bc", underlined));

  auto buffer = Gtk::TextBuffer::create();
  GTKText::setAttributedText(*buffer, text);
  EXPECT_EQ(buffer->get_char_count(), 4);
  auto tagsAt = [&](int offset) { return buffer->get_iter_at_offset(offset).get_tags(); };
  ASSERT_TRUE(tagsAt(1).size() == 1 && tagsAt(2).size() == 1);
  EXPECT_EQ(tagsAt(1)[0]->property_foreground_rgba().get_value(), Gdk::RGBA(1, 0, 0, 1));
  EXPECT_EQ(tagsAt(2)[0]->property_underline().get_value(), Pango::Underline::SINGLE);
  EXPECT_EQ(tagsAt(2)[0]->property_font_desc().get_value().to_string(), "DejaVu Sans Mono 11");
  EXPECT_EQ(tagsAt(3)[0], tagsAt(2)[0]) << "one tag per set of attributes";

  // Restyling a stretch replaces the styles there and leaves the rest.
  GTKText::applyAttributes(*buffer, AttributedString(u"b", red), 2);
  ASSERT_EQ(tagsAt(2).size(), 1u);
  EXPECT_EQ(tagsAt(2)[0], tagsAt(0)[0]);
  EXPECT_EQ(tagsAt(3)[0]->property_underline().get_value(), Pango::Underline::SINGLE);
}

TEST(HighlightWindowTests, AWindowShowsHighlightedSwiftInSeveralColours) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
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
  Gtk::TextView view;
  view.set_editable(false);
  view.set_monospace(true);
  GTKText::setAttributedText(*view.get_buffer(), *text);
  window.set_child(view);
  window.present();
  ASSERT_TRUE(runMainLoopUntil([&] { return view.get_mapped() && view.get_width() > 0; }));
  FennixTestSupport::runMainLoopFor(0.5);  // lines are laid out in idle time

  GdkTexture* texture = renderWidget(view);
  ASSERT_TRUE(texture);
  const std::filesystem::path png = std::filesystem::path(QUARVEL_TEST_OUTPUT_DIR) / "highlighted-swift.png";
  EXPECT_TRUE(gdk_texture_save_to_png(texture, png.c_str()));
  // Glyph stems are drawn in the theme's colours (keyword, comment, number, type, string).
  const std::vector<int> counts = pixelsNear(texture, {0xAA0D91, 0x007400, 0x1C00CF, 0x5C2699, 0xC41A16});
  g_object_unref(texture);
  EXPECT_GE(std::count_if(counts.begin(), counts.end(), [](int count) { return count >= 10; }), 2)
      << ::testing::PrintToString(counts) << " in " << png;
}

}  // namespace
