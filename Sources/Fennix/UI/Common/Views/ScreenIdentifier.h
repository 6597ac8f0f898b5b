// Stable text identifiers of screens (to remember window places per screen), and the state of the
// one shared preview window that a single call shows and hides.
#pragma once

#include <optional>
#include <string>

namespace Fennix {

/// What identifies a screen: whether it is the main one, its display number when it has one, and
/// the size of its frame.
struct ScreenDescription {
  bool isMain = false;
  std::optional<long long> displayID;
  double width = 0;
  double height = 0;
};

/// "MAIN" for the main screen; else "sid" and the display number in lower-case hexadecimal; else
/// "sz", the width, "x" and the height ("sz1440.0x900.0").
std::string screenIdentifier(const ScreenDescription& screen);

/// The shared preview window: made on first need, then shown and hidden.
class PreviewPanelState {
 public:
  bool exists() const { return exists_; }
  bool isVisible() const { return visible_; }
  /// Hides a visible panel; otherwise makes it when need be and shows it. Returns whether the
  /// panel is visible afterwards.
  bool toggle();

 private:
  bool exists_ = false;
  bool visible_ = false;
};

}  // namespace Fennix
