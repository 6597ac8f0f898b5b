#include "Fennix/Foundation/UserDefaults.h"

#include <fcntl.h>
#include <glib.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cerrno>
#include <cstdlib>
#include <cmath>
#include <cstring>
#include <limits>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "Fennix/Foundation/Base64.h"
#include "Fennix/Foundation/System/Bundle.h"
#include "Fennix/Foundation/System/FileSafety.h"
#include "Fennix/console/Console.h"
#include "Platform/Dispatch.h"
#include "Platform/NotificationCenter.h"
#include "Platform/Text/Text.h"

namespace {

// Larger files, and deeper nesting, are treated as damaged rather than read into memory.
constexpr std::size_t maxFileSize = 16 * 1024 * 1024;
// How long a write off the main loop waits for the writers of other processes, and how long the
// values set on the main loop wait for them before the log tells.
constexpr std::chrono::seconds lockWaitBound{5};
// The main loop tries the lock again after a pause that grows up to this many seconds.
constexpr double longestRetryPause = 0.25;
constexpr int maxDepth = 64;
// The tag object that marks data in the file: {"$data": "<base64>"}.
constexpr const char* dataTag = "$data";

// ---- values in the file ----

nlohmann::json encode(const DefaultsValue& value) {
  return std::visit(
      [](const auto& v) -> nlohmann::json {
        using V = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<V, DefaultsData>) {
          return nlohmann::json{{dataTag, Fennix::base64Encode(v)}};
        } else if constexpr (std::is_same_v<V, double>) {
          // JSON has no infinities or NaN.
          return std::isfinite(v) ? nlohmann::json(v) : nlohmann::json(nullptr);
        } else {
          return nlohmann::json(v);
        }
      },
      value.storage());
}

std::optional<DefaultsValue> decode(const nlohmann::json& json) {
  switch (json.type()) {
    case nlohmann::json::value_t::string: return DefaultsValue(json.get<std::string>());
    case nlohmann::json::value_t::boolean: return DefaultsValue(json.get<bool>());
    case nlohmann::json::value_t::number_integer: return DefaultsValue(json.get<std::int64_t>());
    case nlohmann::json::value_t::number_unsigned: {
      auto n = json.get<std::uint64_t>();
      if (n > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
        return DefaultsValue(static_cast<double>(n));
      }
      return DefaultsValue(static_cast<std::int64_t>(n));
    }
    case nlohmann::json::value_t::number_float: return DefaultsValue(json.get<double>());
    case nlohmann::json::value_t::object:
      if (json.size() == 1 && json.contains(dataTag) && json[dataTag].is_string()) {
        if (auto data = Fennix::base64Decode(json[dataTag].get<std::string>())) return DefaultsValue(std::move(*data));
      }
      return std::nullopt;
    default: return std::nullopt;
  }
}

bool isValidSuiteName(const std::string& name) {
  if (name.empty() || name.size() > 200 || name.front() == '.') return false;
  for (char c : name) {
    if (c == '/' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  }
  return QuarvelText::isValidUTF8(name);
}

std::string errnoText(int error) { return std::strerror(error); }

// Failures to open or read a file that pass and tell nothing of what the file holds.
bool isPassingFailure(int error) {
  return error == EMFILE || error == ENFILE || error == ENOMEM || error == EINTR || error == EAGAIN;
}

std::string passingFailureText(int error) {
  switch (error) {
    case EMFILE: return "because this process has too many files open";
    case ENFILE: return "because the system has too many files open";
    case ENOMEM: return "because memory ran out";
    default: return "because " + errnoText(error);
  }
}

// Sets or removes each key as `changes` say.
void applyChanges(const std::map<std::string, std::optional<nlohmann::json>>& changes, nlohmann::json& values) {
  for (const auto& [key, value] : changes) {
    if (value) {
      values[key] = *value;
    } else {
      values.erase(key);
    }
  }
}

// The suites whose values wait for the lock. When the process ends, each writes them once more,
// waiting for the lock a few seconds at most: the main loop that would try again has stopped.
std::mutex& waitingSuitesMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}

std::set<std::shared_ptr<NSUserDefaults>>& waitingSuites() {
  static auto* suites = new std::set<std::shared_ptr<NSUserDefaults>>;
  return *suites;
}

