// Gradient properties of the generated view types.
#include "SVGConverter/Exporter/ExpressionWriters.h"

#include <array>
#include <utility>

using SwiftUIModel::GradientStop;

namespace {

/// Joined stop lists shorter than this stay on one line.
constexpr std::size_t maximumSingleLineStops = 79;

/// The corner name of a point whose coordinates are both exactly 0 or 1; nothing otherwise.
std::optional<std::string_view> cornerName(CGPoint point) {
  const auto isEdge = [](CGFloat value) { return value == 0 || value == 1; };
  if (!isEdge(point.x) || !isEdge(point.y)) return std::nullopt;
  if (point.y == 0) return point.x == 0 ? ".topLeading" : ".topTrailing";
  return point.x == 0 ? ".bottomLeading" : ".bottomTrailing";
}

/// A corner name, else the unit point literal.
void putUnitPoint(SVGSwiftUIExporter& stream, CGPoint point, std::optional<std::string_view> corner) {
  if (corner) {
    stream.put(*corner);
  } else {
    stream.put(SVGSwiftUIExporter::PointLiteral{stream.config().preferInitOverType ? ".init" : "UnitPoint", point});
  }
}

/// A start and end running along one edge become the two edge centres.
void coalesceDirections(std::optional<std::string_view>& start, std::optional<std::string_view>& end) {
  if (!start || !end) return;
  struct Rule {
    std::string_view start;
    std::string_view end;
    std::string_view newStart;
    std::string_view newEnd;
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
    if (*start == rule.start && *end == rule.end) {
      start = rule.newStart;
      end = rule.newEnd;
      return;
    }
  }
}

/// The texts of the stops, one after the other in one string, and where each ends.
struct StopTexts {
  std::string text;
  std::vector<std::size_t> ends;

  std::size_t size() const { return ends.size(); }
  std::string_view operator[](std::size_t index) const {
    const std::size_t begin = index == 0 ? 0 : ends[index - 1];
    return std::string_view(text).substr(begin, ends[index] - begin);
  }
};

/// The text of each stop: its colour alone for evenly spread stops (`colors`),
/// else a stop literal with colour and location.
StopTexts generateStops(SVGSwiftUIExporter& stream, const std::vector<GradientStop>& stops, bool colors) {
  using Number = SVGSwiftUIExporter::Number;
  const auto& config = stream.config();
  StopTexts texts;
  texts.ends.reserve(stops.size());
  SVGConverter::StringSink out(stream, texts.text);
  for (const GradientStop& stop : stops) {
    if (!colors) {
      out.put(config.preferInitOverType ? ".init" : "Gradient.Stop");
      out.put("(color: ");
    }
    SVGConverter::writeColor(out, stream, stop.color, std::nullopt, config.preferInitOverType,
                             config.exportHexColorExtension);
    if (stop.opacity) {
      out.put(".opacity(");
      out.put(Number{*stop.opacity});
      out.put(')');
    }
    if (!colors) {
      out.put(", location: ");
      out.put(Number{stop.offset});
      out.put(')');
    }
    texts.ends.push_back(texts.text.size());
  }
  return texts;
}

/// The "gradient:" argument with its stop lines and closing "]),".
void exportGradientArgument(SVGSwiftUIExporter& stream, const std::vector<GradientStop>& stops) {
  const bool colors = SwiftUIModel::hasLinearDistribution(stops);
  const StopTexts texts = generateStops(stream, stops, colors);
  stream.line("gradient: ", stream.config().preferInitOverType ? ".init" : "Gradient", '(',
              colors ? "colors" : "stops", ": [");
  stream.nest([&] {
    if (texts.size() == 0) {
      stream.writelnInfoComment("No gradient stops defined/detected.");
      return;
    }
    if (texts.size() == 1) stream.writelnInfoComment("A gradient w/ just a single stop?");
    const std::size_t joinedSize = texts.text.size() + 2 * (texts.size() - 1);  // joined by ", "
    if (!stream.config().preferMultilineConstants && joinedSize <= maximumSingleLineStops) {
      stream.beginLine();
      for (std::size_t index = 0; index < texts.size(); ++index) {
        if (index > 0) stream.put(", ");
        stream.put(texts[index]);
      }
      stream.endLine();
      return;
    }
    for (std::size_t index = 0; index + 1 < texts.size(); ++index) stream.line(texts[index], ',');
    stream.line(texts[texts.size() - 1]);
  });
  stream.line("]),");
}

}  // namespace

void SVGSwiftUIExporter::exportLinearGradientProperty(const SwiftUIModel::LinearGradientProperty& gradient) {
  std::optional<std::string_view> start = cornerName(gradient.startPoint);
  std::optional<std::string_view> end = cornerName(gradient.endPoint);
  coalesceDirections(start, end);
  line("static let ", gradient.propertyID, " = LinearGradient(");
  nest([&] {
    exportGradientArgument(*this, gradient.stops);
    beginLine();
    put("startPoint: ");
    putUnitPoint(*this, gradient.startPoint, start);
    put(", endPoint: ");
    putUnitPoint(*this, gradient.endPoint, end);
    endLine();
  });
  line(')');
}

void SVGSwiftUIExporter::exportRadialGradientProperty(const SwiftUIModel::RadialGradientProperty& gradient) {
  // Radii relative to the shape need the gradient that is laid out in the shape's unit square.
  const bool relative = gradient.radiiRelativeToShape;
  line("static let ", gradient.propertyID, relative ? " = EllipticalGradient(" : " = RadialGradient(");
  nest([&] {
    exportGradientArgument(*this, gradient.stops);
    beginLine();
    put("center: ");
    putUnitPoint(*this, gradient.center, cornerName(gradient.center));
    put(relative ? ", startRadiusFraction: " : ", startRadius: ");
    put(Number{gradient.startRadius});
    put(relative ? ", endRadiusFraction: " : ", endRadius: ");
    put(Number{gradient.endRadius});
    endLine();
  });
  line(')');
}
