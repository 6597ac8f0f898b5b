// The file panels and the quit questions of the real executable, driven through the X server:
// files chosen in the Open panel open, each window keeps its own Save panel (which goes with the
// window), and quitting asks about the windows that are open when each question comes, whatever
// closed or opened meanwhile; at the bound of windows in use the Open panel opens what fits and
// refuses the rest with one message; a window's saves while the question about a file another
// program changed shows (the quit's Save among them) wait for its one answer.
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "SVGQuarvel/App/AppDelegate.h"
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

  /// Presses `keys` in `window` until a window named `title` that was not there before shows (a
  /// window the program has just mapped may take the focus back from the one the keys are for;
  /// the wait before pressing again leaves room for a slow window, which must not come twice).
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
          15);
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

  /// Chooses every file of `folder` in the Open panel and opens them. The panel takes the typed
  /// folder at a Return once it has looked the name up (a Return that comes earlier closes the list
  /// of names it offers); then the folder's files show (the panel showed none before), a click on
  /// the first and Ctrl+A select both: two rows in the selection colour. Whether they were selected.
  bool chooseEveryFileIn(XDriver::WindowID panel, const std::filesystem::path& folder, const std::string& picture) {
    const auto before = programWindows();
    const auto frame = x_.geometry(panel);
    const XDriver::Rect list{frame.x + 150, frame.y + 70, 300, 120};
    const auto linesWhere = [&](const std::function<bool(std::uint32_t)>& matches) {
      const auto grabbed = x_.grab(list);
      int lines = 0;
      for (int y = 0; y < grabbed.height; ++y) {
        bool found = false;
        for (int x = 0; x < grabbed.width && !found; ++x) found = matches(grabbed.at(x, y));
        lines += found ? 1 : 0;
      }
      return lines;
    };
    const auto isText = [](std::uint32_t rgb) { return ((rgb >> 16) & 0xff) < 100 && ((rgb >> 8) & 0xff) < 100; };
    // The names the location field offers show in a window of their own over the list, and may
    // come only after the Return (a busy machine looks the name up late): the folder's files are
    // there once they show with no such window over them.
    const auto offersNames = [&] {
      for (const auto id : programWindows()) {
        if (std::find(before.begin(), before.end(), id) == before.end() && x_.geometry(id).width > 20) return true;
      }
      return false;
    };
    // Text where the list is may not be the list's: a panel that a busy program has mapped but not
    // drawn yet shows what lies under it (the editor of a window, or black) at first. The rows are
    // then clicked and selected in vain, since the folder has not opened: the folder is typed
    // again (a "/" opens the location field whatever the panel shows, and Return there opens the
    // folder anew, which is harmless when it is open already) until both rows are selected.
    bool selected = false;
    XDriver::waitUntil(
        [&] {
          typeLocation(panel, folder.string() + "/");
          // Return again goes to the location field, clicked first: the panel may have moved the
          // focus to its list of places meanwhile, where Return would open one of those (the field
          // reaches far to the right, where the folder's path shows once it is open).
          const bool listed = XDriver::waitUntil(
              [&] {
                if (XDriver::waitUntil([&] { return !offersNames() && linesWhere(isText) >= 12; }, 5)) return true;
                x_.focus(panel);
                x_.click(frame.x + 750, frame.y + 22);
                x_.key("End");
                x_.key("Return");
                return false;
              },
              90);
          if (!listed) return true;
          x_.click(frame.x + 300, frame.y + 80);  // the first file, below the path bar and the column heads
          // On a busy machine the list may not have the focus yet when the keys come: they come again.
          selected = XDriver::waitUntil(
              [&] {
                x_.key("ctrl+a");
                return XDriver::waitUntil([&] { return linesWhere(isSelection) >= 30; }, 5);
              },
              30);
          return selected;
        },
        180);
    x_.grabScreen().savePNG(outputFile(picture).string());
    if (!selected) return false;
    clickPanelButton(panel, acceptButton);
    return true;
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

  enum QuestionButton { dontSave, save };
  /// Clicks Don't Save (the leading button) or Save (the trailing one) of the question named
  /// `title` until it has gone (a click that comes before it takes input goes nowhere).
  bool answer(const std::string& title, QuestionButton button, const std::string& picture) {
    const auto question = x_.findWindow(title, 30);
    if (!question) return false;
    const auto frame = x_.geometry(*question);
    XDriver::waitUntil([&] { return inkIn(x_.grab(frame)) > 200u; }, 60);
    x_.grab(frame).savePNG(outputFile(picture).string());
    return XDriver::waitUntil(
        [&] {
          x_.focus(*question);
          x_.click(button == save ? frame.x + frame.width - 30 : frame.x + 30, frame.y + frame.height - 18);
          return XDriver::waitUntil([&] { return !x_.findWindow(title).has_value(); }, 3);
        },
        30);
  }

  /// Whether `window` shows, under whatever title.
  bool isShown(XDriver::WindowID window) const {
    const auto shown = x_.findWindows([](const std::string&) { return true; });
    return std::find(shown.begin(), shown.end(), window) != shown.end();
  }

  static std::string question(const std::string& name) {
    return "Do you want to save the changes made to the document \u201c" + name + "\u201d?";
  }

  std::string log_;
};

