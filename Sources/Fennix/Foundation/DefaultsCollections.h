// The stored form of arrays and dictionaries in user defaults: data holding their JSON text, which
// the key-value stores and the defaults-backed array data source share.
//
// Plain JSON values are written as their JSON text, as they always were. Dates and data have no
// JSON form of their own: a value that holds any is written as a marker that no JSON text starts
// with, followed by JSON text in which a date is {"$date": seconds since 2001} and data is
// {"$data": "<base64>"}, and in which every dictionary key starting with "$" gets one more "$".
// So no text and no dictionary stored before is taken for a date or data, and such values read
// as they were written.
//
// In memory, data is a binary JSON value without subtype, and a date a binary JSON value of
// subtype `defaultsDateSubtype` (`defaultsDate` makes one, `defaultsDateOf` reads it).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include <nlohmann/json.hpp>

#include "Fennix/Foundation/BaseTypes/TimedValue.h"
#include "Fennix/Foundation/UserDefaults.h"

namespace Fennix {

/// Arrays and dictionaries nest at most this deep in stored values.
inline constexpr int defaultsMaximumDepth = 64;

/// The subtype of binary JSON values that hold a date.
inline constexpr std::uint64_t defaultsDateSubtype = 1;
/// A date as a value of a stored array or dictionary.
nlohmann::json defaultsDate(Date date);
/// The date a value holds; none for every other value.
std::optional<Date> defaultsDateOf(const nlohmann::json& value);

/// The stored form of `value`; none when it has none: a date or number that is not finite, text
/// that is not UTF-8, or nesting deeper than `defaultsMaximumDepth`.
std::optional<DefaultsData> encodeDefaultsCollection(const nlohmann::json& value);
/// The value of a stored form (or of the JSON text earlier versions stored as text); none for
/// anything else, and for nesting deeper than `defaultsMaximumDepth`.
std::optional<nlohmann::json> decodeDefaultsCollection(std::string_view stored);

}  // namespace Fennix
