// The view kit under a person's hands: presses in split panes, the toolbar's items following the
// focus and their actions, the cancelable spinner under the pointer, and views that spin, driven
// with real pointer and key input through the X server and read back from the screen.
#include <gtest/gtest.h>

#include <giomm/simpleactiongroup.h>
#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/entry.h>
#include <gtkmm/eventcontrollerlegacy.h>
#include <gtkmm/eventcontrollermotion.h>
#include <gtkmm/label.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <optional>
#include <set>

#include "Fennix/UI/AppKit/ViewControllers/GTK/WindowControllerGTK.h"
#include "Fennix/UI/AppKit/Views/GTK/ImageButton.h"
#include "Fennix/UI/AppKit/Views/GTK/ImageViews.h"
#include "Fennix/UI/AppKit/Views/GTK/SplitViews.h"
#include "Fennix/UI/AppKit/Views/GTK/TextFields.h"
#include "Fennix/UI/AppKit/Views/GTK/ToolbarStatusView.h"
#include "Fennix/UI/Common/GTK/AutoLayoutGTK.h"
#include "Fennix/UI/Common/GTK/LayoutHostGTK.h"
#include "Fennix/UI/Common/Views/GTK/ViewBase.h"
#include "ViewKitWindowSupport.h"
#include "XDriver/WidgetInput.h"

using namespace ViewKitWindowSupport;

namespace {

class InputWindowTest : public WindowTest {
 protected:
  InputWindowTest() : WindowTest(420, 260, 40) {}
  /// Shows the content and opens the input; skips without X input.
  bool showWithInput(Gtk::Widget& content) {
    show(content);
    input = WidgetInput::Input::open(*window);
    return input.has_value();
  }
  /// Runs the main loop until the window's frame clock has drawn `count` more frames (or two
  /// seconds passed).
  void waitFrames(int count) {
    GdkFrameClock* clock = gtk_widget_get_frame_clock(GTK_WIDGET(window->gobj()));
    if (!clock) return pumpFrames();
    const gint64 target = gdk_frame_clock_get_frame_counter(clock) + count;
    gdk_frame_clock_request_phase(clock, GDK_FRAME_CLOCK_PHASE_PAINT);
    pumpUntil([&] {
      if (gdk_frame_clock_get_frame_counter(clock) >= target) return true;
      gdk_frame_clock_request_phase(clock, GDK_FRAME_CLOCK_PHASE_PAINT);
      g_usleep(1000);
      return false;
    });
  }
  /// The screen's picture of `widget`, once it is laid out and two grabs frames apart agree.
  XDriver::Image grabOf(Gtk::Widget& widget) {
    pumpUntil([&] { return widget.get_width() > 1 && widget.get_height() > 1; });
    waitFrames(2);
    auto area = [&] {
      const WidgetInput::Point origin = input->onScreen(widget, 0, 0);
      return XDriver::Rect{origin.first, origin.second, widget.get_width(), widget.get_height()};
    };
    XDriver::Image last = session.grab(area());
    for (int attempt = 0; attempt < 40; ++attempt) {
      waitFrames(2);
      XDriver::Image next = session.grab(area());
      if (next.pixels == last.pixels) return next;
      last = std::move(next);
    }
    return last;
  }
  /// Whether the window `xid`, at `before` when a drag began, comes to rest moved by (dx, dy)
  /// within five seconds.
  bool movedBy(XDriver::WindowID xid, const XDriver::Rect& before, int dx, int dy) {
    return XDriver::waitUntil(
        [&] {
          pumpFrames(5);
          const XDriver::Rect after = session.geometry(xid);
          return after.x == before.x + dx && after.y == before.y + dy;
        },
        5);
  }
  /// How many pixels of two pictures of one size differ.
  static std::size_t differing(const XDriver::Image& a, const XDriver::Image& b) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < a.pixels.size() && i < b.pixels.size(); ++i) count += a.pixels[i] != b.pixels[i];
    return count;
  }
  static std::size_t colours(const XDriver::Image& image) {
    return std::set<std::uint32_t>(image.pixels.begin(), image.pixels.end()).size();
  }
  std::optional<WidgetInput::Input> input;
  XDriver::Session session;
};

// A press on a control in a pane is the control's; a press on what takes no press moves the window.
TEST_F(InputWindowTest, ControlsInSplitPanesKeepTheirPresses) {
  auto* split = Gtk::make_managed<QvSplitViewWithColoredDivider>(true);
  auto* left = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL);
  auto* button = Gtk::make_managed<Gtk::Button>("Press");
  button->set_margin(20);
  left->append(*button);
  auto* right = Gtk::make_managed<Gtk::Label>("background");
  left->set_size_request(180, -1);
  right->set_size_request(180, -1);
  split->addArrangedSubview(*left);
  split->addArrangedSubview(*right);
  window->set_title("split-view-press");
  Fennix::setMovableByWindowBackground(*window, true);
  if (!showWithInput(*split)) GTEST_SKIP() << "no X input on this display";
  int clicks = 0;
  button->signal_clicked().connect([&] { ++clicks; });

  ASSERT_TRUE(input->click(*button));
  EXPECT_TRUE(pumpUntil([&] { return clicks > 0; }));
  pumpFrames(20);
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(split->isMovingWindow());

  // The label takes no press: the split view moves the window, which follows the pointer.
  const auto xid = session.findWindow("split-view-press", 5);
  ASSERT_TRUE(xid);
  const XDriver::Rect before = session.geometry(*xid);
  const WidgetInput::Point from = input->middleOf(*right);
  input->drag(from, {from.first + 40, from.second + 30});
  EXPECT_TRUE(split->isMovingWindow());
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(movedBy(*xid, before, 40, 30)) << "the window did not follow the pointer";
}

