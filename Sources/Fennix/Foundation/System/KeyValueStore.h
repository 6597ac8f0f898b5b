// The cloud key-value store and its wrapper.
//
// This platform has no cloud store: `NSUbiquitousKeyValueStore` keeps its values in a suite of
// its own in the user defaults (the application's bundle identifier followed by ".cloud-kvs"),
// shared by the user's processes but not synchronised over the network. The store relays the
// changes of its suite between processes through the defaults relay (under the suite's name):
// when another process changed it, the store posts its external-change notice
// (`didChangeExternallyNotification`, reason 0, with the keys whose values changed), which is
// what the wrapper listens to.
//
// `QvKeyValueStore` wraps the default store: it reads and writes values, synchronises once when
// it is made, translates external-change notices into typed events, logs them through the module
// logger "QvKVS", and lets clients listen to all changes or to changes of chosen keys.
#pragma once

#include <any>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "Fennix/Foundation/BaseTypes/AnyValue.h"
#include "Fennix/Foundation/BaseTypes/TimedValue.h"
#include "Fennix/Foundation/Events/EventListenerSet.h"
#include "Platform/NotificationCenter.h"
#include "Fennix/Foundation/UserDefaults.h"
#include "Fennix/console/ModuleLogger.h"

namespace Fennix {

/// A date or data as the stores take and give them: an object of class `Fennix::Date` (named
/// "Date") or `DefaultsData` (named "Data"), read with `object<Fennix::Date>()` and
/// `object<DefaultsData>()`.
AnyValue dateValue(Date date);
AnyValue dataValue(DefaultsData data);

}  // namespace Fennix

/// Stores that read and write values like user defaults.
class QvKeyValueStoreType {
 public:
  virtual ~QvKeyValueStoreType() = default;
  virtual std::optional<std::string> string(const std::string& forKey) = 0;
  virtual std::optional<Fennix::AnyValue::Array> array(const std::string& forKey) = 0;
  virtual std::optional<Fennix::AnyValue::Dictionary> dictionary(const std::string& forKey) = 0;
  /// Stores a value; an absent value removes the key.
  virtual void set(const std::optional<Fennix::AnyValue>& value, const std::string& forKey) = 0;
  virtual void removeObject(const std::string& forKey) { set(std::nullopt, forKey); }
};

class NSUbiquitousKeyValueStore : public QvKeyValueStoreType {
 public:
  static inline const std::string didChangeExternallyNotification =
      "NSUbiquitousKeyValueStoreDidChangeExternallyNotification";
  /// User-info keys of the notice: the reason (a number) and the changed keys (texts).
  static inline const std::string changeReasonKey = "NSUbiquitousKeyValueStoreChangeReasonKey";
  static inline const std::string changedKeysKey = "NSUbiquitousKeyValueStoreChangedKeysKey";

  /// The application's store.
  static std::shared_ptr<NSUbiquitousKeyValueStore> defaultStore();
  /// A store over the given suite, relaying its changes between processes.
  explicit NSUbiquitousKeyValueStore(std::shared_ptr<NSUserDefaults> suite);
  ~NSUbiquitousKeyValueStore() override;
  NSUbiquitousKeyValueStore(const NSUbiquitousKeyValueStore&) = delete;
  NSUbiquitousKeyValueStore& operator=(const NSUbiquitousKeyValueStore&) = delete;

  /// Text, numbers, truth values, dates and data, and arrays and dictionaries (with text keys) of
  /// them.
  std::optional<Fennix::AnyValue> object(const std::string& forKey);
  std::optional<std::string> string(const std::string& forKey) override;
  std::optional<Fennix::AnyValue::Array> array(const std::string& forKey) override;
  std::optional<Fennix::AnyValue::Dictionary> dictionary(const std::string& forKey) override;
  /// Stores a value; an absent value (or an absent optional) removes the key. Values the store
  /// cannot hold (objects other than dates and data, the null object, dictionaries with keys that
  /// are not text, dates and numbers that are not finite, text that is not UTF-8) are refused with
  /// a log line and change nothing.
  void setObject(const std::optional<Fennix::AnyValue>& value, const std::string& forKey);
  void set(const std::optional<Fennix::AnyValue>& value, const std::string& forKey) override {
    setObject(value, forKey);
  }
  void removeObject(const std::string& forKey) override;
  /// Brings the store up to date with its file; true when it could be read.
  bool synchronize();

