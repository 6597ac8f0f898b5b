#include "Fennix/Foundation/Text/AttributedString.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void rangeFault(const char* operation, std::size_t location, std::size_t length,
                             std::size_t stringLength) {
  std::fprintf(stderr, "Fatal error: AttributedString.%s: range {%zu, %zu} out of bounds; string length %zu\n",
               operation, location, length, stringLength);
  std::abort();
}

bool isHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void appendUTF8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

void appendUTF16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out += char16_t(c);
  } else {
    c -= 0x10000;
    out += char16_t(0xD800 + (c >> 10));
    out += char16_t(0xDC00 + (c & 0x3FF));
  }
}

std::string colorText(const std::optional<NSColor>& color) {
  return color ? color->description() : "none";
}

}  // namespace

bool TextAttributes::operator==(const TextAttributes& other) const {
  const bool sameFont = font == other.font || (font && other.font && *font == *other.font);
  return sameFont && foregroundColor == other.foregroundColor && underlineStyle == other.underlineStyle &&
         underlineColor == other.underlineColor && attachment == other.attachment;
}

std::string TextAttributes::description() const {
  return "{font: " + (font ? font->pangoDescription() : std::string("none")) + ", color: " +
         colorText(foregroundColor) + ", underline: " + std::to_string(int(underlineStyle)) +
         ", underline color: " + colorText(underlineColor) + (attachment ? ", attachment" : "") + "}";
}

AttributedString::AttributedString(std::u16string text, const TextAttributes& attributes) : text_(std::move(text)) {
  if (!text_.empty()) runs_.push_back({{0, text_.size()}, attributes});
}

AttributedString::AttributedString(std::string_view text, const TextAttributes& attributes)
    : AttributedString(Fennix::utf16FromUTF8(text), attributes) {}

std::string AttributedString::string() const { return Fennix::utf8FromUTF16(text_); }

std::size_t AttributedString::runIndex(std::size_t index) const {
  auto after = std::upper_bound(runs_.begin(), runs_.end(), index,
                                [](std::size_t i, const Run& run) { return i < run.range.location; });
  return std::size_t(after - runs_.begin()) - 1;
}

const TextAttributes& AttributedString::attributes(std::size_t index, NSRange* effectiveRange) const {
  if (index >= text_.size()) rangeFault("attributes", index, 0, text_.size());
  const Run& run = runs_[runIndex(index)];
  if (effectiveRange) *effectiveRange = run.range;
  return run.attributes;
}

void AttributedString::appendRun(std::u16string_view text, const TextAttributes& attributes) {
  if (text.empty()) return;
  if (!runs_.empty() && runs_.back().attributes == attributes) {
    runs_.back().range.length += text.size();
  } else {
    runs_.push_back({{text_.size(), text.size()}, attributes});
  }
  text_ += text;
}

AttributedString AttributedString::attributedSubstring(NSRange range) const {
  if (range.location > text_.size() || range.length > text_.size() - range.location) {
    rangeFault("attributedSubstring", range.location, range.length, text_.size());
  }
  AttributedString result;
  if (range.length == 0) return result;
  const std::u16string_view text(text_);
  for (std::size_t i = runIndex(range.location); i < runs_.size(); ++i) {
    const Run& run = runs_[i];
    if (run.range.location >= range.upperBound()) break;
    const std::size_t start = std::max(run.range.location, range.location);
    const std::size_t end = std::min(run.range.upperBound(), range.upperBound());
    result.appendRun(text.substr(start, end - start), run.attributes);
  }
  return result;
}

void AttributedString::append(const AttributedString& other) {
  const std::u16string_view text(other.text_);
  for (const Run& run : other.runs_) appendRun(text.substr(run.range.location, run.range.length), run.attributes);
}

void AttributedString::replaceCharacters(NSRange range, std::u16string_view replacement) {
  if (range.location > text_.size() || range.length > text_.size() - range.location) {
    rangeFault("replaceCharacters", range.location, range.length, text_.size());
  }
  TextAttributes attributes;
  if (range.length > 0) {
    attributes = this->attributes(range.location);
  } else if (range.location > 0) {
    attributes = this->attributes(range.location - 1);
  } else if (!text_.empty()) {
    attributes = this->attributes(0);
  }
  AttributedString result = attributedSubstring({0, range.location});
  result.appendRun(replacement, attributes);
  result.append(attributedSubstring({range.upperBound(), text_.size() - range.upperBound()}));
  *this = std::move(result);
}

std::u16string Fennix::utf16FromUTF8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  std::size_t i = 0;
  while (i < size) {
    const unsigned char lead = bytes[i];
    if (lead < 0x80) {
      out += char16_t(lead);
      ++i;
      continue;
    }
    std::size_t count = 0;
    char32_t c = 0;
    unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
      count = 1, c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      count = 2, c = lead & 0x0F;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      count = 3, c = lead & 0x07;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
      out += u'\uFFFD';
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    bool valid = true;
    for (std::size_t k = 0; k < count; ++k, ++j) {
      const unsigned char lo = k == 0 ? low : 0x80, hi = k == 0 ? high : 0xBF;
      if (j >= size || bytes[j] < lo || bytes[j] > hi) {
        valid = false;
        break;
      }
      c = (c << 6) | (bytes[j] & 0x3F);
    }
    if (valid) {
      appendUTF16(out, c);
    } else {
      out += u'\uFFFD';  // one replacement for the maximal malformed prefix
    }
    i = j;
  }
  return out;
}

std::string Fennix::utf8FromUTF16(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (isHighSurrogate(text[i]) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (isHighSurrogate(text[i]) || isLowSurrogate(text[i])) {
      c = 0xFFFD;
    }
    appendUTF8(out, c);
  }
  return out;
}

std::size_t Fennix::characterOffset(std::u16string_view text, std::size_t utf16Offset) {
  const std::size_t end = std::min(utf16Offset, text.size());
  std::size_t count = 0;
  for (std::size_t i = 0; i < end; ++i) {
    if (isHighSurrogate(text[i]) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) ++i;
    ++count;
  }
  return count;
}
