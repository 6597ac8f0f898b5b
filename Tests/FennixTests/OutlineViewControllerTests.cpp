// Outline and source-list answers over a fake outline: children, groups, selection, start-up.
#include <gtest/gtest.h>

#include <glib.h>

#include "DispatchTestSupport.h"
#include "Fennix/UI/Common/ViewControllers/OutlineViewController.h"
#include "LogTestSupport.h"

using Fennix::OutlineItem;

namespace {

struct Node {
  std::string name;
  std::vector<OutlineItem> children;
};
OutlineItem node(std::string name, std::vector<OutlineItem> children = {}) {
  return std::make_shared<Node>(Node{std::move(name), std::move(children)});
}
const Node& of(const OutlineItem& item) { return *static_cast<const Node*>(item.get()); }

/// A cell that records the values it shows; `takesValues` false stands for a view without one.
struct FakeCell : Fennix::TableCellView {
  std::string identifier;
  bool takesValues = true;
  std::vector<std::any> shown;
  explicit FakeCell(std::string id) : identifier(std::move(id)) {}
  std::string reuseIdentifier() const override { return identifier; }
  bool setObjectValue(const std::any& value) override {
    if (takesValues) shown.push_back(value);
    return takesValues;
  }
  double fittingHeight(double) override { return 0; }
};

struct FakeOutline : Fennix::OutlineViewHandle {
  std::vector<OutlineItem> roots, selected;
  std::vector<std::string> calls;
  void reloadData() override { calls.push_back("reload"); }
  bool hasParent(const OutlineItem& item) const override {
    return std::find(roots.begin(), roots.end(), item) == roots.end();
  }
  std::vector<OutlineItem> selectedItems() const override { return selected; }
  double rowHeight() const override { return 22; }
  void sizeLastColumnToFit() override { calls.push_back("fit"); }
  void collapseAll() override { calls.push_back("collapse"); }
  void expandAll(bool children) override { calls.push_back(children ? "expand all" : "expand top"); }
  void relayout() override { calls.push_back("relayout"); }
  Fennix::TableCell reusable;
  std::vector<std::string> made;
  Fennix::TableCell makeCell(const std::string& id) override {
    made.push_back("subtitle " + id);
    return std::make_shared<FakeCell>(id);
  }
  Fennix::TableCell makeSourceListHeaderLabel() override {
    made.push_back("header label");
    return std::make_shared<FakeCell>("Header");
  }
  Fennix::TableCell makeSourceListItemLabel() override {
    made.push_back("item label");
    return std::make_shared<FakeCell>("Content");
  }
  Fennix::TableCell dequeueCell(const std::string& id) override {
    return reusable && reusable->reuseIdentifier() == id ? std::exchange(reusable, nullptr) : nullptr;
  }
};

struct Tree : QvSourceListVC {
  std::optional<std::vector<OutlineItem>> roots;
  std::vector<std::string> selections;
  bool expandChildren = true;
  int didExpand = 0;
  std::optional<std::vector<OutlineItem>> children(const OutlineItem& item) override {
    if (!item) return roots;
    if (of(item).children.empty() && of(item).name == "leaf") return std::nullopt;
    return of(item).children;
  }
  void selectionChanged(const Fennix::OutlineSelection& selection) override {
    if (std::holds_alternative<std::monostate>(selection)) selections.push_back("none");
    if (auto* one = std::get_if<OutlineItem>(&selection)) selections.push_back(of(*one).name);
    if (auto* many = std::get_if<std::vector<OutlineItem>>(&selection)) {
      std::string names;
      for (const auto& item : *many) names += of(item).name;
      selections.push_back(names);
    }
  }
  bool shouldExpandChildrenOnStartup() override { return expandChildren; }
  void onStartupDidExpand() override { ++didExpand; }
};

struct OutlineTest : ::testing::Test {
  FakeOutline outline;
  std::shared_ptr<Tree> tree = NSViewController::make<Tree>();
  OutlineItem a = node("a"), b = node("b"), c = node("c"), empty = node("empty"), leaf = node("leaf");
  OutlineItem top = node("top", {a, b, c}), other = node("other", {empty, leaf});
  OutlineTest() {
    tree->roots = std::vector<OutlineItem>{top, other};
    outline.roots = *tree->roots;
    tree->attachOutlineView(&outline);
  }
};

TEST_F(OutlineTest, TheDataSourceAnswersFromTheChildren) {
  EXPECT_EQ(tree->numberOfChildren(nullptr), 2);
  EXPECT_EQ(tree->child(1, nullptr), other);
  EXPECT_EQ(tree->numberOfChildren(top), 3);
  EXPECT_TRUE(tree->isItemExpandable(top));
  EXPECT_FALSE(tree->isItemExpandable(empty));
  EXPECT_FALSE(tree->isItemExpandable(leaf));
  EXPECT_TRUE(tree->isGroupItem(top));
  EXPECT_FALSE(tree->isGroupItem(a));
  EXPECT_EQ(tree->cellIdentifier(top), "Header");
  EXPECT_EQ(tree->cellIdentifier(a), "Content");
  EXPECT_EQ(tree->heightOfRowByItem(a), 22);
  EXPECT_TRUE(tree->shouldSelectItem(a));
  // The tree changed without a reload: indexes beyond the children give no item.
  EXPECT_FALSE(tree->child(3, top));
  EXPECT_FALSE(tree->child(-1, top));
  EXPECT_FALSE(tree->child(0, leaf));

  tree->roots.reset();
  EXPECT_EQ(tree->numberOfChildren(nullptr), 0);
  EXPECT_FALSE(tree->child(0, nullptr));
}

TEST_F(OutlineTest, SelectionsOfOneSeveralAndNoItems) {
  outline.selected = {b};
  tree->outlineViewSelectionDidChange();
  outline.selected = {a, b, c};
  tree->outlineViewSelectionDidChange();
  outline.selected = {};
  tree->outlineViewSelectionDidChange();
  EXPECT_EQ(tree->selections, (std::vector<std::string>{"b", "abc", "none"}));
}

TEST_F(OutlineTest, CellsThatTakeNoValuesAreReported) {
  LogTestSupport::FileConsole files{LogLevel::trace};
  console::setDefaultConsole(files.console);
  FakeCell plain("Content");
  plain.takesValues = false;
  tree->configureCell(plain, a);
  console::setDefaultConsole(nullptr);
  EXPECT_NE((files.out.text() + files.err.text()).find("subclass needs to override: configure(cell:with:)"),
            std::string::npos);
  FakeCell cell("Content");
  tree->configureCell(cell, a);
  ASSERT_EQ(cell.shown.size(), 1u);
  EXPECT_EQ(std::any_cast<OutlineItem>(cell.shown[0]), a);
}

TEST_F(OutlineTest, SourceListRowViewsByLevelReusedWhenTheOutlineHasOne) {
  auto header = tree->viewForItem(top);
  auto content = tree->viewForItem(b);
  ASSERT_TRUE(header && content);
  EXPECT_EQ(header->reuseIdentifier(), "Header");
  EXPECT_EQ(content->reuseIdentifier(), "Content");
  EXPECT_EQ(std::any_cast<OutlineItem>(static_cast<FakeCell&>(*content).shown.at(0)), b);
  EXPECT_EQ(tree->makeCell("Other", outline)->reuseIdentifier(), "Other");
  EXPECT_EQ(outline.made, (std::vector<std::string>{"header label", "item label", "subtitle Other"}));

  auto kept = std::make_shared<FakeCell>("Content");
  outline.reusable = kept;
  EXPECT_EQ(tree->viewForItem(c), kept);
  EXPECT_EQ(outline.made.size(), 3u);
}

TEST_F(OutlineTest, StartUpCollapsesThenExpandsOnTheNextTurn) {
  EXPECT_EQ(outline.calls, std::vector<std::string>{"reload"});  // source lists are not configured
  tree->viewDidLoad();
  EXPECT_EQ(outline.calls, (std::vector<std::string>{"reload", "fit", "collapse", "relayout"}));
  EXPECT_EQ(tree->didExpand, 0);
  ASSERT_TRUE(FennixTestSupport::runMainLoopUntil([&] { return tree->didExpand == 1; }));
  EXPECT_EQ(outline.calls.back(), "expand all");

  tree->expandChildren = false;
  tree->viewDidLoad();
  ASSERT_TRUE(FennixTestSupport::runMainLoopUntil([&] { return tree->didExpand == 2; }));
  EXPECT_EQ(outline.calls.back(), "expand top");
}

}  // namespace
