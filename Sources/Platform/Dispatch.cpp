#include "Platform/Dispatch.h"

#include <glib.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <queue>
#include <thread>
#include <vector>

// ---------------------------------------------------------------------------
// Work items

DispatchWorkItem::DispatchWorkItem(std::function<void()> block) : block_(std::move(block)) {}

void DispatchWorkItem::perform() {
  if (cancelled_.load()) return;
  if (block_) block_();
}

void DispatchWorkItem::cancel() { cancelled_.store(true); }

bool DispatchWorkItem::isCancelled() const { return cancelled_.load(); }

// ---------------------------------------------------------------------------
// Queue implementations

using Task = std::function<void()>;

class DispatchQueue::Impl {
 public:
  Impl(std::string label, DispatchQoS qos) : label_(std::move(label)), qos_(qos) {}
  virtual ~Impl() = default;
  virtual void enqueue(Task task) = 0;
  /// Serial queues (and the main queue) cannot wait for themselves.
  virtual bool isSerial() const { return true; }

  const std::string& label() const { return label_; }
  DispatchQoS qos() const { return qos_; }

 private:
  std::string label_;
  DispatchQoS qos_;
};

namespace {

// Marks the calling thread as running a block of `queue` for as long as the scope lives. The
// scopes of a thread form a chain through their own stack frames, innermost first, so the chain
// owns no memory and the thread keeps nothing that outlives its blocks. Pool threads stay alive
// between blocks, and a process forked beside them (a bus watcher, a helper) has none of them.
class CurrentQueueScope {
 public:
  explicit CurrentQueueScope(const DispatchQueue::Impl* queue) : queue_(queue), outer_(innermost) {
    innermost = this;
  }
  ~CurrentQueueScope() { innermost = outer_; }
  CurrentQueueScope(const CurrentQueueScope&) = delete;
  CurrentQueueScope& operator=(const CurrentQueueScope&) = delete;

  /// Whether the calling thread runs a block of `queue`, at any depth.
  static bool contains(const DispatchQueue::Impl* queue) {
    for (const CurrentQueueScope* scope = innermost; scope != nullptr; scope = scope->outer_) {
      if (scope->queue_ == queue) return true;
    }
    return false;
  }

 private:
  static thread_local const CurrentQueueScope* innermost;

  const DispatchQueue::Impl* queue_;
  const CurrentQueueScope* outer_;
};

thread_local const CurrentQueueScope* CurrentQueueScope::innermost = nullptr;

[[noreturn]] void dispatchFatal(const std::string& message) {
  std::fprintf(stderr, "Fatal error: %s\n", message.c_str());
  std::fflush(stderr);
  std::abort();
}

// The process-wide pool behind the global queues. It starts a thread whenever more tasks wait than
// threads are idle (so a block that waits for another one cannot starve the pool), up to a cap;
// threads idle for a while end. The pool is never destroyed: its threads may outlive main().
class ThreadPool {
 public:
  static ThreadPool& shared() {
    static ThreadPool* pool = new ThreadPool();
    return *pool;
  }

  void submit(Task task) {
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.push_back(std::move(task));
    if (tasks_.size() > idle_ && threads_ < maxThreads) {
      ++threads_;
      std::thread([this] { work(); }).detach();
    } else {
      ready_.notify_one();
    }
  }

 private:
  static constexpr std::size_t maxThreads = 64;

