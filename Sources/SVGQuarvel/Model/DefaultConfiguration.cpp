// The application-wide default settings: loaded once from the application
// group's defaults, stored whenever they change, reloaded when another process
// stores a different record.
#include <mutex>
#include <optional>
#include <string>

#include "Fennix/Foundation/System/Bundle.h"
#include "Platform/Dispatch.h"
#include "Platform/NotificationCenter.h"
#include "Fennix/Foundation/UserDefaults.h"
#include "Fennix/console/Console.h"
#include "SVGQuarvel/Model/SVGQuarvelConfiguration.h"

namespace {

struct DefaultState {
  std::mutex mutex;
  std::optional<SVGQuarvelConfiguration> config;  // none until first read
};

DefaultState& state() {
  static auto* shared = new DefaultState();  // lives for the whole process
  return *shared;
}

std::string byteCountDescription(std::size_t count) { return std::to_string(count) + " bytes"; }

/// The stored record, or none when nothing (or nothing readable) is stored.
std::optional<SVGQuarvelConfiguration> loadDefaultConfig() {
  const auto data = SVGQuarvelConfiguration::userDefaults()->data(SVGQuarvelConfiguration::SVGQuarvelConfigKey);
  if (!data || data->empty()) return std::nullopt;
  try {
    return SVGQuarvelConfiguration::fromJSONString(
        std::string_view(reinterpret_cast<const char*>(data->data()), data->size()));
  } catch (const SVGQuarvelConfiguration::DecodingError& error) {
    console::error("could not decode config:", byteCountDescription(data->size()), error.what());
    return std::nullopt;
  }
}

void saveDefaultConfig(const SVGQuarvelConfiguration& config) {
  const std::string json = config.jsonString();
  console::log("writing default config");
  SVGQuarvelConfiguration::userDefaults()->set(DefaultsData(json.begin(), json.end()),
                                               SVGQuarvelConfiguration::SVGQuarvelConfigKey);
}

/// The loaded default; call with the state's lock held.
SVGQuarvelConfiguration& loadedLocked(DefaultState& shared) {
  if (!shared.config) shared.config = loadDefaultConfig().value_or(SVGQuarvelConfiguration());
  return *shared.config;
}

void reloadDefaultConfig() {
  const auto loaded = loadDefaultConfig();
  if (!loaded) return;
  auto& shared = state();
  {
    std::lock_guard<std::mutex> lock(shared.mutex);
    auto& current = loadedLocked(shared);
    if (current == *loaded) return;
    // Taken as it is: writing it back could overwrite a newer record of another process.
    current = *loaded;
  }
  console::log("reloading default config");
}

}  // namespace

std::string SVGQuarvelConfiguration::defaultsGroup() { return NSBundle::reverseDNSPrefix() + ".devtools"; }

std::shared_ptr<NSUserDefaults> SVGQuarvelConfiguration::userDefaults() {
  static const auto* suite = new std::shared_ptr<NSUserDefaults>([] {
    auto group = NSUserDefaults::defaults(defaultsGroup());
    return group ? group : NSUserDefaults::standard();
  }());
  return *suite;
}

SVGQuarvelConfiguration SVGQuarvelConfiguration::defaultConfig() {
  auto& shared = state();
  std::lock_guard<std::mutex> lock(shared.mutex);
  return loadedLocked(shared);
}

void SVGQuarvelConfiguration::setDefaultConfig(const SVGQuarvelConfiguration& config) {
  auto& shared = state();
  SVGQuarvelConfiguration previous;
  {
    std::lock_guard<std::mutex> lock(shared.mutex);
    previous = loadedLocked(shared);
    *shared.config = config;
  }
  // Stored outside the lock: the store's change notification may reach the reloading
  // observer on this thread.
  if (previous != config) saveDefaultConfig(config);
}

void SVGQuarvelConfiguration::modifyDefaultConfig(const std::function<void(SVGQuarvelConfiguration&)>& change) {
  auto config = defaultConfig();
  change(config);
  setDefaultConfig(config);
}

void SVGQuarvelConfiguration::registerForChangeNotifications() {
  static std::once_flag registered;
  std::call_once(registered, [] {
    // The token is kept for the whole process; the observer is never removed.
    static auto* changeListener = new NotificationObserverToken(NotificationCenter::defaultCenter().addObserver(
        NSUserDefaults::didChangeNotification, nullptr, DispatchQueue::main(),
        [](const Notification&) { reloadDefaultConfig(); }));
    (void)changeListener;
  });
}