  const std::shared_ptr<NSUserDefaults>& suite() const { return suite_; }

 private:
  /// After a change of the suite by another process: the keys whose values differ from what
  /// this store last saw, announced as an external change when there are any.
  void takeExternalChanges();
  /// Records what this store itself wrote under `key`.
  void noteOwnChange(const std::string& key);

  std::shared_ptr<NSUserDefaults> suite_;
  std::mutex seenMutex_;
  std::map<std::string, DefaultsValue> seen_;  // the suite as this store last saw it
  NotificationObserverToken relayObserver_;
};

/// User defaults as a key-value store.
class QvUserDefaultsKeyValueStore : public QvKeyValueStoreType {
 public:
  explicit QvUserDefaultsKeyValueStore(std::shared_ptr<NSUserDefaults> defaults) : defaults_(std::move(defaults)) {}
  std::optional<std::string> string(const std::string& forKey) override { return defaults_->string(forKey); }
  /// The value under `key` as the cloud store reads it.
  std::optional<Fennix::AnyValue> object(const std::string& forKey);
  /// Arrays and dictionaries are kept as the cloud store keeps them (data holding their JSON text),
  /// so that either store reads what the other wrote to the same suite.
  std::optional<Fennix::AnyValue::Array> array(const std::string& forKey) override;
  std::optional<Fennix::AnyValue::Dictionary> dictionary(const std::string& forKey) override;
  /// Text, numbers, truth values, dates, data, and arrays and dictionaries (with text keys) of them
  /// are stored; other values are refused with a log line.
  void set(const std::optional<Fennix::AnyValue>& value, const std::string& forKey) override;

 private:
  std::shared_ptr<NSUserDefaults> defaults_;
};

class QvKeyValueStore : public QvKeyValueStoreType, public std::enable_shared_from_this<QvKeyValueStore> {
  struct Key {
    explicit Key() = default;
  };

 public:
  enum class ChangeReason { serverChange = 0, initialSyncDroppedChanges = 1, quotaViolated = 2, accountChanged = 3 };

  /// One change: the store, why, and the keys that changed.
  struct Change {
    QvKeyValueStore* store;
    ChangeReason reason;
    std::set<std::string> keys;
  };
  using ChangeHandler = std::function<void(QvKeyValueStore&, ChangeReason, const std::set<std::string>&)>;

  /// The wrapper of the default store (or of `store`): listens to its external changes on the main
  /// queue and synchronises it once on a global queue.
  static std::shared_ptr<QvKeyValueStore> make(std::shared_ptr<NSUbiquitousKeyValueStore> store = nullptr);
  QvKeyValueStore(Key, std::shared_ptr<NSUbiquitousKeyValueStore> store);
  ~QvKeyValueStore() override;

  std::optional<std::string> string(const std::string& forKey) override { return kvs->string(forKey); }
  std::optional<Fennix::AnyValue::Array> array(const std::string& forKey) override { return kvs->array(forKey); }
  std::optional<Fennix::AnyValue::Dictionary> dictionary(const std::string& forKey) override {
    return kvs->dictionary(forKey);
  }
  void set(const std::optional<Fennix::AnyValue>& value, const std::string& forKey) override {
    kvs->setObject(value, forKey);
  }

  /// Calls `execute` for every change; returns the listener to remove it.
  std::shared_ptr<ListenerType> onChange(ChangeHandler execute);
  /// Calls `execute` only for changes that name one of `keys` (or name no key at all), with the
  /// changed keys among them.
  std::shared_ptr<ListenerType> onChange(const std::set<std::string>& keys, ChangeHandler execute);
  void removeListener(const std::shared_ptr<ListenerType>& listener);

  /// Translates one external-change notice, logs it and tells the listeners.
  void handleChangeNotification(const Notification& notification);

  /// The reason number of a notice's user info: a number gives its integer value, text the
  /// decimal integer it spells; anything else, or text that is no decimal integer, gives 0.
  static long long reasonNumber(const Notification::UserInfo& userInfo);

  const std::shared_ptr<NSUbiquitousKeyValueStore> kvs;
  NotificationObserverToken kvsObserver;
  const std::shared_ptr<ModuleLogger> log;
  const std::shared_ptr<EventListenerSet<Change>> listeners = std::make_shared<EventListenerSet<Change>>();
};
