#include "Fennix/Foundation/BaseTypes/AnyValue.h"

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <unordered_map>

#include "Fennix/Foundation/BaseTypes/FatalError.h"
#include "Fennix/console/Console.h"

namespace Fennix {

// MARK: - Types

struct AnyType::Detail {
  std::vector<AnyType> arguments;  // element; key and value; wrapped
  const std::type_info* objectType = nullptr;
  std::string objectName;
};

AnyType::AnyType(AnyKind kind) : kind_(kind) {
  if (kind == AnyKind::array || kind == AnyKind::set || kind == AnyKind::dictionary || kind == AnyKind::optional ||
      kind == AnyKind::object) {
    fatalError("AnyType: a container or object type needs its factory");
  }
}

AnyType AnyType::array(const AnyType& element) {
  AnyType type;
  type.kind_ = AnyKind::array;
  type.detail_ = std::make_shared<const Detail>(Detail{{element}, nullptr, {}});
  return type;
}

AnyType AnyType::set(const AnyType& element) {
  AnyType type = array(element);
  type.kind_ = AnyKind::set;
  return type;
}

AnyType AnyType::dictionary(const AnyType& key, const AnyType& value) {
  AnyType type;
  type.kind_ = AnyKind::dictionary;
  type.detail_ = std::make_shared<const Detail>(Detail{{value, key}, nullptr, {}});
  return type;
}

AnyType AnyType::optional(const AnyType& wrapped) {
  AnyType type;
  type.kind_ = AnyKind::optional;
  type.detail_ = std::make_shared<const Detail>(Detail{{wrapped}, nullptr, {}});
  return type;
}

AnyType AnyType::object(const std::type_info& objectType, std::string name) {
  AnyType type;
  type.kind_ = AnyKind::object;
  type.detail_ = std::make_shared<const Detail>(Detail{{}, &objectType, std::move(name)});
  return type;
}

const AnyType& AnyType::element() const {
  static const auto& anyType = *new const AnyType;
  return detail_ != nullptr && !detail_->arguments.empty() ? detail_->arguments[0] : anyType;
}

const AnyType& AnyType::key() const {
  static const auto& anyType = *new const AnyType;
  return detail_ != nullptr && detail_->arguments.size() > 1 ? detail_->arguments[1] : anyType;
}

std::string AnyType::name() const {
  switch (kind_) {
    case AnyKind::any: return "Any";
    case AnyKind::int_: return "Int";
    case AnyKind::int8: return "Int8";
    case AnyKind::int16: return "Int16";
    case AnyKind::int32: return "Int32";
    case AnyKind::int64: return "Int64";
    case AnyKind::uint: return "UInt";
    case AnyKind::uint8: return "UInt8";
    case AnyKind::uint16: return "UInt16";
    case AnyKind::uint32: return "UInt32";
    case AnyKind::uint64: return "UInt64";
    case AnyKind::float_: return "Float";
    case AnyKind::double_: return "Double";
    case AnyKind::string: return "String";
    case AnyKind::bool_: return "Bool";
    case AnyKind::array: return "Array<" + element().name() + ">";
    case AnyKind::set: return "Set<" + element().name() + ">";
    case AnyKind::dictionary: return "Dictionary<" + key().name() + ", " + element().name() + ">";
    case AnyKind::optional: return "Optional<" + element().name() + ">";
    case AnyKind::object: return detail_->objectName;
    case AnyKind::null: return "NSNull";
  }
  return "Any";
}

bool AnyType::operator==(const AnyType& other) const {
  if (kind_ != other.kind_) return false;
  if (kind_ == AnyKind::object) return *detail_->objectType == *other.detail_->objectType;
  if (detail_ == nullptr || other.detail_ == nullptr) return detail_ == other.detail_;
  return detail_->arguments == other.detail_->arguments;
}

// MARK: - Text equality

namespace {

bool isValidUTF8(std::string_view text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t length = 0;
    char32_t scalar = 0;
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2, scalar = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3, scalar = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4, scalar = c & 0x07;
    } else {
      return false;
    }
    if (n - i < length) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      scalar = (scalar << 6) | (next & 0x3F);
    }
    if ((length == 3 && (scalar < 0x800 || (scalar >= 0xD800 && scalar <= 0xDFFF))) ||
        (length == 4 && (scalar < 0x10000 || scalar > 0x10FFFF))) {
      return false;
    }
    i += length;
  }
  return true;
}

