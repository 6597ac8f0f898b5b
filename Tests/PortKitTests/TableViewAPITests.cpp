// The table names over our tables: rows of index paths, animation names and the cell's constraints.
#include <gtest/gtest.h>

#include "FennixTests/FakeLayoutHost.h"
#include "PortKit/Common/TableView.h"

namespace {

using FennixTest::texts;
using PortKit::ViewSetup;

TEST(TableViewAPITest, IndexPathsCollapseToRows) {
  EXPECT_EQ(PortKit::rowIndexes({{0, 3}, {1, 3}}), (std::set<std::size_t>{3}));
  EXPECT_EQ(PortKit::rowIndexes({{0, 5}, {0, 1}, {2, 1, 9}}), (std::set<std::size_t>{1, 5}));
  EXPECT_TRUE(PortKit::rowIndexes({}).empty());
}

TEST(TableViewAPIDeathTest, RowsOutOfRangeStop) {
  EXPECT_DEATH(PortKit::rowIndexes({{0, 1}, {4}}), "index path of 1 elements names no row");
  EXPECT_DEATH(PortKit::rowIndexes({{}}), "names no row");
  EXPECT_DEATH(PortKit::checkRows({0, 3}, 3, "deleteRows", false), "deleteRows: row 3 out of range of 3 rows");
  PortKit::checkRows({0, 2}, 3, "reloadRows", false);
  // Inserting two rows into three: positions up to 4 name rows of the grown table.
  PortKit::checkRows({3, 4}, 3, "insertRows", true);
  EXPECT_DEATH(PortKit::checkRows({5}, 3, "insertRows", true), "out of range");
}

TEST(TableViewAPITest, AnimationNamesAreProcessWide) {
  EXPECT_EQ(NSTableViewAnimationOptions::automatic, NSTableViewAnimationOptions::bottom);
  EXPECT_EQ(NSTableViewAnimationOptions::left.value, 48u);
  const auto saved = NSTableViewAnimationOptions::automatic;
  NSTableViewAnimationOptions::automatic = NSTableViewAnimationOptions::fade;
  EXPECT_EQ(NSTableViewAnimationOptions::automatic.value, 1u);
  NSTableViewAnimationOptions::automatic = saved;
}

class TableCellConstraintsTest : public ::testing::Test, public FennixTest::WithFakeLayoutHost {
 protected:
  Fennix::LayoutItem cell = host->view("cell");
  Fennix::LayoutItem text = host->view("text", cell);
  Fennix::LayoutItem detail = host->view("detail", cell);
  PortKit::TableCellConstraints constraints;
  int textReads = 0;
  PortKit::TableCellConstraints::LabelAccessor textLabel = [this] {
    ++textReads;
    return text;
  };
  PortKit::TableCellConstraints::LabelAccessor detailLabel = [this] { return detail; };
};

TEST_F(TableCellConstraintsTest, RebuiltOnlyWhenTheLabelsChange) {
  EXPECT_EQ(PortKit::requiredViewSetup(false, false), ViewSetup::none);
  EXPECT_FALSE(constraints.update(ViewSetup::none, cell, textLabel, detailLabel, {}));
  EXPECT_TRUE(constraints.installedConstraints().empty());

  EXPECT_TRUE(constraints.update(PortKit::requiredViewSetup(true, false), cell, textLabel, detailLabel, {}));
  EXPECT_EQ(texts(constraints.installedConstraints()),
            (std::vector<std::string>{"text.leading == cell.leading + 8", "text.trailing == cell.trailing - 8",
                                      "cell.height == text.height", "text.centerY == cell.centerY"}));
  const auto single = constraints.installedConstraints();
  EXPECT_FALSE(constraints.update(ViewSetup::label, cell, textLabel, detailLabel, {}));
  EXPECT_EQ(constraints.installedConstraints(), single);

  // A detail label alone still lays out both labels (and asks for the text label).
  textReads = 0;
  EXPECT_TRUE(constraints.update(PortKit::requiredViewSetup(false, true), cell, textLabel, detailLabel, {}));
  EXPECT_GT(textReads, 0);
  EXPECT_EQ(texts(constraints.installedConstraints()),
            (std::vector<std::string>{"text.leading == cell.leading + 8", "text.trailing == cell.trailing - 8",
                                      "detail.leading == cell.leading + 8", "detail.trailing == cell.trailing - 8",
                                      "text.top == cell.top + 8", "detail.top == text.bottom + 4",
                                      "cell.bottom == detail.bottom + 8"}));
  for (const auto& old : single) EXPECT_FALSE(old->isActive());
  EXPECT_EQ(host->active.size(), 7u);

  EXPECT_TRUE(constraints.update(ViewSetup::none, cell, textLabel, detailLabel, {}));
  EXPECT_TRUE(host->active.empty());
}

TEST_F(TableCellConstraintsTest, MissingLabelStops) {
  EXPECT_DEATH(constraints.update(ViewSetup::label, cell, [] { return Fennix::LayoutItem{}; }, detailLabel, {}),
               "did not specify base view");
}

}  // namespace
