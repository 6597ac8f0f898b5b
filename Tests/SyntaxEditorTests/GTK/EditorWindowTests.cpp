// The editor widgets in real windows (under a virtual display): the toolkit buffer follows the
// storage across characters outside the BMP, typing goes through the widget's key handling, and
// two editors side by side show their text coloured.
#include <gtest/gtest.h>

#include <gdk/gdkkeysyms.h>
#include <gtkmm/box.h>
#include <gtkmm/scrollbar.h>
#include <gtkmm/init.h>
#include <gtkmm/widgetpaintable.h>
#include <gtkmm/window.h>

#include <filesystem>

#include "SyntaxEditor/GTK/SyntaxEditorView.h"
#include "SyntaxEditorTests/EditorTestSupport.h"
#include "SyntaxEditorTests/GTK/BufferCheck.h"
#include "Tools/DisplayTestMain/WidgetPicture.h"
#include "Tools/XDriver/XDriver.h"

namespace {

using EditorTestSupport::runMainLoopUntil;
using Editor = SyntaxEditor;

bool gtkReady() {
  if (!gtk_init_check()) return false;
  Gtk::init_gtkmm_internals();
  return true;
}

/// Presses the keys of `text` (ASCII; "\n" is Return) on the view: what its key handling leaves
/// to the toolkit is inserted at the cursor as the toolkit's text input does.
void type(CodeTextView& view, std::string_view text) {
  for (char c : text) {
    const guint keyval = c == '\n' ? GDK_KEY_Return : gdk_unicode_to_keyval(gunichar(c));
    if (!view.handleKeyPress(keyval, Gdk::ModifierType(0))) {
      g_signal_emit_by_name(view.gobj(), "insert-at-cursor", std::string(1, c).c_str());
    }
  }
}

std::string bufferText(CodeTextView& view) { return view.get_buffer()->get_text(true); }

std::optional<Gdk::RGBA> colourAt(CodeTextView& view, int characterOffset) {
  for (const auto& tag : view.get_buffer()->get_iter_at_offset(characterOffset).get_tags()) {
    if (tag->property_foreground_set()) return tag->property_foreground_rgba().get_value();
  }
  return std::nullopt;
}

Gdk::RGBA rgb(std::uint32_t v) {
  return Gdk::RGBA((v >> 16) / 255.0, ((v >> 8) & 0xFF) / 255.0, (v & 0xFF) / 255.0, 1);
}

bool near(const std::optional<Gdk::RGBA>& colour, std::uint32_t v) {
  const Gdk::RGBA expected = rgb(v);
  return colour && std::abs(colour->get_red() - expected.get_red()) < 0.01 &&
         std::abs(colour->get_green() - expected.get_green()) < 0.01 &&
         std::abs(colour->get_blue() - expected.get_blue()) < 0.01;
}

TEST(EditorWindowTests, TheBufferFollowsTheStorageAcrossCharactersOutsideTheBMP) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  std::string document = "let a = \"\U0001F600\"\nvar b = 1 // \U0001F680\nlet c = \"\U0001F30D\"\n";
  Editor editor(Editor::Binding<std::string>::fromVariable(document), Editor::Language::swift,
                HighlightJSTheme::xcode(), std::nullopt, Editor::Flags::defaultEditorFlags, Editor::softTab(4));
  SyntaxEditorView view(editor);
  CodeTextView& text = view.textView();
  EXPECT_EQ(bufferText(text), document);
  ASSERT_TRUE(runMainLoopUntil([&] { return near(colourAt(text, 0), 0xAA0D91); })) << "the whole text is coloured";

  // Type at the end of the middle line (character 26, after its emoji).
  auto buffer = text.get_buffer();
  buffer->place_cursor(buffer->get_iter_at_offset(26));
  type(text, "\n(x");
  EXPECT_EQ(document, "let a = \"\U0001F600\"\nvar b = 1 // \U0001F680\n(x)\nlet c = \"\U0001F30D\"\n");
  EXPECT_EQ(bufferText(text), document);
  EXPECT_EQ(buffer->get_insert()->get_iter().get_offset(), 29) << "the caret sits inside the pair";
  text.handleKeyPress(GDK_KEY_BackSpace, Gdk::ModifierType(0));
  text.handleKeyPress(GDK_KEY_BackSpace, Gdk::ModifierType(0));
  EXPECT_EQ(bufferText(text), "let a = \"\U0001F600\"\nvar b = 1 // \U0001F680\n\nlet c = \"\U0001F30D\"\n");
  EXPECT_EQ(document, bufferText(text));

