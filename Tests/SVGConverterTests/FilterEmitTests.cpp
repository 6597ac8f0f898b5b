#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

#include "SwiftSyntaxSupport.h"

#include <gtest/gtest.h>

#include <numbers>

using CSS::Color;
using SwiftUIModel::FilterModifierType;
using SwiftUIModel::TransformStep;
using FilterGroup = SwiftUIModel::FilterModifierType::FilterGroup;
using Primitive = SwiftUIModel::FilterModifierType::Primitive;
using Operation = SwiftUIModel::FilterModifierType::Primitive::Operation;
using Mode = SVG::Filter::Primitive::Blend::Mode;

namespace {

Primitive effect(Operation operation, std::optional<CGSize> size = std::nullopt,
                 std::optional<CGPoint> origin = std::nullopt) {
  return {size, origin, std::move(operation)};
}

FilterModifierType filter(FilterGroup group, std::optional<CGSize> size = std::nullopt,
                          std::optional<CGPoint> origin = std::nullopt) {
  return {"Filter1", size, origin, std::move(group)};
}

const FilterModifierType blurOfSource =
    filter(FilterGroup::primitive(FilterGroup::source(), {effect(Operation::blur(2))}));

template <typename Write>
std::string emit(Write write, SVGSwiftUIExporter::Config config = {}) {
  SVGSwiftUIExporter exporter(config);
  write(exporter);
  return exporter.swift();
}

std::string group(const FilterGroup& filterGroup, SVGSwiftUIExporter::Config config = {}) {
  return emit([&](SVGSwiftUIExporter& out) { out.exportFilterGroup(filterGroup); }, config);
}

std::string reference(const std::optional<FilterModifierType>& used, std::vector<TransformStep> steps = {},
                      SVGSwiftUIExporter::Config config = {}) {
  return emit([&](SVGSwiftUIExporter& out) { out.exportFilterReference(used, steps); }, config);
}

}  // namespace

TEST(FilterEmit, InlinableFiltersAreWrittenOnTheirUsers) {
  SVGSwiftUIExporter::Config config;
  SVGSwiftUIExporter exporter(config);
  EXPECT_TRUE(exporter.inlineFilter(blurOfSource));
  EXPECT_FALSE(exporter.inlineFilter(filter(
      FilterGroup::primitive(FilterGroup::sourceAlpha(), {effect(Operation::blur(2))}))));
  // A frame, or the option switched off, keeps the struct.
  EXPECT_FALSE(exporter.inlineFilter(filter(blurOfSource.filterGroup, std::nullopt, CGPoint{0, 0})));
  config.inlineFiltersIfPossible = false;
  EXPECT_EQ(reference(filter(FilterGroup::source())), "");
  EXPECT_EQ(reference(filter(blurOfSource.filterGroup, CGSize{10, 10})), "  .modifier(Filter1())\n");
  EXPECT_EQ(reference(blurOfSource, {}, config), "  .modifier(Filter1())\n");

  // Groups that cannot be inlined say so instead of writing broken code.
  config.infoComments = false;
  auto inlined = [&](FilterGroup g) {
    return emit([&](SVGSwiftUIExporter& out) { out.exportInlineFilterModifier(filter(std::move(g))); }, config);
  };
  EXPECT_EQ(inlined(FilterGroup::merge({})), "// Cannot render `feMerge` inline\n");
  EXPECT_EQ(inlined(FilterGroup::sourceAlpha()), "// Cannot render `SourceAlpha` inline\n");
}

TEST(FilterEmit, BlendModeHangsUnderItsSecondInputAndChainsFollowTheBlock) {
  const auto merged = FilterGroup::merge({FilterGroup::source()});
  const auto chainOnBlend =
      FilterGroup::primitive(FilterGroup::blend(FilterGroup::source(), merged, Mode::colorDodge),
                             {effect(Operation::blur(3), CGSize{4, 5}, CGPoint{1, 2})});
  const std::string text = group(chainOnBlend);
  EXPECT_EQ(text,
            "ZStack(alignment: .topLeading) { // feBlend\n"
            "  content // SourceGraphic\n"
            "  ZStack(alignment: .topLeading) { // feMerge\n"
            "    content // SourceGraphic\n"
            "  }\n"
            "  .blendMode(.colorDodge)\n"
            "}\n"
            ".blur(radius: 3) // feGaussianBlur\n"
            ".frame(width: 4, height: 5)\n"
            ".offset(x: 1, y: 2)\n");
  EXPECT_TRUE(isValidSwift("let v = " + text));
}

TEST(FilterEmit, FilterModifiersComeBeforeTransformEffectsFromTheLastStep) {
  EXPECT_EQ(reference(blurOfSource, {TransformStep::translate(1, 2), TransformStep::scale(3, 4)}),
            "  .blur(radius: 2) // feGaussianBlur\n  .scaleEffect(x: 3, y: 4)\n  .offset(x: 1, y: 2)\n");
  EXPECT_EQ(reference(std::nullopt, {TransformStep::rotate(std::numbers::pi / 2)}),
            "  .rotationEffect(Angle(degrees: 90))\n");
}
