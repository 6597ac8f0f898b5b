#include "Fennix/Foundation/System/FileManager.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>

#include <nlohmann/json.hpp>

#include "Fennix/Foundation/System/Bundle.h"
#include "Fennix/console/Console.h"

namespace fs = std::filesystem;

namespace Fennix {
namespace {

constexpr unsigned bookmarkWithSecurityScope = 0x800;
constexpr unsigned bookmarkSecurityScopeAllowOnlyReadAccess = 0x1000;
constexpr long maximumNameTries = 10000;

std::optional<std::string> environment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

fs::path homeDirectory() {
  if (auto home = environment("HOME")) return *home;
  if (auto home = FileManager::default_().realHomeDirectoryForCurrentUser()) return *home;
  return "/";
}

// An XDG base directory: the variable when it holds an absolute path, else the fallback below home.
fs::path baseDirectory(const char* variable, const char* fallback) {
  if (auto value = environment(variable); value && fs::path(*value).is_absolute()) return *value;
  return homeDirectory() / fallback;
}

// The download folder named in the user's directory settings, if any.
std::optional<fs::path> userDownloadDirectory() {
  std::ifstream settings(baseDirectory("XDG_CONFIG_HOME", ".config") / "user-dirs.dirs");
  std::string line;
  while (std::getline(settings, line)) {
    constexpr std::string_view key = "XDG_DOWNLOAD_DIR=";
    if (line.compare(0, key.size(), key) != 0) continue;
    std::string value = line.substr(key.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    if (value.compare(0, 5, "$HOME") == 0) {
      const std::string rest = value.substr(5);
      if (!rest.empty() && rest.front() != '/') return std::nullopt;
      return rest.empty() ? homeDirectory() : homeDirectory() / rest.substr(1);
    }
    if (fs::path(value).is_absolute()) return fs::path(value);
    return std::nullopt;
  }
  return std::nullopt;
}

std::string applicationName() { return NSBundle::applicationInfo().appName; }

bool isPlainFileName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

// Something at the path, a dangling symbolic link included.
bool somethingAt(const fs::path& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0 || errno != ENOENT;
}

void createFolderIfMissing(const fs::path& url) {
  std::error_code error;
  const fs::file_status status = fs::status(url, error);
  if (fs::exists(status)) {
    if (!fs::is_directory(status)) throw FileManager::QvFileManagerError::downloadsFolderIsNotADirectory(url);
    return;
  }
  fs::create_directories(url);  // throws the system's error
}

struct ScopeEntry {
  long rc = 0;
  bool ok = false;
};

struct SecurityScopeRegistry {
  std::mutex lock;
  std::map<std::string, ScopeEntry> entries;
  FileManager::SecurityScope scope{[](const fs::path&) { return true; }, [](const fs::path&) {}};
};

SecurityScopeRegistry& registry() {
  static SecurityScopeRegistry* shared = new SecurityScopeRegistry();  // lives for the whole process
  return *shared;
}

std::string registryKey(const fs::path& url) { return url.lexically_normal().string(); }

}  // namespace
}  // namespace Fennix

using namespace Fennix;

FileManager::QvFileManagerError::QvFileManagerError(Code code, fs::path url, const std::string& message)
    : std::runtime_error(message), code_(code), url_(std::move(url)) {}

FileManager::QvFileManagerError FileManager::QvFileManagerError::downloadsFolderIsNotADirectory(const fs::path& url) {
  return QvFileManagerError(Code::downloadsFolderIsNotADirectory, url,
                            "downloads folder is not a directory: " + url.string());
}

FileManager& FileManager::default_() {
  static auto& manager = *new FileManager;
  return manager;
}

std::optional<fs::path> FileManager::checkDownloadsFolderAccess(bool readOnly) const {
  const std::optional<fs::path> url = userDownloadDirectory();
  if (!url) return std::nullopt;
  const bool usable = readOnly ? ::access(url->c_str(), F_OK) == 0 : ::access(url->c_str(), W_OK) == 0;
  if (!usable) return std::nullopt;
  DIR* listing = ::opendir(url->c_str());
  if (listing != nullptr) {
    while (::readdir(listing) != nullptr) {
    }
    ::closedir(listing);
    return url;
  }
  const int error = errno;
  if (error == EACCES) return std::nullopt;
  const std::string where = "at path:\n  " + url->string() + "\n  error:";
  const std::string reason = std::strerror(error);
  console::warn("Unexpected error when trying to access Downloads folder", where, reason);
  return std::nullopt;
}

fs::path FileManager::prepareFolderForDownloads(const std::string& fallbackName) const {
  if (!isPlainFileName(fallbackName)) {
    throw std::invalid_argument("folder name for downloads is not a plain file name: \"" + fallbackName + "\"");
  }
  if (auto downloads = checkDownloadsFolderAccess(false)) {
    createFolderIfMissing(*downloads);
    return *downloads;
  }
  fs::path base = baseDirectory("XDG_DATA_HOME", ".local/share");
  if (!ProcessInfo::isSandboxed()) base /= applicationName();
  base /= fallbackName;
  createFolderIfMissing(base);
  return base;
}

std::optional<fs::path> FileManager::availableTargetPath(std::string_view for_, const fs::path& in, long maxCount) const {
  const std::string name(for_);
  if (!isPlainFileName(name)) {
    console::error("no target path for a name that is not a plain file name:", name);
    return std::nullopt;
  }
  const fs::path candidate = in / name;
  if (!somethingAt(candidate)) return candidate;

  const std::size_t dot = name.rfind('.');
  const std::string base = dot == std::string::npos ? name : name.substr(0, dot);
  const std::string extension = dot == std::string::npos ? std::string() : name.substr(dot);
  const long tries = std::min(maxCount, maximumNameTries);
  for (long i = 1; i <= tries; ++i) {
    const fs::path alternative = in / (base + " (" + std::to_string(i) + ")" + extension);
    if (!somethingAt(alternative)) return alternative;
  }
  console::error("no free target path for", name, "in", in.string(), "after tries:", std::max(tries, 0L));
  return std::nullopt;
}

fs::path FileManager::cacheDirectoryURL() const {
  fs::path caches = "/tmp";
  if (environment("XDG_CACHE_HOME") || environment("HOME")) caches = baseDirectory("XDG_CACHE_HOME", ".cache");
  if (!ProcessInfo::isSandboxed()) caches /= applicationName();
  return caches;
}

std::optional<fs::path> FileManager::containerURL(const std::optional<std::string>& forPlatformIndependentGroupID) const {
  if (!forPlatformIndependentGroupID) return std::nullopt;
  const std::string group = NSBundle::mainTeamIdentifierPrefix() + *forPlatformIndependentGroupID;
  if (!isPlainFileName(group)) return std::nullopt;
  return baseDirectory("XDG_DATA_HOME", ".local/share") / "fennix" / "groups" / group;
}

std::optional<fs::path> FileManager::realHomeDirectoryForCurrentUser() const {
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(std::size_t(size > 0 ? size : 16384));
  struct passwd entry;
  struct passwd* found = nullptr;
  int error;
  while ((error = ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found)) == ERANGE &&
         buffer.size() < (1u << 20)) {
    buffer.resize(buffer.size() * 2);
  }
  if (error != 0 || found == nullptr) {
    console::error("could not get passwd of user?");
    return std::nullopt;
  }
  if (found->pw_dir == nullptr || *found->pw_dir == '\0') {
    console::error("could not get homedir from passwd of user?");
    return std::nullopt;
  }
  fs::path home(found->pw_dir);
  return home / "";  // a folder
}

