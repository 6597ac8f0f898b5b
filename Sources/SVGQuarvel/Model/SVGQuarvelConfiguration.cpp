#include "SVGQuarvel/Model/SVGQuarvelConfiguration.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "Platform/Print.h"

namespace {

using DecodingError = SVGQuarvelConfiguration::DecodingError;

std::string quoted(std::string_view key) { return "\"" + std::string(key) + "\""; }

template <typename Json>
std::string kindOf(const Json& value) {
  switch (value.type()) {
    case nlohmann::json::value_t::null: return "null";
    case nlohmann::json::value_t::object: return "a dictionary";
    case nlohmann::json::value_t::array: return "an array";
    case nlohmann::json::value_t::string: return "a string";
    case nlohmann::json::value_t::boolean: return "a boolean";
    case nlohmann::json::value_t::binary: return "binary data";
    case nlohmann::json::value_t::discarded: return "nothing";
    default: return "a number";
  }
}

[[noreturn]] void typeMismatch(std::string_view expected, std::string_view key, const std::string& found) {
  throw DecodingError("typeMismatch: expected " + std::string(expected) + " for key " + quoted(key) + " but found " +
                      found + " instead.");
}

// Strict readers of one present, non-null JSON value; a value of another type
// throws DecodingError.
template <typename Value>
struct JSONReader;

template <>
struct JSONReader<bool> {
  template <typename Json>
  static bool read(const Json& value, std::string_view key) {
    if (!value.is_boolean()) typeMismatch("Bool", key, kindOf(value));
    return value.template get<bool>();
  }
};

template <>
struct JSONReader<std::string> {
  template <typename Json>
  static std::string read(const Json& value, std::string_view key) {
    if (!value.is_string()) typeMismatch("String", key, kindOf(value));
    return value.template get<std::string>();
  }
};

template <>
struct JSONReader<std::int64_t> {
  template <typename Json>
  static std::int64_t read(const Json& value, std::string_view key) {
    if (value.is_number_integer() && !value.is_number_unsigned()) return value.template get<std::int64_t>();
    if (value.is_number_unsigned()) {
      const auto number = value.template get<std::uint64_t>();
      if (number <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
        return static_cast<std::int64_t>(number);
      }
    } else if (value.is_number_float()) {
      // Whole numbers written with a fraction or an exponent ("2.0", "1e1") are read.
      const double number = value.template get<double>();
      constexpr double limit = 9223372036854775808.0;  // 2^63
      if (std::isfinite(number) && std::trunc(number) == number && number >= -limit && number < limit) {
        return static_cast<std::int64_t>(number);
      }
    } else {
      typeMismatch("Int64", key, kindOf(value));
    }
    throw DecodingError("dataCorrupted: the number " + value.dump() + " for key " + quoted(key) +
                        " does not fit in Int64.");
  }
};

// A required value: present and not null.
template <typename Value, typename Json>
Value readRequired(const Json& object, std::string_view key) {
  const auto found = object.find(key);
  if (found == object.end()) throw DecodingError("keyNotFound: no value associated with key " + quoted(key) + ".");
  if (found->is_null()) {
    throw DecodingError("valueNotFound: expected a value for key " + quoted(key) + " but found null instead.");
  }
  return JSONReader<Value>::read(*found, key);
}

template <typename Enumeration, typename Json>
Enumeration readRequiredEnumeration(const Json& object, std::string_view key, std::string_view typeName) {
  const std::string raw = readRequired<std::string>(object, key);
  if (auto value = Enumeration::fromRawValue(raw)) return *value;
  throw DecodingError("dataCorrupted: cannot initialize " + std::string(typeName) + " from invalid String value " +
                      nlohmann::json(raw).dump() + " for key " + quoted(key) + ".");
}

// A default-decodable value: the provider's default when the key is missing or
// null; when the value cannot be read, an "ERROR:" line and the default.
template <typename Provider, typename Json>
DefaultDecodableValue<Provider> readDefaultable(const Json& object, std::string_view key) {
  const auto found = object.find(key);
  if (found == object.end() || found->is_null()) return DefaultDecodableValue<Provider>();
  try {
    return DefaultDecodableValue<Provider>(JSONReader<typename Provider::Value>::read(*found, key));
  } catch (const DecodingError& error) {
    SVGParser::print("ERROR:", error.what());
    return DefaultDecodableValue<Provider>(Provider::defaultValue);
  }
}

template <typename Json>
SVGQuarvelConfiguration decode(const Json& object) {
  if (!object.is_object()) {
    throw DecodingError("typeMismatch: expected a dictionary but found " + kindOf(object) + " instead.");
  }
  SVGQuarvelConfiguration config;
  using Config = SVGQuarvelConfiguration;
  config.rootViewName = readRequired<std::string>(object, "rootViewName");
  config.indentUsing = readRequiredEnumeration<Config::IndentType>(object, "indentUsing", "IndentType");
  config.indent = readRequired<std::int64_t>(object, "indent");
  config.indentEmptyLines = readDefaultable<False>(object, "indentEmptyLines").wrappedValue;
  config.prefixSVG = readDefaultable<True>(object, "prefixSVG").wrappedValue;
  config.infoComments = readDefaultable<True>(object, "infoComments").wrappedValue;
  config.previewProvider = readDefaultable<True>(object, "previewProvider").wrappedValue;
  config.imports = readDefaultable<True>(object, "imports").wrappedValue;
  config.newlineAfterClosePath = readDefaultable<True>(object, "newlineAfterClosePath").wrappedValue;
  config.initType = readRequiredEnumeration<Config::InitType>(object, "initType", "InitType");
  config.positioningType = readRequiredEnumeration<Config::PositioningStyle>(object, "positioningType", "PositioningStyle");
  config.maximumFractionDigits = readDefaultable<DefaultInt2>(object, "maximumFractionDigits").wrappedValue;
  config.useHexColor = readDefaultable<False>(object, "useHexColor").wrappedValue;
  return config;
}

}  // namespace

