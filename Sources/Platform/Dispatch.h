// Dispatch queues: the main queue (the GLib default main context), global
// concurrent queues by quality of service, serial queues with an optional target
// queue, and cancellable work items that can be submitted at once or after a delay.
//
// The main queue posts its work to g_main_context_default(); whatever iterates
// that context (the GTK application, or a test calling g_main_context_iteration)
// runs it, in submission order, a few blocks per iteration. Global queues share one
// thread pool that grows while all its threads are busy. A serial queue runs one block at a time, in
// submission order, on its target queue (a global queue when none is given). A queue with a thread
// of its own runs its blocks there, on a main context that is that thread's default context.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

enum class DispatchQoS { background, utility, default_, userInitiated, userInteractive, unspecified };

/// A block that can be cancelled before it runs. A cancelled item does nothing when performed;
/// cancelling does not interrupt a block that has already started.
class DispatchWorkItem {
 public:
  explicit DispatchWorkItem(std::function<void()> block);
  DispatchWorkItem(const DispatchWorkItem&) = delete;
  DispatchWorkItem& operator=(const DispatchWorkItem&) = delete;

  /// Runs the block on the calling thread unless the item was cancelled.
  void perform();
  void cancel();
  bool isCancelled() const;

 private:
  std::function<void()> block_;
  std::atomic<bool> cancelled_{false};
};

/// A handle on a queue: copies refer to the same queue.
class DispatchQueue {
 public:
  /// A new serial queue whose blocks run on the global queue of its quality of service.
  explicit DispatchQueue(std::string label, DispatchQoS qos = DispatchQoS::unspecified);
  /// A new serial queue whose blocks run, one at a time, on `target` (e.g. the main queue).
  DispatchQueue(std::string label, DispatchQoS qos, const DispatchQueue& target);

  /// Most blocks a queue on a main context (the main queue, a queue with a thread of its own)
  /// runs in one dispatch of its context: a flood of blocks leaves room between them for the
  /// context's input and drawing, which go first while blocks remain; the blocks go ahead of
  /// the rest of the context's idle work (such as a text view laying out a long text). On a
  /// thread of its own, the remaining blocks take turns with the context's sources of the default
  /// priority instead, however steadily those come.
  static constexpr std::size_t maximumBlocksPerDispatch = 8;

  /// The queue of the GLib default main context.
  static DispatchQueue main();
  /// A new serial queue whose blocks run on a thread of its own, which iterates a GLib main
  /// context of its own (the thread's default context): sources that the blocks attach to it
  /// (timers of a library used there, say) run on that thread between blocks. The thread ends
  /// once the queue is released and its blocks have run.
  static DispatchQueue withOwnThread(std::string label, DispatchQoS qos = DispatchQoS::unspecified);
  /// The concurrent queue of a quality of service (all of them share one thread pool).
  static DispatchQueue global(DispatchQoS qos = DispatchQoS::default_);

  const std::string& label() const;
  DispatchQoS qos() const;

  /// Submits a block; returns at once and never runs it on the calling stack.
  void async(std::function<void()> block) const;
  void async(const std::shared_ptr<DispatchWorkItem>& item) const;
  /// Submits a block after `seconds` (monotonic clock; negative counts as 0).
  void asyncAfter(double seconds, std::function<void()> block) const;
  void asyncAfter(double seconds, const std::shared_ptr<DispatchWorkItem>& item) const;
  /// Submits a block and waits until it has run. Called from a block of this serial queue (or of
  /// the main queue) it would wait forever: the process stops with a message instead.
  void sync(const std::function<void()>& block) const;

  /// Whether the calling code runs in a block of this queue (for the main queue also inside a
  /// serial queue that targets it).
  bool isCurrent() const;

  bool operator==(const DispatchQueue& other) const { return impl_ == other.impl_; }

  class Impl;

 private:
  explicit DispatchQueue(std::shared_ptr<Impl> impl);
  std::shared_ptr<Impl> impl_;
};
