// A real document window under a virtual display: the preview draws the drawing, the layouts and
// the banner, dropping the Swift edits and undoing it, undo of typing, the settings form, drops,
// font actions, the split orientation shared by two windows, and the texts of a large document
// going into their editors a step each. Screenshots go to the test output folder.
#include <gtest/gtest.h>
#include <gtkmm/headerbar.h>
#include <gtkmm/init.h>
#include <gtkmm/widgetpaintable.h>
#include <gtkmm/window.h>
#include <unistd.h>
#include <webkit/webkit.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "FennixTests/DispatchTestSupport.h"
#include "Platform/Dispatch.h"
#include "QuarvelUtilities/SVGWebViewContent.h"
#include "SVGQuarvel/Views/GTK/ContentView.h"
#include "SVGQuarvel/Views/GTK/ContentViewImpl.h"
#include "SVGQuarvelTests/QuarvelTestSupport.h"
#include "Tools/DisplayTestMain/WidgetPicture.h"
#include "XDriver/XDriver.h"

// The X window of a surface, from the toolkit's X11 backend (whose header brings Xlib's macros).
extern "C" {
GType gdk_x11_surface_get_type(void);
unsigned long gdk_x11_surface_get_xid(GdkSurface* surface);
}

namespace {

using FennixTestSupport::runMainLoopFor;
using FennixTestSupport::runMainLoopUntil;
using SVGQuarvelViews::ContentViewImpl;

using DisplayTestSupport::renderWidget;

/// Saves the picture of `widget` once it has one: a widget still to be laid out again (after a
/// change of layout, say) has none until the main loop has laid it out, which on a busy machine
/// takes a while.
bool saveScreenshot(Gtk::Widget& widget, const std::string& name) {
  GdkTexture* texture = nullptr;
  runMainLoopUntil([&] { return (texture = renderWidget(widget)) != nullptr; }, 30);
  const auto png = std::filesystem::path(QUARVEL_TEST_OUTPUT_DIR) / name;
  const bool saved = texture != nullptr && gdk_texture_save_to_png(texture, png.c_str());
  if (texture != nullptr) g_object_unref(texture);
  return saved;
}

// Pixels near gold (255, 215, 0), and the bounding box they fill.
struct GoldArea {
  int count = 0, minX = 1 << 30, minY = 1 << 30, maxX = -1, maxY = -1;
  int width = 0, height = 0;
};
GoldArea goldPixels(GdkTexture* texture) {
  GoldArea area;
  area.width = gdk_texture_get_width(texture);
  area.height = gdk_texture_get_height(texture);
  std::vector<guchar> data(std::size_t(area.width) * area.height * 4);
  gdk_texture_download(texture, data.data(), std::size_t(area.width) * 4);  // B, G, R, A
  for (int y = 0; y < area.height; ++y) {
    for (int x = 0; x < area.width; ++x) {
      const guchar* p = &data[(std::size_t(y) * area.width + x) * 4];
      if (std::abs(p[2] - 255) <= 16 && std::abs(p[1] - 215) <= 16 && p[0] <= 40) {
        ++area.count;
        area.minX = std::min(area.minX, x), area.maxX = std::max(area.maxX, x);
        area.minY = std::min(area.minY, y), area.maxY = std::max(area.maxY, y);
      }
    }
  }
  return area;
}

// The web view's own picture of the page it shows.
GdkTexture* previewSnapshot(WebKitWebView* view) {
  struct Result {
    GdkTexture* texture = nullptr;
    bool done = false;
  } result;
  webkit_web_view_get_snapshot(
      view, WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE, nullptr,
      [](GObject* source, GAsyncResult* res, gpointer data) {
        auto* r = static_cast<Result*>(data);
        r->texture = webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(source), res, nullptr);
        r->done = true;
      },
      &result);
  runMainLoopUntil([&] { return result.done; }, 20);
  return result.texture;
}

/// Sends real keys to `window` through the X server from another thread, while this one runs the
/// main loop: `keys` sends them on a session focused on the window. Whether they all went out.
bool typeFromAnotherThread(Gtk::Window& window, const std::function<bool(XDriver::Session&)>& keys) {
  auto* surface = gtk_native_get_surface(GTK_NATIVE(window.gobj()));
  if (surface == nullptr || !G_TYPE_CHECK_INSTANCE_TYPE(surface, gdk_x11_surface_get_type())) {
    ADD_FAILURE() << "the window is not a window of the X server";
    return false;
  }
  const unsigned long xid = gdk_x11_surface_get_xid(surface);
  std::atomic<bool> finished = false, typed = false;
  std::thread typing([&] {
    XDriver::Session session;
    if (session.ok()) {
      session.focus(xid);
      typed = keys(session);
    }
    finished = true;
  });
  runMainLoopUntil([&] { return finished.load(); }, 20);
  typing.join();
  return typed;
}

class DocumentWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    (void)QuarvelTestSupport::temporaryUserDirectories();
    ::setenv("QUARVEL_RESOURCES", QUARVEL_TEST_RESOURCE_DIR, 1);
    ASSERT_TRUE(gtk_init_check());
    Gtk::init_gtkmm_internals();
  }

  struct Window {
    Gtk::Window window;
    Gtk::HeaderBar headerBar;
    ContentView* content = nullptr;
    int loads = 0;

    Window(std::shared_ptr<SVGQuarvelDocument> document, std::shared_ptr<NSUserDefaults> layout) {
      content = Gtk::make_managed<ContentView>(std::move(document), std::move(layout), 13);
      window.set_titlebar(headerBar);
      window.set_child(*content);
      window.set_default_size(1100, 760);
      content->attachToWindow(window, headerBar);
      impl().preview().setOnLoadFinished([this] { ++loads; });
      window.present();
    }
    ~Window() { window.destroy(); }
    ContentViewImpl& impl() { return content->impl(); }
    SVGQuarvelDocument& document() { return *content->document(); }
    bool waitForLoad(int count = 1) { return runMainLoopUntil([&] { return loads >= count; }, 20); }
  };

  std::shared_ptr<NSUserDefaults> layout() {
    static int count = 0;
    return NSUserDefaults::fromSuiteName("window-gtk-" + std::to_string(::getpid()) + "-" + std::to_string(++count));
  }
};

TEST_F(DocumentWindow, PreviewShowsTheDrawingScaledInBothLayoutsWithAndWithoutBanner) {
  Window w(SVGQuarvelDocument::newDocument(), layout());
  ASSERT_TRUE(w.waitForLoad());
  runMainLoopFor(0.5);

  GdkTexture* page = previewSnapshot(w.impl().preview().webView());
  ASSERT_NE(page, nullptr);
  const auto gold = goldPixels(page);
  gdk_texture_save_to_png(page, (std::filesystem::path(QUARVEL_TEST_OUTPUT_DIR) / "window-preview.png").c_str());
  g_object_unref(page);
  // The square covers 80 of 100 units: scaled to the pane, it fills most of the shorter side.
  const int side = std::min(gold.width, gold.height);
  ASSERT_GT(gold.count, 0) << "no gold in the preview";
  EXPECT_GT(gold.maxX - gold.minX, side * 6 / 10);
  EXPECT_GT(gold.maxY - gold.minY, side * 6 / 10);

  EXPECT_EQ(w.impl().editorSplit().get_orientation(), Gtk::Orientation::VERTICAL);
  EXPECT_EQ(w.impl().layoutIcon().name(), "rectangle.split.2x1");
  EXPECT_FALSE(w.impl().banner().get_visible());
  EXPECT_TRUE(saveScreenshot(w.window, "window-stacked.png"));

  ASSERT_TRUE(w.impl().activate("toggle-layout"));
  EXPECT_EQ(w.impl().editorSplit().get_orientation(), Gtk::Orientation::HORIZONTAL);
  EXPECT_EQ(w.impl().layoutIcon().name(), "rectangle.split.1x2");
  // Once laid out again side by side.
  EXPECT_TRUE(runMainLoopUntil([&] { return w.impl().svgEditor().get_width() >= 320; }, 20))
      << w.impl().svgEditor().get_width();
  runMainLoopFor(0.3);
  EXPECT_TRUE(saveScreenshot(w.window, "window-side-by-side.png"));

  // A hand edit of the Swift shows the banner.
  w.impl().swiftEditor().grab_focus();
  w.impl().swiftEditor().textView().codeView().insertText(u"// mine ");
  EXPECT_TRUE(w.document().isSwiftModified());
  EXPECT_TRUE(runMainLoopUntil([&] { return w.impl().banner().get_visible(); }, 20));
  runMainLoopFor(0.3);
  EXPECT_TRUE(saveScreenshot(w.window, "window-side-by-side-banner.png"));
  ASSERT_TRUE(w.impl().activate("toggle-layout"));
  runMainLoopFor(0.3);
  EXPECT_TRUE(saveScreenshot(w.window, "window-stacked-banner.png"));
}

TEST_F(DocumentWindow, PreviewTakesTheShapeOfTheDrawingAtTheSidebarsWidth) {
  auto document = SVGQuarvelDocument::newDocument();
  document->svgString = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 300 100\">"
                        "<rect width=\"300\" height=\"100\" fill=\"gold\"/></svg>";
  Window w(document, layout());
  ASSERT_TRUE(w.waitForLoad());
  auto& frame = w.impl().previewFrame();
  const int margin = int(QuarvelUtilities::SVGWebViewContent::pageMargin);
  const auto inner = [&] { return frame.get_width() - 2 * margin; };
  // Waits until the frame has the shape of the drawing at the sidebar's width.
  const auto takesShape = [&](double heightPerWidth) {
    return runMainLoopUntil(
        [&] {
          return inner() > 200 && std::abs(frame.get_height() - (inner() * heightPerWidth + 2 * margin)) <= 1 &&
                 w.impl().preview().get_height() == frame.get_height();
        },
        20);
  };
  EXPECT_TRUE(takesShape(1.0 / 3));
  runMainLoopFor(0.5);
  ASSERT_GT(inner(), 200);
  EXPECT_NEAR(frame.get_height(), inner() / 3 + 2 * margin, 1);
  EXPECT_EQ(w.impl().preview().get_height(), frame.get_height());

  // The drawing fills the page's width, and the page is no taller than the drawing.
  GdkTexture* page = previewSnapshot(w.impl().preview().webView());
  ASSERT_NE(page, nullptr);
  const auto gold = goldPixels(page);
  gdk_texture_save_to_png(page, (std::filesystem::path(QUARVEL_TEST_OUTPUT_DIR) / "window-preview-wide.png").c_str());
  g_object_unref(page);
  EXPECT_NEAR(gold.maxX - gold.minX + 1, inner(), 3);
  EXPECT_NEAR(gold.maxY - gold.minY + 1, inner() / 3, 3);
  EXPECT_TRUE(saveScreenshot(w.window, "window-preview-wide-window.png"));

  // Each new drawing reshapes it: taller, then too tall (held at three times the width), then
  // no shape of its own (square).
  struct Step {
    const char* svg;
    double heightPerWidth;
  };
  for (const Step& step : {Step{"<svg viewBox=\"0 0 100 200\"></svg>", 2.0},
                           Step{"<svg viewBox=\"0 0 1 1e9\"></svg>", 3.0},
                           Step{"<svg width=\"50%\" height=\"10\"></svg>", 1.0}}) {
    w.document().svgString = step.svg;
    EXPECT_TRUE(takesShape(step.heightPerWidth)) << step.svg;
    EXPECT_NEAR(frame.get_height(), inner() * step.heightPerWidth + 2 * margin, 1) << step.svg;
    EXPECT_EQ(w.impl().preview().get_height(), frame.get_height()) << step.svg;
  }
}

