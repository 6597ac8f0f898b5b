// Colours after typing and pasting, with real key events sent through the X server to a window
// holding an XML and a Swift editor: once highlighting has settled, every character of each
// buffer carries exactly the tag of the storage's attributes there.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <pango/pango.h>

#include <gdkmm/frameclock.h>
#include <gtkmm/box.h>
#include <gtkmm/init.h>
#include <gtkmm/window.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "SyntaxEditor/GTK/SyntaxEditorView.h"
#include "SyntaxEditorTests/EditorTestSupport.h"
#include "SyntaxEditorTests/GTK/BufferCheck.h"
#include "Tools/XDriver/XDriver.h"

// The toolkit's layouts of long texts, counted where it hands a paragraph's text to a layout (the
// test program puts its own entry point in front of the library's).
namespace {
std::size_t layoutCountFrom = SIZE_MAX;  // the bytes of the texts counted
int layoutsCounted = 0;
const char* layoutMarker = nullptr;  // and the texts that start with this, apart
int markedLayouts = 0;
}  // namespace

extern "C" void pango_layout_set_text(PangoLayout* layout, const char* text, int length) {
  using SetText = void (*)(PangoLayout*, const char*, int);
  static const auto next = reinterpret_cast<SetText>(dlsym(RTLD_NEXT, "pango_layout_set_text"));
  const std::size_t bytes = length >= 0 ? std::size_t(length) : text != nullptr ? std::strlen(text) : 0;
  if (bytes >= layoutCountFrom) ++layoutsCounted;
  if (layoutMarker != nullptr && text != nullptr && std::strncmp(text, layoutMarker, std::strlen(layoutMarker)) == 0) {
    ++markedLayouts;
  }
  next(layout, text, length);
}

// The text buffer's counts of long texts, where it hands them to the text library (it counts the
// characters of a piece of a line whenever it makes one, such as when a tag starts inside it).
namespace {
std::size_t countedFrom = SIZE_MAX;  // the bytes of the texts counted
int bufferCounts = 0;
}  // namespace

extern "C" glong g_utf8_strlen(const gchar* text, gssize max) {
  using Count = glong (*)(const gchar*, gssize);
  static const auto next = reinterpret_cast<Count>(dlsym(RTLD_NEXT, "g_utf8_strlen"));
  if (max >= 0 && std::size_t(max) >= countedFrom) {
    Dl_info caller{};
    if (dladdr(__builtin_return_address(0), &caller) != 0 && caller.dli_fname != nullptr &&
        std::strstr(caller.dli_fname, "libgtk-4") != nullptr) {
      ++bufferCounts;
    }
  }
  return next(text, max);
}

namespace {

using BufferCheck::bufferMirrorsStorage;
using BufferCheck::waitUntilSettled;
using EditorTestSupport::runMainLoopUntil;
using Editor = SyntaxEditor;

bool gtkReady() {
  if (!gtk_init_check()) return false;
  Gtk::init_gtkmm_internals();
  return true;
}

std::string bufferText(CodeTextView& view) { return view.get_buffer()->get_text(true).raw(); }

/// A window with the two editors side by side, shown and given the keyboard by the X server.
struct EditorWindow {
  std::string svg;
  std::string swift;
  /// Hears every text the XML editor writes to its binding.
  std::function<void(const std::string&)> onSVG;
  SyntaxEditorView xml;
  SyntaxEditorView swiftEditor;
  Gtk::Window window;
  Gtk::Box box{Gtk::Orientation::HORIZONTAL};
  XDriver::Session x;

  EditorWindow(std::string svgText, std::string swiftText, const std::string& title)
      : svg(std::move(svgText)),
        swift(std::move(swiftText)),
        xml(Editor(Editor::Binding<std::string>([this] { return svg; },
                                                [this](std::string text) {
                                                  svg = std::move(text);
                                                  if (onSVG) onSVG(svg);
                                                }),
                   Editor::Language::xml, HighlightJSTheme::xcode(), std::nullopt, Editor::Flags::defaultEditorFlags,
                   Editor::softTab(2))),
        swiftEditor(Editor(Editor::Binding<std::string>::fromVariable(swift), Editor::Language::swift,
                           HighlightJSTheme::xcode(), std::nullopt, Editor::Flags::defaultEditorFlags,
                           Editor::softTab(4))) {
    window.set_title(title);
    window.set_default_size(900, 300);
    box.set_homogeneous(true);
    box.append(xml);
    box.append(swiftEditor);
    window.set_child(box);
    window.present();
  }
  ~EditorWindow() { window.destroy(); }

  /// Maps the window and gives it the X input focus.
  bool ready(const std::string& title) {
    if (!x.ok()) return false;
    if (!runMainLoopUntil([&] { return xml.textView().get_mapped() && box.get_width() > 0; })) return false;
    std::optional<XDriver::WindowID> id;
    runMainLoopUntil([&] { return bool(id = x.findWindow(title)); }, 5);
    if (!id) return false;
    x.focus(*id);
    return runMainLoopUntil([&] { return window.is_active(); }, 5);
  }

  /// Puts the caret at a character offset of the view and gives it the focus.
  void caret(CodeTextView& view, int characterOffset) {
    view.grab_focus();
    view.get_buffer()->place_cursor(view.get_buffer()->get_iter_at_offset(characterOffset));
    runMainLoopUntil([&] { return view.has_focus(); }, 2);
  }

  /// Types through the X server and waits until the buffer holds `expected`.
  bool typed(CodeTextView& view, const std::string& keys, const std::string& expected) {
    x.type(keys);
    return runMainLoopUntil([&] { return bufferText(view) == expected; }, 5);
  }

