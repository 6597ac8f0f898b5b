// Readers of the painting properties: line caps, joins and fill rules from text
// and from cascaded CSS, and CSS opacities. The attribute set itself is read by
// `SVG::PresentationAttributes::fromXMLAttributes`.
#pragma once

#include <optional>
#include <string_view>

#include "Platform/Geometry.h"
#include "SVGParser/SVG/Inheritable.h"

namespace CSS {
class Value;
}

namespace SVG {

/// "butt", "round" or "square" (exact).
std::optional<CGLineCap> lineCapFromStringValue(std::optional<std::string_view> text);
/// "miter" or "miter-clip", "round", "bevel" (exact).
std::optional<CGLineJoin> lineJoinFromStringValue(std::optional<std::string_view> text);
/// "evenodd" or "nonzero" (exact).
std::optional<CGPathFillRule> fillRuleFromStringValue(std::optional<std::string_view> text);
/// "inherit", a fill rule, or `none` for anything else.
Inheritable<CGPathFillRule> inheritableFillRuleFromStringValue(std::optional<std::string_view> text);

/// A line cap from an identifier value.
std::optional<CGLineCap> lineCapFromCSS(const std::optional<::CSS::Value>& css);
/// A line join from an identifier value.
std::optional<CGLineJoin> lineJoinFromCSS(const std::optional<::CSS::Value>& css);

}  // namespace SVG

namespace SVGParser {

/// A CSS opacity as a percentage: a number x gives x * 100, a percentage p gives p.
std::optional<CGFloat> parseOpacity(const std::optional<::CSS::Value>& css);

}  // namespace SVGParser
