#include "Fennix/Foundation/System/KeyValueStore.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include <nlohmann/json.hpp>

#include "Fennix/Foundation/DefaultsCollections.h"
#include "Fennix/Foundation/System/Bundle.h"
#include "Fennix/Foundation/System/GroupDefaults.h"
#include "Fennix/console/Console.h"

using Fennix::AnyKind;
using Fennix::AnyValue;

namespace {

constexpr int maximumDepth = Fennix::defaultsMaximumDepth;

std::optional<nlohmann::json> toJSON(const AnyValue& value, int depth) {
  if (depth > maximumDepth) return std::nullopt;
  const AnyValue& plain = value.unwrapped();
  switch (plain.kind()) {
    case AnyKind::int_:
    case AnyKind::int8:
    case AnyKind::int16:
    case AnyKind::int32:
    case AnyKind::int64: return nlohmann::json(plain.signedInteger());
    case AnyKind::uint:
    case AnyKind::uint8:
    case AnyKind::uint16:
    case AnyKind::uint32:
    case AnyKind::uint64: return nlohmann::json(plain.unsignedInteger());
    case AnyKind::float_: return nlohmann::json(static_cast<double>(plain.floatValue()));
    case AnyKind::double_: return nlohmann::json(plain.doubleValue());
    case AnyKind::string: return nlohmann::json(plain.text());
    case AnyKind::bool_: return nlohmann::json(plain.truthValue());
    case AnyKind::array:
    case AnyKind::set: {
      nlohmann::json array = nlohmann::json::array();
      for (const auto& element : plain.elements()) {
        auto converted = toJSON(element, depth + 1);
        if (!converted) return std::nullopt;
        array.push_back(std::move(*converted));
      }
      return array;
    }
    case AnyKind::dictionary: {
      nlohmann::json object = nlohmann::json::object();
      for (const auto& [key, entry] : plain.entries()) {
        if (key.unwrapped().kind() != AnyKind::string) return std::nullopt;
        auto converted = toJSON(entry, depth + 1);
        if (!converted) return std::nullopt;
        object[key.unwrapped().text()] = std::move(*converted);
      }
      return object;
    }
    case AnyKind::object:
      if (auto date = plain.object<Fennix::Date>()) return Fennix::defaultsDate(*date);
      if (auto data = plain.object<DefaultsData>()) return nlohmann::json::binary(*data);
      return std::nullopt;
    default: return std::nullopt;
  }
}

std::optional<AnyValue> fromJSON(const nlohmann::json& json, int depth) {
  if (depth > maximumDepth) return std::nullopt;
  if (json.is_boolean()) return AnyValue::bool_(json.get<bool>());
  if (json.is_number_unsigned()) {
    const auto number = json.get<std::uint64_t>();
    if (number <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
      return AnyValue::int_(static_cast<std::int64_t>(number));
    }
    return AnyValue::uint(number);
  }
  if (json.is_number_integer()) return AnyValue::int_(json.get<std::int64_t>());
  if (json.is_number_float()) return AnyValue::double_(json.get<double>());
  if (json.is_string()) return AnyValue::string(json.get<std::string>());
  if (json.is_binary()) {
    if (auto date = Fennix::defaultsDateOf(json)) return Fennix::dateValue(*date);
    return Fennix::dataValue(DefaultsData(json.get_binary().begin(), json.get_binary().end()));
  }
  if (json.is_array()) {
    AnyValue::Array elements;
    for (const auto& element : json) {
      auto converted = fromJSON(element, depth + 1);
      if (!converted) return std::nullopt;
      elements.push_back(std::move(*converted));
    }
    return AnyValue::array(std::move(elements));
  }
  if (json.is_object()) {
    AnyValue::Dictionary entries;
    for (const auto& [key, entry] : json.items()) {
      auto converted = fromJSON(entry, depth + 1);
      if (!converted) return std::nullopt;
      entries.emplace_back(AnyValue::string(key), std::move(*converted));
    }
    return AnyValue::dictionary(std::move(entries));
  }
  return std::nullopt;
}

// Arrays and dictionaries, dates and data are kept in a defaults suite in their stored form (data
// holding their JSON text), so that both stores read what the other wrote.
std::optional<DefaultsValue> collectionAsDefaults(const nlohmann::json& json) {
  auto stored = Fennix::encodeDefaultsCollection(json);
  if (!stored) return std::nullopt;
  return DefaultsValue(std::move(*stored));
}

std::optional<AnyValue> collectionOfDefaults(const DefaultsValue& stored) {
  const auto* data = stored.data();
  if (data == nullptr) return std::nullopt;
  auto json = Fennix::decodeDefaultsCollection(std::string_view(reinterpret_cast<const char*>(data->data()), data->size()));
  if (!json) return std::nullopt;
  return fromJSON(*json, 0);
}

// The one form both stores keep a value in: text, truth values and floating-point numbers as
// themselves, integers (signed or unsigned) as 64-bit integers where they fit, and unsigned integers
// beyond that, arrays, dictionaries, dates and data in their stored form. None for what neither holds.
std::optional<DefaultsValue> storedForm(const AnyValue& plain) {
  switch (plain.kind()) {
    case AnyKind::string: return DefaultsValue(plain.text());
    case AnyKind::bool_: return DefaultsValue(plain.truthValue());
    // The file has no form for numbers that are not finite: they would read back as nothing.
    case AnyKind::float_:
      if (!std::isfinite(plain.floatValue())) return std::nullopt;
      return DefaultsValue(static_cast<double>(plain.floatValue()));
    case AnyKind::double_:
      if (!std::isfinite(plain.doubleValue())) return std::nullopt;
      return DefaultsValue(plain.doubleValue());
    default: break;
  }
  auto json = toJSON(plain, 0);
  if (!json) return std::nullopt;
  if (json->is_number_unsigned()) {
    const auto number = json->get<std::uint64_t>();
    if (number <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
      return DefaultsValue(static_cast<std::int64_t>(number));
    }
  } else if (json->is_number_integer()) {
    return DefaultsValue(json->get<std::int64_t>());
  }
  return collectionAsDefaults(*json);
}

// A stored value as the stores give it back.
std::optional<AnyValue> valueOfDefaults(const std::optional<DefaultsValue>& stored) {
  if (!stored) return std::nullopt;
  if (auto* text = stored->text()) return AnyValue::string(*text);
  if (stored->data() != nullptr) return collectionOfDefaults(*stored);
  if (auto* integer = std::get_if<std::int64_t>(&stored->storage())) return AnyValue::int_(*integer);
  if (auto* number = std::get_if<double>(&stored->storage())) return AnyValue::double_(*number);
  if (auto* flag = std::get_if<bool>(&stored->storage())) return AnyValue::bool_(*flag);
  return std::nullopt;
}

template <AnyKind kind>
std::optional<AnyValue> collectionOfKind(const std::optional<DefaultsValue>& stored) {
  if (!stored) return std::nullopt;
  auto value = collectionOfDefaults(*stored);
  if (!value || value->kind() != kind) return std::nullopt;
  return value;
}

/// Whether the value is an absent optional (or holds one).
bool isAbsent(const std::optional<AnyValue>& value) { return !value || value->unwrapped().isNone(); }

}  // namespace

