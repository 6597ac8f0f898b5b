// The converter from a parsed drawing to the SwiftUI view model.
#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "SVGConverter/SwiftUIModel/SwiftUIModel.h"
#include "SVGConverter/Utilities/OutputLimit.h"
#include "SVGConverter/Utilities/IDPool.h"
#include "SVGConverter/Utilities/StringSet.h"
#include "SVGParser/SVG/SVG.h"

/// Converts one drawing into the root container of the SwiftUI view model.
/// An instance serves exactly one conversion: it walks the drawing with a
/// stack of inherited presentation attributes, draws unique type and property
/// names from its pools, and keeps one scope of definitions per `svg` element.
/// What it cannot convert it reports with a diagnostic line and leaves out.
class SVGSwiftUIQuarvel {
 public:
  /// How the code will be written, as far as its size goes: the width of one level of
  /// indentation and whether info comments are written.
  struct OutputLayout {
    std::size_t indentWidth = 0;
    bool infoComments = false;
  };
  /// Bounds the code the conversion leads to: every element converted, every gradient with its
  /// copy of the stops, and every filter, is counted at no more than the emitter surely writes
  /// for it when the code is laid out as `layout` says, whatever the other options; past `bytes`,
  /// conversion throws
  /// `SVGConverter::OutputLimitReached`, so that a drawing whose code would pass the limit stops
  /// before its whole view model is built. Zero (the default) means no limit.
  void setOutputLimit(std::size_t bytes, OutputLayout layout) {
    budget_ = SVGConverter::OutputBudget(bytes);
    layout_ = layout;
  }
  /// The same for code without indentation and info comments.
  void setOutputLimit(std::size_t bytes) { setOutputLimit(bytes, OutputLayout()); }
  /// The bytes of code counted so far (see `setOutputLimit`).
  std::size_t projectedOutputBytes() const { return budget_.used(); }
  /// The least code an element at `depth` (1 for the children of the root) leads to when laid
  /// out as `layout` says, leaving out its content and what it inherits: no more than its
  /// conversion counts, so that a drawing can be given up while it is still being read.
  static std::size_t leastCode(const SVG::GroupItem& element, std::size_t depth, OutputLayout layout);

  /// The frame of an element in points, each side optional.
  struct PointFrame {
    std::optional<CGFloat> x;
    std::optional<CGFloat> y;
    std::optional<CGFloat> w;
    std::optional<CGFloat> h;

    static PointFrame none() { return {}; }
    bool isEmpty() const { return !x && !y && !w && !h; }
    /// (w, h) when both are set.
    std::optional<CGSize> pointSize() const;
    /// (x, y) with a missing side as 0; nothing when both are missing.
    std::optional<CGPoint> pointOrigin() const;
  };

  /// A converted child element registered under its SVG id. The element
  /// view refers into the drawing being converted.
  struct RegisteredNode {
    std::string typeName;
    SVG::SVGElement node;
  };

  /// A converted definition with the SVG id it was declared under.
  struct ConvertedDefinition {
    std::string svgID;
    SwiftUIModel::Definition definition;
  };

  SVGSwiftUIQuarvel();

  /// Converts a whole drawing: a new converter, the default attributes pushed,
  /// then `shapeSVGNode`. A non-empty `forceRootID` names the root.
  static SwiftUIModel::ContainerViewType shape(const SVG::SVG& svg, const std::string& forceRootID);

  /// The bottom of every attribute stack: a black fill, nothing else.
  static const SVG::PresentationAttributes& defaultAttributes();

  /// Pushes `attributes` filled in from the current top; the element opacity
  /// multiplies with the one in force.
  void pushAttributes(const SVG::PresentationAttributes& attributes);
  void popAttributes();
  /// Effective presentation attributes of the elements being converted, innermost last.
  const std::vector<SVG::PresentationAttributes>& attributeStack() const { return attributeStack_; }

  /// Converts an `svg` element, the root or a nested one. A non-empty
  /// `forceID` becomes its type name, unchanged unless Swift would not accept it there, and is
  /// kept from the pool.
  SwiftUIModel::ContainerViewType shapeSVGNode(const SVG::SVG& svg, const std::string& forceID = "");

  SwiftUIModel::Text shapeTextNode(const SVG::Text& text);

  /// Converts every definition in order, one result per entry.
  std::vector<ConvertedDefinition> shapeDefinitions(const std::vector<SVG::DefinitionEntry>& definitions);
  SwiftUIModel::LinearGradientProperty shapeLinearGradient(const SVG::LinearGradient& gradient);
  SwiftUIModel::RadialGradientProperty shapeRadialGradient(const SVG::RadialGradient& gradient);
  SwiftUIModel::FilterModifierType shapeFilter(const SVG::Filter& filter);

