#include "Fennix/Foundation/System/FileSafety.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

  // A new file beside the target, so that the rename stays on one file system.
  const std::string prefix =
      options.temporaryPrefix.empty() ? "." + target.filename().string().substr(0, 100) + "." : options.temporaryPrefix;
  std::filesystem::path temporary;
  FileDescriptor file;
  for (int attempt = 0; attempt < 100 && !file.isOpen(); ++attempt) {
    temporary = directory / (prefix + temporarySuffix());
    file = FileDescriptor(
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, options.permissions));
    if (!file.isOpen() && errno != EEXIST) return errorFrom(errno);
  }
  if (!file.isOpen()) return errorFrom(EEXIST);

  auto fail = [&](int error) {
    file.close();
    ::unlink(temporary.c_str());
    return errorFrom(error);
  };
  if (options.keepPermissions) {
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
      (void)::fchmod(file.get(), existing.st_mode & 07777);
    }
  }
  if (!writeAll(file.get(), bytes)) return fail(errno);
  if (::fsync(file.get()) != 0) return fail(errno);
  if (file.close() != 0) return fail(errno);
  if (::rename(temporary.c_str(), target.c_str()) != 0) return fail(errno);
  // The rename itself reaches the disk with the folder.
  FileDescriptor folder(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.isOpen()) (void)::fsync(folder.get());
  return {};
}

}  // namespace Fennix
