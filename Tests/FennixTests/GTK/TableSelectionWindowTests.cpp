// Tables selected as a person selects them: clicks with and without modifier keys, the arrow keys
// and Ctrl+A, in single and multiple selection, with rows the delegate refuses, across reloads
// and after scrolling.
#include <gtest/gtest.h>

#include <gtkmm/box.h>
#include <gtkmm/label.h>
#include <gtkmm/scrolledwindow.h>

#include <map>
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

TEST_F(TableSelectionWindowTest, ASingleSelectionTableFollowsKeysAndModifiedClicks) {
  std::size_t count = 5;
  NSTableView* single = nullptr;
  auto* oneColumn = qv().makeOneColumnTableView([&](NSTableView& table) { single = &table; });
  ASSERT_TRUE(single);
  single->setDataSource(labelledRows(count));
  single->setDelegate({[](std::size_t row) { return row != 1; }});
  oneColumn->set_vexpand(true);
  show(*oneColumn);
  ASSERT_TRUE(pumpUntil([&] { return single->viewAt(0, 4) != nullptr; }));
  auto pointer = WidgetInput::Input::open(*window);
  if (!pointer) GTEST_SKIP() << "no pointer events on this display";
  auto clickRow = [&](std::size_t row, const char* modifier = nullptr) {
    if (modifier) pointer->keyDown(modifier);
    pointer->click(*single->viewAt(0, row), 10, 10);
    if (modifier) pointer->keyUp(modifier);
    pumpFrames();
  };
  auto press = [&](const std::string& keys) {
    pointer->key(keys);
    pumpFrames();
  };

  // The arrow keys pass over the refused row without selecting it; Ctrl+A selects no more rows.
  clickRow(0);
  press("Down");
  EXPECT_EQ(single->selectedRowIndexes(), (Rows{0}));
  press("Down");
  EXPECT_EQ(single->selectedRowIndexes(), (Rows{2}));
  press("ctrl+a");
  EXPECT_EQ(single->selectedRowIndexes(), (Rows{2}));
  press("shift+Down");
  EXPECT_EQ(single->selectedRowIndexes(), (Rows{3}));
  // Shift makes no range; Control takes the selected row out.
  clickRow(0, "Shift_L");
  EXPECT_EQ(single->selectedRowIndexes(), (Rows{0}));
  clickRow(0, "Control_L");
  EXPECT_TRUE(single->selectedRowIndexes().empty());
  EXPECT_FALSE(drawnSelected(*single, 0));
  // A table that keeps a selection keeps it.
  single->setAllowsEmptySelection(false);
  clickRow(2);
  clickRow(2, "Control_L");
  EXPECT_EQ(single->selectedRowIndexes(), (Rows{2}));
  EXPECT_TRUE(drawnSelected(*single, 2));
  // So does one of multiple selection, which still gives up a row among others.
  single->setAllowsMultipleSelection(true);
  clickRow(3, "Control_L");
  EXPECT_EQ(single->selectedRowIndexes(), (Rows{2, 3}));
  clickRow(2, "Control_L");
  EXPECT_EQ(single->selectedRowIndexes(), (Rows{3}));
  clickRow(3, "Control_L");
  EXPECT_EQ(single->selectedRowIndexes(), (Rows{3}));
  EXPECT_TRUE(drawnSelected(*single, 3));
}

/// Sixty numbered rows, each in a row view of the controller's: unemphasized for even rows.
struct NumberedRows : QvTableViewController<std::string> {
  NumberedRows() {
    for (int row = 0; row < 60; ++row) arrangedObjects.push_back("Number " + std::to_string(row));
  }
  std::map<long, NSTableRowView*> newest;
  Fennix::TableRow rowViewForRow(long row) override {
    auto* made = Gtk::make_managed<NSTableRowView>();
    newest[row] = made;
    auto rowView = std::make_shared<Fennix::GtkTableRowView>(*made);
    rowView->setEmphasized(row % 2 != 0);
    return rowView;
  }
};

