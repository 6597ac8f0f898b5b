// The application's document controller: untitled documents and the queue of converted SVG,
// saving (whole files only), reopening and the edited state.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

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

}  // namespace
