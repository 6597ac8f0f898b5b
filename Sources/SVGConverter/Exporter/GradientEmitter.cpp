// Gradient properties of the generated view types.
#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

#include <array>
#include <utility>

using SwiftUIModel::GradientStop;

namespace {

/// Joined stop lists shorter than this stay on one line.
constexpr std::size_t maximumSingleLineStops = 79;

/// A corner name when both coordinates are exactly 0 or 1, else the unit point literal.
std::string unitPointText(SVGSwiftUIExporter& stream, CGPoint point) {
  const auto isEdge = [](CGFloat value) { return value == 0 || value == 1; };
  if (isEdge(point.x) && isEdge(point.y)) {
    if (point.y == 0) return point.x == 0 ? ".topLeading" : ".topTrailing";
    return point.x == 0 ? ".bottomLeading" : ".bottomTrailing";
  }
  return stream.initUnitPoint(point, stream.config().preferInitOverType);
}

/// A start and end running along one edge become the two edge centres.
std::pair<std::string, std::string> coalesceDirections(const std::string& start, const std::string& end) {
  struct Rule {
    const char* start;
    const char* end;
    const char* newStart;
    const char* newEnd;
  };
  static constexpr std::array<Rule, 8> rules{{
      {".topLeading", ".bottomLeading", ".top", ".bottom"},
      {".topTrailing", ".bottomTrailing", ".top", ".bottom"},
      {".topLeading", ".topTrailing", ".leading", ".trailing"},
      {".bottomLeading", ".bottomTrailing", ".leading", ".trailing"},
      {".bottomLeading", ".topLeading", ".bottom", ".top"},
      {".bottomTrailing", ".topTrailing", ".bottom", ".top"},
      {".topTrailing", ".topLeading", ".trailing", ".leading"},
      {".bottomTrailing", ".bottomLeading", ".trailing", ".leading"},
  }};
  for (const Rule& rule : rules) {
    if (start == rule.start && end == rule.end) return {rule.newStart, rule.newEnd};
  }
  return {start, end};
}

/// The text of each stop: its colour alone for evenly spread stops (`colors`),
/// else a stop literal with colour and location.
std::vector<std::string> generateStops(SVGSwiftUIExporter& stream, const std::vector<GradientStop>& stops,
                                       bool colors) {
  const auto& config = stream.config();
  std::vector<std::string> texts;
  texts.reserve(stops.size());
  for (const GradientStop& stop : stops) {
    std::string color =
        stream.generateColor(stop.color, std::nullopt, config.preferInitOverType, config.exportHexColorExtension)
            .value_or("");
    if (stop.opacity) color += ".opacity(" + stream.string(*stop.opacity) + ")";
    if (colors) {
      texts.push_back(std::move(color));
    } else {
      texts.push_back((config.preferInitOverType ? ".init" : "Gradient.Stop") + std::string("(color: ") + color +
                      ", location: " + stream.string(stop.offset) + ")");
    }
  }
  return texts;
}

/// The "gradient:" argument with its stop lines and closing "]),".
void exportGradientArgument(SVGSwiftUIExporter& stream, const std::vector<GradientStop>& stops) {
  const bool colors = SwiftUIModel::hasLinearDistribution(stops);
  const std::vector<std::string> texts = generateStops(stream, stops, colors);
  stream.writeln("gradient: " + std::string(stream.config().preferInitOverType ? ".init" : "Gradient") + "(" +
                 (colors ? "colors" : "stops") + ": [");
  stream.nest([&] {
    if (texts.empty()) {
      stream.writelnInfoComment("No gradient stops defined/detected.");
      return;
    }
    if (texts.size() == 1) stream.writelnInfoComment("A gradient w/ just a single stop?");
    std::string joined;
    for (const std::string& text : texts) {
      if (!joined.empty()) joined += ", ";
      joined += text;
    }
    if (!stream.config().preferMultilineConstants && joined.size() <= maximumSingleLineStops) {
      stream.writeln(joined);
      return;
    }
    for (std::size_t index = 0; index < texts.size(); ++index) {
      stream.writeln(index + 1 < texts.size() ? texts[index] + "," : texts[index]);
    }
  });
  stream.writeln("]),");
}

}  // namespace

void SVGSwiftUIExporter::exportLinearGradientProperty(const SwiftUIModel::LinearGradientProperty& gradient) {
  const auto directions =
      coalesceDirections(unitPointText(*this, gradient.startPoint), unitPointText(*this, gradient.endPoint));
  const std::string& start = directions.first;
  const std::string& end = directions.second;
  writeln("static let " + gradient.propertyID + " = LinearGradient(");
  nest([&] {
    exportGradientArgument(*this, gradient.stops);
    writeln("startPoint: " + start + ", endPoint: " + end);
  });
  writeln(")");
}

void SVGSwiftUIExporter::exportRadialGradientProperty(const SwiftUIModel::RadialGradientProperty& gradient) {
  writeln("static let " + gradient.propertyID + " = RadialGradient(");
  nest([&] {
    exportGradientArgument(*this, gradient.stops);
    writeln("center: " + unitPointText(*this, gradient.center) + ", startRadius: " +
            string(gradient.startRadius) + ", endRadius: " + string(gradient.endRadius));
  });
  writeln(")");
}
