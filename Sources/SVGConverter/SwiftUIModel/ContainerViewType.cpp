#include "SVGConverter/SwiftUIModel/ContainerViewType.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "SVGConverter/SwiftUIModel/Overloaded.h"
#include "Platform/NumberText.h"
#include "Platform/Print.h"

namespace SwiftUIModel {

const std::string& Definition::id() const {
  return std::visit(Overloaded{
                        [](const LinearGradient& g) -> const std::string& { return g.value.propertyID; },
                        [](const RadialGradient& g) -> const std::string& { return g.value.propertyID; },
                        [](const FilterModifier& f) -> const std::string& { return f.value.typeName; },
                    },
                    value_);
}

std::string Definition::description() const {
  auto stopsText = [](const std::vector<GradientStop>& stops) {
    std::string text;
    for (const GradientStop& stop : stops) {
      text += " " + stop.color.description();
      if (stop.opacity) text += "/" + SVGParser::doubleDescription(*stop.opacity);
      text += "@" + SVGParser::doubleDescription(stop.offset);
    }
    return text;
  };
  auto point = [](CGPoint p) { return SVGParser::doubleDescription(p.x) + "," + SVGParser::doubleDescription(p.y); };
  return std::visit(Overloaded{
                        [&](const LinearGradient& g) {
                          return "<LinearGradient '" + g.value.propertyID + "' " + point(g.value.startPoint) +
                                 "->" + point(g.value.endPoint) + stopsText(g.value.stops) + ">";
                        },
                        [&](const RadialGradient& g) {
                          return "<RadialGradient '" + g.value.propertyID + "' " + point(g.value.center) +
                                 " r=" + SVGParser::doubleDescription(g.value.startRadius) + "->" +
                                 SVGParser::doubleDescription(g.value.endRadius) +
                                 (g.value.radiiRelativeToShape ? " of the shape" : "") + stopsText(g.value.stops) + ">";
                        },
                        [](const FilterModifier& f) { return f.value.description(); },
                    },
                    value_);
}

ContainerViewType::ContainerViewType(std::string name, std::optional<CGPoint> position,
                                     std::optional<CGSize> size, std::optional<CGRect> box,
                                     Resizable resizableSize, std::vector<Subview> children,
                                     std::vector<Definition> containerDefinitions,
                                     std::optional<FilterModifierType> filter, std::vector<TransformStep> steps)
    : resizable(resizableSize),
      childTypes(std::move(children)),
      definitions(std::move(containerDefinitions)),
      filterModifier(std::move(filter)),
      transform(std::move(steps)) {
  typeName = std::move(name);
  origin = position;
  intrinsicSize = size;
  viewBox = box;
}

std::string ContainerViewType::propertiesDescription() const {
  std::string text;
  if (intrinsicSize) text += " " + SVGParser::doubleDescription(intrinsicSize->width) + "x" + SVGParser::doubleDescription(intrinsicSize->height);
  if (viewBox) {
    text += " vbox=" + SVGParser::doubleDescription(viewBox->origin.x) + "," + SVGParser::doubleDescription(viewBox->origin.y) + " " +
            SVGParser::doubleDescription(viewBox->size.width) + "x" + SVGParser::doubleDescription(viewBox->size.height);
  }
  if (childTypes.empty()) text += " EMPTY";
  return text;
}

std::string ContainerViewType::description() const {
  std::string text = "<Container '" + typeName + "':" + propertiesDescription();
  if (!childTypes.empty()) {
    text += " [";
    for (size_t i = 0; i < childTypes.size(); ++i) {
      if (i > 0) text += ", ";
      text += childTypes[i].description();
    }
    text += "]";
  }
  return text + ">";
}

void ContainerViewType::dump(int indent) const {
  std::string pad;
  for (int i = 0; i < indent; ++i) pad += "  ";
  SVGParser::printLine(pad + "Container '" + typeName + "':" + " " + propertiesDescription());
  for (const Subview& child : childTypes) {
    if (auto g = child.as<Subview::Group>()) {
      g->value.dump(indent + 1);
    } else if (auto s = child.as<Subview::SVG>()) {
      s->value.dump(indent + 1);
    } else if (auto t = child.as<Subview::Text>()) {
      SVGParser::printLine(pad + "  " + t->value.description());
    } else {
      SVGParser::printLine(pad + "  " + child.description());
    }
  }
  SVGParser::printLine(pad + "--");
}

const std::string& Subview::typeName() const {
  static const auto& empty = *new const std::string();
  if (is<Text>()) return empty;
  return view().typeName;
}

const SUIViewType& Subview::view() const {
  return std::visit(Overloaded{
                        [](const Text&) -> const SUIViewType& {
                          std::fputs("fatal: Call of `view` on Text\n", stderr);
                          std::abort();
                        },
                        [](const auto& c) -> const SUIViewType& { return c.value; },
                    },
                    value_);
}

const SUIViewBoxableType* Subview::boxable() const {
  const SUIViewType& v = view();
  (void)v;
  if (auto g = as<Group>()) return &g->value;
  if (auto s = as<SVG>()) return &s->value;
  return nullptr;
}

std::optional<SUIFramableView> Subview::framable() const {
  return std::visit(Overloaded{
                        [](const Text&) -> std::optional<SUIFramableView> { return std::nullopt; },
                        [](const auto& c) -> std::optional<SUIFramableView> {
                          SUIFramableView frame;
                          frame.intrinsicSize = c.value.intrinsicSize;
                          frame.origin = c.value.origin;
                          return frame;
                        },
                    },
                    value_);
}

std::string Subview::description() const {
  return std::visit(Overloaded{
                        [](const Text& t) { return "Text(" + t.value.description() + ")"; },
                        [](const Group& g) { return "Group(" + g.value.description() + ")"; },
                        [](const SVG& s) { return "SVG(" + s.value.description() + ")"; },
                        [](const auto& c) { return c.value.description(); },
                    },
                    value_);
}

}  // namespace SwiftUIModel
