#include "Fennix/Operations/GroupOperation.h"

QvGroupOperation::QvGroupOperation(std::optional<std::string> label, std::optional<int> count)
    : queue_(std::make_shared<NSOperationQueue>()) {
  queue_->setSuspended(true);
  if (label) queue_->setName(label);
  if (count) queue_->setMaxConcurrentOperationCount(*count);
}

std::shared_ptr<NSOperationQueue> QvGroupOperation::Q() const {
  std::lock_guard<std::mutex> lock(queueMutex_);
  return queue_;
}

void QvGroupOperation::add(const std::shared_ptr<NSOperation>& operation) {
  auto queue = Q();
  // Once the end marker has run, the group is over: a member added now would run unseen.
  if (!queue || isFinished()) {
    cancel();
    finish();
    return;
  }
  groupOperation_->addDependency(operation);
  queue->addOperation(operation);
}

std::shared_ptr<NSBlockOperation> QvGroupOperation::add(std::function<void()> block) {
  auto operation = std::make_shared<NSBlockOperation>(std::move(block));
  add(std::static_pointer_cast<NSOperation>(operation));
  return operation;
}

void QvGroupOperation::asyncMain(std::function<void()>) {
  auto queue = Q();
  if (!queue) {
    cancel();
    finish();
    return;
  }
  std::weak_ptr<NSOperation> weakGroup = weak_from_this();
  groupOperation_->setCompletionBlock([weakGroup] {
    if (auto group = weakGroup.lock()) std::static_pointer_cast<QvGroupOperation>(group)->finish();
  });
  queue->addOperation(groupOperation_);
  queue->setSuspended(false);
}

void QvGroupOperation::asyncCancel() {
  std::shared_ptr<NSOperationQueue> queue;
  {
    std::lock_guard<std::mutex> lock(queueMutex_);
    queue = std::move(queue_);
  }
  if (queue) queue->cancelAllOperations();
}
