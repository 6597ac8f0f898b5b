#include "Fennix/UI/Common/Views/FactoryLogic.h"

#include <charconv>
#include <cmath>

namespace Fennix {

LabelLooks labelLooks(std::optional<NSTextAlignment> align, NSFontPtr font, std::optional<NSColor> color,
                      const QvStyles::Label* style) {
  LabelLooks looks;
  if (font) {
    looks.font = std::move(font);
  } else if (style) {
    looks.font = style->font;
  }
  if (color) {
    looks.color = color;
  } else if (style) {
    looks.color = style->color;
  }
  if (align) {
    looks.align = *align;
  } else if (style && style->align) {
    looks.align = *style->align;
  }
  return looks;
}

std::optional<GridSize> gridSize(std::optional<int> columns, std::optional<int> rows) {
  if (!columns || !rows || *columns < 0 || *rows < 0) return std::nullopt;
  return GridSize{*columns, *rows};
}

PadderPlan padderPlan(LayoutItem view, std::optional<double> v, std::optional<double> h, bool expands) {
  PadderPlan plan;
  auto add = [&](NSLayoutAttribute attribute, double size, std::optional<NSLayoutPriority>& hugging) {
    if (!expands) {
      plan.constraints.push_back(
          NSLayoutConstraint::make(view, attribute, NSLayoutRelation::equal, 1, size));
      return;
    }
    plan.constraints.push_back(
        NSLayoutConstraint::make(view, attribute, NSLayoutRelation::greaterThanOrEqual, 1, size));
    auto wanted = NSLayoutConstraint::make(view, attribute, NSLayoutRelation::equal, 1, size);
    wanted->setPriority(1);
    plan.constraints.push_back(wanted);
    hugging = 50;
  };
  if (v) add(NSLayoutAttribute::height, *v, plan.verticalHugging);
  if (h) add(NSLayoutAttribute::width, *h, plan.horizontalHugging);
  return plan;
}

std::string doubleText(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string text(buffer, result.ptr);
  if (text.find_first_of(".e") == std::string::npos) text += ".0";
  return text;
}

}  // namespace Fennix
