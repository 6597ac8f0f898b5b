// The split main controller in a window: its view is the split view with the coloured divider, the
// outer panes get their minimum widths before it shows, only the middle pane follows the window's
// size, and dividers dragged with the pointer stop where the controller lets them.
#include <gtest/gtest.h>
#include <gtkmm/label.h>
#include <gtkmm/paned.h>
#include <gtkmm/window.h>

#include "FennixTests/LogTestSupport.h"
#include "Fennix/UI/AppKit/Views/GTK/SplitViews.h"
#include "Fennix/UI/Common/GTK/LayoutHostGTK.h"
#include "Fennix/UI/Common/ViewControllers/GTK/ControllerKitsGTK.h"
#include "Fennix/UI/Common/ViewControllers/SplitMainViewController.h"
#include "ViewKitWindowSupport.h"
#include "XDriver/WidgetInput.h"

using namespace ViewKitWindowSupport;

namespace {

template <int Pane>
struct SplitTextPane : QvViewControllerBase {
  std::optional<Fennix::LayoutItem> makeView() override {
    static const char* const texts[] = {"Sources", "Content", "Properties"};
    return Fennix::controllerViewKit().makeLabel(texts[Pane]);
  }
};

/// Records the split view's calls of its delegate's resizing.
struct RecordingSplit : QvSplitMainVC {
  void resizeSubviewsWithOldSize(Fennix::LayoutItem splitView, double oldWidth, double oldHeight) override {
    oldWidths.push_back(oldWidth);
    QvSplitMainVC::resizeSubviewsWithOldSize(splitView, oldWidth, oldHeight);
  }
  std::vector<double> oldWidths;
};

struct SplitWindowTest : ::testing::Test {
  LogTestSupport::FileConsole console{LogLevel::info};
  std::unique_ptr<Gtk::Window> window;

  void SetUp() override {
    if (!gtkReady()) GTEST_SKIP() << "no display";
    Fennix::installControllerKitsGTK();
    Fennix::ControllerClassRegistry::registerViewController<SplitTextPane<0>>("SplitSources", std::nullopt);
    Fennix::ControllerClassRegistry::registerViewController<SplitTextPane<1>>("SplitContent", std::nullopt);
    Fennix::ControllerClassRegistry::registerViewController<SplitTextPane<2>>("SplitProperties", std::nullopt);
    console::setDefaultConsole(console.console);
    window = std::make_unique<Gtk::Window>();
  }
  void TearDown() override {
    console::setDefaultConsole(nullptr);
    for (const char* name : {"SplitSources", "SplitContent", "SplitProperties"})
      Fennix::ControllerClassRegistry::unregisterName(name);
    if (window) window->unset_child();
  }

  /// Shows the controller's view as the window's content, `width` wide.
  QvSplitViewWithColoredDivider* show(QvSplitMainVC& controller, int width) {
    auto* split = dynamic_cast<QvSplitViewWithColoredDivider*>(Fennix::controllerWidget(controller));
    if (!split) return nullptr;
    window->set_default_size(width, 300);
    window->set_child(*split);
    window->present();
    pumpUntil([&] { return split->get_width() >= width; });
    pumpFrames();
    return split;
  }
  static std::vector<int> widths(const QvDraggableSplitView& split) {
    std::vector<int> result;
    for (Gtk::Widget* pane : split.arrangedSubviews()) result.push_back(pane->get_width());
    return result;
  }
};

}  // namespace

TEST_F(SplitWindowTest, TheViewIsTheSplitViewAndOnlyTheMiddlePaneFollowsTheWindow) {
  auto controller = NSViewController::make<RecordingSplit>();
  controller->childClasses = std::vector<std::string>{"SplitSources", "SplitContent", "SplitProperties"};
  QvSplitViewWithColoredDivider* split = show(*controller, 1000);
  ASSERT_TRUE(split);
  ASSERT_EQ(split->arrangedSubviews().size(), 3u);
  ASSERT_EQ(controller->uxChildren().size(), 3u);
  for (std::size_t i = 0; i < 3; ++i)
    EXPECT_EQ(split->arrangedSubviews()[i], Fennix::controllerWidget(*controller->uxChildren()[i]));
  EXPECT_TRUE(split->isVertical());
  EXPECT_EQ(split->holdingPriority(0), 500);
  EXPECT_EQ(split->holdingPriority(1), 1);
  EXPECT_EQ(split->holdingPriority(2), 500);
  EXPECT_EQ(hHug(Fennix::item(*split->arrangedSubviews()[1])), 800);

  // Shown: the outer panes were widened to their minimums before the first layout.
  const int width = split->get_width();
  EXPECT_EQ(widths(*split), (std::vector<int>{182, width - 182 - 240 - 2, 240}));
  saveScreenshot(*window, "split-main-three-panes");
  // The dividers are one light grey line each; the panes beside them keep the window's colour.
  GdkTexture* picture = renderWidget(*window);
  ASSERT_TRUE(picture);
  EXPECT_TRUE(near(pixel(picture, 182, 150), 0xaaaaaa)) << std::hex << pixel(picture, 182, 150);
  EXPECT_TRUE(near(pixel(picture, width - 241, 150), 0xaaaaaa)) << std::hex << pixel(picture, width - 241, 150);
  EXPECT_FALSE(near(pixel(picture, 186, 150), 0xaaaaaa, 20)) << std::hex << pixel(picture, 186, 150);
  g_object_unref(picture);

  // The window grows and shrinks: the split view asks its delegate, and only the middle pane changes.
  auto input = WidgetInput::Input::open(*window);
  if (!input) GTEST_SKIP() << "no X input on this display";
  input->resize(*window, 1200, 300);
  ASSERT_TRUE(pumpUntil([&] { return split->get_width() == width + 200; }))
      << width << " " << split->get_width() << " " << window->get_width();
  pumpFrames();
  ASSERT_FALSE(controller->oldWidths.empty());
  EXPECT_EQ(controller->oldWidths.front(), width);
  EXPECT_EQ(widths(*split), (std::vector<int>{182, width + 200 - 182 - 240 - 2, 240}));
  input->resize(*window, 900, 300);
  ASSERT_TRUE(pumpUntil([&] { return split->get_width() == width - 100; }));
  pumpFrames();
  EXPECT_EQ(widths(*split), (std::vector<int>{182, width - 100 - 182 - 240 - 2, 240}));
  EXPECT_EQ(console.err.text().find("frame"), std::string::npos) << console.err.text();
}

