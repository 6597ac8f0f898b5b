#include "SVGQuarvel/App/FileDescriptors.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>

#include <cerrno>
#include <cstdlib>

namespace SVGQuarvel::FileDescriptors {

std::size_t limit() {
  struct rlimit current {};
  if (::getrlimit(RLIMIT_NOFILE, &current) != 0 || current.rlim_cur == RLIM_INFINITY) return std::size_t(-1);
  return std::size_t(current.rlim_cur);
}

std::size_t raiseLimit() {
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    (void)::setrlimit(RLIMIT_NOFILE, &limit);
  }
  return FileDescriptors::limit();
}

bool available(std::size_t count) {
  const std::size_t limit = FileDescriptors::limit();
  if (limit == std::size_t(-1)) return true;
  if (count > limit) return false;
  // The files open are listed by the system; reading the list takes one file itself.
  if (DIR* folder = ::opendir("/proc/self/fd")) {
    const int own = ::dirfd(folder);
    std::size_t open = 0;
    while (const dirent* entry = ::readdir(folder)) {
      char* end = nullptr;
      const unsigned long number = std::strtoul(entry->d_name, &end, 10);
      if (end == entry->d_name || *end != '\0' || int(number) == own) continue;
      if (number < limit) ++open;
    }
    ::closedir(folder);
    return limit - open >= count;
  }
  if (errno == EMFILE || errno == ENFILE) return false;
  // Without that list, the numbers are tried one by one until enough are found free.
  std::size_t free = 0;
  for (std::size_t number = 0; number < limit && free < count; ++number) {
    if (::fcntl(int(number), F_GETFD) == -1 && errno == EBADF) ++free;
  }
  return free >= count;
}

std::string tooFewFilesForAWindow() {
  return "This application may have only " + std::to_string(FileDescriptors::limit()) +
         " files open at a time, too few for a window. Raise the limit of open files (ulimit -n) and start it "
         "again.";
}

}  // namespace SVGQuarvel::FileDescriptors