// The split view decides which presses beside a divider drag it: those within its click margin,
// whatever the toolkit's own handle would take.
TEST_F(InputWindowTest, PressesWithinTheClickMarginDragTheDividerAndOthersMoveTheWindow) {
  auto* split = Gtk::make_managed<QvDraggableSplitView>(true);
  auto* left = Gtk::make_managed<Gtk::Label>("left");
  auto* right = Gtk::make_managed<Gtk::Label>("right");
  left->set_size_request(100, -1);
  right->set_size_request(100, -1);
  split->addArrangedSubview(*left);
  split->addArrangedSubview(*right);
  window->set_title("split-view-margin");
  Fennix::setMovableByWindowBackground(*window, true);
  if (!showWithInput(*split)) GTEST_SKIP() << "no X input on this display";
  Gtk::Paned& paned = *split->divider(0);
  // The divider's left edge in the split view; it is one pixel wide.
  auto edge = [&] { return split->paneFrames()[0].origin.x + split->paneFrames()[0].size.width; };
  auto dragFrom = [&](double x, int by) {
    const WidgetInput::Point from = input->onScreen(*split, x, split->get_height() / 2.0);
    input->drag(from, {from.first + by, from.second});
    pumpFrames(10);
  };
  const auto xid = session.findWindow("split-view-margin", 5);
  ASSERT_TRUE(xid);
  const XDriver::Rect before = session.geometry(*xid);

  int position = paned.get_position();
  dragFrom(edge() - 3, 30);  // 3 px left of the divider
  EXPECT_EQ(paned.get_position(), position + 30);
  EXPECT_FALSE(split->isMovingWindow());
  position = paned.get_position();
  dragFrom(edge() + 1 + 3, -10);  // 3 px right of it
  EXPECT_EQ(paned.get_position(), position - 10);

  // A wide margin: 15 px beside the divider, where the toolkit's handle takes nothing.
  split->setDividerClickMargin(20);
  position = paned.get_position();
  dragFrom(edge() - 15, 20);
  EXPECT_EQ(paned.get_position(), position + 20);
  EXPECT_FALSE(split->isMovingWindow());
  EXPECT_EQ(session.geometry(*xid).x, before.x);

  // 5 px beside it with the margin of 4, within the toolkit's handle: the window moves.
  split->setDividerClickMargin(4);
  position = paned.get_position();
  dragFrom(edge() + 1 + 5, 40);
  EXPECT_TRUE(split->isMovingWindow());
  EXPECT_EQ(paned.get_position(), position);
  const bool moved = XDriver::waitUntil(
      [&] {
        pumpFrames(5);
        return session.geometry(*xid).x == before.x + 40;
      },
      5);
  EXPECT_TRUE(moved) << "the window did not follow the pointer";
  EXPECT_EQ(paned.get_position(), position);
}

// A window move that starts while a divider is dragged takes the pointer from it: the divider
// stays where it was and the rest of the drag leaves it alone.
TEST_F(InputWindowTest, ADraggedDividerStopsOnceTheWindowMoves) {
  auto* split = Gtk::make_managed<QvDraggableSplitView>(true);
  auto* left = Gtk::make_managed<Gtk::Label>("left");
  auto* right = Gtk::make_managed<Gtk::Label>("right");
  left->set_size_request(100, -1);
  right->set_size_request(100, -1);
  split->addArrangedSubview(*left);
  split->addArrangedSubview(*right);
  window->set_title("split-view-moving");
  Fennix::setMovableByWindowBackground(*window, true);
  if (!showWithInput(*split)) GTEST_SKIP() << "no X input on this display";
  // Where the window last saw the pointer: it sees each motion before the split view does.
  double pointerX = -1;
  auto motion = Gtk::EventControllerMotion::create();
  motion->set_propagation_phase(Gtk::PropagationPhase::CAPTURE);
  motion->signal_motion().connect([&](double x, double) { pointerX = x; });
  window->add_controller(motion);
  auto waitFor = [&](const std::function<bool()>& done) {
    return XDriver::waitUntil(
        [&] {
          pumpFrames(5);
          return done();
        },
        30);
  };

  Gtk::Paned& paned = *split->divider(0);
  const int start = paned.get_position();
  const double edge = split->paneFrames()[0].origin.x + split->paneFrames()[0].size.width;
  const WidgetInput::Point from = input->onScreen(*split, edge - 2, split->get_height() / 2.0);
  input->moveTo(from);
  input->press();
  for (int step = 1; step <= 4; ++step) input->moveTo({from.first + 5 * step, from.second});
  ASSERT_TRUE(waitFor([&] { return paned.get_position() == start + 20; })) << paned.get_position() - start;
  EXPECT_FALSE(split->isMovingWindow());
  ASSERT_TRUE(waitFor([&] { return pointerX >= 0; }));
  const double reached = pointerX;

  split->setIsMovingWindow(true);
  for (int step = 1; step <= 4; ++step) input->moveTo({from.first + 20 + 5 * step, from.second});
  EXPECT_TRUE(waitFor([&] { return std::abs(pointerX - (reached + 20)) < 0.5; })) << pointerX - reached;
  EXPECT_EQ(paned.get_position(), start + 20);
  input->release();
  pumpFrames(10);
  EXPECT_EQ(paned.get_position(), start + 20);
  EXPECT_TRUE(split->isMovingWindow());
}

