// Drawings whose code must show what the SVG shows: SVG text in, the lines of Swift that
// place, size and paint the elements out.

#include <string>

#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

#include "SwiftSyntaxSupport.h"

#include <gtest/gtest.h>

namespace {

std::string exportedDrawing(const std::string& svgText, SVGSwiftUIExporter::Config config = {}) {
  auto svg = SVG::SVG::fromSVGString(svgText);
  if (!svg) {
    ADD_FAILURE() << "does not parse: " << svgText;
    return {};
  }
  config.infoComments = false;
  const std::string swift = SVGSwiftUIExporter::export_(*svg, config);
  EXPECT_TRUE(isValidSwift(swift));
  return swift;
}

std::string exported(const std::string& body, SVGSwiftUIExporter::Config config = {}) {
  return exportedDrawing("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100\" height=\"100\">" + body + "</svg>",
                         config);
}

const std::string twoStops = "<stop offset=\"0\" stop-color=\"red\"/><stop offset=\"1\" stop-color=\"blue\"/>";

bool has(const std::string& swift, const std::string& text) { return swift.find(text) != std::string::npos; }

}  // namespace

TEST(DrawingFidelity, PercentageRadiiOfRadialGradientsAreFractionsOfTheShape) {
  const std::string stops = "<stop offset=\"0\" stop-color=\"red\"/><stop offset=\"1\" stop-color=\"blue\"/>";
  // The default radius is 50%: the gradient reaches the edges of whatever it paints.
  const std::string byDefault =
      exported("<radialGradient id=\"g\">" + stops + "</radialGradient><rect width=\"80\" height=\"40\" fill=\"url(#g)\"/>");
  EXPECT_TRUE(has(byDefault, "static let g = EllipticalGradient(\n")) << byDefault;
  EXPECT_TRUE(has(byDefault, "center: .init(x: 0.5, y: 0.5), startRadiusFraction: 0, endRadiusFraction: 0.5\n"))
      << byDefault;
  EXPECT_TRUE(has(byDefault, ".fill(Group1.g)\n")) << byDefault;
  EXPECT_FALSE(has(byDefault, "endRadius: 0\n")) << byDefault;

  const std::string stated = exported("<radialGradient id=\"g\" r=\"25%\" fr=\"10%\" cx=\"0\">" + stops +
                                      "</radialGradient><circle r=\"10\" fill=\"url(#g)\"/>");
  EXPECT_TRUE(has(stated, "center: .init(x: 0, y: 0.5), startRadiusFraction: 0.1, endRadiusFraction: 0.25\n")) << stated;

  // A radius in user space stays in points.
  const std::string points = exported("<radialGradient id=\"g\" r=\"40\" fr=\"5\" gradientUnits=\"userSpaceOnUse\">" + stops +
                                      "</radialGradient><circle r=\"10\" fill=\"url(#g)\"/>");
  EXPECT_TRUE(has(points, "static let g = RadialGradient(\n")) << points;
  EXPECT_TRUE(has(points, "startRadius: 5, endRadius: 40\n")) << points;
}

TEST(DrawingFidelity, PlainNumberRadiiInBoundingBoxUnitsAreFractionsOfTheShape) {
  const std::string stops = "<stop offset=\"0\" stop-color=\"red\"/><stop offset=\"1\" stop-color=\"blue\"/>";
  const auto radial = [&](const std::string& attributes) {
    return exported("<radialGradient id=\"g\" " + attributes + ">" + stops +
                    "</radialGradient><rect width=\"80\" height=\"40\" fill=\"url(#g)\"/>");
  };
  // A plain number says what the percentage a hundred times as large says.
  const std::string plain = radial("r=\"0.4\" fr=\"0.1\"");
  EXPECT_EQ(plain, radial("r=\"40%\" fr=\"10%\""));
  EXPECT_TRUE(has(plain, "static let g = EllipticalGradient(\n")) << plain;
  EXPECT_TRUE(has(plain, "center: .init(x: 0.5, y: 0.5), startRadiusFraction: 0.1, endRadiusFraction: 0.4\n")) << plain;
  EXPECT_EQ(radial("r=\"0.4\" fr=\"0.1\" gradientUnits=\"objectBoundingBox\""), plain);
  // Mixed: a plain number beside a percentage, and a radius far beyond the shape.
  EXPECT_TRUE(has(radial("r=\"50%\" fr=\"0.25\""), "startRadiusFraction: 0.25, endRadiusFraction: 0.5\n"));
  EXPECT_TRUE(has(radial("r=\"20\""), "startRadiusFraction: 0, endRadiusFraction: 20\n"));

  // In user space a plain number is points, and so is a percentage: one of the viewport's
  // normalised diagonal, 100 for a square of 100.
  const std::string user = radial("r=\"20\" fr=\"2\" gradientUnits=\"userSpaceOnUse\"");
  EXPECT_TRUE(has(user, "static let g = RadialGradient(\n")) << user;
  EXPECT_TRUE(has(user, "startRadius: 2, endRadius: 20\n")) << user;
  EXPECT_TRUE(has(radial("r=\"30%\" fr=\"5%\" gradientUnits=\"userSpaceOnUse\""), "startRadius: 5, endRadius: 30\n"));
}

