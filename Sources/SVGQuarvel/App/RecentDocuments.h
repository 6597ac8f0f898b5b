// The documents of the File ▸ Open Recent menu: the files this application opened or saved, as
// the desktop's list of recent files keeps them, newest first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
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

/// The menu's items: this application's local files that still exist, newest first, at most
/// `limit`; each titled by its file name, followed by its folder where two names are alike, both
/// on one line as names show in messages (`displayText`).
std::vector<MenuItem> menuItems(std::vector<Entry> entries, std::size_t limit = menuLimit);

/// The MIME type a recent file is registered with, by its extension.
std::string mimeTypeOf(const std::filesystem::path& path);

}  // namespace SVGQuarvel::RecentDocuments
