// The view structs of svg elements and groups: statics, definitions, nested
// child types and a body that scales the view box and lists the children.
#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

#include "SVGConverter/SwiftUIModel/Overloaded.h"

#include <algorithm>
#include <span>
#include <type_traits>

using SwiftUIModel::ContainerViewType;
using SwiftUIModel::Overloaded;
using SwiftUIModel::Subview;

namespace {

using Children = std::span<const Subview>;

/// Most children listed side by side; more are wrapped in "Group" blocks.
constexpr std::size_t maximumChildrenPerLevel = 9;

void childInstance(SVGSwiftUIExporter& out, const Subview& child) {
  if (const auto* text = child.as<Subview::Text>()) {
    out.exportTextBuilder(text->value);
    return;
  }
  out.writeln(child.typeName() + "()");
  const ContainerViewType* container = nullptr;
  if (const auto* group = child.as<Subview::Group>()) container = &group->value;
  if (const auto* svg = child.as<Subview::SVG>()) container = &svg->value;
  out.nest([&] {
    if (container && container->isResizable()) out.writeln(".resizable()");
    out.exportPointFrame(child, !out.config().positionUsingPadding);
  });
}

/// The instances of the children, in "Group" blocks when there are many.
void childrenBuilder(SVGSwiftUIExporter& out, Children children) {
  const std::size_t count = children.size();
  if (count <= maximumChildrenPerLevel) {
    for (const Subview& child : children) childInstance(out, child);
    return;
  }
  // Up to 81 children in blocks of nine; beyond that ten or so blocks of
  // count / 9 children, each split again the same way.
  const std::size_t chunkSize = count <= maximumChildrenPerLevel * maximumChildrenPerLevel
                                    ? maximumChildrenPerLevel
                                    : count / maximumChildrenPerLevel;
  for (std::size_t start = 0; start < count; start += chunkSize) {
    const Children chunk = children.subspan(start, std::min(chunkSize, count - start));
    out.block("Group", [&] { childrenBuilder(out, chunk); });
  }
}

/// Writes the body of a container: one of the four layouts around the
/// children step.
class BodyWriter {
 public:
  BodyWriter(SVGSwiftUIExporter& exporter, const ContainerViewType& container)
      : out_(exporter), container_(container) {}

  void writeBody(Children children) {
    const bool vboxOffset =
        container_.viewBox && (container_.viewBox->minX() != 0 || container_.viewBox->minY() != 0);
    const bool resizable = container_.isResizable();
    if (container_.viewBox) {
      const auto viewBoxReader = [&] {
        out_.block("GeometryReader { proxy in", [&] { viewBoxGeoReader(vboxOffset, children); });
      };
      if (!resizable) {
        viewBoxReader();
        return;
      }
      out_.block("if isResizable", viewBoxReader);
      out_.block("else", [&] { fixFrameChildren(vboxOffset, children); });
    } else if (resizable) {
      out_.block("if isResizable", [&] {
        out_.block("GeometryReader { proxy in", [&] { intrinsicSizeGeoReader(children); });
      });
      out_.block("else", [&] { fixFrameChildren(false, children); });
    } else {
      const bool indent = childrenStepAndModifiers(children);
      if (container_.intrinsicSize) out_.nest(indent, [&] { out_.writeln(fixFrameLine(*container_.intrinsicSize)); });
    }
  }

 private:
  /// The children, then the container's filter and transform modifiers.
  /// Says whether the lines that follow go one level deeper (after a single
  /// line) or stay at the level of a "ZStack" block.
  bool childrenStepAndModifiers(Children children) {
    bool indent = true;
    if (children.size() == 1) {
      childrenBuilder(out_, children);
    } else if (children.size() > 1) {
      out_.block("ZStack(alignment: .topLeading)", [&] { childrenBuilder(out_, children); });
      indent = false;
    } else {
      out_.writelnWithInfoComment("EmptyView()", "Group w/o content");
    }
    out_.exportFilterReference(container_.filterModifier, container_.transform, indent);
    return indent;
  }

  void viewBoxPaddings() {
    out_.writeln(".padding(.leading, Self.viewBox.minX)");
    out_.writeln(".padding(.top,     Self.viewBox.minY)");
  }

  std::string fixFrameLine(CGSize size) {
    return ".frame(width: " + out_.string(size.width) + ", height: " + out_.string(size.height) + ")";
  }

  void viewBoxGeoReader(bool vboxOffset, Children children) {
    const bool indent = childrenStepAndModifiers(children);
    out_.nest(indent, [&] {
      out_.writeln(".frame(width: Self.viewBox.width, height: Self.viewBox.height,");
      out_.writeln("       alignment: .topLeading)");
      if (vboxOffset) viewBoxPaddings();
      out_.writeln(".scaleEffect(x: proxy.size.width  / Self.viewBox.width,");
      out_.writeln("             y: proxy.size.height / Self.viewBox.height)");
      out_.writeln(".frame(width: proxy.size.width, height: proxy.size.height)");
    });
  }

  void intrinsicSizeGeoReader(Children children) {
    const std::optional<CGFloat> dw = container_.resizable.width;
    const std::optional<CGFloat> dh = container_.resizable.height;
    const bool indent = childrenStepAndModifiers(children);
    out_.nest(indent, [&] {
      if (!dw && !dh) {
        out_.writeln(".frame(width: proxy.size.width, height: proxy.size.height,");
        out_.writeln("       alignment: .topLeading)");
        return;
      }
      const std::string width = dw ? out_.string(*dw) : "proxy.size.width";
      const std::string height = dh ? out_.string(*dh) : "proxy.size.height";
      const std::string scaleX = "proxy.size.width  / " + (dw ? out_.string(*dw) : "1.0");
      const std::string scaleY = "proxy.size.height / " + (dh ? out_.string(*dh) : "1.0");
      out_.writeln(".frame(width: " + width + ", height: " + height + ",");
      out_.writeln("       alignment: .topLeading)");
      out_.writeln(".scaleEffect(x: " + scaleX + ",");
      out_.writeln("             y: " + scaleY + ")");
      out_.writeln(".frame(width: proxy.size.width, height: proxy.size.height)");
    });
  }

