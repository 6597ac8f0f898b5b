// Decisions of the table controllers over a fake table: drags, drops, reordering, values and
// double clicks.
#include <gtest/gtest.h>

#include <algorithm>

#include "FakeControllerViewKit.h"
#include "Fennix/UI/Common/ViewControllers/TableViewController.h"
#include "LogTestSupport.h"

using namespace Fennix;

namespace {

/// A cell that records the values it shows and fits a height of 10 per line of text.
struct FakeCell : TableCellView {
  std::string identifier;
  bool takesValues = true;
  std::vector<std::string> shown;
  double width = 0;
  explicit FakeCell(std::string id) : identifier(std::move(id)) {}
  std::string reuseIdentifier() const override { return identifier; }
  bool setObjectValue(const std::any& value) override {
    if (takesValues) shown.push_back(value.has_value() ? castAny<std::string>(value).value_or("?") : "none");
    return takesValues;
  }
  double fittingHeight(double atWidth) override {
    width = atWidth;
    return 10.0 * static_cast<double>(1 + std::count(shown.back().begin(), shown.back().end(), '\n'));
  }
};

struct FakeTable : TableViewHandle {
  std::vector<std::string> calls;
  long clicked = -1;
  double height = 24;
  std::vector<NSPasteboardType> registered;
  void reloadData() override { calls.push_back("reload"); }
  void moveRow(std::size_t from, std::size_t to) override {
    calls.push_back("move " + std::to_string(from) + "->" + std::to_string(to));
  }
  void insertRows(const std::set<std::size_t>& rows) override {
    calls.push_back("insert " + encodeIndexSet(rows));
  }
  long clickedRow() const override { return clicked; }
  double rowHeight() const override { return height; }
  double boundsWidth() const override { return 300; }
  void registerForDraggedTypes(const std::vector<NSPasteboardType>& types) override { registered = types; }
  std::map<std::string, std::vector<TableCell>> reusable;
  TableCell makeCell(const std::string& id) override {
    calls.push_back("make " + id);
    return std::make_shared<FakeCell>(id);
  }
  TableCell dequeueCell(const std::string& id) override {
    auto& kept = reusable[id];
    if (kept.empty()) return nullptr;
    TableCell cell = kept.back();
    kept.pop_back();
    return cell;
  }
};

/// Takes dropped text as new rows, one per line.
struct TextTable : QvTableViewController<std::string> {
  std::optional<std::vector<std::string>> createObjects(const DraggingInfo&, long row,
                                                        const std::map<NSPasteboardType, std::string>& pasteboard) override {
    auto text = pasteboard.find(QvStringPboardType());
    if (text == pasteboard.end()) return std::nullopt;
    std::vector<std::string> made;
    std::size_t start = 0;
    while (start <= text->second.size()) {
      auto end = text->second.find('\n', start);
      if (end == std::string::npos) end = text->second.size();
      made.push_back(text->second.substr(start, end - start));
      start = end + 1;
    }
    arrangedObjects.insert(arrangedObjects.begin() + row, made.begin(), made.end());
    return made;
  }
};

struct TableTest : ::testing::Test {
  LogTestSupport::FileConsole files{LogLevel::trace};
  FakeTable table;
  std::shared_ptr<TextTable> vc = NSViewController::make<TextTable>();
  TableTest() {
    console::setDefaultConsole(files.console);
    vc->arrangedObjects = {"a", "b", "c", "d"};
  }
  ~TableTest() override { console::setDefaultConsole(nullptr); }
  std::string log() { return files.out.text() + files.err.text(); }
  DraggingInfo own() const { return {DraggingInfo::Source::thisTable, {}}; }
  bool drag(long row, long to) {
    std::map<NSPasteboardType, std::string> pasteboard;
    if (!vc->writeRows({static_cast<std::size_t>(row)}, pasteboard)) return false;
    EXPECT_EQ(decodeIndexSet(pasteboard.at(QvIndexSetPboardType())), (std::set<std::size_t>{static_cast<std::size_t>(row)}));
    EXPECT_EQ(vc->validateDrop(own(), to, NSTableViewDropOperation::above), NSDragOperation::link);
    return vc->acceptDrop(own(), to, NSTableViewDropOperation::above);
  }
};

TEST_F(TableTest, ByDefaultOnlyTextIsRegisteredAndNoDragStarts) {
  vc->attachTableView(&table);
  EXPECT_EQ(table.registered, std::vector<NSPasteboardType>{QvStringPboardType()});
  std::map<NSPasteboardType, std::string> pasteboard;
  EXPECT_FALSE(vc->writeRows({0}, pasteboard));
  EXPECT_EQ(vc->validateDrop(own(), 1, NSTableViewDropOperation::above), NSDragOperation::none);
  EXPECT_FALSE(vc->acceptDrop(own(), 1, NSTableViewDropOperation::above));

  vc->allowRowReordering = true;
  vc->externalDropTypes = {"text/uri-list"};
  EXPECT_EQ(vc->supportedDropTypes(),
            (std::vector<NSPasteboardType>{QvIndexSetPboardType(), QvStringPboardType(), "text/uri-list"}));
  EXPECT_EQ(QvIndexSetPboardType(), "org.quarvel.fnx.indexset");
}

TEST_F(TableTest, ReorderingMovesTheElementAboveTheDropRow) {
  vc->allowRowReordering = true;
  vc->attachTableView(&table);
  EXPECT_TRUE(drag(0, 3));
  EXPECT_EQ(vc->arrangedObjects, (std::vector<std::string>{"b", "c", "a", "d"}));
  EXPECT_FALSE(vc->dragSourceIndex);
  EXPECT_TRUE(drag(3, 0));
  EXPECT_EQ(vc->arrangedObjects, (std::vector<std::string>{"d", "b", "c", "a"}));
  EXPECT_EQ(table.calls, (std::vector<std::string>{"reload", "reload"}));
  EXPECT_TRUE(drag(2, 2));  // onto itself: accepted, nothing changes
  EXPECT_EQ(vc->arrangedObjects, (std::vector<std::string>{"d", "b", "c", "a"}));
  EXPECT_EQ(table.calls.size(), 2u);
  // A drop without a drag that started here is refused.
  EXPECT_FALSE(vc->acceptDrop(own(), 1, NSTableViewDropOperation::above));
  // A drop position outside the list moves nothing.
  EXPECT_TRUE(drag(0, 9));
  EXPECT_EQ(vc->arrangedObjects, (std::vector<std::string>{"d", "b", "c", "a"}));
}

TEST_F(TableTest, AnimatedReorderMovesTheTableRowWhereTheElementWent) {
  vc->arrangedObjects = {"a", "b", "c"};
  vc->allowRowReordering = true;
  vc->animatedReorder = true;
  vc->attachTableView(&table);
  EXPECT_TRUE(drag(0, 3));
  EXPECT_EQ(vc->arrangedObjects, (std::vector<std::string>{"b", "c", "a"}));
  EXPECT_TRUE(drag(2, 0));
  EXPECT_EQ(table.calls, (std::vector<std::string>{"move 0->2", "move 2->0"}));
}

TEST_F(TableTest, DropsFromElsewhereAreCopiesMadeBySubclasses) {
  vc->attachTableView(&table);
  DraggingInfo other{DraggingInfo::Source::other, {}};
  EXPECT_EQ(vc->validateDrop(other, 1, NSTableViewDropOperation::above), NSDragOperation::copy);
  EXPECT_EQ(vc->validateDrop(other, 1, NSTableViewDropOperation::on), NSDragOperation::none);
  EXPECT_EQ(vc->validateDrop(DraggingInfo{}, 1, NSTableViewDropOperation::above), NSDragOperation::none);
  EXPECT_FALSE(vc->acceptDrop(other, 1, NSTableViewDropOperation::above));  // no text: refused

  auto plain = NSViewController::make<QvTableViewController<std::string>>();
  other.pasteboard[QvStringPboardType()] = "x";
  EXPECT_FALSE(plain->acceptDrop(other, 0, NSTableViewDropOperation::above));

  other.pasteboard[QvStringPboardType()] = "x\ny";
  vc->animatedReorder = true;
  EXPECT_TRUE(vc->acceptDrop(other, 1, NSTableViewDropOperation::above));
  EXPECT_EQ(vc->arrangedObjects, (std::vector<std::string>{"a", "x", "y", "b", "c", "d"}));
  EXPECT_EQ(table.calls, std::vector<std::string>{"insert 1,2"});
}

TEST_F(TableTest, ValuesOfAnotherTypeAndRowsOutsideTheListChangeNothing) {
  EXPECT_EQ(vc->numberOfRows(), 4);
  EXPECT_EQ(std::any_cast<std::string>(vc->objectValueFor(1)), "b");
  EXPECT_FALSE(vc->objectValueFor(4).has_value());
  EXPECT_FALSE(vc->objectValueFor(-1).has_value());
  vc->setObjectValueFor(std::any(42), 1);
  EXPECT_EQ(vc->arrangedObjects, (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_NE(log().find("refusing value of another type"), std::string::npos);
  vc->setObjectValueFor(std::any(std::string("B")), 1);
  vc->setObjectValueFor(std::any(std::string("Z")), 7);
  vc->setObjectValueFor(std::any(), 0);
  EXPECT_EQ(vc->arrangedObjects, (std::vector<std::string>{"B", "c", "d"}));
  EXPECT_TRUE(vc->shouldSelectRow(0));
}

TEST_F(TableTest, DoubleClicksCallBackForRowsOfTheList) {
  vc->attachTableView(&table);
  vc->onDoubleClick();
  EXPECT_NE(log().find("detected double-click, but no row callback active?"), std::string::npos);
  std::vector<std::string> clicked;
  vc->onRowActivation([&](const std::string& value) { clicked.push_back(value); });
  for (long row : {-1L, 4L, 2L, 0L}) {
    table.clicked = row;
    vc->onDoubleClick();
  }
  EXPECT_EQ(clicked, (std::vector<std::string>{"c", "a"}));
}

TEST_F(TableTest, RowsAreAtLeastTheTableRowHeight) {
  vc->attachTableView(&table);
  EXPECT_EQ(vc->heightForRow(10), 24);
  EXPECT_EQ(vc->heightForRow(24), 24);
  EXPECT_EQ(vc->heightForRow(40), 40);
}

TEST(TableIndexSets, DraggedRowsSurviveTheirDataAndBadDataIsRefused) {
  EXPECT_EQ(decodeIndexSet(encodeIndexSet({0, 3, 17})), (std::set<std::size_t>{0, 3, 17}));
  EXPECT_EQ(decodeIndexSet(""), std::set<std::size_t>{});
  for (const char* bad : {"1,", ",1", "1,,2", "x", "-1", "99999999999999999999999", "1 2"})
    EXPECT_FALSE(decodeIndexSet(bad)) << bad;
}

}  // namespace

namespace {

/// Rows of "#" text get their own cells; the hooks are recorded.
struct CellTable : TextTable {
  std::vector<std::string> hooks;
  std::string viewIDForRow(long row) const override {
    auto value = objectValue(row);
    return value && value->rfind('#', 0) == 0 ? "heading" : defaultCellID;
  }
  TableCell makeCell(const std::string& id, long row, TableViewHandle& table) override {
    hooks.push_back("make " + id + " " + std::to_string(row));
    return QvTableViewController<std::string>::makeCell(id, row, table);
  }
  void loadValue(const std::optional<std::string>& value, TableCellView& view) override {
    hooks.push_back("load " + value.value_or("none") + " into " + view.reuseIdentifier());
    QvTableViewController<std::string>::loadValue(value, view);
  }
};

}  // namespace

TEST(TableCellTest, RowsGetReusedOrNewCellsOfTheirIdentifierWithTheirValue) {
  FakeTable table;
  auto vc = NSViewController::make<CellTable>();
  vc->arrangedObjects = {"a", "# b"};
  vc->attachTableView(&table);

  auto first = vc->viewFor(table, 0);
  auto heading = vc->viewFor(table, 1);
  ASSERT_TRUE(first && heading);
  EXPECT_EQ(heading->reuseIdentifier(), "heading");
  EXPECT_EQ(static_cast<FakeCell&>(*heading).shown, std::vector<std::string>{"# b"});

  auto kept = std::make_shared<FakeCell>("cell");
  table.reusable["cell"] = {kept};
  EXPECT_EQ(vc->viewFor(table, 0), kept);
  EXPECT_EQ(kept->shown, std::vector<std::string>{"a"});
  EXPECT_EQ(vc->hooks, (std::vector<std::string>{"make cell 0", "load a into cell", "make heading 1",
                                                 "load # b into heading", "load a into cell"}));
  // Rows outside the list get a cell without a value.
  EXPECT_EQ(static_cast<FakeCell&>(*vc->viewFor(table, 5)).shown, std::vector<std::string>{"none"});
}

TEST(TableCellTest, ViewsThatTakeNoValueAreReportedAndLeftAlone) {
  LogTestSupport::FileConsole files{LogLevel::trace};
  console::setDefaultConsole(files.console);
  auto vc = NSViewController::make<TextTable>();
  vc->arrangedObjects = {"a"};
  FakeCell plain("cell");
  plain.takesValues = false;
  vc->loadValue(std::string("a"), plain);
  console::setDefaultConsole(nullptr);
  EXPECT_TRUE(plain.shown.empty());
  EXPECT_NE((files.out.text() + files.err.text()).find("don't know how to push value into cell: <cell cell> a"), std::string::npos)
      << files.out.text() << files.err.text();
}

TEST(TableCellTest, RowHeightsComeFromOneSizingCellPerIdentifier) {
  FakeTable table;
  auto vc = NSViewController::make<CellTable>();
  vc->arrangedObjects = {"a", "b\nc\nd", "# e", "# f\ng\nh\ni"};
  vc->attachTableView(&table);
  EXPECT_EQ(vc->heightOfRow(table, 0), 24);  // fits in 10, never below the row height
  EXPECT_EQ(vc->heightOfRow(table, 1), 30);
  EXPECT_EQ(vc->heightOfRow(table, 2), 24);
  EXPECT_EQ(vc->heightOfRow(table, 3), 40);
  ASSERT_EQ(vc->sizingViews.size(), 2u);
  auto& sizing = static_cast<FakeCell&>(*vc->sizingViews.at("cell"));
  EXPECT_EQ(sizing.width, 300);
  EXPECT_EQ(sizing.shown, (std::vector<std::string>{"a", "b\nc\nd"}));
  EXPECT_EQ(std::count(table.calls.begin(), table.calls.end(), "make cell"), 1);
  EXPECT_EQ(std::count(table.calls.begin(), table.calls.end(), "make heading"), 1);
}
