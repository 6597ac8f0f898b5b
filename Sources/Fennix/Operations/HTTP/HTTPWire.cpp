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
