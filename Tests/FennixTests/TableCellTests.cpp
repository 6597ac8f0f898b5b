// The typed table cells: the order of their hooks and untyped loading.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Fennix/UI/Common/ViewControllers/OutlineViewController.h"
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
  // A box of a class that no table or cell ever named: without its type its pointer cannot be read.
  shapes.loadAnyValue(std::make_shared<Square>());
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

// Classes no box and no cast ever names: their objects are known only by the runtime's own record
// of their class.
struct Disc : Circle {
  double radius = 1.5;
};
struct Badge : Named, Disc {};
struct Round : virtual Shape {};
struct Ring : virtual Shape {};
struct Torus : Round, Ring {};
struct LeftShape : Shape {};
struct RightShape : Shape {};
struct Twin : Named, LeftShape, RightShape {};
struct Cloaked : Named, private Circle {
  static std::shared_ptr<Circle> asCircle(const std::shared_ptr<Cloaked>& cloaked) {
    return std::shared_ptr<Circle>(cloaked, static_cast<Circle*>(cloaked.get()));
  }
};
struct Plain {
  int value = 7;
};
struct PlainKid : Plain {};

/// What the language's `dynamic_cast` gives for the object in the box, as the box holds it.
template <typename T, typename U>
T* languageCast(const std::shared_ptr<U>& pointer) {
  return dynamic_cast<T*>(pointer.get());
}

TEST(TableCells, ObjectsOfUnregisteredClassesCastAsDynamicCastDoes) {
  Fennix::registerObjectClass<Shape>();
  Fennix::registerObjectClass<Named>();
  Fennix::registerObjectClass<LeftShape>();
  const auto disc = std::make_shared<Disc>();
  const auto badge = std::make_shared<Badge>();
  const auto torus = std::make_shared<Torus>();
  const auto twin = std::make_shared<Twin>();
  const auto cloaked = std::make_shared<Cloaked>();

  // Down through an unregistered class, across from another base, down to and across virtual bases.
  const std::shared_ptr<Shape> discShape = disc, badgeShape = badge, torusShape = torus;
  const std::shared_ptr<Named> badgeNamed = badge;
  EXPECT_EQ(Fennix::objectCast<Circle>(discShape).get(), static_cast<Circle*>(disc.get()));
  EXPECT_EQ(Fennix::objectCast<Circle>(badgeShape).get(), static_cast<Circle*>(badge.get()));
  EXPECT_EQ(Fennix::objectCast<Circle>(badgeNamed).get(), static_cast<Circle*>(badge.get()));
  EXPECT_EQ(Fennix::objectCast<Shape>(badgeNamed).get(), static_cast<Shape*>(badge.get()));
  EXPECT_EQ(Fennix::objectCast<Torus>(torusShape).get(), torus.get());
  EXPECT_EQ(Fennix::objectCast<Ring>(torusShape).get(), static_cast<Ring*>(torus.get()));
  EXPECT_EQ(Fennix::objectCast<Ring>(torusShape).get(), languageCast<Ring>(torusShape));

  // Two shapes in one object: none of them across from another base, each up from its own side.
  const std::shared_ptr<Named> twinNamed = twin;
  const std::shared_ptr<LeftShape> twinLeft = twin;
  EXPECT_EQ(languageCast<Shape>(twinNamed), nullptr);
  EXPECT_EQ(Fennix::objectCast<Shape>(twinNamed), nullptr);
  EXPECT_EQ(Fennix::objectCast<Shape>(twinLeft).get(), static_cast<Shape*>(twinLeft.get()));
  EXPECT_EQ(Fennix::objectCast<RightShape>(twinLeft).get(), static_cast<RightShape*>(twin.get()));
  // A private base is not reached, from either side.
  const std::shared_ptr<Named> cloakedNamed = cloaked;
  const std::shared_ptr<Circle> cloakedCircle = Cloaked::asCircle(cloaked);
  Fennix::registerObjectClass<Circle>();
  EXPECT_EQ(languageCast<Circle>(cloakedNamed), nullptr);
  EXPECT_EQ(Fennix::objectCast<Circle>(cloakedNamed), nullptr);
  EXPECT_EQ(Fennix::objectCast<Cloaked>(cloakedCircle), nullptr);
  EXPECT_EQ(Fennix::objectCast<Named>(cloakedCircle), nullptr);
  EXPECT_EQ(Fennix::objectCast<Shape>(cloakedCircle).get(), static_cast<Shape*>(cloakedCircle.get()));

  // Constant objects stay constant; null pointers stay null; other objects are no circles.
  const std::shared_ptr<const Shape> constantShape = disc;
  EXPECT_EQ(Fennix::objectCast<const Circle>(constantShape).get(), static_cast<const Circle*>(disc.get()));
  EXPECT_EQ(Fennix::objectCast<Circle>(constantShape), nullptr);
  EXPECT_EQ(Fennix::objectCast<const Circle>(discShape).get(), static_cast<const Circle*>(disc.get()));
  EXPECT_EQ(Fennix::objectCast<Circle>(std::shared_ptr<Shape>()), nullptr);
  EXPECT_EQ(Fennix::objectCast<Circle>(std::shared_ptr<Named>()), nullptr);
  EXPECT_EQ(Fennix::objectCast<Circle>(std::shared_ptr<Shape>(torus)), nullptr);
  EXPECT_EQ(Fennix::objectCast<Circle>(std::shared_ptr<Named>(twin)), nullptr);

  // Classes without a record of their own: only up.
  Fennix::registerObjectClass<PlainKid>();
  Fennix::registerObjectClass<Plain>();
  const auto kid = std::make_shared<PlainKid>();
  EXPECT_EQ(Fennix::objectCast<Plain>(kid).get(), static_cast<Plain*>(kid.get()));
  EXPECT_EQ(Fennix::objectCast<PlainKid>(std::shared_ptr<Plain>(kid)), nullptr);
}

