#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "Fennix/Foundation/System/GroupDefaults.h"
#include "Fennix/Foundation/System/KeyValueStore.h"
#include "Platform/DistributedNotificationCenter.h"
#include "Platform/NotificationCenter.h"
#include "FennixTests/DefaultsTestSupport.h"
#include "FennixTests/DispatchTestSupport.h"
#include "FennixTests/LogTestSupport.h"

using namespace FennixTestSupport;
using Clock = std::chrono::steady_clock;

namespace {

// Counts the cross-process announcements of one group and remembers when the first arrived.
class Announcements {
 public:
  explicit Announcements(const std::string& group) {
    DistributedNotificationCenter::getCenter()->addObserver(group + groupdefaults::notificationNameSuffix,
                                                            [this](const std::string&) {
                                                              std::lock_guard<std::mutex> lock(mutex_);
                                                              if (count++ == 0) first_ = Clock::now();
                                                            });
  }
  Clock::time_point first() {
    std::lock_guard<std::mutex> lock(mutex_);
    return first_;
  }
  std::atomic<int> count{0};

 private:
  std::mutex mutex_;
  Clock::time_point first_;
};

// Counts the change notifications posted for one suite, relayed ones apart.
class ChangeNotifications {
 public:
  explicit ChangeNotifications(NSUserDefaults* suite)
      : token_(NotificationCenter::defaultCenter().addObserver(
            NSUserDefaults::didChangeNotification, suite, std::nullopt,
            [this](const Notification& n) {
              (n.userInfo().count(groupdefaults::emitterKey) != 0 ? relayed : local)++;
            })) {}
  ~ChangeNotifications() { NotificationCenter::defaultCenter().removeObserver(token_); }
  std::atomic<int> relayed{0}, local{0};

 private:
  NotificationObserverToken token_;
};

class RelayTests : public ::testing::Test {
 protected:
  void SetUp() override {
    temporaryUserDirectories();
    ASSERT_NE(DistributedNotificationCenter::getCenter(), nullptr);
    unique_ = uniqueTestName();
  }

  // A fresh group per test run.
  std::string groupName(const std::string& suffix = "") const { return "group." + unique_ + suffix; }
  std::string unique_;

  // Opens a group's suite and lets the recording of the group name, and its announcement, pass.
  static std::shared_ptr<NSUserDefaults> openSettled(const std::string& group, Announcements& announcements) {
    auto suite = NSUserDefaults::defaults(group);
    EXPECT_TRUE(runMainLoopUntil([&] { return announcements.count > 0; }));
    runMainLoopFor(0.3);
    EXPECT_EQ(suite->qvGroupName(), group);
    announcements.count = 0;
    return suite;
  }
};

}  // namespace

TEST_F(RelayTests, ChangesWithinTheDelayMakeOneAnnouncementPerGroupAndItsEchoIsNotAnnouncedAgain) {
  const auto groupA = groupName(".a"), groupB = groupName(".b");
  Announcements announcementsA(groupA), announcementsB(groupB);
  auto suiteA = openSettled(groupA, announcementsA);
  auto suiteB = openSettled(groupB, announcementsB);
  ChangeNotifications changes(suiteA.get());

  auto start = Clock::now();
  for (int i = 0; i < 5; ++i) suiteA->set(i, "key");
  suiteB->set("y", "key");
  EXPECT_EQ(changes.local, 5);
  ASSERT_TRUE(runMainLoopUntil([&] { return announcementsA.count > 0 && announcementsB.count > 0; }));
  EXPECT_GE(announcementsA.first() - start, std::chrono::milliseconds(200));

  // The announcement reaches this process too and is re-posted once to the suite; the re-post is
  // not announced again.
  ASSERT_TRUE(runMainLoopUntil([&] { return changes.relayed > 0; }));
  runMainLoopFor(0.6);
  EXPECT_EQ(announcementsA.count, 1);
  EXPECT_EQ(announcementsB.count, 1);
  EXPECT_EQ(changes.relayed, 1);
}

TEST_F(RelayTests, ARemoteChangeReachesEverySuiteOfTheGroupOnce) {
  const auto group = groupName();
  Announcements announcements(group);
  auto first = openSettled(group, announcements);
  auto second = NSUserDefaults::defaults(group);  // a second object of the same suite
  runMainLoopFor(0.1);
  ChangeNotifications firstChanges(first.get()), secondChanges(second.get());

  DistributedNotificationCenter::getCenter()->post(group + groupdefaults::notificationNameSuffix);
  ASSERT_TRUE(runMainLoopUntil([&] { return firstChanges.relayed > 0 && secondChanges.relayed > 0; }));
  runMainLoopFor(0.6);
  EXPECT_EQ(firstChanges.relayed, 1);
  EXPECT_EQ(secondChanges.relayed, 1);
  EXPECT_EQ(announcements.count, 1);  // only the post above
}

