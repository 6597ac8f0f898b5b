// Length readers beside `CSS::UnitLength::fromStringValue`.
#pragma once

#include <optional>
#include <string_view>

#include "SVGParser/CSS/UnitLength.h"
#include "SVGParser/SVG/Inheritable.h"

namespace CSS {

/// As `UnitLength::fromStringValue`, with "none" read silently as no length.
std::optional<UnitLength> optionalUnitLength(std::optional<std::string_view> text);

}  // namespace CSS

namespace SVG {

/// "inherit", "none" or a length; absent, empty and unreadable text give `none`.
Inheritable<CSS::UnitLength> inheritableUnitLength(std::optional<std::string_view> text);

}  // namespace SVG