template <typename Fingerprint>
Fingerprint fingerprintOf(const struct stat& info) {
  return Fingerprint{true, static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
                     static_cast<std::uint64_t>(info.st_size),
                     static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

}  // namespace

// ---------------------------------------------------------------------------

NSUserDefaults::NSUserDefaults(std::string suiteName, std::filesystem::path path)
    : suiteName_(std::move(suiteName)), path_(std::move(path)) {}

std::filesystem::path NSUserDefaults::defaultsDirectory() {
  std::filesystem::path base;
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') {
      const passwd* entry = ::getpwuid(::getuid());
      home = entry != nullptr ? entry->pw_dir : "/tmp";
    }
    base = std::filesystem::path(home) / ".config";
  }
  return base / "fennix" / "defaults";
}

std::shared_ptr<NSUserDefaults> NSUserDefaults::standard() {
  static auto* suite = new std::shared_ptr<NSUserDefaults>([] {
    auto name = NSBundle::main().bundleIdentifier();
    auto standardSuite = fromSuiteName(name.empty() ? "standard" : name);
    return standardSuite ? standardSuite : fromSuiteName("standard");
  }());
  return *suite;
}

std::shared_ptr<NSUserDefaults> NSUserDefaults::fromSuiteName(const std::string& suiteName) {
  if (!isValidSuiteName(suiteName)) return nullptr;
  return std::shared_ptr<NSUserDefaults>(
      new NSUserDefaults(suiteName, defaultsDirectory() / (suiteName + ".json")));
}

// ---- reading ----

NSUserDefaults::ReadResult NSUserDefaults::readFile(nlohmann::json& values, Fingerprint& fingerprint,
                                                    int& error) const {
  values = nlohmann::json::object();
  fingerprint = Fingerprint{};
  error = 0;
  // A failure for want of descriptors, memory or time says nothing about the file: it is read
  // again later, and neither taken for damaged nor replaced meanwhile.
  auto unreadable = [&error](int cause) {
    error = cause;
    return ReadResult::unreadableForNow;
  };
  Fennix::FileDescriptor fd(::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  struct stat info {};
  if (fd.get() < 0) {
    const int cause = errno;
    if (cause == ENOENT || cause == ENOTDIR) return ReadResult::missing;
    if (isPassingFailure(cause)) return unreadable(cause);
    // There, but not readable (e.g. no permission).
    fingerprint.exists = true;
    if (::stat(path_.c_str(), &info) == 0) fingerprint = fingerprintOf<Fingerprint>(info);
    return ReadResult::damaged;
  }
  if (::fstat(fd.get(), &info) != 0) {
    if (isPassingFailure(errno)) return unreadable(errno);
    fingerprint.exists = true;
    return ReadResult::damaged;
  }
  fingerprint = fingerprintOf<Fingerprint>(info);
  if (!S_ISREG(info.st_mode) || static_cast<std::size_t>(info.st_size) > maxFileSize) return ReadResult::damaged;

  std::string text;
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (isPassingFailure(errno)) return unreadable(errno);
      return ReadResult::damaged;
    }
    if (n == 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
    if (text.size() > maxFileSize) return ReadResult::damaged;
  }

  // Too deep a text stops the parser at once: read on, each level it keeps open would cost memory
  // even with the values discarded.
  struct TooDeep {};
  nlohmann::json parsed;
  try {
    parsed = nlohmann::json::parse(
        text,
        [](int depth, nlohmann::json::parse_event_t, nlohmann::json&) {
          if (depth > maxDepth) throw TooDeep{};
          return true;
        },
        /*allow_exceptions=*/false);
  } catch (const TooDeep&) {
    return ReadResult::damaged;
  }
  if (parsed.is_discarded() || !parsed.is_object()) return ReadResult::damaged;
  values = std::move(parsed);
  return ReadResult::read;
}

void NSUserDefaults::refreshLocked() {
  struct stat info {};
  Fingerprint current;
  if (::stat(path_.c_str(), &info) == 0) {
    current = fingerprintOf<Fingerprint>(info);
  }
  if (loaded_ && current == fingerprint_ && !unreadable_) return;
  nlohmann::json values;
  Fingerprint fingerprint;
  int error = 0;
  const ReadResult result = readFile(values, fingerprint, error);
  if (result == ReadResult::unreadableForNow) {
    // The values read before stay, and the file is read again on the next look.
    if (!unreadable_) {
      console::error("NSUserDefaults: could not read defaults for now, keeping the values read before, " +
                         passingFailureText(error) + ":",
                     path_.string());
    }
    unreadable_ = true;
    return;
  }
  unreadable_ = false;
  if (!kept_.empty()) {
    if (fingerprint == keptOver_) {
      applyChanges(kept_, values);
    } else {
      kept_.clear();
    }
  }
  applyChanges(waiting_, values);
  values_ = std::move(values);
  fingerprint_ = fingerprint;
  loaded_ = true;
  damaged_ = result == ReadResult::damaged;
  if (damaged_ && reportedDamage_ != fingerprint_) {
    reportedDamage_ = fingerprint_;
    console::error("NSUserDefaults: could not read defaults, using none:", path_.string());
  }
}

