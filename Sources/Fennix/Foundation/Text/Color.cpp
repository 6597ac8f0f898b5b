#include "Fennix/Foundation/Text/Color.h"

#include <algorithm>
#include <cmath>
#include <cctype>
#include <cstdio>

#include <glib.h>

#include "Fennix/Foundation/Text/Appearance.h"

namespace {

// Components outside 0...1 (or not numbers) are brought into range so that every colour can be
// drawn and packed.
double clampComponent(double value) {
  if (std::isnan(value)) return 0;
  return std::clamp(value, 0.0, 1.0);
}

}  // namespace

NSColor::NSColor(double red, double green, double blue, double alpha)
    : red_(clampComponent(red)),
      green_(clampComponent(green)),
      blue_(clampComponent(blue)),
      alpha_(clampComponent(alpha)) {}

std::string NSColor::description() const {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "rgba(%.5g, %.5g, %.5g, %.5g)", red_, green_, blue_, alpha_);
  return buffer;
}

// MARK: - Packing and hexadecimal texts

namespace QvRGB {

namespace {

// Letters and digits of any script stay (and make the text fail); spaces, punctuation and symbols
// of any script are trimmed. Bytes that form no character stay as well.
bool isAlphanumeric(gunichar c) { return c == gunichar(-1) || c == gunichar(-2) || g_unichar_isalnum(c); }

std::string_view trimmed(std::string_view text) {
  while (!text.empty()) {
    const gunichar c = g_utf8_get_char_validated(text.data(), gssize(text.size()));
    if (isAlphanumeric(c)) break;
    text.remove_prefix(std::size_t(g_utf8_next_char(text.data()) - text.data()));
  }
  while (!text.empty()) {
    // The last character starts at the last byte that does not continue one (at most four back).
    std::size_t start = text.size() - 1;
    while (start > 0 && text.size() - start < 4 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
    const gunichar c = g_utf8_get_char_validated(text.data() + start, gssize(text.size() - start));
    if (isAlphanumeric(c) || g_utf8_next_char(text.data() + start) != text.data() + text.size()) break;
    text.remove_suffix(text.size() - start);
  }
  return text;
}

std::optional<std::uint32_t> parseHex(std::string_view digits) {
  if (digits.empty() || digits.size() > 8) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : digits) {
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return std::nullopt;
    value = (value << 4) | static_cast<std::uint32_t>(digit);
  }
  return value;
}

}  // namespace

std::optional<std::uint32_t> rgbFromHex(std::optional<std::string_view> text) {
  if (!text) return std::nullopt;
  std::string_view digits = trimmed(*text);
  if (digits.size() != 3 && digits.size() != 6 && digits.size() != 8) return std::nullopt;
  std::string expanded(digits);
  if (digits.size() == 3) expanded = {digits[0], digits[0], digits[1], digits[1], digits[2], digits[2]};
  auto value = parseHex(expanded);
  if (!value) return std::nullopt;
  return digits.size() == 8 ? *value >> 8 : *value;
}

std::optional<QvRGBComponents> componentsFromHex(std::optional<std::string_view> text, std::optional<char> dropPrefix) {
  if (!text) return std::nullopt;
  std::string_view digits = trimmed(*text);
  if (dropPrefix && !digits.empty() && digits.front() == *dropPrefix) digits.remove_prefix(1);
  if (digits.size() < 7) {
    auto rgb = rgbFromHex(digits);
    if (!rgb) return std::nullopt;
    return QvRGBComponents{fraction(*rgb, 16), fraction(*rgb, 8), fraction(*rgb, 0), 1};
  }
  auto rgba = parseHex(digits);
  if (!rgba) return std::nullopt;
  return QvRGBComponents{fraction(*rgba, 24), fraction(*rgba, 16), fraction(*rgba, 8), fraction(*rgba, 0)};
}

}  // namespace QvRGB

NSColor NSColor::fromRGB(std::uint32_t rgb, std::optional<double> alpha) { return QvRGB::fromRGB<NSColor>(rgb, alpha); }
NSColor NSColor::fromRGBA(std::uint32_t rgba, std::optional<double> alpha) {
  return QvRGB::fromRGBA<NSColor>(rgba, alpha);
}
std::optional<NSColor> NSColor::fromHex(std::optional<std::string_view> hex, std::optional<char> dropPrefix) {
  return QvRGB::fromHex<NSColor>(hex, dropPrefix);
}
std::optional<std::uint32_t> NSColor::rgbFromHex(std::optional<std::string_view> hex) { return QvRGB::rgbFromHex(hex); }
std::uint32_t NSColor::rgbValue() const { return QvRGB::rgbValue(*this); }
std::uint32_t NSColor::rgbaValue() const { return QvRGB::rgbaValue(*this); }
std::string NSColor::hexString() const { return QvRGB::hexString(*this); }
std::string NSColor::hexString(std::string_view prefix, bool rgba) const { return QvRGB::hexString(*this, prefix, rgba); }
NSColor NSColor::applyShadow(double percent) const { return QvRGB::applyShadow(*this, percent); }
NSColor NSColor::applyHighlight(double percent) const { return QvRGB::applyHighlight(*this, percent); }

// MARK: - Colours by appearance

namespace {

bool currentIsDark() {
  auto appearance = NSAppearance::current();
  return appearance && appearance->qvIsDarkMode();
}

NSColor grey(int value) { return NSColor(value / 255.0, value / 255.0, value / 255.0, 1); }

NSColor bytes(int red, int green, int blue) { return NSColor(red / 255.0, green / 255.0, blue / 255.0, 1); }

}  // namespace

NSColor NSColor::boxLevel1ContentColor() {
  auto appearance = NSAppearance::current();
  if (appearance && !appearance->qvIsDarkMode()) return grey(231);
  if (appearance) return bytes(56, 57, 61);
  return grey(226);
}

NSColor NSColor::linkColor() { return currentIsDark() ? bytes(65, 156, 255) : bytes(0, 104, 218); }
NSColor NSColor::controlTextColor() { return currentIsDark() ? NSColor(1, 1, 1, 0.85) : NSColor(0, 0, 0, 0.85); }
NSColor NSColor::controlColor() { return currentIsDark() ? NSColor(1, 1, 1, 0.25) : grey(255); }
NSColor NSColor::controlHighlightColor() { return currentIsDark() ? grey(64) : grey(216); }
NSColor NSColor::selectedControlColor() { return currentIsDark() ? bytes(63, 99, 139) : bytes(179, 215, 255); }
NSColor NSColor::lightGrayColor() { return grey(170); }
NSColor NSColor::clearColor() { return NSColor(0, 0, 0, 0); }
NSColor NSColor::labelColor() { return currentIsDark() ? NSColor(1, 1, 1, 0.85) : NSColor(0, 0, 0, 0.85); }
NSColor NSColor::secondaryLabelColor() { return currentIsDark() ? NSColor(1, 1, 1, 0.55) : NSColor(0, 0, 0, 0.5); }
NSColor NSColor::tertiaryLabelColor() { return currentIsDark() ? NSColor(1, 1, 1, 0.25) : NSColor(0, 0, 0, 0.26); }
NSColor NSColor::quaternaryLabelColor() { return currentIsDark() ? NSColor(1, 1, 1, 0.1) : NSColor(0, 0, 0, 0.1); }
