// The ladder of operation protocols: operations that can fail, that take an input, that produce
// an output, or both; with the behaviour every such operation shares (failing, finishing with a
// result, running synchronously) and the chaining of operations one after the other.
#pragma once

#include <iterator>
#include <memory>
#include <optional>
#include <utility>

#include "Fennix/Operations/AsyncOperation.h"
#include "Fennix/Foundation/Error.h"
#include "Fennix/Operations/Operation.h"
#include "Fennix/Operations/OperationErrors.h"
#include "Fennix/console/Console.h"

/// An operation that carries an error. The first error stored wins.
class QvFailableOperation : public virtual QvOperationType {
 public:
  virtual Fennix::ErrorRef error() const = 0;
  virtual void setError(Fennix::ErrorRef error) = 0;

  virtual void fail(Fennix::ErrorRef error) { _fail(std::move(error)); }
  /// Keeps the first error, then cancels (unless cancelled) and finishes an asynchronous operation.
  virtual void _fail(Fennix::ErrorRef error) {
    if (!this->error()) setError(std::move(error));
    cancelAndFinish();
  }

  /// Finishes an asynchronous operation that has not finished; nothing for other operations.
  void finishAsync() {
    auto op = operation();
    if (op->isFinished()) return;
    if (auto* async = dynamic_cast<QvAsyncOperationType*>(op.get())) async->finish();
  }

 protected:
  void cancelAndFinish() {
    auto op = operation();
    if (!op->isCancelled()) op->cancel();
    finishAsync();
  }
};

template <typename Input>
class QvInputOperation : public virtual QvFailableOperation {
 public:
  using InputType = Input;
  virtual std::optional<Input> input() const = 0;
  virtual void setInput(std::optional<Input> input) = 0;
};

template <typename Output>
class QvOutputOperation : public virtual QvFailableOperation {
 public:
  using OutputType = Output;
  virtual std::optional<Output> output() const = 0;
  virtual void setOutput(std::optional<Output> output) = 0;

  /// Stores the result unless an output or an error is already there, then finishes.
  virtual void finishWith(Output result) {
    if (!output() && !error()) setOutput(std::move(result));
    finishAsync();
  }

  /// Drops the output, keeps the first error, cancels and finishes.
  void _fail(Fennix::ErrorRef newError) override {
    if (auto stored = error()) {
      auto op = operation();
      console::warn("fail but error already set?", op->description(), stored);
    }
    setOutput(std::nullopt);
    if (!error()) setError(std::move(newError));
    cancelAndFinish();
  }

  /// Runs `main()` on the calling thread; returns the output or throws the error (a
  /// `Fennix::ThrownError`); an operation that ended with neither throws
  /// `missingInputValueWithoutError`.
  Output syncRun() {
    operation()->main();
    if (auto stored = error()) Fennix::throwError(stored);
    if (auto result = output()) return std::move(*result);
    Fennix::throwError(QvAdapterOperationError::missingInputValueWithoutError());
  }
};

template <typename Input, typename Output>
class QvInOutOperation : public QvInputOperation<Input>, public QvOutputOperation<Output> {};

/// Makes every operation of the range depend on the one before it. Nothing is queued or started.
template <typename Range>
void serializeOperations(const Range& operations) {
  std::shared_ptr<NSOperation> previous;
  for (const auto& element : operations) {
    auto current = element->operation();
    if (previous) current->addDependency(previous);
    previous = current;
  }
}
