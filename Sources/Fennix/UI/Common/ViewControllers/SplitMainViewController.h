// The controller of a main window's three panes side by side: a source list on the left, the
// content in the middle and a property list on the right, each a child controller named by class.
// The outer panes keep minimum widths while the dividers are dragged and before the controller is
// shown; when the window is resized only the middle pane changes width. Its view is the toolkit's
// split view (a plain view without one); the split view asks this controller, its delegate, where a
// divider may go and how to resize, and takes the panes' frames from it.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Fennix/UI/Common/ViewControllers/ViewController.h"
#include "Fennix/UI/Common/Views/SplitViewDelegate.h"

class QvSplitMainVC : public QvViewControllerBase, public Fennix::SplitViewDelegate {
 public:
  QvSplitMainVC() = default;

  /// Class names of the panes, left to right.
  std::optional<std::vector<std::string>> childClasses;
  double sourceListMinimumWidth = 182;
  double propertyListMinimumWidth = 240;
  /// The holding priorities given to the split view, by pane index.
  std::map<long, NSLayoutPriority> holdingPriorities;

  virtual void loadSubViews();
  /// A new split view with a coloured divider (a plain view when the toolkit has no split views).
  virtual Fennix::LayoutItem makeSplitView();
  /// The width of the split view's dividers.
  virtual double dividerThickness() const;
  virtual void _ensureMinimumSizes();

  // The split view's delegate.
  bool canCollapseSubview(Fennix::LayoutItem splitView, Fennix::LayoutItem subview) const override;
  double constrainMinCoordinate(Fennix::LayoutItem splitView, double proposedMinimumPosition,
                                long dividerIndex) const override;
  double constrainMaxCoordinate(Fennix::LayoutItem splitView, double proposedMaximumPosition,
                                long dividerIndex) const override;
  void resizeSubviewsWithOldSize(Fennix::LayoutItem splitView, double oldWidth, double oldHeight) override;

  std::optional<Fennix::LayoutItem> makeView() override;
  void onWillAppear() override;
};
