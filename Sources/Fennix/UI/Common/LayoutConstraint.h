// Layout constraints as values of our own: two items (views or layout guides), their attributes,
// a relation, a multiplier, a constant and a priority. The toolkit part realises active
// constraints in the constraint layout of the views' common container; everything here works
// without a display, through the layout host the toolkit installs (or a fake one in tests).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "Platform/EdgeInsets.h"

enum class NSLayoutAttribute : int {
  notAnAttribute = 0,
  left = 1,
  right = 2,
  top = 3,
  bottom = 4,
  leading = 5,
  trailing = 6,
  width = 7,
  height = 8,
  centerX = 9,
  centerY = 10,
  lastBaseline = 11,
  firstBaseline = 12,
};

enum class NSLayoutRelation : int { lessThanOrEqual = -1, equal = 0, greaterThanOrEqual = 1 };

enum class NSLayoutConstraintOrientation { horizontal = 0, vertical = 1 };

/// The value that stands for the absence of an intrinsic metric of a view.
inline constexpr double QvViewNoIntrinsicMetric = -1;

using NSLayoutPriority = float;
inline constexpr NSLayoutPriority NSLayoutPriorityRequired = 1000;
inline constexpr NSLayoutPriority NSLayoutPriorityDefaultHigh = 750;
inline constexpr NSLayoutPriority NSLayoutPriorityDefaultLow = 250;


/// "leading", "centerY", ...
const char* layoutAttributeName(NSLayoutAttribute attribute);
/// "==", "<=", ">=".
const char* layoutRelationName(NSLayoutRelation relation);

namespace Fennix {

/// What a constraint relates: a view or a layout guide, by the toolkit's object. Only the layout
/// host looks behind the handle.
struct LayoutItem {
  enum class Kind { view, guide };
  const void* handle = nullptr;
  Kind kind = Kind::view;

  explicit operator bool() const { return handle != nullptr; }
  bool isView() const { return handle && kind == Kind::view; }
  bool operator==(const LayoutItem&) const = default;
  auto operator<=>(const LayoutItem&) const = default;
};

/// Something that stands for a view in a constraint: a view controller, a split-view item.
class LayoutItemProvider {
 public:
  virtual ~LayoutItemProvider() = default;
  virtual LayoutItem layoutItem() const = 0;
};

enum class AnchorFamily { none, xAxis, yAxis, dimension };
AnchorFamily anchorFamily(NSLayoutAttribute attribute);

}  // namespace Fennix

class NSLayoutConstraint;
using NSLayoutConstraintPtr = std::shared_ptr<NSLayoutConstraint>;
using NSLayoutConstraintList = std::vector<NSLayoutConstraintPtr>;
using QvViewsMap = std::map<std::string, Fennix::LayoutItem>;
using QvMetrics = std::map<std::string, double>;

/// One linear relation: first.attribute (relation) second.attribute × multiplier + constant.
class NSLayoutConstraint : public std::enable_shared_from_this<NSLayoutConstraint> {
 public:
  struct Token {
    explicit Token() = default;
  };
  NSLayoutConstraint(Token, Fennix::LayoutItem firstItem, NSLayoutAttribute firstAttribute,
                     NSLayoutRelation relation, Fennix::LayoutItem secondItem,
                     NSLayoutAttribute secondAttribute, double multiplier, double constant);

  /// The platform's constraint factory: checks the pairing of items and attributes and stops the
  /// process on a constraint that can never hold (a programming error of the caller).
  static NSLayoutConstraintPtr make(Fennix::LayoutItem item, NSLayoutAttribute attribute,
                                    NSLayoutRelation relation, Fennix::LayoutItem toItem,
                                    NSLayoutAttribute toAttribute, double multiplier, double constant);
  /// A constraint of one item: no second item, second attribute not-an-attribute.
  static NSLayoutConstraintPtr make(Fennix::LayoutItem item, NSLayoutAttribute attribute,
                                    NSLayoutRelation relation, double multiplier, double constant);