TEST_F(DocumentWindow, DropChangesIsUndoableWithoutRedoAndFollowsTheEnabledStates) {
  Window w(SVGQuarvelDocument::newDocument(), layout());
  auto& doc = w.document();
  auto& impl = w.impl();
  const std::string generated = doc.generatedSwift.get();
  EXPECT_FALSE(impl.activate("drop-changes")) << "disabled while the Swift is the generated code";
  EXPECT_FALSE(impl.dropChangesButton().is_sensitive());
  EXPECT_TRUE(impl.copyButton().is_sensitive());

  impl.swiftEditor().textView().codeView().setSelectedRange(NSRange{0, 0});
  impl.swiftEditor().textView().codeView().insertText(u"X");
  EXPECT_EQ(doc.swift.get(), "X" + generated);
  EXPECT_TRUE(impl.dropChangesButton().is_sensitive());

  // New SVG is held back, and dropping the edits takes it.
  doc.svgString = "<svg viewBox=\"0 0 8 8\"><circle r=\"3\" fill=\"gold\"/></svg>";
  EXPECT_EQ(doc.swift.get(), "X" + generated);
  ASSERT_TRUE(impl.activate("drop-changes"));
  EXPECT_EQ(doc.swift.get(), doc.generatedSwift.get());
  EXPECT_FALSE(impl.banner().get_visible());
  EXPECT_EQ(impl.swiftEditor().textView().codeView().string(),
            std::u16string(doc.swift.get().begin(), doc.swift.get().end()));

  ASSERT_TRUE(impl.activate("undo"));
  EXPECT_EQ(doc.swift.get(), "X" + generated);
  EXPECT_TRUE(impl.banner().get_visible());
  EXPECT_FALSE(impl.activate("redo")) << "undoing drop changes offers no redo";

  // The typed character is undone next, and that one can be redone.
  ASSERT_TRUE(impl.activate("undo"));
  EXPECT_EQ(doc.swift.get(), generated);
  ASSERT_TRUE(impl.activate("redo"));
  EXPECT_EQ(doc.swift.get(), "X" + generated);

  doc.swift = "";
  EXPECT_FALSE(impl.activate("copy-swift"));
  EXPECT_FALSE(impl.copyButton().is_sensitive());
}

TEST_F(DocumentWindow, TypingInTheSVGEditorRegeneratesAndUndoes) {
  Window w(SVGQuarvelDocument::newDocument(), layout());
  auto& doc = w.document();
  auto& code = w.impl().svgEditor().textView().codeView();
  const std::string svg = doc.svgString.get();
  const auto at = svg.find("gold");
  code.setSelectedRange(NSRange{at, 4});
  code.insertText(u"teal");
  EXPECT_NE(doc.svgString.get().find("teal"), std::string::npos);
  EXPECT_NE(doc.swift.get().find("teal"), std::string::npos) << "the Swift follows every keystroke";
  ASSERT_TRUE(w.impl().activate("undo"));
  EXPECT_EQ(doc.svgString.get(), svg);
  ASSERT_TRUE(w.impl().activate("redo"));
  EXPECT_NE(doc.svgString.get().find("teal"), std::string::npos);
  // A replacement from outside is not recorded: after it, the old edit no longer fits and undo
  // leaves the text alone.
  doc.svgString = std::string(newDocumentSVG) + "<!-- -->";
  w.impl().activate("undo");
  EXPECT_EQ(doc.svgString.get(), std::string(newDocumentSVG) + "<!-- -->");
}

