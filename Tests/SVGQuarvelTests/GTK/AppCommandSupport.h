// What the tests of the application's commands share: a fixture that starts the application with
// a handler of web addresses that notes the pages it is asked to show, and chooses items of the
// menu bar's menus with real clicks.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "SVGQuarvelTests/GTK/AppProcessSupport.h"

namespace AppCommandSupport {

using namespace QuarvelTestSupport;
using namespace AppProcessSupport;

using XDriver::Rect;
using XDriver::WindowID;

/// The menus of the menu bar, by where their titles are (from the window's left edge; the bar's
/// layout is fixed).
enum class Menu { file = 24, edit = 63, view = 108, format = 163, samples = 246, help = 321 };

constexpr std::uint32_t gold = 0xFFD700;

inline std::string closeQuestion(const std::string& name) {
  return "Do you want to save the changes made to the document \u201c" + name + "\u201d?";
}

class AppCommandTest : public AppProcessTest {
 protected:
  void SetUp() override {
    AppProcessTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    // The desktop's handler of web addresses writes each address it is given to a file.
    urls_ = folder_ / "shown-urls.txt";
    const auto handler = folder_ / "show-url.sh";
    writeFile(handler, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + urls_.string() + "'\n");
    ::chmod(handler.c_str(), 0755);
    std::filesystem::create_directories(folder_ / "data" / "applications");
    writeFile(folder_ / "data" / "applications" / "quarvel-test-show-url.desktop",
              "[Desktop Entry]\nType=Application\nName=Show URL\nExec=" + handler.string() +
                  " %u\nMimeType=x-scheme-handler/http;x-scheme-handler/https;\nNoDisplay=true\n");
    std::filesystem::create_directories(folder_ / "config");
    writeFile(folder_ / "config" / "mimeapps.list",
              "[Default Applications]\nx-scheme-handler/http=quarvel-test-show-url.desktop\n"
              "x-scheme-handler/https=quarvel-test-show-url.desktop\n");
  }

  /// Starts the application without files; its window, once the preview shows the drawing.
  std::optional<WindowID> start(const std::string& log, std::unique_ptr<XDriver::Process>& app) {
    log_ = log;
    app = launch({QUARVEL_APP_EXECUTABLE}, log);
    const auto window = x_.findWindow("Untitled", 120);
    if (!window) {
      ADD_FAILURE() << "no window: " << logText();
      return std::nullopt;
    }
    if (!XDriver::waitUntil([&] { return previewPixels(*window, gold) > 20000; }, 60)) {
      ADD_FAILURE() << "the preview does not show the drawing";
    }
    return window;
  }
  std::string logText() const { return readFile(outputFile(log_)); }

  /// Pixels of `rgb` in the sidebar's preview of `window`.
  std::size_t previewPixels(WindowID window, std::uint32_t rgb) {
    const auto frame = x_.geometry(window);
    return x_.grab(Rect{frame.x, frame.y + 75, 300, 290}).count(rgb, 12);
  }

  /// The windows of the program that have no title of their own: menus and the toolkit's questions.
  std::vector<WindowID> untitledWindows() const {
    return x_.findWindows([](const std::string& title) { return title.empty() || title == "svg-quarvel"; });
  }

  /// Waits for an untitled window that is not among `known`.
  std::optional<WindowID> newUntitledWindow(const std::vector<WindowID>& known, double seconds = 5) {
    std::optional<WindowID> found;
    XDriver::waitUntil(
        [&] {
          for (const auto id : untitledWindows()) {
            if (std::find(known.begin(), known.end(), id) == known.end() && x_.geometry(id).width > 20) found = id;
          }
          return found.has_value();
        },
        seconds);
    return found;
  }

  /// Opens `menu` of `window` with a click on its title; the menu's window.
  std::optional<WindowID> openMenu(WindowID window, Menu menu, const std::string& picture) {
    const auto frame = x_.geometry(window);
    const auto opened = clickForMenu(window, frame.x + int(menu), frame.y + 62, untitledWindows());
    if (!opened) {
      x_.grabScreen().savePNG(outputFile(picture + "-no-menu.png").string());
      return std::nullopt;
    }
    // Drawn once its rows show.
    XDriver::waitUntil([&] { return !menuRows(*opened).empty(); }, 30);
    x_.grabScreen().savePNG(outputFile(picture + "-menu.png").string());
    return opened;
  }

