#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

#include "SwiftSyntaxSupport.h"

#include <gtest/gtest.h>

using SwiftUIModel::ContainerViewType;
using SwiftUIModel::Subview;

namespace {

Subview circle(std::string name) { return Subview::circle({std::move(name), std::nullopt, std::nullopt, {}}); }

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
  EXPECT_NE(listed(10).find("}\nGroup {\n  C9()\n}\n"), std::string::npos);
  // 90: nine blocks of ten, each split into nine and one.
  const std::string ninety = listed(90);
  EXPECT_EQ(count(ninety, "\nGroup {"), 8u);
  EXPECT_EQ(count(ninety, "  Group {"), 18u);

  // Every child once, in order, whatever the chunking.
  const std::string many = listed(1000);
  std::size_t at = 0;
  for (int i = 0; i < 1000; ++i) {
    at = many.find(" C" + std::to_string(i) + "()\n", at);
    ASSERT_NE(at, std::string::npos) << i;
  }
  EXPECT_TRUE(isValidSwift("let v = ZStack {\n" + many + "}\n"));
}

TEST(ContainerEmit, OffsetViewBoxAndEmptyBody) {
  const std::string offsetBox = body(container("G", {circle("A")}, CGSize{10, 20}, CGRect(0, 5, 100, 50)));
  EXPECT_NE(offsetBox.find("      .padding(.leading, Self.viewBox.minX)\n      .padding(.top,     Self.viewBox.minY)\n"),
            std::string::npos);
  EXPECT_EQ(body(container("G", {circle("A")}, std::nullopt, CGRect(0, 0, 100, 50))).find(".padding"),
            std::string::npos);
  EXPECT_EQ(body(container("G")), "\nvar body: some View {\n  EmptyView() // Group w/o content\n}\n");
}
