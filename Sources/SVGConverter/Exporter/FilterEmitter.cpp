// SVG filters as `ViewModifier` structs or as modifiers written inline on
// the views that use them, and the blend modes of merged images.
#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

#include "SVGConverter/SwiftUIModel/Overloaded.h"

#include <array>

using SwiftUIModel::FilterModifierType;
using SwiftUIModel::Overloaded;
using FilterGroup = SwiftUIModel::FilterModifierType::FilterGroup;
using Operation = SwiftUIModel::FilterModifierType::Primitive::Operation;

namespace {

/// The source itself, or a chain of effects whose input is the source.
bool isSourceOrChainOnSource(const FilterGroup& group) {
  if (group.is<FilterGroup::Source>()) return true;
  const auto* chain = group.as<FilterGroup::Primitives>();
  return chain && chain->input.is<FilterGroup::Source>();
}

}  // namespace

bool SVGSwiftUIExporter::inlineFilter(const FilterModifierType& filter) {
  return config().inlineFiltersIfPossible && !filter.intrinsicSize && !filter.origin &&
         isSourceOrChainOnSource(filter.filterGroup);
}

void SVGSwiftUIExporter::exportFilterModifier(const FilterModifierType& filter) {
  if (!config().modifiersForInlinableFilters && inlineFilter(filter)) return;
  block("struct " + filter.typeName + ": ViewModifier {", [&] {
    exportIntrinsicSize(filter.origin, filter.intrinsicSize, false);
    appendEmptyLine();
    block("func body(content: Content) -> some View", [&] {
      exportFilterGroup(filter.filterGroup);
      exportFrameOffsetModifiers(filter.intrinsicSize, filter.origin);
    });
  });
}

bool SVGSwiftUIExporter::exportFilterGroup(const FilterGroup& group) {
  return std::visit(
      Overloaded{
          [&](const FilterGroup::Source&) {
            writelnWithInfoComment("content", "SourceGraphic");
            return false;
          },
          [&](const FilterGroup::SourceAlpha&) {
            writelnWithInfoComment("Color.black.mask(content)", "SourceAlpha");
            return false;
          },
          [&](const FilterGroup::Merge& merge) {
            block("ZStack(alignment: .topLeading)", std::string("feMerge"), [&] {
              for (const FilterGroup& input : merge.groups) exportFilterGroup(input);
            });
            return true;
          },
          [&](const FilterGroup::Blend& blend) {
            block("ZStack(alignment: .topLeading)", std::string("feBlend"), [&] {
              exportFilterGroup(blend.input);
              const bool wroteBlock = exportFilterGroup(blend.input2);
              nest(!wroteBlock, [&] { writeln(".blendMode(" + stringForBlendMode(blend.mode) + ")"); });
            });
            return true;
          },
          [&](const FilterGroup::Primitives& chain) {
            const bool wroteBlock = exportFilterGroup(chain.input);
            nest(!wroteBlock, [&] { exportPrimitiveFilterModifiers(chain.primitives); });
            return wroteBlock;
          },
      },
      group.variant());
}

void SVGSwiftUIExporter::exportPrimitiveFilterModifiers(const std::vector<FilterModifierType::Primitive>& primitives) {
  for (const FilterModifierType::Primitive& primitive : primitives) {
    std::visit(Overloaded{
                   [&](const Operation::Blur& blur) {
                     writelnWithInfoComment(".blur(radius: " + string(blur.radius) + ")", "feGaussianBlur");
                   },
                   [&](const Operation::Offset& offset) {
                     writelnWithInfoComment(
                         ".offset(x: " + string(offset.offset.x) + ", y: " + string(offset.offset.y) + ")",
                         "feOffset");
                   },
                   [&](const Operation::Shadow& shadow) {
                     if (!shadow.color && !shadow.position) {
                       writelnWithInfoComment(".shadow(radius: " + string(shadow.radius) + ")", "feDropShadow");
                       return;
                     }
                     const bool init = config().preferInitOverType;
                     std::optional<std::string> color;
                     if (shadow.color) {
                       color = generateColor(shadow.color, shadow.opacity, init, config().exportHexColorExtension);
                     }
                     if (!color) {
                       color = init ? ".init(.sRGBLinear, white: 0, opacity: 0.33)"
                                    : "Color(.sRGBLinear, white: 0, opacity: 0.33)";
                     }
                     std::string line = ".shadow(color: " + *color + ", radius: " + string(shadow.radius);
                     if (shadow.position) {
                       line += ", x: " + string(shadow.position->x) + ", y: " + string(shadow.position->y);
                     }
                     writelnWithInfoComment(line + ")", "feDropShadow");
                   },
               },
               primitive.operation.variant());
    exportFrameOffsetModifiers(primitive.intrinsicSize, primitive.origin);
  }
}

void SVGSwiftUIExporter::exportFrameOffsetModifiers(std::optional<CGSize> size, std::optional<CGPoint> origin) {
  if (size) writeln(".frame(width: " + string(size->width) + ", height: " + string(size->height) + ")");
  if (origin) writeln(".offset(x: " + string(origin->x) + ", y: " + string(origin->y) + ")");
}

void SVGSwiftUIExporter::exportInlineFilterModifier(const FilterModifierType& filter) {
  exportInlineFilterGroup(filter.filterGroup);
  exportFrameOffsetModifiers(filter.intrinsicSize, filter.origin);
}

void SVGSwiftUIExporter::exportInlineFilterGroup(const FilterGroup& group) {
  std::visit(Overloaded{
                 [](const FilterGroup::Source&) {},
                 [&](const FilterGroup::Primitives& chain) {
                   // A chain on anything but the source is never inlined;
                   // should one get here, its input says why it cannot be.
                   if (chain.input.is<FilterGroup::Source>()) {
                     exportPrimitiveFilterModifiers(chain.primitives);
                   } else {
                     exportInlineFilterGroup(chain.input);
                   }
                 },
                 [&](const FilterGroup::Merge&) { writeln("// Cannot render `feMerge` inline"); },
                 [&](const FilterGroup::Blend&) { writeln("// Cannot render `feBlend` inline"); },
                 [&](const FilterGroup::SourceAlpha&) { writeln("// Cannot render `SourceAlpha` inline"); },
             },
             group.variant());
}

std::string SVGSwiftUIExporter::stringForBlendMode(SVG::Filter::Primitive::Blend::Mode mode) {
  using Mode = SVG::Filter::Primitive::Blend::Mode;
  static constexpr std::array<const char*, 16> texts{
      ".normal",     ".multiply",   ".screen", ".overlay",    ".darken",     ".lighten",
      ".difference", ".exclusion",  ".hue",    ".saturation", ".color",      ".luminosity",
      ".colorDodge", ".colorBurn",  ".hardLight", ".softLight"};
  static_assert(Mode::softLight == 15, "one text per blend mode, in case order");
  const auto index = static_cast<std::size_t>(static_cast<Mode::Value>(mode));
  // A value outside the enumeration (never made by the parser) blends normally.
  return index < texts.size() ? texts[index] : ".normal";
}
