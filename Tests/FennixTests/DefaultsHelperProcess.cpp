// The helper process of the defaults tests: another process of the same user that writes defaults.
// Built only into the helper executable.
#ifdef FENNIX_DEFAULTS_HELPER_MAIN

#include <fcntl.h>
#include <glib.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "Fennix/Foundation/System/GroupDefaults.h"
#include "Fennix/Foundation/System/KeyValueStore.h"
#include "Fennix/console/Console.h"
#include "Platform/NotificationCenter.h"
#include "Fennix/Foundation/UserDefaults.h"
#include "Platform/Dispatch.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: helper write-keys SUITE PREFIX COUNT | write-loop SUITE |"
               " group-set GROUP KEY VALUE SECONDS | kvs-set KEY VALUE SECONDS |"
               " kvs-set-dated KEY DATE SECONDS | no-files-left SUITE LOG | hold-lock SUITE READY |"
               " set-and-exit SUITE KEY VALUE released|held LOG\n");
  return 2;
}

std::shared_ptr<Console2> consoleOver(std::FILE* file) {
  return std::make_shared<Console2>(std::make_shared<FileOutputStream>(file),
                                    std::make_shared<FileOutputStream>(file), LogLevel::error);
}

// Reads and writes the suite (holding "one" under "a") while no file descriptor, then one only,
// is left, logging to LOG; says on standard error which check failed.
int noFilesLeft(const std::string& suiteName, const char* logPath) {
  std::FILE* log = std::fopen(logPath, "w");
  std::FILE* scratch = std::fopen("/dev/null", "w");
  if (log == nullptr || scratch == nullptr) return 1;
  std::setvbuf(log, nullptr, _IONBF, 0);
  int failures = 0;
  auto check = [&failures](bool holds, const char* what) {
    if (!holds) {
      std::fprintf(stderr, "failed: %s\n", what);
      ++failures;
    }
  };
  auto reader = NSUserDefaults::fromSuiteName(suiteName);
  auto writer = NSUserDefaults::fromSuiteName(suiteName);
  check(reader->string("a") == "one", "the value is read at first");
  // The file changes after the reader read it: its next look reads the file again.
  writer->set("two", "b");
  // The sanitizer build checks the type of an object the first time a virtual call meets it, and
  // its check needs a pipe: the calls of a log line meet their objects here first.
  consoleOver(scratch)->error("exercise");
  console::setDefaultConsole(consoleOver(log));

  // The limit is the lowest descriptor free: none at or above it may be opened.
  const int lowest = ::dup(0);
  if (lowest < 0) return 1;
  ::close(lowest);
  struct rlimit kept {};
  if (::getrlimit(RLIMIT_NOFILE, &kept) != 0) return 1;
  struct rlimit lowered = kept;
  lowered.rlim_cur = rlim_t(lowest);
  if (::setrlimit(RLIMIT_NOFILE, &lowered) != 0) return 1;
  check(reader->string("a") == "one", "the value read before stays");
  check(!reader->synchronize(), "the suite says it could not be read");
  reader->set("three", "c");
  check(reader->string("c") == "three", "a value set is kept in memory");
  check(reader->string("a") == "one", "the value read before stays after a write");

  // One descriptor left: the lock of the writers opens, the file then does not.
  lowered.rlim_cur = rlim_t(lowest + 1);
  if (::setrlimit(RLIMIT_NOFILE, &lowered) != 0) return 1;
  reader->set("four", "d");
  check(reader->string("d") == "four", "a value set is kept in memory");
  check(reader->string("b") == "two", "the file is read again once it can be");
  check(reader->string("c") == "three", "a value set while the file could not be read stays once it is read");

  if (::setrlimit(RLIMIT_NOFILE, &kept) != 0) return 1;
  check(reader->synchronize(), "the suite reads");
  check(reader->string("a") == "one", "the value stays");
  check(reader->string("c") == "three" && reader->string("d") == "four", "the values set stay while the file is unchanged");
  // The next write that reaches the file takes them along.
  reader->set("five", "e");

  // A value kept over a file that another process changes since gives way to it.
  lowered.rlim_cur = rlim_t(lowest);
  if (::setrlimit(RLIMIT_NOFILE, &lowered) != 0) return 1;
  reader->set("six", "f");
  if (::setrlimit(RLIMIT_NOFILE, &kept) != 0) return 1;
  check(reader->string("f") == "six", "a value set is kept in memory");
  writer->set("seven", "g");
  check(!reader->object("f") && reader->string("g") == "seven", "a value set gives way to a file changed since");
  reader->set("eight", "h");
  console::setDefaultConsole(nullptr);
  std::fclose(log);
  std::fclose(scratch);
  return failures == 0 ? 0 : 3;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return usage();
  const std::string command = argv[1];
  if (command == "write-keys" && argc == 5) {
    auto suite = NSUserDefaults::fromSuiteName(argv[2]);
    if (!suite) return 1;
    int count = std::stoi(argv[4]);
    for (int i = 0; i < count; ++i) suite->set(i, std::string(argv[3]) + std::to_string(i));
    return 0;
  }
  if (command == "write-loop" && argc == 3) {
    // Rewrites the suite until killed, so that the kill lands in the middle of a write.
    auto suite = NSUserDefaults::fromSuiteName(argv[2]);
    if (!suite) return 1;
    for (long i = 0;; ++i) {
      suite->set(std::string(200000, static_cast<char>('a' + i % 26)), "payload");
      suite->set(i, "counter");
    }
  }
  if (command == "group-set" && argc == 6) {
    // Changes a group's suite and keeps the main loop running until the change was announced (it
    // comes back to this process too), at most SECONDS.
    auto suite = NSUserDefaults::defaults(std::string(argv[2]));
    if (!suite) return 1;
    std::atomic<bool> announced{false};
    NotificationCenter::defaultCenter().addObserver(
        NSUserDefaults::didChangeNotification, suite.get(), std::nullopt, [&](const Notification& n) {
          if (n.userInfo().count(groupdefaults::emitterKey) != 0) announced = true;
        });
    suite->set(std::string(argv[4]), argv[3]);
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(std::stod(argv[5]));
    while (!announced && std::chrono::steady_clock::now() < end) {
      if (!g_main_context_iteration(nullptr, FALSE)) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return announced ? 0 : 3;
  }
  if ((command == "kvs-set" || command == "kvs-set-dated") && argc == 5) {
    // Changes a key of the cloud key-value store (to a text, or to a date of DATE seconds since
    // 2001 and a dictionary that holds it with data) and keeps the main loop running until the
    // change was relayed (it comes back to this process too), at most SECONDS.
    auto store = NSUbiquitousKeyValueStore::defaultStore();
    std::atomic<bool> relayed{false};
    NotificationCenter::defaultCenter().addObserver(
        NSUserDefaults::didChangeNotification, store->suite().get(), std::nullopt, [&](const Notification& n) {
          if (n.userInfo().count(groupdefaults::emitterKey) != 0) relayed = true;
        });
    if (command == "kvs-set") {
      store->setObject(Fennix::AnyValue::string(argv[3]), argv[2]);
    } else {
      const Fennix::Date date{Fennix::DateClock::duration(std::stod(argv[3]))};
      store->setObject(Fennix::AnyValue::dictionary({{"when", Fennix::dateValue(date)},
                                                     {"blob", Fennix::dataValue({0, 255, '[', ']'})}}),
                       std::string(argv[2]) + ".dictionary");
      store->setObject(Fennix::dateValue(date), argv[2]);
    }
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(std::stod(argv[4]));
    while (!relayed && std::chrono::steady_clock::now() < end) {
      if (!g_main_context_iteration(nullptr, FALSE)) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return relayed ? 0 : 3;
  }
  if (command == "no-files-left" && argc == 4) return noFilesLeft(argv[2], argv[3]);
  if (command == "set-and-exit" && argc == 7) {
    // Sets KEY on the main loop while another open of the lock file holds it (as another process
    // would), lets go of the lock or not, and ends without a further turn of the main loop,
    // logging to LOG.
    auto suite = NSUserDefaults::fromSuiteName(argv[2]);
    std::FILE* log = std::fopen(argv[6], "w");
    if (!suite || log == nullptr) return 1;
    std::setvbuf(log, nullptr, _IONBF, 0);
    console::setDefaultConsole(consoleOver(log));
    const auto& path = suite->path();
    std::filesystem::create_directories(path.parent_path());
    const auto lockPath = path.parent_path() / ("." + path.filename().string() + ".lock");
    const int lock = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock < 0 || ::flock(lock, LOCK_EX) != 0) return 1;
    bool set = false;
    DispatchQueue::main().async([&] {
      suite->set(std::string(argv[4]), argv[3]);
      set = true;
    });
    while (!set) g_main_context_iteration(nullptr, TRUE);
    if (suite->string(argv[3]) != argv[4]) return 3;
    if (std::string(argv[5]) == "released") ::close(lock);
    return 0;
  }
  if (command == "hold-lock" && argc == 4) {
    // Takes the writers' lock of the suite, as a writer does, makes the file READY, and holds the
    // lock until killed.
    auto suite = NSUserDefaults::fromSuiteName(argv[2]);
    if (!suite) return 1;
    const auto& path = suite->path();
    std::filesystem::create_directories(path.parent_path());
    const auto lockPath = path.parent_path() / ("." + path.filename().string() + ".lock");
    const int lock = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock < 0 || ::flock(lock, LOCK_EX) != 0) return 1;
    std::FILE* ready = std::fopen(argv[3], "w");
    if (ready == nullptr) return 1;
    std::fclose(ready);
    for (;;) ::pause();
  }
  return usage();
}

#endif
