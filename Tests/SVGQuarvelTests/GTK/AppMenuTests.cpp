// Every item of every menu of the menu bar chosen with a click of the mouse, in one running
// application, and then the keyboard: what the item does shows, no menu stays open, and the keys
// typed next reach the editor that had them (or the panel the item opened, and the editor again
// once the panel is cancelled with keys). Some are chosen while the application is stopped, as a
// busy machine would leave it: the keys typed at once then come to it after the click.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "SVGQuarvel/App/About.h"
#include "SVGQuarvel/App/ExampleSVGs.h"
#include "SVGQuarvel/Model/SVGQuarvelDocument.h"
#include "SVGQuarvelTests/GTK/AppCommandSupport.h"

using namespace QuarvelTestSupport;
using namespace AppProcessSupport;
using namespace AppCommandSupport;

namespace {

class AppMenuTest : public AppCommandTest {
 protected:
  /// The menus that show: the program's windows without a title of their own, other than the
  /// toolkit's windows of a pixel.
  std::vector<WindowID> menusShown() const {
    std::vector<WindowID> menus;
    for (const auto id : programWindows()) {
      if (x_.geometry(id).width > 20) menus.push_back(id);
    }
    return menus;
  }

  /// The rows of `menu` once it shows all `count` of them where they stay (a menu just mapped may
  /// not have drawn or been laid out yet: the rows of what lies under it do not count).
  std::vector<int> settledRows(WindowID menu, std::size_t count) {
    std::vector<int> rows;
    XDriver::waitUntil(
        [&] {
          const auto earlier = rows;
          rows = menuDrawn(menu) ? menuRows(menu) : std::vector<int>{};
          return rows.size() == count && rows == earlier;
        },
        60);
    return rows;
  }

  /// Chooses item `row` of `menu` (`rows` items) of `window` with a click; with `subRow`, item
  /// `subRow` of the `subRows` of the menu that item opens. Then no menu may show.
  void chooseItem(WindowID window, Menu menu, std::size_t rows, std::size_t row, const std::string& name,
                  std::optional<std::size_t> subRow = std::nullopt, std::size_t subRows = 0) {
    const std::string picture = "app-menu-" + name;
    const auto frame = x_.geometry(window);
    const auto opened = clickForMenu(window, frame.x + int(menu), frame.y + 62, menusShown());
    if (!opened) x_.grabScreen().savePNG(outputFile(picture + "-no-menu.png").string());
    ASSERT_TRUE(opened) << name << ": the menu did not open";
    const auto shown = settledRows(*opened, rows);
    if (shown.size() != rows) x_.grabScreen().savePNG(outputFile(picture + "-rows.png").string());
    ASSERT_EQ(shown.size(), rows) << name;
    lastMenu_ = *opened;
    const auto menuFrame = x_.geometry(*opened);
    auto chosenFrom = *opened;
    int x = menuFrame.x + menuFrame.width / 2, y = shown[row];
    if (subRow) {
      const auto submenu = clickForMenu(std::nullopt, x, y, menusShown(), 30);
      if (!submenu) x_.grabScreen().savePNG(outputFile(picture + "-no-submenu.png").string());
      ASSERT_TRUE(submenu) << name << ": the submenu did not open";
      const auto subShown = settledRows(*submenu, subRows);
      if (subShown.size() != subRows) x_.grabScreen().savePNG(outputFile(picture + "-subrows.png").string());
      ASSERT_EQ(subShown.size(), subRows) << name;
      const auto subFrame = x_.geometry(*submenu);
      chosenFrom = *submenu;
      x = subFrame.x + subFrame.width / 2;
      y = subShown[*subRow];
    }
    // Clicked again while the menu the item is in still shows, as a person would: a menu just shown
    // on a busy machine may miss the first click (the release chooses the item only once the menu
    // has had the press). Any other menu that shows stays open: that is the fault looked for.
    bool closed = false;
    XDriver::waitUntil(
        [&] {
          const auto menus = menusShown();
          if (menus.empty()) return closed = true;
          if (std::find(menus.begin(), menus.end(), chosenFrom) == menus.end()) return true;
          x_.click(x, y);
          return closed = XDriver::waitUntil([&] { return menusShown().empty(); }, 15);
        },
        60);
    if (!closed) x_.grabScreen().savePNG(outputFile(picture + "-menu-left-open.png").string());
    ASSERT_TRUE(closed) << name << ": a menu stayed open after its item was chosen";
  }

