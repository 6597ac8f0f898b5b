#include "Fennix/Foundation/DefaultsCollections.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <string>

#include "Fennix/Foundation/Base64.h"

namespace Fennix {
namespace {

// Starts the stored form of values that hold dates or data; JSON text never starts with a NUL.
constexpr std::string_view taggedMarker("\0QVD2\n", 6);
constexpr const char* dateTag = "$date";
constexpr const char* dataTag = "$data";

std::optional<nlohmann::json> parseBounded(std::string_view text, int maxDepth) {
  bool tooDeep = false;
  auto parsed = nlohmann::json::parse(
      text,
      [&tooDeep, maxDepth](int depth, nlohmann::json::parse_event_t, nlohmann::json&) {
        if (depth > maxDepth) tooDeep = true;
        return !tooDeep;
      },
      /*allow_exceptions=*/false);
  if (tooDeep || parsed.is_discarded()) return std::nullopt;
  return parsed;
}

/// Whether a date or data occurs in `value`; none when it has no stored form: when it nests too
/// deep, or holds a number that is not finite (JSON text would turn it into null).
std::optional<bool> holdsBinary(const nlohmann::json& value, int depth) {
  if (depth > defaultsMaximumDepth) return std::nullopt;
  if (value.is_binary()) return true;
  if (value.is_number_float() && !std::isfinite(value.get<double>())) return std::nullopt;
  bool found = false;
  if (value.is_structured()) {
    for (const auto& element : value) {
      auto inner = holdsBinary(element, depth + 1);
      if (!inner) return std::nullopt;
      found = found || *inner;
    }
  }
  return found;
}

// The tagged JSON of a value that holds dates or data (already known not to nest too deep).
std::optional<nlohmann::json> tagged(const nlohmann::json& value) {
  if (value.is_binary()) {
    if (auto date = defaultsDateOf(value)) {
      const double seconds = date->time_since_epoch().count();
      if (!std::isfinite(seconds)) return std::nullopt;
      return nlohmann::json{{dateTag, seconds}};
    }
    return nlohmann::json{{dataTag, base64Encode(value.get_binary())}};
  }
  if (value.is_array()) {
    auto array = nlohmann::json::array();
    for (const auto& element : value) {
      auto converted = tagged(element);
      if (!converted) return std::nullopt;
      array.push_back(std::move(*converted));
    }
    return array;
  }
  if (value.is_object()) {
    auto object = nlohmann::json::object();
    for (const auto& [key, entry] : value.items()) {
      auto converted = tagged(entry);
      if (!converted) return std::nullopt;
      object[!key.empty() && key.front() == '$' ? "$" + key : key] = std::move(*converted);
    }
    return object;
  }
  return value;
}

// The value of tagged JSON; none for JSON that no writer of the tagged form makes.
std::optional<nlohmann::json> untagged(const nlohmann::json& value) {
  if (value.is_array()) {
    auto array = nlohmann::json::array();
    for (const auto& element : value) {
      auto converted = untagged(element);
      if (!converted) return std::nullopt;
      array.push_back(std::move(*converted));
    }
    return array;
  }
  if (!value.is_object()) return value;
  if (value.size() == 1) {
    const auto only = value.begin();
    const std::string& key = only.key();
    const nlohmann::json& entry = only.value();
    if (key == dateTag) {
      if (!entry.is_number() || !std::isfinite(entry.get<double>())) return std::nullopt;
      return defaultsDate(Date(DateClock::duration(entry.get<double>())));
    }
    if (key == dataTag) {
      if (!entry.is_string()) return std::nullopt;
      auto bytes = base64Decode(entry.get<std::string>());
      if (!bytes) return std::nullopt;
      return nlohmann::json::binary(std::move(*bytes));
    }
  }
  auto object = nlohmann::json::object();
  for (const auto& [key, entry] : value.items()) {
    if (!key.empty() && key.front() == '$' && (key.size() < 2 || key[1] != '$')) return std::nullopt;
    auto converted = untagged(entry);
    if (!converted) return std::nullopt;
    object[!key.empty() && key.front() == '$' ? key.substr(1) : key] = std::move(*converted);
  }
  return object;
}

}  // namespace

nlohmann::json defaultsDate(Date date) {
  const auto bits = std::bit_cast<std::uint64_t>(date.time_since_epoch().count());
  std::vector<std::uint8_t> bytes(8);
  for (int i = 0; i < 8; ++i) bytes[std::size_t(i)] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
  return nlohmann::json::binary(std::move(bytes), defaultsDateSubtype);
}

std::optional<Date> defaultsDateOf(const nlohmann::json& value) {
  if (!value.is_binary()) return std::nullopt;
  const auto& binary = value.get_binary();
  if (!binary.has_subtype() || binary.subtype() != defaultsDateSubtype || binary.size() != 8) return std::nullopt;
  std::uint64_t bits = 0;
  for (std::uint8_t byte : binary) bits = (bits << 8) | byte;
  return Date(DateClock::duration(std::bit_cast<double>(bits)));
}

std::optional<DefaultsData> encodeDefaultsCollection(const nlohmann::json& value) {
  const auto hasBinary = holdsBinary(value, 0);
  if (!hasBinary) return std::nullopt;
  std::string text;
  try {
    if (!*hasBinary) {
      text = value.dump();
    } else {
      auto converted = tagged(value);
      if (!converted) return std::nullopt;
      text = std::string(taggedMarker) + converted->dump();
    }
  } catch (const nlohmann::json::exception&) {
    return std::nullopt;  // text that is not UTF-8
  }
  return DefaultsData(text.begin(), text.end());
}

std::optional<nlohmann::json> decodeDefaultsCollection(std::string_view stored) {
  if (stored.substr(0, taggedMarker.size()) != taggedMarker) return parseBounded(stored, defaultsMaximumDepth);
  // A date or data is one level deeper than the value it stands for.
  auto parsed = parseBounded(stored.substr(taggedMarker.size()), defaultsMaximumDepth + 1);
  if (!parsed) return std::nullopt;
  return untagged(*parsed);
}

}  // namespace Fennix
