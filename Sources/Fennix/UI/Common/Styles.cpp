#include "Fennix/UI/Common/Styles.h"

namespace QvStyles {

namespace {

std::shared_ptr<Label> makeLabel(NSFontPtr font, std::optional<NSTextAlignment> align,
                                 std::optional<NSColor> color) {
  auto label = std::make_shared<Label>();
  label->font = std::move(font);
  label->align = align;
  label->color = color;
  return label;
}

}  // namespace

std::shared_ptr<Label> Label::fromSystemFontAdjustingSize(double adjustment,
                                                          std::optional<NSTextAlignment> align) {
  return makeLabel(NSFont::systemFont(NSFont::systemFontSize() + adjustment), align, std::nullopt);
}

std::shared_ptr<Label> Label::fromLabelFontAdjustingSize(double adjustment,
                                                         std::optional<NSTextAlignment> align) {
  return makeLabel(NSFont::labelFont(NSFont::systemFontSize() + adjustment), align, std::nullopt);
}

std::shared_ptr<Label> Label::fromSize(SystemFontSize size, double diff,
                                       std::optional<NSTextAlignment> align,
                                       std::optional<NSColor> color) {
  NSFontPtr font;
  switch (size) {
    case SystemFontSize::small:
      font = NSFont::systemFont(NSFont::smallSystemFontSize() + diff);
      break;
    case SystemFontSize::regular:
      font = NSFont::systemFont(NSFont::systemFontSize() + diff);
      break;
    case SystemFontSize::label:
      font = NSFont::labelFont(NSFont::labelFontSize() + diff);
      break;
  }
  return makeLabel(std::move(font), align, color);
}

}  // namespace QvStyles
