#include "Platform/NotificationCenter.h"

#include <algorithm>
#include <condition_variable>
#include <thread>

class NotificationObserver {
 public:
  NotificationObserver(std::optional<std::string> forName, const void* forObject,
                       std::optional<DispatchQueue> onQueue, NotificationCenter::Block using_)
      : name(std::move(forName)), object(forObject), queue(std::move(onQueue)), block(std::move(using_)) {}

  bool matches(const Notification& notification) const {
    return (!name || *name == notification.name()) && (object == nullptr || object == notification.sender());
  }

  /// Calls the block unless the registration has ended. The check and the start of the call are
  /// one step with respect to `end()`.
  void invoke(const Notification& notification) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!active_) return;
      callers_.push_back(std::this_thread::get_id());
    }
    struct Leave {
      NotificationObserver& observer;
      ~Leave() { observer.leave(); }
    } leave{*this};
    block(notification);
  }

  /// Ends the registration and waits for calls of the block running on other threads; a call on
  /// this thread (the block removing its own registration) is not waited for.
  void end() {
    const auto self = std::this_thread::get_id();
    std::unique_lock<std::mutex> lock(mutex_);
    active_ = false;
    idle_.wait(lock, [&] {
      return std::all_of(callers_.begin(), callers_.end(), [&](std::thread::id id) { return id == self; });
    });
  }

  const std::optional<std::string> name;
  const void* const object;
  const std::optional<DispatchQueue> queue;
  const NotificationCenter::Block block;

 private:
  void leave() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      callers_.erase(std::find(callers_.begin(), callers_.end(), std::this_thread::get_id()));
    }
    idle_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable idle_;
  bool active_ = true;
  std::vector<std::thread::id> callers_;  // one entry per call under way
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
  {
    std::lock_guard<std::mutex> lock(mutex_);
    observers_.erase(std::remove(observers_.begin(), observers_.end(), token), observers_.end());
  }
  token->end();
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
    if (!observer->queue || observer->queue->isCurrent()) {
      observer->invoke(notification);
    } else {
      observer->queue->async([observer, notification] { observer->invoke(notification); });
    }
  }
}
