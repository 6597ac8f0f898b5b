#include "Fennix/Operations/ArrayBlockOperation.h"

namespace Fennix {

std::shared_ptr<NSBlockOperation> asyncBlock(const std::shared_ptr<NSOperationQueue>& queue,
                                             std::function<void(NSBlockOperation&)> block) {
  auto operation = std::make_shared<NSBlockOperation>();
  std::weak_ptr<NSBlockOperation> weakOperation = operation;
  operation->addExecutionBlock([weakOperation, block] {
    if (auto self = weakOperation.lock()) block(*self);
  });
  queue->addOperation(operation);
  return operation;
}

std::shared_ptr<NSOperationQueue> serialQueue(const std::optional<std::string>& label,
                                              const std::optional<DispatchQueue>& targetting) {
  auto queue = std::make_shared<NSOperationQueue>();
  queue->setMaxConcurrentOperationCount(1);
  if (label && !label->empty()) queue->setName(label);
  if (targetting) queue->setUnderlyingQueue(targetting);
  return queue;
}

std::shared_ptr<NSOperationQueue> operationQueue(const DispatchQueue& queue) {
  return std::make_shared<NSOperationQueue>(queue);
}

void setTimeout(const DispatchQueue& queue, long long milliseconds, std::function<void()> block) {
  queue.asyncAfter(static_cast<double>(milliseconds < 0 ? 0 : milliseconds) / 1000.0, std::move(block));
}

}  // namespace Fennix
