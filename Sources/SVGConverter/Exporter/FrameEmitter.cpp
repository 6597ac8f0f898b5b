// Frames and placement of child views, and the view box property.
#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

void SVGSwiftUIExporter::exportPointFrame(const SwiftUIModel::Subview& child, bool useOffset) {
  if (const auto framable = child.framable()) exportPointFrame(*framable, useOffset);
}

void SVGSwiftUIExporter::exportPointFrame(std::optional<CGFloat> x, std::optional<CGFloat> y,
                                          std::optional<CGFloat> w, std::optional<CGFloat> h, bool useOffset) {
  const auto side = [&](const std::optional<CGFloat>& length) {
    return length ? string(*length) : std::string("nil");
  };
  if (w && h) {
    line(".frame(width: ", Number{*w}, ", height: ", Number{*h}, ", alignment: .topLeading)");
  } else if (w || h) {
    line(".frame(width: ", side(w), ", height: ", side(h), ", alignment: .topLeading)");
  }
  if (useOffset && (x || y)) {
    line(".position(x: ", Number{x.value_or(0)}, ", y: ", Number{y.value_or(0)}, ')');
    return;
  }
  if (x && *x != 0) line(".padding(.leading, ", Number{*x}, ')');
  if (y && *y != 0) line(".padding(.top, ", Number{*y}, ')');
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