Fennix::AnyValue Fennix::dateValue(Date date) { return AnyValue::object(std::make_shared<Date>(date), "Date"); }

Fennix::AnyValue Fennix::dataValue(DefaultsData data) {
  return AnyValue::object(std::make_shared<DefaultsData>(std::move(data)), "Data");
}

// ---------------------------------------------------------------------------
// NSUbiquitousKeyValueStore

std::shared_ptr<NSUbiquitousKeyValueStore> NSUbiquitousKeyValueStore::defaultStore() {
  static const auto& store = *new const std::shared_ptr<NSUbiquitousKeyValueStore>([] {
    auto suite = NSUserDefaults::fromSuiteName(NSBundle::main().bundleIdentifier() + ".cloud-kvs");
    if (!suite) suite = NSUserDefaults::standard();
    return std::make_shared<NSUbiquitousKeyValueStore>(suite);
  }());
  return store;
}

NSUbiquitousKeyValueStore::NSUbiquitousKeyValueStore(std::shared_ptr<NSUserDefaults> suite)
    : suite_(std::move(suite)) {
  seen_ = suite_->dictionaryRepresentation();
  // The relay re-posts the suite's change notice, marked as its own, when another process changed
  // the suite (and when this process's own change comes back, which then changed nothing new).
  relayObserver_ = NotificationCenter::defaultCenter().addObserver(
      NSUserDefaults::didChangeNotification, suite_.get(), std::nullopt, [this](const Notification& notification) {
        if (notification.userInfo().count(groupdefaults::emitterKey) != 0) takeExternalChanges();
      });
  // The standard suite is never relayed.
  if (suite_->suiteName() != NSUserDefaults::standard()->suiteName()) groupdefaults::relay(suite_, suite_->suiteName());
}

NSUbiquitousKeyValueStore::~NSUbiquitousKeyValueStore() {
  NotificationCenter::defaultCenter().removeObserver(relayObserver_);
}

void NSUbiquitousKeyValueStore::takeExternalChanges() {
  std::vector<std::string> changed;
  {
    std::lock_guard<std::mutex> lock(seenMutex_);
    auto now = suite_->dictionaryRepresentation();
    for (const auto& [key, value] : now) {
      auto before = seen_.find(key);
      if (before == seen_.end() || !(before->second == value)) changed.push_back(key);
    }
    for (const auto& entry : seen_) {
      if (now.count(entry.first) == 0) changed.push_back(entry.first);
    }
    seen_ = std::move(now);
  }
  if (changed.empty()) return;
  NotificationCenter::defaultCenter().post(Notification(
      didChangeExternallyNotification, this,
      {{changeReasonKey, std::any(0)}, {changedKeysKey, std::any(std::move(changed))}}));
}

