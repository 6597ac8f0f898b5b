// A collection view on the toolkit: item widgets of one section (and an optional header) placed by
// a flow layout, by default the left-aligned one. The widget's height follows the layout's content
// height for the width it is given.
#pragma once

#include <gtkmm/widget.h>

#include <memory>
#include <vector>

#include "Fennix/UI/Common/CVLayouts/CollectionViewLayout.h"

class QvFlowLayoutCollectionView : public Gtk::Widget {
 public:
  explicit QvFlowLayoutCollectionView(std::shared_ptr<NSCollectionViewFlowLayout> layout = std::make_shared<QvCVLeftFlowLayout>());
  ~QvFlowLayoutCollectionView() override;

  NSCollectionViewFlowLayout& collectionViewLayout() { return *layout_; }
  /// Lays the items out by another layout; none keeps the current one.
  void setCollectionViewLayout(std::shared_ptr<NSCollectionViewFlowLayout> layout);
  /// The layout as shared.
  const std::shared_ptr<NSCollectionViewFlowLayout>& sharedCollectionViewLayout() const { return layout_; }
  /// Adds an item widget (managed by the view) at the end.
  void appendItem(Gtk::Widget& item);
  /// The header of the section; its height is the layout's header height.
  void setHeader(Gtk::Widget* header);
  std::size_t numberOfItemsShown() const { return items_.size(); }
  /// The item widgets, in order.
  const std::vector<Gtk::Widget*>& items() const { return items_; }


 protected:
  Gtk::SizeRequestMode get_request_mode_vfunc() const override;
  void measure_vfunc(Gtk::Orientation orientation, int for_size, int& minimum, int& natural, int& minimum_baseline,
                     int& natural_baseline) const override;
  void size_allocate_vfunc(int width, int height, int baseline) override;

 private:
  double contentHeight(double width) const;
  void removeChildren();

  /// What the layout sees of this view: one section of the item widgets, the allocated width.
  struct Source : Fennix::CollectionViewSource {
    const QvFlowLayoutCollectionView* view = nullptr;
    long numberOfSections() const override { return 1; }
    long numberOfItems(long section) const override {
      return section == 0 ? static_cast<long>(view->items_.size()) : 0;
    }
    CGSize frameSize() const override { return {view->width_, 0}; }
  };

  Source source_;
  std::shared_ptr<NSCollectionViewFlowLayout> layout_;
  std::vector<Gtk::Widget*> items_;
  Gtk::Widget* header_ = nullptr;
  mutable double width_ = 0;
};
