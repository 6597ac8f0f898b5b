#include "SVGConverter/SwiftUIModel/FilterModifierType.h"

#include "SVGConverter/SwiftUIModel/Overloaded.h"
#include "Platform/NumberText.h"

namespace SwiftUIModel {
namespace {

using FilterGroup = FilterModifierType::FilterGroup;

std::string pointText(CGPoint p) { return SVGParser::doubleDescription(p.x) + "," + SVGParser::doubleDescription(p.y); }
std::string sizeText(CGSize s) { return SVGParser::doubleDescription(s.width) + "x" + SVGParser::doubleDescription(s.height); }

std::string frameText(const std::optional<CGPoint>& origin, const std::optional<CGSize>& size) {
  std::string text;
  if (origin) text += " " + pointText(*origin);
  if (size) text += " " + sizeText(*size);
  return text;
}

}  // namespace

std::string FilterModifierType::Primitive::Operation::description() const {
  return std::visit(Overloaded{
                        [](const Blur& b) { return "blur(" + SVGParser::doubleDescription(b.radius) + ")"; },
                        [](const Offset& o) { return "offset(" + pointText(o.offset) + ")"; },
                        [](const Shadow& s) {
                          std::string text = "shadow(";
                          text += s.color ? s.color->description() : "default";
                          text += "/" + (s.opacity ? SVGParser::doubleDescription(*s.opacity) : std::string("default"));
                          text += " r=" + SVGParser::doubleDescription(s.radius);
                          if (s.position) text += " at " + pointText(*s.position);
                          return text + ")";
                        },
                    },
                    value_);
}

std::string FilterModifierType::Primitive::description() const {
  return "<" + operation.description() + frameText(origin, intrinsicSize) + ">";
}

FilterGroup::FilterGroup(Merge c) : node_(std::make_shared<const Variant>(std::move(c))) {}
FilterGroup::FilterGroup(Blend c) : node_(std::make_shared<const Variant>(std::move(c))) {}
FilterGroup::FilterGroup(Primitives c) : node_(std::make_shared<const Variant>(std::move(c))) {}
FilterGroup::FilterGroup(Source c) : node_(std::make_shared<const Variant>(c)) {}
FilterGroup::FilterGroup(SourceAlpha c) : node_(std::make_shared<const Variant>(c)) {}

FilterGroup FilterGroup::merge(std::vector<FilterGroup> groups) { return Merge{std::move(groups)}; }
FilterGroup FilterGroup::blend(FilterGroup input, FilterGroup input2, SVG::Filter::Primitive::Blend::Mode mode) {
  return Blend{std::move(input), std::move(input2), mode};
}
FilterGroup FilterGroup::primitive(FilterGroup input, std::vector<Primitive> primitives) {
  return Primitives{std::move(input), std::move(primitives)};
}
FilterGroup FilterGroup::source() { return Source{}; }
FilterGroup FilterGroup::sourceAlpha() { return SourceAlpha{}; }

bool FilterGroup::isEmpty() const {
  if (auto m = as<Merge>()) return m->groups.empty();
  if (auto p = as<Primitives>()) return p->primitives.empty() && p->input.isEmpty();
  return false;
}

bool FilterGroup::operator==(const FilterGroup& other) const {
  return node_ == other.node_ || *node_ == *other.node_;
}

std::string FilterGroup::description() const {
  return std::visit(Overloaded{
                        [](const Merge& m) {
                          std::string text = "merge[";
                          for (size_t i = 0; i < m.groups.size(); ++i) {
                            if (i > 0) text += ", ";
                            text += m.groups[i].description();
                          }
                          return text + "]";
                        },
                        [](const Blend& b) {
                          return "blend(" + b.input.description() + ", " + b.input2.description() + ", " +
                                 std::string(b.mode.rawValue()) + ")";
                        },
                        [](const Primitives& p) {
                          std::string text = "primitive(" + p.input.description() + ", [";
                          for (size_t i = 0; i < p.primitives.size(); ++i) {
                            if (i > 0) text += ", ";
                            text += p.primitives[i].description();
                          }
                          return text + "])";
                        },
                        [](const Source&) { return std::string("source"); },
                        [](const SourceAlpha&) { return std::string("sourceAlpha"); },
                    },
                    *node_);
}

std::string FilterModifierType::description() const {
  return "<FilterModifier '" + typeName + "'" + frameText(origin, intrinsicSize) + " " + filterGroup.description() +
         ">";
}

}  // namespace SwiftUIModel
