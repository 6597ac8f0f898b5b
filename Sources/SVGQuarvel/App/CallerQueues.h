// The calls that wait for the services, one queue per caller: callers are served in turn, each
// caller's calls in the order they came, within bounds on what waits, per caller and in all.
#pragma once

#include <cstddef>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace SVGQuarvel {

template <typename Item>
class CallerQueues {
 public:
  /// How much may wait: calls, and bytes of their text, of one caller and of all of them. A call
  /// counts from the moment it is queued until it is done, its run included.
  struct Limits {
    std::size_t callsPerCaller = 0;
    std::size_t bytesPerCaller = 0;
    std::size_t calls = 0;
    std::size_t bytes = 0;
  };
  /// Why a call cannot wait: its caller has as much waiting as one caller may, or all callers
  /// together have as much as may wait.
  enum class Refusal { callerFull, full };

  explicit CallerQueues(Limits limits) : limits_(limits) {}

  /// Whether one more call of `bytes` bytes from `caller` would pass a bound; none when it may wait.
  std::optional<Refusal> refusal(const std::string& caller, std::size_t bytes) const {
    std::size_t callerCalls = 0, callerBytes = 0;
    if (const auto found = callers_.find(caller); found != callers_.end()) {
      callerCalls = found->second.calls;
      callerBytes = found->second.bytes;
    }
    if (callerCalls + 1 > limits_.callsPerCaller || bytes > limits_.bytesPerCaller - std::min(callerBytes, limits_.bytesPerCaller)) {
      return Refusal::callerFull;
    }
    if (calls_ + 1 > limits_.calls || bytes > limits_.bytes - std::min(bytes_, limits_.bytes)) return Refusal::full;
    return std::nullopt;
  }

  /// Queues a call of `bytes` bytes behind the caller's earlier items (whether it fits is the
  /// caller's of `refusal`).
  void pushCall(const std::string& caller, Item item, std::size_t bytes) {
    auto& queue = enter(caller);
    queue.items.push_back({std::move(item), bytes, true});
    queue.calls += 1;
    queue.bytes += bytes;
    calls_ += 1;
    bytes_ += bytes;
  }
  /// Queues an answer that is ready but must wait for the caller's earlier calls; it counts
  /// against no bound but `answers()`.
  void pushAnswer(const std::string& caller, Item item) {
    enter(caller).items.push_back({std::move(item), 0, false});
    ++answers_;
  }

  /// The front items of every caller that are answers: nothing of theirs runs, so they are due.
  /// Only while no call runs.
  std::vector<std::pair<std::string, Item>> takeDueAnswers() {
    std::vector<std::pair<std::string, Item>> due;
    for (auto& [name, queue] : callers_) {
      while (!queue.items.empty() && !queue.items.front().isCall) {
        due.emplace_back(name, std::move(queue.items.front().item));
        queue.items.pop_front();
        --answers_;
      }
    }
    forgetIdleCallers();
    return due;
  }

  /// The front item of the caller whose turn it is; the caller then goes to the back of the turn
  /// (after a call, once it is done). A call taken still counts against the bounds until `done` is
  /// called for it.
  struct Taken {
    std::string caller;
    Item item;
    bool isCall;
    std::size_t bytes;
  };
  std::optional<Taken> next() {
    while (!turn_.empty()) {
      const std::string caller = std::move(turn_.front());
      turn_.pop_front();
      auto found = callers_.find(caller);
      if (found == callers_.end() || found->second.items.empty()) continue;
      auto& queue = found->second;
      Entry entry = std::move(queue.items.front());
      queue.items.pop_front();
      if (!entry.isCall) --answers_;
      // A caller whose call runs takes its next turn once the call is done, behind those that
      // came meanwhile; after an answer it goes to the back at once.
      if (!entry.isCall && !queue.items.empty()) {
        turn_.push_back(caller);
      } else {
        queue.inTurn = false;
      }
      queue.running = entry.isCall;
      Taken taken{caller, std::move(entry.item), entry.isCall, entry.bytes};
      forgetIdleCallers();
      return taken;
    }
    return std::nullopt;
  }

  /// A call taken by `next` is done: it no longer counts.
  void done(const std::string& caller, std::size_t bytes) {
    calls_ -= 1;
    bytes_ -= bytes;
    if (auto found = callers_.find(caller); found != callers_.end()) {
      auto& queue = found->second;
      queue.calls -= 1;
      queue.bytes -= bytes;
      queue.running = false;
      if (!queue.items.empty() && !queue.inTurn) {
        queue.inTurn = true;
        turn_.push_back(caller);
      }
    }
    forgetIdleCallers();
  }

  /// Takes every item `caller` has queued (the caller has gone); a call of its that runs still
  /// counts until it is done.
  std::vector<Item> remove(const std::string& caller) {
    std::vector<Item> removed;
    auto found = callers_.find(caller);
    if (found == callers_.end()) return removed;
    auto& queue = found->second;
    for (auto& entry : queue.items) {
      if (entry.isCall) {
        queue.calls -= 1;
        queue.bytes -= entry.bytes;
        calls_ -= 1;
        bytes_ -= entry.bytes;
      } else {
        --answers_;
      }
      removed.push_back(std::move(entry.item));
    }
    queue.items.clear();
    queue.inTurn = false;
    std::erase(turn_, caller);
    forgetIdleCallers();
    return removed;
  }

  /// Whether `caller` has anything queued or running.
  bool has(const std::string& caller) const { return callers_.count(caller) != 0; }
  /// Whether `caller` has items queued (not counting one that runs).
  bool hasQueued(const std::string& caller) const {
    const auto found = callers_.find(caller);
    return found != callers_.end() && !found->second.items.empty();
  }
  std::size_t answers() const { return answers_; }
  std::size_t answers(const std::string& caller) const {
    const auto found = callers_.find(caller);
    if (found == callers_.end()) return 0;
    std::size_t count = 0;
    for (const auto& entry : found->second.items) count += entry.isCall ? 0 : 1;
    return count;
  }
  std::size_t calls() const { return calls_; }
  std::size_t bytes() const { return bytes_; }

 private:
  struct Entry {
    Item item;
    std::size_t bytes;
    bool isCall;
  };
  struct Queue {
    std::deque<Entry> items;
    std::size_t calls = 0;  // queued and running
    std::size_t bytes = 0;
    bool inTurn = false;
    bool running = false;  // a call of the caller has been taken and is not done
  };

  Queue& enter(const std::string& caller) {
    auto& queue = callers_[caller];
    // A caller whose call runs is put in turn once the call is done, behind those that came
    // meanwhile, whatever it sends in between.
    if (!queue.inTurn && !queue.running) {
      queue.inTurn = true;
      turn_.push_back(caller);
    }
    return queue;
  }
  void forgetIdleCallers() {
    std::erase_if(callers_, [](const auto& entry) { return entry.second.items.empty() && entry.second.calls == 0; });
  }

  Limits limits_;
  std::map<std::string, Queue> callers_;
  std::deque<std::string> turn_;
  std::size_t calls_ = 0;
  std::size_t bytes_ = 0;
  std::size_t answers_ = 0;
};

}  // namespace SVGQuarvel
