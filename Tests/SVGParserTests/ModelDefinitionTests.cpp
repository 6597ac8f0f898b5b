// Gradients with their stops, and filters with their primitives.
#include <gtest/gtest.h>

#include <unordered_set>

#include "SVGParser/SVG/Filter.h"
#include "SVGParser/SVG/Gradient.h"

using CSS::UnitLength;
using SVG::Filter;
using Primitive = SVG::Filter::Primitive;
using Input = SVG::Filter::Input;
using Mode = Primitive::Blend::Mode;

namespace {

template <SVG::SVGGradient Gradient>
void appendStop(Gradient& gradient, std::string id) {
  gradient.stops.push_back(SVG::GradientStop{.core = {.id = std::move(id)}});
}

Primitive blur(std::optional<std::string> result = std::nullopt) {
  return Primitive::Blur{.attributes = {.result = std::move(result)},
                         .input = Input::sourceGraphic(),
                         .standardDeviation = 3};
}

Primitive offset(std::optional<std::string> result = std::nullopt) {
  return Primitive::Offset{.attributes = {.result = std::move(result)},
                           .input = Input::previous(), .dx = 1, .dy = 2};
}

}  // namespace

TEST(ModelGradient, DefaultsFollowSVG) {
  const SVG::LinearGradient linear{.core = {.id = "l"}};
  EXPECT_TRUE(linear.stops.empty());
  EXPECT_EQ(linear.x1, UnitLength::percentage(0));
  EXPECT_EQ(linear.x2, UnitLength::percentage(100));
  EXPECT_EQ(linear.y1, UnitLength::percentage(0));
  EXPECT_EQ(linear.y2, UnitLength::percentage(0));
  EXPECT_EQ(linear.startPoint(), (SVG::UnitPoint{UnitLength::percentage(0), UnitLength::percentage(0)}));
  EXPECT_EQ(linear.endPoint(), (SVG::UnitPoint{UnitLength::percentage(100), UnitLength::percentage(0)}));

  const SVG::RadialGradient radial{};
  EXPECT_EQ(radial.r, UnitLength::percentage(50));
  EXPECT_EQ(radial.fr, UnitLength::percentage(0));
  EXPECT_EQ(radial.fx, std::nullopt);
  EXPECT_EQ(radial.centerPoint(),
            (SVG::UnitPoint{UnitLength::percentage(50), UnitLength::percentage(50)}));
}

TEST(ModelGradient, CopiesOwnTheirStops) {
  SVG::LinearGradient original{};
  appendStop(original, "a");
  SVG::LinearGradient copy = original;
  copy.stops.push_back(SVG::GradientStop{});
  appendStop(copy, "b");
  EXPECT_EQ(original.stops.size(), 1u);
  EXPECT_EQ(copy.stops.size(), 3u);

  SVG::RadialGradient radial{};
  SVG::RadialGradient radialCopy = radial;
  appendStop(radialCopy, "c");
  EXPECT_TRUE(radial.stops.empty());

  // Stops compare by their fields alone.
  EXPECT_EQ(original.stops[0], copy.stops[0]);
  EXPECT_NE(copy.stops[1], copy.stops[0]);
  EXPECT_NE((SVG::GradientStop{.opacity = 50}), (SVG::GradientStop{.opacity = 40}));
}

TEST(ModelGradient, Descriptions) {
  EXPECT_EQ(SVG::GradientStop{.core = {.id = "s1"}}.description(), "<Stop: id=s1>");
  EXPECT_EQ(SVG::GradientStop{.color = CSS::Color::red()}.description(), "<Stop:>");

  SVG::LinearGradient linear{.core = {.id = "g"}, .templateGradientID = "#t"};
  EXPECT_EQ(linear.description(), "<Gradient: id=g template=#t 0.0% 100.0% 0.0% 0.0% EMPTY>");
  appendStop(linear, "a");
  linear.stops.push_back(SVG::GradientStop{});
  EXPECT_EQ(linear.description(),
            "<Gradient: id=g template=#t 0.0% 100.0% 0.0% 0.0% [<Stop: id=a>, <Stop:>]>");

  SVG::RadialGradient radial{.r = UnitLength::number(5), .fx = UnitLength::number(1)};
  EXPECT_EQ(radial.description(), "<Gradient: 5.0 50.0%,50.0% EMPTY>");
}

TEST(ModelFilter, PrimitiveAttributes) {
  const Primitive::Attributes none{};
  EXPECT_TRUE(none.isEmpty());
  EXPECT_FALSE(none.hasPositioning());
  EXPECT_EQ(none.description(), "");
  const Primitive::Attributes named{.result = "a"};
  EXPECT_FALSE(named.isEmpty());
  EXPECT_FALSE(named.hasPositioning());
  const Primitive::Attributes tall{.height = 4};
  EXPECT_FALSE(tall.isEmpty());
  EXPECT_TRUE(tall.hasPositioning());
  EXPECT_EQ((Primitive::Attributes{.result = "r", .x = 1, .y = 2, .width = 3, .height = 4})
                .description(),
            " 'r' x=1.0 y=2.0 w=3.0 h=4.0");
}

TEST(ModelFilter, BareKindsAndMergesHaveNoInput) {
  const Primitive flood = Primitive::Flood{};
  EXPECT_EQ(flood.attributes(), Primitive::Attributes{});
  EXPECT_EQ(flood.result(), std::nullopt);
  EXPECT_EQ(flood.input(), std::nullopt);
  EXPECT_EQ(flood.description(), "<OTHER-FILTER-PRIMITIVE>");
  EXPECT_EQ(Primitive(Primitive::Turbulence{}).description(), "<OTHER-FILTER-PRIMITIVE>");

  const Primitive merge = Primitive::Merge{.attributes = {.result = "m"},
                                           .inputs = {Input::result("a"), Input::sourceGraphic()}};
  EXPECT_EQ(merge.input(), std::nullopt);
  EXPECT_EQ(merge.result(), "m");
  EXPECT_EQ(blur("b").input(), Input::sourceGraphic());
  EXPECT_EQ(blur("b").result(), "b");
  EXPECT_EQ(offset().input(), Input::previous());
}

