// A line-breaking flow layout for collection views: items of a section run left to right and wrap
// into lines, between an optional header and footer. Lines are justified (the spare width of a
// line is spread between its items). Geometry only: the collection view is asked for its sections,
// its items and its width through `CollectionViewSource`, and y grows downwards.
#pragma once

#include <compare>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Fennix/UI/Common/IndexPath.h"
#include "Platform/EdgeInsets.h"


enum class NSCollectionElementCategory { item, supplementaryView, decorationView, interItemGap };

inline const std::string NSCollectionElementKindSectionHeader = "UICollectionElementKindSectionHeader";
inline const std::string NSCollectionElementKindSectionFooter = "UICollectionElementKindSectionFooter";

/// Where one element of a collection view goes.
struct NSCollectionViewLayoutAttributes {
  std::optional<IndexPath> indexPath;
  NSCollectionElementCategory representedElementCategory = NSCollectionElementCategory::item;
  /// The kind of a supplementary element (header or footer); empty for items.
  std::string representedElementKind;
  CGRect frame;

  /// Replaces the x origin, keeping y, width and height.
  NSCollectionViewLayoutAttributes& setFrame(CGFloat x) {
    frame.origin.x = x;
    return *this;
  }
  bool operator==(const NSCollectionViewLayoutAttributes& other) const {
    return indexPath == other.indexPath && representedElementCategory == other.representedElementCategory &&
           representedElementKind == other.representedElementKind && frame.origin == other.frame.origin &&
           frame.size == other.frame.size;
  }
};

namespace Fennix {

/// What a layout needs of its collection view.
class CollectionViewSource {
 public:
  virtual ~CollectionViewSource() = default;
  virtual long numberOfSections() const = 0;
  virtual long numberOfItems(long section) const = 0;
  virtual CGSize frameSize() const = 0;
};

/// The index path of an item of a collection view: section, then item.
inline IndexPath itemPath(long section, long item) {
  return {static_cast<std::size_t>(section), static_cast<std::size_t>(item)};
}

inline CGFloat rectMaxX(const CGRect& r) { return r.origin.x + r.size.width; }
inline CGFloat rectMaxY(const CGRect& r) { return r.origin.y + r.size.height; }
/// Rectangles of positive area that overlap.
inline bool rectsIntersect(const CGRect& a, const CGRect& b) {
  if (a.size.width <= 0 || a.size.height <= 0 || b.size.width <= 0 || b.size.height <= 0) return false;
  return a.origin.x < rectMaxX(b) && b.origin.x < rectMaxX(a) && a.origin.y < rectMaxY(b) && b.origin.y < rectMaxY(a);
}

}  // namespace Fennix

class NSCollectionViewFlowLayout {
 public:
  NSCollectionViewFlowLayout() = default;
  virtual ~NSCollectionViewFlowLayout() = default;

  CGSize itemSize{50, 50};
  CGFloat minimumInteritemSpacing = 10;
  CGFloat minimumLineSpacing = 10;
  NSEdgeInsets sectionInset;
  CGSize headerReferenceSize;
  CGSize footerReferenceSize;
  /// The size of one item when items differ (else `itemSize`).
  std::function<CGSize(const IndexPath&)> sizeForItem;

  /// The collection view laid out (not owned); none before the layout is attached to one.
  Fennix::CollectionViewSource* collectionView() const { return collectionView_; }
  void setCollectionView(Fennix::CollectionViewSource* view) {
    collectionView_ = view;
    invalidateLayout();
  }
  /// Forgets the computed geometry; the next question computes it again.
  void invalidateLayout() { prepared_.reset(); }

  /// The height of everything laid out.
  CGSize collectionViewContentSize() const;

  /// Every element whose frame meets `rect`, section by section: header, items, footer.
  virtual std::vector<NSCollectionViewLayoutAttributes> layoutAttributesForElements(const CGRect& rect) const;
  /// The attributes of one item; none for an item that does not exist.
  virtual std::optional<NSCollectionViewLayoutAttributes> layoutAttributesForItem(const IndexPath& indexPath) const;

 private:
  struct Prepared {
    std::vector<NSCollectionViewLayoutAttributes> elements;
    /// Per section, where its items start in `elements`, and how many.
    std::vector<std::pair<std::size_t, std::size_t>> items;
    CGFloat height = 0;
  };
  const Prepared& prepared() const;

  Fennix::CollectionViewSource* collectionView_ = nullptr;
  mutable std::optional<Prepared> prepared_;
};

/// A flow layout whose items sit flush left on every line, `minimumInteritemSpacing` apart; line
/// breaks, sizes and vertical positions stay the flow layout's.
class QvCVLeftFlowLayout : public NSCollectionViewFlowLayout {
 public:
  using Cache = std::map<IndexPath, NSCollectionViewLayoutAttributes>;

  std::vector<NSCollectionViewLayoutAttributes> layoutAttributesForElements(const CGRect& rect) const override;
  std::optional<NSCollectionViewLayoutAttributes> layoutAttributesForItem(const IndexPath& indexPath) const override;

  /// `oldAttributes` moved to the left edge of its line, or just right of its predecessor when that
  /// sits on the same line; none without a collection view or old attributes.
  virtual std::optional<NSCollectionViewLayoutAttributes> qvLayoutAttributesForItem(
      const IndexPath& indexPath, const std::optional<NSCollectionViewLayoutAttributes>& oldAttributes,
      const Cache* cache) const;
};
