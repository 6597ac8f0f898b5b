#include "QuarvelUtilities/SVGWebViewContent.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <optional>

#include "Fennix/console/Console.h"
#include "SVGParser/Parser/XMLReader.h"

namespace QuarvelUtilities::SVGWebViewContent {

namespace {

// Attributes by name; the rewritten tag lists them in this order.
using AttributeMap = std::map<std::string, std::string, std::less<>>;

// Keeps the attributes of the last element that started.
class Handler : public SVGParser::XMLEventHandler {
 public:
  std::optional<AttributeMap> attrs;

  void didStartElement(std::string_view, const SVG::XMLAttributes& attributes) override {
    attrs.emplace();
    for (const auto& [name, value] : attributes) attrs->emplace(name, value);
  }
  void didEndElement(std::string_view) override {}
  void foundCharacters(std::string_view) override {}
};

std::string_view trimmed(std::string_view text) {
  constexpr std::string_view blanks = " \t\r\n";
  const auto first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

// The number text of a length given in user units ("12", "12.5px"), or none for anything else
// (percentages, other units, words).
std::optional<std::string> plainNumber(std::string_view length, bool allowNegative) {
  std::string_view text = trimmed(length);
  if (text.size() > 2 && text.substr(text.size() - 2) == "px") text = trimmed(text.substr(0, text.size() - 2));
  if (text.empty()) return std::nullopt;
  // Only the characters of SVG numbers: this keeps out "inf", "nan" and hexadecimal forms.
  for (const char c : text) {
    if (!(c >= '0' && c <= '9') && c != '.' && c != '-' && c != '+' && c != 'e' && c != 'E') return std::nullopt;
  }
  const std::string_view digits = text.front() == '+' ? text.substr(1) : text;
  if (!digits.empty() && (digits.front() == '+' || (digits.front() == '-' && text.front() == '+'))) return std::nullopt;
  double value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  if (value < 0 && !allowNegative) return std::nullopt;
  return std::string(text);
}

std::string escaped(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (const char c : value) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '\'': out += "&apos;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string valueOr(const AttributeMap& attributes, std::string_view name, std::string_view fallback) {
  const auto found = attributes.find(name);
  return found != attributes.end() ? found->second : std::string(fallback);
}

}  // namespace

std::string html(std::string_view svg) {
  std::string page =
      "<html><head>\n<style>\n  div { width: 100%; height: 100%; }\n</style>\n</head><body><div>";
  const std::string body = rewriteSVGSize(svg);
  page.reserve(page.size() + body.size() + 32);
  page += body;
  page += "</div></body></html>";
  return page;
}

namespace {

// The first "<svg" tag of the text and its attributes; no attributes when the tag cannot be read.
struct RootTag {
  std::size_t start = 0;
  std::string_view text;
  AttributeMap attributes;
};

std::optional<RootTag> rootTag(std::string_view svg) {
  const auto start = svg.find("<svg");
  if (start == std::string_view::npos) return std::nullopt;
  const auto close = svg.find('>', start + 4);
  if (close == std::string_view::npos) return std::nullopt;
  RootTag tag{start, svg.substr(start, close - start + 1), {}};
  Handler handler;
  std::string probe(tag.text);
  probe += "</svg>";
  if (SVGParser::readXML(probe, handler) && handler.attrs) tag.attributes = std::move(*handler.attrs);
  return tag;
}

// A view box of four plain numbers (blanks or commas between them): its width divided by its
// height, when both are positive.
std::optional<double> viewBoxRatio(std::string_view viewBox) {
  constexpr std::string_view separators = " ,\t\r\n";
  double numbers[4] = {};
  std::size_t found = 0;
  for (std::size_t at = viewBox.find_first_not_of(separators); at != std::string_view::npos;
       at = viewBox.find_first_not_of(separators, at)) {
    const std::size_t end = std::min(viewBox.find_first_of(separators, at), viewBox.size());
    const auto number = plainNumber(viewBox.substr(at, end - at), true);
    if (found == 4 || !number) return std::nullopt;
    const std::string_view digits = number->front() == '+' ? std::string_view(*number).substr(1) : *number;
    std::from_chars(digits.data(), digits.data() + digits.size(), numbers[found++]);
    at = end;
  }
  if (found != 4 || !(numbers[2] > 0) || !(numbers[3] > 0)) return std::nullopt;
  const double ratio = numbers[2] / numbers[3];
  if (!std::isfinite(ratio) || ratio <= 0) return std::nullopt;
  return ratio;
}

}  // namespace

std::optional<double> aspectRatio(std::string_view svg) {
  const auto tag = rootTag(svg);
  if (!tag || tag->attributes.empty()) return std::nullopt;
  // The rewritten tag's view box: the declared one, else one made of plain width and height.
  const auto& attributes = tag->attributes;
  if (const auto viewBox = attributes.find("viewBox"); viewBox != attributes.end()) {
    return viewBoxRatio(viewBox->second);
  }
  const auto width = attributes.find("width"), height = attributes.find("height");
  if (width == attributes.end() || height == attributes.end()) return std::nullopt;
  for (const char* origin : {"x", "y"}) {
    if (const auto found = attributes.find(origin); found != attributes.end() && !plainNumber(found->second, true)) {
      return std::nullopt;
    }
  }
  const auto w = plainNumber(width->second, false), h = plainNumber(height->second, false);
  if (!w || !h) return std::nullopt;
  return viewBoxRatio("0 0 " + *w + " " + *h);
}

std::string rewriteSVGSize(std::string_view svg) {
  auto tag = rootTag(svg);
  if (!tag) return std::string(svg);
  const auto start = tag->start;
  const std::string_view oldTag = tag->text;
  AttributeMap attributes = std::move(tag->attributes);
  if (attributes.empty()) return std::string(svg);

  const bool hasWidth = attributes.contains("width"), hasHeight = attributes.contains("height");
  if (!attributes.contains("viewBox") && (hasWidth || hasHeight)) {
    // A view box is made only of plain numbers: "100%" or "10cm" would make it invalid, and the
    // drawing is then better shown without one.
    const auto x = plainNumber(valueOr(attributes, "x", "0"), true);
    const auto y = plainNumber(valueOr(attributes, "y", "0"), true);
    const auto width = plainNumber(valueOr(attributes, "width", "100%"), false);
    const auto height = plainNumber(valueOr(attributes, "height", "100%"), false);
    if (x && y && width && height) attributes["viewBox"] = *x + " " + *y + " " + *width + " " + *height;
  }
  attributes.erase("x");
  attributes.erase("y");
  attributes["width"] = "100%";
  attributes["height"] = "100%";

  std::string newTag = "<svg";
  for (const auto& [name, value] : attributes) {
    newTag += ' ';
    newTag += name;
    newTag += "=\"";
    newTag += escaped(value);
    newTag += '"';
  }
  newTag += '>';

  const auto log = console::defaultConsole();
  if (newTag == oldTag) {
    log->log("didn't rewrite SVG size");
    return std::string(svg);
  }
  log->trace("Rewrote SVG tag to:", newTag);
  std::string result;
  result.reserve(svg.size() + newTag.size());
  result.append(svg.substr(0, start));
  result += newTag;
  result.append(svg.substr(start + oldTag.size()));
  return result;
}

}  // namespace QuarvelUtilities::SVGWebViewContent
