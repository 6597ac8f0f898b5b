// The style sheet of a document: declaration blocks by element id and by
// class name, and the cascade of one element.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "SVGParser/CSS/Font.h"
#include "SVGParser/CSS/Parser/CSSStyle.h"
#include "SVGParser/Parser/XMLAttributes.h"

namespace CSS {

/// The selector of one rule.
class Selector {
 public:
  /// The text after a leading "#".
  struct Id {
    std::string name;
    bool operator==(const Id&) const = default;
  };
  /// The text after a leading ".".
  struct CssClass {
    std::string name;
    bool operator==(const CssClass&) const = default;
  };
  /// Any other selector, as written.
  struct Unsupported {
    std::string text;
    bool operator==(const Unsupported&) const = default;
  };
  using Storage = std::variant<Id, CssClass, Unsupported>;

  template <typename Case, typename = std::enable_if_t<std::is_constructible_v<Storage, Case&&>>>
  Selector(Case&& value) : storage_(std::forward<Case>(value)) {}  // NOLINT: implicit from any case

  const Storage& storage() const { return storage_; }
  template <typename Case>
  const Case* as() const { return std::get_if<Case>(&storage_); }

  bool operator==(const Selector&) const = default;

 private:
  Storage storage_;
};

/// The cascaded properties of one element, looked up where they stand rather than copied
/// together: its inline style, then its id rule, then its class rules from the last class
/// named to the first. An element of many classes, each of many properties, so costs no more
/// than the properties read of it. It refers into the style sheet that made it, which must
/// outlive it.
class Cascade : public CSSPropertyResolver {
 public:
  Cascade() = default;
  Cascade(std::optional<Style> style, const Style* id, std::vector<const Style*> classes);
  Cascade(const Cascade&) = default;
  Cascade& operator=(const Cascade&) = default;

  bool isEmpty() const override;
  std::optional<Value> operator[](std::string_view name) const override;

 private:
  std::optional<Style> style_;
  const Style* id_ = nullptr;
  std::vector<const Style*> classes_;  // as named, found in the sheet
};

/// One rule between reading and folding into the tables.
struct Rule {
  std::optional<Selector> selector;
  Style style;
};

class CSS {
 public:
  /// Declaration block per element id (without "#").
  std::map<std::string, Style, std::less<>> idToStyles;
  /// Declaration block per class name (without ".").
  std::map<std::string, Style, std::less<>> classToStyles;

  CSS() = default;
  /// The style sheet of a text; never fails. Rules that are not for a single
  /// id or class are reported and left out, and so are at-rules with their rules.
  static CSS fromStringValue(std::optional<std::string_view> text);

  /// The rules of a text in order, without folding. A block that holds blocks (`@media … { … }`)
  /// is one rule without properties, its selector the text before it as written; an at-rule
  /// without a block (`@import …;`) ends at its ";" and gives no rule. Each selector of a group
  /// gets a copy of the group's block; once those copies would take far more memory than the text itself (see
  /// `maximumCopiedBytes`), the rest of the text is reported and left out.
  static std::vector<Rule> parseCSS(std::optional<std::string_view> text);
  /// What the rules of a text of `textBytes` may hold, counted as the blocks' texts and a fixed
  /// part per property for every selector that holds them.
  static std::size_t maximumCopiedBytes(std::size_t textBytes);
  /// One declaration block or style attribute.
  static Style parseStyle(std::optional<std::string_view> text);

  /// The cascaded block of one element: its class rules in the order given, then
  /// its id rule, then its inline style, later ones winning property by property.
  Style cssResolver(const std::optional<Style>& style, const std::optional<std::string>& id,
                    const std::vector<std::string>& classes) const;
  /// The cascade of one element from its attribute map ("class", "id", "style"), in the same
  /// order; it refers into this sheet.
  Cascade cssResolver(const SVG::XMLAttributes& xmlAttributes) const;
  /// The font of one element: its cascaded block, then `cssFont(for:)` on it.
  std::optional<Font> font(const SVG::XMLAttributes& xmlAttributes) const;
};

/// The class names of a class attribute: split at blanks (U+0020 only), empty
/// names dropped, at most 100 splits.
std::vector<std::string> classList(std::string_view classAttribute);

}  // namespace CSS
