// Saving in the real executable, driven through the X server with a private bus: a file another
// program changed is not overwritten without a question, a symbolic link stays and a read-only
// file is an error, Save As onto a file another window holds or onto a link to the document's own
// file, a save of one of the two texts, a
// save that cannot make its temporary file (no space, no file descriptor left) or that another
// program's change overtakes, a
// folder that became a file, a name typed without the extension that names another file, and a
// private file whose new version is private from the start, a file that became a folder or a pipe,
// another program's change made just after a save, Save As onto a link to the document's own file
// that another program changed (and the link turned, or another file put under its name, while the
// user is asked), Save As onto a link to no file, a name that became a symbolic link (to no file,
// to another user's file, which is not given the document, and one turned again while asked), a name
// typed with dots that begin no extension of the document's types, a private document renamed away
// while open, a question about a link whose target is long and of many lines, a folder on the
// document's path that became a link to another folder, and links on the path that never change.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <tuple>
#include <vector>

#include "SVGQuarvel/Model/SVGQuarvelDocument.h"
#include "SVGQuarvelTests/GTK/AppProcessSupport.h"
#include "SVGQuarvelTests/QuarvelTestSupport.h"
#include "FennixTests/FileAttributesTestSupport.h"

using namespace QuarvelTestSupport;
using namespace AppProcessSupport;

namespace {

class AppSaveTest : public AppProcessTest {
 protected:
  /// Clicks the button at the trailing end of a question's row of buttons.
  void clickLastButton(XDriver::WindowID dialog) {
    const auto frame = x_.geometry(dialog);
    x_.click(frame.x + frame.width - 30, frame.y + frame.height - 18);
  }

  bool titleBecomes(const std::string& title) { return x_.findWindow(title, 30).has_value(); }

  /// Starts the application on `document` with the test library loaded and `environment` for it.
  std::unique_ptr<XDriver::Process> launchWithShim(const std::filesystem::path& document,
                                                   const std::vector<std::string>& environment, const std::string& log) {
    auto variables = appEnvironment(*bus_, folder_);
    variables.push_back("LD_PRELOAD=" QUARVEL_FILE_SHIM);
    // The sanitizer's runtime would otherwise insist on coming first.
    const char* asan = std::getenv("ASAN_OPTIONS");
    variables.push_back(std::string("ASAN_OPTIONS=") + (asan != nullptr ? std::string(asan) + ":" : "") +
                        "verify_asan_link_order=0");
    variables.insert(variables.end(), environment.begin(), environment.end());
    return std::make_unique<XDriver::Process>(std::vector<std::string>{QUARVEL_APP_EXECUTABLE, document.string()},
                                              variables, outputFile(log).string());
  }

  /// Opens the document `name` of the test folder, older than a second, and edits it. The test
  /// library hands the save's rename to another program's version (`theirs`): that version takes
  /// the document's name just before the save's file does, or with `afterSave` just after it.
  /// The edited window, or nothing.
  std::optional<XDriver::WindowID> openEditedWithRival(const std::string& name, const std::string& theirs,
                                                       bool afterSave, const std::string& log,
                                                       std::unique_ptr<XDriver::Process>& app) {
    const auto document = folder_ / name;
    writeFile(document, documentText("// first\n"));
    makeOld(document);
    writeFile(folder_ / "theirs.tmp", theirs);
    std::vector<std::string> environment{"QUARVEL_SHIM_RENAME_FROM=" + (folder_ / "theirs.tmp").string(),
                                         "QUARVEL_SHIM_RENAME_TO=" + document.string()};
    if (afterSave) environment.push_back("QUARVEL_SHIM_RENAME_AFTER=1");
    app = launchWithShim(document, environment, log);
    const auto window = x_.findWindow(name, 60);
    if (!window) {
      ADD_FAILURE() << "no window for " << name << ": " << readFile(outputFile(log));
      return std::nullopt;
    }
    if (!typeInto(*window, "<!--mine-->", name + " \u2014 Edited")) {
      ADD_FAILURE() << "the window of " << name << " did not take the edit";
      return std::nullopt;
    }
    return window;
  }

  /// Answers the question `heading` with its default (Return); whether the question closed.
  bool answerWithDefault(XDriver::WindowID question, const std::string& heading) {
    x_.focus(question);
    x_.key("Return");
    return XDriver::waitUntil([&] { return !x_.findWindow(heading).has_value(); }, 10);
  }

  std::filesystem::path document() const { return folder_ / "doc.svgquarvel"; }
  std::filesystem::path alias() const { return folder_ / "alias.svgquarvel"; }
  static std::string theirs() { return documentText("// theirs\n"); }
  static std::string ownChangeHeading() {
    return "The file \u201cdoc.svgquarvel\u201d has been changed by another application.";
  }

  /// Opens "doc.svgquarvel", with the link "alias.svgquarvel" to it beside it, edits it, and puts
  /// another program's version in the file's place. The edited window, or nothing.
  std::optional<XDriver::WindowID> openWithChangedFileAndLink(const std::string& log) {
    writeFile(document(), documentText("// first\n"));
    makeOld(document());
    std::filesystem::create_symlink("doc.svgquarvel", alias());
    app_ = launch({QUARVEL_APP_EXECUTABLE, document().string()}, log);
    const auto window = x_.findWindow("doc.svgquarvel", 60);
    if (!window || !typeInto(*window, "<!--mine-->", "doc.svgquarvel \u2014 Edited")) return std::nullopt;
    replaceAsAnotherProgram(document(), theirs());
    return window;
  }

  /// Saves the window's document as "alias.svgquarvel" (the panel's question whether to replace
  /// it confirmed); the question about the other program's change, or nothing.
  std::optional<XDriver::WindowID> saveAsOntoAlias(XDriver::WindowID window) {
    x_.focus(window);
    x_.key("shift+ctrl+s");
    if (!chooseInSavePanel(alias(), true)) return std::nullopt;
    return x_.findWindow(ownChangeHeading(), 30);
  }

  /// The questions about a file another program changed that show.
  std::vector<XDriver::WindowID> changeQuestions() const {
    return x_.findWindows([](const std::string& title) {
      return title.find("has been changed by another application") != std::string::npos;
    });
  }

  /// Clicks Overwrite in the question that shows until `answered` holds.
  bool overwriteUntil(const std::function<bool()>& answered) {
    return XDriver::waitUntil(
        [&] {
          if (answered()) return true;
          const auto questions = changeQuestions();
          if (!questions.empty()) clickLastButton(questions.front());
          return XDriver::waitUntil(answered, 3);
        },
        30);
  }

  static std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
  }

  std::unique_ptr<XDriver::Process> app_;

  /// Edits the window of "doc.svgquarvel" with `mark` and saves it: saved without a question, and
  /// `file` holds the mark.
  void expectSavedWithoutQuestion(XDriver::WindowID window, const std::string& mark, const std::filesystem::path& file) {
    ASSERT_TRUE(typeInto(window, mark, "doc.svgquarvel \u2014 Edited"));
    x_.focus(window);
    x_.key("ctrl+s");
    ASSERT_TRUE(titleBecomes("doc.svgquarvel"));
    EXPECT_NE(readFile(file).find(mark), std::string::npos);
    EXPECT_TRUE(changeQuestions().empty());
  }