  /// Pastes `text` with ctrl+v and waits until the buffer holds `expected`.
  bool pasted(CodeTextView& view, const std::string& text, const std::string& expected) {
    view.get_clipboard()->set_text(text);
    FennixTestSupport::runMainLoopFor(0.05);
    x.key("ctrl+v");
    return runMainLoopUntil([&] { return bufferText(view) == expected; }, 5);
  }
};

// The Swift number "0.5" becomes "0.55" and the ")" after it keeps its own colour; a line break
// pasted after a number leaves the next line as it was; an emoji before the edits shifts every
// character offset against the UTF-16 offsets.
TEST(EditorColourTests, TypingAndPastingLeaveTheBufferStyledAsTheStorage) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  const std::string title = "Editor colours after typing";
  EditorWindow w("<svg width=\"10\">\n  <rect x=\"5\"/>\n</svg>\n",
                 "let \U0001F600 = \"a\"\nlet f = g(0.5)\nvar n = 12\nlet s = \"t\" // c\n", title);
  ASSERT_TRUE(w.ready(title)) << "the window could not be shown and focused through the X server";
  CodeTextView& swift = w.swiftEditor.textView();
  CodeTextView& xml = w.xml.textView();
  ASSERT_TRUE(waitUntilSettled(swift) && waitUntilSettled(xml));
  EXPECT_TRUE(bufferMirrorsStorage(swift)) << "after opening";
  EXPECT_TRUE(bufferMirrorsStorage(xml)) << "after opening";

  // Swift: "5" typed after "0.5" (character 25 is the ")").
  w.caret(swift, 25);
  ASSERT_TRUE(w.typed(swift, "5", "let \U0001F600 = \"a\"\nlet f = g(0.55)\nvar n = 12\nlet s = \"t\" // c\n"));
  ASSERT_TRUE(waitUntilSettled(swift));
  EXPECT_TRUE(bufferMirrorsStorage(swift)) << "after typing a digit";

  // A line break pasted at the end of "var n = 12" (before its line feed at 38).
  w.caret(swift, 38);
  ASSERT_TRUE(w.pasted(swift, "\n", "let \U0001F600 = \"a\"\nlet f = g(0.55)\nvar n = 12\n\nlet s = \"t\" // c\n"));
  ASSERT_TRUE(waitUntilSettled(swift));
  EXPECT_TRUE(bufferMirrorsStorage(swift)) << "after pasting a line break";

  // More lines pasted in the middle of the string, one with a character outside the BMP.
  w.caret(swift, 10);
  ASSERT_TRUE(w.pasted(swift, "b\" + 1\nlet \U0001F680 = 2.5 // x\nlet q = \"",
                       "let \U0001F600 = \"ab\" + 1\nlet \U0001F680 = 2.5 // x\nlet q = \"\"\nlet f = g(0.55)\n"
                       "var n = 12\n\nlet s = \"t\" // c\n"));
  ASSERT_TRUE(waitUntilSettled(swift));
  EXPECT_TRUE(bufferMirrorsStorage(swift)) << "after pasting lines";
  // Typing at the end of the text, with the pair rules, and a Backspace.
  w.caret(swift, swift.get_buffer()->get_char_count());
  const std::string before = bufferText(swift);
  ASSERT_TRUE(w.typed(swift, "f(7", before + "f(7)"));
  w.x.key("BackSpace");
  ASSERT_TRUE(w.typed(swift, "x", before + "f(x)"));
  ASSERT_TRUE(waitUntilSettled(swift));
  EXPECT_TRUE(bufferMirrorsStorage(swift)) << "after typing at the end";
  EXPECT_EQ(w.swift, bufferText(swift));

  // XML: a digit typed into an attribute value, then a line break pasted after the value.
  w.caret(xml, 13);
  ASSERT_TRUE(w.typed(xml, "0", "<svg width=\"100\">\n  <rect x=\"5\"/>\n</svg>\n"));
  ASSERT_TRUE(waitUntilSettled(xml));
  EXPECT_TRUE(bufferMirrorsStorage(xml)) << "after typing a digit";
  w.caret(xml, 16);
  ASSERT_TRUE(w.pasted(xml, "\n", "<svg width=\"100\"\n>\n  <rect x=\"5\"/>\n</svg>\n"));
  ASSERT_TRUE(waitUntilSettled(xml));
  EXPECT_TRUE(bufferMirrorsStorage(xml)) << "after pasting a line break";
  w.caret(xml, 32);
  ASSERT_TRUE(w.typed(xml, " y=\"7", "<svg width=\"100\"\n>\n  <rect x=\"5\" y=\"7\"/>\n</svg>\n"));
  ASSERT_TRUE(waitUntilSettled(xml));
  EXPECT_TRUE(bufferMirrorsStorage(xml)) << "after typing an attribute";
  EXPECT_EQ(w.svg, bufferText(xml));
}

