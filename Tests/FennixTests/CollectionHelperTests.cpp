// Collection helpers, the sorted array, descriptions and empty-able values.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Fennix/Foundation/BaseTypes/Collections.h"
#include "Fennix/Foundation/BaseTypes/Emptiable.h"
#include "Fennix/Foundation/BaseTypes/SortedArray.h"
#include "Fennix/console/SmartDescription.h"

namespace {

struct Outer {
  struct Inner : SmartDescription {};
};

template <typename T>
struct Box : SmartDescription {
  int count = 2;
  void appendToDescription(std::string& description) const override {
    description += " count=" + std::to_string(count);
  }
};

struct Widget : QvWith<Widget> {
  int width = 0;
};

}  // namespace

TEST(CollectionHelpers, MoveItemTakesDropPositionsCountedBeforeTheMove) {
  const std::vector<std::string> start{"a", "b", "c", "d"};
  struct Case {
    std::size_t from, to;
    std::vector<std::string> expected;
    bool answer;
  };
  for (const Case& c : std::vector<Case>{{0, 2, {"b", "a", "c", "d"}, true},
                                         {0, 4, {"b", "c", "d", "a"}, true},
                                         {3, 0, {"d", "a", "b", "c"}, true},
                                         {0, 1, {"a", "b", "c", "d"}, true},
                                         {2, 2, {"a", "b", "c", "d"}, false}}) {
    std::vector<std::string> array = start;
    EXPECT_EQ(moveItem(array, c.from, c.to), c.answer) << c.from << "->" << c.to;
    EXPECT_EQ(array, c.expected) << c.from << "->" << c.to;
  }
}

TEST(CollectionHelpersDeathTest, PositionsOutOfRangeStop) {
  std::vector<int> array{1, 2};
  EXPECT_DEATH(moveItem(array, 2, 0), "Fatal error: moveItem\\(from: 2, to: 0\\)");
  EXPECT_DEATH(moveItem(array, 0, 3), "Fatal error: moveItem");
  EXPECT_DEATH(elements(array, Fennix::IndexSet{0, 5}), "Fatal error: index 5 out of range");
  EXPECT_DEATH((void)QvSortedArray<int>({1})[1], "Fatal error: QvSortedArray: index 1");
}

TEST(CollectionHelpers, SelectingAndRemoving) {
  EXPECT_TRUE(indices(std::vector<int>{}, [](int) { return true; }).empty());
  const std::vector<int> numbers{5, 6, 7, 8};
  const auto even = indices(numbers, [](int n) { return n % 2 == 0; });
  EXPECT_EQ(even, (Fennix::IndexSet{1, 3}));
  EXPECT_EQ(elements(numbers, even), (std::vector<int>{6, 8}));

  std::vector<int> all = numbers;
  int calls = 0;
  removeAll(all, [&calls](int) { return ++calls > 0; });
  EXPECT_TRUE(all.empty());
  EXPECT_EQ(calls, 4);
  std::vector<int> some = numbers;
  removeAll(some, [](int n) { return n == 6 || n == 8; });
  EXPECT_EQ(some, (std::vector<int>{5, 7}));
  std::vector<int> none = numbers;
  removeAll(none, [](int) { return false; });
  EXPECT_EQ(none, numbers);

  const auto a = std::make_shared<int>(1), b = std::make_shared<int>(1), c = std::make_shared<int>(2);
  std::vector<std::shared_ptr<int>> objects{a, b, c, a};
  EXPECT_EQ(indexSetForObjectsIdentical(objects, std::vector{c, a, std::make_shared<int>(1)}),
            (Fennix::IndexSet{0, 2}));
  removeIdentical(objects, std::vector{a});  // b holds an equal value but is another object
  EXPECT_EQ(objects, (std::vector{b, c}));
}

TEST(CollectionHelpers, GroupingAndSetChanges) {
  const std::vector<std::string> words{"apple", "avocado", "banana", ""};
  const auto groups = groupByFirst(words, [](const std::string& word) -> std::optional<char> {
    if (word.empty()) return std::nullopt;
    return word.front();
  });
  EXPECT_EQ(groups.size(), 2u);
  EXPECT_EQ(groups.at('a'), "apple");
  EXPECT_EQ(groups.at('b'), "banana");

  const auto result = changes(std::set<int>{1, 2, 3}, std::set<int>{2, 3, 4});
  EXPECT_EQ(result.added, (std::set<int>{4}));
  EXPECT_EQ(result.same, (std::set<int>{2, 3}));
  EXPECT_EQ(result.removed, (std::set<int>{1}));
}

TEST(CollectionHelpers, SortedArray) {
  QvSortedArray<int> sorted(std::vector<int>{3, 1, 2});
  EXPECT_EQ(sorted.storage(), (std::vector<int>{1, 2, 3}));
  sorted.insert(0);
  EXPECT_EQ(sorted.storage(), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(sorted.min(), 0);
  EXPECT_EQ(sorted.max(), 3);
  EXPECT_EQ(sorted[3], 3);
  QvSortedArray<int> empty(std::vector<int>{});
  EXPECT_EQ(empty.min(), std::nullopt);
  EXPECT_EQ(empty.max(), std::nullopt);
  QvSortedArray<std::string> byLength(std::vector<std::string>{"ccc", "a", "bb", "b"},
                                      [](const std::string& x, const std::string& y) { return x.size() > y.size(); });
  EXPECT_EQ(byLength.storage(), (std::vector<std::string>{"ccc", "bb", "a", "b"}));
}

TEST(Descriptions, PrefixOfNestedAndGenericTypes) {
  EXPECT_EQ(Outer::Inner().description(), "<Inner>");
  EXPECT_EQ(Box<Outer::Inner>().description(), "<Box<Inner> count=2>");
  EXPECT_EQ((Box<std::string>().descriptionPrefix()), "Box<String>");
  EXPECT_EQ(Fennix::typeName<std::vector<long>>(), "vector<Int, allocator<Int>>");
}

TEST(EmptyValues, DropEmptyAndWith) {
  std::vector<std::string> texts{"", "middle", ""};
  dropEmpty(texts);
  EXPECT_EQ(texts, (std::vector<std::string>{"middle"}));
  std::vector<std::optional<std::string>> optionals{std::nullopt, std::string(), std::string("x"), std::nullopt};
  dropEmpty(optionals);
  EXPECT_EQ(optionals, (std::vector<std::optional<std::string>>{std::string(), std::string("x")}));
  std::vector<std::vector<int>> lists{{1}, {2}};
  dropEmpty(lists);
  EXPECT_EQ(lists.size(), 2u);

  Widget widget;
  Widget& configured = widget.with([](Widget& w) { w.width = 40; });
  EXPECT_EQ(&configured, &widget);
  EXPECT_EQ(widget.width, 40);
  const auto shared = std::make_shared<Widget>();
  EXPECT_EQ(with(shared, [](Widget& w) { w.width = 7; }), shared);
  EXPECT_EQ(shared->width, 7);
}
