// The built application as a user meets it. It runs as its own process under the test command's
// virtual X server and private session bus, with its own home folders; the test works it only
// through X input (keys, mouse clicks on its menus and buttons) and its bus services, and reads
// only what a person could: the screen, the clipboard, the files it saves, the bus answers.
// Screenshots of every step go to the test output folder.
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "XDriver/XDriver.h"

namespace {

namespace fs = std::filesystem;
using XDriver::Image;
using XDriver::Rect;
using XDriver::WindowID;

constexpr std::uint32_t gold = 0xFFD700, red = 0xFF0000, teal = 0x008080;
constexpr const char* busName = "org.quarvel.SVGQuarvel";
constexpr const char* objectPath = "/org/quarvel/SVGQuarvel/Services";
constexpr const char* interfaceName = "org.quarvel.SVGQuarvel.Services";

const std::string tealDrawing =
    "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 40 40\"><rect width=\"40\" height=\"40\" "
    "fill=\"teal\"/></svg>\n";

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

/// A folder of its own for the application's settings, documents and caches.
fs::path scratchFolder(const std::string& name) {
  const auto folder = fs::path(QUARVEL_TEST_OUTPUT_DIR) / ("e2e-" + name);
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  fs::create_directories(folder / "runtime");
  fs::permissions(folder / "runtime", fs::perms::owner_all);
  return folder;
}

/// The environment the application runs with: drawn without GL (as the window tests), its user
/// folders in `folder`.
std::vector<std::string> appEnvironment(const fs::path& folder) {
  return {"GDK_DEBUG=gl-disable",
          "GSK_RENDERER=cairo",
          "WEBKIT_DISABLE_COMPOSITING_MODE=1",
          "LIBGL_ALWAYS_SOFTWARE=1",
          "XDG_CONFIG_HOME=" + (folder / "config").string(),
          "XDG_DATA_HOME=" + (folder / "data").string(),
          "XDG_CACHE_HOME=" + (folder / "cache").string(),
          "XDG_RUNTIME_DIR=" + (folder / "runtime").string(),
          "GSETTINGS_BACKEND=memory"};
}

/// Calls a method of the application's services on the session bus; the reply, or the error's
/// message.
struct BusReply {
  GVariant* value = nullptr;
  std::string error;
  ~BusReply() {
    if (value != nullptr) g_variant_unref(value);
  }
};
void callService(const char* method, const std::string& svg, BusReply& reply) {
  GError* error = nullptr;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
  if (bus == nullptr) {
    reply.error = error->message;
    g_error_free(error);
    return;
  }
  reply.value = g_dbus_connection_call_sync(bus, busName, objectPath, interfaceName, method,
                                            g_variant_new("(s)", svg.c_str()), nullptr, G_DBUS_CALL_FLAGS_NONE,
                                            20000, nullptr, &error);
  if (reply.value == nullptr) {
    reply.error = error->message;
    g_error_free(error);
  }
  g_object_unref(bus);
}

class Application : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(QUARVEL_APP_EXECUTABLE));
    ASSERT_TRUE(x.ok()) << "no X server with the XTest extension (DISPLAY)";
    ASSERT_NE(g_getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr) << "no session bus";
  }

  /// Saves the whole screen as `e2e-<name>.png` beside the test output; returns the picture.
  Image shot(const std::string& name) {
    auto image = x.grabScreen();
    image.savePNG((fs::path(QUARVEL_TEST_OUTPUT_DIR) / ("e2e-" + name + ".png")).string());
    return image;
  }

  /// The sidebar's top, where the preview is, of the window with frame `window`.
  static Rect previewArea(const Rect& window) { return Rect{window.x, window.y + 60, 310, 440}; }

  /// Waits until at least `minimum` pixels of `rgb` show in the preview area of `window`.
  bool waitForPreview(WindowID window, std::uint32_t rgb, std::size_t minimum, double seconds = 20) {
    return XDriver::waitUntil(
        [&] { return x.grab(previewArea(x.geometry(window))).count(rgb, 12) >= minimum; }, seconds);
  }
  std::size_t previewPixels(WindowID window, std::uint32_t rgb) {
    return x.grab(previewArea(x.geometry(window))).count(rgb, 12);
  }

  /// Starts the executable with `arguments`, its output going to `e2e-<log>.log`.
  std::unique_ptr<XDriver::Process> launch(const fs::path& folder, const std::vector<std::string>& arguments,
                                           const std::string& log) {
    std::vector<std::string> argv{QUARVEL_APP_EXECUTABLE};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return std::make_unique<XDriver::Process>(argv, appEnvironment(folder),
                                              (fs::path(QUARVEL_TEST_OUTPUT_DIR) / ("e2e-" + log + ".log")).string());
  }

  /// Focuses `window` and clicks at (`dx`, `dy`) inside it.
  void clickIn(WindowID window, int dx, int dy) {
    x.focus(window);
    const auto frame = x.geometry(window);
    x.click(frame.x + dx, frame.y + dy);
  }

  XDriver::Session x;
};