std::optional<DefaultsValue> NSUserDefaults::lookup(const std::string& key) {
  std::lock_guard<std::mutex> lock(mutex_);
  refreshLocked();
  auto found = values_.find(key);
  if (found == values_.end()) return std::nullopt;
  return decode(*found);
}

bool NSUserDefaults::synchronize() {
  std::lock_guard<std::mutex> lock(mutex_);
  refreshLocked();
  return !damaged_ && !unreadable_;
}

std::optional<DefaultsValue> NSUserDefaults::object(const std::string& forKey) { return lookup(forKey); }

std::map<std::string, DefaultsValue> NSUserDefaults::dictionaryRepresentation() {
  std::lock_guard<std::mutex> lock(mutex_);
  refreshLocked();
  std::map<std::string, DefaultsValue> all;
  for (const auto& [key, stored] : values_.items()) {
    if (auto value = decode(stored)) all.emplace(key, std::move(*value));
  }
  return all;
}

std::optional<std::string> NSUserDefaults::string(const std::string& forKey) {
  auto value = lookup(forKey);
  if (!value || value->text() == nullptr) return std::nullopt;
  return *value->text();
}

std::optional<DefaultsData> NSUserDefaults::data(const std::string& forKey) {
  auto value = lookup(forKey);
  if (!value || value->data() == nullptr) return std::nullopt;
  return *value->data();
}

std::int64_t NSUserDefaults::integer(const std::string& forKey) {
  auto value = lookup(forKey);
  if (!value) return 0;
  const auto& storage = value->storage();
  if (auto* n = std::get_if<std::int64_t>(&storage)) return *n;
  if (auto* b = std::get_if<bool>(&storage)) return *b ? 1 : 0;
  if (auto* d = std::get_if<double>(&storage)) {
    if (std::isnan(*d)) return 0;
    if (*d >= 9.2e18) return std::numeric_limits<std::int64_t>::max();
    if (*d <= -9.2e18) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(*d);
  }
  if (auto* text = std::get_if<std::string>(&storage)) {
    errno = 0;
    char* end = nullptr;
    long long n = std::strtoll(text->c_str(), &end, 10);
    if (text->empty() || end != text->c_str() + text->size() || errno == ERANGE) return 0;
    return n;
  }
  return 0;
}

double NSUserDefaults::double_(const std::string& forKey) {
  auto value = lookup(forKey);
  if (!value) return 0;
  const auto& storage = value->storage();
  if (auto* d = std::get_if<double>(&storage)) return *d;
  if (auto* n = std::get_if<std::int64_t>(&storage)) return static_cast<double>(*n);
  if (auto* b = std::get_if<bool>(&storage)) return *b ? 1 : 0;
  return 0;
}

bool NSUserDefaults::bool_(const std::string& forKey) {
  auto value = lookup(forKey);
  if (!value) return false;
  const auto& storage = value->storage();
  if (auto* b = std::get_if<bool>(&storage)) return *b;
  if (auto* n = std::get_if<std::int64_t>(&storage)) return *n != 0;
  if (auto* d = std::get_if<double>(&storage)) return *d != 0;
  if (auto* text = std::get_if<std::string>(&storage)) {
    const std::string lower = QuarvelText::asciiLowercased(*text);
    return lower == "true" || lower == "yes" || lower == "1";
  }
  return false;
}

// ---- writing ----

void NSUserDefaults::set(const DefaultsValue& value, const std::string& forKey) {
  const std::string* text = value.text();
  if (!QuarvelText::isValidUTF8(forKey) || (text != nullptr && !QuarvelText::isValidUTF8(*text))) {
    console::error("NSUserDefaults: refusing a key or text that is not UTF-8 in suite:", suiteName_);
    return;
  }
  write(forKey, value);
}

void NSUserDefaults::removeObject(const std::string& forKey) {
  if (!QuarvelText::isValidUTF8(forKey)) return;
  write(forKey, std::nullopt);
}

