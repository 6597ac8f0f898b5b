// The built application as a user meets it. It runs as its own process under the test command's
// virtual X server and private session bus, with its own home folders; the test works it only
// through X input (keys, mouse clicks on its menus and buttons) and its bus services, and reads
// only what a person could: the screen, the clipboard, the files it saves, the bus answers.
// Screenshots of every step go to the test output folder.
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>

#include <algorithm>
#include <cstdio>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "XDriver/XDriver.h"
#include "FennixTests/FileAttributesTestSupport.h"

namespace {

using FileAttributesTestSupport::attribute;

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

/// The Swift that fills a shape with teal.
constexpr const char* tealFill = ".fill(Color(red: 0, green: 0.502, blue: 0.502))";

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
void callService(const char* method, const std::string& svg, BusReply& reply, int timeoutMilliseconds = 20000) {
  GError* error = nullptr;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
  if (bus == nullptr) {
    reply.error = error->message;
    g_error_free(error);
    return;
  }
  reply.value = g_dbus_connection_call_sync(bus, busName, objectPath, interfaceName, method,
                                            g_variant_new("(s)", svg.c_str()), nullptr, G_DBUS_CALL_FLAGS_NONE,
                                            timeoutMilliseconds, nullptr, &error);
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

  /// Starts the executable with `arguments`, its output going to `e2e-<log>.log`, with `extra`
  /// besides its usual environment.
  std::unique_ptr<XDriver::Process> launch(const fs::path& folder, const std::vector<std::string>& arguments,
                                           const std::string& log, const std::vector<std::string>& extra = {}) {
    std::vector<std::string> argv{QUARVEL_APP_EXECUTABLE};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    auto environment = appEnvironment(folder);
    environment.insert(environment.end(), extra.begin(), extra.end());
    return std::make_unique<XDriver::Process>(argv, environment, logPath(log).string());
  }
  static fs::path logPath(const std::string& log) { return fs::path(QUARVEL_TEST_OUTPUT_DIR) / ("e2e-" + log + ".log"); }

  /// Starts the application without files (its folder and log named `name`) into `app`; its
  /// window, once the preview shows the built-in drawing.
  std::optional<WindowID> startOnNewDocument(const std::string& name, std::unique_ptr<XDriver::Process>& app) {
    app = launch(scratchFolder(name), {}, name);
    const auto window = x.findWindow("Untitled", 120);
    if (!window) {
      ADD_FAILURE() << "no window: " << readFile(logPath(name));
      return std::nullopt;
    }
    if (!waitForPreview(*window, gold, 20000)) {
      ADD_FAILURE() << "the preview does not show the drawing";
      return std::nullopt;
    }
    return window;
  }

  /// Focuses `window` and clicks at (`dx`, `dy`) inside it.
  void clickIn(WindowID window, int dx, int dy) {
    x.focus(window);
    const auto frame = x.geometry(window);
    x.click(frame.x + dx, frame.y + dy);
  }

  /// Types `text` into the SVG editor as a person writes it there: the closing half of a pair
  /// that the editor put in after an opening "<", '"' or "'" is stepped over with the Right key,
  /// not typed again (the editor would put in another).
  void typeWithPairs(const std::string& text) {
    std::string closing;  // the halves the editor put in after the caret, the nearest last
    for (const char c : text) {
      if (!closing.empty() && closing.back() == c) {
        x.key("Right");
        closing.pop_back();
        continue;
      }
      x.type(std::string(1, c));
      if (c == '<') closing += '>';
      if (c == '"' || c == '\'') closing += c;
    }
  }

  /// The text of the Swift pane of `window` (below the SVG editor), selected and copied as a
  /// person would, once it holds `part` (after the keys sent before, which come first); what it
  /// held last when it does not within `seconds`.
  std::string swiftPane(WindowID window, const std::string& part, double seconds = 20) {
    clickIn(window, 700, 330);
    std::string text;
    XDriver::waitUntil(
        [&] {
          x.key("ctrl+a");
          x.key("ctrl+c");
          text = x.clipboardText().value_or("");
          return text.find(part) != std::string::npos;
        },
        seconds);
    return text;
  }

  /// Clicks at (`dx`, `dy`) of `window` (a menu's title in its menu bar) until a menu comes (a
  /// window of the program without a title of its own), and waits until it shows: a menu just
  /// mapped may still lie below the window, or show what was beneath it, until the program has
  /// raised and drawn it, and a click meant for it goes to the window then. A busy machine may take
  /// seconds to show a menu, so each click waits a good while before the next (which would close a
  /// menu still coming). The menu, once it shows.
  std::optional<WindowID> openMenu(WindowID window, int dx, int dy) {
    const auto untitled = [&] {
      return x.findWindows([](const std::string& title) { return title.empty() || title == "svg-quarvel"; });
    };
    const auto before = untitled();
    const auto screenBefore = x.grabScreen();
    std::optional<WindowID> menu;
    XDriver::waitUntil(
        [&] {
          clickIn(window, dx, dy);
          return XDriver::waitUntil(
              [&] {
                for (const auto id : untitled()) {
                  if (std::find(before.begin(), before.end(), id) == before.end() && x.geometry(id).width > 20) {
                    menu = id;
                  }
                }
                return menu.has_value();
              },
              15);
        },
        90);
    if (!menu) return std::nullopt;
    // Shown: a tenth of it at least unlike the screen before (its frame and its items' text), the
    // same twice over.
    const auto changed = [&](const Image& picture, const Rect& frame) {
      std::size_t count = 0;
      for (int row = 0; row < picture.height; ++row) {
        for (int column = 0; column < picture.width; ++column) {
          const int left = frame.x + column, top = frame.y + row;
          const bool outside = left >= screenBefore.width || top >= screenBefore.height || left < 0 || top < 0;
          if (outside || picture.at(column, row) != screenBefore.at(left, top)) ++count;
        }
      }
      return count;
    };
    std::optional<Image> last;
    const bool shown = XDriver::waitUntil(
        [&] {
          const auto frame = x.geometry(*menu);
          const auto picture = x.grab(frame);
          const bool same = last && last->width == picture.width && last->pixels == picture.pixels;
          last = picture;
          return same && changed(picture, frame) > picture.pixels.size() / 10;
        },
        60);
    return shown ? menu : std::nullopt;
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
  const auto samples = openMenu(*reopened, 245, 62);
  shot("08-samples-menu");
  ASSERT_TRUE(samples) << "the Sample SVGs menu did not show";
  // "Simple Ellipse", clicked where the menu shows: the window is not raised first, which would
  // cover the menu until the program puts it back on top.
  x.click(x.geometry(*reopened).x + 258, x.geometry(*reopened).y + 155);
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

TEST_F(Application, SavingADocumentSharedByAnAccessControlListKeepsWhoMayOpenItAndItsAttributes) {
  const auto folder = scratchFolder("shared");
  const auto document = folder / "shared.svgquarvel";
  {
    std::ofstream out(document, std::ios::binary);
    out << nlohmann::json{{"svg", tealDrawing}, {"swift", ""}}.dump();
  }
  ASSERT_EQ(::chmod(document.c_str(), 0600), 0);
  // Its owner's, shared with the user 4242 alone (read and write, as the list's mask allows).
  const std::string shared = FileAttributesTestSupport::accessList(06, {{4242, 06}}, 0, 06, 0);
  if (::setxattr(document.c_str(), "system.posix_acl_access", shared.data(), shared.size(), 0) != 0 ||
      ::setxattr(document.c_str(), "user.origin", "scanned", 7, 0) != 0) {
    GTEST_SKIP() << "this file system keeps no access control lists or extended attributes";
  }
  ASSERT_EQ(::setxattr(document.c_str(), "user.reviewed", "yes", 3, 0), 0);
  struct stat before {};
  ASSERT_EQ(::stat(document.c_str(), &before), 0);

  std::unique_ptr<XDriver::Process> app = launch(folder, {document.string()}, "shared");
  const auto window = x.findWindow("shared.svgquarvel", 120);
  ASSERT_TRUE(window) << readFile(logPath("shared"));
  ASSERT_TRUE(waitForPreview(*window, teal, 20000));
  clickIn(*window, 700, 140);
  x.key("ctrl+End");
  x.type("<!--edited-->");
  ASSERT_TRUE(XDriver::waitUntil([&] { return x.title(*window) == "shared.svgquarvel \u2014 Edited"; }, 10))
      << x.title(*window);
  x.key("ctrl+s");
  ASSERT_TRUE(XDriver::waitUntil([&] { return x.title(*window) == "shared.svgquarvel"; }, 20))
      << x.title(*window) << "\n" << readFile(logPath("shared"));
  shot("shared-saved");
  EXPECT_NE(readFile(document).find("<!--edited-->"), std::string::npos) << readFile(document);
  struct stat after {};
  ASSERT_EQ(::stat(document.c_str(), &after), 0);
  EXPECT_NE(after.st_ino, before.st_ino) << "not saved as a new file";
  EXPECT_EQ(after.st_mode & 07777, before.st_mode & 07777);
  EXPECT_EQ(attribute(document, "system.posix_acl_access"), shared) << "the access control list was not kept";
  EXPECT_EQ(attribute(document, "user.origin"), "scanned");
  EXPECT_EQ(attribute(document, "user.reviewed"), "yes");
  app->terminate();
}

/// SVG of small rectangles, `bytes` long at least: its Swift is about eleven times as long.
std::string rectangles(std::size_t bytes) {
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 100 100\">\n";
  for (std::size_t i = 0; svg.size() < bytes; ++i) {
    svg += "<rect x=\"" + std::to_string(i % 97) + "\" y=\"1\" width=\"2\" height=\"3\"/>\n";
  }
  return svg + "</svg>\n";
}

/// An SvgToView call with `svg` and, behind it on the same connection, a call of the application's
/// actions (answered on its main loop), made and awaited on a thread of their own.
class LargeCall {
 public:
  explicit LargeCall(std::string svg) : thread_([this, svg = std::move(svg)] { run(svg); }) {}
  ~LargeCall() { finish(); }
  void finish() {
    if (thread_.joinable()) thread_.join();
  }

  std::atomic<bool> answered{false};
  std::atomic<bool> probeAnswered{false};
  BusReply reply;

 private:
  void run(const std::string& svg) {
    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    GDBusConnection* connection = g_dbus_connection_new_for_address_sync(
        g_getenv("DBUS_SESSION_BUS_ADDRESS"),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    if (connection != nullptr) {
      g_dbus_connection_call(
          connection, busName, objectPath, interfaceName, "SvgToView", g_variant_new("(s)", svg.c_str()), nullptr,
          G_DBUS_CALL_FLAGS_NONE, 600000, nullptr,
          [](GObject* source, GAsyncResult* result, gpointer data) {
            auto* self = static_cast<LargeCall*>(data);
            GError* error = nullptr;
            self->reply.value = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
            if (error != nullptr) {
              self->reply.error = error->message;
              g_error_free(error);
            }
            self->answered = true;
          },
          this);
      g_dbus_connection_call(
          connection, busName, "/org/quarvel/SVGQuarvel", "org.gtk.Actions", "List", nullptr, nullptr,
          G_DBUS_CALL_FLAGS_NONE, 600000, nullptr,
          [](GObject* source, GAsyncResult* result, gpointer data) {
            if (GVariant* value = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr)) {
              g_variant_unref(value);
            }
            static_cast<LargeCall*>(data)->probeAnswered = true;
          },
          this);
      while (!answered || !probeAnswered) g_main_context_iteration(context, TRUE);
      g_dbus_connection_close_sync(connection, nullptr, nullptr);
      g_object_unref(connection);
    } else {
      reply.error = "no connection";
      answered = probeAnswered = true;
    }
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
  }

  std::thread thread_;
};

TEST_F(Application, TheServicesConvertWhileTheWindowAnswersAndRefuseWhatTheBusCannotCarry) {
  std::unique_ptr<XDriver::Process> app;
  const auto window = startOnNewDocument("services", app);
  ASSERT_TRUE(window);

  // 15.5 MB of rectangles: Swift of more than the 128 MiB the bus carries in one message. Right
  // behind it on the same connection (so it arrives after it) a call that the application answers
  // on its main loop: it comes back first while the drawing converts.
  LargeCall large(rectangles(15500000));
  const bool probed = XDriver::waitUntil([&] { return large.probeAnswered.load(); }, 120);
  const bool answeredBeforeProbe = large.answered;
  // While the conversion runs, a key typed into the window shows.
  clickIn(*window, 700, 140);
  x.key("ctrl+End");
  x.type("x");
  const bool edited = XDriver::waitUntil([&] { return x.title(*window) == "Untitled \u2014 Edited"; }, 60);
  const bool answeredWhenEdited = large.answered;
  XDriver::waitUntil([] { return false; }, 0.3);  // drawn
  shot("services-typed-while-converting");
  large.finish();
  EXPECT_TRUE(probed);
  EXPECT_FALSE(answeredBeforeProbe) << "the main loop answered only after the conversion";
  EXPECT_TRUE(edited) << x.title(*window);
  EXPECT_FALSE(answeredWhenEdited) << "the key showed only after the conversion";
  // The answer is the service's error, and the application and its window are still there.
  EXPECT_EQ(large.reply.value, nullptr);
  EXPECT_NE(large.reply.error.find("org.quarvel.errors.quarvel.svg.errors.Code22425"), std::string::npos)
      << large.reply.error;
  EXPECT_NE(large.reply.error.find("The Swift source of the drawing is too large to hand back: an answer holds at most "
                             "120 MB (125829120 bytes)."),
            std::string::npos)
      << large.reply.error;
  ASSERT_TRUE(app->running()) << readFile(logPath("services"));
  EXPECT_TRUE(x.findWindow("Untitled \u2014 Edited").has_value());

  // More than 16 MB of SVG is refused by both services as the command line refuses such a file.
  const auto huge = rectangles(17 * 1000 * 1000);
  const std::string refusal = "The drawing is too large to open: it has ";
  for (const char* method : {"SvgToView", "OpenSVG"}) {
    BusReply refused;
    callService(method, huge, refused, 60000);
    EXPECT_EQ(refused.value, nullptr) << method;
    EXPECT_NE(refused.error.find(refusal), std::string::npos) << method << ": " << refused.error;
    EXPECT_NE(refused.error.find("; drawings of at most 16 MB (16777216 bytes) of SVG text open."), std::string::npos)
        << refused.error;
  }
  EXPECT_FALSE(x.findWindow("Untitled 2").has_value()) << "a refused drawing opened a window";
  // A small drawing of more code than it may lead to is refused by that bound, well within what
  // an answer holds.
  std::string deep = "<svg xmlns=\"http://www.w3.org/2000/svg\">";
  for (int i = 0; i < 250; ++i) deep += "<g>";
  for (int i = 0; i < 30'000; ++i) deep += "<g/>";
  for (int i = 0; i < 250; ++i) deep += "</g>";
  deep += "</svg>";
  BusReply tooMuchCode;
  callService("SvgToView", deep, tooMuchCode, 60000);
  EXPECT_EQ(tooMuchCode.value, nullptr);
  EXPECT_NE(tooMuchCode.error.find("The drawing is too large to convert: its Swift code would have more than 64 MB "
                                   "(67108864 bytes)."),
            std::string::npos)
      << tooMuchCode.error;
  // The services still answer.
  BusReply small;
  callService("SvgToView", tealDrawing, small);
  ASSERT_NE(small.value, nullptr) << small.error;
  EXPECT_TRUE(app->running());
}

/// Asks the application for its actions, which its main loop answers; whether it did.
bool mainLoopAnswers() {
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  if (bus == nullptr) return false;
  GVariant* value = g_dbus_connection_call_sync(bus, busName, "/org/quarvel/SVGQuarvel", "org.gtk.Actions", "List",
                                                nullptr, nullptr, G_DBUS_CALL_FLAGS_NONE, 300000, nullptr, nullptr);
  if (value != nullptr) g_variant_unref(value);
  g_object_unref(bus);
  return value != nullptr;
}

// 9 MB of text in 300,000 lines, copied from one window's SVG editor and pasted into another's,
// is one edit: the window's title shows it as soon as the window answers again after the paste,
// not once its editors have laid the text out.
TEST_F(Application, ALargePasteShowsAsAnEditAtOnce) {
  const auto folder = scratchFolder("paste");
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 40 40\"><rect width=\"40\" "
                    "height=\"40\" fill=\"teal\"/>\n<!--\n";
  for (int line = 0; line < 300'000; ++line) {
    char text[40];
    std::snprintf(text, sizeof text, "pasted line %06d of the text\n", line);
    svg += text;
  }
  svg += "-->\n</svg>\n";
  const auto file = folder / "long.svg";
  std::ofstream(file) << svg;
  auto app = launch(folder, {file.string()}, "paste");
  const auto source = x.findWindow("Untitled", 120);
  ASSERT_TRUE(source) << "no window: " << readFile(logPath("paste"));
  ASSERT_TRUE(waitForPreview(*source, teal, 20000, 120)) << "the preview does not show the drawing";
  clickIn(*source, 700, 140);
  x.key("ctrl+a");
  x.key("ctrl+c");
  x.key("ctrl+n");
  const auto target = x.findWindow("Untitled 2", 120);
  ASSERT_TRUE(target) << "no new window";
  ASSERT_TRUE(waitForPreview(*target, gold, 20000, 120));
  clickIn(*target, 700, 140);
  x.key("ctrl+End");
  ASSERT_TRUE(mainLoopAnswers());
  ASSERT_EQ(x.title(*target), "Untitled 2");

  // The window answers while the editors lay the text out (for many seconds, between slices of
  // that work); the title shows the edit within the few answers that the key and the clipboard
  // take to reach the editor, and the one that waits for the paste.
  x.key("ctrl+v");
  int answers = 0;
  while (x.title(*target) != "Untitled 2 \u2014 Edited" && answers < 200) {
    ASSERT_TRUE(mainLoopAnswers()) << "the window stopped answering";
    ++answers;
  }
  XDriver::waitUntil([] { return false; }, 0.3);  // drawn
  shot("paste-large");
  EXPECT_LE(answers, 12) << x.title(*target);
  EXPECT_TRUE(app->running()) << readFile(logPath("paste"));
}

/// The processes below `root` (its children, theirs, ...) named `name` (as the kernel shortens it).
std::vector<int> descendantsNamed(int root, const std::string& name) {
  std::map<int, int> parents;
  std::map<int, std::string> names;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const auto pid = std::atoi(entry.path().filename().c_str());
    if (pid <= 0) continue;
    const auto stat = readFile(entry.path() / "stat");
    const auto open = stat.find('('), close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos) continue;
    names[pid] = stat.substr(open + 1, close - open - 1);
    std::istringstream rest(stat.substr(close + 2));
    std::string state;
    int parent = 0;
    rest >> state >> parent;
    parents[pid] = parent;
  }
  std::vector<int> found;
  for (const auto& [pid, shown] : names) {
    if (shown != name) continue;
    for (int up = parents[pid]; up > 1; up = parents.count(up) ? parents[up] : 0) {
      if (up == root) {
        found.push_back(pid);
        break;
      }
    }
  }
  return found;
}

/// Stops processes (SIGSTOP) for as long as it lives, as a machine too busy to run them would.
class StoppedProcesses {
 public:
  explicit StoppedProcesses(std::vector<int> pids) : pids_(std::move(pids)) {
    for (const int pid : pids_) ::kill(pid, SIGSTOP);
  }
  ~StoppedProcesses() { resume(); }
  StoppedProcesses(const StoppedProcesses&) = delete;
  StoppedProcesses& operator=(const StoppedProcesses&) = delete;

  /// Whether the kernel has stopped each of them.
  bool stopped() const {
    return std::all_of(pids_.begin(), pids_.end(), [](int pid) {
      const auto stat = readFile(fs::path("/proc") / std::to_string(pid) / "stat");
      const auto close = stat.rfind(')');
      return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'T';
    });
  }
  void resume() {
    for (const int pid : pids_) ::kill(pid, SIGCONT);
    pids_.clear();
  }
  /// Ends them (SIGKILL), as a crash or the system running out of memory would.
  void kill() {
    for (const int pid : pids_) ::kill(pid, SIGKILL);
    pids_.clear();
  }

 private:
  std::vector<int> pids_;
};

TEST_F(Application, ManyDrawingsShareWebProcessesAndOneLaunchOpensAtMostThirtyTwoWindows) {
  const auto folder = scratchFolder("many");
  std::vector<std::string> files;
  for (int index = 1; index <= 34; ++index) {
    const auto file = folder / ("drawing-" + std::to_string(100 + index) + ".svg");
    std::ofstream(file) << tealDrawing;
    files.push_back(file.string());
  }
  auto app = launch(folder, files, "many");
  std::vector<WindowID> windows;
  for (int number = 1; number <= 32; ++number) {
    const auto title = number == 1 ? std::string("Untitled") : "Untitled " + std::to_string(number);
    const auto window = x.findWindow(title, 120);
    ASSERT_TRUE(window) << title << "\n" << readFile(logPath("many"));
    windows.push_back(*window);
  }
  // The rest is refused with one line.
  const auto dialog = x.findWindow("Some files could not be opened.", 60);
  ASSERT_TRUE(dialog);
  x.focus(*dialog);
  XDriver::waitUntil([] { return false; }, 0.5);  // drawn
  x.grab(x.geometry(*dialog)).savePNG((fs::path(QUARVEL_TEST_OUTPUT_DIR) / "e2e-many-refused.png").string());
  EXPECT_NE(readFile(logPath("many")).find("2 more files were not opened: one request opens at most 32 windows."),
            std::string::npos)
      << readFile(logPath("many"));
  EXPECT_FALSE(x.findWindow("Untitled 33").has_value());

  // The previews show their drawings, four web processes among them (a process of its own each
  // would be 32 clients of the X server).
  for (const auto window : {windows.front(), windows[15], windows.back()}) {
    x.focus(window);
    EXPECT_TRUE(waitForPreview(window, teal, 20000)) << x.title(window);
  }
  shot("many-last-window");
  EXPECT_EQ(descendantsNamed(app->pid(), "WebKitWebProces").size(), 4u);
  EXPECT_TRUE(app->running());
}

TEST_F(Application, TheViewMenuAndTheHeaderBarButtonToggleTheSidebarOfTheActiveWindow) {
  std::unique_ptr<XDriver::Process> app;
  const auto window = startOnNewDocument("sidebar", app);
  ASSERT_TRUE(window);
  // The main content is beside the sidebar from the start: the SVG editor shows the drawing's text.
  const auto frame = x.geometry(*window);
  // Dark text in the SVG editor's first lines, beside the sidebar or at the window's edge.
  const auto editorInk = [&](int left) {
    return x.grab(Rect{frame.x + left, frame.y + 75, 250, 150}).countWhere([](std::uint32_t rgb) {
      return (rgb & 0xff) < 0x60 && ((rgb >> 8) & 0xff) < 0x60 && ((rgb >> 16) & 0xff) < 0x60;
    });
  };
  EXPECT_GT(editorInk(320), 200u) << "no text in the SVG editor";
  const auto sidebarShown = [&] { return previewPixels(*window, gold) > 20000; };
  const auto sidebarGone = [&] { return previewPixels(*window, gold) == 0; };

  // The header bar's sidebar button (the first at its start) hides the sidebar and brings it back.
  clickIn(*window, 28, 26);
  const bool hiddenByButton = XDriver::waitUntil(sidebarGone, 30);
  shot("sidebar-hidden-by-button");
  EXPECT_TRUE(hiddenByButton) << previewPixels(*window, gold) << " gold pixels";
  clickIn(*window, 28, 26);
  const bool back = XDriver::waitUntil(sidebarShown, 30);
  shot("sidebar-back-by-button");
  EXPECT_TRUE(back);

  // View ▸ Toggle Sidebar (its first item) does the same, and the keyboard stays with the editor
  // that had it before the menu: typed text reaches it.
  clickIn(*window, 700, 140);
  const auto menus = [&] {
    return x.findWindows([](const std::string& title) { return title.empty() || title == "svg-quarvel"; });
  };
  const auto before = menus();
  clickIn(*window, 108, 62);
  std::optional<WindowID> viewMenu;
  XDriver::waitUntil(
      [&] {
        for (const auto id : menus()) {
          if (std::find(before.begin(), before.end(), id) == before.end() && x.geometry(id).width > 20) viewMenu = id;
        }
        return viewMenu.has_value();
      },
      5);
  ASSERT_TRUE(viewMenu);
  shot("sidebar-view-menu");
  const auto menuFrame = x.geometry(*viewMenu);
  x.click(menuFrame.x + menuFrame.width / 2, menuFrame.y + menuFrame.height * 3 / 10);
  const bool hidden = XDriver::waitUntil(sidebarGone, 30);
  shot("sidebar-hidden-by-menu");
  EXPECT_TRUE(hidden) << previewPixels(*window, gold) << " gold pixels";
  EXPECT_GT(editorInk(8), 200u) << "the editor did not take the sidebar's place";
  x.type("x");
  EXPECT_TRUE(XDriver::waitUntil([&] { return x.title(*window) == "Untitled \u2014 Edited"; }, 10))
      << "the typed text did not reach the editor after the menu's command: " << x.title(*window);

  // The same command chosen with the keys (F10 opens the first menu; View is the third) brings the
  // sidebar back, and the editor has the keyboard again: its text replaced, the preview follows.
  // Each key goes once the menu it acts on shows, drawn, as a person sees it: keys that come
  // before a menu is up are not all the menu's (the toolkit may then show one menu and choose in
  // another).
  const auto menuShownRightOf = [&](int left) -> std::optional<Rect> {
    for (const auto id : menus()) {
      const auto place = x.geometry(id);
      if (place.width <= 20 || place.x <= left) continue;
      const auto ink = x.grab(place).countWhere([](std::uint32_t rgb) {
        return (rgb & 0xff) < 0x60 && ((rgb >> 8) & 0xff) < 0x60 && ((rgb >> 16) & 0xff) < 0x60;
      });
      if (ink > 100) return place;
    }
    return std::nullopt;
  };
  std::optional<Rect> menuByKeys;
  x.key("F10");
  ASSERT_TRUE(XDriver::waitUntil([&] { return (menuByKeys = menuShownRightOf(frame.x - 1)).has_value(); }, 20))
      << "F10 opened no menu";
  for (int next = 0; next < 2; ++next) {
    x.key("Right");
    const int left = menuByKeys->x;
    ASSERT_TRUE(XDriver::waitUntil([&] { return (menuByKeys = menuShownRightOf(left)).has_value(); }, 20))
        << "Right opened no next menu";
  }
  shot("sidebar-view-menu-by-keys");
  EXPECT_EQ(menuByKeys->x, menuFrame.x) << "the third menu is not where the View menu opens";
  x.key("Return");
  const bool shownByKeys = XDriver::waitUntil(sidebarShown, 30);
  shot("sidebar-back-by-keys");
  ASSERT_TRUE(shownByKeys) << previewPixels(*window, gold) << " gold pixels";
  x.key("ctrl+a");
  typeWithPairs(tealDrawing);
  const bool typed = waitForPreview(*window, teal, 20000);
  shot("sidebar-typed-after-keys");
  EXPECT_TRUE(typed) << "the typed drawing did not reach the editor after the menu's command";
  // The Swift pane shows the drawing's code.
  const auto swift = swiftPane(*window, tealFill);
  EXPECT_NE(swift.find(tealFill), std::string::npos) << swift;
  EXPECT_NE(swift.find(tealDrawing), std::string::npos) << swift;
  EXPECT_TRUE(app->running());
}

TEST_F(Application, ThePreviewShowsTheLastOfTheEditsMadeWhileItsWebProcessWasStoppedOrEnded) {
  std::unique_ptr<XDriver::Process> app;
  const auto window = startOnNewDocument("busy-preview", app);
  ASSERT_TRUE(window);
  // The caret before the drawing's closing tag.
  clickIn(*window, 700, 140);
  x.key("ctrl+End");
  x.key("Up");
  // The web process stopped, as on a machine too busy to run it: each key typed meanwhile asks the
  // preview for a load that the process takes up only once it runs again.
  const auto webProcesses = descendantsNamed(app->pid(), "WebKitWebProces");
  ASSERT_FALSE(webProcesses.empty());
  StoppedProcesses stopped(webProcesses);
  ASSERT_TRUE(XDriver::waitUntil([&] { return stopped.stopped(); }, 10));
  // A teal square over the gold one: 88 characters, more than 64 loads.
  const std::string cover =
      "<rect x=\"0\" y=\"0\" width=\"100\" height=\"100\" stroke=\"teal\" stroke-width=\"8\" fill=\"teal\"/>";
  typeWithPairs(cover);
  // Every key has reached the editor: the Swift pane shows the drawing as typed.
  const auto swift = swiftPane(*window, cover);
  shot("busy-preview-typed");
  EXPECT_NE(swift.find(cover), std::string::npos) << swift;
  EXPECT_NE(swift.find(tealFill), std::string::npos) << swift;
  EXPECT_GT(previewPixels(*window, gold), 20000u) << "the stopped web process drew";

  stopped.resume();
  const bool shown = XDriver::waitUntil(
      [&] { return previewPixels(*window, teal) > 20000 && previewPixels(*window, gold) == 0; }, 20);
  shot("busy-preview-resumed");
  EXPECT_TRUE(shown) << "the preview does not show the last edit: " << previewPixels(*window, teal) << " teal pixels, "
                     << previewPixels(*window, gold) << " gold";

  // Edits that the web process never takes up, as it ends (a crash, or the system short of
  // memory): the preview shows the last of them, drawn by a new web process. The caret before
  // "</svg>", on the line the teal square was typed into.
  clickIn(*window, 700, 140);
  x.key("ctrl+End");
  x.key("Up");
  x.key("End");
  for (int left = 0; left < 6; ++left) x.key("Left");
  StoppedProcesses ending(descendantsNamed(app->pid(), "WebKitWebProces"));
  ASSERT_TRUE(XDriver::waitUntil([&] { return ending.stopped(); }, 10));
  typeWithPairs("<rect width=\"100\" height=\"100\" fill=\"red\"/>");
  const auto typedRed = swiftPane(*window, ".fill(Color.red)");
  EXPECT_NE(typedRed.find(".fill(Color.red)"), std::string::npos) << typedRed;
  ending.kill();
  const bool redShown = XDriver::waitUntil(
      [&] { return previewPixels(*window, red) > 20000 && previewPixels(*window, teal) == 0; }, 30);
  shot("busy-preview-ended");
  EXPECT_TRUE(redShown) << "the preview does not show the last edit: " << previewPixels(*window, red) << " red pixels, "
                        << previewPixels(*window, teal) << " teal";
  EXPECT_TRUE(app->running());
}

}  // namespace