TEST(DrawingFidelity, GradientTransformsActOnBoundingBoxUnitsFromTheOrigin) {
  const std::string stops = "<stop offset=\"0\" stop-color=\"red\"/><stop offset=\"1\" stop-color=\"blue\"/>";
  const auto gradient = [&](const std::string& element, const std::string& attributes) {
    return exported("<" + element + " id=\"g\" " + attributes + ">" + stops + "</" + element +
                    "><rect width=\"80\" height=\"40\" fill=\"url(#g)\"/>");
  };
  // Turned about the corner (0, 0): the start stays, the end swings down the leading edge.
  const std::string turned = gradient("linearGradient", "gradientTransform=\"rotate(45)\"");
  EXPECT_TRUE(has(turned, "startPoint: .topLeading, endPoint: .init(x: 0.7071, y: 0.7071)\n")) << turned;
  const std::string back = gradient("linearGradient", "x2=\"0\" y2=\"1\" gradientTransform=\"rotate(-90)\"");
  EXPECT_TRUE(has(back, "startPoint: .topLeading, endPoint: .init(x: 1, y: 0)\n")) << back;
  // The last step of the list acts first: scaled, then moved.
  EXPECT_TRUE(has(gradient("linearGradient", "gradientTransform=\"translate(0.25, 0) scale(2)\""),
                  "startPoint: .init(x: 0.25, y: 0), endPoint: .init(x: 2.25, y: 0)\n"));
  EXPECT_TRUE(has(gradient("linearGradient", "gradientTransform=\"scale(0.5) translate(1 1)\""),
                  "startPoint: .init(x: 0.5, y: 0.5), endPoint: .init(x: 1, y: 0.5)\n"));

  // The centre moves as a point does; the radii grow with the scale and not with a turn.
  const std::string scaled = gradient("radialGradient", "r=\"0.25\" gradientTransform=\"scale(2)\"");
  EXPECT_TRUE(has(scaled, "center: .bottomTrailing, startRadiusFraction: 0, endRadiusFraction: 0.5\n")) << scaled;
  const std::string rotated = gradient("radialGradient", "cx=\"1\" cy=\"0\" r=\"0.5\" gradientTransform=\"rotate(90)\"");
  EXPECT_TRUE(has(rotated, "center: .init(x: 0, y: 1), startRadiusFraction: 0, endRadiusFraction: 0.5\n")) << rotated;
  const std::string moved = gradient("radialGradient", "gradientTransform=\"translate(0.25 -0.5)\"");
  EXPECT_TRUE(has(moved, "center: .init(x: 0.75, y: 0), startRadiusFraction: 0, endRadiusFraction: 0.5\n")) << moved;
}

TEST(DrawingFidelity, UserSpaceGradientsKeepTheirPointRadiiAndCentredTransforms) {
  const std::string stops = "<stop offset=\"0\" stop-color=\"red\"/><stop offset=\"1\" stop-color=\"blue\"/>";
  const auto gradient = [&](const std::string& element, const std::string& attributes) {
    return exported("<" + element + " id=\"g\" gradientUnits=\"userSpaceOnUse\" " + attributes + ">" + stops +
                    "</" + element + "><path d=\"M10 10H90V50H10Z\" fill=\"url(#g)\"/>");
  };
  // Without a frame to map them into, user-space points keep the rule about the centre.
  const std::string linear = gradient("linearGradient", "gradientTransform=\"translate(0.25, 0) scale(2)\"");
  EXPECT_TRUE(has(linear, "startPoint: .init(x: -0.25, y: -0.5), endPoint: .init(x: 1.75, y: -0.5)\n")) << linear;
  EXPECT_TRUE(has(gradient("linearGradient", "x2=\"0\" y2=\"1\""), "startPoint: .top, endPoint: .bottom\n"));
  // Radii in points grow with the transform: a circle of 20 scaled by 3 has a radius of 60.
  const std::string radial = gradient("radialGradient", "r=\"20\" fr=\"1\" gradientTransform=\"scale(3)\"");
  EXPECT_TRUE(has(radial, "static let g = RadialGradient(\n")) << radial;
  EXPECT_TRUE(has(radial, "startRadius: 3, endRadius: 60\n")) << radial;
  EXPECT_TRUE(has(gradient("radialGradient", "r=\"20\" gradientTransform=\"rotate(30) scale(-1 1)\""),
                  "startRadius: 0, endRadius: 20\n"));
  EXPECT_TRUE(has(gradient("radialGradient", "r=\"20\" gradientTransform=\"scale(4 1)\""),
                  "startRadius: 0, endRadius: 40\n"));
  EXPECT_TRUE(has(gradient("radialGradient", "r=\"20\" gradientTransform=\"matrix(0 0 0 0 0 0)\""),
                  "startRadius: 0, endRadius: 0\n"));
}

