#include "GoldenDump.h"

#include <cmath>

#include "SVGConverter/SwiftUIModel/Overloaded.h"
#include "Platform/NumberText.h"

namespace GoldenDump {
namespace {

using namespace SwiftUIModel;

std::string num(double v) {
  if (!std::isfinite(v)) return SVGParser::doubleDescription(v);
  double rounded = std::round(v * 1e9) / 1e9;
  if (rounded == 0) rounded = 0;  // no "-0.0"
  return SVGParser::doubleDescription(rounded);
}
std::string point(CGPoint p) { return "(" + num(p.x) + ", " + num(p.y) + ")"; }
std::string size(CGSize s) { return num(s.width) + "x" + num(s.height); }
template <typename T, typename F>
std::string optional(const std::optional<T>& value, F format) {
  return value ? format(*value) : std::string("-");
}
std::string optNum(const std::optional<double>& v) { return optional(v, num); }

std::string transformText(const std::vector<TransformStep>& steps) {
  std::string text = "[";
  for (size_t i = 0; i < steps.size(); ++i) {
    if (i > 0) text += ", ";
    text += std::visit(Overloaded{
                           [](const TransformStep::Translate& t) { return "translate" + point({t.dx, t.dy}); },
                           [](const TransformStep::Rotate& r) { return "rotate(" + num(r.angle) + ")"; },
                           [](const TransformStep::Scale& s) { return "scale" + point({s.x, s.y}); },
                           [](const TransformStep::Matrix& m) {
                             const CGAffineTransform& t = m.value;
                             return "matrix(" + num(t.a) + ", " + num(t.b) + ", " + num(t.c) + ", " + num(t.d) +
                                    ", " + num(t.tx) + ", " + num(t.ty) + ")";
                           },
                       },
                       steps[i].variant());
  }
  return text + "]";
}

std::string paintText(const std::optional<Paint>& paint) {
  if (!paint) return "-";
  return std::visit(Overloaded{
                        [](const Paint::Opacity& o) { return "opacity " + num(o.opacity); },
                        [](const Paint::Color& c) { return c.color.description() + " opacity " + optNum(c.opacity); },
                        [](const Paint::Property& p) { return "property " + p.id; },
                    },
                    paint->variant());
}

std::string commandText(const PathCommand& command) {
  return std::visit(
      Overloaded{
          [](const PathCommand::MoveTo& c) { return "move " + point(c.point); },
          [](const PathCommand::AddLineTo& c) { return "line " + point(c.point); },
          [](const PathCommand::AddCurveTo& c) {
            return "curve " + point(c.point) + " c1 " + point(c.control1) + " c2 " + point(c.control2);
          },
          [](const PathCommand::AddQuadCurveTo& c) { return "quad " + point(c.point) + " c " + point(c.control); },
          [](const PathCommand::AddRelativeArc& c) {
            return "arc center " + point(c.center) + " r " + num(c.radius) + " start " + num(c.startAngle) +
                   " delta " + num(c.delta) + " " + transformText(c.transform);
          },
          [](const PathCommand::AddLines& c) {
            std::string text = "lines";
            for (CGPoint p : c.points) text += " " + point(p);
            return text;
          },
          [](const PathCommand::CloseSubpath&) { return std::string("close"); },
      },
      command.variant());
}

class Writer {
 public:
  std::string text;

  void line(int depth, const std::string& content) { text += std::string(2 * depth, ' ') + content + "\n"; }

  void group(int depth, const FilterModifierType::FilterGroup& g) {
    using FG = FilterModifierType::FilterGroup;
    std::visit(Overloaded{
                   [&](const FG::Merge& m) {
                     line(depth, "merge");
                     for (const FG& input : m.groups) group(depth + 1, input);
                   },
                   [&](const FG::Blend& b) {
                     line(depth, "blend " + std::string(b.mode.rawValue()));
                     group(depth + 1, b.input);
                     group(depth + 1, b.input2);
                   },
                   [&](const FG::Primitives& p) {
                     line(depth, "primitive");
                     group(depth + 1, p.input);
                     for (const FilterModifierType::Primitive& e : p.primitives) {
                       line(depth + 1, "effect " + e.operation.description() + " origin " +
                                           optional(e.origin, point) + " size " + optional(e.intrinsicSize, size));
                     }
                   },
                   [&](const FG::Source&) { line(depth, "source"); },
                   [&](const FG::SourceAlpha&) { line(depth, "sourceAlpha"); },
               },
               g.variant());
  }

  void filter(int depth, const std::optional<FilterModifierType>& f, const char* kind = "applies filter ") {
    if (!f) return;
    line(depth, kind + f->typeName + " origin " + optional(f->origin, point) + " size " +
                    optional(f->intrinsicSize, size));
    group(depth + 1, f->filterGroup);
  }

