#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

#include <gtest/gtest.h>

using CSS::Color;
using SwiftUIModel::Paint;
using SwiftUIModel::ShapeDrawing;
using SwiftUIModel::TransformStep;

namespace {

const ShapeDrawing redFill{std::nullopt, std::nullopt, Paint::color(Color::named("red"), std::nullopt),
                           std::nullopt, {}};

SVGSwiftUIExporter::Config withoutStatics() {
  SVGSwiftUIExporter::Config config;
  config.frameAsProperty = false;
  return config;
}

}  // namespace

TEST(ShapeEmit, CircleViewWithStatics) {
  SVGSwiftUIExporter stream{SVGSwiftUIExporter::Config{}};
  stream.exportCircleViewType({"Dot", CGSize{20, 20}, CGPoint{5, 7.5}, redFill});
  EXPECT_EQ(stream.swift(),
            "struct Dot: View {\n"
            "\n"
            "  static let intrinsicSize = CGSize(width: 20, height: 20)\n"
            "  static let origin        = CGPoint(x: 5, y: 7.5)\n"
            "\n"
            "  var body: some View {\n"
            "    Circle()\n"
            "      .fill(Color.red)\n"
            "  }\n"
            "}\n");
}

TEST(ShapeEmit, ShapeInstancesOfEachKind) {
  SVGSwiftUIExporter stream(withoutStatics());
  stream.exportEllipseViewType({"Oval", CGSize{4, 2}, std::nullopt, {}});
  stream.exportRectangleViewType({"Box", CGSize{4, 2}, CGPoint{1, 1}, std::nullopt, {}});
  stream.exportRectangleViewType({"Zero", std::nullopt, std::nullopt, 0.0, {}});
  stream.exportRectangleViewType({"Round", std::nullopt, std::nullopt, 4.25, {}});
  EXPECT_EQ(stream.swift(),
            "struct Oval: View {\n\n  var body: some View {\n    Ellipse()\n  }\n}\n"
            "struct Box: View {\n\n  var body: some View {\n    Rectangle()\n  }\n}\n"
            "struct Zero: View {\n\n  var body: some View {\n    RoundedRectangle(cornerRadius: 0)\n  }\n}\n"
            "struct Round: View {\n\n  var body: some View {\n    RoundedRectangle(cornerRadius: 4.25)\n  }\n}\n");
}

TEST(ShapeEmit, EffectModifiersHangUnderTheInstanceOrFollowTheStack) {
  ShapeDrawing moved = redFill;
  moved.transform = {TransformStep::translate(1, 2)};
  SVGSwiftUIExporter single(withoutStatics());
  single.exportCircleViewType({"A", std::nullopt, std::nullopt, moved});
  EXPECT_NE(single.swift().find("    Circle()\n      .fill(Color.red)\n      .offset(x: 1, y: 2)\n  }\n"),
            std::string::npos);

  moved.stroke = Paint::color(Color::named("blue"), std::nullopt);
  SVGSwiftUIExporter stacked(withoutStatics());
  stacked.exportCircleViewType({"A", std::nullopt, std::nullopt, moved});
  EXPECT_NE(stacked.swift().find("        .stroke(Color.blue)\n    }\n    .offset(x: 1, y: 2)\n  }\n"),
            std::string::npos);
}
