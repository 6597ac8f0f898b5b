#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <thread>

#include "Fennix/Operations/AsyncOperation.h"
#include "Fennix/Operations/OperationProtocols.h"
#include "OperationsTestSupport.h"

using namespace OperationsTestSupport;

namespace {

using IntOperation = TestOutputOperation<int>;

const std::vector<std::string> readyToExecuting = {"will isReady", "will isExecuting", "did isReady",
                                                   "did isExecuting"};
const std::vector<std::string> readyToFinished = {"will isReady", "will isFinished", "did isReady", "did isFinished"};
const std::vector<std::string> executingToFinished = {"will isExecuting", "will isFinished", "did isExecuting",
                                                      "did isFinished"};

TEST(AsyncOperation, StatesAndNoticesOfEachTransition) {
  EXPECT_EQ(QvAsyncOperation::stateFromRawValue("isExecuting"), QvAsyncOperation::State::isExecuting);
  EXPECT_EQ(QvAsyncOperation::stateFromRawValue("executing"), std::nullopt);

  auto operation = std::make_shared<IntOperation>();
  NoticeRecorder recorder(*operation);
  EXPECT_TRUE(operation->isReady());
  EXPECT_TRUE(operation->isAsynchronous());

  operation->start();
  EXPECT_EQ(recorder.notices(), readyToExecuting);
  EXPECT_EQ(operation->mainCalls, 1);
  EXPECT_TRUE(operation->isExecuting());
  EXPECT_FALSE(operation->isReady());

  // Cancelling with the base asyncCancel leaves it executing until it finishes.
  recorder.clear();
  operation->cancel();
  EXPECT_TRUE(operation->isCancelled());
  EXPECT_TRUE(operation->isExecuting());
  EXPECT_TRUE(recorder.notices().empty());

  operation->finish();
  EXPECT_EQ(recorder.notices(), executingToFinished);
  EXPECT_TRUE(operation->isFinished());

  // Finishing again, or starting again, notifies nobody and does no work.
  recorder.clear();
  operation->finish();
  operation->start();
  EXPECT_TRUE(recorder.notices().empty());
  EXPECT_EQ(operation->mainCalls, 1);
}

TEST(AsyncOperation, CancelledBeforeStartFinishesWithoutWork) {
  auto operation = std::make_shared<IntOperation>();
  NoticeRecorder recorder(*operation);
  operation->cancel();
  recorder.clear();
  operation->start();
  EXPECT_EQ(recorder.notices(), readyToFinished);
  EXPECT_EQ(operation->mainCalls, 0);
  EXPECT_TRUE(operation->isFinished());

  auto unstarted = std::make_shared<IntOperation>();
  NoticeRecorder unstartedRecorder(*unstarted);
  unstarted->finish();
  EXPECT_EQ(unstartedRecorder.notices(), readyToFinished);
}

TEST(AsyncOperation, FinishingFromManyThreadsCompletesOnce) {
  for (int round = 0; round < 200; ++round) {
    auto operation = std::make_shared<IntOperation>();
    std::atomic<int> finishedNotices{0};
    std::atomic<int> completions{0};
    operation->addObserver([&](const std::string& key, KeyValueChange change) {
      if (key == "isFinished" && change == KeyValueChange::did) ++finishedNotices;
    });
    operation->setCompletionBlock([&] { ++completions; });
    operation->start();
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
      threads.emplace_back([&, i] {
        while (!go) std::this_thread::yield();
        if (i == 0) {
          operation->cancel();
        } else {
          operation->finish();
        }
      });
    }
    go = true;
    for (auto& thread : threads) thread.join();
    operation->finish();
    ASSERT_EQ(finishedNotices, 1) << "round " << round;
    ASSERT_EQ(completions, 1) << "round " << round;
  }
}

// Its work ends on a thread of its own that knows only the operation's address and finishes once
// the queue's reference is the last one: the queue lets go of it while the operation still
// announces that it finished.
class FinishesOnItsOwnThread : public QvAsyncOperation {
 public:
  FinishesOnItsOwnThread(std::thread& worker, std::atomic<bool>& handedOver, std::atomic<bool>& destroyed)
      : worker_(worker), handedOver_(handedOver), destroyed_(destroyed) {}
  ~FinishesOnItsOwnThread() override { destroyed_ = true; }
  void asyncMain(std::function<void()>) override {
    std::weak_ptr<NSOperation> weak = weak_from_this();
    worker_ = std::thread([this, weak] {
      while (weak.use_count() > 1) std::this_thread::yield();
      finish();
    });
    handedOver_ = true;
  }

