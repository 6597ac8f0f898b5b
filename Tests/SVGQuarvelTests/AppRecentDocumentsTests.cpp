// The Open Recent menu's list, and the files the document controller reports as recent.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "SVGQuarvel/App/DocumentController.h"
#include "SVGQuarvel/App/RecentDocuments.h"
#include "SVGQuarvelTests/QuarvelTestSupport.h"

using namespace SVGQuarvel::RecentDocuments;
using SVGQuarvel::DocumentController;
using namespace QuarvelTestSupport;

namespace {

TEST(AppRecentDocuments, TheMenuListsOurExistingLocalFilesNewestFirst) {
  std::vector<Entry> entries{
      {"file:///work/a.svgquarvel", 100, true, true},
      {"file:///work/b.svg", 300, true, true},
      {"file:///work/others.txt", 400, false, true},      // another application's
      {"file:///work/gone.svgquarvel", 500, true, false},  // deleted since
      {"https://example.org/c.svg", 600, true, true},      // not a local file
      {"file:///work/View%20One.swift", 200, true, true},
      {"file:///work/a.svgquarvel", 50, true, true},  // the same file twice
  };
  EXPECT_EQ(menuItems(entries), (std::vector<MenuItem>{{"b.svg", "/work/b.svg"},
                                                       {"View One.swift", "/work/View One.swift"},
                                                       {"a.svgquarvel", "/work/a.svgquarvel"}}));
  EXPECT_EQ(menuItems(entries, 1).size(), 1u);
  EXPECT_TRUE(menuItems({}).empty());

  // Files of the same name are told apart by their folders; the list stops at the limit.
  std::vector<Entry> many;
  for (int index = 0; index < 15; ++index) {
    many.push_back({"file:///folder" + std::to_string(index) + "/same.svgquarvel", index, true, true});
  }
  const auto items = menuItems(many);
  ASSERT_EQ(items.size(), menuLimit);
  EXPECT_EQ(items[0].title, "same.svgquarvel \u2014 /folder14");
  EXPECT_EQ(items[9].title, "same.svgquarvel \u2014 /folder5");

  // Names and folders of line breaks, bad bytes and directional overrides stay on one line.
  const auto shown = menuItems({{"file:///a%0Ab/same%E2%80%AE.svg", 2, true, true},
                                {"file:///c%E2%80%AEd%FF/same%E2%80%AE.svg", 1, true, true}});
  EXPECT_EQ(shown, (std::vector<MenuItem>{{"same\uFFFD.svg \u2014 /a\u240Ab", "/a\nb/same\u202E.svg"},
                                          {"same\uFFFD.svg \u2014 /c\uFFFDd\uFFFD", "/c\u202Ed\xff/same\u202E.svg"}}));

  EXPECT_EQ(mimeTypeOf("x.svgquarvel"), "application/x-svgquarvel");
  EXPECT_EQ(mimeTypeOf("x.SVG"), "image/svg+xml");
  EXPECT_EQ(mimeTypeOf("x.swift"), "text/x-swift");
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
