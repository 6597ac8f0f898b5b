#include "Platform/Dispatch.h"

#include <glib.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "FennixTests/DispatchTestSupport.h"

using FennixTestSupport::runMainLoopUntil;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

/// Each thread of this process but the calling one, by its id: the system call it waits in (its
/// number, or "running"), and how many times it was taken off its processor.
std::map<std::string, std::pair<std::string, long>> otherThreads() {
  std::map<std::string, std::pair<std::string, long>> threads;
  const std::string self = std::to_string(::gettid());
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task", error)) {
    const std::string id = entry.path().filename().string();
    if (id == self) continue;
    auto& [call, switches] = threads[id];
    std::ifstream(entry.path() / "syscall") >> call;
    std::ifstream status(entry.path() / "status");
    for (std::string line; std::getline(status, line);) {
      if (line.find("ctxt_switches:") != std::string::npos) switches += std::stol(line.substr(line.find(':') + 1));
    }
  }
  return threads;
}

/// Whether every one of `threads` waits in a system call that holds no lock of the process: for
/// a futex, for input or for time (unlike the calls that map memory, which the allocator makes
/// holding its locks).
bool allWaitingInTheKernel(const std::map<std::string, std::pair<std::string, long>>& threads) {
  static const std::set<std::string> waits = [] {
    std::set<std::string> numbers;
    for (const long call : {SYS_futex, SYS_read, SYS_ppoll, SYS_pselect6, SYS_epoll_pwait, SYS_clock_nanosleep,
                            SYS_nanosleep}) {
      numbers.insert(std::to_string(call));
    }
#if defined(SYS_poll) && defined(SYS_epoll_wait)
    numbers.insert({std::to_string(SYS_poll), std::to_string(SYS_epoll_wait)});
#endif
    return numbers;
  }();
  return std::all_of(threads.begin(), threads.end(),
                     [](const auto& thread) { return waits.count(thread.second.first) != 0; });
}

/// The status of `child` once it ended, or -1 when it had not within `seconds` (it is then killed).
int endOf(pid_t child, double seconds) {
  const auto start = Clock::now();
  int status = 0;
  while (::waitpid(child, &status, WNOHANG) == 0) {
    if (secondsSince(start) > seconds) {
      ::kill(child, SIGKILL);
      ::waitpid(child, nullptr, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return status;
}

}  // namespace

TEST(DispatchTests, SerialQueueRunsBlocksOneAtATimeInSubmissionOrder) {
  DispatchQueue queue("test.serial");
  std::vector<int> order;
  std::mutex orderMutex;  // so that overlapping blocks fail the test rather than corrupt the list
  std::atomic<int> running{0}, overlaps{0};
  // Submitted from several threads: each thread's blocks keep their order, and none overlap.
  std::vector<std::thread> submitters;
  for (int t = 0; t < 4; ++t) {
    submitters.emplace_back([&, t] {
      for (int i = 0; i < 250; ++i) {
        queue.async([&, t, i] {
          if (running.fetch_add(1) != 0) overlaps++;
          {
            std::lock_guard<std::mutex> lock(orderMutex);
            order.push_back(t * 1000 + i);
          }
          running.fetch_sub(1);
        });
      }
    });
  }
  for (auto& s : submitters) s.join();
  queue.sync([] {});
  EXPECT_EQ(overlaps.load(), 0);
  ASSERT_EQ(order.size(), 1000u);
  std::vector<int> last(4, -1);
  for (int value : order) EXPECT_EQ(value % 1000, ++last[value / 1000]);
}

TEST(DispatchTests, MainQueueWorkRunsInOrderOnlyWhenTheMainContextIsIterated) {
  std::vector<int> order;
  std::thread poster([&] {
    for (int i = 0; i < 100; ++i) {
      DispatchQueue::main().async([&, i] {
        EXPECT_TRUE(DispatchQueue::main().isCurrent());
        order.push_back(i);
      });
    }
  });
  poster.join();
  EXPECT_TRUE(order.empty());
  ASSERT_TRUE(runMainLoopUntil([&] { return order.size() == 100; }));
  for (int i = 0; i < 100; ++i) EXPECT_EQ(order[i], i);
  EXPECT_FALSE(DispatchQueue::main().isCurrent());

  // A serial queue targeting the main queue runs there too; re-posted blocks go last.
  DispatchQueue queue("test.on-main", DispatchQoS::default_, DispatchQueue::main());
  order.clear();
  for (int i = 0; i < 3; ++i) {
    queue.async([&, i] {
      EXPECT_TRUE(DispatchQueue::main().isCurrent());
      order.push_back(i);
      if (i == 0) queue.async([&] { order.push_back(100); });
    });
  }
  ASSERT_TRUE(runMainLoopUntil([&] { return order.size() == 4; }));
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 100}));
}

