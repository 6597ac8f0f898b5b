// The files and folders the web engine hands to each web process it starts, and whether a web
// process can start with them.
//
// The engine lays out a closed file system for each web process from the user's folders and from
// paths named in the environment. A path it cannot look up for any reason but its absence (a file
// where a folder should be on its way, a link that leads round in a loop, a folder that may not be
// searched) stops the process before it runs, and so does the folder of the session bus's socket
// when it is absent; the engine then ends the whole application. So a web view is made, and a web
// process started, only once every one of these paths can be looked up.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace Fennix::WebProcessPaths {

/// A folder of the user's, and what sets it (a variable of the environment, said for a person).
struct Folder {
  std::string path;
  std::string origin;
};

/// What the paths are made of: the user's folders as the toolkit's library resolved them (the ones
/// the engine takes), the system's data folders, the program's name and the variables of the
/// environment that name paths.
struct Sources {
  Folder runtime, cache, config, data, home;
  std::vector<std::string> systemData;
  std::string programName;
  /// The variables of the environment that name paths, those set empty too.
  std::map<std::string, std::string> environment;
  /// Whether the engine can make its folder in the run-time folder, where it starts a filter of the
  /// session bus for its web processes.
  bool busFilter = false;
};

/// A path a web process is given, and what sets it.
struct Path {
  std::string path;
  std::string origin;
  /// Whether it must be there: the engine hands it on whether it is or not.
  bool needed = false;
  bool operator==(const Path&) const = default;
};

/// The variables of the environment whose paths the engine hands to a web process.
const std::vector<std::string>& environmentVariables();

/// The paths of the user's and of the environment that the engine hands to each web process it
/// starts (those it makes itself, or that are the system's own, are left out); none when the
/// engine's sandbox is switched off, as it then hands on none.
std::vector<Path> pathsOf(const Sources& sources);

/// Why a web process given `paths` cannot start, as a sentence; none when every path can be looked
/// up, or is absent where it need not be there.
std::optional<std::string> obstacle(const std::vector<Path>& paths);

/// The sources of this process now.
Sources currentSources();

/// Why a web process cannot start now, as a sentence; none when it can.
std::optional<std::string> whyNoWebProcess();

}  // namespace Fennix::WebProcessPaths
