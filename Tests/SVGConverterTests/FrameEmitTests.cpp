#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

#include <gtest/gtest.h>

namespace {

/// A frame in points with four optional sides, as the converter makes them.
struct Frame {
  std::optional<CGFloat> x, y, w, h;
};

std::string placed(const Frame& frame, bool useOffset) {
  SVGSwiftUIExporter stream{SVGSwiftUIExporter::Config{}};
  stream.exportPointFrame(frame, useOffset);
  return stream.swift();
}

constexpr std::nullopt_t none = std::nullopt;
const std::string frame20x30 = ".frame(width: 20, height: 30, alignment: .topLeading)\n";

}  // namespace

TEST(FrameEmit, PaddingsPlaceNonZeroCoordinates) {
  EXPECT_EQ(placed({}, false), "");
  EXPECT_EQ(placed({10, 0, 20, 30}, false), frame20x30 + ".padding(.leading, 10)\n");
  EXPECT_EQ(placed({0, 0, 20, 30}, false), frame20x30);
  EXPECT_EQ(placed({-3, -4.5, none, none}, false), ".padding(.leading, -3)\n.padding(.top, -4.5)\n");
  EXPECT_EQ(placed({none, none, 7, none}, false), ".frame(width: 7, height: nil, alignment: .topLeading)\n");
}

TEST(FrameEmit, PositionsPlaceAnyGivenCoordinate) {
  EXPECT_EQ(placed({}, true), "");
  EXPECT_EQ(placed({10, 0, 20, 30}, true), frame20x30 + ".position(x: 10, y: 0)\n");
  EXPECT_EQ(placed({0, 0, 20, 30}, true), frame20x30 + ".position(x: 0, y: 0)\n");
  EXPECT_EQ(placed({none, 5, none, none}, true), ".position(x: 0, y: 5)\n");
  EXPECT_EQ(placed({none, none, none, 2.5}, true), ".frame(width: nil, height: 2.5, alignment: .topLeading)\n");
}

TEST(FrameEmit, ChildrenUseTheirOriginAndSize) {
  SVGSwiftUIExporter stream{SVGSwiftUIExporter::Config{}};
  const SwiftUIModel::CircleViewType circle("C", CGSize{20, 30}, CGPoint{5, 0}, {});
  stream.nest([&] { stream.exportPointFrame(SwiftUIModel::Subview::circle(circle), false); });
  stream.exportPointFrame(SwiftUIModel::Subview::text({{5, 5}, none, none, "Hi"}), true);
  stream.exportPointFrame(circle, true);
  EXPECT_EQ(stream.swift(), "  " + frame20x30 + "  .padding(.leading, 5)\n" + frame20x30 + ".position(x: 5, y: 0)\n");
}

TEST(FrameEmit, ModifierTextsAndViewBox) {
  SVGSwiftUIExporter stream{SVGSwiftUIExporter::Config{}};
  EXPECT_EQ(stream.generateFixFrameModifier(CGSize{100, 50.5}), ".frame(width: 100, height: 50.5)");
  EXPECT_EQ(stream.generateFixFrameModifier(none), "");
  EXPECT_EQ(stream.generatePositionModifier(CGPoint{-2, 3}), ".position(x: -2, y: 3)");
  EXPECT_FALSE(stream.generatePositionModifier(none).has_value());
  stream.exportViewBoxProperty(none);
  stream.exportViewBoxProperty(CGRect{0, 5, 100, 50});
  EXPECT_EQ(stream.swift(), "static let viewBox = CGRect(x: 0.0, y: 5.0, width: 100, height: 50)\n");
}