TEST_F(DocumentWindow, KeysTypedIntoTheSVGReplaceOnlyTheChangedSwiftParagraphs) {
  // Shapes on lines of their own, so that the Swift has a paragraph or more for each.
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 100 100\">\n";
  for (int i = 0; i < 40; ++i) {
    svg += "<rect x=\"" + std::to_string(i * 2) + "\" y=\"4\" width=\"2\" height=\"" + std::to_string(10 + i) +
           "\" fill=\"teal\"/>\n";
  }
  svg += "</svg>\n";
  Window w(SVGQuarvelDocument::fromSVGString(svg, ""), layout());
  auto& doc = w.document();
  ASSERT_TRUE(runMainLoopUntil([&] { return w.window.get_mapped(); }, 10));
  auto& svgView = w.impl().svgEditor().textView();
  auto& swiftStorage = *w.impl().swiftEditor().textView().codeView().codeTextStorage();
  ASSERT_TRUE(runMainLoopUntil([&] { return swiftStorage.attributes(0).foregroundColor.has_value(); }, 10))
      << "the Swift is coloured";
  runMainLoopFor(0.5);
  const TextAttributes endAttributes = swiftStorage.attributes(swiftStorage.length() - 2);
  std::vector<NSTextStorageEdit> edits;
  const auto token = swiftStorage.addObserver([&](NSTextStorage&, const NSTextStorageEdit& edit) { edits.push_back(edit); });

  // The caret after the height of the sixth rectangle ("15"), then two real keys that keep it
  // within the drawing's bounds: "15" becomes "12".
  const auto at = svg.find("height=\"15\"") + 10;
  auto buffer = svgView.get_buffer();
  buffer->place_cursor(buffer->get_iter_at_offset(int(at)));
  svgView.grab_focus();
  ASSERT_TRUE(typeFromAnotherThread(w.window, [](XDriver::Session& session) {
    const bool erased = session.key("BackSpace");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return erased && session.type("2", 0);
  }));
  ASSERT_TRUE(runMainLoopUntil([&] { return doc.svgString.get().find("height=\"12\"") != std::string::npos; }, 10));
  // The highlighter answers on its own time (long after the keys on a busy machine): wait for its
  // colours of the whole text as it stands after the second key.
  const auto recoloured = [&] {
    const auto lastText = std::find_if(edits.rbegin(), edits.rend(), [](const NSTextStorageEdit& edit) {
      return (edit.editedMask & NSTextStorageEditedCharacters) != 0;
    });
    const auto charactersEdited = std::count_if(edits.begin(), edits.end(), [](const NSTextStorageEdit& edit) {
      return (edit.editedMask & NSTextStorageEditedCharacters) != 0;
    });
    return charactersEdited >= 2 && std::any_of(edits.rbegin(), lastText, [&](const NSTextStorageEdit& edit) {
             return edit.editedRange == NSRange{0, swiftStorage.length()};
           });
  };
  EXPECT_TRUE(runMainLoopUntil(recoloured, 60)) << "the highlighter answered for the text after the keys";
  swiftStorage.removeObserver(token);

  const std::u16string swift = swiftStorage.string();
  EXPECT_EQ(Fennix::utf8FromUTF16(swift), doc.swift.get());
  std::vector<NSTextStorageEdit> characterEdits, attributeEdits;
  for (const auto& edit : edits) {
    (edit.editedMask & NSTextStorageEditedCharacters ? characterEdits : attributeEdits).push_back(edit);
  }
  // One replacement per key: from the changed line of the SVG comment in front of the code to the
  // last changed line of the code (the rectangle's frame); before and after it the text was
  // kept. The highlighter was asked for the whole new text, since the colours of a line depend on
  // the lines around it; what it answered for the kept text is what that text showed.
  ASSERT_EQ(characterEdits.size(), 2u);
  const NSRange last = characterEdits[1].editedRange;
  const std::u16string frame = u".frame(width: 2, height: 12,";
  const std::size_t changedLine = swift.find(u"<rect x=\"10\" y=\"4\" width=\"2\" height=\"12\"");
  EXPECT_GT(last.location, changedLine);
  ASSERT_NE(swift.rfind(frame), std::u16string::npos);
  EXPECT_LE(last.upperBound(), swift.rfind(frame) + frame.size());
  ASSERT_FALSE(attributeEdits.empty());
  EXPECT_EQ(attributeEdits.back().editedRange, (NSRange{0, swift.size()}));
  EXPECT_EQ(swiftStorage.attributes(swift.size() - 2), endAttributes) << "the end keeps its colours";
  // The comment's lines keep the comment's colours.
  EXPECT_EQ(swiftStorage.attributes(changedLine), swiftStorage.attributes(swift.find(u"<rect x=\"0\"")));
  EXPECT_TRUE(saveScreenshot(w.window, "window-typed-svg.png"));
}

TEST_F(DocumentWindow, ARootViewNameTypedIntoTheFormStandsInTheCodeAsTyped) {
  Window w(SVGQuarvelDocument::newDocument(), layout());
  auto& doc = w.document();
  ASSERT_TRUE(runMainLoopUntil([&] { return w.window.get_mapped(); }, 10));
  auto* entry = w.impl().settings().controls()[0].entry;
  ASSERT_NE(entry, nullptr);
  entry->set_text("");
  entry->grab_focus();
  ASSERT_TRUE(typeFromAnotherThread(w.window, [](XDriver::Session& session) { return session.type("myRoot"); }));
  // A name Swift accepts stands as typed, in the root's struct and its preview.
  ASSERT_TRUE(runMainLoopUntil([&] { return doc.config.get().rootViewName == "myRoot"; }, 10))
      << doc.config.get().rootViewName;
  EXPECT_NE(doc.swift.get().find("\nstruct myRoot: View {\n"), std::string::npos) << doc.swift.get();
  EXPECT_NE(doc.swift.get().find("\nstruct myRoot_Previews: PreviewProvider {\n"), std::string::npos);
  EXPECT_TRUE(saveScreenshot(w.window, "window-root-name-typed.png"));
  SVGQuarvelConfiguration::setDefaultConfig(SVGQuarvelConfiguration());
}

