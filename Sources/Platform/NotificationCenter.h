// An in-process notification centre: observers register a block for a notification name and,
// optionally, one sender; posting calls every matching block, on the posting thread or on the
// observer's delivery queue.
#pragma once

#include <any>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Dispatch.h"

/// One posted notification: a name, the sender (compared by identity) and extra values.
class Notification {
 public:
  using UserInfo = std::map<std::string, std::any>;

  explicit Notification(std::string name, UserInfo userInfo = {})
      : name_(std::move(name)), userInfo_(std::move(userInfo)) {}

  /// A notification sent by `object`; observers read it back with `objectAs<T>()`.
  template <typename T>
  Notification(std::string name, T* object, UserInfo userInfo = {})
      : name_(std::move(name)), object_(object), sender_(static_cast<const void*>(object)),
        userInfo_(std::move(userInfo)) {}

  const std::string& name() const { return name_; }
  /// The sender's address, null when there is none.
  const void* sender() const { return sender_; }
  /// The sender when it was posted as a `T*` (exactly that type), else null.
  template <typename T>
  T* objectAs() const {
    auto* pointer = std::any_cast<T*>(&object_);
    return pointer != nullptr ? *pointer : nullptr;
  }
  const UserInfo& userInfo() const { return userInfo_; }
  /// The extra value under `key` when it holds a `T`, else null.
  template <typename T>
  const T* userInfoValue(const std::string& key) const {
    auto found = userInfo_.find(key);
    return found == userInfo_.end() ? nullptr : std::any_cast<T>(&found->second);
  }

 private:
  std::string name_;
  std::any object_;
  const void* sender_ = nullptr;
  UserInfo userInfo_;
};

/// The registration handed back by `addObserver`; pass it to `removeObserver`.
class NotificationObserver;
using NotificationObserverToken = std::shared_ptr<NotificationObserver>;

class NotificationCenter {
 public:
  using Block = std::function<void(const Notification&)>;

  NotificationCenter() = default;
  NotificationCenter(const NotificationCenter&) = delete;
  NotificationCenter& operator=(const NotificationCenter&) = delete;

  /// The process-wide centre.
  static NotificationCenter& defaultCenter();

  /// Calls `block` for every notification named `name` (any name when absent) whose sender is
  /// `object` (any sender when null). Without a queue the block runs on the posting thread during
  /// the post; with one, it runs there at once when the post happens on that queue and is
  /// submitted to it asynchronously otherwise.
  NotificationObserverToken addObserver(std::optional<std::string> name, const void* object,
                                        std::optional<DispatchQueue> queue, Block block);
  /// Ends a registration: once it returns, the block does not run. Calls under way on other
  /// threads are waited for; a block may remove its own registration (that call goes on to its
  /// end). Unknown tokens are ignored.
  void removeObserver(const NotificationObserverToken& token);

  /// Delivers synchronously to the observers registered when the post starts, in registration
  /// order. Observers may post, add or remove observers from their blocks.
  void post(const Notification& notification);

 private:
  std::mutex mutex_;
  std::vector<NotificationObserverToken> observers_;
};
