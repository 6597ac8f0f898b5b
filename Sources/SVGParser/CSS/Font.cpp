#include "SVGParser/CSS/Font.h"

namespace CSS {

std::string Font::Family::description() const {
  struct Name {
    std::string operator()(const Named& c) const { return "named(\"" + c.name + "\")"; }
    std::string operator()(const Serif&) const { return "serif"; }
    std::string operator()(const SansSerif&) const { return "sansSerif"; }
    std::string operator()(const Monospace&) const { return "monospace"; }
    std::string operator()(const Cursive&) const { return "cursive"; }
    std::string operator()(const Fantasy&) const { return "fantasy"; }
    std::string operator()(const Emoji&) const { return "emoji"; }
    std::string operator()(const Math&) const { return "math"; }
    std::string operator()(const Fangsong&) const { return "fangsong"; }
    std::string operator()(const SystemUI&) const { return "systemUI"; }
    std::string operator()(const UISerif&) const { return "uiSerif"; }
    std::string operator()(const UISansSerif&) const { return "uiSansSerif"; }
    std::string operator()(const UIMonospace&) const { return "uiMonospace"; }
    std::string operator()(const UIRounded&) const { return "uiRounded"; }
  };
  return std::visit(Name{}, value_);
}

std::optional<Font::Style> Font::Style::fromRawValue(std::string_view rawValue) {
  if (rawValue == "normal") return Style(normal);
  if (rawValue == "italic") return Style(italic);
  if (rawValue == "oblique") return Style(oblique);
  return std::nullopt;
}

std::string_view Font::Style::rawValue() const {
  switch (value_) {
    case italic: return "italic";
    case oblique: return "oblique";
    case normal: break;
  }
  return "normal";
}

std::string Font::Weight::description() const {
  struct Name {
    std::string operator()(const Value& c) const {
      return "value(" + std::to_string(c.weight) + ")";
    }
    std::string operator()(const Normal&) const { return "normal"; }
    std::string operator()(const Bold&) const { return "bold"; }
    std::string operator()(const Lighter&) const { return "lighter"; }
    std::string operator()(const Bolder&) const { return "bolder"; }
  };
  return std::visit(Name{}, value_);
}

Font Font::style(Style newStyle) const {
  Font copy = *this;
  if (auto* shorthand = std::get_if<Shorthand>(&copy.value_)) shorthand->style = newStyle;
  return copy;
}

Font Font::weight(Weight newWeight) const {
  Font copy = *this;
  if (auto* shorthand = std::get_if<Shorthand>(&copy.value_)) shorthand->weight = std::move(newWeight);
  return copy;
}

Font Font::family(Family newFamily) const {
  Font copy = *this;
  if (auto* shorthand = std::get_if<Shorthand>(&copy.value_)) shorthand->family = std::move(newFamily);
  return copy;
}

Font Font::size(std::optional<UnitLength> newSize) const {
  Font copy = *this;
  if (auto* shorthand = std::get_if<Shorthand>(&copy.value_)) shorthand->size = std::move(newSize);
  return copy;
}

std::optional<UnitLength> Font::fontSize() const {
  if (const auto* shorthand = as<Shorthand>()) return shorthand->size;
  return std::nullopt;
}

std::string Font::description() const {
  struct Keyword {
    std::string operator()(const Shorthand&) const { return ""; }
    std::string operator()(const Caption&) const { return "caption"; }
    std::string operator()(const Icon&) const { return "icon"; }
    std::string operator()(const Menu&) const { return "menu"; }
    std::string operator()(const MessageBox&) const { return "messageBox"; }
    std::string operator()(const SmallCaption&) const { return "smallCaption"; }
    std::string operator()(const StatusBar&) const { return "statusBar"; }
  };
  const auto* shorthand = as<Shorthand>();
  if (!shorthand) return std::visit(Keyword{}, value_);

  const bool plainStyle = shorthand->style == Style::normal;
  const bool plainWeight = shorthand->weight.is<Weight::Normal>();
  if (shorthand->family.is<Family::SansSerif>() && plainStyle && plainWeight) {
    if (!shorthand->size) return "sans-serif";
    return "sans-serif[" + shorthand->size->description() + "]";
  }
  std::string text = "<Font: " + shorthand->family.description();
  if (!plainStyle) text += " " + shorthand->style.description();
  if (!plainWeight) text += " " + shorthand->weight.description();
  return text + ">";
}

}  // namespace CSS