  Fennix::LayoutItem firstItem() const { return firstItem_; }
  NSLayoutAttribute firstAttribute() const { return firstAttribute_; }
  NSLayoutRelation relation() const { return relation_; }
  Fennix::LayoutItem secondItem() const { return secondItem_; }
  NSLayoutAttribute secondAttribute() const { return secondAttribute_; }
  double multiplier() const { return multiplier_; }

  double constant() const { return constant_; }
  void setConstant(double constant);
  NSLayoutPriority priority() const { return priority_; }
  void setPriority(NSLayoutPriority priority);
  bool isActive() const { return isActive_; }
  void setActive(bool active);

  /// "first.leading == second.trailing + 8 @750" with the host's names of the items.
  std::string description() const;

  /// One host call for the whole list; each returns the list.
  static const NSLayoutConstraintList& activate(const NSLayoutConstraintList& constraints);
  static const NSLayoutConstraintList& deactivate(const NSLayoutConstraintList& constraints);
  NSLayoutConstraintList activate();
  NSLayoutConstraintList deactivate();

  // Built from the constraint language.
  static NSLayoutConstraintPtr qvEqualWidth(Fennix::LayoutItem first, Fennix::LayoutItem second);
  static NSLayoutConstraintPtr qvEqualHeight(Fennix::LayoutItem first, Fennix::LayoutItem second);
  static NSLayoutConstraintPtr qvBaseLine(Fennix::LayoutItem first, Fennix::LayoutItem second);
  static NSLayoutConstraintPtr qvAspectRatio(Fennix::LayoutItem view, double multiplier, NSLayoutPriority priority);

  /// The standard spacings, measured once from the visual format language.
  static double qvStandardConstantBetweenSiblings();
  static double qvStandardConstantBetweenSuperview();

  /// The toolkit part's realisation of an active constraint.
  std::shared_ptr<void> realisation;
  /// Marks the constraint active or inactive without a host call (for the host).
  void markActive(bool active) { isActive_ = active; }

 private:
  Fennix::LayoutItem firstItem_;
  NSLayoutAttribute firstAttribute_;
  NSLayoutRelation relation_;
  Fennix::LayoutItem secondItem_;
  NSLayoutAttribute secondAttribute_;
  double multiplier_;
  double constant_;
  NSLayoutPriority priority_ = NSLayoutPriorityRequired;
  bool isActive_ = false;
};

namespace Fennix {

/// The toolkit side of layout: realises constraints and answers questions about views. The
/// toolkit part installs one; tests install a fake. Without a host constraints are only marked.
class LayoutHost {
 public:
  virtual ~LayoutHost() = default;

  virtual void activate(const NSLayoutConstraintList& constraints) = 0;
  virtual void deactivate(const NSLayoutConstraintList& constraints) = 0;
  /// A constant or priority of an active constraint changed.
  virtual void constraintChanged(NSLayoutConstraint& constraint) = 0;

  virtual std::optional<LayoutItem> superviewOf(LayoutItem view) const = 0;
  virtual std::vector<LayoutItem> subviewsOf(LayoutItem view) const = 0;
  virtual void addSubview(LayoutItem container, LayoutItem view) = 0;
  virtual void removeFromSuperview(LayoutItem view) = 0;
  virtual void invalidateIntrinsicContentSize(LayoutItem view) = 0;
  /// The visual format of a container's content slot; "|[self]|" unless the view says otherwise.
  virtual std::string contentViewFormat(LayoutItem container) const = 0;
  virtual std::optional<std::string> identifier(LayoutItem view) const = 0;
  virtual void setIdentifier(LayoutItem view, const std::string& identifier) = 0;
  /// Views made for constraints are sized by them, not by their own frame.
  virtual void prepareForConstraints(LayoutItem view) = 0;
  virtual NSLayoutPriority huggingPriority(LayoutItem view, NSLayoutConstraintOrientation orientation) const = 0;
  virtual void setHuggingPriority(LayoutItem view, NSLayoutConstraintOrientation orientation, NSLayoutPriority priority) = 0;
  virtual NSLayoutPriority compressionResistancePriority(LayoutItem view, NSLayoutConstraintOrientation orientation) const = 0;
  virtual void setCompressionResistancePriority(LayoutItem view, NSLayoutConstraintOrientation orientation,
                                                NSLayoutPriority priority) = 0;
  /// The frame of a view laid out by hand, in its container's y-up space: x, y, width, height.
  struct Frame {
    double x = 0, y = 0, width = 0, height = 0;
    bool operator==(const Frame&) const = default;
  };
  virtual Frame frame(LayoutItem view) const = 0;
  virtual void setFrame(LayoutItem view, const Frame& frame) = 0;
  /// Sets the width of a view's frame, keeping its origin and height. A host whose containers
  /// place their views themselves makes it the width the view asks for at least.
  virtual void setFrameWidth(LayoutItem view, double width) {
    Frame changed = frame(view);
    changed.width = width;
    setFrame(view, changed);
  }
  virtual std::string describe(LayoutItem item) const = 0;
};

void setLayoutHost(std::shared_ptr<LayoutHost> host);
LayoutHost* layoutHost();

/// Priority 1000 is required; lower priorities map to strengths below it, keeping their order.
int constraintStrength(NSLayoutPriority priority);

}  // namespace Fennix

