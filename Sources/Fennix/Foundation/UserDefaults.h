// User defaults: named suites of key-value settings, each kept in one JSON file under the user's
// configuration directory ($XDG_CONFIG_HOME, else ~/.config) and shared by every process of the
// user that opens the same suite.
//
// Reads see the file as it is now (it is re-read when it changed on disk). A write re-reads the
// file under an exclusive lock, changes one key, and replaces the file atomically, so processes
// writing different keys lose nothing and a crash mid-write leaves the previous file intact.
// A writer that finds the lock held waits in line: the one first in line takes it next, however
// often another process writes meanwhile. A file that is a symbolic link stays one: the file it
// leads to is replaced, in its own folder and with its own permissions.
// Every write then posts `NSUserDefaults::didChangeNotification` synchronously, with the suite as
// object. A damaged file reads as empty and is moved aside (".corrupt") before the next write. A
// file that cannot be read for now (no file descriptor or memory left) is not damaged: the values
// read before stay, writes fail (logged) rather than replace it, and it is read again later.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

using DefaultsData = std::vector<std::uint8_t>;

/// A stored value: text, data, integer, floating-point number or Boolean. Text and data stay
/// distinct through the file.
class DefaultsValue {
 public:
  using Storage = std::variant<std::string, DefaultsData, std::int64_t, double, bool>;

  DefaultsValue(std::string text) : storage_(std::move(text)) {}
  DefaultsValue(const char* text) : storage_(std::string(text != nullptr ? text : "")) {}
  DefaultsValue(DefaultsData data) : storage_(std::move(data)) {}
  DefaultsValue(double number) : storage_(number) {}
  DefaultsValue(bool flag) : storage_(flag) {}
  template <typename Integer>
    requires(std::is_integral_v<Integer> && !std::is_same_v<Integer, bool> && !std::is_same_v<Integer, char>)
  DefaultsValue(Integer number) : storage_(static_cast<std::int64_t>(number)) {}

  const Storage& storage() const { return storage_; }
  const std::string* text() const { return std::get_if<std::string>(&storage_); }
  const DefaultsData* data() const { return std::get_if<DefaultsData>(&storage_); }

  bool operator==(const DefaultsValue& other) const = default;

 private:
  Storage storage_;
};

class NSUserDefaults : public std::enable_shared_from_this<NSUserDefaults> {
 public:
  /// Posted after every write of a suite, with the suite (`NSUserDefaults*`) as object.
  static inline const std::string didChangeNotification = "NSUserDefaultsDidChangeNotification";

  /// The application's own suite, named by the main bundle's identifier.
  static std::shared_ptr<NSUserDefaults> standard();
  /// A suite by name; none when the name cannot name a file (empty, ".", "..", starting with a
  /// dot, holding "/" or control characters, not UTF-8, or longer than 200 bytes).
  static std::shared_ptr<NSUserDefaults> fromSuiteName(const std::string& suiteName);

  // Application-group suites and the change relay between processes live in
  // Fennix/Foundation/System/GroupDefaults.cpp.

  /// The key under which a suite keeps the name of its own application group.
  static inline const std::string QvDefaultGroupNameKey = "QvDefaultGroupName";
  /// The suite of an application group (the main bundle's team identifier prefix followed by the
  /// group name), with the group recorded in it and registered with the change relay; the
  /// standard suite when that suite cannot be opened; none for an absent or empty group name.
  static std::shared_ptr<NSUserDefaults> defaults(const std::optional<std::string>& forGroup);
  /// The text under "QvDefaultGroupName".
  std::optional<std::string> qvGroupName();

  /// The directory of the suite files: $XDG_CONFIG_HOME (when absolute, else ~/.config)
  /// followed by "fennix/defaults".
  static std::filesystem::path defaultsDirectory();

  NSUserDefaults(const NSUserDefaults&) = delete;
  NSUserDefaults& operator=(const NSUserDefaults&) = delete;

  const std::string& suiteName() const { return suiteName_; }
  const std::filesystem::path& path() const { return path_; }

  /// The value under `key`; none when absent or of a form this store does not write.
  std::optional<DefaultsValue> object(const std::string& forKey);
  /// Every key with its value as `object` reads it (entries of other forms are left out).
  std::map<std::string, DefaultsValue> dictionaryRepresentation();
  /// Text under `key` (no conversion from other kinds).
  std::optional<std::string> string(const std::string& forKey);
  /// Data under `key`; text is not data.
  std::optional<DefaultsData> data(const std::string& forKey);
  /// Number under `key` (a Boolean counts as 0 or 1, text holding a whole decimal number is read),
  /// 0 otherwise; fractions are cut off, out-of-range values clamped.
  std::int64_t integer(const std::string& forKey);
  double double_(const std::string& forKey);
  /// Boolean under `key`; a number is true when not 0; text "true", "yes" or "1" (any case) is true.
  bool bool_(const std::string& forKey);