// Coloured text copied from an editor (the toolkit's own copy, as its context menu makes) and
// pasted with ctrl+v over a selection of the other editor is one edit: the storage and the binding
// hear of it once, with the whole text, not once per run of colour.
TEST(EditorColourTests, APastedColouredTextIsOneEdit) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  const std::string title = "Editor paste of coloured text";
  EditorWindow w("<svg width=\"10\">\n  <rect x=\"5\"/>\n</svg>\n",
                 "let a = \"b\" // c\nvar n = 12 + f(0.5)\n", title);
  ASSERT_TRUE(w.ready(title)) << "the window could not be shown and focused through the X server";
  CodeTextView& swift = w.swiftEditor.textView();
  CodeTextView& xml = w.xml.textView();
  ASSERT_TRUE(waitUntilSettled(swift) && waitUntilSettled(xml));
  auto source = swift.get_buffer();
  ASSERT_GE(source->get_tag_table()->get_size(), 3) << "the Swift is coloured in several runs";
  source->select_range(source->begin(), source->end());
  source->copy_clipboard(xml.get_clipboard());
  FennixTestSupport::runMainLoopFor(0.05);

  std::vector<std::string> heard;
  w.onSVG = [&](const std::string& svg) { heard.push_back(svg); };
  int characterEdits = 0;
  auto& storage = *xml.codeView().codeTextStorage();
  const auto observer = storage.addObserver([&](NSTextStorage&, const NSTextStorageEdit& edit) {
    if (edit.editedMask & NSTextStorageEditedCharacters) ++characterEdits;
  });
  // "10" selected, then pasted over.
  xml.grab_focus();
  xml.get_buffer()->select_range(xml.get_buffer()->get_iter_at_offset(12), xml.get_buffer()->get_iter_at_offset(14));
  runMainLoopUntil([&] { return xml.has_focus(); }, 2);
  const std::string expected = "<svg width=\"let a = \"b\" // c\nvar n = 12 + f(0.5)\n\">\n  <rect x=\"5\"/>\n</svg>\n";
  w.x.key("ctrl+v");
  const bool pasted = runMainLoopUntil([&] { return bufferText(xml) == expected; }, 10);
  storage.removeObserver(observer);
  ASSERT_TRUE(pasted) << bufferText(xml);
  EXPECT_EQ(characterEdits, 1);
  EXPECT_EQ(heard, std::vector<std::string>{expected});
  ASSERT_TRUE(waitUntilSettled(xml));
  EXPECT_TRUE(bufferMirrorsStorage(xml)) << "after pasting";
}

// New text from outside (the Swift pane's regenerated code) replaces only the part of the buffer
// that differs, also when the difference starts or ends inside a character of several bytes, and
// the buffer ends up styled as the storage.
TEST(EditorColourTests, AWholeNewTextReplacesOnlyWhatDiffers) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  const std::string title = "Editor colours of new text";
  std::string head = "import SwiftUI\n// \U0001F600 drawn\n", tail = "\nlet tail = \"\U0001F680\" // end\n";
  EditorWindow w("<svg/>\n", head + "let n = 1 // \U0001F600" + tail, title);
  ASSERT_TRUE(w.ready(title));
  CodeTextView& swift = w.swiftEditor.textView();
  ASSERT_TRUE(waitUntilSettled(swift));
  auto buffer = swift.get_buffer();

  for (const std::string middle : {"let n = 22 // \U0001F603", "var n = 22 // \U0001F603 and \U0001F604", "let n = 3"}) {
    // A mark on the "t" of "tail" stays on it when only the middle is replaced.
    const int tailOffset = int(g_utf8_strlen(w.swift.c_str(), -1)) - int(g_utf8_strlen(tail.c_str(), -1)) + 5;
    auto mark = buffer->create_mark(buffer->get_iter_at_offset(tailOffset), false);
    auto headMark = buffer->create_mark(buffer->get_iter_at_offset(3), true);
    w.swiftEditor.setText(head + middle + tail);
    EXPECT_EQ(bufferText(swift), head + middle + tail);
    EXPECT_EQ(mark->get_iter().get_char(), gunichar('t')) << middle;
    EXPECT_EQ(mark->get_iter().get_offset(),
              int(g_utf8_strlen(w.swift.c_str(), -1)) - int(g_utf8_strlen(tail.c_str(), -1)) + 5) << middle;
    EXPECT_EQ(headMark->get_iter().get_offset(), 3) << middle;
    buffer->delete_mark(mark);
    buffer->delete_mark(headMark);
    ASSERT_TRUE(waitUntilSettled(swift));
    EXPECT_TRUE(bufferMirrorsStorage(swift)) << middle;
  }
  // A text with nothing in common, and the empty text.
  w.swiftEditor.setText("struct A {}\n");
  ASSERT_TRUE(waitUntilSettled(swift));
  EXPECT_TRUE(bufferMirrorsStorage(swift));
  w.swiftEditor.setText("");
  EXPECT_EQ(bufferText(swift), "");
  ASSERT_TRUE(waitUntilSettled(swift));
}

/// Whether the storage carries, at every unit, the attributes of a highlight of its whole text.
::testing::AssertionResult colouredAsWholeText(CodeTextView& view) {
  const HighlightTextStorage& storage = *view.codeView().codeTextStorage();
  std::optional<AttributedString> fresh;
  bool answered = false;
  HighlightJS::shared()->highlight(Fennix::utf8FromUTF16(storage.string()), storage.language(), storage.theme(),
                                   DispatchQueue::main(), [&](std::optional<AttributedString> result) {
                                     fresh = std::move(result);
                                     answered = true;
                                   });
  if (!runMainLoopUntil([&] { return answered; }, 60) || !fresh) {
    return ::testing::AssertionFailure() << "the highlighter gave no result";
  }
  if (fresh->utf16() != storage.string()) return ::testing::AssertionFailure() << "the highlighted text differs";
  std::size_t differing = 0, first = 0;
  for (const AttributedString::Run& run : fresh->runs()) {
    for (std::size_t unit = run.range.location; unit < run.range.upperBound(); ++unit) {
      if (storage.attributes(unit) == run.attributes) continue;
      if (differing++ == 0) first = unit;
    }
  }
  if (differing == 0) return ::testing::AssertionSuccess();
  const NSRange line = SyntaxEditorSupport::paragraphRange(storage.string(), {first, 0});
  return ::testing::AssertionFailure() << differing << " of " << storage.length()
                                       << " units differ from a whole-text highlight, the first at " << first
                                       << " on the line \"" << Fennix::utf8FromUTF16(storage.substring(line)) << "\"";
}

