// Style records of the view kit.
#pragma once

#include <memory>
#include <optional>

#include "Fennix/Foundation/Text/Color.h"
#include "Fennix/Foundation/Text/Font.h"

enum class NSTextAlignment { left, right, center, justified, natural };

namespace QvStyles {

/// The style of a text label: alignment, font and colour, each optional.
class Label {
 public:
  enum class SystemFontSize { small, regular, label };

  std::optional<NSTextAlignment> align;
  NSFontPtr font;
  std::optional<NSColor> color;

  Label() = default;

  /// The system font at the system font size plus `adjustment`.
  static std::shared_ptr<Label> fromSystemFontAdjustingSize(double adjustment,
                                                            std::optional<NSTextAlignment> align);
  /// The label font at the system font size (not the label font size) plus `adjustment`.
  static std::shared_ptr<Label> fromLabelFontAdjustingSize(double adjustment,
                                                           std::optional<NSTextAlignment> align);
  /// A font of one of the standard sizes plus `diff`: the system font for `small` and `regular`,
  /// the label font for `label`.
  static std::shared_ptr<Label> fromSize(SystemFontSize size, double diff,
                                         std::optional<NSTextAlignment> align,
                                         std::optional<NSColor> color);
};

}  // namespace QvStyles