 private:
  std::thread& worker_;
  std::atomic<bool>& handedOver_;
  std::atomic<bool>& destroyed_;
};

TEST(AsyncOperation, FinishingFromAThreadHoldingOnlyTheOperationKeepsItAliveUntilDone) {
  auto queue = std::make_shared<NSOperationQueue>();
  std::thread worker;
  std::atomic<bool> handedOver{false};
  std::atomic<bool> destroyed{false};
  std::atomic<bool> completed{false};
  {
    auto operation = std::make_shared<FinishesOnItsOwnThread>(worker, handedOver, destroyed);
    operation->setCompletionBlock([&completed] { completed = true; });
    queue->addOperation(operation);
  }
  queue->waitUntilAllOperationsAreFinished();
  while (!handedOver) std::this_thread::yield();
  worker.join();
  EXPECT_TRUE(completed);
  EXPECT_TRUE(destroyed);
}

/// Counts the calls of its work and of its cancellation hook.
class CancelCountingOperation : public QvAsyncOperation {
 public:
  void asyncMain(std::function<void()>) override { ++mainCalls; }
  void asyncCancel() override { ++cancelCalls; }
  std::atomic<int> mainCalls{0};
  std::atomic<int> cancelCalls{0};
};

// A cancel and a start that overlap: whichever order their steps take, work that began is told
// of the cancellation exactly once. The two interleavings that lost it are forced through the
// change notices, which run in the middle of each call.
TEST(AsyncOperation, CancelOverlappingStartIsNeverLost) {
  // The cancel is under way (its flag not yet stored) while the start runs to its end.
  {
    auto operation = std::make_shared<CancelCountingOperation>();
    std::thread starter;
    operation->addObserver([&](const std::string& key, KeyValueChange change) {
      if (key != "isCancelled" || change != KeyValueChange::will) return;
      CancelCountingOperation* raw = operation.get();
      starter = std::thread([raw] { raw->start(); });
      EXPECT_TRUE(waitUntil([raw] { return raw->mainCalls == 1; }));
    });
    operation->cancel();
    starter.join();
    EXPECT_EQ(operation->mainCalls, 1);
    EXPECT_EQ(operation->cancelCalls, 1);
    EXPECT_TRUE(operation->isExecuting());
  }
  // The start is under way (the state not yet stored) while the cancel runs to its end.
  {
    auto operation = std::make_shared<CancelCountingOperation>();
    operation->addObserver([&](const std::string& key, KeyValueChange change) {
      if (key != "isExecuting" || change != KeyValueChange::will) return;
      CancelCountingOperation* raw = operation.get();
      std::thread([raw] { raw->cancel(); }).join();
    });
    operation->start();
    EXPECT_TRUE(operation->isCancelled());
    EXPECT_EQ(operation->cancelCalls, 1);
    EXPECT_EQ(operation->mainCalls, 1);
  }
  // Released together, many times: never lost, never told twice.
  for (int round = 0; round < 300; ++round) {
    auto operation = std::make_shared<CancelCountingOperation>();
    runTogether([&] { operation->start(); }, [&] { operation->cancel(); });
    if (operation->mainCalls == 0) {
      ASSERT_TRUE(operation->isFinished()) << "round " << round;
      ASSERT_EQ(operation->cancelCalls, 0) << "round " << round;
    } else {
      ASSERT_EQ(operation->cancelCalls, 1) << "round " << round;
    }
  }
}

TEST(AsyncOperation, ReadinessWaitsForDependencies) {
  auto first = std::make_shared<IntOperation>();
  auto second = std::make_shared<IntOperation>();
  second->addDependency(first);
  EXPECT_EQ(second->state(), QvAsyncOperation::State::isReady);
  EXPECT_FALSE(second->isReady());
  NoticeRecorder recorder(*second);
  first->finish();
  EXPECT_TRUE(second->isReady());
  EXPECT_EQ(recorder.notices(), (std::vector<std::string>{"will isReady", "did isReady"}));
}

