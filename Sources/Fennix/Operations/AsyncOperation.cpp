#include "Fennix/Operations/AsyncOperation.h"

#include <string>

#include "Fennix/Foundation/BaseTypes/FatalError.h"

std::string_view QvAsyncOperation::rawValue(State state) {
  switch (state) {
    case State::isReady: return "isReady";
    case State::isExecuting: return "isExecuting";
    case State::isFinished: return "isFinished";
  }
  return "isReady";
}

std::optional<QvAsyncOperation::State> QvAsyncOperation::stateFromRawValue(std::string_view rawValue) {
  if (rawValue == "isReady") return State::isReady;
  if (rawValue == "isExecuting") return State::isExecuting;
  if (rawValue == "isFinished") return State::isFinished;
  return std::nullopt;
}

QvAsyncOperation::State QvAsyncOperation::state() const {
  std::lock_guard<std::mutex> guard(lock_);
  return state_;
}

bool QvAsyncOperation::setState(State newState) {
  // An observer may drop the last other reference while the notices run (a queue lets go of a
  // finished operation, and `finish()` may come from a thread that holds only `this`): the
  // operation keeps itself alive until the change is complete.
  const auto keepAlive = weak_from_this().lock();
  // Notices are sent while the transition is held, never while `lock_` is: observers may read
  // the state, and a second caller waits here and then finds nothing left to change.
  std::lock_guard<std::recursive_mutex> transition(transition_);
  const State old = state();
  if (old == newState || old == State::isFinished) return false;
  const std::string oldKey(rawValue(old));
  const std::string newKey(rawValue(newState));
  willChangeValue(oldKey);
  willChangeValue(newKey);
  {
    std::lock_guard<std::mutex> guard(lock_);
    state_ = newState;
  }
  didChangeValue(oldKey);
  didChangeValue(newKey);
  return true;
}

bool QvAsyncOperation::isReady() const { return NSOperation::isReady() && state() == State::isReady; }

// A cancel and a start may overlap on two threads. Each side first stores its own change (the
// cancelled flag, the executing state) and then reads the other's; `lock_` orders the state's
// store and read, so at least one of them sees both changes and delivers the cancel, and
// `deliverCancel` lets only one of them do so.
void QvAsyncOperation::start() {
  if (isCancelled()) {
    setState(State::isFinished);
    return;
  }
  if (!setState(State::isExecuting)) return;
  if (isCancelled()) deliverCancel();
  auto self = std::static_pointer_cast<QvAsyncOperation>(shared_from_this());
  asyncMain([self] { self->finish(); });
}

void QvAsyncOperation::cancel() {
  NSOperation::cancel();
  if (isExecuting()) deliverCancel();
}

void QvAsyncOperation::deliverCancel() {
  if (!cancelDelivered_.exchange(true)) asyncCancel();
}

void QvAsyncOperation::finish() { setState(State::isFinished); }

void QvAsyncOperation::asyncMain(std::function<void()>) {
  Fennix::fatalError("subclass must override: asyncMain(finished:) in operation: " + description());
}
