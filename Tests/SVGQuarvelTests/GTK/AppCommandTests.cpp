// Every command of the application as a user reaches it: each menu item clicked in the menu bar's
// menus, each shortcut pressed, each header-bar button and each button of the questions clicked,
// in the real executable on a bus of its own. What each did is read from what a person sees: the
// windows and their titles, the files saved, the clipboard, the screen, and the pages the desktop
// was asked to show (a handler of web addresses in the private home writes them to a file).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "SVGQuarvel/App/About.h"
#include "SVGQuarvel/App/ExampleSVGs.h"
#include "SVGQuarvel/Model/SVGQuarvelDocument.h"
#include "SVGQuarvelTests/GTK/AppCommandSupport.h"
#include "SVGQuarvelTests/QuarvelTestSupport.h"

using namespace QuarvelTestSupport;
using namespace AppProcessSupport;
using namespace AppCommandSupport;

namespace {

TEST_F(AppCommandTest, TheFileMenuAndItsKeysOpenSaveAndCloseWindows) {
  std::unique_ptr<XDriver::Process> app;
  const auto first = start("app-command-file.log", app);
  ASSERT_TRUE(first);

  // File ▸ New and Ctrl+N each open a new window.
  ASSERT_TRUE(choose(*first, Menu::file, 0, "app-command-file-new"));
  const auto second = x_.findWindow("Untitled 2", 30);
  ASSERT_TRUE(second) << logText();
  x_.focus(*second);
  x_.key("ctrl+n");
  const auto third = x_.findWindow("Untitled 3", 30);
  ASSERT_TRUE(third) << logText();

  // File ▸ Open… shows the Open panel; Escape puts it away and opens nothing. (What the panel
  // opens is driven in AppPanelTest.)
  ASSERT_TRUE(choose(*third, Menu::file, 1, "app-command-file-open"));
  const auto openPanel = x_.findWindow("Open", 30);
  ASSERT_TRUE(openPanel) << logText();
  EXPECT_TRUE(XDriver::waitUntil(
      [&] {
        x_.focus(*openPanel);
        x_.key("Escape");
        return XDriver::waitUntil([&] { return !x_.findWindow("Open").has_value(); }, 3);
      },
      30));
  EXPECT_FALSE(x_.findWindow("Untitled 4").has_value());

  // File ▸ Close closes a window without changes at once.
  ASSERT_TRUE(choose(*third, Menu::file, 5, "app-command-file-close"));
  EXPECT_TRUE(XDriver::waitUntil([&] { return !x_.findWindow("Untitled 3").has_value(); }, 10));

  // File ▸ Save As… shows the Save panel; its Cancel button writes nothing.
  ASSERT_TRUE(choose(*second, Menu::file, 4, "app-command-file-save-as"));
  auto panel = x_.findWindow("Save", 30);
  ASSERT_TRUE(panel);
  x_.focus(*panel);
  XDriver::waitUntil([&] { return inkIn(x_.grab(x_.geometry(*panel))) > 500u; }, 60);
  x_.grabScreen().savePNG(outputFile("app-command-save-panel.png").string());
  const auto filesBefore = std::distance(std::filesystem::directory_iterator(folder_), {});
  ASSERT_TRUE(XDriver::waitUntil(
      [&] {
        if (!x_.findWindow("Save").has_value()) return true;
        x_.focus(*panel);
        const auto frame = x_.geometry(*panel);
        x_.click(frame.x + frame.width - 112, frame.y + frame.height - 22);  // Cancel, beside Save
        return XDriver::waitUntil([&] { return !x_.findWindow("Save").has_value(); }, 3);
      },
      30));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), {}), filesBefore);
  EXPECT_EQ(x_.title(*second), "Untitled 2");

  // Again, with a name: the document is saved there and the window takes its name.
  const auto saved = folder_ / "menu.svgquarvel";
  ASSERT_TRUE(choose(*second, Menu::file, 4, "app-command-file-save-as-again"));
  panel = x_.findWindow("Save", 30);
  ASSERT_TRUE(panel);
  x_.focus(*panel);
  x_.key("ctrl+a");
  x_.type(saved.string());
  x_.key("Return");
  ASSERT_TRUE(XDriver::waitUntil([&] { return x_.title(*second) == "menu.svgquarvel"; }, 30)) << logText();
  EXPECT_EQ(SVGQuarvelDocument::Snapshot::fromJSONString(readFile(saved)).svg, std::string(newDocumentSVG));

  // File ▸ Save writes an edit into the document's file.
  ASSERT_TRUE(typeIntoSVG(*second, "<!--menu-->", "menu.svgquarvel \u2014 Edited"));
  ASSERT_TRUE(choose(*second, Menu::file, 3, "app-command-file-save"));
  ASSERT_TRUE(XDriver::waitUntil([&] { return x_.title(*second) == "menu.svgquarvel"; }, 30)) << logText();
  EXPECT_NE(SVGQuarvelDocument::Snapshot::fromJSONString(readFile(saved)).svg.find("<!--menu-->"), std::string::npos);

  // Save As onto a file that exists: the panel asks first, and its Cancel keeps the file.
  const auto other = folder_ / "other.svg";
  writeFile(other, circle);
  x_.focus(*second);
  x_.key("shift+ctrl+s");
  panel = x_.findWindow("Save", 30);
  ASSERT_TRUE(panel);
  const auto before = untitledWindows();
  x_.focus(*panel);
  x_.key("ctrl+a");
  x_.type(other.string());
  x_.key("Return");
  const auto replace = newUntitledWindow(before, 30);
  ASSERT_TRUE(replace) << "no question before replacing a file";
  XDriver::waitUntil([&] { return inkIn(x_.grab(x_.geometry(*replace))) > 300u; }, 60);
  x_.grab(x_.geometry(*replace)).savePNG(outputFile("app-command-replace-question.png").string());
  const auto questionGone = [&] {
    const auto open = untitledWindows();
    return std::find(open.begin(), open.end(), *replace) == open.end();
  };
  // Cancel, again if a busy machine had not yet drawn the question where the click came (the panel
  // beneath shows through until it does).
  EXPECT_TRUE(XDriver::waitUntil(
      [&] {
        if (questionGone()) return true;
        const auto frame = x_.geometry(*replace);
        x_.click(frame.x + frame.width / 4, frame.y + frame.height - 18);
        return XDriver::waitUntil(questionGone, 5);
      },
      60));
  x_.focus(*panel);
  x_.key("Escape");
  EXPECT_TRUE(XDriver::waitUntil([&] { return !x_.findWindow("Save").has_value(); }, 60));
  EXPECT_EQ(readFile(other), circle);
  EXPECT_EQ(x_.title(*second), "menu.svgquarvel");
  EXPECT_TRUE(app->running());
}

