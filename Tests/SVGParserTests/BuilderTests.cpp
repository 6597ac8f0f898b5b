#include <gtest/gtest.h>

#include "SVGParser/CSS/Parser/CSSStyleSheet.h"
#include "SVGParser/SVG/SVG.h"
#include "Platform/Print.h"

namespace {

using CSS::UnitLength;
using SVG::UnitPoint;

template <typename Element>
Element build(const SVG::XMLAttributes& attributes, std::string_view style = "") {
  return Element::fromXMLAttributes(attributes, CSS::Style(style));
}

UnitPoint pt(double x, double y) { return {UnitLength::number(x), UnitLength::number(y)}; }

}  // namespace

TEST(Builder, CommonAttributesAndPositions) {
  const auto svg = build<SVG::SVG>({{"x", "10"}, {"id", ""}, {"class", "a b"}, {"style", "fill:red"},
                                    {"viewBox", "0 0 20 10"}});
  EXPECT_EQ(svg.x, UnitLength::number(10));
  EXPECT_EQ(svg.y, UnitLength::point(0));
  EXPECT_EQ(svg.core.id, "");
  EXPECT_EQ(svg.style.classes, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(svg.style.style, "fill:red");
  EXPECT_EQ(svg.viewBox, (CGRect{{0, 0}, {20, 10}}));
  EXPECT_FALSE(build<SVG::SVG>({}).x);
  EXPECT_FALSE(build<SVG::Group>({{"style", ""}}).style.style);
  // Position and size fall back to the CSS; an attribute wins.
  const auto fromCSS = build<SVG::SVG>({{"width", "7"}}, "x: 5px; width: 9; height: 50%");
  EXPECT_EQ(fromCSS.x, UnitLength::pixel(5));
  EXPECT_EQ(fromCSS.y, UnitLength::point(0));
  EXPECT_EQ(fromCSS.width, UnitLength::number(7));
  EXPECT_EQ(fromCSS.height, UnitLength::percentage(50));
}

TEST(Builder, ShapeGeometry) {
  const auto circle = build<SVG::Circle>({}, "cx: 5; r: 3");
  EXPECT_EQ(circle.cx, UnitLength::number(0));
  EXPECT_EQ(circle.r, UnitLength::number(0));
  EXPECT_EQ(build<SVG::Ellipse>({{"rx", "2"}, {"pathLength", "9"}}).rx, UnitLength::number(2));

  EXPECT_EQ(build<SVG::Rect>({{"rx", "5"}}).ry, UnitLength::number(5));
  EXPECT_EQ(build<SVG::Rect>({{"ry", "3"}}).rx, UnitLength::number(3));
  const auto rect = build<SVG::Rect>({{"rx", "1"}, {"ry", "2"}, {"width", "50%"}}, "height: 20; rx: 9");
  EXPECT_EQ(rect.rx, UnitLength::number(1));
  EXPECT_EQ(rect.ry, UnitLength::number(2));
  EXPECT_EQ(rect.width, UnitLength::percentage(50));
  EXPECT_EQ(rect.height, UnitLength::number(20));
  EXPECT_FALSE(rect.x);

  const auto line = build<SVG::Line>({{"x2", "4"}});
  EXPECT_FALSE(line.startPoint);
  EXPECT_EQ(line.endPoint, (UnitPoint{UnitLength::number(4), UnitLength::point(0)}));

  const auto text = build<SVG::Text>({{"dx", "1"}});
  EXPECT_EQ(text.x, UnitLength::number(0));
  EXPECT_EQ(text.dx, UnitLength::number(1));
  EXPECT_FALSE(text.dy);
  EXPECT_TRUE(text.text.empty());

  const auto image = build<SVG::Image>({{"transform", "translate(1,2)"}, {"href", "a.png"}});
  EXPECT_EQ(image.transform.size(), 1u);
  EXPECT_EQ(image.transform, image.presentation.transform);
  EXPECT_TRUE(build<SVG::Path>({{"id", "p"}}).commands.empty());
  EXPECT_THROW(build<SVG::Path>({{"d", "M 0 x"}}), std::exception);
}

TEST(Builder, PointListsPairNumbersInOrder) {
  SVGParser::PrintCapture capture;
  const std::pair<const char*, std::vector<UnitPoint>> table[] = {
      {"0,0 10,0 10,10", {pt(0, 0), pt(10, 0), pt(10, 10)}},
      {"10 20 30 40", {pt(10, 20), pt(30, 40)}},
      {" 1 , 2,3\n4 ,, 5\t6 ", {pt(1, 2), pt(3, 4), pt(5, 6)}},
      {"0,0,5 10", {pt(0, 0), pt(5, 10)}},
      {"-1e1-2 1.5.5", {pt(-10, -2), pt(1.5, 0.5)}},
      {"1px 2%", {{UnitLength::pixel(1), UnitLength::percentage(2)}}},
      {"", {}},
  };
  for (const auto& [text, points] : table) {
    EXPECT_EQ(build<SVG::Polygon>({{"points", text}}).points, points) << text;
  }
  EXPECT_TRUE(capture.lines().empty()) << capture.text();
  // A trailing odd coordinate is dropped with a message; an unreadable one ends the list.
  EXPECT_EQ(build<SVG::Polyline>({{"points", "1 2 3"}}).points, std::vector<UnitPoint>{pt(1, 2)});
  EXPECT_EQ(capture.lines().back(), "WARN: odd number of coordinates in points list, last one dropped: 1 2 3");
  capture.clear();
  EXPECT_EQ(build<SVG::Polyline>({{"points", "1 2 3 x 5 6"}}).points, std::vector<UnitPoint>{pt(1, 2)});
  EXPECT_EQ(capture.lines(), (std::vector<std::string>{
                                 "WARN: points list cut short at 'x': 1 2 3 x 5 6",
                                 "WARN: odd number of coordinates in points list, last one dropped: 1 2 3 x 5 6"}));
}

TEST(Builder, GradientsAndStops) {
  const auto linear = SVG::LinearGradient::fromXMLAttributes({{"x2", "0.5"}, {"xlink:href", "#base"}});
  EXPECT_EQ(linear.x1, UnitLength::percentage(0));
  EXPECT_EQ(linear.x2, UnitLength::number(0.5));
  EXPECT_EQ(linear.y2, UnitLength::percentage(0));
  EXPECT_EQ(linear.templateGradientID, "#base");
  EXPECT_EQ(SVG::LinearGradient::fromXMLAttributes({{"href", "#t"}}).templateGradientID, "#t");

  const auto radial = SVG::RadialGradient::fromXMLAttributes({{"fx", "1"}});
  EXPECT_EQ(radial.r, UnitLength::percentage(50));
  EXPECT_EQ(radial.fr, UnitLength::percentage(0));
  EXPECT_EQ(radial.fx, UnitLength::number(1));
  EXPECT_FALSE(radial.fy);
  EXPECT_FALSE(radial.templateGradientID);

  const auto red = CSS::Color::named("red");
  const auto blue = CSS::Color::named("blue");
  EXPECT_EQ(build<SVG::GradientStop>({{"color", "red"}, {"stop-color", "blue"}}).color, red);
  auto stop = build<SVG::GradientStop>({}, "stop-color: blue; stop-opacity: 0.4; color: red; offset: 1");
  EXPECT_EQ(stop.color, blue);
  EXPECT_DOUBLE_EQ(*stop.opacity, 40);
  EXPECT_FALSE(stop.offset);
  stop = build<SVG::GradientStop>({{"stop-opacity", "50%"}, {"offset", "50%"}}, "stop-opacity: 10%");
  EXPECT_EQ(stop.opacity, 50);
  EXPECT_EQ(stop.offset, UnitLength::percentage(50));
}

TEST(Builder, GradientUnitsOfBothKinds) {
  using Units = SVG::GradientUnits;
  EXPECT_EQ(SVG::LinearGradient::fromXMLAttributes({}).units(), Units::objectBoundingBox);
  EXPECT_EQ(SVG::RadialGradient::fromXMLAttributes({}).units(), Units::objectBoundingBox);
  EXPECT_EQ(SVG::LinearGradient::fromXMLAttributes({{"gradientUnits", "userSpaceOnUse"}}).units(),
            Units::userSpaceOnUse);
  EXPECT_EQ(SVG::RadialGradient::fromXMLAttributes({{"gradientUnits", "userSpaceOnUse"}}).units(),
            Units::userSpaceOnUse);
  EXPECT_EQ(SVG::RadialGradient::fromXMLAttributes({{"gradientUnits", "objectBoundingBox"}}).units(),
            Units::objectBoundingBox);
  // Keywords are case-sensitive; anything else keeps the default.
  for (const char* text : {"userspaceonuse", "", " userSpaceOnUse", "points"}) {
    EXPECT_EQ(SVG::LinearGradient::fromXMLAttributes({{"gradientUnits", text}}).units(),
              Units::objectBoundingBox)
        << text;
  }
  // Made in code with the fields before it, a gradient has the default.
  const SVG::RadialGradient made{.core = {}, .templateGradientID = {}, .gradientTransform = {}};
  EXPECT_EQ(made.units(), Units::objectBoundingBox);
  EXPECT_FALSE(made.gradientUnits);
  // Whether the units were written, for a template to fill them in: only the two keywords count.
  EXPECT_FALSE(SVG::LinearGradient::fromXMLAttributes({}).gradientUnits.has_value());
  EXPECT_TRUE(
      SVG::LinearGradient::fromXMLAttributes({{"gradientUnits", "objectBoundingBox"}}).gradientUnits.has_value());
  EXPECT_TRUE(SVG::RadialGradient::fromXMLAttributes({{"gradientUnits", "userSpaceOnUse"}}).gradientUnits.has_value());
  EXPECT_FALSE(SVG::RadialGradient::fromXMLAttributes({{"gradientUnits", "points"}}).gradientUnits.has_value());
}

TEST(Builder, GradientGeometryRemembersWhatWasWritten) {
  // Only what reads counts as written, a default written out included; the rest is left to a template.
  const auto linear = SVG::LinearGradient::fromXMLAttributes({{"x1", "0%"}, {"y2", "wide"}});
  EXPECT_TRUE(linear.written(SVG::LinearGradient::x1Attribute));
  EXPECT_FALSE(linear.written(SVG::LinearGradient::x2Attribute));
  EXPECT_FALSE(linear.written(SVG::LinearGradient::y2Attribute));
  const auto radial = SVG::RadialGradient::fromXMLAttributes({{"r", "-5"}, {"fr", "0"}, {"cy", "10%"}});
  EXPECT_FALSE(radial.written(SVG::RadialGradient::rAttribute));
  EXPECT_TRUE(radial.written(SVG::RadialGradient::frAttribute));
  EXPECT_TRUE(radial.written(SVG::RadialGradient::cyAttribute));
  EXPECT_FALSE(radial.written(SVG::RadialGradient::cxAttribute));
}

TEST(Builder, NegativeRadiiOfRadialGradientsLeaveTheDefaults) {
  const auto negative = SVG::RadialGradient::fromXMLAttributes({{"r", "-5"}, {"fr", "-10%"}});
  EXPECT_EQ(negative.r, UnitLength::percentage(50));
  EXPECT_EQ(negative.fr, UnitLength::percentage(0));
  EXPECT_EQ(SVG::RadialGradient::fromXMLAttributes({{"r", "-2px"}}).r, UnitLength::percentage(50));
  // Zero is a radius.
  const auto zero = SVG::RadialGradient::fromXMLAttributes({{"r", "0"}, {"fr", "-0"}});
  EXPECT_EQ(zero.r, UnitLength::number(0));
}

TEST(Builder, FilterPrimitives) {
  using Input = SVG::Filter::Input;
  const auto previous = Input::previous();
  EXPECT_EQ(Input::fromStringValue("SourceAlpha"), Input::sourceAlpha());
  EXPECT_EQ(Input::fromStringValue("sourcegraphic"), Input::result("sourcegraphic"));
  EXPECT_FALSE(Input::fromStringValue(""));

  const auto attributes = SVG::Filter::Primitive::Attributes::fromXMLAttributes(
      {{"result", ""}, {"x", "10%"}, {"y", "2"}});
  EXPECT_EQ(attributes, (SVG::Filter::Primitive::Attributes{std::nullopt, std::nullopt, 2, std::nullopt,
                                                            std::nullopt}));
  const auto blur = SVG::Filter::Primitive::Blur::fromXMLAttributes({{"stdDeviation", "2 3"}}, previous);
  EXPECT_EQ(blur.standardDeviation, 0);
  EXPECT_EQ(blur.input, previous);

  auto blend = SVG::Filter::Primitive::Blend::fromXMLAttributes({{"in", "SourceAlpha"}, {"mode", "Multiply"}},
                                                                previous);
  EXPECT_EQ(blend.input2, Input::sourceAlpha());
  EXPECT_EQ(blend.mode, SVG::Filter::Primitive::Blend::Mode::normal);
  blend = SVG::Filter::Primitive::Blend::fromXMLAttributes({{"mode", "soft-light"}}, previous);
  EXPECT_EQ(blend.input2, previous);
  EXPECT_EQ(blend.mode, SVG::Filter::Primitive::Blend::Mode::softLight);

  auto shadow = SVG::Filter::Primitive::DropShadow::fromXMLAttributes({{"dx", "1"}}, previous);
  EXPECT_EQ(shadow.standardDeviation, 2);
  EXPECT_EQ(shadow.color, CSS::Color::black());
  EXPECT_FALSE(shadow.opacity);
  shadow = SVG::Filter::Primitive::DropShadow::fromXMLAttributes(
      {{"flood-color", "#ff0000"}, {"flood-opacity", "0.5"}}, previous);
  EXPECT_EQ(shadow.color, CSS::Color::rgb(1, 0, 0));
  EXPECT_EQ(shadow.opacity, 0.5);
  EXPECT_EQ(SVG::Filter::Primitive::Offset::fromXMLAttributes({{"dy", "3"}}, previous).dy, 3);

  // A merge takes its result name and region, never an input of its own: not its "in", nor the
  // default input (its merge nodes bring the inputs).
  const auto merge = SVG::Filter::Primitive::Merge::fromXMLAttributes(
      {{"result", "m"}, {"in", "SourceAlpha"}, {"width", "4"}}, Input::sourceGraphic());
  EXPECT_EQ(merge.attributes.result, "m");
  EXPECT_EQ(merge.attributes.width, 4);
  EXPECT_TRUE(merge.inputs.empty());
  EXPECT_EQ(SVG::Filter::Primitive::Merge::fromXMLAttributes({}, previous), SVG::Filter::Primitive::Merge{});

  const auto filter = SVG::Filter::fromXMLAttributes({{"id", "f"}, {"width", "120%"}});
  EXPECT_EQ(filter.core.id, "f");
  EXPECT_EQ(filter.width, UnitLength::percentage(120));
  EXPECT_FALSE(filter.x);
}

TEST(Builder, FontFromCascadedCSS) {
  const SVG::XMLAttributes none;
  EXPECT_FALSE(CSS::Style("fill: red").cssFont(none));
  EXPECT_EQ(CSS::Style("font-size: 12px").cssFont(none),
            CSS::Font(CSS::Font::Family::sansSerif(), CSS::Font::Style::normal, CSS::Font::Weight::normal(),
                      UnitLength::pixel(12)));
  EXPECT_EQ(CSS::Style("font: caption; font-weight: bold").cssFont(none), CSS::Font::caption());
  EXPECT_EQ(CSS::Style("font-style: Italic; font-family: serif").cssFont(none),
            CSS::Font(CSS::Font::Family::serif(), CSS::Font::Style::normal, CSS::Font::Weight::normal(),
                      std::nullopt));
  // The style sheet's cascade reaches the text element's font.
  const auto sheet = CSS::CSS::fromStringValue(".t { font-style: italic }");
  EXPECT_EQ(sheet.font({{"class", "t"}}), CSS::Font(CSS::Font::Family::sansSerif(), CSS::Font::Style::italic,
                                                      CSS::Font::Weight::normal(), std::nullopt));
  const auto text = SVG::Text::fromXMLAttributes({{"class", "t"}}, sheet.cssResolver({{"class", "t"}}));
  EXPECT_EQ(text.font, sheet.font({{"class", "t"}}));
}
