#include "Platform/DistributedNotificationCenter.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <thread>

namespace {

// Makes `path` a directory of this user that nobody else can enter; false when it exists in a
// form that cannot be trusted (a link, someone else's, not a directory).
bool ensurePrivateDirectory(const std::filesystem::path& path) {
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) return false;
  if ((info.st_mode & 077) != 0 && ::chmod(path.c_str(), 0700) != 0) return false;
  return true;
}

std::optional<std::filesystem::path> privateDirectory() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') {
    struct stat info {};
    // The runtime directory itself must be ours and private, as the standard requires.
    if (::stat(runtime, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() &&
        (info.st_mode & 077) == 0) {
      auto path = std::filesystem::path(runtime) / "fennix-notify";
      if (ensurePrivateDirectory(path)) return path;
    }
  }
  auto path = std::filesystem::path("/tmp") / ("fennix-notify-" + std::to_string(::geteuid()));
  if (ensurePrivateDirectory(path)) return path;
  return std::nullopt;
}

}  // namespace

std::string DistributedNotificationCenter::fileName(const std::string& name) {
  static constexpr char hex[] = "0123456789ABCDEF";
  std::string encoded;
  for (std::size_t i = 0; i < name.size(); ++i) {
    auto c = static_cast<unsigned char>(name[i]);
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                 c == '_' || (c == '.' && i != 0);
    if (plain) {
      encoded += static_cast<char>(c);
    } else {
      encoded += '%';
      encoded += hex[c >> 4];
      encoded += hex[c & 15];
    }
  }
  if (encoded.empty()) encoded = "%";
  if (encoded.size() > 200) {
    // Long names keep their start and a hash of the whole name.
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : name) hash = (hash ^ c) * 1099511628211ull;
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
    encoded = encoded.substr(0, 180) + "~" + digits;
  }
  return encoded;
}

DistributedNotificationCenter* DistributedNotificationCenter::getCenter() {
  // Never destroyed: its thread watches for the whole process.
  static DistributedNotificationCenter* center = []() -> DistributedNotificationCenter* {
    auto directory = privateDirectory();
    if (!directory) return nullptr;
    int fd = ::inotify_init1(IN_CLOEXEC);
    if (fd < 0) return nullptr;
    auto* made = new DistributedNotificationCenter(*directory, fd);
    if (!made->addWatch()) {
      ::close(fd);
      delete made;
      return nullptr;
    }
    std::thread([made] { made->watch(); }).detach();
    // Runs before the destruction of every static object made before this point.
    std::atexit([] { getCenter()->closeForExit(); });
    return made;
  }();
  return center;
}

DistributedNotificationCenter::DistributedNotificationCenter(std::filesystem::path directory, int inotifyFD)
    : directory_(std::move(directory)), inotifyFD_(inotifyFD) {}

bool DistributedNotificationCenter::addWatch() {
  watchDescriptor_ = ::inotify_add_watch(inotifyFD_, directory_.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO | IN_ONLYDIR);
  return watchDescriptor_ >= 0;
}

void DistributedNotificationCenter::addObserver(const std::string& name, Callback callback) {
  std::lock_guard<std::mutex> lock(mutex_);
  observers_[fileName(name)].emplace_back(name, std::move(callback));
}

bool DistributedNotificationCenter::post(const std::string& name) {
  const auto path = directory_ / fileName(name);
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0600);
  if (fd < 0 && errno == ENOENT && ensurePrivateDirectory(directory_)) {
    // The directory was removed (e.g. by a clean-up of /tmp); the watcher re-adds its watch.
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0600);
  }
  if (fd < 0) return false;
  return ::close(fd) == 0;
}

void DistributedNotificationCenter::watch() {
  alignas(inotify_event) char buffer[16384];
  for (;;) {
    ssize_t length = ::read(inotifyFD_, buffer, sizeof buffer);
    if (length < 0) {
      if (errno == EINTR) continue;
      return;
    }
    std::vector<std::pair<std::string, Callback>> due;
    bool rewatch = false;
    for (ssize_t offset = 0; offset < length;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
      offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      std::lock_guard<std::mutex> lock(mutex_);
      if (event->mask & IN_Q_OVERFLOW) {
        // Events were lost: tell everybody, as for a coalesced notification.
        for (const auto& [file, list] : observers_) due.insert(due.end(), list.begin(), list.end());
      } else if (event->mask & IN_IGNORED) {
        rewatch = true;
      } else if (event->len > 0) {
        auto found = observers_.find(std::string(event->name));
        if (found != observers_.end()) due.insert(due.end(), found->second.begin(), found->second.end());
      }
    }
    if (rewatch) {
      // The directory went away: make it again and watch the new one.
      for (int attempt = 0; attempt < 50 && !(ensurePrivateDirectory(directory_) && addWatch()); ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
    }
    std::lock_guard<std::mutex> delivering(deliveryMutex_);
    if (closed_) return;
    for (const auto& [name, callback] : due) callback(name);
  }
}

void DistributedNotificationCenter::closeForExit() {
  std::lock_guard<std::mutex> delivering(deliveryMutex_);
  closed_ = true;
}
