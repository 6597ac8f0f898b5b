// Error values of the operation framework and the HTTP layer: any type derived from `Error`,
// passed around as a shared, immutable `ErrorRef` (null means "no error"). Closures that fail
// throw; `ThrownError` carries an error value through an exception, and `errorFromException`
// turns whatever was thrown back into an error value.
#pragma once

#include <exception>
#include <memory>
#include <string>
#include <typeinfo>

#include "Platform/TypeName.h"

namespace Fennix {

class Error {
 public:
  virtual ~Error() = default;
  virtual std::string description() const = 0;
};

using ErrorRef = std::shared_ptr<const Error>;

/// The exception that carries an error value.
class ThrownError : public std::exception {
 public:
  explicit ThrownError(ErrorRef error);
  const ErrorRef& error() const { return error_; }
  const char* what() const noexcept override { return text_.c_str(); }

 private:
  ErrorRef error_;
  std::string text_;
};

/// Throws `error` wrapped in a `ThrownError`.
[[noreturn]] void throwError(ErrorRef error);

/// An error that is only a message (from a standard exception or anything else thrown).
class MessageError : public Error {
 public:
  explicit MessageError(std::string message) : message_(std::move(message)) {}
  const std::string& message() const { return message_; }
  std::string description() const override { return message_; }

 private:
  std::string message_;
};

/// The error value of an exception: the carried value of a `ThrownError`, the message of a
/// standard exception, else a generic message. Never throws.
ErrorRef errorFromException(const std::exception_ptr& exception);

/// The error as a `T`, or null when it is of another type.
template <typename T>
const T* errorAs(const ErrorRef& error) {
  return dynamic_cast<const T*>(error.get());
}


}  // namespace Fennix
