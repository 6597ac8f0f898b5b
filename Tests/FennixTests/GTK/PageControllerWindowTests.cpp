// A page controller in a window: with the toolkit's kits installed its pages slide in a stack, and
// the next move waits for the slide.
#include <gtest/gtest.h>
#include <gtkmm/stack.h>
#include <gtkmm/window.h>

#include "FennixTests/LogTestSupport.h"
#include "Fennix/UI/Common/ViewControllers/GTK/ControllerKitsGTK.h"
#include "Fennix/UI/Common/GTK/LayoutHostGTK.h"
#include "Fennix/UI/Common/ViewControllers/PageViewController.h"
#include "ViewKitWindowSupport.h"

using namespace ViewKitWindowSupport;

namespace {

struct LabelPage : QvViewControllerBase {
  explicit LabelPage(std::string text) : title(std::move(text)) {}
  std::string title;
  std::optional<Fennix::LayoutItem> makeView() override { return Fennix::controllerViewKit().makeLabel(title); }
};

TEST(PageControllerWindow, PagesSlideOneAfterTheOther) {
  if (!gtkReady()) GTEST_SKIP() << "no display";
  LogTestSupport::FileConsole console(LogLevel::info);
  console::setDefaultConsole(console.console);
  Fennix::installControllerKitsGTK();

  auto pages = NSViewController::make<QvPageViewController>(QvPageViewController::TransitionStyle::scroll,
                                                            QvPageViewController::NavigationOrientation::horizontal);
  std::vector<NSViewController::Ptr> list;
  for (const char* title : {"First page", "Second page", "Third page"})
    list.push_back(NSViewController::make<LabelPage>(title));
  pages->setViewControllers(list, QvPageViewController::NavigationDirection::forward, true, nullptr);

  Gtk::Window window;
  window.set_default_size(300, 120);
  auto* stack = dynamic_cast<Gtk::Stack*>(Fennix::controllerWidget(*pages));
  ASSERT_NE(stack, nullptr);
  window.set_child(*stack);
  window.present();
  pumpUntil([&] { return stack->get_width() > 0; });
  EXPECT_EQ(stack->get_visible_child(), Fennix::controllerWidget(*list[0]));

  pages->moveForward();
  EXPECT_TRUE(pages->isSwitching());
  EXPECT_TRUE(stack->get_transition_running());  // the slide is under way
  pages->moveForward();  // dropped while the slide runs
  EXPECT_EQ(pages->currentViewController(), list[1]);
  ASSERT_TRUE(pumpUntil([&] { return !pages->isSwitching(); }));
  EXPECT_EQ(stack->get_visible_child(), Fennix::controllerWidget(*list[1]));
  EXPECT_EQ(Fennix::controllerWidget(*list[0])->get_parent(), nullptr);  // the page left leaves the stack
  pumpFrames();
  saveScreenshot(window, "page-controller-second-page");

  pages->moveBackward();
  ASSERT_TRUE(pumpUntil([&] { return !pages->isSwitching(); }));
  EXPECT_EQ(stack->get_visible_child(), Fennix::controllerWidget(*list[0]));
  EXPECT_EQ(console.err.text(), "");
  console::setDefaultConsole(nullptr);
  window.unset_child();
}

}  // namespace
