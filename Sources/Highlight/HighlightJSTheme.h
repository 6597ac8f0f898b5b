// How each kind of highlight.js token looks: a base font and, per class, an optional colour and
// optional bold, italic and underline flags. Three themes are built in.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Fennix/Foundation/Text/AttributedString.h"
#include "Highlight/HighlightJSClass.h"

class HighlightJSTheme;
using HighlightJSThemePtr = std::shared_ptr<const HighlightJSTheme>;

/// The classes open around a run of text, innermost last; an empty entry stands for a class
/// that is not one of the known ones.
using HighlightJSClassStack = std::vector<std::optional<HighlightJSClass>>;

class HighlightJSTheme : public std::enable_shared_from_this<HighlightJSTheme> {
 public:
  struct FontProperties {
    std::optional<NSColor> color;
    std::optional<bool> bold;
    std::optional<bool> italic;
    std::optional<bool> underline;

    /// The colour as a number: 0xRRGGBBAA when the top byte is not zero, otherwise 0xRRGGBB
    /// (opaque).
    FontProperties(std::optional<std::uint32_t> number = std::nullopt, std::optional<bool> isBold = std::nullopt,
                   std::optional<bool> isItalic = std::nullopt, std::optional<bool> isUnderlined = std::nullopt);
    FontProperties(const NSColor& colorObject, std::optional<bool> isBold = std::nullopt,
                   std::optional<bool> isItalic = std::nullopt, std::optional<bool> isUnderlined = std::nullopt);

    bool isEmpty() const { return !color && !bold && !italic && !underline; }
    bool operator==(const FontProperties& other) const = default;
  };

  /// Pairs of classes and the properties each of them gets; a class named again later takes
  /// the later properties.
  using Styles = std::vector<std::pair<std::vector<HighlightJSClass>, FontProperties>>;

  HighlightJSTheme(NSFontPtr font, const Styles& styles);

  const NSFontPtr& font() const { return baseFont_; }
  /// This theme when `to` is its very font object, otherwise a new theme over `to` with the
  /// same styles.
  HighlightJSThemePtr modifyFont(const NSFontPtr& to) const;

  /// A run of text styled for the classes open around it.
  AttributedString attributedString(std::u16string_view for_, const HighlightJSClassStack& classes) const;

  /// Same object, or equal base fonts, bold fonts and styles.
  bool operator==(const HighlightJSTheme& other) const;
  /// "<HSTheme: " font name, point size, " #classes=" count ">".
  std::string description() const;

  static const HighlightJSThemePtr& default_();
  static const HighlightJSThemePtr& xcode();
  static const HighlightJSThemePtr& vs2015();

 private:
  using Table = std::unordered_map<HighlightJSClass, FontProperties>;
  HighlightJSTheme(NSFontPtr font, Table table);

  /// The properties of a class stack: each field from the innermost class that sets it.
  FontProperties fontProperties(const HighlightJSClassStack& classes) const;
  NSFontPtr boldFont() const;
  NSFontPtr italicFont() const;

  NSFontPtr baseFont_;
  Table classToProperties_;
  // Made on first need, by whichever thread asks first.
  mutable std::mutex fontsMutex_;
  mutable NSFontPtr boldFont_;
  mutable NSFontPtr italicFont_;
};
