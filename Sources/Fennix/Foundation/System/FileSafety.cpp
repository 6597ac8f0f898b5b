#include "Fennix/Foundation/System/FileSafety.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <random>
#include <string>
#include <utility>

namespace Fennix {

FileDescriptor::~FileDescriptor() {
  if (fd_ >= 0) ::close(fd_);
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.release();
  }
  return *this;
}

int FileDescriptor::release() { return std::exchange(fd_, -1); }

int FileDescriptor::close() {
  if (fd_ < 0) return 0;
  return ::close(std::exchange(fd_, -1));
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t count = ::write(fd, bytes.data(), bytes.size());
    if (count < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (count == 0) {
      errno = EIO;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(count));
  }
  return true;
}

namespace {

std::error_code errorFrom(int error) { return std::error_code(error != 0 ? error : EIO, std::generic_category()); }

std::string temporarySuffix() {
  static std::atomic<unsigned> counter{0};
  static thread_local std::mt19937 random{std::random_device{}()};
  return std::to_string(::getpid()) + "." + std::to_string(++counter) + "." + std::to_string(random() % 1000000) +
         ".tmp";
}

}  // namespace

FileVersion FileVersion::of(const struct stat& info) {
  return FileVersion{info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
}

bool FileVersion::isStill(const struct stat& info) const {
  const bool changeKnown = changed.tv_sec != 0 || changed.tv_nsec != 0;
  return of(info) == *this &&
         (!changeKnown || (changed.tv_sec == info.st_ctim.tv_sec && changed.tv_nsec == info.st_ctim.tv_nsec));
}

bool FileVersion::operator==(const FileVersion& other) const {
  return device == other.device && inode == other.inode && size == other.size &&
         modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
}

namespace {

class ReplaceFileCategory : public std::error_category {
 public:
  const char* name() const noexcept override { return "replace file"; }
  std::string message(int value) const override {
    switch (ReplaceFileError(value)) {
      case ReplaceFileError::fileChanged: return "the file changed since it was read";
      case ReplaceFileError::ownerNotKept: return "the new file could not keep the owner and group of the old one";
      case ReplaceFileError::attributesNotKept:
        return "the new file could not keep the access control list and extended attributes of the old one";
    }
    return "unknown error";
  }
};

// The access control list of a file, as its extended attribute.
constexpr const char* accessListAttribute = "system.posix_acl_access";

/// The value of the attribute `name` of the file at `path` (following links); none when it has
/// none. Throws nothing: a failure to read is `error`.
std::optional<std::string> attributeValue(const std::string& path, const char* name, int& error) {
  std::string value;
  for (int attempt = 0; attempt < 8; ++attempt) {
    const ssize_t size = ::getxattr(path.c_str(), name, nullptr, 0);
    if (size < 0) {
      if (errno == ENODATA) return std::nullopt;
      error = errno;
      return std::nullopt;
    }
    value.resize(static_cast<std::size_t>(size));
    const ssize_t read = ::getxattr(path.c_str(), name, value.data(), value.size());
    if (read >= 0) {
      value.resize(static_cast<std::size_t>(read));
      return value;
    }
    // Grown between the two calls: asked again.
    if (errno != ERANGE) {
      if (errno == ENODATA) return std::nullopt;
      error = errno;
      return std::nullopt;
    }
  }
  error = ERANGE;
  return std::nullopt;
}

/// Gives the file open as `to` the access control list and extended attributes of the file at
/// `from`, and takes from it an access control list it inherited that `from` does not have.
/// Attributes of the security modules are the system's to give, and are left to it. Returns
/// false when one of them could not be read or given.
bool copyAttributes(const std::string& from, int to) {
  // A list inherited from the folder goes first: it would take room that the attributes of
  // `from` may need all of. Its own list, if it has one, is given below.
  if (::fremovexattr(to, accessListAttribute) != 0 && errno != ENODATA && errno != ENOTSUP) return false;
  std::string names;
  for (int attempt = 0;; ++attempt) {
    const ssize_t size = ::listxattr(from.c_str(), nullptr, 0);
    if (size < 0) {
      // A file system without extended attributes: there are none to keep.
      if (errno == ENOTSUP || errno == ENOSYS) return true;
      return false;
    }
    names.resize(static_cast<std::size_t>(size));
    const ssize_t listed = size == 0 ? 0 : ::listxattr(from.c_str(), names.data(), names.size());
    if (listed >= 0) {
      names.resize(static_cast<std::size_t>(listed));
      break;
    }
    if (errno != ERANGE || attempt == 8) return false;
  }
  for (std::size_t start = 0; start < names.size();) {
    const std::size_t end = names.find('\0', start);
    const std::string name = names.substr(start, end == std::string::npos ? std::string::npos : end - start);
    start = end == std::string::npos ? names.size() : end + 1;
    if (name.empty() || name.rfind("security.", 0) == 0) continue;
    int error = 0;
    const auto value = attributeValue(from, name.c_str(), error);
    if (error != 0) return false;
    if (!value) continue;  // removed meanwhile
    if (::fsetxattr(to, name.c_str(), value->data(), value->size(), 0) != 0) return false;
  }
  return true;
}

}  // namespace

const std::error_category& replaceFileCategory() {
  static const ReplaceFileCategory category;
  return category;
}

std::error_code make_error_code(ReplaceFileError error) { return {int(error), replaceFileCategory()}; }

std::error_code replaceFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
  return replaceFileAtomically(path, bytes, ReplaceFileOptions{});
}

