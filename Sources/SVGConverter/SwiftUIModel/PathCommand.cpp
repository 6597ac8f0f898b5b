#include "SVGConverter/SwiftUIModel/PathCommand.h"

#include "SVGConverter/SwiftUIModel/Overloaded.h"
#include "Platform/NumberText.h"

namespace SwiftUIModel {
namespace {

std::string pointText(CGPoint p) { return SVGParser::doubleDescription(p.x) + "," + SVGParser::doubleDescription(p.y); }

std::string matrixText(const CGAffineTransform& m) {
  return "CGAffineTransform(a: " + SVGParser::doubleDescription(m.a) + ", b: " + SVGParser::doubleDescription(m.b) +
         ", c: " + SVGParser::doubleDescription(m.c) + ", d: " + SVGParser::doubleDescription(m.d) +
         ", tx: " + SVGParser::doubleDescription(m.tx) + ", ty: " + SVGParser::doubleDescription(m.ty) + ")";
}

template <typename T>
std::string listText(const std::vector<T>& items) {
  std::string text = "[";
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += ", ";
    text += items[i].description();
  }
  return text + "]";
}

}  // namespace

CGAffineTransform TransformStep::affineTransformation() const {
  return std::visit(Overloaded{
                        [](const Translate& t) { return CGAffineTransform::makeTranslation(t.dx, t.dy); },
                        [](const Rotate& r) { return CGAffineTransform::makeRotation(r.angle); },
                        [](const Scale& s) { return CGAffineTransform::makeScale(s.x, s.y); },
                        [](const Matrix& m) { return m.value; },
                    },
                    value_);
}

std::string TransformStep::description() const {
  return std::visit(
      Overloaded{
          [](const Translate& t) {
            return ".translate(" + SVGParser::doubleDescription(t.dx) + ", " + SVGParser::doubleDescription(t.dy) + ")";
          },
          [](const Rotate& r) { return ".rotate(" + SVGParser::doubleDescription(r.angle) + ")"; },
          [](const Scale& s) { return ".scale(" + SVGParser::doubleDescription(s.x) + ", " + SVGParser::doubleDescription(s.y) + ")"; },
          [](const Matrix& m) { return matrixText(m.value); },
      },
      value_);
}

CGAffineTransform affineTransformation(const std::vector<TransformStep>& steps) {
  CGAffineTransform result = CGAffineTransform::identity();
  for (const TransformStep& step : steps) {
    // Each step acts on a point before everything built so far.
    result = step.affineTransformation().concatenating(result);
  }
  return result;
}

std::string description(const std::vector<TransformStep>& steps) { return listText(steps); }

std::string PathCommand::description() const {
  return std::visit(
      Overloaded{
          [](const MoveTo& c) { return "M" + pointText(c.point); },
          [](const AddLineTo& c) { return "L" + pointText(c.point); },
          [](const AddCurveTo& c) {
            return "C" + pointText(c.point) + "[cp1=" + pointText(c.control1) + ", cp2=" + pointText(c.control2) +
                   "]";
          },
          [](const AddQuadCurveTo& c) { return "Q" + pointText(c.point) + "[cp=" + pointText(c.control) + "]"; },
          [](const AddRelativeArc& c) {
            return "A" + pointText(c.center) + "[r=" + SVGParser::doubleDescription(c.radius) +
                   ", start=" + SVGParser::doubleDescription(c.startAngle) + ", delta=" + SVGParser::doubleDescription(c.delta) +
                   ", transform=" + listText(c.transform) + "]";
          },
          [](const AddLines& c) {
            std::string text = "(";
            for (size_t i = 0; i < c.points.size(); ++i) text += (i == 0 ? "M" : "L") + pointText(c.points[i]);
            return text + ")";
          },
          [](const CloseSubpath&) { return std::string("Z"); },
      },
      value_);
}

std::string description(const std::vector<PathCommand>& commands) { return listText(commands); }

}  // namespace SwiftUIModel
