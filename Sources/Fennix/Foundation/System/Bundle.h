// The application bundle's information dictionary. The main bundle's dictionary is compiled in
// from the build: name, version and build number come from the CMake project.
#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

class NSBundle {
 public:
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

  std::string bundleIdentifier() const;
  /// The text under "TeamIdentifierPrefix"; empty when absent or not text.
  std::string teamIdentifierPrefix() const;
  /// `teamIdentifierPrefix` of the main bundle.
  static std::string mainTeamIdentifierPrefix();

 private:
  nlohmann::json info_;
};
