// A table whose rows are objects held by their base class, shown in cells of a subclass. (The
// classes have names of their own: the names of types in boxes are compared by text in some
// builds, so another test's class of the same name would be taken for them.)
#include <gtest/gtest.h>

#include <gtkmm/scrolledwindow.h>

#include "Fennix/UI/Common/ViewControllers/GTK/ControllerKitsGTK.h"
#include "PortKit/GTK/TableCellsGTK.h"
#include "PortKit/GTK/TableViewControllerGTK.h"
#include "ViewKitWindowSupport.h"

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

}  // namespace