  // Colours land on the right characters after each emoji.
  ASSERT_TRUE(runMainLoopUntil([&] { return near(colourAt(text, 28), 0xAA0D91); })) << "keyword of the last line";
  EXPECT_TRUE(near(colourAt(text, 12), 0xAA0D91)) << "var";
  EXPECT_TRUE(near(colourAt(text, 23), 0x007400)) << "the comment";
  EXPECT_TRUE(near(colourAt(text, 10), 0xC41A16)) << "the string after the emoji";

  // An outside change replaces the whole text and its colours follow.
  document = "struct \U0001F600 {}\nlet n = 42\n";
  view.update(view.editor());
  EXPECT_EQ(bufferText(text), document);
  ASSERT_TRUE(runMainLoopUntil([&] { return near(colourAt(text, 20), 0x1C00CF); })) << "the number";
}

TEST(EditorWindowTests, ShortcutsFollowTheEditorRules) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  std::string document = "a\n";
  double size = 1.5;
  SyntaxEditorView view(Editor(Editor::Binding<std::string>::fromVariable(document), Editor::Language::swift,
                               HighlightJSTheme::xcode(), Editor::Binding<double>::fromVariable(size),
                               Editor::Flags::defaultEditorFlags, Editor::softTab(-3)));
  CodeTextView& text = view.textView();
  text.get_buffer()->place_cursor(text.get_buffer()->begin());
  EXPECT_TRUE(text.handleKeyPress(GDK_KEY_Tab, Gdk::ModifierType(0)));
  EXPECT_EQ(document, "a\n") << "a negative soft tab inserts nothing";
  view.setIndentStyle(Editor::softTab(3));
  text.handleKeyPress(GDK_KEY_Tab, Gdk::ModifierType(0));
  EXPECT_EQ(document, "   a\n");

  EXPECT_TRUE(text.handleKeyPress(GDK_KEY_minus, Gdk::ModifierType::CONTROL_MASK));
  EXPECT_EQ(size, 1);
  text.handleKeyPress(GDK_KEY_minus, Gdk::ModifierType::CONTROL_MASK);
  EXPECT_EQ(size, 1) << "smaller stops at one point";
  text.handleKeyPress(GDK_KEY_plus, Gdk::ModifierType::CONTROL_MASK);
  EXPECT_EQ(size, 2);
  EXPECT_DOUBLE_EQ(text.codeView().font()->pointSize(), 2);

  // A viewer takes no typing.
  view.setFlags(Editor::Flags::defaultViewerFlags);
  EXPECT_FALSE(text.get_editable());
  EXPECT_FALSE(text.handleKeyPress(GDK_KEY_Return, Gdk::ModifierType(0)));
  EXPECT_EQ(document, "   a\n");
}

using DisplayTestSupport::renderWidget;

// How many pixels of each half (left, right) lie near each colour.
std::vector<std::array<int, 2>> pixelsNear(GdkTexture* texture, const std::vector<std::uint32_t>& colours) {
  const int width = gdk_texture_get_width(texture), height = gdk_texture_get_height(texture);
  std::vector<guchar> data(std::size_t(width) * height * 4);
  gdk_texture_download(texture, data.data(), std::size_t(width) * 4);  // B, G, R, A
  std::vector<std::array<int, 2>> counts(colours.size(), {0, 0});
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const guchar* p = &data[(std::size_t(y) * width + x) * 4];
      for (std::size_t c = 0; c < colours.size(); ++c) {
        const std::uint32_t v = colours[c];
        if (std::abs(p[2] - int(v >> 16)) <= 24 && std::abs(p[1] - int((v >> 8) & 0xFF)) <= 24 &&
            std::abs(p[0] - int(v & 0xFF)) <= 24) {
          ++counts[c][x < width / 2 ? 0 : 1];
        }
      }
    }
  }
  return counts;
}