void NSUbiquitousKeyValueStore::noteOwnChange(const std::string& key) {
  std::lock_guard<std::mutex> lock(seenMutex_);
  if (auto value = suite_->object(key)) {
    seen_.insert_or_assign(key, std::move(*value));
  } else {
    seen_.erase(key);
  }
}

// Text, numbers and truth values are kept as themselves; arrays, dictionaries, dates and data in
// their stored form (data holding JSON text).
std::optional<AnyValue> NSUbiquitousKeyValueStore::object(const std::string& forKey) {
  return valueOfDefaults(suite_->object(forKey));
}

std::optional<std::string> NSUbiquitousKeyValueStore::string(const std::string& forKey) {
  auto value = object(forKey);
  if (!value || value->kind() != AnyKind::string) return std::nullopt;
  return value->text();
}

std::optional<AnyValue::Array> NSUbiquitousKeyValueStore::array(const std::string& forKey) {
  auto value = object(forKey);
  if (!value || value->kind() != AnyKind::array) return std::nullopt;
  return value->elements();
}

std::optional<AnyValue::Dictionary> NSUbiquitousKeyValueStore::dictionary(const std::string& forKey) {
  auto value = object(forKey);
  if (!value || value->kind() != AnyKind::dictionary) return std::nullopt;
  return value->entries();
}

void NSUbiquitousKeyValueStore::setObject(const std::optional<AnyValue>& value, const std::string& forKey) {
  if (isAbsent(value)) {
    removeObject(forKey);
    return;
  }
  const AnyValue& plain = value->unwrapped();
  const std::optional<DefaultsValue> stored = storedForm(plain);
  if (!stored) {
    console::error("cloud key-value store cannot hold value:", plain.description(), "for key:", forKey);
    return;
  }
  suite_->set(*stored, forKey);
  noteOwnChange(forKey);
}

void NSUbiquitousKeyValueStore::removeObject(const std::string& forKey) {
  suite_->removeObject(forKey);
  noteOwnChange(forKey);
}

bool NSUbiquitousKeyValueStore::synchronize() { return suite_->synchronize(); }

// ---------------------------------------------------------------------------
// QvUserDefaultsKeyValueStore

void QvUserDefaultsKeyValueStore::set(const std::optional<AnyValue>& value, const std::string& forKey) {
  if (isAbsent(value)) {
    defaults_->removeObject(forKey);
    return;
  }
  const AnyValue& plain = value->unwrapped();
  if (auto stored = storedForm(plain)) {
    defaults_->set(*stored, forKey);
    return;
  }
  console::error("user defaults cannot hold value:", plain.description(), "for key:", forKey);
}

std::optional<AnyValue> QvUserDefaultsKeyValueStore::object(const std::string& forKey) {
  return valueOfDefaults(defaults_->object(forKey));
}

std::optional<AnyValue::Array> QvUserDefaultsKeyValueStore::array(const std::string& forKey) {
  auto value = collectionOfKind<AnyKind::array>(defaults_->object(forKey));
  if (!value) return std::nullopt;
  return value->elements();
}

std::optional<AnyValue::Dictionary> QvUserDefaultsKeyValueStore::dictionary(const std::string& forKey) {
  auto value = collectionOfKind<AnyKind::dictionary>(defaults_->object(forKey));
  if (!value) return std::nullopt;
  return value->entries();
}

// ---------------------------------------------------------------------------
// QvKeyValueStore

std::shared_ptr<QvKeyValueStore> QvKeyValueStore::make(std::shared_ptr<NSUbiquitousKeyValueStore> store) {
  auto wrapper = std::make_shared<QvKeyValueStore>(Key{}, store ? std::move(store) : NSUbiquitousKeyValueStore::defaultStore());
  std::weak_ptr<QvKeyValueStore> weakWrapper = wrapper;
  wrapper->kvsObserver = NotificationCenter::defaultCenter().addObserver(
      NSUbiquitousKeyValueStore::didChangeExternallyNotification, wrapper->kvs.get(), DispatchQueue::main(),
      [weakWrapper](const Notification& notification) {
        if (auto strong = weakWrapper.lock()) strong->handleChangeNotification(notification);
      });
  DispatchQueue::global(DispatchQoS::default_).async([wrapper] { wrapper->kvs->synchronize(); });
  return wrapper;
}