void NSUserDefaults::write(const std::string& key, const std::optional<DefaultsValue>& value) {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    const Changes::value_type change{key, value ? std::optional<nlohmann::json>(encode(*value)) : std::nullopt};
    // The main loop never waits for another process: what it sets waits here until the lock is free.
    const bool onMainLoop = g_main_context_is_owner(g_main_context_default()) != FALSE;
    const WriteResult result = writeLocked(&change, onMainLoop ? LockWait::none : LockWait::bounded, &lock);
    // A file too large to be read back would lose every key: the value is refused.
    if (result == WriteResult::tooLarge) return;
    if (result == WriteResult::lockBusy) {
      refreshLocked();
      // Refused now, as a write that gets the lock refuses it, rather than later with every value
      // that waits beside it.
      nlohmann::json changed = values_;
      applyChanges({change}, changed);
      if (changed.dump(2).size() + 1 > maxFileSize) {
        console::error("NSUserDefaults: refusing a value that would make the defaults file too large to read, for key:",
                       key);
        return;
      }
      waitLocked(key, change.second);
      // Off the main loop the write waited as long as it may: the value waits as those set on the
      // main loop do, also when the other process writes the file meanwhile.
      if (!onMainLoop && !reportedWaiting_) {
        reportedWaiting_ = true;
        console::error("NSUserDefaults: another process has held the lock for a while, writing once it lets go:",
                       path_.string());
      }
    } else if (result == WriteResult::failed) {
      // Keep the value for this process at least. One set under a key whose value waits for the
      // lock takes its place there, and is written with the others once the lock is free.
      refreshLocked();
      if (waiting_.count(key) != 0) {
        waitLocked(key, change.second);
      } else {
        keepLocked(key, change.second);
      }
    }
  }
  NotificationCenter::defaultCenter().post(Notification(didChangeNotification, this));
}

void NSUserDefaults::keepLocked(const std::string& key, const std::optional<nlohmann::json>& value) {
  // The values read before may be older than the file (it could not be read for now): the kept
  // value stays over a read of the file as it is now, until the file changes.
  struct stat info {};
  Fingerprint now;
  if (::stat(path_.c_str(), &info) == 0) now = fingerprintOf<Fingerprint>(info);
  if (now != keptOver_) kept_.clear();
  keptOver_ = now;
  kept_[key] = value;
  waiting_.erase(key);
  applyChanges(kept_, values_);
}

void NSUserDefaults::waitLocked(const std::string& key, const std::optional<nlohmann::json>& value) {
  if (waiting_.empty()) {
    waitingSince_ = std::chrono::steady_clock::now();
    reportedWaiting_ = false;
  }
  waiting_[key] = value;
  kept_.erase(key);
  applyChanges(waiting_, values_);
  scheduleRetryLocked();
  std::lock_guard<std::mutex> registry(waitingSuitesMutex());
  static const bool writesAtExit = std::atexit([] { writeWaitingAtExit(); }) == 0;
  if (!writesAtExit) return;
  waitingSuites().insert(shared_from_this());
}

void NSUserDefaults::writeWaitingAtExit() {
  std::set<std::shared_ptr<NSUserDefaults>> suites;
  {
    std::lock_guard<std::mutex> registry(waitingSuitesMutex());
    suites.swap(waitingSuites());
  }
  for (const auto& suite : suites) {
    std::unique_lock<std::mutex> lock(suite->mutex_);
    if (suite->waiting_.empty()) continue;
    if (suite->writeLocked(nullptr, LockWait::bounded, &lock) == WriteResult::written) continue;
    std::string keys;
    for (const auto& [key, value] : suite->waiting_) keys += (keys.empty() ? "" : ", ") + key;
    console::error("NSUserDefaults: the process ends before the values that waited for the lock could be written, "
                   "losing keys:",
                   keys, "of", suite->path_.string());
  }
}

void NSUserDefaults::scheduleRetryLocked() {
  if (retryScheduled_) return;
  retryScheduled_ = true;
  retryDelay_ = retryDelay_ == 0 ? 0.01 : std::min(retryDelay_ * 2, longestRetryPause);
  // The suite stays while values wait in it, even when the code that set them let go of it.
  DispatchQueue::main().asyncAfter(retryDelay_, [suite = shared_from_this()] { suite->retryWaiting(); });
}