  void work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      ++idle_;
      bool woke = ready_.wait_for(lock, std::chrono::seconds(10), [this] { return !tasks_.empty(); });
      --idle_;
      if (!woke) {
        --threads_;
        return;
      }
      Task task = std::move(tasks_.front());
      tasks_.pop_front();
      lock.unlock();
      task();
      task = nullptr;  // release captures outside the lock
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Task> tasks_;
  std::size_t threads_ = 0;
  std::size_t idle_ = 0;
};

class GlobalQueue final : public DispatchQueue::Impl {
 public:
  using Impl::Impl;
  void enqueue(Task task) override {
    ThreadPool::shared().submit([this, task = std::move(task)] {
      CurrentQueueScope scope(this);
      task();
    });
  }
  bool isSerial() const override { return false; }
};

// A queue whose blocks run on a GLib main context: it keeps its own list of blocks, so that they
// run in submission order, and keeps one idle source on the context while the list is not empty.
// The main queue is one, on the default main context.
class ContextQueue final : public DispatchQueue::Impl, public std::enable_shared_from_this<ContextQueue> {
 public:
  /// The priority of a queue that still has blocks after a slice: just behind the toolkit's input
  /// (the default priority) and its resizing and drawing (high idle + 10 and + 20), and ahead of
  /// the rest of its idle work (a text view lays out a long text at high idle + 25, for minutes),
  /// which would otherwise hold the blocks back for as long as it lasts.
  static constexpr int backlogPriority = G_PRIORITY_HIGH_IDLE + 21;

  /// `backlog` is the priority of the queue's source while blocks remain after a slice.
  ContextQueue(std::string label, DispatchQoS qos, GMainContext* context, int backlog = backlogPriority)
      : Impl(std::move(label), qos), context_(g_main_context_ref(context)), backlog_(backlog) {}
  ~ContextQueue() override { g_main_context_unref(context_); }

  void enqueue(Task task) override {
    bool attach = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      tasks_.push_back(std::move(task));
      if (!scheduled_) scheduled_ = attach = true;
    }
    if (attach) {
      // The source holds the queue while it is attached.
      GSource* source = g_idle_source_new();
      g_source_set_priority(source, G_PRIORITY_DEFAULT);
      g_source_set_name(source, label().c_str());
      g_source_set_callback(source, &ContextQueue::dispatchSource, new std::shared_ptr<ContextQueue>(shared_from_this()),
                            [](gpointer held) { delete static_cast<std::shared_ptr<ContextQueue>*>(held); });
      g_source_attach(source, context_);
      g_source_unref(source);
      g_main_context_wakeup(context_);
    }
  }

 private:
  // Runs at most `maximumBlocksPerDispatch` of the blocks that were queued when the source fired;
  // later ones wait for the next iteration, so a block that keeps re-posting itself does not hold
  // up the rest of the loop. While blocks remain after a slice, the source of the main queue waits
  // behind the context's input and redraws (its priority drops below theirs), which thus go on
  // between slices however many blocks are queued, but not behind idle work of no fixed length;
  // once the queue is empty, the next block is again dispatched at the default priority.
  static gboolean dispatchSource(gpointer data) {
    ContextQueue* self = static_cast<std::shared_ptr<ContextQueue>*>(data)->get();
    std::size_t count;
    {
      std::lock_guard<std::mutex> lock(self->mutex_);
      count = std::min(self->tasks_.size(), DispatchQueue::maximumBlocksPerDispatch);
    }
    CurrentQueueScope scope(self);
    for (std::size_t i = 0; i < count; ++i) {
      Task task;
      {
        std::lock_guard<std::mutex> lock(self->mutex_);
        task = std::move(self->tasks_.front());
        self->tasks_.pop_front();
      }
      task();
    }
    std::lock_guard<std::mutex> lock(self->mutex_);
    if (self->tasks_.empty()) {
      self->scheduled_ = false;
      return G_SOURCE_REMOVE;
    }
    g_source_set_priority(g_main_current_source(), self->backlog_);
    return G_SOURCE_CONTINUE;
  }

  GMainContext* context_;
  const int backlog_;
  std::mutex mutex_;
  std::deque<Task> tasks_;
  bool scheduled_ = false;
};

