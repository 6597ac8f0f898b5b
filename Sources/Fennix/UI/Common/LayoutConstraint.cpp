#include "Fennix/UI/Common/LayoutConstraint.h"

#include <cmath>
#include <cstdio>
#include <mutex>

#include "Fennix/UI/Common/FatalError.h"
#include "Fennix/UI/Common/VisualFormat.h"
#include "Fennix/console/Console.h"

using Fennix::AnchorFamily;
using Fennix::LayoutItem;

const char* layoutAttributeName(NSLayoutAttribute attribute) {
  switch (attribute) {
    case NSLayoutAttribute::notAnAttribute: return "notAnAttribute";
    case NSLayoutAttribute::left: return "left";
    case NSLayoutAttribute::right: return "right";
    case NSLayoutAttribute::top: return "top";
    case NSLayoutAttribute::bottom: return "bottom";
    case NSLayoutAttribute::leading: return "leading";
    case NSLayoutAttribute::trailing: return "trailing";
    case NSLayoutAttribute::width: return "width";
    case NSLayoutAttribute::height: return "height";
    case NSLayoutAttribute::centerX: return "centerX";
    case NSLayoutAttribute::centerY: return "centerY";
    case NSLayoutAttribute::lastBaseline: return "lastBaseline";
    case NSLayoutAttribute::firstBaseline: return "firstBaseline";
  }
  return "?";
}

const char* layoutRelationName(NSLayoutRelation relation) {
  switch (relation) {
    case NSLayoutRelation::lessThanOrEqual: return "<=";
    case NSLayoutRelation::equal: return "==";
    case NSLayoutRelation::greaterThanOrEqual: return ">=";
  }
  return "?";
}

namespace Fennix {

AnchorFamily anchorFamily(NSLayoutAttribute attribute) {
  switch (attribute) {
    case NSLayoutAttribute::left:
    case NSLayoutAttribute::right:
    case NSLayoutAttribute::leading:
    case NSLayoutAttribute::trailing:
    case NSLayoutAttribute::centerX: return AnchorFamily::xAxis;
    case NSLayoutAttribute::top:
    case NSLayoutAttribute::bottom:
    case NSLayoutAttribute::centerY:
    case NSLayoutAttribute::lastBaseline:
    case NSLayoutAttribute::firstBaseline: return AnchorFamily::yAxis;
    case NSLayoutAttribute::width:
    case NSLayoutAttribute::height: return AnchorFamily::dimension;
    case NSLayoutAttribute::notAnAttribute: break;
  }
  return AnchorFamily::none;
}

namespace {

// Kept beyond the end of main: views destroyed late still reach their host.
std::shared_ptr<LayoutHost>& hostSlot() {
  static auto* host = new std::shared_ptr<LayoutHost>();
  return *host;
}

}  // namespace

void setLayoutHost(std::shared_ptr<LayoutHost> host) { hostSlot() = std::move(host); }
LayoutHost* layoutHost() { return hostSlot().get(); }

int constraintStrength(NSLayoutPriority priority) {
  constexpr int required = 1001001000;  // the solver's required strength
  if (!(priority < NSLayoutPriorityRequired)) return required;
  if (!(priority > 0)) return 1;
  // 999 → 999 000 000 stays below the solver's "strong" (1000 × 1 000 000) and so below required.
  return std::max(1, static_cast<int>(std::lround(static_cast<double>(priority) * 1000000.0)));
}

}  // namespace Fennix

// MARK: - Constraints

NSLayoutConstraint::NSLayoutConstraint(Token, LayoutItem firstItem, NSLayoutAttribute firstAttribute,
                                       NSLayoutRelation relation, LayoutItem secondItem,
                                       NSLayoutAttribute secondAttribute, double multiplier, double constant)
    : firstItem_(firstItem),
      firstAttribute_(firstAttribute),
      relation_(relation),
      secondItem_(secondItem),
      secondAttribute_(secondAttribute),
      multiplier_(multiplier),
      constant_(constant) {}

