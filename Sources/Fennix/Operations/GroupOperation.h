// An asynchronous operation that runs a set of member operations on a private queue and finishes
// when all of them have finished. The queue stays suspended until the group starts, so members
// may be added before the group is queued; an end marker that depends on every member ends it.
#pragma once

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
  /// The end marker: every member is one of its dependencies.
  const std::shared_ptr<NSBlockOperation>& groupOperation() const { return groupOperation_; }

  /// Adds a member. A group that was cancelled or has finished does not queue it: it is
  /// cancelled (and finished) instead.
  virtual void add(const std::shared_ptr<NSOperation>& operation);
  /// Adds a block operation running `block` and returns it.
  virtual std::shared_ptr<NSBlockOperation> add(std::function<void()> block);

  void asyncMain(std::function<void()> finished) override;
  void asyncCancel() override;

 private:
  mutable std::mutex queueMutex_;
  std::shared_ptr<NSOperationQueue> queue_;
  std::shared_ptr<NSBlockOperation> groupOperation_ = std::make_shared<NSBlockOperation>();
};
