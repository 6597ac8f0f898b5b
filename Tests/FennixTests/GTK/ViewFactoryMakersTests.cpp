// Makers of the view factory in a shown window: stacks, separators, progress bars, tables with one
// column, source lists and collections, used as a person would.
#include <gtest/gtest.h>

#include <gtkmm/button.h>

#include "Fennix/UI/AppKit/GTK/ViewFactory.h"
#include "Fennix/UI/Common/GTK/AutoLayoutGTK.h"
#include "Fennix/UI/Common/StackMakers.h"
#include "Fennix/UI/Common/ViewControllers/GTK/ControllerKitsGTK.h"
#include "ViewKitWindowSupport.h"
#include "XDriver/WidgetInput.h"

using namespace ViewKitWindowSupport;

namespace {

class MakersWindowTest : public WindowTest {
 protected:
  MakersWindowTest() : WindowTest(420, 520) {}
};

/// A factory whose stacks carry a mark.
class StackMarkingFactory : public QvViewFactoryAppKitImp {
 public:
  Gtk::Box* makeStackView(const std::vector<Widget*>& views, NSUserInterfaceLayoutOrientation axis,
                          NSStackViewDistribution distribution, std::optional<NSLayoutAttribute> alignment,
                          std::optional<NSLayoutPriority> hugging, double spacing,
                          const std::function<void(Gtk::Box&)>& configure) override {
    Gtk::Box* stack =
        QvViewFactoryAppKitImp::makeStackView(views, axis, distribution, alignment, hugging, spacing, configure);
    stack->add_css_class("marked");
    return stack;
  }
};

std::vector<Gtk::Widget*> childrenOf(Gtk::Widget& widget) {
  std::vector<Gtk::Widget*> children;
  for (Gtk::Widget* child = widget.get_first_child(); child; child = child->get_next_sibling()) children.push_back(child);
  return children;
}

TEST_F(MakersWindowTest, StacksSeparatorsAndProgressBars) {
  Fennix::installControllerKitsGTK();
  StackMarkingFactory factory;
  auto* a = factory.makeLabel(std::nullopt, "a");
  auto* b = factory.makeLabel(std::nullopt, "b");
  Gtk::Box* column = factory.makeVStack(std::string("column"), NSStackViewDistribution::fill, NSLayoutAttribute::leading,
                                        std::nullopt, 4, {a, nullptr, b});
  EXPECT_NE(dynamic_cast<UXVerticalStackView*>(column), nullptr);
  EXPECT_TRUE(column->has_css_class("marked"));
  EXPECT_EQ(std::string(column->get_name()), "column");
  EXPECT_EQ(childrenOf(*column), (std::vector<Gtk::Widget*>{a, b}));
  Gtk::Box* row = factory.makeHStack(std::nullopt, NSStackViewDistribution::fillEqually, NSLayoutAttribute::centerY, 8,
                                     300, 200, {factory.makeLabel(std::nullopt, "c")});
  EXPECT_NE(dynamic_cast<UXHorizontalStackView*>(row), nullptr);
  EXPECT_TRUE(row->has_css_class("marked"));
  // The controllers' stacks come from the shared factory's maker too.
  auto shared = Fennix::makeVStack(std::nullopt, NSStackViewDistribution::fill, std::nullopt, std::nullopt, 2,
                                   {std::nullopt, Fennix::item(*qv().makeLabel(std::nullopt, "d"))});
  EXPECT_NE(dynamic_cast<UXVerticalStackView*>(Fennix::widget(shared)), nullptr);

  // Separators in a constraint layout are at least as long as they are thick.
  Gtk::Widget* holder = qv().makeGenericView();
  Gtk::Separator* across = qv().makeHSeparator();
  Gtk::Separator* down = qv().makeVSeparator();
  across->set_hexpand(false);
  down->set_vexpand(false);
  qvAdd(*holder, std::nullopt, *across, std::nullopt, "H:|-10-[self]", "V:|-10-[self(30)]");
  qvAdd(*holder, std::nullopt, *down, std::nullopt, "H:|-80-[self(40)]", "V:|-10-[self]");
  holder->set_size_request(300, 120);

  QvProgressBar* progress = qv().makeProgressBar();
  auto* page = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 6);
  for (Gtk::Widget* view : std::vector<Gtk::Widget*>{column, row, Fennix::widget(shared), holder, progress})
    page->append(*view);
  show(*page);
  EXPECT_GE(across->get_width(), 30);
  EXPECT_GE(down->get_height(), 40);

