// Untyped values: a box holding a value of one of the library's value types (the integer widths,
// floating point, text, truth values, arrays, sets, dictionaries, optionals), a reference to an
// object or the null object, together with its dynamic type. Arrays, sets, dictionaries and
// optionals also carry the static type of their elements, which the type tests below look at.
//
// Dynamic equality: `EquatableType` is the protocol of values that compare themselves with an
// untyped value. The value kinds take part through `AnyValue::isEquatableType()` and
// `AnyValue::isEqual(...)`; object types take part by deriving from `EquatableType`. `eq(_:_:)`
// compares two untyped, possibly absent values.
#pragma once

#include <concepts>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

#include "Platform/TypeName.h"

class EquatableType;
class UObjectBoolValue;

namespace Fennix {

class AnyValue;

/// Text equality: canonically equivalent Unicode texts are equal; bytes that are not UTF-8 equal
/// only the same bytes.
bool textEquals(std::string_view a, std::string_view b);

/// Kinds of untyped values. `any` occurs only as a static type (every value passes its test).
enum class AnyKind : std::uint8_t {
  any,
  int_,
  int8,
  int16,
  int32,
  int64,
  uint,
  uint8,
  uint16,
  uint32,
  uint64,
  float_,
  double_,
  string,
  bool_,
  array,
  set,
  dictionary,
  optional,
  object,
  null,
};

/// The type of an untyped value: a kind, with the element type of arrays and sets, the key and
/// value types of dictionaries, the wrapped type of optionals and the name of object types.
class AnyType {
 public:
  /// A scalar type (or `any`); the container kinds need their factories below.
  explicit AnyType(AnyKind kind = AnyKind::any);

  static AnyType any() { return AnyType(AnyKind::any); }
  static AnyType array(const AnyType& element);
  static AnyType set(const AnyType& element);
  static AnyType dictionary(const AnyType& key, const AnyType& value);
  static AnyType optional(const AnyType& wrapped);
  /// An object type, told apart by its C++ type; `name` is how it is printed.
  static AnyType object(const std::type_info& type, std::string name);

  AnyKind kind() const { return kind_; }
  /// The element type of an array or set, the value type of a dictionary, the wrapped type of an
  /// optional; `any` for every other kind.
  const AnyType& element() const;
  /// The key type of a dictionary; `any` for every other kind.
  const AnyType& key() const;

  /// The name as the platform prints a type: "Int", "Array<Int>", "Dictionary<String, Int>",
  /// "Optional<Int>", "Set<Int>", "NSNull", "Any", or an object type's name.
  std::string name() const;

  bool operator==(const AnyType& other) const;

 private:
  struct Detail;
  AnyKind kind_;
  std::shared_ptr<const Detail> detail_;
};

/// An untyped value. Copies share their contents, which never change.
class AnyValue {
 public:
  using Array = std::vector<AnyValue>;
  /// Entries in insertion order; keys are unique.
  using Dictionary = std::vector<std::pair<AnyValue, AnyValue>>;

  // A literal's natural type: an integer literal is an Int, a floating-point one a Double.
  AnyValue(int value);
  AnyValue(bool value);
  AnyValue(double value);
  AnyValue(float value);
  AnyValue(const char* text);
  AnyValue(std::string text);
  AnyValue(std::string_view text);
  /// Other integer types must say which width they mean (`int64`, `uint8`, ...).
  template <typename T>
    requires(std::is_integral_v<T> && !std::is_same_v<T, int> && !std::is_same_v<T, bool>)
  AnyValue(T) = delete;

  static AnyValue int_(std::int64_t value);
  static AnyValue int8(std::int8_t value);
  static AnyValue int16(std::int16_t value);
  static AnyValue int32(std::int32_t value);
  static AnyValue int64(std::int64_t value);
  static AnyValue uint(std::uint64_t value);
  static AnyValue uint8(std::uint8_t value);
  static AnyValue uint16(std::uint16_t value);
  static AnyValue uint32(std::uint32_t value);
  static AnyValue uint64(std::uint64_t value);
  static AnyValue float_(float value);
  static AnyValue double_(double value);
  static AnyValue string(std::string text);
  static AnyValue bool_(bool value);

