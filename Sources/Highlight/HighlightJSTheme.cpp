#include "Highlight/HighlightJSTheme.h"

#include <cmath>
#include <cstdio>

namespace {

using C = HighlightJSClass;
using Properties = HighlightJSTheme::FontProperties;

NSColor colorFromNumber(std::uint32_t value) {
  auto byte = [&](int shift) { return double((value >> shift) & 0xFF) / 255.0; };
  if (value >> 24) return NSColor(byte(24), byte(16), byte(8), byte(0));
  return NSColor(byte(16), byte(8), byte(0), 1.0);
}

std::string pointSizeText(double size) {
  char buffer[64];
  if (std::isfinite(size) && size == std::floor(size) && std::fabs(size) < 1e15) {
    std::snprintf(buffer, sizeof buffer, "%.1f", size);
  } else {
    std::snprintf(buffer, sizeof buffer, "%.15g", size);
  }
  return buffer;
}

// The editor's font: the user's fixed-pitch font, else a fixed-pitch face of a well-known code
// family, else the system font, all at the system font size.
NSFontPtr codeViewFont() {
  const double size = NSFont::systemFontSize();
  if (NSFontPtr font = NSFont::userFixedPitchFont(size)) return font;
  if (NSFontPtr font = NSFont::mono("SF Mono", size)) return font;
  if (NSFontPtr font = NSFont::mono("Menlo", size)) return font;
  return NSFont::systemFont(size);
}

const std::optional<bool> on = true;
const std::optional<bool> unset;

}  // namespace

HighlightJSTheme::FontProperties::FontProperties(std::optional<std::uint32_t> number, std::optional<bool> isBold,
                                                 std::optional<bool> isItalic, std::optional<bool> isUnderlined)
    : bold(isBold), italic(isItalic), underline(isUnderlined) {
  if (number) color = colorFromNumber(*number);
}

HighlightJSTheme::FontProperties::FontProperties(const NSColor& colorObject, std::optional<bool> isBold,
                                                 std::optional<bool> isItalic, std::optional<bool> isUnderlined)
    : color(colorObject), bold(isBold), italic(isItalic), underline(isUnderlined) {}

HighlightJSTheme::HighlightJSTheme(NSFontPtr font, const Styles& styles) : baseFont_(std::move(font)) {
  for (const auto& [classes, properties] : styles) {
    for (HighlightJSClass c : classes) classToProperties_.insert_or_assign(c, properties);
  }
}

HighlightJSTheme::HighlightJSTheme(NSFontPtr font, Table table)
    : baseFont_(std::move(font)), classToProperties_(std::move(table)) {}

HighlightJSThemePtr HighlightJSTheme::modifyFont(const NSFontPtr& to) const {
  if (to == baseFont_) return shared_from_this();
  return HighlightJSThemePtr(new HighlightJSTheme(to, classToProperties_));
}

NSFontPtr HighlightJSTheme::boldFont() const {
  std::lock_guard lock(fontsMutex_);
  if (!boldFont_ && baseFont_) boldFont_ = baseFont_->qvBold();
  return boldFont_;
}

NSFontPtr HighlightJSTheme::italicFont() const {
  std::lock_guard lock(fontsMutex_);
  if (!italicFont_ && baseFont_) italicFont_ = baseFont_->qvItalic();
  return italicFont_;
}

HighlightJSTheme::FontProperties HighlightJSTheme::fontProperties(const HighlightJSClassStack& classes) const {
  FontProperties merged;
  for (auto entry = classes.rbegin(); entry != classes.rend(); ++entry) {
    if (!*entry) continue;
    auto found = classToProperties_.find(**entry);
    if (found == classToProperties_.end()) continue;
    const FontProperties& properties = found->second;
    if (!merged.color) merged.color = properties.color;
    if (!merged.bold) merged.bold = properties.bold;
    if (!merged.italic) merged.italic = properties.italic;
    if (!merged.underline) merged.underline = properties.underline;
    if (merged.color && merged.bold && merged.italic && merged.underline) break;
  }
  return merged;
}

AttributedString HighlightJSTheme::attributedString(std::u16string_view for_,
                                                    const HighlightJSClassStack& classes) const {
  const FontProperties properties = fontProperties(classes);
  TextAttributes attributes;
  if (properties.isEmpty()) {
    attributes.font = baseFont_;
    return AttributedString(std::u16string(for_), attributes);
  }
  attributes.foregroundColor = properties.color;
  if (properties.underline.value_or(false)) {
    attributes.underlineStyle = NSUnderlineStyle::single;
    attributes.underlineColor = properties.color;
  }
  if (properties.bold.value_or(false)) {
    attributes.font = boldFont();
  } else if (properties.italic.value_or(false)) {
    attributes.font = italicFont();
  } else {
    attributes.font = baseFont_;
  }
  return AttributedString(std::u16string(for_), attributes);
}

