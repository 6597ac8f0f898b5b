#include "Fennix/Foundation/System/FileSafety.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <random>
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
  return FileVersion{info.st_dev, info.st_ino, info.st_size, info.st_mtim};
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
    return value == int(ReplaceFileError::fileChanged) ? "the file changed since it was read" : "unknown error";
  }
};

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
  if (!folder.isOpen()) return errorFrom(errno);

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
  if (options.keepOwner && replacesFile) (void)::fchown(file.get(), existing.st_uid, existing.st_gid);
  if (keepsPermissions) (void)::fchmod(file.get(), existing.st_mode & 07777);
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
    // The new file and the old one change names in one step; the one taken out is then looked at
    // and put back when it is not the version this replacement was made for.
    if (::renameat2(dir, temporary.c_str(), dir, name.c_str(), RENAME_EXCHANGE) != 0) {
      if (errno == ENOENT) return fail(make_error_code(ReplaceFileError::fileChanged));
      if (errno != EINVAL && errno != ENOSYS) return fail(errorFrom(errno));
      // A file system that cannot exchange: the check comes as close to the rename as it can.
      struct stat now {};
      if (::fstatat(dir, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0 || !(FileVersion::of(now) == expected)) {
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