// The flag that a window move is under way holds a divider still in every split view, also one
// whose window cannot be moved by its background (whose dividers are the paned widgets' own), and
// in both orientations; a new press clears it, and a divider follows again once it is cleared.
TEST_F(InputWindowTest, AMovingWindowFlagHoldsEveryDividerStill) {
  for (const bool movable : {false, true})
    for (const bool vertical : {true, false}) {
      SCOPED_TRACE(std::string(movable ? "movable" : "not movable") + (vertical ? ", side by side" : ", stacked"));
      auto* split = Gtk::make_managed<QvDraggableSplitView>(vertical);
      auto* first = Gtk::make_managed<Gtk::Label>("first");
      auto* second = Gtk::make_managed<Gtk::Label>("second");
      first->set_size_request(100, 100);
      second->set_size_request(100, 100);
      split->addArrangedSubview(*first);
      split->addArrangedSubview(*second);
      Fennix::setMovableByWindowBackground(*window, movable);
      if (!showWithInput(*split)) GTEST_SKIP() << "no X input on this display";
      const auto waitFor = [&](const std::function<bool()>& done) {
        return XDriver::waitUntil(
            [&] {
              pumpFrames(5);
              return done();
            },
            30);
      };
      Gtk::Paned& paned = *split->divider(0);
      const CGRect pane = split->paneFrames()[0];
      const double edge = vertical ? pane.origin.x + pane.size.width : pane.origin.y + pane.size.height;
      const WidgetInput::Point from = vertical ? input->onScreen(*split, edge - 1, split->get_height() / 2.0)
                                               : input->onScreen(*split, split->get_width() / 2.0, edge - 1);
      const auto at = [&](int by) -> WidgetInput::Point {
        return vertical ? WidgetInput::Point{from.first + by, from.second} : WidgetInput::Point{from.first, from.second + by};
      };

      // Set before the press: the press clears it and the divider follows.
      const int start = paned.get_position();
      split->setIsMovingWindow(true);
      input->moveTo(from);
      input->press();
      for (int step = 1; step <= 4; ++step) input->moveTo(at(5 * step));
      EXPECT_TRUE(waitFor([&] { return paned.get_position() >= start + 10; })) << paned.get_position() - start;
      EXPECT_FALSE(split->isMovingWindow());
      pumpFrames(10);
      const int followed = paned.get_position();
      // Set during the drag: the divider stays.
      split->setIsMovingWindow(true);
      for (int step = 1; step <= 4; ++step) input->moveTo(at(20 - 5 * step));
      pumpFrames(20);
      EXPECT_EQ(paned.get_position(), followed);
      // Cleared again: it follows the pointer once more.
      split->setIsMovingWindow(false);
      for (int step = 1; step <= 2; ++step) input->moveTo(at(-5 * step));
      EXPECT_TRUE(waitFor([&] { return paned.get_position() < followed; })) << paned.get_position() - followed;
      input->release();
      pumpFrames(10);
      window->unset_child();
    }
}

