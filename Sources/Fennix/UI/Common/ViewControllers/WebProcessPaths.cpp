#include "Fennix/UI/Common/ViewControllers/WebProcessPaths.h"

#include <glib.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace Fennix::WebProcessPaths {

namespace {

/// The entries of a list of paths separated by colons, the empty ones left out.
std::vector<std::string> splitList(const std::string& list) {
  std::vector<std::string> entries;
  std::size_t start = 0;
  while (start <= list.size()) {
    const std::size_t end = std::min(list.find(':', start), list.size());
    if (end > start) entries.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return entries;
}

std::string joined(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

/// `path` as text that shows: not UTF-8 bytes are replaced.
std::string shown(const std::string& path) {
  std::unique_ptr<gchar, decltype(&g_free)> valid(g_utf8_make_valid(path.c_str(), gssize(path.size())), g_free);
  return "\u201c" + std::string(valid.get()) + "\u201d";
}

/// The first of the folders on the way to `path` (its leading parts, from the root) that is there
/// but is no folder; none when there is no such part.
std::optional<std::string> fileOnTheWay(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    const std::string part = path.substr(0, slash);
    struct stat status {};
    if (::stat(part.c_str(), &status) == 0 && !S_ISDIR(status.st_mode)) return part;
  }
  return std::nullopt;
}

/// The value of the environment variable `name` when it is set and not empty.
std::optional<std::string> variable(const std::map<std::string, std::string>& environment, const std::string& name) {
  const auto found = environment.find(name);
  if (found == environment.end() || found->second.empty()) return std::nullopt;
  return found->second;
}

/// Whether the environment variable `name` is set, empty or not (the engine takes an empty value
/// in place of its default).
bool isSet(const std::map<std::string, std::string>& environment, const std::string& name) {
  return environment.count(name) != 0;
}

/// Whether the engine's sandbox is switched off: by any value but "0".
bool sandboxOff(const std::map<std::string, std::string>& environment) {
  const auto found = environment.find("WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS");
  return found != environment.end() && found->second != "0";
}

/// The folder of the socket that the session bus's address names, when it names one. The engine
/// takes the text after the first "path=" up to the next comma, as it stands.
std::optional<std::string> busFolder(const std::string& address) {
  if (address.rfind("unix:", 0) != 0) return std::nullopt;
  const auto start = address.find("path=");
  if (start == std::string::npos) return std::nullopt;
  const auto socket = address.substr(start + 5, address.find(',', start) - (start + 5));
  std::unique_ptr<gchar, decltype(&g_free)> folder(g_path_get_dirname(socket.c_str()), g_free);
  return std::string(folder.get());
}

/// The user folder that GLib gives as `path`, set by the variable `name` when it holds that path,
/// else by `fallback`.
Folder folderOf(const char* path, const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  if (value != nullptr && *value != '\0' && std::strcmp(value, path) == 0) return {path, name};
  return {path, fallback};
}

}  // namespace

const std::vector<std::string>& environmentVariables() {
  static const std::vector<std::string> names{"WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS",
                                              "DBUS_SESSION_BUS_ADDRESS",
                                              "XAUTHORITY",
                                              "PULSE_SERVER",
                                              "PULSE_CLIENTCONFIG",
                                              "LD_LIBRARY_PATH",
                                              "GST_PLUGIN_PATH_1_0",
                                              "GST_PLUGIN_PATH",
                                              "GST_PLUGIN_SYSTEM_PATH_1_0",
                                              "GST_PLUGIN_SYSTEM_PATH",
                                              "GST_PRESET_PATH",
                                              "GST_PLUGIN_SCANNER",
                                              "GST_INSTALL_PLUGINS_HELPER",
                                              "GST_PTP_HELPER"};
  return names;
}

std::vector<Path> pathsOf(const Sources& sources) {
  std::vector<Path> paths;
  if (sandboxOff(sources.environment)) return paths;
  const auto add = [&](const Folder& folder, const std::string& name) {
    paths.push_back({name.empty() ? folder.path : joined(folder.path, name), folder.origin});
  };
  const auto addVariable = [&](const std::string& name) {
    if (const auto value = variable(sources.environment, name)) paths.push_back({*value, name});
  };
  const auto addList = [&](const std::string& name) {
    if (const auto value = variable(sources.environment, name)) {
      for (const auto& entry : splitList(*value)) paths.push_back({entry, name});
    }
  };
  // The session bus, reached through the engine's filter, which is handed the folder of the bus's
  // socket whether it is there or not.
  if (sources.busFilter) {
    if (const auto address = variable(sources.environment, "DBUS_SESSION_BUS_ADDRESS")) {
      if (const auto folder = busFolder(*address)) paths.push_back({*folder, "DBUS_SESSION_BUS_ADDRESS", true});
    }
  }
  // In the order the engine gives them.
  addList("LD_LIBRARY_PATH");
  // The display's authority.
  if (isSet(sources.environment, "XAUTHORITY")) {
    addVariable("XAUTHORITY");
  } else {
    add(sources.home, ".Xauthority");
  }
  // The media keys of the program's web site data.
  add(sources.data, joined(sources.programName, "mediakeys/v1"));
  // Sound.
  if (isSet(sources.environment, "PULSE_SERVER")) {
    const auto server = variable(sources.environment, "PULSE_SERVER").value_or("");
    if (server.rfind("unix:", 0) == 0 && server.size() > 5) paths.push_back({server.substr(5), "PULSE_SERVER"});
  } else {
    add(sources.runtime, "pulse");
  }
  addVariable("PULSE_CLIENTCONFIG");
  add(sources.config, "pulse");
  add(sources.home, ".pulse");
  add(sources.home, ".asoundrc");
  add(sources.home, ".sndio");
  // Fonts.
  add(sources.config, "fontconfig");
  add(sources.home, ".fontconfig");
  add(sources.cache, "fontconfig");
  add(sources.home, ".fonts.conf");
  add(sources.config, ".fonts.conf.d");
  add(sources.data, "fonts");
  add(sources.home, ".fonts");
  for (const auto& folder : sources.systemData) paths.push_back({joined(folder, "fonts"), "XDG_DATA_DIRS"});
  // Media plug-ins.
  addList(isSet(sources.environment, "GST_PLUGIN_PATH_1_0") ? "GST_PLUGIN_PATH_1_0" : "GST_PLUGIN_PATH");
  addList(isSet(sources.environment, "GST_PLUGIN_SYSTEM_PATH_1_0") ? "GST_PLUGIN_SYSTEM_PATH_1_0"
                                                                   : "GST_PLUGIN_SYSTEM_PATH");
  add(sources.cache, "");
  addList("GST_PRESET_PATH");
  addVariable("GST_PLUGIN_SCANNER");
  addVariable("GST_INSTALL_PLUGINS_HELPER");
  addVariable("GST_PTP_HELPER");
  // Themes.
  add(sources.config, "gtk-3.0");
  add(sources.data, "themes");
  add(sources.home, ".themes");
  add(sources.home, ".icons");
  return paths;
}

std::optional<std::string> obstacle(const std::vector<Path>& paths) {
  for (const auto& [path, origin, needed] : paths) {
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), std::free);
    const int error = errno;
    if (resolved || (error == ENOENT && !needed)) continue;
    std::string sentence = "The web engine cannot start: it needs " + shown(path) + " (from " + origin + "), but ";
    const auto file = error == ENOTDIR ? fileOnTheWay(path) : std::nullopt;
    if (file) {
      sentence += shown(*file) + " is a file, not a folder.";
    } else {
      sentence += "it cannot be looked up (" + std::string(g_strerror(error)) + ").";
    }
    return sentence;
  }
  return std::nullopt;
}