// A thread of its own that iterates a main context of its own (its thread-default context) until
// the queue on it is gone.
class OwnThreadQueue final : public DispatchQueue::Impl, public std::enable_shared_from_this<OwnThreadQueue> {
 public:
  OwnThreadQueue(std::string label, DispatchQoS qos) : Impl(label, qos), running_(std::make_shared<std::atomic<bool>>(true)) {
    GMainContext* context = g_main_context_new();
    // The thread has no input or drawing to let go first: while blocks remain, they keep the
    // default priority and take turns with the sources beside them (calls from the bus, say),
    // which arrive at that priority and would otherwise hold them back for as long as they come.
    queue_ = std::make_shared<ContextQueue>(std::move(label), qos, context, G_PRIORITY_DEFAULT);
    std::thread([context, running = running_] {
      g_main_context_push_thread_default(context);
      while (running->load()) g_main_context_iteration(context, TRUE);
      g_main_context_pop_thread_default(context);
      g_main_context_unref(context);
    }).detach();
    context_ = context;
  }
  ~OwnThreadQueue() override {
    running_->store(false);
    g_main_context_wakeup(context_);
  }
  void enqueue(Task task) override {
    // Blocks count as this queue's, not as the context queue's that carries them, and hold the
    // queue (and so its thread) until they have run.
    queue_->enqueue([self = shared_from_this(), task = std::move(task)] {
      CurrentQueueScope scope(self.get());
      task();
    });
  }

 private:
  std::shared_ptr<std::atomic<bool>> running_;
  std::shared_ptr<ContextQueue> queue_;
  GMainContext* context_ = nullptr;  // owned by the thread
};

class SerialQueue final : public DispatchQueue::Impl, public std::enable_shared_from_this<SerialQueue> {
 public:
  SerialQueue(std::string label, DispatchQoS qos, std::shared_ptr<DispatchQueue::Impl> target)
      : Impl(std::move(label), qos), target_(std::move(target)) {}

  void enqueue(Task task) override {
    bool schedule = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      tasks_.push_back(std::move(task));
      if (!scheduled_) scheduled_ = schedule = true;
    }
    if (schedule) scheduleDrain();
  }

 private:
  void scheduleDrain() {
    target_->enqueue([self = shared_from_this()] { self->drain(); });
  }

  // At most one drain is on its way at a time, which makes the queue serial. A drain runs the
  // blocks present when it started and hands the target back before running later ones.
  void drain() {
    std::size_t count;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      count = tasks_.size();
    }
    {
      CurrentQueueScope scope(this);
      for (std::size_t i = 0; i < count; ++i) {
        Task task;
        {
          std::lock_guard<std::mutex> lock(mutex_);
          task = std::move(tasks_.front());
          tasks_.pop_front();
        }
        task();
      }
    }
    bool more;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      more = !tasks_.empty();
      if (!more) scheduled_ = false;
    }
    if (more) scheduleDrain();
  }

  std::shared_ptr<DispatchQueue::Impl> target_;
  std::mutex mutex_;
  std::deque<Task> tasks_;
  bool scheduled_ = false;
};

// One thread that hands delayed blocks to their queues when they are due. Never destroyed.
class DelayTimer {
 public:
  static DelayTimer& shared() {
    static DelayTimer* timer = new DelayTimer();
    return *timer;
  }

  void schedule(std::chrono::steady_clock::time_point due, std::shared_ptr<DispatchQueue::Impl> queue,
                Task task) {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.push(Entry{due, nextSequence_++, std::move(queue), std::move(task)});
    if (!started_) {
      started_ = true;
      std::thread([this] { run(); }).detach();
    }
    changed_.notify_one();
  }

 private:
  struct Entry {
    std::chrono::steady_clock::time_point due;
    unsigned long long sequence;  // keeps blocks with equal due times in submission order
    std::shared_ptr<DispatchQueue::Impl> queue;
    Task task;
  };
  struct Later {
    bool operator()(const Entry& a, const Entry& b) const {
      return a.due != b.due ? a.due > b.due : a.sequence > b.sequence;
    }
  };

