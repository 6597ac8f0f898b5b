// The application's document controller: untitled documents and the queue of converted SVG,
// saving (whole files only, Save As onto a link to the document's own file), reopening and the
// edited state.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <functional>
#include <iterator>
#include <stdexcept>

#include "SVGQuarvel/App/DocumentController.h"
#include "SVGQuarvelTests/QuarvelTestSupport.h"

using SVGQuarvel::DocumentController;
using namespace QuarvelTestSupport;

namespace {

const std::string circle = "<svg xmlns=\"http://www.w3.org/2000/svg\"><circle cx=\"10\" cy=\"10\" r=\"5\"/></svg>";

TEST(AppDocumentController, NewDocumentsTakeTheBuiltInDrawingOrTheWaitingSnapshotAndNumberTheirTitles) {
  CapturedConsole console;
  DocumentController controller;
  std::vector<std::string> shownTitles;
  controller.setPresenter([&](const SVGQuarvel::DocumentRecordPtr& shown) { shownTitles.push_back(shown->displayName()); });
  auto first = controller.openUntitledDocumentAndDisplay(true);
  EXPECT_EQ(first->document()->svgString.get(), std::string(newDocumentSVG));
  EXPECT_NE(first->document()->swift.get().find("struct"), std::string::npos);
  EXPECT_EQ(first->displayName(), "Untitled");
  EXPECT_FALSE(first->isDocumentEdited());

  std::shared_ptr<SVGQuarvel::DocumentRecord> second;
  SVGQuarvelDocument::openSVG(circle, [&] { second = controller.openUntitledDocumentAndDisplay(true); });
  ASSERT_TRUE(second);
  EXPECT_EQ(second->document()->svgString.get(), circle);
  EXPECT_NE(second->document()->swift.get().find("Circle"), std::string::npos);
  EXPECT_EQ(second->displayName(), "Untitled 2");
  EXPECT_TRUE(SVGQuarvelDocument::pendingSVGs().empty());

  // A closed untitled document frees its number.
  controller.close(*first);
  EXPECT_EQ(controller.openUntitledDocumentAndDisplay(false)->displayName(), "Untitled");
  EXPECT_EQ(controller.documents().size(), 2u);
  EXPECT_EQ(shownTitles, (std::vector<std::string>{"Untitled", "Untitled 2"}));  // named before shown
}

TEST(AppDocumentController, ADocumentThatCannotBeMadeLeavesNoSnapshotForTheNextOne) {
  CapturedConsole console;
  DocumentController controller;
  controller.setDocumentFactory([]() -> std::shared_ptr<SVGQuarvelDocument> { throw std::runtime_error("no memory"); });
  EXPECT_THROW(SVGQuarvelDocument::openSVG(circle, [&] { controller.openUntitledDocumentAndDisplay(true); }),
               std::runtime_error);
  EXPECT_TRUE(SVGQuarvelDocument::pendingSVGs().empty());

  // A window that cannot be shown does not keep its document either.
  controller.setDocumentFactory(nullptr);
  controller.setPresenter([](const SVGQuarvel::DocumentRecordPtr&) { throw std::runtime_error("no window"); });
  EXPECT_THROW(controller.openUntitledDocumentAndDisplay(true), std::runtime_error);
  EXPECT_TRUE(controller.documents().empty());

  controller.setPresenter(nullptr);
  EXPECT_EQ(controller.openUntitledDocumentAndDisplay(true)->document()->svgString.get(), std::string(newDocumentSVG));
}

TEST(AppDocumentController, SavedDocumentsReopenWithTheirTextsAndTrackChanges) {
  CapturedConsole console;
  const auto folder = scratchDirectory();
  const auto file = folder / "drawing.svgquarvel";
  DocumentController controller;
  auto record = controller.openUntitledDocumentAndDisplay(false);
  EXPECT_THROW(controller.save(*record), CocoaError);  // untitled: needs a file first

  record->document()->svgString = circle;
  EXPECT_TRUE(record->isDocumentEdited());
  controller.saveAs(*record, file, DocumentController::typeForSaving(file));
  EXPECT_FALSE(record->isDocumentEdited());
  EXPECT_EQ(record->displayName(), "drawing.svgquarvel");
  EXPECT_EQ(controller.editedDocuments().size(), 0u);

  // Hand edits of the Swift are saved and come back.
  record->document()->swift = "// mine\n";
  EXPECT_TRUE(record->isDocumentEdited());
  EXPECT_EQ(controller.editedDocuments().size(), 1u);
  controller.save(*record);
  EXPECT_FALSE(record->isDocumentEdited());

  DocumentController other;
  auto reopened = other.openDocument(file, false);
  EXPECT_EQ(reopened->document()->svgString.get(), circle);
  EXPECT_EQ(reopened->document()->swift.get(), "// mine\n");
  EXPECT_FALSE(reopened->isDocumentEdited());
  EXPECT_EQ(other.openDocument(file, false), reopened);  // not opened twice

  // Other types write their own text.
  controller.saveAs(*record, folder / "drawing.svg", DocumentController::typeForSaving(folder / "drawing.svg"));
  EXPECT_EQ(readFile(folder / "drawing.svg"), circle);
  controller.saveAs(*record, folder / "View.swift", DocumentController::typeForSaving(folder / "View.swift"));
  EXPECT_EQ(readFile(folder / "View.swift"), "// mine\n");
  EXPECT_EQ(record->fileType(), UTType::swiftSource());

  // A damaged document file opens nothing.
  writeFile(folder / "damaged.svgquarvel", "{\"svg\": 1}");
  EXPECT_THROW(other.openDocument(folder / "damaged.svgquarvel", false), SVGQuarvelDocument::DecodingError);
  EXPECT_EQ(other.documents().size(), 1u);
}

TEST(AppDocumentController, AFailedSaveKeepsThePreviousFileAndTheChanges) {
  const auto folder = scratchDirectory();
  EXPECT_NO_FAILURES_IN_FRESH_PROCESS([&] {
    std::string problems;
    CapturedConsole console;
    const auto file = folder / "kept.svgquarvel";
    DocumentController controller;
    auto record = controller.openUntitledDocumentAndDisplay(false);
    controller.saveAs(*record, file, UTType::svgQuarvelDocument());
    const std::string before = readFile(file);

    // The disk is full from here on: no file may grow past a little more than the saved one.
    record->document()->svgString = "<svg xmlns=\"http://www.w3.org/2000/svg\">" + std::string(20000, ' ') + "</svg>";
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit {};
    limit.rlim_cur = limit.rlim_max = before.size() + 100;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    try {
      controller.save(*record);
      problems += "the save did not fail\n";
    } catch (const CocoaError&) {
    }
    if (readFile(file) != before) problems += "the previous file changed\n";
    if (!record->isDocumentEdited()) problems += "the changes count as saved\n";
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      if (entry.path() != file) problems += "left behind: " + entry.path().string() + "\n";
    }
    return problems;
  });
}

