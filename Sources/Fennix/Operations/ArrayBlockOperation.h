// A synchronous operation that hands a list of values to one throwing closure, once, and records
// whether it failed; and small helpers on operation and dispatch queues.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "Fennix/Operations/OperationProtocols.h"
#include "Fennix/console/Console.h"

namespace Fennix {

/// "[a, b]" of a list whose elements can be logged.
template <typename T>
std::string describeList(const std::vector<T>& values) {
  std::string text = "[";
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i > 0) text += ", ";
    text += LogValue(values[i]).description();
  }
  return text + "]";
}

}  // namespace Fennix

template <typename T>
class QvArrayBlockOperation : public NSOperation, public QvInOutOperation<std::vector<T>, std::tuple<>> {
 public:
  using Execute = std::function<void(const std::vector<T>&)>;

  QvArrayBlockOperation(std::optional<std::vector<T>> input, std::shared_ptr<Logger> errorLog, Execute execute)
      : input_(std::move(input)), errorLog_(std::move(errorLog)), execute_(std::move(execute)) {}

  std::shared_ptr<NSOperation> operation() override { return shared_from_this(); }

  std::optional<std::vector<T>> input() const override {
    std::lock_guard<std::mutex> lock(fieldsMutex_);
    return input_;
  }
  void setInput(std::optional<std::vector<T>> input) override {
    std::lock_guard<std::mutex> lock(fieldsMutex_);
    input_ = std::move(input);
  }
  std::optional<std::tuple<>> output() const override {
    std::lock_guard<std::mutex> lock(fieldsMutex_);
    return output_;
  }
  void setOutput(std::optional<std::tuple<>> output) override {
    std::lock_guard<std::mutex> lock(fieldsMutex_);
    output_ = output;
  }
  Fennix::ErrorRef error() const override {
    std::lock_guard<std::mutex> lock(fieldsMutex_);
    return error_;
  }
  void setError(Fennix::ErrorRef error) override {
    std::lock_guard<std::mutex> lock(fieldsMutex_);
    error_ = std::move(error);
  }
  std::shared_ptr<Logger> errorLog() const {
    std::lock_guard<std::mutex> lock(fieldsMutex_);
    return errorLog_;
  }
  bool hasExecute() const {
    std::lock_guard<std::mutex> lock(fieldsMutex_);
    return static_cast<bool>(execute_);
  }

  /// Calls the closure once with the whole input (an empty list when there is none). A present
  /// output means it returned; a failure is stored in `error`. Afterwards the operation holds no
  /// input, closure or logger.
  void main() override {
    Execute execute;
    std::optional<std::vector<T>> given;
    std::shared_ptr<Logger> log;
    {
      std::lock_guard<std::mutex> lock(fieldsMutex_);
      execute = execute_;
      log = errorLog_;
      given = input_;
    }
    Fennix::ErrorRef failure;
    if (isCancelled()) {
      failure = QvOperationError::cancelled();
    } else if (!execute) {
      failure = QvOperationError::notImplemented();
    } else {
      std::vector<T> values;
      {
        std::lock_guard<std::mutex> lock(fieldsMutex_);
        if (input_) values = std::move(*input_);
        input_.reset();
      }
      given = values;
      try {
        execute(values);
        setOutput(std::tuple<>());
      } catch (...) {
        failure = Fennix::errorFromException(std::current_exception());
      }
    }
    if (failure) {
      setError(failure);
      if (log) {
        const std::optional<std::string> inputText =
            given ? std::optional<std::string>(Fennix::describeList(*given)) : std::nullopt;
        log->error("block operation on:", inputText, "failed with:", failure);
      }
    }
    std::lock_guard<std::mutex> lock(fieldsMutex_);
    input_.reset();
    execute_ = nullptr;
    errorLog_.reset();
  }

 private:
  mutable std::mutex fieldsMutex_;
  std::optional<std::vector<T>> input_;
  std::optional<std::tuple<>> output_;
  Fennix::ErrorRef error_;
  std::shared_ptr<Logger> errorLog_;
  Execute execute_;
};

namespace Fennix {

/// Queues an array block operation (no input, no logger) around `execute` and returns it; set its
/// input before the queue runs it (for example through an adapter it depends on).
template <typename T>
std::shared_ptr<QvArrayBlockOperation<T>> async(const std::shared_ptr<NSOperationQueue>& queue,
                                                typename QvArrayBlockOperation<T>::Execute execute) {
  auto operation = std::make_shared<QvArrayBlockOperation<T>>(std::nullopt, nullptr, std::move(execute));
  queue->addOperation(operation);
  return operation;
}

/// Queues a block operation whose block is called with the operation itself; returns it.
std::shared_ptr<NSBlockOperation> asyncBlock(const std::shared_ptr<NSOperationQueue>& queue,
                                             std::function<void(NSBlockOperation&)> block);

/// A queue running one operation at a time, named `label` when one is given and not empty, on
/// `targetting` when given.
std::shared_ptr<NSOperationQueue> serialQueue(const std::optional<std::string>& label = std::nullopt,
                                              const std::optional<DispatchQueue>& targetting = std::nullopt);

/// A queue whose operations run on `queue`.
std::shared_ptr<NSOperationQueue> operationQueue(const DispatchQueue& queue);

/// Submits `block` to `queue` after `milliseconds` (0 still runs it later, never inside the call).
void setTimeout(const DispatchQueue& queue, long long milliseconds, std::function<void()> block);

/// Checks of the current queue; they accept every caller.
inline void assertQueue(const DispatchQueue&, const char* = __builtin_FILE(), int = __builtin_LINE()) {}
inline void assertMainQueue(const char* = __builtin_FILE(), int = __builtin_LINE()) {}

}  // namespace Fennix
