// The frame and placement lines of child views, and the view box property.
#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"
#include "SVGConverter/ShapeShifter/SVGSwiftUIQuarvel.h"

#include <gtest/gtest.h>

using Frame = SVGSwiftUIQuarvel::PointFrame;
using SwiftUIModel::Subview;

namespace {

std::string lines(const Frame& frame, bool useOffset, SVGSwiftUIExporter::Config config = {}) {
  SVGSwiftUIExporter exporter(config);
  exporter.exportPointFrame(frame, useOffset);
  return exporter.swift();
}

std::string lines(const Subview& child, bool useOffset) {
  SVGSwiftUIExporter exporter({});
  exporter.exportPointFrame(child, useOffset);
  return exporter.swift();
}

}  // namespace

TEST(PointFrameEmit, FrameLinesGiveNilForAMissingSideAndPlaceByPaddingOrPosition) {
  // Nothing at all: no line, whichever placement.
  EXPECT_EQ(lines(Frame::none(), false), "");
  EXPECT_EQ(lines(Frame::none(), true), "");

  // At (10, 0), 20 by 30: paddings skip the zero coordinate; a position keeps it.
  const Frame placed{10, 0, 20, 30};
  EXPECT_EQ(lines(placed, false), ".frame(width: 20, height: 30, alignment: .topLeading)\n.padding(.leading, 10)\n");
  EXPECT_EQ(lines(placed, true), ".frame(width: 20, height: 30, alignment: .topLeading)\n.position(x: 10, y: 0)\n");

  // At the origin with a size: only the frame with paddings, a position at 0, 0 otherwise.
  EXPECT_EQ(lines(Frame{0, 0, 5, 6}, false), ".frame(width: 5, height: 6, alignment: .topLeading)\n");
  EXPECT_EQ(lines(Frame{0, 0, 5, 6}, true),
            ".frame(width: 5, height: 6, alignment: .topLeading)\n.position(x: 0, y: 0)\n");

  // One side only: "nil" for the other; one coordinate only: 0 for the other in a position.
  EXPECT_EQ(lines(Frame{std::nullopt, std::nullopt, 7, std::nullopt}, false),
            ".frame(width: 7, height: nil, alignment: .topLeading)\n");
  EXPECT_EQ(lines(Frame{std::nullopt, std::nullopt, std::nullopt, 8.5}, false),
            ".frame(width: nil, height: 8.5, alignment: .topLeading)\n");
  EXPECT_EQ(lines(Frame{std::nullopt, 4, std::nullopt, std::nullopt}, true), ".position(x: 0, y: 4)\n");
  EXPECT_EQ(lines(Frame{std::nullopt, 4, std::nullopt, std::nullopt}, false), ".padding(.top, 4)\n");

  // Negative coordinates are written as they are; numbers follow the fraction digits.
  EXPECT_EQ(lines(Frame{-3, -0.5, std::nullopt, std::nullopt}, false), ".padding(.leading, -3)\n.padding(.top, -0.5)\n");
  SVGSwiftUIExporter::Config twoDigits;
  twoDigits.maximumFractionDigits = 2;
  EXPECT_EQ(lines(Frame{1.23456, std::nullopt, 1.005, 2.0 / 3}, true, twoDigits),
            ".frame(width: 1, height: 0.67, alignment: .topLeading)\n.position(x: 1.23, y: 0)\n");
}

TEST(PointFrameEmit, ChildrenTakeTheirOriginAndSizeAndTextTakesNoFrame) {
  const auto circle = Subview::circle({"C", CGSize{20, 30}, CGPoint{10, 5}, {}});
  EXPECT_EQ(lines(circle, false),
            ".frame(width: 20, height: 30, alignment: .topLeading)\n.padding(.leading, 10)\n.padding(.top, 5)\n");
  EXPECT_EQ(lines(Subview::circle({"C", std::nullopt, CGPoint{10, 5}, {}}), true), ".position(x: 10, y: 5)\n");
  EXPECT_EQ(lines(Subview::circle({"C", CGSize{1, 2}, std::nullopt, {}}), true),
            ".frame(width: 1, height: 2, alignment: .topLeading)\n");
  SwiftUIModel::Text text;
  text.origin = CGPoint{10, 5};
  text.text = "Hi";
  EXPECT_EQ(lines(Subview::text(text), false), "");
  EXPECT_EQ(lines(Subview::text(text), true), "");
}

TEST(PointFrameEmit, FixedFramePositionAndViewBoxTexts) {
  SVGSwiftUIExporter exporter({});
  EXPECT_EQ(exporter.generateFixFrameModifier(CGSize{100, 50.25}), ".frame(width: 100, height: 50.25)");
  EXPECT_EQ(exporter.generateFixFrameModifier(std::nullopt), "");
  EXPECT_EQ(exporter.generatePositionModifier(CGPoint{-1, 2.5}), ".position(x: -1, y: 2.5)");
  EXPECT_EQ(exporter.generatePositionModifier(std::nullopt), std::nullopt);

  // The view box is always written as the type's initializer, whatever the settings prefer.
  SVGSwiftUIExporter::Config preferInit;
  preferInit.preferInitOverType = true;
  SVGSwiftUIExporter boxes(preferInit);
  boxes.exportViewBoxProperty(CGRect{CGPoint{0, 0}, CGSize{100, 80}});
  boxes.exportViewBoxProperty(std::nullopt);
  EXPECT_EQ(boxes.swift(), "static let viewBox = CGRect(x: 0.0, y: 0.0, width: 100, height: 80)\n");
}