  /// Edits the document of `window` (titled `name`), saves, and expects the error named after it
  /// with `reason` in its text; the window stays edited.
  void expectSaveRefused(XDriver::WindowID window, const std::string& name, const std::string& reason,
                         const std::string& log, const std::string& picture) {
    ASSERT_TRUE(typeInto(window, "<!--lost?-->", name + " \u2014 Edited"));
    const auto error = saveAndWaitFor(window, "The document \u201c" + name + "\u201d could not be saved.");
    ASSERT_TRUE(error) << readFile(outputFile(log));
    expectShownWithText(*error, picture);
    EXPECT_NE(readFile(outputFile(log)).find(reason), std::string::npos) << readFile(outputFile(log));
    dismiss("The document \u201c" + name + "\u201d could not be saved.");
    EXPECT_TRUE(x_.findWindow(name + " \u2014 Edited").has_value());
  }
};

TEST_F(AppSaveTest, AFileAnotherProgramChangedIsOverwrittenOnlyWhenTheUserSaysSo) {
  const auto document = folder_ / "doc.svgquarvel";
  writeFile(document, documentText("// first\n"));
  makeOld(document);
  auto app = launch({QUARVEL_APP_EXECUTABLE, document.string()}, "app-save-changed.log");
  const auto window = x_.findWindow("doc.svgquarvel", 60);
  ASSERT_TRUE(window) << readFile(outputFile("app-save-changed.log"));
  ASSERT_TRUE(typeInto(*window, "<!--x-->", "doc.svgquarvel \u2014 Edited"));

  // Another program puts its version in place (a new file renamed over the old one).
  const std::string theirs = documentText("// theirs\n");
  replaceAsAnotherProgram(document, theirs);

  const std::string heading = "The file \u201cdoc.svgquarvel\u201d has been changed by another application.";
  auto question = saveAndWaitFor(*window, heading);
  ASSERT_TRUE(question) << readFile(outputFile("app-save-changed.log"));
  expectShownWithText(*question, "app-save-changed-question.png");
  // Its default keeps the other version: nothing is written and the window stays edited.
  ASSERT_TRUE(answerWithDefault(*question, heading));
  EXPECT_EQ(readFile(document), theirs);
  EXPECT_TRUE(x_.findWindow("doc.svgquarvel \u2014 Edited").has_value());

  // Asked again on the next save; this time the window's version overwrites theirs.
  question = saveAndWaitFor(*window, heading);
  ASSERT_TRUE(question);
  // A click that comes before the question takes input goes nowhere: click until it closes.
  ASSERT_TRUE(XDriver::waitUntil(
      [&] {
        if (!x_.findWindow(heading).has_value()) return true;
        clickLastButton(*question);
        return XDriver::waitUntil([&] { return !x_.findWindow(heading).has_value(); }, 3);
      },
      30));
  ASSERT_TRUE(titleBecomes("doc.svgquarvel")) << readFile(outputFile("app-save-changed.log"));
  EXPECT_NE(readFile(document).find("<!--x-->"), std::string::npos) << readFile(document);
  EXPECT_EQ(hiddenFiles(folder_), std::vector<std::string>{});

  // The next save checks against the file it wrote itself: no question.
  expectSavedWithoutQuestion(*window, "<!--y-->", document);
  EXPECT_TRUE(app->running());
}

TEST_F(AppSaveTest, SavingThroughALinkKeepsTheLinkAndAReadOnlyFileIsAnError) {
  std::filesystem::create_directories(folder_ / "real");
  const auto target = folder_ / "real" / "doc.svgquarvel";
  writeFile(target, documentText("// linked\n"));
  const auto link = folder_ / "link.svgquarvel";
  std::filesystem::create_symlink("real/doc.svgquarvel", link);
  auto app = launch({QUARVEL_APP_EXECUTABLE, link.string()}, "app-save-link.log");
  const auto window = x_.findWindow("link.svgquarvel", 60);
  ASSERT_TRUE(window) << readFile(outputFile("app-save-link.log"));
  ASSERT_TRUE(typeInto(*window, "<!--linked-->", "link.svgquarvel \u2014 Edited"));
  x_.key("ctrl+s");
  ASSERT_TRUE(titleBecomes("link.svgquarvel")) << readFile(outputFile("app-save-link.log"));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_NE(readFile(target).find("<!--linked-->"), std::string::npos);

  // Without write permission (for everyone, the administrator included) the save is an error.
  ::chmod(target.c_str(), 0444);
  const auto before = readFile(target);
  ASSERT_TRUE(typeInto(*window, "<!--refused-->", "link.svgquarvel \u2014 Edited"));
  const auto error = saveAndWaitFor(*window, "The document \u201clink.svgquarvel\u201d could not be saved.");
  ASSERT_TRUE(error) << readFile(outputFile("app-save-link.log"));
  expectShownWithText(*error, "app-save-read-only-error.png");
  EXPECT_NE(readFile(outputFile("app-save-link.log")).find("you don\u2019t have permission to write to it"),
            std::string::npos);
  EXPECT_EQ(readFile(target), before);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_TRUE(x_.findWindow("link.svgquarvel \u2014 Edited").has_value());
}

TEST_F(AppSaveTest, SaveAsOntoAFileAnotherWindowHoldsIsRefusedWhileThatWindowHasChanges) {
  const auto held = folder_ / "held.svgquarvel";
  writeFile(held, documentText("// held\n"));
  auto app = launch({QUARVEL_APP_EXECUTABLE, held.string()}, "app-save-held.log");
  const auto holder = x_.findWindow("held.svgquarvel", 60);
  ASSERT_TRUE(holder) << readFile(outputFile("app-save-held.log"));
  ASSERT_TRUE(typeInto(*holder, "<!--holder-->", "held.svgquarvel \u2014 Edited"));
  x_.key("ctrl+n");
  const auto saver = x_.findWindow("Untitled", 30);
  ASSERT_TRUE(saver);

  x_.focus(*saver);
  x_.key("shift+ctrl+s");
  ASSERT_TRUE(chooseInSavePanel(held, true));
  const auto error = x_.findWindow("The document \u201cUntitled\u201d could not be saved.", 10);
  ASSERT_TRUE(error) << readFile(outputFile("app-save-held.log"));
  expectShownWithText(*error, "app-save-held-error.png");
  EXPECT_NE(readFile(outputFile("app-save-held.log"))
                .find("is open in the window \u201cheld.svgquarvel \u2014 Edited\u201d, which has unsaved changes"),
            std::string::npos)
      << readFile(outputFile("app-save-held.log"));
  EXPECT_EQ(readFile(held), documentText("// held\n"));
  x_.focus(*error);
  x_.key("Return");

  // Once that window has saved its changes, the Save As goes through and that window closes.
  x_.focus(*holder);
  x_.key("ctrl+s");
  ASSERT_TRUE(titleBecomes("held.svgquarvel"));
  x_.focus(*saver);
  x_.key("shift+ctrl+s");
  ASSERT_TRUE(chooseInSavePanel(held, true));
  EXPECT_TRUE(XDriver::waitUntil(
      [&] {
        return x_.findWindows([](const std::string& title) { return title == "held.svgquarvel"; }).size() == 1 &&
               !x_.findWindow("Untitled").has_value();
      },
      10));
  EXPECT_EQ(x_.title(*saver), "held.svgquarvel");
  EXPECT_EQ(readFile(held).find("<!--holder-->"), std::string::npos) << "the new window's document is in the file";
  EXPECT_NE(readFile(held).find("rect"), std::string::npos);
  EXPECT_TRUE(app->running());
}