TEST(DrawingFidelity, GradientsWithoutUnitsTakeThoseOfTheirTemplates) {
  const auto drawing = [](const std::string& gradients, const std::string& painted = "b") {
    return exported(gradients + "<rect width=\"80\" height=\"40\" fill=\"url(#" + painted + ")\"/>");
  };
  const std::string user = "<radialGradient id=\"a\" gradientUnits=\"userSpaceOnUse\">" + twoStops + "</radialGradient>";
  // A radius of 40 in the template's user space is 40 points, through one link or two, either way
  // of writing the reference, and whatever kind the template is.
  const std::string linked = drawing(user + "<radialGradient id=\"b\" href=\"#a\" r=\"40\"/>");
  EXPECT_TRUE(has(linked, "static let b = RadialGradient(\n")) << linked;
  EXPECT_TRUE(has(linked, "startRadius: 0, endRadius: 40\n")) << linked;
  const std::string chained = drawing(user + "<radialGradient id=\"b\" xlink:href=\"#a\"/>"
                                             "<radialGradient id=\"c\" xlink:href=\"#b\" r=\"40\"/>",
                                      "c");
  EXPECT_TRUE(has(chained, "static let c = RadialGradient(\n")) << chained;
  EXPECT_TRUE(has(chained, "startRadius: 0, endRadius: 40\n")) << chained;
  EXPECT_TRUE(has(drawing("<linearGradient id=\"a\" gradientUnits=\"userSpaceOnUse\">" + twoStops +
                          "</linearGradient><radialGradient id=\"b\" href=\"#a\" r=\"40\"/>"),
                  "startRadius: 0, endRadius: 40\n"));
  // A template given later in the list, and units written as no keyword, which count as none.
  EXPECT_TRUE(has(drawing("<radialGradient id=\"b\" href=\"#a\" r=\"40\" gradientUnits=\"points\"/>" + user),
                  "startRadius: 0, endRadius: 40\n"));
  // Units of its own win over the template's, also the default written out; the nearest template
  // that writes them wins over one further along.
  EXPECT_TRUE(has(drawing(user + "<radialGradient id=\"b\" href=\"#a\" r=\"0.4\" gradientUnits=\"objectBoundingBox\"/>"),
                  "startRadiusFraction: 0, endRadiusFraction: 0.4\n"));
  EXPECT_TRUE(has(drawing(user + "<radialGradient id=\"m\" href=\"#a\" gradientUnits=\"objectBoundingBox\"/>"
                                 "<radialGradient id=\"b\" href=\"#m\" r=\"0.4\"/>"),
                  "startRadiusFraction: 0, endRadiusFraction: 0.4\n"));
  // The units also say how a linear gradient's transform acts: taken from a user-space template,
  // about the centre rather than the corner of the box.
  const std::string turned = drawing("<linearGradient id=\"a\" gradientUnits=\"userSpaceOnUse\">" + twoStops +
                                     "</linearGradient><linearGradient id=\"b\" href=\"#a\" gradientTransform=\"rotate(45)\"/>");
  EXPECT_TRUE(has(turned, "startPoint: .init(x: 0.5, y: -0.2071), endPoint: .init(x: 1.2071, y: 0.5)\n")) << turned;
  // Without a template that says, the default: a missing one, a filter, and a loop.
  EXPECT_TRUE(has(drawing("<radialGradient id=\"b\" href=\"#nowhere\" r=\"0.4\">" + twoStops + "</radialGradient>"),
                  "endRadiusFraction: 0.4\n"));
  EXPECT_TRUE(has(drawing("<filter id=\"a\"><feGaussianBlur stdDeviation=\"1\"/></filter>"
                          "<radialGradient id=\"b\" href=\"#a\" r=\"0.4\">" + twoStops + "</radialGradient>"),
                  "endRadiusFraction: 0.4\n"));
  const std::string loop = drawing("<radialGradient id=\"a\" href=\"#b\">" + twoStops +
                                   "</radialGradient><radialGradient id=\"b\" href=\"#a\" r=\"0.4\"/>");
  EXPECT_TRUE(has(loop, "endRadiusFraction: 0.4\n")) << loop;
}