  // A view added to a stack later sits as its alignment says (the column's: leading), as do the
  // views it was made with.
  auto* late = factory.makeLabel(std::nullopt, "late");
  Fennix::layoutHost()->addSubview(Fennix::item(*column), Fennix::item(*late));
  ASSERT_EQ(late->get_parent(), column);
  ASSERT_TRUE(pumpUntil([&] { return late->get_width() > 0; }));
  for (Gtk::Widget* view : {static_cast<Gtk::Widget*>(a), static_cast<Gtk::Widget*>(late)}) {
    graphene_rect_t bounds{};
    ASSERT_TRUE(gtk_widget_compute_bounds(GTK_WIDGET(view->gobj()), GTK_WIDGET(column->gobj()), &bounds));
    EXPECT_EQ(bounds.origin.x, 0);
    EXPECT_GT(bounds.size.width, 0);
    EXPECT_LT(bounds.size.width, column->get_width() / 2) << "stretched across the stack";
  }

  // The progress bar shows only while it runs.
  EXPECT_FALSE(progress->get_mapped());
  progress->startAnimation();
  EXPECT_TRUE(pumpUntil([&] { return progress->get_mapped(); }));
  saveScreenshot(*window, "factory-stacks-separators-progress");
  progress->stopAnimation();
  EXPECT_TRUE(pumpUntil([&] { return !progress->get_mapped(); }));

  const NSTableColumn named = NSTableView::qvItem("name", std::string("Name"));
  EXPECT_EQ(named.identifier, "name");
  EXPECT_EQ(named.title, "Name");
  EXPECT_EQ(NSTableView::qvItem("plain").title, "");
}

/// Three rows of labels.
NSTableView::DataSource threeRows() {
  return {[] { return std::size_t(3); },
          [](NSTableView&, const std::string&, std::size_t row) -> Gtk::Widget* {
            auto* label = Gtk::make_managed<Gtk::Label>("Row " + std::to_string(row));
            label->set_size_request(-1, 28);
            return label;
          }};
}

