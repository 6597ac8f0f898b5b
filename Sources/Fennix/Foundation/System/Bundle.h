// The application bundle's information dictionary. The main bundle's dictionary is compiled in
// from the build: name, version and build number come from the CMake project.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "Fennix/Foundation/System/Image.h"

class NSBundle {
 public:
  /// What the About panel shows of an application, read from its bundle's information
  /// dictionary with fixed fallbacks.
  struct ApplicationInfo {
    /// "InfoPanelName", else `appName`.
    std::string infoName;
    /// The bundle name, else the process name.
    std::string appName;
    /// "CFBundleShortVersionString", else "0.42.0".
    std::string version;
    /// "CFBundleVersion", else "1337".
    std::string build;
    /// "NSHumanReadableCopyright".
    std::optional<std::string> copyright;
    /// "InfoPanelCredits".
    std::optional<std::string> credits;

    /// Reads the fields from `bundle`; a key whose value is not text counts as absent.
    static ApplicationInfo fromBundle(const NSBundle& bundle);
    /// The application's icon image.
    static std::optional<NSImage> icon() { return NSImage::applicationIconImage(); }

    bool operator==(const ApplicationInfo&) const = default;
  };

  /// The information of the main bundle, read afresh on every call.
  static ApplicationInfo applicationInfo();

  /// A bundle with the given information dictionary (a JSON object; anything else reads as empty).
  explicit NSBundle(nlohmann::json infoDictionary);

  /// The running application's bundle.
  static const NSBundle& main();

  /// The application's reverse-DNS prefix, the start of its identifiers and queue labels.
  static std::string reverseDNSPrefix();

  const nlohmann::json& infoDictionary() const { return info_; }
  /// The value of an information-dictionary key, null when absent.
  const nlohmann::json* object(const std::string& forInfoDictionaryKey) const;
  /// The value of a key when it is text.
  std::optional<std::string> infoString(const std::string& key) const;
  /// The value of a key when it is an integer, or text holding a whole decimal number with an
  /// optional sign; none otherwise (also when the number does not fit).
  std::optional<std::int64_t> infoInteger(const std::string& key) const;

  std::string bundleIdentifier() const;
  /// The text under "TeamIdentifierPrefix"; empty when absent or not text.
  std::string teamIdentifierPrefix() const;
  /// `teamIdentifierPrefix` of the main bundle.
  static std::string mainTeamIdentifierPrefix();

 private:
  nlohmann::json info_;
};

/// Facts about the running process.
namespace ProcessInfo {

/// The name the process runs under.
std::string processName();
/// `APP_SANDBOX_CONTAINER_ID` when it is set and not empty.
std::optional<std::string> sandboxContainerID();
/// Whether the process runs in a sandbox container.
bool isSandboxed();
/// Whether the machine the process runs on is an ARM machine (32 or 64 bits).
bool isRunningOnARM();
/// The same decision for a machine name as the kernel reports it ("aarch64", "armv7l", ...).
bool isARMMachineName(const std::string& machine);

}  // namespace ProcessInfo
