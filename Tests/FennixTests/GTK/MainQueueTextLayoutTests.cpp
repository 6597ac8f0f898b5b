// The main queue beside a toolkit text view that lays out a long text in its idle time: blocks
// posted in a flood keep running while the layout goes on, rather than after all of it.
#include <gtest/gtest.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/textview.h>
#include <gtkmm/window.h>

#include <string>
#include <vector>

#include "FennixTests/DispatchTestSupport.h"
#include "Platform/Dispatch.h"
#include "ViewKitWindowSupport.h"

using FennixTestSupport::runMainLoopUntil;
using ViewKitWindowSupport::gtkReady;

TEST(MainQueueTextLayoutTests, AFloodOfBlocksRunsWhileATextViewLaysOutALongText) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  Gtk::Window window;
  Gtk::ScrolledWindow scroller;
  Gtk::TextView view;
  view.set_monospace(true);
  scroller.set_child(view);
  window.set_child(scroller);
  window.set_default_size(600, 400);
  window.present();
  ASSERT_TRUE(runMainLoopUntil([&] { return view.get_height() > 0; }, 60));

  // The view measures the lines of a text in the background, a few thousand per turn of the main
  // loop, and the scrolled height grows as it goes.
  std::string text;
  for (int line = 0; line < 150'000; ++line) text += "<rect x=\"" + std::to_string(line) + "\" width=\"4\"/>\n";
  view.get_buffer()->set_text(text);
  const auto adjustment = scroller.get_vadjustment();

  const std::size_t blocks = 20 * DispatchQueue::maximumBlocksPerDispatch;
  std::vector<double> heightWhenRun;
  for (std::size_t i = 0; i < blocks; ++i) {
    DispatchQueue::main().async([&] { heightWhenRun.push_back(adjustment->get_upper()); });
  }
  // Runs once nothing of higher priority is left: the blocks have run and the layout is done.
  bool settled = false;
  g_idle_add_full(
      G_PRIORITY_LOW,
      [](gpointer flag) -> gboolean {
        *static_cast<bool*>(flag) = true;
        return G_SOURCE_REMOVE;
      },
      &settled, nullptr);
  ASSERT_TRUE(runMainLoopUntil([&] { return settled; }, 600));
  ASSERT_EQ(heightWhenRun.size(), blocks);
  const double laidOut = adjustment->get_upper();
  EXPECT_GT(laidOut, 150'000.0) << "the whole text was measured";
  EXPECT_LT(heightWhenRun.back(), laidOut / 2) << "the last block waited for the text view's layout";
  window.close();
}