  /// Stores `value` under `key`, writes the file and posts the change notification. Keys and
  /// texts that are not UTF-8 are refused with a log line, and so is a value that would make the
  /// file larger than the suite reads (which would lose every key); a write that fails for another
  /// reason than the lock (no descriptor left, a folder that cannot be written) is logged, and the
  /// value stays in this object, and goes along with the next write that succeeds, until another
  /// process changes the file (one under a key whose value waits for the lock, below, waits in
  /// its place instead).
  ///
  /// On the main loop (the thread that runs the GLib default main context) a write never waits
  /// for the writers of other processes: while one of them holds the lock, the value waits in
  /// this object (reads see it, whatever the other process writes meanwhile), and the main loop
  /// tries the lock again a little later, until it is free and the values that waited reach the
  /// file (the last one set under a key wins); the change notification is posted again then. A
  /// value that would make the file too large is refused at once. Values that still wait when the
  /// process ends are written then, waiting for the lock a few seconds at most; those that cannot
  /// be are named in the log.
  /// Elsewhere a write waits in line for the writers of other processes: for the one first in
  /// line and for the one that holds the lock, each a few seconds at most, and, once one of them
  /// has kept it waiting that long, not at all until the lock is free again: the value then waits
  /// as one set on the main loop does (logged once), and reaches the file with the next write of
  /// this object that takes the lock, a later try of the main loop, or the end of the process.
  void set(const DefaultsValue& value, const std::string& forKey);
  void removeObject(const std::string& forKey);

  /// Re-reads the file when it changed on disk; true when the suite could be read.
  bool synchronize();

 private:
  NSUserDefaults(std::string suiteName, std::filesystem::path path);

  struct Fingerprint {
    bool exists = false;
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t modified = 0;
    bool operator==(const Fingerprint&) const = default;
  };
  /// `unreadableForNow`: the file could not be opened or read for a reason that passes and says
  /// nothing of its content (no descriptor or memory left).
  enum class ReadResult { missing, read, damaged, unreadableForNow };

  void refreshLocked();
  /// `error` is the cause of an `unreadableForNow`.
  ReadResult readFile(nlohmann::json& values, Fingerprint& fingerprint, int& error) const;
  /// Values by key; none: removed.
  using Changes = std::map<std::string, std::optional<nlohmann::json>>;
  void write(const std::string& key, const std::optional<DefaultsValue>& value);
  /// `lockBusy`: another process held the lock, and the write was not to wait for it, or waited
  /// as long as it may.
  enum class WriteResult { written, failed, tooLarge, lockBusy };
  enum class LockWait { bounded, none };
  /// Writes the values kept and waiting, and then `change` when given. While it waits for another
  /// process, it lets go of `held` (the lock of `mutex_`, when given).
  WriteResult writeLocked(const Changes::value_type* change, LockWait wait, std::unique_lock<std::mutex>* held);
  /// Keeps the value of a write that failed in this object, over the file as it is now.
  void keepLocked(const std::string& key, const std::optional<nlohmann::json>& value);
  /// Keeps the value of a write that found the lock held elsewhere until it can be written, and
  /// has the main loop try again.
  void waitLocked(const std::string& key, const std::optional<nlohmann::json>& value);
  void scheduleRetryLocked();
  /// On the main loop: writes the values that waited, when the lock is free now.
  void retryWaiting();
  /// No value waits any more: the end of the process has nothing to write for this suite.
  void stopWaitingLocked();
  /// When the process ends: writes the values that still wait, or says which are lost.
  static void writeWaitingAtExit();
  std::optional<DefaultsValue> lookup(const std::string& key);

  const std::string suiteName_;
  const std::filesystem::path path_;
  std::mutex mutex_;
  nlohmann::json values_ = nlohmann::json::object();
  Fingerprint fingerprint_;
  bool loaded_ = false;
  bool damaged_ = false;
  /// Whether the last read of a changed file failed for a passing reason (the values read before
  /// are kept, the failure is logged once).
  bool unreadable_ = false;
  std::optional<Fingerprint> reportedDamage_;
  /// Values of writes that failed (none: removed), and the file they were set over: a read or a
  /// write of the same file keeps them, a changed file drops them.
  Changes kept_;
  Fingerprint keptOver_;
  /// Values set while another process held the lock (on the main loop, or elsewhere past the
  /// bound): they stay over every read of the file, changed or not, until a write reaches it. No
  /// key is both kept and waiting.
  Changes waiting_;
  /// Whether the main loop is to try the lock again, and how long it waits before the next try.
  bool retryScheduled_ = false;
  double retryDelay_ = 0;
  /// When the values that wait began waiting (for the log).
  std::chrono::steady_clock::time_point waitingSince_;
  bool reportedWaiting_ = false;
  /// Whether the last write found the lock of the writers held by another process past the bound.
  bool lockHeldElsewhere_ = false;
};
