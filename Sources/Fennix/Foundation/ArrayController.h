// The list behind a table or list view: `QvArrayController` keeps an array, offers an arranged
// view of it for display (the same order unless a subclass sorts or filters in `arrange()`), edits
// it by index and calls one change callback after every change. `QvDefaultsArrayDataSource` keeps
// its array in user defaults under one key, as an array of dictionaries.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Fennix/Foundation/BaseTypes/FatalError.h"

namespace Fennix {

/// Stops the process unless `0 <= index < count`.
inline void requireIndex(long index, std::size_t count, const char* what) {
  if (index < 0 || static_cast<std::size_t>(index) >= count)
    fatalError(std::string(what) + ": index " + std::to_string(index) + " out of range 0..<" + std::to_string(count));
}

}  // namespace Fennix

template <typename T>
class QvArrayController {
 public:
  using ChangeCallback = std::function<void(QvArrayController<T>&)>;

  explicit QvArrayController(std::vector<T> objects = {}) : objects_(std::move(objects)) {}
  virtual ~QvArrayController() = default;
  QvArrayController(const QvArrayController&) = delete;
  QvArrayController& operator=(const QvArrayController&) = delete;

  const std::vector<T>& objects() const { return objects_; }
  virtual void setObjects(std::vector<T> objects) {
    objects_ = std::move(objects);
    didChange();
  }
  /// Changes `objects` in place; one change notification afterwards.
  virtual void modifyObjects(const std::function<void(std::vector<T>&)>& change) {
    change(objects_);
    didChange();
  }

  /// The cached arrangement, arranged first when the cache is empty.
  virtual const std::vector<T>& arrangedObjects() {
    if (!arrangedObjects_) arrange();
    if (!arrangedObjects_) arrangedObjects_.emplace();
    return *arrangedObjects_;
  }
  virtual long count() { return static_cast<long>(arrangedObjects().size()); }

  /// The arranged object at `index` (which must exist).
  virtual T at(long index) {
    const auto& arranged = arrangedObjects();
    Fennix::requireIndex(index, arranged.size(), "QvArrayController");
    return arranged[static_cast<std::size_t>(index)];
  }
  /// Replaces the element at `index` of `objects` (which must exist).
  virtual void set(long index, T value) {
    Fennix::requireIndex(index, objects_.size(), "QvArrayController");
    objects_[static_cast<std::size_t>(index)] = std::move(value);
    didChange();
    arrangedObjects_.reset();
  }

  const ChangeCallback& cbChange() const { return cbChange_; }
  virtual void setCbChange(ChangeCallback callback) { cbChange_ = std::move(callback); }
  /// Sets the one change callback, replacing an earlier one.
  virtual void onChange(ChangeCallback callback) { setCbChange(std::move(callback)); }

  virtual void handleDidChange() {
    if (cbChange_) cbChange_(*this);
  }
  /// Fills the cache; the base keeps the order of `objects`.
  virtual void arrange() { arrangedObjects_ = objects_; }

  virtual void insert(T item, long atArrangedIndex) {
    if (atArrangedIndex < 0 || static_cast<std::size_t>(atArrangedIndex) > objects_.size())
      Fennix::requireIndex(atArrangedIndex, objects_.size() + 1, "QvArrayController.insert");
    arrangedObjects_.reset();
    objects_.insert(objects_.begin() + atArrangedIndex, std::move(item));
    didChange();
  }
  virtual void remove(long atArrangedIndex) {
    Fennix::requireIndex(atArrangedIndex, objects_.size(), "QvArrayController.remove");
    arrangedObjects_.reset();
    objects_.erase(objects_.begin() + atArrangedIndex);
    didChange();
  }
  /// Moves the element at `from` to the drop position `to` (counted before the removal, as a drop
  /// between rows is). False when both are equal; the change callback fires either way.
  virtual bool moveItem(long atArrangedIndex, long to) {
    const long from = atArrangedIndex;
    arrangedObjects_.reset();
    bool moved = false;
    if (from != to) {
      Fennix::requireIndex(from, objects_.size(), "QvArrayController.moveItem");
      const long target = to > from ? to - 1 : to;
      Fennix::requireIndex(target, objects_.size(), "QvArrayController.moveItem");
      T item = std::move(objects_[static_cast<std::size_t>(from)]);
      objects_.erase(objects_.begin() + from);
      objects_.insert(objects_.begin() + target, std::move(item));
      moved = true;
    }
    didChange();
    return moved;
  }
  /// Drops the elements from position `count` on; nothing (and no callback) when there are not more.
  virtual void trim(long count) {
    if (count < 0) Fennix::fatalError("QvArrayController.trim: negative count " + std::to_string(count));
    if (objects_.size() <= static_cast<std::size_t>(count)) return;
    arrangedObjects_.reset();
    objects_.erase(objects_.begin() + count, objects_.end());
    didChange();
  }

 protected:
  /// Subclasses that arrange set the cache here.
  void setArrangedObjects(std::vector<T> arranged) { arrangedObjects_ = std::move(arranged); }

 private:
  void didChange() {
    arrangedObjects_.reset();
    handleDidChange();
  }

  std::vector<T> objects_;
  std::optional<std::vector<T>> arrangedObjects_;
  ChangeCallback cbChange_;
};
