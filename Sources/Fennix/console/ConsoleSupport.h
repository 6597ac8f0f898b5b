// Small text and output helpers shared by the logging code.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace consolesupport {

/// Writes the line and a line feed to the process's standard output through
/// C standard I/O, bypassing every logger (the plain print facility).
void printLine(std::string_view line);

/// Lower-/upper-case form of UTF-8 text (ASCII only when the text is not valid UTF-8).
std::string lowercased(std::string_view text);
std::string uppercased(std::string_view text);

/// The text without leading and trailing white space and line breaks.
std::string trimmed(std::string_view text);

}  // namespace consolesupport
