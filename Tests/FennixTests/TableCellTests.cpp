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
  shapes.loadAnyValue(std::make_shared<Circle>());  // a pointer of another static type
  EXPECT_FALSE(shapes.representedObject);
}

}  // namespace