void NSUserDefaults::retryWaiting() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    retryScheduled_ = false;
    if (waiting_.empty()) {
      retryDelay_ = 0;
      stopWaitingLocked();
      return;
    }
    const WriteResult result = writeLocked(nullptr, LockWait::none, nullptr);
    if (result == WriteResult::lockBusy) {
      if (!reportedWaiting_ && std::chrono::steady_clock::now() - waitingSince_ >= lockWaitBound) {
        reportedWaiting_ = true;
        console::error("NSUserDefaults: another process has held the lock for a while, writing once it lets go:",
                       path_.string());
      }
      scheduleRetryLocked();
      return;
    }
    retryDelay_ = 0;
    if (result == WriteResult::failed) {
      // The write failed for another reason (logged): the values stay as those of any failed write.
      const Changes failed = std::exchange(waiting_, {});
      refreshLocked();
      for (const auto& [key, value] : failed) keepLocked(key, value);
    } else {
      // Together too large for the file (logged): the file stays as it is.
      waiting_.clear();
      loaded_ = false;
      refreshLocked();
    }
    reportedWaiting_ = false;
    stopWaitingLocked();
  }
  NotificationCenter::defaultCenter().post(Notification(didChangeNotification, this));
}

void NSUserDefaults::stopWaitingLocked() {
  std::lock_guard<std::mutex> registry(waitingSuitesMutex());
  auto& suites = waitingSuites();
  const auto found = std::find_if(suites.begin(), suites.end(), [this](const auto& suite) { return suite.get() == this; });
  if (found != suites.end()) suites.erase(found);
}

