// Adapter operations: a small operation between two others that takes a value out of the source,
// converts it and stores it into the target. The adapter depends on the source and the target
// on the adapter, so a queue runs source, adapter, target in that order; errors and cancellation
// of the source are forwarded to the target. Also the completion callbacks of output operations.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "Fennix/Operations/OperationProtocols.h"
#include "Fennix/Operations/ValueCast.h"
#include "Fennix/console/Console.h"

/// The process-wide queue for adapters of callers without a queue of their own.
std::shared_ptr<NSOperationQueue> QvAdapterQueue();

template <typename From, typename FromValue, typename To, typename ToValue>
class QvKeyPathAdaptorOperation : public NSOperation {
 protected:
  struct Key {
    explicit Key() = default;
  };

 public:
  /// Reads the source's value (none when it has none).
  using FromKeyPath = std::function<std::optional<FromValue>(From&)>;
  /// Stores a value into the target.
  using ToKeyPath = std::function<void(To&, std::optional<ToValue>)>;
  /// Converts a value; may throw.
  using MapBlock = std::function<ToValue(const FromValue&)>;

  /// An adapter from `from` to `to`, wired: it depends on the source, the target depends on it.
  static std::shared_ptr<QvKeyPathAdaptorOperation> make(const std::shared_ptr<From>& from, FromKeyPath fromKeyPath,
                                                         const std::shared_ptr<To>& to, ToKeyPath toKeyPath,
                                                         bool errorOnly, std::shared_ptr<Logger> log,
                                                         MapBlock map = {}) {
    auto adapter = std::make_shared<QvKeyPathAdaptorOperation>(Key{}, from, std::move(fromKeyPath), to,
                                                               std::move(toKeyPath), errorOnly, std::move(log),
                                                               std::move(map));
    adapter->wire();
    return adapter;
  }

  QvKeyPathAdaptorOperation(Key, const std::shared_ptr<From>& from, FromKeyPath fromKeyPath,
                            const std::shared_ptr<To>& to, ToKeyPath toKeyPath, bool errorOnly,
                            std::shared_ptr<Logger> log, MapBlock map)
      : log_(log ? std::move(log) : console::defaultConsole()), from_(from), to_(to),
        fromKeyPath_(std::move(fromKeyPath)), toKeyPath_(std::move(toKeyPath)), errorOnly_(errorOnly),
        mapBlock_(std::move(map)) {}

  const std::shared_ptr<Logger>& log() const { return log_; }
  /// Set when the adapter itself stopped (a lost handle, an execution race).
  Fennix::ErrorRef error() const {
    std::lock_guard<std::mutex> lock(fieldsMutex_);
    return error_;
  }
  void setError(Fennix::ErrorRef error) {
    std::lock_guard<std::mutex> lock(fieldsMutex_);
    error_ = std::move(error);
  }
  /// The source and the target are held weakly; setting them leaves the dependencies as they are.
  std::shared_ptr<From> from() const {
    std::lock_guard<std::mutex> lock(fieldsMutex_);
    return from_.lock();
  }
  void setFrom(const std::shared_ptr<From>& from) {
    std::lock_guard<std::mutex> lock(fieldsMutex_);
    from_ = from;
  }
  std::shared_ptr<To> to() const {
    std::lock_guard<std::mutex> lock(fieldsMutex_);
    return to_.lock();
  }
  void setTo(const std::shared_ptr<To>& to) {
    std::lock_guard<std::mutex> lock(fieldsMutex_);
    to_ = to;
  }
  bool errorOnly() const { return errorOnly_; }
  /// The conversion; none means the default one.
  MapBlock mapBlock() const {
    std::lock_guard<std::mutex> lock(fieldsMutex_);
    return mapBlock_;
  }
  void setMapBlock(MapBlock map) {
    std::lock_guard<std::mutex> lock(fieldsMutex_);
    mapBlock_ = std::move(map);
  }

