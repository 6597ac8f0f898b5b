// One notion of emptiness for texts, collections and optionals, and configure-and-return.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

/// Values that can be empty: texts and substrings without characters, arrays and sets without
/// elements, and absent optionals (a present optional is never empty, whatever it wraps).
template <typename T>
struct QvObjectThatCanBeEmptyTraits;

template <>
struct QvObjectThatCanBeEmptyTraits<std::string> {
  static bool isEmpty(const std::string& value) { return value.empty(); }
};
template <>
struct QvObjectThatCanBeEmptyTraits<std::string_view> {
  static bool isEmpty(std::string_view value) { return value.empty(); }
};
template <typename T>
struct QvObjectThatCanBeEmptyTraits<std::vector<T>> {
  static bool isEmpty(const std::vector<T>& value) { return value.empty(); }
};
template <typename T>
struct QvObjectThatCanBeEmptyTraits<std::set<T>> {
  static bool isEmpty(const std::set<T>& value) { return value.empty(); }
};
template <typename T>
struct QvObjectThatCanBeEmptyTraits<std::optional<T>> {
  static bool isEmpty(const std::optional<T>& value) { return !value.has_value(); }
};

template <typename T>
concept QvObjectThatCanBeEmpty = requires(const T& value) {
  { QvObjectThatCanBeEmptyTraits<T>::isEmpty(value) } -> std::convertible_to<bool>;
};

template <QvObjectThatCanBeEmpty T>
bool isEmpty(const T& value) {
  return QvObjectThatCanBeEmptyTraits<T>::isEmpty(value);
}

/// Removes every empty element, keeping the others in their order.
template <QvObjectThatCanBeEmpty T>
void dropEmpty(std::vector<T>& array) {
  std::size_t write = 0;
  for (std::size_t read = 0; read < array.size(); ++read) {
    if (isEmpty(array[read])) continue;
    if (write != read) array[write] = std::move(array[read]);
    ++write;
  }
  array.erase(array.begin() + static_cast<std::ptrdiff_t>(write), array.end());
}

/// Configure-and-return: calls `body` once with the receiver and answers the receiver.
template <typename Derived>
class QvWith {
 public:
  template <typename Body>
  Derived& with(Body&& body) {
    Derived& self = static_cast<Derived&>(*this);
    std::forward<Body>(body)(self);
    return self;
  }
};

/// The same for an object held by a shared pointer: answers the very same pointer.
template <typename T, typename Body>
std::shared_ptr<T> with(std::shared_ptr<T> object, Body&& body) {
  std::forward<Body>(body)(*object);
  return object;
}
