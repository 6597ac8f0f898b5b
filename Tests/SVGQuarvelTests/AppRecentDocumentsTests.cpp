// The Open Recent menu's list, the files it opens, and the files the document controller reports
// as recent.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "SVGQuarvel/App/AppDelegate.h"
#include "SVGQuarvel/App/DocumentController.h"
#include "SVGQuarvel/App/RecentDocuments.h"
#include "SVGQuarvelTests/QuarvelTestSupport.h"

using namespace SVGQuarvel::RecentDocuments;
using SVGQuarvel::DocumentController;
using namespace QuarvelTestSupport;

namespace {

TEST(AppRecentDocuments, TheMenuListsOurExistingLocalFilesThatOpenNewestFirst) {
  // Files are taken for what their names say here; `opens` is checked below with real files.
  const auto byName = [](const std::filesystem::path& path) { return path.extension() != ".swift"; };
  std::vector<Entry> entries{
      {"file:///work/a.svgquarvel", 100, true, true},
      {"file:///work/b.svg", 300, true, true},
      {"file:///work/others.txt", 400, false, true},      // another application's
      {"file:///work/gone.svgquarvel", 500, true, false},  // deleted since
      {"https://example.org/c.svg", 600, true, true},      // not a local file
      {"file:///work/View%20One.swift", 350, true, true},  // does not open
      {"file:///work/a.svgquarvel", 50, true, true},  // the same file twice
  };
  EXPECT_EQ(menuItems(entries, menuLimit, byName),
            (std::vector<MenuItem>{{"b.svg", "/work/b.svg"}, {"a.svgquarvel", "/work/a.svgquarvel"}}));
  // What does not open takes no place of the limit.
  EXPECT_EQ(menuItems(entries, 2, byName).size(), 2u);
  EXPECT_EQ(menuItems(entries, 1, byName), (std::vector<MenuItem>{{"b.svg", "/work/b.svg"}}));
  EXPECT_TRUE(menuItems({}).empty());

  // Files of the same name are told apart by their folders; the list stops at the limit.
  std::vector<Entry> many;
  for (int index = 0; index < 15; ++index) {
    many.push_back({"file:///folder" + std::to_string(index) + "/same.svgquarvel", index, true, true});
  }
  const auto items = menuItems(many, menuLimit, byName);
  ASSERT_EQ(items.size(), menuLimit);
  EXPECT_EQ(items[0].title, "same.svgquarvel \u2014 /folder14");
  EXPECT_EQ(items[9].title, "same.svgquarvel \u2014 /folder5");

  // Names and folders of line breaks, bad bytes and directional overrides stay on one line.
  const auto shown = menuItems({{"file:///a%0Ab/same%E2%80%AE.svg", 2, true, true},
                                {"file:///c%E2%80%AEd%FF/same%E2%80%AE.svg", 1, true, true}},
                               menuLimit, byName);
  EXPECT_EQ(shown, (std::vector<MenuItem>{{"same\uFFFD.svg \u2014 /a\u240Ab", "/a\nb/same\u202E.svg"},
                                          {"same\uFFFD.svg \u2014 /c\uFFFDd\uFFFD", "/c\u202Ed\xff/same\u202E.svg"}}));

  EXPECT_EQ(mimeTypeOf("x.svgquarvel"), "application/x-svgquarvel");
  EXPECT_EQ(mimeTypeOf("x.SVG"), "image/svg+xml");
  EXPECT_EQ(mimeTypeOf("x.swift"), "text/x-swift");
}

// The menu opens documents and SVG drawings as the Open panel does; a Swift source file saved from a
// document, a folder, a link to no file and a file that is gone do not open, and are not listed
// even where the desktop's list has them as this application's.
TEST(AppRecentDocuments, OnlyDocumentsAndDrawingsOpenFromTheMenu) {
  const auto folder = scratchDirectory();
  writeFile(folder / "doc.svgquarvel", "{}");
  writeFile(folder / "drawing.SVG", "<svg xmlns=\"http://www.w3.org/2000/svg\"/>");
  writeFile(folder / "drawing", "<svg xmlns=\"http://www.w3.org/2000/svg\"><rect width=\"4\" height=\"4\"/></svg>");
  writeFile(folder / "View.swift", "import SwiftUI\n");
  // Code with its drawing in a comment, as the generator writes it: the system takes it for one.
  writeFile(folder / "Shape.SWIFT", "/**\n * Generated from SVG:\n *\n *     <svg xmlns=\"http://www.w3.org/2000/svg\"/>\n */\n");
  writeFile(folder / "notes.txt", "text\n");
  std::filesystem::create_directory(folder / "folder.svg");
  std::filesystem::create_symlink("gone.svg", folder / "link.svg");
  std::filesystem::create_symlink("doc.svgquarvel", folder / "alias.svgquarvel");
  EXPECT_TRUE(opens(folder / "doc.svgquarvel"));
  EXPECT_TRUE(opens(folder / "alias.svgquarvel"));
  EXPECT_TRUE(opens(folder / "drawing.SVG"));
  EXPECT_TRUE(opens(folder / "drawing"));  // an SVG drawing by its content
  EXPECT_FALSE(opens(folder / "View.swift"));
  EXPECT_FALSE(opens(folder / "Shape.SWIFT"));
  EXPECT_FALSE(opens(folder / "notes.txt"));
  EXPECT_FALSE(opens(folder / "folder.svg"));
  EXPECT_FALSE(opens(folder / "link.svg"));
  EXPECT_FALSE(opens(folder / "gone.svgquarvel"));

  const auto uri = [&](const std::string& name) { return SVGQuarvel::fileURLString(folder / name); };
  EXPECT_EQ(menuItems({{uri("Shape.SWIFT"), 6, true, true},
                       {uri("View.swift"), 5, true, true},
                       {uri("folder.svg"), 4, true, true},
                       {uri("doc.svgquarvel"), 3, true, true},
                       {uri("link.svg"), 2, true, true},
                       {uri("drawing.SVG"), 1, true, true}}),
            (std::vector<MenuItem>{{"doc.svgquarvel", folder / "doc.svgquarvel"}, {"drawing.SVG", folder / "drawing.SVG"}}));
}

TEST(AppRecentDocuments, OpenedAndSavedFilesAreReportedFailedOnesAreNot) {
  CapturedConsole console;
  const auto folder = scratchDirectory();
  DocumentController controller;
  std::vector<std::filesystem::path> noted;
  controller.setNoteNewRecentDocument([&](const std::filesystem::path& path) { noted.push_back(path); });

  auto record = controller.openUntitledDocumentAndDisplay(false);
  EXPECT_TRUE(noted.empty());
  controller.saveAs(*record, folder / "saved.svgquarvel", UTType::svgQuarvelDocument());
  controller.saveAs(*record, folder / "drawing.svg", UTType::svg());
  EXPECT_THROW(controller.saveAs(*record, folder / "no-such-folder" / "x.svgquarvel", UTType::svgQuarvelDocument()),
               CocoaError);
  controller.close(*record);
  controller.openDocument(folder / "saved.svgquarvel", false);
  controller.openDocument(folder / "saved.svgquarvel", false);  // already open: still the latest
  writeFile(folder / "damaged.svgquarvel", "{");
  EXPECT_ANY_THROW(controller.openDocument(folder / "damaged.svgquarvel", false));
  EXPECT_EQ(noted, (std::vector<std::filesystem::path>{folder / "saved.svgquarvel", folder / "drawing.svg",
                                                       folder / "saved.svgquarvel", folder / "saved.svgquarvel"}));
}

}  // namespace