  /// The application stopped (SIGSTOP) until the value goes: the input sent meanwhile waits for it,
  /// as for an application busy with something else.
  struct Stopped {
    explicit Stopped(int pid) : pid_(pid) { ::kill(pid_, SIGSTOP); }
    ~Stopped() { ::kill(pid_, SIGCONT); }
    Stopped(const Stopped&) = delete;
    Stopped& operator=(const Stopped&) = delete;
    int pid_;
  };

  /// Chooses item `row` of `menu` (`rows` items) of `window` with a click while the application is
  /// stopped, and types `text` before it goes on: the keys come to it right after the click. Again
  /// should the menu still show (a menu just shown may miss a click, and takes no typed letters).
  void chooseItemStopped(XDriver::Process& app, WindowID window, Menu menu, std::size_t rows, std::size_t row,
                         const std::string& name, const std::string& text) {
    const auto frame = x_.geometry(window);
    const auto opened = clickForMenu(window, frame.x + int(menu), frame.y + 62, menusShown());
    ASSERT_TRUE(opened) << name << ": the menu did not open";
    const auto shown = settledRows(*opened, rows);
    ASSERT_EQ(shown.size(), rows) << name;
    const auto menuFrame = x_.geometry(*opened);
    bool closed = false;
    for (int attempt = 0; attempt < 5 && !closed; ++attempt) {
      {
        Stopped stopped(app.pid());
        x_.click(menuFrame.x + menuFrame.width / 2, shown[row]);
        x_.type(text);
      }
      closed = XDriver::waitUntil([&] { return menusShown().empty(); }, 15);
    }
    if (!closed) x_.grabScreen().savePNG(outputFile("app-menu-" + name + "-menu-left-open.png").string());
    ASSERT_TRUE(closed) << name << ": a menu stayed open after its item was chosen";
  }

  /// Whether `menu` is the one menu that shows, and stays so (as the eye sees it, 20 looks in a row).
  bool onlyMenuStays(WindowID menu) {
    int looks = 0;
    return XDriver::waitUntil(
        [&] {
          const auto menus = menusShown();
          looks = menus.size() == 1 && menus.front() == menu ? looks + 1 : 0;
          return looks >= 20;
        },
        30);
  }

  /// Types a line of its own (an XML comment, whose end the editor adds) at the end of the editor
  /// that has the keyboard (`atEnd`; else where its caret is), and sees that it arrived there.
  bool typeLine(bool atEnd = true) {
    const std::string line = "\n<!--" + std::to_string(++lines_) + "--";
    if (atEnd) x_.key("ctrl+End");
    x_.type(line);
    const bool arrived = typedTextArrived(line);
    if (!arrived) x_.grabScreen().savePNG(outputFile("app-menu-line-" + std::to_string(lines_) + ".png").string());
    return arrived;
  }

  /// The whole text of the editor that has the keyboard, taken through the clipboard, once it is
  /// `expected` (or the wait is over); the caret is left at its end.
  std::optional<std::string> editorText(const std::string& expected) {
    std::optional<std::string> text;
    XDriver::waitUntil(
        [&] {
          x_.key("ctrl+a");
          x_.key("ctrl+c");
          return XDriver::waitUntil([&] { return (text = x_.clipboardText(1)) == expected; }, 3);
        },
        30);
    x_.key("ctrl+End");
    return text;
  }

  /// Waits for `window` to take the keyboard.
  bool hasKeyboard(WindowID window) {
    return XDriver::waitUntil([&] { return x_.inputFocus() == window; }, 30);
  }

