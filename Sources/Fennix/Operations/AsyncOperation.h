// The base of operations whose work ends later than the call that starts it. The operation keeps
// its own three states and announces each change under the state's key, so that queues and
// dependent operations see the start and the end.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string_view>

#include "Fennix/Operations/Operation.h"

/// Reference types that finish asynchronously.
class QvAsyncOperationType {
 public:
  virtual ~QvAsyncOperationType() = default;
  virtual void finish() = 0;
};

class QvAsyncOperation : public NSOperation, public QvAsyncOperationType {
 public:
  enum class State { isReady, isExecuting, isFinished };
  static std::string_view rawValue(State state);
  static std::optional<State> stateFromRawValue(std::string_view rawValue);

  QvAsyncOperation() = default;

  State state() const;

  bool isAsynchronous() const override { return true; }
  /// Dependencies met (or cancelled) and not yet started.
  bool isReady() const override;
  bool isExecuting() const override { return state() == State::isExecuting; }
  bool isFinished() const override { return state() == State::isFinished; }

  /// A cancelled operation finishes at once; otherwise it becomes executing and `asyncMain` runs
  /// (after `asyncCancel()` when a cancel came in while it became executing).
  void start() override;
  /// Marks the operation cancelled, then calls `asyncCancel()` if it executes. The state stays.
  void cancel() override;

  /// Moves to finished, once: later calls, from any thread, change nothing and notify nobody.
  void finish() override;

  /// The work; call `finished` (or `finish()`) when it is done. Must be overridden.
  virtual void asyncMain(std::function<void()> finished);
  /// Called once, by `cancel()` while executing or by `start()` when the operation was cancelled
  /// while it became executing.
  virtual void asyncCancel() {}

 protected:
  /// Changes the state with its notices (will old, will new, store, did old, did new). The
  /// comparison and the store form one step: of two callers asking for the same change, only one
  /// makes it and notifies. Finished is final. True when this call made the change.
  bool setState(State newState);

 private:
  mutable std::mutex lock_;            // guards state_
  std::recursive_mutex transition_;    // one transition at a time
  State state_ = State::isReady;
  std::atomic<bool> cancelDelivered_{false};

  /// Calls `asyncCancel()` unless it was called already.
  void deliverCancel();
};
