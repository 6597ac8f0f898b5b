// Building drawings for converter tests directly from model values.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "SVGConverter/ShapeShifter/SVGSwiftUIQuarvel.h"
#include "SVGParser/SVG/SVG.h"

namespace ConverterTest {

inline CSS::UnitLength n(double v) { return CSS::UnitLength::number(v); }
inline CSS::UnitLength pct(double v) { return CSS::UnitLength::percentage(v); }

inline SVG::CoreAttributes id(std::string value) { return SVG::CoreAttributes{std::move(value)}; }

inline SVG::PresentationAttributes fill(SVG::Paint paint) { return SVG::PresentationAttributes::fromFill(paint); }

inline SVG::Circle circle(double cx, double cy, double r, SVG::CoreAttributes core = {},
                          SVG::PresentationAttributes presentation = {}) {
  return SVG::Circle{.cx = n(cx), .cy = n(cy), .r = n(r), .core = std::move(core),
                     .presentation = std::move(presentation)};
}

inline SVG::Group group(std::vector<SVG::GroupItem> children, SVG::CoreAttributes core = {},
                        SVG::PresentationAttributes presentation = {}) {
  return SVG::Group{.core = std::move(core), .presentation = std::move(presentation),
                    .children = std::move(children)};
}

inline SVG::Path path(std::vector<SVG::Command> commands, SVG::CoreAttributes core = {},
                      SVG::PresentationAttributes presentation = {}) {
  return SVG::Path{.commands = std::move(commands), .core = std::move(core),
                   .presentation = std::move(presentation)};
}

inline SVG::LinearGradient linear(std::string gradientID, std::vector<SVG::GradientStop> stops = {},
                                  std::optional<std::string> templateID = std::nullopt) {
  return SVG::LinearGradient{.core = id(std::move(gradientID)), .stops = std::move(stops),
                             .templateGradientID = std::move(templateID)};
}

inline SVG::GradientStop stop(std::optional<CSS::Color> color, std::optional<double> opacity = std::nullopt,
                              std::optional<CSS::UnitLength> offset = std::nullopt) {
  return SVG::GradientStop{.color = std::move(color), .opacity = opacity, .offset = std::move(offset)};
}

/// Converts like the emitter does, with the default attributes at the bottom.
inline SwiftUIModel::ContainerViewType convert(const SVG::SVG& svg, const std::string& rootName = "") {
  return SVGSwiftUIQuarvel::shape(svg, rootName);
}

}  // namespace ConverterTest
