// What goes on the wire and comes off it: the check of a request before anything is sent, the
// header lines handed to libcurl, and the reading of a JSON body.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "Fennix/Foundation/HTTP/HTTPTypes.h"

namespace Fennix::HTTPWire {

/// Whether `text` is an HTTP token (RFC 9110 §5.6.2): letters, digits and !#$%&'*+-.^_`|~, at
/// least one.
bool isToken(const std::string& text);

/// Why the request cannot be sent as it is, none when it can: a method or header name that is
/// not a token, a header value holding CR, LF or NUL (which would start another header line or
/// request), a time-out interval that is not a number or is negative.
std::optional<std::string> requestFault(const URLRequest& request);

/// The libcurl header lines of the fields, in order: "Name: value", or "Name;" for an empty value
/// (libcurl reads "Name:" as removing a field).
std::vector<std::string> headerLines(const std::vector<std::pair<std::string, std::string>>& fields);

/// Arrays and objects nested deeper than this are refused.
inline constexpr std::size_t maximumJSONDepth = 512;

/// Texts with more values than this (arrays, objects, and the values and members in them) are
/// refused. A value takes up to about a hundred bytes once built, up to 30 times the text of an
/// empty array, so the bound keeps a reply's value within about a gigabyte however it is written,
/// while 10 million values is far more than a reply to this library's callers holds.
inline constexpr std::size_t maximumJSONValues = 10'000'000;

/// The JSON value of a body, or why it is not one: text that is not JSON, bytes other than white
/// space after the value (a NUL included), nesting deeper than `maximumJSONDepth`, or more than
/// `maximumValues` values. The text is measured before anything is built.
std::variant<nlohmann::json, std::string> parseJSON(const Fennix::Data& data,
                                                    std::size_t maximumValues = maximumJSONValues);

}  // namespace Fennix::HTTPWire