// Wherever the toolkit takes a press for a divider's drag (on the divider and in the band beside
// it on either side, which reaches over the panes), the flag that a window move is under way holds
// that divider still in a window that cannot be moved by its background: set between the press
// and the pointer's first move (at every other point) or set during the drag (at the others). For
// each divider of three panes, in both orientations. The pointer is driven without waiting a fixed
// time: each step waits until the window has seen the event (the toolkit takes the pointer's
// moves once a frame).
TEST_F(InputWindowTest, AMovingWindowFlagHoldsADividerWhereverTheToolkitDragsIt) {
  // The presses and releases and the last pointer position the window saw, before any view under it.
  int presses = 0, releases = 0;
  double pointerX = 0, pointerY = 0;
  auto seen = Gtk::EventControllerLegacy::create();
  seen->set_propagation_phase(Gtk::PropagationPhase::CAPTURE);
  seen->signal_event().connect(
      [&](const Glib::RefPtr<const Gdk::Event>& event) {
        const auto type = event->get_event_type();
        if (type == Gdk::Event::Type::BUTTON_PRESS) ++presses;
        if (type == Gdk::Event::Type::BUTTON_RELEASE) ++releases;
        if (type == Gdk::Event::Type::BUTTON_PRESS || type == Gdk::Event::Type::MOTION_NOTIFY)
          event->get_position(pointerX, pointerY);
        return false;
      },
      false);
  window->add_controller(seen);

  for (const bool vertical : {true, false}) {
    SCOPED_TRACE(vertical ? "side by side" : "stacked");
    auto* split = Gtk::make_managed<QvDraggableSplitView>(vertical);
    for (const char* name : {"first", "second", "third"}) {
      auto* pane = Gtk::make_managed<Gtk::Label>(name);
      pane->set_size_request(vertical ? 100 : -1, vertical ? -1 : 60);
      split->addArrangedSubview(*pane);
    }
    Fennix::setMovableByWindowBackground(*window, false);
    if (!showWithInput(*split)) GTEST_SKIP() << "no X input on this display";
    ASSERT_TRUE(pumpUntil([&] { return split->paneFrames().size() == 3 && split->paneFrames()[2].size.width > 0; }));

    for (long index = 0; index < 2; ++index) {
      Gtk::Paned& paned = *split->divider(index);
      const int start = paned.get_position();
      const CGRect pane = split->paneFrames()[static_cast<std::size_t>(index)];
      // The divider is one point thick and starts where its pane ends.
      const int edge = int(std::lround(vertical ? pane.origin.x + pane.size.width : pane.origin.y + pane.size.height));
      // A press `offset` points from the divider along its axis and a drag: whether the divider
      // followed the pointer while the flag was clear; none when the window did not see the
      // pointer's events.
      const auto dragAt = [&](int offset) -> std::optional<bool> {
        SCOPED_TRACE("divider " + std::to_string(index) + ", " + std::to_string(offset) + " points from it");
        const WidgetInput::Point from = vertical ? input->onScreen(*split, edge + offset, split->get_height() / 2)
                                                 : input->onScreen(*split, split->get_width() / 2, edge + offset);
        double baseX = 0, baseY = 0;
        // Moves the pointer `by` along the axis from the press; whether the window saw it there.
        const auto moveBy = [&](int by) {
          session.moveTo(from.first + (vertical ? by : 0), from.second + (vertical ? 0 : by));
          return pumpUntil([&] {
            return std::abs(pointerX - (baseX + (vertical ? by : 0))) < 0.5 &&
                   std::abs(pointerY - (baseY + (vertical ? 0 : by))) < 0.5;
          });
        };
        session.moveTo(from.first, from.second);
        const int pressed = presses;
        session.press(1);
        if (!pumpUntil([&] { return presses > pressed; })) return std::nullopt;
        baseX = pointerX, baseY = pointerY;

        // Every other press, the flag is set after the press, before the pointer moves: the
        // divider stays.
        const bool setFirst = offset % 2 == 0;
        if (setFirst) {
          split->setIsMovingWindow(true);
          if (!moveBy(8)) return std::nullopt;
          pumpFrames(2);
          EXPECT_EQ(paned.get_position(), start) << "set before the pointer moved";
          split->setIsMovingWindow(false);
        }
        // Clear: where the toolkit drags the divider, it follows the pointer.
        if (!moveBy(12)) return std::nullopt;
        pumpFrames(2);
        const int followed = paned.get_position();
        if (!setFirst && followed != start) {
          // Set during the drag: it stays, also through the release.
          split->setIsMovingWindow(true);
          if (!moveBy(0)) return std::nullopt;
          pumpFrames(2);
          EXPECT_EQ(paned.get_position(), followed) << "set during the drag";
        }
        const int released = releases;
        session.release(1);
        if (!pumpUntil([&] { return releases > released; })) return std::nullopt;
        pumpFrames(2);
        EXPECT_EQ(paned.get_position(), followed);
        paned.set_position(start);
        const bool back = pumpUntil([&] {
          const CGRect now = split->paneFrames()[static_cast<std::size_t>(index)];
          return std::lround(vertical ? now.origin.x + now.size.width : now.origin.y + now.size.height) == edge;
        });
        if (!back) return std::nullopt;
        return followed != start;
      };
      // From the divider outwards on each side, until two presses in a row leave it alone.
      std::set<int> dragged;
      for (const int step : {1, -1}) {
        int misses = 0;
        for (int offset = step > 0 ? 0 : -1; misses < 2 && std::abs(offset) <= 40; offset += step) {
          const auto followed = dragAt(offset);
          ASSERT_TRUE(followed) << "the window did not see the pointer at " << offset;
          if (*followed) dragged.insert(offset);
          misses = *followed ? 0 : misses + 1;
        }
      }
      // The toolkit drags the divider from a band on either side of it, without a gap.
      ASSERT_FALSE(dragged.empty());
      EXPECT_LE(*dragged.begin(), -3);
      EXPECT_GE(*dragged.rbegin(), 3);
      EXPECT_EQ(int(dragged.size()), *dragged.rbegin() - *dragged.begin() + 1);
    }
    window->unset_child();
  }
}