  void run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      if (entries_.empty()) {
        changed_.wait(lock);
        continue;
      }
      auto due = entries_.top().due;
      if (std::chrono::steady_clock::now() < due) {
        changed_.wait_until(lock, due);
        continue;
      }
      Entry entry = entries_.top();
      entries_.pop();
      lock.unlock();
      entry.queue->enqueue(std::move(entry.task));
      entry = Entry{};
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::priority_queue<Entry, std::vector<Entry>, Later> entries_;
  unsigned long long nextSequence_ = 0;
  bool started_ = false;
};

std::shared_ptr<DispatchQueue::Impl> globalImpl(DispatchQoS qos) {
  static const char* labels[] = {"global.background", "global.utility", "global.default",
                                 "global.user-initiated", "global.user-interactive", "global.default"};
  // Never destroyed: blocks may still be submitted while the process exits.
  static auto* queues = [] {
    auto* all = new std::vector<std::shared_ptr<DispatchQueue::Impl>>();
    for (int i = 0; i < 6; ++i) {
      all->push_back(std::make_shared<GlobalQueue>(labels[i], static_cast<DispatchQoS>(i)));
    }
    return all;
  }();
  // An unspecified quality of service is served by the default queue.
  return (*queues)[qos == DispatchQoS::unspecified ? static_cast<int>(DispatchQoS::default_)
                                                   : static_cast<int>(qos)];
}

}  // namespace

// ---------------------------------------------------------------------------
// DispatchQueue

DispatchQueue::DispatchQueue(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}

DispatchQueue::DispatchQueue(std::string label, DispatchQoS qos)
    : impl_(std::make_shared<SerialQueue>(std::move(label), qos, globalImpl(qos))) {}

DispatchQueue::DispatchQueue(std::string label, DispatchQoS qos, const DispatchQueue& target)
    : impl_(std::make_shared<SerialQueue>(std::move(label), qos, target.impl_)) {}

DispatchQueue DispatchQueue::main() {
  static auto* queue = new std::shared_ptr<Impl>(
      std::make_shared<ContextQueue>("main", DispatchQoS::userInteractive, g_main_context_default()));
  return DispatchQueue(*queue);
}

DispatchQueue DispatchQueue::withOwnThread(std::string label, DispatchQoS qos) {
  return DispatchQueue(std::make_shared<OwnThreadQueue>(std::move(label), qos));
}

DispatchQueue DispatchQueue::global(DispatchQoS qos) { return DispatchQueue(globalImpl(qos)); }

const std::string& DispatchQueue::label() const { return impl_->label(); }

DispatchQoS DispatchQueue::qos() const { return impl_->qos(); }

void DispatchQueue::async(std::function<void()> block) const { impl_->enqueue(std::move(block)); }

void DispatchQueue::async(const std::shared_ptr<DispatchWorkItem>& item) const {
  impl_->enqueue([item] { item->perform(); });
}

void DispatchQueue::asyncAfter(double seconds, std::function<void()> block) const {
  // Clamp before converting: a huge delay must not overflow the clock; NaN counts as 0.
  double bounded = seconds > 0 ? std::min(seconds, 1.0e9) : 0.0;
  auto due = std::chrono::steady_clock::now() +
             std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(bounded));
  DelayTimer::shared().schedule(due, impl_, std::move(block));
}

void DispatchQueue::asyncAfter(double seconds, const std::shared_ptr<DispatchWorkItem>& item) const {
  asyncAfter(seconds, [item] { item->perform(); });
}

void DispatchQueue::sync(const std::function<void()>& block) const {
  if (impl_->isSerial() && isCurrent()) {
    dispatchFatal("DispatchQueue.sync called on the current queue '" + impl_->label() + "' (deadlock)");
  }
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  impl_->enqueue([&] {
    block();
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
    finished.notify_one();
  });
  std::unique_lock<std::mutex> lock(mutex);
  finished.wait(lock, [&] { return done; });
}

bool DispatchQueue::isCurrent() const {
  return CurrentQueueScope::contains(impl_.get());
}
