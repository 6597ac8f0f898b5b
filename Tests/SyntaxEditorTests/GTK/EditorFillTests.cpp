// A whole new text of many megabytes goes into an editor's empty buffer a piece per main-loop
// iteration: blocks posted to the main queue run between the pieces, the view takes no edit
// until it holds the whole text, and edits of the text made meanwhile (from outside, or to the
// buffer by the program) leave the buffer holding the storage's text once it is in.
#include <gdk/gdkkeysyms.h>
#include <gtest/gtest.h>

#include <gtkmm/init.h>
#include <gdkmm/clipboard.h>
#include <gdkmm/frameclock.h>
#include <gtkmm/window.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "Platform/Dispatch.h"
#include "SyntaxEditor/GTK/SyntaxEditorView.h"
#include "SyntaxEditorTests/EditorTestSupport.h"
#include "SyntaxEditorTests/GTK/BufferCheck.h"
#include "Tools/XDriver/XDriver.h"

namespace {

using BufferCheck::bufferMirrorsStorage;
using BufferCheck::displayLines;
using BufferCheck::onlyLongLinesUnwrapped;
using BufferCheck::waitUntilSettled;
using EditorTestSupport::runMainLoopUntil;
using Editor = SyntaxEditor;

bool gtkReady() {
  if (!gtk_init_check()) return false;
  Gtk::init_gtkmm_internals();
  return true;
}

/// About three pieces of Swift in short lines, with an emoji (two UTF-16 units, one character)
/// on each line, so that the buffer's character offsets and the storage's units part.
/// Appends short lines of Swift to `text` until it holds `size` bytes.
void appendShortLines(std::string& text, std::size_t size) {
  for (unsigned i = 0; text.size() < size; ++i) {
    text += "let value" + std::to_string(i) + " = \"\xF0\x9F\x90\xB0\" // line " + std::to_string(i) + "\n";
  }
}

std::string largeSwift(std::size_t pieces = 3) {
  std::string text;
  appendShortLines(text, pieces * CodeTextView::fillPiece + 1000);
  return text;
}

std::string bufferText(CodeTextView& view) { return view.get_buffer()->get_text(true).raw(); }

int characters(const std::string& text, std::size_t bytes) { return int(g_utf8_strlen(text.c_str(), gssize(bytes))); }

/// The characters of line `line` of the buffer, from its first to its end (as far as it holds it).
std::pair<int, int> lineSpan(CodeTextView& view, int line) {
  auto start = view.get_buffer()->get_iter_at_line(line);
  auto end = start;
  if (!end.ends_line()) end.forward_to_line_end();
  return {start.get_offset(), end.get_offset()};
}

/// A shown window holding one Swift editor, given `text` once it is mapped.
struct FillWindow {
  std::string swift = "let a = 1\n";
  Gtk::Window window;
  std::unique_ptr<SyntaxEditorView> editor;

  explicit FillWindow(const std::string& title) {
    window.set_title(title);
    window.set_default_size(700, 400);
    window.present();
  }
  ~FillWindow() { window.destroy(); }

  /// Gives the window the keyboard focus through the X server; its id there once it is active.
  std::optional<XDriver::WindowID> focus(XDriver::Session& x) {
    std::optional<XDriver::WindowID> id;
    runMainLoopUntil([&] { return bool(id = x.findWindow(window.get_title().raw())); }, 5);
    if (!id) return std::nullopt;
    x.focus(*id);
    if (!runMainLoopUntil([&] { return window.is_active(); }, 5)) return std::nullopt;
    return id;
  }

  /// Makes the editor on `text`, as a document window makes its editors.
  SyntaxEditorView& open(const std::string& text) {
    swift = text;
    editor = std::make_unique<SyntaxEditorView>(
        Editor(Editor::Binding<std::string>::fromVariable(swift), Editor::Language::swift, HighlightJSTheme::xcode(),
               std::nullopt, Editor::Flags::defaultEditorFlags, Editor::softTab(4)));
    window.set_child(*editor);
    return *editor;
  }
};

}  // namespace

