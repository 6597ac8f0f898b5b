// The export settings form as data: its three sections and the one control of every setting,
// with how each control reads and writes its field. The form's widgets are built from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "QuarvelUtilities/FormBlocks.h"
#include "SVGQuarvel/Model/SVGQuarvelConfiguration.h"

namespace SVGQuarvelViews {

struct SettingsControl {
  enum class Kind { text, toggle, picker, number };

  Kind kind = Kind::toggle;
  /// The row's label (shown with a colon); for the root view name, the caption below the field.
  std::string label;
  /// The control's own title (kept for accessibility, not drawn beside the label).
  std::string title;
  /// Placeholder of text and number fields.
  std::string placeholder;
  /// Picker items, in order.
  std::vector<std::string> items;
  /// Number rows: the stepper's range is 0...upperBound.
  std::int64_t upperBound = 0;

  std::function<std::string(const SVGQuarvelConfiguration&)> text;
  std::function<void(SVGQuarvelConfiguration&, std::string)> setText;
  std::function<bool(const SVGQuarvelConfiguration&)> isOn;
  std::function<void(SVGQuarvelConfiguration&, bool)> setOn;
  std::function<std::size_t(const SVGQuarvelConfiguration&)> selectedItem;
  std::function<void(SVGQuarvelConfiguration&, std::size_t)> selectItem;
  std::function<std::int64_t(const SVGQuarvelConfiguration&)> number;
  std::function<void(SVGQuarvelConfiguration&, std::int64_t)> setNumber;

  /// Number rows: a typed text as stored on commit, brought into the stepper's range; none when
  /// it is not a whole number (the field then keeps its value).
  std::optional<std::int64_t> committedNumber(std::string_view typed) const;
};

struct SettingsSection {
  std::string title;
  std::vector<SettingsControl> controls;
};

/// "Top Level View", "Code Generation" and "Indent", with their controls in order.
const std::vector<SettingsSection>& exportSettingsSections();

}  // namespace SVGQuarvelViews
