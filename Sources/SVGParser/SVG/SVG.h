// The root of a parsed drawing, groups, the child items of both, and the
// definitions (gradients and filters) that paints and filters refer to by id.
#pragma once

#include <any>
#include <concepts>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "SVGParser/CSS/UnitLength.h"
#include "Platform/Geometry.h"
#include "SVGParser/SVG/Box.h"
#include "SVGParser/SVG/ElementAttributes.h"
#include "SVGParser/SVG/Filter.h"
#include "SVGParser/SVG/Gradient.h"
#include "SVGParser/SVG/PresentationAttributes.h"
#include "SVGParser/SVG/Shapes.h"
#include "SVGParser/SVG/Text.h"
#include "SVGParser/SVG/UnitGeometry.h"

namespace SVG {

struct SVG;
class GroupItem;

enum class WindingRule { nonZero, evenOdd };

/// A `g` element.
struct Group {
  CoreAttributes core{};
  StylingAttributes style{};
  PresentationAttributes presentation{};
  std::vector<GroupItem> children;

  // Reading from text, attributes and CSS
  static Group fromXMLAttributes(const XMLAttributes& xmlAttributes, const CSSPropertyResolver& css);

  /// Appends `item` at the end of `children`.
  void addElement(GroupItem item);

  /// "<Group: id=g #children=2 <Presentation:>>"
  std::string description() const;
  bool operator==(const Group&) const;
};

/// One child of a drawing or group: any element, owned by value.
class GroupItem {
 public:
  // Cases in order: svg, group, path, circle, ellipse, rect, polygon, polyline, line, image, text.
  // A nested drawing sits in a box, which copies it deeply.
  using Variant =
      std::variant<Box<SVG>, Group, Path, Circle, Ellipse, Rect, Polygon, Polyline, Line, Image, Text>;

  GroupItem(SVG svg);
  GroupItem(Group group);
  GroupItem(Path path);
  GroupItem(Circle circle);
  GroupItem(Ellipse ellipse);
  GroupItem(Rect rect);
  GroupItem(Polygon polygon);
  GroupItem(Polyline polyline);
  GroupItem(Line line);
  GroupItem(Image image);
  GroupItem(Text text);
  GroupItem(const GroupItem& other);
  GroupItem(GroupItem&& other) noexcept;
  GroupItem& operator=(const GroupItem& other);
  GroupItem& operator=(GroupItem&& other) noexcept;
  ~GroupItem();

  const Variant& variant() const { return value_; }
  /// Whether the item holds an element of this type (`SVG` for a nested drawing).
  template <typename Element> bool is() const;
  /// The element if it has this type, else nullptr.
  template <typename Element> const Element* as() const;
  template <typename Element> Element* as();

  /// The payload's attribute groups.
  SVGElement element() const;

  /// The payload's description.
  std::string description() const;
  bool operator==(const GroupItem& other) const;

 private:
  Variant value_;
};

/// Shown every element as it joins a drawing being read, a container once its content has joined
/// it, with the element's depth (1 for the children of the root). What it throws ends the read.
using ElementObserver = std::function<void(const GroupItem& element, std::size_t depth)>;

/// A gradient or filter that can be referred to by id.
class Definition {
 public:
  using Variant = std::variant<LinearGradient, RadialGradient, Filter>;

  Definition(LinearGradient gradient) : value_(std::move(gradient)) {}
  Definition(RadialGradient gradient) : value_(std::move(gradient)) {}
  Definition(Filter filter) : value_(std::move(filter)) {}

  const Variant& variant() const { return value_; }
  template <typename Case> bool is() const { return std::holds_alternative<Case>(value_); }
  template <typename Case> const Case* as() const { return std::get_if<Case>(&value_); }

  /// The payload's core attributes.
  const CoreAttributes& core() const;
  /// The payload's id; without one a new UUID string on every call.
  std::string id() const;
  /// The payload itself, untyped.
  std::any object() const;

  /// The payload's description.
  std::string description() const;
  bool operator==(const Definition&) const = default;

 private:
  Variant value_;
};

/// One registered definition. An id may occur more than once in a list.
struct DefinitionEntry {
  std::string id{};
  Definition definition;
  bool operator==(const DefinitionEntry&) const = default;
};

/// The first definition registered under `id` (compared exactly), or nullptr.
const Definition* findDefinition(const std::vector<DefinitionEntry>& definitions,
                                 std::string_view id);

/// An `svg` element: the root of a drawing, or a drawing nested in one.
struct SVG {
  std::optional<CSS::UnitLength> x{};
  std::optional<CSS::UnitLength> y{};
  std::optional<CSS::UnitLength> width{};
  std::optional<CSS::UnitLength> height{};
  std::optional<CGRect> viewBox{};  ///< in user units
  CoreAttributes core{};
  StylingAttributes style{};
  PresentationAttributes presentation{};
  std::vector<GroupItem> children;
  std::vector<DefinitionEntry> definitions{};  ///< of the whole drawing, in the order added

  // Reading from text, attributes and CSS
  static SVG fromXMLAttributes(const XMLAttributes& xmlAttributes, const CSSPropertyResolver& css);
  /// The drawing of an SVG text; nothing when it is not well-formed XML or has no root `svg`.
  static std::optional<SVG> fromSVGString(std::string_view svgString);
  /// The same, showing `observer` every element as it joins the drawing (see `ElementObserver`).
  static std::optional<SVG> fromSVGString(std::string_view svgString, const ElementObserver& observer);

  /// Appends `item` at the end of `children`.
  void addElement(GroupItem item);
  /// Width and height in their own units when both are set.
  std::optional<UnitSize> intrinsicSize() const;

  /// "<SVG: id=a x=1.0 y=2.0 width=10.0cm height=50.0% <Presentation:>>"
  std::string description() const;
  bool operator==(const SVG&) const;
};

/// A container of items: `SVG` and `Group`.
template <typename T>
concept SVGGroup = requires(T& group, const T& constGroup, GroupItem item) {
  { constGroup.children } -> std::same_as<const std::vector<GroupItem>&>;
  group.addElement(std::move(item));
};

template <typename Element>
bool GroupItem::is() const {
  return as<Element>() != nullptr;
}

template <typename Element>
const Element* GroupItem::as() const {
  if constexpr (std::is_same_v<Element, SVG>) {
    const Box<SVG>* box = std::get_if<Box<SVG>>(&value_);
    return box ? &box->get() : nullptr;
  } else {
    return std::get_if<Element>(&value_);
  }
}

template <typename Element>
Element* GroupItem::as() {
  return const_cast<Element*>(std::as_const(*this).as<Element>());
}

}  // namespace SVG
