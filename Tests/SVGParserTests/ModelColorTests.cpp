// Colours, their packed forms, the keyword table and paints.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <sstream>
#include <unordered_set>

#include "SVGParser/CSS/Color.h"
#include "SVGParser/SVG/Paint.h"

using CSS::Color;
using SVG::Paint;

TEST(ModelColor, UnpacksSixAndEightDigitValues) {
  EXPECT_EQ(Color::fromRGB(0xFF8000), Color::rgb(1, 128 / 255.0, 0));
  EXPECT_EQ(Color::fromIntegerLiteral(0xFF8000), Color::rgb(1, 128 / 255.0, 0));
  EXPECT_EQ(Color::fromRGB(0x12345678),
            Color::rgba(0x12 / 255.0, 0x34 / 255.0, 0x56 / 255.0, 0x78 / 255.0));
  EXPECT_EQ(Color::fromRGB(0x123456FF), Color::rgb(0x12 / 255.0, 0x34 / 255.0, 0x56 / 255.0));
  // A zero red byte makes an eight-digit value read as six digits; only fromRGBA is unambiguous.
  EXPECT_EQ(Color::fromRGB(0x00345678), Color::rgb(0x34 / 255.0, 0x56 / 255.0, 0x78 / 255.0));
  EXPECT_EQ(Color::fromRGBA(0x00345678), Color::rgba(0, 0x34 / 255.0, 0x56 / 255.0, 0x78 / 255.0));
  EXPECT_EQ(Color::fromRGBA(0x00FF00FF), Color::rgb(0, 1, 0));
  EXPECT_EQ(Paint::fromRGB(0xFF0000), Paint::color(Color::rgb(1, 0, 0)));
  EXPECT_EQ(Paint::fromRGBA(0xFF000080), Paint::color(Color::rgba(1, 0, 0, 128 / 255.0)));
}

TEST(ModelColor, ComponentInitialisersStoreValuesUnchanged) {
  EXPECT_EQ(Color::fromRGB(255, 0, 510), Color::rgb(1, 0, 2));
  EXPECT_EQ(Color::fromComponents(0.1, 0.2, 0.3, std::nullopt), Color::rgb(0.1, 0.2, 0.3));
  EXPECT_EQ(Color::fromComponents(0.1, 0.2, 0.3, 1.0), Color::rgba(0.1, 0.2, 0.3, 1));
}

TEST(ModelColor, PackingTruncatesAndDropsOrKeepsAlpha) {
  EXPECT_EQ(Color::rgb(0.5, 0.5, 0.5).rgbHexValue(), 0x7F7F7Fu);
  EXPECT_EQ(Color::rgba(1, 0, 0, 0.5).hexValue(), 0xFF00007Fu);
  EXPECT_EQ(Color::rgba(1, 0, 0, 1).hexValue(), 0xFF0000u);
  EXPECT_EQ(Color::rgba(1, 0, 0, 0.5).rgbHexValue(), 0xFF0000u);
  EXPECT_EQ(Color::rgb(0.2, 0.4, 0.6).hexValue(), 0x336699u);
  // Reading an eight-digit hex value back gives the same colour.
  const Color translucent = Color::rgba(0x12 / 255.0, 0x34 / 255.0, 0x56 / 255.0, 0x78 / 255.0);
  EXPECT_EQ(Color::fromRGBA(*translucent.hexValue()), translucent);
}

TEST(ModelColor, OutOfRangeComponentsAreClampedBeforePacking) {
  EXPECT_EQ(Color::rgb(2, -1, 0.5).rgbHexValue(), 0xFF007Fu);
  EXPECT_EQ(Color::fromRGB(300, 0, 0).rgbHexValue(), 0xFF0000u);
  EXPECT_EQ(Color::rgb(1e300, -1e300, 0).rgbHexValue(), 0xFF0000u);
  EXPECT_EQ(Color::rgb(NAN, 1, INFINITY).rgbHexValue(), 0x00FFFFu);
  EXPECT_EQ(Color::rgba(0, 0, 0, -0.5).hexValue(), 0x00000000u);
  EXPECT_EQ(Color::rgba(1.5, 0, 0, 0.5).hexValue(), 0xFF00007Fu);
  // An alpha of NaN or above 1 is not translucent.
  EXPECT_EQ(Color::rgba(1, 0, 0, NAN).hexValue(), 0xFF0000u);
  EXPECT_EQ(Color::rgba(1, 0, 0, 7).hexValue(), 0xFF0000u);
}

TEST(ModelColor, NamedColoursResolveOnlyExactKeys) {
  EXPECT_EQ(Color::named("currentcolor").rgbHexValue(), 0x000000u);
  EXPECT_EQ(Color::named("yellowgreen").rgbHexValue(), 0x9ACD32u);
  EXPECT_EQ(Color::named("yellowgreen").hexValue(), 0x9ACD32u);
  EXPECT_EQ(Color::named("slategray").rgbHexValue(), 0x708090u);
  EXPECT_EQ(Color::named("Red").rgbHexValue(), std::nullopt);
  EXPECT_EQ(Color::named("").hexValue(), std::nullopt);
}