  /// An array whose element type is the type all elements share, or `any` when they differ or
  /// there are none.
  static AnyValue array(Array elements);
  /// An array of a given element type; an element that does not pass its test stops the process.
  static AnyValue array(Array elements, const AnyType& elementType);
  /// A set: like an array, with later duplicates (by strict equality) dropped.
  static AnyValue set(Array elements);
  static AnyValue set(Array elements, const AnyType& elementType);
  /// A dictionary whose key and value types are inferred like an array's element type. A later
  /// entry with a key equal to an earlier one replaces its value.
  static AnyValue dictionary(Dictionary entries);
  static AnyValue dictionary(Dictionary entries, const AnyType& keyType, const AnyType& valueType);
  /// An absent optional of the given wrapped type.
  static AnyValue none(const AnyType& wrappedType);
  /// A present optional wrapping `value`; its wrapped type is the value's type unless given.
  static AnyValue some(const AnyValue& value);
  static AnyValue some(const AnyValue& value, const AnyType& wrappedType);
  /// The platform's null object (a single object).
  static AnyValue null();

  /// A reference to an object; equal under `eq` only to the very same object unless its type
  /// derives from `EquatableType`. A null pointer gives an absent optional of the object type.
  template <typename T>
  static AnyValue object(std::shared_ptr<T> pointer, std::string typeName = Fennix::typeName<T>()) {
    const EquatableType* equatable = nullptr;
    if constexpr (std::is_base_of_v<EquatableType, T>) equatable = pointer.get();
    const UObjectBoolValue* truth = nullptr;
    if constexpr (std::is_base_of_v<UObjectBoolValue, T>) truth = pointer.get();
    std::string (*describe)(const void*) = nullptr;
    if constexpr (requires(const T& value) {
                    { value.description() } -> std::convertible_to<std::string>;
                  }) {
      describe = [](const void* object) { return std::string(static_cast<const T*>(object)->description()); };
    }
    using Object = std::remove_cv_t<T>;
    return makeObject(std::const_pointer_cast<void>(std::static_pointer_cast<const void>(
                          std::shared_ptr<const Object>(std::move(pointer)))),
                      typeid(Object), std::move(typeName), equatable, truth, describe);
  }

  AnyKind kind() const { return type_.kind(); }
  const AnyType& type() const { return type_; }
  /// The printed name of the dynamic type.
  std::string typeName() const { return type_.name(); }

  /// The value itself, or for a present optional the value it wraps (through any depth).
  const AnyValue& unwrapped() const;
  /// Whether the value is an absent optional.
  bool isNone() const;
  /// Whether the value passes the platform's dynamic type test for `type`: a present optional is
  /// tested as the value it wraps; an array, set or dictionary passes for other element, key or
  /// value types when each of its elements passes.
  bool passes(const AnyType& type) const;

  // Payload accessors. Each requires its own kind exactly (no unwrapping); another kind stops the
  // process. The signed accessor serves all signed widths, the unsigned one all unsigned widths.
  std::int64_t signedInteger() const;
  std::uint64_t unsignedInteger() const;
  float floatValue() const;
  double doubleValue() const;
  bool truthValue() const;
  const std::string& text() const;
  /// Elements of an array or set.
  const Array& elements() const;
  const Dictionary& entries() const;
  /// The wrapped value of an optional, or null when it is absent.
  const AnyValue* wrapped() const;
  /// The object, when the value refers to an object of exactly the type `T`; else null.
  template <typename T>
  std::shared_ptr<T> object() const {
    if (kind() != AnyKind::object || objectType() != typeid(std::remove_cv_t<T>)) return nullptr;
    return std::static_pointer_cast<T>(objectPointer());
  }
  /// The identity of a referenced object (the null object has one too); null for other values.
  const void* objectIdentity() const;
  /// The truth value a referenced object gives of itself, when its type derives from
  /// `UObjectBoolValue`; null for other objects and other values.
  const UObjectBoolValue* objectTruth() const;

  /// The value looked up under `key` in a dictionary (strict key equality); null when missing.
  const AnyValue* lookup(const AnyValue& key) const;

  // EquatableType, for the kinds that conform: the integer types except Int16 and UInt16, Float,
  // Double, String, Bool, optionals, arrays and dictionaries, and objects whose type derives from
  // `EquatableType`.
  bool isEquatableType() const;
  /// Compares with a present untyped value (requirement 1). Calling it on a value that is not an
  /// `EquatableType` stops the process.
  bool isEqual(const AnyValue& other) const;
  /// Compares with an untyped value that may be absent (requirement 2).
  bool isEqual(const std::optional<AnyValue>& other) const;
  /// Pairwise comparison with `eq(_:_:)`, the receiver's element first. Arrays and sets only.
  bool isEqualToArray(const Array& other) const;
  /// Entry-wise comparison with `eq(_:_:)` against the other's value under each key.
  bool isEqualToDictionary(const Dictionary& other) const;