  /// Whether the panel or dialog `window` takes typed text: typed into the field that has the
  /// keyboard (again once the first key has brought a search field up), it comes back through the
  /// clipboard.
  bool takesTyping(WindowID window) {
    const bool typed = XDriver::waitUntil(
        [&] {
          x_.key("ctrl+a");
          x_.type("zq");
          x_.key("ctrl+a");
          x_.key("ctrl+c");
          return XDriver::waitUntil([&] { return x_.clipboardText(1) == "zq"; }, 3);
        },
        30);
    if (!typed) x_.grabScreen().savePNG(outputFile("app-menu-typing-" + x_.title(window) + ".png").string());
    return typed;
  }

  /// Presses Escape in the window named `title` until it has gone.
  bool cancelWithKeys(const std::string& title) {
    return XDriver::waitUntil(
        [&] {
          const auto shown = x_.findWindow(title);
          if (!shown) return true;
          x_.focus(*shown);
          x_.key("Escape");
          return XDriver::waitUntil([&] { return !x_.findWindow(title).has_value(); }, 2);
        },
        60);
  }

  /// The lowest row of text of the SVG editor of `window` once it stays (the editor lays out its
  /// text anew after a change of size).
  int settledSVGTextBottom(WindowID window) {
    int last = -2;
    XDriver::waitUntil(
        [&] {
          const int now = svgTextBottom(window);
          const bool same = now == last;
          last = now;
          return same;
        },
        10);
    return last;
  }

  int lines_ = 0;
  WindowID lastMenu_ = 0;  // the menu the last item was chosen from
};

TEST_F(AppMenuTest, EveryItemChosenWithTheMouseLeavesTheKeyboardWithTheEditorOrThePanelItOpened) {
  // A document in the recent files: opened by the launch, closed again below.
  const auto document = folder_ / "menus.svgquarvel";
  writeFile(document, documentText("// menus\n"));
  const std::string documentName = "menus.svgquarvel";
  log_ = "app-menu.log";
  auto app = launch({QUARVEL_APP_EXECUTABLE, document.string()}, log_);
  const auto opened = x_.findWindow(documentName, 120);
  ASSERT_TRUE(opened) << logText();
  ASSERT_TRUE(XDriver::waitUntil(
      [&] { return readFile(folder_ / "data" / "recently-used.xbel").find("file://" + document.string()) != std::string::npos; },
      30));

  // File ▸ New: a window of its own, which has the keyboard in its SVG editor: typed text goes
  // there without a click. The document's window goes (closed with its keys).
  ASSERT_NO_FATAL_FAILURE(chooseItem(*opened, Menu::file, 7, 0, "new"));
  const auto window = x_.findWindow("Untitled", 60);
  ASSERT_TRUE(window) << logText();
  EXPECT_TRUE(hasKeyboard(*window));
  ASSERT_TRUE(typeLine()) << "in the new window";
  x_.focus(*opened);
  x_.key("ctrl+w");
  ASSERT_TRUE(XDriver::waitUntil([&] { return !x_.findWindow(documentName).has_value(); }, 30));
  x_.focus(*window);  // as a window manager gives the keyboard to the window left
  // The editor does not take the focus on its own: typed text reaching it shows that it kept it.

  // Format ▸ Font ▸ Bigger and Smaller change the editors' text size, Show Fonts shows the font
  // panel, which Escape puts away.
  const int normal = settledSVGTextBottom(*window);
  ASSERT_GT(normal, 100);
  ASSERT_NO_FATAL_FAILURE(chooseItem(*window, Menu::format, 1, 0, "bigger", 1, 3));
  EXPECT_TRUE(XDriver::waitUntil([&] { return svgTextBottom(*window) > normal + 4; }, 30)) << "Bigger";
  ASSERT_TRUE(typeLine()) << "after Format > Font > Bigger";
  int before = settledSVGTextBottom(*window);
  ASSERT_NO_FATAL_FAILURE(chooseItem(*window, Menu::format, 1, 0, "smaller", 2, 3));
  EXPECT_TRUE(XDriver::waitUntil([&] { return svgTextBottom(*window) < before - 4; }, 30)) << "Smaller";
  ASSERT_TRUE(typeLine()) << "after Format > Font > Smaller";
  before = settledSVGTextBottom(*window);
  ASSERT_NO_FATAL_FAILURE(chooseItem(*window, Menu::format, 1, 0, "show-fonts", 0, 3));
  const auto fonts = x_.findWindow("Fonts", 30);
  ASSERT_TRUE(fonts) << logText();
  // Shown without asking for the keyboard: it has it once a window manager gives it, as to any
  // new window.
  x_.focus(*fonts);
  EXPECT_TRUE(takesTyping(*fonts)) << "the font panel";
  ASSERT_TRUE(cancelWithKeys("Fonts"));
  EXPECT_EQ(settledSVGTextBottom(*window), before) << "the cancelled font panel changed the text size";
  x_.focus(*window);
  ASSERT_TRUE(typeLine()) << "after the font panel";

  // File ▸ Open… and Save As… show their panels, which take the keyboard; cancelled, they leave
  // everything as it was.
  ASSERT_NO_FATAL_FAILURE(chooseItem(*window, Menu::file, 7, 1, "open"));
  const auto openPanel = x_.findWindow("Open", 30);
  ASSERT_TRUE(openPanel) << logText();
  EXPECT_TRUE(hasKeyboard(*openPanel));
  EXPECT_TRUE(takesTyping(*openPanel)) << "the Open panel";
  ASSERT_TRUE(cancelWithKeys("Open"));
  x_.focus(*window);
  ASSERT_TRUE(typeLine()) << "after the Open panel";
  const auto filesBefore = std::distance(std::filesystem::directory_iterator(folder_), {});
  ASSERT_NO_FATAL_FAILURE(chooseItem(*window, Menu::file, 7, 4, "save-as"));
  const auto savePanel = x_.findWindow("Save", 30);
  ASSERT_TRUE(savePanel) << logText();
  EXPECT_TRUE(hasKeyboard(*savePanel));
  EXPECT_TRUE(takesTyping(*savePanel)) << "the Save panel";
  ASSERT_TRUE(cancelWithKeys("Save"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), {}), filesBefore);
  x_.focus(*window);
  ASSERT_TRUE(typeLine()) << "after the Save panel";
  EXPECT_EQ(x_.title(*window), "Untitled \u2014 Edited");

