// A font: the CSS `font` shorthand broken into its parts, or a system-font keyword.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "SVGParser/CSS/UnitLength.h"

namespace CSS {

class Value;

class Font {
 public:
  /// A family name as written, or one of the CSS generic families.
  class Family {
   public:
    struct Named {
      std::string name;
      bool operator==(const Named&) const = default;
    };
#define QUARVEL_FONT_FAMILY_CASE(Name) \
  struct Name {                        \
    bool operator==(const Name&) const = default; \
  };
    QUARVEL_FONT_FAMILY_CASE(Serif)
    QUARVEL_FONT_FAMILY_CASE(SansSerif)
    QUARVEL_FONT_FAMILY_CASE(Monospace)
    QUARVEL_FONT_FAMILY_CASE(Cursive)
    QUARVEL_FONT_FAMILY_CASE(Fantasy)
    QUARVEL_FONT_FAMILY_CASE(Emoji)
    QUARVEL_FONT_FAMILY_CASE(Math)
    QUARVEL_FONT_FAMILY_CASE(Fangsong)
    QUARVEL_FONT_FAMILY_CASE(SystemUI)
    QUARVEL_FONT_FAMILY_CASE(UISerif)
    QUARVEL_FONT_FAMILY_CASE(UISansSerif)
    QUARVEL_FONT_FAMILY_CASE(UIMonospace)
    QUARVEL_FONT_FAMILY_CASE(UIRounded)
#undef QUARVEL_FONT_FAMILY_CASE
    using Variant = std::variant<Named, Serif, SansSerif, Monospace, Cursive, Fantasy, Emoji, Math,
                                 Fangsong, SystemUI, UISerif, UISansSerif, UIMonospace, UIRounded>;

    template <typename Case>
      requires std::is_constructible_v<Variant, Case>
    Family(Case c) : value_(std::move(c)) {}

    static Family named(std::string name) { return Named{std::move(name)}; }
    static Family serif() { return Serif{}; }
    static Family sansSerif() { return SansSerif{}; }
    static Family monospace() { return Monospace{}; }
    static Family cursive() { return Cursive{}; }
    static Family fantasy() { return Fantasy{}; }
    static Family emoji() { return Emoji{}; }
    static Family math() { return Math{}; }
    static Family fangsong() { return Fangsong{}; }
    static Family systemUI() { return SystemUI{}; }
    static Family uiSerif() { return UISerif{}; }
    static Family uiSansSerif() { return UISansSerif{}; }
    static Family uiMonospace() { return UIMonospace{}; }
    static Family uiRounded() { return UIRounded{}; }

    // Reading from text, attributes and CSS
    /// A generic family keyword (any case), or the name as written without one pair of
    /// surrounding quotes. Nothing only for an absent text.
    static std::optional<Family> fromStringValue(std::optional<std::string_view> text);
    /// A family from an identifier value of the cascaded CSS.
    static std::optional<Family> fromCSS(const std::optional<::CSS::Value>& css);

    const Variant& variant() const { return value_; }
    template <typename Case> bool is() const { return std::holds_alternative<Case>(value_); }
    template <typename Case> const Case* as() const { return std::get_if<Case>(&value_); }

    /// The case name: "serif", "sansSerif" ...; a named family as named("Helvetica").
    std::string description() const;
    bool operator==(const Family&) const = default;

   private:
    Variant value_;
  };

  /// normal, italic or oblique, with their CSS keywords as raw values.
  class Style {
   public:
    enum Value { normal, italic, oblique };
    constexpr Style(Value v) : value_(v) {}
    constexpr operator Value() const { return value_; }

    /// Exactly "normal", "italic" or "oblique" (case-sensitive); nothing otherwise.
    static std::optional<Style> fromRawValue(std::string_view rawValue);
    /// An identifier value of exactly "normal", "italic" or "oblique".
    static std::optional<Style> fromCSS(const std::optional<::CSS::Value>& css);
    std::string_view rawValue() const;
    std::string description() const { return std::string(rawValue()); }

   private:
    Value value_;
  };

