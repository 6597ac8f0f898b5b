// A table whose rows are objects held by their base class, shown in cells of a subclass. (The
// classes have names of their own: the names of types in boxes are compared by text in some
// builds, so another test's class of the same name would be taken for them.)
#include <gtest/gtest.h>

#include <gtkmm/scrolledwindow.h>
#include <gtkmm/treeexpander.h>

#include <algorithm>
#include <functional>
#include <map>

#include "Fennix/UI/Common/ViewControllers/GTK/ControllerKitsGTK.h"
#include "Fennix/UI/Common/ViewControllers/GTK/OutlineViewControllerGTK.h"
#include "PortKit/GTK/TableCellsGTK.h"
#include "PortKit/GTK/TableViewControllerGTK.h"
#include "ViewKitWindowSupport.h"
#include "XDriver/WidgetInput.h"

using namespace ViewKitWindowSupport;

namespace {

struct ObjectTableWindowTest : WindowTest {};

struct Figure {
  virtual ~Figure() = default;
  virtual std::string name() const = 0;
};
struct Circle : Figure {
  std::string name() const override { return "circle"; }
  double radius = 3;
};
struct Square : Figure {
  std::string name() const override { return "square"; }
};
/// A circle of a class that neither the table nor the cell names anywhere.
struct SmallCircle : Circle {
  explicit SmallCircle(double size) { radius = size; }
  std::string name() const override { return "small circle"; }
};

/// A cell for circles: it shows the radius of the circle it holds, "no circle" otherwise.
struct CircleCell : QvObjectTableViewCell<Circle> {
  using QvObjectTableViewCell::QvObjectTableViewCell;
  void loadValue(const std::shared_ptr<Circle>& value) override {
    QvObjectTableViewCell::loadValue(value);
    textLabel()->set_text(value ? "circle of radius " + std::to_string(int(value->radius)) : "no circle");
  }
};

struct Figures : QvTableViewController<std::shared_ptr<Figure>> {
  Fennix::TableCell makeCell(const std::string& identifier, long, Fennix::TableViewHandle&) override {
    return std::make_shared<Fennix::GtkTableViewCellView>(*CircleCell::withID<CircleCell>(identifier), identifier,
                                                          nullptr);
  }
  void loadValue(const std::optional<std::shared_ptr<Figure>>&, Fennix::TableCellView&) override {}
};

TEST_F(ObjectTableWindowTest, ACircleHeldAsAShapeShowsInACircleCell) {
  Fennix::installControllerKitsGTK();
  Fennix::GtkTableViewHandle<std::shared_ptr<Figure>>::install(
      [](const std::shared_ptr<Figure>& shape) { return shape ? shape->name() : std::string(); });
  auto shapes = NSViewController::make<Figures>();
  auto circle = std::make_shared<Circle>();
  shapes->arrangedObjects = {circle, std::make_shared<Square>()};
  auto* scroll = dynamic_cast<Gtk::ScrolledWindow*>(Fennix::controllerWidget(*shapes));
  ASSERT_NE(scroll, nullptr);
  auto& table = Fennix::GtkTableViewHandle<std::shared_ptr<Figure>>::of(*scroll)->table();
  show(*scroll, 260, 160);
  auto* first = dynamic_cast<CircleCell*>(table.viewAt(0, 0));
  auto* second = dynamic_cast<CircleCell*>(table.viewAt(0, 1));
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  ASSERT_TRUE(pumpUntil([&] { return first->textLabel()->get_mapped() && first->textLabel()->get_width() > 0; }));
  saveScreenshot(*window, "circle-cells-of-shapes");
  EXPECT_EQ(first->representedObject, circle);
  EXPECT_EQ(std::string(first->textLabel()->get_text()), "circle of radius 3");
  EXPECT_FALSE(second->representedObject);
  EXPECT_EQ(std::string(second->textLabel()->get_text()), "no circle");

  window->unset_child();
  shapes.reset();
  pumpFrames();
  QvTableViewControllerBase<std::shared_ptr<Figure>>::tableViewMaker = nullptr;
}

TEST_F(ObjectTableWindowTest, CirclesOfAnUnnamedSubclassShowInCircleCellsAfterARealScroll) {
  Fennix::installControllerKitsGTK();
  Fennix::GtkTableViewHandle<std::shared_ptr<Figure>>::install(
      [](const std::shared_ptr<Figure>& shape) { return shape ? shape->name() : std::string(); });
  auto shapes = NSViewController::make<Figures>();
  // Small circles of radius 1, 3, 5, ... on even rows, squares between them; more rows than the
  // table makes views for at once.
  constexpr std::size_t rowCount = 1000;
  std::vector<std::shared_ptr<Figure>> rows;
  for (std::size_t row = 0; row < rowCount; ++row) {
    if (row % 2 == 0) {
      rows.push_back(std::make_shared<SmallCircle>(double(row + 1)));
    } else {
      rows.push_back(std::make_shared<Square>());
    }
  }
  shapes->arrangedObjects = rows;
  auto* scroll = dynamic_cast<Gtk::ScrolledWindow*>(Fennix::controllerWidget(*shapes));
  ASSERT_NE(scroll, nullptr);
  auto& table = Fennix::GtkTableViewHandle<std::shared_ptr<Figure>>::of(*scroll)->table();
  show(*scroll, 260, 160);
  auto input = WidgetInput::Input::open(*window);
  if (!input) GTEST_SKIP() << "no pointer events on this display";
  auto* first = dynamic_cast<CircleCell*>(table.viewAt(0, 0));
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->representedObject.get(), static_cast<Circle*>(static_cast<SmallCircle*>(rows[0].get())));
  EXPECT_EQ(std::string(first->textLabel()->get_text()), "circle of radius 1");
  // The first circle below the rows that have views.
  std::size_t target = 0;
  while (target < rowCount && table.viewAt(0, target)) ++target;
  target += target % 2;
  ASSERT_LT(target + 1, rowCount) << "every row has a view: nothing to scroll to";

