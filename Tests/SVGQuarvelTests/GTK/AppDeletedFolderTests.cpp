// The real executable given a relative name in a folder deleted under it, by a launch and by a
// second launch that hands the name to the running application: the name is refused with the
// reason, not taken from the root of the file system.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <memory>
#include <string>

#include "SVGQuarvelTests/GTK/AppProcessSupport.h"
#include "SVGQuarvelTests/QuarvelTestSupport.h"
#include "XDriver/XDriver.h"

using namespace QuarvelTestSupport;
using namespace AppProcessSupport;

namespace {

/// Runs the application with `name` from a folder deleted under it before it starts (a shell
/// leaves for it, deletes it and starts the application there).
std::unique_ptr<XDriver::Process> launchInDeletedFolder(const PrivateBus& bus, const std::filesystem::path& home,
                                                       const std::filesystem::path& folder, const std::string& name,
                                                       const std::string& log) {
  std::filesystem::create_directory(folder);
  return std::make_unique<XDriver::Process>(
      std::vector<std::string>{"/bin/sh", "-c", "cd \"$1\" && rmdir \"$1\" && exec \"$2\" \"$3\"", "sh", folder.string(),
                               QUARVEL_APP_EXECUTABLE, name},
      appEnvironment(bus, home), outputFile(log).string());
}

TEST_F(AppProcessTest, ARelativeNameGivenInAFolderThatWasDeletedIsRefused) {
  // A drawing whose name, taken from the root of the file system, is the relative name given.
  const auto drawing = folder_ / "at the root.svg";
  writeFile(drawing, circle);
  const std::string relative = drawing.relative_path().string();
  const std::string line = "\u201c" + relative + "\u201d cannot be found: the current folder it was given in no longer exists.";

  // A launch: refused with the line, and it fails, opening no window.
  auto first = launchInDeletedFolder(*bus_, folder_, folder_ / "gone", relative, "app-deleted-folder.log");
  std::optional<int> status;
  bool opened = false;
  XDriver::waitUntil(
      [&] {
        status = first->wait(0);
        opened = !status && x_.findWindowStartingWith("Untitled").has_value();
        return status || opened;
      },
      120);
  const auto text = readFile(outputFile("app-deleted-folder.log"));
  ASSERT_FALSE(opened) << "a file of that name opened: " << text;
  ASSERT_TRUE(status) << "the launch goes on: " << text;
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1) << *status << "\n" << text;
  EXPECT_NE(text.find("ERROR: The file could not be opened. " + line), std::string::npos) << text;

  // A second launch hands the name to the running application, which refuses it too: the launch's
  // terminal says why and it fails, the application's message says so, and no window opens.
  auto app = launch({QUARVEL_APP_EXECUTABLE}, "app-deleted-folder-running.log");
  const auto window = x_.findWindow("Untitled", 120);
  ASSERT_TRUE(window) << readFile(outputFile("app-deleted-folder-running.log"));
  auto second = launchInDeletedFolder(*bus_, folder_, folder_ / "gone too", relative, "app-deleted-folder-second.log");
  const auto secondStatus = second->wait(120);
  const auto secondText = readFile(outputFile("app-deleted-folder-second.log"));
  ASSERT_TRUE(secondStatus) << secondText;
  EXPECT_TRUE(WIFEXITED(*secondStatus) && WEXITSTATUS(*secondStatus) == 1) << *secondStatus << "\n" << secondText;
  EXPECT_NE(secondText.find("ERROR: " + line), std::string::npos) << secondText;
  const auto message = x_.findWindow("The file could not be opened.", 60);
  EXPECT_TRUE(message) << readFile(outputFile("app-deleted-folder-running.log"));
  EXPECT_FALSE(x_.findWindow("Untitled 2").has_value());
  EXPECT_TRUE(app->running());
}

TEST_F(AppProcessTest, ARelativeNameGivenInAFolderThatMayNotBeSearchedIsRefusedForItsPermission) {
  // The folder is there, but the launch may not search it: the system names it all the same, and
  // the name is refused for want of permission, not as given in a folder that no longer exists.
  // (The launch runs in a user namespace of its own, where it owns no file, so that an
  // administrator may not search the folder either.)
  const auto shut = folder_ / "shut";
  std::filesystem::create_directory(shut);
  writeFile(shut / "drawing.svg", circle);
  const std::string log = "app-shut-folder.log";
  XDriver::Process launched({"/bin/sh", "-c", "cd \"$1\" && chmod 000 . && exec unshare --user \"$2\" drawing.svg", "sh",
                             shut.string(), QUARVEL_APP_EXECUTABLE},
                            appEnvironment(*bus_, folder_), outputFile(log).string());
  const auto status = launched.wait(120);
  std::filesystem::permissions(shut, std::filesystem::perms::owner_all);
  const auto text = readFile(outputFile(log));
  ASSERT_TRUE(status) << text;
  if (text.rfind("unshare:", 0) == 0 || (WIFEXITED(*status) && WEXITSTATUS(*status) == 127))
    GTEST_SKIP() << "no user namespace to run in: " << text;
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1) << *status << "\n" << text;
  EXPECT_NE(text.find("ERROR: The file could not be opened. The file \u201cdrawing.svg\u201d couldn\u2019t be opened "
                      "because you don\u2019t have permission to view it."),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("no longer exists"), std::string::npos) << text;
}

}  // namespace
