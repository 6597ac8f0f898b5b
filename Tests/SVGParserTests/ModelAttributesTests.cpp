// Core, styling and presentation attributes, and their inheritance.
#include <gtest/gtest.h>

#include "SVGParser/SVG/ElementAttributes.h"
#include "SVGParser/SVG/PresentationAttributes.h"

using CSS::UnitLength;
using SVG::Inheritable;
using SVG::Paint;
using SVG::PresentationAttributes;

namespace {

using FillRule = Inheritable<CGPathFillRule>;
using FilterRef = Inheritable<std::string>;

PresentationAttributes withFillRule(FillRule rule) {
  PresentationAttributes attributes;
  attributes.fillRule = rule;
  return attributes;
}

}  // namespace

TEST(ModelCoreAttributes, UnsetAndEmptyIdsDiffer) {
  EXPECT_EQ(SVG::CoreAttributes{}, SVG::CoreAttributes{});
  EXPECT_NE(SVG::CoreAttributes{}, SVG::CoreAttributes{.id = ""});
  EXPECT_TRUE(SVG::CoreAttributes{}.isEmpty());
  EXPECT_FALSE(SVG::CoreAttributes{.id = ""}.isEmpty());
  EXPECT_EQ(SVG::CoreAttributes{}.description(), "<Core:>");
  EXPECT_EQ(SVG::CoreAttributes{.id = "a"}.description(), "<Core: id=a>");
}

TEST(ModelStylingAttributes, EmptinessAndText) {
  EXPECT_TRUE(SVG::StylingAttributes{}.isEmpty());
  EXPECT_EQ(SVG::StylingAttributes{}.description(), "<Styling:>");
  EXPECT_FALSE(SVG::StylingAttributes{.style = ""}.isEmpty());
  EXPECT_FALSE(SVG::StylingAttributes{.classes = {"a"}}.isEmpty());
  const SVG::StylingAttributes both{.classes = {"a", "b"}, .style = "fill:red"};
  EXPECT_EQ(both.description(), "<Styling: 'fill:red' classes=a,b>");
  EXPECT_NE(both, (SVG::StylingAttributes{.classes = {"b", "a"}, .style = "fill:red"}));
}

TEST(ModelInheritable, ThreeDistinctStates) {
  EXPECT_NE(FilterRef::none(), FilterRef::inherit());
  EXPECT_NE(FilterRef::some("none"), FilterRef::none());
  EXPECT_EQ(FilterRef::some("#f"), FilterRef::some("#f"));
  EXPECT_EQ(FilterRef::some("#f").description(), "#f");
  EXPECT_EQ(FilterRef::none().description(), "none");
  EXPECT_EQ(FilterRef::inherit().description(), "inherit");
  EXPECT_EQ(FillRule::some(CGPathFillRule::evenOdd).description(), "evenOdd");
  EXPECT_EQ(FillRule::inherit().value(), nullptr);
}

TEST(ModelPresentationAttributes, OnlyAFillByDefault) {
  const auto empty = PresentationAttributes::fromFill(std::nullopt);
  EXPECT_EQ(empty, PresentationAttributes{});
  EXPECT_FALSE(empty.needsFill());
  EXPECT_FALSE(empty.needsStroke());
  EXPECT_EQ(empty.fillRule, FillRule::none());
  EXPECT_EQ(empty.filter, FilterRef::none());
  EXPECT_EQ(empty.description(), "<Presentation:>");

  const auto red = PresentationAttributes::fromFill(Paint::red());
  EXPECT_TRUE(red.needsFill());
  EXPECT_FALSE(red.needsStroke());
  PresentationAttributes none;
  none.fill = Paint::none();
  none.stroke = Paint::none();
  EXPECT_FALSE(none.needsFill());
  EXPECT_FALSE(none.needsStroke());
  none.stroke = Paint::definition("g");
  EXPECT_TRUE(none.needsStroke());
}