  /// Converted child elements by their SVG id; the later of two with one id wins. Elements are
  /// recorded in order as they are converted and indexed by id only when one is looked up, so
  /// that converting costs one appended entry an element.
  class NodeRegistry {
   public:
    void insert_or_assign(std::string_view id, RegisteredNode node) {
      entries_.push_back({std::string(id), std::move(node)});
    }
    std::size_t count(std::string_view id) const { return index().count(id); }
    /// The node registered under `id`; throws std::out_of_range when there is none.
    const RegisteredNode& at(std::string_view id) const {
      std::optional<std::size_t> number = index().number(id);
      if (!number) throw std::out_of_range("no element with this id");
      return entries_[latest_[*number]].node;
    }
    /// The number of ids.
    std::size_t size() const { return index().size(); }

   private:
    struct Entry {
      std::string id;
      RegisteredNode node;
    };
    /// The ids, brought up to date with the entries.
    const StringSet& index() const {
      for (; indexed_ < entries_.size(); ++indexed_) {
        auto [number, added] = ids_.add(entries_[indexed_].id);
        if (added) {
          latest_.push_back(indexed_);
        } else {
          latest_[number] = indexed_;
        }
      }
      return ids_;
    }
    std::vector<Entry> entries_;
    mutable StringSet ids_;
    /// For each id by its number, its latest entry.
    mutable std::vector<std::size_t> latest_;
    mutable std::size_t indexed_ = 0;
  };
  NodeRegistry svgID2Node;

  IDPool linearGradientIDs{"linearGradient"};
  IDPool radialGradientIDs{"radialGradient"};
  IDPool filterIDs{"Filter"};

 private:
  /// A definition in scope: its qualified identifier and its conversion.
  struct ScopedDefinition {
    std::string id;
    /// The conversion in the definition list of the `svg` element being converted.
    const SwiftUIModel::Definition* definition;
  };
  using DefinitionScope = std::unordered_map<std::string, ScopedDefinition>;
  /// The definition list of one `svg` element, indexed by id on first use.
  struct SourceDefinitions {
    const std::vector<SVG::DefinitionEntry>* list;
    std::unordered_map<std::string_view, const SVG::Definition*> byID{};
    bool indexed = false;
  };
  /// The attributes a gradient has, its own or taken from its chain of templates: for each, that
  /// of the nearest gradient along the chain that has it; the geometry of a kind only from
  /// gradients of that kind. Absent where none has it: the defaults hold.
  struct GradientAttributes {
    const std::vector<SVG::GradientStop>* stops = nullptr;
    std::optional<SVG::GradientUnits> units{};
    const std::vector<SVG::Transform>* transform = nullptr;
    const CSS::UnitLength* x1 = nullptr;
    const CSS::UnitLength* x2 = nullptr;
    const CSS::UnitLength* y1 = nullptr;
    const CSS::UnitLength* y2 = nullptr;
    const CSS::UnitLength* r = nullptr;
    const CSS::UnitLength* cx = nullptr;
    const CSS::UnitLength* cy = nullptr;
    const CSS::UnitLength* fr = nullptr;
  };

  // Names
  std::string makeTypeID(const std::optional<std::string>& id, IDPool& pool);
  std::string makePropID(const std::optional<std::string>& id, IDPool& pool);
  /// A type (`type`) or property name from `pool` that no other name of the
  /// conversion has, except that it may equal `sharedWith`.
  std::string makeName(const std::optional<std::string>& id, IDPool& pool, bool type,
                       const std::string& sharedWith);

  // Children
  std::vector<SwiftUIModel::Subview> shapeChildren(const std::vector<SVG::GroupItem>& children);
  SwiftUIModel::ContainerViewType shapeGroupNode(const SVG::Group& group);
  SwiftUIModel::PathViewType shapePathNode(const SVG::Path& path);
  SwiftUIModel::PathViewType shapeLineNode(const SVG::Line& line);
  SwiftUIModel::PathViewType shapePolygonNode(const SVG::Polygon& polygon);
  SwiftUIModel::PathViewType shapePolylineNode(const SVG::Polyline& polyline);
  SwiftUIModel::CircleViewType shapeCircleNode(const SVG::Circle& circle);
  SwiftUIModel::EllipseViewType shapeEllipseNode(const SVG::Ellipse& ellipse);
  SwiftUIModel::RectangleViewType shapeRectNode(const SVG::Rect& rect);
  /// Name, frame and drawing of a circle, ellipse or rect, its attributes pushed meanwhile.
  struct FramedShape {
    std::string typeName;
    PointFrame frame;
    SwiftUIModel::ShapeDrawing drawing;
  };
  template <typename Element>
  FramedShape shapeFramedNode(const Element& element, IDPool& pool);
  /// A path view of an element's own path commands, its attributes pushed.
  SwiftUIModel::PathViewType makePathView(const SVG::CoreAttributes& core,
                                          std::vector<SwiftUIModel::PathCommand> commands);
  /// Stroke style, stroke, fill and filter of the element on top of the stack.
  SwiftUIModel::ShapeDrawing makeDrawing(bool withTransform);
  static std::vector<SwiftUIModel::TransformStep> mapTransforms(const std::vector<SVG::Transform>& transforms);

