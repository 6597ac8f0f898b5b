#include "Fennix/Operations/HTTP/HTTPWire.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <string_view>

namespace Fennix::HTTPWire {

namespace {

bool isTokenCharacter(char c) {
  static constexpr std::string_view marks = "!#$%&'*+-.^_`|~";
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         marks.find(c) != std::string_view::npos;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

/// A line of the server's in quotes for a message: its first 80 bytes, those that are not
/// printable written as \xNN.
std::string quoted(std::string_view line) {
  constexpr std::size_t shown = 80;
  std::string text = "\"";
  for (const char c : line.substr(0, shown)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7f && c != '"' && c != '\\') {
      text += c;
    } else {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      text += escaped;
    }
  }
  return text + (line.size() > shown ? "\"..." : "\"");
}

/// Fields that libcurl reads itself, from their first line alone.
bool isReadByLibcurl(std::string_view name) {
  static constexpr std::array<std::string_view, 5> names = {"Content-Length", "Transfer-Encoding", "Content-Encoding",
                                                            "Connection", "Location"};
  return std::any_of(names.begin(), names.end(), [&](std::string_view known) { return equalsIgnoringCase(name, known); });
}

/// A first reading of a JSON text that builds nothing: it counts the values and the nesting, so
/// that a text that would take far more memory than its size, or nest too deep, is refused before
/// the value is built.
class JSONMeasure final : public nlohmann::json_sax<nlohmann::json> {
 public:
  enum class Fault { none, invalid, tooDeep, tooManyValues };
  explicit JSONMeasure(std::size_t maximumValues) : maximumValues_(maximumValues) {}
  Fault fault = Fault::none;

  bool null() override { return counted(); }
  bool boolean(bool) override { return counted(); }
  bool number_integer(number_integer_t) override { return counted(); }
  bool number_unsigned(number_unsigned_t) override { return counted(); }
  bool number_float(number_float_t, const string_t&) override { return counted(); }
  bool string(string_t&) override { return counted(); }
  bool binary(binary_t&) override { return counted(); }
  bool start_object(std::size_t) override { return opened(); }
  bool key(string_t&) override { return true; }
  bool end_object() override { return closed(); }
  bool start_array(std::size_t) override { return opened(); }
  bool end_array() override { return closed(); }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
    fault = Fault::invalid;
    return false;
  }

 private:
  bool counted() {
    if (++values_ <= maximumValues_) return true;
    fault = Fault::tooManyValues;
    return false;
  }
  bool opened() {
    if (!counted()) return false;
    if (++depth_ <= maximumJSONDepth) return true;
    fault = Fault::tooDeep;
    return false;
  }
  bool closed() {
    --depth_;
    return true;
  }

  const std::size_t maximumValues_;
  std::size_t values_ = 0;
  std::size_t depth_ = 0;
};

}  // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

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

std::variant<StatusLine, std::string> parseStatusLine(std::string_view line, bool http2) {
  const auto malformed = [line] { return "the response's status line is malformed: " + quoted(line); };
  std::string_view rest = line;
  if (!rest.starts_with("HTTP/")) return malformed();
  rest.remove_prefix(5);
  StatusLine status;
  if (rest.starts_with("1.0 ") || rest.starts_with("1.1 ")) {
    status.version = rest.substr(0, 3);
    rest.remove_prefix(4);
  } else if (http2 && rest.starts_with("2 ")) {
    status.version = "2";
    rest.remove_prefix(2);
  } else {
    return malformed();
  }
  if (rest.size() < 3 || rest[0] == '0' || !std::all_of(rest.begin(), rest.begin() + 3, isDigit)) return malformed();
  status.statusCode = (rest[0] - '0') * 100 + (rest[1] - '0') * 10 + (rest[2] - '0');
  rest.remove_prefix(3);
  if (rest.empty()) return status;
  // The reason: visible characters (obs-text included), spaces and tabs.
  if (rest[0] != ' ') return malformed();
  for (const char c : rest) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && c != '\t') || byte == 0x7f) return malformed();
  }
  return status;
}

