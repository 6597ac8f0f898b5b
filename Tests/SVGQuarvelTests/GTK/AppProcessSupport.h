// What tests of the real executable share: a session bus of their own, the environment the
// application is started with, and a fixture that starts it and saves through its window.
#pragma once

#include <fcntl.h>
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "SVGQuarvel/Model/SVGQuarvelDocument.h"
#include "SVGQuarvelTests/QuarvelTestSupport.h"
#include "Tools/SanitizedBuild.h"
#include "XDriver/XDriver.h"

namespace AppProcessSupport {

/// The sanitizer build converts about thirty times more slowly: drawings that only need to keep
/// the converter busy are smaller there.
using QuarvelTestBuild::sanitizedBuild;

using QuarvelTestSupport::readFile;
using QuarvelTestSupport::scratchDirectory;
using QuarvelTestSupport::writeFile;

/// An old modification time, as of a file written long before the application opened it.
inline void makeOld(const std::filesystem::path& path) {
  const struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

/// Another program puts its version of `document` in place: a new file beside it, renamed over it.
inline void replaceAsAnotherProgram(const std::filesystem::path& document, const std::string& theirs) {
  const auto written = document.parent_path() / "theirs.tmp";
  writeFile(written, theirs);
  std::filesystem::rename(written, document);
}

/// What a crash of the process or a sanitizer leaves in its output.
inline bool reportsAFault(const std::string& log) {
  for (const char* mark : {"runtime error", "Sanitizer", "ERROR **", "Bail out!", "assertion failed"}) {
    if (log.find(mark) != std::string::npos) return true;
  }
  return false;
}

/// A drawing the documents of these tests hold.
inline const std::string circle =
    "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 40 40\"><circle cx=\"20\" cy=\"20\" r=\"15\" "
    "fill=\"teal\"/></svg>\n";

inline std::filesystem::path outputFile(const std::string& name) {
  // Copies of a test run side by side each keep their files in a folder of their own.
  if (const char* folder = std::getenv("QUARVEL_TEST_OUTPUT_DIR"); folder != nullptr && *folder != '\0') {
    return std::filesystem::path(folder) / name;
  }
  return std::filesystem::path(QUARVEL_TEST_OUTPUT_DIR) / name;
}

/// A session bus of its own (a bus daemon with a configuration written here), so that the
/// application started by one test never hands its files to another's.
class PrivateBus {
 public:
  /// `environment`: what the services the bus starts get besides the test's own environment;
  /// `openFiles`: the limit of open files of the bus, which the services it starts keep;
  /// `maximumMessageBytes`: the largest message it passes on (the daemon's own 32 MB without it).
  explicit PrivateBus(const std::filesystem::path& folder, const std::string& serviceFolder = "",
                      const std::vector<std::string>& environment = {},
                      std::optional<XDriver::Process::OpenFileLimit> openFiles = std::nullopt,
                      std::optional<std::size_t> maximumMessageBytes = std::nullopt) {
    const auto config = folder / "bus.conf";
    writeFile(config,
              "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
              " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
              "<busconfig><type>session</type><listen>unix:dir=" +
                  folder.string() + "</listen>" +
                  (serviceFolder.empty() ? "" : "<servicedir>" + serviceFolder + "</servicedir>") +
                  (maximumMessageBytes ? "<limit name=\"max_message_size\">" + std::to_string(*maximumMessageBytes) +
                                             "</limit>"
                                       : "") +
                  "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                  "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
    log_ = folder / "bus.log";
    daemon_ = std::make_unique<XDriver::Process>(
        std::vector<std::string>{"/usr/bin/dbus-daemon", "--config-file=" + config.string(), "--nofork",
                                 "--print-address=1"},
        environment, log_.string(), openFiles);
    XDriver::waitUntil(
        [&] {
          const auto text = readFile(log_);
          const auto end = text.find('\n');
          if (end == std::string::npos) return false;
          address_ = text.substr(0, end);
          return true;
        },
        10);
  }
  const std::string& address() const { return address_; }
  XDriver::Process& daemon() { return *daemon_; }

 private:
  std::filesystem::path log_;
  std::unique_ptr<XDriver::Process> daemon_;
  std::string address_;
};

/// What the application is started with: its bus, private user folders, drawing without GL.
inline std::vector<std::string> appEnvironment(const PrivateBus& bus, const std::filesystem::path& home) {
  // A home folder of its own, where the file panels open: what the machine's user keeps in theirs
  // never shows in a panel's list.
  std::filesystem::create_directories(home / "home");
  return {"DBUS_SESSION_BUS_ADDRESS=" + bus.address(),
          "HOME=" + (home / "home").string(),
          "XDG_CONFIG_HOME=" + (home / "config").string(),
          "XDG_DATA_HOME=" + (home / "data").string(),
          "QUARVEL_RESOURCES=" QUARVEL_TEST_RESOURCE_DIR,
          "GDK_DEBUG=gl-disable",
          "GSK_RENDERER=cairo",
          "WEBKIT_DISABLE_COMPOSITING_MODE=1",
          "LIBGL_ALWAYS_SOFTWARE=1",
          "NO_AT_BRIDGE=1"};
}

/// The text of a document of the circle drawing with `swift` as its code.
inline std::string documentText(const std::string& swift) {
  return SVGQuarvelDocument::Snapshot{circle, swift, std::nullopt}.jsonString();
}

/// A client's connection to the message bus at `address`; null, with `error` set where given,
/// where it could not connect.
inline GDBusConnection* connectToBus(const std::string& address, GError** error = nullptr) {
  return g_dbus_connection_new_for_address_sync(
      address.c_str(),
      GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, error);
}

/// Whether the application on `bus` answers a call within `seconds`: it answers from its main
/// loop, after it has run every activation sent before on the same connection.
inline bool applicationAnswers(GDBusConnection* bus, int seconds) {
  GError* error = nullptr;
  GVariant* list = g_dbus_connection_call_sync(bus, "org.quarvel.SVGQuarvel", "/org/quarvel/SVGQuarvel",
                                               "org.gtk.Actions", "List", nullptr, G_VARIANT_TYPE("(as)"),
                                               G_DBUS_CALL_FLAGS_NONE, seconds * 1000, nullptr, &error);
  if (list == nullptr) {
    ADD_FAILURE() << error->message;
    g_error_free(error);
    return false;
  }
  g_variant_unref(list);
  return true;
}

/// A drawing of `bytes` bytes of small rectangles, which takes its time to convert.
inline std::string manyRectangles(std::size_t bytes) {
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 1000 1000\">\n";
  for (unsigned i = 0; svg.size() < bytes; ++i) {
    svg += "<rect x=\"" + std::to_string(i % 997) + "\" y=\"" + std::to_string(i / 997 % 991) + "\" width=\"" +
           std::to_string(1 + i % 13) + "\" height=\"" + std::to_string(1 + i % 17) + "\" fill=\"#" +
           std::to_string(100000 + i % 899999) + "\"/>\n";
  }
  return svg + "</svg>\n";
}

/// The files of `folder` whose names start with a dot (the temporary files of a save).
inline std::vector<std::string> hiddenFiles(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const auto name = entry.path().filename().string();
    if (!name.empty() && name[0] == '.') names.push_back(name);
  }
  return names;
}

/// How many pixels of the window differ clearly from the colour of its top left corner: text drawn
/// on a plain background.
inline std::size_t inkIn(const XDriver::Image& picture) {
  if (picture.width == 0) return 0;
  const auto background = picture.at(picture.width / 2, picture.height - 2);
  return picture.countWhere([&](std::uint32_t rgb) {
    int difference = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
      difference = std::max(difference, std::abs(int((rgb >> shift) & 0xff) - int((background >> shift) & 0xff)));
    }
    return difference > 96;
  });
}

inline int luminance(std::uint32_t rgb) {
  return int(((rgb >> 16) & 0xff) * 299 + ((rgb >> 8) & 0xff) * 587 + (rgb & 0xff) * 114) / 1000;
}

class AppProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!x_.ok()) GTEST_SKIP() << "no X server with the XTest extension";
    folder_ = scratchDirectory();
    bus_ = std::make_unique<PrivateBus>(folder_);
    ASSERT_FALSE(bus_->address().empty()) << readFile(folder_ / "bus.log");
  }

  std::unique_ptr<XDriver::Process> launch(const std::vector<std::string>& argv, const std::string& log,
                                           std::optional<XDriver::Process::OpenFileLimit> openFiles = std::nullopt) {
    return std::make_unique<XDriver::Process>(argv, appEnvironment(*bus_, folder_), outputFile(log).string(),
                                              openFiles);
  }

  /// Runs a launch that ends with a failure status (none of its files opened); what it wrote.
  std::string failingLaunch(const std::vector<std::string>& argv, const std::string& log) {
    auto launched = launch(argv, log);
    const auto status = launched->wait(120);
    EXPECT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 1) << status.value_or(-1);
    return readFile(outputFile(log));
  }

  /// Clicks at (`dx`, `dy`) of `window`'s frame, the window focused first.
  void clickIn(XDriver::WindowID window, int dx, int dy) {
    x_.focus(window);
    const auto frame = x_.geometry(window);
    x_.click(frame.x + dx, frame.y + dy);
  }

  /// Clicks into the SVG editor (the upper pane) of `window`, below its text.
  void clickSVGEditor(XDriver::WindowID window) { clickIn(window, 800, 240); }

  /// Presses Ctrl+S in `window` until a window named `dialogTitle` shows (a few tries, as the
  /// window may not take keys the moment it is mapped).
  std::optional<XDriver::WindowID> saveAndWaitFor(XDriver::WindowID window, const std::string& dialogTitle) {
    for (int attempt = 0; attempt < 3; ++attempt) {
      x_.focus(window);
      x_.key("ctrl+s");
      if (auto dialog = x_.findWindow(dialogTitle, 5)) return dialog;
    }
    return std::nullopt;
  }

  /// The windows titled `title`.
  std::vector<XDriver::WindowID> windowsTitled(const std::string& title) const {
    return x_.findWindows([&](const std::string& shown) { return shown == title; });
  }

  /// The program's windows that have no title of their own (menus, the file panels' questions).
  std::vector<XDriver::WindowID> programWindows() const {
    return x_.findWindows([](const std::string& title) { return title.empty() || title == "svg-quarvel"; });
  }

  /// Clicks at (`x`, `y`) (the title of a menu in the menu bar of `window`, focused first; or,
  /// without a window, the row of a menu that opens another) until a menu shows that is not among
  /// `known`: a window of the program without a title of its own, wider than 20. The first click
  /// after a window was mapped, or got its focus back from a message, may only give it the focus;
  /// and a busy machine may take many seconds to show a menu, so each click waits a good while
  /// before the next (which would close a menu still coming).
  std::optional<XDriver::WindowID> clickForMenu(std::optional<XDriver::WindowID> window, int x, int y,
                                                const std::vector<XDriver::WindowID>& known, double seconds = 90) {
    std::optional<XDriver::WindowID> menu;
    XDriver::waitUntil(
        [&] {
          if (window) x_.focus(*window);
          x_.click(x, y);
          XDriver::waitUntil(
              [&] {
                for (const auto id : programWindows()) {
                  if (std::find(known.begin(), known.end(), id) == known.end() && x_.geometry(id).width > 20) menu = id;
                }
                return menu.has_value();
              },
              15);
          return menu.has_value();
        },
        seconds);
    return menu;
  }

  /// Whether `menu` shows drawn: its black frame all round a light inside. A menu window just
  /// mapped shows what lay under it (the editor's lines, or the preview's blue stroke beside its
  /// gold, which passes for a frame at any one point) until the program has drawn it.
  bool menuDrawn(XDriver::WindowID menu) {
    const auto frame = x_.geometry(menu);
    const auto picture = x_.grab(XDriver::Rect{frame.x, frame.y, frame.width, frame.height});
    if (picture.width != frame.width || picture.height != frame.height || frame.width < 28 || frame.height < 8) {
      return false;
    }
    const int right = frame.width - 2, bottom = frame.height - 2;
    for (const int y : {frame.height / 4, frame.height / 2, frame.height * 3 / 4}) {
      if (luminance(picture.at(1, y)) >= 40 || luminance(picture.at(right, y)) >= 40) return false;
    }
    for (const int x : {frame.width / 4, frame.width / 2, frame.width * 3 / 4}) {
      if (luminance(picture.at(x, 1)) >= 40 || luminance(picture.at(x, bottom)) >= 40) return false;
    }
    return luminance(picture.at(13, frame.height / 2)) > 200;
  }

  /// The middle heights of the rows of text of a menu (on the screen), top to bottom: its items,
  /// the greyed ones included; separators are too faint to count.
  std::vector<int> menuRows(XDriver::WindowID menu) {
    const auto frame = x_.geometry(menu);
    // Inside the menu's black frame and rounded corners.
    const XDriver::Rect inner{frame.x + 12, frame.y + 8, frame.width - 24, frame.height - 16};
    const auto picture = x_.grab(inner);
    const int background = luminance(picture.at(2, picture.height / 2));
    std::vector<int> rows;
    int runStart = -1;
    for (int y = 0; y <= picture.height; ++y) {
      bool ink = false;
      for (int x = 0; y < picture.height && x < picture.width && !ink; ++x) {
        ink = luminance(picture.at(x, y)) < background - 50;
      }
      if (ink && runStart < 0) runStart = y;
      if (!ink && runStart >= 0) {
        if (y - runStart >= 5) rows.push_back(inner.y + (runStart + y) / 2);
        runStart = -1;
      }
    }
    return rows;
  }

  enum class Editor { svg, swift };
  /// Types `text` (printable ASCII) at the end of the SVG editor (the upper pane) or of the Swift
  /// editor until the window's title becomes `edited` (keys that come before the window takes input
  /// go nowhere; typed twice, the text is still there), and then until the editor has taken every
  /// key: the title changes with the first one, and the application may be busy with the rest for
  /// a while. The typed text is copied (through the clipboard) to see it has all arrived; the caret
  /// is left after it.
  bool typeInto(XDriver::WindowID window, const std::string& text, const std::string& edited,
                Editor editor = Editor::svg) {
    const bool swift = editor == Editor::swift;
    return XDriver::waitUntil(
        [&] {
          const auto frame = x_.geometry(window);
          x_.focus(window);
          x_.click(frame.x + int(frame.width * (swift ? 0.85 : 0.5)),
                   frame.y + int(frame.height * (swift ? 0.75 : 0.3)));
          x_.key("ctrl+End");
          x_.type(text);
          if (!XDriver::waitUntil([&] { return x_.title(window) == edited; }, 10)) return false;
          return typedTextArrived(text);
        },
        60);
  }

  /// Whether the `text` just typed stands before the caret of the focused editor: selected back
  /// over its length and copied, it reaches the clipboard once the keys before have been taken.
  bool typedTextArrived(const std::string& text) {
    for (std::size_t index = 0; index < text.size(); ++index) x_.key("shift+Left");
    x_.key("ctrl+c");
    std::optional<std::string> copied;
    XDriver::waitUntil([&] { return (copied = x_.clipboardText(1)) == text; }, 60);
    x_.key("Right");
    if (copied != text) {
      // All of the editor's text tells where the keys went.
      x_.key("ctrl+a");
      x_.key("ctrl+c");
      std::optional<std::string> whole;
      XDriver::waitUntil([&] { return (whole = x_.clipboardText(1)) != copied; }, 10);
      ADD_FAILURE() << "typed \"" << text << "\", the editor holds \"" << copied.value_or("")
                    << "\" before the caret, and in all \"" << whole.value_or("") << "\"";
    }
    return copied == text;
  }

  /// Answers a Save panel (`panel`, else the one that shows) with `path`, typed into its name
  /// field, until it has gone; `replaces`: the file exists, and the panel's question whether to
  /// replace it (a window of its own, whose default is to replace) is confirmed.
  bool chooseInSavePanel(const std::filesystem::path& path, bool replaces = false,
                         std::optional<XDriver::WindowID> panel = std::nullopt) {
    if (!panel) panel = x_.findWindow("Save", 10);
    if (!panel) return false;
    const auto shown = [&] {
      const auto panels = windowsTitled("Save");
      return std::find(panels.begin(), panels.end(), *panel) != panels.end();
    };
    const auto choose = [&] {
      x_.focus(*panel);
      x_.key("ctrl+a");
      x_.type(path.string());
      x_.key("Return");
    };
    if (!replaces) {
      return XDriver::waitUntil(
          [&] {
            if (!shown()) return true;
            choose();
            return XDriver::waitUntil([&] { return !shown(); }, 10);
          },
          60);
    }
    const auto before = programWindows();
    choose();
    std::optional<XDriver::WindowID> question;
    XDriver::waitUntil(
        [&] {
          for (const auto id : programWindows()) {
            if (std::find(before.begin(), before.end(), id) == before.end() && x_.geometry(id).width > 100) {
              question = id;
            }
          }
          return question.has_value();
        },
        10);
    if (!question) return false;
    x_.grab(x_.geometry(*question)).savePNG(outputFile("app-save-replace-question.png").string());
    x_.focus(*question);
    x_.key("Return");
    return XDriver::waitUntil([&] { return !shown(); }, 30);
  }

  /// Checks the error window shows text and keeps its picture.
  void expectShownWithText(XDriver::WindowID dialog, const std::string& picture) {
    const auto frame = x_.geometry(dialog);
    EXPECT_GT(frame.width, 100);
    // A window is mapped before it has drawn (an application busy with many windows may draw it
    // long after): look once its text shows (or the wait is over).
    XDriver::waitUntil([&] { return inkIn(x_.grab(frame)) > 200u; }, 60);
    const auto image = x_.grab(frame);
    image.savePNG(outputFile(picture).string());
    EXPECT_GT(inkIn(image), 200u) << "the error window shows no text";
  }

  /// Opens File ▸ Open Recent in `window` with real clicks; the menu of the recent files, whose
  /// pictures are kept under `picture`. Open Recent is clicked only once the File menu shows all
  /// its rows where they stay: a menu just mapped has not drawn, and may not have been laid out,
  /// so a click there might land on another row or beside the menu, which closes it. A File menu
  /// that has gone meanwhile is opened again.
  std::optional<XDriver::WindowID> openRecentMenu(XDriver::WindowID window, const std::string& picture) {
    const auto frame = x_.geometry(window);
    // Menus are windows of their own, named after the program at most.
    const auto before = programWindows();
    const auto showing = [&](XDriver::WindowID menu) {
      const auto shown = programWindows();
      return std::find(shown.begin(), shown.end(), menu) != shown.end();
    };
    // New, Open…, Open Recent, Save, Save As…, Close and Quit.
    const std::size_t fileRows = 7;
    std::optional<XDriver::WindowID> fileMenu;
    std::optional<XDriver::WindowID> recentMenu;
    XDriver::waitUntil(
        [&] {
          if (!fileMenu || !showing(*fileMenu)) {
            // File in the menu bar (below the title bar, at the left).
            fileMenu = clickForMenu(window, frame.x + 24, frame.y + 62, before);
            if (!fileMenu) return false;
          }
          // Drawn and laid out: all its rows show, in the same places twice over.
          std::vector<int> rows;
          const bool settled = XDriver::waitUntil(
              [&] {
                const auto earlier = rows;
                rows = menuRows(*fileMenu);
                return rows.size() == fileRows && rows == earlier;
              },
              60);
          if (!settled) return false;
          x_.grabScreen().savePNG(outputFile(picture + "-file-menu.png").string());
          // Open Recent, the third row; the recent files open in a menu of their own beside it.
          auto known = before;
          known.push_back(*fileMenu);
          recentMenu = clickForMenu(std::nullopt, x_.geometry(*fileMenu).x + 60, rows[2], known, 30);
          return recentMenu.has_value();
        },
        180);
    if (!recentMenu) {
      x_.grabScreen().savePNG(outputFile(picture + (fileMenu ? "-no-recent-menu.png" : "-no-menu.png")).string());
      return std::nullopt;
    }
    x_.grabScreen().savePNG(outputFile(picture + "-menu.png").string());
    EXPECT_GT(x_.geometry(*recentMenu).x, x_.geometry(*fileMenu).x);
    return recentMenu;
  }

  /// Chooses row `row` of `count` in File ▸ Open Recent of `window`.
  bool chooseRecent(XDriver::WindowID window, int row, int count, const std::string& picture) {
    const auto menu = openRecentMenu(window, picture);
    if (!menu) return false;
    // Clicked once it shows its rows.
    XDriver::waitUntil([&] { return int(menuRows(*menu).size()) == count; }, 60);
    const auto frame = x_.geometry(*menu);
    x_.click(frame.x + frame.width / 2, frame.y + frame.height * (2 * row + 1) / (2 * count));
    return true;
  }

  /// Presses Return in the window named `title` until it has gone: once, and again only where it
  /// is still there `seconds` later. A key sent while it is going reaches the window beneath it,
  /// whose editor would take it.
  void dismiss(const std::string& title, double seconds = 10) {
    XDriver::waitUntil(
        [&] {
          if (const auto shown = x_.findWindow(title)) {
            x_.focus(*shown);
            x_.key("Return");
          }
          return XDriver::waitUntil([&] { return !x_.findWindow(title).has_value(); }, seconds);
        },
        3 * seconds);
  }

  XDriver::Session x_;
  std::filesystem::path folder_;
  std::unique_ptr<PrivateBus> bus_;
};

/// A fixture that starts the application with its first (untitled) window and keeps what it writes.
class AppLaunchTest : public AppProcessTest {
 protected:
  /// Starts the application, writing to `log`, and waits until its first window is there.
  bool start(const std::string& log) {
    log_ = log;
    app_ = launch({QUARVEL_APP_EXECUTABLE}, log);
    return x_.findWindow("Untitled", 120).has_value();
  }
  std::string log() const { return readFile(outputFile(log_)); }

  std::unique_ptr<XDriver::Process> app_;
  std::string log_;
};

}  // namespace AppProcessSupport