bool isASCII(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

std::string nfc(std::string_view text) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* normalizer = icu::Normalizer2::getNFCInstance(status);
  if (U_FAILURE(status) || normalizer == nullptr) return std::string(text);
  const icu::UnicodeString source = icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<int32_t>(std::min<std::size_t>(text.size(), INT32_MAX))));
  const icu::UnicodeString normalized = normalizer->normalize(source, status);
  if (U_FAILURE(status)) return std::string(text);
  std::string result;
  normalized.toUTF8String(result);
  return result;
}

}  // namespace

bool textEquals(std::string_view a, std::string_view b) {
  if (a == b) return true;
  // Bytes that are not UTF-8 have no canonical form: they equal only the same bytes. Texts of
  // ASCII letters only are their own canonical form.
  if ((isASCII(a) && isASCII(b)) || !isValidUTF8(a) || !isValidUTF8(b)) return false;
  if (a.size() > INT32_MAX || b.size() > INT32_MAX) return false;
  return nfc(a) == nfc(b);
}

// MARK: - Values

struct AnyValue::ObjectBox {
  std::shared_ptr<void> pointer;
  const std::type_info* type;
  const EquatableType* equatable;
  const UObjectBoolValue* truth;
  std::string (*describe)(const void*);
};

namespace {

AnyType scalarType(AnyKind kind) { return AnyType(kind); }

template <typename Target>
const Target& payloadAs(const std::shared_ptr<const void>& payload) {
  return *static_cast<const Target*>(payload.get());
}

bool isSignedKind(AnyKind kind) {
  return kind == AnyKind::int_ || kind == AnyKind::int8 || kind == AnyKind::int16 || kind == AnyKind::int32 ||
         kind == AnyKind::int64;
}

bool isUnsignedKind(AnyKind kind) {
  return kind == AnyKind::uint || kind == AnyKind::uint8 || kind == AnyKind::uint16 || kind == AnyKind::uint32 ||
         kind == AnyKind::uint64;
}


/// The type all values share, or `any`.
template <typename Values, typename Project>
AnyType commonType(const Values& values, Project project) {
  if (values.empty()) return AnyType::any();
  AnyType type = project(values.front()).type();
  for (const auto& value : values) {
    if (!(project(value).type() == type)) return AnyType::any();
  }
  return type;
}

std::string quoted(const std::string& text) {
  std::string result = "\"";
  for (char c : text) {
    switch (c) {
      case '"': result += "\\\""; break;
      case '\\': result += "\\\\"; break;
      case '\n': result += "\\n"; break;
      case '\r': result += "\\r"; break;
      case '\t': result += "\\t"; break;
      default: result += c;
    }
  }
  return result + "\"";
}

template <typename Float>
std::string shortestText(Float value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string text(buffer, result.ptr);
  if (text.find_first_of(".e") == std::string::npos) text += ".0";
  return text;
}

}  // namespace

// MARK: Keys

