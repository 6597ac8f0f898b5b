// Small building blocks for reading and writing files without losing data: a holder that
// closes a file descriptor, a write loop that survives short writes and interruptions, and the
// replacement of a whole file that never leaves a half-written file behind.
#pragma once

#include <sys/types.h>

#include <filesystem>
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

struct ReplaceFileOptions {
  /// Permissions of a file that does not exist yet (the process's umask applies).
  mode_t permissions = 0666;
  /// Whether an existing regular file keeps its permissions.
  bool keepPermissions = true;
  /// Whether a symbolic link at the path is kept and the file it points at replaced, rather
  /// than the link itself.
  bool followSymlink = true;
  /// How the names of temporary files begin; "." followed by the file's name and "." when empty.
  std::string temporaryPrefix;
};

/// Replaces the file at `path` with `bytes` as a whole: writes a temporary file in the same
/// folder, flushes it to disk, renames it over the file and flushes the folder. On any failure
/// the previous file is left as it was, the temporary file is removed, and the error is
/// returned (an errno value in the generic category); success gives an empty error code.
std::error_code replaceFileAtomically(const std::filesystem::path& path, std::string_view bytes);
std::error_code replaceFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                                      const ReplaceFileOptions& options);

}  // namespace Fennix
