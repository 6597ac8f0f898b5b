// The one place the document reaches the generator: parse SVG text, convert and
// emit it as SwiftUI source.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "SVGQuarvel/Model/SVGQuarvelConfiguration.h"

namespace generation {

/// The SwiftUI source of `svgString` with the exporter options of `config`, without any SVG
/// comment; none when the text does not parse. A generator failure (an exception) is logged as
/// an error and also gives none. The generation stops once the code passes `maximumBytes` (at
/// most `outputLimit` of the text): none then, with `limitReached` set and nothing logged.
std::optional<std::string> swiftUISource(std::string_view svgString, const SVGQuarvelConfiguration& config,
                                         std::size_t maximumBytes, bool& limitReached);

/// Most bytes of Swift generated for SVG text of `svgBytes` bytes: 100 times the text, at least
/// 64 MiB. Ordinary drawings give a few times their size; only text that refers to the same large
/// definitions over and over comes near, and its generation stops there with an error line
/// instead of taking gigabytes and seconds on every keystroke.
std::size_t outputLimit(std::size_t svgBytes);

}  // namespace generation