TEST_F(AppCommandTest, TheQuestionsBeforeClosingAndQuittingDoWhatTheirButtonsSay) {
  const auto document = folder_ / "doc.svgquarvel";
  writeFile(document, documentText("// mine\n"));
  log_ = "app-command-questions.log";
  auto app = launch({QUARVEL_APP_EXECUTABLE, document.string()}, log_);
  const auto window = x_.findWindow("doc.svgquarvel", 120);
  ASSERT_TRUE(window) << logText();
  std::optional<WindowID> untitled;
  for (int attempt = 0; attempt < 3 && !untitled; ++attempt) {
    x_.focus(*window);
    x_.key("ctrl+n");
    untitled = x_.findWindow("Untitled", 10);
  }
  ASSERT_TRUE(untitled) << logText();

  ASSERT_TRUE(typeIntoSVG(*window, "<!--kept-->", "doc.svgquarvel \u2014 Edited"));

  // Ctrl+W asks; Cancel (the middle button) keeps the window and its changes.
  x_.focus(*window);
  x_.key("ctrl+w");
  auto question = x_.findWindow(closeQuestion("doc.svgquarvel"), 30);
  ASSERT_TRUE(question);
  expectShownWithText(*question, "app-command-close-question.png");
  ASSERT_TRUE(clickQuestionButton(closeQuestion("doc.svgquarvel"), 0.5));
  EXPECT_EQ(x_.title(*window), "doc.svgquarvel \u2014 Edited");
  EXPECT_EQ(readFile(document).find("<!--kept-->"), std::string::npos);
  // The close button of the title bar asks the same.
  clickIn(*window, x_.geometry(*window).width - 28, 26);
  ASSERT_TRUE(x_.findWindow(closeQuestion("doc.svgquarvel"), 30)) << "the title bar's close button did not ask";
  ASSERT_TRUE(clickQuestionButton(closeQuestion("doc.svgquarvel"), 0.5));
  EXPECT_EQ(x_.title(*window), "doc.svgquarvel \u2014 Edited");

  // File ▸ Close asks too; Save (the last button) saves the changes and closes the window.
  ASSERT_TRUE(choose(*window, Menu::file, 5, "app-command-close"));
  ASSERT_TRUE(x_.findWindow(closeQuestion("doc.svgquarvel"), 30));
  ASSERT_TRUE(clickQuestionButton(closeQuestion("doc.svgquarvel"), 5.0 / 6));
  EXPECT_TRUE(XDriver::waitUntil([&] { return !x_.findWindow("doc.svgquarvel \u2014 Edited").has_value(); }, 10));
  EXPECT_NE(readFile(document).find("<!--kept-->"), std::string::npos) << readFile(document);

  // Ctrl+Q asks about the window with changes; Cancel keeps the application running.
  ASSERT_TRUE(typeIntoSVG(*untitled, "<!--lost-->", "Untitled \u2014 Edited"));
  x_.key("ctrl+q");
  ASSERT_TRUE(x_.findWindow(closeQuestion("Untitled"), 30)) << logText();
  ASSERT_TRUE(clickQuestionButton(closeQuestion("Untitled"), 0.5));
  EXPECT_FALSE(app->wait(1).has_value()) << "the application quit although the question was cancelled";
  EXPECT_EQ(x_.title(*untitled), "Untitled \u2014 Edited");

  // File ▸ Quit asks again; Don't Save (the first button) quits without saving.
  ASSERT_TRUE(choose(*untitled, Menu::file, 6, "app-command-quit"));
  ASSERT_NO_FATAL_FAILURE(dontSaveAndExpectQuit(*app, "Untitled"));
}

}  // namespace

