// Tables selected as a person selects them: clicks with and without modifier keys, the arrow keys
// and Ctrl+A, in single and multiple selection, with rows the delegate refuses, across reloads
// and after scrolling.
#include <gtest/gtest.h>

#include <gtkmm/box.h>
#include <gtkmm/label.h>
#include <gtkmm/scrolledwindow.h>

#include <string>
#include <vector>

#include "Fennix/UI/AppKit/GTK/ViewFactory.h"
#include "Fennix/UI/Common/ViewControllers/GTK/ControllerKitsGTK.h"
#include "PortKit/GTK/TableCellsGTK.h"
#include "PortKit/GTK/TableViewControllerGTK.h"
#include "ViewKitWindowSupport.h"
#include "XDriver/WidgetInput.h"

using namespace ViewKitWindowSupport;

namespace {

class TableSelectionWindowTest : public WindowTest {
 protected:
  TableSelectionWindowTest() : WindowTest(300, 400) {}
};

/// `count` rows of labels "Row <n>", 28 pixels tall.
NSTableView::DataSource labelledRows(const std::size_t& count) {
  return {[&count] { return count; },
          [](NSTableView&, const std::string&, std::size_t row) -> Gtk::Widget* {
            auto* label = Gtk::make_managed<Gtk::Label>("Row " + std::to_string(row));
            label->set_size_request(-1, 28);
            return label;
          }};
}

using Rows = NSTableView::IndexSet;

/// Whether the table draws a row as selected: the state of the list row that holds its cell.
bool drawnSelected(NSTableView& table, std::size_t row) {
  for (Gtk::Widget* above = table.viewAt(0, row); above && above != &table; above = above->get_parent())
    if (std::string(gtk_widget_get_css_name(above->gobj())) == "row")
      return (above->get_state_flags() & Gtk::StateFlags::SELECTED) == Gtk::StateFlags::SELECTED;
  return false;
}

TEST_F(TableSelectionWindowTest, ReloadingKeepsTheSelectedRowsThatRemain) {
  std::size_t count = 5;
  NSTableView* multiple = nullptr;
  NSTableView* single = nullptr;
  auto* plain = qv().makeTableView([&](NSTableView& table) {
    multiple = &table;
    table.addTableColumn(NSTableView::qvItem("text"));
  });
  auto* oneColumn = qv().makeOneColumnTableView([&](NSTableView& table) { single = &table; });
  ASSERT_TRUE(multiple && single);
  multiple->setDataSource(labelledRows(count));
  single->setDataSource(labelledRows(count));
  auto* page = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 6);
  for (Gtk::Widget* scroll : {static_cast<Gtk::Widget*>(plain), static_cast<Gtk::Widget*>(oneColumn)}) {
    scroll->set_vexpand(true);
    page->append(*scroll);
  }
  show(*page);
  ASSERT_TRUE(pumpUntil([&] { return multiple->viewAt(0, 4) && single->viewAt(0, 4); }));
  auto pointer = WidgetInput::Input::open(*window);
  if (!pointer) GTEST_SKIP() << "no pointer events on this display";
  auto clickRow = [&](NSTableView& table, std::size_t row, const char* modifier = nullptr) {
    if (modifier) pointer->keyDown(modifier);
    pointer->click(*table.viewAt(0, row), 10, 10);
    if (modifier) pointer->keyUp(modifier);
    pumpFrames();
  };

  // Rows picked by the pointer stay selected, on screen too, when the table loads its rows again,
  // all or some of them.
  clickRow(*multiple, 1);
  clickRow(*multiple, 3, "Control_L");
  ASSERT_EQ(multiple->selectedRowIndexes(), (Rows{1, 3}));
  clickRow(*single, 2);
  ASSERT_EQ(single->selectedRowIndexes(), (Rows{2}));
  for (NSTableView* table : {multiple, single}) {
    table->reloadData();
    table->reloadData({1, 2}, {0});
  }
  pumpFrames();
  EXPECT_EQ(multiple->selectedRowIndexes(), (Rows{1, 3}));
  EXPECT_EQ(single->selectedRowIndexes(), (Rows{2}));
  for (std::size_t row = 0; row < count; ++row) {
    EXPECT_EQ(drawnSelected(*multiple, row), row == 1 || row == 3) << row;
    EXPECT_EQ(drawnSelected(*single, row), row == 2) << row;
  }
  saveScreenshot(*window, "tables-reloaded-with-selection");
  // The shift key still extends the selection from where the pointer last selected.
  clickRow(*multiple, 0);
  multiple->reloadData();
  clickRow(*multiple, 2, "Shift_L");
  EXPECT_EQ(multiple->selectedRowIndexes(), (Rows{0, 1, 2}));

  // Rows that are gone leave the selection.
  multiple->selectRowIndexes({1, 3}, false);
  count = 3;
  for (NSTableView* table : {multiple, single}) table->reloadData();
  pumpFrames();
  EXPECT_EQ(multiple->selectedRowIndexes(), (Rows{1}));
  EXPECT_EQ(single->selectedRowIndexes(), (Rows{2}));
  count = 1;
  for (NSTableView* table : {multiple, single}) table->reloadData();
  pumpFrames();
  EXPECT_TRUE(multiple->selectedRowIndexes().empty());
  EXPECT_TRUE(single->selectedRowIndexes().empty());
}

}  // namespace