/// Writes a document file holding the circle and `swift`.
std::filesystem::path documentFile(const std::filesystem::path& file, const std::string& swift) {
  writeFile(file, SVGQuarvelDocument::Snapshot{circle, swift, std::nullopt}.jsonString());
  return file;
}

TEST(AppDocumentController, AFileAnotherProgramChangedIsOverwrittenOnlyWhenAsked) {
  CapturedConsole console;
  const auto folder = scratchDirectory();
  const auto file = documentFile(folder / "doc.svgquarvel", "// first\n");
  DocumentController controller;
  auto record = controller.openDocument(file, false);
  ASSERT_TRUE(record->fileEntityTag());
  record->document()->swift = "// mine\n";
  controller.save(*record);  // unchanged on disk: saved
  record->document()->swift = "// mine, later\n";

  const std::string theirs = SVGQuarvelDocument::Snapshot{circle, "// theirs\n", std::nullopt}.jsonString();
  writeFile(folder / "new.tmp", theirs);
  std::filesystem::rename(folder / "new.tmp", file);
  EXPECT_THROW(controller.save(*record), FileChangedError);
  EXPECT_EQ(readFile(file), theirs);
  EXPECT_TRUE(record->isDocumentEdited());
  EXPECT_THROW(controller.save(*record), FileChangedError) << "keeping their version asks again next time";
  // Saving the window's file under its own name through Save As checks too.
  EXPECT_THROW(controller.saveAs(*record, file, UTType::svgQuarvelDocument()), FileChangedError);

  controller.save(*record, true);
  EXPECT_NE(readFile(file).find("mine, later"), std::string::npos);
  EXPECT_FALSE(record->isDocumentEdited());
  record->document()->swift = "// and again\n";
  controller.save(*record);  // the identity of its own save is what it checks against next
  EXPECT_NE(readFile(file).find("and again"), std::string::npos);
}