NSLayoutConstraintPtr NSLayoutConstraint::make(LayoutItem item, NSLayoutAttribute attribute, NSLayoutRelation relation,
                                               LayoutItem toItem, NSLayoutAttribute toAttribute, double multiplier,
                                               double constant) {
  if (!item) Fennix::fatalError("a constraint needs a first item");
  if (attribute == NSLayoutAttribute::notAnAttribute) Fennix::fatalError("a constraint needs a first attribute");
  if (!std::isfinite(multiplier) || !std::isfinite(constant))
    Fennix::fatalError("a constraint's multiplier and constant must be finite numbers");
  if (!toItem) {
    toAttribute = NSLayoutAttribute::notAnAttribute;
  } else if (toAttribute == NSLayoutAttribute::notAnAttribute) {
    Fennix::fatalError(std::string("a constraint of ") + layoutAttributeName(attribute) +
                       " to a second item needs a second attribute");
  }
  return std::make_shared<NSLayoutConstraint>(Token(), item, attribute, relation, toItem, toAttribute, multiplier,
                                              constant);
}

NSLayoutConstraintPtr NSLayoutConstraint::make(LayoutItem item, NSLayoutAttribute attribute, NSLayoutRelation relation,
                                               double multiplier, double constant) {
  return make(item, attribute, relation, LayoutItem(), NSLayoutAttribute::notAnAttribute, multiplier, constant);
}

void NSLayoutConstraint::setConstant(double constant) {
  if (!std::isfinite(constant)) Fennix::fatalError("a constraint's constant must be a finite number");
  if (constant == constant_) return;
  constant_ = constant;
  if (isActive_)
    if (auto* host = Fennix::layoutHost()) host->constraintChanged(*this);
}

void NSLayoutConstraint::setPriority(NSLayoutPriority priority) {
  if (!(priority > 0 && priority <= NSLayoutPriorityRequired))
    Fennix::fatalError("a constraint's priority must be greater than 0 and at most 1000, not " +
                       std::to_string(priority));
  if (priority == priority_) return;
  priority_ = priority;
  if (isActive_)
    if (auto* host = Fennix::layoutHost()) host->constraintChanged(*this);
}

void NSLayoutConstraint::setActive(bool active) {
  if (active)
    activate();
  else
    deactivate();
}

std::string NSLayoutConstraint::description() const {
  auto name = [](LayoutItem item) {
    if (auto* host = Fennix::layoutHost()) return host->describe(item);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%p", item.handle);
    return std::string(buffer);
  };
  std::string text = name(firstItem_) + "." + layoutAttributeName(firstAttribute_) + " " +
                     layoutRelationName(relation_) + " ";
  char number[64];
  if (secondItem_) {
    text += name(secondItem_) + "." + layoutAttributeName(secondAttribute_);
    if (multiplier_ != 1) {
      std::snprintf(number, sizeof number, " * %g", multiplier_);
      text += number;
    }
    if (constant_ != 0) {
      std::snprintf(number, sizeof number, " %c %g", constant_ < 0 ? '-' : '+', std::fabs(constant_));
      text += number;
    }
  } else {
    std::snprintf(number, sizeof number, "%g", constant_);
    text += number;
  }
  if (priority_ != NSLayoutPriorityRequired) {
    std::snprintf(number, sizeof number, " @%g", static_cast<double>(priority_));
    text += number;
  }
  return text;
}

const NSLayoutConstraintList& NSLayoutConstraint::activate(const NSLayoutConstraintList& constraints) {
  if (constraints.empty()) return constraints;
  if (auto* host = Fennix::layoutHost()) {
    host->activate(constraints);
  } else {
    for (const auto& constraint : constraints) constraint->markActive(true);
  }
  return constraints;
}

const NSLayoutConstraintList& NSLayoutConstraint::deactivate(const NSLayoutConstraintList& constraints) {
  if (constraints.empty()) return constraints;
  if (auto* host = Fennix::layoutHost()) {
    host->deactivate(constraints);
  } else {
    for (const auto& constraint : constraints) constraint->markActive(false);
  }
  return constraints;
}

NSLayoutConstraintList NSLayoutConstraint::activate() {
  NSLayoutConstraintList list{shared_from_this()};
  activate(list);
  return list;
}

NSLayoutConstraintList NSLayoutConstraint::deactivate() {
  NSLayoutConstraintList list{shared_from_this()};
  deactivate(list);
  return list;
}

NSLayoutConstraintPtr NSLayoutConstraint::qvEqualWidth(LayoutItem first, LayoutItem second) {
  return constrain(first, NSLayoutAttribute::width, NSLayoutRelation::equal, second, NSLayoutAttribute::width, 1, 0);
}

