// The generator settings of a document and of the application default, with
// their JSON form and the exporter options they stand for.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "SVGConverter/Exporter/SVGSwiftUIExporterConfig.h"
#include "SVGQuarvel/Model/DefaultDecodableValue.h"

class NSUserDefaults;

/// An enumeration stored as text: `Cases` holds the plain enumeration `Value`
/// and the raw texts of its cases in declaration order.
template <typename Cases>
class RawTextEnumeration : public Cases {
 public:
  using Value = typename Cases::Value;

  constexpr RawTextEnumeration(Value value) : value_(value) {}

  /// The case of a raw text; nothing for a text outside the table.
  static std::optional<RawTextEnumeration> fromRawValue(std::string_view rawValue) {
    for (std::size_t index = 0; index < Cases::rawValues.size(); ++index) {
      if (Cases::rawValues[index] == rawValue) return RawTextEnumeration(static_cast<Value>(index));
    }
    return std::nullopt;
  }

  /// Every case, in declaration order.
  static constexpr auto allCases() {
    std::array<RawTextEnumeration, Cases::rawValues.size()> cases{};
    for (std::size_t index = 0; index < cases.size(); ++index) cases[index] = static_cast<Value>(index);
    return cases;
  }

  constexpr Value value() const { return value_; }
  constexpr std::string_view rawValue() const { return Cases::rawValues[static_cast<std::size_t>(value_)]; }

  friend constexpr bool operator==(RawTextEnumeration a, RawTextEnumeration b) { return a.value_ == b.value_; }

 private:
  constexpr RawTextEnumeration() : value_(Value{}) {}
  Value value_;
};

namespace configurationcases {

struct IndentType {
  enum Value { tabs, spaces };
  static constexpr std::array<std::string_view, 2> rawValues{"\t", " "};
};

struct InitType {
  enum Value { autoInit, type };
  static constexpr std::array<std::string_view, 2> rawValues{"init", "type"};
};

struct PositioningStyle {
  enum Value { offset, padding };
  static constexpr std::array<std::string_view, 2> rawValues{"offset", "padding"};
};

}  // namespace configurationcases

/// The user-visible generator settings, compared field by field and stored as a
/// JSON object whose keys follow the field order.
struct SVGQuarvelConfiguration {
  using IndentType = RawTextEnumeration<configurationcases::IndentType>;
  using InitType = RawTextEnumeration<configurationcases::InitType>;
  using PositioningStyle = RawTextEnumeration<configurationcases::PositioningStyle>;

  /// Reading failure of a record: the description names the key and the problem.
  class DecodingError : public std::runtime_error {
   public:
    using std::runtime_error::runtime_error;
  };

  /// Most indentation characters one level is built from; larger counts are cut
  /// down to it, negative ones count as none.
  static constexpr std::int64_t maximumIndent = 32;

  std::string rootViewName;
  IndentType indentUsing = IndentType::spaces;
  std::int64_t indent = 2;
  bool indentEmptyLines = False::defaultValue;
  bool prefixSVG = True::defaultValue;
  bool infoComments = True::defaultValue;
  bool previewProvider = True::defaultValue;
  bool imports = True::defaultValue;
  bool newlineAfterClosePath = True::defaultValue;
  InitType initType = InitType::type;
  PositioningStyle positioningType = PositioningStyle::padding;
  std::int64_t maximumFractionDigits = 4;
  bool useHexColor = False::defaultValue;

  bool operator==(const SVGQuarvelConfiguration&) const = default;

  /// The JSON object with all thirteen keys in field order.
  nlohmann::ordered_json toJSON() const;
  /// `toJSON()` as compact text.
  std::string jsonString() const;

  /// Reads a record. `rootViewName`, `indentUsing`, `indent`, `initType` and
  /// `positioningType` are required: a missing key, a null, a value of the
  /// wrong type or an unknown enumeration text throws `DecodingError`. The other
  /// keys take their defaults when missing or null; an unreadable value prints
  /// "ERROR: " and the reason, and takes the default too. Unknown keys are ignored.
  static SVGQuarvelConfiguration fromJSON(const nlohmann::json& object);
  static SVGQuarvelConfiguration fromJSON(const nlohmann::ordered_json& object);
  /// Parses JSON text and reads it; text that is not JSON throws `DecodingError`.
  static SVGQuarvelConfiguration fromJSONString(std::string_view text);
  /// Whether `key` is one of the keys `fromJSON` reads (those `toJSON` writes).
  static bool isStoredKey(std::string_view key);

  /// The exporter options: its defaults with the user-visible fields overwritten.
  SVGSwiftUIExporterConfig asExporterConfig() const;

  // ---- The application-wide default (DefaultConfiguration.cpp) ----------------
  // Kept as JSON data under `SVGQuarvelConfigKey` in the defaults suite of the
  // application group `defaultsGroup()`. Meant for the main thread; the first
  // load and the store are safe against concurrent first use.

  /// The key of the stored default.
  static constexpr const char* SVGQuarvelConfigKey = "DefaultSVGQuarvelConfig";
  /// The application group of the suite: the reverse-DNS prefix and ".devtools".
  static std::string defaultsGroup();
  /// The suite of `defaultsGroup()`, or the standard suite when there is none; made once.
  static std::shared_ptr<NSUserDefaults> userDefaults();

  /// The current default. The first read loads the stored record (the fresh
  /// record when nothing readable is stored) and writes nothing back.
  static SVGQuarvelConfiguration defaultConfig();
  /// Makes `config` the default and stores it when it differs from the previous one.
  static void setDefaultConfig(const SVGQuarvelConfiguration& config);
  /// Changes the default in place; stored like `setDefaultConfig`.
  static void modifyDefaultConfig(const std::function<void(SVGQuarvelConfiguration&)>& change);
  /// Reloads the default whenever user defaults change (on the main queue). The first
  /// call installs the observer for the life of the process; later calls do nothing.
  static void registerForChangeNotifications();
};

namespace jsontext {

/// Compact JSON text as the platform's JSON encoder writes it by default: every "/"
/// (which occurs only inside strings) is written as a backslash and a slash.
std::string escapingSlashes(std::string_view compactJSON);

}  // namespace jsontext

template <typename Cases>
struct std::hash<RawTextEnumeration<Cases>> {
  std::size_t operator()(RawTextEnumeration<Cases> value) const noexcept {
    return std::hash<int>()(static_cast<int>(value.value()));
  }
};