// A side-line strip over a pane's edge behaves like what lies beneath it: a drag on it away
// from the divider moves the window, one on it within the divider's click margin drags the divider.
TEST_F(InputWindowTest, ASidelineStripActsAsTheSplitViewBeneathIt) {
  auto* split = Gtk::make_managed<QvDraggableSplitView>(true);
  auto* left = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL);
  auto* right = Gtk::make_managed<Gtk::Label>("right");
  auto* outer = Gtk::make_managed<QvSidelineDragView>();
  auto* inner = Gtk::make_managed<QvSidelineDragView>();
  auto* label = Gtk::make_managed<Gtk::Label>("left");
  outer->set_size_request(6, -1);
  inner->set_size_request(6, -1);
  label->set_hexpand(true);
  left->append(*outer);
  left->append(*label);
  left->append(*inner);
  left->set_size_request(120, 100);
  right->set_size_request(120, 100);
  split->addArrangedSubview(*left);
  split->addArrangedSubview(*right);
  window->set_title("sideline-strips");
  Fennix::setMovableByWindowBackground(*window, true);
  if (!showWithInput(*split)) GTEST_SKIP() << "no X input on this display";
  const auto xid = session.findWindow("sideline-strips", 5);
  ASSERT_TRUE(xid);

  // The strip beside the divider, 2 points left of it: the divider follows.
  Gtk::Paned& paned = *split->divider(0);
  const int position = paned.get_position();
  const WidgetInput::Point beside = input->onScreen(*inner, inner->get_width() - 2, inner->get_height() / 2.0);
  input->drag(beside, {beside.first + 20, beside.second});
  EXPECT_TRUE(XDriver::waitUntil(
      [&] {
        pumpFrames(5);
        return paned.get_position() == position + 20;
      },
      30))
      << paned.get_position() - position;

  // The strip at the far edge: the window follows.
  const XDriver::Rect before = session.geometry(*xid);
  const WidgetInput::Point edge = input->middleOf(*outer);
  input->drag(edge, {edge.first + 40, edge.second + 30});
  EXPECT_TRUE(movedBy(*xid, before, 40, 30)) << "the window did not follow the pointer";
}

// The image button acts on a release inside it and lights up while the pointer holds it; the
// clickable label acts on the press.
TEST_F(InputWindowTest, ImageButtonAndClickableLabelAnswerRealPresses) {
  auto* root = QvViewBase::make<QvViewBase>();
  auto* button = QvImageButton::make();
  button->setTitle("Button");
  button->setBordered(true);
  auto* label = Gtk::make_managed<QvClickableLabel>("Click me");
  qvAdd(*root, std::nullopt, *button, std::nullopt, "H:|-20-[self]", "V:|-20-[self]");
  qvAdd(*root, std::nullopt, *label, std::nullopt, "H:|-20-[self]", "V:|-80-[self]");
  int buttonClicks = 0, labelClicks = 0;
  button->onClick([&](QvImageButton&) { ++buttonClicks; });
  label->onClick([&](QvClickableLabel&) { ++labelClicks; });
  if (!showWithInput(*root)) GTEST_SKIP() << "no X input on this display";
  ASSERT_TRUE(pumpUntil([&] { return button->get_width() > 0 && label->get_width() > 0; }));

  ASSERT_TRUE(input->click(*button));
  EXPECT_TRUE(pumpUntil([&] { return buttonClicks == 1; }));
  EXPECT_FALSE(button->isHighlighted());
  // Held, it lights up; let go outside, it does nothing.
  const WidgetInput::Point inside = input->middleOf(*button);
  input->moveTo(inside);
  input->press();
  EXPECT_TRUE(pumpUntil([&] { return button->isHighlighted(); }));
  const XDriver::Image held = grabOf(*button);
  input->moveTo({inside.first + 4, inside.second + 2});
  input->moveTo({inside.first + 300, inside.second + 120});
  EXPECT_TRUE(pumpUntil([&] { return !button->isHighlighted(); }));
  input->release();
  pumpFrames(20);
  EXPECT_EQ(buttonClicks, 1);
  EXPECT_GT(differing(held, grabOf(*button)), 0u) << "the held button looked no different";

  input->moveTo(input->middleOf(*label));
  input->press();
  EXPECT_TRUE(pumpUntil([&] { return labelClicks == 1; }));  // before the release
  input->release();
  pumpFrames(20);
  EXPECT_EQ(labelClicks, 1);
}

// A drag on the window-dragging view moves its window when the window is movable by its
// background, and nothing otherwise.
TEST_F(InputWindowTest, AWindowDraggingViewMovesItsWindowWithARealDrag) {
  auto* dragging = Gtk::make_managed<QvWindowDraggingView>();
  window->set_title("window-dragging-view");
  if (!showWithInput(*dragging)) GTEST_SKIP() << "no X input on this display";
  const auto xid = session.findWindow("window-dragging-view", 5);
  ASSERT_TRUE(xid);
  const XDriver::Rect before = session.geometry(*xid);
  const WidgetInput::Point from = input->middleOf(*dragging);
  input->drag(from, {from.first + 40, from.second + 30});
  pumpFrames(20);
  EXPECT_EQ(session.geometry(*xid).x, before.x);
  EXPECT_FALSE(dragging->tracker().draggingWindow);

  Fennix::setMovableByWindowBackground(*window, true);
  input->drag(from, {from.first + 40, from.second + 30});
  EXPECT_TRUE(movedBy(*xid, before, 40, 30)) << "the window did not follow the pointer";
}