  void main() override {
    auto source = from();
    auto target = to();
    if (!source || !target) {
      stop(QvAdapterOperationError::operationHandleLost(), "stopping adapter operation, handle lost:");
      return;
    }
    if (source->operation()->isExecuting() || target->operation()->isExecuting()) {
      stop(QvAdapterOperationError::executionRace(), "stopping adapter operation, executing race:");
      return;
    }
    try {
      transfer(*source, *target);
    } catch (...) {
      auto failure = Fennix::errorFromException(std::current_exception());
      const std::string targetText = target->operation()->description();
      if (isOperationError<QvOperationError::Cancelled>(failure)) {
        log_->log("op cancelled, forwarding to:", targetText);
        target->operation()->cancel();
        target->fail(QvOperationError::cancelled());
      } else if (isOperationError<QvOperationError::LostWeak>(failure)) {
        log_->log("adapter lost reference, forwarding to:", targetText);
        target->fail(QvOperationError::lostWeak());
      } else {
        log_->error("adapter catched error:", failure, "\n  forwarding to:", targetText);
        target->fail(failure);
      }
    }
  }

  void cancel() override {
    std::shared_ptr<To> target;
    {
      std::lock_guard<std::mutex> lock(fieldsMutex_);
      target = to_.lock();
      to_.reset();
    }
    if (target) {
      log_->log("cancelling adapter operation:", description(), "\n  and target:", target->operation()->description());
      target->operation()->cancel();
    } else {
      log_->log("cancelling adapter operation:", description());
    }
    NSOperation::cancel();
  }

  /// Moves the value from the source into the target; throws what stops the transfer.
  virtual void transfer(From& source, To& target) {
    if (isCancelled()) {
      target.operation()->cancel();
      Fennix::throwError(QvAdapterOperationError::cancelled());
    }
    if (auto sourceError = source.error()) Fennix::throwError(sourceError);
    if (errorOnly_) return;
    std::optional<FromValue> value = fromKeyPath_(source);
    if (!value) {
      Fennix::throwError(source.operation()->isCancelled() ? QvAdapterOperationError::cancelled()
                                                           : QvAdapterOperationError::missingInputValueWithoutError());
    }
    if (const MapBlock map = mapBlock()) {
      toKeyPath_(target, map(*value));
      return;
    }
    std::optional<ToValue> converted = Fennix::dynamicValueCast<ToValue>(*value);
    if (!converted) {
      Fennix::throwError(QvAdapterOperationError::inputTypeDoesNotMatchOutputType(
          Fennix::typeName(Fennix::dynamicTypeOf(*value)), Fennix::typeName(typeid(ToValue))));
    }
    toKeyPath_(target, std::move(converted));
  }

 private:
  void wire() {
    if (auto source = from_.lock()) addDependency(source->operation());
    if (auto target = to_.lock()) target->operation()->addDependency(shared_from_this());
  }

  void stop(Fennix::ErrorRef reason, const char* message) {
    setError(std::move(reason));
    log_->error(message, description());
    cancel();
  }

  const std::shared_ptr<Logger> log_;
  mutable std::mutex fieldsMutex_;  // guards the error, the handles and the conversion
  Fennix::ErrorRef error_;
  std::weak_ptr<From> from_;
  std::weak_ptr<To> to_;
  const FromKeyPath fromKeyPath_;
  const ToKeyPath toKeyPath_;
  const bool errorOnly_;
  MapBlock mapBlock_;
};

/// The adapter from a source's output to a target's input.
template <typename From, typename To>
class QvOutInAdapterOperation
    : public QvKeyPathAdaptorOperation<From, typename From::OutputType, To, typename To::InputType> {
  using Base = QvKeyPathAdaptorOperation<From, typename From::OutputType, To, typename To::InputType>;

 public:
  using typename Base::MapBlock;

  static std::shared_ptr<QvOutInAdapterOperation> make(const std::shared_ptr<From>& from,
                                                       const std::shared_ptr<To>& to, bool errorOnly = false,
                                                       std::shared_ptr<Logger> log = nullptr, MapBlock map = {}) {
    auto adapter = std::make_shared<QvOutInAdapterOperation>(typename Base::Key{}, from, to, errorOnly,
                                                             std::move(log), std::move(map));
    if (from) adapter->addDependency(from->operation());
    if (to) to->operation()->addDependency(adapter);
    return adapter;
  }

  QvOutInAdapterOperation(typename Base::Key key, const std::shared_ptr<From>& from, const std::shared_ptr<To>& to,
                          bool errorOnly, std::shared_ptr<Logger> log, MapBlock map)
      : Base(key, from, [](From& source) { return source.output(); }, to,
             [](To& target, std::optional<typename To::InputType> value) { target.setInput(std::move(value)); },
             errorOnly, std::move(log), std::move(map)) {}
};