TEST_F(RelayTests, SuitesLetGoOfByTheirOpenersAreNotKeptByTheRelay) {
  const auto group = groupName();
  Announcements announcements(group);
  auto kept = openSettled(group, announcements);
  std::vector<std::weak_ptr<NSUserDefaults>> dropped;
  for (int i = 0; i < 100; ++i) dropped.push_back(NSUserDefaults::defaults(group));
  runMainLoopFor(0.1);
  EXPECT_EQ(std::count_if(dropped.begin(), dropped.end(), [](const auto& suite) { return suite.expired(); }), 100);

  ChangeNotifications changes(kept.get());
  std::atomic<int> relayedToAny{0};
  auto token = NotificationCenter::defaultCenter().addObserver(
      NSUserDefaults::didChangeNotification, nullptr, std::nullopt,
      [&](const Notification& n) { relayedToAny += n.userInfo().count(groupdefaults::emitterKey) != 0; });
  DistributedNotificationCenter::getCenter()->post(group + groupdefaults::notificationNameSuffix);
  ASSERT_TRUE(runMainLoopUntil([&] { return changes.relayed > 0; }));
  runMainLoopFor(0.3);
  NotificationCenter::defaultCenter().removeObserver(token);
  EXPECT_EQ(changes.relayed, 1);
  EXPECT_EQ(relayedToAny, 1);  // the kept suite alone
}

TEST_F(RelayTests, OnlySuitesOfARecordedGroupAreAnnouncedAndBadGroupsAreReported) {
  LogTestSupport::FileConsole capture(LogLevel::log);
  console::setDefaultConsole(capture.console);
  const auto group = groupName();
  Announcements announcements(group);
  // A plain suite of the same name as the group's, and the standard suite.
  NSUserDefaults::fromSuiteName(group)->set("other.group", NSUserDefaults::QvDefaultGroupNameKey);
  NSUserDefaults::standard()->set("x", groupName(".key"));
  runMainLoopFor(0.5);
  EXPECT_EQ(announcements.count, 0);

  // A group name recorded before stays.
  auto suite = NSUserDefaults::defaults(group);
  runMainLoopFor(0.3);
  EXPECT_EQ(suite->qvGroupName(), "other.group");
  EXPECT_EQ(NSUserDefaults::defaults(std::nullopt), nullptr);
  EXPECT_EQ(NSUserDefaults::defaults(std::string()), nullptr);
  // A group that cannot name a suite falls back to the standard suite.
  EXPECT_EQ(NSUserDefaults::defaults(std::string("a/b")), NSUserDefaults::standard());
  console::setDefaultConsole(nullptr);
  EXPECT_EQ(capture.out.text(), "WARN:  QvDefaults: default name mismatch expected: " + group +
                                    " set: other.group\n"
                                    "WARN:  defaults(forGroup:) did not find app-group defaults: a/b\n");
}

TEST_F(RelayTests, TheRelayLogsItsWorkUnderItsModuleName) {
  // In a fresh process, so that the relay's logger is made at level trace.
  EXPECT_OUTPUT_IN_FRESH_PROCESS(
      {
        ::setenv("LOGLEVEL", "trace", 1);
        auto suite = NSUserDefaults::defaults(std::string("group.logged"));
        ChangeNotifications changes(suite.get());
        if (!runMainLoopUntil([&] { return changes.relayed > 0; })) std::puts("no change arrived");
      },
      "GN:       registering defaults group: group.logged\n"
      "GN:       send change for group: group.logged\n"
      "GN:       received remote defaults change: group.logged.defaults.changed group.logged\n");
}

TEST_F(RelayTests, AChangeInAnotherProcessArrivesAsAChangeNotification) {
  const auto group = groupName();
  Announcements announcements(group);
  auto suite = openSettled(group, announcements);
  ChangeNotifications changes(suite.get());

  pid_t helper = startHelper({"group-set", group, "key", "from the helper", "20"});
  ASSERT_GT(helper, 0);
  ASSERT_TRUE(runMainLoopUntil([&] { return changes.relayed > 0; }));
  EXPECT_EQ(suite->string("key"), "from the helper");
  EXPECT_EQ(changes.local, 0);
  EXPECT_EQ(waitForHelper(helper), 0);
}