TEST_F(DocumentWindow, SettingsFormWritesItsFieldsAndKeepsNumbersInRange) {
  Window w(SVGQuarvelDocument::newDocument(), layout());
  auto& doc = w.document();
  const auto& controls = w.impl().settings().controls();
  ASSERT_EQ(controls.size(), 13u);
  SVGQuarvelConfiguration expected = doc.config.get();
  for (const auto& widgets : controls) {
    if (widgets.toggle != nullptr) {
      widgets.toggle->set_active(!widgets.toggle->get_active());
      widgets.control->setOn(expected, widgets.toggle->get_active());
    } else if (widgets.picker != nullptr) {
      widgets.picker->set_selected(1 - widgets.picker->get_selected());
      widgets.control->selectItem(expected, widgets.picker->get_selected());
    } else if (widgets.entry != nullptr) {
      widgets.entry->set_text("Badge");
      expected.rootViewName = "Badge";
    }
    EXPECT_EQ(doc.config.get(), expected) << widgets.control->label;
  }
  EXPECT_EQ(SVGQuarvelConfiguration::defaultConfig(), expected) << "every change becomes the default";
  EXPECT_NE(doc.swift.get().find("Badge"), std::string::npos);

  auto* fractionDigits = controls[9].number;
  auto* indent = controls[11].number;
  ASSERT_NE(fractionDigits, nullptr);
  ASSERT_NE(indent, nullptr);
  fractionDigits->entry().set_text("20");
  fractionDigits->commitText();
  EXPECT_EQ(doc.config.get().maximumFractionDigits, 13);
  g_signal_emit_by_name(fractionDigits->incrementButton().gobj(), "clicked");
  EXPECT_EQ(doc.config.get().maximumFractionDigits, 13);
  g_signal_emit_by_name(fractionDigits->decrementButton().gobj(), "clicked");
  EXPECT_EQ(doc.config.get().maximumFractionDigits, 12);
  indent->entry().set_text("0");
  indent->commitText();
  g_signal_emit_by_name(indent->decrementButton().gobj(), "clicked");
  EXPECT_EQ(doc.config.get().indent, 0);
  indent->entry().set_text("four");
  indent->commitText();
  EXPECT_EQ(doc.config.get().indent, 0);
  EXPECT_EQ(indent->entry().get_text(), "0");
  // Tabs reach both editors.
  EXPECT_EQ(doc.config.get().indentUsing, SVGQuarvelConfiguration::IndentType::tabs);
  EXPECT_EQ(w.impl().svgEditor().editor().indentStyle, SyntaxEditor::system());
  EXPECT_EQ(w.impl().swiftEditor().editor().indentStyle, SyntaxEditor::system());
  // The document's settings changed elsewhere show in the form.
  doc.config.modify([](SVGQuarvelConfiguration& config) { config.rootViewName = "Other"; });
  EXPECT_EQ(controls[0].entry->get_text(), "Other");
  SVGQuarvelConfiguration::setDefaultConfig(SVGQuarvelConfiguration());
}

TEST_F(DocumentWindow, DroppedSVGFileReplacesTheDocumentAndTheBorderShowsWhileTargeted) {
  Window w(SVGQuarvelDocument::newDocument(), layout());
  ASSERT_TRUE(w.waitForLoad());
  const auto dir = std::filesystem::path(QuarvelTestSupport::temporaryUserDirectories());
  const std::string dropped = "<svg viewBox=\"0 0 10 10\"><rect width=\"10\" height=\"10\" fill=\"gold\"/></svg>";
  std::ofstream(dir / "dropped.svg") << dropped;
  std::ofstream(dir / "second.svg") << "<svg/>";

  auto& drop = w.impl().dropTarget().delegate();
  drop.dropEntered();
  runMainLoopFor(0.3);
  EXPECT_TRUE(w.impl().dropBorder().get_visible());
  EXPECT_TRUE(saveScreenshot(w.window, "window-drop-border.png"));
  drop.dropExited();
  EXPECT_FALSE(w.impl().dropBorder().get_visible());

  // What the file target hands over: the toolkit's list of files.
  GFile* files[] = {g_file_new_for_path((dir / "dropped.svg").c_str()), g_file_new_for_path((dir / "second.svg").c_str())};
  GSList* list = nullptr;
  for (auto* file : files) list = g_slist_append(list, file);
  GValue value = G_VALUE_INIT;
  g_value_init(&value, GDK_TYPE_FILE_LIST);
  g_value_take_boxed(&value, list);
  const auto info = QuarvelUtilities::FileDropTarget::dropInfo(&value);
  ASSERT_EQ(info.fileURLs.size(), 2u);
  EXPECT_TRUE(drop.validateDrop(info));
  EXPECT_TRUE(drop.performDrop(info));
  g_value_unset(&value);
  ASSERT_TRUE(runMainLoopUntil([&] { return w.document().svgString.get() == dropped; }, 5));
  EXPECT_EQ(w.impl().svgEditor().textView().codeView().string(), std::u16string(dropped.begin(), dropped.end()));
  EXPECT_TRUE(w.waitForLoad(2)) << "the preview reloads";
}

