#include "SVGQuarvel/App/RecentDocuments.h"

#include <glib.h>

#include <algorithm>
#include <map>

#include "SVGQuarvel/App/AppDelegate.h"
#include "SVGQuarvel/App/DocumentController.h"
#include "SVGQuarvel/Model/DocumentFile.h"

namespace SVGQuarvel::RecentDocuments {

bool opens(const std::filesystem::path& path) {
  // Swift source is what a document exports, never what opens as one: code that begins with its
  // drawing in a comment looks like a drawing to the system.
  if (UTType::fromFilenameExtension(path.has_extension() ? path.extension().string().substr(1) : "") ==
      UTType::swiftSource())
    return false;
  FileContentType type;
  try {
    type = contentTypeOfFile(path);
  } catch (const CocoaError&) {
    return false;
  }
  // The routes of `AppDelegate::openFiles`: documents as documents, SVG drawings converted.
  return type.isDocument || (type.isSVG && !type.isDirectory && !type.brokenLinkTarget);
}

std::vector<MenuItem> menuItems(std::vector<Entry> entries, std::size_t limit,
                                const std::function<bool(const std::filesystem::path&)>& isOpenable) {
  std::stable_sort(entries.begin(), entries.end(),
                   [](const Entry& a, const Entry& b) { return a.modified > b.modified; });
  std::vector<MenuItem> items;
  for (const auto& entry : entries) {
    if (items.size() == limit) break;
    if (!entry.ours || !entry.exists) continue;
    gchar* file = g_filename_from_uri(entry.uri.c_str(), nullptr, nullptr);
    if (file == nullptr) continue;  // not a local file
    std::filesystem::path path(file);
    g_free(file);
    if (std::any_of(items.begin(), items.end(), [&](const MenuItem& item) { return item.path == path; })) continue;
    if (!isOpenable(path)) continue;
    items.push_back({displayFileName(path), path});
  }
  std::map<std::string, int> names;
  for (const auto& item : items) ++names[item.title];
  for (auto& item : items) {
    // The folder on the same line as the name: its line breaks, bad bytes and directional
    // overrides shown as in messages.
    if (names[item.title] > 1) item.title += " \u2014 " + displayText(item.path.parent_path().string());
  }
  return items;
}

std::string mimeTypeOf(const std::filesystem::path& path) {
  return DocumentController::typeForSaving(path).preferredMIMEType();
}

}  // namespace SVGQuarvel::RecentDocuments
