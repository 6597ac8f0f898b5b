// The one entry into the generator: a drawing and options in, Swift out.
#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

#include "SVGConverter/ShapeShifter/SVGSwiftUIQuarvel.h"

template <typename Release>
std::string SVGSwiftUIExporter::exportDrawing(const SVG::SVG& svg, Config config, Release release) {
  SVGSwiftUIExporter exporter(std::move(config));
  const Config& options = exporter.config();

  if (options.generateImport) {
    exporter.writeln("import SwiftUI");
    exporter.appendEmptyLine();
  }

  {
    // The converter lives only as long as the conversion of the root, and the view model only
    // as long as it is written out: the text is joined into one string after both are gone.
    SwiftUIModel::ContainerViewType root = [&] {
      SVGSwiftUIQuarvel converter;
      converter.setOutputLimit(options.outputLimit, {options.indentString.size(), options.infoComments});
      converter.pushAttributes(SVGSwiftUIQuarvel::defaultAttributes());
      return converter.shapeSVGNode(svg, options.rootViewName);
    }();
    release();

    // The root's struct with its "// SVG" info comment, which stands once. The preview that
    // follows needs only the root's own properties.
    exporter.exportSVGTypeReleasing(root);

    if (options.exportHexColorExtension) exporter.exportHexColorExtension();
    if (options.generatePreviewProvider) exporter.exportPreview(root);
  }
  return exporter.takeSwift();
}

std::string SVGSwiftUIExporter::export_(const SVG::SVG& svg, Config config) {
  return exportDrawing(svg, std::move(config), [] {});
}

std::string SVGSwiftUIExporter::export_(SVG::SVG&& svg, Config config) {
  return exportDrawing(svg, std::move(config), [&svg] { SVG::SVG released = std::move(svg); });
}
