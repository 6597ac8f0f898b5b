// An array controller whose content lives in user defaults under one key, as an array of
// dictionaries (JSON objects): loaded when the data source is made and written back after every
// change. The array is stored as the key-value stores keep arrays (DefaultsCollections.h), so that
// they read what it wrote and it reads what they wrote; dictionaries hold dates and data as the
// binary values made by `Fennix::defaultsDate` and `nlohmann::json::binary`. Registered defaults
// supply the array while nothing is stored and are never written.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Fennix/Foundation/ArrayController.h"
#include "Fennix/Foundation/UserDefaults.h"

namespace Fennix {

/// A stored dictionary.
using DefaultsDictionary = nlohmann::json;

/// The array under `key`: the stored one when the key is stored (none when what is stored is no
/// array), else the registered one, else none.
std::optional<nlohmann::json> defaultsArray(NSUserDefaults& defaults, const std::string& key);
/// Stores `array` under `key`, replacing what was there; an array that has no stored form (see
/// `encodeDefaultsCollection`) is refused with a log line and changes nothing.
void setDefaultsArray(NSUserDefaults& defaults, const std::string& key, const nlohmann::json& array);
/// Registers `array` as what `defaultsArray` reads while nothing is stored under `key`; for the
/// life of the process only.
void registerDefaultsArray(NSUserDefaults& defaults, const std::string& key, const nlohmann::json& array);

}  // namespace Fennix

template <typename T>
class QvDefaultsArrayDataSource : public QvArrayController<T> {
 public:
  using Load = std::function<std::optional<T>(const Fennix::DefaultsDictionary&)>;
  using Save = std::function<std::optional<Fennix::DefaultsDictionary>(const T&)>;

  QvDefaultsArrayDataSource(std::string key, std::optional<std::string> group, Load load, Save save,
                            const std::optional<std::vector<T>>& defaults = std::nullopt)
      : defaultsGroup(std::move(group)),
        arrayKey(std::move(key)),
        cbLoad(std::move(load)),
        cbSave(std::move(save)),
        userDefaults(defaultsFor(defaultsGroup)) {
    if (defaults) register_(*defaults);
    load_();
  }

  const std::optional<std::string> defaultsGroup;
  const std::string arrayKey;
  const Load cbLoad;
  const Save cbSave;
  const std::shared_ptr<NSUserDefaults> userDefaults;

  bool isLoading() const { return isLoading_; }

  /// Registers the stored form of `defaults` as what loading reads while nothing is stored.
  virtual void register_(const std::vector<T>& defaults) {
    Fennix::registerDefaultsArray(*userDefaults, arrayKey, storedForm(defaults));
  }

  /// Reads the stored array again: elements that are no dictionaries, or that `cbLoad` rejects,
  /// are skipped.
  virtual void load_() {
    isLoading_ = true;
    std::vector<T> loaded;
    if (auto array = Fennix::defaultsArray(*userDefaults, arrayKey)) {
      for (const auto& element : *array) {
        if (!element.is_object()) continue;
        if (auto value = cbLoad(element)) loaded.push_back(std::move(*value));
      }
    }
    this->setObjects(std::move(loaded));
    isLoading_ = false;
  }

  /// Writes the array (without the elements that have no stored form); nothing while loading.
  virtual void save() {
    if (isLoading_) return;
    Fennix::setDefaultsArray(*userDefaults, arrayKey, storedForm(this->objects()));
  }

  /// The change callback fires, then the array is written: also when the change left it empty, so
  /// that a removed last element does not come back with the next launch.
  void handleDidChange() override {
    QvArrayController<T>::handleDidChange();
    if (isLoading_) return;
    save();
  }

 private:
  static std::shared_ptr<NSUserDefaults> defaultsFor(const std::optional<std::string>& group) {
    if (auto shared = NSUserDefaults::defaults(group)) return shared;
    return NSUserDefaults::standard();
  }
  nlohmann::json storedForm(const std::vector<T>& values) const {
    auto array = nlohmann::json::array();
    for (const auto& value : values)
      if (auto stored = cbSave(value)) array.push_back(std::move(*stored));
    return array;
  }

  bool isLoading_ = false;
};
