// The folder a launch was started in, against which the relative names it was given are taken. A
// folder deleted under the launch cannot be named: the toolkit's library then takes names from the
// root of the file system instead, and would open another file of the same name. Such names are
// refused.
#pragma once

#include <string>

namespace SVGQuarvel::WorkingFolder {

/// The key of a launch's platform data that says its working folder could not be named.
inline constexpr const char* goneKey = "working-folder-gone";

/// Whether the folder the toolkit's library takes names from is this process's working folder (it
/// is not when that folder was deleted, and the library stands "/" in for it).
bool isNamed();

/// Whether the name given on a command line is taken from the working folder: it is no absolute
/// path and no URI.
bool isRelative(const std::string& name);

/// The line that refuses `name`, given in a working folder that no longer exists.
std::string goneLine(const std::string& name);

}  // namespace SVGQuarvel::WorkingFolder
