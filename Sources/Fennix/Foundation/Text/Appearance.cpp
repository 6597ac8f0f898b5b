#include "Fennix/Foundation/Text/Appearance.h"

#include "Fennix/console/Console.h"

namespace {

using Name = NSAppearance::Name;

struct NameEntry {
  Name name;
  const char* text;
};

constexpr NameEntry names[] = {
    {Name::aqua, "NSAppearanceNameAqua"},
    {Name::darkAqua, "NSAppearanceNameDarkAqua"},
    {Name::vibrantLight, "NSAppearanceNameVibrantLight"},
    {Name::vibrantDark, "NSAppearanceNameVibrantDark"},
    {Name::accessibilityHighContrastAqua, "NSAppearanceNameAccessibilityHighContrastAqua"},
    {Name::accessibilityHighContrastDarkAqua, "NSAppearanceNameAccessibilityHighContrastDarkAqua"},
    {Name::accessibilityHighContrastVibrantLight, "NSAppearanceNameAccessibilityHighContrastVibrantLight"},
    {Name::accessibilityHighContrastVibrantDark, "NSAppearanceNameAccessibilityHighContrastVibrantDark"},
};

bool isDarkName(Name name) {
  return name == Name::darkAqua || name == Name::vibrantDark || name == Name::accessibilityHighContrastDarkAqua ||
         name == Name::accessibilityHighContrastVibrantDark;
}

thread_local std::optional<NSAppearance> currentAppearance;

}  // namespace

std::optional<NSAppearance> NSAppearance::named(const std::string& name) {
  for (const auto& entry : names)
    if (name == entry.text) return NSAppearance{entry.name};
  return std::nullopt;
}

std::string NSAppearance::nameString() const {
  for (const auto& entry : names)
    if (entry.name == name) return entry.text;
  return "?";
}

bool NSAppearance::allowsVibrancy() const {
  return name == Name::vibrantLight || name == Name::vibrantDark ||
         name == Name::accessibilityHighContrastVibrantLight || name == Name::accessibilityHighContrastVibrantDark;
}

std::optional<NSAppearance::Name> NSAppearance::bestMatch(std::initializer_list<Name> candidates) const {
  // Every appearance matches the light or the dark family of looks.
  const bool dark = isDarkName(name);
  for (Name candidate : candidates) {
    if (candidate == name) return candidate;
  }
  for (Name candidate : candidates) {
    if (isDarkName(candidate) == dark && (candidate == Name::aqua || candidate == Name::darkAqua)) return candidate;
  }
  return std::nullopt;
}

bool NSAppearance::qvIsDarkMode() const { return bestMatch({Name::aqua, Name::darkAqua}) == Name::darkAqua; }

NSAppearance NSAppearance::qvNonVibrantVersion() const {
  if (!allowsVibrancy()) return *this;
  switch (name) {
    case Name::vibrantDark: return NSAppearance{Name::darkAqua};
    case Name::vibrantLight: return NSAppearance{Name::aqua};
    case Name::accessibilityHighContrastVibrantDark: return NSAppearance{Name::accessibilityHighContrastDarkAqua};
    case Name::accessibilityHighContrastVibrantLight: return NSAppearance{Name::accessibilityHighContrastAqua};
    default: break;
  }
  console::log("unknown appearance when trying to create non-vibrant:", nameString(), *this);
  return *this;
}

std::optional<NSAppearance> NSAppearance::current() { return currentAppearance; }
void NSAppearance::setCurrent(std::optional<NSAppearance> appearance) { currentAppearance = appearance; }

namespace Fennix {

NSAppearance appearanceFromSettings(bool preferDark, const std::string& themeName) {
  auto endsWith = [&](const std::string& suffix) {
    return themeName.size() >= suffix.size() &&
           themeName.compare(themeName.size() - suffix.size(), suffix.size(), suffix) == 0;
  };
  const bool dark = preferDark || endsWith("-dark") || endsWith(":dark") || endsWith("-Dark");
  return NSAppearance{dark ? NSAppearance::Name::darkAqua : NSAppearance::Name::aqua};
}

}  // namespace Fennix
