// The calls that wait for the services, one queue per caller: programs are served in turn, each
// program's callers in turn within its turns, and each caller's calls in the order they came,
// within bounds on what waits, per program and in all. A caller is one connection; a program may
// call through many, and gets no more turns or room for that.
#pragma once

#include <algorithm>
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
  /// How much may wait: calls, and bytes of their text, of one program and of all of them. A call
  /// counts from the moment it is queued until it is done, its run included.
  struct Limits {
    std::size_t callsPerCaller = 0;
    std::size_t bytesPerCaller = 0;
    std::size_t calls = 0;
    std::size_t bytes = 0;
  };
  /// Why a call cannot wait: its program has as much waiting as one program may, or all programs
  /// together have as much as may wait.
  enum class Refusal { callerFull, full };

  explicit CallerQueues(Limits limits) : limits_(limits) {}

  /// Whether one more call of `bytes` bytes from `program` would pass a bound; none when it may wait.
  std::optional<Refusal> refusal(const std::string& program, std::size_t bytes) const {
    std::size_t programCalls = 0, programBytes = 0;
    if (const auto found = programs_.find(program); found != programs_.end()) {
      programCalls = found->second.calls;
      programBytes = found->second.bytes;
    }
    if (programCalls + 1 > limits_.callsPerCaller ||
        bytes > limits_.bytesPerCaller - std::min(programBytes, limits_.bytesPerCaller)) {
      return Refusal::callerFull;
    }
    if (calls_ + 1 > limits_.calls || bytes > limits_.bytes - std::min(bytes_, limits_.bytes)) return Refusal::full;
    return std::nullopt;
  }

  /// Queues a call of `bytes` bytes of `caller`, a connection of `program`, behind the caller's
  /// earlier items (whether it fits is the caller's of `refusal`).
  void pushCall(const std::string& caller, const std::string& program, Item item, std::size_t bytes) {
    auto& queue = enter(caller, program);
    auto& owner = programs_.at(queue.program);
    queue.items.push_back({std::move(item), bytes, true});
    queue.calls += 1;
    queue.bytes += bytes;
    owner.calls += 1;
    owner.bytes += bytes;
    calls_ += 1;
    bytes_ += bytes;
  }
  /// A caller that is a program of its own.
  void pushCall(const std::string& caller, Item item, std::size_t bytes) { pushCall(caller, caller, std::move(item), bytes); }
  /// Queues an answer that is ready but must wait for the caller's earlier calls; it counts
  /// against no bound but `answers()`.
  void pushAnswer(const std::string& caller, Item item) {
    const auto known = callers_.find(caller);
    enter(caller, known != callers_.end() ? known->second.program : caller).items.push_back({std::move(item), 0, false});
    ++answers_;
  }

  /// The front items of every caller that are answers and whose program has no call taken and
  /// not done: nothing of theirs runs, so they are due. The others come at their program's turn.
  std::vector<std::pair<std::string, Item>> takeDueAnswers() {
    std::vector<std::pair<std::string, Item>> due;
    for (auto& [name, queue] : callers_) {
      if (programs_.at(queue.program).running) continue;
      while (!queue.items.empty() && !queue.items.front().isCall) {
        due.emplace_back(name, std::move(queue.items.front().item));
        queue.items.pop_front();
        --answers_;
      }
    }
    forgetIdleCallers();
    return due;
  }

  /// The front item of the next caller of the program whose turn it is; the program then goes to
  /// the back of the turn (after a call, once it is done), and the caller to the back of its
  /// program's. A call taken still counts against the bounds until `done` is called for it.
  struct Taken {
    std::string caller;
    Item item;
    bool isCall;
    std::size_t bytes;
  };
  std::optional<Taken> next() {
    while (!turn_.empty()) {
      const std::string program = std::move(turn_.front());
      turn_.pop_front();
      auto found = programs_.find(program);
      if (found == programs_.end()) continue;
      auto& owner = found->second;
      const auto caller = nextCaller(owner);
      if (!caller) {
        owner.inTurn = false;
        continue;
      }
      auto& queue = callers_.at(*caller);
      Entry entry = std::move(queue.items.front());
      queue.items.pop_front();
      if (queue.items.empty()) {
        queue.inRotation = false;
      } else {
        owner.rotation.push_back(*caller);
      }
      // A program whose call runs takes its next turn once the call is done, behind those that
      // came meanwhile; after an answer it goes to the back at once.
      if (entry.isCall) {
        owner.inTurn = false;
        owner.running = true;
      } else {
        --answers_;
        if (owner.rotation.empty()) {
          owner.inTurn = false;
        } else {
          turn_.push_back(program);
        }
      }
      Taken taken{*caller, std::move(entry.item), entry.isCall, entry.bytes};
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
      auto& owner = programs_.at(queue.program);
      owner.calls -= 1;
      owner.bytes -= bytes;
      owner.running = false;
      if (!owner.rotation.empty() && !owner.inTurn) {
        owner.inTurn = true;
        turn_.push_back(queue.program);
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
    auto& owner = programs_.at(queue.program);
    for (auto& entry : queue.items) {
      if (entry.isCall) {
        queue.calls -= 1;
        queue.bytes -= entry.bytes;
        owner.calls -= 1;
        owner.bytes -= entry.bytes;
        calls_ -= 1;
        bytes_ -= entry.bytes;
      } else {
        --answers_;
      }
      removed.push_back(std::move(entry.item));
    }
    queue.items.clear();
    queue.inRotation = false;
    std::erase(owner.rotation, caller);
    if (owner.rotation.empty() && owner.inTurn) {
      owner.inTurn = false;
      std::erase(turn_, queue.program);
    }
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
    std::string program;
    std::deque<Entry> items;
    std::size_t calls = 0;  // queued and running
    std::size_t bytes = 0;
    bool inRotation = false;  // among its program's callers in turn
  };
  struct Program {
    std::deque<std::string> rotation;  // its callers with items, in turn
    std::size_t calls = 0;             // queued and running, of all its callers
    std::size_t bytes = 0;
    std::size_t callers = 0;
    bool inTurn = false;
    bool running = false;  // a call of the program has been taken and is not done
  };

  Queue& enter(const std::string& caller, const std::string& program) {
    auto [found, added] = callers_.try_emplace(caller);
    auto& queue = found->second;
    if (added) {
      queue.program = program;
      programs_[program].callers += 1;
    }
    auto& owner = programs_.at(queue.program);
    if (!queue.inRotation) {
      queue.inRotation = true;
      owner.rotation.push_back(caller);
    }
    // A program whose call runs is put in turn once the call is done, behind those that came
    // meanwhile, whatever it sends in between.
    if (!owner.inTurn && !owner.running) {
      owner.inTurn = true;
      turn_.push_back(queue.program);
    }
    return queue;
  }
  /// The next of the program's callers with items, taken from its turn.
  std::optional<std::string> nextCaller(Program& owner) {
    while (!owner.rotation.empty()) {
      std::string caller = std::move(owner.rotation.front());
      owner.rotation.pop_front();
      const auto found = callers_.find(caller);
      if (found == callers_.end()) continue;
      if (!found->second.items.empty()) return caller;
      found->second.inRotation = false;
    }
    return std::nullopt;
  }
  void forgetIdleCallers() {
    for (auto entry = callers_.begin(); entry != callers_.end();) {
      if (!entry->second.items.empty() || entry->second.calls != 0) {
        ++entry;
        continue;
      }
      const auto program = programs_.find(entry->second.program);
      std::erase(program->second.rotation, entry->first);
      if (--program->second.callers == 0) {
        std::erase(turn_, program->first);
        programs_.erase(program);
      }
      entry = callers_.erase(entry);
    }
  }

  Limits limits_;
  std::map<std::string, Queue> callers_;
  std::map<std::string, Program> programs_;
  std::deque<std::string> turn_;
  std::size_t calls_ = 0;
  std::size_t bytes_ = 0;
  std::size_t answers_ = 0;
};

}  // namespace SVGQuarvel