nlohmann::ordered_json SVGQuarvelConfiguration::toJSON() const {
  nlohmann::ordered_json object = nlohmann::ordered_json::object();
  object["rootViewName"] = rootViewName;
  object["indentUsing"] = indentUsing.rawValue();
  object["indent"] = indent;
  object["indentEmptyLines"] = indentEmptyLines;
  object["prefixSVG"] = prefixSVG;
  object["infoComments"] = infoComments;
  object["previewProvider"] = previewProvider;
  object["imports"] = imports;
  object["newlineAfterClosePath"] = newlineAfterClosePath;
  object["initType"] = initType.rawValue();
  object["positioningType"] = positioningType.rawValue();
  object["maximumFractionDigits"] = maximumFractionDigits;
  object["useHexColor"] = useHexColor;
  return object;
}

std::string SVGQuarvelConfiguration::jsonString() const {
  // A root view name that is not valid UTF-8 is written with replacement characters.
  return jsontext::escapingSlashes(toJSON().dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace));
}

std::string jsontext::escapingSlashes(std::string_view compactJSON) {
  std::string escaped;
  escaped.reserve(compactJSON.size() + compactJSON.size() / 16);
  // Runs without a slash go in whole: a document's text is hundreds of megabytes at most.
  for (std::size_t from = 0; from < compactJSON.size();) {
    const std::size_t slash = std::min(compactJSON.find('/', from), compactJSON.size());
    escaped.append(compactJSON.substr(from, slash - from));
    if (slash == compactJSON.size()) break;
    escaped += "\\/";
    from = slash + 1;
  }
  return escaped;
}

SVGQuarvelConfiguration SVGQuarvelConfiguration::fromJSON(const nlohmann::json& object) { return decode(object); }

SVGQuarvelConfiguration SVGQuarvelConfiguration::fromJSON(const nlohmann::ordered_json& object) {
  return decode(object);
}

SVGQuarvelConfiguration SVGQuarvelConfiguration::fromJSONString(std::string_view text) {
  nlohmann::json object = nlohmann::json::parse(text, nullptr, false);
  if (object.is_discarded()) throw DecodingError("dataCorrupted: the given data was not valid JSON.");
  return decode(object);
}

bool SVGQuarvelConfiguration::isStoredKey(std::string_view key) {
  static const auto* stored = new nlohmann::ordered_json(SVGQuarvelConfiguration().toJSON());  // lives for the whole process
  return stored->contains(key);
}

SVGSwiftUIExporterConfig SVGQuarvelConfiguration::asExporterConfig() const {
  SVGSwiftUIExporterConfig config;
  config.rootViewName = rootViewName;
  const std::int64_t indentCount = std::clamp<std::int64_t>(indent, 0, maximumIndent);
  config.indentString.assign(static_cast<std::size_t>(indentCount),
                             indentUsing == IndentType::tabs ? '\t' : ' ');
  config.infoComments = infoComments;
  config.generatePreviewProvider = previewProvider;
  config.exportHexColorExtension = useHexColor;
  config.generateImport = imports;
  config.newlineAfterClosePath = newlineAfterClosePath;
  config.indentEmptyLines = indentEmptyLines;
  config.preferInitOverType = initType == InitType::autoInit;
  config.positionUsingPadding = positioningType == PositioningStyle::padding;
  config.maximumFractionDigits = static_cast<int>(
      std::clamp<std::int64_t>(maximumFractionDigits, 0, std::numeric_limits<int>::max()));
  return config;
}
