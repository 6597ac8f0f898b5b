#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SVGParser/CSS/Parser/CSSStyle.h"
#include "SVGParser/Parser/PresentationAttributesParser.h"
#include "SVGParser/Platform/Print.h"
#include "SVGParser/SVG/PresentationAttributes.h"

using CSS::Color;
using CSS::UnitLength;
using SVG::Paint;
using SVG::PresentationAttributes;

namespace {

PresentationAttributes read(const SVG::XMLAttributes& attributes, const char* style = "") {
  return PresentationAttributes::fromXMLAttributes(attributes, CSS::Style(std::string_view(style)));
}

}  // namespace

TEST(PresentationParse, AttributeWinsAndStyleFillsIn) {
  EXPECT_EQ(read({{"opacity", "0.5"}}).opacity, 50);
  EXPECT_EQ(read({{"opacity", "50%"}}).opacity, 50);
  EXPECT_EQ(read({{"opacity", "x"}}, "opacity: 0.25").opacity, 25);
  EXPECT_EQ(read({}, "fill-opacity: 40%; stroke-opacity: 1").fillOpacity, 40);
  EXPECT_EQ(read({}, "stroke-opacity: 1").strokeOpacity, 100);
  EXPECT_FALSE(read({{"opacity", "x"}}, "opacity: y").opacity);

  EXPECT_EQ(read({{"fill", "red"}}, "fill: blue").fill, Paint::color(Color::named("red")));
  EXPECT_EQ(read({}, "fill: blue").fill, Paint::color(Color::named("blue")));
  EXPECT_EQ(read({}, "fill: none").fill, Paint::none());

  PrintCapture capture;
  EXPECT_EQ(read({{"stroke-width", "abc"}}, "stroke-width: 3").strokeWidth, UnitLength::number(3));
  EXPECT_EQ(capture.lines(), std::vector<std::string>{"ERROR: unsupported CSS unit: abc"});
  EXPECT_EQ(read({}, "stroke-width: 2px").strokeWidth, UnitLength::pixel(2));
  EXPECT_EQ(read({}, "stroke-width: 5%").strokeWidth, UnitLength::percentage(5));
  EXPECT_EQ(read({}, "stroke-width: 1cm").strokeWidth, UnitLength::centimeter(1));
}

// Style sheet colours and references are read exactly as attribute ones.
TEST(PresentationParse, StyleSheetPaints) {
  PrintCapture capture;
  EXPECT_EQ(read({}, "fill: url(#g1)").fill, Paint::definition("g1"));
  EXPECT_EQ(read({}, "fill: url(#g)").fill, Paint::definition("g"));
  EXPECT_EQ(read({}, "fill: url('#g')").fill, Paint::definition("g"));
  EXPECT_EQ(read({}, "stroke: #00ff00").stroke, Paint::color(Color::rgb(0, 1, 0)));
  EXPECT_EQ(read({}, "stroke: #0f0").stroke, Paint::color(Color::rgb(0, 1, 0)));
  EXPECT_EQ(read({}, "stroke: Crimson").stroke, Paint::color(Color::named("crimson")));
  EXPECT_EQ(read({}, "stroke: rgb(0%, 100%, 0%)").stroke, Paint::color(Color::rgb(0, 1, 0)));
  EXPECT_EQ(read({}, "stroke: rgba(255,0,0,.5)").stroke, Paint::color(Color::rgba(1, 0, 0, 0.5)));
  EXPECT_TRUE(capture.lines().empty()) << capture.text();
  EXPECT_FALSE(read({}, "stroke: rgba(255, 0, 0)").stroke);
  EXPECT_FALSE(read({}, "stroke: sparkly").stroke);
  EXPECT_EQ(capture.lines().size(), 2u);
}

