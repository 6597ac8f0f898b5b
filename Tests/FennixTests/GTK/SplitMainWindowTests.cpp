// The split main controller's panes in a window: minimum widths, and only the middle pane resizes.
#include <gtest/gtest.h>
#include <gtkmm/paned.h>
#include <gtkmm/window.h>

#include <algorithm>

#include "Fennix/UI/Common/ViewControllers/GTK/ControllerKitsGTK.h"
#include "Fennix/UI/Common/ViewControllers/GTK/SplitMainViewControllerGTK.h"
#include "ViewKitWindowSupport.h"

using namespace ViewKitWindowSupport;

namespace {

struct SplitLabelPane : QvViewControllerBase {
  SplitLabelPane() = default;
  std::optional<Fennix::LayoutItem> makeView() override { return Fennix::controllerViewKit().makeLabel("Pane"); }
};

TEST(SplitMainWindow, OuterPanesKeepTheirMinimumAndTheMiddleOneResizes) {
  if (!gtkReady()) GTEST_SKIP() << "no display";
  Fennix::installControllerKitsGTK();
  Fennix::ControllerClassRegistry::registerViewController<SplitLabelPane>("SplitLabelPane", std::nullopt);
  auto split = NSViewController::make<QvSplitMainVC>();
  split->childClasses = std::vector<std::string>{"SplitLabelPane", "SplitLabelPane", "SplitLabelPane"};
  Gtk::Widget* panes = Fennix::makeSplitMainPanes(*split);
  ASSERT_NE(panes, nullptr);
  ASSERT_EQ(split->uxChildren().size(), 3u);
  EXPECT_EQ(Fennix::controllerWidget(*split), panes);
  std::vector<Gtk::Widget*> widgets;
  for (const auto& child : split->uxChildren()) widgets.push_back(Fennix::controllerWidget(*child));

  Gtk::Window window;
  window.set_default_size(1000, 300);
  window.set_child(*panes);
  window.present();
  pumpUntil([&] { return panes->get_width() >= 1000; });
  pumpFrames();
  EXPECT_EQ(widgets[0]->get_width(), 182);
  EXPECT_EQ(widgets[2]->get_width(), 240);
  const int middle = widgets[1]->get_width();
  EXPECT_GT(middle, 500);

  // A wider window: only the middle pane grows.
  int minimum = 0, natural = 0, ignored = 0;
  panes->measure(Gtk::Orientation::HORIZONTAL, -1, minimum, natural, ignored, ignored);
  EXPECT_GE(minimum, 182 + 240);
  panes->size_allocate(Gtk::Allocation(0, 0, panes->get_width() + 300, 300), -1);
  EXPECT_EQ(widgets[0]->get_width(), 182);
  EXPECT_EQ(widgets[2]->get_width(), 240);
  EXPECT_EQ(widgets[1]->get_width(), middle + 300);
  Fennix::ControllerClassRegistry::unregisterName("SplitLabelPane");
  window.unset_child();
}

/// A delegate that keeps the first divider at 300 or more.
struct WideSourceListSplit : QvSplitMainVC {
  double constrainMinCoordinate(Fennix::LayoutItem splitView, double proposed, long index) const override {
    if (index == 0) return std::max(proposed, 300.0);
    return QvSplitMainVC::constrainMinCoordinate(splitView, proposed, index);
  }
};

TEST(SplitMainWindow, DividersStayWhereTheControllerLetsThem) {
  if (!gtkReady()) GTEST_SKIP() << "no display";
  Fennix::installControllerKitsGTK();
  Fennix::ControllerClassRegistry::registerViewController<SplitLabelPane>("SplitLabelPane", std::nullopt);
  auto split = NSViewController::make<WideSourceListSplit>();
  split->childClasses = std::vector<std::string>{"SplitLabelPane", "SplitLabelPane", "SplitLabelPane"};
  auto* outer = dynamic_cast<Gtk::Paned*>(Fennix::makeSplitMainPanes(*split));
  ASSERT_NE(outer, nullptr);
  auto* inner = dynamic_cast<Gtk::Paned*>(outer->get_start_child());
  ASSERT_NE(inner, nullptr);
  Gtk::Window window;
  window.set_default_size(1000, 300);
  window.set_child(*outer);
  window.present();
  pumpUntil([&] { return outer->get_width() >= 1000; });
  pumpFrames();

  inner->set_position(200);
  pumpFrames();
  EXPECT_EQ(inner->get_position(), 300);
  inner->set_position(420);
  pumpFrames();
  EXPECT_EQ(inner->get_position(), 420);
  // The second divider stops where the right pane keeps its 240.
  outer->set_position(outer->get_width() - 200);
  pumpFrames();
  EXPECT_NEAR(outer->get_position(), outer->get_width() - 240, 1);
  Fennix::ControllerClassRegistry::unregisterName("SplitLabelPane");
  window.unset_child();
}

}  // namespace
