// Tables with cells, outlines and split views in windows under a virtual display.
#include <gtest/gtest.h>

#include <gtkmm/scrolledwindow.h>

#include "FennixTests/GTK/ViewKitWindowSupport.h"
#include "Fennix/UI/AppKit/Views/GTK/SplitViews.h"
#include "Fennix/UI/Common/AutoLayout.h"
#include "PortKit/GTK/TableViewCell.h"

namespace {

using namespace ViewKitWindowSupport;

class TableWindowTest : public WindowTest {
 protected:
  TableWindowTest() : WindowTest(320, 240, 40) {}
};

struct Fruit {
  std::string name, detail;
};

TEST_F(TableWindowTest, TableWithCellsSelectionAndRows) {
  std::vector<Fruit> fruits{{"Apple", "red and round"}, {"Banana", "long"}, {"Cherry", ""}};
  auto* table = Gtk::make_managed<QvExtendedTableView>();
  table->addTableColumn("name", "Fruit");
  int made = 0;
  table->setDataSource({[&] { return fruits.size(); },
                        [&](NSTableView& t, const std::string&, std::size_t row) -> Gtk::Widget* {
                          auto* cell = dynamic_cast<NSTableViewCell*>(PortKit::dequeueReusableCell(t, "fruit"));
                          if (!cell) {
                            cell = NSTableViewCell::make(UXTableViewCellStyle::subtitle, "fruit");
                            ++made;
                          }
                          cell->textLabel()->set_text(fruits[row].name);
                          if (!fruits[row].detail.empty()) cell->detailTextLabel()->set_text(fruits[row].detail);
                          cell->updateConstraints();
                          return cell;
                        }});
  auto* scroll = Gtk::make_managed<QvContentSizedScrollView>();
  scroll->set_child(*table);
  show(*scroll);
  EXPECT_EQ(table->numberOfRows(), 3u);
  EXPECT_EQ(made, 3);
  EXPECT_NE(table->description().find(" rows=3 cols=1>"), std::string::npos);

  // A cell with a detail label has the two-label constraints; one without has the four.
  auto* first = dynamic_cast<NSTableViewCell*>(table->viewAt(0, 0));
  auto* third = dynamic_cast<NSTableViewCell*>(table->viewAt(0, 2));
  ASSERT_TRUE(first && third);
  EXPECT_EQ(first->constraints().installedConstraints().size(), 7u);
  EXPECT_EQ(third->constraints().installedConstraints().size(), 4u);
  EXPECT_GT(first->get_height(), third->get_height());

  // Selection turns the detail label to the selected text colour and back.
  table->selectRowIndexes({0}, false);
  EXPECT_EQ(first->backgroundStyle(), NSTableCellView::BackgroundStyle::emphasized);
  pumpFrames(20);
  saveScreenshot(*window, "table-with-cells");

  // A click below the rows clears the selection, unless switched off.
  const double below = table->get_height() - 3;
  table->setDeselectOnNonRowClick(false);
  // (the gesture's handler is the click; replay it at a point below the last row)
  EXPECT_EQ(table->rowAt(20, below), -1);
  EXPECT_EQ(table->rowAt(20, 5 + first->get_height()), 0);
  table->setDeselectOnNonRowClick(true);
  EXPECT_EQ(table->selectedRowIndexes(), (NSTableView::IndexSet{0}));

  // Rows by index path.
  fruits.push_back({"Date", "sweet"});
  PortKit::insertRows(*table, {{0, 3}, {1, 3}}, NSTableViewAnimationOptions::automatic);
  EXPECT_EQ(table->numberOfRows(), 4u);
  fruits.erase(fruits.begin());
  PortKit::deleteRows(*table, {{0, 0}}, std::nullopt);
  EXPECT_EQ(table->numberOfRows(), 3u);
  EXPECT_EQ(PortKit::dequeueReusableCell(*table, "unknown"), nullptr);
  pumpFrames(20);
  // The content-sized scroll view: the table's rows, its header and 1.
  auto height = scroll->intrinsicContentHeight();
  ASSERT_TRUE(height);
  int minimum = 0, natural = 0, b1 = -1, b2 = -1;
  table->measure(Gtk::Orientation::VERTICAL, -1, minimum, natural, b1, b2);
  EXPECT_EQ(*height, natural + 1);
}

TEST_F(TableWindowTest, CellLabelsAndConstraints) {
  auto* cell = NSTableViewCell::make(UXTableViewCellStyle::default_, std::nullopt);
  show(*cell);
  cell->updateConstraints();
  EXPECT_TRUE(cell->constraints().installedConstraints().empty());
  Gtk::Label* text = cell->textLabel();
  cell->updateConstraints();
  EXPECT_EQ(cell->constraints().installedConstraints().size(), 4u);
  const auto installed = cell->constraints().installedConstraints();
  cell->updateConstraints();
  EXPECT_EQ(cell->constraints().installedConstraints(), installed);
  cell->setTextLabel(text);  // the same label: nothing changes
  text->reference();  // the test keeps the label that leaves the cell
  cell->setTextLabel(nullptr);
  EXPECT_EQ(text->get_parent(), nullptr);
  text->unreference();
  cell->detailTextLabel()->set_text("detail only");
  cell->updateConstraints();
  // The detail alone lays out both labels, making the text label.
  EXPECT_NE(cell->storedTextLabel(), nullptr);
  EXPECT_EQ(cell->constraints().installedConstraints().size(), 7u);
}

struct Node {
  std::string name;
  std::vector<Node> children;
};

TEST_F(TableWindowTest, OutlineSelectionByItems) {
  Node root{"", {{"Fruit", {{"Apple", {}}, {"Pear", {}}}}, {"Vegetables", {{"Leek", {}}}}, {"Nuts", {}}}};
  Node hidden{"hidden", {}};
  auto* outline = Gtk::make_managed<NSOutlineView>();
  auto nodeOf = [&](NSOutlineView::Item item) { return item ? static_cast<const Node*>(item) : &root; };
  outline->setDataSource({[&](NSOutlineView::Item parent) { return nodeOf(parent)->children.size(); },
                          [&](std::size_t index, NSOutlineView::Item parent) -> NSOutlineView::Item {
                            return &nodeOf(parent)->children[index];
                          },
                          [&](NSOutlineView::Item item) { return !nodeOf(item)->children.empty(); },
                          [&](NSOutlineView&, NSOutlineView::Item item) -> Gtk::Widget* {
                            auto* label = Gtk::make_managed<Gtk::Label>(nodeOf(item)->name);
                            label->set_xalign(0);
                            return label;
                          }});
  auto* scroll = Gtk::make_managed<Gtk::ScrolledWindow>();
  scroll->set_child(*outline);
  show(*scroll);
  const Node* fruit = &root.children[0];
  const Node* nuts = &root.children[2];
  EXPECT_EQ(outline->numberOfRootItems(), 3u);
  outline->expandItem(fruit);
  EXPECT_EQ(outline->numberOfRows(), 5u);
  EXPECT_EQ(outline->expandedRootItems(), std::vector<NSOutlineView::Item>{fruit});
  EXPECT_EQ(outline->children(fruit).size(), 2u);

  int changes = 0;
  outline->signalSelectionChange().connect([&] { ++changes; });
  outline->setSelectedItems({});  // nothing selected: no change
  EXPECT_EQ(changes, 0);
  outline->setSelectedItems({nuts, &fruit->children[1]});
  EXPECT_EQ(outline->selectedItems(), (std::vector<NSOutlineView::Item>{&fruit->children[1], nuts}));
  const int after = changes;
  outline->setSelectedItems({fruit, &hidden});  // an item that is not shown: unchanged
  outline->setSelectedItems({nuts, &fruit->children[1]});  // the same set: nothing happens
  EXPECT_EQ(changes, after);
  EXPECT_EQ(outline->selectedItem(), &fruit->children[1]);
  pumpFrames(20);
  saveScreenshot(*window, "outline");
  outline->setSelectedItem(nullptr);
  EXPECT_TRUE(outline->selectedItems().empty());
}

TEST_F(TableWindowTest, SplitViewWithColoredDivider) {
  auto* split = Gtk::make_managed<QvSplitViewWithColoredDivider>(true);
  auto* left = Gtk::make_managed<Gtk::Label>("left");
  auto* middle = Gtk::make_managed<Gtk::Label>("middle");
  auto* right = Gtk::make_managed<Gtk::Label>("right");
  for (Gtk::Widget* pane : {static_cast<Gtk::Widget*>(left), static_cast<Gtk::Widget*>(middle),
                            static_cast<Gtk::Widget*>(right)}) {
    pane->set_size_request(90, 100);
    split->addArrangedSubview(*pane);
  }
  show(*split);
  ASSERT_EQ(split->paneFrames().size(), 3u);
  const CGRect first = split->paneFrames()[0];
  const double divider = first.origin.x + first.size.width;
  EXPECT_FALSE(split->shouldMouseDownMoveWindow({divider + 3, 50}));
  EXPECT_TRUE(split->shouldMouseDownMoveWindow({divider - 6, 50}));
  // Not movable by its background: a press goes to the split view.
  EXPECT_EQ(split->mouseDown({1, divider - 20, 50, 0, nullptr}), Fennix::MouseHandling::platform);
  Fennix::setMovableByWindowBackground(*window, true);
  EXPECT_EQ(split->mouseDown({1, divider - 20, 50, 0, nullptr}), Fennix::MouseHandling::moveWindow);
  EXPECT_EQ(split->mouseDragged(), Fennix::MouseHandling::consumed);
  EXPECT_EQ(split->mouseDown({1, divider + 1, 50, 0, nullptr}), Fennix::MouseHandling::platform);
  split->setQvMouseDownCanMoveWindow(false);
  EXPECT_EQ(split->mouseDown({1, divider - 20, 50, 0, nullptr}), Fennix::MouseHandling::platform);

  // The divider is drawn light grey in a light appearance.
  ASSERT_TRUE(split->dividerColor());
  pumpFrames(20);
  saveScreenshot(*window, "split-view-colored-divider");
  if (GdkTexture* texture = renderWidget(*window)) {
    int dividerX = -1;
    for (int x = int(divider) - 2; x <= int(divider) + 2 && dividerX < 0; ++x)
      if (near(pixel(texture, x, 50), 0xaaaaaa, 12)) dividerX = x;
    EXPECT_GE(dividerX, 0);
    g_object_unref(texture);
  }
}

TEST_F(TableWindowTest, DividerViewAndWindowDragging) {
  auto* view = QvViewBase::make<QvSubviewDividerView>();
  std::vector<Gtk::Widget*> rows;
  for (const char* name : {"title", "", "", "spacer", ""}) {
    auto* label = Gtk::make_managed<Gtk::Label>(*name ? name : "row");
    if (*name) label->set_name(name);
    rows.push_back(label);
  }
  for (Gtk::Widget* row : rows) Fennix::addSubviews(*view, {row});
  qvConstrainVerticalStack({Fennix::item(rows[0]), Fennix::item(rows[1]), Fennix::item(rows[2]),
                            Fennix::item(rows[3]), Fennix::item(rows[4])});
  view->setDividerColor(NSColor::fromRGB(0xff0000));
  show(*view);
  const auto lines = Fennix::dividerLines(view->dividedSubviews(), false, true, 2, true);
  ASSERT_EQ(lines.size(), 2u);  // above the second plain row and above the row after the spacer
  saveScreenshot(*window, "divider-view");
  if (GdkTexture* texture = renderWidget(*window)) {
    EXPECT_TRUE(near(pixel(texture, 10, int(lines[0].from.y)), 0xff0000, 40));
    g_object_unref(texture);
  }

  auto* dragging = Gtk::make_managed<QvWindowDraggingView>();
  window->set_child(*dragging);
  pumpFrames(5);
  EXPECT_EQ(dragging->mouseDown({}), Fennix::MouseHandling::platform);
  Fennix::setMovableByWindowBackground(*window, true);
  EXPECT_EQ(dragging->mouseDown({}), Fennix::MouseHandling::consumed);
  EXPECT_EQ(dragging->mouseUp(), Fennix::MouseHandling::platform);
  EXPECT_TRUE(dragging->tracker().mouseDownEvent);
}

TEST_F(TableWindowTest, ButtonBarUnderATable) {
  QvTableViewButtons* buttons = Gtk::make_managed<QvTableViewButtons>(
      std::vector<std::string>{"list-add-symbolic", "list-remove-symbolic"}, 24);
  show(*buttons);
  EXPECT_EQ(buttons->segmentCount(), 3);
  EXPECT_FALSE(buttons->segment(2).get_sensitive());
  EXPECT_EQ(buttons->minimumWidth(), 51);
  EXPECT_GE(buttons->get_width(), 51);
  int clicked = -1;
  buttons->onClick([&](QvTableViewButtons&, int segment) { clicked = segment; });
  buttons->segment(1).activate();
  EXPECT_TRUE(pumpUntil([&] { return clicked == 1; }));

  auto* none = Gtk::make_managed<QvTableViewButtons>(std::vector<std::string>{"no-such-icon-anywhere"}, 0);
  EXPECT_EQ(none->segmentCount(), 1);
  EXPECT_FALSE(none->minimumWidth());
}

}  // namespace