// A block posted to the main queue as the editor is made runs while the buffer holds only part of
// the text; no step put more than a piece into the buffer; the view is not editable until the
// text is in, then the start of the text is coloured and a key typed through the X server goes
// into the buffer and the binding.
TEST(EditorFillTests, ALargeTextGoesInAPieceAtATimeAndTakesKeysOnceIn) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  const std::string title = "Editor fill of a large text";
  FillWindow w(title);
  XDriver::Session x;
  ASSERT_TRUE(x.ok());
  const std::string text = largeSwift();
  const int characters = int(g_utf8_strlen(text.c_str(), gssize(text.size())));

  auto heldWhenPosted = std::make_shared<int>(-1);
  CodeTextView* shown = nullptr;
  DispatchQueue::main().async([heldWhenPosted, &shown] {
    if (shown != nullptr) *heldWhenPosted = shown->get_buffer()->get_char_count();
  });
  CodeTextView& view = w.open(text).textView();
  shown = &view;
  EXPECT_FALSE(view.get_editable()) << "editable before the buffer held the whole text";
  EXPECT_TRUE(view.isFilling());
  EXPECT_FALSE(view.isStyleSettled()) << "settled before the buffer held the whole text";
  // A key handled by the view's own rules takes nothing either.
  EXPECT_FALSE(view.handleKeyPress(GDK_KEY_Return, Gdk::ModifierType(0)));

  ASSERT_TRUE(runMainLoopUntil([&] { return *heldWhenPosted >= 0; }, 60));
  EXPECT_LT(*heldWhenPosted, characters) << "the block waited until the buffer held the whole text";
  EXPECT_GT(*heldWhenPosted, 0);
  ASSERT_TRUE(runMainLoopUntil([&] { return !view.isFilling(); }, 120));
  EXPECT_LE(view.largestInsertion(), CodeTextView::fillPiece) << "one step put more than a piece into the buffer";
  EXPECT_TRUE(view.get_editable());
  ASSERT_TRUE(waitUntilSettled(view));
  EXPECT_TRUE(bufferMirrorsStorage(view)) << "once the text is in";
  EXPECT_EQ(w.swift, text) << "filling the buffer wrote to the binding";

  // Typed at the start, through the X server.
  const std::optional<XDriver::WindowID> id = w.focus(x);
  ASSERT_TRUE(id) << "the window did not take the focus";
  view.grab_focus();
  view.get_buffer()->place_cursor(view.get_buffer()->begin());
  ASSERT_TRUE(runMainLoopUntil([&] { return view.has_focus(); }, 5));
  x.type("z");
  ASSERT_TRUE(runMainLoopUntil([&] { return w.swift.size() == text.size() + 1; }, 30));
  EXPECT_EQ(w.swift, "z" + text);
  EXPECT_EQ(view.get_buffer()->get_text(view.get_buffer()->begin(), view.get_buffer()->get_iter_at_offset(4)).raw(),
            "zlet");
}

// While the buffer is filled: the program inserts into it and erases from it at its start (the
// storage follows), and the text is set again from outside three times, changed past what the
// buffer holds, inside it, and across its end. Once in, the buffer holds the storage's text with its colours.
TEST(EditorFillTests, EditsWhileFillingLeaveTheBufferAsTheStorage) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  FillWindow w("Editor fill with edits");
  const std::string text = largeSwift();
  CodeTextView& view = w.open(text).textView();
  ASSERT_TRUE(view.isFilling());
  auto buffer = view.get_buffer();
  const auto& storage = *view.codeView().codeTextStorage();

  buffer->insert(buffer->begin(), "// typed\n");
  buffer->erase(buffer->get_iter_at_offset(0), buffer->get_iter_at_offset(3));
  ASSERT_TRUE(view.isFilling());
  EXPECT_EQ(Fennix::utf8FromUTF16(storage.string()).substr(0, 12), "typed\nlet va");

  // Past what the buffer holds: near the end of the text.
  std::string changed = w.swift;
  changed.replace(changed.size() - 40, 10, "/* end */");
  w.editor->setText(changed);
  ASSERT_TRUE(view.isFilling());
  // Inside what it holds: near the start.
  changed.replace(20, 5, "\n\n\xF0\x9F\x90\xB0");
  w.editor->setText(changed);
  ASSERT_TRUE(view.isFilling());
  EXPECT_EQ(bufferText(view).substr(0, 40), changed.substr(0, 40));
  // Across its end: from near the start to near the end.
  changed = changed.substr(0, 30) + "/* new */" + changed.substr(60, changed.size() - 200);
  w.editor->setText(changed);
  ASSERT_TRUE(runMainLoopUntil([&] { return !view.isFilling(); }, 120));
  EXPECT_EQ(Fennix::utf8FromUTF16(storage.string()), changed);
  EXPECT_EQ(bufferText(view), changed);
  ASSERT_TRUE(waitUntilSettled(view));
  EXPECT_TRUE(bufferMirrorsStorage(view)) << "once the text is in";
  EXPECT_TRUE(view.get_editable());
}

