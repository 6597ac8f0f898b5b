// Turning SVG ids into Swift type and property names.
#pragma once

#include <string>
#include <string_view>

namespace SwiftIdentifier {

/// `text` as a valid Swift identifier: every character that cannot stand in
/// an identifier becomes "_", a "z" goes in front when the first character is
/// not a letter, the first character is upper-cased (`capitalize`) or
/// lower-cased, and a keyword gets a trailing "_". The empty text stays empty.
/// Applying it to its own result changes nothing.
std::string make(std::string_view text, bool capitalize);

inline std::string typeName(std::string_view text) { return make(text, true); }
inline std::string propertyName(std::string_view text) { return make(text, false); }

/// The name of the generated root view: `text` itself when Swift accepts it there as it is (an
/// identifier that is no reserved word and no name the generated code uses where the root's name
/// stands), otherwise `typeName(text)`.
std::string rootTypeName(std::string_view text);

/// Whether `name` is a word that Swift reserves (as an identifier or as the
/// name of a nested type), or a name the generated code itself uses for a
/// type it refers to or a member of its view types.
bool isReserved(std::string_view name);

}  // namespace SwiftIdentifier