TEST_F(AppPanelTest, EachWindowKeepsItsOwnSavePanelAndAnotherPanelDropsNone) {
  auto app = start({}, "app-two-save-panels.log");
  const auto a = x_.findWindow("Untitled", 120);
  ASSERT_TRUE(a) << log();
  ASSERT_TRUE(typeInto(*a, "<!--aaa-->", "Untitled \u2014 Edited")) << log();
  const auto b = pressForNew(*a, "ctrl+n", "Untitled 2");
  ASSERT_TRUE(b) << log();
  ASSERT_TRUE(typeInto(*b, "<!--bbb-->", "Untitled 2 \u2014 Edited")) << log();

  const auto panelA = pressForNew(*a, "shift+ctrl+s", "Save");
  ASSERT_TRUE(panelA) << log();
  const auto panelB = pressForNew(*b, "shift+ctrl+s", "Save");
  ASSERT_TRUE(panelB) << log();
  // The Open panel comes and goes beside them.
  const auto open = pressForNew(*b, "ctrl+o", "Open");
  ASSERT_TRUE(open) << log();
  ASSERT_TRUE(XDriver::waitUntil(
      [&] {
        clickPanelButton(*open, cancelButton);
        return XDriver::waitUntil([&] { return !x_.findWindow("Open").has_value(); }, 2);
      },
      30));
  EXPECT_EQ(windowsTitled("Save").size(), 2u);

  // Closing A asks; its Save takes the panel A shows already, and A closes once that saved.
  ASSERT_TRUE(pressForNew(*a, "ctrl+w", question("Untitled"))) << log();
  ASSERT_TRUE(answer(question("Untitled"), save, "app-two-save-panels-question.png")) << log();
  EXPECT_EQ(windowsTitled("Save").size(), 2u);

  const auto savedA = folder_ / "a.svgquarvel";
  ASSERT_TRUE(chooseInSavePanel(savedA, false, *panelA)) << log();
  // A takes the file's name and goes in one turn of the application, but the two may reach the X
  // server apart: A is awaited until it has gone, whatever it is named meanwhile.
  EXPECT_TRUE(XDriver::waitUntil([&] { return !isShown(*a); }, 30))
      << "A stayed open after its save, named \"" << x_.title(*a) << "\"\n" << log();
  EXPECT_NE(readFile(savedA).find("<!--aaa-->"), std::string::npos) << readFile(savedA);

  const auto savedB = folder_ / "b.svgquarvel";
  ASSERT_TRUE(chooseInSavePanel(savedB, false, *panelB)) << log();
  ASSERT_TRUE(x_.findWindow("b.svgquarvel", 30)) << log();
  EXPECT_NE(readFile(savedB).find("<!--bbb-->"), std::string::npos) << readFile(savedB);

  // A window that closes takes its Save panel with it, while another window stays.
  const auto lastWindow = x_.findWindow("b.svgquarvel");
  ASSERT_TRUE(lastWindow);
  std::optional<XDriver::WindowID> other;
  XDriver::waitUntil(
      [&] {
        x_.focus(*lastWindow);
        x_.key("ctrl+n");
        other = x_.findWindowStartingWith("Untitled", 15);
        return other.has_value();
      },
      45);
  ASSERT_TRUE(other) << log();
  const auto otherTitle = x_.title(*other);
  // The new window takes the focus once the application gets to it, which on a busy machine may
  // be after the keys were sent to the window that closes: the panel is that window's only when
  // it says so. Another's is put away, and the keys sent again.
  std::optional<XDriver::WindowID> panelOfClosed;
  ASSERT_TRUE(XDriver::waitUntil(
      [&] {
        panelOfClosed = pressForNew(*lastWindow, "shift+ctrl+s", "Save");
        if (!panelOfClosed || x_.transientFor(*panelOfClosed) == *lastWindow) return panelOfClosed.has_value();
        XDriver::waitUntil(
            [&] {
              if (windowsTitled("Save").empty()) return true;
              clickPanelButton(*panelOfClosed, cancelButton);
              return XDriver::waitUntil([&] { return windowsTitled("Save").empty(); }, 10);
            },
            60);
        return false;
      },
      180))
      << log();
  ASSERT_TRUE(XDriver::waitUntil(
      [&] {
        if (!x_.findWindow("b.svgquarvel").has_value()) return true;
        x_.focus(*lastWindow);
        x_.key("ctrl+w");
        return XDriver::waitUntil([&] { return !x_.findWindow("b.svgquarvel").has_value(); }, 3);
      },
      30));
  EXPECT_TRUE(XDriver::waitUntil([&] { return windowsTitled("Save").empty(); }, 30)) << [&] {
    std::string left;
    for (const auto panel : windowsTitled("Save")) {
      const auto parent = x_.transientFor(panel);
      left += "a Save panel of \"" + (parent ? x_.title(*parent) : std::string("no window")) + "\" stayed\n";
    }
    x_.grabScreen().savePNG(outputFile("app-two-save-panels-left.png").string());
    return left + log();
  }();
  EXPECT_TRUE(app->running());
  // Closing the last window ends the program.
  ASSERT_TRUE(XDriver::waitUntil(
      [&] {
        if (!x_.findWindow(otherTitle).has_value()) return true;
        x_.focus(*other);
        x_.key("ctrl+w");
        return XDriver::waitUntil([&] { return !app->running(); }, 3);
      },
      30));
  const auto status = app->wait(60);
  ASSERT_TRUE(status) << "the program did not end with its last window";
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
}