// A line longer than a piece goes into the buffer whole, in a step of its own: the toolkit would
// lay it out again for each piece of it.
TEST(EditorFillTests, ALineLongerThanAPieceGoesInWhole) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  const std::string firstLine = "let a = 1\n";
  std::string text = firstLine + "let b = \"" + std::string(CodeTextView::fillPiece + 1000, 'x') + "\"\n";
  const int longLineEnd = int(text.size());
  for (int i = 0; text.size() < std::size_t(longLineEnd) + 2 * CodeTextView::fillPiece; ++i) {
    text += "let c" + std::to_string(i) + " = 2\n";
  }
  std::string bound = text;
  SyntaxEditorView editor(Editor(Editor::Binding<std::string>::fromVariable(bound), Editor::Language::swift,
                                 HighlightJSTheme::xcode(), std::nullopt, Editor::Flags::defaultEditorFlags,
                                 Editor::softTab(4)));
  CodeTextView& view = editor.textView();
  ASSERT_TRUE(view.isFilling());
  bool split = false;
  ASSERT_TRUE(runMainLoopUntil([&] {
    const int held = view.get_buffer()->get_char_count();
    if (held > int(firstLine.size()) && held < longLineEnd) split = true;
    return !view.isFilling();
  }, 120));
  EXPECT_FALSE(split) << "the buffer held part of the long line";
  EXPECT_EQ(bufferText(view), text);
}

// Select All and Copy, typed through the X server while the buffer holds only the start of the
// text, put the whole text on the clipboard, not the part shown so far; once the text is in, the
// buffer's selection covers all of it.
TEST(EditorFillTests, SelectAllAndCopyWhileFillingCopyTheWholeText) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  const std::string title = "Editor fill copied whole";
  FillWindow w(title);
  XDriver::Session x;
  ASSERT_TRUE(x.ok());
  const std::optional<XDriver::WindowID> id = w.focus(x);
  ASSERT_TRUE(id) << "the window did not take the focus";

  // Many pieces: the window takes the focus between them.
  const std::string text = largeSwift(12);
  CodeTextView& view = w.open(text).textView();
  view.grab_focus();
  ASSERT_TRUE(runMainLoopUntil([&] { return view.has_focus() || !view.isFilling(); }, 5));
  ASSERT_TRUE(view.isFilling()) << "the buffer held the whole text before the keys could be sent";
  // Input is handled ahead of the next piece: both keys arrive while the buffer is filled.
  auto clipboard = view.get_clipboard();
  std::optional<bool> fillingWhenCopied;
  clipboard->signal_changed().connect([&] { fillingWhenCopied = view.isFilling(); });
  x.key("ctrl+a");
  x.key("ctrl+c");
  ASSERT_TRUE(runMainLoopUntil([&] { return fillingWhenCopied.has_value(); }, 10));
  EXPECT_TRUE(*fillingWhenCopied) << "copied after the buffer held the whole text";

  std::optional<std::string> copied;
  clipboard->read_text_async([&](Glib::RefPtr<Gio::AsyncResult>& result) {
    try {
      copied = clipboard->read_text_finish(result).raw();
    } catch (const Glib::Error&) {
      copied = "";
    }
  });
  ASSERT_TRUE(runMainLoopUntil([&] { return copied.has_value(); }, 30));
  EXPECT_EQ(copied->size(), text.size()) << "the clipboard took the part the buffer held";
  EXPECT_TRUE(*copied == text);

  ASSERT_TRUE(runMainLoopUntil([&] { return !view.isFilling(); }, 120));
  Gtk::TextBuffer::iterator start, end;
  view.get_buffer()->get_selection_bounds(start, end);
  EXPECT_TRUE(start.is_start() && end.is_end()) << "the selection covers the whole text once it is in";
  EXPECT_EQ(bufferText(view), text);
}

