// The software updater's menu commands: the scene passes the updater's options, and no updater
// is offered, so the commands add no menu items.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace QuarvelUtilities {

struct SparkleCommands {
  SparkleCommands(bool /*automaticallyChecksForUpdates*/, bool /*automaticallyDownloadsUpdates*/,
                  bool /*sendsSystemProfile*/, double /*updateCheckInterval*/,
                  const std::optional<std::string>& /*userAgentString*/,
                  const std::optional<std::map<std::string, std::string>>& /*httpHeaders*/) {}

  /// Menu items contributed: none.
  static constexpr int menuItemCount = 0;
};

}  // namespace QuarvelUtilities