TEST(DrawingFidelity, GradientsTakeTheGeometryTheyLeaveOutFromTheirTemplates) {
  const auto drawing = [](const std::string& gradients, const std::string& painted = "b") {
    return exported(gradients + "<rect width=\"80\" height=\"40\" fill=\"url(#" + painted + ")\"/>");
  };
  const std::string user = "<radialGradient id=\"a\" gradientUnits=\"userSpaceOnUse\" cx=\"0.25\" cy=\"0.75\" r=\"20\" "
                           "fr=\"2\">" + twoStops + "</radialGradient>";
  // A gradient that names its template and nothing else is its template: the radius of 20
  // points, not the default half of the viewport's diagonal.
  const std::string bare = drawing(user + "<radialGradient id=\"b\" href=\"#a\"/>");
  EXPECT_TRUE(has(bare, "static let b = RadialGradient(\n")) << bare;
  EXPECT_TRUE(has(bare, "center: .init(x: 0.25, y: 0.75), startRadius: 2, endRadius: 20\n")) << bare;
  // With a transform of its own, that transform acts on the template's geometry; without one,
  // the template's transform does.
  const std::string scaled = drawing(user + "<radialGradient id=\"b\" href=\"#a\" gradientTransform=\"scale(2)\"/>");
  EXPECT_TRUE(has(scaled, "startRadius: 4, endRadius: 40\n")) << scaled;
  const std::string turned = drawing("<radialGradient id=\"a\" gradientTransform=\"scale(2)\" r=\"0.25\">" + twoStops +
                                     "</radialGradient><radialGradient id=\"b\" href=\"#a\"/>"
                                     "<radialGradient id=\"c\" href=\"#a\" gradientTransform=\"scale(3)\"/>");
  const std::string doubled = "center: .bottomTrailing, startRadiusFraction: 0, endRadiusFraction: 0.5\n";
  EXPECT_NE(turned.find(doubled), turned.rfind(doubled)) << "a and b alike: " << turned;
  EXPECT_TRUE(has(turned, "center: .init(x: 1.5, y: 1.5), startRadiusFraction: 0, endRadiusFraction: 0.75\n")) << turned;
  // An attribute written out, even as its default, wins over the template's.
  EXPECT_TRUE(has(drawing(user + "<radialGradient id=\"b\" href=\"#a\" r=\"50%\" cx=\"50%\"/>"),
                  "center: .init(x: 0.5, y: 0.75), startRadius: 2, endRadius: 50\n"));
  // Along a chain each attribute comes from the nearest gradient that has it.
  const std::string chained = drawing(user + "<radialGradient id=\"m\" href=\"#a\" r=\"30\"/>"
                                             "<radialGradient id=\"b\" href=\"#m\" cy=\"0.5\"/>");
  EXPECT_TRUE(has(chained, "static let b = RadialGradient(\n")) << chained;
  EXPECT_TRUE(has(chained, "center: .init(x: 0.25, y: 0.5), startRadius: 2, endRadius: 30\n")) << chained;

  // Linear geometry likewise, one point at a time.
  const std::string diagonal = "<linearGradient id=\"a\" x1=\"0.25\" y1=\"0.25\" x2=\"0.75\" y2=\"0.75\">" + twoStops +
                               "</linearGradient>";
  EXPECT_TRUE(has(drawing(diagonal + "<linearGradient id=\"b\" href=\"#a\"/>"),
                  "startPoint: .init(x: 0.25, y: 0.25), endPoint: .init(x: 0.75, y: 0.75)\n"));
  EXPECT_TRUE(has(drawing(diagonal + "<linearGradient id=\"b\" href=\"#a\" x2=\"1\"/>"),
                  "startPoint: .init(x: 0.25, y: 0.25), endPoint: .init(x: 1, y: 0.75)\n"));
  // Geometry passes only between gradients of one kind, also across one of the other kind; units
  // and transform pass between either.
  const std::string mixed = drawing(diagonal + "<radialGradient id=\"m\" href=\"#a\" r=\"0.3\"/>"
                                               "<linearGradient id=\"b\" href=\"#m\"/>"
                                               "<radialGradient id=\"c\" href=\"#b\"/>");
  EXPECT_TRUE(has(mixed, "startPoint: .init(x: 0.25, y: 0.25), endPoint: .init(x: 0.75, y: 0.75)\n")) << mixed;
  EXPECT_TRUE(has(mixed, "center: .init(x: 0.5, y: 0.5), startRadiusFraction: 0, endRadiusFraction: 0.3\n")) << mixed;
  EXPECT_FALSE(has(mixed, "endRadiusFraction: 0.5\n")) << mixed;
  const std::string crossed = drawing(user + "<linearGradient id=\"b\" href=\"#a\" gradientTransform=\"scale(2)\"/>"
                                             "<radialGradient id=\"c\" href=\"#b\"/>");
  EXPECT_TRUE(has(crossed, "center: .bottomLeading, startRadius: 4, endRadius: 40\n")) << crossed;
}

