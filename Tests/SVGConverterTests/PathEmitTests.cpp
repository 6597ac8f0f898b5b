#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

#include <gtest/gtest.h>

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

}  // namespace

TEST(PathEmit, CommandLines) {
  EXPECT_EQ(commandLines({PathCommand::moveTo({1, 2}), PathCommand::addLineTo({3.5, -4}),
                          PathCommand::addCurveTo({10, 10}, {2, 3}, {4, 5}), PathCommand::addQuadCurveTo({6, 7}, {8, 9}),
                          PathCommand::addLines({}), PathCommand::addLines({{1, 2}, {3, 4}})}),
            "        path.move(to: .init(x: 1, y: 2))\n"
            "        path.addLine(to: .init(x: 3.5, y: -4))\n"
            "        path.addCurve(to: .init(x: 10, y: 10),\n"
            "                      control1: .init(x: 2, y: 3),\n"
            "                      control2: .init(x: 4, y: 5))\n"
            "        path.addQuadCurve(to: .init(x: 6, y: 7),\n"
            "                          control: .init(x: 8, y: 9))\n"
            "        path.addLines([\n          .init(x: 1, y: 2),\n          .init(x: 3, y: 4)\n        ])\n");
  // An arc writes its transform in type form.
  EXPECT_EQ(commandLines({PathCommand::addRelativeArc(
                {5, 5}, 2, 0, 1.5, {TransformStep::translate(3, 4), TransformStep::rotate(0.25)})}),
            "        path.addRelativeArc(center: .init(x: 5, y: 5), radius: 2, startAngle: Angle(radians: 0), "
            "delta: Angle(radians: 1.5), transform: CGAffineTransform(translationX: 3, y: 4)\n"
            "          .rotated(by: 0.25)\n)\n");
}

TEST(PathEmit, EmptyLineSeparatesClosedSubpaths) {
  const std::vector<PathCommand> two{PathCommand::moveTo({0, 0}), PathCommand::closeSubpath(),
                                     PathCommand::moveTo({1, 1}), PathCommand::closeSubpath()};
  EXPECT_EQ(commandLines(two),
            "        path.move(to: .init(x: 0, y: 0))\n        path.closeSubpath()\n\n"
            "        path.move(to: .init(x: 1, y: 1))\n        path.closeSubpath()\n");
  SVGSwiftUIExporter::Config config;
  config.newlineAfterClosePath = false;
  EXPECT_EQ(commandLines(two, config).find("\n\n"), std::string::npos);
}

TEST(PathEmit, ShapeTransforms) {
  EXPECT_EQ(transformLines({TransformStep::translate(1, -2)}), "      .offsetBy(dx: 1, dy: -2)\n");
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
