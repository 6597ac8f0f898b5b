// A <filter> definition: its region and its ordered primitives.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "SVGParser/CSS/Color.h"
#include "SVGParser/CSS/UnitLength.h"
#include "Platform/Geometry.h"
#include "SVGParser/SVG/ElementAttributes.h"

namespace SVG {

// The filter types are declared at namespace level and named inside `Filter`
// (`Filter::Input`, `Filter::Primitive`, `Filter::Primitive::Blur` ...).

/// Where a primitive takes its image from (`Filter::Input`).
class FilterInput {
 public:
  /// The output of an earlier primitive with this result name.
  struct Result {
    std::string name;
    bool operator==(const Result&) const = default;
  };
#define QUARVEL_FILTER_INPUT_CASE(Name)           \
  struct Name {                                   \
    bool operator==(const Name&) const = default; \
  };
  QUARVEL_FILTER_INPUT_CASE(Previous)  ///< the output of the primitive just before
  QUARVEL_FILTER_INPUT_CASE(SourceGraphic)
  QUARVEL_FILTER_INPUT_CASE(SourceAlpha)
  QUARVEL_FILTER_INPUT_CASE(BackgroundImage)
  QUARVEL_FILTER_INPUT_CASE(BackgroundAlpha)
  QUARVEL_FILTER_INPUT_CASE(FillPaint)
  QUARVEL_FILTER_INPUT_CASE(StrokePaint)
#undef QUARVEL_FILTER_INPUT_CASE
  using Variant = std::variant<Result, Previous, SourceGraphic, SourceAlpha, BackgroundImage,
                               BackgroundAlpha, FillPaint, StrokePaint>;

  template <typename Case>
    requires std::is_constructible_v<Variant, Case>
  FilterInput(Case c) : value_(std::move(c)) {}

  static FilterInput result(std::string name) { return Result{std::move(name)}; }
  static FilterInput previous() { return Previous{}; }
  static FilterInput sourceGraphic() { return SourceGraphic{}; }
  static FilterInput sourceAlpha() { return SourceAlpha{}; }
  static FilterInput backgroundImage() { return BackgroundImage{}; }
  static FilterInput backgroundAlpha() { return BackgroundAlpha{}; }
  static FilterInput fillPaint() { return FillPaint{}; }
  static FilterInput strokePaint() { return StrokePaint{}; }

  // Reading from text, attributes and CSS
  static std::optional<FilterInput> fromStringValue(std::optional<std::string_view> text);

  const Variant& variant() const { return value_; }
  template <typename Case> bool is() const { return std::holds_alternative<Case>(value_); }
  template <typename Case> const Case* as() const { return std::get_if<Case>(&value_); }

  /// "#name", "previous", "src", "alpha", "bgimg", "bgalpha", "fill" or "stroke".
  std::string description() const;
  bool operator==(const FilterInput&) const = default;

 private:
  Variant value_;
};

/// The attributes common to all primitives: result name and sub-region
/// (`Filter::Primitive::Attributes`).
struct FilterPrimitiveAttributes {
  std::optional<std::string> result{};
  std::optional<CGFloat> x{};
  std::optional<CGFloat> y{};
  std::optional<CGFloat> width{};
  std::optional<CGFloat> height{};

  // Reading from text, attributes and CSS
  static FilterPrimitiveAttributes fromXMLAttributes(const XMLAttributes& xmlAttributes);

  /// No result name and no sub-region.
  bool isEmpty() const { return !result && !hasPositioning(); }
  /// Any of x, y, width, height is set.
  bool hasPositioning() const { return x || y || width || height; }
  /// "" when empty, else " 'name' x=1.0 y=2.0 w=3.0 h=4.0" (each part only when set).
  std::string description() const;
  bool operator==(const FilterPrimitiveAttributes&) const = default;
};

/// `Filter::Primitive::Merge`
struct FilterMerge {
  FilterPrimitiveAttributes attributes{};
  std::vector<FilterInput> inputs{};

  // Reading from text, attributes and CSS
  /// The element's own attributes only: its inputs come from its merge nodes, which the parse
  /// driver appends; `defaultInput` is not used.
  static FilterMerge fromXMLAttributes(const XMLAttributes& xmlAttributes, const FilterInput& defaultInput);

  bool operator==(const FilterMerge&) const = default;
};

/// `Filter::Primitive::Blur`
struct FilterBlur {
  FilterPrimitiveAttributes attributes{};
  FilterInput input;
  CGFloat standardDeviation;

  // Reading from text, attributes and CSS
  static FilterBlur fromXMLAttributes(const XMLAttributes& xmlAttributes, const FilterInput& defaultInput);

  bool operator==(const FilterBlur&) const = default;
};

/// `Filter::Primitive::Blend`
struct FilterBlend {
  /// A blend mode with its CSS keyword as raw value.
  class Mode {
   public:
    enum Value {
      normal, multiply, screen, overlay, darken, lighten, difference, exclusion,
      hue, saturation, color, luminosity, colorDodge, colorBurn, hardLight, softLight
    };
    constexpr Mode(Value v) : value_(v) {}
    constexpr operator Value() const { return value_; }

    /// The exact keyword ("soft-light"), case-sensitive, untrimmed; nothing otherwise.
    static std::optional<Mode> fromRawValue(std::string_view rawValue);
    /// "normal" ... "color-dodge" ... "soft-light".
    std::string_view rawValue() const;
    /// The case name: "softLight".
    std::string_view caseName() const;
    std::string description() const { return std::string(caseName()); }