namespace {

/// A text that strictly equal values share (unequal values may share it too), so that keys and
/// set members are found without comparing every pair.
std::string hashKey(const AnyValue& value) {
  std::string key(1, static_cast<char>(value.kind()));
  switch (value.kind()) {
    case AnyKind::string: {
      const std::string& text = value.text();
      key += isASCII(text) || !isValidUTF8(text) || text.size() > INT32_MAX ? text : nfc(text);
      break;
    }
    case AnyKind::float_: key += std::to_string(static_cast<double>(value.floatValue()) + 0.0); break;
    case AnyKind::double_: key += std::to_string(value.doubleValue() + 0.0); break;
    case AnyKind::array:
    case AnyKind::set: key += std::to_string(value.elements().size()); break;
    case AnyKind::dictionary: key += std::to_string(value.entries().size()); break;
    case AnyKind::optional: key += value.wrapped() == nullptr ? std::string() : hashKey(*value.wrapped()); break;
    case AnyKind::object:
    case AnyKind::null: key += std::to_string(reinterpret_cast<std::uintptr_t>(value.objectIdentity())); break;
    default: key += value.description(); break;
  }
  return key;
}

/// Positions of values by their hash keys.
class KeyIndex {
 public:
  template <typename Values, typename Project>
  KeyIndex(const Values& values, Project project) {
    positions_.reserve(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) positions_.emplace(hashKey(project(values[i])), i);
  }
  /// The first position whose value, projected, strictly equals `value`.
  template <typename Values, typename Project>
  std::optional<std::size_t> find(const Values& values, Project project, const AnyValue& value) const {
    const auto [first, last] = positions_.equal_range(hashKey(value));
    std::optional<std::size_t> found;
    for (auto it = first; it != last; ++it) {
      if (project(values[it->second]).strictlyEquals(value) && (!found || it->second < *found)) found = it->second;
    }
    return found;
  }
  void insert(const AnyValue& value, std::size_t position) { positions_.emplace(hashKey(value), position); }

 private:
  std::unordered_multimap<std::string, std::size_t> positions_;
};

const AnyValue& itself(const AnyValue& value) { return value; }
const AnyValue& entryKey(const std::pair<AnyValue, AnyValue>& entry) { return entry.first; }

}  // namespace

AnyValue::AnyValue(AnyType type, std::int64_t bits) : type_(std::move(type)), bits_(static_cast<std::uint64_t>(bits)) {}
AnyValue::AnyValue(AnyType type, std::shared_ptr<const void> payload)
    : type_(std::move(type)), payload_(std::move(payload)) {}

AnyValue::AnyValue(int value) : AnyValue(int_(value)) {}
AnyValue::AnyValue(bool value) : AnyValue(bool_(value)) {}
AnyValue::AnyValue(double value) : AnyValue(double_(value)) {}
AnyValue::AnyValue(float value) : AnyValue(float_(value)) {}
AnyValue::AnyValue(const char* text) : AnyValue(string(text == nullptr ? std::string() : std::string(text))) {}
AnyValue::AnyValue(std::string text) : AnyValue(string(std::move(text))) {}
AnyValue::AnyValue(std::string_view text) : AnyValue(string(std::string(text))) {}

AnyValue AnyValue::int_(std::int64_t value) { return AnyValue(scalarType(AnyKind::int_), value); }
AnyValue AnyValue::int8(std::int8_t value) { return AnyValue(scalarType(AnyKind::int8), value); }
AnyValue AnyValue::int16(std::int16_t value) { return AnyValue(scalarType(AnyKind::int16), value); }
AnyValue AnyValue::int32(std::int32_t value) { return AnyValue(scalarType(AnyKind::int32), value); }
AnyValue AnyValue::int64(std::int64_t value) { return AnyValue(scalarType(AnyKind::int64), value); }
AnyValue AnyValue::uint(std::uint64_t value) {
  return AnyValue(scalarType(AnyKind::uint), static_cast<std::int64_t>(value));
}
AnyValue AnyValue::uint8(std::uint8_t value) { return AnyValue(scalarType(AnyKind::uint8), value); }
AnyValue AnyValue::uint16(std::uint16_t value) { return AnyValue(scalarType(AnyKind::uint16), value); }
AnyValue AnyValue::uint32(std::uint32_t value) { return AnyValue(scalarType(AnyKind::uint32), value); }
AnyValue AnyValue::uint64(std::uint64_t value) {
  return AnyValue(scalarType(AnyKind::uint64), static_cast<std::int64_t>(value));
}
AnyValue AnyValue::float_(float value) {
  return AnyValue(scalarType(AnyKind::float_), static_cast<std::int64_t>(std::bit_cast<std::uint32_t>(value)));
}
AnyValue AnyValue::double_(double value) {
  return AnyValue(scalarType(AnyKind::double_), static_cast<std::int64_t>(std::bit_cast<std::uint64_t>(value)));
}
AnyValue AnyValue::string(std::string text) {
  return AnyValue(scalarType(AnyKind::string), std::make_shared<const std::string>(std::move(text)));
}
AnyValue AnyValue::bool_(bool value) { return AnyValue(scalarType(AnyKind::bool_), value ? 1 : 0); }

