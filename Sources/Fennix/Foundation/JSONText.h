// JSON text from an untyped object graph (dictionaries, arrays, texts, numbers, truth values,
// null), logging every failure on the default console before reporting it.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>

#include "Fennix/Foundation/BaseTypes/AnyValue.h"

struct JSONSerialization {
  JSONSerialization() = delete;

  struct WritingOptions {
    bool prettyPrinted = false;           // two-blank indentation, "key" : value
    bool sortedKeys = false;              // keys in the order of their UTF-8 bytes
    bool fragmentsAllowed = false;        // a top-level value other than an array or a dictionary
    bool withoutEscapingSlashes = false;  // "/" as it is instead of "\/"
  };

  /// The serializer's own failure: a value that has no JSON form.
  class Error : public std::runtime_error {
   public:
    using std::runtime_error::runtime_error;
    std::string description() const { return what(); }
  };

  /// Thrown when the serialized bytes are not UTF-8 text.
  enum class QvJSONError { couldNotCreateStringFromData };

  /// The JSON text of `object`. An absent optional is written as null. Throws `Error` for a
  /// value the serializer rejects (an object, a set, a non-text dictionary key, a NaN or an
  /// infinity, a top-level scalar without `fragmentsAllowed`, nesting deeper than 512 levels),
  /// and `QvJSONError::couldNotCreateStringFromData` for text that is not UTF-8.
  static std::string string(const std::optional<Fennix::AnyValue>& withJSONObject, WritingOptions options);
  static std::string string(const std::optional<Fennix::AnyValue>& withJSONObject);
};
