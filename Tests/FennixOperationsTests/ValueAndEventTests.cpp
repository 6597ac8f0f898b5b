#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <unordered_set>

#include "Fennix/Foundation/BaseTypes/LockedValue.h"
#include "Fennix/Foundation/BaseTypes/TimedValue.h"
#include "Fennix/Foundation/Events/EventListenerSet.h"
#include "Fennix/Operations/AsyncOperation.h"
#include "OperationsTestSupport.h"

using namespace OperationsTestSupport;

namespace {

TEST(EventListenerSet, OnceListenersRunOnceEvenWhenReEntered) {
  EventListenerSet<int> set;
  std::vector<std::string> calls;
  set.once_([&](const int& value) {
    calls.push_back("once " + std::to_string(value));
    if (value == 1) set.emit(2);  // the once list was emptied before anyone was called
  });
  set.on([&](const int& value) { calls.push_back("on " + std::to_string(value)); });
  set.emit(1);
  set.emit(3);
  EXPECT_EQ(calls, (std::vector<std::string>{"once 1", "on 2", "on 1", "on 3"}));

  // A permanent listener added by a once-listener is called in the same emit; one added while
  // the permanent listeners run waits for the next.
  EventListenerSet<int> nested;
  std::vector<std::string> nestedCalls;
  nested.once_([&](const int&) { nested.on([&](const int&) { nestedCalls.push_back("added by once"); }); });
  nested.on([&](const int&) {
    if (nestedCalls.empty()) nested.on([&](const int&) { nestedCalls.push_back("added late"); });
  });
  nested.emit(0);
  EXPECT_EQ(nestedCalls, (std::vector<std::string>{"added by once"}));
}

TEST(EventListenerSet, RemovalByIdentityAndDescriptions) {
  int adds = 0;
  std::size_t countSeenByAdd = 0;
  EventListenerSet<int> set([&](EventListenerSet<int>& owner, const EventListenerSet<int>::ListenerRef&) {
    ++adds;
    countSeenByAdd = owner.listeners.size() + owner.once.size();
  });
  EventListenerSet<int> plain;
  EXPECT_EQ(plain.description(), "<EventListenerSet<Int32> EMPTY>");
  EXPECT_EQ(set.description(), "<EventListenerSet<Int32> EMPTY [add]>");

  auto listener = std::make_shared<CallbackListener<int>>([](const int&) {});
  set.addEventListener(listener, false);
  EXPECT_EQ(countSeenByAdd, 1u);
  EXPECT_EQ(set.description(), "<EventListenerSet<Int32> single-listener=<CallbackListener<Int32>> [add]>");
  set.addEventListener(listener, true);
  EXPECT_EQ(adds, 2);
  EXPECT_EQ(set.description(), "<EventListenerSet<Int32> listeners=#1 once=#1 [add]>");

  set.removeEventListener(std::make_shared<CallbackListener<int>>([](const int&) {}));
  set.removeEventListener(nullptr);
  EXPECT_EQ(set.listeners.size(), 1u);
  set.removeEventListener(listener);
  EXPECT_TRUE(set.listeners.empty());
  EXPECT_EQ(set.once.size(), 1u);
  EXPECT_EQ(set.description(), "<EventListenerSet<Int32> single-once=<CallbackListener<Int32>> [add]>");
  set.removeEventListener(listener);
  EXPECT_TRUE(set.once.empty());
  set.emit(1);  // nobody to call
}

TEST(EventListenerSet, AsyncSetKeepsCallOrderOnItsQueue) {
  DispatchQueue queue("listeners");
  auto set = std::make_shared<AsyncEventListenerSet<int>>(queue);
  std::mutex mutex;
  std::vector<int> received;
  auto listener = std::make_shared<CallbackListener<int>>([&](const int& value) {
    std::lock_guard<std::mutex> lock(mutex);
    received.push_back(value);
  });
  set->addEventListener(listener, false);
  EXPECT_TRUE(set->listeners.empty() || true);  // added later, on the queue
  set->emit(1);
  set->emit(2);
  set->removeEventListener(listener);
  set->emit(3);
  std::atomic<bool> drained{false};
  queue.async([&] { drained = true; });
  ASSERT_TRUE(waitUntil([&] { return drained.load(); }));
  EXPECT_EQ(received, (std::vector<int>{1, 2}));
  EXPECT_NE(set->description().find(" Q=<DispatchQueue: listeners>"), std::string::npos);

  // A queue-bound listener delivers on its own queue, after emit returned.
  EventListenerSet<int> direct;
  DispatchQueue delivery("delivery");
  std::atomic<int> delivered{0};
  delivery.sync([&] {
    direct.on(delivery, [&](const int& value) { delivered = value; });
    direct.emit(7);
    EXPECT_EQ(delivered, 0);
  });
  EXPECT_TRUE(waitUntil([&] { return delivered == 7; }));
}

class Counter : public ChangeObservableObject<std::tuple<>> {
 public:
  EventListenerSet<std::tuple<>>& changeListeners() override { return listeners_; }

