// A table whose rows are objects held by their base class, shown in cells of a subclass.
#include <gtest/gtest.h>

#include <gtkmm/scrolledwindow.h>

#include "Fennix/UI/Common/ViewControllers/GTK/ControllerKitsGTK.h"
#include "PortKit/GTK/TableCellsGTK.h"
#include "PortKit/GTK/TableViewControllerGTK.h"
#include "ViewKitWindowSupport.h"

using namespace ViewKitWindowSupport;

namespace {

struct ObjectTableWindowTest : WindowTest {};

struct Shape {
  virtual ~Shape() = default;
  virtual std::string name() const = 0;
};
struct Circle : Shape {
  std::string name() const override { return "circle"; }
  double radius = 3;
};
struct Square : Shape {
  std::string name() const override { return "square"; }
};

/// A cell for circles: it shows the radius of the circle it holds, "no circle" otherwise.
struct CircleCell : QvObjectTableViewCell<Circle> {
  using QvObjectTableViewCell::QvObjectTableViewCell;
  void loadValue(const std::shared_ptr<Circle>& value) override {
    QvObjectTableViewCell::loadValue(value);
    textLabel()->set_text(value ? "circle of radius " + std::to_string(int(value->radius)) : "no circle");
  }
};

struct Shapes : QvTableViewController<std::shared_ptr<Shape>> {
  Fennix::TableCell makeCell(const std::string& identifier, long, Fennix::TableViewHandle&) override {
    return std::make_shared<Fennix::GtkTableViewCellView>(*CircleCell::withID<CircleCell>(identifier), identifier,
                                                          nullptr);
  }
  void loadValue(const std::optional<std::shared_ptr<Shape>>&, Fennix::TableCellView&) override {}
};

TEST_F(ObjectTableWindowTest, ACircleHeldAsAShapeShowsInACircleCell) {
  Fennix::installControllerKitsGTK();
  Fennix::GtkTableViewHandle<std::shared_ptr<Shape>>::install(
      [](const std::shared_ptr<Shape>& shape) { return shape ? shape->name() : std::string(); });
  auto shapes = NSViewController::make<Shapes>();
  auto circle = std::make_shared<Circle>();
  shapes->arrangedObjects = {circle, std::make_shared<Square>()};
  auto* scroll = dynamic_cast<Gtk::ScrolledWindow*>(Fennix::controllerWidget(*shapes));
  ASSERT_NE(scroll, nullptr);
  auto& table = Fennix::GtkTableViewHandle<std::shared_ptr<Shape>>::of(*scroll)->table();
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
  QvTableViewControllerBase<std::shared_ptr<Shape>>::tableViewMaker = nullptr;
}

}  // namespace