/// A window with changes (A, untitled), one without (b.svgquarvel) and one with changes again
/// (c.svgquarvel), in this order; quitting starts, and A's question is answered with Save: the
/// Save panel shows (not modal, so the other windows still take input).
class AppQuitTest : public AppPanelTest {
 protected:
  void SetUp() override {
    AppPanelTest::SetUp();
    if (IsSkipped()) return;
    b_ = folder_ / "b.svgquarvel";
    c_ = folder_ / "c.svgquarvel";
    writeFile(b_, documentText(circle, "// b\n"));
    writeFile(c_, documentText(circle, "// c\n"));
    app_ = start({}, "app-quit-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".log");
    a_ = x_.findWindow("Untitled", 120).value_or(0);
    ASSERT_NE(a_, 0u) << log();
    ASSERT_TRUE(typeInto(a_, "<!--a-->", "Untitled \u2014 Edited")) << log();
    // The files open in the running application, after A.
    auto second = launch({QUARVEL_APP_EXECUTABLE, b_.string(), c_.string()}, "app-quit-second.log");
    ASSERT_TRUE(second->wait(60)) << readFile(outputFile("app-quit-second.log"));
    b_window_ = x_.findWindow("b.svgquarvel", 60).value_or(0);
    const auto c = x_.findWindow("c.svgquarvel", 60);
    ASSERT_NE(b_window_, 0u) << log();
    ASSERT_TRUE(c) << log();
    ASSERT_TRUE(typeInto(*c, "<!--c-->", "c.svgquarvel \u2014 Edited")) << log();

    ASSERT_TRUE(pressForNew(a_, "ctrl+q", question("Untitled"))) << log();
    ASSERT_TRUE(answer(question("Untitled"), save, "app-quit-first-question.png")) << log();
    savePanel_ = x_.findWindow("Save", 30).value_or(0);
    ASSERT_NE(savePanel_, 0u) << log();
  }

  std::filesystem::path b_, c_;
  std::unique_ptr<XDriver::Process> app_;
  XDriver::WindowID a_ = 0, b_window_ = 0, savePanel_ = 0;
};

TEST_F(AppQuitTest, AWindowClosedWhileTheSavePanelShowsIsSkippedAndTheNextIsAskedAbout) {
  // Pressed again only while the window is still there (a key that comes before the window takes
  // input goes nowhere).
  ASSERT_TRUE(XDriver::waitUntil(
      [&] {
        if (!x_.findWindow("b.svgquarvel").has_value()) return true;
        x_.focus(b_window_);
        x_.key("ctrl+w");
        return XDriver::waitUntil([&] { return !x_.findWindow("b.svgquarvel").has_value(); }, 3);
      },
      30));

  const auto a = folder_ / "a.svgquarvel";
  ASSERT_TRUE(chooseInSavePanel(a, false, savePanel_)) << log();
  // A is saved and closes; C is asked about next, and its Save saves it in place.
  ASSERT_TRUE(answer(question("c.svgquarvel"), save, "app-quit-after-closed.png")) << log();
  const auto status = app_->wait(60);
  ASSERT_TRUE(status) << "the application did not quit";
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status << log();
  EXPECT_NE(readFile(a).find("<!--a-->"), std::string::npos) << readFile(a);
  EXPECT_NE(readFile(c_).find("<!--c-->"), std::string::npos) << readFile(c_);
  EXPECT_EQ(readFile(b_), documentText(circle, "// b\n"));
}

TEST_F(AppQuitTest, ClosingAWindowAgainWhileItsSavePanelShowsAsksNoSecondQuestion) {
  // Close from the keyboard and from the window manager while A's Save panel shows: A was asked
  // about already, and the panel is the answer under way.
  x_.focus(a_);
  x_.key("ctrl+w");
  x_.requestClose(a_);
  const auto second = x_.findWindow(question("Untitled"), 10);
  if (second) x_.grab(x_.geometry(*second)).savePNG(outputFile("app-quit-second-question.png").string());
  EXPECT_FALSE(second.has_value()) << "A was asked about a second time";
  EXPECT_TRUE(x_.findWindow("Untitled \u2014 Edited").has_value());

  const auto a = folder_ / "a.svgquarvel";
  ASSERT_TRUE(chooseInSavePanel(a, false, savePanel_)) << log();
  ASSERT_TRUE(answer(question("c.svgquarvel"), dontSave, "app-quit-after-second-close.png")) << log();
  const auto status = app_->wait(60);
  ASSERT_TRUE(status) << "the application did not quit";
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status << log();
  EXPECT_NE(readFile(a).find("<!--a-->"), std::string::npos) << readFile(a);
  EXPECT_EQ(readFile(c_), documentText(circle, "// c\n"));
}

TEST_F(AppQuitTest, WindowsOpenedWhileTheSavePanelShowsAreAskedAboutBeforeQuitting) {
  // A new window, and a drawing that another launch hands over, both with changes.
  const auto added = pressForNew(b_window_, "ctrl+n", "Untitled 2");
  ASSERT_TRUE(added) << log();
  ASSERT_TRUE(typeInto(*added, "<!--new-->", "Untitled 2 \u2014 Edited")) << log();
  writeFile(folder_ / "d.svg", circle);
  auto third = launch({QUARVEL_APP_EXECUTABLE, (folder_ / "d.svg").string()}, "app-quit-third.log");
  ASSERT_TRUE(third->wait(60)) << readFile(outputFile("app-quit-third.log"));
  const auto drawing = x_.findWindow("Untitled 3", 60);
  ASSERT_TRUE(drawing) << log();
  ASSERT_TRUE(typeInto(*drawing, "<!--d-->", "Untitled 3 \u2014 Edited")) << log();

  ASSERT_TRUE(chooseInSavePanel(folder_ / "a.svgquarvel", false, savePanel_)) << log();
  ASSERT_TRUE(answer(question("c.svgquarvel"), dontSave, "app-quit-c-question.png")) << log();
  ASSERT_TRUE(answer(question("Untitled 2"), dontSave, "app-quit-new-question.png")) << log();
  // The drawing's question is cancelled: the application stays, with that window.
  const auto last = x_.findWindow(question("Untitled 3"), 30);
  ASSERT_TRUE(last) << log();
  x_.focus(*last);
  x_.key("Escape");
  ASSERT_TRUE(XDriver::waitUntil([&] { return !x_.findWindow(question("Untitled 3")).has_value(); }, 30));
  EXPECT_TRUE(x_.findWindow("Untitled 3 \u2014 Edited", 10).has_value());
  EXPECT_FALSE(x_.findWindow("Untitled 2 \u2014 Edited").has_value());
  EXPECT_TRUE(app_->running());
  EXPECT_NE(readFile(folder_ / "a.svgquarvel").find("<!--a-->"), std::string::npos);
  EXPECT_EQ(readFile(c_), documentText(circle, "// c\n"));
}

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
  ASSERT_TRUE(chooseEveryFileIn(*panel, both, "app-open-panel-both.png"));
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

TEST_F(AppPanelTest, AtOneWindowBelowTheBoundTheOpenPanelOpensOneOfTwoDrawingsAndRefusesTheOther) {
  const auto pair = folder_ / "pair";
  std::filesystem::create_directories(pair);
  writeFile(pair / "teal.svg", circle);
  writeFile(pair / "orange.svg", orange);
  auto app = start({}, "app-open-panel-bound.log");
  const auto window = x_.findWindow("Untitled", 120);
  ASSERT_TRUE(window) << log();

  // Thirty more windows over the bus, as a program on the session would open them: 31 in use.
  const int bound = int(AppDelegate::maximumWindowsPerRequest);
  GDBusConnection* bus = connectToBus(bus_->address());
  ASSERT_NE(bus, nullptr);
  for (int index = 0; index < bound - 2; ++index) {
    g_dbus_connection_call(bus, "org.quarvel.SVGQuarvel", "/org/quarvel/SVGQuarvel", "org.gtk.Actions", "Activate",
                           g_variant_new("(sava{sv})", "new", nullptr, nullptr), nullptr, G_DBUS_CALL_FLAGS_NONE, -1,
                           nullptr, nullptr, nullptr);
  }
  const auto untitled = [&] {
    return int(x_.findWindows([](const std::string& title) { return title.rfind("Untitled", 0) == 0; }).size());
  };
  const bool opened = XDriver::waitUntil([&] { return untitled() == bound - 1; }, 300);
  g_dbus_connection_close_sync(bus, nullptr, nullptr);
  g_object_unref(bus);
  ASSERT_TRUE(opened) << untitled() << "\n" << log().substr(0, 4000);

  // Both drawings chosen at once: the one that fits opens, the other is refused with one message
  // that names it and says why.
  const auto panel = pressForNew(*window, "ctrl+o", "Open");
  ASSERT_TRUE(panel) << log();
  ASSERT_TRUE(chooseEveryFileIn(*panel, pair, "app-open-panel-bound-chosen.png")) << log();
  const auto refusal = x_.findWindow("The file could not be opened.", 60);
  ASSERT_TRUE(refusal) << log().substr(0, 4000);
  EXPECT_TRUE(XDriver::waitUntil([&] { return untitled() == bound; }, 120)) << untitled();
  expectShownWithText(*refusal, "app-open-panel-bound-refused.png");
  const std::string why = "ERROR: The file could not be opened. 1 more file was not opened: the application has 32 "
                          "windows open, as many as it opens at a time; close one of them first. Not opened: ";
  EXPECT_TRUE(log().find(why + "\u201cteal.svg\u201d.") != std::string::npos ||
              log().find(why + "\u201corange.svg\u201d.") != std::string::npos)
      << log().substr(0, 4000);
  // The one new window is one of the two drawings, converted.
  const auto added = x_.findWindow("Untitled " + std::to_string(bound), 10);
  ASSERT_TRUE(added);
  EXPECT_TRUE(XDriver::waitUntil(
      [&] {
        const auto picture = x_.grab(x_.geometry(*added));
        return picture.countWhere(isTeal) > 50u || picture.countWhere(isOrange) > 50u;
      },
      60));
  x_.grab(x_.geometry(*added)).savePNG(outputFile("app-open-panel-bound-opened.png").string());
  EXPECT_EQ(untitled(), bound);
  EXPECT_EQ(windowsTitled("The file could not be opened.").size(), 1u);
  EXPECT_TRUE(windowsTitled(AppDelegate::noNewWindowHeading).empty());
  EXPECT_TRUE(windowsTitled("Some files could not be opened.").empty());
  EXPECT_TRUE(app->running());
}

/// The document doc.svgquarvel, opened and edited; another program then puts its version in place,
/// and Ctrl+S asks whether to overwrite it.
class AppChangedFileTest : public AppPanelTest {
 protected:
  void SetUp() override {
    AppPanelTest::SetUp();
    if (IsSkipped()) return;
    document_ = folder_ / "doc.svgquarvel";
    writeFile(document_, documentText(circle, "// first\n"));
    makeOld(document_);
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    app_ = start({document_.string()}, "app-changed-" + name + ".log");
    window_ = x_.findWindow("doc.svgquarvel", 120).value_or(0);
    ASSERT_NE(window_, 0u) << log();
    ASSERT_TRUE(typeInto(window_, "<!--mine-->", "doc.svgquarvel \u2014 Edited")) << log();
    replaceAsAnotherProgram(document_, theirs_);
    ASSERT_TRUE(saveAndWaitFor(window_, heading_)) << log();
  }