/// Chains `to` after `from` through an adapter from `fromKeyPath` to `toKeyPath`, added to
/// `queue` when one is given (otherwise the caller queues it).
template <typename From, typename FromValue, typename To, typename ToValue>
std::shared_ptr<QvKeyPathAdaptorOperation<From, FromValue, To, ToValue>> adapt(
    const std::shared_ptr<From>& from, std::function<std::optional<FromValue>(From&)> fromKeyPath,
    const std::shared_ptr<To>& to, std::function<void(To&, std::optional<ToValue>)> toKeyPath,
    const std::shared_ptr<NSOperationQueue>& queue = nullptr, bool errorOnly = false,
    std::function<ToValue(const FromValue&)> map = {}) {
  auto adapter = QvKeyPathAdaptorOperation<From, FromValue, To, ToValue>::make(
      from, std::move(fromKeyPath), to, std::move(toKeyPath), errorOnly, console::defaultConsole(), std::move(map));
  if (queue) queue->addOperation(adapter);
  return adapter;
}

/// Chains `to` after `from`, the source's output becoming the target's input.
template <typename From, typename To>
std::shared_ptr<QvOutInAdapterOperation<From, To>> adapt(
    const std::shared_ptr<From>& from, const std::shared_ptr<To>& to,
    const std::shared_ptr<NSOperationQueue>& queue = nullptr, bool errorOnly = false,
    typename QvOutInAdapterOperation<From, To>::MapBlock map = {}) {
  auto adapter = QvOutInAdapterOperation<From, To>::make(from, to, errorOnly, console::defaultConsole(), std::move(map));
  if (queue) queue->addOperation(adapter);
  return adapter;
}

/// Calls `callback` once the operation completed, after the completion block that was set
/// before: with the error when there is one, else with the output, else with
/// `missingInputValueWithoutError`. With a queue, the callback runs there. Returns `operation`.
template <typename Op>
std::shared_ptr<Op> onFinish(
    const std::shared_ptr<Op>& operation, std::optional<DispatchQueue> queue,
    std::function<void(std::shared_ptr<Op>, Fennix::ErrorRef, std::optional<typename Op::OutputType>)> callback) {
  auto op = operation->operation();
  auto kept = std::make_shared<std::function<void()>>(op->completionBlock());
  std::weak_ptr<Op> weakOperation = operation;
  op->setCompletionBlock([weakOperation, kept, queue, callback] {
    if (*kept) {
      auto earlier = std::move(*kept);
      *kept = nullptr;
      earlier();
    }
    auto strong = weakOperation.lock();
    auto call = [strong, callback] {
      if (!strong) {
        callback(nullptr, QvAdapterOperationError::missingInputValueWithoutError(), std::nullopt);
      } else if (auto failure = strong->error()) {
        callback(strong, failure, std::nullopt);
      } else if (auto result = strong->output()) {
        callback(strong, nullptr, std::move(result));
      } else {
        callback(strong, QvAdapterOperationError::missingInputValueWithoutError(), std::nullopt);
      }
    };
    if (queue) {
      queue->async(call);
    } else {
      call();
    }
    if (strong) strong->operation()->setCompletionBlock(nullptr);
  });
  return operation;
}

template <typename Op>
std::shared_ptr<Op> onFinish(
    const std::shared_ptr<Op>& operation,
    std::function<void(std::shared_ptr<Op>, Fennix::ErrorRef, std::optional<typename Op::OutputType>)> callback) {
  return onFinish(operation, std::nullopt, std::move(callback));
}
