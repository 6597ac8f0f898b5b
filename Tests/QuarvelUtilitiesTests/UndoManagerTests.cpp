// The window's undo manager: groups, redo made of what undo registers, and the stacks' bounds.
#include <gtest/gtest.h>

#include <string>

#include "QuarvelUtilities/UndoManager.h"

namespace {

using QuarvelUtilities::UndoManager;

// A text with undoable appends whose undo registers its redo.
struct Text {
  UndoManager& undo;
  std::string value;

  void set(std::string newValue) {
    std::string old = value;
    value = std::move(newValue);
    undo.registerUndo([this, old] { set(old); });
  }
};

TEST(UndoManager, UndoRedoRoundTripsAndNewEditsClearRedo) {
  UndoManager manager;
  Text text{manager, ""};
  int changes = 0;
  auto sub = manager.didChange().sink([&] { ++changes; });
  text.set("a");
  text.set("ab");
  EXPECT_TRUE(manager.canUndo());
  EXPECT_FALSE(manager.canRedo());
  manager.undo();
  EXPECT_EQ(text.value, "a");
  EXPECT_TRUE(manager.canRedo());
  manager.redo();
  EXPECT_EQ(text.value, "ab");
  manager.undo();
  manager.undo();
  EXPECT_EQ(text.value, "");
  EXPECT_FALSE(manager.canUndo());
  manager.undo();  // nothing left: no change
  EXPECT_EQ(text.value, "");
  manager.redo();
  EXPECT_EQ(text.value, "a");
  text.set("x");  // a new edit drops what could be redone
  EXPECT_FALSE(manager.canRedo());
  manager.undo();
  EXPECT_EQ(text.value, "a");
  EXPECT_GT(changes, 0);
}

TEST(UndoManager, UndoThatRegistersNothingLeavesNoRedo) {
  UndoManager manager;
  std::string swift = "edited";
  const std::string old = swift;
  swift = "generated";
  manager.registerUndo([&swift, old] { swift = old; });  // no registration in turn
  manager.undo();
  EXPECT_EQ(swift, "edited");
  EXPECT_FALSE(manager.canRedo());
  EXPECT_FALSE(manager.canUndo());
}

TEST(UndoManager, GroupsNestAndUndoAsOne) {
  UndoManager manager;
  Text text{manager, ""};
  manager.beginUndoGrouping();
  text.set("1");
  manager.beginUndoGrouping();
  text.set("12");
  manager.endUndoGrouping();
  text.set("123");
  EXPECT_EQ(manager.groupingLevel(), 1u);
  manager.endUndoGrouping();
  manager.endUndoGrouping();  // unbalanced end: ignored
  manager.beginUndoGrouping();
  manager.endUndoGrouping();  // empty group: no entry
  manager.undo();
  EXPECT_EQ(text.value, "");
  EXPECT_FALSE(manager.canUndo());
  manager.redo();
  EXPECT_EQ(text.value, "123");
  // An open group is closed by undo.
  manager.beginUndoGrouping();
  text.set("1234");
  manager.undo();
  EXPECT_EQ(text.value, "123");
  EXPECT_EQ(manager.groupingLevel(), 0u);
}

TEST(UndoManager, DisabledRegistrationAndBoundedStacks) {
  UndoManager manager(3);
  Text text{manager, ""};
  manager.disableUndoRegistration();
  manager.disableUndoRegistration();
  text.set("programmatic");
  manager.enableUndoRegistration();
  text.set("still programmatic");
  manager.enableUndoRegistration();
  EXPECT_FALSE(manager.canUndo());
  for (const char* value : {"1", "2", "3", "4", "5"}) text.set(value);
  int undone = 0;
  while (manager.canUndo()) {
    manager.undo();
    ++undone;
  }
  EXPECT_EQ(undone, 3);
  EXPECT_EQ(text.value, "2");
  // Undo inside an undo is refused rather than re-entered.
  UndoManager other;
  int runs = 0;
  other.registerUndo([&] {
    ++runs;
    other.undo();
  });
  other.registerUndo([&] { ++runs; });
  other.undo();
  other.undo();
  EXPECT_EQ(runs, 2);
}

}  // namespace