TEST(EditorWindowTests, XMLAndSwiftEditorsSideBySideAreColoured) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  std::string svg = "<svg viewBox=\"0 0 100 100\">\n";
  std::string swift =
      "import SwiftUI\n\nstruct Square: View { // a gold square\n"
      "    var body: some View {\n        Rectangle().fill(Color(red: 1, green: 0.84, blue: 0))\n"
      "            .frame(width: 100, height: \"100\".count)\n    }\n}\n";
  SyntaxEditorView xmlEditor(Editor(Editor::Binding<std::string>::fromVariable(svg), Editor::Language::xml,
                                    HighlightJSTheme::xcode(), std::nullopt, Editor::Flags::defaultEditorFlags,
                                    Editor::softTab(2)));
  SyntaxEditorView swiftEditor(Editor(Editor::Binding<std::string>::fromVariable(swift), Editor::Language::swift,
                                      HighlightJSTheme::xcode(), std::nullopt, Editor::Flags::defaultViewerFlags,
                                      Editor::system()));

  Gtk::Window window;
  window.set_default_size(900, 300);
  Gtk::Box box(Gtk::Orientation::HORIZONTAL);
  box.set_homogeneous(true);
  box.append(xmlEditor);
  box.append(swiftEditor);
  window.set_child(box);
  window.present();
  ASSERT_TRUE(runMainLoopUntil([&] { return xmlEditor.textView().get_mapped() && box.get_width() > 0; }));

  // Type into the XML editor: the opening bracket brings its closing one, Return keeps the indent.
  CodeTextView& xml = xmlEditor.textView();
  xml.grab_focus();
  auto buffer = xml.get_buffer();
  buffer->place_cursor(buffer->end());
  type(xml, "  <rect fill=\"gold");
  EXPECT_EQ(svg, "<svg viewBox=\"0 0 100 100\">\n  <rect fill=\"gold\">");
  buffer->place_cursor(buffer->end());
  type(xml, "\n<circle r=\"5");
  buffer->place_cursor(buffer->end());
  type(xml, "\n</svg");
  EXPECT_EQ(svg,
            "<svg viewBox=\"0 0 100 100\">\n  <rect fill=\"gold\">\n  <circle r=\"5\">\n  </svg>");

  const std::vector<std::uint32_t> colours{0xAA0D91, 0x836C28, 0xC41A16, 0x1C00CF, 0x5C2699, 0x007400};
  GdkTexture* texture = nullptr;
  std::vector<std::array<int, 2>> counts;
  auto coloured = [&](int half) {
    return std::count_if(counts.begin(), counts.end(), [&](const auto& c) { return c[std::size_t(half)] >= 10; });
  };
  // Lines are laid out and coloured in idle time: look until both halves show theme colours.
  runMainLoopUntil([&] {
    FennixTestSupport::runMainLoopFor(0.1);
    if (texture) g_object_unref(texture);
    texture = renderWidget(box);
    if (!texture) return false;
    counts = pixelsNear(texture, colours);
    return coloured(0) >= 2 && coloured(1) >= 2;
  });
  ASSERT_TRUE(texture);
  const std::filesystem::path png = std::filesystem::path(QUARVEL_TEST_OUTPUT_DIR) / "editors-side-by-side.png";
  EXPECT_TRUE(gdk_texture_save_to_png(texture, png.c_str()));
  g_object_unref(texture);
  EXPECT_GE(coloured(0), 2) << ::testing::PrintToString(counts) << " in " << png;
  EXPECT_GE(coloured(1), 2) << ::testing::PrintToString(counts) << " in " << png;
}

/// The bands of rows of `area` that hold ink (darker than the page), top to bottom: one per line of
/// text shown.
int inkBands(const XDriver::Image& image, const XDriver::Rect& area) {
  auto ink = [](std::uint32_t rgb) { return ((rgb >> 16) & 0xFF) < 160 || ((rgb >> 8) & 0xFF) < 160 || (rgb & 0xFF) < 160; };
  int bands = 0;
  bool inBand = false;
  for (int y = area.y; y < area.y + area.height && y < image.height; ++y) {
    const bool inked = image.countWhere(ink, XDriver::Rect{area.x, y, area.width, 1}) >= 2;
    if (inked && !inBand) ++bands;
    inBand = inked;
  }
  return bands;
}

