#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

#include "SwiftSyntaxSupport.h"

#include <gtest/gtest.h>

using SwiftUIModel::ContainerViewType;
using SwiftUIModel::Definition;
using SwiftUIModel::FilterModifierType;
using SwiftUIModel::Subview;
using SwiftUIModel::TransformStep;

namespace {

Subview circle(std::string name, std::optional<CGSize> size = std::nullopt,
               std::optional<CGPoint> origin = std::nullopt) {
  return Subview::circle({std::move(name), size, origin, {}});
}

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

TEST(ContainerEmit, BodiesByNumberOfChildren) {
  EXPECT_EQ(body(container("G")), "\nvar body: some View {\n  EmptyView() // Group w/o content\n}\n");

  // One child: the container's modifiers and frame hang one level under it.
  ContainerViewType one = container("G", {circle("A", CGSize{4, 5}, CGPoint{1, 0})}, CGSize{10, 20});
  one.transform = {TransformStep::scale(2, 2)};
  EXPECT_EQ(body(one),
            "\n"
            "var body: some View {\n"
            "  A()\n"
            "    .frame(width: 4, height: 5, alignment: .topLeading)\n"
            "    .padding(.leading, 1)\n"
            "    .scaleEffect(x: 2, y: 2)\n"
            "    .frame(width: 10, height: 20)\n"
            "}\n");

  // Two: a ZStack, with the modifiers at its level.
  ContainerViewType two = container("G", {circle("A"), text("t")}, CGSize{10, 20});
  two.transform = {TransformStep::translate(3, 4)};
  EXPECT_EQ(body(two),
            "\n"
            "var body: some View {\n"
            "  ZStack(alignment: .topLeading) {\n"
            "    A()\n"
            "    Text(\"t\")\n"
            "      .alignmentGuide(.bottom) { $0[.firstTextBaseline] }\n"
            "      .frame(width: .infinity, height: 10, alignment: .bottom)\n"
            "  }\n"
            "  .offset(x: 3, y: 4)\n"
            "  .frame(width: 10, height: 20)\n"
            "}\n");
}

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
  EXPECT_EQ(body(container("G", {circle("A")}, std::nullopt, CGRect(0, 0, 100, 50))),
            "\n"
            "var body: some View {\n"
            "  GeometryReader { proxy in\n"
            "    A()\n"
            "      .frame(width: Self.viewBox.width, height: Self.viewBox.height,\n"
            "             alignment: .topLeading)\n"
            "      .scaleEffect(x: proxy.size.width  / Self.viewBox.width,\n"
            "                   y: proxy.size.height / Self.viewBox.height)\n"
            "      .frame(width: proxy.size.width, height: proxy.size.height)\n"
            "  }\n"
            "}\n");

  // Resizable with a view box: the reader, and the fixed frame with paddings.
  const std::string resizableBox =
      body(container("G", {circle("A"), circle("B")}, CGSize{10, 20}, CGRect(1, 0, 100, 50), {10, 20}));
  EXPECT_TRUE(resizableBox.starts_with(
      "\nvar isResizable = false\nfunc resizable() -> Self { Self(isResizable: true) }\n\nvar body: "));
  EXPECT_NE(resizableBox.find("  }\n  else {\n    ZStack(alignment: .topLeading) {\n      A()\n      B()\n    }\n"
                              "    .padding(.leading, Self.viewBox.minX)\n    .padding(.top,     Self.viewBox.minY)\n"
                              "    .frame(width: 10, height: 20)\n  }\n}\n"),
            std::string::npos);

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

TEST(ContainerEmit, SvgStructMembersAndSectionComments) {
  ContainerViewType nested = container("Inner", {circle("Dot")}, CGSize{5, 5}, std::nullopt, {5, 5});
  ContainerViewType root = container("Root", {Subview::svg(nested), text("x")}, std::nullopt, CGRect(0, 0, 9, 9));
  root.definitions = {Definition::filterModifier(
      {"Blur1", std::nullopt, std::nullopt,
       FilterModifierType::FilterGroup::primitive(FilterModifierType::FilterGroup::source(),
                                                  {{std::nullopt, std::nullopt,
                                                    FilterModifierType::Primitive::Operation::blur(1)}})})};
  const std::string swift = svgType(root);
  EXPECT_TRUE(isValidSwift(swift));
  EXPECT_TRUE(swift.starts_with(
            "// SVG\n"
            "struct Root: View {\n"
            "\n"
            "  static let viewBox = CGRect(x: 0.0, y: 0.0, width: 9, height: 9)\n"
            "\n"
            "  // Modifiers and Statics\n"
            "\n"
            "  struct Blur1: "));
  EXPECT_NE(swift.find("  // Nested Groups and Shapes\n\n  // SVG\n  struct Inner: View {\n\n"
                       "    static let intrinsicSize = CGSize(width: 5, height: 5)\n"),
            std::string::npos);
  // The resizable nested svg: its members before its body, and ".resizable()" on its instance.
  EXPECT_NE(swift.find("    var isResizable = false\n    func resizable() -> Self { Self(isResizable: true) }\n\n"
                       "    var body: some View {\n"),
            std::string::npos);
  EXPECT_NE(swift.find("        Inner()\n          .resizable()\n"), std::string::npos);

  // Info comments off: no comment anywhere, every empty line kept.
  SVGSwiftUIExporter::Config quiet;
  quiet.infoComments = false;
  const std::string plain = svgType(root, quiet);
  EXPECT_EQ(plain.find("//"), std::string::npos);
  // Gone: two "// SVG" lines and three section comments with their empty lines.
  EXPECT_EQ(count(swift, "\n"), count(plain, "\n") + 8);

  // Custom or absent section comments; a filter that is only inlined leaves its empty line.
  SVGSwiftUIExporter::Config custom;
  custom.modifierSectionComment = std::nullopt;
  custom.nestedViewsSectionComment = "Parts";
  custom.modifiersForInlinableFilters = false;
  ContainerViewType onlyText = container("T", {text("a")});
  onlyText.definitions = root.definitions;
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

TEST(ContainerEmit, GroupStructAndChildDeclarations) {
  ContainerViewType group = container("G1", {circle("Dot", CGSize{2, 2}, CGPoint{1, 1}), text("t")});
  const std::string swift = emit([&](SVGSwiftUIExporter& out) { out.exportGroupViewType(group); });
  EXPECT_TRUE(isValidSwift(swift));
  EXPECT_TRUE(swift.starts_with("struct G1: View {\n  // Group\n\n  struct Dot: View"));
  // One declaration per shape child; none for text.
  EXPECT_EQ(count(swift, "struct "), 2u);

  // A group child in its parent: just its instance line.
  ContainerViewType parent = container("P", {Subview::group(group)});
  EXPECT_NE(body(parent).find("  G1()\n}\n"), std::string::npos);

  SwiftUIModel::RectangleViewType rounded("R", std::nullopt, std::nullopt, 4, {});
  SwiftUIModel::RectangleViewType plain("S", std::nullopt, std::nullopt, std::nullopt, {});
  const std::string rectangles = emit([&](SVGSwiftUIExporter& out) {
    out.exportChildTypes({Subview::rectangle(rounded), Subview::rectangle(plain)});
  });
  EXPECT_NE(rectangles.find("RoundedRectangle(cornerRadius: 4)"), std::string::npos);
  EXPECT_NE(rectangles.find("    Rectangle()\n"), std::string::npos);
}
