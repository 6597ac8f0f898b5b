// The shortcuts of a document window, pressed through the X server in the real application:
// Shift+Ctrl+C copies the generated Swift whichever editor has the focus, Ctrl+C copies the
// focused editor's selection, Ctrl+K drops the Swift edits.
#include <gtest/gtest.h>

#include <filesystem>

#include "SVGQuarvel/Model/SVGQuarvelDocument.h"
#include "SVGQuarvelTests/QuarvelTestSupport.h"
#include "Tools/XDriver/XDriver.h"

namespace {

const std::filesystem::path output = QUARVEL_TEST_OUTPUT_DIR;

/// The application on its built-in drawing, its first window found and focused.
struct RunningApp {
  XDriver::Session x;
  std::unique_ptr<XDriver::Process> app;
  std::optional<XDriver::WindowID> window;
  XDriver::Rect frame;

  explicit RunningApp(const std::string& logName) {
    if (!x.ok()) return;
    app = std::make_unique<XDriver::Process>(
        std::vector<std::string>{QUARVEL_APP_EXECUTABLE},
        std::vector<std::string>{"GDK_DEBUG=gl-disable", "GSK_RENDERER=cairo", "WEBKIT_DISABLE_COMPOSITING_MODE=1",
                                 "LIBGL_ALWAYS_SOFTWARE=1", std::string("QUARVEL_RESOURCES=") + QUARVEL_TEST_RESOURCE_DIR},
        (output / logName).string());
    window = x.findWindow("Untitled", 120);
    if (!window) return;
    frame = x.geometry(*window);
    x.focus(*window);
  }

  /// Clicks at a point given as fractions of the window's frame.
  void clickAt(double fx, double fy) const {
    x.click(frame.x + int(fx * frame.width), frame.y + int(fy * frame.height));
    XDriver::waitUntil([] { return false; }, 0.3);
  }

  /// Presses `keys` and waits for the clipboard to hold something other than `before`.
  std::optional<std::string> copied(const std::string& keys, const std::optional<std::string>& before) const {
    x.key(keys);
    std::optional<std::string> text;
    XDriver::waitUntil([&] { return (text = x.clipboardText()) && text != before; }, 5);
    return text;
  }
};

TEST(EditorShortcutAppTests, ShiftCtrlCCopiesTheSwiftFromEitherEditor) {
  RunningApp app("editor-shortcuts-app.log");
  ASSERT_TRUE(app.x.ok()) << "needs an X server with XTest: run under xvfb-run";
  ASSERT_TRUE(app.window) << "no application window; see " << (output / "editor-shortcuts-app.log");
  // Wait until the editors show their text, then keep the picture.
  XDriver::waitUntil([] { return false; }, 3);
  const std::filesystem::path png = output / "editor-shortcuts-window.png";
  app.x.grab(app.frame).savePNG(png.string());
  const std::string swift = SVGQuarvelDocument::newDocument()->swift.get();
  const std::string svg(newDocumentSVG);
  ASSERT_FALSE(swift.empty());

  // The SVG editor: select all of it and copy with Ctrl+C, then Shift+Ctrl+C.
  app.clickAt(0.5, 0.3);
  app.x.key("ctrl+a");
  EXPECT_EQ(app.copied("ctrl+c", std::nullopt), svg) << "Ctrl+C copies the SVG editor's selection; " << png;
  EXPECT_EQ(app.copied("shift+ctrl+c", svg), swift) << "Shift+Ctrl+C in the SVG editor; " << png;

  // The Swift editor: select all and copy it (the same text), then a part of it.
  app.clickAt(0.85, 0.5);
  app.x.key("ctrl+a");
  app.x.key("Right");
  app.x.key("shift+Left");
  app.x.key("shift+Left");
  const std::optional<std::string> part = app.copied("ctrl+c", swift);
  ASSERT_TRUE(part);
  EXPECT_EQ(*part, swift.substr(swift.size() - 2)) << "Ctrl+C copies the Swift editor's selection; " << png;
  EXPECT_EQ(app.copied("shift+ctrl+c", part), swift) << "Shift+Ctrl+C in the Swift editor; " << png;
}

TEST(EditorShortcutAppTests, CtrlKDropsTheSwiftEditsTypedByHand) {
  RunningApp app("editor-drop-changes-app.log");
  ASSERT_TRUE(app.x.ok()) << "needs an X server with XTest: run under xvfb-run";
  ASSERT_TRUE(app.window) << "no application window; see " << (output / "editor-drop-changes-app.log");
  const std::string swift = SVGQuarvelDocument::newDocument()->swift.get();
  ASSERT_EQ(app.copied("shift+ctrl+c", std::nullopt), swift);

  // Nothing to drop yet: the Swift stays the generated code.
  app.x.key("ctrl+k");
  EXPECT_EQ(app.copied("shift+ctrl+c", std::nullopt), swift);

  app.clickAt(0.85, 0.75);
  app.x.key("ctrl+End");
  app.x.type("// mine");
  EXPECT_EQ(app.copied("shift+ctrl+c", swift), swift + "// mine");
  EXPECT_TRUE(app.x.findWindow("Untitled \u2014 Edited", 10).has_value());
  app.x.grab(app.frame).savePNG((output / "editor-drop-changes-edited.png").string());

  app.x.key("ctrl+k");
  EXPECT_EQ(app.copied("shift+ctrl+c", swift + "// mine"), swift) << "Ctrl+K did not drop the edits";
  EXPECT_TRUE(app.x.findWindow("Untitled", 10).has_value());
  app.x.grab(app.frame).savePNG((output / "editor-drop-changes-dropped.png").string());
}

}  // namespace