TEST(ModelPresentationAttributes, UnsetFieldsTakeTheParentsValue) {
  PresentationAttributes parent;
  parent.fill = Paint::none();
  parent.opacity = 50;
  parent.strokeWidth = UnitLength::pixel(2);
  parent.strokeLineCap = CGLineCap::round;

  PresentationAttributes child;
  child.fill = Paint::blue();
  child.strokeWidth = UnitLength::number(1);
  const auto merged = child.merged(parent);
  EXPECT_EQ(merged.fill, Paint::blue());
  EXPECT_EQ(merged.strokeWidth, UnitLength::number(1));
  EXPECT_EQ(merged.opacity, 50.0);
  EXPECT_EQ(merged.strokeLineCap, CGLineCap::round);
  EXPECT_EQ(merged.stroke, std::nullopt);
  EXPECT_EQ(child.opacity, std::nullopt);  // merged() leaves the original alone

  const auto bare = PresentationAttributes{}.merged(parent);
  EXPECT_EQ(bare.fill, Paint::none());
  EXPECT_FALSE(bare.needsFill());
}

TEST(ModelPresentationAttributes, RulesAndFilterInheritOnlyWhenAskedTo) {
  const auto evenOdd = withFillRule(FillRule::some(CGPathFillRule::evenOdd));
  EXPECT_EQ(withFillRule(FillRule::none()).merged(evenOdd).fillRule, FillRule::none());
  EXPECT_EQ(withFillRule(FillRule::inherit()).merged(evenOdd).fillRule,
            FillRule::some(CGPathFillRule::evenOdd));
  EXPECT_EQ(withFillRule(FillRule::inherit()).merged(withFillRule(FillRule::inherit())).fillRule,
            FillRule::inherit());
  EXPECT_EQ(withFillRule(FillRule::some(CGPathFillRule::winding)).merged(evenOdd).fillRule,
            FillRule::some(CGPathFillRule::winding));

  PresentationAttributes parent;
  parent.filter = FilterRef::some("#blur");
  parent.clipRule = FillRule::some(CGPathFillRule::evenOdd);
  PresentationAttributes child;
  child.filter = FilterRef::inherit();
  child.clipRule = FillRule::inherit();
  EXPECT_EQ(child.merged(parent).filter, FilterRef::some("#blur"));
  EXPECT_EQ(child.merged(parent).clipRule, FillRule::some(CGPathFillRule::evenOdd));
  EXPECT_EQ(PresentationAttributes{}.merged(parent).filter, FilterRef::none());
}

TEST(ModelPresentationAttributes, TransformsAreNeverInherited) {
  PresentationAttributes parent;
  parent.transform = {SVG::Transform::Translate{1, 2}};
  EXPECT_TRUE(PresentationAttributes{}.merged(parent).transform.empty());
  PresentationAttributes child;
  child.transform = {SVG::Transform::Scale{2, 2}};
  EXPECT_EQ(child.merged(parent).transform, child.transform);
}

TEST(ModelPresentationAttributes, InheritanceReachesGrandchildren) {
  PresentationAttributes root;
  root.opacity = 40;
  root.stroke = Paint::green();
  const auto group = PresentationAttributes{}.merged(root);
  PresentationAttributes leaf;
  leaf.stroke = Paint::none();
  const auto leafInForce = leaf.merged(group);
  EXPECT_EQ(leafInForce.opacity, 40.0);
  EXPECT_EQ(leafInForce.stroke, Paint::none());
}

TEST(ModelPresentationAttributes, DescriptionListsPartsInOrder) {
  PresentationAttributes attributes;
  attributes.opacity = 10;
  attributes.fillOpacity = 50;
  attributes.strokeOpacity = 25;
  attributes.strokeWidth = UnitLength::pixel(2);
  attributes.fill = Paint::color(CSS::Color::rgb(1, 0, 0));
  attributes.strokeMiterLimit = UnitLength::point(4);
  attributes.stroke = Paint::definition("g");
  attributes.fillRule = FillRule::some(CGPathFillRule::evenOdd);
  attributes.strokeLineCap = CGLineCap::square;
  attributes.strokeLineJoin = CGLineJoin::bevel;
  attributes.filter = FilterRef::some("#f");
  attributes.transform = {SVG::Transform::Scale{2, 2}};
  EXPECT_EQ(attributes.description(),
            "<Presentation: fillOpacity=50.0 strokeOpacity=25.0 strokeWidth=2.0px "
            "fill=color(rgb(1.0, 0.0, 0.0)) stroke=definition(\"g\") lineCap=square "
            "lineJoin=bevel filter=#f>");
  attributes = PresentationAttributes{};
  attributes.filter = FilterRef::inherit();
  EXPECT_EQ(attributes.description(), "<Presentation: filter=inherit>");
}
