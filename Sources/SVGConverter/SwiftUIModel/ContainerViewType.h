// Container views (groups and svg elements), their children and definitions.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "SVGConverter/SwiftUIModel/FilterModifierType.h"
#include "SVGConverter/SwiftUIModel/Gradients.h"
#include "SVGConverter/SwiftUIModel/PathCommand.h"
#include "SVGConverter/SwiftUIModel/ShapeViews.h"
#include "SVGConverter/SwiftUIModel/ViewInterfaces.h"
#include "Platform/Geometry.h"

namespace SwiftUIModel {

/// One definition carried by a container: a gradient or a filter modifier.
class Definition {
 public:
  struct LinearGradient {
    LinearGradientProperty value;
  };
  struct RadialGradient {
    RadialGradientProperty value;
  };
  struct FilterModifier {
    FilterModifierType value;
  };
  using Variant = std::variant<LinearGradient, RadialGradient, FilterModifier>;

  Definition(LinearGradient c) : value_(std::move(c)) {}
  Definition(RadialGradient c) : value_(std::move(c)) {}
  Definition(FilterModifier c) : value_(std::move(c)) {}

  static Definition linearGradient(LinearGradientProperty p) { return LinearGradient{std::move(p)}; }
  static Definition radialGradient(RadialGradientProperty p) { return RadialGradient{std::move(p)}; }
  static Definition filterModifier(FilterModifierType f) { return FilterModifier{std::move(f)}; }

  const Variant& variant() const { return value_; }
  template <typename Case> bool is() const { return std::holds_alternative<Case>(value_); }
  template <typename Case> const Case* as() const { return std::get_if<Case>(&value_); }

  /// The gradient's property name or the filter modifier's type name.
  const std::string& id() const;
  std::string description() const;

 private:
  Variant value_;
};

class Subview;

/// The view type of a group or an svg element.
struct ContainerViewType : SUIViewType, SUIViewBoxableType, SUIViewPositionableType, SUIViewFrameableType {
  /// The width and height that a resizable form of the view uses.
  struct Resizable {
    std::optional<CGFloat> width;
    std::optional<CGFloat> height;
    bool operator==(const Resizable&) const = default;
  };

  Resizable resizable;
  /// The children in document order.
  std::vector<Subview> childTypes;
  /// Gradients and filters defined by this container, in document order.
  std::vector<Definition> definitions;
  /// Filter applied to the whole container.
  std::optional<FilterModifierType> filterModifier;
  /// The container's own transform steps.
  std::vector<TransformStep> transform;

  ContainerViewType(std::string typeName, std::optional<CGPoint> origin, std::optional<CGSize> intrinsicSize,
                    std::optional<CGRect> viewBox, Resizable resizable, std::vector<Subview> childTypes,
                    std::vector<Definition> definitions, std::optional<FilterModifierType> filterModifier,
                    std::vector<TransformStep> transform);

  /// Whether a resizable form uses a width or a height.
  bool isResizable() const { return resizable.width || resizable.height; }

  /// " 100.0x50.0 vbox=0.0,0.0 200.0x100.0 EMPTY" (the parts that apply).
  std::string propertiesDescription() const;
  std::string description() const;
  /// Writes the tree, one line per child, as diagnostic lines.
  void dump(int indent = 0) const;
};

/// One child of a container.
class Subview {
 public:
  struct Path {
    PathViewType value;
  };
  struct Circle {
    CircleViewType value;
  };
  struct Ellipse {
    EllipseViewType value;
  };
  struct Rectangle {
    RectangleViewType value;
  };
  struct Text {
    SwiftUIModel::Text value;
  };
  struct Group {
    ContainerViewType value;
  };
  struct SVG {
    ContainerViewType value;
  };
  using Variant = std::variant<Path, Circle, Ellipse, Rectangle, Text, Group, SVG>;

  Subview(Path c) : value_(std::move(c)) {}
  Subview(Circle c) : value_(std::move(c)) {}
  Subview(Ellipse c) : value_(std::move(c)) {}
  Subview(Rectangle c) : value_(std::move(c)) {}
  Subview(Text c) : value_(std::move(c)) {}
  Subview(Group c) : value_(std::move(c)) {}
  Subview(SVG c) : value_(std::move(c)) {}

  static Subview path(PathViewType v) { return Path{std::move(v)}; }
  static Subview circle(CircleViewType v) { return Circle{std::move(v)}; }
  static Subview ellipse(EllipseViewType v) { return Ellipse{std::move(v)}; }
  static Subview rectangle(RectangleViewType v) { return Rectangle{std::move(v)}; }
  static Subview text(SwiftUIModel::Text v) { return Text{std::move(v)}; }
  static Subview group(ContainerViewType v) { return Group{std::move(v)}; }
  static Subview svg(ContainerViewType v) { return SVG{std::move(v)}; }

  const Variant& variant() const { return value_; }
  Variant& variant() { return value_; }
  template <typename Case> bool is() const { return std::holds_alternative<Case>(value_); }
  template <typename Case> const Case* as() const { return std::get_if<Case>(&value_); }

  /// The payload's type name; empty for a text.
  const std::string& typeName() const;
  /// The payload as a view type. A text has none: asking stops the process.
  const SUIViewType& view() const;
  /// The container of a group or svg child; nothing for a shape. A text stops the process.
  const SUIViewBoxableType* boxable() const;
  /// Size and position of every child but a text.
  std::optional<SUIFramableView> framable() const;

  std::string description() const;

 private:
  Variant value_;
};

}  // namespace SwiftUIModel