TEST(AppDocumentController, SaveAsOntoAFileAnotherWindowHoldsIsRefusedOrClosesThatWindow) {
  CapturedConsole console;
  const auto folder = scratchDirectory();
  const auto file = documentFile(folder / "held.svgquarvel", "// held\n");
  DocumentController controller;
  std::vector<std::string> closed;
  controller.setWindowNamer([](const SVGQuarvel::DocumentRecord& record) { return record.displayName() + " (window)"; });
  controller.setCloser([&](const SVGQuarvel::DocumentRecordPtr& record) {
    closed.push_back(record->displayName());
    controller.close(*record);
  });
  auto holder = controller.openDocument(file, false);
  auto saver = controller.openUntitledDocumentAndDisplay(false);
  saver->document()->swift = "// saver\n";

  holder->document()->swift = "// unsaved in the holder\n";
  try {
    controller.saveAs(*saver, folder / "." / "held.svgquarvel", UTType::svgQuarvelDocument());
    ADD_FAILURE() << "two windows own one file";
  } catch (const CocoaError& error) {
    EXPECT_NE(std::string(error.what()).find("open in the window \u201cheld.svgquarvel (window)\u201d"), std::string::npos)
        << error.what();
  }
  EXPECT_NE(readFile(file).find("held\\n"), std::string::npos);
  EXPECT_FALSE(saver->fileURL());
  EXPECT_TRUE(closed.empty());

  // Without unsaved changes the other window goes once the save has succeeded.
  holder->document()->swift = "// held\n";
  ASSERT_FALSE(holder->isDocumentEdited());
  controller.saveAs(*saver, file, UTType::svgQuarvelDocument());
  EXPECT_NE(readFile(file).find("saver\\n"), std::string::npos);
  EXPECT_EQ(closed, std::vector<std::string>{"held.svgquarvel"});
  EXPECT_EQ(controller.documents().size(), 1u);
}

/// What a save asks about (the detail of its `FileChangedError`); "written" when it saved.
std::string askedAbout(const std::function<void()>& save) {
  try {
    save();
  } catch (const FileChangedError& error) {
    return error.detail();
  }
  return "written";
}

/// A document open from "doc.svgquarvel" with an edit, the link "alias.svgquarvel" to that file,
/// and another program's version of the file put in its place (a new file renamed over it).
struct OwnChangedFile {
  std::filesystem::path folder = scratchDirectory();
  std::filesystem::path file = documentFile(folder / "doc.svgquarvel", "// first\n");
  std::filesystem::path alias = folder / "alias.svgquarvel";
  std::string theirs = SVGQuarvelDocument::Snapshot{circle, "// theirs\n", std::nullopt}.jsonString();
  DocumentController controller;
  SVGQuarvel::DocumentRecordPtr record;

  OwnChangedFile() {
    std::filesystem::create_symlink("doc.svgquarvel", alias);
    record = controller.openDocument(file, false);
    record->document()->swift = "// mine\n";
    writeFile(folder / "theirs.tmp", theirs);
    std::filesystem::rename(folder / "theirs.tmp", file);
  }
  /// Save As onto the link, answering a question with `approved`.
  std::string saveAsAlias(const std::optional<std::string>& approved = std::nullopt) {
    return askedAbout([&] {
      controller.saveAs(*record, alias, UTType::svgQuarvelDocument(), approved.has_value(), approved);
    });
  }
};

TEST(AppDocumentController, SaveAsOntoALinkToTheOwnChangedFileOverwritesUnderTheNameChosen) {
  CapturedConsole console;
  OwnChangedFile own;
  // The link leads to the document's own file: asked about the other program's change alone.
  const std::string asked = own.saveAsAlias();
  EXPECT_EQ(asked, "") << "asked about the link as if it led to another file";
  EXPECT_EQ(readFile(own.file), own.theirs);
  EXPECT_EQ(own.record->fileURL(), own.file);

  // Overwrite: written through the link, and the document belongs to the name chosen.
  EXPECT_EQ(own.saveAsAlias(asked), "written");
  EXPECT_NE(readFile(own.file).find("mine"), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_symlink(own.alias));
  EXPECT_EQ(own.record->fileURL(), own.alias);
  EXPECT_EQ(own.record->displayName(), "alias.svgquarvel");
  EXPECT_FALSE(own.record->isDocumentEdited());

  // Saved through the link from then on; another program's change there is asked about as a
  // change of the file alone.
  own.record->document()->swift = "// later\n";
  EXPECT_EQ(askedAbout([&] { own.controller.save(*own.record); }), "written");
  EXPECT_NE(readFile(own.file).find("later"), std::string::npos);
  own.record->document()->swift = "// later still\n";
  writeFile(own.folder / "theirs.tmp", own.theirs);
  std::filesystem::rename(own.folder / "theirs.tmp", own.file);
  EXPECT_EQ(askedAbout([&] { own.controller.save(*own.record); }), "");
  EXPECT_EQ(readFile(own.file), own.theirs);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(own.folder), std::filesystem::directory_iterator()), 2)
      << "a temporary file was left";
}