/// What a generator might make of a drawing: the drawing in a block comment and in a string of
/// several lines.
std::string swiftOf(const std::string& svg) {
  return "import SwiftUI\n/* drawn from\n" + svg + "*/\nlet source = \"\"\"\n" + svg + "\"\"\"\nlet n = 1\n";
}

// A change from outside that falls inside a construct of several lines (a tag, a comment, an
// attribute value, a Swift block comment or string) leaves each storage coloured as a highlight
// of its whole new text, and each buffer showing it: changes made with setText, and changes of the
// Swift that follow keys typed into the XML editor through the X server.
TEST(EditorColourTests, OutsideChangesInsideConstructsOfSeveralLinesColourAsTheWholeText) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  const std::string title = "Editor colours after outside changes";
  const std::string drawing =
      "<svg xmlns=\"http://www.w3.org/2000/svg\"\n"
      "     viewBox=\"0 0 100 100\">\n"
      "  <rect x=\"10\" y=\"10\"\n"
      "        width=\"80\" height=\"80\"\n"
      "        fill=\"gold\" stroke=\"blue\"\n"
      "        stroke-width=\"4\" />\n"
      "  <g/>\n"
      "  <path d=\"M0 0\n"
      "    L 80 80 Z\"/>\n"
      "  <circle r=\"2\"/><!-- a note\n"
      "    r=\"3\" -->\n"
      "</svg>\n";
  EditorWindow w(drawing, swiftOf(drawing), title);
  w.onSVG = [&](const std::string& svg) { w.swiftEditor.setText(swiftOf(svg)); };
  ASSERT_TRUE(w.ready(title)) << "the window could not be shown and focused through the X server";
  CodeTextView& xml = w.xml.textView();
  CodeTextView& swift = w.swiftEditor.textView();
  ASSERT_TRUE(waitUntilSettled(xml) && waitUntilSettled(swift));
  EXPECT_TRUE(colouredAsWholeText(xml)) << "after opening";
  EXPECT_TRUE(colouredAsWholeText(swift)) << "after opening";

  auto changed = [](std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
  };
  std::string svg = drawing;
  const std::vector<std::pair<std::string, std::string>> edits{
      {"width=\"80\"", "width=\"81\""},       // an attribute on a line inside a tag
      {"L 80 80", "L 80 70"},                   // inside an attribute value of two lines
      {"r=\"3\" -->", "r=\"4\" -->"},         // inside a comment
      {"  <g/>", "  <!--g/>"},                  // a comment opened: it runs to the next "-->"
      {"<!--g/>", "<g/>"},                      // and closed again
      {"<rect x", "<rect\n    x"},             // a line break inside a tag
  };
  for (const auto& [from, to] : edits) {
    svg = changed(svg, from, to);
    w.xml.setText(svg);
    ASSERT_EQ(bufferText(xml), svg);
    ASSERT_EQ(bufferText(swift), swiftOf(svg));
    ASSERT_TRUE(waitUntilSettled(xml) && waitUntilSettled(swift));
    EXPECT_TRUE(colouredAsWholeText(xml)) << from << " -> " << to;
    EXPECT_TRUE(colouredAsWholeText(swift)) << from << " -> " << to;
    EXPECT_TRUE(bufferMirrorsStorage(xml)) << from << " -> " << to;
    EXPECT_TRUE(bufferMirrorsStorage(swift)) << from << " -> " << to;
  }

  // Keys typed into the XML editor: each change of the drawing changes the Swift inside its block
  // comment and its string.
  const int widthValue = int(g_utf8_strlen(svg.c_str(), long(svg.find("width=\"81") + 8)));
  w.caret(xml, widthValue);
  ASSERT_TRUE(w.typed(xml, "5", changed(svg, "width=\"81", "width=\"851")));
  ASSERT_TRUE(w.typed(xml, "0", changed(svg, "width=\"81", "width=\"8501")));
  ASSERT_EQ(bufferText(swift), swiftOf(w.svg));
  ASSERT_TRUE(waitUntilSettled(xml) && waitUntilSettled(swift));
  EXPECT_TRUE(colouredAsWholeText(swift)) << "after typing into the drawing";
  EXPECT_TRUE(bufferMirrorsStorage(swift)) << "after typing into the drawing";
  EXPECT_TRUE(bufferMirrorsStorage(xml)) << "after typing into the drawing";
}

/// The character range of the long line that the view shows.
std::pair<int, int> visibleCharacters(CodeTextView& view) {
  Gdk::Rectangle rect;
  view.get_visible_rect(rect);
  Gtk::TextIter left, right;
  view.get_iter_at_location(left, rect.get_x(), rect.get_y() + 2);
  view.get_iter_at_location(right, rect.get_x() + rect.get_width() - 1, rect.get_y() + 2);
  return {left.get_offset(), right.get_offset()};
}

