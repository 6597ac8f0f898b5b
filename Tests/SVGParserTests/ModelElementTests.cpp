// Drawing roots, groups, child items, definitions, shapes and path commands.
#include <gtest/gtest.h>

#include <regex>

#include "SVGParser/SVG/SVG.h"

using CSS::UnitLength;
using SVG::Command;

namespace {

SVG::Circle circle(std::optional<std::string> id = std::nullopt) {
  return {.cx = UnitLength::number(1), .cy = UnitLength::number(2), .r = UnitLength::pixel(3),
          .core = {.id = std::move(id)}};
}

SVG::Definition gradient(std::optional<std::string> id, std::string templateID) {
  return SVG::LinearGradient{.core = {.id = std::move(id)}, .templateGradientID = templateID};
}

}  // namespace

TEST(ModelShapes, CircleAndPathDescriptions) {
  EXPECT_EQ(circle().description(), "<Circle: 1.0,2.0 3.0px <Presentation:>>");
  SVG::Circle full = circle("c");
  full.pathLength = UnitLength::number(9);
  full.style.classes = {"k"};
  full.presentation.fill = SVG::Paint::none();
  EXPECT_EQ(full.description(),
            "<Circle: id=c 1.0,2.0 3.0px length=9.0 style=<Styling: classes=k> "
            "<Presentation: fill=none>>");

  const SVG::Path path{};
  EXPECT_TRUE(path.commands.empty());
  EXPECT_EQ(path.description(), "<Path: <Presentation:>>");
  const SVG::Path named{.commands = {Command::M{0, 0}, Command::Z{}},
                        .pathLength = UnitLength::number(5), .core = {.id = "p"}};
  EXPECT_EQ(named.description(), "<Path: id=p length=5.0 <Presentation:>>");
}

TEST(ModelShapes, RectDescriptionFillsInOriginAndRadii) {
  SVG::Rect rect{.y = UnitLength::number(5), .width = UnitLength::number(10),
                 .height = UnitLength::percentage(20)};
  EXPECT_EQ(rect.description(), "<Rect: 0.0pt,5.0 10.0x20.0% <Presentation:>>");

  rect = SVG::Rect{.width = UnitLength::number(10), .rx = UnitLength::number(2)};
  EXPECT_EQ(rect.description(), "<Rect: width=10.0 rounded=2.0/2.0 <Presentation:>>");
  rect = SVG::Rect{.height = UnitLength::number(10), .ry = UnitLength::number(3)};
  EXPECT_EQ(rect.description(), "<Rect: height=10.0 rounded=3.0/3.0 <Presentation:>>");
  rect = SVG::Rect{.x = UnitLength::number(1), .rx = UnitLength::number(2),
                   .ry = UnitLength::number(2)};
  EXPECT_EQ(rect.description(), "<Rect: 1.0,0.0pt r=2.0 <Presentation:>>");
  rect.ry = UnitLength::number(3);
  rect.core.id = "r";
  EXPECT_EQ(rect.description(), "<Rect: id=r 1.0,0.0pt rounded=2.0/3.0 <Presentation:>>");
}

TEST(ModelShapes, OtherShapesAndImagesPrintTheirKind) {
  EXPECT_EQ((SVG::Ellipse{.cx = UnitLength::number(1), .cy = UnitLength::number(2),
                          .rx = UnitLength::number(3), .ry = UnitLength::number(4)})
                .description(),
            "<Ellipse: 1.0,2.0 3.0/4.0 <Presentation:>>");
  EXPECT_EQ((SVG::Line{.endPoint = SVG::UnitPoint::fromXY(1, 2)}).description(),
            "<Line: to=1.0pt,2.0pt <Presentation:>>");
  EXPECT_EQ((SVG::Polyline{.points = {SVG::UnitPoint::fromXY(0, 0)}}).description(),
            "<Polyline: #points=1 <Presentation:>>");
  EXPECT_EQ((SVG::Image{.width = UnitLength::number(4), .height = UnitLength::number(5)})
                .description(),
            "<Image: 4.0x5.0 <Presentation:>>");
}

TEST(ModelCommand, Descriptions) {
  EXPECT_EQ(Command(Command::H{10}).description(), "H[10.0,]");
  EXPECT_EQ(Command(Command::v{10}).description(), "v[,10.0]");
  EXPECT_EQ(Command(Command::M{1, 2}).description(), "M[1.0,2.0]");
  EXPECT_EQ(Command(Command::t{-1, 0.5}).description(), "t[-1.0,0.5]");
  EXPECT_EQ(Command(Command::C{1, 2, 3, 4, 5, 6}).description(), "C[1.0,2.0->3.0,4.0->5.0,6.0]");
  EXPECT_EQ(Command(Command::s{1, 2, 3, 4}).description(), "s[1.0,2.0->3.0,4.0]");
  EXPECT_EQ(Command(Command::Q{1, 2, 3, 4}).description(), "Q[1.0,2.0 3.0,4.0]");
  EXPECT_EQ(Command(Command::A{5, 6, 30, true, false, 1, 2}).description(),
            "A[1.0,2.0 30.0 r5.0,6.0]");
  EXPECT_EQ(Command(Command::a{5, 6, 30, false, true, 1, 2}).description(),
            "a[1.0,2.0 30.0 r5.0,6.0]");
  EXPECT_EQ(Command(Command::Z{}).description(), "Z");
}