TEST_F(AppSaveTest, SaveAsOntoALinkToTheDocumentsOwnFileSavesItThereWithoutAskingAboutAChange) {
  const auto document = folder_ / "doc.svgquarvel";
  writeFile(document, documentText("// first\n"));
  const auto alias = folder_ / "alias.svgquarvel";
  std::filesystem::create_symlink("doc.svgquarvel", alias);
  auto app = launch({QUARVEL_APP_EXECUTABLE, document.string()}, "app-save-as-own-link.log");
  const auto window = x_.findWindow("doc.svgquarvel", 60);
  ASSERT_TRUE(window) << readFile(outputFile("app-save-as-own-link.log"));
  ASSERT_TRUE(typeInto(*window, "<!--onto itself-->", "doc.svgquarvel \u2014 Edited"));

  // The panel asks whether to replace the file the name leads to; nobody else changed it.
  x_.focus(*window);
  x_.key("shift+ctrl+s");
  ASSERT_TRUE(chooseInSavePanel(alias, true));
  ASSERT_TRUE(titleBecomes("alias.svgquarvel")) << readFile(outputFile("app-save-as-own-link.log"));
  EXPECT_FALSE(x_.findWindow("has been changed by another application").has_value());
  EXPECT_EQ(readFile(outputFile("app-save-as-own-link.log")).find("changed by another application"), std::string::npos)
      << readFile(outputFile("app-save-as-own-link.log"));
  EXPECT_TRUE(std::filesystem::is_symlink(alias));
  EXPECT_NE(readFile(document).find("<!--onto itself-->"), std::string::npos);
  EXPECT_EQ(hiddenFiles(folder_), std::vector<std::string>{});

  // Saved under that name from then on, through the link.
  ASSERT_TRUE(typeInto(*window, "<!--again-->", "alias.svgquarvel \u2014 Edited"));
  x_.focus(*window);
  x_.key("ctrl+s");
  ASSERT_TRUE(titleBecomes("alias.svgquarvel")) << readFile(outputFile("app-save-as-own-link.log"));
  EXPECT_NE(readFile(document).find("<!--again-->"), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_symlink(alias));
  EXPECT_TRUE(app->running());
}

TEST_F(AppSaveTest, SaveAsOntoALinkToTheDocumentsOwnChangedFileAsksThenTakesTheNameChosen) {
  const std::string log = "app-save-as-own-changed-link.log";
  const auto window = openWithChangedFileAndLink(log);
  ASSERT_TRUE(window) << readFile(outputFile(log));

  // The name chosen leads to the document's own file: the other program's change alone is asked.
  const auto question = saveAsOntoAlias(*window);
  ASSERT_TRUE(question) << readFile(outputFile(log));
  expectShownWithText(*question, "app-save-as-own-changed-link-question.png");
  EXPECT_EQ(readFile(outputFile(log)).find("symbolic link"), std::string::npos) << readFile(outputFile(log));
  EXPECT_EQ(readFile(document()), theirs());

  // Overwrite writes through the link, and the window takes the name chosen; nothing more is asked.
  ASSERT_TRUE(overwriteUntil([&] { return !x_.findWindow(ownChangeHeading()).has_value(); }));
  ASSERT_TRUE(titleBecomes("alias.svgquarvel")) << readFile(outputFile(log));
  EXPECT_TRUE(changeQuestions().empty());
  EXPECT_EQ(occurrences(readFile(outputFile(log)), "changed by another application since"), 1u)
      << readFile(outputFile(log));
  EXPECT_NE(readFile(document()).find("<!--mine-->"), std::string::npos) << readFile(document());
  EXPECT_TRUE(std::filesystem::is_symlink(alias()));
  EXPECT_EQ(hiddenFiles(folder_), std::vector<std::string>{});
  EXPECT_TRUE(app_->running());
}

TEST_F(AppSaveTest, SaveAsOntoALinkTurnedWhileTheUserIsAskedAsksAnewWhereItLeads) {
  const std::string log = "app-save-as-link-turned.log";
  const auto window = openWithChangedFileAndLink(log);
  ASSERT_TRUE(window) << readFile(outputFile(log));
  const auto elsewhere = folder_ / "elsewhere.svgquarvel";
  writeFile(elsewhere, documentText("// elsewhere\n"));
  const auto question = saveAsOntoAlias(*window);
  ASSERT_TRUE(question) << readFile(outputFile(log));
  expectShownWithText(*question, "app-save-as-link-turned-first-question.png");
  auto logTells = [&](const std::string& text) { return readFile(outputFile(log)).find(text) != std::string::npos; };

  // The link is turned to another file while the question shows: Overwrite answered for the
  // document's own file, so the file the link leads to now is asked about, named.
  std::filesystem::remove(alias());
  std::filesystem::create_symlink("elsewhere.svgquarvel", alias());
  const std::string aboutElsewhere =
      "Its name is now a symbolic link to \u201c" + elsewhere.string() + "\u201d, another file";
  ASSERT_TRUE(overwriteUntil([&] { return logTells(aboutElsewhere); })) << readFile(outputFile(log));
  const std::string heading = "The file \u201calias.svgquarvel\u201d has been changed by another application.";
  const auto askedAgain = x_.findWindow(heading, 30);
  ASSERT_TRUE(askedAgain) << readFile(outputFile(log));
  expectShownWithText(*askedAgain, "app-save-as-link-turned-question.png");
  EXPECT_EQ(readFile(elsewhere), documentText("// elsewhere\n"));
  EXPECT_EQ(readFile(document()), theirs());

  // A file put under the name meanwhile: asked about anew as another file.
  std::filesystem::remove(alias());
  writeFile(alias(), documentText("// plain\n"));
  ASSERT_TRUE(overwriteUntil([&] {
    return logTells("Another file has taken its name since: overwriting replaces that file.");
  })) << readFile(outputFile(log));
  ASSERT_TRUE(x_.findWindow(heading, 30)) << readFile(outputFile(log));
  EXPECT_EQ(readFile(alias()), documentText("// plain\n"));
  EXPECT_EQ(readFile(elsewhere), documentText("// elsewhere\n"));
  EXPECT_EQ(readFile(document()), theirs());
  EXPECT_TRUE(x_.findWindow("doc.svgquarvel \u2014 Edited").has_value());

  // Overwrite now replaces the file that was named, and the window takes its name.
  ASSERT_TRUE(overwriteUntil([&] { return changeQuestions().empty(); }));
  ASSERT_TRUE(titleBecomes("alias.svgquarvel")) << readFile(outputFile(log));
  EXPECT_NE(readFile(alias()).find("<!--mine-->"), std::string::npos) << readFile(alias());
  EXPECT_EQ(readFile(elsewhere), documentText("// elsewhere\n"));
  EXPECT_EQ(readFile(document()), theirs());
  EXPECT_EQ(hiddenFiles(folder_), std::vector<std::string>{});
  EXPECT_TRUE(app_->running());
}