TEST(ModelFilter, InputsPrintShortNames) {
  const std::pair<Input, const char*> table[] = {
      {Input::result("blur"), "#blur"},    {Input::result(""), "#"},
      {Input::previous(), "previous"},     {Input::sourceGraphic(), "src"},
      {Input::sourceAlpha(), "alpha"},     {Input::backgroundImage(), "bgimg"},
      {Input::backgroundAlpha(), "bgalpha"}, {Input::fillPaint(), "fill"},
      {Input::strokePaint(), "stroke"},
  };
  for (const auto& [input, text] : table) EXPECT_EQ(input.description(), text);
  EXPECT_EQ(Input::result(""), Input::result(""));
  EXPECT_NE(Input::result(""), Input::previous());
  EXPECT_NE(Input::result("a"), Input::result("A"));
}

TEST(ModelFilter, BlendModesReadExactKeywords) {
  EXPECT_EQ(Mode::fromRawValue("soft-light"), Mode(Mode::softLight));
  EXPECT_EQ(Mode::fromRawValue("softLight"), std::nullopt);
  EXPECT_EQ(Mode::fromRawValue("Soft-Light"), std::nullopt);
  EXPECT_EQ(Mode::fromRawValue(" normal"), std::nullopt);
  EXPECT_EQ(Mode::fromRawValue(""), std::nullopt);
  for (int i = Mode::normal; i <= Mode::softLight; ++i) {
    const Mode mode(static_cast<Mode::Value>(i));
    EXPECT_EQ(Mode::fromRawValue(mode.rawValue()), mode) << mode.rawValue();
  }
  EXPECT_EQ(Mode(Mode::colorDodge).rawValue(), "color-dodge");
  EXPECT_EQ(Mode(Mode::hardLight).caseName(), "hardLight");
  const std::unordered_set<Mode> modes{Mode::normal, *Mode::fromRawValue("normal"), Mode::hue};
  EXPECT_EQ(modes.size(), 2u);
}

TEST(ModelFilter, PrimitiveDescriptions) {
  EXPECT_EQ(blur().description(), "<Blur: src| 3.0>");
  EXPECT_EQ(blur("b").description(), "<Blur: 'b' src| 3.0>");
  EXPECT_EQ(offset().description(), "<Offset: previous| 1.0,2.0>");
  EXPECT_EQ(Primitive(Primitive::Merge{.inputs = {Input::result("a"), Input::sourceAlpha()}})
                .description(),
            "<Merge: [#a, alpha]>");
  EXPECT_EQ(Primitive(Primitive::Merge{}).description(), "<Merge: []>");
  EXPECT_EQ(Primitive(Primitive::Blend{.input = Input::sourceGraphic(),
                                       .input2 = Input::backgroundImage(),
                                       .mode = Mode::softLight})
                .description(),
            "<Blend: src|bgimg softLight>");
  Primitive::DropShadow shadow{.input = Input::sourceAlpha(), .dx = 2, .dy = 3, .standardDeviation = 4,
                               .color = CSS::Color::black()};
  shadow.attributes.x = 1;
  EXPECT_EQ(Primitive(shadow).description(),
            "<Shadow: x=1.0 alpha| 2.0,3.0 named(\"black\")/1.0 4.0>");
  Primitive::DropShadow faint = shadow;
  faint.opacity = 0.5;
  EXPECT_EQ(Primitive(faint).description(),
            "<Shadow: x=1.0 alpha| 2.0,3.0 named(\"black\")/0.5 4.0>");
}

TEST(ModelFilter, FilterDescriptions) {
  EXPECT_EQ(Filter{}.description(), "<Filter: EMPTY>");
  Filter filter{.core = {.id = "f"}};
  EXPECT_EQ(filter.description(), "<Filter: id=f EMPTY>");
  filter.primitives.push_back(blur());
  EXPECT_EQ(filter.description(), "<Filter: id=f <Blur: src| 3.0>>");
  filter.primitives.push_back(Primitive::Tile{});
  EXPECT_EQ(filter.description(), "<Filter: id=f [<Blur: src| 3.0>, <OTHER-FILTER-PRIMITIVE>]>");
  Filter other = filter;
  other.primitives.pop_back();
  EXPECT_NE(other, filter);
}

TEST(ModelFilter, OnlyAffectsSourceGraphic) {
  EXPECT_TRUE(SVG::onlyAffectsSourceGraphic({}));
  EXPECT_FALSE(SVG::onlyAffectsSourceGraphic(std::vector<Primitive>{blur(), Primitive::Merge{}}));
  EXPECT_TRUE(SVG::onlyAffectsSourceGraphic(
      std::vector<Primitive>{blur(), Primitive::Flood{}, offset()}));
  EXPECT_FALSE(SVG::onlyAffectsSourceGraphic(std::vector<Primitive>{offset("a")}));
  EXPECT_FALSE(SVG::onlyAffectsSourceGraphic(std::vector<Primitive>{blur(), offset(""), blur()}));
  // Inputs play no part.
  const Primitive blend = Primitive::Blend{.input = Input::result("x"),
                                           .input2 = Input::backgroundAlpha(),
                                           .mode = Mode::normal};
  EXPECT_TRUE(SVG::onlyAffectsSourceGraphic(std::vector<Primitive>{blend}));
}