NSUserDefaults::WriteResult NSUserDefaults::writeLocked(const Changes::value_type* change, LockWait wait,
                                                        std::unique_lock<std::mutex>* held) {
  auto log = console::defaultConsole();
  const auto directory = path_.parent_path();
  const auto fileName = path_.filename().string();
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  if (error) {
    log->error("NSUserDefaults: could not create the defaults directory:", directory.string(), error.message());
    return WriteResult::failed;
  }

  // Writers of all processes take turns on the lock file; readers need no lock because the file
  // is only ever replaced whole. A writer holds the lock for the time of one write. It takes its
  // turn first (the lock of the queue file), then the lock, and lets go of its turn once it has
  // the lock: so the one in turn is next, and one that comes later, or comes back for its next
  // write at once, waits behind it. (Without turns, a writer that slept between its tries found
  // the lock taken again each time while another process wrote on, however short each write.)
  // One that holds the lock, or the turn, much longer is stuck (stopped, or on a file system that
  // does not answer): a writer waits for each of them a few seconds at most, passing over the one
  // in turn, and once it has waited in vain for the lock it does not wait again until the lock is
  // free. The main loop does not wait at all, and takes no turn.
  const auto bound = lockHeldElsewhere_ || wait == LockWait::none ? std::chrono::seconds(0) : lockWaitBound;
  enum class Take { taken, busy, failed };
  const auto take = [held, bound](int fd) {
    const auto waitUntil = std::chrono::steady_clock::now() + bound;
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
      if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return Take::taken;
      if (errno == EINTR) continue;
      if (errno != EWOULDBLOCK) return Take::failed;
      if (std::chrono::steady_clock::now() >= waitUntil) return Take::busy;
      // The suite is free to others meanwhile (the main loop reads it, or sets values that wait).
      if (held != nullptr) held->unlock();
      std::this_thread::sleep_for(pause);
      if (held != nullptr) held->lock();
      pause = std::min(pause * 2, std::chrono::milliseconds(10));
    }
  };
  constexpr int lockFlags = O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW;
  // A writer without a descriptor to spare, or whose turn cannot be taken, goes without a turn.
  Fennix::FileDescriptor turnFD;
  if (wait != LockWait::none) {
    turnFD = Fennix::FileDescriptor(::open((directory / ("." + fileName + ".queue")).c_str(), lockFlags, 0600));
    if (turnFD.isOpen() && take(turnFD.get()) != Take::taken) turnFD.close();
  }
  const auto lockPath = directory / ("." + fileName + ".lock");
  Fennix::FileDescriptor lockFD(::open(lockPath.c_str(), lockFlags, 0600));
  if (!lockFD.isOpen() && turnFD.isOpen() && (errno == EMFILE || errno == ENFILE)) {
    turnFD.close();
    lockFD = Fennix::FileDescriptor(::open(lockPath.c_str(), lockFlags, 0600));
  }
  if (!lockFD.isOpen()) {
    log->error("NSUserDefaults: could not open the lock file:", lockPath.string(), errnoText(errno));
    return WriteResult::failed;
  }
  const Take lock = take(lockFD.get());
  if (lock == Take::failed) {
    log->error("NSUserDefaults: could not lock:", lockPath.string(), errnoText(errno));
    return WriteResult::failed;
  }
  if (lock == Take::busy) {
    if (wait != LockWait::none) lockHeldElsewhere_ = true;
    return WriteResult::lockBusy;
  }
  turnFD.close();
  lockHeldElsewhere_ = false;

  // A file that is a symbolic link stays one: the file it leads to is replaced, in its own folder.
  // A link that leads to no file, or to something other than a file, is not written through: a
  // file made there would be one nobody asked for.
  std::filesystem::path file = path_;
  struct stat nameInfo {};
  const bool throughLink = ::lstat(path_.c_str(), &nameInfo) == 0 && S_ISLNK(nameInfo.st_mode);
  if (throughLink) {
    file = std::filesystem::canonical(path_, error);
    struct stat ledTo {};
    if (error || ::stat(file.c_str(), &ledTo) != 0 || !S_ISREG(ledTo.st_mode)) {
      log->error("NSUserDefaults: could not write, the defaults file is a symbolic link that leads to no file:",
                 path_.string());
      return WriteResult::failed;
    }
  }

  // Temporary files exist only while their writer holds the lock: any found now were left by a
  // writer that died mid-write.
  const std::string temporaryPrefix = "." + fileName + ".tmp.";
  for (const auto& folder : throughLink ? std::vector{directory, file.parent_path()} : std::vector{directory}) {
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
      if (entry.path().filename().string().rfind(temporaryPrefix, 0) == 0) ::unlink(entry.path().c_str());
    }
  }

  // Start from what is on disk now, so that keys written by other processes stay.
  nlohmann::json current;
  Fingerprint onDisk;
  int readError = 0;
  const ReadResult onDiskRead = readFile(current, onDisk, readError);
  if (onDiskRead == ReadResult::unreadableForNow) {
    // Writing now would replace every other key with nothing.
    log->error("NSUserDefaults: could not read the defaults file, not writing, " + passingFailureText(readError) + ":",
               path_.string());
    return WriteResult::failed;
  }
  if (onDiskRead == ReadResult::damaged && onDisk.exists) {
    std::filesystem::path aside;
    for (int n = 0; n < 1000; ++n) {
      auto candidate = file;
      candidate += n == 0 ? ".corrupt" : ".corrupt." + std::to_string(n);
      if (!std::filesystem::exists(std::filesystem::symlink_status(candidate))) {
        aside = candidate;
        break;
      }
    }
    if (aside.empty() || ::rename(file.c_str(), aside.c_str()) != 0) {
      log->error("NSUserDefaults: damaged defaults file could not be moved aside, not writing:", file.string());
      return WriteResult::failed;
    }
    log->error("NSUserDefaults: moved a damaged defaults file aside:", file.string(), aside.string());
    current = nlohmann::json::object();
  }
  // Values of writes that failed go along, unless the file changed since they were set; values
  // that waited for the lock go along in any case.
  if (!kept_.empty() && onDisk == keptOver_) applyChanges(kept_, current);
  applyChanges(waiting_, current);
  if (change != nullptr) applyChanges({*change}, current);
  const std::string text = current.dump(2);
  if (text.size() + 1 > maxFileSize) {
    std::string keys;
    for (const auto& [key, value] : waiting_) keys += (keys.empty() ? "" : ", ") + key;
    log->error("NSUserDefaults: refusing a value that would make the defaults file too large to read, for key:",
               change != nullptr ? change->first : keys);
    return WriteResult::tooLarge;
  }

  Fennix::ReplaceFileOptions options;
  options.permissions = 0600;
  // The file a link leads to keeps its permissions; the suite's own file is its owner's alone.
  options.keepPermissions = throughLink;
  options.followSymlink = false;
  options.temporaryPrefix = temporaryPrefix;
  if (auto failure = Fennix::replaceFileAtomically(file, text + "\n", options)) {
    log->error("NSUserDefaults: could not write:", file.string(), failure.message());
    return WriteResult::failed;
  }
  struct stat info {};
  if (::stat(path_.c_str(), &info) != 0) info = {};

  values_ = std::move(current);
  fingerprint_ = fingerprintOf<Fingerprint>(info);
  loaded_ = true;
  damaged_ = false;
  unreadable_ = false;
  kept_.clear();
  if (!waiting_.empty() && reportedWaiting_) {
    log->log("NSUserDefaults: wrote the values that waited for the lock:", path_.string());
  }
  waiting_.clear();
  reportedWaiting_ = false;
  return WriteResult::written;
}
