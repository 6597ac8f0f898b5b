#include "Fennix/Foundation/System/Bundle.h"

// Set by the build for this file; the fallbacks keep the file compilable on its own.
#ifndef FENNIX_BUNDLE_NAME
#define FENNIX_BUNDLE_NAME "SVGQuarvel"
#endif
#ifndef FENNIX_BUNDLE_VERSION
#define FENNIX_BUNDLE_VERSION "0.0.0"
#endif
#ifndef FENNIX_BUNDLE_BUILD
#define FENNIX_BUNDLE_BUILD "0"
#endif

namespace {
constexpr const char* reverseDNS = "org.quarvel";
}

NSBundle::NSBundle(nlohmann::json infoDictionary)
    : info_(infoDictionary.is_object() ? std::move(infoDictionary) : nlohmann::json::object()) {}

const NSBundle& NSBundle::main() {
  static const auto* bundle = new NSBundle(nlohmann::json{
      {"CFBundleName", FENNIX_BUNDLE_NAME},
      {"CFBundleIdentifier", std::string(reverseDNS) + "." + FENNIX_BUNDLE_NAME},
      {"CFBundleShortVersionString", FENNIX_BUNDLE_VERSION},
      {"CFBundleVersion", FENNIX_BUNDLE_BUILD},
      // Suites of an application group are shared by every application of the same team; the
      // applications of this build all use the plain group name.
      {"TeamIdentifierPrefix", ""},
  });
  return *bundle;
}

std::string NSBundle::reverseDNSPrefix() { return reverseDNS; }

const nlohmann::json* NSBundle::object(const std::string& forInfoDictionaryKey) const {
  auto found = info_.find(forInfoDictionaryKey);
  return found == info_.end() ? nullptr : &*found;
}

std::optional<std::string> NSBundle::infoString(const std::string& key) const {
  const auto* value = object(key);
  if (value == nullptr || !value->is_string()) return std::nullopt;
  return value->get<std::string>();
}

std::string NSBundle::bundleIdentifier() const { return infoString("CFBundleIdentifier").value_or(""); }

std::string NSBundle::teamIdentifierPrefix() const { return infoString("TeamIdentifierPrefix").value_or(""); }

std::string NSBundle::mainTeamIdentifierPrefix() { return main().teamIdentifierPrefix(); }