/// The offset of the inset convention for one attribute.
double constantOffset(const NSEdgeInsets& insets, NSLayoutAttribute attribute);

/// An item of the constraint language: absent, a view or guide, something that has a view, or a
/// number (which stands for a constant when it is the second item).
struct QvConstraintItem {
  std::variant<std::monostate, Fennix::LayoutItem, const Fennix::LayoutItemProvider*, double> value;

  QvConstraintItem() = default;
  QvConstraintItem(std::nullptr_t) {}
  QvConstraintItem(Fennix::LayoutItem item) : value(item) {}
  QvConstraintItem(const Fennix::LayoutItemProvider* provider) : value(provider) {}
  QvConstraintItem(const Fennix::LayoutItemProvider& provider) : value(&provider) {}
  QvConstraintItem(double number) : value(number) {}
  QvConstraintItem(int number) : value(static_cast<double>(number)) {}
};

/// An anchor: one attribute of one item.
struct NSLayoutAnchor {
  Fennix::LayoutItem item;
  NSLayoutAttribute attribute = NSLayoutAttribute::notAnAttribute;
  Fennix::AnchorFamily family() const { return Fennix::anchorFamily(attribute); }
};

/// The anchor of an attribute of a view (any family) or a guide (no baselines); none when the
/// item is absent or the attribute is not of the family.
std::optional<NSLayoutAnchor> xAnchor(NSLayoutAttribute attribute, Fennix::LayoutItem item);
std::optional<NSLayoutAnchor> yAnchor(NSLayoutAttribute attribute, Fennix::LayoutItem item);
std::optional<NSLayoutAnchor> dimension(NSLayoutAttribute attribute, Fennix::LayoutItem item);

// The constraint builders; none activates its result.

/// The core builder.
NSLayoutConstraintPtr constrain(QvConstraintItem item, NSLayoutAttribute attribute, NSLayoutRelation relation,
                                QvConstraintItem to, std::optional<NSLayoutAttribute> toAttribute,
                                double multiplier = 1, std::optional<double> constant = std::nullopt,
                                std::optional<NSEdgeInsets> inset = std::nullopt,
                                std::optional<NSLayoutPriority> priority = std::nullopt);
/// Between two views, without coercions or insets.
NSLayoutConstraintPtr constrainViews(Fennix::LayoutItem view, NSLayoutAttribute attribute, NSLayoutRelation relation,
                                     Fennix::LayoutItem to, NSLayoutAttribute toAttribute, double multiplier = 1,
                                     std::optional<double> constant = std::nullopt,
                                     std::optional<NSLayoutPriority> priority = std::nullopt);
/// view.attribute = base.attribute × 1 + constant.
NSLayoutConstraintPtr constrain(Fennix::LayoutItem view, NSLayoutAttribute attribute, Fennix::LayoutItem to,
                                double constant);
