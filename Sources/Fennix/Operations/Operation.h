// Operations and operation queues: units of work with dependencies, readiness, cancellation,
// a completion block and observable state ("isReady", "isExecuting", "isFinished",
// "isCancelled"), and queues that start ready operations on dispatch queues, up to a maximum
// number at a time.
//
// Operations and queues are always owned through shared pointers (`std::make_shared`).
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "Platform/Dispatch.h"

class NSOperation;

/// What every operation offers; `operation()` is the operation that stands for this one.
class QvOperationType {
 public:
  virtual ~QvOperationType() = default;
  virtual std::shared_ptr<NSOperation> operation() = 0;
};

/// Something that can be started: an operation, a network task, or nothing at all.
class QvResumable {
 public:
  virtual ~QvResumable() = default;
  virtual void resume() = 0;
};

/// Handed out when there is nothing to start.
class EmptyResumable : public QvResumable {
 public:
  void resume() override {}
};

enum class NSOperationQueuePriority : int { veryLow = -8, low = -4, normal = 0, high = 4, veryHigh = 8 };

/// Phase of a change of an observable key.
enum class KeyValueChange { will, did };

class NSOperation : public virtual QvOperationType,
                    public QvResumable,
                    public std::enable_shared_from_this<NSOperation> {
 public:
  using KeyObserver = std::function<void(const std::string& key, KeyValueChange change)>;
  using ObserverToken = std::shared_ptr<const KeyObserver>;

  NSOperation() = default;
  NSOperation(const NSOperation&) = delete;
  NSOperation& operator=(const NSOperation&) = delete;
  ~NSOperation() override;

  std::shared_ptr<NSOperation> operation() override { return shared_from_this(); }
  /// Starts the operation on the calling thread.
  void resume() override { start(); }

  std::optional<std::string> name() const;
  void setName(std::optional<std::string> name);
  DispatchQoS qualityOfService() const { return qualityOfService_.load(); }
  void setQualityOfService(DispatchQoS qos) { qualityOfService_.store(qos); }
  NSOperationQueuePriority queuePriority() const { return queuePriority_.load(); }
  /// A change is announced under "queuePriority": a queue that holds the operation waiting to start
  /// files it again under the new priority.
  void setQueuePriority(NSOperationQueuePriority priority);
  /// Runs once, after the operation finished, on the thread that finished it.
  std::function<void()> completionBlock() const;
  void setCompletionBlock(std::function<void()> block);

  bool isCancelled() const { return cancelled_.load(); }
  virtual bool isExecuting() const { return executing_.load(); }
  virtual bool isFinished() const { return finished_.load(); }
  virtual bool isAsynchronous() const { return false; }
  /// Cancelled, or every dependency finished (a count kept as dependencies finish).
  virtual bool isReady() const;

  /// Runs `main()` on the calling thread with the executing and finished notices; a cancelled
  /// operation finishes without running it. Starting twice does nothing.
  virtual void start();
  /// Marks the operation cancelled (once, with the "isCancelled" notices); readiness changes too.
  virtual void cancel();
  /// The work of a synchronous operation; does nothing here.
  virtual void main() {}
  /// Blocks until the operation finished. Do not call it from the operation's own work.
  void waitUntilFinished();

  /// The dependencies in the order they were added. An operation holds its dependencies until it
  /// has finished and its completion block has returned, so that a chain is freed as it runs;
  /// from then on it reports those that something else still holds.
  std::vector<std::shared_ptr<NSOperation>> dependencies() const;
  void addDependency(const std::shared_ptr<NSOperation>& operation);
  void removeDependency(const std::shared_ptr<NSOperation>& operation);

  /// Observes every change notice of this operation; keep the token, hand it back to remove.
  ObserverToken addObserver(KeyObserver observer);
  void removeObserver(const ObserverToken& token);

  /// Sends the change notices of a key to the observers, on the calling thread.
  void willChangeValue(const std::string& key);
  void didChangeValue(const std::string& key);

  /// "<", the class name, " name=" and the name when there is one, ">".
  virtual std::string description() const;

 private:
  friend class QvGroupOperation;
  friend class NSOperationQueue;

  /// Whether a dependency has finished, and whether it is still counted as unfinished; both
  /// guarded by `mutex_`.
  struct DependencyLink {
    explicit DependencyLink(const NSOperation* of) : dependency(of) {}
    const NSOperation* const dependency;
    bool finished = false;
    bool counted = false;
  };
  struct Dependency {
    std::shared_ptr<NSOperation> operation;  // held until this operation has finished
    std::weak_ptr<NSOperation> weak;
    ObserverToken token;
    std::shared_ptr<DependencyLink> link;
    /// The operation, while it lives.
    std::shared_ptr<NSOperation> lock() const { return operation ? operation : weak.lock(); }
  };
  using Dependencies = std::list<Dependency>;

  void dependencyFinished(const std::shared_ptr<DependencyLink>& link);
  void releaseDependencies();
  /// The entry of a dependency that is still recorded; one whose operation is gone (its address
  /// may since belong to another operation) is dropped. Called with `mutex_` held.
  Dependencies::iterator findDependency(const NSOperation* operation);
  /// Runs `block` once the completion block has returned (at once when it already has).
  void afterCompletion(std::function<void()> block);

  std::atomic<bool> cancelled_{false};
  std::atomic<bool> executing_{false};
  std::atomic<bool> finished_{false};
  std::atomic<bool> started_{false};
  std::atomic<bool> queued_{false};  // taken by a queue
  std::atomic<DispatchQoS> qualityOfService_{DispatchQoS::default_};
  std::atomic<NSOperationQueuePriority> queuePriority_{NSOperationQueuePriority::normal};

  mutable std::mutex mutex_;  // name, completion block, dependencies, observers
  std::optional<std::string> name_;
  std::function<void()> completionBlock_;
  Dependencies dependencies_;  // in the order they were added
  std::unordered_map<const NSOperation*, Dependencies::iterator> dependencyIndex_;
  std::size_t unfinishedDependencies_ = 0;
  std::vector<ObserverToken> observers_;

  std::mutex completionMutex_;
  std::condition_variable completionCondition_;
  bool completed_ = false;
  std::vector<std::function<void()>> afterCompletion_;
};