namespace {

/// Attaches to the default context a source of `priority` that fires once and records there how
/// many of `ran` had run.
void recordOnce(int priority, const std::vector<int>& ran, std::vector<std::size_t>& seen) {
  struct Record {
    const std::vector<int>* ran;
    std::vector<std::size_t>* seen;
  };
  GSource* source = g_idle_source_new();
  g_source_set_priority(source, priority);
  g_source_set_callback(
      source,
      [](gpointer data) {
        auto* record = static_cast<Record*>(data);
        record->seen->push_back(record->ran->size());
        return G_SOURCE_REMOVE;
      },
      new Record{&ran, &seen}, [](gpointer data) { delete static_cast<Record*>(data); });
  g_source_attach(source, g_main_context_default());
  g_source_unref(source);
}

}  // namespace

TEST(DispatchTests, AFloodOfMainQueueBlocksLeavesRoomForInputAndDrawingBetweenSlices) {
  constexpr int blocks = 100;
  constexpr int redraw = G_PRIORITY_HIGH_IDLE + 20;  // the toolkit's layout and drawing
  const std::size_t slice = DispatchQueue::maximumBlocksPerDispatch;
  ASSERT_LT(slice, std::size_t{blocks});
  std::vector<int> ran;
  for (int i = 0; i < blocks; ++i) DispatchQueue::main().async([&, i] { ran.push_back(i); });
  // Input comes at the default priority, drawing below it: each gets its turn after one slice.
  std::vector<std::size_t> input, drawing;
  recordOnce(G_PRIORITY_DEFAULT, ran, input);
  recordOnce(redraw, ran, drawing);
  ASSERT_TRUE(runMainLoopUntil([&] { return ran.size() == std::size_t{blocks}; }));
  ASSERT_EQ(input.size(), 1u);
  ASSERT_EQ(drawing.size(), 1u);
  EXPECT_LE(input[0], slice);
  EXPECT_EQ(drawing[0], slice) << "the drawing waited for the whole flood";
  for (int i = 0; i < blocks; ++i) EXPECT_EQ(ran[std::size_t(i)], i);

  // Once the flood is over, a new block goes before drawing again.
  ran.clear();
  drawing.clear();
  DispatchQueue::main().async([&] { ran.push_back(0); });
  recordOnce(redraw, ran, drawing);
  ASSERT_TRUE(runMainLoopUntil([&] { return drawing.size() == 1; }));
  EXPECT_EQ(drawing[0], 1u);
}

