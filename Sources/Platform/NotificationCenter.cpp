#include "Platform/NotificationCenter.h"

#include <algorithm>
#include <atomic>

class NotificationObserver {
 public:
  NotificationObserver(std::optional<std::string> forName, const void* forObject,
                       std::optional<DispatchQueue> onQueue, NotificationCenter::Block using_)
      : name(std::move(forName)), object(forObject), queue(std::move(onQueue)), block(std::move(using_)) {}

  bool matches(const Notification& notification) const {
    return (!name || *name == notification.name()) && (object == nullptr || object == notification.sender());
  }

  const std::optional<std::string> name;
  const void* const object;
  const std::optional<DispatchQueue> queue;
  const NotificationCenter::Block block;
  std::atomic<bool> active{true};
};

NotificationCenter& NotificationCenter::defaultCenter() {
  // Never destroyed: notifications may still be posted while the process exits.
  static auto* center = new NotificationCenter();
  return *center;
}

NotificationObserverToken NotificationCenter::addObserver(std::optional<std::string> name, const void* object,
                                                          std::optional<DispatchQueue> queue, Block block) {
  auto token = std::make_shared<NotificationObserver>(std::move(name), object, std::move(queue), std::move(block));
  std::lock_guard<std::mutex> lock(mutex_);
  observers_.push_back(token);
  return token;
}

void NotificationCenter::removeObserver(const NotificationObserverToken& token) {
  if (!token) return;
  token->active = false;
  std::lock_guard<std::mutex> lock(mutex_);
  observers_.erase(std::remove(observers_.begin(), observers_.end(), token), observers_.end());
}

void NotificationCenter::post(const Notification& notification) {
  std::vector<NotificationObserverToken> matching;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& observer : observers_) {
      if (observer->matches(notification)) matching.push_back(observer);
    }
  }
  for (const auto& observer : matching) {
    if (!observer->active) continue;
    if (!observer->queue || observer->queue->isCurrent()) {
      observer->block(notification);
    } else {
      observer->queue->async([observer, notification] {
        if (observer->active) observer->block(notification);
      });
    }
  }
}