  void fixFrameChildren(bool vboxOffset, Children children) {
    const bool indent = childrenStepAndModifiers(children);
    if (!container_.intrinsicSize) return;
    out_.nest(indent, [&] {
      if (vboxOffset) viewBoxPaddings();
      out_.writeln(fixFrameLine(*container_.intrinsicSize));
    });
  }

  SVGSwiftUIExporter& out_;
  const ContainerViewType& container_;
};

}  // namespace

namespace {

void releaseContainer(ContainerViewType& container) {
  std::vector<Subview>().swap(container.childTypes);
  std::vector<SwiftUIModel::Definition>().swap(container.definitions);
}

/// Frees what only the written type of a child needed. Its instance in the parent's body still
/// needs the name, size, position and resizing, and a text all of itself.
void releaseWrittenType(Subview& child) {
  std::visit(Overloaded{
                 [](Subview::Path& path) { std::vector<SwiftUIModel::PathCommand>().swap(path.value.shapeType.path); },
                 [](Subview::Group& group) { releaseContainer(group.value); },
                 [](Subview::SVG& svg) { releaseContainer(svg.value); },
                 [](auto&) {},
             },
             child.variant());
}

}  // namespace

template <typename Container>
void SVGSwiftUIExporter::writeSVGType(Container& svg) {
  writelnInfoComment("SVG");
  block("struct " + svg.typeName + ": View", [&] {
    const bool wroteSize = exportIntrinsicSize(std::nullopt, svg.intrinsicSize, true);
    if (!wroteSize && svg.viewBox) appendEmptyLine();
    exportViewBoxProperty(svg.viewBox);

    if (config().infoComments && !svg.definitions.empty() && config().modifierSectionComment) {
      appendEmptyLine();
      writelnInfoComment(*config().modifierSectionComment);
    }
    for (const SwiftUIModel::Definition& definition : svg.definitions) {
      appendEmptyLine();
      std::visit(Overloaded{
                     [&](const SwiftUIModel::Definition::LinearGradient& gradient) {
                       exportLinearGradientProperty(gradient.value);
                     },
                     [&](const SwiftUIModel::Definition::RadialGradient& gradient) {
                       exportRadialGradientProperty(gradient.value);
                     },
                     // Writes the whole struct, or nothing for a filter that is only ever inlined.
                     [&](const SwiftUIModel::Definition::FilterModifier& filter) {
                       exportFilterModifier(filter.value);
                     },
                 },
                 definition.variant());
    }

    if (config().infoComments && !svg.childTypes.empty() && config().nestedViewsSectionComment) {
      appendEmptyLine();
      writelnInfoComment(*config().nestedViewsSectionComment);
    }
    writeChildTypes(svg.childTypes);
    exportGroupBody(svg, svg.childTypes);
  });
}

template <typename Container>
void SVGSwiftUIExporter::writeGroupViewType(Container& group) {
  block("struct " + group.typeName + ": View", [&] {
    writelnInfoComment("Group");
    writeChildTypes(group.childTypes);
    exportGroupBody(group, group.childTypes);
  });
}

template <typename Children>
void SVGSwiftUIExporter::writeChildTypes(Children& children) {
  constexpr bool releasing = !std::is_const_v<Children>;
  // Containers are written as constant as the children are.
  using Group = std::conditional_t<releasing, Subview::Group, const Subview::Group>;
  using NestedSVG = std::conditional_t<releasing, Subview::SVG, const Subview::SVG>;
  for (auto& child : children) {
    if (child.template is<Subview::Text>()) continue;
    appendEmptyLine();
    std::visit(Overloaded{
                   [&](const Subview::Path& path) { exportPathViewType(path.value); },
                   [&](const Subview::Circle& circle) { exportCircleViewType(circle.value); },
                   [&](const Subview::Ellipse& ellipse) { exportEllipseViewType(ellipse.value); },
                   [&](const Subview::Rectangle& rectangle) { exportRectangleViewType(rectangle.value); },
                   [](const Subview::Text&) {},
                   [&](Group& group) { writeGroupViewType(group.value); },
                   [&](NestedSVG& svg) { writeSVGType(svg.value); },
               },
               child.variant());
    if constexpr (releasing) releaseWrittenType(child);
  }
}

void SVGSwiftUIExporter::exportSVGType(const ContainerViewType& svg) { writeSVGType(svg); }

void SVGSwiftUIExporter::exportSVGTypeReleasing(ContainerViewType& svg) { writeSVGType(svg); }

void SVGSwiftUIExporter::exportGroupViewType(const ContainerViewType& group) { writeGroupViewType(group); }

void SVGSwiftUIExporter::exportChildTypes(const std::vector<Subview>& children) { writeChildTypes(children); }

void SVGSwiftUIExporter::exportGroupBody(const ContainerViewType& container, const std::vector<Subview>& children) {
  if (container.isResizable()) {
    appendEmptyLine();
    writeln("var isResizable = false");
    writeln("func resizable() -> Self { Self(isResizable: true) }");
  }
  appendEmptyLine();
  block("var body: some View", [&] { BodyWriter(*this, container).writeBody(children); });
}

void SVGSwiftUIExporter::exportChildrenBuilder(const std::vector<Subview>& children) {
  childrenBuilder(*this, children);
}