AnyValue AnyValue::array(Array elements) {
  const AnyType element = commonType(elements, [](const AnyValue& value) -> const AnyValue& { return value; });
  return array(std::move(elements), element);
}

AnyValue AnyValue::array(Array elements, const AnyType& elementType) {
  for (const AnyValue& element : elements) {
    if (!element.passes(elementType)) {
      fatalError("AnyValue: an element of type " + element.typeName() + " in an array of " + elementType.name());
    }
  }
  return AnyValue(AnyType::array(elementType), std::make_shared<const Array>(std::move(elements)));
}

AnyValue AnyValue::set(Array elements) {
  const AnyType element = commonType(elements, [](const AnyValue& value) -> const AnyValue& { return value; });
  return set(std::move(elements), element);
}

AnyValue AnyValue::set(Array elements, const AnyType& elementType) {
  Array members;
  KeyIndex index(members, itself);
  for (AnyValue& element : elements) {
    if (!element.passes(elementType)) {
      fatalError("AnyValue: an element of type " + element.typeName() + " in a set of " + elementType.name());
    }
    if (index.find(members, itself, element)) continue;
    index.insert(element, members.size());
    members.push_back(std::move(element));
  }
  return AnyValue(AnyType::set(elementType), std::make_shared<const Array>(std::move(members)));
}

AnyValue AnyValue::dictionary(Dictionary entries) {
  const AnyType key = commonType(entries, [](const auto& entry) -> const AnyValue& { return entry.first; });
  const AnyType value = commonType(entries, [](const auto& entry) -> const AnyValue& { return entry.second; });
  return dictionary(std::move(entries), key, value);
}

AnyValue AnyValue::dictionary(Dictionary entries, const AnyType& keyType, const AnyType& valueType) {
  Dictionary unique;
  unique.reserve(entries.size());
  KeyIndex index(unique, entryKey);
  for (auto& entry : entries) {
    if (!entry.first.passes(keyType) || !entry.second.passes(valueType)) {
      fatalError("AnyValue: an entry of types " + entry.first.typeName() + ", " + entry.second.typeName() +
                 " in a dictionary of " + keyType.name() + ", " + valueType.name());
    }
    if (const auto position = index.find(unique, entryKey, entry.first)) {
      unique[*position].second = std::move(entry.second);
      continue;
    }
    index.insert(entry.first, unique.size());
    unique.push_back(std::move(entry));
  }
  return AnyValue(AnyType::dictionary(keyType, valueType), std::make_shared<const Dictionary>(std::move(unique)));
}

AnyValue AnyValue::none(const AnyType& wrappedType) {
  return AnyValue(AnyType::optional(wrappedType), std::shared_ptr<const void>());
}

AnyValue AnyValue::some(const AnyValue& value) { return some(value, value.type()); }

AnyValue AnyValue::some(const AnyValue& value, const AnyType& wrappedType) {
  if (!value.passes(wrappedType)) {
    fatalError("AnyValue: a value of type " + value.typeName() + " wrapped as " + wrappedType.name());
  }
  return AnyValue(AnyType::optional(wrappedType), std::make_shared<const AnyValue>(value));
}