NSLayoutConstraintPtr NSLayoutConstraint::qvEqualHeight(LayoutItem first, LayoutItem second) {
  return constrain(first, NSLayoutAttribute::height, NSLayoutRelation::equal, second, NSLayoutAttribute::height, 1, 0);
}

NSLayoutConstraintPtr NSLayoutConstraint::qvBaseLine(LayoutItem first, LayoutItem second) {
  return constrain(first, NSLayoutAttribute::firstBaseline, NSLayoutRelation::equal, second,
                   NSLayoutAttribute::firstBaseline, 1, 0);
}

NSLayoutConstraintPtr NSLayoutConstraint::qvAspectRatio(LayoutItem view, double multiplier, NSLayoutPriority priority) {
  auto constraint = make(view, NSLayoutAttribute::height, NSLayoutRelation::equal, view, NSLayoutAttribute::width,
                         multiplier, 0);
  constraint->setPriority(priority);
  return constraint;
}

namespace {

// A stand-in view for measuring the spacings; only its address matters.
const char measuringView = 0;
const char measuringContainer = 0;

double measure(const char* format) {
  const LayoutItem view{&measuringView};
  auto result = Fennix::parseVisualFormat(format, {}, {{"view", view}}, [](LayoutItem) {
    return std::optional<LayoutItem>(LayoutItem{&measuringContainer});
  });
  if (result.constraints.empty()) Fennix::fatalError(std::string("no constraint for the format ") + format);
  return result.constraints.front()->constant();
}

}  // namespace

double NSLayoutConstraint::qvStandardConstantBetweenSiblings() {
  static const double value = measure("[view]-[view]");
  return value;
}

double NSLayoutConstraint::qvStandardConstantBetweenSuperview() {
  static const double value = measure("[view]-|");
  return value;
}

// MARK: - The constraint language

double constantOffset(const NSEdgeInsets& insets, NSLayoutAttribute attribute) {
  switch (attribute) {
    case NSLayoutAttribute::left:
    case NSLayoutAttribute::leading: return insets.left;
    case NSLayoutAttribute::right:
    case NSLayoutAttribute::trailing: return -insets.right;
    case NSLayoutAttribute::top:
    case NSLayoutAttribute::firstBaseline: return insets.top;
    case NSLayoutAttribute::bottom:
    case NSLayoutAttribute::lastBaseline: return -insets.bottom;
    case NSLayoutAttribute::width: return -(insets.left + insets.right);
    case NSLayoutAttribute::height: return -(insets.top + insets.bottom);
    case NSLayoutAttribute::centerX: return insets.left - insets.right;
    case NSLayoutAttribute::centerY: return insets.top - insets.bottom;
    case NSLayoutAttribute::notAnAttribute: return 0;
  }
  return 0;
}

namespace {

// A view controller or split-view item stands for its view.
LayoutItem baseItem(const QvConstraintItem& item) {
  if (auto* provider = std::get_if<const Fennix::LayoutItemProvider*>(&item.value)) {
    if (*provider) {
      LayoutItem resolved = (*provider)->layoutItem();
      if (resolved) return resolved;
    }
  } else if (auto* layoutItem = std::get_if<LayoutItem>(&item.value)) {
    if (*layoutItem) return *layoutItem;
  } else if (std::holds_alternative<double>(item.value)) {
    Fennix::fatalError("a number is no constraint item: did not specify base view");
  }
  Fennix::fatalError("did not specify base view");
}

// The item of the anchor builders: a view (or what stands for one), never a guide.
LayoutItem anchorView(const QvConstraintItem& item) {
  LayoutItem view = baseItem(item);
  if (!view.isView()) Fennix::fatalError("did not specify base view");
  return view;
}

std::optional<NSLayoutAnchor> anchorOf(NSLayoutAttribute attribute, LayoutItem item) {
  if (auto anchor = xAnchor(attribute, item)) return anchor;
  if (auto anchor = yAnchor(attribute, item)) return anchor;
  return dimension(attribute, item);
}

NSLayoutConstraintPtr anchorConstraint(const NSLayoutAnchor& own, NSLayoutRelation relation, const NSLayoutAnchor& to,
                                       double constant, std::optional<NSLayoutPriority> priority) {
  if (own.family() != to.family() || own.family() == AnchorFamily::none)
    Fennix::fatalError("layout dimensions do not match!");
  switch (relation) {
    case NSLayoutRelation::equal:
    case NSLayoutRelation::greaterThanOrEqual:
    case NSLayoutRelation::lessThanOrEqual: break;
    default: Fennix::fatalError("unexpected relation " + std::to_string(static_cast<int>(relation)));
  }
  auto constraint = NSLayoutConstraint::make(own.item, own.attribute, relation, to.item, to.attribute, 1, constant);
  if (priority) constraint->setPriority(*priority);
  return constraint;
}

bool isVerticalEdge(NSLayoutAttribute attribute) {
  return attribute == NSLayoutAttribute::top || attribute == NSLayoutAttribute::bottom;
}
bool isHorizontalEdge(NSLayoutAttribute attribute) {
  return attribute == NSLayoutAttribute::left || attribute == NSLayoutAttribute::right;
}

}  // namespace

