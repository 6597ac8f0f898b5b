#include "Fennix/UI/Common/Views/CollectionItemFrameModel.h"

#include "Fennix/UI/Common/Views/FactoryLogic.h"

namespace Fennix {

CollectionItemFrameModel::CollectionItemFrameModel(bool withLayer)
    : selectionColor(NSColor::selectedControlColor()), highlightColor(NSColor::controlHighlightColor()) {
  if (!withLayer) return;
  FrameLayer layer;
  layer.borderWidth = borderWidth;
  layer.borderColor = borderColor;
  layer.backgroundColor = bgColor;
  layer_ = layer;
}

void CollectionItemFrameModel::setSelected(bool selected) {
  isSelected_ = selected;
  onSelectionChange();
}

void CollectionItemFrameModel::onSelectionChange() {
  if (!layer_) return;
  if (isSelected_) {
    layer_->backgroundColor = selectionColor;
    if (selectedBorderColor) layer_->borderColor = *selectedBorderColor;
    if (selectedBorderWidth) layer_->borderWidth = *selectedBorderWidth;
  } else {
    layer_->backgroundColor = bgColor;
    layer_->borderColor = borderColor;
    layer_->borderWidth = borderWidth;
  }
  ++displayRequests_;
}

void CollectionItemFrameModel::setHighlightState(NSCollectionViewItemHighlightState state) {
  highlightState_ = state;
  if (!layer_) return;
  if (state == NSCollectionViewItemHighlightState::none) {
    layer_->backgroundColor = isSelected_ ? selectionColor : bgColor;
  } else {
    layer_->backgroundColor = highlightColor;
  }
  ++displayRequests_;
}

std::string CollectionItemFrameModel::contentViewVFL() const {
  const std::string inset = doubleText(inset_);
  return "|-" + inset + "-[self]-" + inset + "-|";
}

CGSize CollectionItemFrameModel::intrinsicContentSize(std::optional<CGSize> firstSubview) const {
  if (!firstSubview) return CGSize{0, 0};
  if (firstSubview->width == 0 && firstSubview->height == 0) return CGSize{0, 0};
  return CGSize{firstSubview->width + 2 * inset_, firstSubview->height + 2 * inset_};
}

}  // namespace Fennix