// The image view that drags its window does so like the window-dragging view: only a window
// movable by its background.
TEST_F(InputWindowTest, AWindowDraggingImageViewMovesOnlyAWindowMovableByItsBackground) {
  auto* image = Gtk::make_managed<QvWinDragImageView>();
  image->set_size_request(160, 120);
  window->set_title("window-dragging-image");
  if (!showWithInput(*image)) GTEST_SKIP() << "no X input on this display";
  const auto xid = session.findWindow("window-dragging-image", 5);
  ASSERT_TRUE(xid);
  const XDriver::Rect before = session.geometry(*xid);
  const WidgetInput::Point from = input->middleOf(*image);
  input->drag(from, {from.first + 40, from.second + 30});
  pumpFrames(20);
  EXPECT_EQ(session.geometry(*xid).x, before.x);
  EXPECT_EQ(session.geometry(*xid).y, before.y);

  // Movable: the same drag moves it, by the drag alone (a late move of the first would add up).
  Fennix::setMovableByWindowBackground(*window, true);
  input->drag(from, {from.first + 40, from.second + 30});
  EXPECT_TRUE(movedBy(*xid, before, 40, 30)) << "the window did not follow the pointer";
}

// Members that callers set: the image view's hover tracking, the spinner count and the split
// view's window move.
TEST_F(InputWindowTest, SettableMembersTakeEffect) {
  auto* box = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 40);
  box->set_margin(40);
  auto* hover = Gtk::make_managed<QvHoverImageView>();
  hover->set_size_request(40, 40);
  auto* away = Gtk::make_managed<Gtk::Label>("away");
  box->append(*hover);
  box->append(*away);
  if (!showWithInput(*box)) GTEST_SKIP() << "no X input on this display";
  ASSERT_TRUE(hover->hoverTrackingArea());
  auto first = hover->hoverTrackingArea();
  auto replacement = Gtk::EventControllerMotion::create();
  hover->setHoverTrackingArea(replacement);
  EXPECT_EQ(first->get_widget(), nullptr);  // the one before left the view
  EXPECT_EQ(replacement->get_widget(), hover);  // a view on screen tracks the new one at once
  input->moveTo(input->middleOf(*hover));
  EXPECT_TRUE(pumpUntil([&] { return hover->mouseInside(); }));
  input->moveTo(input->middleOf(*away));
  EXPECT_TRUE(pumpUntil([&] { return !hover->mouseInside(); }));

  // The count is stored; the bar follows at the next spinner call.
  auto* status = QvViewBase::make<QvToolbarStatusView>();
  box->append(*status);
  status->setSpinnerCount(2);
  EXPECT_EQ(status->spinnerCount(), 2);
  EXPECT_FALSE(status->progressRunning());
  status->stopSpinner(false);
  EXPECT_EQ(status->spinnerCount(), 1);

  QvDraggableSplitView split;
  split.setIsMovingWindow(true);
  EXPECT_TRUE(split.isMovingWindow());
  EXPECT_EQ(split.mouseDragged(), Fennix::MouseHandling::consumed);
  split.setIsMovingWindow(false);
  EXPECT_EQ(split.mouseDragged(), Fennix::MouseHandling::platform);
}

/// A window controller that writes down when its window becomes and stops being the key window.
struct KeyWatchingWindow : QvWindowController {
  explicit KeyWatchingWindow(std::string name, std::vector<std::string>* events) : name_(std::move(name)), events_(events) {}
  void onDidBecomeKey() override { events_->push_back(name_ + " key"); }
  void onDidResignKey() override { events_->push_back(name_ + " resigned"); }

 private:
  std::string name_;
  std::vector<std::string>* events_;
};

// The window system gives the keyboard focus to one window, then the other (as a window manager
// does on a click): their controllers hear that their windows became and stopped being key.
TEST_F(InputWindowTest, WindowControllersHearTheirWindowsBecomeAndResignKey) {
  Fennix::installWindowKitGTK();
  std::vector<std::string> events;
  auto first = QvWindowController::make<KeyWatchingWindow>("first", &events);
  auto second = QvWindowController::make<KeyWatchingWindow>("second", &events);
  first->setTitle("key-window-first");
  second->setTitle("key-window-second");
  Gtk::Window* firstWindow = Fennix::toolkitWindow(*first);
  Gtk::Window* secondWindow = Fennix::toolkitWindow(*second);
  ASSERT_TRUE(firstWindow && secondWindow);
  for (Gtk::Window* shown : {firstWindow, secondWindow}) {
    shown->present();
    ASSERT_TRUE(pumpUntil([&] { return shown->get_mapped() && shown->get_width() > 0; }));
  }
  pumpFrames(50);
  const auto firstID = session.findWindow("key-window-first", 5);
  const auto secondID = session.findWindow("key-window-second", 5);
  ASSERT_TRUE(firstID && secondID);
  auto focus = [&](XDriver::WindowID id, Gtk::Window& key, Gtk::Window& other) {
    session.focus(id);
    return XDriver::waitUntil(
        [&] {
          pumpFrames(5);
          return key.is_active() && !other.is_active();
        },
        5);
  };
  ASSERT_TRUE(focus(*firstID, *firstWindow, *secondWindow));
  pumpFrames(20);
  events.clear();
  ASSERT_TRUE(focus(*secondID, *secondWindow, *firstWindow));
  ASSERT_TRUE(focus(*firstID, *firstWindow, *secondWindow));
  pumpFrames(20);
  EXPECT_EQ(events, (std::vector<std::string>{"first resigned", "second key", "second resigned", "first key"}));
  secondWindow->hide();
  firstWindow->hide();
}

