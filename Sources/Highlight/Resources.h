// The application's resources: a directory of files that stands in for the bundle's.
#pragma once

#include <optional>
#include <string>
#include <string_view>

/// The environment variable naming the resource directory; when set, no other place is looked at.
inline constexpr const char* resourceDirectoryVariable = "QUARVEL_RESOURCES";

/// The path of the resource `name`.`extension`: in the directory the environment names, else in
/// "Resources" beside the executable, else in the installed data directory; none when the file
/// is in none of them.
std::optional<std::string> resourcePath(std::string_view name, std::string_view extension);
