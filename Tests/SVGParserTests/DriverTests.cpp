#include <gtest/gtest.h>


#include "SVGParser/Parser/SVGParser.h"
#include "Platform/Print.h"

namespace {

using SVG::GroupItem;

const std::string svgOpen = "<svg xmlns=\"http://www.w3.org/2000/svg\">";

std::vector<std::string> kinds(const std::vector<GroupItem>& items) {
  std::vector<std::string> names;
  for (const auto& item : items) {
    names.push_back(item.description().substr(0, item.description().find(':')));
  }
  return names;
}

std::vector<std::string> definitionIDs(const SVG::SVG& svg) {
  std::vector<std::string> ids;
  for (const auto& entry : svg.definitions) ids.push_back(entry.id);
  return ids;
}

}  // namespace

TEST(Driver, DefinitionsGoToTheNearestSVGAndTheFirstIDWins) {
  const auto svg = SVG::SVG::fromSVGString(svgOpen + R"(
    <linearGradient id="a"/><radialGradient/>
    <g><svg><filter id="f"/><linearGradient id="a"/></svg></g>
    <rect/><linearGradient id="b"/></svg>)");
  ASSERT_TRUE(svg);
  EXPECT_EQ(definitionIDs(*svg), (std::vector<std::string>{"a", "b"}));
  ASSERT_EQ(kinds(svg->children), (std::vector<std::string>{"<Group", "<Rect"}));
  const auto* nested = svg->children[0].as<SVG::Group>()->children.at(0).as<SVG::SVG>();
  ASSERT_TRUE(nested);
  EXPECT_EQ(definitionIDs(*nested), (std::vector<std::string>{"f"}));
  EXPECT_TRUE(SVG::findDefinition(svg->definitions, "a")->is<SVG::LinearGradient>());
}

TEST(Driver, NonSVGRootIsWrapped) {
  SVGParser::PrintCapture capture;
  auto svg = SVGParser::SVGParser::parse("<g id=\"x\"><circle r=\"1\"/></g>");
  ASSERT_TRUE(svg);
  EXPECT_FALSE(svg->width);
  ASSERT_EQ(kinds(svg->children), std::vector<std::string>{"<Group"});
  EXPECT_TRUE(capture.lines().empty());

  EXPECT_FALSE(SVGParser::SVGParser::parse("<g><circle r=\"1\"/></g>", false));
  EXPECT_FALSE(SVGParser::SVGParser::parse("<circle r=\"1\"/>", false));
  ASSERT_EQ(capture.lines().size(), 2u);
  EXPECT_TRUE(capture.lines()[0].starts_with("dropping element, no group: <Group"));

  // Failures give nothing: empty or ill-formed input, and a prolog that wrapping displaces.
  capture.clear();
  EXPECT_FALSE(SVGParser::SVGParser::parse(""));
  EXPECT_FALSE(SVGParser::SVGParser::parse(svgOpen + "<rect></svg>"));
  EXPECT_FALSE(SVGParser::SVGParser::parse("<?xml version=\"1.0\"?><g/>"));
  EXPECT_TRUE(capture.lines().empty());
  EXPECT_TRUE(SVGParser::SVGParser::parse("<?xml version=\"1.0\"?>" + svgOpen + "</svg>"));
}

TEST(Driver, NothingIsBuiltOrReportedBeforeTheWholeDocumentIsRead) {
  SVGParser::PrintCapture capture;
  // Elements that would be reported come before the error at the end.
  EXPECT_FALSE(SVGParser::SVGParser::parse(svgOpen + R"(<foo b="1" a="2"/><path d="M"/><g></svg>)"));
  EXPECT_FALSE(SVGParser::SVGParser::parse(R"(<g><foo/><style>.a { fill: red }</style></g><g/>)"));
  EXPECT_TRUE(capture.lines().empty());

  // Reports name the attributes in the order of their names.
  EXPECT_TRUE(SVGParser::SVGParser::parse(svgOpen + R"(<foo b="1" a="2"/></svg>)"));
  EXPECT_EQ(capture.lines(), std::vector<std::string>{R"(OTHER: foo ["a": "2", "b": "1"])"});

  // A wrapped document keeps the style sheet found in it.
  const auto svg = SVGParser::SVGParser::parse(R"(<g><rect class="a"/><style>.a { fill: red }</style></g>)");
  ASSERT_TRUE(svg);
  const auto& group = *svg->children.at(0).as<SVG::Group>();
  EXPECT_EQ(group.children.at(0).as<SVG::Rect>()->presentation.fill, SVG::Paint::color(CSS::Color::named("red")));
}

