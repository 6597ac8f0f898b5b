// Affine transform expressions of the generated code.
#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

#include "SVGConverter/SwiftUIModel/Overloaded.h"

using SwiftUIModel::Overloaded;
using SwiftUIModel::TransformStep;

std::string SVGSwiftUIExporter::initTransform(const TransformStep& step, bool init) {
  const std::string head = init ? ".init" : "CGAffineTransform";
  return std::visit(
      Overloaded{
          [&](const TransformStep::Translate& t) {
            return head + "(translationX: " + string(t.dx) + ", y: " + string(t.dy) + ")";
          },
          [&](const TransformStep::Rotate& r) { return head + "(rotationAngle: " + string(r.angle) + ")"; },
          [&](const TransformStep::Scale& s) {
            return head + "(scaleX: " + string(s.x) + ", y: " + string(s.y) + ")";
          },
          [&](const TransformStep::Matrix& m) { return initTransform(m.value, init); },
      },
      step.variant());
}

std::string SVGSwiftUIExporter::initTransform(const CGAffineTransform& transform, bool init) {
  if (transform.isIdentity()) return init ? ".identity" : "CGAffineTransform.identity";
  return (init ? ".init" : "CGAffineTransform") + std::string("(a: ") + string(transform.a) +
         ", b: " + string(transform.b) + ", c: " + string(transform.c) + ", d: " + string(transform.d) +
         ", tx: " + string(transform.tx) + ", ty: " + string(transform.ty) + ")";
}

std::string SVGSwiftUIExporter::modifyTransform(const TransformStep& step) {
  return std::visit(
      Overloaded{
          [&](const TransformStep::Translate& t) {
            return ".translatedBy(x: " + string(t.dx) + ", y: " + string(t.dy) + ")";
          },
          [&](const TransformStep::Rotate& r) { return ".rotated(by: " + string(r.angle) + ")"; },
          [&](const TransformStep::Scale& s) {
            return ".scaledBy(x: " + string(s.x) + ", y: " + string(s.y) + ")";
          },
          [&](const TransformStep::Matrix& m) { return ".concatenating(" + initTransform(m.value, false) + ")"; },
      },
      step.variant());
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
  const std::vector<std::string> texts = generateTransform(steps, false);
  if (texts.empty()) return "";
  std::string text = texts.front();
  if (texts.size() == 1) return text;
  text += '\n';
  const std::string deeper = prefix() + config().indentString;
  for (std::size_t index = 1; index < texts.size(); ++index) text += deeper + texts[index] + '\n';
  return text;
}