std::optional<NSLayoutAnchor> xAnchor(NSLayoutAttribute attribute, LayoutItem item) {
  if (!item || Fennix::anchorFamily(attribute) != AnchorFamily::xAxis) return std::nullopt;
  return NSLayoutAnchor{item, attribute};
}

std::optional<NSLayoutAnchor> yAnchor(NSLayoutAttribute attribute, LayoutItem item) {
  if (!item || Fennix::anchorFamily(attribute) != AnchorFamily::yAxis) return std::nullopt;
  if (item.kind == LayoutItem::Kind::guide &&
      (attribute == NSLayoutAttribute::firstBaseline || attribute == NSLayoutAttribute::lastBaseline))
    return std::nullopt;  // guides have no baselines
  return NSLayoutAnchor{item, attribute};
}

std::optional<NSLayoutAnchor> dimension(NSLayoutAttribute attribute, LayoutItem item) {
  if (!item || Fennix::anchorFamily(attribute) != AnchorFamily::dimension) return std::nullopt;
  return NSLayoutAnchor{item, attribute};
}

NSLayoutConstraintPtr constrain(QvConstraintItem item, NSLayoutAttribute attribute, NSLayoutRelation relation,
                                QvConstraintItem to, std::optional<NSLayoutAttribute> toAttribute, double multiplier,
                                std::optional<double> constant, std::optional<NSEdgeInsets> inset,
                                std::optional<NSLayoutPriority> priority) {
  LayoutItem first = baseItem(item);
  double c = constant.value_or(0);
  LayoutItem second;
  if (auto* number = std::get_if<double>(&to.value)) {
    // A number as second item is the constant of a one-item constraint; given a constant as well,
    // the call is ambiguous.
    if (constant) Fennix::fatalError("constrain(): a number as second item and a constant are given together");
    c = *number;
  } else if (auto* provider = std::get_if<const Fennix::LayoutItemProvider*>(&to.value)) {
    if (*provider) second = (*provider)->layoutItem();
  } else if (auto* layoutItem = std::get_if<LayoutItem>(&to.value)) {
    second = *layoutItem;
  }
  if (inset) c += constantOffset(*inset, attribute);
  NSLayoutAttribute secondAttribute =
      toAttribute ? *toAttribute : (second ? attribute : NSLayoutAttribute::notAnAttribute);
  if (secondAttribute == NSLayoutAttribute::height && isVerticalEdge(attribute)) {
    secondAttribute = NSLayoutAttribute::bottom;
    multiplier = -multiplier;
  } else if (secondAttribute == NSLayoutAttribute::width && isHorizontalEdge(attribute)) {
    secondAttribute = NSLayoutAttribute::right;
  }
  auto constraint = NSLayoutConstraint::make(first, attribute, relation, second, secondAttribute, multiplier, c);
  if (priority) constraint->setPriority(*priority);
  return constraint;
}

NSLayoutConstraintPtr constrainViews(LayoutItem view, NSLayoutAttribute attribute, NSLayoutRelation relation,
                                     LayoutItem to, NSLayoutAttribute toAttribute, double multiplier,
                                     std::optional<double> constant, std::optional<NSLayoutPriority> priority) {
  if (toAttribute == NSLayoutAttribute::height && isVerticalEdge(attribute)) {
    toAttribute = NSLayoutAttribute::bottom;
    multiplier = -multiplier;
  } else if (toAttribute == NSLayoutAttribute::width && isHorizontalEdge(attribute)) {
    toAttribute = NSLayoutAttribute::right;
  }
  auto constraint =
      NSLayoutConstraint::make(view, attribute, relation, to, toAttribute, multiplier, constant.value_or(0));
  if (priority) constraint->setPriority(*priority);
  return constraint;
}