// A text set to a short one while the buffer is filled ends the fill with the short text in and the
// view editable; an editor let go of while its buffer is filled leaves no step behind to run.
TEST(EditorFillTests, AShortTextEndsAFillAndAnEditorGoneMeanwhileLeavesNoStep) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  FillWindow w("Editor fill cut short");
  CodeTextView& view = w.open(largeSwift()).textView();
  ASSERT_TRUE(view.isFilling());
  w.editor->setText("let short = 1\n");
  ASSERT_TRUE(runMainLoopUntil([&] { return !view.isFilling(); }, 30));
  EXPECT_EQ(bufferText(view), "let short = 1\n");
  EXPECT_TRUE(view.get_editable());
  ASSERT_TRUE(waitUntilSettled(view));
  EXPECT_TRUE(bufferMirrorsStorage(view));

  // Let go of mid-fill, the window closed too; the main loop then runs on.
  auto gone = std::make_unique<FillWindow>("Editor fill let go of");
  ASSERT_TRUE(gone->open(largeSwift()).textView().isFilling());
  gone.reset();
  bool ran = false;
  DispatchQueue::main().async([&ran] { ran = true; });
  EXPECT_TRUE(runMainLoopUntil([&] { return ran; }, 30));
  for (int turn = 0; turn < 20; ++turn) g_main_context_iteration(nullptr, FALSE);
}

namespace {

/// A comment of about `length` characters in words: wider than the view, it wraps.
std::string wordsLine(std::size_t length) {
  std::string line = "//";
  while (line.size() < length) line += " word";
  return line + "\n";
}

/// Where line `line` of `text` starts (lines counted from 0).
std::size_t lineStart(const std::string& text, int line) {
  std::size_t at = 0;
  for (int i = 0; i < line; ++i) at = text.find('\n', at) + 1;
  return at;
}

/// A line that does not wrap, and the lines either side of it that do, checked while the buffer is
/// filled: the first of the line's characters the buffer holds and the rest lie on one display line.
struct WrapCheck {
  CodeTextView& view;
  std::vector<int> longLines;     // line numbers
  std::vector<int> wrappedLines;  // line numbers

  /// The tag lies on the long lines the buffer holds and nowhere else; once the view has its
  /// width, each long line it holds is laid out on one display line and each wrapped line on more.
  ::testing::AssertionResult operator()(bool laidOut) const {
    if (auto tags = onlyLongLinesUnwrapped(view); !tags) return tags;
    if (!laidOut) return ::testing::AssertionSuccess();
    const int held = view.get_buffer()->get_char_count();
    for (const int line : longLines) {
      const auto [from, to] = lineSpan(view, line);
      if (from >= held || to <= from) continue;
      if (const int shown = displayLines(view, from, to); shown != 1) {
        return ::testing::AssertionFailure() << "line " << line << " (" << to - from << " characters held) is laid out on "
                                             << shown << " display lines";
      }
    }
    for (const int line : wrappedLines) {
      const auto [from, to] = lineSpan(view, line);
      if (to >= held) continue;
      if (displayLines(view, from, to) < 2) return ::testing::AssertionFailure() << "line " << line << " does not wrap";
    }
    return ::testing::AssertionSuccess();
  }
};

}  // namespace

