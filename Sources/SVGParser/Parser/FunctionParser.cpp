#include "SVGParser/Parser/FunctionParser.h"

#include "SVGParser/CSS/Parser/TextScanning.h"
#include "SVGParser/Parser/NumberValue.h"
#include "Platform/Print.h"

std::optional<SVGParser::FunctionCall> SVGParser::parseFunction(std::string_view string) {
  const auto open = string.find('(');
  if (open == std::string_view::npos) return std::nullopt;
  const auto close = string.rfind(')');
  if (close == std::string_view::npos || close < open) return std::nullopt;
  SVGParser::FunctionCall call{std::string(SVGParser::trimWhitespace(string.substr(0, open))), {}};
  if (call.name.empty()) return std::nullopt;
  for (const auto piece : SVGParser::splitOmittingEmpty(string.substr(open + 1, close - open - 1), ',')) {
    call.arguments.emplace_back(SVGParser::trimWhitespace(piece));
  }
  return call;
}

std::optional<SVGParser::FunctionHead> SVGParser::parseFunctionHead(std::string_view string) {
  const auto open = string.find('(');
  if (open == std::string_view::npos) return std::nullopt;
  const auto close = string.rfind(')');
  if (close == std::string_view::npos || close < open) return std::nullopt;
  FunctionHead head{SVGParser::trimWhitespace(string.substr(0, open)), std::nullopt};
  if (head.name.empty()) return std::nullopt;
  // The first piece between commas that is not empty.
  for (auto arguments = string.substr(open + 1, close - open - 1); !arguments.empty();) {
    const auto comma = arguments.find(',');
    if (comma != 0) {
      head.firstArgument = SVGParser::trimWhitespace(arguments.substr(0, comma));
      break;
    }
    arguments.remove_prefix(1);
  }
  return head;
}

std::optional<CGFloat> SVGParser::parseOpacity(std::optional<std::string_view> string) {
  if (!string || string->empty()) return std::nullopt;
  if (string->ends_with('%')) return SVGParser::numberValue(string->substr(0, string->size() - 1));
  if (const auto fraction = SVGParser::numberValue(*string)) return *fraction * 100;
  return std::nullopt;
}

std::optional<CGRect> SVGParser::parseCGRect(std::optional<std::string_view> string) {
  if (!string || string->empty()) return std::nullopt;
  // At most ten cuts at " " or ","; the eleventh piece keeps the rest of the text.
  std::vector<CGFloat> numbers;
  std::size_t start = 0, pieces = 0;
  const auto take = [&](std::string_view piece) {
    ++pieces;
    if (const auto value = SVGParser::numberValue(SVGParser::trimWhitespace(piece))) numbers.push_back(*value);
  };
  const std::string_view text = *string;
  for (std::size_t i = 0; i < text.size() && pieces < 10; ++i) {
    if (text[i] != ' ' && text[i] != ',') continue;
    if (i > start) take(text.substr(start, i - start));
    start = i + 1;
  }
  if (start < text.size()) take(text.substr(start));

  if (numbers.size() == 4) return CGRect(numbers[0], numbers[1], numbers[2], numbers[3]);
  if (numbers.size() == 2) return CGRect(0, 0, numbers[0], numbers[1]);
  SVGParser::print("Unexpected CGRect value: '" + std::string(text) + "'");
  return std::nullopt;
}

std::string SVGParser::debugQuoted(std::string_view text) {
  static constexpr char hexDigits[] = "0123456789ABCDEF";
  std::string out = "\"";
  for (const char ch : text) {
    switch (ch) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\0': out += "\\0"; break;
      default: {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte < 0x20 || byte == 0x7F) {
          out += "\\u{";
          if (byte >= 0x10) out += hexDigits[byte >> 4];
          out += hexDigits[byte & 0xF];
          out += '}';
        } else {
          out += ch;
        }
      }
    }
  }
  return out + '"';
}

std::string SVGParser::quotedList(const std::vector<std::string>& items) {
  std::string out = "[";
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out += ", ";
    out += SVGParser::debugQuoted(items[i]);
  }
  return out + "]";
}

std::string_view SVGParser::unquoted(std::string_view text) {
  if (text.size() >= 2 && (text.front() == '\'' || text.front() == '"') && text.back() == text.front()) {
    return text.substr(1, text.size() - 2);
  }
  return text;
}