TEST(ModelCommand, EqualityIsByCaseAndValue) {
  EXPECT_EQ(Command(Command::L{1, 2}), Command(Command::L{1, 2}));
  EXPECT_NE(Command(Command::L{1, 2}), Command(Command::l{1, 2}));
  EXPECT_NE(Command(Command::L{1, 2}), Command(Command::T{1, 2}));
  EXPECT_NE(Command(Command::A{1, 1, 0, true, false, 2, 2}),
            Command(Command::A{1, 1, 0, false, false, 2, 2}));
}

TEST(ModelSVG, DescriptionAndIntrinsicSize) {
  SVG::SVG root;
  EXPECT_EQ(root.description(), "<SVG: <Presentation:>>");
  EXPECT_EQ(root.intrinsicSize(), std::nullopt);
  root.width = UnitLength::centimeter(10);
  EXPECT_EQ(root.intrinsicSize(), std::nullopt);
  root.height = UnitLength::percentage(50);
  EXPECT_EQ(root.intrinsicSize(),
            (SVG::UnitSize{UnitLength::centimeter(10), UnitLength::percentage(50)}));

  root.core.id = "a";
  root.x = UnitLength::number(1);
  root.y = UnitLength::number(2);
  root.viewBox = CGRect(0, 0, 5, 5);
  root.style.style = "fill:red";
  EXPECT_EQ(root.description(),
            "<SVG: id=a x=1.0 y=2.0 width=10.0cm height=50.0% style=<Styling: 'fill:red'> "
            "<Presentation:>>");
}

TEST(ModelSVG, ChildrenKeepDocumentOrderAndCopiesAreDeep) {
  SVG::SVG inner;
  inner.core.id = "inner";
  inner.addElement(circle("c1"));
  SVG::Group group;
  group.core.id = "g";
  group.addElement(inner);
  group.addElement(SVG::Text{.x = UnitLength::number(0), .y = UnitLength::number(0)});
  SVG::SVG root;
  root.addElement(group);
  root.addElement(circle("c2"));
  ASSERT_EQ(root.children.size(), 2u);
  EXPECT_TRUE(root.children[0].is<SVG::Group>());
  EXPECT_EQ(root.children[1].as<SVG::Circle>()->core.id, "c2");
  EXPECT_EQ(root.children[1].as<SVG::Group>(), nullptr);

  SVG::SVG copy = root;
  EXPECT_EQ(copy, root);
  SVG::SVG* nested = copy.children[0].as<SVG::Group>()->children[0].as<SVG::SVG>();
  ASSERT_NE(nested, nullptr);
  nested->addElement(circle("added"));
  EXPECT_NE(copy, root);
  EXPECT_EQ(root.children[0].as<SVG::Group>()->children[0].as<SVG::SVG>()->children.size(), 1u);

  SVG::GroupItem moved = std::move(copy.children[0]);
  EXPECT_TRUE(moved.is<SVG::Group>());
  copy.children[0] = moved;  // a moved-from item takes a new value
  EXPECT_EQ(copy.children[0], moved);
}

namespace {

// A drawing or group with only an id.
template <typename Element>
Element element(const char* id) {
  Element result;
  result.core.id = id;
  return result;
}

}  // namespace

TEST(ModelSVG, ItemsExposeTheirElementAndDescription) {
  const std::vector<SVG::GroupItem> items{
      element<SVG::SVG>("s"),
      element<SVG::Group>("g"),
      SVG::Path{.core = {.id = "p"}},
      circle("c"),
      SVG::Rect{.core = {.id = "r"}},
      SVG::Polygon{.core = {.id = "pg"}},
      SVG::Text{.core = {.id = "t"}, .x = UnitLength::number(0), .y = UnitLength::number(0)},
  };
  const char* ids[] = {"s", "g", "p", "c", "r", "pg", "t"};
  for (size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i].element().core().id, ids[i]);
    EXPECT_TRUE(items[i].element().presentation().transform.empty());
  }
  EXPECT_EQ(items[0].description(), "<SVG: id=s <Presentation:>>");
  EXPECT_EQ(items[1].description(), "<Group: id=g #children=0 <Presentation:>>");
  EXPECT_NE(items[3], SVG::GroupItem(circle("other")));
}

TEST(ModelSVG, DefinitionLookupTakesTheFirstExactMatch) {
  SVG::SVG root;
  root.definitions.push_back({"g", gradient("g", "first")});
  root.definitions.push_back({"G", gradient("G", "upper")});
  root.definitions.push_back({"g", gradient("g", "second")});
  const SVG::Definition* found = SVG::findDefinition(root.definitions, "g");
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->as<SVG::LinearGradient>()->templateGradientID, "first");
  EXPECT_EQ(SVG::findDefinition(root.definitions, "G")->as<SVG::LinearGradient>()->templateGradientID,
            "upper");
  EXPECT_EQ(SVG::findDefinition(root.definitions, "missing"), nullptr);
  EXPECT_EQ(SVG::findDefinition(root.definitions, ""), nullptr);
}

TEST(ModelSVG, DefinitionIdentity) {
  const SVG::Definition named = SVG::Filter{.core = {.id = "f"}};
  EXPECT_EQ(named.id(), "f");
  EXPECT_EQ(named.core().id, "f");
  EXPECT_EQ(std::any_cast<SVG::Filter>(named.object()).core.id, "f");
  EXPECT_EQ(named.description(), "<Filter: id=f EMPTY>");

  const SVG::Definition anonymous = SVG::RadialGradient{};
  const std::string first = anonymous.id();
  const std::regex uuid("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}");
  EXPECT_TRUE(std::regex_match(first, uuid)) << first;
  EXPECT_NE(anonymous.id(), first);
}
