// The end of the file: the hex colour initialiser and the preview provider.
#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

#include "Platform/NumberText.h"

#include <algorithm>
#include <cmath>

namespace {

/// The whole-number factor that scales a drawing of this size up to about
/// 240 points in the preview; nothing when it would not enlarge it, or for
/// sizes that are not finite or outside 1 to 200 points.
std::optional<int> previewScaleFactor(CGSize size) {
  if (!std::isfinite(size.width) || !std::isfinite(size.height)) return std::nullopt;
  const CGFloat larger = std::trunc(std::max(size.width, size.height));
  if (larger < 1 || larger > 200) return std::nullopt;
  const int factor = 240 / static_cast<int>(larger);
  if (factor <= 1) return std::nullopt;
  return factor;
}

}  // namespace

void SVGSwiftUIExporter::exportHexColorExtension() {
  if (!didUseHexColorInit()) return;
  appendEmptyLine();
  block("fileprivate extension Color", [&] {
    block("init(_ rgb: UInt32, opacity: Double = 1.0)", [&] {
      writeln("self.init(red     : Double((rgb >> 16) & 0xFF) / 255.0,");
      writeln("          green   : Double((rgb >>  8) & 0xFF) / 255.0,");
      writeln("          blue    : Double( rgb        & 0xFF) / 255.0,");
      writeln("          opacity : opacity)");
    });
  });
}

void SVGSwiftUIExporter::exportPreview(const SwiftUIModel::ContainerViewType& root) {
  const std::string& type = root.typeName;
  appendEmptyLine();
  block("struct " + type + "_Previews: PreviewProvider", [&] {
    block("static var previews: some View", [&] {
      block("VStack", [&] {
        writeln(type + "()");
        nest([&] {
          if (root.isResizable()) writeln(".resizable()");
          if (root.intrinsicSize) {
            const std::optional<int> factor = previewScaleFactor(*root.intrinsicSize);
            const std::string scale = factor ? std::to_string(*factor) + " * " : "";
            writeln(".frame(width  : " + scale + type + ".intrinsicSize.width,");
            writeln("       height : " + scale + type + ".intrinsicSize.height)");
          } else if (root.viewBox && root.viewBox->width() < 1024 && root.viewBox->height() < 1024) {
            writeln(".frame(width  : " + type + ".viewBox.width,");
            writeln("       height : " + type + ".viewBox.height)");
          } else {
            writeln(".frame(width: 128, height: 128)");
          }
          writeln(".background(Color.clear.border(Color.green))");
          writeln(".padding()");
        });
        // The labels are for people: numbers in their shortest exact form.
        if (const auto& size = root.intrinsicSize) {
          writeln("Text(\"Size: " + SVGParser::doubleDescription(size->width) + "x" + SVGParser::doubleDescription(size->height) +
                  "\").padding(.bottom)");
        }
        if (const auto& box = root.viewBox) {
          writeln("Text(\"ViewBox: " + SVGParser::doubleDescription(box->origin.x) + "," + SVGParser::doubleDescription(box->origin.y) +
                  " " + SVGParser::doubleDescription(box->size.width) + "x" + SVGParser::doubleDescription(box->size.height) +
                  "\").padding(.bottom)");
        }
      });
    });
  });
}
