// Places to put files: a downloads folder with a fallback in the application's data folder, a
// free file name in a folder, the cache folder, application-group containers and the user's
// real home folder; reference-counted access to security-scoped locations and bookmarks that
// find a file again and notice when it was replaced.
//
// Folders follow the XDG base and user directories. A sandboxed process (see
// `ProcessInfo::isSandboxed`) gets folders that already belong to it; any other process gets a
// subfolder named after the application.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class FileManager {
 public:
  /// The library's own file errors.
  class QvFileManagerError : public std::runtime_error {
   public:
    enum class Code { downloadsFolderIsNotADirectory };
    static QvFileManagerError downloadsFolderIsNotADirectory(const std::filesystem::path& url);

    Code code() const { return code_; }
    const std::filesystem::path& url() const { return url_; }

   private:
    QvFileManagerError(Code code, std::filesystem::path url, const std::string& message);
    Code code_;
    std::filesystem::path url_;
  };

  using BookmarkData = std::vector<std::uint8_t>;
  struct ResolvedBookmark {
    std::filesystem::path url;
    /// Fresh bookmark data when the bookmark was stale and renewing it changed it.
    std::optional<BookmarkData> updatedBookmark;
  };

  static FileManager& default_();

  /// The user's downloads folder when it can be used: existing (`readOnly`) or writable, and
  /// listable. A folder that may not be read gives none silently; other failures are logged.
  std::optional<std::filesystem::path> checkDownloadsFolderAccess(bool readOnly) const;

  /// The downloads folder, else a folder named `fallbackName` in the application's data folder;
  /// made when missing. Throws `QvFileManagerError` when a file stands where the folder should
  /// be, `std::filesystem::filesystem_error` when it cannot be made, and
  /// `std::invalid_argument` for a fallback name that is not a plain file name.
  std::filesystem::path prepareFolderForDownloads(const std::string& fallbackName) const;

  /// `name` in `folder` when nothing is there, else the first free "base (i).ext" for i from 1 to
  /// `maxCount` (at most 10000 tries). None, with an error line, when all are taken, `maxCount`
  /// is below 1 or `name` is not a plain file name. A dangling symbolic link counts as taken.
  std::optional<std::filesystem::path> availableTargetPath(std::string_view for_, const std::filesystem::path& in,
                                                           long maxCount) const;

  /// The user's cache folder ($XDG_CACHE_HOME, else ~/.cache, else /tmp), for an unsandboxed
  /// process with the application's name appended.
  std::filesystem::path cacheDirectoryURL() const;

  /// The shared folder of an application group (the team prefix followed by the group id) in the
  /// user's data folder; none for an absent group or one that cannot name a folder.
  std::optional<std::filesystem::path> containerURL(const std::optional<std::string>& forPlatformIndependentGroupID) const;

  /// The home folder the user database gives for the current user.
  std::optional<std::filesystem::path> realHomeDirectoryForCurrentUser() const;

  /// Starts access to a security-scoped location, counting retains; the first retain decides the
  /// answer until the last release. An unsandboxed process always has access.
  bool retainSecurityScopedURL(const std::filesystem::path& url);
  /// Ends one retain; the last one stops access. A release without retain is ignored.
  void releaseSecurityScopedURL(const std::filesystem::path& url);

  /// A bookmark of an existing file: its absolute path, device and inode. Throws
  /// `std::filesystem::filesystem_error` when the file cannot be reached.
  BookmarkData bookmarkForURL(const std::filesystem::path& url, bool readOnly, bool secure);
  /// The file a bookmark names. A file replaced at the same path makes the bookmark stale: the
  /// answer then carries renewed data. Throws `std::invalid_argument` for data that is no
  /// bookmark and `std::filesystem::filesystem_error` when the file is gone (moved or deleted).
  ResolvedBookmark urlForBookmark(const BookmarkData& data, const std::optional<std::filesystem::path>& relativeTo,
                                  bool secure);

  /// How access to a security-scoped location is started and stopped. Linux has nothing to
  /// unlock, so the default start always succeeds; tests put their own in.
  struct SecurityScope {
    std::function<bool(const std::filesystem::path&)> startAccessing;
    std::function<void(const std::filesystem::path&)> stopAccessing;
  };
  static void setSecurityScope(SecurityScope scope);

 private:
  FileManager() = default;
  BookmarkData makeBookmark(const std::filesystem::path& url, unsigned options) const;
};
