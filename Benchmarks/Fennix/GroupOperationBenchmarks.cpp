// A group of empty block operations run to its end: the cost of scheduling members on the
// group's queue and of the end marker waiting for every one of them.
#include <benchmark/benchmark.h>

#include <atomic>
#include <memory>

#include "Fennix/Operations/GroupOperation.h"

namespace {

void BM_GroupOfEmptyMembers(benchmark::State& state) {
  const auto members = static_cast<int>(state.range(0));
  for (auto _ : state) {
    std::atomic<int> ran{0};
    auto group = std::make_shared<QvGroupOperation>();
    for (int i = 0; i < members; ++i) group->add([&ran] { ran.fetch_add(1, std::memory_order_relaxed); });
    auto queue = std::make_shared<NSOperationQueue>();
    queue->addOperation(group);
    group->waitUntilFinished();
    if (ran.load() != members) state.SkipWithError("a member did not run");
    // The members are let go of as they finish, within the measured time, as a running group
    // frees them; the group itself goes away with the last references, outside it.
    state.PauseTiming();
    queue.reset();
    group.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * members);
}
BENCHMARK(BM_GroupOfEmptyMembers)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

/// Members in a chain, each depending on the one before: every finish makes one more ready.
void BM_GroupOfChainedMembers(benchmark::State& state) {
  const auto members = static_cast<int>(state.range(0));
  for (auto _ : state) {
    auto group = std::make_shared<QvGroupOperation>();
    std::shared_ptr<NSOperation> previous;
    for (int i = 0; i < members; ++i) {
      auto member = std::make_shared<NSBlockOperation>([] {});
      if (previous) member->addDependency(previous);
      group->add(member);
      previous = member;
    }
    auto queue = std::make_shared<NSOperationQueue>();
    queue->addOperation(group);
    group->waitUntilFinished();
    state.PauseTiming();
    previous.reset();
    queue.reset();
    group.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * members);
}
BENCHMARK(BM_GroupOfChainedMembers)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