TEST(AsyncOperation, QueueRunsDependentOperationsInOrderAndWaits) {
  auto queue = std::make_shared<NSOperationQueue>();
  std::mutex mutex;
  std::vector<int> order;
  auto record = [&](int value) {
    std::lock_guard<std::mutex> lock(mutex);
    order.push_back(value);
  };
  auto first = std::make_shared<IntOperation>([&](IntOperation& op) {
    std::thread([&op, &record] {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      record(1);
      op.finishWith(1);
    }).detach();
  });
  auto second = std::make_shared<IntOperation>([&](IntOperation& op) {
    record(2);
    op.finishWith(2);
  });
  auto third = std::make_shared<NSBlockOperation>([&] { record(3); });
  std::vector<std::shared_ptr<QvOperationType>> chain{first, second, third};
  serializeOperations(chain);
  EXPECT_EQ(third->dependencies(), (std::vector<std::shared_ptr<NSOperation>>{second}));
  EXPECT_EQ(second->dependencies(), (std::vector<std::shared_ptr<NSOperation>>{first}));
  EXPECT_TRUE(first->dependencies().empty());

  queue->addOperation(third);
  queue->addOperation(second);
  queue->addOperation(first);
  third->waitUntilFinished();
  queue->waitUntilAllOperationsAreFinished();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(queue->operationCount(), 0u);
}

TEST(OperationQueue, StartsReadyOperationsByPriorityAndLetsWaitingOnesProgress) {
  ConsoleCapture capture;
  // One at a time, queued while suspended: the highest priority first; an operation that got a
  // dependency after it was queued waits for it; a cancelled one does not wait for its own.
  auto queue = std::make_shared<NSOperationQueue>();
  queue->setMaxConcurrentOperationCount(1);
  queue->setSuspended(true);
  std::mutex mutex;
  std::vector<std::string> order;
  const auto recording = [&](const std::string& name, NSOperationQueuePriority priority) {
    auto operation = std::make_shared<NSBlockOperation>([&, name] {
      std::lock_guard<std::mutex> lock(mutex);
      order.push_back(name);
    });
    operation->setQueuePriority(priority);
    queue->addOperation(operation);
    return operation;
  };
  auto normal = recording("normal", NSOperationQueuePriority::normal);
  auto low = recording("low", NSOperationQueuePriority::low);
  auto high = recording("high", NSOperationQueuePriority::veryHigh);
  auto gated = recording("gated", NSOperationQueuePriority::veryHigh);
  auto cancelled = recording("cancelled", NSOperationQueuePriority::normal);
  auto gate = std::make_shared<IntOperation>();
  auto never = std::make_shared<IntOperation>();
  gated->addDependency(gate);
  cancelled->addDependency(never);
  cancelled->cancel();
  queue->addOperation(normal);
  EXPECT_EQ(capture.logger->matching("operation is already in this queue:").size(), 1u);
  EXPECT_EQ(queue->operationCount(), 5u);

  queue->setSuspended(false);
  ASSERT_TRUE(waitUntil([&] { return queue->operationCount() == 1; }));
  EXPECT_FALSE(gated->isFinished());
  gate->finish();
  queue->waitUntilAllOperationsAreFinished();
  EXPECT_EQ(order, (std::vector<std::string>{"high", "normal", "low", "gated"}));
  EXPECT_TRUE(cancelled->isFinished());

  // Without a limit, operations that wait for each other all get to run.
  auto open = std::make_shared<NSOperationQueue>();
  constexpr int count = 16;
  std::atomic<int> started{0};
  std::atomic<int> metAll{0};
  for (int i = 0; i < count; ++i) {
    open->addOperation([&] {
      ++started;
      if (waitUntil([&] { return started == count; })) ++metAll;
    });
  }
  open->waitUntilAllOperationsAreFinished();
  EXPECT_EQ(metAll, count);
}