TEST(DrawingFidelity, GradientsMadeInCodeKeepWhatTheyAreGiven) {
  auto svg = SVG::SVG::fromSVGString("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100\" height=\"100\">"
                                     "<rect width=\"80\" height=\"40\" fill=\"url(#b)\"/>"
                                     "<rect width=\"80\" height=\"40\" fill=\"url(#c)\"/></svg>");
  ASSERT_TRUE(svg);
  const std::vector<SVG::GradientStop> stops{{.color = CSS::Color::named("red")}, {.color = CSS::Color::named("blue")}};
  // The template is defined twice: the later definition counts, for templates as for paints.
  svg->definitions.push_back(
      {"a", SVG::RadialGradient{.core = {"a"}, .stops = stops, .r = CSS::UnitLength::number(20),
                                .gradientUnits = SVG::GradientUnits::userSpaceOnUse}});
  const std::vector<SVG::GradientStop> green{{.color = CSS::Color::named("green")}, {.color = CSS::Color::named("lime")}};
  svg->definitions.push_back({"a", SVG::RadialGradient{.core = {"a"}, .stops = green, .r = CSS::UnitLength::number(0.3)}});
  svg->definitions.push_back({"b", SVG::RadialGradient{.core = {"b"}, .templateGradientID = "#a"}});
  // Units and a radius set in code are the gradient's own, though no text wrote them, also over a
  // template in other units.
  svg->definitions.push_back(
      {"d", SVG::RadialGradient{.core = {"d"}, .r = CSS::UnitLength::number(0.4),
                                .gradientUnits = SVG::GradientUnits::objectBoundingBox}});
  svg->definitions.push_back(
      {"c", SVG::RadialGradient{.core = {"c"}, .stops = stops, .templateGradientID = "#d",
                                .r = CSS::UnitLength::number(7), .gradientUnits = SVG::GradientUnits::userSpaceOnUse}});
  SVGSwiftUIExporter::Config config;
  config.infoComments = false;
  const std::string swift = SVGSwiftUIExporter::export_(*svg, config);
  EXPECT_TRUE(isValidSwift(swift));
  const std::size_t b = swift.find("static let b = ");
  ASSERT_NE(b, std::string::npos) << swift;
  const std::string gradientB = swift.substr(b, swift.find("static let", b + 1) - b);
  EXPECT_TRUE(has(gradientB, "static let b = EllipticalGradient(\n")) << swift;
  EXPECT_TRUE(has(gradientB, ".green, .init(red: 0, green: 1, blue: 0)")) << swift;
  EXPECT_TRUE(has(gradientB, "startRadiusFraction: 0, endRadiusFraction: 0.3\n")) << swift;
  EXPECT_TRUE(has(swift, "static let c = RadialGradient(\n")) << swift;
  EXPECT_TRUE(has(swift, "startRadius: 0, endRadius: 7\n")) << swift;
}

TEST(DrawingFidelity, UserSpaceStartRadiiInPointsStayOutOfFractionalGradients) {
  // Without a viewport a percentage end radius is a fraction of the shape; a start radius in
  // points cannot be put beside it and is left out, while a percentage one is a fraction too.
  const auto radial = [](const std::string& attributes) {
    return exportedDrawing("<svg xmlns=\"http://www.w3.org/2000/svg\"><radialGradient id=\"g\" "
                           "gradientUnits=\"userSpaceOnUse\" " + attributes + ">" + twoStops +
                           "</radialGradient><rect width=\"20\" height=\"10\" fill=\"url(#g)\"/></svg>");
  };
  const std::string points = radial("r=\"30%\" fr=\"5\"");
  EXPECT_TRUE(has(points, "startRadiusFraction: 0, endRadiusFraction: 0.3\n")) << points;
  EXPECT_TRUE(has(radial("r=\"30%\" fr=\"10%\""), "startRadiusFraction: 0.1, endRadiusFraction: 0.3\n"));
  EXPECT_TRUE(has(radial("fr=\"2px\""), "startRadiusFraction: 0, endRadiusFraction: 0.5\n"));
}

