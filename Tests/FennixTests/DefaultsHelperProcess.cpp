// The helper process of the defaults tests: another process of the same user that writes defaults.
// Built only into the helper executable.
#ifdef FENNIX_DEFAULTS_HELPER_MAIN

#include <glib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "Fennix/Foundation/System/GroupDefaults.h"
#include "Fennix/Foundation/System/KeyValueStore.h"
#include "Platform/NotificationCenter.h"
#include "Fennix/Foundation/UserDefaults.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: helper write-keys SUITE PREFIX COUNT | write-loop SUITE |"
               " group-set GROUP KEY VALUE SECONDS | kvs-set KEY VALUE SECONDS |"
               " kvs-set-dated KEY DATE SECONDS\n");
  return 2;
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
  return usage();
}

#endif
