#include <gtest/gtest.h>

#include <algorithm>
#include <any>
#include <atomic>
#include <thread>

#include "Fennix/Operations/AdapterOperation.h"
#include "Fennix/Operations/ArrayBlockOperation.h"
#include "Fennix/Operations/GroupOperation.h"
#include "OperationsTestSupport.h"

using namespace OperationsTestSupport;

namespace {

using IntOperation = TestOutputOperation<int>;
using StringOperation = TestOutputOperation<std::string>;

TEST(GroupOperation, EmptyGroupFinishesAtStartAndGroupOfOneSerialises) {
  auto empty = std::make_shared<QvGroupOperation>(std::string("empty"));
  EXPECT_TRUE(empty->Q()->isSuspended());
  EXPECT_EQ(empty->Q()->name(), "empty");
  empty->start();
  ASSERT_TRUE(waitUntil([&] { return empty->isFinished(); }));

  auto group = std::make_shared<QvGroupOperation>(std::nullopt, 1);
  std::atomic<int> running{0};
  std::atomic<int> maximum{0};
  std::atomic<int> ran{0};
  for (int i = 0; i < 6; ++i) {
    group->add([&] {
      int now = ++running;
      int seen = maximum;
      while (now > seen && !maximum.compare_exchange_weak(seen, now)) {
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      --running;
      ++ran;
    });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(ran, 0);  // nothing runs before the group starts
  auto queue = std::make_shared<NSOperationQueue>();
  queue->addOperation(group);
  group->waitUntilFinished();
  EXPECT_EQ(ran, 6);
  EXPECT_EQ(maximum, 1);
}

TEST(GroupOperation, CancelledOrFinishedGroupDoesNotQueueMembers) {
  // One member at a time: the cancelled end marker waits for the executing blocker's slot.
  auto group = std::make_shared<QvGroupOperation>(std::nullopt, 1);
  auto blocker = std::make_shared<IntOperation>();  // never finishes by itself
  group->add(blocker);
  group->start();
  ASSERT_TRUE(waitUntil([&] { return blocker->mainCalls == 1; }));
  group->cancel();
  EXPECT_EQ(group->Q(), nullptr);
  EXPECT_TRUE(blocker->isCancelled());
  EXPECT_FALSE(group->isFinished());
  // A member added to the cancelled group is cancelled and finished without running; the group
  // itself ends once the member that still executes has finished.
  std::atomic<bool> lateRan{false};
  auto late = group->add([&] { lateRan = true; });
  EXPECT_TRUE(late->isCancelled());
  EXPECT_TRUE(late->isFinished());
  EXPECT_FALSE(group->isFinished());
  blocker->finish();
  ASSERT_TRUE(waitUntil([&] { return group->isFinished(); }));
  EXPECT_FALSE(lateRan);

  // A group that finished normally does not run members added afterwards either.
  auto finished = std::make_shared<QvGroupOperation>();
  finished->start();
  ASSERT_TRUE(waitUntil([&] { return finished->isFinished(); }));
  ASSERT_NE(finished->Q(), nullptr);
  finished->add([&] { lateRan = true; });
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_FALSE(lateRan);
  EXPECT_EQ(finished->Q()->operationCount(), 0u);
}

TEST(GroupOperation, MemberAddedToAGroupThatIsOverLetsItsDependentsGoOn) {
  auto elsewhere = std::make_shared<NSOperationQueue>();
  // Adds a member to `group` that a block on another queue depends on; the member must end
  // cancelled without running, and the dependent must run and see that.
  const auto addWithDependent = [&](QvGroupOperation& group) {
    auto ran = std::make_shared<std::atomic<bool>>(false);
    auto sawCancelled = std::make_shared<std::atomic<bool>>(false);
    auto member = std::make_shared<NSBlockOperation>([ran] { *ran = true; });
    auto dependent = std::make_shared<NSBlockOperation>([member, sawCancelled] { *sawCancelled = member->isCancelled(); });
    dependent->addDependency(member);
    elsewhere->addOperation(dependent);
    group.add(member);
    EXPECT_TRUE(waitUntil([&] { return dependent->isFinished(); }));
    EXPECT_TRUE(member->isFinished());
    EXPECT_TRUE(*sawCancelled);
    EXPECT_FALSE(*ran);
  };

  auto finished = std::make_shared<QvGroupOperation>();
  finished->start();
  ASSERT_TRUE(waitUntil([&] { return finished->isFinished(); }));
  addWithDependent(*finished);

  auto cancelled = std::make_shared<QvGroupOperation>();
  auto blocker = std::make_shared<IntOperation>();  // never finishes by itself
  cancelled->add(blocker);
  cancelled->start();
  ASSERT_TRUE(waitUntil([&] { return blocker->mainCalls == 1; }));
  cancelled->cancel();
  addWithDependent(*cancelled);
  EXPECT_FALSE(cancelled->isFinished());
  blocker->finish();
  EXPECT_TRUE(waitUntil([&] { return cancelled->isFinished(); }));

  // Members of a group that ends without starting them end cancelled too.
  auto neverStarted = std::make_shared<QvGroupOperation>();
  auto member = neverStarted->add([] {});
  neverStarted->cancel();
  neverStarted->start();
  EXPECT_TRUE(neverStarted->isFinished());
  EXPECT_TRUE(waitUntil([&] { return member->isFinished(); }));
  EXPECT_TRUE(member->isCancelled());
}

TEST(GroupOperation, WaitsForMembersAddedByAMemberCompletion) {
  // The end marker has run to its end before the completion block of the last member adds a
  // follow-up, which adds one more: the group ends after both.
  auto group = std::make_shared<QvGroupOperation>();
  std::atomic<int> followUpsRan{0};
  std::atomic<bool> ranAfterTheEnd{false};
  const auto followUp = [&] {
    if (group->isFinished()) ranAfterTheEnd = true;
    ++followUpsRan;
  };
  auto first = group->add([] {});
  first->setCompletionBlock([&] {
    EXPECT_TRUE(waitUntil([&] { return group->groupOperation()->isFinished(); }));
    auto second = std::make_shared<NSBlockOperation>(followUp);
    second->setCompletionBlock([&] { group->add(followUp); });
    group->add(second);
  });
  auto queue = std::make_shared<NSOperationQueue>();
  queue->addOperation(group);
  ASSERT_TRUE(waitUntil([&] { return group->isFinished(); }));
  EXPECT_EQ(followUpsRan, 2);
  EXPECT_FALSE(ranAfterTheEnd);
  EXPECT_FALSE(group->isCancelled());

  // Many rounds, each member's completion adding a follow-up while others finish.
  for (int round = 0; round < 200; ++round) {
    auto busy = std::make_shared<QvGroupOperation>();
    std::atomic<int> ran{0};
    std::atomic<int> late{0};
    for (int i = 0; i < 4; ++i) {
      auto member = busy->add([] {});
      member->setCompletionBlock([&] {
        busy->add([&] {
          if (busy->isFinished()) ++late;
          ++ran;
        });
      });
    }
    queue->addOperation(busy);
    ASSERT_TRUE(waitUntil([&] { return busy->isFinished(); })) << "round " << round;
    ASSERT_EQ(ran, 4) << "round " << round;
    ASSERT_EQ(late, 0) << "round " << round;
  }
}

TEST(GroupOperation, CancelOverlappingStartCancelsEveryMember) {
  for (int round = 0; round < 300; ++round) {
    auto group = std::make_shared<QvGroupOperation>();
    std::atomic<bool> open{false};
    std::vector<std::shared_ptr<NSBlockOperation>> members;
    for (int i = 0; i < 3; ++i) {
      members.push_back(group->add([&open] { waitUntil([&open] { return open.load(); }); }));
    }
    runTogether([&] { group->start(); }, [&] { group->cancel(); });
    // However the two calls met, no member goes on uncancelled.
    const bool allCancelled = std::all_of(members.begin(), members.end(), [](const auto& member) { return member->isCancelled(); });
    open = true;
    ASSERT_TRUE(allCancelled) << "round " << round;
    ASSERT_TRUE(waitUntil([&] { return group->isFinished(); })) << "round " << round;
    for (const auto& member : members) ASSERT_TRUE(waitUntil([&] { return member->isFinished(); })) << "round " << round;
  }
}

TEST(AdapterOperation, ForwardsValuesErrorsAndMismatches) {
  ConsoleCapture capture;
  auto queue = std::make_shared<NSOperationQueue>();

  // A value passes from output to input.
  {
    auto source = std::make_shared<IntOperation>([](IntOperation& op) { op.finishWith(42); });
    auto target = std::make_shared<TestInputOperation<int>>();
    adapt(source, target, queue);
    queue->addOperation(target);
    queue->addOperation(source);
    target->waitUntilFinished();
    EXPECT_EQ(target->input(), 42);
    EXPECT_EQ(target->error(), nullptr);
  }
  // A failed source passes its error; the target is cancelled and finished by its own failure.
  {
    auto failure = std::make_shared<Fennix::MessageError>("broken");
    auto source = std::make_shared<IntOperation>([failure](IntOperation& op) { op.fail(failure); });
    auto target = std::make_shared<TestInputOperation<int>>();
    adapt(source, target, queue);
    queue->addOperation(target);
    queue->addOperation(source);
    target->waitUntilFinished();
    EXPECT_EQ(target->error(), failure);
    EXPECT_TRUE(target->isCancelled());
    EXPECT_FALSE(target->ran);
  }
  // errorOnly leaves the target's input alone.
  {
    auto source = std::make_shared<IntOperation>([](IntOperation& op) { op.finishWith(1); });
    auto target = std::make_shared<TestInputOperation<int>>();
    target->setInput(5);
    adapt(source, target, queue, true);
    queue->addOperation(target);
    queue->addOperation(source);
    target->waitUntilFinished();
    EXPECT_EQ(target->input(), 5);
  }
  // Types that do not convert, without a map closure.
  {
    auto source = std::make_shared<IntOperation>([](IntOperation& op) { op.finishWith(1); });
    auto target = std::make_shared<TestInputOperation<std::string>>();
    adapt(source, target, queue);
    queue->addOperation(target);
    queue->addOperation(source);
    target->waitUntilFinished();
    auto* mismatch = Fennix::errorAs<QvAdapterOperationError>(target->error());
    ASSERT_NE(mismatch, nullptr);
    ASSERT_TRUE(mismatch->is<QvAdapterOperationError::InputTypeDoesNotMatchOutputType>());
    EXPECT_EQ(capture.logger->matching("adapter catched error: inputTypeDoesNotMatchOutputType(from: Int32, to: String)").size(), 1u) << ::testing::PrintToString(capture.logger->lines());
  }
  // With a map closure they do.
  {
    auto source = std::make_shared<IntOperation>([](IntOperation& op) { op.finishWith(3); });
    auto target = std::make_shared<TestInputOperation<std::string>>();
    adapt(source, target, queue, false, [](const int& value) { return std::to_string(value * 2); });
    queue->addOperation(target);
    queue->addOperation(source);
    target->waitUntilFinished();
    EXPECT_EQ(target->input(), "6");
  }
  // A source without output and without error.
  {
    auto source = std::make_shared<IntOperation>([](IntOperation& op) { op.finish(); });
    auto target = std::make_shared<TestInputOperation<int>>();
    adapt(source, target, queue);
    queue->addOperation(target);
    queue->addOperation(source);
    target->waitUntilFinished();
    EXPECT_TRUE(isAdapterError<QvAdapterOperationError::MissingInputValueWithoutError>(target->error()));
  }
  queue->waitUntilAllOperationsAreFinished();
}

TEST(AdapterOperation, QueuedPipelineKeepsItsSourceUntilTheAdapterRan) {
  // The caller keeps only the target: the adapter holds the finished source (through its
  // dependency) until it has run, and everything before the target is freed once it finished.
  auto queue = std::make_shared<NSOperationQueue>();
  auto target = std::make_shared<TestInputOperation<int>>();
  std::weak_ptr<NSOperation> weakSource;
  std::weak_ptr<NSOperation> weakAdapter;
  {
    auto source = std::make_shared<IntOperation>([](IntOperation& op) { op.finishWith(42); });
    weakSource = source;
    weakAdapter = adapt(source, target, queue);
    queue->addOperation(source);
  }
  queue->addOperation(target);
  target->waitUntilFinished();
  EXPECT_EQ(target->input(), 42);
  EXPECT_EQ(target->error(), nullptr);
  EXPECT_TRUE(waitUntil([&] { return weakSource.expired() && weakAdapter.expired(); }));
}

TEST(AdapterOperation, CancelBeforeRunAndLostHandles) {
  ConsoleCapture capture;
  auto source = std::make_shared<IntOperation>();
  auto target = std::make_shared<TestInputOperation<int>>();
  auto adapter = adapt(source, target);
  EXPECT_EQ(adapter->dependencies(), (std::vector<std::shared_ptr<NSOperation>>{source}));
  EXPECT_EQ(target->dependencies(), (std::vector<std::shared_ptr<NSOperation>>{adapter}));
  adapter->cancel();
  EXPECT_TRUE(target->isCancelled());
  EXPECT_EQ(adapter->to(), nullptr);
  EXPECT_EQ(capture.logger->matching("cancelling adapter operation:").size(), 1u);

  auto lonely = std::make_shared<IntOperation>();
  std::shared_ptr<QvOutInAdapterOperation<IntOperation, TestInputOperation<int>>> orphan;
  {
    auto gone = std::make_shared<TestInputOperation<int>>();
    orphan = adapt(lonely, gone);
  }
  lonely->finishWith(1);
  orphan->start();
  EXPECT_TRUE(isAdapterError<QvAdapterOperationError::OperationHandleLost>(orphan->error()));
  EXPECT_EQ(capture.logger->matching("stopping adapter operation, handle lost:").size(), 1u);
}

/// An input operation that stays executing until it is finished from outside.
class HeldInputOperation : public TestInputOperation<int> {
 public:
  void asyncMain(std::function<void()>) override { ran = true; }
};

TEST(AdapterOperation, StopsWhenItsTargetIsAlreadyRunning) {
  ConsoleCapture capture;
  auto source = std::make_shared<IntOperation>([](IntOperation& op) { op.finishWith(7); });
  auto target = std::make_shared<HeldInputOperation>();
  auto adapter = adapt(source, target);
  source->start();
  target->start();  // run some other way than by the dependencies
  ASSERT_TRUE(target->isExecuting());
  adapter->start();
  EXPECT_TRUE(isAdapterError<QvAdapterOperationError::ExecutionRace>(adapter->error()));
  const auto lines = capture.logger->matching("stopping adapter operation, executing race:");
  ASSERT_EQ(lines.size(), 1u) << ::testing::PrintToString(capture.logger->lines());
  EXPECT_NE(lines[0].find(adapter->description()), std::string::npos) << lines[0];
  // Nothing was transferred; the running target is told to stop.
  EXPECT_EQ(target->input(), std::nullopt);
  EXPECT_TRUE(target->isCancelled());
  EXPECT_TRUE(adapter->isFinished());
  target->finish();
}

TEST(AdapterOperation, CancelAndLostReferenceFromTheMapReachTheTarget) {
  const struct {
    Fennix::ErrorRef thrown;
    const char* line;
    bool targetCancelled;
  } cases[] = {
      {QvOperationError::cancelled(), "op cancelled, forwarding to:", true},
      {QvOperationError::lostWeak(), "adapter lost reference, forwarding to:", false},
  };
  for (const auto& thrownCase : cases) {
    ConsoleCapture capture;
    auto queue = std::make_shared<NSOperationQueue>();
    auto source = std::make_shared<IntOperation>([](IntOperation& op) { op.finishWith(1); });
    auto target = std::make_shared<TestInputOperation<std::string>>();
    const auto thrown = thrownCase.thrown;
    adapt(source, target, queue, false, [thrown](const int&) -> std::string { Fennix::throwError(thrown); });
    queue->addOperation(target);
    queue->addOperation(source);
    ASSERT_TRUE(waitUntil([&] { return target->isFinished(); }, 30.0)) << thrownCase.line;
    const auto lines = capture.logger->matching(thrownCase.line);
    ASSERT_EQ(lines.size(), 1u) << ::testing::PrintToString(capture.logger->lines());
    EXPECT_NE(lines[0].find(target->description()), std::string::npos) << lines[0];
    EXPECT_TRUE(capture.logger->matching("adapter catched error:").empty()) << thrownCase.line;
    // The target ends with an error of the same kind, without running its work.
    auto* forwarded = Fennix::errorAs<QvOperationError>(target->error());
    auto* original = Fennix::errorAs<QvOperationError>(thrown);
    ASSERT_NE(forwarded, nullptr) << thrownCase.line;
    EXPECT_EQ(forwarded->description(), original->description());
    EXPECT_TRUE(target->isCancelled());
    EXPECT_FALSE(target->ran);
    EXPECT_EQ(target->input(), std::nullopt);
    queue->waitUntilAllOperationsAreFinished();
  }
}

class Shape {
 public:
  virtual ~Shape() = default;
};
class Circle : public Shape {};
class Colour {
 public:
  virtual ~Colour() = default;
};

/// Adapts the output of `source` to `target` and runs both on `queue`; the types named by the
/// mismatch `target` fails with, or nothing where it failed otherwise or not at all.
template <class Source, class Target>
std::optional<QvAdapterOperationError::InputTypeDoesNotMatchOutputType> mismatchAfterAdapting(
    const std::shared_ptr<Source>& source, const std::shared_ptr<Target>& target,
    const std::shared_ptr<NSOperationQueue>& queue) {
  adapt(source, target, queue);
  queue->addOperation(target);
  queue->addOperation(source);
  target->waitUntilFinished();
  auto* mismatch = Fennix::errorAs<QvAdapterOperationError>(target->error());
  if (mismatch == nullptr) return std::nullopt;
  const auto* names = std::get_if<QvAdapterOperationError::InputTypeDoesNotMatchOutputType>(&mismatch->value());
  if (names == nullptr) return std::nullopt;
  return *names;
}

TEST(AdapterOperation, MismatchNamesTheTypeTheValueHolds) {
  ConsoleCapture capture;
  auto queue = std::make_shared<NSOperationQueue>();
  // A shared pointer to a base class names the object it points to.
  {
    using ShapeOperation = TestOutputOperation<std::shared_ptr<Shape>>;
    auto source = std::make_shared<ShapeOperation>([](ShapeOperation& op) { op.finishWith(std::make_shared<Circle>()); });
    auto target = std::make_shared<TestInputOperation<std::shared_ptr<Colour>>>();
    const auto names = mismatchAfterAdapting(source, target, queue);
    ASSERT_TRUE(names.has_value());
    EXPECT_EQ(names->from, Fennix::typeName(typeid(Circle)));
    EXPECT_EQ(names->to, Fennix::typeName(typeid(std::shared_ptr<Colour>)));
  }
  // An untyped value names what it contains.
  {
    using AnyOperation = TestOutputOperation<std::any>;
    auto source = std::make_shared<AnyOperation>([](AnyOperation& op) { op.finishWith(std::any(3.5)); });
    auto target = std::make_shared<TestInputOperation<std::string>>();
    const auto names = mismatchAfterAdapting(source, target, queue);
    ASSERT_TRUE(names.has_value());
    EXPECT_EQ(names->from, Fennix::typeName(typeid(double)));
    EXPECT_EQ(names->to, Fennix::typeName(typeid(std::string)));
  }
  queue->waitUntilAllOperationsAreFinished();
}

TEST(AdapterOperation, OnFinishRunsAfterEarlierCompletionBlock) {
  std::mutex mutex;
  std::vector<std::string> calls;
  auto operation = std::make_shared<IntOperation>([](IntOperation& op) { op.finishWith(9); });
  operation->setCompletionBlock([&] {
    std::lock_guard<std::mutex> lock(mutex);
    calls.push_back("earlier");
  });
  std::optional<int> received;
  onFinish<IntOperation>(operation, [&](std::shared_ptr<IntOperation> op, Fennix::ErrorRef error, std::optional<int> output) {
    std::lock_guard<std::mutex> lock(mutex);
    calls.push_back("callback");
    EXPECT_EQ(op, operation);
    EXPECT_EQ(error, nullptr);
    received = output;
  });
  operation->start();
  EXPECT_EQ(calls, (std::vector<std::string>{"earlier", "callback"}));
  EXPECT_EQ(received, 9);
  EXPECT_FALSE(operation->completionBlock());

  auto empty = std::make_shared<IntOperation>([](IntOperation& op) { op.finish(); });
  Fennix::ErrorRef emptyError;
  onFinish<IntOperation>(empty, [&](std::shared_ptr<IntOperation>, Fennix::ErrorRef error, std::optional<int>) {
    emptyError = error;
  });
  empty->start();
  EXPECT_TRUE(isAdapterError<QvAdapterOperationError::MissingInputValueWithoutError>(emptyError));
}

TEST(ArrayBlockOperation, RunsOnceWithItsInputAndClearsIt) {
  ConsoleCapture capture;
  std::vector<std::vector<int>> calls;
  auto withoutInput = std::make_shared<QvArrayBlockOperation<int>>(
      std::nullopt, nullptr, [&](const std::vector<int>& values) { calls.push_back(values); });
  withoutInput->syncRun();
  EXPECT_EQ(calls, (std::vector<std::vector<int>>{{}}));

  auto failing = std::make_shared<QvArrayBlockOperation<int>>(
      std::vector<int>{1, 2}, capture.logger, [](const std::vector<int>&) { throw std::runtime_error("no"); });
  EXPECT_THROW(failing->syncRun(), Fennix::ThrownError);
  EXPECT_EQ(failing->input(), std::nullopt);
  EXPECT_FALSE(failing->hasExecute());
  EXPECT_EQ(failing->errorLog(), nullptr);
  EXPECT_EQ(failing->error()->description(), "no");
  EXPECT_EQ(capture.logger->matching("block operation on: [1, 2] failed with: no").size(), 1u);

  bool called = false;
  auto cancelled = std::make_shared<QvArrayBlockOperation<int>>(std::vector<int>{1}, nullptr,
                                                                [&](const std::vector<int>&) { called = true; });
  cancelled->cancel();
  cancelled->main();
  EXPECT_FALSE(called);
  EXPECT_TRUE(isOperationError<QvOperationError::Cancelled>(cancelled->error()));
  EXPECT_EQ(cancelled->output(), std::nullopt);
  EXPECT_EQ(cancelled->input(), std::nullopt);

  auto missing = std::make_shared<QvArrayBlockOperation<int>>(std::nullopt, nullptr, nullptr);
  missing->main();
  EXPECT_TRUE(isOperationError<QvOperationError::NotImplemented>(missing->error()));
}

TEST(ArrayBlockOperation, QueueHelpers) {
  auto serial = Fennix::serialQueue(std::string(""));
  EXPECT_EQ(serial->name(), std::nullopt);
  EXPECT_EQ(serial->maxConcurrentOperationCount(), 1);
  EXPECT_EQ(Fennix::serialQueue(std::string("named"))->name(), "named");

  std::atomic<int> sum{0};
  auto operation = Fennix::async<int>(serial, [&](const std::vector<int>& values) {
    for (int value : values) sum += value;
  });
  operation->waitUntilFinished();
  EXPECT_TRUE(operation->output().has_value());

  std::atomic<bool> ran{false};
  Fennix::setTimeout(DispatchQueue::global(), 0, [&] { ran = true; });
  // The block may run on another thread at any time, but never inside the call on this stack:
  // submit to a serial queue we are blocking and check it has not run.
  DispatchQueue held("held");
  std::atomic<bool> heldRan{false};
  held.sync([&] {
    Fennix::setTimeout(held, 0, [&] { heldRan = true; });
    EXPECT_FALSE(heldRan);
  });
  EXPECT_TRUE(waitUntil([&] { return ran && heldRan; }));
}

}  // namespace