TEST(TableCells, AnObjectCellOfAnIntermediateClassSharesTheObjectsOwner) {
  struct Holder {
    int before = 0;
    Disc disc;
  };
  Fennix::registerObjectClass<Shape>();
  QvObjectCell<Circle, PlainCell> circles("circle");
  circles.didMakeCell();
  Fennix::QvLoadableCell& loadable = circles;
  std::weak_ptr<Holder> watched;
  {
    auto holder = std::make_shared<Holder>();
    watched = holder;
    // The row is a part of a larger object, held by the larger object's owner.
    loadable.loadAnyValue(std::shared_ptr<Shape>(holder, &holder->disc));
    ASSERT_TRUE(circles.representedObject);
    EXPECT_EQ(circles.representedObject.get(), static_cast<Circle*>(&holder->disc));
    EXPECT_EQ(holder.use_count(), 2);
  }
  ASSERT_FALSE(watched.expired()) << "the cell keeps the whole object";
  EXPECT_EQ(static_cast<Disc*>(circles.representedObject.get())->radius, 1.5);
  loadable.loadAnyValue(std::shared_ptr<Shape>(std::make_shared<Square>()));
  EXPECT_FALSE(circles.representedObject);
  EXPECT_TRUE(watched.expired());
}


// Classes that only an outline's items name.
struct Sprig : Plain {};
struct Twig : Sprig {};
struct Hoop : Circle {};

TEST(TableCells, AnOutlineItemLoadsInCellsOfItsClassAndOfItsBases) {
  QvObjectCell<Plain, PlainCell> plains("plain");
  plains.didMakeCell();
  QvObjectCell<Shape, PlainCell> shapes("shape");
  shapes.didMakeCell();
  const auto twig = std::make_shared<Twig>();
  const auto hoop = std::make_shared<Hoop>();
  // As the outline hands its items to cells: in a box of the item.
  const auto load = [](Fennix::QvLoadableCell& cell, const Fennix::OutlineItem& item) { cell.loadAnyValue(std::any(item)); };

  load(plains, twig);
  EXPECT_EQ(plains.representedObject.get(), static_cast<Plain*>(twig.get()));
  load(shapes, twig);
  EXPECT_FALSE(shapes.representedObject);
  load(shapes, hoop);
  EXPECT_EQ(shapes.representedObject.get(), static_cast<Shape*>(hoop.get()));
  // An item keeps its class through the outline's untyped record of it.
  const Fennix::OutlineItem item = twig;
  load(plains, Fennix::OutlineItem(std::shared_ptr<void>(item), item.boxer()));
  EXPECT_EQ(plains.representedObject.get(), static_cast<Plain*>(twig.get()));
  // An item made from an untyped pointer, and no item, load nothing.
  load(plains, Fennix::OutlineItem(std::shared_ptr<void>(twig)));
  EXPECT_FALSE(plains.representedObject);
  load(plains, twig);
  load(plains, nullptr);
  EXPECT_FALSE(plains.representedObject);
}

}  // namespace