AnyValue AnyValue::null() {
  static const auto& box = *new const std::shared_ptr<const ObjectBox>([] {
    static int nullObject = 0;
    return std::make_shared<const ObjectBox>(
        ObjectBox{std::shared_ptr<void>(&nullObject, [](void*) {}), &typeid(std::nullptr_t), nullptr, nullptr, nullptr});
  }());
  return AnyValue(AnyType(AnyKind::null), box);
}

AnyValue AnyValue::makeObject(std::shared_ptr<void> pointer, const std::type_info& type, std::string name,
                              const EquatableType* equatable, const UObjectBoolValue* truth,
                              std::string (*describe)(const void*)) {
  AnyType objectType = AnyType::object(type, std::move(name));
  if (pointer == nullptr) return none(objectType);
  return AnyValue(std::move(objectType),
                  std::make_shared<const ObjectBox>(ObjectBox{std::move(pointer), &type, equatable, truth, describe}));
}

// MARK: Accessors

void AnyValue::require(AnyKind kind, const char* accessor) const {
  if (this->kind() != kind) fatalError(std::string("AnyValue.") + accessor + " of a value of type " + typeName());
}

void AnyValue::requireOneOf(std::initializer_list<AnyKind> kinds, const char* accessor) const {
  for (AnyKind kind : kinds) {
    if (this->kind() == kind) return;
  }
  fatalError(std::string("AnyValue.") + accessor + " of a value of type " + typeName());
}

std::int64_t AnyValue::signedInteger() const {
  if (!isSignedKind(kind())) require(AnyKind::int_, "signedInteger");
  return static_cast<std::int64_t>(bits_);
}

std::uint64_t AnyValue::unsignedInteger() const {
  if (!isUnsignedKind(kind())) require(AnyKind::uint, "unsignedInteger");
  return bits_;
}

float AnyValue::floatValue() const {
  require(AnyKind::float_, "floatValue");
  return std::bit_cast<float>(static_cast<std::uint32_t>(bits_));
}

double AnyValue::doubleValue() const {
  require(AnyKind::double_, "doubleValue");
  return std::bit_cast<double>(bits_);
}

bool AnyValue::truthValue() const {
  require(AnyKind::bool_, "truthValue");
  return bits_ != 0;
}

const std::string& AnyValue::text() const {
  require(AnyKind::string, "text");
  return payloadAs<std::string>(payload_);
}

const AnyValue::Array& AnyValue::elements() const {
  requireOneOf({AnyKind::array, AnyKind::set}, "elements");
  return payloadAs<Array>(payload_);
}

const AnyValue::Dictionary& AnyValue::entries() const {
  require(AnyKind::dictionary, "entries");
  return payloadAs<Dictionary>(payload_);
}

const AnyValue* AnyValue::wrapped() const {
  require(AnyKind::optional, "wrapped");
  return static_cast<const AnyValue*>(payload_.get());
}

const AnyValue::ObjectBox& AnyValue::objectBox() const {
  requireOneOf({AnyKind::object, AnyKind::null}, "object");
  return payloadAs<ObjectBox>(payload_);
}

const std::type_info& AnyValue::objectType() const { return *objectBox().type; }
std::shared_ptr<void> AnyValue::objectPointer() const { return objectBox().pointer; }

const void* AnyValue::objectIdentity() const {
  if (kind() != AnyKind::object && kind() != AnyKind::null) return nullptr;
  return objectBox().pointer.get();
}

const UObjectBoolValue* AnyValue::objectTruth() const {
  if (kind() != AnyKind::object) return nullptr;
  return objectBox().truth;
}

const AnyValue& AnyValue::unwrapped() const {
  const AnyValue* value = this;
  while (value->kind() == AnyKind::optional && value->payload_ != nullptr) value = value->wrapped();
  return *value;
}

bool AnyValue::isNone() const { return kind() == AnyKind::optional && payload_ == nullptr; }