  // The first row whose cell shows at the top of the visible part of the table (the pointer may
  // meet the space between two cells).
  const auto topRow = [&] {
    for (int down = 2; down < 80; down += 4) {
      double x = 0, y = 0;
      if (!scroll->translate_coordinates(table, 40, down, x, y)) return -1L;
      if (const long row = table.rowAt(x, y); row >= 0) return row;
    }
    return -1L;
  };

  // The wheel brings that circle into view; its cell is filled as it appears.
  for (int turn = 0; turn < 400 && !table.viewAt(0, target + 1); ++turn) {
    const long before = topRow();
    input->scroll(*scroll, XDriver::Session::Wheel::down, 2);
    pumpUntil([&] { return topRow() > before; });
  }
  ASSERT_NE(table.viewAt(0, target + 1), nullptr) << "the wheel did not scroll the table to row " << target;
  pumpFrames();
  auto* circle = dynamic_cast<CircleCell*>(table.viewAt(0, target));
  auto* square = dynamic_cast<CircleCell*>(table.viewAt(0, target + 1));
  ASSERT_NE(circle, nullptr);
  ASSERT_NE(square, nullptr);
  saveScreenshot(*window, "small-circle-cells-of-shapes");
  EXPECT_EQ(circle->representedObject.get(), static_cast<Circle*>(static_cast<SmallCircle*>(rows[target].get())));
  EXPECT_EQ(std::string(circle->textLabel()->get_text()), "circle of radius " + std::to_string(target + 1));
  EXPECT_FALSE(square->representedObject);
  EXPECT_EQ(std::string(square->textLabel()->get_text()), "no circle");
  // What the window shows after the scroll: circles of the subclass, each with its radius.
  const long shownRow = topRow();
  ASSERT_GE(shownRow, 0);
  auto* shown = dynamic_cast<CircleCell*>(table.viewAt(0, std::size_t(shownRow)));
  ASSERT_NE(shown, nullptr);
  EXPECT_GT(shownRow, 0) << "the wheel scrolled the table";
  EXPECT_EQ(std::string(shown->textLabel()->get_text()),
            shownRow % 2 ? std::string("no circle") : "circle of radius " + std::to_string(shownRow + 1));