  /// A numeric weight or one of the weight keywords; value(400) and normal differ.
  class Weight {
   public:
    struct Value {
      int weight;
      bool operator==(const Value&) const = default;
    };
    struct Normal { bool operator==(const Normal&) const = default; };
    struct Bold { bool operator==(const Bold&) const = default; };
    struct Lighter { bool operator==(const Lighter&) const = default; };
    struct Bolder { bool operator==(const Bolder&) const = default; };
    using Variant = std::variant<Value, Normal, Bold, Lighter, Bolder>;

    template <typename Case>
      requires std::is_constructible_v<Variant, Case>
    Weight(Case c) : value_(c) {}

    static Weight value(int weight) { return Value{weight}; }
    static Weight normal() { return Normal{}; }
    static Weight bold() { return Bold{}; }
    static Weight lighter() { return Lighter{}; }
    static Weight bolder() { return Bolder{}; }

    // Reading from text, attributes and CSS
    /// normal/400, bold/700, lighter, bolder (any case) or an integer weight.
    static std::optional<Weight> fromStringValue(std::optional<std::string_view> text);
    /// A weight keyword, or a whole number from 100 to 900, from the cascaded CSS.
    static std::optional<Weight> fromCSS(const std::optional<::CSS::Value>& css);

    const Variant& variant() const { return value_; }
    template <typename Case> bool is() const { return std::holds_alternative<Case>(value_); }
    template <typename Case> const Case* as() const { return std::get_if<Case>(&value_); }

    /// The case name: "bold", "normal" ...; a numeric weight as value(700).
    std::string description() const;
    bool operator==(const Weight&) const = default;

   private:
    Variant value_;
  };

  // The cases of a font, in this order.
  struct Shorthand {
    Family family;
    Style style;
    Weight weight;
    std::optional<UnitLength> size;
    bool operator==(const Shorthand&) const = default;
  };
  struct Caption { bool operator==(const Caption&) const = default; };
  struct Icon { bool operator==(const Icon&) const = default; };
  struct Menu { bool operator==(const Menu&) const = default; };
  struct MessageBox { bool operator==(const MessageBox&) const = default; };
  struct SmallCaption { bool operator==(const SmallCaption&) const = default; };
  struct StatusBar { bool operator==(const StatusBar&) const = default; };
  using Variant = std::variant<Shorthand, Caption, Icon, Menu, MessageBox, SmallCaption, StatusBar>;

  template <typename Case>
    requires std::is_constructible_v<Variant, Case>
  Font(Case c) : value_(std::move(c)) {}
  /// The shorthand with these parts.
  Font(Family family, Style style, Weight weight, std::optional<UnitLength> size)
      : value_(Shorthand{std::move(family), style, std::move(weight), std::move(size)}) {}

  static Font caption() { return Caption{}; }
  static Font icon() { return Icon{}; }
  static Font menu() { return Menu{}; }
  static Font messageBox() { return MessageBox{}; }
  static Font smallCaption() { return SmallCaption{}; }
  static Font statusBar() { return StatusBar{}; }

  // Reading from text, attributes and CSS
  /// A system-font keyword (any case), or the `font` shorthand read word by word.
  /// Nothing only for an absent or empty text.
  static std::optional<Font> fromStringValue(std::optional<std::string_view> text);
  /// A font from the cascaded `font` value; a bare number or length is a sans-serif size.
  static std::optional<Font> fromCSS(const std::optional<::CSS::Value>& css);

  const Variant& variant() const { return value_; }
  template <typename Case> bool is() const { return std::holds_alternative<Case>(value_); }
  template <typename Case> const Case* as() const { return std::get_if<Case>(&value_); }

  // Copies with one part of a shorthand replaced; a system-font keyword stays as it is.
  Font style(Style newStyle) const;
  Font weight(Weight newWeight) const;
  Font family(Family newFamily) const;
  Font size(std::optional<UnitLength> newSize) const;

  /// The size of a shorthand; nothing for a keyword.
  std::optional<UnitLength> fontSize() const;

  /// "sans-serif", "sans-serif[12.0pt]", "<Font: serif italic bold>" or a keyword's case name.
  std::string description() const;

  bool operator==(const Font&) const = default;

 private:
  Variant value_;
};

}  // namespace CSS

template <>
struct std::hash<CSS::Font::Style> {
  std::size_t operator()(CSS::Font::Style style) const noexcept {
    return std::hash<std::string_view>{}(style.rawValue());
  }
};
