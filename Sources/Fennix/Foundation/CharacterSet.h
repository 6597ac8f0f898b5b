// Sets of Unicode scalars, as the text helpers test them one scalar at a time. A set is an
// immutable value; copies share one frozen table, which any thread may read.
#pragma once

#include <memory>
#include <string_view>

struct USet;

class CharacterSet {
 public:
  /// Spaces and tabs: the Unicode space separators and U+0009.
  static const CharacterSet& whitespaces();
  /// Line and paragraph ends: U+000A to U+000D, U+0085, U+2028 and U+2029.
  static const CharacterSet& newlines();
  static const CharacterSet& whitespacesAndNewlines();
  /// Everything but `whitespacesAndNewlines`; built once and shared.
  static const CharacterSet& nonWhitespacesAndNewlines();

  /// The scalars of a UTF-8 text (malformed bytes add nothing).
  static CharacterSet fromCharactersIn(std::string_view text);
  /// The scalars of a UTF-16 text (unpaired surrogates are taken as they are).
  static CharacterSet fromCharactersIn(std::u16string_view text);

  CharacterSet inverted() const;
  CharacterSet unioned(const CharacterSet& other) const;
  bool contains(char32_t scalar) const;

 private:
  explicit CharacterSet(USet* frozen);
  std::shared_ptr<const USet> set_;
};
