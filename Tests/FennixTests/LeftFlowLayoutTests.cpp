// Left-aligned flow layout geometry, without a display.
#include <gtest/gtest.h>

#include "Fennix/UI/Common/CVLayouts/CollectionViewLayout.h"

namespace {

struct FakeCollectionView : Fennix::CollectionViewSource {
  std::vector<long> items;
  CGFloat width = 300;
  long numberOfSections() const override { return static_cast<long>(items.size()); }
  long numberOfItems(long section) const override { return items.at(static_cast<std::size_t>(section)); }
  CGSize frameSize() const override { return {width, 500}; }
};

struct LeftFlowLayoutTest : ::testing::Test {
  FakeCollectionView view;
  QvCVLeftFlowLayout layout;
  void SetUp() override {
    layout.itemSize = {60, 40};
    layout.minimumInteritemSpacing = 10;
    layout.minimumLineSpacing = 5;
    layout.sectionInset = {8, 20, 8, 20};
    layout.headerReferenceSize = {0, 30};
    layout.footerReferenceSize = {0, 12};
  }
  std::vector<NSCollectionViewLayoutAttributes> all() const { return layout.layoutAttributesForElements(CGRect(0, 0, 1000, 100000)); }
  static std::vector<CGFloat> itemXs(const std::vector<NSCollectionViewLayoutAttributes>& elements) {
    std::vector<CGFloat> xs;
    for (const auto& e : elements)
      if (e.representedElementCategory == NSCollectionElementCategory::item) xs.push_back(e.frame.origin.x);
    return xs;
  }
};

TEST_F(LeftFlowLayoutTest, ItemsPackFromTheInsetAndWrappedItemsStartAtTheInset) {
  // 260 of width per line: three items of 60 fit (200 with spacing), the fourth wraps.
  view.items = {4, 3};
  layout.setCollectionView(&view);
  const auto justified = itemXs(static_cast<const NSCollectionViewFlowLayout&>(layout).NSCollectionViewFlowLayout::layoutAttributesForElements(CGRect(0, 0, 1000, 100000)));
  ASSERT_EQ(justified.size(), 7u);
  EXPECT_EQ(justified[2], 220);  // the flow layout spreads the line to its right edge

  const auto elements = all();
  EXPECT_EQ(itemXs(elements), (std::vector<CGFloat>{20, 90, 160, 20, 20, 90, 160}));
  // The wrapped item keeps the flow layout's line (y) and size.
  const auto wrapped = *layout.layoutAttributesForItem({0, 3});
  EXPECT_EQ(wrapped.frame.origin.y, 30 + 8 + 40 + 5);
  EXPECT_EQ(wrapped.frame.size, (CGSize{60, 40}));
}

TEST_F(LeftFlowLayoutTest, HeadersAndFootersKeepTheirFrames) {
  view.items = {2, 1};
  layout.setCollectionView(&view);
  auto plain = layout.NSCollectionViewFlowLayout::layoutAttributesForElements(CGRect(0, 0, 1000, 100000));
  auto left = all();
  ASSERT_EQ(plain.size(), left.size());
  int supplementary = 0;
  for (std::size_t i = 0; i < plain.size(); ++i) {
    if (plain[i].representedElementCategory != NSCollectionElementCategory::supplementaryView) continue;
    ++supplementary;
    EXPECT_EQ(plain[i], left[i]);
  }
  EXPECT_EQ(supplementary, 4);
}

TEST_F(LeftFlowLayoutTest, SingleItemsAgreeWithTheRectanglePassAndVaryingSizes) {
  view.items = {6};
  layout.sizeForItem = [](const IndexPath& path) { return CGSize{path[1] % 2 ? 30.0 : 90.0, 20}; };
  layout.setCollectionView(&view);
  for (const auto& element : all()) {
    if (element.representedElementCategory != NSCollectionElementCategory::item) continue;
    EXPECT_EQ(layout.layoutAttributesForItem(*element.indexPath), element) << (*element.indexPath)[1];
  }
  // A rectangle that starts below the first line resolves its first item through its predecessors.
  auto lower = layout.layoutAttributesForElements(CGRect(0, 40, 1000, 1000));
  ASSERT_FALSE(lower.empty());
  EXPECT_EQ(lower.front().frame.origin.x, 20);
  EXPECT_FALSE(layout.layoutAttributesForItem({0, 6}));
  EXPECT_FALSE(layout.layoutAttributesForItem({3, 0}));
  EXPECT_FALSE(layout.layoutAttributesForItem({0}));
  EXPECT_FALSE(layout.layoutAttributesForItem({0, 1, 2}));
}

TEST_F(LeftFlowLayoutTest, WithoutACollectionViewNothingIsAdjusted) {
  EXPECT_TRUE(all().empty());
  EXPECT_FALSE(layout.layoutAttributesForItem({0, 0}));
  NSCollectionViewLayoutAttributes old{IndexPath{0, 1}, NSCollectionElementCategory::item, {}, CGRect(99, 0, 10, 10)};
  EXPECT_FALSE(layout.qvLayoutAttributesForItem({0, 1}, old, nullptr));
  view.items = {1};
  layout.setCollectionView(&view);
  EXPECT_FALSE(layout.qvLayoutAttributesForItem({0, 1}, std::nullopt, nullptr));
}

TEST_F(LeftFlowLayoutTest, ALongSectionDoesNotRecurse) {
  view.items = {200000};
  layout.sectionInset = {};
  layout.setCollectionView(&view);
  // Four items per line of 300: the last one is the fourth of its line.
  const auto last = layout.layoutAttributesForItem({0, 199999});
  ASSERT_TRUE(last);
  EXPECT_EQ(last->frame.origin.x, 210);
}

}  // namespace
