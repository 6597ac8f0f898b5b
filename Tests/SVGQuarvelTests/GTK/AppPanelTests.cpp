// The file panels and the quit questions of the real executable, driven through the X server:
// files chosen in the Open panel open, each window keeps its own Save panel, and quitting asks
// about the windows that are open when each question comes, whatever closed or opened meanwhile.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "SVGQuarvel/Model/SVGQuarvelDocument.h"
#include "SVGQuarvelTests/GTK/AppProcessSupport.h"
#include "SVGQuarvelTests/QuarvelTestSupport.h"

using namespace QuarvelTestSupport;
using namespace AppProcessSupport;

namespace {

const std::string orange =
    "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 40 40\"><rect x=\"5\" y=\"5\" width=\"30\" "
    "height=\"30\" fill=\"#ff8000\"/></svg>\n";

std::string documentText(const std::string& svg, const std::string& swift) {
  return SVGQuarvelDocument::Snapshot{svg, swift, std::nullopt}.jsonString();
}

bool isTeal(std::uint32_t rgb) { return rgb == 0x008080; }
bool isOrange(std::uint32_t rgb) { return rgb == 0xff8000; }
/// The theme's selection colour (a saturated blue).
bool isSelection(std::uint32_t rgb) {
  const int r = int((rgb >> 16) & 0xff), g = int((rgb >> 8) & 0xff), b = int(rgb & 0xff);
  return b > 150 && b - r > 80 && b - g > 30;
}

class AppPanelTest : public AppProcessTest {
 protected:
  std::string log() const { return readFile(outputFile(log_)); }

  std::unique_ptr<XDriver::Process> start(const std::vector<std::string>& files, const std::string& logName) {
    log_ = logName;
    std::vector<std::string> argv{QUARVEL_APP_EXECUTABLE};
    argv.insert(argv.end(), files.begin(), files.end());
    return launch(argv, logName);
  }

  /// Types `text` at the end of the SVG editor (the upper pane).
  void typeInto(XDriver::WindowID window, const std::string& text) {
    const auto frame = x_.geometry(window);
    x_.focus(window);
    x_.click(frame.x + frame.width / 2, frame.y + int(frame.height * 0.3));
    x_.key("ctrl+End");
    x_.type(text);
  }

  /// The windows titled `title`.
  std::vector<XDriver::WindowID> windowsTitled(const std::string& title) const {
    return x_.findWindows([&](const std::string& shown) { return shown == title; });
  }

  /// Presses `keys` in `window` until a window named `title` that was not there before shows.
  std::optional<XDriver::WindowID> pressForNew(XDriver::WindowID window, const std::string& keys,
                                               const std::string& title) {
    const auto before = windowsTitled(title);
    for (int attempt = 0; attempt < 3; ++attempt) {
      x_.focus(window);
      x_.key(keys);
      std::optional<XDriver::WindowID> found;
      XDriver::waitUntil(
          [&] {
            for (const auto id : windowsTitled(title)) {
              if (std::find(before.begin(), before.end(), id) == before.end()) found = id;
            }
            return found.has_value();
          },
          5);
      if (found) return found;
    }
    return std::nullopt;
  }

  /// Types `path` into the location field of a file panel (a "/" opens it) and presses Return.
  void typeLocation(XDriver::WindowID panel, const std::string& path) {
    x_.focus(panel);
    x_.type(path.substr(0, 1));
    x_.key("ctrl+a");
    x_.type(path);
    x_.key("Return");
  }

  /// Chooses the file at `path` in the Open panel: the panel takes Return only once it has looked
  /// the name up, so Return is pressed again until the panel has gone.
  bool chooseInOpenPanel(XDriver::WindowID panel, const std::string& path, const std::string& picture) {
    typeLocation(panel, path);
    x_.grabScreen().savePNG(outputFile(picture).string());
    return XDriver::waitUntil(
        [&] {
          if (XDriver::waitUntil([&] { return !x_.findWindow("Open").has_value(); }, 1)) return true;
          x_.focus(panel);
          x_.key("Return");
          return false;
        },
        30);
  }

  enum PanelButton { cancelButton, acceptButton };
  /// Clicks Cancel or the panel's own button (Open, Save) at the bottom right of a file panel.
  void clickPanelButton(XDriver::WindowID panel, PanelButton button) {
    const auto frame = x_.geometry(panel);
    x_.click(frame.x + frame.width - (button == cancelButton ? 115 : 35), frame.y + frame.height - 23);
  }

  /// Waits until the window named `title` shows pixels for which `matches` holds; keeps its picture.
  bool shows(const std::string& title, const std::function<bool(std::uint32_t)>& matches,
             const std::string& picture) {
    const auto window = x_.findWindow(title, 60);
    if (!window) return false;
    const bool found = XDriver::waitUntil(
        [&] {
          x_.focus(*window);
          return x_.grab(x_.geometry(*window)).countWhere(matches) > 50u;
        },
        60);
    x_.grab(x_.geometry(*window)).savePNG(outputFile(picture).string());
    return found;
  }

