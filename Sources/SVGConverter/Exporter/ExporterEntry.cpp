// The one entry into the generator: a drawing and options in, Swift out.
#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

#include "SVGConverter/ShapeShifter/SVGSwiftUIQuarvel.h"

std::string SVGSwiftUIExporter::export_(const SVG::SVG& svg, Config config) {
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
      converter.setOutputLimit(options.outputLimit);
      converter.pushAttributes(SVGSwiftUIQuarvel::defaultAttributes());
      return converter.shapeSVGNode(svg, options.rootViewName);
    }();

    // The root's struct with its "// SVG" info comment, which stands once. The preview that
    // follows needs only the root's own properties.
    exporter.exportSVGTypeReleasing(root);

    if (options.exportHexColorExtension) exporter.exportHexColorExtension();
    if (options.generatePreviewProvider) exporter.exportPreview(root);
  }
  return exporter.takeSwift();
}