// Long lines in two pieces of a large text, each between two lines that wrap: after every step of
// the fill (the first one as the text is set), the long lines the buffer holds are laid out on one
// display line each, the lines beside them still wrap, and only the long lines carry the tag.
TEST(EditorFillTests, ALongLineFilledInDoesNotWrapFromTheStepItGoesIn) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  FillWindow w("Editor fill of long lines");
  ASSERT_TRUE(runMainLoopUntil([&] { return w.window.get_mapped(); }, 10));
  const std::string longRun(30000, 'x');
  std::string text = "let a = 1\n" + wordsLine(600) + "let first = \"" + longRun + "\"\n" + wordsLine(600);
  appendShortLines(text, CodeTextView::fillPiece * 3 / 2);
  const int secondLine = int(std::count(text.begin(), text.end(), '\n')) + 1;
  text += wordsLine(600) + "let second = \"" + longRun + "\"\n" + wordsLine(600);
  appendShortLines(text, CodeTextView::fillPiece * 3);

  CodeTextView& view = w.open(text).textView();
  const WrapCheck check{view, {2, secondLine}, {1, 3, secondLine - 1, secondLine + 1}};
  ASSERT_TRUE(view.isFilling());
  EXPECT_TRUE(check(false)) << "in the step that set the text";
  // Each step is checked before the next one: a step and the next check are one iteration apart.
  int checked = view.get_buffer()->get_char_count();
  bool laidOut = false, secondLaidOut = false;
  const int secondStart = characters(text, text.find("let second"));
  ASSERT_TRUE(runMainLoopUntil([&] {
    const int held = view.get_buffer()->get_char_count();
    const bool wide = view.get_width() > 0;
    if (held != checked || (wide && !laidOut)) {
      checked = held;
      laidOut = wide;
      EXPECT_TRUE(check(wide)) << "with " << held << " characters in";
      if (wide && view.isFilling() && held > secondStart) secondLaidOut = true;
    }
    return !view.isFilling() || ::testing::Test::HasFailure();
  }, 120));
  EXPECT_TRUE(secondLaidOut) << "the second long line was not laid out while the buffer was filled";
  ASSERT_TRUE(runMainLoopUntil([&] { return !view.isFilling(); }, 120));
  EXPECT_TRUE(check(true)) << "once the text is in";
  EXPECT_EQ(bufferText(view), text);
}

// While the buffer is filled the text is set from outside: a short line the buffer holds grows long
// inside it, a short line whose start it holds grows long across its end (the rest of the line comes
// in with the next step), and the first one is made short again. Each line takes the tag from its
// first character in the step that makes it long, and loses it in the step that makes it short.
TEST(EditorFillTests, AShortLineGrownLongWhileFilledDoesNotWrap) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  FillWindow w("Editor fill with lines grown long");
  ASSERT_TRUE(runMainLoopUntil([&] { return w.window.get_mapped(); }, 10));
  const std::string text = largeSwift(6);
  CodeTextView& view = w.open(text).textView();
  ASSERT_TRUE(runMainLoopUntil([&] { return view.get_width() > 0 || !view.isFilling(); }, 30));
  ASSERT_TRUE(view.isFilling()) << "the buffer held the whole text before the view had its width";
  const WrapCheck check{view, {3, 10}, {}};

  // Inside what the buffer holds.
  std::string changed = text;
  changed.insert(lineStart(changed, 3) + 4, std::string(30000, 'y'));
  w.editor->setText(changed);
  ASSERT_TRUE(view.isFilling());
  EXPECT_TRUE(check(true)) << "a line grown long inside what the buffer holds";

  // Across the end of what it holds, from the middle of line 10.
  const std::size_t heldBytes = bufferText(view).size();
  ASSERT_LT(heldBytes + 100000, changed.size());
  const std::size_t from = lineStart(changed, 10) + 6;
  changed = changed.substr(0, from) + std::string(30000, 'z') + changed.substr(heldBytes + 1000);
  w.editor->setText(changed);
  ASSERT_TRUE(view.isFilling());
  EXPECT_LE(bufferText(view).size(), from) << "the buffer kept text past the edit's start";
  EXPECT_TRUE(check(true)) << "a line grown long across the end of what the buffer holds";

  // Line 3 short again.
  changed.erase(lineStart(changed, 3) + 4, 30000);
  w.editor->setText(changed);
  ASSERT_TRUE(view.isFilling());
  EXPECT_TRUE(check(true)) << "a long line made short again";

  int checked = view.get_buffer()->get_char_count();
  ASSERT_TRUE(runMainLoopUntil([&] {
    if (const int held = view.get_buffer()->get_char_count(); held != checked) {
      checked = held;
      EXPECT_TRUE(check(true)) << "with " << held << " characters in";
    }
    return !view.isFilling() || ::testing::Test::HasFailure();
  }, 120));
  ASSERT_TRUE(runMainLoopUntil([&] { return !view.isFilling(); }, 120));
  EXPECT_TRUE(check(true)) << "once the text is in";
  EXPECT_EQ(bufferText(view), changed);
  EXPECT_GT(lineSpan(view, 10).second - lineSpan(view, 10).first, 30000);
}

