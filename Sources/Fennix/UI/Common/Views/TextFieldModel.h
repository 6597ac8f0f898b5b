// The arithmetic and text edits of the kit's text fields: where a cell places its text, and
// links in a field's attributed text.
#pragma once

#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "Fennix/Foundation/Text/AttributedString.h"
#include "Platform/Geometry.h"

enum class NSTextBlockVerticalAlignment : int { top = 0, middle = 1, bottom = 2, baseline = 3 };

/// The location of a range that was not found.
inline constexpr std::size_t NSNotFound = std::numeric_limits<std::size_t>::max() >> 1;

namespace Fennix {

/// Where a cell draws its text inside `platformRect` (cell coordinates: y grows downward) when
/// the text needs `cellHeight`: at the top, in the middle or at the bottom. While editing or
/// selecting, or when the text fills the cell, `platformRect` itself. A baseline alignment is
/// reported on standard output and ignored.
CGRect drawingRect(const CGRect& platformRect, double cellHeight, NSTextBlockVerticalAlignment alignment,
                   bool isEditingOrSelecting);

/// The text of a field and its links, each over a range of the text (UTF-16 units).
struct LinkedText {
  struct URL {
    std::string absoluteString;
  };
  /// A link is a URL, a plain text, or another kind of value (skipped by `clickableLink`).
  using LinkValue = std::variant<URL, std::string, std::monostate>;
  struct Link {
    NSRange range;
    LinkValue value;
  };

  AttributedString text;
  std::vector<Link> links;  // in text order, never overlapping
};

/// Gives the range exactly three attributes: the colour, a single underline and a link to `url`.
/// Nothing happens for a range at NSNotFound, shorter than 1 or past the end, or for a text that
/// is no valid URL (reported on the default console).
void makeClickable(LinkedText& field, NSRange range, const std::string& url, const NSColor& color);
/// The same for the first occurrence of `string`; nothing when it does not occur.
void makeClickable(LinkedText& field, const std::string& string, const std::string& url, const NSColor& color);
/// The first link with a text or URL value.
std::optional<std::string> clickableLink(const LinkedText& field);

/// Whether a text is a URL with a scheme.
bool isValidURL(const std::string& text);

}  // namespace Fennix
