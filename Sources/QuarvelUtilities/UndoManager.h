// The undo manager of one window: undo and redo stacks of groups of closures. What a closure
// registers while it is being undone lands on the redo stack (and while redoing, on the undo
// stack), so an action is redoable exactly when its undo registers its own inverse.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "Platform/Observable.h"

namespace QuarvelUtilities {

class UndoManager {
 public:
  using Action = std::function<void()>;

  /// Keeps at most `levelsOfUndo` groups on each stack (the oldest go first); 0 keeps all.
  explicit UndoManager(std::size_t levelsOfUndo = 500) : levelsOfUndo_(levelsOfUndo) {}
  UndoManager(const UndoManager&) = delete;
  UndoManager& operator=(const UndoManager&) = delete;

  /// Records `undo`. Outside undo and redo it joins the open group (or forms a group of its
  /// own) and clears the redo stack; while undoing it goes to the redo group, while redoing to
  /// the undo group being rebuilt. Ignored while registration is disabled.
  void registerUndo(Action undo);

  /// Groups the registrations until the matching `endUndoGrouping()`; groups nest, and only the
  /// outermost one becomes an entry. An empty group leaves no entry.
  void beginUndoGrouping();
  void endUndoGrouping();
  std::size_t groupingLevel() const { return openLevels_; }

  /// While disabled (calls nest), registrations are dropped: changes that are not the user's.
  void disableUndoRegistration() { ++disabled_; }
  void enableUndoRegistration() {
    if (disabled_ > 0) --disabled_;
  }
  bool isUndoRegistrationEnabled() const { return disabled_ == 0; }

  bool canUndo() const { return !undoStack_.empty() || (openLevels_ > 0 && !openGroup_.empty()); }
  bool canRedo() const { return !redoStack_.empty(); }
  bool isUndoing() const { return undoing_; }
  bool isRedoing() const { return redoing_; }

  /// Closes any open group, then runs the last group's actions, newest first. Does nothing when
  /// there is nothing to undo or an undo or redo is running.
  void undo();
  void redo();

  void removeAllActions();

  /// Fires after every change of what can be undone or redone.
  Subject<>& didChange() { return didChange_; }

 private:
  using Group = std::vector<Action>;
  void push(std::vector<Group>& stack, Group group);
  void run(std::vector<Group>& from, std::vector<Group>& to, bool& flag);

  std::size_t levelsOfUndo_;
  std::vector<Group> undoStack_;
  std::vector<Group> redoStack_;
  Group openGroup_;
  std::size_t openLevels_ = 0;
  std::size_t disabled_ = 0;
  bool undoing_ = false;
  bool redoing_ = false;
  Group collecting_;  // registrations of the running undo or redo
  Subject<> didChange_;
};

}  // namespace QuarvelUtilities
