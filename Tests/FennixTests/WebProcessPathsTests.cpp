// Why the web engine cannot start a web process given paths: a file on the way to one, a link that
// loops; a path that is absent stops nothing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "Fennix/UI/Common/ViewControllers/WebProcessPaths.h"

using namespace Fennix::WebProcessPaths;

TEST(WebProcessPaths, APathThatCannotBeLookedUpStopsAWebProcessAndIsSaidWhy) {
  std::string pattern = (std::filesystem::temp_directory_path() / "web-paths-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  const std::filesystem::path folder = pattern;
  std::ofstream(folder / "file") << "x";
  std::filesystem::create_symlink("loop", folder / "loop");
  std::filesystem::create_directory(folder / "present");

  // Present, absent, or under a folder that is absent: nothing stops.
  EXPECT_EQ(obstacle({{(folder / "present").string(), "A"},
                      {(folder / "absent").string(), "B"},
                      {(folder / "absent" / "deeper").string(), "C"}}),
            std::nullopt);
  // A file where a folder should be: the file is named.
  EXPECT_EQ(obstacle({{(folder / "present").string(), "A"}, {(folder / "file" / "cache" / "pulse").string(), "XDG_X"}}),
            "The web engine cannot start: it needs \u201c" + (folder / "file" / "cache" / "pulse").string() +
                "\u201d (from XDG_X), but \u201c" + (folder / "file").string() + "\u201d is a file, not a folder.");
  // A link that leads round in a loop.
  const auto loop = obstacle({{(folder / "loop" / ".Xauthority").string(), "HOME"}});
  ASSERT_TRUE(loop);
  EXPECT_NE(loop->find("(from HOME), but it cannot be looked up ("), std::string::npos) << *loop;

  std::filesystem::remove_all(folder);
}
