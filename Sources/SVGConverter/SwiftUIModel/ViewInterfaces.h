// What every generated view type offers, so that emitters can treat them alike.
#pragma once

#include <optional>
#include <string>

#include "Platform/Geometry.h"

namespace SwiftUIModel {

/// A view type with a name of its own in the generated code.
struct SUIViewType {
  std::string typeName;
};

/// A view type that may carry a view box.
struct SUIViewBoxableType {
  std::optional<CGRect> viewBox;
};

/// A view type that may be placed in its parent, in points.
struct SUIViewPositionableType {
  std::optional<CGPoint> origin;
};

/// A view type that may have a fixed size, in points.
struct SUIViewFrameableType {
  std::optional<CGSize> intrinsicSize;
};

/// The view types of shapes: sized, placed and named.
struct SUIShapeViewType : SUIViewFrameableType, SUIViewPositionableType, SUIViewType {};

/// A view seen through its size and position alone.
struct SUIFramableView : SUIViewFrameableType, SUIViewPositionableType {};

}  // namespace SwiftUIModel