TEST(DrawingFidelity, LinearGradientBandsStayTheImagesOfTheirBandsUnderSkewsAndUnevenScales) {
  const auto linear = [](const std::string& attributes) {
    return exported("<linearGradient id=\"g\" " + attributes + ">" + twoStops +
                    "</linearGradient><rect width=\"80\" height=\"40\" fill=\"url(#g)\"/>");
  };
  // The bands x = t go to x - y = t under skewX(45): the gradient runs across them, along
  // (1, -1), and reaches t = 1 at (0.5, -0.5), not at the image (1, 0) of the old end point.
  const std::string skewed = linear("gradientTransform=\"skewX(45)\"");
  EXPECT_TRUE(has(skewed, "startPoint: .topLeading, endPoint: .init(x: 0.5, y: -0.5)\n")) << skewed;
  // Turned by 30 degrees, then stretched threefold downwards: the bands x cos 30 + y sin 30 = t
  // become x cos 30 + y sin 30 / 3 = t, whose normal (0.866, 0.1667) over its length squared
  // (0.7778) is the new vector.
  const std::string stretched = linear("gradientTransform=\"scale(1 3) rotate(30)\"");
  EXPECT_TRUE(has(stretched, "startPoint: .topLeading, endPoint: .init(x: 1.1135, y: 0.2143)\n")) << stretched;
  // The same from another start, and in user space about the centre: only the vector changes.
  EXPECT_TRUE(has(linear("x1=\"0.5\" x2=\"1.5\" gradientTransform=\"skewX(45)\""),
                  "startPoint: .init(x: 0.5, y: 0), endPoint: .init(x: 1, y: -0.5)\n"));
  EXPECT_TRUE(has(linear("gradientUnits=\"userSpaceOnUse\" x1=\"0.5\" y1=\"0.5\" x2=\"1.5\" y2=\"0.5\" "
                         "gradientTransform=\"skewX(45)\""),
                  "startPoint: .init(x: 0.5, y: 0.5), endPoint: .topTrailing\n"));
  // A squashed transform has no bands to keep: the end point moves as a point, as does the end
  // of a gradient without length.
  EXPECT_TRUE(has(linear("gradientTransform=\"matrix(1 1 1 1 0 0)\""),
                  "startPoint: .topLeading, endPoint: .bottomTrailing\n"));
  EXPECT_TRUE(has(linear("x2=\"0\" gradientTransform=\"skewX(45)\""), "startPoint: .topLeading, endPoint: .topLeading\n"));
}

TEST(DrawingFidelity, UserSpacePercentageRadiiAreSharesOfTheViewportDiagonal) {
  const auto radial = [](const std::string& svgAttributes, const std::string& attributes) {
    return exportedDrawing("<svg xmlns=\"http://www.w3.org/2000/svg\" " + svgAttributes +
                           "><radialGradient id=\"g\" gradientUnits=\"userSpaceOnUse\" " + attributes + ">" + twoStops +
                           "</radialGradient><rect width=\"20\" height=\"10\" fill=\"url(#g)\"/></svg>");
  };
  // The view box counts, not the size it is shown at: sqrt((30^2 + 40^2) / 2) = 35.3553.
  const std::string boxed = radial("width=\"300\" height=\"400\" viewBox=\"0 0 30 40\"", "r=\"10%\" fr=\"2\"");
  EXPECT_TRUE(has(boxed, "static let g = RadialGradient(\n")) << boxed;
  EXPECT_TRUE(has(boxed, "startRadius: 2, endRadius: 3.5355\n")) << boxed;
  // A drawing of a size alone; the transform scales the result as it does points.
  EXPECT_TRUE(has(radial("width=\"60\" height=\"80\"", "r=\"50%\" gradientTransform=\"scale(2)\""),
                  "startRadius: 0, endRadius: 70.7107\n"));
  // Without a viewport there is nothing to measure against: a fraction of the shape, as before.
  const std::string unsized = radial("", "r=\"30%\"");
  EXPECT_TRUE(has(unsized, "startRadiusFraction: 0, endRadiusFraction: 0.3\n")) << unsized;
}

