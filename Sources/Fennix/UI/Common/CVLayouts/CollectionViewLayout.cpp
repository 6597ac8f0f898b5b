#include "Fennix/UI/Common/CVLayouts/CollectionViewLayout.h"

#include <algorithm>

using Fennix::rectMaxX;
using Fennix::rectsIntersect;

const NSCollectionViewFlowLayout::Prepared& NSCollectionViewFlowLayout::prepared() const {
  if (prepared_) return *prepared_;
  Prepared result;
  if (collectionView_ == nullptr) return prepared_.emplace(std::move(result));
  const CGFloat width = std::max<CGFloat>(0, collectionView_->frameSize().width);
  const long sections = std::max(0L, collectionView_->numberOfSections());
  CGFloat y = 0;
  for (long section = 0; section < sections; ++section) {
    if (headerReferenceSize.height > 0) {
      result.elements.push_back({Fennix::itemPath(section, 0), NSCollectionElementCategory::supplementaryView,
                                 NSCollectionElementKindSectionHeader, CGRect(0, y, width, headerReferenceSize.height)});
      y += headerReferenceSize.height;
    }
    y += sectionInset.top;
    const long count = std::max(0L, collectionView_->numberOfItems(section));
    const std::size_t first = result.elements.size();
    const CGFloat left = sectionInset.left;
    const CGFloat available = std::max<CGFloat>(0, width - sectionInset.left - sectionInset.right);
    long item = 0;
    while (item < count) {
      // Fill one line: at least one item, then as many as fit with the minimum spacing.
      const std::size_t lineStart = result.elements.size();
      CGFloat used = 0, lineHeight = 0;
      while (item < count) {
        const IndexPath path = Fennix::itemPath(section, item);
        const CGSize size = sizeForItem ? sizeForItem(path) : itemSize;
        const CGFloat needed = (result.elements.size() == lineStart ? 0 : minimumInteritemSpacing) + size.width;
        if (result.elements.size() > lineStart && used + needed > available) break;
        result.elements.push_back({path, NSCollectionElementCategory::item, {}, CGRect(left + used + needed - size.width, y, size.width, size.height)});
        used += needed;
        lineHeight = std::max(lineHeight, size.height);
        ++item;
      }
      // Spread what is left of the line between the items; items are centred on the line.
      const std::size_t onLine = result.elements.size() - lineStart;
      const CGFloat spare = std::max<CGFloat>(0, available - used);
      for (std::size_t i = 0; i < onLine; ++i) {
        auto& frame = result.elements[lineStart + i].frame;
        if (onLine > 1) frame.origin.x += spare * static_cast<CGFloat>(i) / static_cast<CGFloat>(onLine - 1);
        frame.origin.y = y + (lineHeight - frame.size.height) / 2;
      }
      y += lineHeight;
      if (item < count) y += minimumLineSpacing;
    }
    result.items.emplace_back(first, result.elements.size() - first);
    y += sectionInset.bottom;
    if (footerReferenceSize.height > 0) {
      result.elements.push_back({Fennix::itemPath(section, 0), NSCollectionElementCategory::supplementaryView,
                                 NSCollectionElementKindSectionFooter, CGRect(0, y, width, footerReferenceSize.height)});
      y += footerReferenceSize.height;
    }
  }
  result.height = y;
  return prepared_.emplace(std::move(result));
}

CGSize NSCollectionViewFlowLayout::collectionViewContentSize() const {
  const CGFloat width = collectionView_ ? collectionView_->frameSize().width : 0;
  return {width, prepared().height};
}

std::vector<NSCollectionViewLayoutAttributes> NSCollectionViewFlowLayout::layoutAttributesForElements(
    const CGRect& rect) const {
  std::vector<NSCollectionViewLayoutAttributes> found;
  for (const auto& element : prepared().elements)
    if (rectsIntersect(element.frame, rect)) found.push_back(element);
  return found;
}

std::optional<NSCollectionViewLayoutAttributes> NSCollectionViewFlowLayout::layoutAttributesForItem(
    const IndexPath& indexPath) const {
  const auto& layout = prepared();
  if (indexPath.size() != 2 || indexPath[0] >= layout.items.size()) return std::nullopt;
  const auto [first, count] = layout.items[indexPath[0]];
  if (indexPath[1] >= count) return std::nullopt;
  return layout.elements[first + indexPath[1]];
}

// Left alignment.

std::optional<NSCollectionViewLayoutAttributes> QvCVLeftFlowLayout::qvLayoutAttributesForItem(
    const IndexPath& indexPath, const std::optional<NSCollectionViewLayoutAttributes>& oldAttributes,
    const Cache* cache) const {
  if (collectionView() == nullptr || !oldAttributes) return std::nullopt;
  NSCollectionViewLayoutAttributes copy = *oldAttributes;
  const NSEdgeInsets insets = sectionInset;
  if (indexPath.size() != 2) return std::nullopt;
  if (indexPath[1] == 0) return copy.setFrame(insets.left);

  const IndexPath previousPath{indexPath[0], indexPath[1] - 1};
  std::optional<NSCollectionViewLayoutAttributes> previous;
  if (cache) {
    if (auto hit = cache->find(previousPath); hit != cache->end()) previous = hit->second;
  }
  if (!previous) previous = layoutAttributesForItem(previousPath);
  if (!previous) return copy.setFrame(insets.left);

  const CGRect strip(insets.left, oldAttributes->frame.origin.y,
                     collectionView()->frameSize().width - insets.left - insets.right,
                     oldAttributes->frame.size.height);
  const CGFloat x = rectsIntersect(strip, previous->frame) ? rectMaxX(previous->frame) + minimumInteritemSpacing
                                                           : insets.left;
  return copy.setFrame(x);
}

std::vector<NSCollectionViewLayoutAttributes> QvCVLeftFlowLayout::layoutAttributesForElements(const CGRect& rect) const {
  auto attributes = NSCollectionViewFlowLayout::layoutAttributesForElements(rect);
  Cache cache;
  for (auto& element : attributes) {
    if (element.representedElementCategory != NSCollectionElementCategory::item || !element.indexPath) continue;
    if (auto adjusted = qvLayoutAttributesForItem(*element.indexPath, element, &cache)) {
      element = *adjusted;
      cache[*element.indexPath] = *adjusted;
    }
  }
  return attributes;
}

std::optional<NSCollectionViewLayoutAttributes> QvCVLeftFlowLayout::layoutAttributesForItem(
    const IndexPath& indexPath) const {
  // Each item depends on its predecessor, back to the start of the section. Walk forwards from
  // there with a cache rather than asking recursively, so long sections cannot exhaust the stack.
  auto target = NSCollectionViewFlowLayout::layoutAttributesForItem(indexPath);
  if (!target || collectionView() == nullptr) return std::nullopt;
  Cache cache;
  for (std::size_t item = 0; item < indexPath[1]; ++item) {
    const IndexPath path{indexPath[0], item};
    auto adjusted = qvLayoutAttributesForItem(path, NSCollectionViewFlowLayout::layoutAttributesForItem(path), &cache);
    if (adjusted) cache[path] = *adjusted;
  }
  return qvLayoutAttributesForItem(indexPath, target, &cache);
}