TEST(DispatchTests, CancelledWorkItemsNeverRun) {
  DispatchQueue queue("test.cancel");
  std::atomic<int> ran{0};
  auto now = std::make_shared<DispatchWorkItem>([&] { ran++; });
  auto later = std::make_shared<DispatchWorkItem>([&] { ran++; });
  auto kept = std::make_shared<DispatchWorkItem>([&] { ran += 10; });

  // Cancelled while the queue is busy, before it starts.
  std::mutex gate;
  gate.lock();
  queue.async([&] { std::lock_guard<std::mutex> wait(gate); });
  queue.async(now);
  now->cancel();
  gate.unlock();

  // Cancelled during its delay.
  queue.asyncAfter(0.2, later);
  queue.asyncAfter(0.2, kept);
  later->cancel();
  EXPECT_TRUE(later->isCancelled());
  EXPECT_FALSE(kept->isCancelled());

  // `kept` was queued after the other two, so once it has run they would have run too.
  auto deadline = Clock::now() + std::chrono::seconds(10);
  while (ran.load() == 0 && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  queue.sync([] {});
  EXPECT_EQ(ran.load(), 10);
}

TEST(DispatchTests, DelayedBlocksRunAfterTheirDelayInDueOrder) {
  std::vector<int> order;
  auto start = Clock::now();
  double firstRanAfter = -1;
  DispatchQueue::main().asyncAfter(0.3, [&] { order.push_back(3); });
  DispatchQueue::main().asyncAfter(0.1, [&] {
    firstRanAfter = secondsSince(start);
    order.push_back(1);
  });
  DispatchQueue::main().asyncAfter(0.1, [&] { order.push_back(2); });  // same due time: submission order
  DispatchQueue::main().asyncAfter(-5, [&] { order.push_back(0); });   // negative: at once
  ASSERT_TRUE(runMainLoopUntil([&] { return order.size() == 4; }));
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_GE(firstRanAfter, 0.1);
  EXPECT_GE(secondsSince(start), 0.3);
}

TEST(DispatchTests, GlobalQueueBlocksMayWaitForEachOther) {
  // Twenty blocks that all wait until all twenty have started: the pool must not run dry.
  constexpr int count = 20;
  std::mutex mutex;
  std::condition_variable changed;
  int started = 0, finished = 0;
  for (int i = 0; i < count; ++i) {
    DispatchQueue::global().async([&] {
      std::unique_lock<std::mutex> lock(mutex);
      ++started;
      changed.notify_all();
      changed.wait(lock, [&] { return started == count; });
      ++finished;
      changed.notify_all();
    });
  }
  std::unique_lock<std::mutex> lock(mutex);
  EXPECT_TRUE(changed.wait_for(lock, std::chrono::seconds(30), [&] { return finished == count; }));
}

TEST(DispatchTests, AProcessForkedBesidePoolThreadsExitsWithoutLeaks) {
  // Pool threads that have run blocks, nested in a serial queue, stay alive after the blocks end.
  // A forked child has none of those threads: whatever they alone kept would be lost there, and a
  // leak check at the child's exit would fail it.
  DispatchQueue queue("test.nested", DispatchQoS::utility);
  auto token = std::make_shared<int>(0);  // held by every block until the pool lets go of it
  std::atomic<int> ran{0};
  for (int i = 0; i < 8; ++i) {
    DispatchQueue::global().async([&, token] {
      ran++;
      queue.sync([&] {
        // Two scopes deep on a pool thread: the serial queue and the global queue it drains on.
        EXPECT_TRUE(queue.isCurrent());
        EXPECT_TRUE(DispatchQueue::global(DispatchQoS::utility).isCurrent());
        ran++;
      });
      EXPECT_FALSE(queue.isCurrent());
    });
  }
  auto deadline = Clock::now() + std::chrono::seconds(10);
  while ((ran.load() < 16 || token.use_count() > 1) && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_EQ(ran.load(), 16);
  ASSERT_EQ(token.use_count(), 1);
  // The child is kept only where it was forked while no other thread could hold a lock it needs on
  // its way out (the leak checker takes the allocator's): while each of them waited in the kernel
  // without running, as seen before and after the fork. (The blocks' own storage goes after the
  // token, whenever the pool threads get to it.) A child forked at another moment is ended at once.
  int status = -1;
  deadline = Clock::now() + std::chrono::seconds(60);
  while (status == -1 && Clock::now() < deadline) {
    const auto before = otherThreads();
    if (!allWaitingInTheKernel(before)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      continue;
    }
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) std::exit(0);  // its leak check finds what only the pool threads kept
    ASSERT_GT(child, 0);
    if (otherThreads() != before) {
      ::kill(child, SIGKILL);
      ::waitpid(child, nullptr, 0);
      continue;
    }
    status = endOf(child, 120);
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

TEST(DispatchTests, AQueueWithItsOwnThreadRunsItsBlocksAndItsContextsSourcesThereInOrder) {
  std::vector<std::thread::id> threads;
  std::vector<int> order;
  std::atomic<bool> timerFired{false};
  std::thread::id timerThread;
  {
    DispatchQueue queue = DispatchQueue::withOwnThread("test.own-thread");
    for (int i = 0; i < 50; ++i) {
      queue.async([&, i] {
        EXPECT_TRUE(queue.isCurrent());
        EXPECT_FALSE(DispatchQueue::main().isCurrent());
        threads.push_back(std::this_thread::get_id());
        order.push_back(i);
      });
    }
    // A source that a block attaches to the thread's default context (as a library used there
    // does with its timers) fires on that thread, between blocks, without the main context.
    queue.async([&] {
      GSource* timer = g_timeout_source_new(1);
      g_source_set_callback(
          timer,
          [](gpointer data) {
            auto* fired = static_cast<std::pair<std::atomic<bool>*, std::thread::id*>*>(data);
            *fired->second = std::this_thread::get_id();
            fired->first->store(true);
            return G_SOURCE_REMOVE;
          },
          new std::pair<std::atomic<bool>*, std::thread::id*>(&timerFired, &timerThread),
          [](gpointer data) { delete static_cast<std::pair<std::atomic<bool>*, std::thread::id*>*>(data); });
      g_source_attach(timer, g_main_context_get_thread_default());
      g_source_unref(timer);
    });
    const auto start = Clock::now();
    while (!timerFired.load() && secondsSince(start) < 60) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    queue.sync([] {});
    EXPECT_FALSE(queue.isCurrent());
  }
  ASSERT_TRUE(timerFired.load());
  ASSERT_EQ(order.size(), 50u);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(order[std::size_t(i)], i);
  EXPECT_NE(threads.front(), std::this_thread::get_id());
  for (const auto& thread : threads) EXPECT_EQ(thread, threads.front());
  EXPECT_EQ(timerThread, threads.front());
}

TEST(DispatchTests, BlocksLeftAfterASliceOnAQueuesOwnThreadTakeTurnsWithSourcesThatNeverStopComing) {
  // A source of the default priority that is ready at every iteration, as calls from the bus are
  // while callers keep sending them: the blocks still run, a slice between two of its turns.
  const std::size_t slice = DispatchQueue::maximumBlocksPerDispatch;
  const std::size_t blocks = 3 * slice + 1;
  std::atomic<int> steadyTurns{0};
  std::mutex mutex;
  std::vector<std::size_t> ran;
  std::vector<int> turnsWhenRan;
  GSource* steady = g_idle_source_new();
  g_source_set_priority(steady, G_PRIORITY_DEFAULT);
  g_source_set_callback(
      steady,
      [](gpointer turns) -> gboolean {
        static_cast<std::atomic<int>*>(turns)->fetch_add(1);
        return G_SOURCE_CONTINUE;
      },
      &steadyTurns, nullptr);
  DispatchQueue queue = DispatchQueue::withOwnThread("test.own-thread.steady");
  // Queued while a slice runs: the queue's source has blocks left once it is done.
  queue.async([&] {
    g_source_attach(steady, g_main_context_get_thread_default());
    for (std::size_t i = 0; i < blocks; ++i) {
      queue.async([&, i] {
        std::lock_guard<std::mutex> lock(mutex);
        ran.push_back(i);
        turnsWhenRan.push_back(steadyTurns.load());
      });
    }
  });
  const auto start = Clock::now();
  auto allRan = [&] {
    std::lock_guard<std::mutex> lock(mutex);
    return ran.size() == blocks;
  };
  while (!allRan() && secondsSince(start) < 60) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const bool ranBesideIt = allRan();
  g_source_destroy(steady);
  g_source_unref(steady);
  queue.sync([] {});
  ASSERT_TRUE(ranBesideIt) << "the blocks waited behind a source that never stopped";
  for (std::size_t i = 0; i < blocks; ++i) EXPECT_EQ(ran[i], i);
  // Each slice waits for one turn of the steady source at most.
  EXPECT_LE(turnsWhenRan.back(), int(blocks / slice) + 1) << turnsWhenRan.front();
}
