#include "SVGParser/SVG/Filter.h"

#include <array>
#include <utility>

#include "Platform/NumberText.h"

namespace SVG {

using Primitive = FilterPrimitive;

std::string FilterInput::description() const {
  struct Text {
    std::string operator()(const Result& c) const { return "#" + c.name; }
    std::string operator()(const Previous&) const { return "previous"; }
    std::string operator()(const SourceGraphic&) const { return "src"; }
    std::string operator()(const SourceAlpha&) const { return "alpha"; }
    std::string operator()(const BackgroundImage&) const { return "bgimg"; }
    std::string operator()(const BackgroundAlpha&) const { return "bgalpha"; }
    std::string operator()(const FillPaint&) const { return "fill"; }
    std::string operator()(const StrokePaint&) const { return "stroke"; }
  };
  return std::visit(Text{}, value_);
}

std::string Primitive::Attributes::description() const {
  std::string text;
  if (result) text += " '" + *result + "'";
  if (x) text += " x=" + SVGParser::doubleDescription(*x);
  if (y) text += " y=" + SVGParser::doubleDescription(*y);
  if (width) text += " w=" + SVGParser::doubleDescription(*width);
  if (height) text += " h=" + SVGParser::doubleDescription(*height);
  return text;
}

namespace {

// Raw value and case name of each blend mode, in case order.
constexpr std::array<std::pair<std::string_view, std::string_view>, 16> blendModeNames{{
    {"normal", "normal"},
    {"multiply", "multiply"},
    {"screen", "screen"},
    {"overlay", "overlay"},
    {"darken", "darken"},
    {"lighten", "lighten"},
    {"difference", "difference"},
    {"exclusion", "exclusion"},
    {"hue", "hue"},
    {"saturation", "saturation"},
    {"color", "color"},
    {"luminosity", "luminosity"},
    {"color-dodge", "colorDodge"},
    {"color-burn", "colorBurn"},
    {"hard-light", "hardLight"},
    {"soft-light", "softLight"},
}};

// The payload's attributes, or nullptr for a bare kind.
const Primitive::Attributes* payloadAttributes(const Primitive::Variant& value) {
  return std::visit(
      [](const auto& c) -> const Primitive::Attributes* {
        if constexpr (requires { c.attributes; }) {
          return &c.attributes;
        } else {
          return nullptr;
        }
      },
      value);
}

}  // namespace

std::optional<Primitive::Blend::Mode> Primitive::Blend::Mode::fromRawValue(
    std::string_view rawValue) {
  for (size_t i = 0; i < blendModeNames.size(); ++i) {
    if (blendModeNames[i].first == rawValue) return Mode(static_cast<Value>(i));
  }
  return std::nullopt;
}

namespace {

// The names of a mode; a value cast from outside the enumeration reads as normal.
const std::pair<std::string_view, std::string_view>& names(Primitive::Blend::Mode mode) {
  const auto index = static_cast<size_t>(static_cast<Primitive::Blend::Mode::Value>(mode));
  return blendModeNames[index < blendModeNames.size() ? index : 0];
}

}  // namespace

std::string_view Primitive::Blend::Mode::rawValue() const { return names(*this).first; }

std::string_view Primitive::Blend::Mode::caseName() const { return names(*this).second; }

Primitive::Attributes Primitive::attributes() const {
  const Attributes* attributes = payloadAttributes(value_);
  return attributes ? *attributes : Attributes{};
}

std::optional<std::string> Primitive::result() const {
  const Attributes* attributes = payloadAttributes(value_);
  return attributes ? attributes->result : std::nullopt;
}

std::optional<FilterInput> Primitive::input() const {
  return std::visit(
      [](const auto& c) -> std::optional<FilterInput> {
        if constexpr (requires { c.input; }) {
          return c.input;
        } else {
          return std::nullopt;
        }
      },
      value_);
}

namespace {

struct PrimitiveText {
  std::string operator()(const Primitive::Merge& c) const {
    std::string text = "<Merge:" + c.attributes.description() + " [";
    for (size_t i = 0; i < c.inputs.size(); ++i) text += (i ? ", " : "") + c.inputs[i].description();
    return text + "]>";
  }
  std::string operator()(const Primitive::Blur& c) const {
    return "<Blur:" + c.attributes.description() + " " + c.input.description() + "| " +
           SVGParser::doubleDescription(c.standardDeviation) + ">";
  }
  std::string operator()(const Primitive::Blend& c) const {
    return "<Blend:" + c.attributes.description() + " " + c.input.description() + "|" +
           c.input2.description() + " " + c.mode.description() + ">";
  }
  std::string operator()(const Primitive::Offset& c) const {
    return "<Offset:" + c.attributes.description() + " " + c.input.description() + "| " +
           SVGParser::doubleDescription(c.dx) + "," + SVGParser::doubleDescription(c.dy) + ">";
  }
  std::string operator()(const Primitive::DropShadow& c) const {
    return "<Shadow:" + c.attributes.description() + " " + c.input.description() + "| " +
           SVGParser::doubleDescription(c.dx) + "," + SVGParser::doubleDescription(c.dy) + " " + c.color.description() +
           "/" + SVGParser::doubleDescription(c.opacity.value_or(1.0)) + " " +
           SVGParser::doubleDescription(c.standardDeviation) + ">";
  }
  std::string operator()(const auto&) const { return "<OTHER-FILTER-PRIMITIVE>"; }
};

}  // namespace

std::string Primitive::description() const {
  return std::visit(PrimitiveText{}, value_);
}

std::string Filter::description() const {
  std::string text = "<Filter:";
  if (core.id) text += " id=" + *core.id;
  if (primitives.empty()) {
    text += " EMPTY";
  } else if (primitives.size() == 1) {
    text += " " + primitives.front().description();
  } else {
    text += " [";
    for (size_t i = 0; i < primitives.size(); ++i) {
      text += (i ? ", " : "") + primitives[i].description();
    }
    text += "]";
  }
  return text + ">";
}

bool onlyAffectsSourceGraphic(std::span<const Filter::Primitive> primitives) {
  for (const auto& primitive : primitives) {
    if (primitive.is<Primitive::Merge>()) return false;
    if (primitive.result()) return false;
  }
  return true;
}

}  // namespace SVG
