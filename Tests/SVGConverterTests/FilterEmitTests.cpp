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
  EXPECT_TRUE(exporter.inlineFilter(filter(FilterGroup::source())));
  EXPECT_FALSE(exporter.inlineFilter(filter(FilterGroup::sourceAlpha())));
  EXPECT_FALSE(exporter.inlineFilter(filter(FilterGroup::merge({FilterGroup::source()}))));
  EXPECT_FALSE(exporter.inlineFilter(filter(
      FilterGroup::primitive(FilterGroup::sourceAlpha(), {effect(Operation::blur(2))}))));
  // A frame, or the option switched off, keeps the struct.
  EXPECT_FALSE(exporter.inlineFilter(filter(blurOfSource.filterGroup, CGSize{10, 10})));
  EXPECT_FALSE(exporter.inlineFilter(filter(blurOfSource.filterGroup, std::nullopt, CGPoint{0, 0})));
  config.inlineFiltersIfPossible = false;
  EXPECT_FALSE(SVGSwiftUIExporter(config).inlineFilter(blurOfSource));

  EXPECT_EQ(reference(blurOfSource), "  .blur(radius: 2) // feGaussianBlur\n");
  EXPECT_EQ(reference(filter(FilterGroup::source())), "");
  EXPECT_EQ(reference(filter(blurOfSource.filterGroup, CGSize{10, 10})), "  .modifier(Filter1())\n");
  EXPECT_EQ(reference(blurOfSource, {}, config), "  .modifier(Filter1())\n");
}

// The plain blur struct and its absence without modifiers for inlinable
// filters are in the golden files.
TEST(FilterEmit, ViewModifierStruct) {
  auto modifier = [](const FilterModifierType& f, SVGSwiftUIExporter::Config config = {}) {
    return emit([&](SVGSwiftUIExporter& out) { out.exportFilterModifier(f); }, config);
  };
  // Not inlined, so it needs its struct whatever the other option says.
  SVGSwiftUIExporter::Config noInlining;
  noInlining.modifiersForInlinableFilters = false;
  noInlining.inlineFiltersIfPossible = false;
  EXPECT_TRUE(modifier(blurOfSource, noInlining).starts_with("struct Filter1: ViewModifier {\n"));

  // A framed filter: statics, and its frame and offset closing the body.
  EXPECT_EQ(modifier(filter(blurOfSource.filterGroup, CGSize{20, 10}, CGPoint{-5, 5})),
            "struct Filter1: ViewModifier {\n"
            "\n"
            "  static let intrinsicSize = CGSize(width: 20, height: 10)\n"
            "  static let origin        = CGPoint(x: -5, y: 5)\n"
            "\n"
            "  func body(content: Content) -> some View {\n"
            "    content // SourceGraphic\n"
            "      .blur(radius: 2) // feGaussianBlur\n"
            "    .frame(width: 20, height: 10)\n"
            "    .offset(x: -5, y: 5)\n"
            "  }\n"
            "}\n");
}