/// An operation that runs its blocks, one after the other, on the thread that starts it.
class NSBlockOperation : public NSOperation {
 public:
  NSBlockOperation() = default;
  explicit NSBlockOperation(std::function<void()> block);

  void addExecutionBlock(std::function<void()> block);
  void main() override;

 private:
  std::mutex blocksMutex_;
  std::vector<std::function<void()>> blocks_;
};

/// A queue that starts each of its operations once it is ready, on the underlying dispatch queue
/// (a global queue of the operation's quality of service when none is set), at most
/// `maxConcurrentOperationCount` at a time (no limit by default), higher priorities first (the
/// priority an operation has while it waits, changes included). A queue that is not suspended
/// keeps itself alive while it holds operations.
class NSOperationQueue : public std::enable_shared_from_this<NSOperationQueue> {
 public:
  static constexpr int defaultMaxConcurrentOperationCount = -1;

  NSOperationQueue() = default;
  /// A queue whose operations run on `queue`.
  explicit NSOperationQueue(DispatchQueue queue);
  NSOperationQueue(const NSOperationQueue&) = delete;
  NSOperationQueue& operator=(const NSOperationQueue&) = delete;
  ~NSOperationQueue();

  std::optional<std::string> name() const;
  void setName(std::optional<std::string> name);
  int maxConcurrentOperationCount() const;
  void setMaxConcurrentOperationCount(int count);
  std::optional<DispatchQueue> underlyingQueue() const;
  void setUnderlyingQueue(std::optional<DispatchQueue> queue);
  bool isSuspended() const;
  void setSuspended(bool suspended);

  /// Adds an operation (an operation already in a queue, this one or another, or finished, is
  /// refused with a log line).
  void addOperation(const std::shared_ptr<NSOperation>& operation);
  /// Adds a block operation running `block` and returns it.
  std::shared_ptr<NSBlockOperation> addOperation(std::function<void()> block);

  /// The operations that have not finished, in the order they were added.
  std::vector<std::shared_ptr<NSOperation>> operations() const;
  std::size_t operationCount() const;
  void cancelAllOperations();
  /// Blocks until the queue holds no operation (a suspended queue with operations waits forever).
  void waitUntilAllOperationsAreFinished();

 private:
  using ReadyList = std::list<std::shared_ptr<NSOperation>>;
  struct Entry {
    std::shared_ptr<NSOperation> operation;
    NSOperation::ObserverToken token;
    bool running = false;
    bool waiting = false;  // in the ready list of `readyPriority`, at `readyItem`
    int readyPriority = 0;
    ReadyList::iterator readyItem;
  };

  /// Operations waiting to be started on the global queue of one quality of service.
  struct Lane {
    std::deque<std::shared_ptr<NSOperation>> toStart;
    bool runnerWaiting = false;  // a runner was dispatched and has not yet taken an operation
  };

  void schedule();
  void runLane(DispatchQoS qos);
  void operationChanged(NSOperation* operation, const std::string& key);
  void updateKeepAlive(std::shared_ptr<NSOperationQueue>& released);
  /// Puts an entry that is ready into the ready list (once). Called with `mutex_` held.
  void noteReady(Entry& entry);
  /// Takes an entry off the ready list it waits in, if any. Called with `mutex_` held.
  void unfile(Entry& entry);
  /// Takes the next entry to start off the ready list, skipping those that are no longer ready.
  /// Called with `mutex_` held.
  Entry* nextReady();

  mutable std::mutex mutex_;
  std::condition_variable emptied_;
  std::optional<std::string> name_;
  int maxConcurrent_ = defaultMaxConcurrentOperationCount;
  std::optional<DispatchQueue> underlying_;
  bool suspended_ = false;
  std::list<Entry> entries_;  // in the order they were added
  std::unordered_map<const NSOperation*, std::list<Entry>::iterator> index_;
  std::size_t running_ = 0;
  // Operations that became ready, highest priority first, each priority in the order they became
  // ready (or got that priority). An item may be stale (its operation is no longer ready): it is
  // skipped.
  std::map<int, ReadyList, std::greater<>> ready_;
  std::array<Lane, static_cast<std::size_t>(DispatchQoS::unspecified) + 1> lanes_;
  std::shared_ptr<NSOperationQueue> keepAlive_;
};
