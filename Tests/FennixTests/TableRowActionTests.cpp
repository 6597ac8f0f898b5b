// Row actions: made, configured in one expression, and run for a row.
#include <gtest/gtest.h>

#include "Fennix/UI/Common/Views/TableRowAction.h"

namespace {

TEST(TableRowActionTest, ConfiguredInOneExpressionAndRunForARow) {
  std::vector<long> rows;
  auto action = NSTableViewRowAction::make(NSTableViewRowAction::Style::destructive, "Delete",
                                           [&](NSTableViewRowAction& sender, long row) {
                                             EXPECT_EQ(sender.title(), "Remove");
                                             rows.push_back(row);
                                           });
  NSTableViewRowAction& configured = action->with([](NSTableViewRowAction& a) {
    a.setTitle("Remove");
    a.setBackgroundColor(NSColor::fromRGB(0xff0000));
  });
  EXPECT_EQ(&configured, action.get());
  EXPECT_EQ(action->style(), NSTableViewRowAction::Style::destructive);
  EXPECT_EQ(action->backgroundColor(), NSColor::fromRGB(0xff0000));
  action->perform(4);
  EXPECT_EQ(rows, std::vector<long>{4});

  auto quiet = NSTableViewRowAction::make(NSTableViewRowAction::Style::regular, "Nothing", nullptr);
  quiet->perform(0);  // no handler: nothing happens
  EXPECT_FALSE(quiet->backgroundColor());
}

}  // namespace
