// The About panel's content and the About and bug-report menu items.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Fennix/Foundation/System/Bundle.h"

/// What the About panel shows, read when it is made.
struct AboutView {
  struct Link {
    std::string title;
    std::string url;
  };
  struct CreditGroup {
    std::string heading;
    std::vector<Link> links;
  };

  NSBundle::ApplicationInfo info;

  /// The main bundle's information.
  AboutView() : info(NSBundle::applicationInfo()) {}
  explicit AboutView(NSBundle::ApplicationInfo applicationInfo) : info(std::move(applicationInfo)) {}

  /// The application's icon.
  std::optional<NSImage> icon() const { return NSBundle::ApplicationInfo::icon(); }
  /// The title line: the information-panel name.
  const std::string& title() const { return info.infoName; }
  /// "Version: " with the version and the build in parentheses.
  std::string versionLine() const { return "Version: " + info.version + " (" + info.build + ")"; }
  /// "Uses and embeds:" and "Some code inspired by:" with their links.
  static std::vector<CreditGroup> creditGroups();
  /// The bundle's credits text, shown after the groups when present.
  const std::optional<std::string>& credits() const { return info.credits; }
  /// The copyright line, a link to the application's page; none without a copyright text.
  std::optional<Link> copyrightLink() const;

  /// The About panel's size, in points.
  static constexpr int width = 320;
  static constexpr int height = 460;
  /// The window's remembered-frame name.
  static constexpr std::string_view frameAutosaveName = "About Panel";
};

namespace AboutCommands {

/// "About ", the application name, a blank and an ellipsis.
std::string aboutItemTitle(const NSBundle::ApplicationInfo& info = NSBundle::applicationInfo());
/// "Report Bug …".
inline constexpr std::string_view reportBugItemTitle = "Report Bug \u2026";
/// Where bugs are reported when the bundle names no page.
inline constexpr std::string_view defaultBugReportURL = "https://quarvel.org/svg-quarvel/issues";
/// The page of "BugReporterURL" when it is text forming a valid absolute address, else the default.
std::string bugReportURL(const NSBundle& bundle = NSBundle::main());

}  // namespace AboutCommands