/// A controller whose view holds an editor that answers "doc.save" and a field that does not.
struct EditorVC : QvViewControllerBase {
  std::optional<Fennix::LayoutItem> makeView() override {
    auto* box = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 12);
    box->set_margin(20);
    editorBox = Gtk::make_managed<Gtk::Box>();
    editor = Gtk::make_managed<Gtk::Entry>();
    editorBox->append(*editor);
    other = Gtk::make_managed<Gtk::Entry>();
    box->append(*editorBox);
    box->append(*other);
    auto group = Gio::SimpleActionGroup::create();
    save = group->add_action("save", [this] { ++saved; });
    Fennix::insertActionGroup(*editorBox, "doc", group);
    return Fennix::item(*box);
  }
  Gtk::Box* editorBox = nullptr;
  Gtk::Entry* editor = nullptr;
  Gtk::Entry* other = nullptr;
  Glib::RefPtr<Gio::SimpleAction> save;
  int saved = 0;
};

struct SaveToolbarWindow : QvWindowController {
  std::vector<std::string> toolbarDefaultItemIdentifiers(const NSToolbar&) override { return {"save", "plain"}; }
  std::optional<NSToolbarItem> toolbarItem(NSToolbar&, const std::string& id, bool) override {
    if (id == "plain") return NSToolbarItem{id, makeToolbarButton("Plain", std::nullopt, nullptr, std::nullopt)};
    return NSToolbarItem{id, makeToolbarButton("Save", std::nullopt, [this] { ++clicks; }, std::nullopt), "doc.save"};
  }
  int clicks = 0;
};

TEST_F(InputWindowTest, ToolbarItemsFollowTheFocusAndTheirActions) {
  Fennix::installWindowKitGTK();
  auto content = NSViewController::make<EditorVC>();
  auto wc = QvWindowController::make<SaveToolbarWindow>();
  wc->mainComponent = NSViewController::Ptr(content);
  wc->qvToolbarID = "main";
  Gtk::Window* controlled = Fennix::toolkitWindow(*wc);
  ASSERT_TRUE(controlled);
  const auto items = Fennix::validatedToolbarItems(*wc);
  ASSERT_EQ(items.size(), 1u);  // the item without an action keeps its own state
  auto* saveButton = dynamic_cast<Gtk::Button*>(items[0]->view());
  ASSERT_TRUE(saveButton);
  auto* plainButton = Fennix::widget(*wc->toolbar()->items[1].view);
  controlled->present();
  ASSERT_TRUE(pumpUntil([&] { return content->other && content->other->get_width() > 0; }));
  input = WidgetInput::Input::open(*controlled);
  if (!input) GTEST_SKIP() << "no X input on this display";
  auto enabledBecomes = [&](bool enabled) {
    return XDriver::waitUntil(
        [&] {
          pumpFrames(5);
          return saveButton->get_sensitive() == enabled && items[0]->isEnabled() == enabled;
        },
        5);
  };

  // The focus in the field: nothing along its chain answers the action.
  ASSERT_TRUE(input->click(*content->other));
  EXPECT_TRUE(enabledBecomes(false));
  ASSERT_TRUE(input->click(*content->editor));
  EXPECT_TRUE(enabledBecomes(true));
  ASSERT_TRUE(input->click(*saveButton));
  EXPECT_TRUE(pumpUntil([&] { return wc->clicks == 1; }));

  // The action's own state: disabled, the button cannot be pressed.
  ASSERT_TRUE(input->click(*content->editor));
  content->save->set_enabled(false);
  EXPECT_TRUE(enabledBecomes(false));
  ASSERT_TRUE(input->click(*saveButton));
  pumpFrames(30);
  EXPECT_EQ(wc->clicks, 1);
  content->save->set_enabled(true);
  EXPECT_TRUE(enabledBecomes(true));

  // Keys move the focus too.
  ASSERT_TRUE(input->key("Tab"));
  EXPECT_TRUE(enabledBecomes(false));
  EXPECT_TRUE(plainButton->get_sensitive());
  saveScreenshot(*controlled, "toolbar-item-validated");
  controlled->hide();
}

