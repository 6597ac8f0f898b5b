#include "Fennix/Foundation/BaseTypes/UObject.h"

#include <charconv>
#include <limits>
#include <string_view>

using Fennix::AnyKind;
using Fennix::AnyValue;

namespace {

bool isFalseText(std::string_view text) {
  return text.empty() || text == "0" || text == " " || text == "NO" || text == "false" || text == "undefined";
}

bool present(const std::optional<AnyValue>& value) { return value.has_value() && !value->isNone(); }

}  // namespace

bool UObject::boolValue(const std::optional<AnyValue>& value) {
  if (!present(value)) return false;
  const AnyValue& v = value->unwrapped();
  switch (v.kind()) {
    case AnyKind::bool_: return v.truthValue();
    case AnyKind::int_: return v.signedInteger() != 0;
    case AnyKind::string: return !isFalseText(v.text());
    case AnyKind::array:
    case AnyKind::set: return !v.elements().empty();
    case AnyKind::object: {
      const UObjectBoolValue* truth = v.objectTruth();
      return truth == nullptr || truth->swiftObjectsBoolValue();
    }
    default: return true;
  }
}

bool UObject::boolValue(const std::optional<std::string>& text) { return text.has_value() && !isFalseText(*text); }

bool UObject::boolValue(const char* text) { return text != nullptr && !isFalseText(text); }

long UObject::intValue(const std::optional<std::string>& text) {
  if (!text.has_value() || text->empty()) return 0;
  std::string_view digits = *text;
  bool negative = false;
  if (digits.front() == '+' || digits.front() == '-') {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  if (digits.empty()) return 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return 0;
  }
  // Read the magnitude unsigned so that the most negative value fits too.
  unsigned long magnitude = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
  if (error != std::errc() || end != digits.data() + digits.size()) return 0;
  constexpr unsigned long limit = static_cast<unsigned long>(std::numeric_limits<long>::max());
  if (negative) {
    if (magnitude > limit + 1) return 0;
    return magnitude == limit + 1 ? std::numeric_limits<long>::min() : -static_cast<long>(magnitude);
  }
  return magnitude > limit ? 0 : static_cast<long>(magnitude);
}

long UObject::intValue(const char* text) {
  return text == nullptr ? 0 : intValue(std::optional<std::string>(text));
}

long UObject::intValue(const std::optional<AnyValue>& value) {
  if (!present(value)) return 0;
  const AnyValue& v = value->unwrapped();
  switch (v.kind()) {
    case AnyKind::int_: return static_cast<long>(v.signedInteger());
    case AnyKind::bool_: return v.truthValue() ? 1 : 0;
    case AnyKind::string: return intValue(std::optional<std::string>(v.text()));
    case AnyKind::null: return 0;
    default: return intValue(std::optional<std::string>(v.description()));
  }
}

std::string UObject::stringValue(const std::optional<AnyValue>& value) {
  if (!present(value)) return "<nil>";
  const AnyValue& v = value->unwrapped();
  switch (v.kind()) {
    case AnyKind::null: return "<nil>";
    case AnyKind::string: return v.text();
    case AnyKind::bool_: return v.truthValue() ? "true" : "false";
    case AnyKind::int_: return std::to_string(v.signedInteger());
    default: return v.description();
  }
}

bool UObject::isEqual(const std::optional<AnyValue>& a, const std::optional<AnyValue>& b) {
  if (!present(a) || !present(b)) return present(a) == present(b);
  const AnyValue& x = a->unwrapped();
  const AnyValue& y = b->unwrapped();
  if (x.kind() == AnyKind::int_ && y.kind() == AnyKind::int_) return x.signedInteger() == y.signedInteger();
  if (x.kind() == AnyKind::string && y.kind() == AnyKind::string) return Fennix::textEquals(x.text(), y.text());
  if (a->isEquatableType() && b->isEquatableType()) return a->isEqual(*b);
  if (!(x.type() == y.type())) return false;
  return stringValue(a) == stringValue(b);
}

std::string UObject::getSimpleName(const AnyValue& value) { return value.typeName(); }