void FileManager::setSecurityScope(SecurityScope scope) {
  SecurityScopeRegistry& shared = registry();
  const std::lock_guard<std::mutex> guard(shared.lock);
  shared.scope = std::move(scope);
}

bool FileManager::retainSecurityScopedURL(const fs::path& url) {
  if (!ProcessInfo::isSandboxed()) return true;
  SecurityScopeRegistry& shared = registry();
  const std::lock_guard<std::mutex> guard(shared.lock);
  const std::string key = registryKey(url);
  if (auto entry = shared.entries.find(key); entry != shared.entries.end()) {
    ++entry->second.rc;
    return entry->second.ok;
  }
  const bool ok = shared.scope.startAccessing ? shared.scope.startAccessing(url) : true;
  shared.entries[key] = {1, ok};
  return ok;
}

void FileManager::releaseSecurityScopedURL(const fs::path& url) {
  if (!ProcessInfo::isSandboxed()) return;
  SecurityScopeRegistry& shared = registry();
  const std::lock_guard<std::mutex> guard(shared.lock);
  const auto entry = shared.entries.find(registryKey(url));
  if (entry == shared.entries.end()) return;
  if (entry->second.rc >= 2) {
    --entry->second.rc;
    return;
  }
  shared.entries.erase(entry);
  if (shared.scope.stopAccessing) shared.scope.stopAccessing(url);
}

