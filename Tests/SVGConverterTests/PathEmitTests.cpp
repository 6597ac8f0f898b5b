#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

#include "SwiftSyntaxSupport.h"

#include <gtest/gtest.h>

using CSS::Color;
using SwiftUIModel::Paint;
using SwiftUIModel::PathCommand;
using SwiftUIModel::PathViewType;
using SwiftUIModel::ShapeDrawing;
using SwiftUIModel::ShapeType;
using SwiftUIModel::TransformStep;

namespace {

PathViewType pathView(std::vector<PathCommand> commands, std::vector<TransformStep> transform = {},
                      ShapeDrawing drawing = {}) {
  return {"Line", ShapeType("LineShape", std::move(commands), std::move(transform)), std::nullopt, std::nullopt,
          std::move(drawing)};
}

std::string written(const PathViewType& view, SVGSwiftUIExporter::Config config = {}) {
  SVGSwiftUIExporter stream(config);
  stream.exportPathViewType(view, "ignored");
  return stream.swift();
}

/// The lines inside the "Path { path in" block.
std::string commandLines(std::vector<PathCommand> commands, SVGSwiftUIExporter::Config config = {}) {
  const std::string text = written(pathView(std::move(commands)), config);
  const auto from = text.find('\n', text.find("Path { path in")) + 1;
  return text.substr(from, text.find("      }\n", from) - from);
}

/// The lines between the "Path" block and the end of `path(in:)`.
std::string transformLines(std::vector<TransformStep> steps) {
  const std::string text = written(pathView({}, std::move(steps)));
  const auto from = text.find("      }\n") + 8;
  return text.substr(from, text.find("    }\n", from) - from);
}

const std::string arcHead =
    "        path.addRelativeArc(center: .init(x: 5, y: 5), radius: 2, startAngle: Angle(radians: 0), "
    "delta: Angle(radians: 1.5)";

}  // namespace

TEST(PathEmit, PathViewWithShapeTypeAndBody) {
  SVGSwiftUIExporter::Config config;
  config.infoComments = false;
  PathViewType view = pathView({PathCommand::moveTo({0, 0})}, {},
                               {std::nullopt, std::nullopt, Paint::property("Drawing.g1"), std::nullopt, {}});
  view.origin = CGPoint{1, 2};
  view.intrinsicSize = CGSize{10, 20};
  EXPECT_EQ(written(view, config),
            "struct Line: View { // SVGPath\n"
            "\n"
            "  static let intrinsicSize = CGSize(width: 10, height: 20)\n"
            "  static let origin        = CGPoint(x: 1, y: 2)\n"
            "\n"
            "  struct LineShape: Shape {\n"
            "\n"
            "    func path(in rect: CGRect) -> Path {\n"
            "      Path { path in\n"
            "        path.move(to: .init(x: 0, y: 0))\n"
            "      }\n"
            "    }\n"
            "  }\n"
            "\n"
            "  var body: some View {\n"
            "    LineShape()\n"
            "      .fill(Drawing.g1)\n"
            "  }\n"
            "}\n");
  config.shapeTypePrefix = "";
  config.pathMethodPrefix = "// m\n";
  EXPECT_NE(written(view, config).find("= CGPoint(x: 1, y: 2)\n  struct LineShape: Shape {\n// m\n    func path("),
            std::string::npos);
}

TEST(PathEmit, CommandLines) {
  EXPECT_EQ(commandLines({PathCommand::moveTo({1, 2}), PathCommand::addLineTo({3.5, -4}),
                          PathCommand::addCurveTo({10, 10}, {2, 3}, {4, 5}), PathCommand::addQuadCurveTo({6, 7}, {8, 9}),
                          PathCommand::addLines({}), PathCommand::addLines({{1, 2}}),
                          PathCommand::addLines({{1, 2}, {3, 4}})}),
            "        path.move(to: .init(x: 1, y: 2))\n"
            "        path.addLine(to: .init(x: 3.5, y: -4))\n"
            "        path.addCurve(to: .init(x: 10, y: 10),\n"
            "                      control1: .init(x: 2, y: 3),\n"
            "                      control2: .init(x: 4, y: 5))\n"
            "        path.addQuadCurve(to: .init(x: 6, y: 7),\n"
            "                          control: .init(x: 8, y: 9))\n"
            "        path.addLines([\n          .init(x: 1, y: 2)\n        ])\n"
            "        path.addLines([\n          .init(x: 1, y: 2),\n          .init(x: 3, y: 4)\n        ])\n");
  SVGSwiftUIExporter::Config typed;
  typed.preferInitOverType = false;
  EXPECT_EQ(commandLines({PathCommand::addLineTo({3, 4})}, typed), "        path.addLine(to: CGPoint(x: 3, y: 4))\n");
}

TEST(PathEmit, ArcsWriteTheirTransformInTypeForm) {
  EXPECT_EQ(commandLines({PathCommand::addRelativeArc({5, 5}, 2, 0, 1.5, {})}), arcHead + ")\n");
  EXPECT_EQ(commandLines({PathCommand::addRelativeArc({5, 5}, 2, 0, 1.5, {TransformStep::scale(2, 1)})}),
            arcHead + ", transform: CGAffineTransform(scaleX: 2, y: 1))\n");
  EXPECT_EQ(commandLines({PathCommand::addRelativeArc(
                {5, 5}, 2, 0, 1.5, {TransformStep::translate(3, 4), TransformStep::rotate(0.25)})}),
            arcHead + ", transform: CGAffineTransform(translationX: 3, y: 4)\n          .rotated(by: 0.25)\n)\n");
}

