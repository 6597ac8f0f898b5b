// View structs of circles, ellipses, rectangles and paths.
#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

#include "SVGConverter/SwiftUIModel/Overloaded.h"

using SwiftUIModel::Overloaded;
using SwiftUIModel::PathCommand;
using SwiftUIModel::TransformStep;

namespace {

/// Joined transform texts shorter than this stay on the ".applying(" line.
constexpr std::size_t maximumSingleLineTransform = 49;

/// Blanks that put the labels of a curve's continuation lines under "to:".
constexpr std::string_view curveIndent = "              ";
constexpr std::string_view quadCurveIndent = "                  ";

void exportShapeViewType(SVGSwiftUIExporter& stream, const std::string& typeName, const std::string& shapeInstance,
                         std::optional<CGPoint> origin, std::optional<CGSize> size,
                         const SwiftUIModel::ShapeDrawing& drawing) {
  stream.block("struct " + typeName + ": View", [&] {
    stream.exportIntrinsicSize(origin, size, false);
    stream.appendEmptyLine();
    stream.block("var body: some View", [&] {
      const bool wroteStack = stream.exportFillAndStrokeOfShapeView(drawing, shapeInstance);
      stream.exportFilterReference(drawing.filterModifier, drawing.transform, !wroteStack);
    });
  });
}

void exportPath(SVGSwiftUIExporter& stream, const std::vector<PathCommand>& commands) {
  using Number = SVGSwiftUIExporter::Number;
  const std::string_view pointType = stream.config().preferInitOverType ? ".init" : "CGPoint";
  const auto point = [&](CGPoint p) { return SVGSwiftUIExporter::PointLiteral{pointType, p}; };
  stream.block("Path { path in", [&] {
    for (std::size_t index = 0; index < commands.size(); ++index) {
      std::visit(
          Overloaded{
              [&](const PathCommand::MoveTo& move) { stream.line("path.move(to: ", point(move.point), ')'); },
              [&](const PathCommand::AddLineTo& line) { stream.line("path.addLine(to: ", point(line.point), ')'); },
              [&](const PathCommand::AddCurveTo& curve) {
                stream.line("path.addCurve(to: ", point(curve.point), ',');
                stream.line(curveIndent, "control1: ", point(curve.control1), ',');
                stream.line(curveIndent, "control2: ", point(curve.control2), ')');
              },
              [&](const PathCommand::AddQuadCurveTo& curve) {
                stream.line("path.addQuadCurve(to: ", point(curve.point), ',');
                stream.line(quadCurveIndent, "control: ", point(curve.control), ')');
              },
              [&](const PathCommand::AddRelativeArc& arc) {
                // Always the type form; further steps stand one level deeper on
                // lines of their own, and the closing ")" then starts a line.
                stream.line("path.addRelativeArc(center: ", point(arc.center), ", radius: ", Number{arc.radius},
                            ", startAngle: Angle(radians: ", Number{arc.startAngle}, "), delta: Angle(radians: ",
                            Number{arc.delta}, ')', SVGSwiftUIExporter::TransformArgument{arc.transform}, ')');
              },
              [&](const PathCommand::AddLines& lines) {
                if (lines.points.empty()) return;
                stream.line("path.addLines([");
                stream.nest([&] {
                  for (std::size_t at = 0; at + 1 < lines.points.size(); ++at) {
                    stream.line(point(lines.points[at]), ',');
                  }
                  stream.line(point(lines.points.back()));
                });
                stream.line("])");
              },
              [&](const PathCommand::CloseSubpath&) {
                stream.line("path.closeSubpath()");
                if (stream.config().newlineAfterClosePath && index + 1 < commands.size()) stream.appendEmptyLine();
              },
          },
          commands[index].variant());
    }
  });
}

/// The transform of a whole shape, after its "Path" block.
void exportShapeTransform(SVGSwiftUIExporter& stream, const std::vector<TransformStep>& steps) {
  if (steps.empty()) return;
  if (steps.size() == 1) {
    if (const auto* translate = steps.front().as<TransformStep::Translate>()) {
      stream.writeln(".offsetBy(dx: " + stream.string(translate->dx) + ", dy: " + stream.string(translate->dy) +
                     ")");
      return;
    }
  }
  const std::vector<std::string> lines = stream.generateTransform(steps, stream.config().preferInitOverType);
  std::string joined;
  for (const std::string& line : lines) joined += line;
  if (joined.size() <= maximumSingleLineTransform) {
    stream.writeln(".applying(" + joined + ")");
    return;
  }
  stream.writeln(".applying(");
  stream.nest([&] {
    stream.writeln(lines.front());
    stream.nest([&] {
      for (std::size_t index = 1; index < lines.size(); ++index) stream.writeln(lines[index]);
    });
  });
  stream.writeln(")");
}

}  // namespace

void SVGSwiftUIExporter::exportCircleViewType(const SwiftUIModel::CircleViewType& view) {
  exportShapeViewType(*this, view.typeName, "Circle()", view.origin, view.intrinsicSize, view.drawing);
}

void SVGSwiftUIExporter::exportEllipseViewType(const SwiftUIModel::EllipseViewType& view) {
  exportShapeViewType(*this, view.typeName, "Ellipse()", view.origin, view.intrinsicSize, view.drawing);
}

void SVGSwiftUIExporter::exportRectangleViewType(const SwiftUIModel::RectangleViewType& view) {
  const std::string shape =
      view.cornerRadius ? "RoundedRectangle(cornerRadius: " + string(*view.cornerRadius) + ")" : "Rectangle()";
  exportShapeViewType(*this, view.typeName, shape, view.origin, view.intrinsicSize, view.drawing);
}

void SVGSwiftUIExporter::exportPathViewType(const SwiftUIModel::PathViewType& view,
                                            const std::optional<std::string>& /*svgID*/) {
  const SwiftUIModel::ShapeType& shape = view.shapeType;
  block("struct " + view.typeName + ": View { // SVGPath", [&] {
    exportIntrinsicSize(view.origin, view.intrinsicSize, false);
    appendVerbatim(config().shapeTypePrefix);
    block("struct " + shape.typeName + ": " + (shape.insettable ? "InsettableShape" : "Shape"), [&] {
      appendVerbatim(config().pathMethodPrefix);
      block("func path(in rect: CGRect) -> Path", [&] {
        exportPath(*this, shape.path);
        exportShapeTransform(*this, shape.transform);
      });
    });
    appendEmptyLine();
    block("var body: some View", [&] {
      const bool wroteStack = exportFillAndStrokeOfShapeView(view.drawing, shape.typeName + "()");
      exportFilterReference(view.drawing.filterModifier, {}, !wroteStack);
    });
  });
}
