// The controller of a main window's three panes side by side: a source list on the left, the
// content in the middle and a property list on the right, each a child controller named by class.
// The outer panes keep minimum widths while the dividers are dragged and before the controller is
// shown; when the window is resized only the middle pane changes width. The split view lays its
// panes out by frames through the layout host; the toolkit asks this controller, its delegate,
// where a divider may go and how to resize.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Fennix/UI/Common/ViewControllers/ViewController.h"

class QvSplitMainVC : public QvViewControllerBase {
 public:
  QvSplitMainVC() = default;

  /// Class names of the panes, left to right.
  std::optional<std::vector<std::string>> childClasses;
  double sourceListMinimumWidth = 182;
  double propertyListMinimumWidth = 240;
  /// How much each pane keeps its width when the split view resizes, by pane index.
  std::map<long, NSLayoutPriority> holdingPriorities;
  /// Set when the toolkit's panes hold the minimum widths themselves (as size requests); the
  /// frames are then left to them.
  bool panesKeepMinimumWidths = false;

  virtual void loadSubViews();
  /// The split view: a plain view of the kit whose subviews are the panes.
  virtual Fennix::LayoutItem makeSplitView();
  /// The width of a divider of the thin style.
  virtual double dividerThickness() const { return 1; }
  virtual void _ensureMinimumSizes();

  // The split view's delegate.
  virtual bool canCollapseSubview(Fennix::LayoutItem splitView, Fennix::LayoutItem subview) const;
  virtual double constrainMinCoordinate(Fennix::LayoutItem splitView, double proposedMinimumPosition,
                                        long dividerIndex) const;
  virtual double constrainMaxCoordinate(Fennix::LayoutItem splitView, double proposedMaximumPosition,
                                        long dividerIndex) const;
  virtual void resizeSubviewsWithOldSize(Fennix::LayoutItem splitView, double oldWidth, double oldHeight);

  std::optional<Fennix::LayoutItem> makeView() override;
  void onWillAppear() override;
};