/// leading, trailing, top and bottom against a base view or a layout guide, with insets.
NSLayoutConstraintList constrain(QvConstraintItem view, Fennix::LayoutItem base, const NSEdgeInsets& inset);
/// One constraint against an anchor.
NSLayoutConstraintPtr constrain(QvConstraintItem item, NSLayoutAttribute attribute, NSLayoutRelation relation,
                                const NSLayoutAnchor& to, std::optional<double> constant = std::nullopt,
                                std::optional<NSLayoutPriority> priority = std::nullopt);
/// One constraint against an attribute of a layout guide.
NSLayoutConstraintPtr constrainToGuide(QvConstraintItem item, NSLayoutAttribute attribute, NSLayoutRelation relation,
                                       Fennix::LayoutItem guide, std::optional<NSLayoutAttribute> guideAttribute,
                                       std::optional<double> constant = std::nullopt,
                                       std::optional<NSEdgeInsets> inset = std::nullopt,
                                       std::optional<NSLayoutPriority> priority = std::nullopt);
/// The constraints of up to six visual formats over a list of views, each keyed by its
/// identifier or "v" and its 1-based position.
NSLayoutConstraintList constrain(const std::vector<std::optional<std::string>>& formats, const QvMetrics& metrics,
                                 const std::vector<std::optional<Fennix::LayoutItem>>& views);
/// first (relation) second + fallback × multiplier, two y-axis anchors.
NSLayoutConstraintPtr constrain(const NSLayoutAnchor& first, NSLayoutRelation relatedBy, const NSLayoutAnchor& systemBelow,
                                double fallback, double multiplier);

/// An argument of the description lists: a visual format, a constraint, a list of constraints,
/// a list of arguments, or another value (named by its type).
struct QvConstraintArg {
  std::variant<std::monostate, std::string, NSLayoutConstraintPtr, NSLayoutConstraintList, std::vector<QvConstraintArg>>
      value;
  std::string typeName;

  QvConstraintArg(const char* format) : value(std::string(format)) {}
  QvConstraintArg(std::string format) : value(std::move(format)) {}
  QvConstraintArg(NSLayoutConstraintPtr constraint) : value(std::move(constraint)) {}
  QvConstraintArg(NSLayoutConstraintList constraints) : value(std::move(constraints)) {}
  QvConstraintArg(std::vector<QvConstraintArg> list) : value(std::move(list)) {}
  QvConstraintArg(int) : typeName("Int") {}
  QvConstraintArg(double) : typeName("Double") {}
  QvConstraintArg(bool) : typeName("Bool") {}
  /// Any other value, named by its type.
  static QvConstraintArg other(std::string typeName) {
    QvConstraintArg arg(0);
    arg.typeName = std::move(typeName);
    return arg;
  }
};

namespace QvLayout {

/// The constraints a description stands for; other values give none. An invalid visual format is
/// reported on the default console and gives none.
NSLayoutConstraintList qv(const QvConstraintArg& description, const std::optional<QvViewsMap>& views = std::nullopt,
                          const std::optional<QvMetrics>& metrics = std::nullopt);
/// The same list, activated in one call when it is not empty.
NSLayoutConstraintList qvDo(const QvConstraintArg& description, const std::optional<QvViewsMap>& views = std::nullopt,
                            const std::optional<QvMetrics>& metrics = std::nullopt);

/// The mean of the priorities; 0 for an empty list.
NSLayoutPriority priority(const NSLayoutConstraintList& constraints);
void setPriority(const NSLayoutConstraintList& constraints, NSLayoutPriority priority);
/// Flattens the lists and makes one host call.
const std::vector<NSLayoutConstraintList>& activate(const std::vector<NSLayoutConstraintList>& lists);
const std::vector<NSLayoutConstraintList>& deactivate(const std::vector<NSLayoutConstraintList>& lists);
/// Appends constraints, lists, visual formats and lists of them; any other value stops the process.
void add(NSLayoutConstraintList& constraints, const std::vector<QvConstraintArg>& arguments, const QvViewsMap& views);

}  // namespace QvLayout