  std::string log_;
};

TEST_F(AppPanelTest, TheOpenPanelOpensTheChosenDrawingsAndDocumentsAndCancelOpensNothing) {
  const auto one = folder_ / "one";
  const auto both = folder_ / "both";
  std::filesystem::create_directories(one);
  std::filesystem::create_directories(both);
  writeFile(one / "teal.svg", circle);
  writeFile(one / "doc.svgquarvel", documentText(orange, "// from the panel\n"));
  writeFile(both / "pair.svg", orange);
  writeFile(both / "pair.svgquarvel", documentText(circle, "// the pair\n"));

  auto app = start({}, "app-open-panel.log");
  const auto window = x_.findWindow("Untitled", 120);
  ASSERT_TRUE(window) << log();

  // Cancel opens nothing.
  auto panel = pressForNew(*window, "ctrl+o", "Open");
  ASSERT_TRUE(panel) << log();
  x_.grab(x_.geometry(*panel)).savePNG(outputFile("app-open-panel.png").string());
  ASSERT_TRUE(XDriver::waitUntil(
      [&] {
        clickPanelButton(*panel, cancelButton);
        return XDriver::waitUntil([&] { return !x_.findWindow("Open").has_value(); }, 2);
      },
      30));

  // A drawing and a document at once: the folder, then every file in it, then Open.
  panel = pressForNew(*window, "ctrl+o", "Open");
  ASSERT_TRUE(panel) << log();
  // The panel takes the typed folder at a Return once it has looked the name up (a Return that
  // comes earlier closes the list of names it offers); then the folder's files show (the panel
  // showed none before), a click on the first and Ctrl+A select both: two rows in the selection
  // colour.
  typeLocation(*panel, both.string() + "/");
  const auto frame = x_.geometry(*panel);
  const XDriver::Rect list{frame.x + 150, frame.y + 70, 300, 120};
  const auto linesWhere = [&](const std::function<bool(std::uint32_t)>& matches) {
    const auto picture = x_.grab(list);
    int lines = 0;
    for (int y = 0; y < picture.height; ++y) {
      bool found = false;
      for (int x = 0; x < picture.width && !found; ++x) found = matches(picture.at(x, y));
      lines += found ? 1 : 0;
    }
    return lines;
  };
  const auto isText = [](std::uint32_t rgb) { return ((rgb >> 16) & 0xff) < 100 && ((rgb >> 8) & 0xff) < 100; };
  ASSERT_TRUE(XDriver::waitUntil(
      [&] {
        if (XDriver::waitUntil([&] { return linesWhere(isText) >= 12; }, 2)) return true;
        x_.focus(*panel);
        x_.key("Return");
        return false;
      },
      60));
  x_.click(frame.x + 300, frame.y + 80);  // the first file, below the path bar and the column heads
  x_.key("ctrl+a");
  const bool selected = XDriver::waitUntil([&] { return linesWhere(isSelection) >= 30; }, 10);
  x_.grabScreen().savePNG(outputFile("app-open-panel-both.png").string());
  ASSERT_TRUE(selected);
  clickPanelButton(*panel, acceptButton);
  ASSERT_TRUE(shows("pair.svgquarvel", isTeal, "app-open-panel-pair-document.png")) << log();
  ASSERT_TRUE(shows("Untitled 2", isOrange, "app-open-panel-pair-drawing.png")) << log();

  // One drawing: a new document converted from it.
  panel = pressForNew(*window, "ctrl+o", "Open");
  ASSERT_TRUE(panel) << log();
  ASSERT_TRUE(chooseInOpenPanel(*panel, (one / "teal.svg").string(), "app-open-panel-drawing-typed.png"));
  ASSERT_TRUE(shows("Untitled 3", isTeal, "app-open-panel-drawing.png")) << log();

  // One document, which opens as itself.
  panel = pressForNew(*window, "ctrl+o", "Open");
  ASSERT_TRUE(panel) << log();
  ASSERT_TRUE(chooseInOpenPanel(*panel, (one / "doc.svgquarvel").string(), "app-open-panel-document-typed.png"));
  ASSERT_TRUE(shows("doc.svgquarvel", isOrange, "app-open-panel-document.png")) << log();
  // Nothing else opened: no window more than these five.
  EXPECT_EQ(windowsTitled("Untitled 4"), std::vector<XDriver::WindowID>{});
  EXPECT_EQ(windowsTitled("teal.svg"), std::vector<XDriver::WindowID>{});
  EXPECT_TRUE(app->running());
}

}  // namespace