bool AnyValue::passes(const AnyType& type) const {
  // One step per layer and no recursion, so that deeply nested values cannot exhaust the stack.
  // A present optional is tested as the value it wraps, and a value passes an optional type when
  // it passes the wrapped type; so a present value passes exactly when its innermost value passes
  // the innermost non-optional type, and an absent one exactly when the type is optional.
  std::vector<std::pair<const AnyValue*, const AnyType*>> pending{{this, &type}};
  while (!pending.empty()) {
    const AnyValue* value = pending.back().first;
    const AnyType* wanted = pending.back().second;
    pending.pop_back();
    if (wanted->kind() == AnyKind::any) continue;
    while (value->kind() == AnyKind::optional && value->payload_ != nullptr) value = value->wrapped();
    if (value->kind() == AnyKind::optional) {
      if (wanted->kind() != AnyKind::optional) return false;
      continue;
    }
    while (wanted->kind() == AnyKind::optional) wanted = &wanted->element();
    if (wanted->kind() == AnyKind::any) continue;
    if (value->kind() != wanted->kind()) return false;
    switch (value->kind()) {
      case AnyKind::array:
      case AnyKind::set:
        if (value->type().element() == wanted->element()) break;
        for (const AnyValue& element : value->elements()) pending.emplace_back(&element, &wanted->element());
        break;
      case AnyKind::dictionary:
        if (value->type() == *wanted) break;
        for (const auto& [key, entryValue] : value->entries()) {
          pending.emplace_back(&key, &wanted->key());
          pending.emplace_back(&entryValue, &wanted->element());
        }
        break;
      case AnyKind::object:
        if (!(value->type() == *wanted)) return false;
        break;
      default: break;
    }
  }
  return true;
}

const AnyValue* AnyValue::lookup(const AnyValue& key) const {
  const Dictionary& all = entries();
  if (all.size() <= 8) {
    for (const auto& entry : all) {
      if (entry.first.strictlyEquals(key)) return &entry.second;
    }
    return nullptr;
  }
  const auto position = KeyIndex(all, entryKey).find(all, entryKey, key);
  return position ? &all[*position].second : nullptr;
}

// MARK: Equality

bool AnyValue::strictlyEquals(const AnyValue& other) const {
  if (!(type_ == other.type_) && !(kind() == other.kind() && kind() != AnyKind::object)) return false;
  switch (kind()) {
    case AnyKind::float_: return floatValue() == other.floatValue();
    case AnyKind::double_: return doubleValue() == other.doubleValue();
    case AnyKind::string: return textEquals(text(), other.text());
    case AnyKind::array:
    case AnyKind::set: {
      const Array& mine = elements();
      const Array& theirs = other.elements();
      if (mine.size() != theirs.size()) return false;
      for (std::size_t i = 0; i < mine.size(); ++i) {
        if (!mine[i].strictlyEquals(theirs[i])) return false;
      }
      return true;
    }
    case AnyKind::dictionary: {
      const Dictionary& theirs = other.entries();
      if (entries().size() != theirs.size()) return false;
      const KeyIndex index(theirs, entryKey);
      for (const auto& [key, value] : entries()) {
        const auto position = index.find(theirs, entryKey, key);
        if (!position || !value.strictlyEquals(theirs[*position].second)) return false;
      }
      return true;
    }
    case AnyKind::optional:
      if (payload_ == nullptr || other.payload_ == nullptr) return payload_ == other.payload_;
      return wrapped()->strictlyEquals(*other.wrapped());
    case AnyKind::object:
    case AnyKind::null: return objectIdentity() == other.objectIdentity();
    default: return bits_ == other.bits_;
  }
}

bool AnyValue::isEquatableType() const {
  switch (kind()) {
    case AnyKind::int16:
    case AnyKind::uint16:
    case AnyKind::set:
    case AnyKind::null:
    case AnyKind::any: return false;
    case AnyKind::object: return objectBox().equatable != nullptr;
    default: return true;
  }
}

