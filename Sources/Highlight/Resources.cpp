#include "Highlight/Resources.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#ifndef QUARVEL_INSTALLED_RESOURCE_DIR
#define QUARVEL_INSTALLED_RESOURCE_DIR "/usr/local/share/svg-quarvel"
#endif

namespace fs = std::filesystem;

std::optional<std::string> resourcePath(std::string_view name, std::string_view extension) {
  std::vector<fs::path> directories;
  if (const char* override_ = std::getenv(resourceDirectoryVariable); override_ && *override_) {
    directories.emplace_back(override_);
  } else {
    std::error_code error;
    const fs::path executable = fs::read_symlink("/proc/self/exe", error);
    if (!error) directories.push_back(executable.parent_path() / "Resources");
    directories.emplace_back(QUARVEL_INSTALLED_RESOURCE_DIR);
  }
  const std::string file = std::string(name) + (extension.empty() ? "" : ".") + std::string(extension);
  for (const fs::path& directory : directories) {
    std::error_code error;
    const fs::path candidate = directory / file;
    if (fs::is_regular_file(candidate, error)) return candidate.string();
  }
  return std::nullopt;
}
