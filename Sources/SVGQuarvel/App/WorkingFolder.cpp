#include "SVGQuarvel/App/WorkingFolder.h"

#include <glib.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "SVGQuarvel/Model/DocumentFile.h"

namespace SVGQuarvel::WorkingFolder {

bool isNamed() {
  // The library names the folder as the system does, and stands "/" in for it only where the
  // system cannot. The system names a folder whatever its permissions, so one that may not be
  // searched is named: its names are then refused for want of permission, not as gone.
  std::vector<char> name(256);
  while (::getcwd(name.data(), name.size()) == nullptr) {
    if (errno != ERANGE) return false;
    name.resize(name.size() * 2);
  }
  return true;
}

bool isRelative(const std::string& name) {
  return !g_path_is_absolute(name.c_str()) && g_uri_peek_scheme(name.c_str()) == nullptr;
}

std::string goneLine(const std::string& name) {
  return "\u201c" + displayText(name) + "\u201d cannot be found: the current folder it was given in no longer exists.";
}

}  // namespace SVGQuarvel::WorkingFolder
