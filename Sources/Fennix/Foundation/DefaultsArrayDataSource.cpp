#include "Fennix/Foundation/DefaultsArrayDataSource.h"

#include <map>
#include <mutex>
#include <string_view>
#include <utility>

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
    // Arrays are kept as data holding their JSON text, as the key-value stores keep them; text
    // holding JSON is what earlier versions wrote, and is still read.
    std::string_view json;
    if (const auto* data = stored->data()) {
      json = std::string_view(reinterpret_cast<const char*>(data->data()), data->size());
    } else if (const std::string* text = stored->text()) {
      json = *text;
    } else {
      return std::nullopt;
    }
    // Stored text may come from anywhere: nesting is bounded before the parser recurses into it.
    constexpr int maxDepth = 64;
    bool tooDeep = false;
    auto parsed = nlohmann::json::parse(
        json,
        [&tooDeep](int depth, nlohmann::json::parse_event_t, nlohmann::json&) {
          if (depth > maxDepth) tooDeep = true;
          return !tooDeep;
        },
        /*allow_exceptions=*/false);
    if (tooDeep || parsed.is_discarded() || !parsed.is_array()) return std::nullopt;
    return parsed;
  }
  std::lock_guard guard(registrationLock);
  auto found = registrations().find({defaults.path().string(), key});
  if (found == registrations().end()) return std::nullopt;
  return found->second;
}

void setDefaultsArray(NSUserDefaults& defaults, const std::string& key, const nlohmann::json& array) {
  const std::string text = array.dump();
  defaults.set(DefaultsValue(DefaultsData(text.begin(), text.end())), key);
}

void registerDefaultsArray(NSUserDefaults& defaults, const std::string& key, const nlohmann::json& array) {
  std::lock_guard guard(registrationLock);
  registrations()[{defaults.path().string(), key}] = array;
}

}  // namespace Fennix