 private:
  EventListenerSet<std::tuple<>> listeners_;
};

TEST(EventListenerSet, ChangeObservableObject) {
  Counter counter;
  int changes = 0;
  auto listener = counter.onChange([&](const std::tuple<>&) { ++changes; });
  counter.emitChange();
  counter.removeListener(listener);
  counter.emitChange();
  EXPECT_EQ(changes, 1);
}

TEST(LockedValue, ReturnsPreviousValuesAndLosesNoUpdate) {
  QvLockedValue<int> locked(1);
  EXPECT_EQ(locked.set(2), 1);
  EXPECT_EQ(locked.update([](int value) { return value * 10; }), 2);
  EXPECT_EQ(locked.get(), 20);
  EXPECT_EQ(locked.sync([](int value) { return value + 1; }), 21);
  EXPECT_EQ(locked.get(), 20);

  QvLockedValue<long> counter(0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 2; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) counter.update([](long value) { return value + 1; });
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(counter.get(), 40000);

  QvUnlockedValue<std::string> unlocked("a");
  EXPECT_EQ(unlocked.set("b"), "a");
  EXPECT_EQ(unlocked.update([](std::string value) { return value + "c"; }), "b");
  EXPECT_EQ(unlocked.get(), "bc");
}

struct Named {
  std::string name = "n";
};

TEST(LockedValue, WeakHolderLetsGo) {
  auto object = std::make_shared<Named>();
  QvWeakHolder<Named> holder(object);
  EXPECT_FALSE(holder.isEmpty());
  EXPECT_EQ(holder.map([](Named& named) { return named.name.size(); }), 1u);
  EXPECT_EQ(holder[&Named::name], "n");
  object.reset();
  EXPECT_TRUE(holder.isEmpty());
  EXPECT_EQ(holder.map([](Named& named) { return named.name; }), std::nullopt);
  EXPECT_EQ(holder[&Named::name], std::nullopt);
}

TEST(LockedValue, WeakHoldersAreEmptyableLikeOtherValues) {
  static_assert(QvObjectThatCanBeEmpty<QvWeakHolder<Named>>);
  auto kept = std::make_shared<Named>();
  auto released = std::make_shared<Named>();
  std::vector<QvWeakHolder<Named>> holders{QvWeakHolder<Named>(released), QvWeakHolder<Named>(kept),
                                           QvWeakHolder<Named>(released)};
  EXPECT_FALSE(isEmpty(holders[0]));
  released.reset();
  EXPECT_TRUE(isEmpty(holders[0]));
  dropEmpty(holders);
  ASSERT_EQ(holders.size(), 1u);
  EXPECT_EQ(holders[0].value.lock(), kept);
}

TEST(TimedValue, AgeMapDescriptionAndCoding) {
  const auto now = Fennix::DateClock::now();
  TimedValue<int> future(1, now + std::chrono::hours(1));
  EXPECT_LT(future.ageInSeconds(), 0);
  auto mapped = future.map([](const int& value) { return std::to_string(value); });
  EXPECT_EQ(mapped.timestamp, future.timestamp);
  EXPECT_EQ(mapped.value, "1");

  TimedValue<int> reference(5, Fennix::dateFromStoredSeconds(0));
  EXPECT_EQ(reference.description(), "<5 @2001-01-01T00:00:00Z>");
  EXPECT_NE(std::hash<TimedValue<int>>()(reference), std::hash<TimedValue<int>>()(future));

  TimedValue<std::string> original("v", Fennix::dateFromStoredSeconds(12.5));
  nlohmann::json json = original;
  EXPECT_EQ(json, nlohmann::json::parse(R"({"timestamp": 12.5, "value": "v"})"));
  EXPECT_EQ(json.get<TimedValue<std::string>>(), original);

  // A stored time stamp near the far end of the clock's range still has an age.
  auto ancient = nlohmann::json::parse(R"({"timestamp": -9.5e9, "value": "x"})").get<TimedValue<std::string>>();
  EXPECT_GT(ancient.ageInSeconds(), 9.5e9);
  EXPECT_LT(ancient.ageInSeconds(), 9.5e9 + 3.0e9);

  auto extra = nlohmann::json::parse(R"({"timestamp": 1, "value": "x", "other": true})");
  EXPECT_EQ(extra.get<TimedValue<std::string>>().value, "x");
  EXPECT_ANY_THROW(nlohmann::json::parse(R"({"value": "x"})").get<TimedValue<std::string>>());
  EXPECT_ANY_THROW(nlohmann::json::parse(R"({"timestamp": "soon", "value": "x"})").get<TimedValue<std::string>>());
  EXPECT_ANY_THROW(nlohmann::json::parse(R"({"timestamp": 1})").get<TimedValue<std::string>>());
}

TEST(TimedValue, EveryDateSurvivesItsCoding) {
  // The current time, taken afresh each round, as a cache stamps its values.
  for (int round = 0; round < 2000; ++round) {
    const TimedValue<int> stamped(round, Fennix::DateClock::now());
    const nlohmann::json json = stamped;
    EXPECT_EQ(nlohmann::json::parse(json.dump()).get<TimedValue<int>>(), stamped) << json.dump();
  }
  // Times from the system clock at nanosecond steps, near 2001 (finer than a nanosecond in the
  // stored form), now, and near both ends of the dates kept.
  for (const long long unix : {978307200LL, 978307199LL, 1800000000LL, 8999999999LL, -8999999999LL}) {
    for (long long nanoseconds = 0; nanoseconds < 1000; nanoseconds += 7) {
      const auto system = std::chrono::system_clock::time_point(std::chrono::seconds(unix)) +
                          std::chrono::duration_cast<std::chrono::system_clock::duration>(std::chrono::nanoseconds(nanoseconds));
      const TimedValue<std::string> stamped("v", Fennix::DateClock::fromSystem(system));
      const nlohmann::json json = stamped;
      const auto decoded = nlohmann::json::parse(json.dump()).get<TimedValue<std::string>>();
      ASSERT_EQ(decoded, stamped) << json.dump();
      ASSERT_EQ(std::hash<TimedValue<std::string>>()(decoded), std::hash<TimedValue<std::string>>()(stamped));
    }
  }
  // A date that is not a number fails to store, rather than storing something unreadable.
  EXPECT_ANY_THROW(nlohmann::json(TimedValue<int>(1, Fennix::Date(Fennix::DateClock::duration(std::nan(""))))));
  EXPECT_ANY_THROW(nlohmann::json(TimedValue<int>(1, Fennix::Date(Fennix::DateClock::duration(INFINITY)))));
  // Conversions to and from the whole seconds of the C library.
  EXPECT_EQ(Fennix::DateClock::unixSeconds(Fennix::DateClock::fromUnixSeconds(1800000000)), 1800000000);
  EXPECT_EQ(Fennix::DateClock::unixSeconds(Fennix::dateFromStoredSeconds(-0.5)), 978307199);
  EXPECT_EQ(Fennix::iso8601String(Fennix::DateClock::fromUnixSeconds(2000000000)), "2033-05-18T03:33:20Z");
}

TEST(TimedValue, AnyFiniteDateIsStoredAndDescribed) {
  // Far past and far future, the usual "distant future" sentinel among them, each at a moment of
  // the day so that the time of day is checked too.
  const struct {
    long long unix;
    const char* text;
  } dates[] = {
      {-62135596800LL + 3723, "0001-01-01T01:02:03Z"},
      {-11676096000LL + 86399, "1600-01-01T23:59:59Z"},
      {-11670912000LL, "1600-03-01T00:00:00Z"},  // after the leap day of a year divisible by 400
      {951782400LL, "2000-02-29T00:00:00Z"},
      {64092211200LL, "4001-01-01T00:00:00Z"},
      {-62167219200LL - 1, "-0001-12-31T23:59:59Z"},
  };
  for (const auto& date : dates) {
    const TimedValue<std::string> stamped("v", Fennix::DateClock::fromUnixSeconds(date.unix));
    EXPECT_EQ(stamped.description(), std::string("<v @") + date.text + ">");
    const nlohmann::json json = stamped;
    EXPECT_EQ(nlohmann::json::parse(json.dump()).get<TimedValue<std::string>>(), stamped) << json.dump();
  }
  // Beyond any calendar's use the date still stores exactly and describes itself with some year.
  const TimedValue<int> huge(1, Fennix::dateFromStoredSeconds(1e300));
  EXPECT_EQ(nlohmann::json::parse(nlohmann::json(huge).dump()).get<TimedValue<int>>(), huge);
  EXPECT_NE(huge.description().find("T"), std::string::npos) << huge.description();
  EXPECT_NE(huge.description(), "<1 @>");
  // Its year is written out in full: as many digits as 1e300 seconds hold Gregorian years.
  const std::string text = huge.description();
  const auto yearStart = text.find('@') + 1;
  const std::string year = text.substr(yearStart, text.find('-', yearStart) - yearStart);
  const double years = (1e300 + 978307200.0) / (365.2425 * 86400.0);
  const auto digits = static_cast<std::size_t>(std::floor(std::log10(years))) + 1;
  EXPECT_EQ(year.size(), digits) << text;
  EXPECT_EQ(year.find_first_not_of("0123456789"), std::string::npos) << year;
  EXPECT_EQ(year.substr(0, 3), "316") << year;
}

}  // namespace

namespace {

class Unfinished : public QvAsyncOperation {};

TEST(ProgrammingErrorsDeathTest, StopWithTheirMessage) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(Listener<int>().emit(1), "subclassResponsibility: emit\\(_:\\)");
  EXPECT_DEATH(std::make_shared<Unfinished>()->start(),
               "subclass must override: asyncMain\\(finished:\\) in operation: <Unfinished>");
}

}  // namespace
