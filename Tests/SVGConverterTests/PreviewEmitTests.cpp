#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

#include <gtest/gtest.h>

#include <limits>

using SwiftUIModel::ContainerViewType;

namespace {

ContainerViewType root(std::optional<CGSize> size, std::optional<CGRect> viewBox = std::nullopt,
                       ContainerViewType::Resizable resizable = {}) {
  return ContainerViewType("Art", std::nullopt, size, viewBox, resizable, {}, {}, std::nullopt, {});
}

std::string preview(const ContainerViewType& art) {
  SVGSwiftUIExporter exporter({});
  exporter.exportPreview(art);
  return exporter.swift();
}

/// The two frame lines of the preview instance.
std::string frameOf(const ContainerViewType& art) {
  const std::string text = preview(art);
  const auto start = text.find("        .frame(");
  const auto end = text.find("        .background(");
  return start == std::string::npos || end == std::string::npos ? text : text.substr(start, end - start);
}

std::string sizedFrame(const std::string& factor) {
  return "        .frame(width  : " + factor + "Art.intrinsicSize.width,\n"
         "               height : " + factor + "Art.intrinsicSize.height)\n";
}

}  // namespace

TEST(PreviewEmit, FrameChoice) {
  EXPECT_EQ(frameOf(root(CGSize{24, 24})), sizedFrame("10 * "));
  EXPECT_EQ(frameOf(root(CGSize{20, 120})), sizedFrame("2 * "));
  EXPECT_EQ(frameOf(root(CGSize{150, 150})), sizedFrame(""));  // 240 / 150 is 1
  EXPECT_EQ(frameOf(root(CGSize{300, 20})), sizedFrame(""));   // beyond 200
  EXPECT_EQ(frameOf(root(CGSize{200.9, 20})), sizedFrame(""));  // 240 / 200 is 1
  EXPECT_EQ(frameOf(root(CGSize{0.5, 0.5})), sizedFrame(""));
  EXPECT_EQ(frameOf(root(CGSize{0, 0})), sizedFrame(""));

  EXPECT_EQ(frameOf(root(std::nullopt, CGRect(0, 0, 2000, 100))), "        .frame(width: 128, height: 128)\n");
  EXPECT_EQ(frameOf(root(std::nullopt, CGRect(5, 5, 1023, 100))),
            "        .frame(width  : Art.viewBox.width,\n"
            "               height : Art.viewBox.height)\n");
}

// Sizes that are not finite or out of range give no factor, and never an
// out-of-range conversion to an integer.
TEST(PreviewEmit, NoFactorForUnusableSizes) {
  const CGFloat infinity = std::numeric_limits<CGFloat>::infinity();
  const CGFloat nan = std::numeric_limits<CGFloat>::quiet_NaN();
  for (CGSize size : {CGSize{infinity, 10}, CGSize{10, infinity}, CGSize{nan, 10}, CGSize{10, nan},
                      CGSize{-infinity, -infinity}, CGSize{1e300, 1e300}, CGSize{-50, -20}, CGSize{3e9, 1}}) {
    EXPECT_EQ(frameOf(root(size)), sizedFrame("")) << size.width << "x" << size.height;
  }
  EXPECT_NE(preview(root(CGSize{nan, infinity})).find("Text(\"Size: nanxinf\")"), std::string::npos);
}