// Scrolled sideways with the wheel through the X server while the buffer is filled, past the width
// of the view: the screen shows the long line at the top of the text, which goes on there, and the
// lines around it, which wrap at the view's width, not at all.
TEST(EditorFillTests, ALongLineFilledInScrollsSidewaysWhileTheFillGoesOn) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  const std::string title = "Editor fill scrolled sideways";
  FillWindow w(title);
  XDriver::Session x;
  ASSERT_TRUE(x.ok());
  const std::optional<XDriver::WindowID> id = w.focus(x);
  ASSERT_TRUE(id) << "the window did not take the focus";

  std::string text = "let a = 1\n" + wordsLine(600) + "let first = \"" + std::string(30000, 'x') + "\"\n" + wordsLine(600);
  appendShortLines(text, CodeTextView::fillPiece * 12);
  CodeTextView& view = w.open(text).textView();
  ASSERT_TRUE(runMainLoopUntil([&] { return view.get_width() > 0 || !view.isFilling(); }, 30));
  const XDriver::Rect frame = x.geometry(*id);
  x.moveTo(frame.x + frame.width / 2, frame.y + frame.height / 2);
  auto horizontal = view.get_hadjustment();
  x.scroll(XDriver::Session::Wheel::right, 30);
  ASSERT_TRUE(runMainLoopUntil([&] { return horizontal->get_value() > horizontal->get_page_size() || !view.isFilling(); }, 60));
  ASSERT_TRUE(view.isFilling()) << "the view was not scrolled past its width while the buffer was filled";
  // Drawn as scrolled: a frame after the one that took the scroll.
  auto clock = view.get_frame_clock();
  const gint64 frames = clock->get_frame_counter();
  ASSERT_TRUE(runMainLoopUntil([&] { return clock->get_frame_counter() > frames + 1 || !view.isFilling(); }, 30));
  ASSERT_TRUE(view.isFilling()) << "the buffer held the whole text before the view was drawn scrolled";

  const XDriver::Image image = x.grab(frame);
  const std::filesystem::path png = std::filesystem::path(QUARVEL_TEST_OUTPUT_DIR) / "editor-fill-scrolled-sideways.png";
  image.savePNG(png.string());
  // The long line's display line in the picture, and the text view's place there.
  Gdk::Rectangle line;
  view.get_iter_location(view.get_buffer()->get_iter_at_line(2), line);
  int lineX = 0, lineY = 0;
  view.buffer_to_window_coords(Gtk::TextWindowType::WIDGET, line.get_x(), line.get_y(), lineX, lineY);
  graphene_rect_t bounds;
  ASSERT_TRUE(gtk_widget_compute_bounds(GTK_WIDGET(view.gobj()), GTK_WIDGET(w.window.gobj()), &bounds));
  double surfaceX = 0, surfaceY = 0;
  gtk_native_get_surface_transform(GTK_NATIVE(w.window.gobj()), &surfaceX, &surfaceY);
  const int left = int(surfaceX + bounds.origin.x), top = int(surfaceY + bounds.origin.y);
  const int scrollers = 20;  // the scrollers show over the text at the right and the bottom
  const int width = int(bounds.size.width) - scrollers, height = int(bounds.size.height) - scrollers;
  auto ink = [](std::uint32_t rgb) { return ((rgb >> 16) & 0xFF) < 160 || ((rgb >> 8) & 0xFF) < 160 || (rgb & 0xFF) < 160; };
  const XDriver::Rect onLine{left, top + lineY, width, line.get_height()};
  const XDriver::Rect above{left, top, width, std::max(0, lineY)};
  const XDriver::Rect below{left, top + lineY + line.get_height(), width, height - lineY - line.get_height()};
  EXPECT_GT(image.countWhere(ink, onLine), std::size_t(width)) << "the long line is not on the screen, in " << png;
  EXPECT_EQ(image.countWhere(ink, above) + image.countWhere(ink, below), 0u)
      << "text beside the long line past the view's width, in " << png;
}

