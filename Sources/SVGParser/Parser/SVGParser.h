// The parse driver: SVG text in, the drawing out.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "SVGParser/SVG/SVG.h"

/// Reads SVG text once, recording its events and collecting the style sheet text of
/// all `style` elements; the recorded events then build the drawing with the cascaded
/// CSS of every element. What cannot be used is reported and left out.
namespace SVGParser {

class SVGParser {
 public:
  SVGParser() = default;

  /// The drawing of the document's bytes; nothing when they are not well-formed XML or
  /// give no root `svg`. With `autowrapInSVG`, a document whose root element is not `svg`
  /// is read inside an `svg` element.
  static std::optional<SVG::SVG> parse(std::string_view data, bool autowrapInSVG = true);
  /// The same, calling `observer` with every element as it joins the drawing, a container once
  /// its content has joined it, and the element's depth (1 for the children of the root). What
  /// `observer` throws ends the read and is passed on.
  static std::optional<SVG::SVG> parse(std::string_view data, bool autowrapInSVG, const SVG::ElementObserver& observer);

  /// How deep `svg` and `g` elements may nest; deeper ones are left out with their
  /// content, so that walks over the finished tree stay shallow.
  static constexpr std::size_t maximumContainerDepth = 256;
};

}  // namespace SVGParser