namespace {

TEST_F(AppCommandTest, TheEditMenuAndItsKeysWorkOnTheFocusedEditor) {
  std::unique_ptr<XDriver::Process> app;
  const auto window = start("app-command-edit.log", app);
  ASSERT_TRUE(window);
  const std::string svg(newDocumentSVG);
  const auto drawn = [&] { return XDriver::waitUntil([&] { return previewPixels(*window, gold) > 20000; }, 30); };
  const auto blank = [&] { return XDriver::waitUntil([&] { return previewPixels(*window, gold) == 0; }, 30); };
  // The keys come again while the Swift (`known`, once known) is not on the clipboard: on a busy
  // machine the first may reach the menu that is still closing rather than the window.
  const auto swiftOnClipboard = [&](const std::optional<std::string>& known) {
    std::optional<std::string> text;
    XDriver::waitUntil(
        [&] {
          x_.key("shift+ctrl+c");
          return XDriver::waitUntil([&] { return (text = x_.clipboardText()) && (!known || text == known); }, 3);
        },
        60);
    return text;
  };

  // Edit ▸ Select All and Edit ▸ Copy copy the whole SVG from its editor.
  clickSVGEditor(*window);
  ASSERT_TRUE(choose(*window, Menu::edit, 5, "app-command-edit-select-all"));
  const auto swift = swiftOnClipboard(std::nullopt);
  ASSERT_TRUE(swift);
  EXPECT_EQ(copiedBy([&] { choose(*window, Menu::edit, 3, "app-command-edit-copy"); }, swift), svg);

  // Edit ▸ Cut takes it out (the preview is blank), Edit ▸ Paste puts it back.
  ASSERT_EQ(swiftOnClipboard(swift), swift);
  EXPECT_EQ(copiedBy([&] { choose(*window, Menu::edit, 2, "app-command-edit-cut"); }, swift), svg);
  EXPECT_TRUE(blank()) << "Edit > Cut left the drawing";
  EXPECT_TRUE(XDriver::waitUntil([&] { return x_.title(*window) == "Untitled \u2014 Edited"; }, 10));
  ASSERT_TRUE(choose(*window, Menu::edit, 4, "app-command-edit-paste"));
  EXPECT_TRUE(drawn()) << "Edit > Paste did not bring the drawing back";

  // Edit ▸ Undo takes the paste back, Edit ▸ Redo does it again.
  ASSERT_TRUE(choose(*window, Menu::edit, 0, "app-command-edit-undo"));
  EXPECT_TRUE(blank()) << "Edit > Undo";
  ASSERT_TRUE(choose(*window, Menu::edit, 1, "app-command-edit-redo"));
  EXPECT_TRUE(drawn()) << "Edit > Redo";
  EXPECT_EQ(svgEditorText(*window), svg);

  // The same by their keys.
  ASSERT_EQ(swiftOnClipboard(swift), swift);
  clickSVGEditor(*window);
  x_.key("ctrl+a");
  EXPECT_EQ(copiedBy([&] { x_.key("ctrl+x"); }, swift), svg);
  EXPECT_TRUE(blank()) << "Ctrl+X";
  x_.key("ctrl+v");
  EXPECT_TRUE(drawn()) << "Ctrl+V";
  x_.key("ctrl+z");
  EXPECT_TRUE(blank()) << "Ctrl+Z";
  x_.key("shift+ctrl+z");
  EXPECT_TRUE(drawn()) << "Shift+Ctrl+Z";
  EXPECT_EQ(svgEditorText(*window), svg);
  EXPECT_TRUE(app->running());
}

TEST_F(AppCommandTest, TheViewAndFormatMenusTheirKeysAndTheHeaderBarButtonsChangeTheWindow) {
  std::unique_ptr<XDriver::Process> app;
  const auto window = start("app-command-view.log", app);
  ASSERT_TRUE(window);
  const auto frame = x_.geometry(*window);

  // Side by side, the Swift editor's text shows at the top right, where the stacked SVG editor
  // has none.
  const auto topRightInk = [&] {
    return x_.grab(Rect{frame.x + 780, frame.y + 80, 300, 170}).countWhere([](std::uint32_t rgb) {
      return luminance(rgb) < 160;
    });
  };
  const auto sideBySide = [&] { return XDriver::waitUntil([&] { return topRightInk() > 100u; }, 10); };
  const auto stacked = [&] { return XDriver::waitUntil([&] { return topRightInk() == 0u; }, 10); };
  ASSERT_TRUE(stacked());
  ASSERT_TRUE(choose(*window, Menu::view, 1, "app-command-view-layout"));
  EXPECT_TRUE(sideBySide()) << "View > Toggle Editor Layout";
  x_.grab(frame).savePNG(outputFile("app-command-side-by-side.png").string());
  clickIn(*window, frame.width - 239, 26);  // the header bar's layout button
  EXPECT_TRUE(stacked()) << "the layout button";

  // Format ▸ Font ▸ Bigger and Smaller, and their keys, change the editors' text size.
  const int normal = svgTextBottom(*window);
  ASSERT_GT(normal, 100);
  const auto bigger = [&] { return XDriver::waitUntil([&] { return svgTextBottom(*window) > normal + 4; }, 10); };
  const auto back = [&] { return XDriver::waitUntil([&] { return svgTextBottom(*window) == normal; }, 10); };
  ASSERT_TRUE(choose(*window, Menu::format, 0, "app-command-format-bigger", 1));
  EXPECT_TRUE(bigger()) << "Format > Font > Bigger";
  x_.grab(frame).savePNG(outputFile("app-command-bigger.png").string());
  ASSERT_TRUE(choose(*window, Menu::format, 0, "app-command-format-smaller", 2));
  EXPECT_TRUE(back()) << "Format > Font > Smaller";
  clickSVGEditor(*window);
  x_.key("shift+ctrl+plus");
  EXPECT_TRUE(bigger()) << "Ctrl++";
  x_.key("ctrl+minus");
  EXPECT_TRUE(back()) << "Ctrl+-";
  x_.key("ctrl+equal");
  EXPECT_TRUE(bigger()) << "Ctrl+=";
  x_.key("ctrl+minus");
  EXPECT_TRUE(back()) << "Ctrl+-";

  // Format ▸ Font ▸ Show Fonts shows the font panel: a size chosen there and Cancel change
  // nothing, the same size and Select make the editors' text that size.
  for (const bool select : {false, true}) {
    ASSERT_TRUE(choose(*window, Menu::format, 0, "app-command-format-fonts", 0));
    const auto fonts = x_.findWindow("Fonts", 30);
    ASSERT_TRUE(fonts);
    x_.focus(*fonts);
    XDriver::waitUntil([&] { return inkIn(x_.grab(x_.geometry(*fonts))) > 500u; }, 60);
    const auto panel = x_.geometry(*fonts);
    for (int step = 0; step < 4; ++step) x_.click(panel.x + panel.width - 23, panel.y + panel.height - 60);  // +
    XDriver::waitUntil([] { return false; }, 0.3);
    x_.grabScreen().savePNG(outputFile(select ? "app-command-fonts-select.png" : "app-command-fonts.png").string());
    ASSERT_TRUE(XDriver::waitUntil(
        [&] {
          if (!x_.findWindow("Fonts").has_value()) return true;
          x_.click(panel.x + panel.width - (select ? 37 : 114), panel.y + panel.height - 18);
          return XDriver::waitUntil([&] { return !x_.findWindow("Fonts").has_value(); }, 3);
        },
        30));
    if (select) {
      EXPECT_TRUE(bigger()) << "the font panel's Select";
    } else {
      XDriver::waitUntil([] { return false; }, 0.5);
      EXPECT_EQ(svgTextBottom(*window), normal) << "the font panel's Cancel";
    }
  }

  // Swift typed by hand shows the banner; the header bar's drop-changes button drops it, Ctrl+Z
  // brings it back and the banner's button drops it again.
  const std::string generated = SVGQuarvelDocument::newDocument()->swift.get();
  clickIn(*window, int(frame.width * 0.85), int(frame.height * 0.75));
  x_.key("ctrl+End");
  x_.type("// mine");
  ASSERT_TRUE(XDriver::waitUntil([&] { return x_.title(*window) == "Untitled \u2014 Edited"; }, 30));
  EXPECT_EQ(copiedBy([&] { x_.key("shift+ctrl+c"); }, std::nullopt), generated + "// mine");
  XDriver::waitUntil([] { return false; }, 0.5);
  x_.grab(frame).savePNG(outputFile("app-command-banner.png").string());
  clickIn(*window, frame.width - 197, 26);
  EXPECT_EQ(copiedBy([&] { x_.key("shift+ctrl+c"); }, generated + "// mine"), generated) << "the drop-changes button";
  EXPECT_TRUE(XDriver::waitUntil([&] { return x_.title(*window) == "Untitled"; }, 10));
  x_.key("ctrl+z");
  EXPECT_EQ(copiedBy([&] { x_.key("shift+ctrl+c"); }, generated), generated + "// mine") << "Ctrl+Z";
  clickIn(*window, frame.width - 32, 300);  // the banner's button, at the end of its row
  EXPECT_EQ(copiedBy([&] { x_.key("shift+ctrl+c"); }, generated + "// mine"), generated) << "the banner's button";
  EXPECT_TRUE(app->running());
}

}  // namespace