TEST(Driver, StyleSheetsApplyToTheWholeDocument) {
  const auto svg = SVG::SVG::fromSVGString(svgOpen + R"svg(
    <rect class="a" id="r"/>
    <style>.a { fill: red; stroke: blue }</style>
    <style><![CDATA[ #r { fill: green } .b > x { } ]]></style>
    <circle class="a" fill="black"/><circle style="fill: url('#g')"/></svg>)svg");
  ASSERT_TRUE(svg);
  const auto& rect = *svg->children.at(0).as<SVG::Rect>();
  EXPECT_EQ(rect.presentation.fill, SVG::Paint::color(CSS::Color::named("green")));
  EXPECT_EQ(rect.presentation.stroke, SVG::Paint::color(CSS::Color::named("blue")));
  // A stated attribute wins over the style sheet.
  EXPECT_EQ(svg->children.at(1).as<SVG::Circle>()->presentation.fill, SVG::Paint::color(CSS::Color::named("black")));
  // A quoted one-character reference reaches the paint reader intact.
  EXPECT_EQ(svg->children.at(2).as<SVG::Circle>()->presentation.fill, SVG::Paint::definition("g"));
}

TEST(Driver, FilterPrimitivesChainTheirDefaultInputs) {
  SVGParser::PrintCapture capture;
  const auto svg = SVG::SVG::fromSVGString(svgOpen + R"(
    <feGaussianBlur stdDeviation="9"/>
    <filter id="f1"><feGaussianBlur stdDeviation="2"/><feOffset dx="1"/>
      <feMerge result="m" in="FillPaint"><feMergeNode/><feMergeNode in="SourceAlpha"/><feFlood/></feMerge><image/><feImage/></filter>
    <filter id="f2"><feBlend in2="x"/></filter><feMergeNode/></svg>)");
  ASSERT_TRUE(svg);
  EXPECT_TRUE(svg->children.empty());
  const auto* f1 = SVG::findDefinition(svg->definitions, "f1")->as<SVG::Filter>();
  ASSERT_EQ(f1->primitives.size(), 5u);
  EXPECT_EQ(f1->primitives[0].input(), SVG::Filter::Input::sourceGraphic());
  EXPECT_EQ(f1->primitives[1].input(), SVG::Filter::Input::previous());
  // A primitive inside a merge comes before it; the merge is added at its end tag.
  EXPECT_TRUE(f1->primitives[2].is<SVG::Filter::Primitive::Flood>());
  const auto* merge = f1->primitives[3].as<SVG::Filter::Primitive::Merge>();
  ASSERT_TRUE(merge);
  EXPECT_EQ(merge->inputs, (std::vector<SVG::Filter::Input>{SVG::Filter::Input::previous(),
                                                            SVG::Filter::Input::sourceAlpha()}));
  EXPECT_EQ(merge->attributes.result, "m");
  EXPECT_TRUE(f1->primitives[4].is<SVG::Filter::Primitive::Image>());
  const auto* blend = SVG::findDefinition(svg->definitions, "f2")->as<SVG::Filter>()->primitives.at(0)
                          .as<SVG::Filter::Primitive::Blend>();
  EXPECT_EQ(blend->input, SVG::Filter::Input::sourceGraphic());
  EXPECT_EQ(blend->input2, SVG::Filter::Input::result("x"));
  EXPECT_EQ(capture.lines(), std::vector<std::string>{"OTHER: feImage [:]"});
}

TEST(Driver, GradientStopsGoToTheOpenGradients) {
  const auto svg = SVG::SVG::fromSVGString(svgOpen + R"(<stop offset="1"/>
    <linearGradient id="l"><stop offset="0"/><radialGradient id="r"><stop offset="1"/></radialGradient>
    </linearGradient></svg>)");
  ASSERT_TRUE(svg);
  ASSERT_EQ(definitionIDs(*svg), (std::vector<std::string>{"r", "l"}));
  EXPECT_EQ(svg->definitions[0].definition.as<SVG::RadialGradient>()->stops.size(), 1u);
  EXPECT_EQ(svg->definitions[1].definition.as<SVG::LinearGradient>()->stops.size(), 2u);
}

TEST(Driver, TextCollectsItsCharacterData) {
  SVGParser::PrintCapture capture;
  const auto svg = SVG::SVG::fromSVGString(svgOpen +
                                          "<text x=\"5\">One <tspan>two</tspan>\n three<![CDATA[ <4>]]></text>"
                                          "<g>outside</g></svg>");
  ASSERT_TRUE(svg);
  ASSERT_EQ(kinds(svg->children), (std::vector<std::string>{"<Text", "<Group"}));
  // The line break goes and the blanks around it become one.
  EXPECT_EQ(svg->children[0].as<SVG::Text>()->text, "One two three <4>");
  EXPECT_EQ(capture.lines(), std::vector<std::string>{"OTHER: tspan [:]"});
}

TEST(Driver, BadPathDataDropsOnlyThatPath) {
  SVGParser::PrintCapture capture;
  const auto svg = SVG::SVG::fromSVGString(svgOpen + "<path d=\"M0 0L1 1\"/><path d=\"M 1 x\"/><path/></svg>");
  ASSERT_TRUE(svg);
  ASSERT_EQ(kinds(svg->children), (std::vector<std::string>{"<Path", "<Path"}));
  ASSERT_EQ(capture.lines().size(), 1u);
  EXPECT_TRUE(capture.lines()[0].starts_with("could not parse path: [\"d\": \"M 1 x\"]   error: ")) << capture.text();
}

TEST(Driver, ContentOfUndrawnElementsIsSkippedButDefinitionsAreKept) {
  SVGParser::PrintCapture capture;
  const auto svg = SVG::SVG::fromSVGString(svgOpen + R"(
    <defs><g><rect/><linearGradient id="g"/></g><circle/><filter id="f"><image/></filter></defs>
    <clipPath id="c"><path d="M0 0"/></clipPath>
    <mask/><symbol><rect/></symbol><pattern><rect/></pattern><marker><rect/></marker>
    <g><rect/></g></svg>)");
  ASSERT_TRUE(svg);
  ASSERT_EQ(kinds(svg->children), std::vector<std::string>{"<Group"});
  EXPECT_EQ(svg->children[0].as<SVG::Group>()->children.size(), 1u);
  EXPECT_EQ(definitionIDs(*svg), (std::vector<std::string>{"g", "f"}));
  EXPECT_EQ(SVG::findDefinition(svg->definitions, "f")->as<SVG::Filter>()->primitives.size(), 1u);
  std::vector<std::string> skipped;
  for (const auto& line : capture.lines()) {
    if (line.starts_with("skipping shapes inside ")) skipped.push_back(line);
  }
  EXPECT_EQ(skipped, (std::vector<std::string>{
                         "skipping shapes inside defs, not drawn: [:]",
                         "skipping shapes inside clipPath, not drawn: [\"id\": \"c\"]",
                         "skipping shapes inside symbol, not drawn: [:]",
                         "skipping shapes inside pattern, not drawn: [:]",
                         "skipping shapes inside marker, not drawn: [:]",
                     }));
}

TEST(Driver, ReportedAttributeMapsStayOnOneLine) {
  SVGParser::PrintCapture capture;
  auto svg = SVGParser::SVGParser::parse(svgOpen + R"(<foo a="x&#10;y&#13;" b='say "hi" \'/>)" +
                              R"(<path d="M0 0&#10;L" />)" + "</svg>");
  ASSERT_TRUE(svg);
  EXPECT_EQ(capture.text(), "OTHER: foo [\"a\": \"x\\ny\\r\", \"b\": \"say \\\"hi\\\" \\\\\"]\n"
                            "could not parse path: [\"d\": \"M0 0\\nL\"]   error: missingArgument(76)\n");
}

TEST(Driver, ElementNamesAndNamespacePrefixes) {
  SVGParser::PrintCapture capture;
  auto svg = SVGParser::SVGParser::parse(R"(<svg:svg xmlns:svg="http://www.w3.org/2000/svg" width="4">)"
                              R"(<svg:rect/><o:rect xmlns:o="urn:other"/><Rect/></svg:svg>)");
  ASSERT_TRUE(svg);
  EXPECT_EQ(svg->width, CSS::UnitLength::number(4));
  EXPECT_EQ(kinds(svg->children), std::vector<std::string>{"<Rect"});
  EXPECT_EQ(capture.lines(), (std::vector<std::string>{"OTHER: o:rect [\"xmlns:o\": \"urn:other\"]",
                                                       "OTHER: Rect [:]"}));
  // An unbound prefix is no error and no SVG element.
  capture.clear();
  svg = SVGParser::SVGParser::parse("<x:svg/>");
  ASSERT_TRUE(svg);
  EXPECT_TRUE(svg->children.empty());
  EXPECT_EQ(capture.lines(), std::vector<std::string>{"OTHER: x:svg [:]"});
  // An inner declaration hides an outer one of the same prefix until its element closes;
  // a binding ends with its element.
  capture.clear();
  svg = SVGParser::SVGParser::parse(R"(<svg xmlns:p="http://www.w3.org/2000/svg"><g xmlns:p="urn:other"><p:circle/></g>)"
                         R"(<p:rect/><g xmlns:q="http://www.w3.org/2000/svg"/><q:line/></svg>)");
  ASSERT_TRUE(svg);
  EXPECT_EQ(kinds(svg->children), (std::vector<std::string>{"<Group", "<Rect", "<Group"}));
  EXPECT_EQ(capture.lines(), (std::vector<std::string>{"OTHER: p:circle [:]", "OTHER: q:line [:]"}));
}

TEST(Driver, HostileInputStaysBounded) {
  SVGParser::PrintCapture capture;
  // Containers nest at most to the limit; deeper ones go with their content, reported once.
  std::string deep = svgOpen;
  for (int i = 0; i < 1000; ++i) deep += "<g>";
  deep += "<rect/>";
  for (int i = 0; i < 1000; ++i) deep += "</g>";
  deep += "<circle/></svg>";
  auto svg = SVGParser::SVGParser::parse(deep);
  ASSERT_TRUE(svg);
  std::size_t depth = 1;
  for (const SVG::Group* group = svg->children.at(0).as<SVG::Group>(); group;
       group = group->children.empty() ? nullptr : group->children[0].as<SVG::Group>()) {
    ++depth;
  }
  EXPECT_EQ(depth, SVGParser::SVGParser::maximumContainerDepth);
  EXPECT_EQ(kinds(svg->children), (std::vector<std::string>{"<Group", "<Circle"}));
  ASSERT_EQ(capture.lines().size(), 1u);
  EXPECT_TRUE(capture.lines()[0].starts_with("dropping element, nesting too deep: g"));

  // Deep nesting of other elements costs no stack.
  std::string wide = svgOpen;
  for (int i = 0; i < 100000; ++i) wide += "<a>";
  for (int i = 0; i < 100000; ++i) wide += "</a>";
  capture.clear();
  EXPECT_TRUE(SVGParser::SVGParser::parse(wide + "</svg>"));

  // Entity expansion is bounded, and nothing outside the document is read.
  std::string laughs = "<!DOCTYPE svg [<!ENTITY l0 \"lol\">";
  for (int i = 1; i < 10; ++i) {
    laughs += "<!ENTITY l" + std::to_string(i) + " \"" + std::string("&l") + std::to_string(i - 1) + ";";
    for (int k = 0; k < 9; ++k) laughs += "&l" + std::to_string(i - 1) + ";";
    laughs += "\">";
  }
  laughs += "]>" + svgOpen + "<text>&l9;</text></svg>";
  EXPECT_FALSE(SVGParser::SVGParser::parse(laughs));  // refused by the amplification limit, not expanded
  svg = SVGParser::SVGParser::parse("<!DOCTYPE svg [<!ENTITY e SYSTEM \"file:///etc/hostname\">]>" + svgOpen +
                         "<text>[&e;]</text></svg>");
  if (svg) {
    EXPECT_EQ(svg->children.at(0).as<SVG::Text>()->text, "[]");
  }
}
