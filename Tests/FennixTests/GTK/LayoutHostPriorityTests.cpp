// Weaker-than-required inequalities in a real window: hugging, compression resistance and
// optional "<=" / ">=" constraints keep their meaning, and windows that hold them go away cleanly.
#include <gtest/gtest.h>
#include <gtkmm/box.h>
#include <gtkmm/window.h>

#include <string>

#include "Fennix/UI/Common/GTK/LayoutHostGTK.h"
#include "Fennix/UI/Common/Views/GTK/ViewBase.h"
#include "ViewKitWindowSupport.h"

using namespace ViewKitWindowSupport;

namespace {

NSLayoutConstraintPtr widthOf(Gtk::Widget& view, NSLayoutRelation relation, double size, NSLayoutPriority priority) {
  auto constraint = NSLayoutConstraint::make(Fennix::item(view), NSLayoutAttribute::width, relation, 1, size);
  constraint->setPriority(priority);
  return constraint;
}

// A 300-wide container holding one view; returns the view's width once laid out.
struct Stage {
  Gtk::Window window;
  QvViewBase* container = QvViewBase::make<QvViewBase>();
  QvViewBase* view = QvViewBase::make<QvViewBase>();

  Stage() {
    auto* column = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL);
    container->set_size_request(300, 40);
    column->append(*container);
    window.set_child(*column);
    Fennix::addSubviews(*container, {view});
  }
  int widthAfter(const NSLayoutConstraintList& constraints) {
    NSLayoutConstraint::activate(constraints);
    window.present();
    pumpUntil([&] { return container->get_width() > 0; });
    pumpFrames();
    return view->get_width();
  }
};

int criticals = 0;

}  // namespace

TEST(LayoutHostPriorityTest, OptionalInequalitiesYieldToStrongerConstraintsOnly) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  Fennix::installToolkitLayoutHost();
  {
    Stage stage;  // ">= 120" at 500 beats "== 50" at 250
    EXPECT_EQ(stage.widthAfter({widthOf(*stage.view, NSLayoutRelation::greaterThanOrEqual, 120, 500),
                                widthOf(*stage.view, NSLayoutRelation::equal, 50, 250)}),
              120);
  }
  {
    Stage stage;  // and gives way to "== 50" at 750
    EXPECT_EQ(stage.widthAfter({widthOf(*stage.view, NSLayoutRelation::greaterThanOrEqual, 120, 500),
                                widthOf(*stage.view, NSLayoutRelation::equal, 50, 750)}),
              50);
  }
  {
    Stage stage;  // "<= 80" at 500 beats "== 200" at 250 ...
    EXPECT_EQ(stage.widthAfter({widthOf(*stage.view, NSLayoutRelation::lessThanOrEqual, 80, 500),
                                widthOf(*stage.view, NSLayoutRelation::equal, 200, 250)}),
              80);
  }
  {
    Stage stage;  // ... and does not pull a smaller view up
    EXPECT_EQ(stage.widthAfter({widthOf(*stage.view, NSLayoutRelation::lessThanOrEqual, 80, 500),
                                widthOf(*stage.view, NSLayoutRelation::equal, 30, 250)}),
              30);
  }
  {
    // The view's natural width is its size request: hugging at 750 holds it against a pull at 500.
    Stage stage;
    stage.view->set_size_request(60, 10);
    Fennix::layoutHost()->setHuggingPriority(Fennix::item(*stage.view), NSLayoutConstraintOrientation::horizontal, 750);
    EXPECT_EQ(stage.widthAfter({widthOf(*stage.view, NSLayoutRelation::equal, 200, 500)}), 60);
  }
}

// Removing a weaker-than-required inequality used to corrupt the solver's memory now and then
// (a critical about a negative reference count, or an abort in malloc) when its window went away.
TEST(LayoutHostPriorityTest, WindowsWithOptionalInequalitiesGoAwayCleanly) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  Fennix::installToolkitLayoutHost();
  criticals = 0;
  const guint handler = g_log_set_handler(
      "GLib", static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_FLAG_FATAL),
      [](const gchar*, GLogLevelFlags, const gchar* message, gpointer) {
        if (std::string(message).find("rrc") != std::string::npos) ++criticals;
      },
      nullptr);
  for (int round = 0; round < 12; ++round) {
    Stage stage;
    Fennix::layoutHost()->setCompressionResistancePriority(Fennix::item(*stage.view),
                                                           NSLayoutConstraintOrientation::horizontal, 750);
    auto atLeast = widthOf(*stage.view, NSLayoutRelation::greaterThanOrEqual, 20, 500);
    stage.widthAfter({atLeast});
    if (round % 2) NSLayoutConstraint::deactivate({atLeast});
    stage.window.destroy();
    pumpFrames(5);
  }
  g_log_remove_handler("GLib", handler);
  EXPECT_EQ(criticals, 0);
}
