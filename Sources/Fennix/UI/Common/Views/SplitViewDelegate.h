// Split views as controllers see them: the delegate a split view asks where a divider may go and
// how to resize its panes, and the toolkit's maker of split views. Without a maker installed a
// split view is a plain view of the controller view kit whose subviews are the panes.
#pragma once

#include <memory>

#include "Fennix/UI/Common/LayoutConstraint.h"

namespace Fennix {

/// What a split view asks of its delegate. Divider positions are in the split view's
/// coordinates along its dividers' axis.
class SplitViewDelegate {
 public:
  virtual ~SplitViewDelegate() = default;
  virtual bool canCollapseSubview(LayoutItem splitView, LayoutItem subview) const = 0;
  /// The least position of a divider being dragged, given the toolkit's proposal.
  virtual double constrainMinCoordinate(LayoutItem splitView, double proposedMinimumPosition,
                                        long dividerIndex) const = 0;
  /// The greatest position of a divider being dragged, given the toolkit's proposal.
  virtual double constrainMaxCoordinate(LayoutItem splitView, double proposedMaximumPosition,
                                        long dividerIndex) const = 0;
  /// The split view changed its size; the delegate sets the panes' frames.
  virtual void resizeSubviewsWithOldSize(LayoutItem splitView, double oldWidth, double oldHeight) = 0;
};

/// The toolkit's split views. Adding a subview to a split view (through the layout host) adds a
/// pane; setting a pane's frame moves the dividers beside it.
class SplitViewKit {
 public:
  virtual ~SplitViewKit() = default;
  /// A split view whose divider colour fits the appearance: panes side by side, thin dividers.
  virtual LayoutItem makeSplitView() = 0;
  /// The delegate is asked as long as it lives.
  virtual void setDelegate(LayoutItem splitView, std::weak_ptr<SplitViewDelegate> delegate) = 0;
  /// How strongly the pane at `index` keeps its size when the split view resizes: the panes of
  /// the lowest priority take the change.
  virtual void setHoldingPriority(LayoutItem splitView, long index, NSLayoutPriority priority) = 0;
  virtual NSLayoutPriority holdingPriority(LayoutItem splitView, long index) const = 0;
  virtual double dividerThickness(LayoutItem splitView) const = 0;
};

void setSplitViewKit(std::shared_ptr<SplitViewKit> kit);
/// The installed maker; null when none is.
SplitViewKit* splitViewKit();

}  // namespace Fennix
