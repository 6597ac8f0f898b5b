// Debounce and throttle: closures that limit how often an action runs, with delayed work on a
// dispatch queue. Calls of a returned closure and the runs of its work must happen on one serial
// queue, normally the queue given.
#pragma once

#include <chrono>
#include <functional>
#include <limits>
#include <memory>
#include <type_traits>
#include <utility>

#include "Platform/Dispatch.h"

namespace Fennix {

/// Where delayed work runs and what time it is: a dispatch queue with the monotonic clock, or a
/// stand-in with a clock of its own.
class DelayScheduler {
 public:
  virtual ~DelayScheduler() = default;
  /// Seconds on a monotonic clock.
  virtual double now() const = 0;
  virtual void async(const std::shared_ptr<DispatchWorkItem>& item) = 0;
  virtual void asyncAfter(double seconds, const std::shared_ptr<DispatchWorkItem>& item) = 0;
};

/// Work on `queue`, time from the steady clock.
std::shared_ptr<DelayScheduler> queueScheduler(const DispatchQueue& queue);

template <typename... Args>
std::function<void(Args...)> debounce(double delay, std::shared_ptr<DelayScheduler> scheduler,
                                      std::type_identity_t<std::function<void(Args...)>> execute) {
  static_assert(sizeof...(Args) <= 1, "the action takes no value or one value");
  auto pending = std::make_shared<std::shared_ptr<DispatchWorkItem>>();
  return [delay, scheduler = std::move(scheduler), execute = std::move(execute), pending](Args... args) {
    if (*pending != nullptr) (*pending)->cancel();
    *pending = std::make_shared<DispatchWorkItem>([execute, args...] { execute(args...); });
    scheduler->asyncAfter(delay, *pending);
  };
}

template <typename... Args>
std::function<void(Args...)> throttle(double delay, std::shared_ptr<DelayScheduler> scheduler,
                                      std::type_identity_t<std::function<void(Args...)>> execute) {
  static_assert(sizeof...(Args) <= 1, "the action takes no value or one value");
  struct State {
    std::shared_ptr<DispatchWorkItem> pending;
    double lastRun = -std::numeric_limits<double>::infinity();  // the distant past
  };
  auto state = std::make_shared<State>();
  return [delay, scheduler = std::move(scheduler), execute = std::move(execute), state](Args... args) {
    if (state->pending != nullptr) return;  // a run is waiting: this call is dropped
    // The item refers to the state weakly: the state owns the item while it is pending.
    std::weak_ptr<State> weakState = state;
    std::weak_ptr<DelayScheduler> weakScheduler = scheduler;
    state->pending = std::make_shared<DispatchWorkItem>([execute, weakState, weakScheduler, args...] {
      execute(args...);
      const auto owner = weakState.lock();
      const auto clock = weakScheduler.lock();
      if (owner == nullptr) return;
      if (clock != nullptr) owner->lastRun = clock->now();
      owner->pending = nullptr;
    });
    if (scheduler->now() - state->lastRun > delay) {
      scheduler->async(state->pending);
    } else {
      scheduler->asyncAfter(delay, state->pending);  // the full delay, not the remainder
    }
  };
}

}  // namespace Fennix

/// Runs `execute` once, `delay` after the last of a burst of calls, with that call's argument.
std::function<void()> debounce(std::chrono::duration<double> delay, const DispatchQueue& queue,
                               std::function<void()> execute);
template <typename T>
std::function<void(T)> debounce(std::chrono::duration<double> delay, const DispatchQueue& queue,
                                std::function<void(T)> execute) {
  return Fennix::debounce<T>(delay.count(), Fennix::queueScheduler(queue), std::move(execute));
}

/// Runs `execute` at once when the last run is more than `delay` seconds ago, otherwise a whole
/// `delay` later; calls made while a run waits are dropped.
std::function<void()> throttle(double delay, const DispatchQueue& queue, std::function<void()> execute);
template <typename T>
std::function<void(T)> throttle(double delay, const DispatchQueue& queue, std::function<void(T)> execute) {
  return Fennix::throttle<T>(delay, Fennix::queueScheduler(queue), std::move(execute));
}
