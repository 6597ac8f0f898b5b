// The real executable driven through the X server, each run on a bus of its own: saving over a
// file-size limit or into a full disk, launches whose files do not open (alone, and handed to a
// running application), the services started by the bus when the application is not running, and
// File ▸ Open Recent: what it lists and how it opens it.
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "SVGQuarvel/App/AppDelegate.h"
#include "SVGQuarvel/App/RecentDocuments.h"
#include "SVGQuarvel/Model/DocumentFile.h"
#include "SVGQuarvel/Model/SVGQuarvelDocument.h"
#include "SVGQuarvelTests/GTK/AppProcessSupport.h"
#include "SVGQuarvelTests/QuarvelTestSupport.h"
#include "XDriver/XDriver.h"

using namespace QuarvelTestSupport;
using namespace AppProcessSupport;
namespace RecentDocuments = SVGQuarvel::RecentDocuments;

namespace {

TEST_F(AppProcessTest, SavingOverTheFileSizeLimitIsAnErrorTheProcessOutlives) {
  const auto document = folder_ / "doc.svgquarvel";
  std::string swift = "// long\n";
  while (swift.size() < 210 * 1000) swift += "// " + std::string(76, 'x') + "\n";
  writeFile(document, documentText(swift));
  const auto before = readFile(document);
  ASSERT_GT(before.size(), 200000u);

  auto app = launch({"/usr/bin/prlimit", "--fsize=100000", QUARVEL_APP_EXECUTABLE, document.string()},
                    "app-file-size-limit.log");
  const auto window = x_.findWindow("doc.svgquarvel", 120);
  ASSERT_TRUE(window) << readFile(outputFile("app-file-size-limit.log"));
  const auto dialog = saveAndWaitFor(*window, "The document \u201cdoc.svgquarvel\u201d could not be saved.");
  ASSERT_TRUE(dialog) << readFile(outputFile("app-file-size-limit.log"));
  expectShownWithText(*dialog, "app-file-size-limit-error.png");

  EXPECT_TRUE(app->running()) << "status " << app->wait(0).value_or(-1);
  EXPECT_EQ(readFile(document), before);
  EXPECT_EQ(hiddenFiles(folder_), std::vector<std::string>{});
  EXPECT_NE(readFile(outputFile("app-file-size-limit.log")).find("larger than the size files may have"),
            std::string::npos);
  // The window still answers: the error goes away with Return.
  x_.focus(*dialog);
  x_.key("Return");
  EXPECT_TRUE(XDriver::waitUntil([&] { return x_.findWindows([](const std::string& title) {
                                                  return title.find("could not be saved") != std::string::npos;
                                                }).empty(); },
                                 5));
  EXPECT_TRUE(x_.findWindow("doc.svgquarvel").has_value());
}

TEST_F(AppProcessTest, SavingIntoAFullDiskShowsTheErrorInAWindow) {
  if (std::system("unshare -m true >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "a private mount namespace (unshare -m) is not permitted here, so no small file system "
                    "can be mounted for the application alone";
  }
  const auto disk = folder_ / "disk";
  std::filesystem::create_directories(disk);
  const auto source = folder_ / "small.svgquarvel";
  writeFile(source, documentText("// mine\n"));
  // The application sees a 64 KiB file system holding its document and a file that fills the rest.
  const auto script = folder_ / "full-disk.sh";
  writeFile(script, "mount -t tmpfs -o size=64k tmpfs '" + disk.string() + "' || exit 99\n" + "cp '" +
                        source.string() + "' '" + disk.string() + "/doc.svgquarvel'\n" + "dd if=/dev/zero of='" +
                        disk.string() + "/filler' bs=1k 2>/dev/null\n" + "exec '" + QUARVEL_APP_EXECUTABLE +
                        "' '" + disk.string() + "/doc.svgquarvel'\n");
  auto app = launch({"/usr/bin/unshare", "-m", "/bin/sh", script.string()}, "app-full-disk.log");
  const auto window = x_.findWindow("doc.svgquarvel", 120);
  ASSERT_TRUE(window) << readFile(outputFile("app-full-disk.log"));
  // The file system as the application sees it.
  const auto seen = std::filesystem::path("/proc") / std::to_string(app->pid()) / "root" / disk.relative_path();
  const auto before = readFile(seen / "doc.svgquarvel");
  ASSERT_FALSE(before.empty());

  const auto dialog = saveAndWaitFor(*window, "The document \u201cdoc.svgquarvel\u201d could not be saved.");
  ASSERT_TRUE(dialog) << readFile(outputFile("app-full-disk.log"));
  expectShownWithText(*dialog, "app-full-disk-error.png");
  EXPECT_TRUE(app->running());
  EXPECT_EQ(readFile(seen / "doc.svgquarvel"), before);
  EXPECT_EQ(hiddenFiles(seen), std::vector<std::string>{});
  EXPECT_NE(readFile(outputFile("app-full-disk.log")).find("there isn\u2019t enough space"), std::string::npos);
}

TEST_F(AppProcessTest, ALaunchWhoseFilesAllFailEndsWithAFailureStatus) {
  std::filesystem::create_directories(folder_ / "folder.svgquarvel");
  std::filesystem::create_directories(folder_ / "folder.svg");
  writeFile(folder_ / "drawing.svg", circle);
  const std::vector<std::string> failing{QUARVEL_APP_EXECUTABLE, (folder_ / "missing.svg").string(),
                                         (folder_ / "folder.svgquarvel").string(),
                                         (folder_ / "folder.svg").string()};

  // Alone: the errors on the terminal, no window, status 1.
  {
    auto alone = launch(failing, "app-launch-fails.log");
    const auto status = alone->wait(60);
    ASSERT_TRUE(status) << "the application kept running without a window";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1) << *status;
    const auto log = readFile(outputFile("app-launch-fails.log"));
    EXPECT_NE(log.find("ERROR:   cannot open a folder: folder.svgquarvel\n"), std::string::npos) << log;
    EXPECT_NE(log.find("ERROR:   cannot open a folder: folder.svg\n"), std::string::npos) << log;
    EXPECT_NE(log.find("\u201cmissing.svg\u201d does not exist."), std::string::npos) << log;
  }

  // Options are still the toolkit's: an unknown one is refused; after "--" a name is a file.
  {
    auto unknown = launch({QUARVEL_APP_EXECUTABLE, "--no-such-option"}, "app-launch-option.log");
    const auto status = unknown->wait(30);
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1) << *status;
    EXPECT_NE(readFile(outputFile("app-launch-option.log")).find("Unknown option --no-such-option"), std::string::npos);
    auto dashes = launch({QUARVEL_APP_EXECUTABLE, "--", "--no-such-file"}, "app-launch-dashes.log");
    ASSERT_TRUE(dashes->wait(30));
    EXPECT_NE(readFile(outputFile("app-launch-dashes.log")).find("\u201c--no-such-file\u201d does not exist."),
              std::string::npos);
  }

