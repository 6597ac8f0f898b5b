#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

#include "SwiftSyntaxSupport.h"

#include <gtest/gtest.h>

using SwiftUIModel::ContainerViewType;
using SwiftUIModel::Definition;
using SwiftUIModel::FilterModifierType;
using SwiftUIModel::Subview;

namespace {

Subview circle(std::string name) { return Subview::circle({std::move(name), std::nullopt, std::nullopt, {}}); }

Subview text(std::string value) { return Subview::text({{0, 10}, std::nullopt, std::nullopt, std::move(value)}); }

ContainerViewType container(std::string name, std::vector<Subview> children = {},
                            std::optional<CGSize> size = std::nullopt, std::optional<CGRect> viewBox = std::nullopt,
                            ContainerViewType::Resizable resizable = {}) {
  return ContainerViewType(std::move(name), std::nullopt, size, viewBox, resizable, std::move(children), {},
                           std::nullopt, {});
}

std::vector<Subview> circles(int count) {
  std::vector<Subview> children;
  for (int i = 0; i < count; ++i) children.push_back(circle("C" + std::to_string(i)));
  return children;
}

template <typename Write>
std::string emit(Write write, SVGSwiftUIExporter::Config config = {}) {
  SVGSwiftUIExporter exporter(config);
  write(exporter);
  return exporter.swift();
}

std::string svgType(const ContainerViewType& svg, SVGSwiftUIExporter::Config config = {}) {
  return emit([&](SVGSwiftUIExporter& out) { out.exportSVGType(svg); }, config);
}

std::string body(const ContainerViewType& group) {
  return emit([&](SVGSwiftUIExporter& out) { out.exportGroupBody(group, group.childTypes); });
}

std::size_t count(const std::string& text, const std::string& piece) {
  std::size_t n = 0;
  for (auto at = text.find(piece); at != std::string::npos; at = text.find(piece, at + piece.size())) ++n;
  return n;
}

}  // namespace

TEST(ContainerEmit, ManyChildrenAreChunkedIntoGroups) {
  auto listed = [](int n) {
    return emit([&](SVGSwiftUIExporter& out) { out.exportChildrenBuilder(circles(n)); });
  };
  EXPECT_EQ(count(listed(9), "Group {"), 0u);
  const std::string ten = listed(10);
  EXPECT_TRUE(ten.starts_with("Group {\n  C0()\n"));
  EXPECT_NE(ten.find("}\nGroup {\n  C9()\n}\n"), std::string::npos);
  EXPECT_EQ(count(listed(81), "Group {"), 9u);
  EXPECT_EQ(count(listed(82), "Group {"), 10u);
  // 90: nine blocks of ten, each split into nine and one.
  const std::string ninety = listed(90);
  EXPECT_EQ(count(ninety, "\nGroup {"), 8u);
  EXPECT_EQ(count(ninety, "  Group {"), 18u);
  // 100: nine chunks of eleven (nine and two) and one of one.
  EXPECT_EQ(count(listed(100), "Group {"), 28u);

  // Every child once, in order, whatever the chunking.
  const std::string many = listed(1000);
  std::size_t at = 0;
  for (int i = 0; i < 1000; ++i) {
    at = many.find(" C" + std::to_string(i) + "()\n", at);
    ASSERT_NE(at, std::string::npos) << i;
  }
  EXPECT_TRUE(isValidSwift("let v = ZStack {\n" + many + "}\n"));
}

TEST(ContainerEmit, ViewBoxAndResizingLayouts) {
  const std::string offsetBox =
      body(container("G", {circle("A")}, CGSize{10, 20}, CGRect(0, 5, 100, 50)));
  EXPECT_NE(offsetBox.find("      .padding(.leading, Self.viewBox.minX)\n      .padding(.top,     Self.viewBox.minY)\n"),
            std::string::npos);
  // Without offset or resizing: the reader alone, and no paddings.
  const std::string plainBox = body(container("G", {circle("A")}, std::nullopt, CGRect(0, 0, 100, 50)));
  EXPECT_TRUE(plainBox.starts_with("\nvar body: some View {\n  GeometryReader { proxy in\n    A()\n"
                                   "      .frame(width: Self.viewBox.width, height: Self.viewBox.height,\n"));
  EXPECT_EQ(plainBox.find(".padding"), std::string::npos);

  // Resizable without a view box, only the height known.
  EXPECT_EQ(body(container("G", {circle("A")}, std::nullopt, std::nullopt, {std::nullopt, 50})),
            "\n"
            "var isResizable = false\n"
            "func resizable() -> Self { Self(isResizable: true) }\n"
            "\n"
            "var body: some View {\n"
            "  if isResizable {\n"
            "    GeometryReader { proxy in\n"
            "      A()\n"
            "        .frame(width: proxy.size.width, height: 50,\n"
            "               alignment: .topLeading)\n"
            "        .scaleEffect(x: proxy.size.width  / 1.0,\n"
            "                     y: proxy.size.height / 50)\n"
            "        .frame(width: proxy.size.width, height: proxy.size.height)\n"
            "    }\n"
            "  }\n"
            "  else {\n"
            "    A()\n"
            "  }\n"
            "}\n");
}

// The nested svg, its resizing members, the group struct and the default
// section comments are in the golden files; these are the other cases.
TEST(ContainerEmit, SectionCommentsAndEmptyBodies) {
  EXPECT_EQ(body(container("G")), "\nvar body: some View {\n  EmptyView() // Group w/o content\n}\n");

  // A filter that is only inlined leaves its empty line; a container of texts
  // gets its section comment although no nested type follows.
  SVGSwiftUIExporter::Config custom;
  custom.modifierSectionComment = std::nullopt;
  custom.nestedViewsSectionComment = "Parts";
  custom.modifiersForInlinableFilters = false;
  ContainerViewType onlyText = container("T", {text("a")});
  onlyText.definitions = {Definition::filterModifier(
      {"Blur1", std::nullopt, std::nullopt,
       FilterModifierType::FilterGroup::primitive(FilterModifierType::FilterGroup::source(),
                                                  {{std::nullopt, std::nullopt,
                                                    FilterModifierType::Primitive::Operation::blur(1)}})})};
  EXPECT_EQ(svgType(onlyText, custom),
            "// SVG\n"
            "struct T: View {\n"
            "\n"
            "\n"
            "  // Parts\n"
            "\n"
            "  var body: some View {\n"
            "    Text(\"a\")\n"
            "      .alignmentGuide(.bottom) { $0[.firstTextBaseline] }\n"
            "      .frame(width: .infinity, height: 10, alignment: .bottom)\n"
            "  }\n"
            "}\n");
}
