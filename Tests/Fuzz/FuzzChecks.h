// What the checkers of the fuzz targets share: a rule whose breach ends the run as a finding, and
// text compared without regard to letter case.
#pragma once

#include <cctype>
#include <cstdlib>
#include <string>

namespace FuzzChecks {

/// Ends the run as a finding (an abort that libFuzzer records) when the rule does not hold.
inline void check(bool holds) {
  if (!holds) std::abort();
}

/// The text with its ASCII letters in lower case.
inline std::string lowercased(std::string text) {
  for (auto& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace FuzzChecks