// While the buffer is filled, long lines it holds are changed: from outside, one is deleted, one
// split into two long lines, one into a long and a short one, two joined, one made short and long
// again as an undo manager would; in the buffer, one is
// split and a short one made long; through the X server, keys and an undo are refused. After each
// change and each step of the fill only the long lines carry the tag, from their first character;
// once in, the buffer holds the storage's text with its colours.
TEST(EditorFillTests, LongLinesChangedWhileFilledKeepTheTagOnTheLongLinesOnly) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  const std::string title = "Editor fill with long lines changed";
  FillWindow w(title);
  XDriver::Session x;
  ASSERT_TRUE(x.ok());
  const std::optional<XDriver::WindowID> id = w.focus(x);
  ASSERT_TRUE(id) << "the window did not take the focus";
  auto longLine = [](char fill) {
    return "let v = \"\xF0\x9F\x90\xB0" + std::string(15000, fill) + "\xF0\x9F\x90\xB0" + std::string(15000, fill) + "\"\n";
  };
  std::string text = "let a = 1\n" + longLine('a') + "let b = 2\n" + longLine('b') + "let c = 3\n" + longLine('c') +
                     longLine('d') + "let e = 5\n" + longLine('e') + "let f = 6\n";
  // The first piece goes in as the text is set and each change below waits for one step more: ten
  // pieces in all, and the view must still be filling after them.
  appendShortLines(text, CodeTextView::fillPiece * 12);
  CodeTextView& view = w.open(text).textView();
  ASSERT_TRUE(view.isFilling());
  view.grab_focus();
  ASSERT_TRUE(runMainLoopUntil([&] { return view.has_focus(); }, 5));
  const WrapCheck check{view, {}, {}};
  EXPECT_TRUE(check(false)) << "as the text is set";
  // Runs the main loop until the fill has taken one more step (checked), or ended.
  auto step = [&](const char* after) {
    const int held = view.get_buffer()->get_char_count();
    ASSERT_TRUE(runMainLoopUntil([&] { return view.get_buffer()->get_char_count() != held || !view.isFilling(); }, 60));
    EXPECT_TRUE(check(false)) << "the step after " << after;
  };
  std::string changed = text;
  auto set = [&](const char* what) {
    w.editor->setText(changed);
    ASSERT_TRUE(view.isFilling()) << what;
    EXPECT_TRUE(check(false)) << what;
    step(what);
  };

  changed.erase(lineStart(changed, 1), lineStart(changed, 2) - lineStart(changed, 1));
  set("a long line deleted");
  changed.insert(lineStart(changed, 2) + 20000, "\n");
  set("a long line split into two long ones");
  changed.insert(lineStart(changed, 6) - 200, "\n");
  set("a long line split into a long and a short one");
  changed.erase(lineStart(changed, 3) - 1, 1);
  set("two long lines joined");
  changed.erase(lineStart(changed, 1) - 1, 1);
  set("a short line joined to a long one");

  // Undone and redone from a window's undo manager: a long line made short, then long again.
  const std::u16string& units = view.codeView().codeTextStorage()->string();
  const std::size_t lineUnits = units.find(u'\n') + 1 + 100;
  const std::u16string cut = units.substr(lineUnits, 25000);
  view.applyEdit({lineUnits, cut.size()}, u"");
  EXPECT_TRUE(check(false)) << "a long line made short by an undo";
  step("an undo");
  view.applyEdit({lineUnits, 0}, cut);
  EXPECT_TRUE(check(false)) << "a line made long again by a redo";
  step("a redo");

  // In the buffer, as a program would (the storage follows).
  auto buffer = view.get_buffer();
  buffer->insert(buffer->get_iter_at_line_offset(1, 100), "\n");
  EXPECT_TRUE(check(false)) << "a long line split in the buffer";
  buffer->insert(buffer->get_iter_at_line_offset(0, 3), std::string(20000, 'g'));
  EXPECT_TRUE(check(false)) << "a short line made long in the buffer";
  step("the edits in the buffer");

  // Keys and an undo through the X server: not editable, the buffer takes none of them.
  const std::string expected = Fennix::utf8FromUTF16(view.codeView().codeTextStorage()->string());
  x.type("q");
  x.key("ctrl+z");
  step("keys");
  ASSERT_TRUE(view.isFilling()) << "the buffer held the whole text before the keys came";

  ASSERT_TRUE(runMainLoopUntil([&] {
    step("the fill went on");
    return !view.isFilling() || ::testing::Test::HasFailure();
  }, 120));
  ASSERT_TRUE(runMainLoopUntil([&] { return !view.isFilling(); }, 120));
  EXPECT_TRUE(check(true)) << "once the text is in";
  const std::string storageText = Fennix::utf8FromUTF16(view.codeView().codeTextStorage()->string());
  EXPECT_EQ(storageText, expected) << "a key or undo changed the text while the buffer was filled";
  EXPECT_EQ(bufferText(view), storageText);
  EXPECT_EQ(w.swift, storageText);
  ASSERT_TRUE(waitUntilSettled(view));
  EXPECT_TRUE(bufferMirrorsStorage(view, BufferCheck::outsideWindows(view))) << "once the text is in";
  EXPECT_TRUE(check(true)) << "once coloured";
}