namespace {

/// The integer an argument holds when its dynamic type (a present optional counts as what it
/// wraps) is one of `accepted`, sign- or zero-extended; nothing otherwise.
struct IntegerArgument {
  AnyKind kind;
  std::int64_t signedValue;
  std::uint64_t unsignedValue;
};

std::optional<IntegerArgument> integerArgument(const AnyValue& argument, std::initializer_list<AnyKind> accepted) {
  const AnyValue& value = argument.unwrapped();
  for (AnyKind kind : accepted) {
    if (value.kind() != kind) continue;
    if (isSignedKind(kind)) return IntegerArgument{kind, value.signedInteger(), 0};
    return IntegerArgument{kind, 0, value.unsignedInteger()};
  }
  return std::nullopt;
}

bool warnUnexpected(const char* receiver, const AnyValue& argument) {
  const std::string message = std::string("compare ") + receiver + " w/ unexpected type:";
  const std::string type = argument.typeName();
  console::warn(message, argument, type);
  return false;
}

bool equalSigned(std::int64_t receiver, const IntegerArgument& argument) {
  if (isSignedKind(argument.kind)) return receiver == argument.signedValue;
  return receiver >= 0 && static_cast<std::uint64_t>(receiver) == argument.unsignedValue;
}

}  // namespace

bool AnyValue::isEqual(const AnyValue& other) const {
  using K = AnyKind;
  switch (kind()) {
    case K::int_: {
      const auto argument = integerArgument(other, {K::int_, K::int64, K::int32, K::int16, K::int8, K::uint32,
                                                    K::uint16, K::uint8});
      return argument ? equalSigned(signedInteger(), *argument) : warnUnexpected("Int", other);
    }
    case K::int64: {
      const auto argument = integerArgument(other, {K::int64, K::int_, K::int32, K::int16, K::int8, K::uint32,
                                                    K::uint16, K::uint8, K::uint64});
      return argument ? equalSigned(signedInteger(), *argument) : warnUnexpected("Int64", other);
    }
    case K::int32: {
      const auto argument = integerArgument(other, {K::int32, K::int_, K::int16, K::int8, K::uint16, K::uint8});
      return argument ? equalSigned(signedInteger(), *argument) : warnUnexpected("Int32", other);
    }
    case K::int8: {
      const auto argument = integerArgument(other, {K::int8, K::int_});
      return argument ? equalSigned(signedInteger(), *argument) : warnUnexpected("Int8", other);
    }
    case K::uint8: {
      const auto argument = integerArgument(other, {K::uint8, K::int_, K::uint});
      if (!argument) return warnUnexpected("UInt8", other);
      if (isSignedKind(argument->kind)) {
        return argument->signedValue >= 0 && static_cast<std::uint64_t>(argument->signedValue) == unsignedInteger();
      }
      return argument->unsignedValue == unsignedInteger();
    }
    case K::uint:
    case K::uint32:
    case K::uint64:
    case K::bool_: {
      const AnyValue& value = other.unwrapped();
      return value.kind() == kind() && value.bits_ == bits_;
    }
    case K::float_: {
      const AnyValue& value = other.unwrapped();
      return value.kind() == K::float_ && value.floatValue() == floatValue();
    }
    case K::double_: {
      const AnyValue& value = other.unwrapped();
      return value.kind() == K::double_ && value.doubleValue() == doubleValue();
    }
    case K::string: {
      const AnyValue& value = other.unwrapped();
      return value.kind() == K::string && textEquals(value.text(), text());
    }
    case K::optional: return payload_ != nullptr && eq(*wrapped(), other);
    case K::array:
      if (!other.passes(AnyType::array(type().element()))) return false;
      return isEqualToArray(other.unwrapped().elements());
    case K::dictionary:
      if (!other.passes(type())) return false;
      return isEqualToDictionary(other.unwrapped().entries());
    case K::object:
      if (objectBox().equatable != nullptr) return objectBox().equatable->isEqual(other);
      break;
    default: break;
  }
  fatalError("isEqual(to:) of a value of type " + typeName() + ", which is not an EquatableType");
}