TEST_F(Application, DocumentsFollowTheUsersInputAndTheBus) {
  const auto folder = scratchFolder("documents");
  const auto svgFile = folder / "teal.svg";
  std::ofstream(svgFile) << tealDrawing;
  const auto saved = folder / "mine.svgquarvel";

  // Start: one window on the built-in drawing, which the preview shows.
  auto app = launch(folder, {}, "app");
  const auto untitled = x.findWindow("Untitled", 120);
  ASSERT_TRUE(untitled) << "no window titled Untitled";
  const bool drawn = waitForPreview(*untitled, gold, 20000);
  shot("01-start");
  ASSERT_TRUE(drawn) << "the preview does not show the drawing: " << previewPixels(*untitled, gold) << " gold pixels";
  const auto goldBounds = x.grab(previewArea(x.geometry(*untitled))).boundsOf(gold, 12);
  ASSERT_TRUE(goldBounds);
  EXPECT_GT(goldBounds->width, 150);
  EXPECT_NEAR(goldBounds->width, goldBounds->height, 4) << "the square drawing is shown square";

  // The services answer on the bus: Swift for an SVG, and a new window for another.
  {
    BusReply reply;
    callService("SvgToView", tealDrawing, reply);
    ASSERT_NE(reply.value, nullptr) << reply.error;
    const gchar* swift = nullptr;
    g_variant_get(reply.value, "(&s)", &swift);
    EXPECT_NE(std::string(swift).find("import SwiftUI"), std::string::npos) << swift;
    EXPECT_NE(std::string(swift).find("Rectangle"), std::string::npos) << swift;
  }
  {
    BusReply reply;
    callService("OpenSVG", tealDrawing, reply);
    ASSERT_NE(reply.value, nullptr) << reply.error;
    const auto opened = x.findWindow("Untitled 2", 60);
    ASSERT_TRUE(opened) << "the open service showed no new window";
    EXPECT_TRUE(waitForPreview(*opened, teal, 20000));
    shot("02-bus-open");
  }

  // A second launch with an SVG file hands it to the running application: a third window.
  {
    auto second = launch(folder, {svgFile.string()}, "second-launch");
    const auto status = second->wait(30);
    ASSERT_TRUE(status) << "the second launch did not end";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
    const auto opened = x.findWindow("Untitled 3", 60);
    ASSERT_TRUE(opened) << "the second launch opened no window";
    EXPECT_TRUE(waitForPreview(*opened, teal, 20000));
    shot("03-second-launch");
  }

  // Typing into the SVG editor: gold becomes red, in the preview and in the Swift.
  clickIn(*untitled, 700, 140);
  x.key("ctrl+Home");
  for (int i = 0; i < 4; ++i) x.key("Down");
  x.key("End");
  for (int i = 0; i < 15; ++i) x.key("Left");  // after "gold" in `fill="gold" stroke="blue"`
  for (int i = 0; i < 4; ++i) x.key("BackSpace");
  x.type("red");
  const bool turnedRed = waitForPreview(*untitled, red, 20000, 10);
  shot("04-typed-red");
  ASSERT_TRUE(turnedRed) << "the preview did not follow the typing: " << previewPixels(*untitled, red)
                   << " red pixels, " << previewPixels(*untitled, gold) << " gold";
  EXPECT_EQ(previewPixels(*untitled, gold), 0u);
  EXPECT_TRUE(XDriver::waitUntil([&] { return x.title(*untitled) == "Untitled \u2014 Edited"; }, 5))
      << x.title(*untitled);

  // The toolbar's Copy button copies the Swift, which follows the SVG.
  clickIn(*untitled, x.geometry(*untitled).width - 155, 27);
  std::string swift;
  XDriver::waitUntil(
      [&] {
        swift = x.clipboardText().value_or("");
        return swift.find("fill=\"red\"") != std::string::npos;
      },
      5);
  EXPECT_NE(swift.find("fill=\"red\""), std::string::npos) << swift;
  EXPECT_NE(swift.find(".fill(Color.red)"), std::string::npos) << swift;
  EXPECT_EQ(swift.find("gold"), std::string::npos) << swift;

  // Ctrl+S asks for a file: its name typed, Return saves the document there.
  x.focus(*untitled);
  x.key("ctrl+s");
  const auto dialog = x.findWindow("Save", 60);
  ASSERT_TRUE(dialog) << "no save dialog";
  x.focus(*dialog);
  x.key("ctrl+a");
  x.type(saved.string());
  XDriver::waitUntil([] { return false; }, 0.3);  // drawn
  shot("05-save-dialog");
  x.key("Return");
  ASSERT_TRUE(XDriver::waitUntil([&] { return fs::exists(saved) && fs::file_size(saved) > 0; }, 10))
      << "nothing saved at " << saved;
  const auto document = nlohmann::json::parse(readFile(saved), nullptr, false);
  ASSERT_TRUE(document.is_object()) << readFile(saved);
  ASSERT_TRUE(document.contains("svg") && document["svg"].is_string()) << document.dump();
  EXPECT_NE(document["svg"].get<std::string>().find("fill=\"red\""), std::string::npos) << document.dump();
  EXPECT_TRUE(XDriver::waitUntil([&] { return x.title(*untitled) == "mine.svgquarvel"; }, 5)) << x.title(*untitled);
  shot("06-saved");

  // Closed and opened again by a second launch: the window shows the saved drawing.
  x.focus(*untitled);
  x.key("ctrl+w");
  ASSERT_TRUE(XDriver::waitUntil([&] { return !x.findWindow("mine.svgquarvel"); }, 10)) << "the window stayed";
  {
    auto second = launch(folder, {saved.string()}, "reopen-launch");
    const auto status = second->wait(30);
    ASSERT_TRUE(status) << "the second launch did not end";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
  }
  const auto reopened = x.findWindow("mine.svgquarvel", 60);
  ASSERT_TRUE(reopened) << "the saved document did not open";
  const bool reopenedRed = waitForPreview(*reopened, red, 20000);
  shot("07-reopened");
  EXPECT_TRUE(reopenedRed);

  // A sample from the Sample SVGs menu replaces the front document's drawing: the ellipse, twice
  // as wide as high, in black.
  clickIn(*reopened, 245, 62);
  shot("08-samples-menu");
  clickIn(*reopened, 258, 155);  // "Simple Ellipse"
  const auto ellipse = [&] {
    const auto frame = x.geometry(*reopened);
    return x.grab(Rect{frame.x + 10, frame.y + 70, 290, 150}).boundsOf(0x000000, 12);
  };
  const bool replaced = XDriver::waitUntil(
      [&] {
        const auto bounds = ellipse();
        return previewPixels(*reopened, red) == 0 && bounds && bounds->width > 200;
      },
      10);
  shot("09-sample");
  ASSERT_TRUE(replaced) << "the sample did not replace the drawing";
  EXPECT_NEAR(ellipse()->width, 2 * ellipse()->height, 6) << "the preview takes the drawing's shape";
  EXPECT_TRUE(XDriver::waitUntil([&] { return x.title(*reopened) == "mine.svgquarvel \u2014 Edited"; }, 5))
      << x.title(*reopened);

  // Quitting with unsaved changes asks first, in a window titled with its question.
  x.focus(*reopened);
  x.key("ctrl+q");
  const auto question =
      x.findWindow("Do you want to save the changes made to the document \u201cmine.svgquarvel\u201d?", 30);
  ASSERT_TRUE(question) << "no question before quitting";
  XDriver::waitUntil([] { return false; }, 0.5);  // drawn
  shot("10-quit-question");

  // "Don't Save" (the first of its three buttons along the bottom) lets the application quit.
  x.focus(*question);
  const auto frame = x.geometry(*question);
  x.click(frame.x + frame.width / 6, frame.y + frame.height - 15);
  const auto status = app->wait(20);
  if (!status) shot("11-not-quit");
  ASSERT_TRUE(status) << "the application did not quit";
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
  EXPECT_NE(readFile(saved).find("fill=\\\"red\\\""), std::string::npos) << "the unsaved sample was kept";
}

}  // namespace
