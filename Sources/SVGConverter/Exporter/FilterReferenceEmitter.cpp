// Filter references and transform effect modifiers of generated views.
#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

#include "SVGConverter/SwiftUIModel/Overloaded.h"

#include <numbers>

using SwiftUIModel::Overloaded;
using SwiftUIModel::TransformStep;

void SVGSwiftUIExporter::exportFilterReference(const std::optional<SwiftUIModel::FilterModifierType>& filter,
                                               const std::vector<TransformStep>& transforms, bool indent) {
  if (!filter && transforms.empty()) return;
  nest(indent, [&] {
    // A simple filter is written as plain modifiers; any other is used
    // through its view modifier type.
    if (filter) {
      if (inlineFilter(*filter)) {
        exportInlineFilterModifier(*filter);
      } else {
        writeln(".modifier(" + filter->typeName + "())");
      }
    }
    for (auto step = transforms.rbegin(); step != transforms.rend(); ++step) {
      std::visit(Overloaded{
                     [&](const TransformStep::Translate& t) {
                       writeln(".offset(x: " + string(t.dx) + ", y: " + string(t.dy) + ")");
                     },
                     [&](const TransformStep::Rotate& r) {
                       writeln(".rotationEffect(Angle(degrees: " + string(r.angle * 180 / std::numbers::pi) + "))");
                     },
                     [&](const TransformStep::Scale& s) {
                       writeln(".scaleEffect(x: " + string(s.x) + ", y: " + string(s.y) + ")");
                     },
                     [&](const TransformStep::Matrix&) {
                       writeln(".transformEffect(" + initTransform(*step, config().preferInitOverType) + ")");
                     },
                 },
                 step->variant());
    }
  });
}