namespace {

TEST_F(AppCommandTest, TheSampleDrawingsAndThePagesOfTheSampleAndHelpMenusAndTheAboutWindow) {
  std::unique_ptr<XDriver::Process> app;
  const auto window = start("app-command-samples.log", app);
  ASSERT_TRUE(window);

  // Each sample replaces the drawing in the SVG editor.
  for (std::size_t index = 0; index < exampleSVGs.size(); ++index) {
    const std::string picture = "app-command-sample-" + std::to_string(index);
    ASSERT_TRUE(choose(*window, Menu::samples, index, picture));
    const std::string svg(exampleSVGs[index].svg);
    EXPECT_TRUE(XDriver::waitUntil([&] { return svgEditorText(*window) == svg; }, 20)) << exampleSVGs[index].title;
    x_.grab(x_.geometry(*window)).savePNG(outputFile(picture + ".png").string());
  }

  // The last item of Sample SVGs and Help ▸ Report Bug… show their pages.
  ASSERT_TRUE(choose(*window, Menu::samples, exampleSVGs.size(), "app-command-icon-collection"));
  EXPECT_TRUE(urlShown(std::string(ExampleSVGsMenu::iconCollectionURL))) << shownURLs();
  ASSERT_TRUE(choose(*window, Menu::help, 1, "app-command-report-bug"));
  EXPECT_TRUE(urlShown(std::string(AboutCommands::defaultBugReportURL))) << shownURLs();

  // Help ▸ About: each link of the About window shows its page; its close button hides it.
  ASSERT_TRUE(choose(*window, Menu::help, 0, "app-command-about"));
  const auto about = x_.findWindowStartingWith("About ", 30);
  ASSERT_TRUE(about);
  x_.focus(*about);
  const auto frame = x_.geometry(*about);
  // The links are the rows of blue text below the icon; the lines of a link that wraps are one
  // row (lines of one link are closer together than links are).
  const auto blueRows = [&] {
    const auto picture = x_.grab(frame);
    std::vector<int> rows;
    int runStart = -1, lastEnd = -100;
    for (int y = 200; y <= picture.height; ++y) {
      bool blue = false;
      for (int column = 0; y < picture.height && column < picture.width && !blue; ++column) {
        const auto rgb = picture.at(column, y);
        const int r = int(rgb >> 16), g = int((rgb >> 8) & 0xff), b = int(rgb & 0xff);
        blue = b > r + 60 && b > g + 30;
      }
      if (blue && runStart < 0) runStart = y;
      if (!blue && runStart >= 0) {
        if (y - runStart >= 5) {
          if (runStart - lastEnd < 8 && !rows.empty()) {
            rows.back() = (rows.back() + (runStart + y) / 2) / 2;
          } else {
            rows.push_back((runStart + y) / 2);
          }
          lastEnd = y;
        }
        runStart = -1;
      }
    }
    return rows;
  };
  std::vector<std::string> pages;
  for (const auto& group : AboutView::creditGroups()) {
    for (const auto& link : group.links) pages.push_back(link.url);
  }
  pages.push_back("https://quarvel.org/");  // the copyright line
  XDriver::waitUntil([&] { return blueRows().size() >= pages.size(); }, 10);
  x_.grab(frame).savePNG(outputFile("app-command-about-window.png").string());
  const auto rows = blueRows();
  ASSERT_EQ(rows.size(), pages.size());
  for (std::size_t index = 0; index < rows.size(); ++index) {
    x_.focus(*about);
    x_.click(frame.x + frame.width / 2, frame.y + rows[index]);
    EXPECT_TRUE(urlShown(pages[index])) << pages[index] << "\n" << shownURLs();
  }
  x_.focus(*about);
  x_.click(frame.x + frame.width - 28, frame.y + 27);  // the close button of its title bar
  EXPECT_TRUE(XDriver::waitUntil([&] { return !x_.findWindowStartingWith("About ").has_value(); }, 10));
  EXPECT_TRUE(app->running());
}

}  // namespace

