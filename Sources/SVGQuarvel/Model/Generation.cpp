#include "SVGQuarvel/Model/Generation.h"

#include <exception>

#include "Fennix/console/Console.h"
#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"
#include "SVGParser/SVG/SVG.h"

namespace generation {

std::optional<std::string> swiftUISource(std::string_view svgString, const SVGQuarvelConfiguration& config) {
  try {
    auto drawing = SVG::SVG::fromSVGString(svgString);
    if (!drawing) return std::nullopt;
    return SVGSwiftUIExporter::export_(*drawing, config.asExporterConfig());
  } catch (const std::exception& error) {
    console::error("could not generate Swift:", error.what());
    return std::nullopt;
  }
}

}  // namespace generation