TEST(FilterEmit, BlendModeHangsUnderItsSecondInput) {
  const auto blurredAlpha = FilterGroup::primitive(FilterGroup::sourceAlpha(), {effect(Operation::blur(1))});
  EXPECT_EQ(group(FilterGroup::blend(FilterGroup::source(), blurredAlpha, Mode::multiply)),
            "ZStack(alignment: .topLeading) { // feBlend\n"
            "  content // SourceGraphic\n"
            "  Color.black.mask(content) // SourceAlpha\n"
            "    .blur(radius: 1) // feGaussianBlur\n"
            "    .blendMode(.multiply)\n"
            "}\n");
  // After a block it follows the closing brace, as a chain's effects do.
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

TEST(FilterEmit, ShadowForms) {
  auto shadow = [](Operation operation, SVGSwiftUIExporter::Config config = {}) {
    return emit([&](SVGSwiftUIExporter& out) { out.exportPrimitiveFilterModifiers({effect(std::move(operation))}); },
                config);
  };
  EXPECT_EQ(shadow(Operation::shadow(std::nullopt, std::nullopt, 4, std::nullopt)),
            ".shadow(radius: 4) // feDropShadow\n");
  EXPECT_EQ(shadow(Operation::shadow(std::nullopt, 0.5, 4, CGPoint{1, 2})),
            ".shadow(color: .init(.sRGBLinear, white: 0, opacity: 0.33), radius: 4, x: 1, y: 2) // feDropShadow\n");
  SVGSwiftUIExporter::Config typed;
  typed.preferInitOverType = false;
  typed.exportHexColorExtension = true;
  EXPECT_EQ(shadow(Operation::shadow(std::nullopt, std::nullopt, 4, CGPoint{1, 2}), typed),
            ".shadow(color: Color(.sRGBLinear, white: 0, opacity: 0.33), radius: 4, x: 1, y: 2) // feDropShadow\n");
  EXPECT_EQ(shadow(Operation::shadow(Color::rgb(1, 0, 0), 0.5, 2.5, std::nullopt), typed),
            ".shadow(color: Color(0xFF0000, opacity: 0.5), radius: 2.5) // feDropShadow\n");
}

TEST(FilterEmit, BlendModeTexts) {
  // Each mode read from its CSS keyword is written as its camel-case case name.
  for (const char* keyword : {"normal", "color-burn", "hard-light", "soft-light", "luminosity"}) {
    auto mode = Mode::fromRawValue(keyword);
    ASSERT_TRUE(mode);
    EXPECT_EQ(SVGSwiftUIExporter::stringForBlendMode(*mode), "." + std::string(mode->caseName()));
  }
  EXPECT_EQ(SVGSwiftUIExporter::stringForBlendMode(Mode::colorDodge), ".colorDodge");
}

TEST(FilterEmit, InlineFormsOfGroupsThatCannotBeInlined) {
  SVGSwiftUIExporter::Config quiet;
  quiet.infoComments = false;
  auto inlined = [&](FilterGroup g) {
    return emit([&](SVGSwiftUIExporter& out) { out.exportInlineFilterModifier(filter(std::move(g))); }, quiet);
  };
  EXPECT_EQ(inlined(FilterGroup::merge({})), "// Cannot render `feMerge` inline\n");
  EXPECT_EQ(inlined(FilterGroup::blend(FilterGroup::source(), FilterGroup::source(), Mode::screen)),
            "// Cannot render `feBlend` inline\n");
  EXPECT_EQ(inlined(FilterGroup::sourceAlpha()), "// Cannot render `SourceAlpha` inline\n");
  EXPECT_EQ(inlined(blurOfSource.filterGroup), ".blur(radius: 2)\n");
}

TEST(FilterEmit, TransformEffectsRunFromTheLastStep) {
  EXPECT_EQ(reference(std::nullopt), "");
  EXPECT_EQ(reference(std::nullopt, {TransformStep::translate(1, 2), TransformStep::scale(3, 4)}),
            "  .scaleEffect(x: 3, y: 4)\n  .offset(x: 1, y: 2)\n");
  EXPECT_EQ(reference(std::nullopt, {TransformStep::rotate(std::numbers::pi / 2)}),
            "  .rotationEffect(Angle(degrees: 90))\n");
  EXPECT_EQ(reference(std::nullopt, {TransformStep::matrix(CGAffineTransform())}),
            "  .transformEffect(.identity)\n");
  // A filter's modifiers come before the transform effects.
  EXPECT_EQ(reference(blurOfSource, {TransformStep::translate(1, 2)}),
            "  .blur(radius: 2) // feGaussianBlur\n  .offset(x: 1, y: 2)\n");
  EXPECT_EQ(emit([](SVGSwiftUIExporter& out) {
              out.exportFilterReference(std::nullopt, {TransformStep::scale(2, 2)}, false);
            }),
            ".scaleEffect(x: 2, y: 2)\n");
}
