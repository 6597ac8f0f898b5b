// File names and files the application meets in the wild, driven through the real executable: a
// name that is not UTF-8 (by a launch, a second launch and Open Recent), and a file whose size
// says nothing of how much it holds.
#include <gtest/gtest.h>
#include <glib.h>

#include <filesystem>
#include <memory>

#include "SVGQuarvel/Model/SVGQuarvelDocument.h"
#include "SVGQuarvelTests/GTK/AppProcessSupport.h"
#include "SVGQuarvelTests/QuarvelTestSupport.h"

using namespace QuarvelTestSupport;
using namespace AppProcessSupport;

namespace {

TEST_F(AppProcessTest, ANameThatIsNotUTF8ShowsWithAReplacementAndTheDocumentSaves) {
  const auto document = folder_ / "Caf\xe9.svgquarvel";
  writeFile(document, documentText("// latin\n"));
  auto app = launch({QUARVEL_APP_EXECUTABLE, document.string()}, "app-name-latin1.log");
  const auto window = x_.findWindow("Caf\uFFFD.svgquarvel", 60);
  ASSERT_TRUE(window) << readFile(outputFile("app-name-latin1.log"));
  ASSERT_TRUE(app->running()) << readFile(outputFile("app-name-latin1.log"));
  x_.grab(x_.geometry(*window)).savePNG(outputFile("app-name-latin1.png").string());

  // Saved under its own name, bytes and all.
  const auto frame = x_.geometry(*window);
  x_.focus(*window);
  x_.click(frame.x + frame.width / 2, frame.y + int(frame.height * 0.3));
  x_.key("ctrl+End");
  x_.type("<!--saved-->");
  ASSERT_TRUE(x_.findWindow("Caf\uFFFD.svgquarvel \u2014 Edited", 30));
  x_.key("ctrl+s");
  ASSERT_TRUE(x_.findWindow("Caf\uFFFD.svgquarvel", 30));
  EXPECT_NE(readFile(document).find("<!--saved-->"), std::string::npos);

  // A drawing of such a name that does not parse, handed over by a second launch: its
  // placeholder names it readably, and the window lives on.
  const auto drawing = folder_ / "Na\xefve.svg";
  writeFile(drawing, "<svg");
  auto second = launch({QUARVEL_APP_EXECUTABLE, drawing.string()}, "app-name-latin1-second.log");
  EXPECT_TRUE(second->wait(60).has_value());
  ASSERT_TRUE(x_.findWindow("Untitled", 60)) << readFile(outputFile("app-name-latin1.log"));
  EXPECT_TRUE(app->running()) << readFile(outputFile("app-name-latin1.log"));
}

/// Lists `file` alone in the desktop's recent files of the application folder `home`.
void writeRecentFile(const std::filesystem::path& home, const std::filesystem::path& file) {
  GBookmarkFile* list = g_bookmark_file_new();
  gchar* uri = g_filename_to_uri(file.c_str(), nullptr, nullptr);
  g_bookmark_file_add_application(list, uri, "SVG Quarvel", "svg-quarvel %f");
  g_bookmark_file_set_mime_type(list, uri, "application/x-svgquarvel");
  g_free(uri);
  std::filesystem::create_directories(home / "data");
  g_bookmark_file_to_file(list, (home / "data" / "recently-used.xbel").c_str(), nullptr);
  g_bookmark_file_free(list);
}

TEST_F(AppProcessTest, OpenRecentOpensAFileInAFolderWhoseNameIsNotUTF8) {
  std::filesystem::create_directories(folder_ / "Dossier \xe9t\xe9");
  const auto document = folder_ / "Dossier \xe9t\xe9" / "summer.svgquarvel";
  writeFile(document, documentText("// summer\n"));
  writeRecentFile(folder_, document);
  auto app = launch({QUARVEL_APP_EXECUTABLE}, "app-name-recent.log");
  const auto window = x_.findWindow("Untitled", 60);
  ASSERT_TRUE(window) << readFile(outputFile("app-name-recent.log"));
  ASSERT_TRUE(chooseRecent(*window, 0, 1, "app-name-recent"));
  const auto reopened = x_.findWindow("summer.svgquarvel", 60);
  ASSERT_TRUE(reopened) << readFile(outputFile("app-name-recent.log"));
  EXPECT_TRUE(app->running());
}

TEST_F(AppProcessTest, FilesThatSayTheyAreEmptyButNeverEndAreRefused) {
  // The size of such a file reads as 0; it goes on for as long as the address space does.
  for (const char* name : {"endless.svgquarvel", "endless.svg"}) {
    std::filesystem::create_symlink("/proc/self/pagemap", folder_ / name);
  }
  const auto output = failingLaunch(
      {QUARVEL_APP_EXECUTABLE, (folder_ / "endless.svgquarvel").string(), (folder_ / "endless.svg").string()},
      "app-name-endless.log");
  EXPECT_NE(output.find("\u201cendless.svgquarvel\u201d is too large to open"), std::string::npos) << output;
  EXPECT_NE(output.find("\u201cendless.svg\u201d is too large to open"), std::string::npos) << output;
}

}  // namespace
