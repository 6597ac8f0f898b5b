#include "Fennix/UI/Common/CVLayouts/GTK/CollectionViewGTK.h"

#include <cmath>

QvFlowLayoutCollectionView::QvFlowLayoutCollectionView(std::shared_ptr<NSCollectionViewFlowLayout> layout)
    : Glib::ObjectBase("QvFlowLayoutCollectionView"), layout_(std::move(layout)) {
  source_.view = this;
  if (!layout_) layout_ = std::make_shared<QvCVLeftFlowLayout>();
  layout_->setCollectionView(&source_);
  // Managed views are disposed of by the toolkit before their destructor runs.
  signal_destroy().connect([this] { removeChildren(); });
}

QvFlowLayoutCollectionView::~QvFlowLayoutCollectionView() {
  removeChildren();
  layout_->setCollectionView(nullptr);
}

void QvFlowLayoutCollectionView::setCollectionViewLayout(std::shared_ptr<NSCollectionViewFlowLayout> layout) {
  if (!layout || layout == layout_) return;
  layout_->setCollectionView(nullptr);
  layout_ = std::move(layout);
  layout_->setCollectionView(&source_);
  layout_->invalidateLayout();
  queue_resize();
}

void QvFlowLayoutCollectionView::removeChildren() {
  for (auto* item : items_) item->unparent();
  items_.clear();
  if (header_) header_->unparent();
  header_ = nullptr;
}

void QvFlowLayoutCollectionView::appendItem(Gtk::Widget& item) {
  item.set_parent(*this);
  items_.push_back(&item);
  layout_->invalidateLayout();
  queue_resize();
}

void QvFlowLayoutCollectionView::setHeader(Gtk::Widget* header) {
  if (header_) header_->unparent();
  header_ = header;
  if (header_) header_->set_parent(*this);
  queue_resize();
}

Gtk::SizeRequestMode QvFlowLayoutCollectionView::get_request_mode_vfunc() const { return Gtk::SizeRequestMode::HEIGHT_FOR_WIDTH; }

double QvFlowLayoutCollectionView::contentHeight(double width) const {
  if (width_ != width) {
    width_ = width;
    layout_->invalidateLayout();
  }
  return layout_->collectionViewContentSize().height;
}

void QvFlowLayoutCollectionView::measure_vfunc(Gtk::Orientation orientation, int for_size, int& minimum, int& natural,
                                     int& minimum_baseline, int& natural_baseline) const {
  minimum_baseline = natural_baseline = -1;
  if (orientation == Gtk::Orientation::HORIZONTAL) {
    // At least one item and the insets wide.
    const auto& flow = *layout_;
    minimum = static_cast<int>(std::ceil(flow.sectionInset.left + flow.sectionInset.right + flow.itemSize.width));
    natural = std::max(minimum, 300);
    return;
  }
  const double width = for_size > 0 ? for_size : 300;
  minimum = natural = static_cast<int>(std::ceil(contentHeight(width)));
}

void QvFlowLayoutCollectionView::size_allocate_vfunc(int width, int height, int baseline) {
  (void)height;
  (void)baseline;
  contentHeight(width);
  for (const auto& element : layout_->layoutAttributesForElements(CGRect(0, 0, width, 1e9))) {
    Gtk::Widget* widget = nullptr;
    if (element.representedElementCategory == NSCollectionElementCategory::item && element.indexPath &&
        element.indexPath->size() == 2 && (*element.indexPath)[1] < items_.size()) {
      widget = items_[(*element.indexPath)[1]];
    } else if (element.representedElementKind == NSCollectionElementKindSectionHeader) {
      widget = header_;
    }
    if (!widget) continue;
    int minimumWidth = 0, naturalWidth = 0, ignored = 0;
    widget->measure(Gtk::Orientation::HORIZONTAL, -1, minimumWidth, naturalWidth, ignored, ignored);
    (void)naturalWidth;
    Gtk::Allocation allocation(static_cast<int>(std::lround(element.frame.origin.x)),
                               static_cast<int>(std::lround(element.frame.origin.y)),
                               std::max(minimumWidth, static_cast<int>(std::lround(element.frame.size.width))),
                               static_cast<int>(std::lround(element.frame.size.height)));
    widget->size_allocate(allocation, -1);
  }
}