TEST_F(SplitWindowTest, DraggedDividersStopAtTheMinimumWidths) {
  auto controller = NSViewController::make<QvSplitMainVC>();
  controller->childClasses = std::vector<std::string>{"SplitSources", "SplitContent", "SplitProperties"};
  QvSplitViewWithColoredDivider* split = show(*controller, 1000);
  ASSERT_TRUE(split);
  auto input = WidgetInput::Input::open(*window);
  if (!input) GTEST_SKIP() << "no X input on this display";
  const int width = split->get_width();
  const double middle = 150;

  // The first divider, dragged to 100, stops at 182; dragged to 300 it goes there (about: the
  // pointer takes the handle a little beside the line).
  input->drag(input->onScreen(*split, 182.5, middle), input->onScreen(*split, 100, middle));
  EXPECT_EQ(widths(*split)[0], 182);
  input->drag(input->onScreen(*split, 182.5, middle), input->onScreen(*split, 300, middle));
  EXPECT_NEAR(widths(*split)[0], 300, 8);
  const int first = widths(*split)[0];
  // The second divider, dragged so that the right pane would be 200 wide, stops at the split
  // view's width less 240, the divider's own width taken from the pane.
  const double second = width - 240 - 0.5;
  input->drag(input->onScreen(*split, second, middle), input->onScreen(*split, width - 200, middle));
  EXPECT_EQ(widths(*split)[2], 240 - split->dividerThickness());
  input->drag(input->onScreen(*split, second, middle), input->onScreen(*split, width - 400, middle));
  EXPECT_NEAR(widths(*split)[2], 400, 8);
  EXPECT_EQ(widths(*split)[0], first);
  saveScreenshot(*window, "split-main-dragged-dividers");
}

TEST_F(SplitWindowTest, ColouredSplitViewsShareOneStyle) {
  const auto style = QvSplitViewWithColoredDivider::dividerStyle();
  const guint references = G_OBJECT(style->gobj())->ref_count;
  for (int i = 0; i < 20; ++i) {
    QvSplitViewWithColoredDivider split(true);
    EXPECT_TRUE(split.has_css_class("qv-light-divider"));
  }
  // Making and ending split views leaves the display's styles as they were.
  EXPECT_EQ(QvSplitViewWithColoredDivider::dividerStyle(), style);
  EXPECT_EQ(G_OBJECT(style->gobj())->ref_count, references);
}

TEST_F(SplitWindowTest, PanesLeaveAndJoinThroughTheLayoutHost) {
  auto controller = NSViewController::make<QvSplitMainVC>();
  controller->childClasses = std::vector<std::string>{"SplitSources", "SplitContent", "SplitProperties"};
  QvSplitViewWithColoredDivider* split = show(*controller, 1000);
  ASSERT_TRUE(split);
  auto* host = Fennix::layoutHost();
  const auto panes = host->subviewsOf(Fennix::item(*split));
  ASSERT_EQ(panes.size(), 3u);
  EXPECT_EQ(host->superviewOf(panes[1]), Fennix::item(*split));

  host->removeFromSuperview(panes[1]);  // the controller still holds the pane's view
  EXPECT_EQ(host->subviewsOf(Fennix::item(*split)), (std::vector<Fennix::LayoutItem>{panes[0], panes[2]}));
  EXPECT_FALSE(host->superviewOf(panes[1]));
  EXPECT_TRUE(split->divider(0));
  EXPECT_FALSE(split->divider(1));
  pumpUntil([&] { return Fennix::widget(panes[2])->get_width() > 0; });
  EXPECT_EQ(Fennix::widget(panes[0])->get_width() + Fennix::widget(panes[2])->get_width() + 1, split->get_width());

  host->addSubview(Fennix::item(*split), panes[1]);
  EXPECT_EQ(host->subviewsOf(Fennix::item(*split)), (std::vector<Fennix::LayoutItem>{panes[0], panes[2], panes[1]}));
  EXPECT_TRUE(pumpUntil([&] { return Fennix::widget(panes[1])->get_mapped(); }));
}