/// How many characters of [from, to) carry a style.
int taggedCharacters(CodeTextView& view, int from, int to) {
  auto buffer = view.get_buffer();
  int tagged = 0;
  for (auto iter = buffer->get_iter_at_offset(from); iter.get_offset() < to;) {
    auto next = iter;
    if (!next.forward_to_tag_toggle(Glib::RefPtr<Gtk::TextTag>()) || next.get_offset() > to) next = buffer->get_iter_at_offset(to);
    const auto tags = iter.get_tags();
    if (std::any_of(tags.begin(), tags.end(), [](const auto& tag) {
          return tag->property_name().get_value().rfind("qv-attributes ", 0) == 0;
        })) {
      tagged += next.get_offset() - iter.get_offset();
    }
    if (next.get_offset() <= iter.get_offset()) break;
    iter = next;
  }
  return tagged;
}

// A drawing on one line of some 60,000 characters, with an emoji early on, which does not wrap
// (lines longer than the long-line threshold scroll sideways): the view styles the part of the
// line it shows and a margin either side, and after typing and scrolling the buffer carries
// exactly the storage's styles there and none elsewhere on the line.
TEST(EditorColourTests, ALongLineCarriesTheStylesNearTheView) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  std::string line = "<svg viewBox=\"0 0 100 100\"><title>\U0001F600</title>";
  for (int i = 0; i < 1000; ++i) {
    line += "<path d=\"M" + std::to_string(i % 97) + " 2L3 4\" fill=\"#12" + std::to_string(10 + i % 80) + "56\"/>";
  }
  line += "</svg>";
  const std::string title = "Editor colours on a long line";
  std::string shortLines;
  for (int i = 0; i < 200; ++i) shortLines += "<g id=\"g" + std::to_string(i) + "\"/>\n";
  EditorWindow w(line + "\n" + shortLines + line + "\n", "let a = 1\n", title);
  ASSERT_TRUE(w.ready(title)) << "the window could not be shown and focused through the X server";
  CodeTextView& xml = w.xml.textView();
  const int lineLength = xml.get_buffer()->get_iter_at_line(0).get_chars_in_line() - 1;
  ASSERT_GT(lineLength, 2 * int(xml.styleMirror().longLineThreshold()));
  ASSERT_TRUE(waitUntilSettled(xml));

  auto check = [&](const char* when) {
    EXPECT_TRUE(bufferMirrorsStorage(xml, BufferCheck::outsideWindows(xml))) << when;
    // What the view shows is styled, and the line carries styles only near it.
    const auto [left, right] = visibleCharacters(xml);
    EXPECT_GT(right, left) << when;
    for (int character : {left, (left + right) / 2, right - 1}) {
      EXPECT_FALSE(BufferCheck::outsideWindows(xml)(character)) << when << ": character " << character << " in view";
    }
    EXPECT_GT(taggedCharacters(xml, left, right), (right - left) / 2) << when;
    const int margin = int(xml.styleMirror().windowMargin());
    EXPECT_LE(taggedCharacters(xml, 0, lineLength), (right - left) + 2 * margin + 100) << when;
    EXPECT_EQ(taggedCharacters(xml, 0, std::max(0, left - margin - 100)), 0) << when;
    EXPECT_EQ(taggedCharacters(xml, std::min(lineLength, right + margin + 100), lineLength), 0) << when;
  };
  check("after opening");
  // One display line, as wide as the line; the short lines below it wrap as usual.
  auto firstLine = xml.get_buffer()->begin();
  EXPECT_FALSE(xml.forward_display_line(firstLine) && firstLine.get_line() == 0) << "the long line does not wrap";
  EXPECT_GT(xml.get_hadjustment()->get_upper(), 10 * xml.get_hadjustment()->get_page_size());

  // A digit typed in view, through the X server.
  w.caret(xml, 40);
  std::string expected = w.svg;
  expected.insert(expected.begin() + 43, '7');  // character 40 is after the emoji (4 bytes, one character)
  ASSERT_TRUE(w.typed(xml, "7", expected));
  ASSERT_TRUE(waitUntilSettled(xml));
  check("after typing");

  // Scrolled to the middle of the line, the view shows colours there, and the start is bare again.
  auto adjustment = xml.get_hadjustment();
  adjustment->set_value(adjustment->get_upper() / 2);
  ASSERT_TRUE(runMainLoopUntil([&] { return visibleCharacters(xml).first > lineLength / 3; }, 5));
  ASSERT_TRUE(waitUntilSettled(xml));
  check("after scrolling");
  EXPECT_EQ(taggedCharacters(xml, 0, 100), 0);

  // The second long line, out of view, carries nothing until the view scrolls down to it.
  auto buffer = xml.get_buffer();
  const int second = buffer->get_iter_at_line(201).get_offset(), secondEnd = second + lineLength;
  EXPECT_EQ(taggedCharacters(xml, second, secondEnd), 0);
  auto vertical = xml.get_vadjustment();
  vertical->set_value(vertical->get_upper());
  Gdk::Rectangle rect;
  ASSERT_TRUE(runMainLoopUntil([&] {
    xml.get_visible_rect(rect);
    int y = 0, height = 0;
    xml.get_line_yrange(buffer->get_iter_at_line(201), y, height);
    return y >= rect.get_y() && y + height <= rect.get_y() + rect.get_height();
  }, 5));
  ASSERT_TRUE(waitUntilSettled(xml));
  EXPECT_TRUE(bufferMirrorsStorage(xml, BufferCheck::outsideWindows(xml))) << "after scrolling down";
  int y = 0, height = 0;
  xml.get_line_yrange(buffer->get_iter_at_line(201), y, height);
  Gtk::TextIter left, right;
  xml.get_iter_at_location(left, rect.get_x(), y);
  xml.get_iter_at_location(right, rect.get_x() + rect.get_width() - 1, y);
  EXPECT_GT(left.get_offset(), second + lineLength / 3) << "the view stayed in the middle of the lines";
  EXPECT_GT(taggedCharacters(xml, left.get_offset(), right.get_offset()), (right.get_offset() - left.get_offset()) / 2);
  EXPECT_LE(taggedCharacters(xml, second, secondEnd),
            right.get_offset() - left.get_offset() + 2 * int(xml.styleMirror().windowMargin()) + 100);

  // Cut below the threshold, the first line wraps again; grown past it, a short line stops wrapping.
  w.xml.setText(line.substr(0, 5000) + "\n" + shortLines + line + line.substr(0, 5000) + "\n");
  ASSERT_TRUE(waitUntilSettled(xml));
  auto wrapped = buffer->begin();
  EXPECT_TRUE(xml.forward_display_line(wrapped) && wrapped.get_line() == 0) << "a line under the threshold wraps";
  auto longer = buffer->get_iter_at_line(201);
  EXPECT_FALSE(xml.forward_display_line(longer) && longer.get_line() == 201) << "the grown line does not wrap";
  EXPECT_TRUE(bufferMirrorsStorage(xml, BufferCheck::outsideWindows(xml))) << "after the lines changed length";
}


