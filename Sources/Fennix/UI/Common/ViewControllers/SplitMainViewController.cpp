#include "Fennix/UI/Common/ViewControllers/SplitMainViewController.h"

#include <algorithm>

#include "Fennix/UI/Common/AutoLayout.h"

namespace {

Fennix::LayoutHost& host() {
  if (Fennix::LayoutHost* installed = Fennix::layoutHost()) return *installed;
  Fennix::fatalError("split controllers need a layout host");
}

}  // namespace

Fennix::LayoutItem QvSplitMainVC::makeSplitView() {
  if (Fennix::SplitViewKit* kit = Fennix::splitViewKit()) return kit->makeSplitView();
  return Fennix::controllerViewKit().makeGenericView();
}

double QvSplitMainVC::dividerThickness() const {
  auto split = viewIfLoaded();
  Fennix::SplitViewKit* kit = Fennix::splitViewKit();
  return kit && split ? kit->dividerThickness(*split) : 1;
}

void QvSplitMainVC::loadSubViews() {
  if (!childClasses) return;
  for (const auto& name : *childClasses) addChildViewControllerAndSubview(name);
}

std::optional<Fennix::LayoutItem> QvSplitMainVC::makeView() {
  const Fennix::LayoutItem split = makeSplitView();
  Fennix::SplitViewKit* kit = Fennix::splitViewKit();
  if (kit) kit->setDelegate(split, std::static_pointer_cast<QvSplitMainVC>(shared_from_this()));
  // The split view is the view from now on: the panes are added to it.
  setView(split);
  loadSubViews();
  const auto subviews = host().subviewsOf(split);
  if (subviews.size() >= 2) {
    for (std::size_t i = 0; i < subviews.size(); ++i) {
      const NSLayoutPriority priority = i == 1 ? 1 : 500;
      holdingPriorities[static_cast<long>(i)] = priority;
      if (kit) kit->setHoldingPriority(split, static_cast<long>(i), priority);
    }
    setHHug(subviews[1], 800);
  }
  return split;
}

void QvSplitMainVC::onWillAppear() { _ensureMinimumSizes(); }

void QvSplitMainVC::_ensureMinimumSizes() {
  auto ownView = viewIfLoaded();
  if (!ownView) return;
  auto& layout = host();
  const auto subviews = layout.subviewsOf(*ownView);
  if (subviews.size() < 2) return;
  // A pane's frame is the split view's to place: it moves the dividers beside the pane and lays
  // the panes out again.
  auto widen = [&](Fennix::LayoutItem pane, double minimum) {
    auto frame = layout.frame(pane);
    if (frame.width >= minimum) return;
    frame.width = minimum;
    layout.setFrame(pane, frame);
  };
  widen(subviews.front(), sourceListMinimumWidth);
  if (subviews.size() < 3) return;
  widen(subviews.back(), propertyListMinimumWidth);
}

bool QvSplitMainVC::canCollapseSubview(Fennix::LayoutItem, Fennix::LayoutItem) const { return false; }

double QvSplitMainVC::constrainMinCoordinate(Fennix::LayoutItem, double proposedMinimumPosition,
                                             long dividerIndex) const {
  if (dividerIndex == 0) return std::max(proposedMinimumPosition, sourceListMinimumWidth);
  return proposedMinimumPosition;
}

double QvSplitMainVC::constrainMaxCoordinate(Fennix::LayoutItem splitView, double proposedMaximumPosition,
                                             long dividerIndex) const {
  if (dividerIndex != 1) return proposedMaximumPosition;
  const double width = host().frame(splitView).width;
  if (width - proposedMaximumPosition < propertyListMinimumWidth) return width - propertyListMinimumWidth;
  return proposedMaximumPosition;
}

void QvSplitMainVC::resizeSubviewsWithOldSize(Fennix::LayoutItem splitView, double, double) {
  qvResizeSubviewsWithJustWidthAtIndexExpanding(splitView, 1, NSLayoutConstraintOrientation::horizontal,
                                                dividerThickness(), 128);
}