TEST_F(MakersWindowTest, TablesSourceListsAndCollectionsUnderThePointer) {
  NSTableView* single = nullptr;
  NSTableView* multiple = nullptr;
  auto* oneColumn = qv().makeOneColumnTableView([&](NSTableView& table) { single = &table; });
  auto* plain = qv().makeTableView([&](NSTableView& table) {
    multiple = &table;
    table.addTableColumn(NSTableView::qvItem("text"));
  });
  ASSERT_TRUE(single && multiple);
  single->setDataSource(threeRows());
  multiple->setDataSource(threeRows());

  struct Node {
    std::string name;
    std::vector<Node> children;
  } root{"", {{"Library", {{"Shapes", {}}}}}};
  Gtk::Label* shapes = nullptr;
  NSOutlineView* outline = nullptr;
  auto* sourceList = qv().makeSourceListView([&](NSOutlineView& view) {
    outline = &view;
    auto nodeOf = [&root](NSOutlineView::Item item) { return item ? static_cast<const Node*>(item) : &root; };
    view.setDataSource({[nodeOf](NSOutlineView::Item parent) { return nodeOf(parent)->children.size(); },
                        [nodeOf](std::size_t index, NSOutlineView::Item parent) -> NSOutlineView::Item {
                          return &nodeOf(parent)->children[index];
                        },
                        [nodeOf](NSOutlineView::Item item) { return !nodeOf(item)->children.empty(); },
                        [nodeOf, &shapes](NSOutlineView&, NSOutlineView::Item item) -> Gtk::Widget* {
                          auto* label = Gtk::make_managed<Gtk::Label>(nodeOf(item)->name);
                          label->set_xalign(0);
                          if (nodeOf(item)->name == "Shapes") shapes = label;
                          return label;
                        }});
  });
  ASSERT_NE(outline, nullptr);

  auto layout = std::make_shared<QvCVLeftFlowLayout>();
  layout->itemSize = {80, 30};
  layout->minimumInteritemSpacing = 6;
  layout->sectionInset = {4, 4, 4, 4};
  std::vector<Gtk::Button*> items;
  QvCollectionView* collection = nullptr;
  auto* collectionScroll = qv().makeCollectionView(layout, [&](QvCollectionView& view) {
    collection = &view;
    for (const char* name : {"one", "two", "three"}) {
      items.push_back(Gtk::make_managed<Gtk::Button>(name));
      view.append(*items.back());
    }
  });
  ASSERT_NE(collection, nullptr);
  EXPECT_EQ(collection->sharedCollectionViewLayout(), layout);

  auto* page = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 6);
  for (Gtk::Widget* view : std::vector<Gtk::Widget*>{oneColumn, plain, sourceList, collectionScroll}) {
    view->set_size_request(-1, 110);
    page->append(*view);
  }
  show(*page);
  outline->expandItem(outline->itemAtRow(0));
  pumpFrames();
  saveScreenshot(*window, "factory-tables-source-list-collection");

  // The one column is not editable, keeps its width from the user and fills the table.
  auto result = single->tableColumn("result");
  ASSERT_TRUE(result);
  EXPECT_FALSE(result->isEditable);
  EXPECT_FALSE(single->allowsColumnResizing());
  auto gtkColumn = std::dynamic_pointer_cast<Gtk::ColumnViewColumn>(single->get_columns()->get_object(0));
  ASSERT_TRUE(gtkColumn);
  EXPECT_FALSE(gtkColumn->get_resizable());
  ASSERT_NE(single->viewAt(0, 0), nullptr);
  graphene_rect_t cell{};
  ASSERT_TRUE(gtk_widget_compute_bounds(GTK_WIDGET(single->viewAt(0, 0)->gobj()), GTK_WIDGET(single->gobj()), &cell));
  EXPECT_GE(cell.size.width, single->get_width() - 24) << "the column does not fill the table";

  // Source lists indent each level by 16.
  ASSERT_NE(shapes, nullptr);
  EXPECT_EQ(shapes->get_margin_start(), 16);
  // The collection places its items by the given layout: flush left, the spacing apart.
  for (std::size_t i = 0; i < items.size(); ++i) {
    graphene_rect_t bounds;
    ASSERT_TRUE(gtk_widget_compute_bounds(GTK_WIDGET(items[i]->gobj()), GTK_WIDGET(collection->gobj()), &bounds));
    EXPECT_EQ(bounds.origin.x, 4 + float(i) * (80 + 6));
    EXPECT_EQ(bounds.origin.y, 4);
  }

  auto pointer = WidgetInput::Input::open(*window);
  if (!pointer) GTEST_SKIP() << "no pointer events on this display";
  auto clickRows = [&](NSTableView& table) {
    pointer->click(*table.viewAt(0, 0), 10, 10);
    pointer->keyDown("Control_L");
    pointer->click(*table.viewAt(0, 2), 10, 10);
    pointer->keyUp("Control_L");
  };
  // Control-click adds a row in a plain table; a one-column table keeps one row.
  clickRows(*multiple);
  EXPECT_EQ(multiple->selectedRowIndexes(), (NSTableView::IndexSet{0, 2}));
  clickRows(*single);
  EXPECT_EQ(single->selectedRowIndexes(), (NSTableView::IndexSet{2}));
  single->selectRowIndexes({0, 1}, true);
  EXPECT_EQ(single->selectedRowIndexes(), (NSTableView::IndexSet{0}));
  // A row the delegate refuses keeps a click from changing the selection.
  single->setDelegate({[](std::size_t row) { return row != 1; }});
  pointer->click(*single->viewAt(0, 1), 10, 10);
  EXPECT_EQ(single->selectedRowIndexes(), (NSTableView::IndexSet{0}));
  // Collection items are selectable, several at a time.
  pointer->click(*items[0], 5, 5);
  pointer->keyDown("Control_L");
  pointer->click(*items[2], 5, 5);
  pointer->keyUp("Control_L");
  EXPECT_EQ(collection->selectionIndexes(), (std::set<std::size_t>{0, 2}));
  EXPECT_TRUE((items[2]->get_state_flags() & Gtk::StateFlags::SELECTED) == Gtk::StateFlags::SELECTED);
}

/// Whether the table draws a row as selected: the state of the list row that holds its cell.
bool drawnSelected(NSTableView& table, std::size_t row) {
  for (Gtk::Widget* above = table.viewAt(0, row); above && above != &table; above = above->get_parent())
    if (std::string(gtk_widget_get_css_name(above->gobj())) == "row")
      return (above->get_state_flags() & Gtk::StateFlags::SELECTED) == Gtk::StateFlags::SELECTED;
  return false;
}

