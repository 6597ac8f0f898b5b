// Appearances: light or dark looks of views, the vibrant variants and the high-contrast ones.
// The toolkit part reads a view's appearance from its settings (the dark preference and a theme
// name ending in "-dark"); drawing code reads the current appearance, a scoped value.
#pragma once

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>

struct NSAppearance {
  enum class Name {
    aqua,
    darkAqua,
    vibrantLight,
    vibrantDark,
    accessibilityHighContrastAqua,
    accessibilityHighContrastDarkAqua,
    accessibilityHighContrastVibrantLight,
    accessibilityHighContrastVibrantDark,
  };

  Name name = Name::aqua;

  /// The appearance of a name; none for a name this system does not know.
  static std::optional<NSAppearance> named(const std::string& name);
  /// "NSAppearanceNameAqua", ...
  std::string nameString() const;
  bool allowsVibrancy() const;
  /// The best match among `names`, in the order given; none when none matches.
  std::optional<Name> bestMatch(std::initializer_list<Name> names) const;

  /// Dark when the best match among aqua and darkAqua is darkAqua.
  bool qvIsDarkMode() const;
  /// The non-vibrant counterpart of a vibrant appearance; the appearance itself otherwise.
  NSAppearance qvNonVibrantVersion() const;

  /// The appearance drawing code works in; none outside a scope that set one.
  static std::optional<NSAppearance> current();
  static void setCurrent(std::optional<NSAppearance> appearance);

  /// "<NSAppearance: NSAppearanceNameAqua>".
  std::string description() const { return "<NSAppearance: " + nameString() + ">"; }

  bool operator==(const NSAppearance&) const = default;
};

namespace Fennix {

/// Runs `body` with `appearance` as the current appearance and puts the previous one (also none)
/// back afterwards, also when `body` throws.
template <typename Body>
auto withAppearance(const NSAppearance& appearance, Body&& body) -> decltype(body()) {
  struct Restore {
    std::optional<NSAppearance> saved = NSAppearance::current();
    ~Restore() { NSAppearance::setCurrent(saved); }
  } restore;
  NSAppearance::setCurrent(appearance);
  return body();
}

/// The appearance of toolkit settings: dark when dark looks are preferred or the theme's name
/// ends in "-dark" (or names a ":dark" variant).
NSAppearance appearanceFromSettings(bool preferDark, const std::string& themeName);

}  // namespace Fennix