Sources currentSources() {
  Sources sources;
  const char* home = std::getenv("HOME");
  sources.home = {g_get_home_dir(), home != nullptr && *home != '\0' && std::strcmp(home, g_get_home_dir()) == 0
                                        ? "HOME"
                                        : "the home folder of the user's account"};
  sources.cache = folderOf(g_get_user_cache_dir(), "XDG_CACHE_HOME", sources.home.origin);
  sources.config = folderOf(g_get_user_config_dir(), "XDG_CONFIG_HOME", sources.home.origin);
  sources.data = folderOf(g_get_user_data_dir(), "XDG_DATA_HOME", sources.home.origin);
  // Without a run-time folder of its own, the user's cache folder stands in.
  sources.runtime =
      folderOf(g_get_user_runtime_dir(), "XDG_RUNTIME_DIR", sources.cache.origin + ", in place of XDG_RUNTIME_DIR");
  for (const gchar* const* folder = g_get_system_data_dirs(); *folder != nullptr; ++folder) {
    sources.systemData.emplace_back(*folder);
  }
  const char* program = g_get_prgname();
  sources.programName = program != nullptr ? program : "";
  for (const auto& name : environmentVariables()) {
    if (const char* value = std::getenv(name.c_str())) sources.environment[name] = value;
  }
  // The engine makes the folder itself before it starts the filter, and starts none where it
  // cannot: making it here is only what the engine's next web process does first.
  if (!sandboxOff(sources.environment) && variable(sources.environment, "DBUS_SESSION_BUS_ADDRESS")) {
    sources.busFilter = g_mkdir_with_parents(joined(sources.runtime.path, "webkitgtk").c_str(), 0700) == 0;
  }
  return sources;
}

std::optional<std::string> whyNoWebProcess() { return obstacle(pathsOf(currentSources())); }

}  // namespace Fennix::WebProcessPaths
