// The two error types of the operation framework.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "Fennix/Foundation/Error.h"

class QvOperationError : public Fennix::Error {
 public:
  /// Several errors collected by `add`.
  struct Compound {
    Fennix::ErrorRef first;
    std::vector<Fennix::ErrorRef> followUp;
  };
  /// An error from elsewhere wrapped as an operation error.
  struct Other {
    Fennix::ErrorRef error;
  };
  struct Cancelled {};
  struct LostWeak {};
  struct NotImplemented {};
  using Value = std::variant<Compound, Other, Cancelled, LostWeak, NotImplemented>;

  explicit QvOperationError(Value value) : value_(std::move(value)) {}

  static Fennix::ErrorRef compound(Fennix::ErrorRef first, std::vector<Fennix::ErrorRef> followUp);
  static Fennix::ErrorRef other(Fennix::ErrorRef error);
  static Fennix::ErrorRef cancelled();
  static Fennix::ErrorRef lostWeak();
  static Fennix::ErrorRef notImplemented();

  const Value& value() const { return value_; }
  template <typename Case>
  bool is() const { return std::holds_alternative<Case>(value_); }

  /// The first error of a compound; any other case is its own first error.
  Fennix::ErrorRef first() const;
  /// Collects one more error: a compound appends it, any other case becomes a compound whose
  /// first error is the previous value.
  void add(Fennix::ErrorRef error);

  std::string description() const override;

 private:
  Value value_;
};

/// Whether `error` is a `QvOperationError` of the given case.
template <typename Case>
bool isOperationError(const Fennix::ErrorRef& error) {
  auto* operationError = Fennix::errorAs<QvOperationError>(error);
  return operationError != nullptr && operationError->is<Case>();
}

class QvAdapterOperationError : public Fennix::Error {
 public:
  struct InputTypeDoesNotMatchOutputType {
    std::string from, to;
  };
  struct OperationHandleLost {};
  struct MissingInputValueWithoutError {};
  struct Cancelled {};
  struct ExecutionRace {};
  using Value = std::variant<InputTypeDoesNotMatchOutputType, OperationHandleLost, MissingInputValueWithoutError,
                             Cancelled, ExecutionRace>;

  explicit QvAdapterOperationError(Value value) : value_(std::move(value)) {}

  static Fennix::ErrorRef inputTypeDoesNotMatchOutputType(std::string from, std::string to);
  static Fennix::ErrorRef operationHandleLost();
  static Fennix::ErrorRef missingInputValueWithoutError();
  static Fennix::ErrorRef cancelled();
  static Fennix::ErrorRef executionRace();

  const Value& value() const { return value_; }
  template <typename Case>
  bool is() const { return std::holds_alternative<Case>(value_); }

  std::string description() const override;

 private:
  Value value_;
};

template <typename Case>
bool isAdapterError(const Fennix::ErrorRef& error) {
  auto* adapterError = Fennix::errorAs<QvAdapterOperationError>(error);
  return adapterError != nullptr && adapterError->is<Case>();
}
