#include "Fennix/UI/Common/AutoLayout.h"

#include <cstdio>

#include "Fennix/UI/Common/FatalError.h"
#include "Platform/NumberText.h"

using Fennix::LayoutHost;
using Fennix::LayoutItem;

namespace {

LayoutHost& host() {
  LayoutHost* host = Fennix::layoutHost();
  if (!host) Fennix::fatalError("no layout host: views can only be laid out once the toolkit is set up");
  return *host;
}

QvViewsMap selfAndSuper(LayoutItem view, std::optional<LayoutItem> superview) {
  QvViewsMap views{{"self", view}};
  if (superview && *superview) views["super"] = *superview;
  return views;
}

LayoutItem requireSuperview(LayoutItem view, const char* operation) {
  auto superview = host().superviewOf(view);
  if (!superview || !*superview) Fennix::fatalError(std::string(operation) + ": the view has no superview");
  return *superview;
}

constexpr auto horizontal = NSLayoutConstraintOrientation::horizontal;
constexpr auto vertical = NSLayoutConstraintOrientation::vertical;

}  // namespace

std::optional<NSLayoutPriority> addedPriorities(std::optional<NSLayoutPriority> a, std::optional<NSLayoutPriority> b) {
  if (a && b) return *a + *b;
  return a ? a : b;
}

LayoutItem qvAdd(LayoutItem container, const std::optional<std::string>& id, LayoutItem view,
                 std::optional<NSLayoutPriority> hug, const std::string& h, const std::string& v) {
  auto& layout = host();
  layout.addSubview(container, view);
  if (id) layout.setIdentifier(view, *id);
  if (hug) {
    layout.setHuggingPriority(view, horizontal, *hug);
    layout.setHuggingPriority(view, vertical, *hug);
  }
  layout.prepareForConstraints(view);
  NSLayoutConstraintList constraints;
  QvLayout::add(constraints, {h, v}, selfAndSuper(view, container));
  NSLayoutConstraint::activate(constraints);
  return view;
}

LayoutItem qvAdd(LayoutItem container, LayoutItem view, const QvAddOptions& options,
                 const std::vector<QvConstraintArg>& constraintArguments) {
  auto& layout = host();
  layout.addSubview(container, view);
  if (options.id) layout.setIdentifier(view, *options.id);
  if (auto p = addedPriorities(options.hug, options.hugh)) layout.setHuggingPriority(view, horizontal, *p);
  if (auto p = addedPriorities(options.hug, options.hugv)) layout.setHuggingPriority(view, vertical, *p);
  if (auto p = addedPriorities(options.cr, options.crh)) layout.setCompressionResistancePriority(view, horizontal, *p);
  if (auto p = addedPriorities(options.cr, options.crv)) layout.setCompressionResistancePriority(view, vertical, *p);

  NSLayoutConstraintList constraints;
  if (!constraintArguments.empty()) {
    layout.prepareForConstraints(view);
    QvLayout::add(constraints, constraintArguments, selfAndSuper(view, container));
  }
  if (options.aspect)
    constraints.push_back(
        NSLayoutConstraint::make(view, NSLayoutAttribute::width, NSLayoutRelation::equal, view, NSLayoutAttribute::height, 1, 0));
  if (options.pad || options.hpad || options.vpad) {
    auto pads = qvPadConstraints(view, options.pad, options.hpad, options.vpad);
    constraints.insert(constraints.end(), pads.begin(), pads.end());
  } else if (options.inset) {
    auto insets = qvInsetConstraints(view, *options.inset);
    constraints.insert(constraints.end(), insets.begin(), insets.end());
  }
  NSLayoutConstraint::activate(constraints);
  return view;
}

LayoutItem qvAddTo(LayoutItem view, LayoutItem container, const std::optional<std::string>& id) {
  host().addSubview(container, view);
  if (id) host().setIdentifier(view, *id);
  return view;
}

NSLayoutConstraintList qvConstrain(LayoutItem view, const std::string& h, const std::string& v) {
  LayoutHost* layout = Fennix::layoutHost();
  std::optional<LayoutItem> superview = layout ? layout->superviewOf(view) : std::nullopt;
  QvViewsMap views = selfAndSuper(view, superview);
  NSLayoutConstraintList constraints;
  if (!h.empty()) constraints = QvLayout::qv("H:" + h, views);
  if (!v.empty()) {
    auto built = QvLayout::qv("V:" + v, views);
    constraints.insert(constraints.end(), built.begin(), built.end());
  }
  if (constraints.empty() || !superview || !*superview) return constraints;
  NSLayoutConstraint::activate(constraints);  // added to the superview
  return constraints;
}

NSLayoutConstraintList qvPadConstraints(LayoutItem view, std::optional<double> pad, std::optional<double> h,
                                        std::optional<double> v) {
  std::optional<double> horizontalPad = h ? h : pad;
  std::optional<double> verticalPad = v ? v : pad;
  NSLayoutConstraintList constraints;
  if (!horizontalPad && !verticalPad) return constraints;
  LayoutItem superview = requireSuperview(view, "qvPadConstraints");
  auto edge = [&](NSLayoutAttribute attribute, double constant) {
    return NSLayoutConstraint::make(view, attribute, NSLayoutRelation::equal, superview, attribute, 1, constant);
  };
  if (horizontalPad) {
    constraints.push_back(edge(NSLayoutAttribute::leading, *horizontalPad));
    constraints.push_back(edge(NSLayoutAttribute::trailing, -*horizontalPad));
  }
  if (verticalPad) {
    constraints.push_back(edge(NSLayoutAttribute::top, *verticalPad));
    constraints.push_back(edge(NSLayoutAttribute::bottom, -*verticalPad));
  }
  return constraints;
}