  // File ▸ Open Recent opens the document again, in a window that has the keyboard; File ▸ Save
  // writes its edit, File ▸ Close closes it.
  ASSERT_NO_FATAL_FAILURE(chooseItem(*window, Menu::file, 7, 2, "open-recent", 0, 1));
  const auto reopened = x_.findWindow(documentName, 60);
  ASSERT_TRUE(reopened) << logText();
  EXPECT_TRUE(hasKeyboard(*reopened));
  ASSERT_TRUE(typeInto(*reopened, "<!--saved--", documentName + " \u2014 Edited"));
  ASSERT_NO_FATAL_FAILURE(chooseItem(*reopened, Menu::file, 7, 3, "save"));
  EXPECT_TRUE(XDriver::waitUntil([&] { return x_.title(*reopened) == documentName; }, 30)) << x_.title(*reopened);
  EXPECT_NE(SVGQuarvelDocument::Snapshot::fromJSONString(readFile(document)).svg.find("<!--saved-->"), std::string::npos);
  ASSERT_TRUE(typeLine()) << "after File > Save";
  EXPECT_TRUE(XDriver::waitUntil([&] { return x_.title(*reopened) == documentName + " \u2014 Edited"; }, 30));
  x_.key("ctrl+s");
  ASSERT_TRUE(XDriver::waitUntil([&] { return x_.title(*reopened) == documentName; }, 30)) << x_.title(*reopened);
  ASSERT_NO_FATAL_FAILURE(chooseItem(*reopened, Menu::file, 7, 5, "close"));
  EXPECT_TRUE(XDriver::waitUntil([&] { return !x_.findWindow(documentName).has_value(); }, 30));
  x_.focus(*window);
  ASSERT_TRUE(typeLine()) << "after File > Close";