  window->unset_child();
  shapes.reset();
  pumpFrames();
  QvTableViewControllerBase<std::shared_ptr<Figure>>::tableViewMaker = nullptr;
}


/// A stone: a class without virtual members, so that only its box tells what its objects are.
struct Stone {
  std::string label;
};
/// Stones of classes that no cell and no cast names.
struct Pebble : Stone {};
struct Boulder : Stone {
  int weight = 9;
};

/// A cell for stones: "stone <label>" for the stone it holds, "no stone" otherwise.
struct StoneCell : QvObjectTableViewCell<Stone> {
  using QvObjectTableViewCell::QvObjectTableViewCell;
  void loadValue(const std::shared_ptr<Stone>& value) override {
    QvObjectTableViewCell::loadValue(value);
    textLabel()->set_text(value ? "stone " + value->label : "no stone");
  }
};
Fennix::TableCell stoneCell(const std::string& identifier) {
  auto* cell = StoneCell::withID<StoneCell>(identifier);
  cell->set_hexpand(true);  // the row's width, also in an outline
  return std::make_shared<Fennix::GtkTableViewCellView>(*cell, identifier, nullptr);
}

struct Pebbles : QvTableViewController<std::shared_ptr<Pebble>> {
  Fennix::TableCell makeCell(const std::string& identifier, long, Fennix::TableViewHandle&) override {
    return stoneCell(identifier);
  }
};

/// An outline of boulders with pebbles below them.
struct StoneTree : QvOutlineVC {
  std::vector<Fennix::OutlineItem> boulders;
  std::map<const void*, std::vector<Fennix::OutlineItem>> below;
  std::optional<std::vector<Fennix::OutlineItem>> children(const Fennix::OutlineItem& item) override {
    if (!item) return boulders;
    auto found = below.find(item.get());
    if (found == below.end()) return std::nullopt;
    return found->second;
  }
  Fennix::TableCell viewForItem(const Fennix::OutlineItem& item) override {
    auto cell = stoneCell("stone");
    configureCell(*cell, item);
    return cell;
  }
};

/// The texts of the mapped stone cells below a widget, in row order.
std::vector<std::string> shownStones(Gtk::Widget& widget) {
  std::vector<std::pair<double, std::string>> found;
  std::function<void(Gtk::Widget&)> visit = [&](Gtk::Widget& view) {
    for (Gtk::Widget* child = view.get_first_child(); child; child = child->get_next_sibling()) {
      if (auto* cell = dynamic_cast<StoneCell*>(child); cell && cell->get_mapped()) {
        double x = 0, y = 0;
        cell->translate_coordinates(widget, 0, 0, x, y);
        // Shown whole, not cut to an ellipsis.
        int minimum = 0, natural = 0, ignored = 0;
        cell->textLabel()->measure(Gtk::Orientation::HORIZONTAL, -1, minimum, natural, ignored, ignored);
        const bool whole = cell->textLabel()->get_width() >= natural;
        found.emplace_back(y, std::string(cell->textLabel()->get_text()) + (whole ? "" : " (cut)"));
      }
      visit(*child);
    }
  };
  visit(widget);
  std::sort(found.begin(), found.end());
  std::vector<std::string> texts;
  for (auto& entry : found) texts.push_back(std::move(entry.second));
  return texts;
}