  /// How many times the question was put (each is logged when it first shows).
  std::size_t timesAsked() const {
    const auto text = log();
    std::size_t count = 0;
    for (auto at = text.find(heading_); at != std::string::npos; at = text.find(heading_, at + 1)) ++count;
    return count;
  }

  /// Quits with Ctrl+Q, and answers the question about the edited window with Save: the save
  /// joins the question about the changed file, which stays, alone, with nothing written.
  void quitAndSave() {
    // The question takes the keys while it shows.
    const auto shownFirst = x_.findWindow(heading_, 10);
    ASSERT_TRUE(shownFirst) << log();
    ASSERT_TRUE(pressForNew(*shownFirst, "ctrl+q", question("doc.svgquarvel"))) << log();
    ASSERT_TRUE(answer(question("doc.svgquarvel"), save, "app-changed-quit-question.png")) << log();
    const auto shown = x_.findWindow(heading_, 10);
    ASSERT_TRUE(shown) << log();
    expectShownWithText(*shown, "app-changed-joined.png");
    EXPECT_EQ(windowsTitled(heading_).size(), 1u);
    EXPECT_EQ(timesAsked(), 1u) << log();
    EXPECT_EQ(readFile(document_), theirs_);
    EXPECT_TRUE(app_->running());
  }