  // View ▸ Toggle Sidebar hides the sidebar (and its preview) and shows it again; View ▸ Toggle
  // Editor Layout puts the editors side by side (the Swift then shows at the top right) and back.
  const auto sidebarShown = [&] { return previewPixels(*window, gold) > 20000; };
  const auto frame = x_.geometry(*window);
  const auto topRightInk = [&] {
    return x_.grab(Rect{frame.x + 780, frame.y + 80, 300, 170}).countWhere([](std::uint32_t rgb) {
      return luminance(rgb) < 160;
    });
  };
  ASSERT_TRUE(XDriver::waitUntil(sidebarShown, 30));
  ASSERT_NO_FATAL_FAILURE(chooseItem(*window, Menu::view, 2, 0, "sidebar"));
  EXPECT_TRUE(XDriver::waitUntil([&] { return !sidebarShown(); }, 30)) << "Toggle Sidebar";
  ASSERT_TRUE(typeLine()) << "after View > Toggle Sidebar";
  // Chosen again with the keys (F10 opens the first menu; View is the third), the pointer resting
  // on the item where the menus open, and the keys typed while the application is stopped: each
  // menu comes under the pointer once the keys have moved on from it. The View menu stays, and
  // Return chooses its item.
  const auto viewMenu = lastMenu_;
  {
    Stopped stopped(app->pid());
    x_.key("F10");
    x_.key("Right");
    x_.key("Right");
  }
  const bool viewStays = onlyMenuStays(viewMenu);
  if (!viewStays) x_.grabScreen().savePNG(outputFile("app-menu-view-by-keys.png").string());
  ASSERT_TRUE(viewStays) << "the View menu chosen with the keys did not stay";
  x_.key("Return");
  EXPECT_TRUE(XDriver::waitUntil(sidebarShown, 30)) << "View > Toggle Sidebar by keys";
  ASSERT_TRUE(typeLine()) << "after View > Toggle Sidebar by keys";
  ASSERT_EQ(topRightInk(), 0u);
  for (const bool sideBySide : {true, false}) {
    ASSERT_NO_FATAL_FAILURE(chooseItem(*window, Menu::view, 2, 1, "layout"));
    EXPECT_TRUE(XDriver::waitUntil([&] { return (topRightInk() > 100u) == sideBySide; }, 30)) << "Toggle Editor Layout";
    ASSERT_TRUE(typeLine()) << "after View > Toggle Editor Layout";
  }

  // Help ▸ About… shows the About window, which has the keyboard until it is closed; Help ▸
  // Report Bug… shows the page of the bug reports.
  ASSERT_NO_FATAL_FAILURE(chooseItem(*window, Menu::help, 2, 0, "about"));
  const auto about = x_.findWindowStartingWith("About ", 30);
  ASSERT_TRUE(about) << logText();
  EXPECT_TRUE(hasKeyboard(*about));
  const auto aboutFrame = x_.geometry(*about);
  ASSERT_TRUE(XDriver::waitUntil(
      [&] {
        x_.focus(*about);
        x_.click(aboutFrame.x + aboutFrame.width - 28, aboutFrame.y + 27);  // its close button
        return XDriver::waitUntil([&] { return !x_.findWindowStartingWith("About ").has_value(); }, 3);
      },
      30));
  x_.focus(*window);
  ASSERT_TRUE(typeLine()) << "after the About window";
  ASSERT_NO_FATAL_FAILURE(chooseItem(*window, Menu::help, 2, 1, "report-bug"));
  EXPECT_TRUE(urlShown(std::string(AboutCommands::defaultBugReportURL))) << shownURLs();
  ASSERT_TRUE(typeLine()) << "after Help > Report Bug";

