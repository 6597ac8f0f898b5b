#include "Fennix/Foundation/RegularExpression.h"

#include <algorithm>
#include <climits>
#include <string>

#include <unicode/uregex.h>

namespace {

void closeExpression(URegularExpression* expression) { uregex_close(expression); }

}  // namespace

NSRegularExpression::NSRegularExpression(std::string_view pattern, unsigned options) : pattern_(pattern) {
  uint32_t flags = 0;
  if (options & caseInsensitive) flags |= UREGEX_CASE_INSENSITIVE;
  if (options & allowCommentsAndWhitespace) flags |= UREGEX_COMMENTS;
  if (options & ignoreMetacharacters) flags |= UREGEX_LITERAL;
  if (options & dotMatchesLineSeparators) flags |= UREGEX_DOTALL;
  if (options & anchorsMatchLines) flags |= UREGEX_MULTILINE;
  if (options & useUnixLineSeparators) flags |= UREGEX_UNIX_LINES;
  if (options & useUnicodeWordBoundaries) flags |= UREGEX_UWORD;
  if (pattern.size() > INT32_MAX) throw std::invalid_argument("regular expression: pattern too long");
  UParseError where{};
  UErrorCode status = U_ZERO_ERROR;
  const std::u16string units = Fennix::utf16FromUTF8(pattern);
  URegularExpression* expression =
      uregex_open(units.data(), static_cast<int32_t>(units.size()), flags, &where, &status);
  if (U_FAILURE(status)) {
    if (expression != nullptr) uregex_close(expression);
    throw std::invalid_argument("regular expression: " + std::string(u_errorName(status)) + " at offset " +
                                std::to_string(where.offset) + " of \"" + pattern_ + "\"");
  }
  compiled_ = std::shared_ptr<URegularExpression>(expression, closeExpression);
}

void NSRegularExpression::enumerateMatches(std::u16string_view text, NSRange range,
                                           const std::function<void(NSRange, bool&)>& block) const {
  if (text.size() > INT32_MAX) return;
  const std::size_t start = std::min(range.location, text.size());
  const std::size_t end = start + std::min(range.length, text.size() - start);
  // A compiled expression keeps its matching state, so every walk uses a clone of its own.
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<URegularExpression, void (*)(URegularExpression*)> matcher(
      uregex_clone(compiled_.get(), &status), closeExpression);
  if (U_FAILURE(status)) return;
  static const char16_t empty[1] = {0};
  uregex_setText(matcher.get(), text.empty() ? empty : text.data(), static_cast<int32_t>(text.size()), &status);
  uregex_setRegion(matcher.get(), static_cast<int32_t>(start), static_cast<int32_t>(end), &status);
  if (U_FAILURE(status)) return;
  bool stop = false;
  while (!stop && uregex_findNext(matcher.get(), &status) && U_SUCCESS(status)) {
    const int32_t from = uregex_start(matcher.get(), 0, &status);
    const int32_t to = uregex_end(matcher.get(), 0, &status);
    if (U_FAILURE(status) || from < 0 || to < from) break;
    block(NSRange{std::size_t(from), std::size_t(to - from)}, stop);
  }
}