// A long one-line text pasted with ctrl+v into a drawing of short lines (a line of 300,000
// characters, of many colours): every change of the line costs the toolkit a layout of all of it,
// and a line it measures and then draws is laid out twice unless a layout that it keeps is at
// hand. The paste, the tag that keeps the line from wrapping and the cursor after the paste cost
// one layout together, and the colours near the view one more: neither is measured or drawn with
// a layout of its own, and the cursor placed where the buffer has it already costs none.
TEST(EditorColourTests, APastedLongLineIsLaidOutOncePerChange) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  const std::string title = "Editor layouts of a pasted long line";
  EditorWindow w("<svg width=\"10\">\n  <rect x=\"5\"/>\n</svg>\n", "let a = 1\n", title);
  ASSERT_TRUE(w.ready(title)) << "the window could not be shown and focused through the X server";
  CodeTextView& xml = w.xml.textView();
  ASSERT_TRUE(waitUntilSettled(xml));
  std::string pasted;
  for (int i = 0; pasted.size() < 300'000; ++i) pasted += "<rect x=\"" + std::to_string(i % 997) + "\" fill=\"#123\"/>";
  w.caret(xml, 16);  // after <svg width="10">
  std::string expected = w.svg;
  expected.insert(16, pasted);

  auto clock = xml.get_frame_clock();
  ASSERT_TRUE(clock);
  int frames = 0;
  auto painted = clock->signal_paint().connect([&] { ++frames; });
  layoutCountFrom = pasted.size();
  layoutsCounted = 0;
  const std::size_t primedBefore = xml.longLineLayouts();
  ASSERT_TRUE(w.pasted(xml, pasted, expected));
  ASSERT_TRUE(waitUntilSettled(xml));
  // Until the view has drawn what it shows now, twice (asked for again: after a slow settling the
  // cursor no longer blinks, and nothing else draws).
  xml.queue_draw();
  const int drawn = frames;
  ASSERT_TRUE(runMainLoopUntil([&] {
    if (frames == drawn + 1) xml.queue_draw();
    return frames >= drawn + 2;
  }, 300));
  painted.disconnect();
  const int layouts = layoutsCounted;
  layoutCountFrom = SIZE_MAX;

  EXPECT_EQ(std::size_t(layouts), xml.longLineLayouts() - primedBefore)
      << "the toolkit laid the line out again on its own";
  EXPECT_GE(layouts, 1);
  EXPECT_LE(layouts, 3) << "the text, its colours near the view, and at most one scroll to the cursor";
  EXPECT_TRUE(bufferMirrorsStorage(xml, BufferCheck::outsideWindows(xml))) << "after the paste";
  EXPECT_EQ(w.svg, expected);
}

// A drawing of one line of 120 KB opened in an editor, and a key typed into it: the colours near
// the view start and end inside the line, and the buffer copies and counts the piece of the line
// a colour starts in. The line comes in pieces of a few kilobytes, so that no colour costs as much
// as the line (on a line of megabytes, opening took seconds for each hundred colours).
TEST(EditorColourTests, ColoursOnAnOpenedLongLineCostThePiecesTheyAreIn) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  auto drawing = [](const std::string& colour) {
    std::string line = "<svg viewBox=\"0 0 1000 1000\">";
    for (int i = 0; line.size() < 120'000; ++i) {
      line += "<rect x=\"" + std::to_string(i % 997) + "\" y=\"" + std::to_string(i % 991) + "\" fill=\"#" + colour +
              std::to_string(10000 + i % 80000) + "\"/>";
    }
    return line + "</svg>";
  };
  const std::string line = drawing("1");
  countedFrom = line.size() / 4;
  bufferCounts = 0;
  const std::string title = "Editor colours on an opened long line";
  EditorWindow w(line + "\n", "let a = 1\n", title);
  ASSERT_TRUE(w.ready(title)) << "the window could not be shown and focused through the X server";
  CodeTextView& xml = w.xml.textView();
  ASSERT_TRUE(waitUntilSettled(xml));
  EXPECT_TRUE(bufferMirrorsStorage(xml, BufferCheck::outsideWindows(xml))) << "after opening";
  EXPECT_GT(taggedCharacters(xml, 0, 2000), 1000) << "the start of the line, in view, is coloured";
  EXPECT_LE(bufferCounts, 2) << "colours given on opening cost a copy of most of the line each";

  bufferCounts = 0;
  w.caret(xml, 40);
  std::string expected = w.svg;
  expected.insert(40, "7");
  ASSERT_TRUE(w.typed(xml, "7", expected));
  ASSERT_TRUE(waitUntilSettled(xml));
  EXPECT_TRUE(bufferMirrorsStorage(xml, BufferCheck::outsideWindows(xml))) << "after typing";
  EXPECT_LE(bufferCounts, 2) << "a typed key cost copies of most of the line";
  EXPECT_EQ(w.svg, expected);

  // A whole new line (as a drawing changed in another program and read again) comes in short
  // pieces too.
  bufferCounts = 0;
  w.xml.setText(drawing("2") + "\n");
  ASSERT_TRUE(waitUntilSettled(xml));
  EXPECT_TRUE(bufferMirrorsStorage(xml, BufferCheck::outsideWindows(xml))) << "after a whole new text";
  EXPECT_LE(bufferCounts, 2) << "a whole new text cost copies of most of the line";
  countedFrom = SIZE_MAX;
}

