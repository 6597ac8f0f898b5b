// highlight.js output to attributed text: the source text with its special characters written
// as character references, and runs wrapped in <span class="..."> elements naming the token.
#pragma once

#include <optional>
#include <string_view>

#include "Fennix/Foundation/Text/AttributedString.h"
#include "Highlight/HighlightJSTheme.h"

/// Each run of text is styled by `theme` for the spans open around it, then the character
/// references are decoded once. Empty HTML gives none. Markup outside the shape highlight.js
/// writes is taken as text: a "<" that opens no well-formed span tag, including one whose class
/// attribute is not closed, is text, and a closing tag with no span open is dropped.
std::optional<AttributedString> convertHTMLToAttributedString(std::string_view html, const HighlightJSTheme& theme);

/// The text with every character reference that names a character replaced by it, in one pass
/// (so "&amp;lt;" gives "&lt;"); a replacement takes the attributes of the first character it
/// replaces.
AttributedString decodingCharacterReferences(const AttributedString& text);