std::error_code replaceFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                                      const ReplaceFileOptions& options) {
  if (path.empty() || !path.has_filename()) return errorFrom(EINVAL);
  std::filesystem::path target = path;
  std::error_code ignored;
  if (options.followSymlink && std::filesystem::is_symlink(path, ignored)) {
    auto resolved = std::filesystem::weakly_canonical(path, ignored);
    if (!ignored) target = resolved;
  }
  std::filesystem::path directory = target.parent_path();
  if (directory.empty()) directory = ".";
  const std::string name = target.filename().string();
  FileDescriptor folder(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  // A folder that may be written to and entered but not listed still takes new files and renames:
  // it is held by its path alone (its flush to disk is then left to the system).
  if (!folder.isOpen() && errno == EACCES) {
    folder = FileDescriptor(::open(directory.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  }
  if (!folder.isOpen()) return errorFrom(errno);
  // A folder that may only be added to (or not changed at all) would take the new file and then
  // refuse both its rename and its removal: it would stay behind, holding the text.
  int folderFlags = 0;
  if (::ioctl(folder.get(), FS_IOC_GETFLAGS, &folderFlags) == 0 && (folderFlags & (FS_APPEND_FL | FS_IMMUTABLE_FL)) != 0) {
    return errorFrom(EPERM);
  }

  struct stat existing {};
  const bool replacesFile = ::fstatat(folder.get(), name.c_str(), &existing, 0) == 0 && S_ISREG(existing.st_mode);
  const bool keepsPermissions = options.keepPermissions && replacesFile;

  // A new file beside the target, so that the rename stays on one file system. When none can be
  // made (no inode left, a quota, no descriptor) nothing is written: never the file in place.
  // One that takes over a file's permissions is its owner's alone until it has them: a file that
  // others may not read is not opened by them through its successor either.
  // A long name is shortened between characters, not inside one (some file systems take only
  // names that are UTF-8).
  std::size_t kept = std::min<std::size_t>(name.size(), 100);
  while (kept > 0 && kept < name.size() && (static_cast<unsigned char>(name[kept]) & 0xC0) == 0x80) --kept;
  const std::string prefix = options.temporaryPrefix.empty() ? "." + name.substr(0, kept) + "." : options.temporaryPrefix;
  const mode_t creationMode = keepsPermissions ? S_IRUSR | S_IWUSR : options.permissions;
  std::string temporary;
  FileDescriptor file;
  for (int attempt = 0; attempt < 100 && !file.isOpen(); ++attempt) {
    temporary = prefix + temporarySuffix();
    file = FileDescriptor(::openat(folder.get(), temporary.c_str(),
                                   O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, creationMode));
    if (!file.isOpen() && errno != EEXIST) return errorFrom(errno);
  }
  if (!file.isOpen()) return errorFrom(EEXIST);

  auto fail = [&](std::error_code error) {
    file.close();
    ::unlinkat(folder.get(), temporary.c_str(), 0);
    return error;
  };
  // The owner first: a change of owner clears the set-id bits that the permissions then give back.
  // A file that cannot stay its owner's is not handed to its writer: nothing is replaced.
  if (options.keepOwner && replacesFile) {
    struct stat made {};
    if (::fstat(file.get(), &made) != 0) return fail(errorFrom(errno));
    if ((made.st_uid != existing.st_uid || made.st_gid != existing.st_gid) &&
        ::fchown(file.get(), existing.st_uid, existing.st_gid) != 0) {
      return fail(make_error_code(ReplaceFileError::ownerNotKept));
    }
  }
  if (keepsPermissions) {
    // The access control list before the permissions: with one, the group's permissions are its
    // mask, and given alone they would open the file to the whole group. Given after it they
    // change nothing.
    const std::string replaced = (directory / name).string();
    if (!copyAttributes(replaced, file.get())) return fail(make_error_code(ReplaceFileError::attributesNotKept));
    // Some file systems keep no permissions and refuse to be given them; the new file then stays
    // its owner's alone, which lets no one in.
    (void)::fchmod(file.get(), existing.st_mode & 07777);
  }
  if (!writeAll(file.get(), bytes)) return fail(errorFrom(errno));
  if (::fsync(file.get()) != 0) return fail(errorFrom(errno));
  if (options.written != nullptr && ::fstat(file.get(), options.written) != 0) return fail(errorFrom(errno));
  if (file.close() != 0) return fail(errorFrom(errno));
  if (options.beforeRename) options.beforeRename();

  const int dir = folder.get();
  if (!options.expectedVersion) {
    if (::renameat(dir, temporary.c_str(), dir, name.c_str()) != 0) return fail(errorFrom(errno));
  } else if (!options.expectedVersion->has_value()) {
    // Only while no file has the name: one that appeared meanwhile is another program's.
    int result = ::renameat2(dir, temporary.c_str(), dir, name.c_str(), RENAME_NOREPLACE);
    if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
      // A file system without the flag: a second link is made only where no name is.
      result = ::linkat(dir, temporary.c_str(), dir, name.c_str(), 0);
      if (result == 0) ::unlinkat(dir, temporary.c_str(), 0);
    }
    if (result != 0) return fail(errno == EEXIST ? make_error_code(ReplaceFileError::fileChanged) : errorFrom(errno));
  } else {
    const FileVersion& expected = **options.expectedVersion;
    // A rewrite in place that put the modification time back shows only in the status change
    // time, which the exchange below changes: it is looked at first.
    struct stat before {};
    if (::fstatat(dir, name.c_str(), &before, AT_SYMLINK_NOFOLLOW) != 0 || !expected.isStill(before)) {
      return fail(make_error_code(ReplaceFileError::fileChanged));
    }
    // The new file and the old one change names in one step; the one taken out is then looked at
    // and put back when it is not the version this replacement was made for.
    if (::renameat2(dir, temporary.c_str(), dir, name.c_str(), RENAME_EXCHANGE) != 0) {
      if (errno == ENOENT) return fail(make_error_code(ReplaceFileError::fileChanged));
      if (errno != EINVAL && errno != ENOSYS) return fail(errorFrom(errno));
      // A file system that cannot exchange: the check comes as close to the rename as it can.
      struct stat now {};
      if (::fstatat(dir, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0 || !expected.isStill(now)) {
        return fail(make_error_code(ReplaceFileError::fileChanged));
      }
      if (::renameat(dir, temporary.c_str(), dir, name.c_str()) != 0) return fail(errorFrom(errno));
    } else {
      struct stat replaced {};
      const bool same = ::fstatat(dir, temporary.c_str(), &replaced, AT_SYMLINK_NOFOLLOW) == 0 &&
                        FileVersion::of(replaced) == expected;
      if (!same) {
        if (::renameat2(dir, temporary.c_str(), dir, name.c_str(), RENAME_EXCHANGE) != 0) {
          // The other program's file could not be given its name back: it is kept under the
          // temporary name rather than removed.
          return errorFrom(errno);
        }
        return fail(make_error_code(ReplaceFileError::fileChanged));
      }
      ::unlinkat(dir, temporary.c_str(), 0);
    }
  }
  // The rename itself reaches the disk with the folder.
  (void)::fsync(dir);
  return {};
}

}  // namespace Fennix