namespace {

TEST_F(AppCommandTest, EveryControlOfTheSettingsFormTakesRealInputAndTheSavedDocumentKeepsIt) {
  std::unique_ptr<XDriver::Process> app;
  const auto window = start("app-command-form.log", app);
  ASSERT_TRUE(window);
  // Tall enough for the whole form (its rows then lie where this layout puts them).
  x_.resize(*window, 1100, 1000);
  ASSERT_TRUE(XDriver::waitUntil([&] { return x_.geometry(*window).height == 1000; }, 10));
  XDriver::waitUntil([] { return false; }, 0.5);
  x_.grabScreen().savePNG(outputFile("app-command-form-before.png").string());
  SVGQuarvelConfiguration expected;

  // The name of the root view.
  clickIn(*window, 160, 422);
  x_.type("Badge");
  expected.rootViewName = "Badge";

  // Every toggle, by a click on its box.
  for (const int y : {471, 491, 540, 560, 656, 676, 839}) clickIn(*window, 291, y);
  expected.previewProvider = !expected.previewProvider;
  expected.imports = !expected.imports;
  expected.prefixSVG = !expected.prefixSVG;
  expected.infoComments = !expected.infoComments;
  expected.newlineAfterClosePath = !expected.newlineAfterClosePath;
  expected.useHexColor = !expected.useHexColor;
  expected.indentEmptyLines = !expected.indentEmptyLines;

  // Every picker: its list opens and the other item is clicked.
  const auto pick = [&](int x, int y, std::size_t row, const std::string& picture) {
    const auto before = untitledWindows();
    clickIn(*window, x, y);
    const auto list = newUntitledWindow(before);
    ASSERT_TRUE(list) << picture;
    XDriver::waitUntil([&] { return menuRows(*list).size() >= 2; }, 5);
    x_.grabScreen().savePNG(outputFile(picture).string());
    const auto rows = menuRows(*list);
    ASSERT_EQ(rows.size(), 2u) << picture;
    const auto frame = x_.geometry(*list);
    x_.click(frame.x + frame.width / 2, rows[row]);
    XDriver::waitUntil(
        [&] {
          const auto open = untitledWindows();
          return std::find(open.begin(), open.end(), *list) == open.end();
        },
        5);
  };
  pick(255, 589, 0, "app-command-form-init.png");
  expected.initType = SVGQuarvelConfiguration::InitType::autoInit;
  pick(244, 627, 1, "app-command-form-positioning.png");
  expected.positioningType = SVGQuarvelConfiguration::PositioningStyle::offset;
  pick(255, 772, 1, "app-command-form-indent-using.png");
  expected.indentUsing = SVGQuarvelConfiguration::IndentType::tabs;

  // The numbers: typed (kept within their range, and refused when not a number) and stepped.
  clickIn(*window, 177, 705);
  x_.key("ctrl+a");
  x_.type("20");
  x_.key("Return");
  clickIn(*window, 273, 705);  // + at the top of the range
  clickIn(*window, 223, 705);  // -
  expected.maximumFractionDigits = 12;
  for (int step = 0; step < 3; ++step) clickIn(*window, 223, 810);  // - down to 0, and once more
  clickIn(*window, 273, 810);                                      // +
  clickIn(*window, 174, 810);
  x_.key("ctrl+a");
  x_.type("four");
  x_.key("Return");
  expected.indent = 1;
  XDriver::waitUntil([] { return false; }, 0.5);
  x_.grabScreen().savePNG(outputFile("app-command-form-after.png").string());

  // The document saved keeps the settings, and its Swift follows them.
  const auto saved = folder_ / "form.svgquarvel";
  const auto panel = saveAndWaitFor(*window, "Save");
  ASSERT_TRUE(panel);
  x_.focus(*panel);
  x_.key("ctrl+a");
  x_.type(saved.string());
  x_.key("Return");
  ASSERT_TRUE(XDriver::waitUntil([&] { return x_.title(*window) == "form.svgquarvel"; }, 30)) << logText();
  const auto snapshot = SVGQuarvelDocument::Snapshot::fromJSONString(readFile(saved));
  ASSERT_TRUE(snapshot.config);
  EXPECT_EQ(*snapshot.config, expected) << readFile(saved);
  EXPECT_NE(snapshot.swift.find("struct Badge"), std::string::npos) << snapshot.swift;
  EXPECT_EQ(snapshot.swift.find("import SwiftUI"), std::string::npos) << snapshot.swift;
  EXPECT_NE(snapshot.swift.find("\tvar body"), std::string::npos) << "indented by tabs:\n" << snapshot.swift;
  EXPECT_TRUE(app->running());
}

}  // namespace
