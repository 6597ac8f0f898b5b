// How long table cells and the views of table rows live, in shown windows.
#include <gtest/gtest.h>

#include <gtkmm/scrolledwindow.h>

#include "FennixTests/GTK/ViewKitWindowSupport.h"
#include "Fennix/UI/Common/ViewLookup.h"
#include "PortKit/GTK/TableViewCell.h"

namespace {

using namespace ViewKitWindowSupport;

class CellLifetimeTest : public WindowTest {
 protected:
  CellLifetimeTest() : WindowTest(260, 200, 20) {}
};

TEST_F(CellLifetimeTest, ACellLaysOutItsLabelsByItselfAndLeavesNothingPendingWhenItGoes) {
  auto* box = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL);
  auto* kept = NSTableViewCell::make(UXTableViewCellStyle::default_, "kept");
  box->append(*kept);
  show(*box);

  // Labels asked for in a shown cell are placed before the next frame, without further calls.
  kept->textLabel()->set_text("Kept");
  auto* gone = NSTableViewCell::make(UXTableViewCellStyle::subtitle, "gone");
  box->append(*gone);
  gone->textLabel()->set_text("Gone");
  gone->detailTextLabel()->set_text("removed before its constraints were installed");
  // The cell leaves the window while its constraint update is still queued.
  box->remove(*gone);
  pumpFrames(30);
  EXPECT_EQ(kept->constraints().installedConstraints().size(), 4u);
  EXPECT_TRUE(pumpUntil([&] { return kept->textLabel()->get_width() > 0; }));
  saveScreenshot(*window, "cell-constraints-by-themselves");

  // The reuse identifier is the cell's identifier: the view lookups find the cell by it.
  auto found = qvView(Fennix::item(*box), "kept");
  ASSERT_TRUE(found);
  EXPECT_EQ(Fennix::widget(*found), static_cast<Gtk::Widget*>(kept));
  EXPECT_EQ(qvIdToSubview(Fennix::item(*box)).count("kept"), 1u);
}

/// Counts the views of a data source that are still alive.
struct LiveViews {
  int made = 0;
  int alive = 0;
  Gtk::Label* track(Gtk::Label* label) {
    ++made;
    ++alive;
    g_object_weak_ref(G_OBJECT(label->gobj()), [](gpointer data, GObject*) { --static_cast<LiveViews*>(data)->alive; },
                      this);
    return label;
  }
};

void scrollThrough(Gtk::ScrolledWindow& scroll) {
  auto adjustment = scroll.get_vadjustment();
  for (double value = 0; value <= adjustment->get_upper(); value += adjustment->get_page_size()) {
    adjustment->set_value(value);
    pumpFrames(4);
  }
  pumpFrames(10);
}

TEST_F(CellLifetimeTest, ScrollingKeepsOnlyTheViewsItCanReuse) {
  constexpr std::size_t rows = 1500;
  LiveViews plain;  // views without a reuse identifier
  LiveViews named;  // views under one identifier, never taken back by their data source
  LiveViews reused;
  auto makeTable = [](LiveViews& views, const char* identifier, bool dequeue) {
    auto* table = Gtk::make_managed<NSTableView>();
    table->addTableColumn("text", "Text");
    table->setDataSource({[] { return rows; },
                          [&views, identifier, dequeue](NSTableView& t, const std::string&, std::size_t row) {
                            auto* label = dequeue && identifier ? dynamic_cast<Gtk::Label*>(t.makeView(identifier)) : nullptr;
                            if (!label) {
                              label = views.track(Gtk::make_managed<Gtk::Label>());
                              if (identifier) label->set_name(identifier);
                            }
                            label->set_text("Row " + std::to_string(row));
                            return label;
                          }});
    auto* scroll = Gtk::make_managed<Gtk::ScrolledWindow>();
    scroll->set_child(*table);
    scroll->set_vexpand(true);
    return std::pair{scroll, table};
  };
  auto* box = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL);
  box->set_homogeneous(true);
  auto [plainScroll, plainTable] = makeTable(plain, nullptr, false);
  auto [namedScroll, namedTable] = makeTable(named, "row", false);
  auto [reusedScroll, reusedTable] = makeTable(reused, "row", true);
  for (auto* scroll : {plainScroll, namedScroll, reusedScroll}) box->append(*scroll);
  show(*box);
  for (auto* scroll : {plainScroll, namedScroll, reusedScroll}) scrollThrough(*scroll);
  saveScreenshot(*window, "tables-scrolled-through");

  // Every row was shown, yet only the rows the list keeps bound (a few hundred) hold views, and
  // at most as many wait for reuse.
  EXPECT_GE(plain.made, int(rows));
  EXPECT_LT(plain.alive, 300);
  EXPECT_GE(named.made, int(rows));
  EXPECT_LT(named.alive, 500);
  // A data source that takes views back makes few.
  EXPECT_LT(reused.made, 300);
  auto* last = dynamic_cast<Gtk::Label*>(reusedTable->viewAt(0, rows - 1));
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(std::string(last->get_text()), "Row " + std::to_string(rows - 1));
  (void)plainTable;
  (void)namedTable;
  // The counters go with this test: so do the tables.
  window->unset_child();
  pumpFrames(5);
  EXPECT_EQ(plain.alive + named.alive + reused.alive, 0);
}

}  // namespace