  std::filesystem::path document_;
  const std::string theirs_ = documentText(circle, "// theirs\n");
  const std::string heading_ = "The file \u201cdoc.svgquarvel\u201d has been changed by another application.";
  std::unique_ptr<XDriver::Process> app_;
  XDriver::WindowID window_ = 0;
};

TEST_F(AppChangedFileTest, OverwriteAnswersTheQuitsSaveTooAndTheApplicationEnds) {
  quitAndSave();
  if (HasFatalFailure()) return;
  // Overwrite (the trailing button): the window's version is written, the window closes with
  // it and the quit goes on to its end.
  ASSERT_TRUE(answer(heading_, save, "app-changed-overwrite.png")) << log();
  const auto status = app_->wait(60);
  ASSERT_TRUE(status) << "the application did not quit\n" << log();
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status << log();
  EXPECT_NE(readFile(document_).find("<!--mine-->"), std::string::npos) << readFile(document_);
  EXPECT_EQ(hiddenFiles(folder_), std::vector<std::string>{});
}

TEST_F(AppChangedFileTest, KeepingTheOtherVersionCancelsTheQuitWhichAsksAgainLater) {
  quitAndSave();
  if (HasFatalFailure()) return;
  // Keep Other Version (the leading button): nothing written, the window stays edited.
  ASSERT_TRUE(answer(heading_, dontSave, "app-changed-kept.png")) << log();
  EXPECT_TRUE(x_.findWindow("doc.svgquarvel \u2014 Edited", 10).has_value()) << log();
  EXPECT_EQ(readFile(document_), theirs_);
  EXPECT_TRUE(app_->running());
  EXPECT_FALSE(x_.findWindow(question("doc.svgquarvel"), 2).has_value());

  // The quit ended there: a second one asks again, and Don't Save ends the application.
  ASSERT_TRUE(pressForNew(window_, "ctrl+q", question("doc.svgquarvel"))) << log();
  ASSERT_TRUE(answer(question("doc.svgquarvel"), dontSave, "app-changed-quit-again.png")) << log();
  const auto status = app_->wait(60);
  ASSERT_TRUE(status) << "the application did not quit\n" << log();
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status << log();
  EXPECT_EQ(readFile(document_), theirs_);
  EXPECT_EQ(timesAsked(), 1u);
}

}  // namespace
