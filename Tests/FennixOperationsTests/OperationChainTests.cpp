// Long chains of operations, each depending on the one before: a finished part of a chain is
// freed as the chain runs, and letting go of a chain, finished or not, takes no deep recursion.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "Fennix/Operations/Operation.h"
#include "OperationsTestSupport.h"

using namespace OperationsTestSupport;

namespace {

/// A block operation that counts the operations of its kind alive.
class CountedOperation : public NSBlockOperation {
 public:
  explicit CountedOperation(std::atomic<long>& alive, std::function<void()> block = nullptr)
      : NSBlockOperation(std::move(block)), alive_(alive) {
    ++alive_;
  }
  ~CountedOperation() override { --alive_; }

 private:
  std::atomic<long>& alive_;
};

// Far longer than any stack allows when freed one inside the other.
constexpr long longChain = 1'000'000;

TEST(OperationChain, FinishedOperationsAreFreedAsTheChainRuns) {
  std::atomic<long> alive{0};
  long mostAlive = 0;
  // The sanitizer build runs a shorter chain, still far longer than its stack allows.
  const long length = sanitizedBuild ? 250'000 : longChain;
  std::shared_ptr<NSOperation> previous = std::make_shared<CountedOperation>(alive);
  for (long i = 1; i < length; ++i) {
    auto next = std::make_shared<CountedOperation>(alive);
    next->addDependency(previous);
    EXPECT_FALSE(next->isReady());
    previous->start();
    ASSERT_TRUE(next->isReady());
    if (i == 1) {
      // A finished dependency is still reported while something holds it.
      EXPECT_EQ(next->dependencies(), (std::vector<std::shared_ptr<NSOperation>>{previous}));
    }
    previous = next;
    mostAlive = std::max(mostAlive, alive.load());
  }
  previous->start();
  EXPECT_TRUE(previous->dependencies().empty());
  EXPECT_LE(mostAlive, 2);
  previous.reset();
  EXPECT_EQ(alive, 0);
}

TEST(OperationChain, ChainThatNeverRanIsFreedWithoutRecursion) {
  // Each operation holds the unfinished one before it, so the last holds the whole chain.
  std::atomic<long> alive{0};
  const long length = sanitizedBuild ? 100'000 : 300'000;
  std::shared_ptr<NSOperation> last = std::make_shared<CountedOperation>(alive);
  std::weak_ptr<NSOperation> first = last;
  for (long i = 1; i < length; ++i) {
    auto next = std::make_shared<CountedOperation>(alive);
    next->addDependency(last);
    last = next;
  }
  EXPECT_EQ(alive, length);
  EXPECT_FALSE(first.expired());
  last.reset();
  EXPECT_EQ(alive, 0);
}

TEST(OperationChain, QueuedChainRunsInOrderAndLetsGoOfWhatFinished) {
  // The chain is queued at once; while its last operation runs, the ones before it are gone, and
  // the pool thread that drops the last one frees it without recursion.
  std::atomic<long> alive{0};
  const long length = sanitizedBuild ? 50'000 : 200'000;
  auto queue = std::make_shared<NSOperationQueue>();
  std::atomic<long> ran{0};
  std::atomic<bool> inOrder{true};
  std::atomic<long> aliveInLast{-1};
  std::vector<std::shared_ptr<NSOperation>> chain;
  chain.reserve(static_cast<std::size_t>(length));
  for (long i = 0; i < length; ++i) {
    std::function<void()> block = [&ran, &inOrder, i] {
      if (ran.fetch_add(1) != i) inOrder = false;
    };
    if (i == length - 1) {
      block = [&ran, &alive, &aliveInLast, &inOrder, i] {
        if (ran.fetch_add(1) != i) inOrder = false;
        // The operations before may still be on their way out of the queue's threads.
        waitUntil([&] { return alive.load() <= 2; });
        aliveInLast = alive.load();
      };
    }
    auto operation = std::make_shared<CountedOperation>(alive, std::move(block));
    if (i > 0) operation->addDependency(chain.back());
    chain.push_back(std::move(operation));
  }
  // Queued last to first, so that the order of adding does not decide the run order.
  queue->setSuspended(true);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) queue->addOperation(*it);
  chain.clear();
  EXPECT_EQ(alive, length);
  queue->setSuspended(false);
  queue->waitUntilAllOperationsAreFinished();
  EXPECT_TRUE(waitUntil([&] { return alive.load() == 0; }));
  EXPECT_EQ(ran, length);
  EXPECT_TRUE(inOrder);
  EXPECT_LE(aliveInLast, 2);
}

}  // namespace