TEST_F(ObjectTableWindowTest, ObjectsOfClassesNoCellNamesShowInCellsOfTheirBaseInATableAndAnOutline) {
  Fennix::installControllerKitsGTK();
  // A table of pebbles, shown in stone cells.
  Fennix::GtkTableViewHandle<std::shared_ptr<Pebble>>::install(
      [](const std::shared_ptr<Pebble>& pebble) { return pebble ? pebble->label : std::string(); });
  auto pebbles = NSViewController::make<Pebbles>();
  pebbles->arrangedObjects = {std::make_shared<Pebble>(Pebble{{"grey"}}), std::make_shared<Pebble>(Pebble{{"white"}})};
  auto* table = dynamic_cast<Gtk::ScrolledWindow*>(Fennix::controllerWidget(*pebbles));
  ASSERT_NE(table, nullptr);
  show(*table, 260, 160);
  ASSERT_TRUE(pumpUntil([&] { return shownStones(*table).size() == 2; }));
  saveScreenshot(*window, "pebbles-in-stone-cells");
  EXPECT_EQ(shownStones(*table), (std::vector<std::string>{"stone grey", "stone white"}));
  // The cell that measures the rows holds a row's stone too.
  auto sizing = pebbles->sizingViews.find(pebbles->defaultCellID);
  ASSERT_NE(sizing, pebbles->sizingViews.end());
  auto* sizingView = dynamic_cast<Fennix::GtkTableCellView*>(sizing->second.get());
  ASSERT_NE(sizingView, nullptr);
  auto* sizingCell = dynamic_cast<StoneCell*>(&sizingView->widget());
  ASSERT_NE(sizingCell, nullptr);
  ASSERT_TRUE(sizingCell->representedObject);
  EXPECT_TRUE(std::any_of(pebbles->arrangedObjects.begin(), pebbles->arrangedObjects.end(),
                          [&](const auto& pebble) { return sizingCell->representedObject.get() == pebble.get(); }));
  window->unset_child();
  pebbles.reset();
  pumpFrames();
  QvTableViewControllerBase<std::shared_ptr<Pebble>>::tableViewMaker = nullptr;

  // An outline of boulders, opened by a click on the first one's triangle to show its pebbles.
  Fennix::GtkOutlineViewHandle::install([](const Fennix::OutlineItem&) { return std::string(); });
  auto tree = NSViewController::make<StoneTree>();
  auto boulder = std::make_shared<Boulder>();
  boulder->label = "big";
  tree->boulders = {boulder, std::make_shared<Boulder>()};
  tree->below[boulder.get()] = {std::make_shared<Pebble>(Pebble{{"small"}}),
                                std::shared_ptr<void>(std::make_shared<Pebble>(Pebble{{"untyped"}}))};
  auto* scroll = dynamic_cast<Gtk::ScrolledWindow*>(Fennix::controllerWidget(*tree));
  ASSERT_NE(scroll, nullptr);
  auto& outline = Fennix::GtkOutlineViewHandle::of(*scroll)->outline();
  show(*scroll, 260, 200);
  ASSERT_TRUE(pumpUntil([&] { return shownStones(outline).size() == 2; }));
  EXPECT_EQ(shownStones(outline), (std::vector<std::string>{"stone big", "stone "}));
  auto input = WidgetInput::Input::open(*window);
  if (!input) GTEST_SKIP() << "no pointer events on this display";
  Gtk::TreeExpander* expander = nullptr;
  std::function<void(Gtk::Widget&)> findExpander = [&](Gtk::Widget& view) {
    for (Gtk::Widget* child = view.get_first_child(); child && !expander; child = child->get_next_sibling()) {
      if (auto* found = dynamic_cast<Gtk::TreeExpander*>(child); found && found->get_mapped()) {
        expander = found;
        return;
      }
      findExpander(*child);
    }
  };
  findExpander(outline);
  ASSERT_NE(expander, nullptr);
  Gtk::Widget* triangle = expander->get_first_child();
  ASSERT_NE(triangle, nullptr);
  input->click(*triangle, triangle->get_width() / 2.0, triangle->get_height() / 2.0);
  ASSERT_TRUE(pumpUntil([&] { return shownStones(outline).size() == 4; }));
  saveScreenshot(*window, "pebbles-in-stone-cells-of-an-outline");
  // A pebble handed over as an untyped pointer is no stone to the cell.
  EXPECT_EQ(shownStones(outline), (std::vector<std::string>{"stone big", "stone small", "no stone", "stone "}));

  window->unset_child();
  tree.reset();
  pumpFrames();
  QvOutlineVC::outlineViewMaker = nullptr;
}

}  // namespace
