#include "Fennix/Operations/GroupOperation.h"

namespace {

std::shared_ptr<QvGroupOperation> groupOf(const std::weak_ptr<NSOperation>& weakGroup) {
  return std::static_pointer_cast<QvGroupOperation>(weakGroup.lock());
}

}  // namespace

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

void QvGroupOperation::setQ(std::shared_ptr<NSOperationQueue> queue) {
  std::lock_guard<std::mutex> lock(queueMutex_);
  queue_ = std::move(queue);
}

std::shared_ptr<NSBlockOperation> QvGroupOperation::groupOperation() const {
  std::lock_guard<std::mutex> lock(queueMutex_);
  return groupOperation_;
}

void QvGroupOperation::setGroupOperation(std::shared_ptr<NSBlockOperation> marker) {
  std::lock_guard<std::mutex> lock(queueMutex_);
  groupOperation_ = std::move(marker);
}

void QvGroupOperation::add(const std::shared_ptr<NSOperation>& operation) {
  if (!operation) return;
  bool taken = false;
  {
    // Held while the member is queued, so that a cancel or the end either sees the member in the
    // queue or comes before it and refuses it.
    std::lock_guard<std::mutex> lock(queueMutex_);
    if (queue_ && !over_ && !isFinished()) {
      taken = true;
      ++unfinishedMembers_;
      groupOperation_->addDependency(operation);
      queue_->addOperation(operation);
    }
  }
  if (!taken) {
    // Nothing would ever run it, and whatever depends on it would wait for ever.
    operation->cancel();
    if (!operation->isExecuting() && !operation->isFinished()) operation->start();
    return;
  }
  // Counted until its completion block returned: a block that adds a follow-up keeps the group.
  std::weak_ptr<NSOperation> weakGroup = weak_from_this();
  operation->afterCompletion([weakGroup] {
    if (auto group = groupOf(weakGroup)) group->memberCompleted();
  });
}

std::shared_ptr<NSBlockOperation> QvGroupOperation::add(std::function<void()> block) {
  auto operation = std::make_shared<NSBlockOperation>(std::move(block));
  add(std::static_pointer_cast<NSOperation>(operation));
  return operation;
}

void QvGroupOperation::start() {
  QvAsyncOperation::start();
  // Cancelled before it started: it ended without running its members.
  if (isFinished()) releaseMembers();
}

void QvGroupOperation::asyncMain(std::function<void()>) {
  std::weak_ptr<NSOperation> weakGroup = weak_from_this();
  const auto marker = groupOperation();
  marker->setCompletionBlock([weakGroup] {
    if (auto group = groupOf(weakGroup)) group->markerCompleted();
  });
  auto queue = Q();
  if (!queue) {
    // Cancelled as it started: the members were cancelled, the marker need not wait for them.
    marker->cancel();
    marker->start();
    return;
  }
  queue->addOperation(marker);
  queue->setSuspended(false);
}

void QvGroupOperation::asyncCancel() {
  std::shared_ptr<NSOperationQueue> queue;
  {
    std::lock_guard<std::mutex> lock(queueMutex_);
    queue = std::move(queue_);
  }
  if (!queue) return;
  queue->cancelAllOperations();
  // Members that have not started end at once as cancelled, also when the queue had not yet
  // been resumed.
  queue->setSuspended(false);
}

void QvGroupOperation::finish() {
  QvAsyncOperation::finish();
  releaseMembers();
}

void QvGroupOperation::memberCompleted() {
  std::unique_lock<std::mutex> lock(queueMutex_);
  --unfinishedMembers_;
  endIfDone(lock);
}

void QvGroupOperation::markerCompleted() {
  std::unique_lock<std::mutex> lock(queueMutex_);
  markerDone_ = true;
  endIfDone(lock);
}

void QvGroupOperation::endIfDone(std::unique_lock<std::mutex>& lock) {
  if (!markerDone_ || unfinishedMembers_ > 0 || over_) return;
  over_ = true;
  lock.unlock();
  finish();
}

void QvGroupOperation::releaseMembers() {
  std::shared_ptr<NSOperationQueue> queue;
  {
    std::lock_guard<std::mutex> lock(queueMutex_);
    over_ = true;
    queue = queue_;
  }
  if (!queue || queue->operationCount() == 0) return;
  queue->cancelAllOperations();
  queue->setSuspended(false);
}
