// An asynchronous operation that runs a set of member operations on a private queue and finishes
// when all of them have finished. The queue stays suspended until the group starts, so members
// may be added before the group is queued; an end marker that depends on every member ends it.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Fennix/Operations/AsyncOperation.h"

class QvGroupOperation : public QvAsyncOperation {
 public:
  /// A suspended private queue named `label`, running at most `count` members at a time.
  explicit QvGroupOperation(std::optional<std::string> label = std::nullopt, std::optional<int> count = std::nullopt);

  /// The private queue; empty once the group was cancelled.
  std::shared_ptr<NSOperationQueue> Q() const;
  void setQ(std::shared_ptr<NSOperationQueue> queue);
  /// The end marker: every member is one of its dependencies.
  std::shared_ptr<NSBlockOperation> groupOperation() const;
  void setGroupOperation(std::shared_ptr<NSBlockOperation> marker);

  /// Adds a member. The group ends only after every member added before its end has finished
  /// and its completion block has returned, so a completion block may add follow-ups. A group
  /// that was cancelled or is over does not run the member: it is cancelled and finished, so
  /// that whatever depends on it goes on.
  virtual void add(const std::shared_ptr<NSOperation>& operation);
  /// Adds a block operation running `block` and returns it.
  virtual std::shared_ptr<NSBlockOperation> add(std::function<void()> block);

  /// A group cancelled before it starts ends at once; its members end cancelled.
  void start() override;
  void asyncMain(std::function<void()> finished) override;
  void asyncCancel() override;
  /// Ends the group; members that have not finished are cancelled.
  void finish() override;

 private:
  /// A member's completion block returned, or the end marker's did.
  void memberCompleted();
  void markerCompleted();
  /// Finishes the group when the marker has run and no member is left.
  void endIfDone(std::unique_lock<std::mutex>& lock);
  /// Marks the group over and lets the members that have not run end cancelled.
  void releaseMembers();

  mutable std::mutex queueMutex_;  // guards the fields below
  std::shared_ptr<NSOperationQueue> queue_;
  std::size_t unfinishedMembers_ = 0;
  bool markerDone_ = false;
  bool over_ = false;  // no member is taken any more
  std::shared_ptr<NSBlockOperation> groupOperation_ = std::make_shared<NSBlockOperation>();
};
