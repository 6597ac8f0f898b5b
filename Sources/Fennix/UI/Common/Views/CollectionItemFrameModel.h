// The state of a collection item's frame without a toolkit: its colours, what its layer shows
// after selection and highlight changes, its content inset and its intrinsic size.
#pragma once

#include <optional>
#include <string>

#include "Fennix/Foundation/Text/Color.h"
#include "Platform/Geometry.h"

/// How a collection view highlights an item.
enum class NSCollectionViewItemHighlightState : int {
  none = 0,
  forSelection = 1,
  forDeselection = 2,
  asDropTarget = 3,
};

namespace Fennix {

/// What the frame's layer shows.
struct FrameLayer {
  bool masksToBounds = true;
  double cornerRadius = 8;
  double borderWidth = 0;
  NSColor borderColor{0, 0, 0, 0};
  NSColor backgroundColor{0, 0, 0, 0};
};

class CollectionItemFrameModel {
 public:
  /// Defaults of a frame; with `withLayer` the layer is set up as for a frame made in code.
  explicit CollectionItemFrameModel(bool withLayer = true);

  const NSColor selectionColor;
  const NSColor highlightColor;
  const std::optional<NSColor> selectedBorderColor;
  const std::optional<double> selectedBorderWidth;

  // These take effect at the next selection change.
  double borderWidth = 0.5;
  NSColor borderColor{0.5, 0.5, 0.5, 1};
  NSColor bgColor{0.98, 0.98, 0.98, 1};
  bool useGradient = false;

  double inset() const { return inset_; }
  void setInset(double inset) { inset_ = inset; }

  bool isSelected() const { return isSelected_; }
  void setSelected(bool selected);
  /// Stores the selection without applying it, for a view whose own selection hook applies it.
  void storeSelected(bool selected) { isSelected_ = selected; }
  NSCollectionViewItemHighlightState highlightState() const { return highlightState_; }
  void setHighlightState(NSCollectionViewItemHighlightState state);

  /// Applies the selection to the layer's colours.
  void onSelectionChange();

  const std::optional<FrameLayer>& layer() const { return layer_; }
  /// How often the view was marked as needing display.
  int displayRequests() const { return displayRequests_; }

  /// "|-8.0-[self]-8.0-|" with the inset, for both directions.
  std::string contentViewVFL() const;
  /// (0, 0) without content or when the content has no size; else the content plus the inset on
  /// all sides.
  CGSize intrinsicContentSize(std::optional<CGSize> firstSubview) const;

 private:
  double inset_ = 8;
  bool isSelected_ = false;
  NSCollectionViewItemHighlightState highlightState_ = NSCollectionViewItemHighlightState::none;
  std::optional<FrameLayer> layer_;
  int displayRequests_ = 0;
};

}  // namespace Fennix
