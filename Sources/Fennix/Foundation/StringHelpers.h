// Text helpers: character-set tests and trimming by Unicode scalar, ISO Latin 1 test,
// conversion of UTF-16 ranges into ranges of UTF-8 text, line ranges of UTF-16 text and a
// tokenizer that cuts a text into the matches of an expression and the plain pieces between.
//
// UTF-8 texts (`std::string_view`) stand for the language's strings, UTF-16 texts
// (`std::u16string_view`) for the platform's strings; ranges count UTF-16 code units.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Fennix/Foundation/CharacterSet.h"
#include "Fennix/Foundation/RegularExpression.h"
#include "Fennix/Foundation/Text/AttributedString.h"

namespace Fennix {

/// True when at least one scalar of `text` lies in `set`; an empty text is false. Malformed
/// UTF-8 counts as U+FFFD.
bool containsCharacters(std::string_view text, const CharacterSet& of);
bool containsCharacters(std::u16string_view text, const CharacterSet& of);
inline bool contains(std::string_view text, const CharacterSet& characterFrom) {
  return containsCharacters(text, characterFrom);
}

/// `text` without the leading (trailing) scalars that lie in `set`. Malformed bytes are never
/// trimmed and end the scan.
std::string trimmingPrefixCharacters(std::string_view text, const CharacterSet& in);
std::string trimmingSuffixCharacters(std::string_view text, const CharacterSet& in);

/// True when every scalar of `text` is at most U+00FF (malformed UTF-8 is not).
bool isISOLatin1(std::string_view text);

/// The part of `text` that a UTF-16 range covers; none when the range reaches past the text or
/// one of its ends falls inside a character of two UTF-16 units.
std::optional<std::string> substring(std::string_view text, NSRange range);

/// The range of the lines that `range` touches, line terminators included. Lines end at the
/// newline characters, LF, VT, FF, CR, CRLF, NEL, U+2028 and U+2029, here and in `lineRanges` and
/// `rangeOfLine` alike. A range reaching past the text is cut at its end.
NSRange lineRange(std::u16string_view text, NSRange range);

/// The ranges of the lines that `range` touches, terminators excluded. A CR LF pair ends one
/// line; an empty line between two terminators gives an empty range; a text that ends with a
/// terminator has no further empty line.
std::vector<NSRange> lineRanges(std::u16string_view text, NSRange range);

/// The range of the line numbered `line` (from 1), terminator included, or none.
std::optional<NSRange> rangeOfLine(std::u16string_view text, long line);

/// One piece of a tokenized text.
struct Token {
  enum class Kind { text, match };
  Kind kind = Kind::text;
  std::string text;
  bool operator==(const Token& other) const = default;
};

/// The pieces of `text` in order: the matches of `expression` (empty ones too) and the plain
/// pieces between them. With `omitEmpty`, empty plain pieces are left out. A match whose range
/// would split a character of two UTF-16 units is skipped.
std::vector<Token> tokenize(std::string_view text, const NSRegularExpression& using_, bool omitEmpty);

}  // namespace Fennix
