// Decisions of the tables, split views, window-dragging and divider views, without a display.
#include <gtest/gtest.h>

#include "Fennix/UI/Common/Views/DragLogic.h"
#include "Fennix/UI/Common/Views/TableLogic.h"

namespace {

using Fennix::MouseHandling;
using Rows = std::set<long>;

TEST(TableSelectionTest, SelectionByItems) {
  // An empty list clears a selection, and does nothing without one (no change is sent).
  EXPECT_EQ(Fennix::selectionForItems({1, 2}, {}), Rows{});
  EXPECT_EQ(Fennix::selectionForItems({}, {}), std::nullopt);
  // An item the outline does not show leaves the selection as it is.
  EXPECT_EQ(Fennix::selectionForItems({1}, {0, -1}), std::nullopt);
  // The same rows in another order do nothing; other rows replace the selection.
  EXPECT_EQ(Fennix::selectionForItems({1, 3}, {3, 1}), std::nullopt);
  EXPECT_EQ(Fennix::selectionForItems({1, 3}, {2}), Rows{2});
  EXPECT_EQ(Fennix::selectionForItems({}, {4, 0, 4}), (Rows{0, 4}));
}

TEST(TableSelectionTest, ClickBelowTheRows) {
  EXPECT_TRUE(Fennix::clickClearsSelection(true, true, -1));
  EXPECT_FALSE(Fennix::clickClearsSelection(true, true, 0));
  EXPECT_FALSE(Fennix::clickClearsSelection(false, true, -1));
  EXPECT_FALSE(Fennix::clickClearsSelection(true, false, -1));
}

TEST(TableSizingTest, ContentSizedHeightAndDescription) {
  EXPECT_EQ(Fennix::contentSizedHeight(100, 24), 125);
  EXPECT_EQ(Fennix::contentSizedHeight(100, std::nullopt), 100);
  EXPECT_EQ(Fennix::contentSizedHeight(Fennix::noIntrinsicMetric, 24), Fennix::noIntrinsicMetric);

  const std::string text = Fennix::tableDescription("QvExtendedTableView", reinterpret_cast<void*>(0x1234), 3, 2);
  EXPECT_EQ(text, "<QvExtendedTableView:ObjectIdentifier(0x0000000000001234): rows=3 cols=2>");
}

TEST(TableSizingTest, ButtonBarWidths) {
  using Layout = Fennix::TableButtonsLayout;
  EXPECT_EQ(Layout::segmentCount(2), 3);
  EXPECT_EQ(Layout::minimumWidth(24, 2), 51);
  EXPECT_EQ(Layout::minimumWidth(0, 1), std::nullopt);
  EXPECT_EQ(Layout::fillerWidth(200, {24, 24}), 152);
  // A bar narrower than its buttons leaves the filler at 0, never negative.
  EXPECT_EQ(Layout::fillerWidth(30, {24, 24}), 0);
  EXPECT_EQ(Layout::fillerWidth(10, {}), 10);
}

TEST(SplitViewDividerTest, SideBySideAreas) {
  // Two panes side by side, divider 1 wide at x 100, margin 4.
  const CGRect bounds(0, 0, 201, 80);
  const auto areas = Fennix::splitDividerAreas({CGRect(0, 0, 100, 80), CGRect(101, 0, 100, 80)}, bounds, 1, 4, true);
  ASSERT_EQ(areas.size(), 1u);
  EXPECT_FALSE(Fennix::shouldMouseDownMoveWindow({100, 40}, areas, true));
  EXPECT_FALSE(Fennix::shouldMouseDownMoveWindow({97, 40}, areas, true));   // 3 left of the divider
  EXPECT_FALSE(Fennix::shouldMouseDownMoveWindow({104, 40}, areas, true));  // 3 right of it
  EXPECT_TRUE(Fennix::shouldMouseDownMoveWindow({95, 40}, areas, true));    // 5 left
  EXPECT_TRUE(Fennix::shouldMouseDownMoveWindow({106, 40}, areas, true));   // 5 right
  EXPECT_FALSE(Fennix::shouldMouseDownMoveWindow({100, 0}, areas, true));   // full height
}

TEST(SplitViewDividerTest, StackedAreasComeFromTheBottomOfEachPane) {
  const CGRect bounds(0, 0, 300, 201);
  const std::vector<CGRect> panes{CGRect(0, 0, 300, 60), CGRect(0, 61, 300, 80), CGRect(0, 142, 300, 59)};
  const auto areas = Fennix::splitDividerAreas(panes, bounds, 1, 4, false);
  ASSERT_EQ(areas.size(), 2u);
  EXPECT_EQ(areas[0].origin.y, 56);
  EXPECT_EQ(areas[0].size.height, 9);
  EXPECT_EQ(areas[0].size.width, 300);
  // Near the dividers anywhere across the width resizes; in the middle of a pane moves.
  EXPECT_FALSE(Fennix::shouldMouseDownMoveWindow({299, 63}, areas, true));
  EXPECT_FALSE(Fennix::shouldMouseDownMoveWindow({0, 57}, areas, true));
  EXPECT_FALSE(Fennix::shouldMouseDownMoveWindow({150, 144}, areas, true));
  EXPECT_TRUE(Fennix::shouldMouseDownMoveWindow({150, 100}, areas, true));
  EXPECT_TRUE(Fennix::shouldMouseDownMoveWindow({150, 55}, areas, true));
  // No divider with a single pane: every click moves.
  EXPECT_TRUE(Fennix::splitDividerAreas({CGRect(0, 0, 300, 200)}, bounds, 1, 4, false).empty());
}

TEST(SplitViewDividerTest, MouseDownDecisions) {
  Fennix::SplitViewDragTracker tracker;
  EXPECT_EQ(tracker.mouseDown(true, true, true), MouseHandling::moveWindow);
  EXPECT_TRUE(tracker.isMovingWindow);
  EXPECT_EQ(tracker.mouseDragged(), MouseHandling::consumed);
  // Near a divider, not allowed, or a window that is not movable: the split view's own handling.
  EXPECT_EQ(tracker.mouseDown(true, true, false), MouseHandling::platform);
  EXPECT_FALSE(tracker.isMovingWindow);
  EXPECT_EQ(tracker.mouseDragged(), MouseHandling::platform);
  EXPECT_EQ(tracker.mouseDown(false, true, true), MouseHandling::platform);
  EXPECT_EQ(tracker.mouseDown(true, false, true), MouseHandling::platform);
}

TEST(WindowDraggingTest, PressDragRelease) {
  Fennix::WindowDragTracker<int> tracker;
  // Not movable: a plain view for all three events.
  EXPECT_EQ(tracker.mouseDown(false, 1), MouseHandling::platform);
  EXPECT_EQ(tracker.mouseDragged(false), MouseHandling::platform);
  EXPECT_EQ(tracker.mouseUp(false), MouseHandling::platform);
  EXPECT_FALSE(tracker.mouseDownEvent);
  // A drag without a kept press goes to the toolkit.
  EXPECT_EQ(tracker.mouseDragged(true), MouseHandling::platform);
  // A click without drag keeps the press; its release is the toolkit's.
  EXPECT_EQ(tracker.mouseDown(true, 7), MouseHandling::consumed);
  EXPECT_EQ(tracker.mouseDownEvent, 7);
  EXPECT_EQ(tracker.mouseUp(true), MouseHandling::platform);
  EXPECT_EQ(tracker.mouseDownEvent, 7);
  // Press, drag, release: the window moves from the kept press, the release ends the drag.
  EXPECT_EQ(tracker.mouseDown(true, 8), MouseHandling::consumed);
  EXPECT_EQ(tracker.mouseDragged(true), MouseHandling::moveWindow);
  EXPECT_TRUE(tracker.draggingWindow);
  EXPECT_EQ(tracker.mouseUp(true), MouseHandling::consumed);
  EXPECT_FALSE(tracker.draggingWindow);
  EXPECT_EQ(tracker.mouseDownEvent, 8);
}

TEST(DividerLinesTest, LinesBetweenContentSubviews) {
  using Fennix::DividerLine;
  const CGRect a(0, 0, 100, 20), b(0, 20, 100, 30), c(0, 50, 100, 10);
  // Three plain subviews: lines above the second and the third.
  EXPECT_EQ(Fennix::dividerLines({{a, {}}, {b, {}}, {c, {}}}, false, true, 2, true),
            (std::vector<DividerLine>{{{0, 19.5}, {100, 19.5}}, {{0, 49.5}, {100, 49.5}}}));
  // A title first: the first plain one gets no line.
  EXPECT_EQ(Fennix::dividerLines({{a, "title"}, {b, {}}, {c, {}}}, false, true, 2, true),
            (std::vector<DividerLine>{{{0, 49.5}, {100, 49.5}}}));
  // A spacer between two plain ones: no line for it, the next still gets one.
  EXPECT_EQ(Fennix::dividerLines({{a, {}}, {b, "spacer"}, {c, "other"}}, false, true, 2, true),
            (std::vector<DividerLine>{{{0, 49.5}, {100, 49.5}}}));
  // Padded lines, unflipped top edges, vertical lines.
  EXPECT_EQ(Fennix::dividerLine(b, false, false, 2, true), (DividerLine{{2, 19.5}, {99, 19.5}}));
  EXPECT_EQ(Fennix::dividerLine(b, false, true, 2, false), (DividerLine{{0, 49.5}, {100, 49.5}}));
  EXPECT_EQ(Fennix::dividerLines({{CGRect(0, 0, 40, 60), {}}, {CGRect(40, 0, 30, 60), {}}}, true, true, 2, true),
            (std::vector<DividerLine>{{{39.5, 0}, {39.5, 60}}}));
}

}  // namespace