NSLayoutConstraintPtr constrain(LayoutItem view, NSLayoutAttribute attribute, LayoutItem to, double constant) {
  return NSLayoutConstraint::make(view, attribute, NSLayoutRelation::equal, to, attribute, 1, constant);
}

NSLayoutConstraintList constrain(QvConstraintItem view, LayoutItem base, const NSEdgeInsets& inset) {
  LayoutItem item = baseItem(view);
  if (!base) Fennix::fatalError("did not specify base view");
  auto edge = [&](NSLayoutAttribute attribute, double constant) {
    return NSLayoutConstraint::make(item, attribute, NSLayoutRelation::equal, base, attribute, 1, constant);
  };
  return {edge(NSLayoutAttribute::leading, inset.left), edge(NSLayoutAttribute::trailing, -inset.right),
          edge(NSLayoutAttribute::top, inset.top), edge(NSLayoutAttribute::bottom, -inset.bottom)};
}

NSLayoutConstraintPtr constrain(QvConstraintItem item, NSLayoutAttribute attribute, NSLayoutRelation relation,
                                const NSLayoutAnchor& to, std::optional<double> constant,
                                std::optional<NSLayoutPriority> priority) {
  LayoutItem view = anchorView(item);
  auto own = anchorOf(attribute, view);
  if (!own) Fennix::fatalError("could not detect layout anchor dimension!");
  return anchorConstraint(*own, relation, to, constant.value_or(0), priority);
}

NSLayoutConstraintPtr constrainToGuide(QvConstraintItem item, NSLayoutAttribute attribute, NSLayoutRelation relation,
                                       LayoutItem guide, std::optional<NSLayoutAttribute> guideAttribute,
                                       std::optional<double> constant, std::optional<NSEdgeInsets> inset,
                                       std::optional<NSLayoutPriority> priority) {
  LayoutItem view = anchorView(item);
  double c = constant ? *constant : (inset ? constantOffset(*inset, attribute) : 0);
  NSLayoutAttribute toAttribute = guideAttribute.value_or(attribute);
  if (toAttribute == NSLayoutAttribute::height && isVerticalEdge(attribute)) {
    toAttribute = NSLayoutAttribute::bottom;
  } else if (toAttribute == NSLayoutAttribute::width && isHorizontalEdge(attribute)) {
    toAttribute = NSLayoutAttribute::right;
  }
  auto own = anchorOf(attribute, view);
  if (!own) Fennix::fatalError("could not detect layout anchor dimension!");
  std::optional<NSLayoutAnchor> to;
  LayoutItem guideItem{guide.handle, LayoutItem::Kind::guide};
  switch (own->family()) {
    case AnchorFamily::xAxis: to = xAnchor(toAttribute, guideItem); break;
    case AnchorFamily::yAxis: to = yAnchor(toAttribute, guideItem); break;
    case AnchorFamily::dimension: to = dimension(toAttribute, guideItem); break;
    case AnchorFamily::none: break;
  }
  if (!to) Fennix::fatalError("layout dimensions do not match!");
  return anchorConstraint(*own, relation, *to, c, priority);
}

NSLayoutConstraintList constrain(const std::vector<std::optional<std::string>>& formats, const QvMetrics& metrics,
                                 const std::vector<std::optional<LayoutItem>>& views) {
  QvViewsMap map;
  auto* host = Fennix::layoutHost();
  for (std::size_t i = 0; i < views.size(); ++i) {
    if (!views[i] || !*views[i]) continue;
    std::optional<std::string> identifier = host ? host->identifier(*views[i]) : std::nullopt;
    std::string key = identifier && !identifier->empty() ? *identifier : "v" + std::to_string(i + 1);
    map[key] = *views[i];
  }
  NSLayoutConstraintList constraints;
  for (std::size_t i = 0; i < formats.size() && i < 6; ++i) {
    if (!formats[i]) continue;
    auto built = QvLayout::qv(*formats[i], map, metrics);
    constraints.insert(constraints.end(), built.begin(), built.end());
  }
  return constraints;
}