TEST_F(AppSaveTest, SaveAsOntoALinkToNoFileSaysWhereItLeadsInsteadOfMakingAFileThere) {
  const std::string log = "app-save-as-link-to-no-file.log";
  writeFile(document(), documentText("// first\n"));
  std::filesystem::create_directories(folder_ / "far");
  const auto link = folder_ / "nowhere.svgquarvel";
  std::filesystem::create_symlink("far/gone.svgquarvel", link);
  app_ = launch({QUARVEL_APP_EXECUTABLE, document().string()}, log);
  const auto window = x_.findWindow("doc.svgquarvel", 60);
  ASSERT_TRUE(window) << readFile(outputFile(log));
  ASSERT_TRUE(typeInto(*window, "<!--mine-->", "doc.svgquarvel \u2014 Edited"));

  // The panel asks whether to replace the name; what it leads to is said, and nothing is made there.
  x_.focus(*window);
  x_.key("shift+ctrl+s");
  ASSERT_TRUE(chooseInSavePanel(link, true));
  const std::string heading = "The document \u201cdoc.svgquarvel\u201d could not be saved.";
  const auto error = x_.findWindow(heading, 30);
  ASSERT_TRUE(error) << readFile(outputFile(log));
  expectShownWithText(*error, "app-save-as-link-to-no-file-error.png");
  EXPECT_NE(readFile(outputFile(log))
                .find("symbolic link to \u201c" + (folder_ / "far" / "gone.svgquarvel").string() +
                      "\u201d, where there is no file"),
            std::string::npos)
      << readFile(outputFile(log));
  EXPECT_FALSE(std::filesystem::exists(folder_ / "far" / "gone.svgquarvel"));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  dismiss(heading);
  EXPECT_TRUE(x_.findWindow("doc.svgquarvel \u2014 Edited").has_value());
  EXPECT_TRUE(app_->running());
}
TEST_F(AppSaveTest, SavingTheSVGAloneLeavesTheSwiftEditsUnsavedAndTheWindowSaysSo) {
  auto app = launch({QUARVEL_APP_EXECUTABLE}, "app-save-export.log");
  const auto window = x_.findWindow("Untitled", 60);
  ASSERT_TRUE(window) << readFile(outputFile("app-save-export.log"));
  ASSERT_TRUE(typeInto(*window, "// by hand", "Untitled \u2014 Edited", Editor::swift));

  const auto svgFile = folder_ / "drawing.svg";
  x_.key("shift+ctrl+s");
  ASSERT_TRUE(chooseInSavePanel(svgFile, false));
  ASSERT_TRUE(titleBecomes("drawing.svg \u2014 Swift Not Saved")) << readFile(outputFile("app-save-export.log"));
  EXPECT_EQ(readFile(svgFile), std::string(newDocumentSVG));
  x_.grab(x_.geometry(*window)).savePNG(outputFile("app-save-export-window.png").string());

  // Closing asks, and its question names the Swift and offers to save a document.
  x_.focus(*window);
  x_.key("ctrl+w");
  const auto question = x_.findWindow("Do you want to save the changes made to the document \u201cdrawing.svg\u201d?", 10);
  ASSERT_TRUE(question) << "the window closed with its Swift edits";
  expectShownWithText(*question, "app-save-export-question.png");
  // Its default saves as a document file: the Save panel proposes one.
  x_.focus(*question);
  x_.key("Return");
  const auto whole = folder_ / "drawing.svgquarvel";
  ASSERT_TRUE(chooseInSavePanel(whole, false));
  ASSERT_TRUE(XDriver::waitUntil([&] { return std::filesystem::exists(whole) && !x_.findWindow("drawing.svg \u2014 Swift Not Saved").has_value(); }, 10));
  const auto saved = SVGQuarvelDocument::Snapshot::fromJSONString(readFile(whole));
  EXPECT_NE(saved.swift.find("// by hand"), std::string::npos);
  // Then the window closes, and with it the application.
  EXPECT_TRUE(app->wait(20).has_value()) << "the window stayed open after its document was saved";
}

TEST_F(AppSaveTest, ASaveThatCannotMakeItsTemporaryFileLeavesTheFileByteForByte) {
  const auto document = folder_ / "quota.svgquarvel";
  const std::string old = documentText("// before the quota\n");
  writeFile(document, old);
  auto app = launchWithShim(document, {"QUARVEL_SHIM_FAIL_TEMPORARY=" + std::to_string(EDQUOT)}, "app-save-quota.log");
  const auto window = x_.findWindow("quota.svgquarvel", 60);
  ASSERT_TRUE(window) << readFile(outputFile("app-save-quota.log"));
  expectSaveRefused(*window, "quota.svgquarvel", "because there isn\u2019t enough space", "app-save-quota.log",
                    "app-save-quota-error.png");
  EXPECT_EQ(readFile(document), old);
  EXPECT_EQ(hiddenFiles(folder_), std::vector<std::string>{});
  EXPECT_TRUE(app->running());
}

TEST_F(AppSaveTest, ASaveWithNoFileLeftToOpenSaysWhyAndWhatToDo) {
  const auto document = folder_ / "busy.svgquarvel";
  const std::string old = documentText("// before\n");
  writeFile(document, old);
  auto app = launchWithShim(document, {"QUARVEL_SHIM_FAIL_TEMPORARY=" + std::to_string(EMFILE)}, "app-save-emfile.log");
  const auto window = x_.findWindow("busy.svgquarvel", 60);
  ASSERT_TRUE(window) << readFile(outputFile("app-save-emfile.log"));
  expectSaveRefused(*window, "busy.svgquarvel",
                    "couldn\u2019t be saved because this application has too many files open. Close some of its "
                    "windows and try again.",
                    "app-save-emfile.log", "app-save-emfile-error.png");
  EXPECT_EQ(readFile(document), old);
  EXPECT_EQ(hiddenFiles(folder_), std::vector<std::string>{});
  EXPECT_TRUE(app->running());
}

TEST_F(AppSaveTest, OnADiskWithoutFreeInodesASaveLeavesTheFileByteForByte) {
  const auto disk = folder_ / "disk";
  std::filesystem::create_directories(disk);
  if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=8m,nr_inodes=32") != 0) {
    GTEST_SKIP() << "no small file system could be mounted here (" << std::strerror(errno)
                 << "); ASaveThatCannotMakeItsTemporaryFileLeavesTheFileByteForByte covers the same path";
  }
  struct Unmount {
    std::filesystem::path path;
    ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
  } unmount{disk};
  const auto document = disk / "full.svgquarvel";
  // Long enough that a write in place would be cut in the middle.
  const std::string old = documentText("// " + std::string(200000, 'k') + "\n");
  writeFile(document, old);
  auto app = launch({QUARVEL_APP_EXECUTABLE, document.string()}, "app-save-inodes.log");
  const auto window = x_.findWindow("full.svgquarvel", 60);
  ASSERT_TRUE(window) << readFile(outputFile("app-save-inodes.log"));
  for (int index = 0; index < 100; ++index) {
    const int filler = ::open((disk / ("fill" + std::to_string(index))).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (filler < 0) break;
    ::close(filler);
  }
  expectSaveRefused(*window, "full.svgquarvel", "couldn\u2019t be saved because there isn\u2019t enough space",
                    "app-save-inodes.log", "app-save-inodes-error.png");
  EXPECT_EQ(readFile(document), old);
  EXPECT_EQ(hiddenFiles(disk), std::vector<std::string>{});
  EXPECT_TRUE(app->running());
}

TEST_F(AppSaveTest, AChangeAnotherProgramMakesWhileTheSaveWritesIsAskedAbout) {
  const auto document = folder_ / "race.svgquarvel";
  const std::string theirs = documentText("// theirs, written during the save\n");
  // The other program's version takes the name between the writing of the save and its rename.
  std::unique_ptr<XDriver::Process> app;
  const auto window = openEditedWithRival("race.svgquarvel", theirs, false, "app-save-race.log", app);
  ASSERT_TRUE(window);

  const std::string heading = "The file \u201crace.svgquarvel\u201d has been changed by another application.";
  auto question = saveAndWaitFor(*window, heading);
  ASSERT_TRUE(question) << readFile(outputFile("app-save-race.log"));
  expectShownWithText(*question, "app-save-race-question.png");
  EXPECT_EQ(readFile(document), theirs);
  EXPECT_EQ(hiddenFiles(folder_), std::vector<std::string>{});
  // Keeping theirs writes nothing; the window stays edited.
  ASSERT_TRUE(answerWithDefault(*question, heading));
  EXPECT_EQ(readFile(document), theirs);
  EXPECT_TRUE(x_.findWindow("race.svgquarvel \u2014 Edited").has_value());
  EXPECT_TRUE(app->running());
}

