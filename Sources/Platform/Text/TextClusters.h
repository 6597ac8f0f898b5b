// Counting user-perceived characters (grapheme clusters) in UTF-8 text.
#pragma once

#include <cstddef>
#include <string_view>

namespace QuarvelText {

/// The byte length of the first `count` user-perceived characters of `text`
/// (all of it when it has fewer). Never cuts inside a character.
std::size_t prefixOfCharacters(std::string_view text, std::size_t count);

}  // namespace QuarvelText