// A line of path data longer than a narrow editor is wide, typed on through the X server, shows
// as several lines of the window, wrapped between words and inside the long words of the data;
// there is no horizontal scroller, and the caret stays in view.
TEST(EditorWindowTests, ALongLineWrapsAtTheEditorsWidth) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  XDriver::Session x;
  ASSERT_TRUE(x.ok()) << "needs an X server with XTest";
  std::string svg = "<path d=\"M0 0L10 20L30 40L50 60L70 80L90 100L110 120L130 140\"/>";
  SyntaxEditorView editor(Editor(Editor::Binding<std::string>::fromVariable(svg), Editor::Language::xml,
                                 HighlightJSTheme::xcode(), std::nullopt, Editor::Flags::defaultEditorFlags,
                                 Editor::softTab(2)));
  CodeTextView& view = editor.textView();
  const std::string title = "Editor lines wrap";
  Gtk::Window window;
  window.set_title(title);
  window.set_default_size(240, 260);
  window.set_child(editor);
  window.present();
  ASSERT_TRUE(runMainLoopUntil([&] { return view.get_mapped() && view.get_width() > 0; }));
  std::optional<XDriver::WindowID> id;
  runMainLoopUntil([&] { return bool(id = x.findWindow(title)); }, 5);
  ASSERT_TRUE(id) << "the window is not on the X server";
  x.focus(*id);
  ASSERT_TRUE(runMainLoopUntil([&] { return window.is_active(); }, 5));

  // A click after the end of the text puts the caret there; more data is typed on.
  const XDriver::Rect frame = x.geometry(*id);
  x.click(frame.x + frame.width / 2, frame.y + frame.height - 20);
  ASSERT_TRUE(runMainLoopUntil([&] { return view.has_focus(); }, 5));
  auto buffer = view.get_buffer();
  ASSERT_TRUE(runMainLoopUntil([&] { return buffer->get_insert()->get_iter().is_end(); }, 5));
  // A word longer than a line: data without blanks.
  const std::string more = " L150,160L170,180L190,200L210,220L230,240L250,260";
  ASSERT_TRUE(x.type(more));
  const std::string expected = "<path d=\"M0 0L10 20L30 40L50 60L70 80L90 100L110 120L130 140\"/>" + more;
  ASSERT_TRUE(runMainLoopUntil([&] { return svg == expected; }, 10)) << svg;
  ASSERT_TRUE(BufferCheck::waitUntilSettled(view));
  // The pointer over the text, as when the scrollers of the editor show.
  x.moveTo(frame.x + frame.width / 2, frame.y + frame.height / 2);
  FennixTestSupport::runMainLoopFor(0.3);

  // The one line of the buffer takes several display lines: from the toolkit's layout ...
  int displayLines = 1;
  for (auto iter = buffer->begin(); view.forward_display_line(iter) && !iter.is_end();) ++displayLines;
  EXPECT_GE(displayLines, 4);
  EXPECT_EQ(buffer->get_line_count(), 1);
  const int wordStart = int(g_utf8_strlen(expected.c_str(), -1) - g_utf8_strlen(more.c_str(), -1)) + 1;
  bool brokenInsideWord = false;
  for (auto iter = buffer->begin(); view.forward_display_line(iter) && !iter.is_end();) {
    if (iter.get_offset() > wordStart) brokenInsideWord = true;
  }
  EXPECT_TRUE(brokenInsideWord) << "the word longer than a line wraps between its characters";
  // ... and on the screen.
  const XDriver::Image image = x.grab(frame);
  const std::filesystem::path png = std::filesystem::path(QUARVEL_TEST_OUTPUT_DIR) / "editor-long-line-wraps.png";
  image.savePNG(png.string());
  // The text view's place in the picture (the window may draw a title bar above it).
  graphene_rect_t bounds;
  ASSERT_TRUE(gtk_widget_compute_bounds(GTK_WIDGET(view.gobj()), GTK_WIDGET(window.gobj()), &bounds));
  double surfaceX = 0, surfaceY = 0;
  gtk_native_get_surface_transform(GTK_NATIVE(window.gobj()), &surfaceX, &surfaceY);
  const int margin = 4;  // inside the inset; the vertical scroller's width is left out on the right
  const XDriver::Rect text{int(surfaceX + bounds.origin.x) + margin, int(surfaceY + bounds.origin.y) + margin,
                           int(bounds.size.width) - 5 * margin, int(bounds.size.height) - 2 * margin};
  const int bands = inkBands(image, text);
  EXPECT_GE(bands, 4) << "lines of text on the screen, in " << png;
  EXPECT_EQ(bands, displayLines) << png;

  // Nothing to scroll sideways: no horizontal scroller, and the text is as wide as the view.
  EXPECT_FALSE(editor.get_hscrollbar()->get_mapped());
  auto horizontal = view.get_hadjustment();
  EXPECT_LE(horizontal->get_upper(), horizontal->get_page_size() + 1);
  EXPECT_EQ(horizontal->get_value(), 0);
  // The caret, at the end of the line, is on the last display line in view.
  Gdk::Rectangle caret, visible;
  view.get_cursor_locations(buffer->get_insert()->get_iter(), caret, caret);
  view.get_visible_rect(visible);
  EXPECT_LT(caret.get_x(), visible.get_x() + visible.get_width());
  EXPECT_GE(caret.get_y(), visible.get_y());
  window.destroy();
}

}  // namespace
