// The software updater's menu commands: the scene passes the updater's options, and no updater
// is offered, so the commands add no menu items.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>

namespace QuarvelUtilities {

/// A set of menu commands that adds nothing.
struct EmptyCommands {
  /// Menu items contributed: none.
  static constexpr std::size_t itemCount = 0;
};

struct SparkleCommands {
  SparkleCommands(bool /*automaticallyChecksForUpdates*/, bool /*automaticallyDownloadsUpdates*/,
                  bool /*sendsSystemProfile*/, double /*updateCheckInterval*/,
                  const std::optional<std::string>& /*userAgentString*/,
                  const std::optional<std::map<std::string, std::string>>& /*httpHeaders*/) {}

  /// The commands: the empty set, whatever the options.
  EmptyCommands body;

  /// Menu items contributed: none.
  static constexpr int menuItemCount = 0;
};

}  // namespace QuarvelUtilities
