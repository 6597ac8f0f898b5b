// The attribute map of one element, keyed by attribute name as written.
#pragma once

#include <map>
#include <string>

namespace SVG {

using XMLAttributes = std::map<std::string, std::string, std::less<>>;

}  // namespace SVG

// The read-only view of an element's cascaded CSS (defined with the style sheet).
class CSSPropertyResolver;
