#pragma once
// Syntax check of Swift source text: parses it with the tree-sitter Swift
// grammar and reports the first place where the parser had to recover. The
// grammar accepts line breaks and tabs inside a single-line string literal
// and raw control characters, which the Swift compiler rejects; they are
// reported too.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace SwiftSyntaxCheck {

struct SyntaxProblem {
  std::size_t line = 0;    // 1-based
  std::size_t column = 0;  // 1-based, in bytes
  std::string message;     // "unexpected text", "missing )", ...

  // "LINE:COLUMN: MESSAGE".
  std::string description() const;
};

// The first problem of the source in document order (an ERROR or MISSING
// node, a raw control character, a line break or tab in a single-line
// string literal), or nothing when the text parses cleanly.
std::optional<SyntaxProblem> firstSyntaxProblem(std::string_view source);

// The line of `source` with the given 1-based number (without its newline),
// empty when there is no such line.
std::string sourceLine(std::string_view source, std::size_t line);

}  // namespace SwiftSyntaxCheck
