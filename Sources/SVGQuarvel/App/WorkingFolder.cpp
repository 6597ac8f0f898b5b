#include "SVGQuarvel/App/WorkingFolder.h"

#include <glib.h>
#include <sys/stat.h>

#include "SVGQuarvel/Model/DocumentFile.h"

namespace SVGQuarvel::WorkingFolder {

bool isNamed() {
  gchar* named = g_get_current_dir();
  struct stat here {}, there {};
  const bool same = ::stat(".", &here) == 0 && ::stat(named, &there) == 0 && here.st_dev == there.st_dev &&
                    here.st_ino == there.st_ino;
  g_free(named);
  return same;
}

bool isRelative(const std::string& name) {
  return !g_path_is_absolute(name.c_str()) && g_uri_peek_scheme(name.c_str()) == nullptr;
}

std::string goneLine(const std::string& name) {
  return "\u201c" + displayText(name) + "\u201d cannot be found: the current folder it was given in no longer exists.";
}

}  // namespace SVGQuarvel::WorkingFolder