QvKeyValueStore::QvKeyValueStore(Key, std::shared_ptr<NSUbiquitousKeyValueStore> store)
    : kvs(std::move(store)), log(ModuleLogger::default_("QvKVS")) {}

QvKeyValueStore::~QvKeyValueStore() {
  if (kvsObserver) NotificationCenter::defaultCenter().removeObserver(kvsObserver);
}

std::shared_ptr<ListenerType> QvKeyValueStore::onChange(ChangeHandler execute) {
  auto listener = std::make_shared<CallbackListener<Change>>([execute](const Change& change) {
    execute(*change.store, change.reason, change.keys);
  });
  listeners->addEventListener(listener, false);
  return listener;
}

std::shared_ptr<ListenerType> QvKeyValueStore::onChange(const std::set<std::string>& keys, ChangeHandler execute) {
  return onChange([keys, execute](QvKeyValueStore& store, ChangeReason reason, const std::set<std::string>& changed) {
    std::set<std::string> watched;
    for (const auto& key : changed) {
      if (keys.count(key) != 0) watched.insert(key);
    }
    if (!changed.empty() && watched.empty()) return;
    execute(store, reason, watched);
  });
}

void QvKeyValueStore::removeListener(const std::shared_ptr<ListenerType>& listener) {
  listeners->removeEventListener(listener);
}

namespace {

std::optional<long long> decimalInteger(const std::string& text) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin != end && *begin == '+') ++begin;
  if (begin == end || (*begin == '-' && begin != text.data())) return std::nullopt;  // one sign at most
  long long value = 0;
  auto [next, failure] = std::from_chars(begin, end, value);
  if (failure != std::errc() || next != end) return std::nullopt;
  return value;
}

template <typename T>
bool readNumber(const std::any& entry, long long& result) {
  if (auto* number = std::any_cast<T>(&entry)) {
    if constexpr (std::is_floating_point_v<T>) {
      if (!(*number >= -9.2e18 && *number <= 9.2e18)) return false;
    } else if constexpr (std::is_unsigned_v<T>) {
      if (*number > static_cast<T>(std::numeric_limits<long long>::max())) return false;
    }
    result = static_cast<long long>(*number);
    return true;
  }
  return false;
}

}  // namespace

long long QvKeyValueStore::reasonNumber(const Notification::UserInfo& userInfo) {
  auto found = userInfo.find(NSUbiquitousKeyValueStore::changeReasonKey);
  if (found == userInfo.end()) return 0;
  const std::any& entry = found->second;
  long long number = 0;
  if (readNumber<int>(entry, number) || readNumber<long>(entry, number) || readNumber<long long>(entry, number) ||
      readNumber<unsigned>(entry, number) || readNumber<unsigned long>(entry, number) ||
      readNumber<unsigned long long>(entry, number) || readNumber<double>(entry, number) ||
      readNumber<bool>(entry, number)) {
    return number;
  }
  std::optional<std::string> text;
  if (auto* string = std::any_cast<std::string>(&entry)) text = *string;
  if (auto* chars = std::any_cast<const char*>(&entry); chars != nullptr && *chars != nullptr) text = *chars;
  if (auto* value = std::any_cast<AnyValue>(&entry)) {
    const AnyValue& plain = value->unwrapped();
    switch (plain.kind()) {
      case AnyKind::int_:
      case AnyKind::int8:
      case AnyKind::int16:
      case AnyKind::int32:
      case AnyKind::int64: return plain.signedInteger();
      case AnyKind::bool_: return plain.truthValue() ? 1 : 0;
      default: text = plain.description();
    }
  }
  if (!text) return 0;
  return decimalInteger(*text).value_or(0);
}

void QvKeyValueStore::handleChangeNotification(const Notification& notification) {
  const long long number = reasonNumber(notification.userInfo());
  std::vector<std::string> keyList;
  if (auto* keys = notification.userInfoValue<std::vector<std::string>>(NSUbiquitousKeyValueStore::changedKeysKey)) {
    keyList = *keys;
  }
  std::string keysText = "[";
  for (std::size_t i = 0; i < keyList.size(); ++i) keysText += (i > 0 ? ", \"" : "\"") + keyList[i] + "\"";
  keysText += "]";

  ChangeReason reason = ChangeReason::serverChange;
  switch (number) {
    case 0: log->trace("KVS store changed:", keysText); break;
    case 1:
      reason = ChangeReason::initialSyncDroppedChanges;
      log->trace("KVS initial sync:", keysText);
      break;
    case 2:
      reason = ChangeReason::quotaViolated;
      log->warn("KVS quota violation:", keysText);
      break;
    case 3:
      reason = ChangeReason::accountChanged;
      log->warn("KVS account change:", keysText);
      break;
    default: log->warn("Unexpected KVS change reason:", number); break;
  }
  listeners->emit(Change{this, reason, std::set<std::string>(keyList.begin(), keyList.end())});
}
