// Affine transform expressions of the generated code.
#include "SVGConverter/Exporter/ExpressionWriters.h"

#include "SVGConverter/SwiftUIModel/Overloaded.h"

using SwiftUIModel::Overloaded;
using SwiftUIModel::TransformStep;
using Number = SVGSwiftUIExporter::Number;

namespace {

// The texts are written to a string for callers that take them as values, and straight into
// the output for the transforms of path arcs; both go through the same writers below.

template <typename Sink>
void writeTransform(Sink& out, const CGAffineTransform& transform, bool init) {
  if (transform.isIdentity()) {
    out.put(init ? ".identity" : "CGAffineTransform.identity");
    return;
  }
  out.put(init ? ".init" : "CGAffineTransform");
  out.put("(a: ");
  out.put(Number{transform.a});
  out.put(", b: ");
  out.put(Number{transform.b});
  out.put(", c: ");
  out.put(Number{transform.c});
  out.put(", d: ");
  out.put(Number{transform.d});
  out.put(", tx: ");
  out.put(Number{transform.tx});
  out.put(", ty: ");
  out.put(Number{transform.ty});
  out.put(")");
}

/// "CGAffineTransform(translationX: 1, y: 2)" and the like; ".init(" with `init`.
template <typename Sink>
void writeInitTransform(Sink& out, const TransformStep& step, bool init) {
  const std::string_view head = init ? ".init" : "CGAffineTransform";
  const auto pair = [&](std::string_view first, CGFloat a, CGFloat b) {
    out.put(head);
    out.put(first);
    out.put(Number{a});
    out.put(", y: ");
    out.put(Number{b});
    out.put(")");
  };
  std::visit(Overloaded{
                 [&](const TransformStep::Translate& t) { pair("(translationX: ", t.dx, t.dy); },
                 [&](const TransformStep::Rotate& r) {
                   out.put(head);
                   out.put("(rotationAngle: ");
                   out.put(Number{r.angle});
                   out.put(")");
                 },
                 [&](const TransformStep::Scale& s) { pair("(scaleX: ", s.x, s.y); },
                 [&](const TransformStep::Matrix& m) { writeTransform(out, m.value, init); },
             },
             step.variant());
}

/// ".translatedBy(x: 1, y: 2)" and the like.
template <typename Sink>
void writeModifyTransform(Sink& out, const TransformStep& step) {
  const auto pair = [&](std::string_view first, CGFloat a, CGFloat b) {
    out.put(first);
    out.put(Number{a});
    out.put(", y: ");
    out.put(Number{b});
    out.put(")");
  };
  std::visit(Overloaded{
                 [&](const TransformStep::Translate& t) { pair(".translatedBy(x: ", t.dx, t.dy); },
                 [&](const TransformStep::Rotate& r) {
                   out.put(".rotated(by: ");
                   out.put(Number{r.angle});
                   out.put(")");
                 },
                 [&](const TransformStep::Scale& s) { pair(".scaledBy(x: ", s.x, s.y); },
                 [&](const TransformStep::Matrix& m) {
                   out.put(".concatenating(");
                   writeTransform(out, m.value, false);
                   out.put(")");
                 },
             },
             step.variant());
}

/// The steps as one expression; further steps one level deeper on lines of their own, each
/// ending the line.
template <typename Sink>
void writeTransformChain(Sink& out, const std::vector<TransformStep>& steps, std::string_view deeper) {
  if (steps.empty()) return;
  writeInitTransform(out, steps.front(), false);
  if (steps.size() == 1) return;
  out.put("\n");
  for (std::size_t index = 1; index < steps.size(); ++index) {
    out.put(deeper);
    writeModifyTransform(out, steps[index]);
    out.put("\n");
  }
}

}  // namespace

std::string SVGSwiftUIExporter::initTransform(const TransformStep& step, bool init) {
  std::string expression;
  SVGConverter::StringSink text(*this, expression);
  writeInitTransform(text, step, init);
  return expression;
}

std::string SVGSwiftUIExporter::initTransform(const CGAffineTransform& transform, bool init) {
  std::string expression;
  SVGConverter::StringSink text(*this, expression);
  writeTransform(text, transform, init);
  return expression;
}

std::string SVGSwiftUIExporter::modifyTransform(const TransformStep& step) {
  std::string expression;
  SVGConverter::StringSink text(*this, expression);
  writeModifyTransform(text, step);
  return expression;
}

std::vector<std::string> SVGSwiftUIExporter::generateTransform(const std::vector<TransformStep>& steps,
                                                               bool init) {
  std::vector<std::string> texts;
  if (steps.empty()) return texts;
  texts.reserve(steps.size());
  texts.push_back(initTransform(steps.front(), init));
  for (std::size_t index = 1; index < steps.size(); ++index) texts.push_back(modifyTransform(steps[index]));
  return texts;
}

std::string SVGSwiftUIExporter::exportTransform(const std::vector<TransformStep>& steps) {
  std::string expression;
  SVGConverter::StringSink text(*this, expression);
  writeTransformChain(text, steps, prefix() + config().indentString);
  return expression;
}

void SVGSwiftUIExporter::put(const TransformArgument& argument) {
  if (argument.steps.empty()) return;
  put(", transform: ");
  if (argument.steps.size() == 1) {
    writeInitTransform(*this, argument.steps.front(), false);
    return;
  }
  writeTransformChain(*this, argument.steps, prefix_ + config_.indentString);
}
