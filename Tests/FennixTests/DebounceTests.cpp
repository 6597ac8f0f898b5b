// Debounce and throttle over a scheduler with a clock of its own, and once over the main queue.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "DispatchTestSupport.h"
#include "Fennix/Foundation/Debounce.h"

namespace {

/// Runs work items when the test advances its clock.
class ManualScheduler final : public Fennix::DelayScheduler {
 public:
  double now() const override { return now_; }
  void async(const std::shared_ptr<DispatchWorkItem>& item) override { asyncAfter(0, item); }
  void asyncAfter(double seconds, const std::shared_ptr<DispatchWorkItem>& item) override {
    queue_.emplace(std::make_pair(now_ + std::max(seconds, 0.0), sequence_++), item);
  }
  /// Moves the clock to `time`, running due items in order.
  void advance(double time) {
    while (!queue_.empty() && queue_.begin()->first.first <= time) {
      auto [key, item] = *queue_.begin();
      queue_.erase(queue_.begin());
      now_ = key.first;
      item->perform();
    }
    now_ = time;
  }
  std::size_t scheduled() const { return queue_.size(); }

 private:
  double now_ = 1000.0;
  long sequence_ = 0;
  std::map<std::pair<double, long>, std::shared_ptr<DispatchWorkItem>> queue_;
};

}  // namespace

TEST(Debounce, RunsOnceAfterTheBurstWithTheLastArgument) {
  auto scheduler = std::make_shared<ManualScheduler>();
  std::vector<std::pair<double, std::string>> runs;
  const auto call = Fennix::debounce<std::string>(
      0.3, scheduler, [&](std::string value) { runs.emplace_back(scheduler->now(), value); });
  call("first");
  scheduler->advance(1000.1);
  call("second");
  scheduler->advance(1000.2);
  call("third");
  scheduler->advance(1000.49);
  EXPECT_TRUE(runs.empty());
  scheduler->advance(1002);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_DOUBLE_EQ(runs[0].first, 1000.5);
  EXPECT_EQ(runs[0].second, "third");
  call("again");  // a later burst runs again
  scheduler->advance(1003);
  EXPECT_EQ(runs.size(), 2u);
}

TEST(Throttle, FirstCallRunsAtOnceAndLaterOnesWaitTheFullDelay) {
  auto scheduler = std::make_shared<ManualScheduler>();
  std::vector<std::pair<double, int>> runs;
  const auto call = Fennix::throttle<int>(1.0, scheduler, [&](int value) { runs.emplace_back(scheduler->now(), value); });
  call(1);  // the last run is in the distant past
  scheduler->advance(1000);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_DOUBLE_EQ(runs[0].first, 1000);

  scheduler->advance(1000.2);
  call(2);  // 0.2 s after the run: a whole second later, not the remaining 0.8 s
  call(3);  // dropped while the run waits
  scheduler->advance(1001.1);
  EXPECT_EQ(runs.size(), 1u);
  scheduler->advance(1001.2);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_DOUBLE_EQ(runs[1].first, 1001.2);
  EXPECT_EQ(runs[1].second, 2);

  scheduler->advance(1002.7);
  call(4);  // 1.5 s after the last run: at once
  scheduler->advance(1002.7);
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_DOUBLE_EQ(runs[2].first, 1002.7);
  EXPECT_EQ(runs[2].second, 4);
}

TEST(Debounce, RunsOnTheMainQueue) {
  int runs = 0;
  const auto call = debounce(std::chrono::duration<double>(0.01), DispatchQueue::main(), [&runs] { ++runs; });
  call();
  call();
  EXPECT_TRUE(FennixTestSupport::runMainLoopUntil([&runs] { return runs == 1; }));
  int throttled = 0;
  const auto limited = throttle(10.0, DispatchQueue::main(), [&throttled] { ++throttled; });
  limited();
  limited();
  EXPECT_TRUE(FennixTestSupport::runMainLoopUntil([&throttled] { return throttled == 1; }));
}