// A fill of long lines cut short by a short text that keeps the first of them and makes a short
// line long: once in, exactly those two carry the tag. An editor let go of after a step that gave
// the tag leaves no step behind either.
TEST(EditorFillTests, AShortTextEndsAFillOfLongLinesWithTheTagOnItsOwnLongLines) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  FillWindow w("Editor fill of long lines cut short");
  const std::string longRun = "\xF0\x9F\x90\xB0" + std::string(20000, 'x');
  std::string text;
  for (int i = 0; i < 40; ++i) text += "let v" + std::to_string(i) + " = \"" + longRun + "\"\n";
  appendShortLines(text, CodeTextView::fillPiece * 4);
  CodeTextView& view = w.open(text).textView();
  const WrapCheck check{view, {}, {}};
  const int held = view.get_buffer()->get_char_count();
  ASSERT_TRUE(runMainLoopUntil([&] { return view.get_buffer()->get_char_count() != held; }, 60));
  ASSERT_TRUE(view.isFilling());
  EXPECT_TRUE(check(false)) << "after a step";
  const std::string shortText = "let v0 = \"" + longRun + "\"\nlet short = 1 // " + longRun + "\nlet end = 2\n";
  w.editor->setText(shortText);
  EXPECT_TRUE(check(false)) << "as the short text is set";
  ASSERT_TRUE(runMainLoopUntil([&] { return !view.isFilling(); }, 30));
  EXPECT_EQ(bufferText(view), shortText);
  EXPECT_TRUE(check(true)) << "once the short text is in";
  ASSERT_TRUE(waitUntilSettled(view));
  EXPECT_TRUE(bufferMirrorsStorage(view, BufferCheck::outsideWindows(view)));

  // Let go of after a step, the window closed too; the main loop then runs on.
  auto gone = std::make_unique<FillWindow>("Editor fill of long lines let go of");
  CodeTextView& goneView = gone->open(text).textView();
  const int goneHeld = goneView.get_buffer()->get_char_count();
  ASSERT_TRUE(runMainLoopUntil([&] { return goneView.get_buffer()->get_char_count() != goneHeld; }, 60));
  ASSERT_TRUE(goneView.isFilling());
  gone.reset();
  bool ran = false;
  DispatchQueue::main().async([&ran] { ran = true; });
  EXPECT_TRUE(runMainLoopUntil([&] { return ran; }, 30));
  for (int turn = 0; turn < 20; ++turn) g_main_context_iteration(nullptr, FALSE);
}
