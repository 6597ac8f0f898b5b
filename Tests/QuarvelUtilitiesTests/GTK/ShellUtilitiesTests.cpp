// The shell's small pieces in a real window: the link that fills the detail column once it is in a
// window, the sidebar toggle that does nothing without an active window, and the updater's
// commands that leave the menus as they are.
#include <giomm/simpleactiongroup.h>
#include <gtest/gtest.h>
#include <gtkmm/box.h>
#include <gtkmm/init.h>
#include <gtkmm/label.h>
#include <gtkmm/paned.h>
#include <gtkmm/window.h>

#include "FennixTests/DispatchTestSupport.h"
#include "QuarvelUtilities/GTK/ShellUtilities.h"

namespace {

using FennixTestSupport::runMainLoopUntil;
using namespace QuarvelUtilities;

class ShellUtilities : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(gtk_init_check());
    Gtk::init_gtkmm_internals();
  }
};

/// A window whose content is a split with a sidebar; the sidebar holds a fixed link to `detail`
/// and the content answers the sidebar toggle by counting.
struct SplitWindow {
  Gtk::Window window;
  Gtk::Box content{Gtk::Orientation::VERTICAL};
  Gtk::Paned split{Gtk::Orientation::HORIZONTAL};
  Gtk::Box sidebar{Gtk::Orientation::VERTICAL};
  Gtk::Label detail{"detail"};
  int builds = 0;
  FixedNavLink link{[this]() -> Gtk::Widget& {
    ++builds;
    return detail;
  }};
  int toggles = 0;

  SplitWindow() {
    sidebar.append(*Gtk::make_managed<Gtk::Label>("sidebar"));
    sidebar.append(link);
    split.set_start_child(sidebar);
    content.append(split);
    auto actions = Gio::SimpleActionGroup::create();
    actions->add_action(toggleSidebarAction, [this] { ++toggles; });
    content.insert_action_group(Selectors::group, actions);
  }
  ~SplitWindow() {
    window.unset_child();
    window.hide();
  }
};

TEST_F(ShellUtilities, AFixedLinkFillsTheDetailColumnOnceInAWindowAndKeepsIt) {
  SplitWindow shown;
  EXPECT_EQ(shown.builds, 1) << "the target is made once, when the link is";
  EXPECT_TRUE(shown.link.isActive());
  EXPECT_FALSE(shown.link.get_visible());
  EXPECT_EQ(shown.split.get_end_child(), nullptr) << "nothing before the link is in a window";
  shown.window.set_child(shown.content);
  shown.window.present();
  ASSERT_TRUE(runMainLoopUntil([&] { return shown.split.get_end_child() == &shown.detail; }, 5));
  // Taken out of its window and put back, the link still shows the same target.
  shown.window.unset_child();
  shown.window.set_child(shown.content);
  FennixTestSupport::runMainLoopFor(0.1);
  EXPECT_EQ(shown.split.get_end_child(), &shown.detail);
  EXPECT_EQ(shown.builds, 1);

  // A link that is not inside a split changes nothing.
  Gtk::Window other;
  Gtk::Box box;
  Gtk::Label target("target");
  FixedNavLink loose(target);
  box.append(loose);
  other.set_child(box);
  FennixTestSupport::runMainLoopFor(0.1);
  EXPECT_EQ(target.get_parent(), nullptr);
}

TEST_F(ShellUtilities, WithoutAnActiveWindowTheSidebarToggleDoesNothing) {
  SplitWindow shown;
  shown.window.set_child(shown.content);
  // Never shown: no window is active.
  toggleSidebar();
  EXPECT_EQ(shown.toggles, 0);
  EXPECT_TRUE(shown.content.activate_action(Selectors::detailed(toggleSidebarAction)));
  EXPECT_EQ(shown.toggles, 1) << "the action the toggle sends is the one the content answers";
}

TEST_F(ShellUtilities, TheUpdatersCommandsAddNothingWhateverTheirOptions) {
  auto bar = Gio::Menu::create();
  bar->append("File", "app.file");
  addCommands(SparkleCommands(true, false, false, 86400, std::nullopt, std::nullopt), *bar);
  addCommands(SparkleCommands(false, true, true, 1, std::string("agent"),
                              std::map<std::string, std::string>{{"X-Header", "1"}}),
              *bar);
  EXPECT_EQ(bar->get_n_items(), 1);
  EXPECT_EQ(Selectors::detailed(Selectors::increaseFontSize), "doc.font-bigger");
}

}  // namespace
