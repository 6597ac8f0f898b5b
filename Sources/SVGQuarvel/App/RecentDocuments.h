// The documents of the File ▸ Open Recent menu: the files this application opened or saved and
// opens again, as the desktop's list of recent files keeps them, newest first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace SVGQuarvel::RecentDocuments {

/// The name this application registers its recent files under.
inline constexpr const char* applicationName = "SVG Quarvel";
/// How many files the menu lists.
inline constexpr std::size_t menuLimit = 10;

/// One file of the desktop's list.
struct Entry {
  std::string uri;
  /// When it was last opened or saved (seconds since the epoch).
  std::int64_t modified = 0;
  /// Whether this application registered it.
  bool ours = false;
  /// Whether the file is still there.
  bool exists = true;
};

struct MenuItem {
  std::string title;
  std::filesystem::path path;
  bool operator==(const MenuItem&) const = default;
};

/// Whether choosing the file in the menu opens it: a document or an SVG drawing, as the Open
/// panel and the command line take them. A Swift source file (whatever the system takes it for),
/// a folder, a link to no file and a file that is gone or cannot be read do not open.
bool opens(const std::filesystem::path& path);

/// The menu's items: this application's local files that still exist and that open (`isOpenable`),
/// newest first, at most `limit`; each titled by its file name, followed by its folder where two
/// names are alike, both on one line as names show in messages (`displayText`). A file listed
/// before that does not open (a Swift source file saved by an older version) is left out and
/// stays in the desktop's list, which other programs read too.
std::vector<MenuItem> menuItems(std::vector<Entry> entries, std::size_t limit = menuLimit,
                                const std::function<bool(const std::filesystem::path&)>& isOpenable = opens);

/// The MIME type a recent file is registered with, by its extension.
std::string mimeTypeOf(const std::filesystem::path& path);

}  // namespace SVGQuarvel::RecentDocuments