TEST(DrawingFidelity, RadiiOfRadialGradientsAtTheEdgesOfTheirValues) {
  const auto radial = [](const std::string& attributes) {
    return exported("<radialGradient id=\"g\" " + attributes + ">" + twoStops +
                    "</radialGradient><rect width=\"80\" height=\"40\" fill=\"url(#g)\"/>");
  };
  // A mirror image with a scale enlarges by the scale.
  EXPECT_TRUE(has(radial("gradientUnits=\"userSpaceOnUse\" r=\"20\" gradientTransform=\"scale(-2 2)\""),
                  "startRadius: 0, endRadius: 40\n"));
  // A transform that overflows is left out: centre and radius as written.
  const std::string overflow =
      radial("gradientUnits=\"userSpaceOnUse\" r=\"20\" gradientTransform=\"scale(1e200) scale(1e200)\"");
  EXPECT_TRUE(has(overflow, "center: .init(x: 0.5, y: 0.5), startRadius: 0, endRadius: 20\n")) << overflow;
  EXPECT_TRUE(has(radial("r=\"0.25\" gradientTransform=\"scale(1e200) scale(1e200)\""),
                  "center: .init(x: 0.5, y: 0.5), startRadiusFraction: 0, endRadiusFraction: 0.25\n"));
  // One whose area scale alone would overflow still scales the radius by its side.
  const std::string large = radial("r=\"0.25\" gradientTransform=\"scale(1e200)\"");
  EXPECT_TRUE(has(large, "endRadiusFraction: 25" + std::string(198, '0') + ".0\n")) << large;
  // A negative radius is an error: the default stands, 50% for r and 0 for fr.
  EXPECT_TRUE(has(radial("r=\"-0.25\" fr=\"-0.1\""), "startRadiusFraction: 0, endRadiusFraction: 0.5\n"));
  EXPECT_TRUE(has(radial("r=\"-5%\" fr=\"0.1\""), "startRadiusFraction: 0.1, endRadiusFraction: 0.5\n"));
  // In bounding-box units a length with a unit counts box units too: 2px is twice the box.
  const std::string pixels = radial("r=\"2px\" fr=\"0.5px\"");
  EXPECT_TRUE(has(pixels, "static let g = EllipticalGradient(\n")) << pixels;
  EXPECT_TRUE(has(pixels, "startRadiusFraction: 0.5, endRadiusFraction: 2\n")) << pixels;
}

TEST(DrawingFidelity, TextsMoveByTheirOwnTransform) {
  const std::string translated = exported("<text transform=\"translate(40,60)\">Label</text>");
  EXPECT_TRUE(has(translated, "        .frame(width: .infinity, height: 0, alignment: .bottom)\n"
                              "        .offset(x: 40, y: 60)\n"
                              "        .frame(width: 100, height: 100)\n"))
      << translated;
  const std::string matrix = exported("<text transform=\"matrix(1 0 0 1 40 60)\" x=\"5\">Label</text>");
  EXPECT_TRUE(has(matrix, "        .padding(.leading, 5)\n"
                          "        .alignmentGuide(.bottom) { $0[.firstTextBaseline] }\n"
                          "        .frame(width: .infinity, height: 0, alignment: .bottom)\n"
                          "        .transformEffect(.init(a: 1, b: 0, c: 0, d: 1, tx: 40, ty: 60))\n"))
      << matrix;
  // The last step of the list acts first, as on shapes.
  const std::string steps = exported("<text transform=\"translate(10) scale(2)\">Label</text>");
  EXPECT_TRUE(has(steps, "        .scaleEffect(x: 2, y: 2)\n        .offset(x: 10, y: 0)\n")) << steps;
  // A text without a transform has no such modifiers.
  const std::string plain = exported("<text x=\"3\" y=\"4\">Label</text>");
  EXPECT_FALSE(has(plain, ".offset(x: 3, y: 4)") || has(plain, "transformEffect")) << plain;
}

TEST(DrawingFidelity, TextsTakeTheirFontFromTheirAttributesWhereTheCSSSaysNothing) {
  const std::string attributes = exported("<text font-size=\"20\" font-family=\"Arial\">Hi</text>");
  EXPECT_TRUE(has(attributes, "        .font(.custom(\"Arial\", size: 20))\n")) << attributes;
  const std::string styled =
      exported("<text font-weight=\"bold\" font-style=\"italic\" font-size=\"12\" style=\"font-size: 30px\">Hi</text>");
  EXPECT_TRUE(has(styled, "        .font(.system(size: 30, weight: .bold).italic())\n")) << styled;
  // The shorthand attribute, and a shorthand in the CSS that leaves the attributes nothing to say.
  const std::string shorthand = exported("<text font=\"italic 14px serif\">Hi</text>");
  EXPECT_TRUE(has(shorthand, "        .font(.custom(\"Times\", size: 14).italic())\n")) << shorthand;
  const std::string overridden = exported("<text font-size=\"40\" style=\"font: 9px monospace\">Hi</text>");
  EXPECT_TRUE(has(overridden, "        .font(.system(size: 9, design: .monospaced))\n")) << overridden;
  EXPECT_FALSE(has(exported("<text>Hi</text>"), ".font(")) << "a text without a font gets none";
}