  // Lookups
  std::optional<SwiftUIModel::Paint> mapPaint(const std::optional<SVG::Paint>& paint,
                                              std::optional<CGFloat> opacity) const;
  const ScopedDefinition* scopedDefinition(const std::string& id) const;
  std::optional<std::string> definitionIdentifier(const std::string& id) const;
  const SwiftUIModel::Definition* definition(const std::string& id) const;
  std::optional<SwiftUIModel::FilterModifierType> lookupFilterModifier(
      const SVG::Inheritable<std::string>& filter) const;
  static PointFrame pointFrame(const SVG::Circle& circle);
  static PointFrame pointFrame(const SVG::Ellipse& ellipse);
  static PointFrame pointFrame(const SVG::Rect& rect);

  // Definitions
  std::vector<SwiftUIModel::GradientStop> shapeGradientStops(const std::vector<SVG::GradientStop>& stops) const;
  /// The least written for a gradient property named `propertyID` with `stops`.
  void chargeGradient(const std::string& propertyID, const std::vector<SwiftUIModel::GradientStop>& stops) const;
  /// The attributes of the gradient that `templateID` names, with those it takes from its own
  /// templates; none without one. Found once per gradient and conversion.
  const GradientAttributes& templateAttributes(const std::optional<std::string>& templateID);
  /// The definition of `id` in the drawing at `level` of the source definitions or the nearest
  /// enclosing one that has it, with the level where it was found.
  std::optional<std::pair<const SVG::Definition*, std::size_t>> sourceDefinition(const std::string& id,
                                                                                 std::size_t level);
  void pushSourceDefinitions(const std::vector<SVG::DefinitionEntry>& definitions);
  void popSourceDefinitions();
  static std::optional<SwiftUIModel::FilterModifierType::FilterGroup> buildFilterGroup(
      const std::vector<SVG::Filter::Primitive>& primitives);

  std::vector<SVG::PresentationAttributes> attributeStack_;
  IDPool groupIDs{"Group"};
  IDPool pathIDs{"path"};
  IDPool pathViewIDs{"PathView"};
  IDPool circleViewIDs{"Circle"};
  IDPool ellipseViewIDs{"Ellipse"};
  IDPool rectangleViewIDs{"Rectangle"};
  IDPool pathShapeIDs{"PathShape"};
  /// Every type and property name handed out by any pool, and the forced root name.
  StringSet takenNames_;
  // What the elements and the copies of shared definitions will write; see `setOutputLimit`.
  mutable SVGConverter::OutputBudget budget_;
  OutputLayout layout_;
  /// Nesting depth of the view types of the elements being converted: the root's children are
  /// declared inside the root's type, at depth 1.
  std::size_t typeDepth_ = 0;
  /// Counts `bytes` of text written on lines whose depths add up to `levels`.
  void chargeOutput(std::size_t bytes, std::size_t levels) const {
    budget_.charge(bytes + levels * layout_.indentWidth);
  }
  /// How many blocks (a stack, "Group" blocks) hold the instances of the children being converted.
  std::size_t blockDepth_ = 0;
  /// The least written for the instance of a child type in its parent's body.
  void chargeInstance(const std::string& typeName);
  /// The least written for a group or nested drawing named `typeName`: its struct, its body and
  /// its instance in the parent's body; its info comment stands in the struct (`inBody`) or
  /// before it.
  void chargeContainer(const std::string& typeName, std::string_view infoComment, bool inBody);
  void chargeEmptyContainer();
  /// The least written for the fill and stroke of a shape.
  void chargeDrawing(const SwiftUIModel::ShapeDrawing& drawing);
  /// The least written for a path view: the view, its shape type, each command and the instance.
  void chargePathView(const std::string& viewName, const std::string& shapeName,
                      const std::vector<SwiftUIModel::PathCommand>& commands);
  /// Origin of the last converted text.
  CGPoint lastTextPosition{0, 0};
  /// Coordinate size of each enclosing `svg` element, innermost last.
  std::vector<CGSize> svgPointSizeStack;
  /// The definitions each enclosing `svg` element declares, innermost last;
  /// a lookup goes from the innermost outwards, so inner ones shadow outer ones.
  std::vector<DefinitionScope> svgDefsStack;
  /// The SVG definitions of the enclosing `svg` elements, for gradient templates.
  std::vector<SourceDefinitions> sourceDefsStack_;
  /// Attributes of gradients with those of their templates, while the drawings declaring them are converted.
  std::unordered_map<const SVG::Definition*, GradientAttributes> templateAttributes_;
};