  /// The platform's description: decimal integers, the shortest text of a floating-point number
  /// ("1.0", "0.1"), the text itself, "true"/"false", "[1, 2]", "[\"a\": 1]", "Optional(5)",
  /// "nil", "<null>", an object's own description or its type name.
  std::string description() const;

  /// Strict equality: same kind and same payload, texts by canonical equivalence, objects by
  /// identity; used for dictionary keys and set members.
  bool strictlyEquals(const AnyValue& other) const;

 private:
  struct ObjectBox;
  using Payload = std::shared_ptr<const void>;

  AnyValue(AnyType type, std::int64_t bits);
  AnyValue(AnyType type, std::shared_ptr<const void> payload);

  static AnyValue makeObject(std::shared_ptr<void> pointer, const std::type_info& type, std::string typeName,
                             const EquatableType* equatable, const UObjectBoolValue* truth,
                             std::string (*describe)(const void*));
  const std::type_info& objectType() const;
  std::shared_ptr<void> objectPointer() const;
  const ObjectBox& objectBox() const;
  void require(AnyKind kind, const char* accessor) const;
  void requireOneOf(std::initializer_list<AnyKind> kinds, const char* accessor) const;

  AnyType type_;
  // Integers, floating-point numbers and truth values are kept as bits; texts, containers,
  // optionals and objects in a shared payload.
  std::uint64_t bits_ = 0;
  Payload payload_;
};

}  // namespace Fennix

/// The protocol of object types that compare themselves with untyped values.
class EquatableType {
 public:
  virtual ~EquatableType() = default;
  /// Compares the receiver with a present untyped value.
  virtual bool isEqual(const Fennix::AnyValue& other) const = 0;
  /// Compares with an untyped value that may be absent: false when it is absent, otherwise
  /// requirement 1.
  virtual bool isEqual(const std::optional<Fennix::AnyValue>& other) const {
    return other.has_value() && isEqual(*other);
  }
};

/// Dynamic equality of two untyped, possibly absent values.
bool eq(const std::optional<Fennix::AnyValue>& a, const std::optional<Fennix::AnyValue>& b);

/// Equality of two possibly absent values of one statically known equatable type.
template <typename T>
  requires(!std::is_same_v<T, Fennix::AnyValue> && std::equality_comparable<T>)
bool eq(const std::optional<T>& a, const std::optional<T>& b) {
  if (!a.has_value() || !b.has_value()) return a.has_value() == b.has_value();
  return *a == *b;
}

namespace Fennix {

/// A shared pointer to an object whose type derives from `EquatableType`.
template <typename T>
concept EquatableObjectPointer = requires { typename T::element_type; } &&
                                 std::is_base_of_v<EquatableType, typename T::element_type> &&
                                 std::is_same_v<T, std::shared_ptr<typename T::element_type>>;

/// Element equality for the statically typed array and dictionary comparisons below: untyped
/// values with `eq(_:_:)`, objects whose type derives from `EquatableType` through the receiver's
/// element, every other type with its own `==`.
template <typename T>
bool elementEquals(const T& receiver, const std::optional<T>& other) {
  if constexpr (std::is_same_v<T, AnyValue>) {
    return ::eq(receiver, other);
  } else if constexpr (EquatableObjectPointer<T>) {
    if (receiver == nullptr) return other.has_value() && *other == nullptr;
    if (!other.has_value()) return receiver->isEqual(std::optional<AnyValue>());
    return receiver->isEqual(std::optional<AnyValue>(AnyValue::object(*other)));
  } else {
    return other.has_value() && receiver == *other;
  }
}

/// Arrays: different counts are unequal; otherwise the pairs compare in index order.
template <typename T>
bool isEqualToArray(const std::vector<T>& receiver, const std::vector<T>& other) {
  if (receiver.size() != other.size()) return false;
  for (std::size_t i = 0; i < receiver.size(); ++i) {
    if (!elementEquals(receiver[i], std::optional<T>(other[i]))) return false;
  }
  return true;
}

/// Dictionaries (any map type): different counts are unequal; otherwise each value of the
/// receiver compares with the other's value under its key, a missing key counting as absent.
template <typename Map>
  requires requires { typename Map::key_type; typename Map::mapped_type; }
bool isEqualToDictionary(const Map& receiver, const Map& other) {
  using Value = typename Map::mapped_type;
  if (receiver.size() != other.size()) return false;
  for (const auto& [key, value] : receiver) {
    const auto found = other.find(key);
    const std::optional<Value> theirs = found == other.end() ? std::nullopt : std::optional<Value>(found->second);
    if (!elementEquals(value, theirs)) return false;
  }
  return true;
}

}  // namespace Fennix