TEST(AppDocumentController, SaveAsOntoALinkTurnedWhileAskedAsksAnewBeforeWritingWhereItLeads) {
  CapturedConsole console;
  OwnChangedFile own;
  const auto elsewhere = own.folder / "elsewhere.svgquarvel";
  writeFile(elsewhere, "elsewhere");
  const std::string asked = own.saveAsAlias();
  ASSERT_EQ(asked, "");
  auto turnTo = [&](const std::string& place) {
    std::filesystem::remove(own.alias);
    std::filesystem::create_symlink(place, own.alias);
  };

  // Turned to where no file is, then to another file, while the question showed: the answer was
  // about the document's own file, so each is asked about, naming where the link leads now.
  turnTo("gone.svgquarvel");
  const std::string aboutNowhere = own.saveAsAlias(asked);
  EXPECT_EQ(aboutNowhere, "Its name is now a symbolic link to \u201c" + (own.folder / "gone.svgquarvel").string() +
                              "\u201d, where there is no file: overwriting makes one there.");
  EXPECT_FALSE(std::filesystem::exists(own.folder / "gone.svgquarvel")) << "a file was made where the link leads";
  turnTo("elsewhere.svgquarvel");
  const std::string aboutElsewhere = own.saveAsAlias(aboutNowhere);
  EXPECT_EQ(aboutElsewhere, "Its name is now a symbolic link to \u201c" + elsewhere.string() +
                                "\u201d, another file: overwriting replaces that file.");
  EXPECT_EQ(readFile(elsewhere), "elsewhere");

  // A file put under the name meanwhile is another file too.
  std::filesystem::remove(own.alias);
  writeFile(own.alias, "plain");
  const std::string aboutPlain = own.saveAsAlias(aboutElsewhere);
  EXPECT_EQ(aboutPlain, "Another file has taken its name since: overwriting replaces that file.");
  EXPECT_EQ(readFile(own.alias), "plain");
  EXPECT_EQ(readFile(own.file), own.theirs);
  EXPECT_EQ(readFile(elsewhere), "elsewhere");
  EXPECT_EQ(own.record->fileURL(), own.file);
  EXPECT_TRUE(own.record->isDocumentEdited());

  // Answered for what is there now, it is replaced, and the document takes the name.
  EXPECT_EQ(own.saveAsAlias(aboutPlain), "written");
  EXPECT_NE(readFile(own.alias).find("mine"), std::string::npos);
  EXPECT_FALSE(std::filesystem::is_symlink(own.alias));
  EXPECT_EQ(own.record->fileURL(), own.alias);
  EXPECT_EQ(readFile(own.file), own.theirs);
  EXPECT_EQ(readFile(elsewhere), "elsewhere");
}