TEST(OperationQueue, PriorityChangedWhileWaitingDecidesTheOrder) {
  // One at a time: while the first runs, the others wait; their priorities change meanwhile.
  auto queue = std::make_shared<NSOperationQueue>();
  queue->setMaxConcurrentOperationCount(1);
  std::mutex mutex;
  std::vector<std::string> order;
  std::atomic<bool> release{false};
  std::atomic<bool> blocking{false};
  queue->addOperation([&] {
    blocking = true;
    EXPECT_TRUE(waitUntil([&] { return release.load(); }));
  });
  ASSERT_TRUE(waitUntil([&] { return blocking.load(); }));
  std::map<std::string, std::shared_ptr<NSBlockOperation>> added;
  for (const std::string name : {"a", "b", "c", "d"}) {
    added[name] = queue->addOperation([&, name] {
      std::lock_guard<std::mutex> lock(mutex);
      order.push_back(name);
    });
  }
  // Not yet ready when its priority changes: it is filed under the new one once it is.
  auto gate = std::make_shared<NSBlockOperation>();
  auto gated = std::make_shared<NSBlockOperation>([&] {
    std::lock_guard<std::mutex> lock(mutex);
    order.push_back("gated");
  });
  gated->addDependency(gate);
  queue->addOperation(gated);
  gated->setQueuePriority(NSOperationQueuePriority::high);
  gate->start();

  added["c"]->setQueuePriority(NSOperationQueuePriority::veryHigh);
  added["a"]->setQueuePriority(NSOperationQueuePriority::low);
  added["d"]->setQueuePriority(NSOperationQueuePriority::high);
  added["d"]->setQueuePriority(NSOperationQueuePriority::normal);  // back: now after "b"
  added["b"]->setQueuePriority(NSOperationQueuePriority::normal);  // unchanged: keeps its place
  release = true;
  queue->waitUntilAllOperationsAreFinished();
  EXPECT_EQ(order, (std::vector<std::string>{"c", "gated", "b", "d", "a"}));
}

TEST(OperationProtocols, FailingKeepsTheFirstErrorAndFinishes) {
  ConsoleCapture capture;
  auto operation = std::make_shared<IntOperation>();
  operation->start();
  auto first = std::make_shared<Fennix::MessageError>("first");
  operation->fail(first);
  EXPECT_TRUE(operation->isCancelled());
  EXPECT_TRUE(operation->isFinished());
  EXPECT_TRUE(capture.logger->matching("fail but error already set?").empty());

  operation->fail(QvOperationError::cancelled());
  EXPECT_EQ(operation->error(), first);
  EXPECT_EQ(capture.logger->matching("fail but error already set?").size(), 1u);

  operation->finishWith(5);
  EXPECT_EQ(operation->output(), std::nullopt);
  EXPECT_EQ(operation->error(), first);

  auto succeeding = std::make_shared<IntOperation>();
  succeeding->finishWith(1);
  succeeding->finishWith(2);
  EXPECT_EQ(succeeding->output(), 1);
}

TEST(OperationProtocols, SyncRunReturnsOutputOrThrows) {
  auto succeeding = std::make_shared<IntOperation>([](IntOperation& op) { op.setOutput(7); });
  EXPECT_EQ(succeeding->syncRun(), 7);

  auto failing = std::make_shared<IntOperation>([](IntOperation& op) { op.setError(QvOperationError::notImplemented()); });
  try {
    failing->syncRun();
    FAIL() << "no error thrown";
  } catch (const Fennix::ThrownError& thrown) {
    EXPECT_TRUE(isOperationError<QvOperationError::NotImplemented>(thrown.error()));
  }

  auto empty = std::make_shared<IntOperation>();
  try {
    empty->syncRun();
    FAIL() << "no error thrown";
  } catch (const Fennix::ThrownError& thrown) {
    EXPECT_TRUE(isAdapterError<QvAdapterOperationError::MissingInputValueWithoutError>(thrown.error()));
  }

  EmptyResumable nothing;
  nothing.resume();
  auto resumed = std::make_shared<IntOperation>();
  std::shared_ptr<QvResumable> resumable = resumed;
  resumable->resume();
  EXPECT_EQ(resumed->mainCalls, 1);
}

TEST(OperationProtocols, OperationErrorsCompound) {
  auto other = std::make_shared<Fennix::MessageError>("other");
  QvOperationError error(QvOperationError::Cancelled{});
  auto firstOfPlain = error.first();
  EXPECT_TRUE(isOperationError<QvOperationError::Cancelled>(firstOfPlain));

  error.add(other);
  ASSERT_TRUE(error.is<QvOperationError::Compound>());
  EXPECT_TRUE(isOperationError<QvOperationError::Cancelled>(error.first()));
  error.add(QvOperationError::lostWeak());
  const auto& compound = std::get<QvOperationError::Compound>(error.value());
  ASSERT_EQ(compound.followUp.size(), 2u);
  EXPECT_EQ(compound.followUp[0], other);
  EXPECT_TRUE(isOperationError<QvOperationError::LostWeak>(compound.followUp[1]));
  EXPECT_EQ(error.description(), "compound(first: cancelled, followUp: [other, lostWeak])");
}

}  // namespace
