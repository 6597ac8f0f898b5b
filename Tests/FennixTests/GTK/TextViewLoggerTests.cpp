// The text view that acts as a logger (needs a display).
#include <gtest/gtest.h>

#include <gtkmm/init.h>

#include <optional>

#include "Fennix/UI/GTK/TextViewLogger.h"

namespace {

bool gtkReady() {
  if (!gtk_init_check()) return false;
  Gtk::init_gtkmm_internals();
  return true;
}

TEST(TextViewLoggerTests, AppendsLinesUpToLogAndKeepsTheViewReadOnly) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  QvTextViewLogger view;
  view.set_editable(false);
  view.get_buffer()->set_text("start\n");
  view.get_buffer()->place_cursor(view.get_buffer()->begin());
  EXPECT_EQ(view.logLevel(), LogLevel::log);

  const std::optional<int> missing;
  bool produced = false;
  view.info([&] {
    produced = true;
    return std::string("hidden");
  });
  view.trace("hidden too");
  view.error("failed:", missing, std::string("quoted?"), 42);
  view.warn("careful \U0001F600");
  view.log("plain");
  EXPECT_FALSE(produced) << "ignored lines are not produced";
  EXPECT_EQ(view.get_buffer()->get_text(), "start\nERROR: failed: <nil> quoted? 42\nWARN:  careful \U0001F600\nplain\n");
  EXPECT_FALSE(view.get_editable());

  // Attributed text keeps its runs, at character offsets after the emoji.
  TextAttributes red;
  red.foregroundColor = NSColor(1, 0, 0, 1);
  qvAdd(view, AttributedString(u"\U0001F680x", red));
  const int x = view.get_buffer()->get_char_count() - 1;
  auto tags = view.get_buffer()->get_iter_at_offset(x).get_tags();
  ASSERT_EQ(tags.size(), 1u);
  EXPECT_EQ(tags[0]->property_foreground_rgba().get_value(), Gdk::RGBA(1, 0, 0, 1));
  EXPECT_TRUE(view.get_buffer()->get_iter_at_offset(x - 2).get_tags().empty());
  EXPECT_FALSE(view.get_editable());
}

}  // namespace
