// Named notifications that reach every process of the same user, the posting one included, with
// no daemon and no bus: a notification is a file in a private per-user directory
// ($XDG_RUNTIME_DIR/fennix-notify, else /tmp/fennix-notify-<uid>, mode 0700) that a post opens for
// writing and closes; every process watches the directory with inotify on a thread of its own.
// Notifications carry only their name; several posts of one name in quick succession may arrive
// as one.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class DistributedNotificationCenter {
 public:
  using Callback = std::function<void(const std::string& name)>;

  /// The process's centre, set up on first use; null when it cannot be set up (no private
  /// directory, no inotify), and then for the rest of the process.
  static DistributedNotificationCenter* getCenter();

  /// Calls `callback` on the centre's thread for every notification named `name`.
  void addObserver(const std::string& name, Callback callback);
  /// Announces `name` to every observing process; false when the announcement could not be made.
  bool post(const std::string& name);

  const std::filesystem::path& directory() const { return directory_; }

  /// The file name that stands for a notification name.
  static std::string fileName(const std::string& name);

 private:
  DistributedNotificationCenter(std::filesystem::path directory, int inotifyFD);
  void watch();
  bool addWatch();
  /// Called when the process exits: waits for callbacks under way and lets no later one start,
  /// so that none runs while the process's static objects are being destroyed.
  void closeForExit();

  const std::filesystem::path directory_;
  const int inotifyFD_;
  int watchDescriptor_ = -1;
  std::mutex mutex_;
  std::map<std::string, std::vector<std::pair<std::string, Callback>>> observers_;  // by file name
  std::mutex deliveryMutex_;  // held while callbacks run
  bool closed_ = false;       // guarded by deliveryMutex_
};