  // The Edit menu, on the text of the editor that has the keyboard: typed lines, each closed by
  // the editor.
  // Select All is chosen while the application is stopped: every key typed right after the click
  // replaces all (no Return among them: a menu that missed the click would take it).
  const auto line = [](int number) { return "\n<!--" + std::to_string(number) + "-->"; };
  const std::string all = "<!--" + std::to_string(++lines_) + "--";
  ASSERT_NO_FATAL_FAILURE(chooseItemStopped(*app, *window, Menu::edit, 6, 5, "select-all", all));
  EXPECT_EQ(editorText(all + ">"), all + ">") << "the keys typed after Edit > Select All did not replace all";
  // Each typed key is an edit of its own: Undo takes the last one back, Redo does it again.
  const std::string undone = all.substr(0, all.size() - 1) + ">";
  ASSERT_NO_FATAL_FAILURE(chooseItem(*window, Menu::edit, 6, 0, "undo"));
  EXPECT_EQ(editorText(undone), undone) << "Edit > Undo";
  ASSERT_NO_FATAL_FAILURE(chooseItem(*window, Menu::edit, 6, 1, "redo"));
  EXPECT_EQ(editorText(all + ">"), all + ">") << "Edit > Redo";
  ASSERT_TRUE(typeLine()) << "after Edit > Redo";
  ASSERT_NO_FATAL_FAILURE(chooseItem(*window, Menu::edit, 6, 0, "undo-typed"));
  x_.type("-");
  EXPECT_TRUE(typedTextArrived("\n<!--" + std::to_string(lines_) + "--")) << "after Edit > Undo";
  const std::string two = all + ">" + line(lines_);
  x_.key("ctrl+a");
  ASSERT_NO_FATAL_FAILURE(chooseItem(*window, Menu::edit, 6, 3, "copy"));
  EXPECT_TRUE(XDriver::waitUntil([&] { return x_.clipboardText(1) == two; }, 30)) << "Edit > Copy";
  ASSERT_TRUE(typeLine()) << "after Edit > Copy";
  const std::string three = two + line(lines_);
  x_.key("ctrl+a");
  ASSERT_NO_FATAL_FAILURE(chooseItem(*window, Menu::edit, 6, 2, "cut"));
  EXPECT_TRUE(XDriver::waitUntil([&] { return x_.clipboardText(1) == three; }, 30)) << "Edit > Cut";
  ASSERT_TRUE(typeLine()) << "after Edit > Cut";
  EXPECT_EQ(editorText(line(lines_)), line(lines_)) << "Edit > Cut left text";
  ASSERT_NO_FATAL_FAILURE(chooseItem(*window, Menu::edit, 6, 4, "paste"));
  EXPECT_EQ(editorText(line(lines_) + line(lines_)), line(lines_) + line(lines_)) << "Edit > Paste";
  ASSERT_TRUE(typeLine()) << "after Edit > Paste";

  // Each sample of the Sample SVGs menu replaces the drawing; its last item shows the page of the
  // samples' icons.
  for (std::size_t index = 0; index < exampleSVGs.size(); ++index) {
    const std::string svg(exampleSVGs[index].svg);
    ASSERT_NO_FATAL_FAILURE(chooseItem(*window, Menu::samples, 7, index, "sample-" + std::to_string(index)));
    EXPECT_EQ(editorText(svg), svg) << exampleSVGs[index].title;
    ASSERT_TRUE(typeLine()) << "after " << exampleSVGs[index].title;
  }
  ASSERT_NO_FATAL_FAILURE(chooseItem(*window, Menu::samples, 7, 6, "icon-collection"));
  EXPECT_TRUE(urlShown(std::string(ExampleSVGsMenu::iconCollectionURL))) << shownURLs();
  ASSERT_TRUE(typeLine()) << "after the icon collection";

  // File ▸ Quit asks about the unsaved window in a question that has the keyboard; Escape cancels
  // it and the editor has the keyboard again. Asked again, Don't Save quits.
  ASSERT_NO_FATAL_FAILURE(chooseItem(*window, Menu::file, 7, 6, "quit-cancelled"));
  auto question = x_.findWindow(closeQuestion("Untitled"), 30);
  ASSERT_TRUE(question) << logText();
  x_.focus(*question);  // shown as the font panel is
  ASSERT_TRUE(cancelWithKeys(closeQuestion("Untitled")));
  EXPECT_TRUE(app->running());
  x_.focus(*window);
  ASSERT_TRUE(typeLine()) << "after the question";
  ASSERT_NO_FATAL_FAILURE(chooseItem(*window, Menu::file, 7, 6, "quit"));
  ASSERT_NO_FATAL_FAILURE(dontSaveAndExpectQuit(*app, "Untitled"));
}

}  // namespace
