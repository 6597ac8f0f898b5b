// The leaf views of the SwiftUI view model: shapes, their drawing, and text.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "SVGConverter/SwiftUIModel/FilterModifierType.h"
#include "SVGConverter/SwiftUIModel/Paint.h"
#include "SVGConverter/SwiftUIModel/PathCommand.h"
#include "SVGConverter/SwiftUIModel/ViewInterfaces.h"
#include "SVGParser/CSS/Font.h"
#include "Platform/Geometry.h"
#include "SVGParser/SVG/PresentationAttributes.h"

namespace SwiftUIModel {

struct StrokeStyle {
  /// Line width in points; nothing when not given.
  std::optional<CGFloat> lineWidth;
  CGLineCap lineCap = CGLineCap::butt;
  CGLineJoin lineJoin = CGLineJoin::miter;

  /// Line width 1.0, butt caps, miter joins.
  static const StrokeStyle& defaultStyle();
  /// The stroke style of an element's attributes; the miter limit is not carried.
  static StrokeStyle fromPresentation(const SVG::PresentationAttributes& presentation);

  /// ".strokeStyle(default)" or "<.strokeStyle: line-width=2.0 cap=round join=miter>".
  std::string description() const;
  bool operator==(const StrokeStyle&) const = default;
};

/// How one shape view is drawn.
struct ShapeDrawing {
  std::optional<StrokeStyle> strokeStyle;
  std::optional<Paint> stroke;
  std::optional<Paint> fill;
  std::optional<FilterModifierType> filterModifier;
  std::vector<TransformStep> transform;
  /// The fill covers only what an odd number of contours encloses, so that inner contours
  /// cut holes whichever way they run.
  bool evenOddFill = false;

  std::string description() const;
};

/// The `Shape` type that a path view draws.
struct ShapeType {
  /// Always false: generated shapes are plain shapes.
  bool insettable = false;
  std::string typeName;
  std::vector<PathCommand> path;
  std::vector<TransformStep> transform;

  ShapeType(std::string typeName, std::vector<PathCommand> path, std::vector<TransformStep> transform);

  std::string description() const;
};

struct PathViewType : SUIShapeViewType {
  ShapeType shapeType;
  ShapeDrawing drawing;

  PathViewType(std::string typeName, ShapeType shapeType, std::optional<CGSize> intrinsicSize,
               std::optional<CGPoint> origin, ShapeDrawing drawing);

  std::string description() const;
};

struct CircleViewType : SUIShapeViewType {
  ShapeDrawing drawing;

  CircleViewType(std::string typeName, std::optional<CGSize> intrinsicSize, std::optional<CGPoint> origin,
                 ShapeDrawing drawing);

  std::string description() const;
};

struct EllipseViewType : SUIShapeViewType {
  ShapeDrawing drawing;

  EllipseViewType(std::string typeName, std::optional<CGSize> intrinsicSize, std::optional<CGPoint> origin,
                  ShapeDrawing drawing);

  std::string description() const;
};

struct RectangleViewType : SUIShapeViewType {
  std::optional<CGFloat> cornerRadius;
  ShapeDrawing drawing;

  RectangleViewType(std::string typeName, std::optional<CGSize> intrinsicSize, std::optional<CGPoint> origin,
                    std::optional<CGFloat> cornerRadius, ShapeDrawing drawing);

  std::string description() const;
};

/// A text child; it has no view type of its own.
struct Text {
  /// x of the start and y of the baseline, in points.
  CGPoint origin;
  std::optional<CSS::Font> font;
  std::optional<Paint> paint;
  std::string text;
  /// The text's own transform, in document order.
  std::vector<TransformStep> transform = {};

  std::string description() const;
};

}  // namespace SwiftUIModel