bool AnyValue::isEqual(const std::optional<AnyValue>& other) const {
  if (kind() == AnyKind::optional) {
    if (!other.has_value() || other->isNone()) return payload_ == nullptr;
    return payload_ != nullptr && eq(*wrapped(), other);
  }
  if (kind() == AnyKind::object && objectBox().equatable != nullptr) return objectBox().equatable->isEqual(other);
  return other.has_value() && isEqual(*other);
}

bool AnyValue::isEqualToArray(const Array& other) const {
  const Array& mine = elements();
  if (mine.size() != other.size()) return false;
  for (std::size_t i = 0; i < mine.size(); ++i) {
    if (!eq(mine[i], other[i])) return false;
  }
  return true;
}

bool AnyValue::isEqualToDictionary(const Dictionary& other) const {
  const Dictionary& mine = entries();
  if (mine.size() != other.size()) return false;
  const KeyIndex index(other, entryKey);
  for (const auto& [key, value] : mine) {
    const auto position = index.find(other, entryKey, key);
    if (!eq(value, position ? std::optional<AnyValue>(other[*position].second) : std::nullopt)) return false;
  }
  return true;
}

// MARK: Description

std::string AnyValue::description() const {
  switch (kind()) {
    case AnyKind::int_:
    case AnyKind::int8:
    case AnyKind::int16:
    case AnyKind::int32:
    case AnyKind::int64: return std::to_string(signedInteger());
    case AnyKind::uint:
    case AnyKind::uint8:
    case AnyKind::uint16:
    case AnyKind::uint32:
    case AnyKind::uint64: return std::to_string(unsignedInteger());
    case AnyKind::float_: return shortestText(floatValue());
    case AnyKind::double_: return shortestText(doubleValue());
    case AnyKind::string: return text();
    case AnyKind::bool_: return truthValue() ? "true" : "false";
    case AnyKind::array:
    case AnyKind::set: {
      std::string result = "[";
      bool first = true;
      for (const AnyValue& element : elements()) {
        if (!first) result += ", ";
        first = false;
        result += element.kind() == AnyKind::string ? quoted(element.text()) : element.description();
      }
      return result + "]";
    }
    case AnyKind::dictionary: {
      if (entries().empty()) return "[:]";
      std::string result = "[";
      bool first = true;
      for (const auto& [key, value] : entries()) {
        if (!first) result += ", ";
        first = false;
        result += key.kind() == AnyKind::string ? quoted(key.text()) : key.description();
        result += ": ";
        result += value.kind() == AnyKind::string ? quoted(value.text()) : value.description();
      }
      return result + "]";
    }
    case AnyKind::optional: {
      if (payload_ == nullptr) return "nil";
      const AnyValue& value = *wrapped();
      return "Optional(" + (value.kind() == AnyKind::string ? quoted(value.text()) : value.description()) + ")";
    }
    case AnyKind::object: {
      const ObjectBox& box = objectBox();
      return box.describe != nullptr ? box.describe(box.pointer.get()) : typeName();
    }
    case AnyKind::null: return "<null>";
    case AnyKind::any: break;
  }
  return "Any";
}

}  // namespace Fennix

bool eq(const std::optional<Fennix::AnyValue>& a, const std::optional<Fennix::AnyValue>& b) {
  // An absent optional inside an untyped value counts as absent.
  const bool aPresent = a.has_value() && !a->isNone();
  const bool bPresent = b.has_value() && !b->isNone();
  if (!aPresent || !bPresent) return aPresent == bPresent;
  if (a->isEquatableType()) return a->isEqual(*b);
  if (b->isEquatableType()) return b->isEqual(*a);
  // Object forms: objects (and the null object) are equal when they are the same object; any
  // other value gets a fresh object form and equals nothing.
  const void* aIdentity = a->unwrapped().objectIdentity();
  return aIdentity != nullptr && aIdentity == b->unwrapped().objectIdentity();
}