TEST_F(MakersWindowTest, AOneColumnTableHoldsOneRowOrNone) {
  NSTableView* single = nullptr;
  NSTableView* switched = nullptr;
  auto* oneColumn = qv().makeOneColumnTableView([&](NSTableView& table) { single = &table; });
  auto* plain = qv().makeTableView([&](NSTableView& table) {
    switched = &table;
    table.addTableColumn(NSTableView::qvItem("text"));
  });
  ASSERT_TRUE(single && switched);
  single->setDataSource(threeRows());
  switched->setDataSource(threeRows());
  oneColumn->set_size_request(-1, 200);
  plain->set_size_request(-1, 120);
  auto* page = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 6);
  page->append(*oneColumn);
  page->append(*plain);
  show(*page);
  ASSERT_TRUE(pumpUntil([&] { return single->viewAt(0, 2) && switched->viewAt(0, 2); }));
  // Nothing is selected until someone selects.
  EXPECT_TRUE(single->selectedRowIndexes().empty());
  auto pointer = WidgetInput::Input::open(*window);
  if (!pointer) GTEST_SKIP() << "no pointer events on this display";
  Gtk::Widget& last = *single->viewAt(0, 2);
  double x = 0, bottom = 0;
  ASSERT_TRUE(last.translate_coordinates(*single, 0, last.get_height(), x, bottom));
  ASSERT_GT(single->get_height() - bottom, 40) << "no room below the rows";
  auto clickBelowRows = [&] {
    pointer->click(*single, 30, bottom + 20);
    pumpFrames();
  };
  auto clickRow = [&](std::size_t row) {
    pointer->click(*single->viewAt(0, row), 10, 10);
    pumpFrames();
  };

  // A click below the rows empties the selection, on screen too.
  clickRow(1);
  ASSERT_EQ(single->selectedRowIndexes(), (NSTableView::IndexSet{1}));
  EXPECT_TRUE(drawnSelected(*single, 1));
  clickBelowRows();
  EXPECT_TRUE(single->selectedRowIndexes().empty());
  EXPECT_FALSE(drawnSelected(*single, 1));
  // So do deselecting all and selecting no rows in code.
  single->selectRowIndexes({2}, false);
  ASSERT_EQ(single->selectedRowIndexes(), (NSTableView::IndexSet{2}));
  single->deselectAll();
  EXPECT_TRUE(single->selectedRowIndexes().empty());
  single->selectRowIndexes({2}, false);
  single->selectRowIndexes({}, false);
  EXPECT_TRUE(single->selectedRowIndexes().empty());
  pumpFrames();
  EXPECT_FALSE(drawnSelected(*single, 2));

  // From an empty selection, a click on a row the delegate refuses selects nothing; a click on
  // another row still selects it, and one on the refused row then keeps it.
  single->setDelegate({[](std::size_t row) { return row != 1; }});
  clickRow(1);
  EXPECT_TRUE(single->selectedRowIndexes().empty());
  EXPECT_FALSE(drawnSelected(*single, 1));
  clickRow(0);
  EXPECT_EQ(single->selectedRowIndexes(), (NSTableView::IndexSet{0}));
  clickRow(1);
  EXPECT_EQ(single->selectedRowIndexes(), (NSTableView::IndexSet{0}));
  saveScreenshot(*window, "one-column-table-refused-row");
  clickBelowRows();
  EXPECT_TRUE(single->selectedRowIndexes().empty());

  // A loaded table switched to single selection selects no row by itself, not even one the delegate
  // refuses; one that had rows selected keeps the first of them.
  switched->setDelegate({[](std::size_t row) { return row != 0; }});
  switched->setAllowsMultipleSelection(false);
  pumpFrames();
  EXPECT_TRUE(switched->selectedRowIndexes().empty());
  EXPECT_FALSE(drawnSelected(*switched, 0));
  switched->setAllowsMultipleSelection(true);
  switched->selectRowIndexes({1, 2}, false);
  switched->setAllowsMultipleSelection(false);
  EXPECT_EQ(switched->selectedRowIndexes(), (NSTableView::IndexSet{1}));
  pointer->click(*switched->viewAt(0, 0), 10, 10);
  pumpFrames();
  EXPECT_EQ(switched->selectedRowIndexes(), (NSTableView::IndexSet{1}));
  pointer->click(*switched->viewAt(0, 2), 10, 10);
  pumpFrames();
  EXPECT_EQ(switched->selectedRowIndexes(), (NSTableView::IndexSet{2}));
}

}  // namespace
