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

#include <sys/utsname.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>

namespace {
constexpr const char* reverseDNS = "org.quarvel";

std::optional<std::int64_t> decimalInteger(const std::string& text) {
  if (text.empty()) return std::nullopt;
  std::size_t index = (text[0] == '+' || text[0] == '-') ? 1 : 0;
  if (index == text.size()) return std::nullopt;
  for (std::size_t i = index; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
  }
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (errno == ERANGE || end != text.c_str() + text.size()) return std::nullopt;
  return static_cast<std::int64_t>(value);
}
}  // namespace

NSBundle::NSBundle(nlohmann::json infoDictionary)
    : info_(infoDictionary.is_object() ? std::move(infoDictionary) : nlohmann::json::object()) {}

const NSBundle& NSBundle::main() {
  static const auto* bundle = new NSBundle(nlohmann::json{
      {"CFBundleName", FENNIX_BUNDLE_NAME},
      {"CFBundleIdentifier", std::string(reverseDNS) + "." + FENNIX_BUNDLE_NAME},
      {"CFBundleShortVersionString", FENNIX_BUNDLE_VERSION},
      {"CFBundleVersion", FENNIX_BUNDLE_BUILD},
      {"InfoPanelName", "SVG Quarvel"},
      {"NSHumanReadableCopyright", "Copyright \u00a9 2026 The SVG Quarvel developers"},
      {"BugReporterURL", "https://quarvel.org/svg-quarvel/issues"},
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

std::optional<std::int64_t> NSBundle::infoInteger(const std::string& key) const {
  const auto* value = object(key);
  if (value == nullptr) return std::nullopt;
  if (value->is_number_integer()) {
    if (value->is_number_unsigned() && value->get<std::uint64_t>() > static_cast<std::uint64_t>(INT64_MAX)) {
      return std::nullopt;
    }
    return value->get<std::int64_t>();
  }
  if (value->is_string()) return decimalInteger(value->get<std::string>());
  return std::nullopt;
}

NSBundle::ApplicationInfo NSBundle::ApplicationInfo::fromBundle(const NSBundle& bundle) {
  ApplicationInfo info;
  info.appName = bundle.infoString("CFBundleName").value_or(ProcessInfo::processName());
  info.infoName = bundle.infoString("InfoPanelName").value_or(info.appName);
  info.version = bundle.infoString("CFBundleShortVersionString").value_or("0.42.0");
  info.build = bundle.infoString("CFBundleVersion").value_or("1337");
  info.copyright = bundle.infoString("NSHumanReadableCopyright");
  info.credits = bundle.infoString("InfoPanelCredits");
  return info;
}

NSBundle::ApplicationInfo NSBundle::applicationInfo() { return ApplicationInfo::fromBundle(main()); }

// ---- ProcessInfo ------------------------------------------------------------------------

namespace ProcessInfo {

std::string processName() {
  std::string name;
  std::ifstream comm("/proc/self/comm");
  if (comm && std::getline(comm, name) && !name.empty()) return name;
  return program_invocation_short_name != nullptr ? program_invocation_short_name : "";
}

std::optional<std::string> sandboxContainerID() {
  const char* value = std::getenv("APP_SANDBOX_CONTAINER_ID");
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

bool isSandboxed() { return sandboxContainerID().has_value(); }

bool isARMMachineName(const std::string& machine) {
  return machine.rfind("arm", 0) == 0 || machine.rfind("aarch64", 0) == 0;
}

bool isRunningOnARM() {
  struct utsname names {};
  if (::uname(&names) != 0) return false;
  return isARMMachineName(names.machine);
}

}  // namespace ProcessInfo
