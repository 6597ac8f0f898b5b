// The typed table cells: the order of their hooks and untyped loading.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Fennix/UI/Common/ViewControllers/TableCells.h"

namespace {

struct PlainCell {
  explicit PlainCell(std::string id) : reuseIdentifier(std::move(id)) {}
  virtual ~PlainCell() = default;
  std::string reuseIdentifier;
};

struct NameCell : QvValueCell<std::string, PlainCell> {
  using QvValueCell::QvValueCell;
  std::vector<std::string> hooks;
  void onInit() override { hooks.push_back("init"); }
  void loadValue(const std::optional<std::string>& value) override {
    QvValueCell::loadValue(value);
    hooks.push_back(value ? "load " + *value : std::string("load -"));
  }
};

struct Shape {
  virtual ~Shape() = default;
};
struct Circle : Shape {};
struct Named {
  virtual ~Named() = default;
  std::string name = "named";
};
struct Dot : Named, Circle {
  double radius = 2.0;
};
struct Square : Shape {};
struct Label : Named {};

TEST(TableCells, HooksRunInOrderAndWrongTypesClearTheValue) {
  NameCell cell("name");
  cell.didMakeCell();
  EXPECT_EQ(cell.reuseIdentifier, "name");
  EXPECT_FALSE(cell.representedObject);
  Fennix::QvLoadableCell& loadable = cell;  // as a controller that does not know the type
  for (const std::any& value : {std::any(std::string("ann")), std::any(3), std::any()}) loadable.loadAnyValue(value);
  EXPECT_FALSE(cell.representedObject);
  EXPECT_EQ(cell.hooks, (std::vector<std::string>{"init", "load -", "load ann", "load -", "load -"}));

  QvObjectCell<Shape, PlainCell> shapes("shape");
  shapes.didMakeCell();
  auto shape = std::make_shared<Shape>();
  shapes.loadAnyValue(shape);
  EXPECT_EQ(shapes.representedObject, shape);
  shapes.loadAnyValue(std::make_shared<Square>());  // a class the boxes were never told of
  EXPECT_FALSE(shapes.representedObject);
  shapes.loadAnyValue(std::make_shared<int>(3));  // no object of the class at all
  EXPECT_FALSE(shapes.representedObject);
}

TEST(TableCells, ObjectCellsLoadObjectsOfSubclasses) {
  QvObjectCell<Shape, PlainCell> shapes("shape");
  shapes.didMakeCell();
  Fennix::registerObjectClass<Circle>();
  Fennix::registerObjectClass<Dot>();
  Fennix::registerObjectClass<Label>();
  const auto circle = std::make_shared<Circle>();
  Fennix::QvLoadableCell& loadable = shapes;
  loadable.loadAnyValue(circle);
  EXPECT_EQ(shapes.representedObject.get(), static_cast<Shape*>(circle.get()));
  // The cell shares the object: it lives on after the box is gone.
  const std::weak_ptr<Circle> watched = circle;
  loadable.loadAnyValue(std::make_shared<Dot>());  // two levels down, Shape not its first base
  ASSERT_TRUE(shapes.representedObject);
  EXPECT_NE(dynamic_cast<Dot*>(shapes.representedObject.get()), nullptr);
  EXPECT_EQ(static_cast<Dot*>(shapes.representedObject.get())->radius, 2.0);
  EXPECT_EQ(shapes.representedObject.use_count(), 1);
  // A registered class that is no shape, and a null pointer of a subclass, load nothing.
  loadable.loadAnyValue(std::make_shared<Label>());
  EXPECT_FALSE(shapes.representedObject);
  loadable.loadAnyValue(std::shared_ptr<Circle>());
  EXPECT_FALSE(shapes.representedObject);
}

TEST(TableCells, AnObjectBoxedAsItsBaseClassLoadsByItsOwnClass) {
  Fennix::registerObjectClass<Shape>();
  Fennix::registerObjectClass<Dot>();
  QvObjectCell<Circle, PlainCell> circles("circle");
  circles.didMakeCell();
  Fennix::QvLoadableCell& loadable = circles;
  const auto circle = std::make_shared<Circle>();
  loadable.loadAnyValue(std::shared_ptr<Shape>(circle));
  EXPECT_EQ(circles.representedObject, circle);
  // A dot is a circle by its own class, also when its circle is not its first base.
  const auto dot = std::make_shared<Dot>();
  loadable.loadAnyValue(std::shared_ptr<Shape>(dot));
  ASSERT_TRUE(circles.representedObject);
  EXPECT_EQ(circles.representedObject.get(), static_cast<Circle*>(dot.get()));
  Fennix::registerObjectClass<Named>();
  loadable.loadAnyValue(std::shared_ptr<Named>(dot));
  EXPECT_EQ(circles.representedObject.get(), static_cast<Circle*>(dot.get())) << "boxed as its other base";
  // A square is no circle, whatever its box; a null shape loads nothing.
  loadable.loadAnyValue(std::shared_ptr<Shape>(std::make_shared<Square>()));
  EXPECT_FALSE(circles.representedObject);
  loadable.loadAnyValue(std::shared_ptr<Shape>());
  EXPECT_FALSE(circles.representedObject);
  EXPECT_EQ(Fennix::objectCast<Circle>(std::any(std::shared_ptr<Shape>(circle))), circle);
}

}  // namespace