TEST_F(AppSaveTest, AFolderThatBecameAFileIsSaidToBeSo) {
  std::filesystem::create_directories(folder_ / "drawings");
  const auto document = folder_ / "drawings" / "doc.svgquarvel";
  writeFile(document, documentText("// in a folder\n"));
  auto app = launch({QUARVEL_APP_EXECUTABLE, document.string()}, "app-save-folder.log");
  const auto window = x_.findWindow("doc.svgquarvel", 60);
  ASSERT_TRUE(window) << readFile(outputFile("app-save-folder.log"));
  std::filesystem::rename(folder_ / "drawings", folder_ / "moved");
  writeFile(folder_ / "drawings", "a file now");
  expectSaveRefused(*window, "doc.svgquarvel", "because \u201cdrawings\u201d, a folder on its path, is no longer a folder",
                    "app-save-folder.log", "app-save-folder-error.png");
  EXPECT_EQ(readFile(outputFile("app-save-folder.log")).find("permission"), std::string::npos);
  EXPECT_EQ(readFile(folder_ / "drawings"), "a file now");
  EXPECT_TRUE(app->running());
}


TEST_F(AppSaveTest, ANameTypedWithoutItsExtensionDoesNotReplaceTheFileThatHasItWithoutAsking) {
  // The panel asks only about the name as typed; the extension added after it may name a file.
  const auto other = folder_ / "other.svgquarvel";
  const std::string old = documentText("// another document\n");
  writeFile(other, old);
  auto app = launch({QUARVEL_APP_EXECUTABLE}, "app-save-extension.log");
  const auto window = x_.findWindow("Untitled", 60);
  ASSERT_TRUE(window) << readFile(outputFile("app-save-extension.log"));
  ASSERT_TRUE(typeInto(*window, "<!--mine-->", "Untitled \u2014 Edited"));

  const std::string heading = "A file named \u201cother.svgquarvel\u201d already exists. Do you want to replace it?";
  x_.focus(*window);
  x_.key("shift+ctrl+s");
  ASSERT_TRUE(chooseInSavePanel(folder_ / "other", false));
  auto question = x_.findWindow(heading, 10);
  ASSERT_TRUE(question) << "the file now holds: " << readFile(other).substr(0, 300);
  expectShownWithText(*question, "app-save-extension-question.png");
  EXPECT_EQ(readFile(other), old);
  // Its default keeps the file: nothing is written and the window stays as it was.
  ASSERT_TRUE(answerWithDefault(*question, heading));
  EXPECT_EQ(readFile(other), old);
  EXPECT_TRUE(x_.findWindow("Untitled \u2014 Edited").has_value());

  // Replacing it is the user's choice.
  x_.focus(*window);
  x_.key("shift+ctrl+s");
  ASSERT_TRUE(chooseInSavePanel(folder_ / "other", false));
  question = x_.findWindow(heading, 10);
  ASSERT_TRUE(question);
  ASSERT_TRUE(XDriver::waitUntil(
      [&] {
        if (!x_.findWindow(heading).has_value()) return true;
        clickLastButton(*question);
        return XDriver::waitUntil([&] { return !x_.findWindow(heading).has_value(); }, 3);
      },
      30));
  ASSERT_TRUE(titleBecomes("other.svgquarvel")) << readFile(outputFile("app-save-extension.log"));
  EXPECT_NE(readFile(other).find("<!--mine-->"), std::string::npos);
  EXPECT_TRUE(app->running());
}