TEST(AppDocumentController, SaveAsOntoALinkHoldsToTheOwnFileWhateverBecameOfItAndMakesNoFileElsewhere) {
  CapturedConsole console;
  // Another program removed the private file: the link to its name makes it anew, as private.
  OwnChangedFile own;
  std::filesystem::permissions(own.file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  DocumentController controller;
  auto record = controller.openDocument(own.file, false);
  record->document()->swift = "// mine\n";
  std::filesystem::remove(own.file);
  EXPECT_EQ(askedAbout([&] { controller.saveAs(*record, own.alias, UTType::svgQuarvelDocument()); }), "written");
  EXPECT_TRUE(std::filesystem::is_symlink(own.alias));
  EXPECT_EQ(std::filesystem::status(own.file).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write)
      << "a private document was made open to others";

  // Opened through a link, the file it leads to chosen under its own name after another program
  // changed it: that is the document's file changed, not another file under the name.
  const auto folder = scratchDirectory();
  const auto file = documentFile(folder / "doc.svgquarvel", "// first\n");
  std::filesystem::create_symlink("doc.svgquarvel", folder / "link.svgquarvel");
  auto linked = controller.openDocument(folder / "link.svgquarvel", false);
  linked->document()->swift = "// mine\n";
  writeFile(folder / "theirs.tmp", own.theirs);
  std::filesystem::rename(folder / "theirs.tmp", file);
  auto saveAsFile = [&](const std::optional<std::string>& approved) {
    return askedAbout(
        [&] { controller.saveAs(*linked, file, UTType::svgQuarvelDocument(), approved.has_value(), approved); });
  };
  const std::string asked = saveAsFile(std::nullopt);
  EXPECT_EQ(asked, "");
  EXPECT_EQ(readFile(file), own.theirs);
  EXPECT_EQ(saveAsFile(asked), "written");
  EXPECT_NE(readFile(file).find("mine"), std::string::npos);
  EXPECT_EQ(linked->fileURL(), file);

  // A link to no file that is not the document's is refused: the file would be made where the
  // user never chose.
  std::filesystem::create_directory(folder / "far");
  std::filesystem::create_symlink("far/gone.svgquarvel", folder / "nowhere.svgquarvel");
  EXPECT_THROW(controller.saveAs(*linked, folder / "nowhere.svgquarvel", UTType::svgQuarvelDocument()), CocoaError);
  EXPECT_FALSE(std::filesystem::exists(folder / "far" / "gone.svgquarvel"));
  EXPECT_EQ(linked->fileURL(), file);
}

TEST(AppDocumentController, SavingOneOfTheTwoTextsLeavesTheOtherEdited) {
  CapturedConsole console;
  const auto folder = scratchDirectory();
  DocumentController controller;
  auto record = controller.openUntitledDocumentAndDisplay(false);
  auto& document = *record->document();

  // Generated Swift needs no saving: the SVG gives it back.
  document.svgString = circle;
  controller.saveAs(*record, folder / "a.svg", UTType::svg());
  EXPECT_FALSE(record->isDocumentEdited());

  // Hand-edited Swift is not in an SVG file.
  document.swift = "// edited by hand\n";
  EXPECT_TRUE(record->isDocumentEdited());
  EXPECT_FALSE(record->isFileContentEdited());
  EXPECT_EQ(record->editedTextOutsideFile(), "Swift");
  controller.save(*record);
  EXPECT_EQ(readFile(folder / "a.svg"), circle);
  EXPECT_EQ(record->editedTextOutsideFile(), "Swift") << "saving the SVG again does not save the Swift";
  document.svgString = circle + " ";
  EXPECT_TRUE(record->isFileContentEdited());

  // A Swift file takes the Swift; the SVG edited since no file took it stays edited.
  controller.saveAs(*record, folder / "View.swift", UTType::swiftSource());
  EXPECT_EQ(readFile(folder / "View.swift"), "// edited by hand\n");
  EXPECT_FALSE(record->isFileContentEdited());
  EXPECT_EQ(record->editedTextOutsideFile(), "SVG");
  EXPECT_TRUE(record->isDocumentEdited());

  // The document file takes both.
  controller.saveAs(*record, folder / "whole.svgquarvel", UTType::svgQuarvelDocument());
  EXPECT_FALSE(record->isDocumentEdited());
  EXPECT_EQ(record->editedTextOutsideFile(), std::nullopt);

  // An SVG saved while the Swift is the generated code: later settings need no saving either.
  auto other = controller.openUntitledDocumentAndDisplay(false);
  controller.saveAs(*other, folder / "b.svg", UTType::svg());
  auto config = other->document()->config.get();
  config.indent = config.indent + 2;
  other->document()->config = config;
  EXPECT_FALSE(other->isDocumentEdited());
}

}  // namespace

TEST(AppDocumentController, ANameSavedWithoutTheExtensionOfAWritableTypeGetsTheChosenTypes) {
  const auto document = UTType::svgQuarvelDocument();
  const std::filesystem::path folder = "/drawings";
  // Dots that begin no extension of ours: the chosen type's extension follows them.
  for (const char* name : {"logo 1.5", "report.v2", "logo", "archive.tar.gz", ".hidden", "notes.json"}) {
    EXPECT_EQ(DocumentController::nameForSaving(folder / name, document),
              folder / (std::string(name) + ".svgquarvel"));
  }
  EXPECT_EQ(DocumentController::nameForSaving(folder / "logo 1.5", UTType::svg()), folder / "logo 1.5.svg");
  EXPECT_EQ(DocumentController::nameForSaving(folder / "View.v2", UTType::swiftSource()), folder / "View.v2.swift");
  // The extension of a writable type stands, in any case, whichever type was chosen.
  for (const char* name : {"logo 1.5.svg", "report.v2.SVGQuarvel", "View.swift"}) {
    EXPECT_EQ(DocumentController::nameForSaving(folder / name, document), folder / name);
  }
  EXPECT_EQ(DocumentController::typeForSaving(DocumentController::nameForSaving(folder / "report.v2", document)),
            document);
}