TEST(ModelColor, KeywordTableHoldsExactlyTheKeywords) {
  const char* keys =
      "aliceblue antiquewhite aqua aquamarine azure beige bisque black blanchedalmond blue "
      "blueviolet brown burlywood cadetblue chartreuse chocolate coral cornflowerblue cornsilk "
      "crimson currentcolor cyan darkblue darkcyan darkgoldenrod darkgray darkgreen darkgrey "
      "darkkhaki darkmagenta darkolivegreen darkorange darkorchid darkred darksalmon "
      "darkseagreen darkslateblue darkslategray darkslategrey darkturquoise darkviolet deeppink deepskyblue "
      "dimgray dimgrey dodgerblue firebrick floralwhite forestgreen fuchsia gainsboro ghostwhite "
      "gold goldenrod gray green greenyellow grey honeydew hotpink indianred indigo ivory khaki "
      "lavender lavenderblush lawngreen lemonchiffon lightblue lightcoral lightcyan "
      "lightgoldenrodyellow lightgray lightgreen lightgrey lightpink lightsalmon lightseagreen "
      "lightskyblue lightslategray lightslategrey lightsteelblue lightyellow lime limegreen linen magenta "
      "maroon mediumaquamarine mediumblue mediumorchid mediumpurple mediumseagreen "
      "mediumslateblue mediumspringgreen mediumturquoise mediumvioletred midnightblue mintcream "
      "mistyrose moccasin navajowhite navy oldlace olive olivedrab orange orangered orchid "
      "palegoldenrod palegreen paleturquoise palevioletred papayawhip peachpuff peru pink plum "
      "powderblue purple rebeccapurple red rosybrown royalblue saddlebrown salmon sandybrown seagreen seashell "
      "sienna silver skyblue slateblue slategray slategrey snow springgreen steelblue tan teal thistle "
      "tomato turquoise violet wheat white whitesmoke yellow yellowgreen";
  std::set<std::string> expected;
  std::istringstream words(keys);
  for (std::string word; words >> word;) expected.insert(word);
  // The CSS colour keywords, both spellings of every grey among them.
  ASSERT_EQ(expected.size(), 149u);

  const auto& table = Color::nameToRGB();
  std::set<std::string> actual;
  for (const auto& [key, value] : table) {
    actual.insert(key);
    EXPECT_EQ(value >> 24, 0u) << key;
  }
  EXPECT_EQ(actual, expected);
  for (const char* absent : {"transparent", "none", "SlateGray"}) {
    EXPECT_FALSE(table.contains(absent)) << absent;
  }
}

TEST(ModelColor, KeywordValuesFollowTheCSSTable) {
  const std::pair<const char*, std::uint32_t> samples[] = {
      {"black", 0x000000},        {"white", 0xFFFFFF},    {"red", 0xFF0000},
      {"green", 0x008000},        {"lime", 0x00FF00},     {"gray", 0x808080},
      {"grey", 0x808080},         {"maroon", 0x800000},   {"purple", 0x800080},
      {"aliceblue", 0xF0F8FF},    {"darkgray", 0xA9A9A9}, {"slategrey", 0x708090},
      {"slategray", 0x708090},    {"lightslategrey", 0x778899}, {"darkslategrey", 0x2F4F4F},
      {"rebeccapurple", 0x663399},
      {"lightslategray", 0x778899}, {"darkslategray", 0x2F4F4F},
      {"lightgoldenrodyellow", 0xFAFAD2}, {"mediumspringgreen", 0x00FA9A},
      {"navajowhite", 0xFFDEAD},  {"rosybrown", 0xBC8F8F}, {"currentcolor", 0x000000},
  };
  for (const auto& [name, value] : samples) {
    EXPECT_EQ(Color::named(name).rgbHexValue(), value) << name;
  }
}

TEST(ModelColor, KeywordStaticsAreNamedColoursAndPaints) {
  EXPECT_EQ(Color::currentcolor(), Color::named("currentcolor"));
  EXPECT_EQ(Paint::black(), Paint::color(Color::named("black")));
  EXPECT_EQ(&Color::black(), &Color::black());  // made once, then kept
  std::size_t count = 0;
#define CHECK_KEYWORD(keyword, value)                          \
  EXPECT_EQ(Color::keyword(), Color::named(#keyword));                         \
  EXPECT_EQ(Paint::keyword(), Paint::color(Color::keyword()));                 \
  ++count;
  QUARVEL_CSS_NAMED_COLORS(CHECK_KEYWORD)
#undef CHECK_KEYWORD
  EXPECT_EQ(count, 149u);
}

TEST(ModelColor, CasesAreNeverEqualAcrossKinds) {
  const Color named = Color::named("red");
  const Color rgb = Color::rgb(1, 0, 0);
  const Color rgba = Color::rgba(1, 0, 0, 1);
  EXPECT_NE(named, rgb);
  EXPECT_NE(rgb, rgba);
  EXPECT_NE(named, rgba);
  EXPECT_NE(Paint::color(named), Paint::color(rgb));
  EXPECT_NE(Paint::none(), Paint::definition(""));

  const std::unordered_set<Color> colours{named, rgb, rgba, Color::named("red")};
  EXPECT_EQ(colours.size(), 3u);
  const std::unordered_set<Paint> paints{Paint::none(), Paint::none(), Paint::definition("g"),
                                         Paint::color(rgb), Paint::black()};
  EXPECT_EQ(paints.size(), 4u);
}

TEST(ModelColor, Descriptions) {
  EXPECT_EQ(Color::named("red").description(), "named(\"red\")");
  EXPECT_EQ(Color::rgb(1, 0, 0.5).description(), "rgb(1.0, 0.0, 0.5)");
  EXPECT_EQ(Color::rgba(1, 0, 0, 0.25).description(), "rgba(1.0, 0.0, 0.0, 0.25)");
  EXPECT_EQ(Paint::black().description(), "color(named(\"black\"))");
  EXPECT_EQ(Paint::definition("g1").description(), "definition(\"g1\")");
  EXPECT_EQ(Paint::none().description(), "none");
}
