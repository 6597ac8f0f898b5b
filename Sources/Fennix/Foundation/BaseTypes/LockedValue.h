// Small boxes for values shared between threads: a value behind a lock, the same interface
// without a lock, and a weak reference to an object.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>

#include "Fennix/Foundation/BaseTypes/Emptiable.h"

/// A value shared between threads behind a (non-recursive) lock: a closure handed to `update` or
/// `sync` must not call back into the same box.
template <typename T>
class QvLockedValue {
 public:
  explicit QvLockedValue(T initialValue) : value(std::move(initialValue)) {}
  QvLockedValue(const QvLockedValue&) = delete;
  QvLockedValue& operator=(const QvLockedValue&) = delete;

  T get() const {
    std::lock_guard<std::mutex> guard(lock);
    return value;
  }
  /// Stores the new value; returns the previous one.
  T set(T newValue) {
    std::lock_guard<std::mutex> guard(lock);
    return std::exchange(value, std::move(newValue));
  }
  /// Stores what the closure makes of the current value; returns the previous one.
  T update(const std::function<T(T)>& using_) {
    std::lock_guard<std::mutex> guard(lock);
    T next = using_(value);
    return std::exchange(value, std::move(next));
  }
  /// The closure's result for a copy of the value; the value is not changed.
  template <typename Execute>
  auto sync(Execute&& execute) const -> std::invoke_result_t<Execute, T> {
    std::lock_guard<std::mutex> guard(lock);
    return std::forward<Execute>(execute)(T(value));
  }

  mutable std::mutex lock;
  /// The value itself, read and written without the lock (for code that serialises access).
  T value;
};

/// The interface of `QvLockedValue` without a lock, for code confined to one thread.
template <typename T>
class QvUnlockedValue {
 public:
  explicit QvUnlockedValue(T initialValue) : value(std::move(initialValue)) {}
  virtual ~QvUnlockedValue() = default;

  virtual T get() const { return value; }
  virtual T set(T newValue) { return std::exchange(value, std::move(newValue)); }
  virtual T update(const std::function<T(T)>& using_) {
    T next = using_(value);
    return std::exchange(value, std::move(next));
  }

  T value;
};

/// A reference to an object that does not keep it alive.
template <typename T>
class QvWeakHolder {
 public:
  explicit QvWeakHolder(const std::shared_ptr<T>& object) : value(object) {}

  /// True once the object is gone.
  bool isEmpty() const { return value.expired(); }

  /// The closure's result for the object, none when it is gone.
  template <typename Transform>
  auto map(Transform&& transform) const -> std::optional<std::invoke_result_t<Transform, T&>> {
    if (auto object = value.lock()) return std::forward<Transform>(transform)(*object);
    return std::nullopt;
  }
  /// The same with a closure that itself returns an optional.
  template <typename Transform>
  auto flatMap(Transform&& transform) const -> std::invoke_result_t<Transform, T&> {
    if (auto object = value.lock()) return std::forward<Transform>(transform)(*object);
    return std::nullopt;
  }
  /// The object's member, none when the object is gone.
  template <typename Member>
  std::optional<Member> operator[](Member T::*member) const {
    if (auto object = value.lock()) return (*object).*member;
    return std::nullopt;
  }

  std::weak_ptr<T> value;
};

/// A weak holder is empty once its object is gone.
template <typename T>
struct QvObjectThatCanBeEmptyTraits<QvWeakHolder<T>> {
  static bool isEmpty(const QvWeakHolder<T>& value) { return value.isEmpty(); }
};