TEST_F(DocumentWindow, FontActionsAndSharedOrientation) {
  auto suite = layout();
  Window first(SVGQuarvelDocument::newDocument(), suite);
  Window second(SVGQuarvelDocument::newDocument(), suite);
  ASSERT_TRUE(first.impl().activate("font-bigger"));
  EXPECT_EQ(first.impl().model().fontSize(), 14);
  EXPECT_EQ(second.impl().model().fontSize(), 13) << "the font size is the window's own";
  EXPECT_EQ(first.impl().svgEditor().editor().fontSize->get(), 14);
  first.impl().model().setFontSize(1.5);
  first.impl().activate("font-smaller");
  first.impl().activate("font-smaller");
  EXPECT_EQ(first.impl().model().fontSize(), 1);

  ASSERT_TRUE(first.impl().activate("toggle-layout"));
  // The other window hears of the change through the main queue, behind the drawing and the
  // generation both windows have queued, which on a busy machine takes seconds.
  ASSERT_TRUE(runMainLoopUntil(
      [&] { return second.impl().editorSplit().get_orientation() == Gtk::Orientation::HORIZONTAL; }, 60));
  EXPECT_EQ(second.impl().layoutIcon().name(), "rectangle.split.1x2");

  first.impl().activate("toggle-sidebar");
  EXPECT_FALSE(first.impl().sidebar().get_visible());
  first.impl().activate("toggle-sidebar");
  EXPECT_TRUE(first.impl().sidebar().get_visible());
}

}  // namespace

namespace {

std::string clipboardText(Gtk::Widget& widget) {
  struct Result {
    std::string text;
    bool done = false;
  } result;
  gdk_clipboard_read_text_async(
      widget.get_clipboard()->gobj(), nullptr,
      [](GObject* source, GAsyncResult* res, gpointer data) {
        auto* r = static_cast<Result*>(data);
        char* text = gdk_clipboard_read_text_finish(GDK_CLIPBOARD(source), res, nullptr);
        if (text != nullptr) r->text = text;
        g_free(text);
        r->done = true;
      },
      &result);
  runMainLoopUntil([&] { return result.done; }, 30);
  return result.text;
}

TEST_F(DocumentWindow, CopyTakesTheFocusedSelectionElseTheWholeSwiftAndStatusTextsShow) {
  Window w(SVGQuarvelDocument::newDocument(), layout());
  auto& impl = w.impl();
  runMainLoopFor(0.2);
  ASSERT_TRUE(impl.activate("copy-swift"));
  EXPECT_EQ(clipboardText(w.window), w.document().swift.get());

  impl.svgEditor().textView().grab_focus();
  impl.svgEditor().textView().codeView().setSelectedRange(NSRange{1, 3});
  runMainLoopFor(0.1);
  ASSERT_TRUE(impl.activate("copy"));
  EXPECT_EQ(clipboardText(w.window), "svg");

  w.window.unset_focus();
  ASSERT_TRUE(impl.activate("copy"));
  EXPECT_EQ(clipboardText(w.window), w.document().swift.get());

  w.document().svgString = "<svg><g></svg>";
  EXPECT_TRUE(impl.statusLabel().get_visible());
  EXPECT_EQ(impl.statusLabel().get_text(), "Could not parse SVG?");
  EXPECT_FALSE(impl.loadingLabel().get_visible());
  w.document().svgString = "";
  EXPECT_FALSE(impl.swiftEditor().get_parent()->get_visible()) << "an empty drawing shows an empty Swift pane";
}

}  // namespace

namespace {

TEST_F(DocumentWindow, AWindowThatOutlivesItsContentKeepsNoneOfItsActions) {
  Window w(SVGQuarvelDocument::newDocument(), layout());
  EXPECT_TRUE(w.window.activate_action("doc.toggle-sidebar"));
  bool gone = false;
  w.content->signal_destroy().connect([&] { gone = true; });
  w.window.unset_child();  // the content goes; the window stays
  ASSERT_TRUE(runMainLoopUntil([&] { return gone; }, 30));
  EXPECT_FALSE(w.window.activate_action("doc.toggle-sidebar"));
}

}  // namespace

