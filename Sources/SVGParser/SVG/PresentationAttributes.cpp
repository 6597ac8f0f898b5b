#include "SVGParser/SVG/PresentationAttributes.h"

#include "Platform/NumberText.h"

namespace SVG {

PresentationAttributes PresentationAttributes::fromFill(std::optional<Paint> fill) {
  PresentationAttributes attributes;
  attributes.fill = std::move(fill);
  return attributes;
}

namespace {

template <typename T>
void takeIfUnset(std::optional<T>& own, const std::optional<T>& parent) {
  if (!own) own = parent;
}

template <typename T>
void takeIfInherit(Inheritable<T>& own, const Inheritable<T>& parent) {
  if (own.template is<typename Inheritable<T>::Inherit>()) own = parent;
}

}  // namespace

void PresentationAttributes::merge(const PresentationAttributes& other) {
  takeIfUnset(opacity, other.opacity);
  takeIfUnset(fillOpacity, other.fillOpacity);
  takeIfUnset(strokeOpacity, other.strokeOpacity);
  takeIfUnset(strokeWidth, other.strokeWidth);
  takeIfUnset(fill, other.fill);
  takeIfUnset(strokeMiterLimit, other.strokeMiterLimit);
  takeIfUnset(stroke, other.stroke);
  takeIfInherit(fillRule, other.fillRule);
  takeIfInherit(clipRule, other.clipRule);
  takeIfUnset(strokeLineCap, other.strokeLineCap);
  takeIfUnset(strokeLineJoin, other.strokeLineJoin);
  takeIfInherit(filter, other.filter);
}

PresentationAttributes PresentationAttributes::merged(const PresentationAttributes& other) const {
  PresentationAttributes copy = *this;
  copy.merge(other);
  return copy;
}

bool PresentationAttributes::needsFill() const { return fill && !fill->is<Paint::None>(); }

bool PresentationAttributes::needsStroke() const { return stroke && !stroke->is<Paint::None>(); }

std::string PresentationAttributes::description() const {
  std::string text = "<Presentation:";
  if (fillOpacity) text += " fillOpacity=" + SVGParser::doubleDescription(*fillOpacity);
  if (strokeOpacity) text += " strokeOpacity=" + SVGParser::doubleDescription(*strokeOpacity);
  if (strokeWidth) text += " strokeWidth=" + strokeWidth->description();
  if (fill) text += " fill=" + fill->description();
  if (stroke) text += " stroke=" + stroke->description();
  if (strokeLineCap) text += " lineCap=" + valueDescription(*strokeLineCap);
  if (strokeLineJoin) text += " lineJoin=" + valueDescription(*strokeLineJoin);
  if (const std::string* reference = filter.value()) {
    text += " filter=" + *reference;
  } else if (filter.is<Inheritable<std::string>::Inherit>()) {
    text += " filter=inherit";
  }
  return text + ">";
}

}  // namespace SVG