// A line of 40 KB cut whole with ctrl+x and put back with ctrl+v twice, then cut and put back with
// the toolkit's own undo, redo and undo (ctrl+z, ctrl+shift+z), all through the X server: the
// marks that keep the pieces of the line short go with the text cut, however often, and text
// the toolkit puts back itself comes in short pieces too (its colours near the view cost the
// pieces they are in, not copies of the line).
TEST(EditorColourTests, ALongLineCutAndPutBackKeepsItsPiecesShort) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  std::string line = "<svg viewBox=\"0 0 1000 1000\">";
  for (int i = 0; line.size() < 40'000; ++i) {
    line += "<rect x=\"" + std::to_string(i % 997) + "\" y=\"" + std::to_string(i % 991) + "\" fill=\"#" +
            std::to_string(10000 + i % 80000) + "\"/>";
  }
  line += "</svg>\n";
  const std::size_t pieces = line.size() / 8192 + 1;
  const std::string title = "Editor colours on a long line cut and put back";
  EditorWindow w(line, "let a = 1\n", title);
  ASSERT_TRUE(w.ready(title)) << "the window could not be shown and focused through the X server";
  CodeTextView& xml = w.xml.textView();
  ASSERT_TRUE(waitUntilSettled(xml));
  EXPECT_LE(xml.fenceCount(), pieces) << "after opening";
  w.caret(xml, 0);

  auto cut = [&](const std::string& when) {
    w.x.key("ctrl+a");
    w.x.key("ctrl+x");
    ASSERT_TRUE(runMainLoopUntil([&] { return bufferText(xml).empty() && w.svg.empty(); }, 10)) << when;
    EXPECT_EQ(xml.fenceCount(), 0u) << when << ": marks of the text cut were left behind";
  };
  // Waits for the line to be back in the buffer and the document, then counts what its colours cost.
  auto back = [&](const std::string& when) {
    ASSERT_TRUE(runMainLoopUntil([&] { return bufferText(xml) == line && w.svg == line; }, 10)) << when;
    countedFrom = line.size() / 4;
    bufferCounts = 0;
    ASSERT_TRUE(waitUntilSettled(xml)) << when;
    countedFrom = SIZE_MAX;
    EXPECT_TRUE(bufferMirrorsStorage(xml, BufferCheck::outsideWindows(xml))) << when;
    EXPECT_GT(taggedCharacters(xml, 0, 2000), 1000) << when << ": the start of the line, in view, is coloured";
    EXPECT_LE(bufferCounts, 2) << when << ": colours near the view cost copies of most of the line";
    EXPECT_LE(xml.fenceCount(), pieces) << when << ": marks pile up";
    EXPECT_GE(xml.fenceCount(), pieces - 2) << when << ": the line is not in short pieces";
  };
  for (int round = 1; round <= 2; ++round) {
    const std::string when = "round " + std::to_string(round);
    cut(when + ", cut");
    w.x.key("ctrl+v");
    back(when + ", pasted");
  }
  {
    const std::string when = "undo";
    cut(when + ", cut before undo");
    w.x.key("ctrl+z");
    back(when + ", undone");
    w.x.key("ctrl+shift+z");
    ASSERT_TRUE(runMainLoopUntil([&] { return bufferText(xml).empty() && w.svg.empty(); }, 10)) << when << ", redone";
    EXPECT_EQ(xml.fenceCount(), 0u) << when << ", redone: marks of the text cut again were left behind";
    w.x.key("ctrl+z");
    back(when + ", undone again");
  }
}

// A paste of many short lines: the toolkit lays out every line of it in the background, which
// takes seconds. The colours of the paste come with the highlighter's answer, not after the toolkit
// has laid out every line (and then again the lines whose colours changed).
TEST(EditorColourTests, APasteOfManyLinesIsColouredBeforeAllOfItIsLaidOut) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  const std::string title = "Editor colours of a paste of many lines";
  EditorWindow w("<svg width=\"10\">\n  <rect x=\"5\"/>\n</svg>\n", "let a = 1\n", title);
  ASSERT_TRUE(w.ready(title)) << "the window could not be shown and focused through the X server";
  CodeTextView& xml = w.xml.textView();
  ASSERT_TRUE(waitUntilSettled(xml));
  constexpr int lines = 60'000;
  std::string pasted;
  for (int i = 0; i < lines; ++i) pasted += "<g id=\"l" + std::to_string(i) + "\"/> pasted line\n";
  w.caret(xml, 17);  // at the start of the second line
  std::string expected = w.svg;
  expected.insert(17, pasted);

  layoutMarker = "<g id=\"l";
  markedLayouts = 0;
  ASSERT_TRUE(w.pasted(xml, pasted, expected));
  // Counted from the highlighter's answer, which takes its own time (a busy machine, the sanitizer
  // build) while the toolkit goes on laying out.
  const auto& storage = *xml.codeView().codeTextStorage();
  int laidOutWhenAnswered = -1;
  ASSERT_TRUE(runMainLoopUntil([&] {
    if (laidOutWhenAnswered < 0 && !storage.isHighlighting()) laidOutWhenAnswered = markedLayouts;
    return laidOutWhenAnswered >= 0 && xml.isStyleSettled();
  }, 300));
  const int laidOutWhenColoured = markedLayouts - laidOutWhenAnswered;
  ASSERT_TRUE(waitUntilSettled(xml));
  EXPECT_TRUE(bufferMirrorsStorage(xml)) << "after the paste";
  // Until the toolkit has laid out every line (it goes on in the background).
  ASSERT_TRUE(runMainLoopUntil([&] { return markedLayouts >= lines; }, 120));
  layoutMarker = nullptr;
  EXPECT_LT(laidOutWhenColoured, lines / 2) << "the colours waited for the layout of the whole paste";
  EXPECT_EQ(w.svg, expected);
}