  // Handed to a running application: the launch ends with status 1 and its errors, and the running
  // application shows them in a window.
  auto primary = launch({QUARVEL_APP_EXECUTABLE, (folder_ / "drawing.svg").string()}, "app-launch-primary.log");
  const auto window = x_.findWindow("Untitled", 120);
  ASSERT_TRUE(window) << readFile(outputFile("app-launch-primary.log"));
  {
    const auto log = failingLaunch(failing, "app-launch-second.log");
    EXPECT_NE(log.find("ERROR: \u201cfolder.svgquarvel\u201d is a folder"), std::string::npos) << log;
    const auto dialog = x_.findWindow("Some files could not be opened.", 30);
    ASSERT_TRUE(dialog);
    expectShownWithText(*dialog, "app-launch-second-error.png");
    dismiss("Some files could not be opened.");
  }
  // A launch that opens one of its files succeeds.
  {
    auto third = launch({QUARVEL_APP_EXECUTABLE, (folder_ / "missing.svg").string(), (folder_ / "drawing.svg").string()},
                        "app-launch-third.log");
    const auto status = third->wait(60);
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
    EXPECT_NE(readFile(outputFile("app-launch-third.log")).find("ERROR: \u201cmissing.svg\u201d does not exist.\n"),
              std::string::npos);
    EXPECT_TRUE(x_.findWindow("Untitled 2", 60).has_value());
    // The file that did not open is still reported.
    const auto dialog = x_.findWindow("The file could not be opened.", 30);
    ASSERT_TRUE(dialog);
    XDriver::waitUntil(
        [&] {
          x_.focus(*dialog);
          x_.key("Return");
          return !x_.findWindow("The file could not be opened.", 1).has_value();
        },
        10);
  }
  // Every conversion gave back what kept the application running: closing its windows ends it.
  for (const auto* title : {"Untitled 2", "Untitled"}) {
    const auto open = x_.findWindow(title, 30);
    ASSERT_TRUE(open) << title;
    XDriver::waitUntil(
        [&] {
          x_.focus(*open);
          x_.key("ctrl+w");
          return !x_.findWindow(title, 1).has_value();
        },
        10);
  }
  const auto status = primary->wait(20);
  ASSERT_TRUE(status) << "the application kept running after its last window closed";
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
}

TEST_F(AppProcessTest, OpenRecentListsAnOpenedDocumentAndOpensItAgain) {
  const auto document = folder_ / "recent.svgquarvel";
  writeFile(document, documentText("// recent\n"));
  const auto list = folder_ / "data" / "recently-used.xbel";
  {
    auto first = launch({QUARVEL_APP_EXECUTABLE, document.string()}, "app-recent-first.log");
    const auto window = x_.findWindow("recent.svgquarvel", 120);
    ASSERT_TRUE(window) << readFile(outputFile("app-recent-first.log"));
    // The desktop's list, in the private data folder, has it.
    EXPECT_TRUE(XDriver::waitUntil(
        [&] { return readFile(list).find("file://" + document.string()) != std::string::npos; }, 10))
        << readFile(list);
    x_.focus(*window);
    x_.key("ctrl+w");
    ASSERT_TRUE(first->wait(20));
  }

  auto app = launch({QUARVEL_APP_EXECUTABLE}, "app-recent.log");
  const auto window = x_.findWindow("Untitled", 120);
  ASSERT_TRUE(window) << readFile(outputFile("app-recent.log"));
  const auto recentMenu = openRecentMenu(*window, "app-recent");
  ASSERT_TRUE(recentMenu);
  const auto recentFrame = x_.geometry(*recentMenu);
  // One file listed: its row is the middle of that menu.
  x_.click(recentFrame.x + recentFrame.width / 2, recentFrame.y + recentFrame.height / 2);
  const auto reopened = x_.findWindow("recent.svgquarvel", 60);
  ASSERT_TRUE(reopened) << readFile(outputFile("app-recent.log"));
  x_.grab(x_.geometry(*reopened)).savePNG(outputFile("app-recent-reopened.png").string());
  EXPECT_TRUE(app->running());
}

/// Lists `files` in the desktop's recent files of the application folder `home`, newest first, the
/// first as used at `newest` (seconds since the epoch), each other a minute before the one before
/// it. The toolkit drops files older than a month from the list when it next writes it.
void writeRecentFiles(const std::filesystem::path& home, const std::vector<std::filesystem::path>& files,
                      std::int64_t newest = 1700000000) {
  GBookmarkFile* list = g_bookmark_file_new();
  for (std::size_t index = 0; index < files.size(); ++index) {
    gchar* uri = g_filename_to_uri(files[index].c_str(), nullptr, nullptr);
    g_bookmark_file_add_application(list, uri, "SVG Quarvel", "svg-quarvel %f");
    const auto extension = files[index].extension();
    g_bookmark_file_set_mime_type(list, uri, extension == ".svg"     ? "image/svg+xml"
                                             : extension == ".swift" ? "text/x-swift"
                                                                     : "application/x-svgquarvel");
    GDateTime* when = g_date_time_new_from_unix_utc(gint64(newest - 60 * std::int64_t(index)));
    g_bookmark_file_set_modified_date_time(list, uri, when);
    g_bookmark_file_set_visited_date_time(list, uri, when);
    g_date_time_unref(when);
    g_free(uri);
  }
  std::filesystem::create_directories(home / "data");
  g_bookmark_file_to_file(list, (home / "data" / "recently-used.xbel").c_str(), nullptr);
  g_bookmark_file_free(list);
}

