// SVG filters as SwiftUI view modifiers: chains of effects, merges and blends.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "SVGParser/CSS/Color.h"
#include "Platform/Geometry.h"
#include "SVGParser/SVG/Filter.h"

namespace SwiftUIModel {

/// One SVG filter as a view modifier of the generated code.
struct FilterModifierType {
  /// One effect modifier with an optional frame.
  struct Primitive {
    class Operation {
     public:
      struct Blur {
        CGFloat radius;
        bool operator==(const Blur&) const = default;
      };
      struct Offset {
        CGPoint offset;
        bool operator==(const Offset&) const = default;
      };
      /// A missing colour, opacity or position means the default of the
      /// shadow modifier. The opacity is a fraction 0...1.
      struct Shadow {
        std::optional<CSS::Color> color;
        std::optional<CGFloat> opacity;
        CGFloat radius;
        std::optional<CGPoint> position;
        bool operator==(const Shadow&) const = default;
      };
      using Variant = std::variant<Blur, Offset, Shadow>;

      Operation(Blur c) : value_(c) {}
      Operation(Offset c) : value_(c) {}
      Operation(Shadow c) : value_(std::move(c)) {}

      static Operation blur(CGFloat radius) { return Blur{radius}; }
      static Operation offset(CGPoint offset) { return Offset{offset}; }
      static Operation shadow(std::optional<CSS::Color> color, std::optional<CGFloat> opacity, CGFloat radius,
                              std::optional<CGPoint> position) {
        return Shadow{std::move(color), opacity, radius, position};
      }

      const Variant& variant() const { return value_; }
      template <typename Case> bool is() const { return std::holds_alternative<Case>(value_); }
      template <typename Case> const Case* as() const { return std::get_if<Case>(&value_); }

      std::string description() const;
      bool operator==(const Operation&) const = default;

     private:
      Variant value_;
    };

    /// Sub-region size and origin of the primitive.
    std::optional<CGSize> intrinsicSize;
    std::optional<CGPoint> origin;
    Operation operation;

    std::string description() const;
    bool operator==(const Primitive&) const = default;
  };

  /// A node of the image graph. Nodes never change once made, so copies
  /// share them; equality is structural.
  class FilterGroup {
   public:
    /// The listed images merged in list order.
    struct Merge;
    /// Two images blended with a mode.
    struct Blend;
    /// The input image with the listed effects applied in order.
    struct Primitives;
    /// The content the modifier is applied to.
    struct Source;
    /// The alpha of that content.
    struct SourceAlpha;
    using Variant = std::variant<Merge, Blend, Primitives, Source, SourceAlpha>;

    FilterGroup(Merge c);
    FilterGroup(Blend c);
    FilterGroup(Primitives c);
    FilterGroup(Source c);
    FilterGroup(SourceAlpha c);

    static FilterGroup merge(std::vector<FilterGroup> groups);
    static FilterGroup blend(FilterGroup input, FilterGroup input2, SVG::Filter::Primitive::Blend::Mode mode);
    static FilterGroup primitive(FilterGroup input, std::vector<Primitive> primitives);
    static FilterGroup source();
    static FilterGroup sourceAlpha();

    const Variant& variant() const;
    template <typename Case> bool is() const;
    template <typename Case> const Case* as() const;

    /// An empty merge, or a primitive node without effects on an empty input.
    bool isEmpty() const;
    std::string description() const;
    bool operator==(const FilterGroup& other) const;

   private:
    std::shared_ptr<const Variant> node_;
  };

  std::string typeName;
  /// Size of the filter region in points, when both sides are known.
  std::optional<CGSize> intrinsicSize;
  /// Origin of the filter region in points.
  std::optional<CGPoint> origin;
  FilterGroup filterGroup;

  std::string description() const;
};

struct FilterModifierType::FilterGroup::Merge {
  std::vector<FilterGroup> groups;
  bool operator==(const Merge&) const = default;
};
struct FilterModifierType::FilterGroup::Blend {
  FilterGroup input;
  FilterGroup input2;
  SVG::Filter::Primitive::Blend::Mode mode;
  bool operator==(const Blend&) const = default;
};
struct FilterModifierType::FilterGroup::Primitives {
  FilterGroup input;
  std::vector<FilterModifierType::Primitive> primitives;
  bool operator==(const Primitives&) const = default;
};
struct FilterModifierType::FilterGroup::Source {
  bool operator==(const Source&) const = default;
};
struct FilterModifierType::FilterGroup::SourceAlpha {
  bool operator==(const SourceAlpha&) const = default;
};

inline const FilterModifierType::FilterGroup::Variant& FilterModifierType::FilterGroup::variant() const {
  return *node_;
}
template <typename Case>
bool FilterModifierType::FilterGroup::is() const {
  return std::holds_alternative<Case>(*node_);
}
template <typename Case>
const Case* FilterModifierType::FilterGroup::as() const {
  return std::get_if<Case>(node_.get());
}

}  // namespace SwiftUIModel