  void stops(int depth, const std::vector<GradientStop>& stops) {
    for (const GradientStop& s : stops) {
      line(depth, "stop " + num(s.offset) + " " + s.color.description() + " opacity " + optNum(s.opacity));
    }
  }

  void definition(int depth, const Definition& d) {
    std::visit(Overloaded{
                   [&](const Definition::LinearGradient& g) {
                     line(depth, "linearGradient " + g.value.propertyID + " " + point(g.value.startPoint) + " -> " +
                                     point(g.value.endPoint));
                     stops(depth + 1, g.value.stops);
                   },
                   [&](const Definition::RadialGradient& g) {
                     line(depth, "radialGradient " + g.value.propertyID + " center " + point(g.value.center) +
                                     " radii " + num(g.value.startRadius) + " -> " + num(g.value.endRadius) +
                                     (g.value.radiiRelativeToShape ? " of the shape" : ""));
                     stops(depth + 1, g.value.stops);
                   },
                   [&](const Definition::FilterModifier& f) { filter(depth, f.value, "filter "); },
               },
               d.variant());
  }

  void drawing(int depth, const ShapeDrawing& d) {
    line(depth, "fill " + paintText(d.fill) + (d.evenOddFill ? " even-odd" : ""));
    line(depth, "stroke " + paintText(d.stroke));
    if (d.strokeStyle) {
      line(depth, "strokeStyle width " + optNum(d.strokeStyle->lineWidth) + " " + d.strokeStyle->description());
    }
    if (!d.transform.empty()) line(depth, "transform " + transformText(d.transform));
    filter(depth, d.filterModifier);
  }

  void frame(int depth, const char* kind, const SUIShapeViewType& view) {
    line(depth, std::string(kind) + " " + view.typeName + " origin " + optional(view.origin, point) + " size " +
                    optional(view.intrinsicSize, size));
  }

  void container(int depth, const char* kind, const ContainerViewType& c) {
    line(depth, std::string(kind) + " " + c.typeName + " origin " + optional(c.origin, point) + " size " +
                    optional(c.intrinsicSize, size) + " viewBox " +
                    optional(c.viewBox, [](const CGRect& r) { return point(r.origin) + " " + size(r.size); }) +
                    " resizable " + optNum(c.resizable.width) + " x " + optNum(c.resizable.height));
    if (!c.transform.empty()) line(depth + 1, "transform " + transformText(c.transform));
    filter(depth + 1, c.filterModifier);
    for (const Definition& d : c.definitions) definition(depth + 1, d);
    for (const Subview& child : c.childTypes) subview(depth + 1, child);
  }

  void subview(int depth, const Subview& child) {
    std::visit(Overloaded{
                   [&](const Subview::Path& p) {
                     frame(depth, "path", p.value);
                     line(depth + 1, "shape " + p.value.shapeType.typeName +
                                         (p.value.shapeType.transform.empty()
                                              ? std::string()
                                              : " transform " + transformText(p.value.shapeType.transform)));
                     for (const PathCommand& command : p.value.shapeType.path) line(depth + 2, commandText(command));
                     drawing(depth + 1, p.value.drawing);
                   },
                   [&](const Subview::Circle& c) {
                     frame(depth, "circle", c.value);
                     drawing(depth + 1, c.value.drawing);
                   },
                   [&](const Subview::Ellipse& e) {
                     frame(depth, "ellipse", e.value);
                     drawing(depth + 1, e.value.drawing);
                   },
                   [&](const Subview::Rectangle& r) {
                     frame(depth, "rectangle", r.value);
                     if (r.value.cornerRadius) line(depth + 1, "cornerRadius " + num(*r.value.cornerRadius));
                     drawing(depth + 1, r.value.drawing);
                   },
                   [&](const Subview::Text& t) {
                     line(depth, "text \"" + t.value.text + "\" at " + point(t.value.origin));
                     line(depth + 1, "font " + optional(t.value.font, [](const CSS::Font& f) {
                                       return f.description() + optional(f.fontSize(), [](const CSS::UnitLength& l) {
                                                return " size " + l.description();
                                              });
                                     }));
                     line(depth + 1, "paint " + paintText(t.value.paint));
                     if (!t.value.transform.empty()) line(depth + 1, "transform " + transformText(t.value.transform));
                   },
                   [&](const Subview::Group& g) { container(depth, "group", g.value); },
                   [&](const Subview::SVG& s) { container(depth, "svg", s.value); },
               },
               child.variant());
  }
};

}  // namespace

std::string dump(const ContainerViewType& root) {
  Writer writer;
  writer.container(0, "svg", root);
  return writer.text;
}

}  // namespace GoldenDump
