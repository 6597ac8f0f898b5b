// Frames and placement of child views, and the view box property.
#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

void SVGSwiftUIExporter::exportPointFrame(const SwiftUIModel::Subview& child, bool useOffset) {
  if (const auto framable = child.framable()) exportPointFrame(*framable, useOffset);
}

void SVGSwiftUIExporter::exportPointFrame(std::optional<CGFloat> x, std::optional<CGFloat> y,
                                          std::optional<CGFloat> w, std::optional<CGFloat> h, bool useOffset) {
  if (w || h) {
    writeln(".frame(width: " + (w ? string(*w) : "nil") + ", height: " + (h ? string(*h) : "nil") +
            ", alignment: .topLeading)");
  }
  if (useOffset && (x || y)) {
    writeln(*generatePositionModifier(CGPoint{x.value_or(0), y.value_or(0)}));
    return;
  }
  if (x && *x != 0) writeln(".padding(.leading, " + string(*x) + ")");
  if (y && *y != 0) writeln(".padding(.top, " + string(*y) + ")");
}

std::string SVGSwiftUIExporter::generateFixFrameModifier(std::optional<CGSize> size) {
  if (!size) return "";
  return ".frame(width: " + string(size->width) + ", height: " + string(size->height) + ")";
}

std::optional<std::string> SVGSwiftUIExporter::generatePositionModifier(std::optional<CGPoint> point) {
  if (!point) return std::nullopt;
  return ".position(x: " + string(point->x) + ", y: " + string(point->y) + ")";
}

void SVGSwiftUIExporter::exportViewBoxProperty(std::optional<CGRect> viewBox) {
  if (viewBox) writeln("static let viewBox = " + initCGRect(*viewBox, false));
}
