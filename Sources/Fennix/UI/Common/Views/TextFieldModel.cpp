#include "Fennix/UI/Common/Views/TextFieldModel.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "Fennix/console/Console.h"

namespace Fennix {

CGRect drawingRect(const CGRect& platformRect, double cellHeight, NSTextBlockVerticalAlignment alignment,
                   bool isEditingOrSelecting) {
  CGRect rect = platformRect;
  if (isEditingOrSelecting || alignment == NSTextBlockVerticalAlignment::top) return rect;
  const double extra = rect.size.height - cellHeight;
  if (!(extra > 0)) return rect;
  switch (alignment) {
    case NSTextBlockVerticalAlignment::middle:
      rect.origin.y += extra * 0.5;
      rect.size.height -= extra;
      break;
    case NSTextBlockVerticalAlignment::bottom:
      rect.origin.y += extra;
      rect.size.height -= extra;
      break;
    default:
      std::printf("drawingRect(forBounds:): unsupported alignment: %d\n", static_cast<int>(alignment));
      std::fflush(stdout);
      break;
  }
  return rect;
}

bool isValidURL(const std::string& text) {
  // scheme ":" rest, the scheme a letter followed by letters, digits, "+", "-" or "."; no blanks.
  const auto colon = text.find(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 >= text.size()) return false;
  if (!std::isalpha(static_cast<unsigned char>(text[0]))) return false;
  for (std::size_t i = 1; i < colon; ++i) {
    const char c = text[i];
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return false;
  }
  return std::none_of(text.begin(), text.end(), [](char c) {
    return c == ' ' || c == '\n' || c == '\t' || c == '"' || c == '<' || c == '>';
  });
}

void makeClickable(LinkedText& field, NSRange range, const std::string& url, const NSColor& color) {
  if (range.location == NSNotFound || range.length < 1) return;
  if (range.location > field.text.length() || range.length > field.text.length() - range.location) return;
  if (!isValidURL(url)) {
    console::error("makeClickable: not a URL:", url);
    return;
  }
  TextAttributes attributes;
  attributes.foregroundColor = color;
  attributes.underlineStyle = NSUnderlineStyle::single;
  AttributedString result = field.text.attributedSubstring({0, range.location});
  result.append(AttributedString(field.text.attributedSubstring(range).utf16(), attributes));
  result.append(field.text.attributedSubstring({range.upperBound(), field.text.length() - range.upperBound()}));
  field.text = std::move(result);

  // The new link replaces what linked inside the range; links reaching into it are cut back.
  std::vector<LinkedText::Link> links;
  for (const auto& link : field.links) {
    const std::size_t start = link.range.location, end = link.range.upperBound();
    if (start < range.location) links.push_back({{start, std::min(end, range.location) - start}, link.value});
    if (end > range.upperBound()) {
      const std::size_t from = std::max(start, range.upperBound());
      links.push_back({{from, end - from}, link.value});
    }
  }
  links.push_back({range, LinkedText::URL{url}});
  std::sort(links.begin(), links.end(),
            [](const auto& a, const auto& b) { return a.range.location < b.range.location; });
  field.links = std::move(links);
}

void makeClickable(LinkedText& field, const std::string& string, const std::string& url, const NSColor& color) {
  const std::u16string needle = Fennix::utf16FromUTF8(string);
  if (needle.empty()) return;
  const auto at = field.text.utf16().find(needle);
  if (at == std::u16string::npos) return;
  makeClickable(field, NSRange{at, needle.size()}, url, color);
}

std::optional<std::string> clickableLink(const LinkedText& field) {
  for (const auto& link : field.links) {
    if (auto* url = std::get_if<LinkedText::URL>(&link.value)) return url->absoluteString;
    if (auto* text = std::get_if<std::string>(&link.value)) return *text;
  }
  return std::nullopt;
}

}  // namespace Fennix
