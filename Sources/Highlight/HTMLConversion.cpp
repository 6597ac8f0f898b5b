#include "Highlight/HTMLConversion.h"

#include <string>
#include <vector>

#include "Highlight/HTMLUtils.h"

namespace {

constexpr std::string_view spanStart = "<span class=\"";
constexpr std::string_view spanStartClose = "\">";
constexpr std::string_view spanEnd = "</span>";

bool isASCIIAlphanumeric(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

// The end of the reference "&" "#"? [a-zA-Z0-9]+ ";" starting at `start` (an ampersand), or 0.
std::size_t referenceEnd(std::u16string_view text, std::size_t start) {
  std::size_t i = start + 1;
  if (i < text.size() && text[i] == u'#') ++i;
  const std::size_t digits = i;
  while (i < text.size() && isASCIIAlphanumeric(text[i])) ++i;
  if (i == digits || i >= text.size() || text[i] != u';') return 0;
  return i + 1;
}

}  // namespace

AttributedString decodingCharacterReferences(const AttributedString& text) {
  const std::u16string_view units(text.utf16());
  AttributedString result;
  std::size_t copied = 0;  // everything before this is in `result`
  std::size_t position = 0;
  while ((position = units.find(u'&', position)) != std::u16string_view::npos) {
    const std::size_t end = referenceEnd(units, position);
    if (end == 0) {
      ++position;
      continue;
    }
    std::string reference;  // ASCII only
    for (char16_t c : units.substr(position, end - position)) reference += char(c);
    if (std::optional<char32_t> character = HTMLUtils::decode(reference)) {
      result.append(text.attributedSubstring({copied, position - copied}));
      std::u16string replacement;
      if (*character < 0x10000) {
        replacement += char16_t(*character);
      } else {
        replacement += char16_t(0xD800 + ((*character - 0x10000) >> 10));
        replacement += char16_t(0xDC00 + ((*character - 0x10000) & 0x3FF));
      }
      result.append(AttributedString(std::move(replacement), text.attributes(position)));
      copied = end;
    }
    position = end;
  }
  result.append(text.attributedSubstring({copied, units.size() - copied}));
  return result;
}

std::optional<AttributedString> convertHTMLToAttributedString(std::string_view html, const HighlightJSTheme& theme) {
  if (html.empty()) return std::nullopt;

  AttributedString result;
  HighlightJSClassStack classes{HighlightJSClass::DEFAULT};
  auto appendText = [&](std::string_view text) {
    if (!text.empty()) result.append(theme.attributedString(Fennix::utf16FromUTF8(text), classes));
  };

  std::size_t position = 0;
  while (position < html.size()) {
    const std::size_t tag = html.find('<', position);
    appendText(html.substr(position, tag == std::string_view::npos ? std::string_view::npos : tag - position));
    if (tag == std::string_view::npos) break;
    position = tag;

    const std::string_view rest = html.substr(position);
    if (rest.starts_with(spanStart)) {
      // The class name runs to the closing quotation mark, which must end the tag.
      const std::size_t nameStart = spanStart.size();
      const std::size_t nameEnd = rest.find_first_of("\"<", nameStart);
      if (nameEnd != std::string_view::npos && rest.substr(nameEnd).starts_with(spanStartClose)) {
        classes.push_back(highlightJSClassFromRawValue(rest.substr(nameStart, nameEnd - nameStart)));
        position += nameEnd + spanStartClose.size();
        continue;
      }
    } else if (rest.starts_with(spanEnd)) {
      // A closing tag without an opening one keeps the base entry: text after it stays plain,
      // and the stack is never left empty.
      if (classes.size() > 1) classes.pop_back();
      position += spanEnd.size();
      continue;
    }
    appendText("<");
    position += 1;
  }

  return decodingCharacterReferences(result);
}