TEST_F(TableSelectionWindowTest, RowViewsHoldTheRowsScrolledIntoView) {
  auto numbers = NSViewController::make<NumberedRows>();
  Fennix::GtkTableViewHandle<std::string> handle(numbers, [](const std::string& text) { return text; });
  NSTableView& table = handle.table();
  show(handle.view(), 240, 300);
  ASSERT_TRUE(pumpUntil([&] { return table.viewAt(0, 0) != nullptr; }));
  auto pointer = WidgetInput::Input::open(*window);
  if (!pointer) GTEST_SKIP() << "no pointer events on this display";
  // The row at the top of the visible part of the table.
  const auto topRow = [&] {
    double x = 0, y = 0;
    return handle.view().translate_coordinates(table, 40, 4, x, y) ? table.rowAt(x, y) : -1L;
  };
  for (int turn = 0; turn < 200 && topRow() < 20; ++turn) {
    const long before = topRow();
    pointer->scroll(handle.view(), XDriver::Session::Wheel::down, 2);
    pumpUntil([&] { return topRow() > before; });
  }
  pumpFrames();
  // Every row shown after scrolling sits in the newest row view the controller gave for it, whose
  // look is the one it was given.
  std::vector<std::size_t> shown;
  for (std::size_t row = 0; row < 60; ++row) {
    Gtk::Widget* cell = table.viewAt(0, row);
    double x = 0, y = 0;
    if (!cell || !cell->get_mapped() || !cell->translate_coordinates(handle.view(), 0, 0, x, y) || y < 0 ||
        y + cell->get_height() > handle.view().get_height())
      continue;
    shown.push_back(row);
    auto* holder = dynamic_cast<NSTableRowView*>(cell->get_parent());
    ASSERT_NE(holder, nullptr) << row;
    EXPECT_EQ(holder, numbers->newest[long(row)]) << row;
    EXPECT_EQ(holder->isEmphasized(), row % 2 != 0) << row;
    auto* label = dynamic_cast<NSTableViewCell*>(cell) ? dynamic_cast<NSTableViewCell*>(cell)->storedTextLabel() : nullptr;
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(std::string(label->get_text()), numbers->arrangedObjects[row]);
  }
  ASSERT_FALSE(shown.empty());
  ASSERT_GT(shown.front(), 10u) << "the table did not scroll";
  // A click on a scrolled row selects that row, and its row view knows.
  const std::size_t picked = shown[shown.size() / 2];
  ASSERT_TRUE(pointer->click(*table.viewAt(0, picked), 20, 8));
  ASSERT_TRUE(pumpUntil([&] { return table.selectedRowIndexes() == Rows{picked}; }));
  pumpFrames();
  EXPECT_EQ(handle.clickedRow(), long(picked));
  auto* holder = dynamic_cast<NSTableRowView*>(table.viewAt(0, picked)->get_parent());
  ASSERT_NE(holder, nullptr);
  EXPECT_TRUE(holder->isSelected());
  saveScreenshot(*window, "table-row-views-scrolled");
  window->unset_child();
}

TEST_F(TableSelectionWindowTest, ARowMovedWithAnAnimationKeepsItsSelection) {
  auto letters = NSViewController::make<QvTableViewController<std::string>>();
  letters->arrangedObjects = {"Alpha", "Bravo", "Charlie", "Delta"};
  letters->allowRowReordering = true;
  letters->animatedReorder = true;
  Fennix::GtkTableViewHandle<std::string> handle(letters, [](const std::string& text) { return text; });
  NSTableView& table = handle.table();
  show(handle.view(), 240, 240);
  ASSERT_TRUE(pumpUntil([&] { return table.viewAt(0, 3) != nullptr; }));
  auto pointer = WidgetInput::Input::open(*window);
  if (!pointer) GTEST_SKIP() << "no pointer events on this display";
  ASSERT_TRUE(pointer->click(*table.viewAt(0, 0), 20, 8));
  ASSERT_TRUE(pumpUntil([&] { return table.selectedRowIndexes() == Rows{0}; }));
  // "Alpha" dragged below "Charlie" and "Delta" selected with it: both stay selected where they go.
  table.selectRowIndexes({3}, true);
  ASSERT_EQ(table.selectedRowIndexes(), (Rows{0, 3}));
  Gtk::Widget* third = table.viewAt(0, 2);
  double x = 0, y = 0;
  ASSERT_TRUE(third->translate_coordinates(table, 10, third->get_height() * 0.75, x, y));
  ASSERT_TRUE(handle.beginRowDrag(0));
  ASSERT_TRUE(handle.performDrop({Fennix::DraggingInfo::Source::thisTable, {}}, x, y));
  pumpFrames();
  EXPECT_EQ(letters->arrangedObjects, (std::vector<std::string>{"Bravo", "Charlie", "Alpha", "Delta"}));
  EXPECT_EQ(table.selectedRowIndexes(), (Rows{2, 3}));
  for (std::size_t row = 0; row < 4; ++row) EXPECT_EQ(drawnSelected(table, row), row >= 2) << row;
  saveScreenshot(*window, "table-moved-row-selected");
  window->unset_child();
}

}  // namespace