  /// Chooses item `row` (from 0, separators not counted) of `menu` of `window` with real clicks;
  /// with `subRow`, that item opens a menu of its own and its item `subRow` is chosen.
  bool choose(WindowID window, Menu menu, std::size_t row, const std::string& picture,
              std::optional<std::size_t> subRow = std::nullopt) {
    const auto opened = openMenu(window, menu, picture);
    if (!opened) return false;
    const auto rows = menuRows(*opened);
    if (row >= rows.size()) {
      ADD_FAILURE() << "the menu has " << rows.size() << " rows; see " << picture;
      return false;
    }
    const auto frame = x_.geometry(*opened);
    if (!subRow) {
      x_.click(frame.x + frame.width / 2, rows[row]);
      return true;
    }
    const auto submenu = clickForMenu(std::nullopt, frame.x + frame.width / 2, rows[row], untitledWindows());
    if (!submenu) return false;
    XDriver::waitUntil([&] { return !menuRows(*submenu).empty(); }, 30);
    x_.grabScreen().savePNG(outputFile(picture + "-submenu.png").string());
    const auto subRows = menuRows(*submenu);
    if (*subRow >= subRows.size()) {
      ADD_FAILURE() << "the submenu has " << subRows.size() << " rows; see " << picture;
      return false;
    }
    const auto subFrame = x_.geometry(*submenu);
    x_.click(subFrame.x + subFrame.width / 2, subRows[*subRow]);
    return true;
  }

  /// Types `text` at the end of the SVG editor of `window` until the window's title becomes
  /// `edited` (a window just mapped may not take keys yet).
  bool typeIntoSVG(WindowID window, const std::string& text, const std::string& edited) {
    for (int attempt = 0; attempt < 3; ++attempt) {
      clickSVGEditor(window);
      x_.key("ctrl+End");
      x_.type(text);
      if (XDriver::waitUntil([&] { return x_.title(window) == edited; }, 10)) return true;
    }
    return false;
  }

  /// Presses `keys` and waits for the clipboard to hold something other than `before`.
  std::optional<std::string> copiedBy(const std::function<void()>& copy, const std::optional<std::string>& before) {
    copy();
    std::optional<std::string> text;
    XDriver::waitUntil([&] { return (text = x_.clipboardText()) && text != before; }, 30);
    return text;
  }

  /// The whole text of the SVG editor of `window`, read by selecting it all and copying it.
  std::optional<std::string> svgEditorText(WindowID window) {
    clickSVGEditor(window);
    x_.key("ctrl+a");
    const auto before = x_.clipboardText();
    x_.key("ctrl+c");
    std::optional<std::string> text;
    XDriver::waitUntil([&] { return (text = x_.clipboardText()) && text != before; }, 3);
    return text;
  }

  /// Clicks the button of a question at `fraction` of its width along its bottom row, until the
  /// question has gone (a click that comes before it takes input goes nowhere).
  bool clickQuestionButton(const std::string& title, double fraction) {
    return XDriver::waitUntil(
        [&] {
          const auto question = x_.findWindow(title);
          if (!question) return true;
          const auto frame = x_.geometry(*question);
          x_.click(frame.x + int(frame.width * fraction), frame.y + frame.height - 18);
          return XDriver::waitUntil([&] { return !x_.findWindow(title).has_value(); }, 3);
        },
        30);
  }

  /// Answers Don't Save (the first button) to the question that a quit asks about the document
  /// `name`; the application then ends, and ends well.
  void dontSaveAndExpectQuit(XDriver::Process& app, const std::string& name) {
    ASSERT_TRUE(x_.findWindow(closeQuestion(name), 30)) << logText();
    ASSERT_TRUE(clickQuestionButton(closeQuestion(name), 1.0 / 6));
    const auto status = app.wait(30);
    ASSERT_TRUE(status) << "the application did not quit";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
  }

  /// The lowest row of text in the SVG editor (the upper pane of the stacked layout) of `window`,
  /// from the window's top.
  int svgTextBottom(WindowID window) {
    const auto frame = x_.geometry(window);
    const auto picture = x_.grab(Rect{frame.x + 312, frame.y + 80, 700, 180});
    int bottom = -1;
    // A row of text has more pixels of ink than the caret across it. Any colour of text counts:
    // a line just typed shows black until the highlighter has coloured it (a comment turns grey),
    // which a busy machine does a good while later.
    for (int y = 0; y < picture.height; ++y) {
      int ink = 0;
      for (int column = 0; column < picture.width; ++column) ink += luminance(picture.at(column, y)) < 200 ? 1 : 0;
      if (ink >= 4) bottom = y;
    }
    return bottom < 0 ? -1 : 80 + bottom;
  }

  /// The addresses the desktop was asked to show, one a line.
  std::string shownURLs() const { return readFile(urls_); }
  bool urlShown(const std::string& url) {
    return XDriver::waitUntil([&] { return shownURLs().find(url + "\n") != std::string::npos; }, 20);
  }

  std::filesystem::path urls_;
  std::string log_;
};

}  // namespace AppCommandSupport