// A line of 60,000 characters pasted with ctrl+v at the start of a short line joins it, and the
// view shows the line only near its start once Home is pressed: the tail that was the short line
// loses its colours there. Ctrl+Z takes the paste out again, and the short line that is left is
// coloured all along, as is the line again after Shift+Ctrl+Z near the view.
TEST(EditorColourTests, ALongLineUndoneToAShortOneIsColouredAllAlong) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  const std::string title = "Editor colours of an undone long line";
  std::string shortLines;
  for (int i = 0; i < 40; ++i) shortLines += "<g id=\"g" + std::to_string(i) + "\"/>\n";
  EditorWindow w("<svg width=\"10\">\n<desc a=\"1\">words</desc>\n" + shortLines + "</svg>\n", "let a = 1\n", title);
  ASSERT_TRUE(w.ready(title)) << "the window could not be shown and focused through the X server";
  CodeTextView& xml = w.xml.textView();
  ASSERT_TRUE(waitUntilSettled(xml));
  std::string pasted;
  for (int i = 0; pasted.size() < 60'000; ++i) pasted += "<rect x=\"" + std::to_string(i % 997) + "\" fill=\"#123\"/>";
  const std::string original = w.svg;
  std::string expected = original;
  expected.insert(17, pasted);
  w.caret(xml, 17);
  ASSERT_TRUE(w.pasted(xml, pasted, expected));
  ASSERT_TRUE(waitUntilSettled(xml));
  w.x.key("Home");
  ASSERT_TRUE(runMainLoopUntil([&] { return visibleCharacters(xml).first < 100; }, 10));
  ASSERT_TRUE(waitUntilSettled(xml));
  const int tail = 17 + int(pasted.size());
  ASSERT_EQ(taggedCharacters(xml, tail, tail + 10), 0) << "the tail of the line is far from the view";

  w.x.key("ctrl+z");
  ASSERT_TRUE(runMainLoopUntil([&] { return bufferText(xml) == original; }, 30));
  ASSERT_TRUE(waitUntilSettled(xml));
  EXPECT_TRUE(xml.styleMirror().longLines().empty());
  EXPECT_TRUE(bufferMirrorsStorage(xml)) << "after undoing the paste";
  EXPECT_EQ(w.svg, original);

  w.x.key("shift+ctrl+z");
  ASSERT_TRUE(runMainLoopUntil([&] { return bufferText(xml) == expected; }, 30));
  ASSERT_TRUE(waitUntilSettled(xml));
  EXPECT_TRUE(bufferMirrorsStorage(xml, BufferCheck::outsideWindows(xml))) << "after redoing it";
  EXPECT_EQ(w.svg, expected);
}


// The part of a long line that carries colours stays where it is when the view shows a column or
// two more or fewer (a window a little narrower, the line measured after the columns in view were
// estimated): moving it would restyle its edges, and every restyle costs a layout of the whole line.
TEST(EditorColourTests, ALongLineKeepsItsColoursInPlaceWhenTheViewChangesByAColumn) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  const std::string title = "Editor colours of a long line in a narrower window";
  std::string line;
  for (int i = 0; line.size() < 60'000; ++i) line += "<rect x=\"" + std::to_string(i % 997) + "\" fill=\"#123\"/>";
  EditorWindow w("<svg>" + line + "</svg>\n<g/>\n", "let a = 1\n", title);
  ASSERT_TRUE(w.ready(title)) << "the window could not be shown and focused through the X server";
  CodeTextView& xml = w.xml.textView();
  ASSERT_TRUE(waitUntilSettled(xml));
  const auto id = w.x.findWindow(title);
  ASSERT_TRUE(id);
  const int width = xml.get_width();
  const std::size_t layouts = xml.longLineLayouts();
  for (const int narrower : {12, 20}) {
    w.x.resize(*id, w.window.get_width() - narrower, w.window.get_height());
    ASSERT_TRUE(runMainLoopUntil([&] { return xml.get_width() < width; }, 10));
    ASSERT_TRUE(waitUntilSettled(xml));
    EXPECT_TRUE(bufferMirrorsStorage(xml, BufferCheck::outsideWindows(xml))) << narrower;
    const auto [left, right] = visibleCharacters(xml);
    EXPECT_EQ(taggedCharacters(xml, left, right), right - left) << narrower;
  }
  EXPECT_EQ(xml.longLineLayouts(), layouts) << "the colours moved, and the line was laid out again";
}

}  // namespace