TEST_F(AppProcessTest, OpenRecentShowsTheUnderscoresOfANameRatherThanTakingThemForKeyMarks) {
  // A name of underscores: taken for key marks, every other one would vanish ("a_b" as "ab").
  const auto drawing = folder_ / (std::string(48, '_') + ".svg");
  writeFile(drawing, circle);
  writeRecentFiles(folder_, {drawing});
  auto app = launch({QUARVEL_APP_EXECUTABLE}, "app-recent-underscores.log");
  const auto window = x_.findWindow("Untitled", 120);
  ASSERT_TRUE(window) << readFile(outputFile("app-recent-underscores.log"));
  const auto recentMenu = openRecentMenu(*window, "app-recent-underscores");
  ASSERT_TRUE(recentMenu);
  const auto menu = x_.grab(x_.geometry(*recentMenu));
  menu.savePNG(outputFile("app-recent-underscores.png").string());
  // The underscores draw one line along the row, of 48 underscores (24 em), not 24 (12 em): its
  // length measured against the height of the text (under one em), whatever the font's size. The
  // edges, where a frame may be drawn about the menu, are left out.
  constexpr int edge = 10;
  int longest = 0, top = menu.height, bottom = -1;
  for (int y = edge; y < menu.height - edge; ++y) {
    int run = 0;
    for (int x = edge; x < menu.width - edge; ++x) {
      const auto pixel = menu.at(x, y);
      const bool dark = ((pixel >> 16) & 0xFF) < 0x90 && ((pixel >> 8) & 0xFF) < 0x90 && (pixel & 0xFF) < 0x90;
      run = dark ? run + 1 : 0;
      longest = std::max(longest, run);
      if (dark) {
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
    }
  }
  ASSERT_GE(bottom, top) << "no text in the menu";
  const int textHeight = bottom - top + 1;
  EXPECT_GT(longest, 20 * textHeight) << "the line is " << longest << " pixels long, the text " << textHeight
                                      << " pixels high";
  x_.key("Escape");
  EXPECT_TRUE(app->running());
}

TEST_F(AppProcessTest, OpenRecentTakesTheOpenRouteAndADocumentOpensWhileTheWindowsAnswer) {
  const auto drawing = folder_ / "small.svg";
  writeFile(drawing, circle);
  const auto over = folder_ / "over.svg";
  writeFile(over, "<svg xmlns=\"http://www.w3.org/2000/svg\"><!--" +
                      std::string(SVGQuarvelDocument::maximumOpenedSVGBytes, ' ') + "--></svg>");
  // Its Swift is short, so that the window fills at once once the drawing is converted. It converts
  // for about a second here, for about ten in the sanitizer build (thirty times slower there).
  constexpr std::size_t bigBytes = sanitizedBuild ? std::size_t{2} << 20 : std::size_t{6} << 20;
  const auto big = folder_ / "big.svgquarvel";
  writeFile(big, SVGQuarvelDocument::Snapshot{manyRectangles(bigBytes), "// big\n", std::nullopt}.jsonString());
  writeRecentFiles(folder_, {drawing, over, big});

  auto app = launch({QUARVEL_APP_EXECUTABLE}, "app-recent-route.log");
  const auto log = [] { return readFile(outputFile("app-recent-route.log")); };
  const auto window = x_.findWindow("Untitled", 120);
  ASSERT_TRUE(window) << log();

  // A recent SVG drawing opens as the command line opens it: a new document converted from it.
  ASSERT_TRUE(chooseRecent(*window, 0, 3, "app-recent-route-svg"));
  const auto converted = x_.findWindow("Untitled 2", 30);
  ASSERT_TRUE(converted) << log();
  EXPECT_FALSE(x_.findWindow("small.svg").has_value());
  x_.grab(x_.geometry(*converted)).savePNG(outputFile("app-recent-route-converted.png").string());

  // A drawing past the limit is refused with the command line's message.
  ASSERT_TRUE(chooseRecent(*window, 1, 3, "app-recent-route-over"));
  const auto refusal = x_.findWindow("The file could not be opened.", 30);
  ASSERT_TRUE(refusal) << log();
  expectShownWithText(*refusal, "app-recent-route-refused.png");
  EXPECT_NE(log().find("\u201cover.svg\u201d is too large to open"), std::string::npos) << log();
  dismiss("The file could not be opened.");

  // A document that takes a while to convert: a key typed into the first window right after it
  // shows there (its title says it was edited) while the document is still converting.
  ASSERT_TRUE(chooseRecent(*window, 2, 3, "app-recent-route-big"));
  x_.focus(*window);
  const auto frame = x_.geometry(*window);
  x_.click(frame.x + 700, frame.y + 240);  // in the SVG editor, below its last line
  x_.type(" ");
  ASSERT_TRUE(XDriver::waitUntil([&] { return x_.title(*window) == "Untitled \u2014 Edited"; }, 60)) << log();
  EXPECT_FALSE(x_.findWindow("big.svgquarvel").has_value()) << "the main loop waited for the document";
  const auto opened = x_.findWindow("big.svgquarvel", 300);
  ASSERT_TRUE(opened) << log();
  x_.focus(*opened);
  x_.grab(x_.geometry(*opened)).savePNG(outputFile("app-recent-route-big.png").string());
  EXPECT_TRUE(app->running());
}

// Open Recent lists only what it opens. Swift source files an older version put on the desktop's
// list of recent files are left there (other programs read the list) and out of the menu, where a
// document listed before them still opens; Save As through the panel puts a document and a
// drawing on that list as this application's, and not a Swift source file, which the menu would
// refuse.
TEST_F(AppProcessTest, OpenRecentListsOnlyWhatItOpens) {
  const auto listed = folder_ / "listed.svgquarvel";
  writeFile(listed, documentText("// listed\n"));
  const auto newer = folder_ / "Newer.swift", older = folder_ / "Older.swift";
  writeFile(newer, "struct Newer {}\n");
  writeFile(older, "struct Older {}\n");
  // Used an hour ago: still on the list when the application writes it.
  writeRecentFiles(folder_, {newer, older, listed}, g_get_real_time() / G_USEC_PER_SEC - 3600);
  auto app = launch({QUARVEL_APP_EXECUTABLE}, "app-recent-opens.log");
  const auto log = [] { return readFile(outputFile("app-recent-opens.log")); };
  const auto window = x_.findWindow("Untitled", 120);
  ASSERT_TRUE(window) << log();

  // The menu: the document alone, which opens from its row.
  const auto menu = openRecentMenu(*window, "app-recent-opens");
  ASSERT_TRUE(menu);
  std::vector<int> rows;
  XDriver::waitUntil(
      [&] {
        const auto earlier = rows;
        rows = menuRows(*menu);
        return !rows.empty() && rows == earlier;
      },
      60);
  x_.grab(x_.geometry(*menu)).savePNG(outputFile("app-recent-opens-menu.png").string());
  ASSERT_EQ(rows.size(), 1u);
  x_.click(x_.geometry(*menu).x + x_.geometry(*menu).width / 2, rows[0]);
  ASSERT_TRUE(x_.findWindow("listed.svgquarvel", 60)) << log();

  for (const std::string name : {"code.swift", "drawing.svg", "saved.svgquarvel"}) {
    // On a very busy machine the panel's name field may lose some of the keys of a long path
    // (while it completes the names of folders), and the document is saved under another name:
    // it is then saved again.
    const bool saved = XDriver::waitUntil(
        [&] {
          x_.focus(*window);
          x_.key("shift+ctrl+s");
          return chooseInSavePanel(folder_ / name) && x_.findWindow(name, 30).has_value();
        },
        240);
    ASSERT_TRUE(saved) << name << "\n" << log();
    ASSERT_TRUE(std::filesystem::exists(folder_ / name));
  }
  // The list the menu reads: the files registered there under this application's name (the
  // toolkit's file chooser registers each file it saves under the program's name besides). It is
  // written once the last save is on it.
  const auto store = folder_ / "data" / "recently-used.xbel";
  const auto registered = [&](const std::filesystem::path& file) {
    GBookmarkFile* list = g_bookmark_file_new();
    gchar* uri = g_filename_to_uri(file.c_str(), nullptr, nullptr);
    const bool has = g_bookmark_file_load_from_file(list, store.c_str(), nullptr) &&
                     g_bookmark_file_has_application(list, uri, RecentDocuments::applicationName, nullptr);
    g_free(uri);
    g_bookmark_file_free(list);
    return has;
  };
  ASSERT_TRUE(XDriver::waitUntil([&] { return registered(folder_ / "saved.svgquarvel"); }, 30)) << readFile(store);
  EXPECT_TRUE(registered(folder_ / "drawing.svg"));
  EXPECT_FALSE(registered(folder_ / "code.swift")) << readFile(store);
  EXPECT_TRUE(registered(newer));
  EXPECT_TRUE(app->running());
}

TEST_F(AppProcessTest, ADrawingWhoseCodeADocumentCouldNotHoldIsRefusedWithTheSizeOfTheCode) {
  // A drawing of 120 KB whose code passes 64 MB: groups 250 levels deep, every line of theirs
  // indented 250 times.
  std::string deep = "<svg xmlns=\"http://www.w3.org/2000/svg\">";
  for (int i = 0; i < 250; ++i) deep += "<g>";
  for (int i = 0; i < 30'000; ++i) deep += "<g/>";
  for (int i = 0; i < 250; ++i) deep += "</g>";
  writeFile(folder_ / "deep.svg", deep + "</svg>");

  auto alone = launch({QUARVEL_APP_EXECUTABLE, (folder_ / "deep.svg").string()}, "app-launch-deep.log");
  const auto status = alone->wait(60);
  ASSERT_TRUE(status) << "the application kept running without a window";
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1) << *status;
  const auto log = readFile(outputFile("app-launch-deep.log"));
  EXPECT_NE(log.find("The drawing \u201cdeep.svg\u201d is too large to open: its Swift code would have more than 64 MB "
                     "(67108864 bytes); documents of at most 160 MB (167772160 bytes) of Swift text open."),
            std::string::npos)
      << log;
}

TEST_F(AppProcessTest, FilesThatDoNotOpenAreNamedForWhatTheyAreInAMessageThatFitsTheScreen) {
  std::filesystem::create_symlink("loop-b.svg", folder_ / "loop-a.svg");
  std::filesystem::create_symlink("loop-a.svg", folder_ / "loop-b.svg");
  std::filesystem::create_symlink("gone.svg", folder_ / "dangling.svg");
  writeFile(folder_ / "nul.svgquarvel", R"({"svg":"<svg/>\u0000","swift":"// x"})");
  writeFile(folder_ / "settings.svgquarvel", R"({"svg":"<svg/>","swift":"// x","config":{"indent":2}})");
  std::vector<std::string> argv{QUARVEL_APP_EXECUTABLE, (folder_ / "loop-a.svg").string(),
                                (folder_ / "dangling.svg").string(), (folder_ / "nul.svgquarvel").string(),
                                (folder_ / "settings.svgquarvel").string()};
  for (int index = 0; index < 60; ++index) argv.push_back((folder_ / ("missing-" + std::to_string(index) + ".svg")).string());

  auto primary = launch({QUARVEL_APP_EXECUTABLE}, "app-failures-primary.log");
  const auto window = x_.findWindow("Untitled", 120);
  ASSERT_TRUE(window) << readFile(outputFile("app-failures-primary.log"));
  // The terminal gets every line.
  const auto terminal = failingLaunch(argv, "app-failures-second.log");
  for (const std::string line :
       {"ERROR: \u201cloop-a.svg\u201d is a symbolic link that leads round in a loop of links, not to a file.\n",
        "ERROR: \u201cdangling.svg\u201d is a symbolic link to \u201cgone.svg\u201d, which does not exist.\n",
        "ERROR: The document \u201cnul.svgquarvel\u201d could not be opened. The file \u201cnul.svgquarvel\u201d "
        "couldn\u2019t be opened because its SVG text holds a NUL character",
        "ERROR: The document \u201csettings.svgquarvel\u201d could not be opened. keyNotFound",
        "ERROR: \u201cmissing-59.svg\u201d does not exist.\n"}) {
    EXPECT_NE(terminal.find(line), std::string::npos) << line << "\n" << terminal;
  }

  // The window gets the first few and how many more, and its button is within reach.
  const auto dialog = x_.findWindow("Some files could not be opened.", 30);
  ASSERT_TRUE(dialog);
  const auto frame = x_.geometry(*dialog);
  const auto screen = x_.grabScreen();
  EXPECT_GE(frame.y, 0);
  EXPECT_LE(frame.y + frame.height, screen.height) << "the message is taller than the screen";
  EXPECT_LT(frame.height, screen.height / 2);
  expectShownWithText(*dialog, "app-failures-message.png");
  x_.click(frame.x + frame.width / 2, frame.y + frame.height - 20);
  EXPECT_TRUE(XDriver::waitUntil([&] { return !x_.findWindow("Some files could not be opened.").has_value(); }, 10))
      << "the button did not take the click";

  // A conversion the service refuses is logged by its first line and its size.
  GError* error = nullptr;
  GDBusConnection* connection = connectToBus(bus_->address(), &error);
  ASSERT_NE(connection, nullptr) << error->message;
  const std::string refused = "not a drawing at all\nsecond line " + std::string(100000, 'x') + "\n";
  GVariant* answer = g_dbus_connection_call_sync(
      connection, "org.quarvel.SVGQuarvel", "/org/quarvel/SVGQuarvel/Services", "org.quarvel.SVGQuarvel.Services",
      "SvgToView", g_variant_new("(s)", refused.c_str()), G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE, 60000, nullptr,
      &error);
  EXPECT_EQ(answer, nullptr);
  if (answer != nullptr) g_variant_unref(answer);
  if (error != nullptr) {
    EXPECT_NE(std::string(error->message).find("Invalid SVG?"), std::string::npos) << error->message;
    g_error_free(error);
  }
  g_dbus_connection_close_sync(connection, nullptr, nullptr);
  g_object_unref(connection);
  const auto log = readFile(outputFile("app-failures-primary.log"));
  EXPECT_NE(log.find("could not shape SVG:\n---\nnot a drawing at all\n---\n(" + std::to_string(refused.size()) +
                     " bytes)"),
            std::string::npos)
      << log.substr(0, 2000);
  EXPECT_EQ(log.find("second line"), std::string::npos);
  EXPECT_TRUE(primary->running());
}

TEST_F(AppProcessTest, NamesOfThousandsOfCharactersAreShownShortenedAndTheWindowsGoOnAnswering) {
  auto primary = launch({QUARVEL_APP_EXECUTABLE}, "app-long-names-primary.log");
  ASSERT_TRUE(x_.findWindow("Untitled", 120)) << readFile(outputFile("app-long-names-primary.log"));
  // A launch of names no file can have (each over what one name may be): the message names them
  // shortly and shows at once; laid out whole, it held the windows for minutes.
  std::vector<std::string> argv{QUARVEL_APP_EXECUTABLE};
  for (int index = 0; index < 4; ++index) {
    argv.push_back((folder_ / (std::string(100000, 'n') + std::to_string(index) + ".svg")).string());
  }
  failingLaunch(argv, "app-long-names-second.log");
  const auto dialog = x_.findWindow("Some files could not be opened.", 60);
  ASSERT_TRUE(dialog);
  const auto frame = x_.geometry(*dialog);
  EXPECT_LE(frame.width, x_.grabScreen().width);
  expectShownWithText(*dialog, "app-long-names-message.png");
  const auto log = readFile(outputFile("app-long-names-primary.log"));
  const auto shown = log.find("ERROR: Some files could not be opened. ");
  ASSERT_NE(shown, std::string::npos) << log.substr(0, 2000);
  std::size_t lineStart = shown + std::string("ERROR: Some files could not be opened. ").size();
  for (int line = 0; line < 4; ++line) {
    const auto lineEnd = std::min(log.find('\n', lineStart), log.size());
    const auto text = log.substr(lineStart, lineEnd - lineStart);
    EXPECT_LE(text.size(), AppDelegate::maximumFailureLineBytes) << text.substr(0, 500);
    EXPECT_LE(text.find(' '), AppDelegate::maximumFailureWordBytes) << text.substr(0, 500);
    EXPECT_EQ(text.rfind("\u201cnnn", 0), 0u) << text.substr(0, 500);
    EXPECT_NE(text.find("\u2026"), std::string::npos) << text.substr(0, 500);
    lineStart = lineEnd + 1;
  }
  // The windows take input again: the message closes with its button.
  dismiss("Some files could not be opened.", 30);
  EXPECT_FALSE(x_.findWindow("Some files could not be opened.").has_value());
  EXPECT_TRUE(primary->running());
}

TEST_F(AppProcessTest, NamesOfLineBreaksAndBadBytesShowOnOneLineEachOnTheScreenAndTheTerminal) {
  // A drawing whose name is not UTF-8 and whose code passes 64 MB (see above), and eight missing
  // files whose names are hundreds of line breaks: a second launch hands them over.
  std::string deep = "<svg xmlns=\"http://www.w3.org/2000/svg\">";
  for (int i = 0; i < 250; ++i) deep += "<g>";
  for (int i = 0; i < 30'000; ++i) deep += "<g/>";
  for (int i = 0; i < 250; ++i) deep += "</g>";
  writeFile(folder_ / "deep\xff.svg", deep + "</svg>");
  std::vector<std::string> argv{QUARVEL_APP_EXECUTABLE, (folder_ / "deep\xff.svg").string()};
  for (int index = 0; index < 8; ++index) {
    argv.push_back((folder_ / (std::string(400, '\n') + std::to_string(index) + ".svg")).string());
  }
  // A name whose right-to-left override would show it as "rlotxt.svg" and its line backwards.
  writeFile(folder_ / "rlo\u202Egvs.txt", "text");
  argv.push_back((folder_ / "rlo\u202Egvs.txt").string());
  auto primary = launch({QUARVEL_APP_EXECUTABLE}, "app-line-break-names-primary.log");
  ASSERT_TRUE(x_.findWindow("Untitled", 120)) << readFile(outputFile("app-line-break-names-primary.log"));
  const auto terminal = failingLaunch(argv, "app-line-break-names-second.log");
  // The terminal gets one line of UTF-8 each.
  EXPECT_NE(terminal.find("ERROR: The drawing \u201cdeep\uFFFD.svg\u201d is too large to open: its Swift code would "
                          "have more than 64 MB"),
            std::string::npos)
      << terminal;
  EXPECT_EQ(terminal.find("Invalid UTF-8"), std::string::npos) << terminal;
  std::size_t errorLines = 0;
  for (std::size_t start = 0; start < terminal.size();) {
    const auto end = std::min(terminal.find('\n', start), terminal.size());
    const auto line = terminal.substr(start, end - start);
    if (line.rfind("ERROR: ", 0) == 0) {
      ++errorLines;
    } else {
      EXPECT_EQ(line.find(".svg"), std::string::npos) << "a name broke its line: " << line;
    }
    start = end + 1;
  }
  EXPECT_EQ(errorLines, 10u) << terminal.substr(0, 3000);
  EXPECT_NE(terminal.find("ERROR: \u201crlo\uFFFDgvs.txt\u201d is not an SVG drawing or a document.\n"), std::string::npos)
      << terminal.substr(0, 3000);
  EXPECT_EQ(terminal.find("\u202E"), std::string::npos) << terminal.substr(0, 3000);
  EXPECT_NE(terminal.find("ERROR: \u201c\u240A\u240A\u240A"), std::string::npos) << terminal.substr(0, 3000);

  // The message fits the screen, and its button takes a click.
  const auto dialog = x_.findWindow("Some files could not be opened.", 60);
  ASSERT_TRUE(dialog);
  const auto frame = x_.geometry(*dialog);
  const auto screen = x_.grabScreen();
  expectShownWithText(*dialog, "app-line-break-names-message.png");
  EXPECT_GE(frame.y, 0);
  EXPECT_LT(frame.height, screen.height / 2) << "the message is " << frame.height << " pixels tall";
  EXPECT_LE(frame.width, screen.width);
  x_.click(frame.x + frame.width / 2, frame.y + frame.height - 20);
  EXPECT_TRUE(XDriver::waitUntil([&] { return !x_.findWindow("Some files could not be opened.").has_value(); }, 10))
      << "the button did not take the click";
  EXPECT_TRUE(primary->running());
  // The running application's own log names them on one line of UTF-8 each too.
  const auto log = readFile(outputFile("app-line-break-names-primary.log"));
  EXPECT_TRUE(SVGQuarvel::isValidUTF8(log)) << log.substr(0, 3000);
  EXPECT_EQ(log.find("\n\n\n"), std::string::npos) << log.substr(0, 3000);
  EXPECT_EQ(log.find("\u202E"), std::string::npos) << log.substr(0, 3000);
  EXPECT_NE(log.find("\u240A\u240A\u240A"), std::string::npos) << log.substr(0, 3000);
}

TEST_F(AppProcessTest, ADocumentNamedManyTimesOpensOnceAndTakesOnePlaceAmongTheWindowsInUse) {
  writeFile(folder_ / "doc.svgquarvel", SVGQuarvelDocument::Snapshot{circle, "// doc\n", std::nullopt}.jsonString());
  writeFile(folder_ / "drawing.svg", circle);
  auto primary = launch({QUARVEL_APP_EXECUTABLE}, "app-named-often-primary.log");
  ASSERT_TRUE(x_.findWindow("Untitled", 120)) << readFile(outputFile("app-named-often-primary.log"));
  // One launch names the document forty times, under two names; it opens once, and nothing is
  // refused.
  std::vector<std::string> argv{QUARVEL_APP_EXECUTABLE};
  for (int index = 0; index < 40; ++index) {
    argv.push_back(index % 2 == 0 ? (folder_ / "doc.svgquarvel").string() : (folder_ / "." / "doc.svgquarvel").string());
  }
  auto named = launch(argv, "app-named-often-second.log");
  // Meanwhile another launch's drawing is not refused for windows the repeats would have taken.
  auto other = launch({QUARVEL_APP_EXECUTABLE, (folder_ / "drawing.svg").string()}, "app-named-often-other.log");
  for (auto* launched : {named.get(), other.get()}) {
    const auto status = launched->wait(120);
    EXPECT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << status.value_or(-1);
  }
  ASSERT_TRUE(x_.findWindow("doc.svgquarvel", 60)) << readFile(outputFile("app-named-often-primary.log"));
  EXPECT_TRUE(x_.findWindow("Untitled 2", 60).has_value()) << readFile(outputFile("app-named-often-other.log"));
  for (const char* log : {"app-named-often-second.log", "app-named-often-other.log"}) {
    EXPECT_EQ(readFile(outputFile(log)).find("ERROR"), std::string::npos) << readFile(outputFile(log));
  }
  const auto log = readFile(outputFile("app-named-often-primary.log"));
  EXPECT_EQ(log.find("windows open"), std::string::npos) << log.substr(0, 3000);
  EXPECT_EQ(windowsTitled("doc.svgquarvel").size(), 1u);
  EXPECT_TRUE(windowsTitled("Some files could not be opened.").empty());
  EXPECT_TRUE(windowsTitled(AppDelegate::noNewWindowHeading).empty());
  EXPECT_TRUE(primary->running());
}

TEST_F(AppProcessTest, NamesThatAreNoLocalFileGivenToOpenOverTheBusAreReportedAsALaunchReportsThem) {
  writeFile(folder_ / "drawing.svg", circle);
  auto primary = launch({QUARVEL_APP_EXECUTABLE}, "app-bus-open-primary.log");
  ASSERT_TRUE(x_.findWindow("Untitled", 120)) << readFile(outputFile("app-bus-open-primary.log"));
  // What the desktop sends when it asks a running application to open files: their addresses.
  GError* error = nullptr;
  GDBusConnection* connection = connectToBus(bus_->address(), &error);
  ASSERT_NE(connection, nullptr) << error->message;
  gchar* local = g_filename_to_uri((folder_ / "drawing.svg").c_str(), nullptr, nullptr);
  gchar* missing = g_filename_to_uri((folder_ / "missing.svg").c_str(), nullptr, nullptr);
  const gchar* uris[] = {"http://example.com/a.svg", "sftp://host/b.svg", "plain text", local, missing, nullptr};
  GVariant* answer = g_dbus_connection_call_sync(
      connection, "org.quarvel.SVGQuarvel", "/org/quarvel/SVGQuarvel", "org.gtk.Application", "Open",
      g_variant_new("(^ass@a{sv})", uris, "", g_variant_new_array(G_VARIANT_TYPE("{sv}"), nullptr, 0)), nullptr,
      G_DBUS_CALL_FLAGS_NONE, 60000, nullptr, &error);
  g_free(local);
  g_free(missing);
  ASSERT_NE(answer, nullptr) << error->message;
  g_variant_unref(answer);
  g_dbus_connection_close_sync(connection, nullptr, nullptr);
  g_object_unref(connection);

  // The local file opens; the others are named in one message, with the local file that does
  // not exist, as when a launch names them.
  EXPECT_TRUE(x_.findWindow("Untitled 2", 60).has_value());
  const auto dialog = x_.findWindow("Some files could not be opened.", 30);
  ASSERT_TRUE(dialog) << readFile(outputFile("app-bus-open-primary.log"));
  EXPECT_TRUE(XDriver::waitUntil(
      [&] { return readFile(outputFile("app-bus-open-primary.log")).find("missing.svg") != std::string::npos; }, 30));
  EXPECT_EQ(windowsTitled("Some files could not be opened.").size(), 1u);
  // Brought over the window that opened after it.
  x_.focus(*dialog);
  expectShownWithText(*dialog, "app-bus-open-refused.png");
  const auto log = readFile(outputFile("app-bus-open-primary.log"));
  for (const std::string line : {"\u201chttp://example.com/a.svg\u201d is not a local file.",
                                 "\u201csftp://host/b.svg\u201d is not a local file.",
                                 "\u201cplain text\u201d is not a local file.",
                                 "\u201cmissing.svg\u201d does not exist."}) {
    EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log.substr(0, 3000);
  }
  // Shown (and logged) once, as one message.
  const auto heading = log.find("ERROR: Some files could not be opened.");
  ASSERT_NE(heading, std::string::npos) << log.substr(0, 3000);
  EXPECT_EQ(log.find("ERROR: Some files could not be opened.", heading + 1), std::string::npos) << log.substr(0, 3000);
  EXPECT_EQ(log.find("ERROR: The file could not be opened."), std::string::npos) << log.substr(0, 3000);
  dismiss("Some files could not be opened.");
  EXPECT_TRUE(primary->running());
}

TEST_F(AppProcessTest, TheSaveDialogOffersTheDocumentsTypesAndItsFilterNamesTheType) {
  auto app = launch({QUARVEL_APP_EXECUTABLE}, "app-save-types.log");
  const auto window = x_.findWindow("Untitled", 120);
  ASSERT_TRUE(window) << readFile(outputFile("app-save-types.log"));
  std::optional<XDriver::WindowID> dialog;
  for (int attempt = 0; attempt < 3 && !dialog; ++attempt) {
    x_.focus(*window);
    x_.key("shift+ctrl+s");
    dialog = x_.findWindow("Save", 10);
  }
  ASSERT_TRUE(dialog);
  x_.focus(*dialog);
  x_.key("ctrl+a");
  x_.type((folder_ / "exported").string());
  // The type list at the bottom right: its second entry is the second writable type, SVG.
  const auto frame = x_.geometry(*dialog);
  x_.click(frame.x + frame.width - 103, frame.y + frame.height - 72);
  XDriver::waitUntil([] { return false; }, 0.5);  // the list is open
  x_.key("Down");
  x_.key("Return");
  XDriver::waitUntil([] { return false; }, 0.5);
  x_.grabScreen().savePNG(outputFile("app-save-types-dialog.png").string());
  x_.click(frame.x + frame.width - 40, frame.y + frame.height - 22);  // Save
  const auto saved = folder_ / "exported.svg";
  ASSERT_TRUE(XDriver::waitUntil([&] { return std::filesystem::exists(saved); }, 20))
      << "nothing saved as SVG; in the folder: " << [&] {
           std::string names;
           for (const auto& entry : std::filesystem::directory_iterator(folder_)) names += entry.path().filename().string() + " ";
           return names;
         }();
  EXPECT_EQ(readFile(saved), std::string(newDocumentSVG));
  EXPECT_TRUE(app->running());
}

TEST_F(AppProcessTest, TheAboutWindowIsTranslucentAndMovesByDraggingItsBackground) {
  auto app = launch({QUARVEL_APP_EXECUTABLE}, "app-about.log");
  const auto window = x_.findWindow("Untitled", 120);
  ASSERT_TRUE(window) << readFile(outputFile("app-about.log"));
  const auto frame = x_.geometry(*window);
  // Help in the menu bar, then its first item.
  const auto helpMenu = clickForMenu(*window, frame.x + 320, frame.y + 62, programWindows());
  ASSERT_TRUE(helpMenu);
  const auto menuFrame = x_.geometry(*helpMenu);
  std::optional<XDriver::WindowID> about;
  for (int attempt = 0; attempt < 3 && !about; ++attempt) {
    // A menu that has only just come up on a busy machine may not take the first click yet.
    x_.click(menuFrame.x + menuFrame.width / 2, menuFrame.y + menuFrame.height * 3 / 10);
    about = x_.findWindowStartingWith("About ", 20);
  }
  ASSERT_TRUE(about);
  const auto start = x_.geometry(*about);

  // Its background is the window colour at 0.8 opacity: without a compositor the server shows the
  // colour as drawn, 0.8 of the opaque one of the document window's menu bar. Text stays opaque.
  // The window is mapped before it has drawn: look once its background shows.
  const XDriver::Rect grip{start.x + 20, start.y + start.height - 20, 1, 1};
  const auto opaque = x_.grabScreen().at(frame.x + frame.width - 60, frame.y + 62);
  const auto translucent = [&](std::uint32_t pixel) {
    for (int shift = 0; shift <= 16; shift += 8) {
      if (std::abs(int((pixel >> shift) & 0xff) - int((opaque >> shift) & 0xff) * 0.8) > 3) return false;
    }
    return true;
  };
  XDriver::waitUntil([&] { return translucent(x_.grab(grip).at(0, 0)); }, 10);
  const auto screen = x_.grabScreen();
  x_.grab(start).savePNG(outputFile("app-about-window.png").string());
  const auto background = screen.at(grip.x, grip.y);
  EXPECT_TRUE(translucent(background)) << std::hex << background << " over " << opaque;
  EXPECT_EQ(screen.at(start.x + start.width / 2, start.y + 12), background) << "the title bar shows the same background";
  EXPECT_GT(inkIn(x_.grab(start)), 500u);
  // Its content, title bar included, is 320 by 460: the background runs that long across its top
  // and down its left side, inside the frame the toolkit may draw around a window (without a
  // compositor, a few pixels wide).
  const auto picture = x_.grab(start);
  const auto run = [&](int x, int y, int dx, int dy) {
    int length = 0, longest = 0;
    for (; x < picture.width && y < picture.height; x += dx, y += dy) {
      length = translucent(picture.at(x, y)) ? length + 1 : 0;
      longest = std::max(longest, length);
    }
    return longest;
  };
  EXPECT_EQ(run(0, 7, 1, 0), 320) << start.width << "x" << start.height;
  EXPECT_EQ(run(7, 0, 0, 1), 460) << start.width << "x" << start.height;
  EXPECT_LE(start.width, 320 + 2 * 8);

  // A drag on the background moves the window with the pointer. (Without a window manager the
  // toolkit moves the window itself once the drag asks it to, so the move shows here.)
  x_.moveTo(grip.x, grip.y);
  x_.press(1);
  for (int step = 1; step <= 10; ++step) {
    x_.moveTo(grip.x + step * 15, grip.y + step * 8);
    XDriver::waitUntil([] { return false; }, 0.03);
  }
  x_.release(1);
  EXPECT_TRUE(XDriver::waitUntil(
      [&] {
        const auto moved = x_.geometry(*about);
        return std::abs(moved.x - (start.x + 150)) <= 2 && std::abs(moved.y - (start.y + 80)) <= 2;
      },
      5))
      << "from " << start.x << "," << start.y << " to " << x_.geometry(*about).x << "," << x_.geometry(*about).y;
  x_.grabScreen().savePNG(outputFile("app-about-moved.png").string());
  EXPECT_TRUE(app->running());
}

/// Calls a method of the bus daemon on `connection`; its answer, or none.
GVariant* callBus(GDBusConnection* connection, const char* method, GVariant* parameters) {
  return g_dbus_connection_call_sync(connection, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                     "org.freedesktop.DBus", method, parameters, nullptr, G_DBUS_CALL_FLAGS_NONE, 5000,
                                     nullptr, nullptr);
}

bool nameHasOwner(GDBusConnection* connection, const char* name) {
  GVariant* answer = callBus(connection, "NameHasOwner", g_variant_new("(s)", name));
  gboolean owned = FALSE;
  if (answer != nullptr) {
    g_variant_get(answer, "(b)", &owned);
    g_variant_unref(answer);
  }
  return owned != FALSE;
}

TEST(AppService, ACallWhileTheApplicationIsNotRunningStartsItAsAServiceThatLeavesWhenIdle) {
  XDriver::Session x;
  if (!x.ok()) GTEST_SKIP() << "no X server";
  const auto folder = scratchDirectory();
  // The bus knows the application through the activation file the build made.
  ASSERT_TRUE(std::filesystem::exists(std::filesystem::path(QUARVEL_BUILT_SERVICES_DIR) / "org.quarvel.SVGQuarvel.service"));
  PrivateBus bus(folder, QUARVEL_BUILT_SERVICES_DIR,
                 {"XDG_CONFIG_HOME=" + (folder / "config").string(), "XDG_DATA_HOME=" + (folder / "data").string(),
                  "QUARVEL_RESOURCES=" QUARVEL_TEST_RESOURCE_DIR, "GDK_DEBUG=gl-disable", "GSK_RENDERER=cairo",
                  "WEBKIT_DISABLE_COMPOSITING_MODE=1", "LIBGL_ALWAYS_SOFTWARE=1", "NO_AT_BRIDGE=1"});
  ASSERT_FALSE(bus.address().empty());
  GError* error = nullptr;
  GDBusConnection* connection = connectToBus(bus.address(), &error);
  ASSERT_NE(connection, nullptr) << error->message;
  const char* name = "org.quarvel.SVGQuarvel";
  ASSERT_FALSE(nameHasOwner(connection, name));

  GVariant* answer = g_dbus_connection_call_sync(
      connection, name, "/org/quarvel/SVGQuarvel/Services", "org.quarvel.SVGQuarvel.Services", "SvgToView",
      g_variant_new("(s)", circle.c_str()), G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE, 60000, nullptr, &error);
  ASSERT_NE(answer, nullptr) << error->message;
  const gchar* swift = nullptr;
  g_variant_get(answer, "(&s)", &swift);
  EXPECT_NE(std::string(swift).find("Circle()"), std::string::npos) << swift;
  EXPECT_NE(std::string(swift).find("import SwiftUI"), std::string::npos) << swift;
  g_variant_unref(answer);

  // The service opened no window and leaves by itself once it has been idle a while.
  guint32 pid = 0;
  if (GVariant* owner = callBus(connection, "GetConnectionUnixProcessID", g_variant_new("(s)", name))) {
    g_variant_get(owner, "(u)", &pid);
    g_variant_unref(owner);
  }
  EXPECT_GT(pid, 0u);
  EXPECT_TRUE(x.findWindows([](const std::string& title) { return title.rfind("Untitled", 0) == 0; }).empty());
  const bool left = XDriver::waitUntil([&] { return !nameHasOwner(connection, name); }, 60);
  EXPECT_TRUE(left) << "the service is still running";
  if (!left && pid > 0) ::kill(pid_t(pid), SIGKILL);
  g_dbus_connection_close_sync(connection, nullptr, nullptr);
  g_object_unref(connection);
}

}  // namespace