std::optional<std::string> ResponseHeadReader::take(std::string_view line, long libcurlStatus) {
  if (refused_) return "the response's head was refused";
  const auto refuse = [this](std::string why) {
    refused_ = true;
    return std::optional<std::string>(std::move(why));
  };
  if (ended_) return std::nullopt;  // a trailer field
  if (awaitingStatus_) {
    auto parsed = parseStatusLine(line, http2_);
    if (auto* why = std::get_if<std::string>(&parsed)) return refuse(std::move(*why));
    const long status = std::get<StatusLine>(parsed).statusCode;
    if (libcurlStatus != 0 && libcurlStatus != status) {
      return refuse("the response's status line " + quoted(line) + " was read by libcurl as " +
                    std::to_string(libcurlStatus));
    }
    awaitingStatus_ = false;
    statusCode_ = status;
    interim_ = status >= 100 && status <= 199 && status != 101;
    fields_.clear();
    return std::nullopt;
  }
  if (line.empty()) {
    // An interim head is followed by another head; the final one by content.
    if (interim_) {
      awaitingStatus_ = true;
      return std::nullopt;
    }
    // libcurl follows the first "Location" alone: a second one that says otherwise would stand
    // joined to it in the fields handed on, and one that says the same is one target.
    const auto isLocation = [](const auto& field) { return equalsIgnoringCase(field.first, "Location"); };
    const auto first = std::find_if(fields_.begin(), fields_.end(), isLocation);
    if (first != fields_.end()) {
      const std::string target = first->second;
      for (auto other = std::next(first); other != fields_.end(); ++other) {
        if (isLocation(*other) && other->second != target) return refuse("the response's head has more than one Location");
      }
      fields_.erase(std::remove_if(std::next(first), fields_.end(), isLocation), fields_.end());
    }
    ended_ = true;
    return std::nullopt;
  }
  // libcurl takes a line that starts with a carriage return for the end of the head, whatever
  // follows it on the line.
  if (line[0] == '\r') return refuse("the response's head has a line that starts with a carriage return");
  if (line[0] == ' ' || line[0] == '\t') {
    const auto first = line.find_first_not_of(" \t");
    if (fields_.empty() || first == std::string_view::npos) return std::nullopt;
    auto& [name, value] = fields_.back();
    if (isReadByLibcurl(name)) return refuse("the response's head folds its field " + name + " onto a further line");
    value += (value.empty() ? "" : " ") + std::string(line.substr(first));
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.pop_back();
    return std::nullopt;
  }
  const auto colon = line.find(':');
  if (colon == std::string_view::npos || colon == 0) return std::nullopt;
  std::string value(line.substr(colon + 1));
  const auto first = value.find_first_not_of(" \t");
  value = first == std::string::npos ? std::string() : value.substr(first);
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.pop_back();
  fields_.emplace_back(std::string(line.substr(0, colon)), std::move(value));
  return std::nullopt;
}

std::variant<nlohmann::json, std::string> parseJSON(const Fennix::Data& data, std::size_t maximumValues) {
  // The parser stops at a NUL as if the text ended there; no JSON text holds one.
  if (std::find(data.begin(), data.end(), std::uint8_t{0}) != data.end()) return std::string("the data is not valid JSON");
  JSONMeasure measure(maximumValues);
  nlohmann::json::sax_parse(data.begin(), data.end(), &measure);
  switch (measure.fault) {
    case JSONMeasure::Fault::none: break;
    case JSONMeasure::Fault::invalid: return std::string("the data is not valid JSON");
    case JSONMeasure::Fault::tooDeep:
      return std::string("the data nests arrays or objects more than " + std::to_string(maximumJSONDepth) + " deep");
    case JSONMeasure::Fault::tooManyValues:
      return std::string("the data holds more than " + std::to_string(maximumValues) + " values");
  }
  auto parsed = nlohmann::json::parse(data.begin(), data.end(), nullptr, false);
  if (parsed.is_discarded()) return std::string("the data is not valid JSON");
  return parsed;
}

}  // namespace Fennix::HTTPWire
