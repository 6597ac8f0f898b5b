#include "SVGParser/SVG/SVG.h"

#include "Platform/UUID.h"

namespace SVG {

// MARK: Group

void Group::addElement(GroupItem item) { children.push_back(std::move(item)); }

std::string Group::description() const {
  std::string text = "<Group:";
  if (core.id) text += " id=" + *core.id;
  text += " #children=" + std::to_string(children.size());
  if (!style.isEmpty()) text += " style=" + style.description();
  return text + " " + presentation.description() + ">";
}

bool Group::operator==(const Group& other) const {
  return core == other.core && style == other.style && presentation == other.presentation &&
         children == other.children;
}

// MARK: GroupItem

GroupItem::GroupItem(SVG svg) : value_(Box<SVG>(std::move(svg))) {}
GroupItem::GroupItem(Group group) : value_(std::move(group)) {}
GroupItem::GroupItem(Path path) : value_(std::move(path)) {}
GroupItem::GroupItem(Circle circle) : value_(std::move(circle)) {}
GroupItem::GroupItem(Ellipse ellipse) : value_(std::move(ellipse)) {}
GroupItem::GroupItem(Rect rect) : value_(std::move(rect)) {}
GroupItem::GroupItem(Polygon polygon) : value_(std::move(polygon)) {}
GroupItem::GroupItem(Polyline polyline) : value_(std::move(polyline)) {}
GroupItem::GroupItem(Line line) : value_(std::move(line)) {}
GroupItem::GroupItem(Image image) : value_(std::move(image)) {}
GroupItem::GroupItem(Text text) : value_(std::move(text)) {}
GroupItem::GroupItem(const GroupItem& other) = default;
GroupItem::GroupItem(GroupItem&& other) noexcept = default;
GroupItem& GroupItem::operator=(const GroupItem& other) = default;
GroupItem& GroupItem::operator=(GroupItem&& other) noexcept = default;
GroupItem::~GroupItem() = default;

SVGElement GroupItem::element() const {
  return std::visit(
      [](const auto& payload) -> SVGElement {
        if constexpr (std::is_same_v<std::decay_t<decltype(payload)>, Box<SVG>>) {
          return SVGElement(payload.get());
        } else {
          return SVGElement(payload);
        }
      },
      value_);
}

std::string GroupItem::description() const {
  return std::visit(
      [](const auto& payload) {
        if constexpr (std::is_same_v<std::decay_t<decltype(payload)>, Box<SVG>>) {
          return payload.get().description();
        } else {
          return payload.description();
        }
      },
      value_);
}

bool GroupItem::operator==(const GroupItem& other) const { return value_ == other.value_; }

// MARK: Definition

const CoreAttributes& Definition::core() const {
  return std::visit([](const auto& payload) -> const CoreAttributes& { return payload.core; },
                    value_);
}

std::string Definition::id() const {
  const auto& id = core().id;
  return id ? *id : SVGParser::newUUIDString();
}

std::any Definition::object() const {
  return std::visit([](const auto& payload) { return std::any(payload); }, value_);
}

std::string Definition::description() const {
  return std::visit([](const auto& payload) { return payload.description(); }, value_);
}

const Definition* findDefinition(const std::vector<DefinitionEntry>& definitions,
                                 std::string_view id) {
  for (const auto& entry : definitions) {
    if (entry.id == id) return &entry.definition;
  }
  return nullptr;
}

// MARK: SVG

void SVG::addElement(GroupItem item) { children.push_back(std::move(item)); }

std::optional<UnitSize> SVG::intrinsicSize() const {
  if (!width || !height) return std::nullopt;
  return UnitSize{*width, *height};
}

std::string SVG::description() const {
  std::string text = "<SVG:";
  if (core.id) text += " id=" + *core.id;
  if (x) text += " x=" + x->description();
  if (y) text += " y=" + y->description();
  if (width) text += " width=" + width->description();
  if (height) text += " height=" + height->description();
  if (!style.isEmpty()) text += " style=" + style.description();
  return text + " " + presentation.description() + ">";
}

bool SVG::operator==(const SVG& other) const {
  return x == other.x && y == other.y && width == other.width && height == other.height &&
         viewBox == other.viewBox && core == other.core && style == other.style &&
         presentation == other.presentation && children == other.children &&
         definitions == other.definitions;
}

}  // namespace SVG