TEST_F(RelayTests, ACloudStoreChangeInAnotherProcessArrivesAsAnExternalChange) {
  auto wrapper = QvKeyValueStore::make();
  const std::string key = "shared." + unique_;
  struct Call {
    QvKeyValueStore::ChangeReason reason;
    std::set<std::string> keys;
    bool onMain;
  };
  std::vector<Call> calls;
  auto listener = wrapper->onChange([&](QvKeyValueStore&, QvKeyValueStore::ChangeReason reason,
                                        const std::set<std::string>& keys) {
    calls.push_back({reason, keys, DispatchQueue::main().isCurrent()});
  });
  // This process's own write comes back through the relay too, and is no external change.
  wrapper->set(Fennix::AnyValue("from here"), "local." + unique_);

  pid_t helper = startHelper({"kvs-set", key, "from the helper", "20"});
  ASSERT_GT(helper, 0);
  ASSERT_TRUE(runMainLoopUntil([&] { return !calls.empty(); }));
  EXPECT_EQ(waitForHelper(helper), 0);
  runMainLoopFor(0.5);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].reason, QvKeyValueStore::ChangeReason::serverChange);
  EXPECT_EQ(calls[0].keys, (std::set<std::string>{key}));
  EXPECT_TRUE(calls[0].onMain);
  EXPECT_EQ(wrapper->string(key), "from the helper");
  wrapper->removeListener(listener);
}

TEST_F(RelayTests, DatesAndDataThatAnotherProcessStoresArriveAsExternalChanges) {
  auto wrapper = QvKeyValueStore::make();
  const std::string key = "dated." + unique_;
  // This process knows the key with another date: only a date compared by its value changes it.
  wrapper->set(Fennix::dateValue(Fennix::Date(Fennix::DateClock::duration(1.25))), key);
  std::vector<std::set<std::string>> changes;
  auto listener = wrapper->onChange(
      [&](QvKeyValueStore&, QvKeyValueStore::ChangeReason, const std::set<std::string>& keys) { changes.push_back(keys); });

  pid_t helper = startHelper({"kvs-set-dated", key, "812345678.5", "20"});
  ASSERT_GT(helper, 0);
  ASSERT_TRUE(runMainLoopUntil([&] {
    std::set<std::string> seen;
    for (const auto& keys : changes) seen.insert(keys.begin(), keys.end());
    return seen.count(key) != 0 && seen.count(key + ".dictionary") != 0;
  }));
  EXPECT_EQ(waitForHelper(helper), 0);
  auto date = wrapper->kvs->object(key);
  ASSERT_TRUE(date);
  ASSERT_TRUE(date->object<Fennix::Date>());
  EXPECT_EQ(date->object<Fennix::Date>()->time_since_epoch().count(), 812345678.5);
  auto dictionary = wrapper->dictionary(key + ".dictionary");
  ASSERT_TRUE(dictionary);
  const auto entries = Fennix::AnyValue::dictionary(*dictionary);
  ASSERT_NE(entries.lookup("when"), nullptr);
  ASSERT_TRUE(entries.lookup("when")->object<Fennix::Date>());
  EXPECT_EQ(entries.lookup("when")->object<Fennix::Date>()->time_since_epoch().count(), 812345678.5);
  ASSERT_NE(entries.lookup("blob"), nullptr);
  ASSERT_TRUE(entries.lookup("blob")->object<DefaultsData>());
  EXPECT_EQ(*entries.lookup("blob")->object<DefaultsData>(), (DefaultsData{0, 255, '[', ']'}));
  wrapper->removeListener(listener);
}

namespace {
// Made before main() and destroyed when the process exits.
const std::string exitWitness(64, 'w');
}  // namespace

TEST_F(RelayTests, ACallbackUnderWayWhenTheProcessExitsFinishesBeforeStaticObjectsGo) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // the child needs a watching thread of its own
  const std::string name = "exit." + unique_;
  EXPECT_EXIT(
      {
        auto* center = DistributedNotificationCenter::getCenter();
        std::atomic<bool> started{false};
        center->addObserver(name, [&started](const std::string&) {
          started = true;
          // Reads the static object over and over while the process exits.
          auto end = Clock::now() + std::chrono::milliseconds(300);
          while (Clock::now() < end) {
            std::string copy = exitWitness;
            if (copy != std::string(64, 'w')) std::_Exit(3);
          }
        });
        center->post(name);
        while (!started) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}
