// The three-pane split controller's arithmetic over the fake layout host.
#include <gtest/gtest.h>

#include "FakeControllerViewKit.h"
#include "Fennix/UI/Common/AutoLayout.h"
#include "Fennix/UI/Common/ViewControllers/SplitMainViewController.h"

using namespace FennixTest;
using Frame = Fennix::LayoutHost::Frame;

namespace {

struct SplitPane : QvViewControllerBase {
  SplitPane() = default;
};

struct SplitMainTest : ::testing::Test, WithFakeControllerKit {
  std::shared_ptr<QvSplitMainVC> split = NSViewController::make<QvSplitMainVC>();
  SplitMainTest() {
    Fennix::ControllerClassRegistry::registerViewController<SplitPane>("SplitPane", std::nullopt);
    Fennix::resetFlexWarningsForTesting();
  }
  ~SplitMainTest() override { Fennix::ControllerClassRegistry::unregisterName("SplitPane"); }
  std::vector<Fennix::LayoutItem> panes() { return host->subviewsOf(*split->view()); }
};

TEST_F(SplitMainTest, DividersStopAtTheMinimumWidthsAndNothingCollapses) {
  split->childClasses = std::vector<std::string>{"SplitPane", "SplitPane", "SplitPane"};
  auto view = *split->view();
  host->setFrame(view, {0, 0, 1000, 600});
  EXPECT_EQ(split->constrainMinCoordinate(view, 100, 0), 182);
  EXPECT_EQ(split->constrainMinCoordinate(view, 300, 0), 300);
  EXPECT_EQ(split->constrainMinCoordinate(view, 100, 1), 100);
  EXPECT_EQ(split->constrainMaxCoordinate(view, 800, 1), 760);  // the right pane would be 200 wide
  EXPECT_EQ(split->constrainMaxCoordinate(view, 700, 1), 700);
  EXPECT_EQ(split->constrainMaxCoordinate(view, 900, 0), 900);
  for (auto pane : panes()) EXPECT_FALSE(split->canCollapseSubview(view, pane));
}

TEST_F(SplitMainTest, PanesAreChildrenAndOnlyTheMiddleOneResizes) {
  split->childClasses = std::vector<std::string>{"SplitPane", "NoSuchPane", "SplitPane", "SplitPane"};
  auto view = *split->view();
  ASSERT_EQ(panes().size(), 3u);
  EXPECT_EQ(split->uxChildren().size(), 3u);
  EXPECT_EQ(split->holdingPriorities, (std::map<long, NSLayoutPriority>{{0, 500}, {1, 1}, {2, 500}}));
  EXPECT_EQ(hHug(panes()[1]), 800);

  host->setFrame(view, {0, 0, 1000, 600});
  host->setFrame(panes()[0], {0, 0, 100, 600});
  host->setFrame(panes()[1], {101, 0, 500, 600});
  host->setFrame(panes()[2], {602, 0, 200, 600});
  split->viewWillAppear();
  EXPECT_EQ(host->frame(panes()[0]), (Frame{0, 0, 182, 600}));
  EXPECT_EQ(host->frame(panes()[2]).width, 240);

  host->setFrame(view, {0, 0, 1200, 600});
  split->resizeSubviewsWithOldSize(view, 1000, 600);
  EXPECT_EQ(host->frame(panes()[0]).width, 182);
  EXPECT_EQ(host->frame(panes()[1]).width, 1200 - 182 - 240 - 2);
  EXPECT_EQ(host->frame(panes()[2]).width, 240);
  EXPECT_EQ(host->frame(panes()[2]).x, 1200 - 240);
}

TEST_F(SplitMainTest, TwoPanesEnforceOnlyTheFirstMinimum) {
  split->childClasses = std::vector<std::string>{"SplitPane", "SplitPane"};
  split->view();
  host->setFrame(panes()[0], {0, 0, 50, 100});
  host->setFrame(panes()[1], {51, 0, 50, 100});
  split->viewWillAppear();
  EXPECT_EQ(host->frame(panes()[0]).width, 182);
  EXPECT_EQ(host->frame(panes()[1]).width, 50);

  auto lone = NSViewController::make<QvSplitMainVC>();
  lone->childClasses = std::vector<std::string>{"SplitPane"};
  lone->view();
  lone->viewWillAppear();
  EXPECT_TRUE(lone->holdingPriorities.empty());
}

}  // namespace