NSLayoutConstraintList qvInsetConstraints(LayoutItem view, const NSEdgeInsets& insets) {
  return constrain(view, requireSuperview(view, "qvInsetConstraints"), insets);
}

NSLayoutConstraintList qvAddConstraint(LayoutItem, const std::string& format, const std::optional<QvViewsMap>& views) {
  auto constraints = QvLayout::qv(format, views);
  NSLayoutConstraint::activate(constraints);
  return constraints;
}

NSLayoutConstraintPtr qvFixWidthConstraint(LayoutItem view, double width) {
  return NSLayoutConstraint::make(view, NSLayoutAttribute::width, NSLayoutRelation::equal, 1, width);
}

void qvConstrainVerticalStack(const std::vector<LayoutItem>& views) {
  if (views.size() < 2) return;
  std::optional<LayoutItem> previous;
  for (LayoutItem view : views) {
    qvConstrain(view, "|[self]|", "");
    if (!previous) {
      qvConstrain(view, "", "|[self]");
    } else {
      NSLayoutConstraint::make(*previous, NSLayoutAttribute::bottom, NSLayoutRelation::equal, view,
                               NSLayoutAttribute::top, 1, 0)
          ->activate();
    }
    previous = view;
  }
  qvConstrain(views.back(), "", "[self]|");
}

NSLayoutPriority hHug(LayoutItem view) { return host().huggingPriority(view, horizontal); }
void setHHug(LayoutItem view, NSLayoutPriority priority) { host().setHuggingPriority(view, horizontal, priority); }
NSLayoutPriority vHug(LayoutItem view) { return host().huggingPriority(view, vertical); }
void setVHug(LayoutItem view, NSLayoutPriority priority) { host().setHuggingPriority(view, vertical, priority); }
NSLayoutPriority hCompressionResistance(LayoutItem view) {
  return host().compressionResistancePriority(view, horizontal);
}
void setHCompressionResistance(LayoutItem view, NSLayoutPriority priority) {
  host().setCompressionResistancePriority(view, horizontal, priority);
}
NSLayoutPriority vCompressionResistance(LayoutItem view) {
  return host().compressionResistancePriority(view, vertical);
}
void setVCompressionResistance(LayoutItem view, NSLayoutPriority priority) {
  host().setCompressionResistancePriority(view, vertical, priority);
}

namespace Fennix {

namespace {

bool collapseWarned = false;
bool shortageWarned = false;

}  // namespace

void resetFlexWarningsForTesting() {
  collapseWarned = false;
  shortageWarned = false;
}

void nsLog(const std::string& line) {
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
}

FlexLayout flexLayout(double containerWidth, double containerHeight, const std::vector<LayoutHost::Frame>& subviews,
                      long flexIndex, NSLayoutConstraintOrientation orientation, double padding, double minimumSpace) {
  const bool isHorizontal = orientation == NSLayoutConstraintOrientation::horizontal;
  FlexLayout layout;
  double nonFlexSpace = subviews.empty() ? 0 : static_cast<double>(subviews.size() - 1) * padding;
  for (std::size_t i = 0; i < subviews.size(); ++i) {
    if (static_cast<long>(i) == flexIndex) continue;
    nonFlexSpace += isHorizontal ? subviews[i].width : subviews[i].height;
  }
  // The space comes from the container's length along the orientation.
  const double length = isHorizontal ? containerWidth : containerHeight;
  layout.computedFlexSpace = length - nonFlexSpace;
  layout.flexSpace = layout.computedFlexSpace;
  if (layout.flexSpace < minimumSpace) {
    layout.collapsed = true;
    layout.flexSpace = minimumSpace;
    layout.missingSpace = minimumSpace - layout.computedFlexSpace;
  }
  LayoutHost::Frame previous;
  for (std::size_t i = 0; i < subviews.size(); ++i) {
    const double gap = i == 0 ? 0 : padding;
    const bool isFlex = static_cast<long>(i) == flexIndex;
    LayoutHost::Frame frame;
    if (isHorizontal) {
      frame = {previous.x + previous.width + gap, 0, isFlex ? layout.flexSpace : subviews[i].width, containerHeight};
    } else {
      frame = {0, previous.y + previous.height + gap, containerWidth, isFlex ? layout.flexSpace : subviews[i].height};
    }
    layout.frames.push_back(frame);
    previous = frame;
  }
  return layout;
}

}  // namespace Fennix

void qvResizeSubviewsWithJustWidthAtIndexExpanding(LayoutItem container, long index,
                                                   NSLayoutConstraintOrientation orientation, double padding,
                                                   double minimumSpace) {
  auto& layout = host();
  const auto bounds = layout.frame(container);
  const auto subviews = layout.subviewsOf(container);
  std::vector<LayoutHost::Frame> frames;
  frames.reserve(subviews.size());
  for (LayoutItem subview : subviews) frames.push_back(layout.frame(subview));
  auto result = Fennix::flexLayout(bounds.width, bounds.height, frames, index, orientation, padding, minimumSpace);
  if (result.collapsed && !Fennix::collapseWarned) {
    Fennix::collapseWarned = true;
    Fennix::nsLog(layout.describe(container) + ": WARNING: qvflex space collapsed: " +
                  SVGParser::doubleDescription(result.computedFlexSpace));
  }
  for (std::size_t i = 0; i < subviews.size(); ++i) layout.setFrame(subviews[i], result.frames[i]);
  if (result.missingSpace > 0 && !Fennix::shortageWarned) {
    Fennix::shortageWarned = true;
    char number[64];
    std::snprintf(number, sizeof number, "%3.1f", result.missingSpace);
    Fennix::nsLog(layout.describe(container) + ": WARNING: qvflex space not sufficient: " + number);
  }
}
