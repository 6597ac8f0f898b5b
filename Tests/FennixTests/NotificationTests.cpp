#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "Platform/NotificationCenter.h"
#include "FennixTests/DispatchTestSupport.h"

using FennixTestSupport::runMainLoopFor;
using FennixTestSupport::runMainLoopUntil;

namespace {
struct Sender {
  int id;
};
}  // namespace

TEST(NotificationTests, ObserversMatchByNameAndSender) {
  NotificationCenter center;
  Sender a{1}, b{2};
  std::vector<std::string> calls;
  auto byName = center.addObserver("changed", nullptr, std::nullopt, [&](const Notification& n) {
    calls.push_back("name:" + std::to_string(n.objectAs<Sender>() ? n.objectAs<Sender>()->id : 0));
  });
  auto bySender = center.addObserver("changed", &a, std::nullopt, [&](const Notification& n) {
    EXPECT_EQ(n.objectAs<Sender>(), &a);
    EXPECT_EQ(n.objectAs<const Sender>(), nullptr);  // read back exactly as posted
    calls.push_back("a");
  });
  auto any = center.addObserver(std::nullopt, nullptr, std::nullopt, [&](const Notification& n) {
    calls.push_back("any:" + n.name());
  });

  center.post(Notification("changed", &a, {{"count", 3}}));
  center.post(Notification("changed", &b));
  center.post(Notification("other"));
  EXPECT_EQ(calls, (std::vector<std::string>{"name:1", "a", "any:changed", "name:2", "any:changed", "any:other"}));

  calls.clear();
  center.removeObserver(byName);
  center.removeObserver(any);
  center.removeObserver(any);  // twice is harmless
  center.post(Notification("changed", &a));
  EXPECT_EQ(calls, (std::vector<std::string>{"a"}));
}

TEST(NotificationTests, ObserversMayChangeRegistrationsWhileBeingCalled) {
  NotificationCenter center;
  int first = 0, second = 0, added = 0;
  NotificationObserverToken secondToken;
  NotificationObserverToken firstToken = center.addObserver("n", nullptr, std::nullopt, [&](const Notification&) {
    ++first;
    center.removeObserver(secondToken);  // removed during the post: not called any more
    center.removeObserver(firstToken);
    center.addObserver("n", nullptr, std::nullopt, [&](const Notification&) { ++added; });
  });
  secondToken = center.addObserver("n", nullptr, std::nullopt, [&](const Notification&) { ++second; });
  center.post(Notification("n"));
  center.post(Notification("n"));
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 0);
  EXPECT_EQ(added, 1);  // only the second post saw it
}

TEST(NotificationTests, DeliveryQueueRunsTheBlockThere) {
  NotificationCenter center;
  std::atomic<int> delivered{0};
  std::atomic<bool> onMain{false};
  auto token = center.addObserver("n", nullptr, DispatchQueue::main(), [&](const Notification&) {
    onMain = DispatchQueue::main().isCurrent();
    delivered++;
  });

  // Posted from another thread: queued to the main queue, the post does not wait for it.
  std::thread([&] { center.post(Notification("n")); }).join();
  EXPECT_EQ(delivered.load(), 0);
  ASSERT_TRUE(runMainLoopUntil([&] { return delivered.load() == 1; }));
  EXPECT_TRUE(onMain.load());

  // Posted on the main queue: delivered during the post.
  bool duringPost = false;
  DispatchQueue::main().async([&] {
    center.post(Notification("n"));
    duringPost = delivered.load() == 2;
  });
  ASSERT_TRUE(runMainLoopUntil([&] { return delivered.load() == 2; }));
  EXPECT_TRUE(duringPost);

  // Removed before the queued delivery ran: it never runs.
  std::thread([&] { center.post(Notification("n")); }).join();
  center.removeObserver(token);
  runMainLoopFor(0.1);
  EXPECT_EQ(delivered.load(), 2);
}

TEST(NotificationTests, RemovingWaitsForACallUnderWayOnAnotherThread) {
  NotificationCenter center;
  std::promise<void> entered;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<bool> inBlock{false};
  std::atomic<int> calls{0};
  auto token = center.addObserver("n", nullptr, std::nullopt, [&](const Notification&) {
    inBlock = true;
    if (++calls == 1) {
      entered.set_value();
      released.wait();
    }
    inBlock = false;
  });
  std::thread poster([&] { center.post(Notification("n")); });
  entered.get_future().wait();

  std::atomic<bool> removed{false};
  std::atomic<bool> blockRanWhenRemoved{false};
  std::thread remover([&] {
    center.removeObserver(token);
    blockRanWhenRemoved = inBlock.load();
    removed = true;
  });
  // Give the removal every chance to return early: it must wait for the block.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(removed.load());
  release.set_value();
  remover.join();
  poster.join();
  EXPECT_FALSE(blockRanWhenRemoved.load());

  center.post(Notification("n"));
  EXPECT_EQ(calls.load(), 1);
}