NSLayoutConstraintPtr constrain(const NSLayoutAnchor& first, NSLayoutRelation relatedBy,
                                const NSLayoutAnchor& systemBelow, double fallback, double multiplier) {
  // The spacing below another item: first = second + fallback × multiplier, between the anchors'
  // own items and attributes.
  if (first.family() != AnchorFamily::yAxis || systemBelow.family() != AnchorFamily::yAxis)
    Fennix::fatalError("constrain(_:relatedBy:systemBelow:fallback:multiplier:) needs two y-axis anchors");
  if (!first.item || !systemBelow.item)
    Fennix::fatalError("constrain(_:relatedBy:systemBelow:fallback:multiplier:) needs anchors of items");
  return NSLayoutConstraint::make(first.item, first.attribute, relatedBy, systemBelow.item, systemBelow.attribute, 1,
                                  fallback * multiplier);
}

// MARK: - Lists of constraints

namespace QvLayout {

NSLayoutConstraintList qv(const QvConstraintArg& description, const std::optional<QvViewsMap>& views,
                          const std::optional<QvMetrics>& metrics) {
  if (auto* format = std::get_if<std::string>(&description.value)) {
    auto result = Fennix::parseVisualFormat(*format, metrics.value_or(QvMetrics()), views.value_or(QvViewsMap()));
    if (result.error) {
      console::error(*result.error);
      return {};
    }
    return std::move(result.constraints);
  }
  if (auto* constraint = std::get_if<NSLayoutConstraintPtr>(&description.value)) {
    if (*constraint) return {*constraint};
    return {};
  }
  if (auto* list = std::get_if<NSLayoutConstraintList>(&description.value)) return *list;
  if (auto* list = std::get_if<std::vector<QvConstraintArg>>(&description.value)) {
    NSLayoutConstraintList constraints;
    if (list->size() == 1) return qv(list->front(), views, metrics);
    constraints.reserve(32);
    for (const auto& element : *list) {
      auto built = qv(element, views, metrics);
      constraints.insert(constraints.end(), built.begin(), built.end());
    }
    return constraints;
  }
  return {};
}

NSLayoutConstraintList qvDo(const QvConstraintArg& description, const std::optional<QvViewsMap>& views,
                            const std::optional<QvMetrics>& metrics) {
  auto constraints = qv(description, views, metrics);
  if (!constraints.empty()) NSLayoutConstraint::activate(constraints);
  return constraints;
}

NSLayoutPriority priority(const NSLayoutConstraintList& constraints) {
  if (constraints.empty()) return 0;
  NSLayoutPriority mean = 0;
  const auto count = static_cast<NSLayoutPriority>(constraints.size());
  for (const auto& constraint : constraints) mean += constraint->priority() / count;
  return mean;
}

void setPriority(const NSLayoutConstraintList& constraints, NSLayoutPriority priority) {
  for (const auto& constraint : constraints) constraint->setPriority(priority);
}

namespace {

NSLayoutConstraintList flatten(const std::vector<NSLayoutConstraintList>& lists) {
  NSLayoutConstraintList all;
  for (const auto& list : lists) all.insert(all.end(), list.begin(), list.end());
  return all;
}

}  // namespace

const std::vector<NSLayoutConstraintList>& activate(const std::vector<NSLayoutConstraintList>& lists) {
  NSLayoutConstraint::activate(flatten(lists));
  return lists;
}

const std::vector<NSLayoutConstraintList>& deactivate(const std::vector<NSLayoutConstraintList>& lists) {
  NSLayoutConstraint::deactivate(flatten(lists));
  return lists;
}

void add(NSLayoutConstraintList& constraints, const std::vector<QvConstraintArg>& arguments, const QvViewsMap& views) {
  for (const auto& argument : arguments) {
    if (auto* constraint = std::get_if<NSLayoutConstraintPtr>(&argument.value)) {
      if (*constraint) constraints.push_back(*constraint);
    } else if (auto* list = std::get_if<NSLayoutConstraintList>(&argument.value)) {
      constraints.insert(constraints.end(), list->begin(), list->end());
    } else if (std::holds_alternative<std::string>(argument.value)) {
      auto built = qv(argument, views);
      constraints.insert(constraints.end(), built.begin(), built.end());
    } else if (auto* nested = std::get_if<std::vector<QvConstraintArg>>(&argument.value)) {
      add(constraints, *nested, views);
    } else {
      Fennix::fatalError("unexpected constraint argument type: " + argument.typeName);
    }
  }
}

}  // namespace QvLayout