namespace {

/// A drawing in one line just past the size whose text goes into its editor in a step of its own:
/// a gold square after a long comment, ending in `tag`.
std::string largeDrawing(const std::string& tag) {
  const std::string start = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 10 10\"><!--";
  const std::string end = "--><rect width=\"4\" height=\"4\" fill=\"gold\"/><!--" + tag + "--></svg>";
  return start + std::string(ContentViewImpl::textInAStepOfItsOwn + 1024 - start.size() - end.size(), 'x') + end;
}

/// Swift in short lines just past that size, ending in `tag`.
std::string largeSwift(const std::string& tag) {
  std::string swift;
  for (unsigned i = 0; swift.size() <= ContentViewImpl::textInAStepOfItsOwn; ++i) {
    swift += "let value" + std::to_string(i) + " = " + std::to_string(i) + "\n";
  }
  return swift + "// " + tag + "\n";
}

/// Whether `view` has taken all of its text and holds as many characters as `text` (ASCII).
bool holdsAsMuch(CodeTextView& view, const std::string& text) {
  return !view.isFilling() && view.codeView().string().size() == text.size() &&
         view.get_buffer()->get_char_count() == int(text.size());
}

bool holds(CodeTextView& view, const std::string& text) {
  return holdsAsMuch(view, text) && view.codeView().string() == std::u16string(text.begin(), text.end());
}

/// Whether both editors of `w` hold the document's texts, whole, and take keys. The texts are
/// compared only once everything else holds: a wait checks this between two turns of the main
/// loop, and a turn dispatches only the ready sources of the highest priority. A check that copied
/// megabytes took over a second on a busy machine, by then a source of the default priority was
/// ready again at every turn, and the steps that fill an editor, which come after those, never ran.
bool holdsTheTexts(ContentViewImpl& impl, SVGQuarvelDocument& document) {
  auto& svg = impl.svgEditor().textView();
  auto& swift = impl.swiftEditor().textView();
  return !impl.svgWaits() && !impl.swiftWaits() && svg.get_editable() && swift.get_editable() &&
         holdsAsMuch(svg, document.svgString.get()) && holdsAsMuch(swift, document.swift.get()) &&
         holds(svg, document.svgString.get()) && holds(swift, document.swift.get());
}

bool isEmptyAndReadOnly(CodeTextView& view) {
  return view.codeView().string().empty() && view.get_buffer()->get_char_count() == 0 && !view.get_editable() &&
         !view.codeView().isEditable();
}

}  // namespace

// The drawing and the Swift of a large document go into their editors each in a main-loop step of
// its own once the window is up, the drawing first: a block posted to the main queue meanwhile runs
// between them. The editors are empty and take no key until then; a real key typed afterwards
// reaches the document.
TEST_F(DocumentWindow, ALargeDrawingsTextsGoIntoTheEditorsAStepEachWithPostedBlocksBetween) {
  const std::string svg = largeDrawing("end"), swift = largeSwift("end");
  Window w(SVGQuarvelDocument::fromSVGString(svg, swift), layout());
  auto& impl = w.impl();
  auto& svgView = impl.svgEditor().textView();
  auto& swiftView = impl.swiftEditor().textView();
  EXPECT_TRUE(impl.svgWaits());
  EXPECT_TRUE(impl.swiftWaits());
  EXPECT_TRUE(isEmptyAndReadOnly(svgView));
  EXPECT_TRUE(isEmptyAndReadOnly(swiftView));
  EXPECT_EQ(w.document().svgString.get(), svg) << "the document is whole from the start";
  EXPECT_EQ(w.document().swift.get(), swift);

  // The turn the drawing went in, the Swift had not; a block posted then runs before it does.
  ASSERT_TRUE(runMainLoopUntil([&] { return !svgView.codeView().string().empty(); }, 60));
  EXPECT_TRUE(holds(svgView, svg));
  EXPECT_TRUE(svgView.get_editable());
  EXPECT_TRUE(impl.swiftWaits());
  EXPECT_TRUE(isEmptyAndReadOnly(swiftView));
  auto swiftWasEmpty = std::make_shared<std::optional<bool>>();
  DispatchQueue::main().async([&swiftView, swiftWasEmpty] { *swiftWasEmpty = swiftView.codeView().string().empty(); });
  ASSERT_TRUE(runMainLoopUntil([&] { return swiftWasEmpty->has_value(); }, 60));
  EXPECT_TRUE(**swiftWasEmpty) << "the Swift went in before a block posted after the drawing";

  ASSERT_TRUE(runMainLoopUntil([&] { return holdsTheTexts(impl, w.document()); }, 120));
  runMainLoopFor(0.3);
  EXPECT_TRUE(saveScreenshot(w.window, "window-large-texts.png"));

  // A real key after "<svg" (a blank keeps the drawing valid).
  auto buffer = svgView.get_buffer();
  buffer->place_cursor(buffer->get_iter_at_offset(4));
  svgView.grab_focus();
  ASSERT_TRUE(typeFromAnotherThread(w.window, [](XDriver::Session& session) { return session.key("space"); }));
  EXPECT_TRUE(runMainLoopUntil([&] { return w.document().svgString.get() == "<svg " + svg.substr(4); }, 60));
}

