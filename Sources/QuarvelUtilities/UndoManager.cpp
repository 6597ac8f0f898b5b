#include "QuarvelUtilities/UndoManager.h"

#include <utility>

namespace QuarvelUtilities {

void UndoManager::push(std::vector<Group>& stack, Group group) {
  if (group.empty()) return;
  stack.push_back(std::move(group));
  if (levelsOfUndo_ > 0 && stack.size() > levelsOfUndo_) stack.erase(stack.begin());
}

void UndoManager::registerUndo(Action undo) {
  if (!undo || disabled_ > 0) return;
  if (undoing_ || redoing_) {
    collecting_.push_back(std::move(undo));
    return;
  }
  redoStack_.clear();
  if (openLevels_ > 0) {
    openGroup_.push_back(std::move(undo));
  } else {
    push(undoStack_, Group{std::move(undo)});
  }
  didChange_.send();
}

void UndoManager::beginUndoGrouping() { ++openLevels_; }

void UndoManager::endUndoGrouping() {
  if (openLevels_ == 0) return;
  if (--openLevels_ == 0) {
    push(undoStack_, std::exchange(openGroup_, {}));
    didChange_.send();
  }
}

void UndoManager::run(std::vector<Group>& from, std::vector<Group>& to, bool& flag) {
  if (undoing_ || redoing_) return;
  if (openLevels_ > 0) {
    openLevels_ = 1;
    endUndoGrouping();
  }
  if (from.empty()) return;
  Group group = std::move(from.back());
  from.pop_back();
  flag = true;
  collecting_.clear();
  for (auto action = group.rbegin(); action != group.rend(); ++action) (*action)();
  flag = false;
  push(to, std::exchange(collecting_, {}));
  didChange_.send();
}

void UndoManager::undo() { run(undoStack_, redoStack_, undoing_); }

void UndoManager::redo() { run(redoStack_, undoStack_, redoing_); }

void UndoManager::removeAllActions() {
  undoStack_.clear();
  redoStack_.clear();
  openGroup_.clear();
  openLevels_ = 0;
  didChange_.send();
}

}  // namespace QuarvelUtilities
