#include "Fennix/Operations/HTTP/HTTPWire.h"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace Fennix::HTTPWire {

namespace {

bool isTokenCharacter(char c) {
  static constexpr std::string_view marks = "!#$%&'*+-.^_`|~";
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         marks.find(c) != std::string_view::npos;
}

/// Thrown by the parser callback to stop at the first value nested too deep, before the parser's
/// own stacks grow with the rest of the input.
struct TooDeep {};

}  // namespace

bool isToken(const std::string& text) { return !text.empty() && std::all_of(text.begin(), text.end(), isTokenCharacter); }

std::optional<std::string> requestFault(const URLRequest& request) {
  if (!isToken(request.httpMethod)) return "the request's method is not a token";
  for (const auto& [name, value] : request.allHTTPHeaderFields()) {
    if (!isToken(name)) return "a header field's name is not a token";
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
      return "the value of the header field " + name + " holds a line break or NUL";
    }
  }
  if (std::isnan(request.timeoutInterval) || request.timeoutInterval < 0) {
    return "the request's time-out interval is not a number of seconds of at least 0";
  }
  return std::nullopt;
}

std::vector<std::string> headerLines(const std::vector<std::pair<std::string, std::string>>& fields) {
  std::vector<std::string> lines;
  lines.reserve(fields.size());
  for (const auto& [name, value] : fields) lines.push_back(value.empty() ? name + ";" : name + ": " + value);
  return lines;
}

std::variant<nlohmann::json, std::string> parseJSON(const Fennix::Data& data) {
  // The parser stops at a NUL as if the text ended there; no JSON text holds one.
  if (std::find(data.begin(), data.end(), std::uint8_t{0}) != data.end()) return std::string("the data is not valid JSON");
  const nlohmann::json::parser_callback_t depthLimit = [](int depth, nlohmann::json::parse_event_t event,
                                                          nlohmann::json&) {
    const bool opens = event == nlohmann::json::parse_event_t::object_start ||
                       event == nlohmann::json::parse_event_t::array_start;
    // `depth` counts the containers around the one that opens.
    if (opens && static_cast<std::size_t>(depth) >= maximumJSONDepth) throw TooDeep{};
    return true;
  };
  try {
    auto parsed = nlohmann::json::parse(data.begin(), data.end(), depthLimit, false);
    if (parsed.is_discarded()) return std::string("the data is not valid JSON");
    return parsed;
  } catch (const TooDeep&) {
    return std::string("the data nests arrays or objects more than " + std::to_string(maximumJSONDepth) + " deep");
  }
}

}  // namespace Fennix::HTTPWire
