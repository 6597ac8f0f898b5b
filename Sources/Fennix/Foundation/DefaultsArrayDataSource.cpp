#include "Fennix/Foundation/DefaultsArrayDataSource.h"

#include <map>
#include <mutex>
#include <string_view>
#include <utility>

#include "Fennix/Foundation/DefaultsCollections.h"
#include "Fennix/console/Console.h"

namespace Fennix {
namespace {

// Registered arrays per suite file and key.
std::mutex registrationLock;
std::map<std::pair<std::string, std::string>, nlohmann::json>& registrations() {
  static auto* table = new std::map<std::pair<std::string, std::string>, nlohmann::json>();
  return *table;
}

}  // namespace

std::optional<nlohmann::json> defaultsArray(NSUserDefaults& defaults, const std::string& key) {
  if (auto stored = defaults.object(key)) {
    // Arrays are kept in the key-value stores' stored form; text holding JSON is what earlier
    // versions wrote, and is still read.
    std::string_view form;
    if (const auto* data = stored->data()) {
      form = std::string_view(reinterpret_cast<const char*>(data->data()), data->size());
    } else if (const std::string* text = stored->text()) {
      form = *text;
    } else {
      return std::nullopt;
    }
    auto parsed = decodeDefaultsCollection(form);
    if (!parsed || !parsed->is_array()) return std::nullopt;
    return parsed;
  }
  std::lock_guard guard(registrationLock);
  auto found = registrations().find({defaults.path().string(), key});
  if (found == registrations().end()) return std::nullopt;
  return found->second;
}

void setDefaultsArray(NSUserDefaults& defaults, const std::string& key, const nlohmann::json& array) {
  auto stored = encodeDefaultsCollection(array);
  if (!stored) {
    console::error("user defaults cannot hold the array for key:", key);
    return;
  }
  defaults.set(DefaultsValue(std::move(*stored)), key);
}

void registerDefaultsArray(NSUserDefaults& defaults, const std::string& key, const nlohmann::json& array) {
  std::lock_guard guard(registrationLock);
  registrations()[{defaults.path().string(), key}] = array;
}

}  // namespace Fennix