TEST(DrawingFidelity, BlanksAndLineBreaksOfTextsShowAsSVGShowsThem) {
  EXPECT_TRUE(has(exported("<text>\n   Hello\n</text>"), "      Text(\"Hello\")\n"));
  EXPECT_TRUE(has(exported("<text>\n\tTwo \t  words\n  <tspan> and more </tspan>\n</text>"),
                  "      Text(\"Two words and more\")\n"));
  // Line breaks go without a trace; a text of blanks alone is empty.
  EXPECT_TRUE(has(exported("<text>A\nB</text>"), "      Text(\"AB\")\n"));
  EXPECT_TRUE(has(exported("<text> \n </text>"), "      Text(\"\")\n"));
  // Kept as written where the text or an element around it asks for it.
  EXPECT_TRUE(has(exported("<text xml:space=\"preserve\">  a\n b </text>"), "      Text(\"  a\\n b \")\n"));
  const std::string scoped = exported("<g xml:space=\"preserve\"><text> a  b</text></g><text> c  d</text>");
  EXPECT_TRUE(has(scoped, "Text(\" a  b\")\n") && has(scoped, "Text(\"c d\")\n")) << scoped;
  EXPECT_TRUE(has(exported("<g xml:space=\"preserve\"><text xml:space=\"default\"> a  b</text></g>"), "Text(\"a b\")\n"));
}

TEST(DrawingFidelity, EvenOddPathsKeepTheirHoles) {
  const std::string ring = "d=\"M0 0H10V10H0Z M2 2H8V8H2Z\"";
  EXPECT_TRUE(has(exported("<path fill-rule=\"evenodd\" " + ring + "/>"),
                  "      PathShape1()\n        .fill(Color.black, style: .init(eoFill: true))\n"));
  // From the CSS, from a group, through a gradient and an opacity, and beside a stroke.
  const std::string styled = exported(
      "<linearGradient id=\"g\"><stop stop-color=\"red\"/></linearGradient>"
      "<g fill-rule=\"evenodd\"><path fill=\"url(#g)\" " + ring + "/><path fill-opacity=\"0.5\" fill=\"none\" " + ring +
      "/><path stroke=\"red\" " + ring + "/><path fill-rule=\"nonzero\" " + ring + "/></g>"
      "<path style=\"fill-rule: evenodd\" fill-opacity=\"0.5\" " + ring + "/>");
  EXPECT_TRUE(has(styled, ".fill(Group1.g, style: .init(eoFill: true))\n")) << styled;
  EXPECT_TRUE(has(styled, ".fill(Color.black, style: .init(eoFill: true))\n")) << styled;
  EXPECT_TRUE(has(styled, ".fill(Color.black.opacity(0.5), style: .init(eoFill: true))\n")) << styled;
  EXPECT_TRUE(has(styled, ".fill(Color.black)\n")) << "the stated non-zero rule: " << styled;
  SVGSwiftUIExporter::Config types;
  types.preferInitOverType = false;
  EXPECT_TRUE(has(exported("<path fill-rule=\"evenodd\" " + ring + "/>", types),
                  ".fill(Color.black, style: FillStyle(eoFill: true))\n"));
  // A shape of one contour and a path without the rule fill as before.
  const std::string plain = exported("<circle r=\"5\" fill-rule=\"evenodd\"/><path " + ring + "/>");
  EXPECT_FALSE(has(plain, "eoFill")) << plain;
}

TEST(DrawingFidelity, TextsInheritTheFontOfTheGroupsAroundThem) {
  const std::string inherited =
      exported("<g font-family=\"Arial\" font-size=\"10\"><g font-weight=\"bold\"><text font-size=\"20\">In</text></g></g>"
               "<text>Out</text>");
  EXPECT_TRUE(has(inherited, ".font(.custom(\"Arial\", size: 20).bold())\n")) << inherited;
  EXPECT_EQ(inherited.find(".font("), inherited.rfind(".font(")) << "the text outside the groups has no font";
  // A shorthand sets every longhand: nothing of the group's font passes it.
  const std::string reset = exported("<g style=\"font: italic 10px serif\"><text font-size=\"30\">A</text>"
                                     "<text style=\"font: 12px monospace\">B</text></g>");
  EXPECT_TRUE(has(reset, ".font(.custom(\"Times\", size: 30).italic())\n")) << reset;
  EXPECT_TRUE(has(reset, ".font(.system(size: 12, design: .monospaced))\n")) << reset;
}
