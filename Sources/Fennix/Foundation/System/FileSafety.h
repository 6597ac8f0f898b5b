// Small building blocks for reading and writing files without losing data: a holder that
// closes a file descriptor, a write loop that survives short writes and interruptions, and the
// replacement of a whole file that never leaves a half-written file behind.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace Fennix {

/// Owns one file descriptor and closes it when destroyed. A negative descriptor owns nothing.
class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor();
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  bool isOpen() const { return fd_ >= 0; }
  /// Gives the descriptor up without closing it.
  int release();
  /// Closes now; the result of close(2) (0 when nothing was open).
  int close();

 private:
  int fd_ = -1;
};

/// Writes every byte, continuing after short writes and interrupted calls. On failure returns
/// false with errno set by the failed write.
bool writeAll(int fd, std::string_view bytes);

/// One version of one file: which file a name leads to and when it was last written. A file
/// rewritten in place, or another file renamed over it, is another version.
struct FileVersion {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  struct timespec modified {};
  /// When the file's status last changed; zero when not known. A rewrite in place that puts the
  /// modification time back still changes it; so does a rename, which is why `==` leaves it out.
  struct timespec changed {};

  static FileVersion of(const struct stat& info);
  /// The same file, size and modification time.
  bool operator==(const FileVersion& other) const;
  /// The same version as `info`, its status change time too when known.
  bool isStill(const struct stat& info) const;
};

/// Why a replacement was refused, besides the errors of the system.
enum class ReplaceFileError {
  /// The file was no longer the version the replacement was made for; it was left as it was.
  fileChanged = 1,
  /// The new file could not be given the replaced file's owner and group (`keepOwner`); it would
  /// have been the writer's. Nothing was replaced.
  ownerNotKept = 2,
  /// The new file could not be given the replaced file's access control list or extended
  /// attributes (`keepPermissions`): it would have let other people in, or shut them out, or
  /// lost what the attributes hold. Nothing was replaced.
  attributesNotKept = 3,
};
const std::error_category& replaceFileCategory();
std::error_code make_error_code(ReplaceFileError error);

struct ReplaceFileOptions {
  /// Permissions of a file that does not exist yet (the process's umask applies).
  mode_t permissions = 0666;
  /// Whether an existing regular file keeps its permissions, its access control list and its
  /// extended attributes (those of the system's security modules excepted: the system gives a
  /// new file its own). The new file is made readable by its owner alone and given them before
  /// anything is written to it; when they cannot all be given, the error is
  /// `ReplaceFileError::attributesNotKept`. A group's permissions are never widened to an access
  /// control list's mask, and a list the new file inherits from its folder goes when the
  /// replaced file had none.
  bool keepPermissions = true;
  /// Whether a symbolic link at the path is kept and the file it points at replaced, rather
  /// than the link itself.
  bool followSymlink = true;
  /// How the names of temporary files begin; "." followed by the file's name and "." when empty.
  std::string temporaryPrefix;
  /// Whether the new file gets the replaced file's owner and group. When this process may not
  /// give them (it is not the owner, or not in the group), nothing is replaced and the error is
  /// `ReplaceFileError::ownerNotKept`: the file is never silently given to its writer.
  bool keepOwner = false;
  /// When set, the file is replaced only while it is still this version, or, holding none, only
  /// while there is no file. It is checked as the new file takes the name: the two files are
  /// exchanged and the one taken out is looked at; when it is not this version it is put back,
  /// the new file goes, and the error is `ReplaceFileError::fileChanged`.
  std::optional<std::optional<FileVersion>> expectedVersion;
  /// Runs once the new file is written and flushed, just before it takes the name.
  std::function<void()> beforeRename;
  /// When set, receives the status of the new file as it was written, before it took the name:
  /// what the name leads to afterwards may already be another program's file.
  struct stat* written = nullptr;
};

/// Replaces the file at `path` with `bytes` as a whole: writes a temporary file in the same
/// folder, flushes it to disk, renames it over the file and flushes the folder. On any failure
/// the previous file is left as it was, the temporary file is removed, and the error is
/// returned (an errno value in the generic category); success gives an empty error code. The
/// file is never written in place: when no temporary file can be made, nothing is written.
std::error_code replaceFileAtomically(const std::filesystem::path& path, std::string_view bytes);
std::error_code replaceFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                                      const ReplaceFileOptions& options);

}  // namespace Fennix

template <>
struct std::is_error_code_enum<Fennix::ReplaceFileError> : std::true_type {};