TEST_F(AppSaveTest, APrivateFileStaysPrivateWhileItsNewVersionIsWritten) {
  // Others may not read the document, nor the new file that is written to take its place, from
  // the moment that file is made.
  const auto document = folder_ / "private.svgquarvel";
  writeFile(document, documentText("// mine alone\n"));
  ASSERT_EQ(::chmod(document.c_str(), 0600), 0);
  const auto log = outputFile("app-save-private-creations.log");
  std::filesystem::remove(log);
  auto app = launchWithShim(document, {"QUARVEL_SHIM_CREATION_LOG=" + log.string()}, "app-save-private.log");
  const auto window = x_.findWindow("private.svgquarvel", 60);
  ASSERT_TRUE(window) << readFile(outputFile("app-save-private.log"));
  ASSERT_TRUE(typeInto(*window, "<!--secret-->", "private.svgquarvel \u2014 Edited"));
  x_.key("ctrl+s");
  ASSERT_TRUE(titleBecomes("private.svgquarvel")) << readFile(outputFile("app-save-private.log"));
  EXPECT_NE(readFile(document).find("<!--secret-->"), std::string::npos);
  struct stat info {};
  ASSERT_EQ(::stat(document.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  const auto creations = readFile(log);
  ASSERT_FALSE(creations.empty()) << "no new file was made";
  std::istringstream modes(creations);
  std::string mode;
  while (std::getline(modes, mode)) EXPECT_EQ(std::stoul(mode, nullptr, 8) & 077, 0u) << "made as " << mode;
  EXPECT_TRUE(app->running());
}


TEST_F(AppSaveTest, AFileThatBecameAFolderOrAPipeIsSaidToBeSo) {
  const auto document = folder_ / "doc.svgquarvel";
  writeFile(document, documentText("// a file\n"));
  auto app = launch({QUARVEL_APP_EXECUTABLE, document.string()}, "app-save-not-a-file.log");
  const auto window = x_.findWindow("doc.svgquarvel", 60);
  ASSERT_TRUE(window) << readFile(outputFile("app-save-not-a-file.log"));
  std::filesystem::remove(document);
  std::filesystem::create_directory(document);
  expectSaveRefused(*window, "doc.svgquarvel", "couldn\u2019t be saved because it is a folder, not a file.",
                    "app-save-not-a-file.log", "app-save-folder-now-error.png");
  std::filesystem::remove(document);
  ASSERT_EQ(::mkfifo(document.c_str(), 0600), 0);
  expectSaveRefused(*window, "doc.svgquarvel", "couldn\u2019t be saved because it is a named pipe, not a file.",
                    "app-save-not-a-file.log", "app-save-pipe-error.png");
  EXPECT_TRUE(std::filesystem::is_fifo(document));
  EXPECT_EQ(hiddenFiles(folder_), std::vector<std::string>{});
  EXPECT_TRUE(app->running());
}


TEST_F(AppSaveTest, AChangeAnotherProgramMakesJustAfterASaveIsAskedAboutOnTheNext) {
  const auto document = folder_ / "after.svgquarvel";
  const std::string theirs = documentText("// theirs, written just after the save\n");
  // The other program's version takes the name right after the save's file has taken it.
  std::unique_ptr<XDriver::Process> app;
  const auto window = openEditedWithRival("after.svgquarvel", theirs, true, "app-save-after.log", app);
  ASSERT_TRUE(window);
  x_.key("ctrl+s");
  ASSERT_TRUE(titleBecomes("after.svgquarvel")) << readFile(outputFile("app-save-after.log"));
  ASSERT_EQ(readFile(document), theirs);

  // Theirs is not the version this window wrote: the next save asks before overwriting it.
  ASSERT_TRUE(typeInto(*window, "<!--again-->", "after.svgquarvel \u2014 Edited"));
  const std::string heading = "The file \u201cafter.svgquarvel\u201d has been changed by another application.";
  const auto question = saveAndWaitFor(*window, heading);
  ASSERT_TRUE(question) << "the file now holds: " << readFile(document).substr(0, 200);
  EXPECT_EQ(readFile(document), theirs);
  ASSERT_TRUE(answerWithDefault(*question, heading));
  EXPECT_EQ(readFile(document), theirs);
  EXPECT_EQ(hiddenFiles(folder_), std::vector<std::string>{});
  EXPECT_TRUE(app->running());
}

TEST_F(AppSaveTest, ANameThatBecameASymbolicLinkIsAskedAboutNamingWhereItLeads) {
  const auto document = folder_ / "private.svgquarvel";
  writeFile(document, documentText("// mine alone\n"));
  ASSERT_EQ(::chmod(document.c_str(), 0600), 0);
  // Shared with the user 4242 alone where the file system keeps access control lists: the list's
  // mask (read and write) is then the group's permissions, though the group itself may do nothing.
  const std::string list = FileAttributesTestSupport::accessList(06, {{4242, 06}}, 0, 06, 0);
  (void)::setxattr(document.c_str(), "system.posix_acl_access", list.data(), list.size(), 0);
  auto app = launch({QUARVEL_APP_EXECUTABLE, document.string()}, "app-save-became-link.log");
  const auto window = x_.findWindow("private.svgquarvel", 60);
  ASSERT_TRUE(window) << readFile(outputFile("app-save-became-link.log"));
  ASSERT_TRUE(typeInto(*window, "<!--secret-->", "private.svgquarvel \u2014 Edited"));

  // Another program puts a link where the document was, to a place where no file is.
  const auto elsewhere = folder_ / "public" / "leak.svgquarvel";
  std::filesystem::create_directories(elsewhere.parent_path());
  std::filesystem::remove(document);
  std::filesystem::create_symlink(elsewhere, document);

  const std::string heading = "The file \u201cprivate.svgquarvel\u201d has been changed by another application.";
  auto question = saveAndWaitFor(*window, heading);
  ASSERT_TRUE(question) << readFile(outputFile("app-save-became-link.log"));
  expectShownWithText(*question, "app-save-became-link-question.png");
  x_.focus(*question);
  x_.grabScreen().savePNG(outputFile("app-save-became-link-screen.png").string());
  EXPECT_NE(readFile(outputFile("app-save-became-link.log"))
                .find("Its name is now a symbolic link to \u201c" + elsewhere.string() + "\u201d, where there is no file"),
            std::string::npos)
      << readFile(outputFile("app-save-became-link.log"));
  EXPECT_FALSE(std::filesystem::exists(elsewhere)) << "a file was made where the link leads";
  ASSERT_TRUE(answerWithDefault(*question, heading));
  EXPECT_FALSE(std::filesystem::exists(elsewhere));
  EXPECT_TRUE(x_.findWindow("private.svgquarvel \u2014 Edited").has_value());

  // Overwrite writes there, the user having been told, as private as the document was.
  question = saveAndWaitFor(*window, heading);
  ASSERT_TRUE(question);
  ASSERT_TRUE(XDriver::waitUntil(
      [&] {
        if (!x_.findWindow(heading).has_value()) return true;
        clickLastButton(*question);
        return XDriver::waitUntil([&] { return !x_.findWindow(heading).has_value(); }, 3);
      },
      30));
  ASSERT_TRUE(titleBecomes("private.svgquarvel")) << readFile(outputFile("app-save-became-link.log"));
  EXPECT_NE(readFile(elsewhere).find("<!--secret-->"), std::string::npos);
  struct stat info {};
  ASSERT_EQ(::stat(elsewhere.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  EXPECT_TRUE(std::filesystem::is_symlink(document));
  EXPECT_TRUE(app->running());
}

TEST_F(AppSaveTest, OverwritingThroughANameThatBecameALinkWritesOnlyWhereTheUserWasToldAndNoOneElsesFile) {
  if (::geteuid() != 0) GTEST_SKIP() << "files of other users need an administrator to set up";
  const auto document = folder_ / "mine.svgquarvel";
  writeFile(document, documentText("// mine alone\n"));
  ASSERT_EQ(::chmod(document.c_str(), 0600), 0);
  const std::string log = "app-save-link-owner.log";
  auto app = launch({QUARVEL_APP_EXECUTABLE, document.string()}, log);
  const auto window = x_.findWindow("mine.svgquarvel", 60);
  ASSERT_TRUE(window) << readFile(outputFile(log));
  ASSERT_TRUE(typeInto(*window, "<!--edited-->", "mine.svgquarvel \u2014 Edited"));

  // Files in a folder of their group's: one of another user's, two of the writer's.
  const auto shared = folder_ / "shared";
  std::filesystem::create_directories(shared);
  auto place = [&](const std::string& name, uid_t owner) {
    const auto file = shared / name;
    writeFile(file, documentText("// " + name + "\n"));
    EXPECT_EQ(::chown(file.c_str(), owner, 4310), 0);
    EXPECT_EQ(::chmod(file.c_str(), 0664), 0);
    return file;
  };
  const auto theirs = place("theirs.svgquarvel", 4311), kept = place("kept.svgquarvel", 0),
             elsewhere = place("elsewhere.svgquarvel", 0);
  const bool attributes = ::setxattr(elsewhere.c_str(), "user.note", "kept", 4, 0) == 0;
  auto linkTo = [&](const std::filesystem::path& file) {
    std::filesystem::remove(document);
    std::filesystem::create_symlink(file, document);
  };
  const std::string heading = "The file \u201cmine.svgquarvel\u201d has been changed by another application.";
  auto logTells = [&](const std::string& text) { return readFile(outputFile(log)).find(text) != std::string::npos; };
  auto linkDetail = [](const std::filesystem::path& file) {
    return "Its name is now a symbolic link to \u201c" + file.string() + "\u201d, another file";
  };
  // Clicks Overwrite in the question until `answered` holds.
  auto overwriteUntil = [&](const std::function<bool()>& answered) {
    return XDriver::waitUntil(
        [&] {
          if (answered()) return true;
          if (const auto question = x_.findWindow(heading)) clickLastButton(*question);
          return XDriver::waitUntil(answered, 3);
        },
        30);
  };

  // Another program puts a link to another user's file where the document was: Overwrite would
  // hand that user the private document, and is refused.
  linkTo(theirs);
  ASSERT_TRUE(saveAndWaitFor(*window, heading)) << readFile(outputFile(log));
  EXPECT_TRUE(logTells(linkDetail(theirs))) << readFile(outputFile(log));
  const std::string refused = "The document \u201cmine.svgquarvel\u201d could not be saved.";
  ASSERT_TRUE(overwriteUntil([&] { return x_.findWindow(refused).has_value(); })) << readFile(outputFile(log));
  EXPECT_TRUE(logTells("\u201d, which belongs to the user 4311: written there, the document would be the user "
                       "4311\u2019s to open. Nothing was changed."))
      << readFile(outputFile(log));
  dismiss(refused);
  EXPECT_EQ(readFile(theirs), documentText("// theirs.svgquarvel\n"));
  EXPECT_TRUE(x_.findWindow("mine.svgquarvel \u2014 Edited").has_value());

  // A link to a file of the writer's, turned to another one while the question shows: Overwrite
  // answered the question about the first, so the second is asked about before it is written.
  linkTo(kept);
  ASSERT_TRUE(saveAndWaitFor(*window, heading)) << readFile(outputFile(log));
  EXPECT_TRUE(logTells(linkDetail(kept))) << readFile(outputFile(log));
  linkTo(elsewhere);
  ASSERT_TRUE(overwriteUntil([&] { return logTells(linkDetail(elsewhere)); })) << readFile(outputFile(log));
  const auto askedAgain = x_.findWindow(heading, 30);
  ASSERT_TRUE(askedAgain) << readFile(outputFile(log));
  expectShownWithText(*askedAgain, "app-save-link-turned.png");
  EXPECT_EQ(readFile(kept), documentText("// kept.svgquarvel\n"));
  EXPECT_EQ(readFile(elsewhere), documentText("// elsewhere.svgquarvel\n"));

  // Overwrite now replaces the file named: it stays its owner's and its group's, and holds the
  // text as privately as the version read did, without the attributes of the file there.
  ASSERT_TRUE(overwriteUntil([&] { return !x_.findWindow(heading).has_value(); }));
  ASSERT_TRUE(titleBecomes("mine.svgquarvel")) << readFile(outputFile(log));
  EXPECT_NE(readFile(elsewhere).find("<!--edited-->"), std::string::npos);
  EXPECT_EQ(readFile(kept), documentText("// kept.svgquarvel\n"));
  struct stat info {};
  ASSERT_EQ(::stat(elsewhere.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 0u);
  EXPECT_EQ(info.st_gid, 4310u);
  EXPECT_EQ(info.st_mode & 07777, 0600u) << std::oct << (info.st_mode & 07777);
  if (attributes) {
    char value[8] = {};
    EXPECT_LT(::getxattr(elsewhere.c_str(), "user.note", value, sizeof value), 0) << "an attribute of the file there";
  }
  EXPECT_TRUE(std::filesystem::is_symlink(document));
  EXPECT_EQ(hiddenFiles(shared), std::vector<std::string>{});
  EXPECT_TRUE(app->running());
}

// Another program moves the document's folder away and leaves a link to another folder in its
// place: the save asks, naming where the name leads now; Overwrite gives no other user's file the
// document, and writes one of the writer's as privately as the version read.
TEST_F(AppSaveTest, AFolderOnThePathThatBecameALinkIsAskedAboutNamingWhereItLeads) {
  const auto mine = folder_ / "priv", shared = folder_ / "att";
  std::filesystem::create_directories(mine);
  std::filesystem::create_directories(shared);
  const auto document = mine / "doc.svgquarvel", there = shared / "doc.svgquarvel";
  writeFile(document, documentText("// mine alone\n"));
  ASSERT_EQ(::chmod(document.c_str(), 0600), 0);
  const std::string others = documentText("// theirs\n");
  writeFile(there, others);
  ASSERT_EQ(::chmod(there.c_str(), 0644), 0);
  const bool administrator = ::geteuid() == 0;
  if (administrator) {
    ASSERT_EQ(::chown(there.c_str(), 4311, 4310), 0);
  }
  const std::string log = "app-save-folder-link.log";
  auto app = launch({QUARVEL_APP_EXECUTABLE, document.string()}, log);
  const auto window = x_.findWindow("doc.svgquarvel", 60);
  ASSERT_TRUE(window) << readFile(outputFile(log));
  ASSERT_TRUE(typeInto(*window, "<!--secret-->", "doc.svgquarvel \u2014 Edited"));
  std::filesystem::rename(mine, folder_ / "priv.old");
  std::filesystem::create_symlink(shared, mine);

  auto logTells = [&](const std::string& text) { return readFile(outputFile(log)).find(text) != std::string::npos; };
  auto question = saveAndWaitFor(*window, ownChangeHeading());
  ASSERT_TRUE(question) << readFile(outputFile(log));
  expectShownWithText(*question, "app-save-folder-link-question.png");
  EXPECT_TRUE(logTells("A folder on its path now leads elsewhere, and its name to \u201c" + there.string() +
                       "\u201d, another file: overwriting replaces that file."))
      << readFile(outputFile(log));
  EXPECT_EQ(readFile(there), others);

  if (administrator) {
    // The file there is the user 4311's, who could not open the document: Overwrite is refused.
    const std::string refused = "The document \u201cdoc.svgquarvel\u201d could not be saved.";
    ASSERT_TRUE(overwriteUntil([&] { return x_.findWindow(refused).has_value(); })) << readFile(outputFile(log));
    EXPECT_TRUE(logTells("\u201d, which belongs to the user 4311: written there, the document would be the user "
                         "4311\u2019s to open. Nothing was changed."))
        << readFile(outputFile(log));
    dismiss(refused);
    EXPECT_EQ(readFile(there), others);
    struct stat info {};
    ASSERT_EQ(::stat(there.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 4311u);
    EXPECT_EQ(info.st_mode & 07777, 0644u);
    // The writer's own file in another group, open to it and to all.
    ASSERT_EQ(::chown(there.c_str(), 0, 4310), 0);
    ASSERT_EQ(::chmod(there.c_str(), 0664), 0);
    question = saveAndWaitFor(*window, ownChangeHeading());
    ASSERT_TRUE(question) << readFile(outputFile(log));
  }

  // Overwrite writes the file named, as privately as the version read; the folder moved away
  // keeps the document as it was.
  ASSERT_TRUE(overwriteUntil([&] { return !x_.findWindow(ownChangeHeading()).has_value(); }));
  ASSERT_TRUE(titleBecomes("doc.svgquarvel")) << readFile(outputFile(log));
  EXPECT_NE(readFile(there).find("<!--secret-->"), std::string::npos) << readFile(there);
  struct stat info {};
  ASSERT_EQ(::stat(there.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u) << std::oct << (info.st_mode & 07777);
  if (administrator) {
    EXPECT_EQ(info.st_uid, 0u);
    EXPECT_EQ(info.st_gid, 4310u);
  }
  EXPECT_EQ(readFile(folder_ / "priv.old" / "doc.svgquarvel"), documentText("// mine alone\n"));
  EXPECT_TRUE(std::filesystem::is_symlink(mine));
  EXPECT_EQ(hiddenFiles(shared), std::vector<std::string>{});

  // Saved there at the user's word, the next save asks nothing.
  expectSavedWithoutQuestion(*window, "<!--again-->", there);
  EXPECT_TRUE(app->running());
}

TEST_F(AppSaveTest, ANameTypedWithDotsGetsTheExtensionOfTheChosenTypeAndOpensAgain) {
  auto app = launch({QUARVEL_APP_EXECUTABLE}, "app-save-dotted.log");
  const auto window = x_.findWindow("Untitled", 60);
  ASSERT_TRUE(window) << readFile(outputFile("app-save-dotted.log"));
  ASSERT_TRUE(typeInto(*window, "<!--dotted-->", "Untitled \u2014 Edited"));
  x_.focus(*window);
  x_.key("shift+ctrl+s");
  ASSERT_TRUE(chooseInSavePanel(folder_ / "logo 1.5", false));
  ASSERT_TRUE(titleBecomes("logo 1.5.svgquarvel")) << readFile(outputFile("app-save-dotted.log"));
  const auto saved = folder_ / "logo 1.5.svgquarvel";
  EXPECT_FALSE(std::filesystem::exists(folder_ / "logo 1.5"));
  ASSERT_TRUE(std::filesystem::exists(saved));
  EXPECT_NO_THROW(SVGQuarvelDocument::readContents(saved, UTType::svgQuarvelDocument(),
                                                   SVGQuarvelConfiguration::defaultConfig()));
  EXPECT_NE(readFile(saved).find("<!--dotted-->"), std::string::npos);
  EXPECT_TRUE(app->running());
}

TEST_F(AppSaveTest, APrivateDocumentRenamedAwayWhileOpenIsSavedAnewAsPrivateAsItWas) {
  const auto document = folder_ / "private.svgquarvel";
  writeFile(document, documentText("// mine alone\n"));
  ASSERT_EQ(::chmod(document.c_str(), 0600), 0);
  // New files of the application may be read by everyone; the document may not.
  const mode_t umask = ::umask(022);
  auto app = launch({QUARVEL_APP_EXECUTABLE, document.string()}, "app-save-renamed-away.log");
  ::umask(umask);
  const auto window = x_.findWindow("private.svgquarvel", 60);
  ASSERT_TRUE(window) << readFile(outputFile("app-save-renamed-away.log"));
  ASSERT_TRUE(typeInto(*window, "<!--secret-->", "private.svgquarvel \u2014 Edited"));

  // Another program renames the file; the window's name has no file now.
  const auto renamed = folder_ / "renamed.svgquarvel";
  std::filesystem::rename(document, renamed);
  x_.focus(*window);
  x_.key("ctrl+s");
  ASSERT_TRUE(titleBecomes("private.svgquarvel")) << readFile(outputFile("app-save-renamed-away.log"));
  EXPECT_NE(readFile(document).find("<!--secret-->"), std::string::npos);
  struct stat info {};
  ASSERT_EQ(::stat(document.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u) << std::oct << (info.st_mode & 07777);
  EXPECT_EQ(readFile(renamed), documentText("// mine alone\n"));
  EXPECT_EQ(hiddenFiles(folder_), std::vector<std::string>{});
  EXPECT_TRUE(app->running());
}

TEST_F(AppSaveTest, AQuestionAboutALinkToALongNameOfManyLinesFitsOnTheScreen) {
  const auto document = folder_ / "doc.svgquarvel";
  writeFile(document, documentText("// a file\n"));
  auto app = launch({QUARVEL_APP_EXECUTABLE, document.string()}, "app-save-long-link.log");
  const auto window = x_.findWindow("doc.svgquarvel", 60);
  ASSERT_TRUE(window) << readFile(outputFile("app-save-long-link.log"));
  ASSERT_TRUE(typeInto(*window, "<!--x-->", "doc.svgquarvel \u2014 Edited"));

  // The name becomes a link to a place of long folder names without spaces, and of 300 lines.
  std::string target = folder_.string();
  for (int index = 0; index < 8; ++index) target += "/" + std::string(200, 'd');
  for (int index = 0; index < 300; ++index) target += "/line\n";
  std::filesystem::remove(document);
  std::filesystem::create_symlink(target + "end.svgquarvel", document);

  const std::string heading = "The file \u201cdoc.svgquarvel\u201d has been changed by another application.";
  const auto question = saveAndWaitFor(*window, heading);
  ASSERT_TRUE(question) << readFile(outputFile("app-save-long-link.log"));
  expectShownWithText(*question, "app-save-long-link-question.png");
  const auto frame = x_.geometry(*question);
  const auto screen = x_.grabScreen();
  screen.savePNG(outputFile("app-save-long-link-screen.png").string());
  EXPECT_LE(frame.width, screen.width) << "the buttons are off the screen";
  EXPECT_LE(frame.height, screen.height) << "the buttons are off the screen";
  EXPECT_NE(readFile(outputFile("app-save-long-link.log")).find("/line\u240A/line\u240A"), std::string::npos)
      << "the link's line breaks are not shown as such";
  ASSERT_TRUE(answerWithDefault(*question, heading));
  EXPECT_TRUE(std::filesystem::is_symlink(document));
  EXPECT_TRUE(x_.findWindow("doc.svgquarvel \u2014 Edited").has_value());
  EXPECT_TRUE(app->running());
}

}  // namespace

// A document whose Swift is long enough to go into its editor a piece at a time, driven from the
// moment its window shows: Select All and Undo in the Swift editor leave the window unedited, and
// once the drawing is changed a save writes the drawing and the whole Swift.
TEST_F(AppSaveTest, ALargeSwiftGoingIntoItsEditorIsSavedWhole) {
  std::string swift;
  for (unsigned i = 0; swift.size() < (12u << 20); ++i) {
    swift += "let value" + std::to_string(i) + " = " + std::to_string(i) + " // line\n";
  }
  const auto document = folder_ / "large.svgquarvel";
  writeFile(document, documentText(swift));
  const std::string log = "app-save-large.log";
  auto app = launch({QUARVEL_APP_EXECUTABLE, document.string()}, log);
  const auto window = x_.findWindow("large.svgquarvel", 60);
  ASSERT_TRUE(window) << readFile(outputFile(log));
  const auto frame = x_.geometry(*window);
  x_.focus(*window);
  x_.click(frame.x + int(frame.width * 0.85), frame.y + int(frame.height * 0.75));
  x_.key("ctrl+a");
  x_.key("ctrl+z");
  // The drawing changed (the keys above are taken before these), and saved.
  ASSERT_TRUE(typeInto(*window, "<!--x-->", "large.svgquarvel \u2014 Edited"));
  x_.grab(frame).savePNG(outputFile("app-save-large-edited.png").string());
  x_.focus(*window);
  x_.key("ctrl+s");
  ASSERT_TRUE(titleBecomes("large.svgquarvel")) << readFile(outputFile(log));
  const auto saved = SVGQuarvelDocument::Snapshot::fromJSONString(readFile(document));
  EXPECT_NE(saved.svg.find("<!--x-->"), std::string::npos);
  EXPECT_EQ(saved.swift.size(), swift.size()) << "the save wrote part of the Swift";
  EXPECT_TRUE(saved.swift == swift);
  EXPECT_TRUE(app->running());
}

// A document opened through a folder link, whose name is a link that climbs out of its folder
// (".."), is its own file as long as nothing changes: saved again and again, it is never asked
// about, and the links stay.
TEST_F(AppSaveTest, ADocumentReachedThroughUnchangingLinksIsSavedAgainWithoutAQuestion) {
  std::filesystem::create_directories(folder_ / "deep" / "sub");
  std::filesystem::create_directories(folder_ / "deep" / "x");
  std::filesystem::create_symlink("deep/sub", folder_ / "short");
  const auto file = folder_ / "deep" / "x" / "doc.svgquarvel";
  writeFile(file, documentText("// linked\n"));
  std::filesystem::create_symlink("../x/doc.svgquarvel", folder_ / "deep" / "sub" / "doc.svgquarvel");
  const std::string log = "app-save-unchanging-links.log";
  auto app = launch({QUARVEL_APP_EXECUTABLE, (folder_ / "short" / "doc.svgquarvel").string()}, log);
  const auto window = x_.findWindow("doc.svgquarvel", 60);
  ASSERT_TRUE(window) << readFile(outputFile(log));
  for (const auto* mark : {"<!--1-->", "<!--2-->", "<!--3-->"}) {
    expectSavedWithoutQuestion(*window, mark, file);
  }
  EXPECT_TRUE(std::filesystem::is_symlink(folder_ / "deep" / "sub" / "doc.svgquarvel"));
  EXPECT_TRUE(app->running());
}
