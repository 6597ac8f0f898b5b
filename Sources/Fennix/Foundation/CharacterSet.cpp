#include "Fennix/Foundation/CharacterSet.h"

#include <cstdio>
#include <cstdlib>

#include <unicode/uset.h>
#include <unicode/ustring.h>

namespace {

USet* openPattern(const char16_t* pattern) {
  UErrorCode status = U_ZERO_ERROR;
  USet* set = uset_openPattern(pattern, -1, &status);
  if (U_FAILURE(status)) {
    std::fprintf(stderr, "Fatal error: CharacterSet: built-in pattern rejected (%s)\n", u_errorName(status));
    std::abort();
  }
  return set;
}

}  // namespace

CharacterSet::CharacterSet(USet* frozen) {
  uset_freeze(frozen);
  set_ = std::shared_ptr<const USet>(frozen, [](const USet* set) { uset_close(const_cast<USet*>(set)); });
}

// The shared sets are never destroyed: work on threads that outlive main() may still use them.
const CharacterSet& CharacterSet::whitespaces() {
  static const CharacterSet& set = *new const CharacterSet(openPattern(u"[\\p{Zs}\\u0009]"));
  return set;
}

const CharacterSet& CharacterSet::newlines() {
  static const CharacterSet& set = *new const CharacterSet(openPattern(u"[\\u000A-\\u000D\\u0085\\u2028\\u2029]"));
  return set;
}

const CharacterSet& CharacterSet::whitespacesAndNewlines() {
  static const CharacterSet& set = *new const CharacterSet(whitespaces().unioned(newlines()));
  return set;
}

const CharacterSet& CharacterSet::nonWhitespacesAndNewlines() {
  static const CharacterSet& set = *new const CharacterSet(whitespacesAndNewlines().inverted());
  return set;
}

CharacterSet CharacterSet::fromCharactersIn(std::string_view text) {
  USet* set = uset_openEmpty();
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  const int32_t length = static_cast<int32_t>(std::min<std::size_t>(text.size(), INT32_MAX));
  for (int32_t i = 0; i < length;) {
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    if (c >= 0) uset_add(set, c);
  }
  return CharacterSet(set);
}

CharacterSet CharacterSet::fromCharactersIn(std::u16string_view text) {
  USet* set = uset_openEmpty();
  const int32_t length = static_cast<int32_t>(std::min<std::size_t>(text.size(), INT32_MAX));
  for (int32_t i = 0; i < length;) {
    UChar32 c;
    U16_NEXT(text.data(), i, length, c);
    uset_add(set, c);
  }
  return CharacterSet(set);
}

CharacterSet CharacterSet::inverted() const {
  USet* copy = uset_cloneAsThawed(set_.get());
  uset_complement(copy);
  return CharacterSet(copy);
}

CharacterSet CharacterSet::unioned(const CharacterSet& other) const {
  USet* copy = uset_cloneAsThawed(set_.get());
  uset_addAll(copy, other.set_.get());
  return CharacterSet(copy);
}

bool CharacterSet::contains(char32_t scalar) const {
  return scalar <= 0x10FFFF && uset_contains(set_.get(), static_cast<UChar32>(scalar));
}
