// The run-time conversion of a value of one static type into another, as the adapter operations
// use it when no mapping closure is given: the same type passes unchanged, shared pointers are
// cast dynamically, untyped values are unpacked; anything else does not convert. Also the type a
// value holds at run time, for naming it when it does not convert.
#pragma once

#include <any>
#include <memory>
#include <optional>
#include <type_traits>
#include <typeinfo>

namespace Fennix {

template <typename T>
struct IsSharedPointer : std::false_type {};
template <typename T>
struct IsSharedPointer<std::shared_ptr<T>> : std::true_type {};

template <typename To, typename From>
std::optional<To> dynamicValueCast(const From& value) {
  if constexpr (std::is_same_v<To, From>) {
    return value;
  } else if constexpr (IsSharedPointer<From>::value && IsSharedPointer<To>::value) {
    using FromElement = typename From::element_type;
    using ToElement = typename To::element_type;
    if constexpr (std::is_polymorphic_v<FromElement> && std::is_polymorphic_v<ToElement>) {
      if (auto cast = std::dynamic_pointer_cast<ToElement>(value)) return To(cast);
      return std::nullopt;
    } else if constexpr (std::is_convertible_v<From, To>) {
      return To(value);
    } else {
      return std::nullopt;
    }
  } else if constexpr (std::is_same_v<From, std::any>) {
    if (auto* unpacked = std::any_cast<To>(&value)) return *unpacked;
    return std::nullopt;
  } else if constexpr (std::is_same_v<To, std::any>) {
    return std::any(value);
  } else {
    return std::nullopt;
  }
}

/// The type of what `value` holds at run time: the object a shared pointer points to, the
/// content of an untyped value; the static type for anything else (and for an empty pointer).
template <typename T>
const std::type_info& dynamicTypeOf(const T& value) {
  if constexpr (IsSharedPointer<T>::value) {
    if constexpr (!std::is_void_v<typename T::element_type>) {
      if (value) return typeid(*value);
    }
    return typeid(T);
  } else if constexpr (std::is_same_v<T, std::any>) {
    return value.type();
  } else {
    return typeid(T);
  }
}

}  // namespace Fennix
