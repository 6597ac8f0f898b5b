// What goes on the wire and comes off it: the check of a request before anything is sent, the
// header lines handed to libcurl, the reading of a response's heads, and the reading of a JSON
// body.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "Fennix/Foundation/HTTP/HTTPTypes.h"

namespace Fennix::HTTPWire {

/// Whether `a` and `b` are the same text but for the case of ASCII letters (as field names and
/// schemes are compared).
bool equalsIgnoringCase(std::string_view a, std::string_view b);

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

/// A response's status line: the HTTP version as written ("1.0", "1.1" or "2") and the status.
struct StatusLine {
  std::string version;
  long statusCode = 0;
};

/// The status line `line` (without its line break), or why it is malformed. It is taken only as
/// HTTP writes it (RFC 9112 §4): "HTTP/" in capitals, the version 1.0 or 1.1 (or 2 where `http2`
/// allows it: libcurl writes that line itself for a response that came over HTTP/2), one space,
/// three digits from 100 to 999, then nothing, or a space and a reason of visible characters,
/// spaces and tabs. libcurl reads some other lines as another status than the one written (a
/// lower-case "http/1.1 404" as 200) and some as the same; none of them is taken.
std::variant<StatusLine, std::string> parseStatusLine(std::string_view line, bool http2);

/// Reads the heads of the responses to one request as libcurl hands their lines over, one line at a
/// time: the first line of each head is its status line, read once here; an interim head (1xx but
/// 101) is followed by another head; the lines after the final head's blank line are trailer
/// fields, which are no fields of the head. A line that starts with a space or tab continues the
/// field before it (an obsolete folding), joined to its value after one space.
///
/// A head that libcurl would take otherwise than this reading is refused: a status line that is
/// malformed or whose status libcurl read as another; a folded field that libcurl reads itself
/// (it reads such a field's first line alone): "Content-Length", "Transfer-Encoding",
/// "Content-Encoding", "Connection" and "Location" decide the content's length and coding, the
/// connection's reuse and where a redirect leads; a line that starts with a carriage return
/// (libcurl ends the head there); and a final head with "Location" fields that differ (libcurl
/// follows the first). Repeats of the same "Location" are kept once.
class ResponseHeadReader {
 public:
  using Fields = std::vector<std::pair<std::string, std::string>>;

  /// A reader of the heads of one request; `http2` allows the status line libcurl writes for an
  /// HTTP/2 response.
  explicit ResponseHeadReader(bool http2 = false) : http2_(http2) {}

  /// Takes the next line, without its line break; `libcurlStatus` is the status libcurl gives for
  /// the head under way, 0 where it gives none. Why the head is refused, none when the line is
  /// taken. Nothing is taken after a refusal.
  std::optional<std::string> take(std::string_view line, long libcurlStatus);

  /// The status of the head last begun; 0 before the first status line.
  long statusCode() const { return statusCode_; }
  /// Whether the final head has ended (its blank line taken): content and trailers follow.
  bool finalHeadEnded() const { return ended_; }
  /// The fields of the head last begun, in order.
  const Fields& fields() const { return fields_; }

 private:
  bool http2_;
  bool awaitingStatus_ = true;
  bool interim_ = false;
  bool ended_ = false;
  bool refused_ = false;
  long statusCode_ = 0;
  Fields fields_;
};

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