TEST(PathEmit, EmptyLineSeparatesClosedSubpaths) {
  const std::vector<PathCommand> two{PathCommand::moveTo({0, 0}), PathCommand::closeSubpath(),
                                     PathCommand::moveTo({1, 1}), PathCommand::closeSubpath()};
  EXPECT_EQ(commandLines(two),
            "        path.move(to: .init(x: 0, y: 0))\n        path.closeSubpath()\n\n"
            "        path.move(to: .init(x: 1, y: 1))\n        path.closeSubpath()\n");
  SVGSwiftUIExporter::Config config;
  config.indentEmptyLines = true;
  EXPECT_NE(commandLines(two, config).find("closeSubpath()\n        \n        path.move"), std::string::npos);
  config.newlineAfterClosePath = false;
  EXPECT_EQ(commandLines(two, config),
            "        path.move(to: .init(x: 0, y: 0))\n        path.closeSubpath()\n"
            "        path.move(to: .init(x: 1, y: 1))\n        path.closeSubpath()\n");
}

TEST(PathEmit, ShapeTransforms) {
  EXPECT_EQ(transformLines({}), "");
  EXPECT_EQ(transformLines({TransformStep::translate(1, -2)}), "      .offsetBy(dx: 1, dy: -2)\n");
  EXPECT_EQ(transformLines({TransformStep::rotate(0.5)}), "      .applying(.init(rotationAngle: 0.5))\n");
  EXPECT_EQ(transformLines({TransformStep::translate(1, 2), TransformStep::scale(2, 2)}),
            "      .applying(.init(translationX: 1, y: 2).scaledBy(x: 2, y: 2))\n");
  // The joined texts below are 49 and 50 characters long.
  EXPECT_EQ(transformLines({TransformStep::rotate(12345.6789), TransformStep::rotate(123)}),
            "      .applying(.init(rotationAngle: 12345.6789).rotated(by: 123))\n");
  EXPECT_EQ(transformLines({TransformStep::rotate(12345.6789), TransformStep::rotate(1234), TransformStep::scale(9, 1)}),
            "      .applying(\n"
            "        .init(rotationAngle: 12345.6789)\n"
            "          .rotated(by: 1234)\n"
            "          .scaledBy(x: 9, y: 1)\n"
            "      )\n");
}

TEST(PathEmit, BodyEffectsHangUnderTheInstanceOrFollowTheStack) {
  SwiftUIModel::FilterModifierType filter{"Masked", std::nullopt, std::nullopt,
                                          SwiftUIModel::FilterModifierType::FilterGroup::sourceAlpha()};
  ShapeDrawing drawing{std::nullopt, Paint::color(Color::named("red"), std::nullopt), std::nullopt, filter, {}};
  EXPECT_NE(written(pathView({}, {}, drawing)).find("    LineShape()\n      .stroke(Color.red)\n      .modifier(Masked())\n"),
            std::string::npos);
  drawing.fill = Paint::opacity(0.5);
  EXPECT_NE(written(pathView({}, {}, drawing)).find("        .stroke(Color.red)\n    }\n    .modifier(Masked())\n"),
            std::string::npos);
}

TEST(PathEmit, DeclarationsParseAsSwift) {
  SKIP_WITHOUT_SWIFT_SYNTAX_CHECK();
  SVGSwiftUIExporter::Config config;
  config.exportHexColorExtension = true;
  config.preferMultilineConstants = true;
  SVGSwiftUIExporter stream(config);
  const std::vector<TransformStep> steps{TransformStep::translate(3, 4), TransformStep::rotate(0.25),
                                         TransformStep::matrix({1, 0, 0.5, 1, 0, 0})};
  const ShapeDrawing drawing{SwiftUIModel::StrokeStyle{2, CGLineCap::round, CGLineJoin::bevel},
                             Paint::color(Color::named("a b"), 0.5), Paint::property("Drawing.fade"), std::nullopt,
                             steps};
  stream.block("struct Drawing: View", [&] {
    stream.exportLinearGradientProperty({"fade", {0, 0}, {0, 1},
                                         {{Color::rgb(1, 0.5, 0), 0.5, 0}, {Color::named("navy"), std::nullopt, 0.4}}});
    stream.exportRadialGradientProperty({"glow", {0.5, 0.5}, 0, 10, {}});
    stream.exportPathViewType(pathView({PathCommand::moveTo({0, 0}), PathCommand::addCurveTo({1, 1}, {0, 1}, {1, 0}),
                                        PathCommand::addQuadCurveTo({2, 2}, {2, 1}),
                                        PathCommand::addRelativeArc({1, 1}, 1, 0, 3, steps),
                                        PathCommand::addLines({{0, 0}, {1, 0}}), PathCommand::closeSubpath(),
                                        PathCommand::addLineTo({5, 5})},
                                       steps, drawing));
    stream.exportRectangleViewType({"Box", CGSize{4, 2}, CGPoint{1, 1}, 2, drawing});
    stream.writeln("var body: some View { EmptyView() }");
  });
  EXPECT_TRUE(isValidSwift(stream.swift()));
}
