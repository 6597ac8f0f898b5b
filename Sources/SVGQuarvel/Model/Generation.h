// The one place the document reaches the generator: parse SVG text, convert and
// emit it as SwiftUI source.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "SVGQuarvel/Model/SVGQuarvelConfiguration.h"

namespace generation {

/// The SwiftUI source of `svgString` with the exporter options of `config`, without any SVG
/// comment; none when the text does not parse. A generator failure (an exception) is logged as
/// an error and also gives none.
std::optional<std::string> swiftUISource(std::string_view svgString, const SVGQuarvelConfiguration& config);

}  // namespace generation
