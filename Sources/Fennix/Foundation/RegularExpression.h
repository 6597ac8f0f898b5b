// Regular expressions over UTF-16 text: matches are reported as ranges of UTF-16 code units.
// An expression is compiled once and may be used from several threads at the same time.
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string_view>

#include "Fennix/Foundation/Text/AttributedString.h"

struct URegularExpression;

class NSRegularExpression {
 public:
  enum Options : unsigned {
    caseInsensitive = 1 << 0,
    allowCommentsAndWhitespace = 1 << 1,
    ignoreMetacharacters = 1 << 2,
    dotMatchesLineSeparators = 1 << 3,
    anchorsMatchLines = 1 << 4,
    useUnixLineSeparators = 1 << 5,
    useUnicodeWordBoundaries = 1 << 6,
  };

  /// Compiles `pattern` (UTF-8); an invalid pattern throws `std::invalid_argument` naming the
  /// fault and its offset in the pattern.
  explicit NSRegularExpression(std::string_view pattern, unsigned options = 0);

  const std::string& pattern() const { return pattern_; }

  /// Calls `block` with the overall range of each match in `range` of `text`, in order, until
  /// the block sets its stop flag. An expression that can match the empty string reports empty
  /// matches, moving on by one character after each. A range reaching past the text is cut at
  /// its end.
  void enumerateMatches(std::u16string_view text, NSRange range,
                        const std::function<void(NSRange match, bool& stop)>& block) const;

 private:
  std::string pattern_;
  std::shared_ptr<URegularExpression> compiled_;
};
