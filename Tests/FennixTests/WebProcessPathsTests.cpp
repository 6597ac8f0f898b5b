// Why the web engine cannot start a web process given paths: a file on the way to one, a link that
// loops, the session bus's folder gone; a path that is absent stops nothing else. And which paths
// the engine hands on.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
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

// The paths follow the engine: a variable set empty is set (the engine then takes no default in
// its place), a sandbox switched off is handed no path, and the folder of the session bus's socket
// must be there wherever the engine starts its filter of the bus.
TEST(WebProcessPaths, ThePathsAreThoseTheEngineHandsOn) {
  Sources sources;
  sources.home = {"/home/u", "HOME"};
  sources.runtime = {"/run/user/1", "XDG_RUNTIME_DIR"};
  sources.cache = sources.config = sources.data = sources.home;
  const auto has = [](const std::vector<Path>& paths, const std::string& path) {
    return std::any_of(paths.begin(), paths.end(), [&](const Path& each) { return each.path == path; });
  };
  const auto withVariables = [&](const std::map<std::string, std::string>& variables) {
    auto changed = sources;
    changed.environment = variables;
    return pathsOf(changed);
  };

  EXPECT_TRUE(has(pathsOf(sources), "/run/user/1/pulse"));
  EXPECT_TRUE(has(pathsOf(sources), "/home/u/.Xauthority"));
  EXPECT_FALSE(has(withVariables({{"PULSE_SERVER", ""}, {"XAUTHORITY", ""}}), "/run/user/1/pulse"));
  EXPECT_FALSE(has(withVariables({{"PULSE_SERVER", ""}, {"XAUTHORITY", ""}}), "/home/u/.Xauthority"));
  EXPECT_FALSE(has(withVariables({{"GST_PLUGIN_PATH_1_0", ""}, {"GST_PLUGIN_PATH", "/g"}}), "/g"));
  EXPECT_TRUE(has(withVariables({{"GST_PLUGIN_PATH", "/g"}}), "/g"));

  EXPECT_TRUE(withVariables({{"WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS", ""}}).empty());
  EXPECT_TRUE(withVariables({{"WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS", "1"}}).empty());
  EXPECT_FALSE(withVariables({{"WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS", "0"}}).empty());

  // The text after the first "path=" up to the next comma, as it stands.
  sources.busFilter = true;
  const auto bus = [&](const std::string& address) {
    std::vector<Path> folders;
    for (const auto& path : withVariables({{"DBUS_SESSION_BUS_ADDRESS", address}})) {
      if (path.origin == "DBUS_SESSION_BUS_ADDRESS") folders.push_back(path);
    }
    return folders;
  };
  EXPECT_EQ(bus("unix:path=/run/user/1/bus,guid=0a"),
            (std::vector<Path>{{"/run/user/1", "DBUS_SESSION_BUS_ADDRESS", true}}));
  EXPECT_EQ(bus("unix:path=/a/bus;unix:path=/b/bus"),
            (std::vector<Path>{{"/a/bus;unix:path=/b", "DBUS_SESSION_BUS_ADDRESS", true}}));
  EXPECT_TRUE(bus("unix:abstract=/tmp/dbus-0a").empty());
  EXPECT_TRUE(bus("tcp:host=localhost,port=1").empty());
  sources.busFilter = false;
  EXPECT_TRUE(bus("unix:path=/run/user/1/bus").empty());

  // Absent, it stops a web process only where it must be there.
  std::string pattern = (std::filesystem::temp_directory_path() / "web-paths-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  const std::filesystem::path gone = std::filesystem::path(pattern) / "gone";
  EXPECT_EQ(obstacle({{gone.string(), "XDG_X"}}), std::nullopt);
  EXPECT_EQ(obstacle({{gone.string(), "DBUS_SESSION_BUS_ADDRESS", true}}),
            "The web engine cannot start: it needs \u201c" + gone.string() +
                "\u201d (from DBUS_SESSION_BUS_ADDRESS), but it cannot be looked up (No such file or directory).");
  std::filesystem::remove_all(pattern);
}