FileManager::BookmarkData FileManager::makeBookmark(const fs::path& url, unsigned options) const {
  const fs::path absolute = fs::absolute(url).lexically_normal();
  struct stat info;
  if (::stat(absolute.c_str(), &info) != 0) {
    throw fs::filesystem_error("cannot make a bookmark", absolute, std::error_code(errno, std::generic_category()));
  }
  const nlohmann::json bookmark = {{"bookmark", 1},
                                   {"path", absolute.string()},
                                   {"device", std::uint64_t(info.st_dev)},
                                   {"inode", std::uint64_t(info.st_ino)},
                                   {"options", options}};
  const std::string text = bookmark.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  return BookmarkData(text.begin(), text.end());
}

FileManager::BookmarkData FileManager::bookmarkForURL(const fs::path& url, bool readOnly, bool secure) {
  if (secure) {
    if (retainSecurityScopedURL(url)) {
      const unsigned options =
          bookmarkWithSecurityScope | (readOnly ? bookmarkSecurityScopeAllowOnlyReadAccess : 0u);
      try {
        BookmarkData data = makeBookmark(url, options);
        releaseSecurityScopedURL(url);
        return data;
      } catch (...) {
        releaseSecurityScopedURL(url);
        throw;
      }
    }
    releaseSecurityScopedURL(url);
  }
  return makeBookmark(url, 0);
}

FileManager::ResolvedBookmark FileManager::urlForBookmark(const BookmarkData& data,
                                                          const std::optional<fs::path>& relativeTo, bool secure) {
  (void)relativeTo;  // bookmarks hold absolute paths
  const nlohmann::json bookmark = nlohmann::json::parse(data.begin(), data.end(), nullptr, false);
  if (!bookmark.is_object() || bookmark.value("bookmark", 0) != 1 || !bookmark.contains("path") ||
      !bookmark["path"].is_string() || !bookmark.contains("device") || !bookmark["device"].is_number_unsigned() ||
      !bookmark.contains("inode") || !bookmark["inode"].is_number_unsigned()) {
    throw std::invalid_argument("bookmark data is damaged or of an unknown kind");
  }
  const fs::path url = bookmark["path"].get<std::string>();
  if (!url.is_absolute()) throw std::invalid_argument("bookmark data is damaged or of an unknown kind");
  struct stat info;
  if (::stat(url.c_str(), &info) != 0) {
    throw fs::filesystem_error("the bookmarked file was moved or deleted", url,
                               std::error_code(errno, std::generic_category()));
  }
  const bool stale = bookmark["device"].get<std::uint64_t>() != std::uint64_t(info.st_dev) ||
                     bookmark["inode"].get<std::uint64_t>() != std::uint64_t(info.st_ino);
  if (!stale) return {url, std::nullopt};

  BookmarkData renewed;
  if (secure && retainSecurityScopedURL(url)) {
    try {
      renewed = makeBookmark(url, bookmarkWithSecurityScope | bookmarkSecurityScopeAllowOnlyReadAccess);
    } catch (...) {
      releaseSecurityScopedURL(url);
      throw;
    }
    releaseSecurityScopedURL(url);
  } else {
    if (secure) releaseSecurityScopedURL(url);
    renewed = makeBookmark(url, 0);
  }
  if (renewed == data) return {url, std::nullopt};
  return {url, std::move(renewed)};
}