// Cap, join and miter limit are set only when stated, so that they can inherit.
TEST(PresentationParse, StrokeStyleOnlyWhenStated) {
  const auto none = read({});
  EXPECT_FALSE(none.strokeLineCap);
  EXPECT_FALSE(none.strokeLineJoin);
  EXPECT_FALSE(none.strokeMiterLimit);
  EXPECT_FALSE(read({{"stroke-linecap", "Round"}}).strokeLineCap);
  EXPECT_EQ(read({{"stroke-linecap", "Round"}}, "stroke-linecap: square").strokeLineCap, CGLineCap::square);
  EXPECT_EQ(read({{"stroke-linejoin", "miter-clip"}}).strokeLineJoin, CGLineJoin::miter);
  EXPECT_FALSE(read({{"stroke-linejoin", "arcs"}}).strokeLineJoin);
  EXPECT_EQ(read({}, "stroke-linejoin: bevel").strokeLineJoin, CGLineJoin::bevel);
  EXPECT_EQ(read({{"stroke-miterlimit", "10"}}).strokeMiterLimit, UnitLength::number(10));
  EXPECT_EQ(read({}, "stroke-miterlimit: 2").strokeMiterLimit, UnitLength::number(2));

  // A group's stroke style now reaches a child that states none.
  auto child = read({});
  child.merge(read({{"stroke-linecap", "round"}, {"stroke-linejoin", "bevel"}, {"stroke-miterlimit", "7"}}));
  EXPECT_EQ(child.strokeLineCap, CGLineCap::round);
  EXPECT_EQ(child.strokeLineJoin, CGLineJoin::bevel);
  EXPECT_EQ(child.strokeMiterLimit, UnitLength::number(7));
}

TEST(PresentationParse, FilterTransformAndRules) {
  using Filter = SVG::Inheritable<std::string>;
  EXPECT_EQ(read({{"filter", ""}}, "filter: url(#f)").filter, Filter::none());
  EXPECT_EQ(read({{"filter", "url(#blur)"}}).filter, Filter::some("#blur"));
  EXPECT_EQ(read({{"filter", "inherit"}}).filter, Filter::some("inherit"));
  EXPECT_EQ(read({{"filter", "blur(2)"}}).filter, Filter::none());
  EXPECT_EQ(read({}, "filter: inherit").filter, Filter::inherit());
  EXPECT_EQ(read({}, "filter: url(#f)").filter, Filter::some("#f"));
  EXPECT_EQ(read({}, "filter: none").filter, Filter::none());

  EXPECT_TRUE(read({}, "transform: rotate(45)").transform.empty());
  const std::vector<SVG::Transform> rotation = {SVG::Transform::Rotate{45, 0, 0}};
  EXPECT_EQ(read({{"transform", "rotate(45)"}}).transform, rotation);
  EXPECT_EQ(read({{"fill-rule", "evenodd"}}).fillRule, SVG::Inheritable<CGPathFillRule>::none());
}

TEST(PresentationParse, EnumerationTexts) {
  using Rule = SVG::Inheritable<CGPathFillRule>;
  EXPECT_EQ(SVG::inheritableFillRuleFromStringValue(std::string_view("inherit")), Rule::inherit());
  EXPECT_EQ(SVG::inheritableFillRuleFromStringValue(std::string_view("evenodd")),
            Rule::some(CGPathFillRule::evenOdd));
  EXPECT_EQ(SVG::inheritableFillRuleFromStringValue(std::string_view("nonzero")),
            Rule::some(CGPathFillRule::winding));
  EXPECT_EQ(SVG::inheritableFillRuleFromStringValue(std::string_view("EvenOdd")), Rule::none());
  EXPECT_EQ(SVG::inheritableFillRuleFromStringValue(std::nullopt), Rule::none());
  EXPECT_EQ(SVG::lineCapFromStringValue(std::string_view("butt")), CGLineCap::butt);
  EXPECT_FALSE(SVG::lineCapFromStringValue(std::string_view("")));
  EXPECT_FALSE(SVG::lineCapFromCSS(CSS::Value::number(1)));
  EXPECT_EQ(parseOpacity(CSS::Value::number(0.5)), 50);
  EXPECT_EQ(parseOpacity(CSS::Value::percentValue(50)), 50);
  EXPECT_FALSE(parseOpacity(CSS::Value::pixel(1)));
}