   private:
    Value value_;
  };

  FilterPrimitiveAttributes attributes{};
  FilterInput input;
  FilterInput input2;
  Mode mode;

  // Reading from text, attributes and CSS
  static FilterBlend fromXMLAttributes(const XMLAttributes& xmlAttributes, const FilterInput& defaultInput);

  bool operator==(const FilterBlend&) const = default;
};

/// `Filter::Primitive::Offset`
struct FilterOffset {
  FilterPrimitiveAttributes attributes{};
  FilterInput input;
  CGFloat dx;
  CGFloat dy;

  // Reading from text, attributes and CSS
  static FilterOffset fromXMLAttributes(const XMLAttributes& xmlAttributes, const FilterInput& defaultInput);

  bool operator==(const FilterOffset&) const = default;
};

/// `Filter::Primitive::DropShadow`
struct FilterDropShadow {
  FilterPrimitiveAttributes attributes{};
  FilterInput input;
  CGFloat dx;
  CGFloat dy;
  CGFloat standardDeviation;
  CSS::Color color;
  std::optional<CGFloat> opacity{};  ///< the plain fraction written

  // Reading from text, attributes and CSS
  static FilterDropShadow fromXMLAttributes(const XMLAttributes& xmlAttributes, const FilterInput& defaultInput);

  bool operator==(const FilterDropShadow&) const = default;
};

/// One `fe...` element (`Filter::Primitive`). Five kinds carry their
/// parameters; the twelve others are bare kinds.
class FilterPrimitive {
 public:
  using Attributes = FilterPrimitiveAttributes;
  using Merge = FilterMerge;
  using Blur = FilterBlur;
  using Blend = FilterBlend;
  using Offset = FilterOffset;
  using DropShadow = FilterDropShadow;
#define QUARVEL_BARE_PRIMITIVE(Name)              \
  struct Name {                                   \
    bool operator==(const Name&) const = default; \
  };
  QUARVEL_BARE_PRIMITIVE(ColorMatrix)
  QUARVEL_BARE_PRIMITIVE(ComponentTransfer)
  QUARVEL_BARE_PRIMITIVE(Composite)
  QUARVEL_BARE_PRIMITIVE(ConvolveMatrix)
  QUARVEL_BARE_PRIMITIVE(DiffuseLighting)
  QUARVEL_BARE_PRIMITIVE(DisplacementMap)
  QUARVEL_BARE_PRIMITIVE(Flood)
  QUARVEL_BARE_PRIMITIVE(Image)
  QUARVEL_BARE_PRIMITIVE(Morphology)
  QUARVEL_BARE_PRIMITIVE(SpecularLighting)
  QUARVEL_BARE_PRIMITIVE(Tile)
  QUARVEL_BARE_PRIMITIVE(Turbulence)
#undef QUARVEL_BARE_PRIMITIVE
  // Cases in order: merge, gaussianBlur, blend, offset, dropShadow, then the bare kinds.
  using Variant = std::variant<Merge, Blur, Blend, Offset, DropShadow, ColorMatrix,
                               ComponentTransfer, Composite, ConvolveMatrix, DiffuseLighting,
                               DisplacementMap, Flood, Image, Morphology, SpecularLighting, Tile,
                               Turbulence>;

  template <typename Case>
    requires std::is_constructible_v<Variant, Case>
  FilterPrimitive(Case c) : value_(std::move(c)) {}

  const Variant& variant() const { return value_; }
  template <typename Case> bool is() const { return std::holds_alternative<Case>(value_); }
  template <typename Case> const Case* as() const { return std::get_if<Case>(&value_); }

  /// The payload's attributes; all unset for a bare kind.
  Attributes attributes() const;
  /// The payload's result name; nothing for a bare kind.
  std::optional<std::string> result() const;
  /// The (first) input of a blur, blend, offset or drop shadow; nothing for merge and bare kinds.
  std::optional<FilterInput> input() const;

  /// "<Blur: src| 3.0>", "<Merge: [#a, src]>", "<OTHER-FILTER-PRIMITIVE>" ...
  std::string description() const;
  bool operator==(const FilterPrimitive&) const = default;

 private:
  Variant value_;
};

/// A <filter> definition.
struct Filter {
  using Input = FilterInput;
  using Primitive = FilterPrimitive;

  CoreAttributes core{};
  StylingAttributes style{};
  std::vector<Primitive> primitives{};
  std::optional<CSS::UnitLength> x{};
  std::optional<CSS::UnitLength> y{};
  std::optional<CSS::UnitLength> width{};
  std::optional<CSS::UnitLength> height{};

  // Reading from text, attributes and CSS
  static Filter fromXMLAttributes(const XMLAttributes& xmlAttributes);

  /// "<Filter: id=f EMPTY>", "<Filter: id=f <Blur: src| 3.0>>" or "<Filter: [<...>, <...>]>".
  std::string description() const;
  bool operator==(const Filter&) const = default;
};

/// True when no primitive names its result and none merges: then the filter
/// works on the source graphic alone. Bare kinds and inputs play no part.
bool onlyAffectsSourceGraphic(std::span<const Filter::Primitive> primitives);

}  // namespace SVG

template <>
struct std::hash<SVG::FilterBlend::Mode> {
  std::size_t operator()(SVG::FilterBlend::Mode mode) const noexcept {
    return std::hash<std::string_view>{}(mode.rawValue());
  }
};