// A change of a text from outside while it waits for its step goes in instead (with a second
// large window opening meanwhile), Copy Swift copies the whole Swift meanwhile, and the steps of a
// window closed before its texts went in do nothing.
TEST_F(DocumentWindow, ALargeTextWaitingForItsStepTakesTheLatestTextAndAClosedWindowsStepsDoNothing) {
  auto closed = std::make_unique<Window>(SVGQuarvelDocument::fromSVGString(largeDrawing("c"), largeSwift("c")), layout());
  auto closedDocument = closed->content->document();
  EXPECT_TRUE(closed->impl().svgWaits());
  closed.reset();

  Window a(SVGQuarvelDocument::fromSVGString(largeDrawing("a"), largeSwift("a")), layout());
  Window b(SVGQuarvelDocument::fromSVGString(largeDrawing("b"), largeSwift("b")), layout());
  // The drawing of b changes before its step; the Swift of a once its drawing is in.
  b.document().svgString = largeDrawing("b2");
  ASSERT_TRUE(runMainLoopUntil([&] { return !a.impl().svgWaits(); }, 60));
  ASSERT_TRUE(a.impl().swiftWaits());
  const std::string latest = largeSwift("a2");
  a.document().swift = latest;
  EXPECT_TRUE(a.impl().swiftEditor().textView().codeView().string().empty());
  // Copy Swift reads the document, whole while its editor waits.
  ASSERT_TRUE(a.impl().activate("copy-swift"));
  EXPECT_TRUE(clipboardText(a.window) == latest);

  ASSERT_TRUE(runMainLoopUntil([&] { return holdsTheTexts(a.impl(), a.document()); }, 120));
  EXPECT_EQ(a.document().swift.get(), latest);
  ASSERT_TRUE(runMainLoopUntil([&] { return holdsTheTexts(b.impl(), b.document()); }, 120));
  EXPECT_EQ(b.document().svgString.get(), largeDrawing("b2"));
  // The closed window's document is as it was.
  EXPECT_EQ(closedDocument->svgString.get(), largeDrawing("c"));
  EXPECT_EQ(closedDocument->swift.get(), largeSwift("c"));
}

// A paste of megabytes into the SVG editor (a real Ctrl+V) is one edit, and the document holds
// the drawing and its Swift whole at once; the Swift editor takes the new Swift after the turn of
// the paste, a piece at a time, so that the toolkit does not lay out both editors' new lines in
// one turn.
TEST_F(DocumentWindow, ALargePastesSwiftGoesIntoItsEditorAfterThePasteAPieceAtATime) {
  Window w(SVGQuarvelDocument::newDocument(), layout());
  auto& impl = w.impl();
  auto& svgView = impl.svgEditor().textView();
  auto& swiftView = impl.swiftEditor().textView();
  ASSERT_TRUE(runMainLoopUntil([&] { return w.window.get_mapped() && holdsTheTexts(impl, w.document()); }, 60));
  const std::string before = w.document().svgString.get();
  std::string pasted = "<!--\n";
  for (unsigned i = 0; pasted.size() < 5'000'000; ++i) pasted += "pasted line " + std::to_string(i) + "\n";
  pasted += "-->\n";
  w.window.get_clipboard()->set_text(pasted);
  const std::size_t at = before.rfind("</svg>");
  const std::string after = before.substr(0, at) + pasted + before.substr(at);
  auto buffer = svgView.get_buffer();
  buffer->place_cursor(buffer->get_iter_at_offset(int(at)));
  ASSERT_TRUE(runMainLoopUntil([&] { return svgView.grab_focus() && svgView.has_focus(); }, 30));

  // A block posted as the drawing's editor takes the paste runs before the Swift editor holds the
  // new Swift; the document has both by then.
  struct Seen {
    std::optional<bool> swiftEditorHeldIt;
    bool documentWhole = false;
  };
  auto seen = std::make_shared<Seen>();
  auto& svgStorage = *svgView.codeView().codeTextStorage();
  const auto token = svgStorage.addObserver([&, seen](NSTextStorage&, const NSTextStorageEdit& edit) {
    if (!(edit.editedMask & NSTextStorageEditedCharacters) || edit.editedRange.length < pasted.size()) return;
    DispatchQueue::main().async([&, seen] {
      seen->documentWhole = w.document().svgString.get() == after &&
                            w.document().swift.get().find("pasted line 200000\n") != std::string::npos;
      seen->swiftEditorHeldIt = holds(swiftView, w.document().swift.get());
    });
  });
  ASSERT_TRUE(typeFromAnotherThread(w.window, [](XDriver::Session& session) { return session.key("ctrl+v"); }));
  ASSERT_TRUE(runMainLoopUntil([&] { return seen->swiftEditorHeldIt.has_value(); }, 120))
      << "no paste: the drawing has " << w.document().svgString.get().size() << " bytes";
  svgStorage.removeObserver(token);
  EXPECT_TRUE(seen->documentWhole);
  EXPECT_FALSE(*seen->swiftEditorHeldIt) << "the Swift editor took the new Swift in the turn of the paste";

  ASSERT_TRUE(runMainLoopUntil([&] { return holdsTheTexts(impl, w.document()); }, 120));
  EXPECT_GT(w.document().swift.get().size(), pasted.size()) << "the Swift holds the drawing in its comment";
  EXPECT_LE(swiftView.largestInsertion(), CodeTextView::fillPiece);
  EXPECT_TRUE(holds(svgView, after));
  EXPECT_TRUE(saveScreenshot(w.window, "window-large-paste.png"));

  // One undo takes the whole paste back, and the Swift follows.
  ASSERT_TRUE(w.impl().activate("undo"));
  EXPECT_EQ(w.document().svgString.get(), before);
  EXPECT_TRUE(runMainLoopUntil([&] { return holdsTheTexts(impl, w.document()); }, 120));
}
