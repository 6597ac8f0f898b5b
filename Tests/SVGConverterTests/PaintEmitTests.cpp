#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

#include <gtest/gtest.h>

using CSS::Color;
using SwiftUIModel::Paint;
using SwiftUIModel::ShapeDrawing;
using SwiftUIModel::StrokeStyle;

namespace {

std::string draw(const ShapeDrawing& drawing, SVGSwiftUIExporter::Config config = {}) {
  SVGSwiftUIExporter stream(config);
  stream.exportFillAndStrokeOfShapeView(drawing, "Circle()");
  return stream.swift();
}

std::string filled(Paint fill, SVGSwiftUIExporter::Config config = {}) {
  return draw({std::nullopt, std::nullopt, std::move(fill), std::nullopt, {}}, config);
}

std::string stroked(std::optional<StrokeStyle> style, std::optional<Paint> stroke,
                    SVGSwiftUIExporter::Config config = {}) {
  return draw({style, std::move(stroke), std::nullopt, std::nullopt, {}}, config);
}

SVGSwiftUIExporter::Config typed() {
  SVGSwiftUIExporter::Config config;
  config.preferInitOverType = false;
  return config;
}

const Paint blue = Paint::color(Color::named("blue"), std::nullopt);
const StrokeStyle unit{1.0, CGLineCap::butt, CGLineJoin::miter};
const StrokeStyle wide{2, CGLineCap::round, CGLineJoin::miter};

}  // namespace

TEST(PaintEmit, FillAndStrokeLines) {
  EXPECT_EQ(draw({}), "Circle()\n");
  EXPECT_EQ(filled(Paint::color(Color::named("red"), 0.5)), "Circle()\n  .fill(Color.red.opacity(0.5))\n");
  EXPECT_EQ(filled(Paint::opacity(0.4)), "Circle()\n  .fill()\n  .opacity(0.4)\n");
  SVGSwiftUIExporter::Config hex;
  hex.exportHexColorExtension = true;
  EXPECT_EQ(filled(Paint::color(Color::rgb(0, 0.5, 1), 0.25), hex), "Circle()\n  .fill(Color(0x007FFF).opacity(0.25))\n");
  EXPECT_EQ(stroked(wide, blue, typed()),
            "Circle()\n  .stroke(Color.blue, style: StrokeStyle(lineWidth: 2, lineCap: .round))\n");
  EXPECT_EQ(stroked(wide, Paint::opacity(0.3)),
            "Circle()\n  .stroke(style: .init(lineWidth: 2, lineCap: .round))\n  .opacity(0.3)\n");
}

TEST(PaintEmit, FillAndStrokeTogetherStackTwoInstances) {
  SVGSwiftUIExporter stream{SVGSwiftUIExporter::Config{}};
  EXPECT_TRUE(stream.exportFillAndStrokeOfShapeView(
      {StrokeStyle{std::nullopt, CGLineCap::butt, CGLineJoin::bevel}, blue, Paint::opacity(0.5), std::nullopt, {}},
      "Ellipse()"));
  EXPECT_EQ(stream.swift(),
            "ZStack {\n  Ellipse()\n    .fill()\n    .opacity(0.5)\n"
            "  Ellipse()\n    .stroke(Color.blue, style: .init(lineJoin: .bevel))\n}\n");
  // A stroke style alone also makes a stroked instance.
  EXPECT_TRUE(stream.exportFillAndStrokeOfShapeView({unit, std::nullopt, blue, std::nullopt, {}}, "Circle()"));
  EXPECT_FALSE(stream.exportFillAndStrokeOfShapeView({std::nullopt, blue, std::nullopt, std::nullopt, {}}, "Circle()"));
  EXPECT_FALSE(stream.exportFillAndStrokeOfShapeView({std::nullopt, std::nullopt, blue, std::nullopt, {}}, "Circle()"));
}

