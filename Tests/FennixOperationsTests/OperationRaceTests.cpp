// Operations and queues under racing threads: dependencies that finish while they are added or
// removed, priorities that change while the queue starts operations, one operation offered to two
// queues at once. Each race is forced in both orders, then run for many rounds.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "Fennix/Operations/Operation.h"
#include "OperationsTestSupport.h"

using namespace OperationsTestSupport;

namespace {

TEST(OperationRaces, DependencyFinishingWhileItIsAddedOrRemoved) {
  // In both orders first, then at the same moment: the dependent ends up ready, and lets go of
  // the dependency once it has run itself.
  const auto addWhileFinishing = [](int order) {
    auto dependency = std::make_shared<NSBlockOperation>();
    auto dependent = std::make_shared<NSBlockOperation>();
    std::weak_ptr<NSOperation> weakDependency = dependency;
    const auto finishIt = [&] { dependency->start(); };
    const auto addIt = [&] { dependent->addDependency(dependency); };
    if (order == 0) {
      finishIt();
      addIt();
    } else if (order == 1) {
      addIt();
      EXPECT_FALSE(dependent->isReady());
      finishIt();
    } else {
      runTogether(finishIt, addIt);
    }
    EXPECT_TRUE(dependent->isReady());
    dependency.reset();
    EXPECT_EQ(dependent->dependencies().size(), 1u);  // held until the dependent finished
    dependent->start();
    EXPECT_TRUE(weakDependency.expired());
    EXPECT_TRUE(dependent->dependencies().empty());
  };
  addWhileFinishing(0);
  addWhileFinishing(1);
  for (int round = 0; round < 300; ++round) addWhileFinishing(2);

  const auto removeWhileFinishing = [](bool together) {
    auto dependency = std::make_shared<NSBlockOperation>();
    auto other = std::make_shared<NSBlockOperation>();
    auto dependent = std::make_shared<NSBlockOperation>();
    dependent->addDependency(dependency);
    dependent->addDependency(other);
    const auto finishIt = [&] { dependency->start(); };
    const auto removeIt = [&] { dependent->removeDependency(dependency); };
    if (together) {
      runTogether(finishIt, removeIt);
    } else {
      removeIt();
      finishIt();
    }
    EXPECT_EQ(dependent->dependencies(), (std::vector<std::shared_ptr<NSOperation>>{other}));
    EXPECT_FALSE(dependent->isReady());
    other->start();
    EXPECT_TRUE(dependent->isReady());
  };
  removeWhileFinishing(false);
  for (int round = 0; round < 300; ++round) removeWhileFinishing(true);

  // The same dependency added on two threads at once is one dependency, counted once.
  for (int round = 0; round < 300; ++round) {
    auto dependency = std::make_shared<NSBlockOperation>();
    auto dependent = std::make_shared<NSBlockOperation>();
    const auto addIt = [&] { dependent->addDependency(dependency); };
    runTogether(addIt, addIt);
    ASSERT_EQ(dependent->dependencies().size(), 1u);
    dependency->start();
    ASSERT_TRUE(dependent->isReady());
  }
}

TEST(OperationRaces, DependencyGoneIsNotMistakenForANewOne) {
  // A finished operation lets go of its dependencies; a new operation may then take the place in
  // memory of one that is gone (its memory is freed apart from its shared count): it is a
  // dependency of its own.
  for (int round = 0; round < 100; ++round) {
    auto dependent = std::make_shared<NSBlockOperation>();
    std::shared_ptr<NSBlockOperation> dependency(new NSBlockOperation());
    dependent->addDependency(dependency);
    dependency->start();
    dependent->start();
    dependency.reset();
    ASSERT_TRUE(dependent->dependencies().empty());
    std::shared_ptr<NSBlockOperation> next(new NSBlockOperation());
    dependent->addDependency(next);
    ASSERT_EQ(dependent->dependencies(), (std::vector<std::shared_ptr<NSOperation>>{next}));
    dependent->removeDependency(next);
    ASSERT_TRUE(dependent->dependencies().empty());
  }
}

TEST(OperationRaces, PriorityChangesWhileTheQueueStartsOperations) {
  // An operation that changes its own priority as it runs is not filed again.
  auto queue = std::make_shared<NSOperationQueue>();
  queue->setMaxConcurrentOperationCount(1);
  std::atomic<int> runs{0};
  std::shared_ptr<NSBlockOperation> self;
  self = std::make_shared<NSBlockOperation>([&] {
    ++runs;
    self->setQueuePriority(NSOperationQueuePriority::veryHigh);
  });
  queue->addOperation(self);
  queue->waitUntilAllOperationsAreFinished();
  EXPECT_EQ(runs, 1);
  self.reset();

  // Priorities toggled on another thread all the while: each operation runs once and the queue
  // empties.
  constexpr int count = 400;
  std::vector<std::shared_ptr<NSBlockOperation>> operations;
  std::vector<std::atomic<int>> ran(count);
  queue->setMaxConcurrentOperationCount(2);
  queue->setSuspended(true);
  for (int i = 0; i < count; ++i) operations.push_back(queue->addOperation([&ran, i] { ++ran[i]; }));
  std::atomic<bool> stop{false};
  std::thread toggler([&] {
    for (int pass = 0; !stop; ++pass) {
      for (int i = 0; i < count; ++i) {
        operations[static_cast<std::size_t>(i)]->setQueuePriority((i + pass) % 2 == 0 ? NSOperationQueuePriority::high
                                                                                       : NSOperationQueuePriority::low);
      }
    }
  });
  queue->setSuspended(false);
  queue->waitUntilAllOperationsAreFinished();
  stop = true;
  toggler.join();
  for (int i = 0; i < count; ++i) EXPECT_EQ(ran[static_cast<std::size_t>(i)], 1) << i;
}

TEST(OperationRaces, OneOperationOfferedToTwoQueues) {
  ConsoleCapture capture;
  // One after the other, then at the same moment: one queue takes it, the other refuses it.
  for (int round = 0; round < 200; ++round) {
    auto first = std::make_shared<NSOperationQueue>();
    auto second = std::make_shared<NSOperationQueue>();
    first->setSuspended(true);
    second->setSuspended(true);
    std::atomic<int> runs{0};
    auto operation = std::make_shared<NSBlockOperation>([&] { ++runs; });
    if (round == 0) {
      first->addOperation(operation);
      second->addOperation(operation);
    } else {
      runTogether([&] { first->addOperation(operation); }, [&] { second->addOperation(operation); });
    }
    ASSERT_EQ(first->operationCount() + second->operationCount(), 1u);
    first->setSuspended(false);
    second->setSuspended(false);
    operation->waitUntilFinished();
    first->waitUntilAllOperationsAreFinished();
    second->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(runs, 1);
  }
  EXPECT_EQ(capture.logger->matching("operation is already in another queue:").size(), 200u);
}

}  // namespace