bool HighlightJSTheme::operator==(const HighlightJSTheme& other) const {
  if (this == &other) return true;
  auto sameFont = [](const NSFontPtr& a, const NSFontPtr& b) { return a == b || (a && b && *a == *b); };
  return sameFont(baseFont_, other.baseFont_) && sameFont(boldFont(), other.boldFont()) &&
         classToProperties_ == other.classToProperties_;
}

std::string HighlightJSTheme::description() const {
  const std::string font = baseFont_ ? baseFont_->fontName() + " " + pointSizeText(baseFont_->pointSize()) : "none";
  return "<HSTheme: " + font + " #classes=" + std::to_string(classToProperties_.size()) + ">";
}

const HighlightJSThemePtr& HighlightJSTheme::default_() {
  static const auto& theme = *new const HighlightJSThemePtr(std::make_shared<const HighlightJSTheme>(codeViewFont(), Styles{
      {{C::DEFAULT, C::subst}, Properties(0x444444)},
      {{C::comment}, Properties(0x888888)},
      {{C::keyword, C::attribute, C::selectorTag, C::metaKeyword, C::doctag, C::name}, Properties(std::nullopt, on)},
      {{C::type, C::string, C::number, C::selectorID, C::selectorClass, C::quote, C::templateTag, C::deletion},
       Properties(0x880000)},
      {{C::title, C::section}, Properties(0x880000, on)},
      {{C::regexp, C::symbol, C::variable, C::templateVariable, C::link, C::selectorAttr, C::selectorPseudo},
       Properties(0xBC6060)},
      {{C::literal}, Properties(0x78A960)},
      {{C::meta}, Properties(0x1F7199)},
      {{C::metaString}, Properties(0x4D99BF)},
      {{C::emphasis}, Properties(std::nullopt, unset, on)},
      {{C::strong}, Properties(std::nullopt, on)},
      {{C::builtIn, C::bullet, C::code, C::addition}, Properties(0x397300)},
  }));
  return theme;
}

const HighlightJSThemePtr& HighlightJSTheme::xcode() {
  static const auto& theme = *new const HighlightJSThemePtr(std::make_shared<const HighlightJSTheme>(codeViewFont(), Styles{
      {{C::section, C::meta}, Properties(0x643820)},
      {{C::comment, C::quote}, Properties(0x007400)},
      {{C::tag, C::attribute, C::keyword, C::selectorTag, C::literal, C::name}, Properties(0xAA0D91)},
      {{C::variable, C::templateVariable}, Properties(0x3F6E74)},
      {{C::code, C::string, C::metaString}, Properties(0xC41A16)},
      {{C::regexp, C::link}, Properties(0x0E0EFF)},
      {{C::title, C::symbol, C::bullet, C::number}, Properties(0x1C00CF)},
      {{C::type, C::builtIn, C::builtinName, C::params}, Properties(0x5C2699)},
      {{C::attr}, Properties(0x836C28)},
      {{C::subst}, Properties(0x000000)},
      {{C::formula}, Properties(0xEEEEEE, unset, on)},
      {{C::addition}, Properties(0xBAEEBA)},
      {{C::deletion}, Properties(0xFFC8BD)},
      {{C::selectorID, C::selectorClass}, Properties(0x9B703F)},
      {{C::doctag, C::strong}, Properties(std::nullopt, on)},
      {{C::emphasis}, Properties(std::nullopt, unset, on)},
  }));
  return theme;
}

const HighlightJSThemePtr& HighlightJSTheme::vs2015() {
  static const auto& theme = *new const HighlightJSThemePtr(std::make_shared<const HighlightJSTheme>(codeViewFont(), Styles{
      {{C::DEFAULT}, Properties(0xDCDCDC)},
      {{C::keyword, C::literal, C::symbol, C::name}, Properties(0x569CD6)},
      {{C::link}, Properties(0x569CD6, unset, unset, on)},
      {{C::builtIn, C::type}, Properties(0x4EC9B0)},
      {{C::number, C::class_}, Properties(0xB8D7A3)},
      {{C::string, C::metaString}, Properties(0xD69D85)},
      {{C::regexp, C::templateTag}, Properties(0x9A5334)},
      {{C::subst, C::function, C::title, C::params, C::formula}, Properties(0xDCDCDC)},
      {{C::comment, C::quote}, Properties(0x57A64A, unset, on)},
      {{C::doctag}, Properties(0x608B4E)},
      {{C::meta, C::metaKeyword, C::tag}, Properties(0x9B9B9B)},
      {{C::variable, C::templateVariable}, Properties(0xBD63C5)},
      {{C::attr, C::attribute, C::builtinName}, Properties(0x9CDCFE)},
      {{C::section}, Properties(0xFFD700)},
      {{C::emphasis}, Properties(std::nullopt, unset, on)},
      {{C::strong}, Properties(std::nullopt, on)},
      {{C::bullet, C::selectorTag, C::selectorID, C::selectorClass, C::selectorAttr, C::selectorPseudo},
       Properties(0xD7BA7D)},
  }));
  return theme;
}
