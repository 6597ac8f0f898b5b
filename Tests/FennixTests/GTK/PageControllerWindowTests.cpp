// A page controller in a window: with the toolkit's kits installed its pages slide in a stack, and
// the next move waits for the slide.
#include <gtest/gtest.h>
#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/label.h>
#include <gtkmm/stack.h>
#include <gtkmm/window.h>

#include "FennixTests/LogTestSupport.h"
#include "Fennix/UI/Common/ViewControllers/GTK/ControllerKitsGTK.h"
#include "Fennix/UI/Common/GTK/LayoutHostGTK.h"
#include "Fennix/UI/Common/ViewControllers/PageViewController.h"
#include "ViewKitWindowSupport.h"
#include "XDriver/WidgetInput.h"

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

/// A page with a heading and a button that sends an action up through the views it sits in.
struct ButtonPage : QvViewControllerBase {
  ButtonPage(std::string heading, std::string label, std::string action)
      : heading_(std::move(heading)), label_(std::move(label)), action_(std::move(action)) {}
  std::optional<Fennix::LayoutItem> makeView() override {
    auto* box = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 8);
    box->append(*Gtk::make_managed<Gtk::Label>(heading_));
    button = Gtk::make_managed<Gtk::Button>(label_);
    button->set_action_name(action_);
    button->set_halign(Gtk::Align::CENTER);
    box->append(*button);
    return Fennix::item(*box);
  }
  Gtk::Button* button = nullptr;

 private:
  std::string heading_, label_, action_;
};

TEST(PageControllerWindow, ButtonsInThePagesMoveThroughTheActions) {
  if (!gtkReady()) GTEST_SKIP() << "no display";
  Fennix::installControllerKitsGTK();
  auto pages = NSViewController::make<QvPageViewController>(QvPageViewController::TransitionStyle::scroll,
                                                            QvPageViewController::NavigationOrientation::horizontal);
  auto first = NSViewController::make<ButtonPage>("First page", "Next", "vc.moveForward");
  auto second = NSViewController::make<ButtonPage>("Second page", "Back", "vc.moveBackward");
  pages->setViewControllers(std::vector<NSViewController::Ptr>{first, second},
                            QvPageViewController::NavigationDirection::forward, false, nullptr);
  Gtk::Window window;
  window.set_default_size(300, 140);
  window.set_child(*Fennix::controllerWidget(*pages));
  window.present();
  ASSERT_TRUE(pumpUntil([&] { return first->button && first->button->get_mapped() && first->button->get_width() > 0; }));
  pumpFrames();
  // The buttons find their actions: they are sensitive only where an action answers.
  EXPECT_TRUE(first->button->is_sensitive());
  auto pointer = WidgetInput::Input::open(window);
  if (!pointer) GTEST_SKIP() << "no X input on this display";

  pointer->click(*first->button, first->button->get_width() / 2.0, first->button->get_height() / 2.0);
  ASSERT_TRUE(pumpUntil([&] { return pages->currentViewController() == second && !pages->isSwitching(); }));
  ASSERT_TRUE(pumpUntil([&] { return second->button->get_mapped() && second->button->get_width() > 0; }));
  pumpFrames();
  saveScreenshot(window, "page-moved-by-its-button");
  EXPECT_TRUE(second->button->is_sensitive());
  pointer->click(*second->button, second->button->get_width() / 2.0, second->button->get_height() / 2.0);
  ASSERT_TRUE(pumpUntil([&] { return pages->currentViewController() == first && !pages->isSwitching(); }));

  // A button outside any page controller finds no such action.
  Gtk::Button stray("Next");
  stray.set_action_name("vc.moveForward");
  Gtk::Window other;
  other.set_child(stray);
  other.present();
  pumpFrames();
  EXPECT_FALSE(stray.is_sensitive());
  other.unset_child();
  window.unset_child();
}

}  // namespace
