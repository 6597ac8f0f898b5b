#pragma once

#include <string>

namespace SVGParser {

/// A new random UUID as upper-case hexadecimal in the 8-4-4-4-12 form.
std::string newUUIDString();

}  // namespace SVGParser
