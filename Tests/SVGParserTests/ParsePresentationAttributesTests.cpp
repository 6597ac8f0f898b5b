#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SVGParser/CSS/Parser/CSSStyle.h"
#include "SVGParser/Parser/PresentationAttributesParser.h"
#include "Platform/Print.h"
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
  EXPECT_EQ(read({{"opacity", "x"}}, "opacity: 25%").opacity, 25);
  EXPECT_EQ(read({}, "fill-opacity: 0.4").fillOpacity, 40);
  EXPECT_FALSE(read({{"stroke-opacity", "x"}}, "stroke-opacity: 1px").strokeOpacity);
  EXPECT_EQ(read({{"fill", "red"}}, "fill: blue").fill, Paint::color(Color::named("red")));
  EXPECT_EQ(read({}, "fill: none").fill, Paint::none());

  SVGParser::PrintCapture capture;
  EXPECT_EQ(read({{"stroke-width", "abc"}}, "stroke-width: 3").strokeWidth, UnitLength::number(3));
  EXPECT_EQ(capture.lines(), std::vector<std::string>{"ERROR: unsupported CSS unit: abc"});
  EXPECT_EQ(read({}, "stroke-width: 2px").strokeWidth, UnitLength::pixel(2));
  EXPECT_EQ(read({}, "stroke-width: 1cm").strokeWidth, UnitLength::centimeter(1));
}

// Style sheet colours and references are read exactly as attribute ones.
TEST(PresentationParse, StyleSheetPaints) {
  SVGParser::PrintCapture capture;
  EXPECT_EQ(read({}, "fill: url(#g)").fill, Paint::definition("g"));
  EXPECT_EQ(read({}, "fill: url('#g1')").fill, Paint::definition("g1"));
  EXPECT_EQ(read({}, "stroke: #0f0").stroke, Paint::color(Color::rgb(0, 1, 0)));
  EXPECT_EQ(read({}, "stroke: Crimson").stroke, Paint::color(Color::named("crimson")));
  EXPECT_EQ(read({}, "stroke: rgba(255,0,0,.5)").stroke, Paint::color(Color::rgba(1, 0, 0, 0.5)));
  EXPECT_TRUE(capture.lines().empty()) << capture.text();
  EXPECT_FALSE(read({}, "stroke: rgba(255, 0, 0)").stroke);
  EXPECT_FALSE(read({}, "stroke: sparkly").stroke);
  EXPECT_EQ(capture.lines().size(), 2u);
}

// Cap, join and miter limit are set only when stated, so that a group's reach its children.
TEST(PresentationParse, StrokeStyleOnlyWhenStated) {
  auto child = read({{"stroke-linecap", "Round"}, {"stroke-linejoin", "arcs"}});
  EXPECT_FALSE(child.strokeLineCap);
  EXPECT_FALSE(child.strokeLineJoin);
  EXPECT_FALSE(child.strokeMiterLimit);
  child.merge(read({{"stroke-linejoin", "miter-clip"}, {"stroke-miterlimit", "7"}}, "stroke-linecap: round"));
  EXPECT_EQ(child.strokeLineCap, CGLineCap::round);
  EXPECT_EQ(child.strokeLineJoin, CGLineJoin::miter);
  EXPECT_EQ(child.strokeMiterLimit, UnitLength::number(7));
  EXPECT_EQ(read({}, "stroke-linejoin: bevel").strokeLineJoin, CGLineJoin::bevel);
}

TEST(PresentationParse, FilterTransformAndRules) {
  using Filter = SVG::Inheritable<std::string>;
  EXPECT_EQ(read({{"filter", ""}}, "filter: url(#f)").filter, Filter::none());
  EXPECT_EQ(read({{"filter", "url(#blur)"}}).filter, Filter::some("#blur"));
  EXPECT_EQ(read({{"filter", "inherit"}}).filter, Filter::some("inherit"));
  EXPECT_EQ(read({{"filter", "blur(2)"}}).filter, Filter::none());
  EXPECT_EQ(read({}, "filter: inherit").filter, Filter::inherit());
  EXPECT_EQ(read({}, "filter: url(#f)").filter, Filter::some("#f"));

  EXPECT_TRUE(read({}, "transform: rotate(45)").transform.empty());
  EXPECT_EQ(read({{"transform", "rotate(45)"}}).transform.size(), 1u);
  EXPECT_EQ(read({{"fill-rule", "evenodd"}}).fillRule, SVG::Inheritable<CGPathFillRule>::some(CGPathFillRule::evenOdd));
  EXPECT_EQ(read({}, "fill-rule: nonzero; clip-rule: evenodd").fillRule,
            SVG::Inheritable<CGPathFillRule>::some(CGPathFillRule::winding));
  // Nothing clips, so the clip rule is left unread, from the attribute and from CSS alike.
  EXPECT_EQ(read({}, "clip-rule: evenodd").clipRule, SVG::Inheritable<CGPathFillRule>::none());
  EXPECT_EQ(read({{"clip-rule", "evenodd"}}).clipRule, SVG::Inheritable<CGPathFillRule>::none());
  EXPECT_EQ(read({{"clip-rule", "inherit"}}, "clip-rule: nonzero").clipRule, SVG::Inheritable<CGPathFillRule>::none());
  EXPECT_EQ(read({{"fill-rule", "inherit"}}, "fill-rule: evenodd").fillRule, SVG::Inheritable<CGPathFillRule>::inherit());
  EXPECT_EQ(SVG::inheritableFillRuleFromStringValue(std::string_view("evenodd")),
            SVG::Inheritable<CGPathFillRule>::some(CGPathFillRule::evenOdd));
  EXPECT_EQ(SVG::inheritableFillRuleFromStringValue(std::string_view("inherit")),
            SVG::Inheritable<CGPathFillRule>::inherit());
}
