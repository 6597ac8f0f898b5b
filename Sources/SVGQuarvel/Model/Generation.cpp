#include "SVGQuarvel/Model/Generation.h"

#include <algorithm>
#include <utility>
#include <exception>
#include <limits>

#include "Fennix/console/Console.h"
#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"
#include "SVGConverter/ShapeShifter/SVGSwiftUIQuarvel.h"
#include "SVGParser/SVG/SVG.h"

namespace generation {

namespace {

std::optional<std::string> generate(std::string_view svgString, const SVGQuarvelConfiguration& config,
                                    std::size_t maximumBytes) {
  auto options = config.asExporterConfig();
  options.outputLimit = maximumBytes;
  // A drawing whose elements alone lead to more code than that is given up while it is read,
  // before it takes the memory of all of them.
  SVGConverter::OutputBudget budget(maximumBytes);
  const SVGSwiftUIQuarvel::OutputLayout layout{options.indentString.size(), options.infoComments};
  auto drawing = SVG::SVG::fromSVGString(svgString, [&](const SVG::GroupItem& element, std::size_t depth) {
    budget.charge(SVGSwiftUIQuarvel::leastCode(element, depth, layout));
  });
  if (!drawing) return std::nullopt;
  return SVGSwiftUIExporter::export_(std::move(*drawing), options);
}

}  // namespace

std::optional<std::string> swiftUISource(std::string_view svgString, const SVGQuarvelConfiguration& config,
                                         std::size_t maximumBytes, bool& limitReached) {
  limitReached = false;
  try {
    return generate(svgString, config, std::min(maximumBytes, outputLimit(svgString.size())));
  } catch (const SVGSwiftUIExporter::OutputLimitReached&) {
    limitReached = true;
    return std::nullopt;
  } catch (const std::exception& error) {
    console::error("could not generate Swift:", error.what());
    return std::nullopt;
  }
}

std::size_t outputLimit(std::size_t svgBytes) {
  constexpr std::size_t minimum = std::size_t{64} << 20;
  constexpr std::size_t factor = 100;
  if (svgBytes > std::numeric_limits<std::size_t>::max() / factor) return std::numeric_limits<std::size_t>::max();
  return std::max(minimum, svgBytes * factor);
}

}  // namespace generation