TEST_F(InputWindowTest, CancelableSpinnerUnderThePointer) {
  auto* box = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 40);
  box->set_margin(40);
  auto* spinner = Gtk::make_managed<QvCancelableSpinner>();
  spinner->set_size_request(32, 32);
  spinner->set_valign(Gtk::Align::CENTER);
  auto* away = Gtk::make_managed<Gtk::Label>("away");
  box->append(*spinner);
  box->append(*away);
  int cancelled = 0;
  spinner->setAction([&] { ++cancelled; });
  if (!showWithInput(*box)) GTEST_SKIP() << "no X input on this display";

  // Stopped, the view hides (and the pointer finds nothing there).
  EXPECT_TRUE(spinner->isHidden());
  EXPECT_EQ(colours(grabOf(*spinner)), 1u);
  spinner->setSpinning(true);
  EXPECT_FALSE(spinner->isHidden());
  input->moveTo(input->middleOf(*spinner));
  EXPECT_TRUE(pumpUntil([&] { return spinner->mouseInside(); }));
  EXPECT_TRUE(spinner->cancelButton().get_child_visible());
  EXPECT_GT(colours(grabOf(*spinner)), 1u);
  saveScreenshot(*window, "spinner-cancel-under-pointer");
  ASSERT_TRUE(input->click(*spinner));
  EXPECT_TRUE(pumpUntil([&] { return cancelled == 1; }));

  // Stopped with the pointer over it: the whole view hides, the cancel button with it.
  spinner->setSpinning(false);
  EXPECT_TRUE(spinner->isHidden());
  EXPECT_EQ(colours(grabOf(*spinner)), 1u);
  saveScreenshot(*window, "spinner-stopped-under-pointer");
  ASSERT_TRUE(input->click(*spinner));
  pumpFrames(20);
  EXPECT_EQ(cancelled, 1);

  // Away and spinning again: the spinner, not the button.
  input->moveTo(input->middleOf(*away));
  pumpFrames(20);
  spinner->setSpinning(true);
  EXPECT_FALSE(spinner->isHidden());
  EXPECT_FALSE(spinner->cancelButton().get_child_visible());
  EXPECT_TRUE(spinner->spinner().get_child_visible());
  EXPECT_GT(colours(grabOf(*spinner)), 1u);
  spinner->setSpinning(false);
}

TEST_F(InputWindowTest, AnyViewSpinsAndRestsWhereItStopped) {
  double now = 5000;
  auto savedClock = Fennix::rotationClock();
  Fennix::rotationClock() = [&] { return now; };
  auto* box = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 60);
  box->set_margin(60);
  auto* label = Gtk::make_managed<Gtk::Label>();
  label->set_markup("<span size='xx-large' weight='bold'>Spin</span>");
  auto* button = Gtk::make_managed<Gtk::Button>("Press me");
  box->append(*label);
  box->append(*button);
  int clicks = 0;
  button->signal_clicked().connect([&] { ++clicks; });
  if (!showWithInput(*box)) {
    Fennix::rotationClock() = savedClock;
    GTEST_SKIP() << "no X input on this display";
  }
  const XDriver::Image labelStill = grabOf(*label);

  EXPECT_EQ(qvAnim(*label).animationLayer(), nullptr);  // no spin yet
  qvAnim(*label).startRotation(4, QvViewAnimations::Direction::forward);
  Gtk::Widget* layer = qvAnim(*label).animationLayer();
  ASSERT_NE(dynamic_cast<QvSpinHolder*>(layer), nullptr);
  EXPECT_EQ(label->get_parent(), layer);
  EXPECT_EQ(layer->get_parent(), box);
  EXPECT_EQ(box->get_first_child(), layer);  // in the label's place
  EXPECT_NE(g_object_get_data(G_OBJECT(label->gobj()), Fennix::rotationAnimationKey().c_str()), nullptr);
  const XDriver::Image atStart = grabOf(*label);
  EXPECT_EQ(atStart.pixels, labelStill.pixels);
  now += 0.5;  // an eighth of a turn
  const XDriver::Image turned = grabOf(*label);
  EXPECT_GT(differing(turned, atStart), atStart.pixels.size() / 20);
  saveScreenshot(*window, "spinning-label-eighth-turn");

  qvAnim(*label).stopRotation();
  // (the spin's target angle is a single-precision number, as the model keeps it)
  EXPECT_NEAR(Fennix::rotationState(*label)->restingAngle(), -std::numbers::pi / 4, 1e-6);
  now += 10;  // stopped: it rests where it stopped
  EXPECT_EQ(grabOf(*label).pixels, turned.pixels);
  qvAnim(*label).startRotation(4, QvViewAnimations::Direction::backward);
  EXPECT_EQ(qvAnim(*label).animationLayer(), layer);  // the holder is made once
  now += 0.5;  // backward from an eighth: upright again (within the single-precision angle)
  EXPECT_LT(differing(grabOf(*label), labelStill), labelStill.pixels.size() / 100);
  qvAnim(*label).stopRotation();

  // A button spins, and a half-turned button is still the button under the pointer.
  const XDriver::Image buttonStill = grabOf(*button);
  qvAnim(*button).startRotation(2, QvViewAnimations::Direction::backward);
  now += 1;
  const XDriver::Image upsideDown = grabOf(*button);
  EXPECT_GT(differing(upsideDown, buttonStill), buttonStill.pixels.size() / 20);
  saveScreenshot(*window, "spinning-button-half-turn");
  qvAnim(*button).stopRotation();
  EXPECT_NEAR(Fennix::rotationState(*button)->restingAngle(), std::numbers::pi, 1e-6);
  ASSERT_TRUE(input->click(*button));
  EXPECT_TRUE(pumpUntil([&] { return clicks == 1; }));
  Fennix::rotationClock() = savedClock;
}

}  // namespace

